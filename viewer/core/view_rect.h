#pragma once

// CViewRect: the image view window of a viewer frame. A child window that fills the
// frame's client area and shows a stack of layer views one over the other. It owns the
// stack, picks the active view, keeps the zoom as a scale (picture pixels per screen pixel:
// 2.0 shows every second pixel, 0.5 each pixel as 2 x 2) and the scroll position in picture
// pixels, paints the stack through one shared back buffer, scrolls by shifting what is on
// screen and asking the views only for the uncovered strip, and reports to its parent with
// WM_VIEWER and WM_VIEWRECT.
//
// It also carries the tools (zoom clicks, profiles, selections, pointer, measure), the
// status read-out, the coordinate law of the first file and the exports, and forwards the
// frame's questions about the shown data to the active view (defaults without one).

#include <cstdint>
#include <memory>
#include <vector>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/transform_matrix.h"
#include "platform/cstring.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "platform/window/wnd.h"
#include "viewer/core/figures.h"
#include "viewer/core/scroll_helper.h"
#include "viewer/core/virtual_view.h"

class CColorMap;
class CDC;
class CDialog;
class CMeterInfoBase;
class CPropertyList;
class CSelObj;
using CSelectionInfo = CSelObj;
struct OutlineState;
struct SGeoTags;
struct ViewFigureStandIn;
class CStatusBar;
class CVectorImage;
struct PalitraTag;
struct ViewResultParam;

/// Bytes of one row of a 24-bit bitmap file `width` pixels wide (a multiple of 4).
std::uint64_t BmpStride(int width);
/// The size of the 24-bit bitmap file of a picture; FALSE when the format cannot state it
/// (an empty picture or more than 4 GB).
BOOL BmpFileSize(int width, int height, std::uint64_t* bytes);

/// Writes the whole picture of `view` (rendered at 1:1) as a 24-bit bottom-up bitmap file,
/// complete or not at all. Throws the core's error on failure (the cancel error on a stop).
void WriteBmpFile(CVirtualView* view, int width, int height, const char* path, CMeterInfoBase* meter);

/// Control id of the view window inside its frame.
inline constexpr UINT kViewRectControlId = 59648;

/// What SaveViewState keeps: zoom, fit, the active view's colour map and both bars.
struct CViewState {
    double scale = 1.0;
    int zoomStep = 1;
    int fit = 0;
    std::unique_ptr<CColorMap> colorMap;  ///< copy of the active view's map; null when it had none
    ScrollInfoD hScroll;
    ScrollInfoD vScroll;

    CViewState();
    ~CViewState();
    CViewState(const CViewState&) = delete;
    CViewState& operator=(const CViewState&) = delete;
};

/// The 8-bit output description handed to the views: a header and 256 colours.
struct ViewBitmapInfo {
    BITMAPINFOHEADER bmiHeader{};
    RGBQUAD bmiColors[256]{};
};

class CViewRect : public CWnd {
public:
    /// Selection kinds (GetSelKind).
    static constexpr int kSelNone = 0;
    static constexpr int kSelRect = 1;
    static constexpr int kSelRegion = 2;
    static constexpr int kSelMeasure = 13;

    CViewRect();
    ~CViewRect() override;

    /// Creates the child window (control id kViewRectControlId, border, client edge) and
    /// binds the two scroll helpers.
    BOOL Create(CWnd* parent);

