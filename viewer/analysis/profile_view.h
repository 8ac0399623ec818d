#pragma once

// The graph of a profile window: curves of sample values against their position along a
// line of the image, over a dotted value grid, with zoom, smooth scrolling, a read-out of
// the point under the mouse, two colour schemes, copy and save. Everything is drawn into
// an off-screen 32-bit buffer of the client size; painting only copies it.

#include <vector>

#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/window/wnd.h"

struct ProfileCurve {
    std::vector<CPointT<double>> points;  ///< (position, value) per sample
    int count = 0;
    bool logical = false;
    std::vector<CPointT<double>> logicalPoints;  ///< with `logical`: the logical (x, y) per sample
    COLORREF color = 0xFFFFFF;
    double valueMax = 0.0, valueMin = 0.0;
    double posMin = 0.0, posMax = 0.0;
    bool increasing = false;  ///< positions never decrease: visible samples are found by bisection
};

struct ProfileRange {
    double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;
};

/// Clips the segment (x1, y1)-(x2, y2) to the window; false when nothing of it is inside.
bool ClipProfileSegment(double& x1, double& y1, double& x2, double& y2, const ProfileRange& window);

class CProfileView : public CWnd {
public:
    CProfileView();
    ~CProfileView() override;

    /// The visible, bordered child pane; FALSE when the window is not made.
    BOOL Create(CWnd* parent, UINT id, DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER);

    int InitDrawing();
    /// Copies the samples; the index of the new curve.
    int AddCurve(const double* values, const double* positions, int n, COLORREF colour);
    int SetProfile(const double* values, int n, COLORREF colour);
    int SetLogicalProfile(const double* values, int n, const CPointT<double>* points, COLORREF colour);

    void GetRange(double& xMin, double& xMax, double& yMin, double& yMax) const;
    void SetRange(double xMin, double xMax, double yMin, double yMax);
    void FitToWindow();
    void RebuildBuffer();
    /// 1 White, 2 Dark; any other number only redraws.
    int SetScheme(int scheme);
    int CopyToClipboard();
    /// 1 layer file, 2 text table, 3 bitmap; 1 on success.
    int SaveToFile(const CString& path, int type);
    /// Draws everything into the buffer; 1 when the plot was drawn.
    int Redraw(BOOL invalidate);

    /// False while a visible or full range is empty or not finite: the view then shows a
    /// notice instead of the plot.
    bool IsDrawable() const { return m_bDrawable; }
    const std::vector<ProfileCurve>& Curves() const { return m_curves; }
    const ProfileRange& FullRange() const { return m_full; }
    const CRect& PlotRect() const { return m_plot; }
    const CString& AxisName() const { return m_axisName; }
    COLORREF BackgroundColor() const { return m_colors[0]; }

    // Colour roles: background, grid (and tick labels), labels (range labels, read-out), frame.
    COLORREF m_colors[4] = {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnMouseMove(UINT flags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    int AppendCurve(ProfileCurve curve);
    void Layout();
    bool CheckDrawable() const;
    double CalcStep(double span, int pixels) const;
    void DrawRangeLabels(CDC& dc);
    void DrawGrid(CDC& dc, bool axisName);
    void DrawCurves(CDC& dc);
    void ShowReadout(CPoint mouse);
    void UpdateHScroll();
    void UpdateVScroll();
    void Scroll(bool horizontal, UINT code);
    int MapX(double x) const;
    int MapY(double y) const;
    int SaveLayer(const CString& path);
    int SaveText(const CString& path);
    int SaveBitmap(const CString& path);

    std::vector<ProfileCurve> m_curves;
    ProfileRange m_full;
    bool m_bHasRange = false;
    ProfileRange m_visible;
    CRect m_plot;
    double m_stepX = -1.0, m_stepY = -1.0;
    CDC* m_pMemDC = nullptr;  ///< where drawing goes (the metafile DC while copying)
    CDC m_memDC;              ///< owns the buffer
    HGDIOBJ m_hOldBitmap = nullptr;
    HBITMAP m_hBuffer = nullptr;
    void* m_pBits = nullptr;
    CSize m_bufferSize;
    CFont m_font;
    CString m_axisName;
    bool m_bDrawable = true;
};
