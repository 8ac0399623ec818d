#pragma once

// The layer view of one single-band raster layer. It keeps the layer open, maps its samples
// to 8-bit display levels through a display range into a display pyramid held in a cache
// file beside the source (or in the "TempDir" folder), and turns levels into colours through
// a palette made from a colour map and a correction table. Drawing reads only the pyramid.
//
// Threads: the pyramid build ("Open Image") and the statistics ("Calc Stats") run as jobs;
// while one runs the view is busy and every draw and read-out returns at once. Jobs report
// by posting WM_VIEWER to the view window with a CViewNotify record.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "outside/huebook/color_struct.h"
#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"

class CColorMap;
class CRDPLayer;
class CMeterInfoBase;
class CStatusBar;
class CWnd;
class CDC;
class CTilePyramid;
struct RasterPyramidStore;

class CRasterView : public CVirtualView {
public:
    /// Empty: identity correction, tag 501, a new identity for the view's default map.
    CRasterView();
    /// Removes the temporary statistics layer and any heap working copy with their files,
    /// closes the file layer, frees the maps and the magnified picture. A build still
    /// running is stopped and reports nothing.
    ~CRasterView() override;

    // Opening (the view window calls these).

    /// Opens layer 0 of `path` (openMode 0 read-only, 1 writable) and shows component
    /// `complexMode` (complex layers only; a real layer shows mode 0) stretched by
    /// `stretchMethod` (low and high for the manual method). Reuses a current cache file
    /// (posts code 2 at once) or starts the "Open Image" build job (posts 2 or 3 when done).
    /// A file without statistics is shown with statistics computed in memory; the file is
    /// not changed. FALSE when the layer cannot be shown; nothing is posted then.
    BOOL Open(int layerIndex, CWnd* viewWindow, const char* path, int complexMode, double stretchLow,
              double stretchHigh, int stretchMethod, int openMode, CMeterInfoBase* meter, CStatusBar* status);
    /// Changes the shown component (-1 keeps it and only resets the stretch method to 0) and
    /// the stretch of an open layer and rebuilds or reuses the pyramid as Open does.
    BOOL Redisplay(CMeterInfoBase* meter, CStatusBar* status, int complexMode, double stretchLow,
                   double stretchHigh, int stretchMethod);
    /// Shows samples and a pyramid the caller holds: `pyramid` points at 1024 bytes of
    /// display histogram followed by the pyramid of width x height. Statistics from min and
    /// max alone; `palette` (may be null: the default grey map) is installed. Both buffers
    /// stay the caller's and must outlive the view. FALSE for null samples or pyramid.
    BOOL OpenBuffer(int layerIndex, CWnd* viewWindow, const char* name, void* samples, int width, int height,
                    int typeCode, BYTE* pyramid, const PalitraTag* palette, double min, double max,
                    CMeterInfoBase* meter, CStatusBar* status);
    /// Creates a new layer file of zeros at `path` and shows it as the working copy
    /// ("New File", range 0..255, statistics zero and dirty). Posts code 3 once and returns
    /// FALSE when the file cannot be made.
    BOOL CreateBlank(int layerIndex, CWnd* viewWindow, const char* path, int width, int height, int typeCode,
                     int stretchMethod, CMeterInfoBase* meter, CStatusBar* status);
    /// Opens a layer as a channel of an RGB composite: no view window, no notification, no
    /// palette; the pyramid is built on the calling thread when no cache file serves. A file
    /// without statistics fails.
    BOOL OpenChannel(const char* path, int complexMode, double stretchLow, double stretchHigh,
                     int stretchMethod, CMeterInfoBase* meter, CStatusBar* status);
    /// Closes the layer and opens `path` read-only (after a save under a new name); sends
    /// code 10 to the view window. On failure the view shows nothing (no pointer into the
    /// closed file is kept) and the result is FALSE.
    BOOL Reopen(const char* path);
    /// Starts the "Calc Stats" job when the statistics are dirty (result 0; code 9 with
    /// `arg` is posted when done); 1 when they are current and nothing runs.
    int StartStatistics(int arg, CMeterInfoBase* meter, CStatusBar* status, int reserved);