    // --- layer stack ---------------------------------------------------------------------------
    /// Opens a layer file in a new raster view. The first layer of the window fixes the
    /// picture size, the geographic transform and the coordinate law. The load finishes on
    /// a worker: WM_VIEWER code 2 (ready) or 3 (failed) reaches the parent. Returns the
    /// view's index, -1 when the file cannot be opened (the stack is left as before and
    /// code 3 is posted to the parent).
    int AddTransformedLayer(const char* file, int component, double stretchLow, double stretchHigh,
                            int stretchMethod, int openMode, CMeterInfoBase* meter, CStatusBar* status);
    /// Shows samples held in memory with a display pyramid the caller holds (laid out as the
    /// pyramid cache after its 24-byte header: 1024 bytes of level counts, then the pyramid).
    /// Index, or -1.
    int AddRasterLayer(const char* name, void* samples, int width, int height, int dataType, BYTE* pyramid,
                       PalitraTag* palette, double low, double high, CMeterInfoBase* meter,
                       CStatusBar* status);
    /// A new zero-filled layer file at `path` shown as the working copy. Index, or -1.
    int AddBlankLayer(const char* path, int width, int height, int dataType, int stretchMethod,
                      CMeterInfoBase* meter, CStatusBar* status);
    /// Appends a view made elsewhere (the window takes it). A picture layer becomes active
    /// when `makeActive` is set or none is; the first one fixes the picture size. Index, or -1.
    int AddView(CVirtualView* view, BOOL makeActive);
    /// An RGB composite of three files. -1 until the RGB view exists.
    int AddRgbLayer(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue,
                    CMeterInfoBase* meter, CStatusBar* status);
    /// A vector overlay over the picture; -1 without an active view.
    int AddVectorLayer(CVectorImage* image);
    /// The overlay figures (flag 1 the pointer, flag 2 the measure line); index of the last
    /// view, -1 without an active view.
    int AddFigureLayer(int flags, BOOL redraw);
    /// Makes the picture layer at `index` active and shows or hides it. 1 on success, 0 for
    /// an index outside the stack or an overlay.
    int SetActiveView(int index, int show);
    /// The active view; null when none.
    CVirtualView* GetActiveView() const;
    int GetActiveIndex() const { return m_nActive; }
    /// Number of views in the stack and the view at `index` (null outside the stack).
    int GetViewCount() const { return static_cast<int>(m_Views.size()); }
    CVirtualView* GetView(int index) const;
    void CloseActiveView();
    void CloseView(int index);
    void CloseAll();

    // --- zoom and scrolling -----------------------------------------------------------------------
    void SetScale(double scale);
    double GetScale() const { return m_dScale; }
    int GetZoomStep() const { return m_nZoomStep; }
    BOOL IsFit() const { return m_bFit; }
    void FitToWindow();
    /// 1:1.
    void RealScale();
    /// One step along the ladder ..., 1/3, 1/2, 1, 2, 3, ... keeping the picture pixel under
    /// the last mouse position in the middle.
    void ZoomIn();
    void ZoomOut();
    /// Shows picture pixel (x, y) in the middle and repaints.
    void RecenterOn(int x, int y);
    /// Scrolls so that picture pixel (x, y) is in the middle.
    void CenterOn(int x, int y);
    /// The picture pixel under client point (sx, sy).
    CPoint ScreenToImage(int sx, int sy) const;
    CPoint ScreenToImage(CPoint p) const { return ScreenToImage(p.x, p.y); }
    /// The client point of picture position (x + dx, y + dy); dx, dy 0 or 0.5 (pixel centre).
    CPoint ImageToScreen(int x, int y, double dx = 0.0, double dy = 0.0) const;
    /// The exact scroll position in picture pixels.
    double GetScrollX() const { return m_HScroll.GetPos(); }
    double GetScrollY() const { return m_VScroll.GetPos(); }
    /// The picture size (of the first layer); 0 with an empty stack.
    int GetImageWidthPx() const { return m_nImageWidth; }
    int GetImageHeightPx() const { return m_nImageHeight; }
    /// The last mouse position in client pixels.
    CPoint GetMousePoint() const { return m_ptMouse; }

    /// A new record owned by the caller.
    CViewState* SaveViewState() const;
    void RestoreViewState(const CViewState* state);

