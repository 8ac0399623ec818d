#pragma once

// The layer view interface. The view window of a viewer holds a stack of layer views, each
// showing one thing over the picture area (a raster layer, an RGB composite, a vector
// overlay, the overlay figures or a recorded picture), and reaches them only through the
// virtual operations below. A derived view overrides what it supports and inherits the
// defaults for the rest; the defaults are what an empty view answers.
//
// Component numbers: the queries that take a component answer for component 1 in a
// single-band view and for 3, 4 and 5 (red, green, blue) in an RGB view; any other
// component gives the default.

#include <atomic>
#include <cstdint>
#include <memory>

#include "outside/huebook/color_struct.h"
#include "platform/cstring.h"
#include "platform/gdi/gdi_types.h"
#include "platform/types.h"

class CColorMap;
class CRDPLayer;
class CMeterInfoBase;
class CCoordLawData;
class CDC;
class CWnd;

/// Layer classes: picture layers are painted first, overlays after all of them.
inline constexpr int kLayerClassPicture = 1;
inline constexpr int kLayerClassOverlay = 2;
/// View kinds (the frame's colour mode of its active view).
inline constexpr int kViewKindSingleBand = 1;
inline constexpr int kViewKindRgb = 2;

/// The record a layer view sends with each WM_VIEWER notification (wParam; lParam is the
/// code). The view allocates it with new; the view window takes and deletes it.
class CViewNotify {
public:
    int m_nIndex = -1;        ///< the sender's layer index
    int m_nArg = 0;           ///< an integer argument of the code
    void* m_pData = nullptr;  ///< data of the code (not owned by the record)

    CViewNotify() = default;
    CViewNotify(int index, int arg, void* data = nullptr) : m_nIndex(index), m_nArg(arg), m_pData(data) {}
};

class CVirtualView {
public:
    /// Every field zero; derived constructors set the layer class and the view kind.
    CVirtualView() = default;
    CVirtualView(const CVirtualView&) = delete;
    CVirtualView& operator=(const CVirtualView&) = delete;