    /// Makes the map kept for the mode's tag (0 -> 501, 1 -> 504, 2 -> 502, 3 -> 503) current,
    /// or the default grey map when the tag has none, and installs its palette.
    void SelectModeColorMap(int mode);
    /// Reads 8-bit display levels from the pyramid (the RGB view reads its channels so);
    /// the arguments are those of CTilePyramid::ReadWindow. 0 while busy or empty.
    int ReadLevels(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h, double zoom,
                   BOOL wholeImage, int pixelStep, BOOL bottomUp, CMeterInfoBase* meter);
    /// The pyramid ReadLevels reads (null while busy or empty), for a caller that reads
    /// several channels' rows in one pass.
    CTilePyramid* LevelPyramid() const { return Pyramid(); }
    /// True once a read met a damaged tile of the display cache (the picture cannot be
    /// read until the cache is built again).
    bool CacheDamaged() const;
    /// Builds a channel's damaged display cache again, on the calling thread as the
    /// channel's opening does; the damaged file is never taken again. FALSE when the cache
    /// was not damaged or the build failed.
    BOOL RebuildDamagedChannel(CMeterInfoBase* meter);
    /// Throws the error a render gives when the display cache was found damaged.
    void ThrowIfCacheDamaged() const;

    /// Nonzero while a build or statistics job runs.
    BOOL IsBusy() const;
    /// The displayed palette as a record (size 776).
    const PalitraTag& GetDisplayedPalette() const { return m_displayed; }
    /// The cache file the pyramid lives in (empty for a buffer, a working copy or a blank).
    const CString& GetCacheFileName() const { return m_cacheName; }

    // CVirtualView.
    void SetColorMap(CColorMap* map) override;
    BOOL MakeWorkingCopy() override;
    void SetCorrectionTable(const BYTE table[256], int mode) override;
    void EqualizeHistogram() override;
    void GetPalitra(ColorStruct* out) override;
    CColorMap* GetColorMap() override { return m_colorMap.get(); }
    CColorMap* GetModeColorMap(int tag) override;
    void SetPalitra(const ColorStruct* palette) override;
    unsigned* GetHistAddr(int component, int kind) override;
    int GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region) override;
    void** GetRows(int component) override;
    CRDPLayer* GetLayer(int component) override;
    CRDPLayer* GetSourceLayer(int component) override;
    double GetDisplayMin(int component) override { return component == 1 ? m_low : -1.0; }
    double GetDisplayMax(int component) override { return component == 1 ? m_high : -1.0; }
    int GetStretchMethod(int component) override { return component == 1 ? m_stretchMethod : -1; }
    void GetLevelRange(int level, double* low, double* high) override;
    BOOL IsWorkingCopy() override { return m_workingShown; }
    void SetWorkingCopy(BOOL shown) override { m_workingShown = shown; }
    BOOL IsComplex(int component) override;
    CString GetFileName(int component) override { return component == 1 ? m_path : CString(); }
    CString GetValueText(int x, int y) override;
    COLORREF GetPixelColor(int x, int y) override;
    int GetComplexMode(int component) override { return component == 1 ? m_mode : -1; }
    double Min(int component) override { return component == 1 ? m_min : 0.0; }
    int GetDataType(int component) override { return component == 1 ? m_type : -1; }
    double Max(int component) override { return component == 1 ? m_max : 0.0; }
    double Mean(int component) override { return component == 1 ? m_mean : 0.0; }
    double StDev(int component) override { return component == 1 ? m_stdDev : 0.0; }
    void SetStatsDirty(BOOL dirty) override { m_statsDirty = dirty; }
    CString GetStringTypeData(int component) override
    {
        return component == 1 ? m_typeName : CString("CVirtualView");
    }
    void RenderRGB(int x, int y, int width, int height, int stride, int bottomUp, double zoom,
                   BOOL wholeImage, BYTE* dest, CMeterInfoBase* meter) override;
    void DrawBlockAt(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawOverlay(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                    double zoom, BOOL visibleOnly, BYTE* bits, BITMAPINFO* info) override;
    void DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL visibleOnly, BYTE* bits,
                BITMAPINFO* info) override;
    void CopyRectToDC(CDC* dc, const RECT* rect, BYTE* bits, BITMAPINFO* info) override;
    void SetZoom(double zoom, int flags) override;
    CString GetLayerName() override { return m_layerName; }
    void ShowProfile(int direction, int position, CWnd* parent, CCoordLawData* law) override;
    /// The values of row `position` (direction 1) or column `position` as shown by the
    /// read-out; false outside the layer or without rows.
    bool ReadProfile(int direction, int position, std::vector<double>& values);
    /// "Profile along X axis with Y= 12" (direction 1) or the Y form.
    static CString ProfileCaption(int direction, int position);
    void SaveRectAs(const RECT* rect) override;
    void SaveRegionAs(HRGN region) override;
    void ShowRegionStatistics(HRGN region, CWnd* histogramSource) override;
    BOOL RecalcStatistics(int arg, CMeterInfoBase* meter) override;