    // --- tools and selections ----------------------------------------------------------------------
    void SetToolMode(int mode);
    int GetToolMode() const { return m_ToolMode; }
    /// The cursor the window keeps for cursor kind `kind`; null for kinds without one.
    HCURSOR GetToolCursor(int kind) const;
    void TurnOnPointer(int flags);
    void TurnOffPointer(int flags);
    CPoint GetPointerPos() const;
    /// Moves the pointer, kept inside the picture; (-1, -1) is the middle of the window.
    /// Returns the position used.
    CPoint SetPointerPos(int x, int y);
    void SetRectSelection(int x1, int y1, int x2, int y2, CDialog* dialog);
    void SetRegionSelection(HRGN region);
    /// Takes a region as the selection; returns the new selection kind.
    int SetSelection(HRGN region);
    /// The selection region in picture pixels (owned by the window; empty when none).
    HRGN GetSelectionRgn() const { return m_hSelRgn; }
    void SaveSelection(HRGN region);
    void StatsSelection(HRGN region, CWnd* histogramSource);
    void ShowSelInfo();
    /// direction 1: along X (row `index`); 0: along Y (column `index`).
    void ShowProfile(int direction, int index);
    int GetSelKind() const { return m_nSelKind; }
    CString GetSelKindName() const;
    void FillSelProperties(CPropertyList* properties);
    void RemoveMeasure();
    /// Ends the selection outline's background drawing (the frame's close) and waits for it.
    void StopOutline();
    /// The selection information object (null before the first selection).
    CSelectionInfo* GetSelInfo() const { return m_pSelInfo; }
    /// Whether the outline thread of the current selection runs.
    BOOL IsOutlineRunning() const;
    /// Frames the running outline has drawn (0 without one).
    long GetOutlineFrames() const;
    /// Draws the next frame of the running outline now, as its thread does every 10 ms
    /// (nothing without one); FALSE when no frame was drawn.
    BOOL StepOutline();
    /// The measure line's nodes (picture pixels) and its property list; empty / null without one.
    std::vector<CPoint> GetMeasureNodes() const;
    CPropertyList* GetMeasureProperties() const;
    /// The client rectangle the pointer marker covers (empty without a pointer).
    CRect GetPointerScreenRect() const;
    /// The grid of a copied picture: rectangle (l, t, r, b) with logical (x1, y1) at its
    /// bottom-left and (x2, y2) at its top-right corner.
    static void DrawAxes(CDC* dc, const RECT& rect, double x1, double y1, double x2, double y2);
    /// Hit test of rectangle `r` with handle size `size`: 17..24 for the corner and edge
    /// handles (corners first), 0 for none.
    static int HitTestHandles(const RECT& r, int size, CPoint p);

    // --- read-out, coordinates, export ---------------------------------------------------------------
    /// The four status texts for picture pixel (x, y), each cut to its buffer (between
    /// characters). Null buffers are skipped.
    void FormatPointInfo(int x, int y, char* zoomText, int zoomSize, char* pixelText, int pixelSize,
                         char* valueText, int valueSize, char* coordText, int coordSize) const;
    /// The texts for the picture pixel under the mouse; while a rectangle is drawn the
    /// coordinate text shows the rectangle.
    void GetStatusTexts(char* zoomText, int zoomSize, char* pixelText, int pixelSize, char* valueText,
                        int valueSize, char* coordText, int coordSize) const;
    int SetLogicalCoords(int width, int height, double xFrom, double xTo, double yFrom, double yTo);
    CCoordLawData* GetCoordLaw() { return &m_CoordLaw; }
    const TransformMatrix& GetGeoTransform() const { return m_Transform; }
    BOOL HasGeoTransform() const { return m_bGeoTransform; }
    void ExportBmp();
    /// 1 bitmap, 2 picture with a coordinate grid. 1 when something was copied.
    int CopyToClipboard(int mode);