    /// A job that reads the view after the command that started it holds the view, so that
    /// the view outlives its window for as long as the job runs. Any thread.
    void Hold() { m_holds.fetch_add(1, std::memory_order_relaxed); }
    /// Ends a hold; the last one frees a view that its window has let go of.
    void Release()
    {
        if (m_holds.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    /// The view window lets go of a view it owns: freed now, or by its last holder.
    static void Dispose(CVirtualView* view)
    {
        if (view) view->Release();
    }

    // The operations in slot order (the destructor first).
    virtual ~CVirtualView() = default;
    virtual int GetIndex() { return m_nIndex; }
    virtual int GetStateWord() { return m_nState; }
    virtual void SetColorMap(CColorMap* /*map*/) {}
    virtual BOOL MakeWorkingCopy() { return FALSE; }
    /// A slot no caller uses; kept so that every view has the same operations.
    virtual void Reserved(int, int) {}
    virtual void SetCorrectionTable(const BYTE /*table*/[256], int /*mode*/) {}
    virtual void EqualizeHistogram() {}
    /// Copies the displayed palette (256 entries) into `out`.
    virtual void GetPalitra(ColorStruct* /*out*/) {}
    virtual CColorMap* GetColorMap() { return nullptr; }
    /// The colour map kept for tag 501 to 504.
    virtual CColorMap* GetModeColorMap(int /*tag*/) { return nullptr; }
    virtual void SetPalitra(const ColorStruct* /*palette*/) {}
    /// kind 0: the data histogram; kind 1: the display-level histogram (256 counters).
    virtual unsigned* GetHistAddr(int /*component*/, int /*kind*/) { return nullptr; }
    /// Histogram of a region in `bins` counters; the number of samples counted, or -1.
    virtual int GetHistDataRgn(int /*component*/, unsigned* /*counters*/, int /*bytes*/, unsigned /*bins*/,
                               HRGN /*region*/)
    {
        return -1;
    }
    /// The same over a rectangle (right and bottom excluded); no view supplies it.
    virtual int GetHistDataRect(int /*component*/, unsigned* /*counters*/, int /*bytes*/, unsigned /*bins*/,
                                int /*left*/, int /*top*/, int /*right*/, int /*bottom*/)
    {
        return -1;
    }
    virtual void** GetRows(int /*component*/) { return nullptr; }
    /// The working copy while it is shown, else the file layer.
    virtual CRDPLayer* GetLayer(int /*component*/) { return nullptr; }
    virtual CRDPLayer* GetSourceLayer(int /*component*/) { return nullptr; }
    virtual double GetDisplayMin(int /*component*/) { return -1.0; }
    virtual double GetDisplayMax(int /*component*/) { return -1.0; }
    virtual int GetStretchMethod(int /*component*/) { return -1; }
    /// The value range that display level `level` stands for.
    virtual void GetLevelRange(int /*level*/, double* low, double* high)
    {
        if (low) *low = 0.0;
        if (high) *high = 0.0;
    }
    virtual BOOL IsWorkingCopy() { return FALSE; }
    virtual void SetWorkingCopy(BOOL /*shown*/) {}
    virtual BOOL IsComplex(int /*component*/) { return FALSE; }
    virtual CString GetFileName(int /*component*/) { return CString(); }
    virtual CString GetValueText(int /*x*/, int /*y*/) { return CString(); }
    virtual COLORREF GetPixelColor(int /*x*/, int /*y*/) { return COLORREF(0xFFFFFF); }
    /// 0 amplitude, 1 phase, 2 real part, 3 imaginary part.
    virtual int GetComplexMode(int /*component*/) { return -1; }
    virtual double Min(int /*component*/) { return 0.0; }
    virtual int GetDataType(int /*component*/) { return -1; }
    virtual double Max(int /*component*/) { return 0.0; }
    virtual double Mean(int /*component*/) { return 0.0; }
    virtual double StDev(int /*component*/) { return 0.0; }
    virtual void SetStatsDirty(BOOL /*dirty*/) {}
    virtual CString GetStringTypeData(int /*component*/) { return CString("CVirtualView"); }
    /// Renders a block as 24-bit pixels (the bitmap export).
    virtual void RenderRGB(int x, int y, int width, int height, int stride, int bottomUp, double zoom,
                           BOOL wholeImage, BYTE* dest, CMeterInfoBase* meter) = 0;
    /// Reads a block (x, y, width, height in zoomed pixels) and draws it at (destX, destY).
    virtual void DrawBlockAt(CDC* dc, int x, int y, int destX, int destY, int width, int height, double zoom,
                             BOOL wholeImage, BYTE* bits, BITMAPINFO* info) = 0;
    /// Draws what an overlay shows; the view window's paint does not call it.
    virtual void DrawOverlay(CDC* dc, int x, int y, int width, int height, double zoom, BOOL wholeImage,
                             BYTE* bits, BITMAPINFO* info) = 0;
    /// Redraws one rectangle, given in image pixels, at a device position (after a scroll).
    virtual void DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                            double zoom, BOOL visibleOnly, BYTE* bits, BITMAPINFO* info) = 0;
    /// Draws the part of the picture whose top-left image position is (x, y) into a window
    /// area of width x height screen pixels at the device's origin.
    virtual void DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL visibleOnly,
                        BYTE* bits, BITMAPINFO* info) = 0;
    /// Draws a rectangle at 1:1 at the device's origin.
    virtual void CopyRectToDC(CDC* /*dc*/, const RECT* /*rect*/, BYTE* /*bits*/, BITMAPINFO* /*info*/) {}
    virtual void SetZoom(double zoom, int flags) = 0;
    virtual CString GetLayerName() = 0;
    virtual void ShowProfile(int /*direction*/, int /*position*/, CWnd* /*parent*/, CCoordLawData* /*law*/) {}
    virtual void SaveRectAs(const RECT* /*rect*/) {}
    virtual void SaveRegionAs(HRGN /*region*/) {}
    virtual void ShowRegionStatistics(HRGN /*region*/, CWnd* /*histogramSource*/) {}
    virtual BOOL RecalcStatistics(int /*flags*/, CMeterInfoBase* /*meter*/) { return TRUE; }

    // Fields the view window reads and sets directly.
    int GetLayerClass() const { return m_nLayerClass; }
    int GetViewKind() const { return m_nViewKind; }
    void SetIndex(int index) { m_nIndex = index; }
    BOOL IsShown() const { return m_bShown; }
    void SetShown(BOOL shown) { m_bShown = shown; }
    int GetWidth() const { return m_nGeometry[0]; }
    int GetHeight() const { return m_nGeometry[1]; }
    BOOL IsDrawn() const { return m_bDrawn; }
    /// Clearing the flag makes the next draw read its display data again.
    void SetDrawn(BOOL drawn) { m_bDrawn = drawn; }

protected:
    int m_nState = 0;         ///< returned by GetStateWord; a reopened raster view sets it to 0
    int m_nIndex = 0;         ///< position in the view window's stack; put into every notification
    int m_nLayerClass = 0;    ///< kLayerClassPicture or kLayerClassOverlay
    int m_nViewKind = 0;      ///< kViewKindSingleBand or kViewKindRgb
    BOOL m_bShown = FALSE;    ///< while 0 the draws draw nothing
    int m_nGeometry[6] = {};  ///< image width and height, then four integers no caller reads
    BOOL m_bDrawn = FALSE;    ///< the cached rendering is current
    std::int64_t m_nReserved[2] = {};

private:
    std::atomic<int> m_holds{1};  // the window's, then one per holding job
};

/// Ends a job's hold of a view.
struct ViewHoldRelease {
    void operator()(CVirtualView* view) const { view->Release(); }
};
/// A job's hold of a view: the view stays alive while the hold lives.
using ViewHold = std::unique_ptr<CVirtualView, ViewHoldRelease>;
inline ViewHold HoldView(CVirtualView* view)
{
    if (view) view->Hold();
    return ViewHold(view);
}