private:
    struct StatsJob;
    friend struct RasterBuildJob;

    BOOL OpenCommon(const char* path, int complexMode, double stretchLow, double stretchHigh,
                    int stretchMethod, int openMode, BOOL channel);
    BOOL ReadModeStatistics(int mode);
    void LoadModeColorMaps();
    void MakeCurrentMap(BOOL rescaleOwn);
    void MakeDefaultColorMap();
    void ApplyCorrection();
    BOOL ShowPyramid(BOOL channel, CMeterInfoBase* meter, CStatusBar* status);
    void Notify(int code, int arg, void* data, BOOL send);
    void SetStatus(CStatusBar* status, const char* text);
    void ReleaseLayer();
    void FillBitmapHeader(BITMAPINFO* info, int stride, int height) const;
    bool MakeMagnified(double zoom, BYTE* bits);
    BOOL AskSavePath(CString& path);
    /// The pyramid when it can be read (built and no job running), else null.
    CTilePyramid* Pyramid() const;
    /// After a read of `pyramid` that returned `readResult`: true when the read found a
    /// damaged tile of the cache, which then goes and the pyramid is built again (the
    /// pyramid must not be used after). False when the read went as any other.
    bool RebuiltAfterDamage(const CTilePyramid* pyramid, int readResult);
    /// Removes the damaged cache file, or, where it cannot be removed, passes it over
    /// until a new build replaces it.
    void DropDamagedCache();
    void TakeBuiltHistogram();
    void StatisticsComputed();

    GUID m_id{};
    BOOL m_workingShown = FALSE;
    CString m_path;
    CString m_layerName;
    std::shared_ptr<RasterPyramidStore> m_store;  ///< the pyramid and its cache; shared with a running job
    std::shared_ptr<CRDPLayer>
        m_fileLayer;  ///< the layer file (statistics computed in memory when it had none)
    std::shared_ptr<CRDPLayer> m_workingCopy;  ///< a heap copy owned by the view, or null
    BOOL m_workingIsFileLayer = FALSE;
    std::vector<void*> m_bufferRows;  ///< row table of a caller's buffer (OpenBuffer)
    std::vector<BYTE> m_magnified;    ///< the magnified picture of whole-picture draws below 1:1
    int m_magWidth = 0;
    int m_magHeight = 0;
    int m_magStride = 0;
    void* m_samples = nullptr;  ///< a caller's buffer (OpenBuffer)
    std::int64_t m_rowBytes = 0;
    int m_mode = 0;
    int m_type = 0;
    CString m_typeName;
    double m_min = 0.0, m_max = 0.0, m_mean = 0.0, m_stdDev = 0.0;
    int m_stretchMethod = 0;
    double m_low = 0.0, m_high = 0.0;
    int m_tag = 501;
    CMeterInfoBase* m_meter = nullptr;
    ColorStruct m_base[256] = {};
    PalitraTag m_displayed;
    std::unique_ptr<CColorMap> m_colorMap;
    std::array<std::unique_ptr<CColorMap>, 4> m_modeMaps;  ///< tags 501 to 504
    BYTE m_correction[256];
    std::array<unsigned, 256> m_levelHist{};  ///< display levels of the picture
    std::array<unsigned, 256> m_dataHist{};   ///< samples of the shown mode
    int m_bitmapHeight = 0;                   ///< negative: the reduced picture's rows run top-down
    int m_bitmapStride = 0;
    /// The window last read into the caller's buffer by a visible-only draw; the buffer is
    /// reused only for the same window, or a resized window would be shown with the old stride.
    int m_visibleRead[4] = {0, 0, 0, 0};
    double m_visibleZoom = 0.0;
    CWnd* m_notify = nullptr;
    BOOL m_tempStats = FALSE;
    BOOL m_statsDirty = FALSE;
    CString m_cacheName;
    double m_zoom = 1.0;
    BOOL m_channel = FALSE;  ///< the last pyramid shown was built on the caller's thread
    CString m_refusedCache;  ///< a cache found damaged that could not be removed: never taken
};