    // --- forwarders to the active view (defaults without one) ------------------------------------
    int GetViewKind() const;
    int ImageWidth() const;
    int ImageHeight() const;
    CString GetLayerName() const;
    CString GetValueText(int x, int y) const;
    CString GetFileName(int component) const;
    unsigned* GetHistAddr(int component) const;
    int GetComplexMode(int component) const;
    BOOL IsComplex(int component) const;
    double Min(int component) const;
    double Max(int component) const;
    double Mean(int component) const;
    double StDev(int component) const;
    CString GetStringTypeData(int component) const;
    CColorMap* GetColorMap() const;
    CColorMap* GetModeColorMap(int tag) const;
    /// 768 bytes: 256 RGB triplets.
    void GetPalette(BYTE* palette) const;
    void SetPaletteMode(CColorMap* map);
    void SetPalette(const BYTE* palette);
    void EqualizeHistogram();
    void SetCorrectionTable(const BYTE* table, int mode);
    int GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region) const;
    int GetHistDataRect(int component, unsigned* counters, int bytes, unsigned bins, const RECT& rect) const;
    int Redisplay(CMeterInfoBase* meter, CStatusBar* status, int complexMode, double stretchLow,
                  double stretchHigh, int stretchMethod);
    /// RGB tuning from three channel records. 0 until the RGB view exists.
    int StartTuneRepresentation(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue);
    int Reopen(const char* path);
    /// Makes sure the statistics of a single-band layer exist (flag 1); 1 when nothing is to do.
    int CalcStatistics(int a, CMeterInfoBase* meter, CStatusBar* status, int flag);
    void ShowComplexComponent(int mode);
    /// The active view drops its cached rendering.
    void DropRendering();

    /// The back buffer's capacity in bytes (grown in 512 KB steps, never shrunk).
    std::size_t GetBackBufferCapacity() const { return m_nBitsSize; }

    DECLARE_MESSAGE_MAP()

    void OnPaint();
    void OnSize(UINT type, int cx, int cy);
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnRButtonUp(UINT flags, CPoint point);
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnContextMenu(CWnd* wnd, CPoint point);
    BOOL OnEraseBkgnd(CDC* dc);
    LRESULT OnViewer(WPARAM wParam, LPARAM lParam);
    LRESULT OnViewCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryAlive(WPARAM wParam, LPARAM lParam);

