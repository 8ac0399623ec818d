#pragma once

// The overlay figures of the view window: the pointer marker and the measure tool's
// polyline, drawn by one figure view over the picture. A figure maps a picture coordinate v
// to the screen as floor((v + 0.5 - origin) / scale), `scale` being picture pixels per screen
// pixel. CFigureLayer, a member of the view window, makes the figure view once and makes,
// owns and removes the figures.

#include <memory>
#include <vector>

#include "platform/controls/image_list.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "viewer/core/virtual_view.h"

class CCoordLawData;
class CDC;
class CPropertyList;

/// Bitmap resource of the pointer marker (17 x 17, black is transparent).
inline constexpr UINT IDB_POINTER_FIGURE = 214;
/// Names of the measure read-out.
inline constexpr UINT IDS_FIGURE_LENGTH = 34286;
inline constexpr UINT IDS_FIGURE_SEGMENTS = 34287;
inline constexpr UINT IDS_FIGURE_NODES = 34288;
inline constexpr UINT IDS_FIGURE_NODE = 34289;

/// The screen position of picture coordinate v.
int FigureToScreen(double v, int origin, double scale);

class CViewFigure {
public:
    virtual ~CViewFigure() = default;
    /// Draws the figure with picture position origin (x, y) at the device origin.
    virtual void Draw(CDC* dc, int originX, int originY, double scale) = 0;
    /// The screen rectangle the figure covers.
    virtual CRect GetScreenRect(int originX, int originY, double scale) const = 0;

    /// The list the figure publishes its read-out into (not owned; null for none).
    void SetPropertySet(CPropertyList* properties) { m_pProperties = properties; }
    CPropertyList* GetPropertySet() const { return m_pProperties; }

protected:
    CPropertyList* m_pProperties = nullptr;
};

/// The pointer marker: an image centred on a picture pixel.
class CPointerFigure : public CViewFigure {
public:
    CPointerFigure();
    /// Returns the previous position.
    CPoint SetPosition(CPoint position);
    CPoint GetPosition() const { return m_ptPosition; }
    CSize GetSize() const { return m_Size; }
    void Draw(CDC* dc, int originX, int originY, double scale) override;
    CRect GetScreenRect(int originX, int originY, double scale) const override;

private:
    CPoint m_ptPosition{0, 0};
    CSize m_Size{10, 10};
    COLORREF m_Colour = 255;
    CImageList m_Images;
};

/// The measure line: a polyline in picture pixels that knows its length.
class CPolyFigure : public CViewFigure {
public:
    void SetNodes(const std::vector<CPoint>& nodes);
    void SetNodes(const CPoint* nodes, int count);
    const std::vector<CPoint>& GetNodes() const { return m_Nodes; }
    /// The law that turns pixels into logical units (null, or a law not set: pixels);
    /// refreshes the read-out.
    void SetCoordLaw(CCoordLawData* law);
    /// The rectangle of the nodes, always including the picture origin.
    CRect GetBoundRect() const { return m_rcBound; }
    void Draw(CDC* dc, int originX, int originY, double scale) override;
    CRect GetScreenRect(int originX, int originY, double scale) const override;
    /// Total length; `running` (when given) gets the length up to each node.
    double GetLength(std::vector<double>* running = nullptr) const;

private:
    void Update();
    void ReadOut();
    const CCoordLawData* Law() const;

    std::vector<CPoint> m_Nodes;
    CRect m_rcBound{0, 0, 0, 0};
    COLORREF m_Colour = 255;
    CCoordLawData* m_pLaw = nullptr;
};

/// The view that draws the figures in list order (it does not own them).
class CFigureView : public CVirtualView {
public:
    CFigureView();
    /// Makes the view an overlay of width x height; the index is not kept.
    virtual void Init(int index, int width, int height);

    void AddFigure(CViewFigure* figure);
    /// 0 when the figure is not in the list.
    int RemoveFigure(CViewFigure* figure);
    const std::vector<CViewFigure*>& GetFigures() const { return m_Figures; }

    /// Figures with picture position (x, y) at the device origin.
    void DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL visibleOnly, BYTE* bits,
                BITMAPINFO* info) override;
    /// Figures placed so that picture position (srcX, srcY) lands on (destX, destY).
    void DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                    double zoom, BOOL visibleOnly, BYTE* bits, BITMAPINFO* info) override;
    void DrawOverlay(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void RenderRGB(int, int, int, int, int, int, double, BOOL, BYTE*, CMeterInfoBase*) override {}
    void DrawBlockAt(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void SetZoom(double, int) override {}
    CString GetLayerName() override { return CString(); }

private:
    std::vector<CViewFigure*> m_Figures;
};

/// The view window's holder of the figure view and the figures.
class CFigureLayer {
public:
    CFigureLayer() = default;
    ~CFigureLayer();
    CFigureLayer(const CFigureLayer&) = delete;
    CFigureLayer& operator=(const CFigureLayer&) = delete;

    /// Makes the figure view (the caller puts it into its stack, which deletes it).
    CFigureView* CreateView(int layer, int width, int height);
    CFigureView* GetView() const { return m_pView; }
    /// Null when no view exists.
    CPointerFigure* AddPointerFigure();
    CPolyFigure* AddPolyFigure();
    /// 1 when the figure was in the view and is now freed; else 0.
    int RemoveFigure(CViewFigure* figure);
    /// The view is gone (its stack deleted it): frees every figure and forgets the view.
    void Forget();

private:
    CFigureView* m_pView = nullptr;
    std::vector<std::unique_ptr<CViewFigure>> m_Figures;
};
