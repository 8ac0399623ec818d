#pragma once

// CRGBView: three single-band layer files shown as the red, green and blue channels of
// one colour picture. Each channel is a raster view with its own display pyramid and
// range; the composite is made by letting each channel write its display values into one
// byte of every 24-bit pixel, then passing each byte through that channel's correction
// table.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "viewer/core/virtual_view.h"

class CRasterView;
class CMeterInfoBase;
class CStatusBar;
struct ViewResultParam;

class CRGBView : public CVirtualView {
public:
    CRGBView();
    ~CRGBView() override;

    /// Copies the three records (they stay the caller's), builds the composite name and starts the
    /// open job. When it ends, WM_VIEWER reaches `viewWindow` with code 2 and arg 0 (ready)
    /// or code 3 (a channel could not be opened, or the channels differ in size). 1.
    int OpenLayers(int layerIndex, CWnd* viewWindow, ViewResultParam* red, ViewResultParam* green,
                   ViewResultParam* blue, CMeterInfoBase* meter, CStatusBar* status);
    /// Opens the same files again with the records' display settings (records copied);
    /// the notification carries arg 15.
    int ReopenLayers(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue,
                     CMeterInfoBase* meter, CStatusBar* status);
    BOOL IsBusy() const { return m_busy.load(std::memory_order_acquire); }
    /// The channel view of component 3, 4 or 5 once the open has finished; null otherwise.
    CRasterView* Channel(int component) const;
    /// The correction table of component 3, 4 or 5 (256 bytes); null for others.
    const BYTE* CorrectionTable(int component) const;

    // CVirtualView.
    void SetCorrectionTable(const BYTE table[256], int component) override;
    unsigned* GetHistAddr(int component, int kind) override;
    int GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region) override;
    void** GetRows(int component) override;
    CRDPLayer* GetLayer(int component) override;
    double GetDisplayMin(int component) override;
    double GetDisplayMax(int component) override;
    int GetStretchMethod(int component) override;
    BOOL IsComplex(int component) override;
    CString GetFileName(int component) override;
    CString GetValueText(int x, int y) override;
    int GetComplexMode(int component) override;
    double Min(int component) override;
    int GetDataType(int component) override;
    double Max(int component) override;
    double Mean(int component) override;
    double StDev(int component) override;
    CString GetStringTypeData(int component) override;
    void RenderRGB(int x, int y, int width, int height, int stride, int bottomUp, double zoom,
                   BOOL wholeImage, BYTE* dest, CMeterInfoBase* meter) override;
    void DrawBlockAt(CDC* dc, int x, int y, int destX, int destY, int width, int height, double zoom,
                     BOOL wholeImage, BYTE* bits, BITMAPINFO* info) override;
    void DrawOverlay(CDC* dc, int x, int y, int width, int height, double zoom, BOOL wholeImage, BYTE* bits,
                     BITMAPINFO* info) override;
    void DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                    double zoom, BOOL visibleOnly, BYTE* bits, BITMAPINFO* info) override;
    void DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL visibleOnly, BYTE* bits,
                BITMAPINFO* info) override;
    void CopyRectToDC(CDC* dc, const RECT* rect, BYTE* bits, BITMAPINFO* info) override;
    void SetZoom(double zoom, int flags) override;
    CString GetLayerName() override { return m_name; }
    /// The three channels' rows or columns in one profile window (red, green, blue curves).
    void ShowProfile(int direction, int position, CWnd* parent, CCoordLawData* law) override;
    /// Asks for three output files and saves the rectangle of each channel in a job.
    void SaveRectAs(const RECT* rect) override;
    /// "Save region" of a composite: the three channels of the region's box, as SaveRectAs.
    void SaveRegionAs(HRGN region) override;

    /// The three file names without their folders, joined with ", ".
    static CString CompositeName(const CString& red, const CString& green, const CString& blue);

private:
    struct Settings {
        CString file;
        int component = 0;
        double low = 0.0;
        double high = 0.0;
        int method = 0;
    };
    static void OpenJob(void* arg);
    /// The channel asked for by component 3..5 when all is open; null otherwise.
    CRasterView* Forward(int component) const;
    bool Ready() const;
    /// Reads a block of the composite: rows of `stride` bytes, 3 bytes a pixel (blue,
    /// green, red), then the correction tables over the block only.
    bool ReadBlock(BYTE* dest, std::int64_t stride, int x, int y, int w, int h, double zoom, BOOL wholeImage,
                   BOOL bottomUp, CMeterInfoBase* meter);
    /// ReadBlock for a draw: a channel whose display cache turns out damaged is built
    /// again by a job, and the view window is told to draw again when it is done.
    bool ReadForDraw(BYTE* dest, std::int64_t stride, int x, int y, int w, int h, double zoom,
                     BOOL wholeImage);
    static void RebuildJob(void* arg);
    /// Ends a job of the view: clears the busy flag, then tells the view window.
    static void Report(CRGBView* self, int code, bool ok);
    void Show(CDC* dc, int destX, int destY, int w, int h, int srcX, int srcY, int blockW, int blockH,
              const BYTE* block);

    std::unique_ptr<CRasterView> m_channels[3];
    BYTE m_tables[3][256];
    std::vector<BYTE> m_block;  ///< the block of the last draw (user-interface thread)
    std::atomic<bool> m_busy{false};
    bool m_complete = false;  ///< all three channels open with one size (written while busy)
    CWnd* m_pViewWindow = nullptr;
    Settings m_settings[3];
    CString m_name;
};