private:
    /// Appends a view, tells it its index; returns the index.
    int AppendView(CVirtualView* view);
    /// Deletes the view at `index`; the active view stays active (its index moves down when
    /// it stood above).
    void RemoveViewAt(int index);
    /// The stack position of the view whose notification index is `id`; -1 when it is gone.
    int PositionOfId(int id) const;
    void ApplyZoomStep(int step, bool magnify);
    /// Bytes the views need to render the client (the whole shown picture when fitted).
    std::size_t RenderBufferNeed() const;
    /// The index of view `view` in the stack; -1 when it is gone.
    int IndexOf(const CVirtualView* view) const;
    void AfterStackEmptied();
    /// Takes the coordinate law and the geographic reference of the first layer opened.
    void LoadGeoReference(const CRDPLayer& layer);
    /// The same from a file not yet opened (the red channel of a composite opening on a job).
    void LoadGeoReference(const char* file);
    /// Sets the window's coordinates from the geographic records and the coordinate law
    /// just loaded (`lawLoaded`: m_CoordLaw holds the file's law).
    void SetGeoReference(const SGeoTags& tags, BOOL lawLoaded);
    void Redraw();
    void ReadClientSize();
    /// Grows the back buffer to at least `need` bytes in 512 KB steps.
    bool EnsureBackBuffer(std::size_t need);
    /// The largest scroll positions for the current scale and client size.
    double MaxScrollX() const;
    double MaxScrollY() const;
    /// Sets both bars for the picture size, the current scale and client size.
    void UpdateBars(double hPos, double vPos);
    /// Renders client rectangle `area` of every view (pictures first, overlays after).
    void RenderArea(CDC* dc, const RECT& area);
    void PaintOutside(CDC* dc);
    /// An overlay's DrawOverlay over client rectangle `area` (clipped to it when asked).
    void DrawOverlayOf(CVirtualView* view, CDC* dc, const RECT& area, bool clip);
    /// The figure view is gone: the figures go with it.
    void ForgetFigures();
    void Scroll(CScrollHelper& helper, bool horizontal, UINT code);
    double LineStep() const;
    void PauseOutline();
    void ResumeOutline();
    void RefreshWorkingRegion();

    // Tools and selections.
    enum class Gesture { Move, Press, Release };
    /// Hands a mouse message to the tool that owns it; false when no tool takes it.
    bool Route(int owner, Gesture gesture, CPoint point);
    bool MoveRect(CPoint point);
    bool PressRect(CPoint point);
    bool ReleaseRect(CPoint point);
    bool MoveFree(CPoint point);
    bool PressFree(CPoint point);
    bool ReleaseFree(CPoint point);
    bool MovePolygon(CPoint point);
    bool PressPolygon(CPoint point);
    void ClosePolygon();
    bool MoveMeasure(CPoint point);
    bool PressMeasure(CPoint point);
    void FinishMeasure();
    bool MoveSelection(CPoint point);
    bool PressMove(CPoint point);
    bool ReleaseMove(CPoint point);
    bool MovePointer(CPoint point);
    bool PressPointer(CPoint point);
    bool ReleasePointer(CPoint point);
    void ApplyCursor(int kind);
    void XorLine(CPoint a, CPoint b);
    void DragRect(const RECT& now, const RECT& before, bool first);
    CRect ScreenRectOfPictureRect(const RECT& r) const;
    CRect ScreenBoxOfSelection() const;
    void InvalidateSelectionBox();
    void MakeRectSelection(int x1, int y1, int x2, int y2);
    bool MakePolygonSelection();
    void StartOutline();
    void UpdateRectInfo();
    void UpdateRegionInfo();
    void ReplaceSelInfo(int type);
    CRect PointerScreenRect(CPoint pos) const;
    void LoadCursors();
    void DeleteSelectionTools();

    CPoint m_ptMouse{0, 0};
    CScrollHelper m_HScroll;
    CScrollHelper m_VScroll;
    BOOL m_bTracking = FALSE;
    BOOL m_bPainted = FALSE;
    int m_nSizeDepth = 0;
    TransformMatrix m_Transform;
    BOOL m_bGeoTransform = FALSE;
    BOOL m_bGeoCompact = FALSE;
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    int m_nClientWidth = 0;
    int m_nClientHeight = 0;
    CPoint m_ptOrigin{0, 0};
    int m_nCursorKind = 1;
    double m_dScale = 1.0;
    int m_nZoomStep = 1;
    BOOL m_bFit = FALSE;
    std::vector<CVirtualView*> m_Views;
    std::vector<int> m_Ids;  ///< the notification index of each view, never reused
    int m_nNextId = 0;
    int m_nActive = -1;
    CBrush m_brHatch;
    CBrush m_brBlack;
    int m_nBytesPerPixel = 0;
    ViewBitmapInfo m_bmi;
    BYTE* m_pBits = nullptr;
    std::size_t m_nBitsSize = 0;

    int m_MoveMode = 0;
    int m_ToolMode = 0;
    int m_fCompatibleMode = 0;
    int m_ExlusiveMode = 0;
    int m_rcSel[4] = {0, 0, 0, 0};
    HRGN m_hSelRgn = nullptr;
    HRGN m_hSelRgnView = nullptr;
    int m_nSelKind = 0;
    CPoint m_ptPointer{0, 0};
    BOOL m_bPointer = FALSE;

    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hIdleEvent = nullptr;
    HANDLE m_hDrawingEvent = nullptr;

    // The overlay figures: the holder makes the figure view once; null when absent.
    CFigureLayer m_FigureLayer;
    CPointerFigure* m_pPointer = nullptr;
    CPolyFigure* m_pMeasure = nullptr;

    CCoordLawData m_CoordLaw;
    BOOL m_bMinimized = FALSE;

    // Gestures of the tools (picture pixels unless noted).
    std::vector<CPoint> m_Points;
    std::vector<CPoint> m_OutlinePoints;
    std::vector<BYTE> m_OutlineTypes;
    CPoint m_ptFirst{0, 0};
    CPoint m_ptLast{0, 0};
    CPoint m_ptRubber{0, 0};  ///< client pixels
    CPoint m_ptDragStart{0, 0};
    CPoint m_ptDragCur{0, 0};
    CPoint m_ptPointerStart{0, 0};
    CRect m_rcDrag;  ///< client rectangle of the drag frame on screen
    bool m_bDragShown = false;
    bool m_bRubberShown = false;
    HRGN m_hGhostRgn = nullptr;
    CSelectionInfo* m_pSelInfo = nullptr;
    HCURSOR m_Cursors[17] = {};
    std::shared_ptr<OutlineState> m_pOutline;
    std::unique_ptr<ViewFigureStandIn> m_pFigures;
};
