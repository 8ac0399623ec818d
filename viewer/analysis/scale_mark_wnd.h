#pragma once

// The floating colour scale of a viewer frame: a bar painted with the 256 display colours
// of the active layer and value marks at round steps between the display minimum and
// maximum. It docks to the edges of the frame's image view window, snaps to them while it
// is dragged, switches between a horizontal and a vertical layout and copies itself.

#include <array>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/window/wnd.h"

struct PalitraTag;

inline constexpr UINT ID_SCALE_COPY = 34168;
inline constexpr UINT ID_SCALE_HORIZONTAL = 34171;
inline constexpr UINT ID_SCALE_VERTICAL = 34172;
inline constexpr UINT ID_SCALE_HIDE = 34174;
inline constexpr UINT ID_SCALE_PALETTE = 34175;

class CScaleMarkWnd : public CWnd {
public:
    CScaleMarkWnd();
    ~CScaleMarkWnd() override;

    /// A visible popup owned by `owner`; FALSE when the window is not made.
    BOOL Create(CWnd* owner);
    /// The window it docks to, the edges it keeps (1 left, 2 right, 4 top, 8 bottom) and its
    /// orientation (0 horizontal, 1 vertical).
    void SetAnchor(CWnd* dock, int anchor, int orientation);
    void SetPalette(const PalitraTag* palette);
    void SetValueRange(double low, double high);
    /// Moves the window to keep its anchored edges 4 pixels inside the dock's client area.
    void Reposition();
    void CopyToClipboard();
    /// The distance between marks for a bar of `length` pixels: a round value near one
    /// mark per 25 pixels; -1 when there is no range or no length.
    static double GetMarkStep(int length, double maximum, double minimum);

    CWnd* m_pDock = nullptr;
    int m_nAnchor = 5;
    int m_nOrientation = 0;
    CRect m_bar;  ///< the colour bar in client coordinates
    CSize m_horzSize{100, 30};
    CSize m_vertSize{50, 100};
    double m_dMax = 1.0;
    double m_dMin = 0.0;
    /// Where the last rendering put its labels, in client pixels.
    std::vector<CRect> m_labelRects;

protected:
    void PostNcDestroy() override;
    int OnCreate(LPCREATESTRUCT cs);
    void OnSize(UINT type, int cx, int cy);
    void OnSizing(UINT edge, LPRECT rect);
    void OnPaint();
    void OnNcPaint();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnContextMenu(CWnd* wnd, CPoint point);
    void OnHorizontal();
    void OnVertical();
    void OnCopy();
    void OnHide();
    void OnViewPalette();
    DECLARE_MESSAGE_MAP()

private:
    void CalcLayout();
    void ApplyOrientation();
    void FitWindowToLayout();
    void RecreateBackBitmap();
    void Render(CDC* dc);
    void DrawMarks(CDC& dc);
    CRect SnapToDock(CRect r);

    std::array<BYTE, 256 * 4> m_palette{};  ///< blue, green, red, unused per entry
    CDC m_memDC;
    HGDIOBJ m_hOldBitmap = nullptr;
    HBITMAP m_hBack = nullptr;
    HMENU m_contextMenu = nullptr;
    CSize m_size{100, 30};
    bool m_bDragging = false;
    CRect m_pressRect;
    CPoint m_pressPoint;
    bool m_bCreated = false;
};
