#include "viewer/core/raster_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/sample_component.h"
#include "outside/basecore/stretch_calculator.h"
#include "outside/basecore/thread_runner.h"
#include "outside/huebook/color_map.h"
#include "outside/huebook/standard_color_maps.h"
#include "platform/frame/status_bar.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/atomic_file.h"
#include "platform/kernel/uuid.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"
#include "viewer/core/raster_view_cache.h"
#include "viewer/core/raster_view_jobs.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/tile_pyramid.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_temp_size.h"
#include "outside/basecore/info_file_dialog.h"
#include "outside/basecore/settings.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/region.h"

namespace {

// Rows of a banded render: small enough that every core gets many bands, large enough
// that a band's read costs little beside its rows.
constexpr std::int64_t kRenderRowsPerBand = 32;

constexpr const char* kTextPreparing = "Preparing raster ...";
constexpr const char* kTextBuildingHistogram = "Building histogram ...";
constexpr const char* kTextComputingStatistics = "Computing statisticses ...";
constexpr const char* kTextNewFile = "New File";
constexpr const char* kTextProfileX = "Profile along X axis with Y=";
constexpr const char* kTextProfileY = "Profile along Y axis with X=";
constexpr COLORREF kProfileColour = 0xFF80FF;

/// Colour-map tag of a display mode.
int TagOfMode(int mode)
{
    static constexpr int kTags[4] = {501, 504, 502, 503};
    return kTags[std::clamp(mode, 0, 3)];
}

int Stride4(int width)
{
    return (width + 3) & ~3;
}

/// Closes a layer the view owned: a scratch or heap working copy goes with its file, a
/// user's file is only closed (DestroyLayer never removes an opened file).
struct LayerCloser {
    bool destroy = false;
    void operator()(CRDPLayer* layer) const
    {
        if (!layer) return;
        try {
            if (destroy)
                layer->DestroyLayer();
            else
                layer->CloseLayer();
        } catch (...) {
            // A close that fails leaves nothing to report to: the view is going.
        }
        delete layer;
    }
};

std::shared_ptr<CRDPLayer> NewLayer(bool destroyOnRelease)
{
    return std::shared_ptr<CRDPLayer>(new CRDPLayer(nullptr), LayerCloser{destroyOnRelease});
}

/// One sample of the shown mode as a double, for every type; unsigned complex parts stay
/// unsigned.
double SampleValue(int type, const void* element, int mode)
{
    return visitSampleType(type, [&]<class T>(Tag<T>) -> double {
        T s;
        std::memcpy(&s, element, sizeof(T));
        return SampleComponent(s, mode);
    });
}

void PostOrDrop(HWND window, UINT message, CViewNotify* record, LPARAM code)
{
    // A view window closed before the report arrives frees the record unread.
    if (!window || !platform::PostMessageOwning(window, message, reinterpret_cast<WPARAM>(record), code,
                                                [record] { delete record; }))
        delete record;
}

}  // namespace

/// The pyramid, its storage and the busy flag: what the build and statistics jobs touch.
/// Shared between the view and its running job, so that a view destroyed while a job runs
/// leaves the job its data; the job then reports nothing.
struct RasterPyramidStore {
    std::mutex lock;
    CRasterView* owner = nullptr;  // null once the view is gone
    std::atomic<int> busy{0};
    std::atomic<bool> cancelled{false};
    CMemoryMap map;             // the cache file or anonymous memory
    platform::AtomicFile file;  // a new cache file until its build has completed
    CTilePyramid pyramid;       // declared after the map: freed before it is unmapped
    BYTE* data = nullptr;       // the pyramid's first byte (1024 histogram bytes before it)
    std::int64_t dataBytes = 0;
};

namespace {

/// Forwards progress to the caller's meter until the view goes; then the next progress
/// call stops the build with the cancel error.
class GuardedMeter : public CMeterInfoBase {
public:
    GuardedMeter(CMeterInfoBase* inner, const RasterPyramidStore& store) : m_inner(inner), m_store(store) {}
    void SetText(const char* text) override
    {
        if (Live()) m_inner->SetText(text);
    }
    void SetPos(double pos) override
    {
        if (Live()) m_inner->SetPos(pos);
    }
    void SetRange(double low, double high) override
    {
        if (Live()) m_inner->SetRange(low, high);
    }
    void SetStep(double step) override
    {
        if (Live()) m_inner->SetStep(step);
    }
    void StepIt() override
    {
        if (Live()) m_inner->StepIt();
    }
    double DeltaPos(double delta) override { return Live() ? m_inner->DeltaPos(delta) : 0.0; }

private:
    bool Live() const
    {
        if (m_store.cancelled.load()) AfxThrowRDPExcept(RDP_ERROR_CANCEL);
        return m_inner != nullptr;
    }
    CMeterInfoBase* m_inner;
    const RasterPyramidStore& m_store;
};

}  // namespace

/// One pyramid build: on the "Open Image" job or, for channels, on the caller's thread.
struct RasterBuildJob {
    std::shared_ptr<RasterPyramidStore> store;
    std::shared_ptr<CRDPLayer> layer;
    bool toCache = false;
    RasterCacheKey key;
    RasterCacheHeader header;
    int mode = 0;
    double low = 0.0, high = 0.0;
    CMeterInfoBase* meter = nullptr;
    HWND notify = nullptr;
    int index = 0;

    bool Execute()
    {
        RasterPyramidStore& s = *store;
        GuardedMeter guarded(meter, s);
        bool ok = false;
        try {
            ok = s.pyramid.Build(s.data, s.dataBytes, *layer, mode, low, high, &guarded) == 1;
        } catch (CRDPExcept* e) {
            e->Delete();
        } catch (...) {
        }
        if (!ok) {
            s.pyramid.Free();
            s.file.Discard();
        }
        if (meter && !s.cancelled.load()) {
            try {
                meter->SetPos(0);
            } catch (CRDPExcept* e) {
                e->Delete();
            } catch (...) {
            }
        }
        return ok;
    }

    /// Puts a built pyramid's cache file in place: it appears under its name only now,
    /// complete and stamped. Runs after the view was told, as writing the file to disk
    /// changes nothing it shows; a cache that cannot be kept is simply not there next time.
    void Keep()
    {
        RasterPyramidStore& s = *store;
        if (toCache && StampRasterCache(s.map.AdresData(), key, header)) {
            s.map.Flush();
            s.file.Commit();
        }
        s.file.Discard();
    }

    static void Run(void* arg)
    {
        std::unique_ptr<RasterBuildJob> job(static_cast<RasterBuildJob*>(arg));
        const bool ok = job->Execute();
        Report(*job, ok);
        if (ok) job->Keep();
    }

    static void Report(RasterBuildJob& job, bool ok)
    {
        RasterPyramidStore& s = *job.store;
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.owner) {
            if (ok) s.owner->TakeBuiltHistogram();
            s.busy = 0;
            PostOrDrop(job.notify, WM_VIEWER, new CViewNotify(job.index, 0),
                       ok ? kViewerShown : kViewerFailed);
        } else {
            s.busy = 0;
        }
    }
};

/// The "Calc Stats" job: statistics of the shown layer, then the view reads them again.
struct CRasterView::StatsJob {
    std::shared_ptr<RasterPyramidStore> store;
    std::shared_ptr<CRDPLayer> layer;
    CMeterInfoBase* meter = nullptr;
    HWND notify = nullptr;
    int index = 0;
    int arg = 0;

    static void Run(void* p)
    {
        std::unique_ptr<StatsJob> job(static_cast<StatsJob*>(p));
        RasterPyramidStore& s = *job->store;
        GuardedMeter guarded(job->meter, s);
        const bool ok = ComputeLayerStatistics(*job->layer, job->meter ? &guarded : nullptr);
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.owner) {
            if (ok) s.owner->StatisticsComputed();
            s.busy = 0;
            PostOrDrop(job->notify, WM_VIEWER, new CViewNotify(job->index, job->arg), kViewerStatisticsDone);
        } else {
            s.busy = 0;
        }
    }
};

bool ComputeLayerStatistics(CRDPLayer& layer, CMeterInfoBase* meter)
{
    CMeterInfoBase* previous = layer.GetMeterInfo();
    bool ok = false;
    try {
        // One fused pass gives the extremes, moments and histograms (two meter steps a row).
        layer.SetMeterInfo(meter);
        ok = layer.StatisticCountRect(nullptr);
        if (meter) meter->SetPos(0);
    } catch (CRDPExcept* e) {
        e->Delete();
        ok = false;
    } catch (...) {
        ok = false;
    }
    layer.SetMeterInfo(previous);
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Construction

CRasterView::CRasterView()
{
    m_nLayerClass = kLayerClassPicture;
    m_nViewKind = kViewKindSingleBand;
    UuidCreate(&m_id);
    for (int i = 0; i < 256; ++i) m_correction[i] = BYTE(i);
}

CRasterView::~CRasterView()
{
    ReleaseLayer();
}

void CRasterView::ReleaseLayer()
{
    if (m_store) {
        std::lock_guard<std::mutex> hold(m_store->lock);
        m_store->owner = nullptr;
        m_store->cancelled = true;
    }
    m_store.reset();
    m_workingCopy.reset();
    m_fileLayer.reset();
    m_workingIsFileLayer = FALSE;
    m_workingShown = FALSE;
    m_samples = nullptr;
    m_bufferRows.clear();
    m_magnified.clear();
    m_magnified.shrink_to_fit();
    m_bDrawn = FALSE;
}

BOOL CRasterView::IsBusy() const
{
    return m_store && m_store->busy.load() != 0;
}

CTilePyramid* CRasterView::Pyramid() const
{
    return m_store && m_store->busy.load() == 0 && m_store->pyramid.LevelCount() > 0 ? &m_store->pyramid
                                                                                     : nullptr;
}

void CRasterView::TakeBuiltHistogram()
{
    if (m_mode != kPhase && m_store && m_store->data)
        std::memcpy(m_levelHist.data(), m_store->data - kDisplayHistogramBytes, kDisplayHistogramBytes);
}

void CRasterView::StatisticsComputed()
{
    ReadModeStatistics(m_mode);
    m_statsDirty = FALSE;
}

// ---------------------------------------------------------------------------------------------
// Opening

void CRasterView::SetStatus(CStatusBar* status, const char* text)
{
    if (status && status->GetSafeHwnd()) status->SetPaneText(0, text);
}

void CRasterView::Notify(int code, int arg, void* data, BOOL send)
{
    if (!m_notify) return;
    const HWND window = m_notify->GetSafeHwnd();
    if (!window || !::IsWindow(window)) return;
    auto* record = new CViewNotify(m_nIndex, arg, data);
    if (send)
        ::SendMessage(window, WM_VIEWER, reinterpret_cast<WPARAM>(record), code);
    else
        PostOrDrop(window, WM_VIEWER, record, code);
}

BOOL CRasterView::Open(int layerIndex, CWnd* viewWindow, const char* path, int complexMode, double stretchLow,
                       double stretchHigh, int stretchMethod, int openMode, CMeterInfoBase* meter,
                       CStatusBar* status)
{
    m_nIndex = layerIndex;
    m_notify = viewWindow;
    m_meter = meter;
    if (!OpenCommon(path, complexMode, stretchLow, stretchHigh, stretchMethod, openMode, FALSE)) return FALSE;
    return ShowPyramid(FALSE, meter, status);
}

BOOL CRasterView::OpenChannel(const char* path, int complexMode, double stretchLow, double stretchHigh,
                              int stretchMethod, CMeterInfoBase* meter, CStatusBar* status)
{
    m_nIndex = 0;
    m_notify = nullptr;
    m_meter = meter;
    if (!OpenCommon(path, complexMode, stretchLow, stretchHigh, stretchMethod, kOpenReadOnly, TRUE))
        return FALSE;
    return ShowPyramid(TRUE, meter, status);
}

BOOL CRasterView::OpenCommon(const char* path, int complexMode, double stretchLow, double stretchHigh,
                             int stretchMethod, int openMode, BOOL channel)
{
    if (!path || !*path) return FALSE;
    ReleaseLayer();
    m_path = path;
    const std::string p = path;
    const size_t sep = p.find_last_of("/\\");
    m_layerName = CString(sep == std::string::npos ? p : p.substr(sep + 1));
    m_stretchMethod = stretchMethod;
    m_tempStats = FALSE;

    auto layer = NewLayer(false);
    if (!layer->OpenLayer(path, openMode == kOpenWritable ? kOpenWritable : kOpenReadOnly)) return FALSE;
    if (!layer->StatsReady()) {
        if (channel) return FALSE;
        // The statistics are computed on a read-only opening, so they stay in memory and
        // the user's file is left exactly as it was.
        layer->CloseLayer();
        if (!layer->OpenLayer(path, kOpenReadOnly) || !ComputeLayerStatistics(*layer, nullptr)) return FALSE;
        m_tempStats = TRUE;
    }
    if (!layer->GetDataPtr() || !layer->StatsReady()) return FALSE;
    m_fileLayer = layer;

    m_type = layer->Type();
    m_nGeometry[0] = layer->Width();
    m_nGeometry[1] = layer->Height();
    // Complex modes exist only for complex layers.
    int mode = layer->IsComplex() ? std::clamp(complexMode, 0, 3) : 0;
    if (!ReadModeStatistics(mode)) {
        m_fileLayer.reset();
        return FALSE;
    }
    m_mode = mode;
    m_tag = TagOfMode(mode);
    std::copy(m_dataHist.begin(), m_dataHist.end(), m_levelHist.begin());
    if (channel && mode == kPhase) {
        m_low = m_min;
        m_high = m_max;
    } else {
        StretchCalculator(m_type, m_mode, m_stretchMethod, m_min, m_max, m_mean, m_stdDev, m_dataHist.data(),
                          stretchLow, stretchHigh, &m_low, &m_high);
    }
    m_typeName = GetTypeName(m_type, 0);
    m_rowBytes = m_nGeometry[1] > 1
                     ? static_cast<BYTE*>(layer->GetRows()[1]) - static_cast<BYTE*>(layer->GetRows()[0])
                     : std::int64_t(m_nGeometry[0]) * elementBytes(m_type);
    if (!channel) {
        LoadModeColorMaps();
        MakeCurrentMap(FALSE);
        SetPalitra(reinterpret_cast<const ColorStruct*>(m_displayed.rgb));
    }
    m_nState = 0;
    return TRUE;
}

BOOL CRasterView::ReadModeStatistics(int mode)
{
    CRDPLayer* layer = m_fileLayer.get();
    if (!layer || !layer->IsOpen()) return FALSE;
    const DWORD* hist = nullptr;
    switch (layer->IsComplex() ? mode : kAmplitude) {
        case kPhase: {
            // A complex file without phase statistics cannot be shown by phase.
            if (layer->GetSizeTag(TAG_PHASE_STATISTICS) < layerfile::kStatHist + 1024) return FALSE;
            const BYTE* block = static_cast<const BYTE*>(layer->GetTag(TAG_PHASE_STATISTICS));
            if (!block) return FALSE;
            std::int32_t ready = 0;
            double low = 0, high = 0, deviation = 0;
            std::memcpy(&ready, block + layerfile::kStatReady, 4);
            std::memcpy(&low, block + layerfile::kStatMin, 8);
            std::memcpy(&high, block + layerfile::kStatMax, 8);
            std::memcpy(&deviation, block + layerfile::kStatStdDev, 8);
            if (!ready || !(low <= high) || !(deviation >= 0)) return FALSE;
            std::memcpy(&m_min, block + layerfile::kStatMin, 8);
            std::memcpy(&m_max, block + layerfile::kStatMax, 8);
            std::memcpy(&m_stdDev, block + layerfile::kStatStdDev, 8);
            std::memcpy(&m_mean, block + layerfile::kStatMean, 8);
            std::memcpy(m_dataHist.data(), block + layerfile::kStatHist, 1024);
            return TRUE;
        }
        case kReal:
            m_min = layer->reMin();
            m_max = layer->reMax();
            m_mean = layer->reMean();
            m_stdDev = layer->reStdDev();
            hist = layer->reHistAdr();
            break;
        case kImaginary:
            m_min = layer->imMin();
            m_max = layer->imMax();
            m_mean = layer->imMean();
            m_stdDev = layer->imStdDev();
            hist = layer->imHistAdr();
            break;
        default:
            m_min = layer->Min();
            m_max = layer->Max();
            m_mean = layer->Mean();
            m_stdDev = layer->StdDev();
            hist = layer->HistAdr();
            break;
    }
    if (hist)
        std::copy(hist, hist + 256, m_dataHist.begin());
    else
        m_dataHist.fill(0);
    return TRUE;
}

void CRasterView::LoadModeColorMaps()
{
    CRDPLayer* layer = m_fileLayer.get();
    if (!layer) return;
    for (int tag = 501; tag <= 504; ++tag) {
        const int size = layer->GetSizeTag(tag);
        if (size < 0) continue;
        BYTE head[kColorMapHeadBytes];
        if (!layer->GetTag(tag, kColorMapHeadBytes, head)) break;
        std::uint32_t format = 0, count = 0;
        std::memcpy(&format, head + 8, 4);
        std::memcpy(&count, head + 12, 4);
        // A map that is not ours or not a map ends the loading of this and all later tags.
        if (format != 1 || count < 2 || count > kMaxColorMapEntries) break;
        const std::int64_t bytes = std::int64_t(count) * kColorMapEntryBytes + kColorMapHeadBytes;
        if (bytes > size) break;
        std::vector<BYTE> record(static_cast<std::size_t>(bytes));
        if (!layer->GetTag(tag, int(bytes), record.data())) break;
        auto map = std::make_unique<CColorMap>();
        if (!map->LoadColorMapFromPtr(record.data(), int(bytes))) break;
        m_modeMaps[std::size_t(tag - 501)] = std::move(map);
    }
}

void CRasterView::MakeDefaultColorMap()
{
    auto map = std::make_unique<CColorMap>();
    map->CreateSimpleColorMap(m_low, m_high, 0x000000, 0xFFFFFF, 0);
    map->SetID(&m_id);
    map->SetName("Default");
    map->CreatePseudoPalette(&m_displayed.rgb[0][0], m_low, m_high);
    m_colorMap = std::move(map);
}

void CRasterView::MakeCurrentMap(BOOL rescaleOwn)
{
    const CColorMap* kept = m_modeMaps[std::size_t(m_tag - 501)].get();
    if (!kept) {
        MakeDefaultColorMap();
        return;
    }
    m_colorMap = std::make_unique<CColorMap>(*kept);
    if (IsStandartColorMap(m_colorMap.get()) ||
        (rescaleOwn && UuidEqual(m_colorMap->GetID(), &m_id, nullptr)))
        m_colorMap->SetMinMax(m_low, m_high);
    m_colorMap->CreatePseudoPalette(&m_displayed.rgb[0][0], m_low, m_high);
}

BOOL CRasterView::ShowPyramid(BOOL channel, CMeterInfoBase* meter, CStatusBar* status)
{
    const int width = m_nGeometry[0], height = m_nGeometry[1];
    const std::int64_t pyramidBytes = GetViewerTempSize(width, height);
    if (pyramidBytes <= 0) return FALSE;
    m_bDrawn = FALSE;
    m_magnified.clear();
    m_cacheName.Empty();

    auto store = std::make_shared<RasterPyramidStore>();
    store->owner = this;
    if (m_store) {
        std::lock_guard<std::mutex> hold(m_store->lock);
        m_store->owner = nullptr;
    }
    m_store = store;

    auto job = std::make_unique<RasterBuildJob>();
    job->store = store;
    job->mode = m_mode;
    job->low = m_low;
    job->high = m_high;
    job->meter = meter;
    job->notify = m_notify ? m_notify->GetSafeHwnd() : nullptr;
    job->index = m_nIndex;

    if (m_workingShown) {
        // An edited working copy is not the source: its pyramid lives in memory only.
        if (!store->map.CreateAnonymous(std::uint64_t(kCacheHeaderBytes + pyramidBytes))) return FALSE;
        job->layer = m_workingIsFileLayer ? m_fileLayer : m_workingCopy;
    } else {
        RasterCacheKey key{m_path.str(), width, height, m_type, m_mode};
        const auto names = RasterCacheNames(key, RasterCacheTempFolder());
        RasterCacheHeader header;
        std::array<std::uint32_t, 256> hist{};
        for (const std::string& name : names) {
            // A cache whose content fails its checksum is not taken: it is built again below.
            if (!OpenRasterCache(name, key, &store->map, &header, hist.data())) continue;
            // A cache of another display range is of no use: it goes (in every mode, phase
            // too, as the range decides every level).
            if (header.low != m_low || header.high != m_high) {
                store->map.Close();
                std::error_code ignored;  // a cache in a read-only folder stays; the next name is tried
                std::filesystem::remove(name, ignored);
                continue;
            }
            store->data = store->map.AdresData() + kCacheHeaderBytes;
            store->dataBytes = pyramidBytes;
            if (!store->pyramid.Attach(store->data, pyramidBytes, width, height)) return FALSE;
            if (m_mode != kPhase) std::copy(hist.begin(), hist.end(), m_levelHist.begin());
            m_cacheName = CString(name);
            SetStatus(status, kTextBuildingHistogram);
            if (!channel) Notify(kViewerShown, 0, nullptr, FALSE);
            return TRUE;
        }
        const std::uint64_t total = std::uint64_t(RasterCacheFileBytes(width, height));
        bool created = false;
        for (const std::string& name : names) {
            store->map.Close();
            store->file.Discard();
            // Pictures of the user's files are theirs alone, wherever the cache lies.
            if (store->file.Create(name.c_str(), 0600) && store->file.SetSize(total, TRUE) &&
                store->map.MapFile(store->file.Handle(), total)) {
                m_cacheName = CString(name);
                created = true;
                break;
            }
        }
        if (!created) {
            store->map.Close();
            store->file.Discard();
            return FALSE;
        }
        job->toCache = true;
        job->key = key;
        job->header = {m_stretchMethod, m_low, m_high, GetSourceFileTime(m_path)};
        job->layer = m_fileLayer;
    }
    store->data = store->map.AdresData() + kCacheHeaderBytes;
    store->dataBytes = pyramidBytes;

    SetStatus(status, kTextPreparing);
    store->busy = 1;
    if (channel) {
        const bool ok = job->Execute();
        if (ok) job->Keep();
        store->busy = 0;
        if (ok) TakeBuiltHistogram();
        return ok ? TRUE : FALSE;
    }
    RasterBuildJob* record = job.release();
    if (!::Run("Open Image", &RasterBuildJob::Run, record)) {
        // The runner could not start the job: the record is still ours.
        delete record;
        store->busy = 0;
        store->file.Discard();
        return FALSE;
    }
    return TRUE;
}

BOOL CRasterView::Redisplay(CMeterInfoBase* meter, CStatusBar* status, int complexMode, double stretchLow,
                            double stretchHigh, int stretchMethod)
{
    if (IsBusy() || !GetLayer(1)) return FALSE;
    if (complexMode == -1) {
        m_stretchMethod = 0;
    } else {
        m_low = stretchLow;
        m_high = stretchHigh;
        m_stretchMethod = stretchMethod;
        const int mode = m_fileLayer->IsComplex() ? std::clamp(complexMode, 0, 3) : 0;
        if (mode != m_mode) {
            const int previous = m_mode;
            if (!ReadModeStatistics(mode)) {
                ReadModeStatistics(previous);
                return FALSE;
            }
            m_mode = mode;
            m_tag = TagOfMode(mode);
            m_stretchMethod = 0;
            std::copy(m_dataHist.begin(), m_dataHist.end(), m_levelHist.begin());
        }
    }
    StretchCalculator(m_type, m_mode, m_stretchMethod, m_min, m_max, m_mean, m_stdDev, m_dataHist.data(),
                      stretchLow, stretchHigh, &m_low, &m_high);
    MakeCurrentMap(TRUE);
    SetPalitra(reinterpret_cast<const ColorStruct*>(m_displayed.rgb));
    m_meter = meter;
    return ShowPyramid(FALSE, meter, status);
}

BOOL CRasterView::OpenBuffer(int layerIndex, CWnd* viewWindow, const char* name, void* samples, int width,
                             int height, int typeCode, BYTE* pyramid, const PalitraTag* palette, double min,
                             double max, CMeterInfoBase* meter, CStatusBar* status)
{
    if (!samples || !pyramid || width <= 0 || height <= 0 || !isValidType(typeCode)) return FALSE;
    ReleaseLayer();
    m_nIndex = layerIndex;
    m_notify = viewWindow;
    m_meter = meter;
    m_path = name ? name : "";
    m_layerName = m_path;
    m_samples = samples;
    m_type = typeCode;
    m_mode = 0;
    m_tag = 501;
    m_nGeometry[0] = width;
    m_nGeometry[1] = height;
    m_rowBytes = std::int64_t(width) * elementBytes(typeCode);
    m_bufferRows.resize(std::size_t(height));
    for (int y = 0; y < height; ++y)
        m_bufferRows[std::size_t(y)] = static_cast<BYTE*>(samples) + y * m_rowBytes;
    m_stdDev = (max - min) / 2;
    m_mean = min + m_stdDev;
    m_min = min;
    m_max = max;
    m_low = min;
    m_high = max;
    m_typeName = GetTypeName(typeCode, 0);
    if (palette) {
        m_displayed = *palette;
    } else {
        MakeDefaultColorMap();
    }
    SetPalitra(reinterpret_cast<const ColorStruct*>(m_displayed.rgb));

    auto store = std::make_shared<RasterPyramidStore>();
    store->owner = this;
    store->data = pyramid + kDisplayHistogramBytes;
    store->dataBytes = GetViewerTempSize(width, height);
    if (!store->pyramid.Attach(store->data, store->dataBytes, width, height)) return FALSE;
    m_store = store;
    std::memcpy(m_levelHist.data(), pyramid, kDisplayHistogramBytes);
    SetStatus(status, kTextBuildingHistogram);
    Notify(kViewerShown, 0, nullptr, FALSE);
    return TRUE;
}

BOOL CRasterView::CreateBlank(int layerIndex, CWnd* viewWindow, const char* path, int width, int height,
                              int typeCode, int stretchMethod, CMeterInfoBase* meter, CStatusBar* status)
{
    ReleaseLayer();
    m_nIndex = layerIndex;
    m_notify = viewWindow;
    m_meter = meter;
    auto fail = [&] {
        // One report of the failure, whatever step failed.
        ReleaseLayer();
        Notify(kViewerFailed, 0, nullptr, FALSE);
        return FALSE;
    };
    const std::int64_t pyramidBytes = GetViewerTempSize(width, height);
    if (!path || !*path || pyramidBytes <= 0 || !isValidType(typeCode)) return fail();
    auto layer = NewLayer(false);
    if (!layer->CreateLayer(path, width, height, typeCode, 7) || !layer->SetZero(nullptr)) return fail();
    m_fileLayer = layer;
    m_workingIsFileLayer = TRUE;
    m_workingShown = TRUE;
    m_path = path;
    m_layerName = kTextNewFile;
    m_type = typeCode;
    m_nGeometry[0] = width;
    m_nGeometry[1] = height;
    m_rowBytes = std::int64_t(width) * elementBytes(typeCode);
    m_mode = 0;
    m_low = 0.0;
    m_high = 255.0;
    m_stretchMethod = stretchMethod;
    m_tag = 501;
    m_min = m_max = m_mean = m_stdDev = 0.0;
    m_statsDirty = TRUE;
    m_typeName = GetTypeName(typeCode, 0);
    m_dataHist.fill(0);
    m_levelHist.fill(0);
    m_levelHist[0] = unsigned(std::min<std::int64_t>(std::int64_t(width) * height, 0xFFFFFFFFLL));
    MakeDefaultColorMap();
    SetPalitra(reinterpret_cast<const ColorStruct*>(m_displayed.rgb));

    // A new file has no cache of its own: stale ones of the name go, and the all-zero
    // pyramid (level 0 everywhere) lives in memory.
    RasterCacheKey key{m_path.str(), width, height, typeCode, 0};
    for (const std::string& name : RasterCacheNames(key, RasterCacheTempFolder())) {
        std::error_code ec;
        std::filesystem::remove(name, ec);
    }
    auto store = std::make_shared<RasterPyramidStore>();
    store->owner = this;
    if (!store->map.CreateAnonymous(std::uint64_t(kCacheHeaderBytes + pyramidBytes))) return fail();
    store->data = store->map.AdresData() + kCacheHeaderBytes;
    store->dataBytes = pyramidBytes;
    if (!store->pyramid.Attach(store->data, pyramidBytes, width, height)) return fail();
    m_store = store;
    SetStatus(status, kTextBuildingHistogram);
    Notify(kViewerShown, 0, nullptr, FALSE);
    return TRUE;
}

BOOL CRasterView::Reopen(const char* path)
{
    if (!path || !*path || IsBusy()) return FALSE;
    // The old layer goes first, so that no row pointer into its mapping outlives it.
    if (m_workingIsFileLayer) {
        m_workingIsFileLayer = FALSE;
        m_workingShown = FALSE;
    }
    m_fileLayer.reset();
    auto layer = NewLayer(false);
    bool ok = layer->OpenLayer(path, kOpenReadOnly) != nullptr;
    if (ok && !layer->StatsReady()) ok = ComputeLayerStatistics(*layer, nullptr);
    if (ok &&
        (layer->Width() != m_nGeometry[0] || layer->Height() != m_nGeometry[1] || layer->Type() != m_type))
        ok = false;
    if (ok) {
        m_fileLayer = layer;
        m_path = path;
        const std::string p = path;
        const size_t sep = p.find_last_of("/\\");
        m_layerName = CString(sep == std::string::npos ? p : p.substr(sep + 1));
        m_nState = 0;
        m_tempStats = FALSE;
    }
    Notify(kViewerReopened, 0, nullptr, TRUE);
    return ok ? TRUE : FALSE;
}

int CRasterView::StartStatistics(int arg, CMeterInfoBase* meter, CStatusBar* status, int /*reserved*/)
{
    if (!m_statsDirty) return 1;
    CRDPLayer* shown = GetLayer(1);
    if (!shown || IsBusy() || !m_store) return -1;
    auto job = std::make_unique<StatsJob>();
    job->store = m_store;
    job->layer = m_workingShown && !m_workingIsFileLayer ? m_workingCopy : m_fileLayer;
    job->meter = meter;
    job->notify = m_notify ? m_notify->GetSafeHwnd() : nullptr;
    job->index = m_nIndex;
    job->arg = arg;
    m_store->busy = 1;
    SetStatus(status, kTextComputingStatistics);
    StatsJob* record = job.release();
    if (!::Run("Calc Stats", &StatsJob::Run, record)) {
        delete record;
        m_store->busy = 0;
        return -1;
    }
    return 0;
}

BOOL CRasterView::RecalcStatistics(int /*arg*/, CMeterInfoBase* meter)
{
    if (m_statsDirty) {
        CRDPLayer* shown = GetLayer(1);
        if (shown && ComputeLayerStatistics(*shown, meter)) ReadModeStatistics(m_mode);
        m_statsDirty = FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Colour maps, palettes and correction

CColorMap* CRasterView::GetModeColorMap(int tag)
{
    return tag >= 501 && tag <= 504 ? m_modeMaps[std::size_t(tag - 501)].get() : nullptr;
}

void CRasterView::SelectModeColorMap(int mode)
{
    m_tag = TagOfMode(mode);
    MakeCurrentMap(TRUE);
    // The base palette follows, so that a later correction starts from this map.
    SetPalitra(reinterpret_cast<const ColorStruct*>(m_displayed.rgb));
}

void CRasterView::SetColorMap(CColorMap* map)
{
    if (!map) return;
    m_colorMap = std::make_unique<CColorMap>(*map);
    ColorStruct palette[256];
    m_colorMap->CreatePseudoPalette(reinterpret_cast<BYTE*>(palette), m_low, m_high);
    SetPalitra(palette);
    m_modeMaps[std::size_t(m_tag - 501)] = std::make_unique<CColorMap>(*map);
}

void CRasterView::SetPalitra(const ColorStruct* palette)
{
    if (!palette) return;
    std::memmove(m_base, palette, sizeof m_base);
    ApplyCorrection();
}

void CRasterView::ApplyCorrection()
{
    for (int i = 0; i < 256; ++i) {
        m_displayed.rgb[i][0] = m_correction[m_base[i].red];
        m_displayed.rgb[i][1] = m_correction[m_base[i].green];
        m_displayed.rgb[i][2] = m_correction[m_base[i].blue];
    }
    Notify(kViewerPaletteChanged, 0, m_base, TRUE);
    m_bDrawn = FALSE;
}

void CRasterView::SetCorrectionTable(const BYTE table[256], int /*mode*/)
{
    if (!table) return;
    std::memcpy(m_correction, table, 256);
    ApplyCorrection();
}

void CRasterView::GetPalitra(ColorStruct* out)
{
    if (out) std::memcpy(out, m_displayed.rgb, 768);
}

void CRasterView::EqualizeHistogram()
{
    std::int64_t h[256], q[256];
    std::int64_t total = 0;
    for (int i = 0; i < 256; ++i) total += h[i] = m_levelHist[std::size_t(i)];
    // An empty picture has nothing to equalise: the palette stays.
    if (total == 0) return;
    std::int64_t rest = total;
    for (int k = 255; k >= 0; --k) {
        q[k] = rest / (k + 1);
        rest -= q[k];
    }
    int map[256];
    int lev = 0;
    std::int64_t tgt = q[0], acc = 0;
    for (int i = 0; i <= 255;) {
        if (h[i] > (tgt - acc) * 2) {
            map[i] = lev;
            ++lev;
            if (lev <= 255) tgt += q[lev];
        } else {
            acc += h[i];
            map[i] = lev;
            ++i;
        }
    }
    for (int i = 0; i < 256; ++i) {
        const BYTE grey = BYTE(std::clamp(map[i], 0, 255));
        m_displayed.rgb[i][0] = m_displayed.rgb[i][1] = m_displayed.rgb[i][2] = grey;
    }
    m_bDrawn = FALSE;
}

unsigned* CRasterView::GetHistAddr(int component, int kind)
{
    if (component != 1) return nullptr;
    if (kind == 0) return m_dataHist.data();
    if (kind == 1) return m_levelHist.data();
    return nullptr;
}

void CRasterView::GetLevelRange(int level, double* low, double* high)
{
    const double step = (m_high - m_low) / 256.0;
    double lo = level * step + m_low;
    double hi = lo + step;
    if (m_type >= 1 && m_type <= 6) {
        lo = Round(lo);
        hi = Round(hi);
    }
    if (low) *low = lo;
    if (high) *high = hi;
}

COLORREF CRasterView::GetPixelColor(int x, int y)
{
    const double v = std::atof(GetValueText(x, y).c_str());
    int level = 0;
    // An empty display range shows everything at level 0, as the pyramid does.
    if (m_high != m_low) level = std::clamp(Round((v - m_low) * 255.0 / (m_high - m_low)), 0, 255);
    const BYTE* c = m_displayed.rgb[level];
    return COLORREF(c[0]) | (COLORREF(c[1]) << 8) | (COLORREF(c[2]) << 16);
}

// ---------------------------------------------------------------------------------------------
// Layers and read-out

BOOL CRasterView::MakeWorkingCopy()
{
    if (m_workingIsFileLayer) return TRUE;
    if (!m_fileLayer || !m_fileLayer->IsOpen()) return FALSE;
    if (m_fileLayer->GetOpenMode() == kOpenWritable && !m_tempStats) {
        m_workingIsFileLayer = TRUE;
        m_workingShown = TRUE;
        return TRUE;
    }
    m_workingCopy.reset();
    auto copy = NewLayer(true);
    if (!copy->CreateLayerTempName(m_nGeometry[0], m_nGeometry[1], m_type, 7)) return FALSE;
    if (!copy->ReadData(m_fileLayer.get(), CPoint(0, 0), CPoint(0, 0), CSize(-1, -1))) return FALSE;
    m_workingCopy = copy;
    m_workingShown = TRUE;
    Notify(kViewerReopened, 0, nullptr, TRUE);
    return TRUE;
}

CRDPLayer* CRasterView::GetLayer(int component)
{
    if (component != 1) return nullptr;
    if (m_workingShown && !m_workingIsFileLayer && m_workingCopy) return m_workingCopy.get();
    return m_fileLayer.get();
}

CRDPLayer* CRasterView::GetSourceLayer(int component)
{
    return component == 1 ? m_fileLayer.get() : nullptr;
}

void** CRasterView::GetRows(int component)
{
    if (component != 1) return nullptr;
    if (CRDPLayer* layer = GetLayer(1)) return layer->GetRows();
    return m_bufferRows.empty() ? nullptr : m_bufferRows.data();
}

BOOL CRasterView::IsComplex(int component)
{
    if (component != 1) return FALSE;
    return IsComplexType(m_type);
}

CString CRasterView::GetValueText(int x, int y)
{
    double value = 0.0;
    void** rows = GetRows(1);
    if (rows && !IsBusy() && x >= 0 && y >= 0 && x < m_nGeometry[0] && y < m_nGeometry[1] &&
        isValidType(m_type))
        value = SampleValue(
            m_type, static_cast<const BYTE*>(rows[y]) + std::int64_t(x) * elementBytes(m_type), m_mode);
    CString text;
    text.Format("%g", value);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Profiles

bool CRasterView::ReadProfile(int direction, int position, std::vector<double>& values)
{
    void** rows = GetRows(1);
    const int width = m_nGeometry[0], height = m_nGeometry[1];
    const bool alongX = direction == 1;
    // A row or column outside the layer has no profile.
    if (!rows || !isValidType(m_type) || position < 0 || position >= (alongX ? height : width)) return false;
    const int count = alongX ? width : height;
    values.resize(std::size_t(count));
    const int element = elementBytes(m_type);
    for (int i = 0; i < count; ++i) {
        const BYTE* at = alongX ? static_cast<const BYTE*>(rows[position]) + std::int64_t(i) * element
                                : static_cast<const BYTE*>(rows[i]) + std::int64_t(position) * element;
        values[std::size_t(i)] = SampleValue(m_type, at, m_mode);
    }
    return true;
}

CString CRasterView::ProfileCaption(int direction, int position)
{
    CString caption;
    caption.Format("%s %d", direction == 1 ? kTextProfileX : kTextProfileY, position);
    return caption;
}

void CRasterView::ShowProfile(int direction, int position, CWnd* parent, CCoordLawData* law)
{
    RasterProfileRequest request;
    if (!ReadProfile(direction, position, request.values)) return;
    request.parent = parent;
    request.colour = kProfileColour;
    request.caption = ProfileCaption(direction, position);
    const bool alongX = direction == 1;
    if (law) {
        const int count = int(request.values.size());
        request.points.resize(std::size_t(count));
        for (int i = 0; i < count; ++i)
            request.points[std::size_t(i)] = alongX ? law->GetLogicalCoord(double(i), double(position))
                                                    : law->GetLogicalCoord(double(position), double(i));
    }
    const RasterViewServices& services = GetRasterViewServices();
    if (!services.showProfile) return;
    if (!services.showProfile(request) && !law)
        ::MessageBox(nullptr, "Error on init ProfileFrame", "ShowProfile", MB_OK);
}

// ---------------------------------------------------------------------------------------------
// Statistics of a selection

int CRasterView::GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region)
{
    CRDPLayer* layer = GetLayer(1);
    if (component != 1 || !layer || !region || !counters) return -1;
    if (::CombineRgn(region, region, region, RGN_AND) == SIMPLEREGION) {
        RECT box{};
        ::GetRgnBox(region, &box);
        return layer->CalcHist(&box, int(bins), reinterpret_cast<DWORD*>(counters), bytes);
    }
    return layer->CalcHistRgn(region, int(bins), reinterpret_cast<DWORD*>(counters), bytes);
}

void CRasterView::ShowRegionStatistics(HRGN region, CWnd* histogramSource)
{
    if (!region) return;
    RasterRegionStatisticsRequest request;
    request.parent = m_notify;
    request.histogramSource = histogramSource;
    request.rows = GetRows(1);
    request.typeCode = m_type;
    request.width = m_nGeometry[0];
    request.height = m_nGeometry[1];
    request.sourcePath = m_path;
    request.region = ::CreateRectRgn(0, 0, 0, 0);
    ::CombineRgn(request.region, region, nullptr, RGN_COPY);
    const RasterViewServices& services = GetRasterViewServices();
    if (services.showRegionStatistics)
        services.showRegionStatistics(request);
    else
        ::DeleteObject(request.region);
}

// ---------------------------------------------------------------------------------------------
// Saving parts

void CRasterView::SaveRectAs(const RECT* rect)
{
    if (!rect || !GetRows(1) || !m_fileLayer) return;
    CString path;
    if (!AskSavePath(path)) return;
    auto record = std::make_unique<RasterSaveRecord>();
    record->destination = path;
    record->rect = *rect;
    record->source = m_path;
    RasterSaveRecord* job = record.release();
    if (!::Run(kTextSavingSegment, &SaveRasterRectJob, job)) delete job;  // never started: still ours
}

void CRasterView::SaveRegionAs(HRGN region)
{
    if (!region || !GetRows(1) || !m_fileLayer) return;
    CString path;
    if (!AskSavePath(path)) return;
    auto record = std::make_unique<RasterSaveRecord>();
    record->destination = path;
    record->region = ::CreateRectRgn(0, 0, 0, 0);
    ::CombineRgn(record->region, region, nullptr, RGN_COPY);
    record->source = m_path;
    auto* param = new ViewResultParam;
    param->component = m_mode;
    param->stretchLow = m_low;
    param->stretchHigh = m_high;
    param->stretchMethod = kStretchManual;
    param->fileName = path;
    RasterSaveRecord* job = record.release();
    if (!::Run(kTextSavingSegment, &SaveRasterRegionJob, job, &OpenSavedRegion, param))
        delete job;  // never started: the record is still ours (the runner disposed of param)
}

BOOL CRasterView::AskSavePath(CString& path)
{
    const CString folder = GetStringValue("\\Settings\\General", "WorkDir");
    CInfoFileDialog dialog(FALSE, "rdp", nullptr, 0xC006, kTextSaveFilter, m_notify);
    dialog.m_ofn.lpstrInitialDir = folder.IsEmpty() ? nullptr : folder.c_str();
    if (dialog.DoModal() != IDOK) return FALSE;
    path = dialog.GetPathName();
    return path.IsEmpty() ? FALSE : TRUE;
}

// ---------------------------------------------------------------------------------------------
// Drawing

void CRasterView::FillBitmapHeader(BITMAPINFO* info, int stride, int height) const
{
    BITMAPINFOHEADER& h = info->bmiHeader;
    h = BITMAPINFOHEADER{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = stride;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 8;
    h.biCompression = BI_RGB;
    h.biClrUsed = 256;
    RGBQUAD* colours = info->bmiColors;
    for (int i = 0; i < 256; ++i)
        colours[i] = RGBQUAD{m_displayed.rgb[i][2], m_displayed.rgb[i][1], m_displayed.rgb[i][0], 0};
}

void CRasterView::DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL visibleOnly,
                         BYTE* bits, BITMAPINFO* info)
{
    CTilePyramid* pyramid = Pyramid();
    if (!m_bShown || !pyramid || !dc || !bits || !info || !(zoom > 0.0)) return;
    const int imageWidth = m_nGeometry[0], imageHeight = m_nGeometry[1];
    const int sx = int(x / zoom), sy = int(y / zoom);
    const HDC hdc = dc->GetSafeHdc();

    if (!visibleOnly && zoom >= 1.0) {
        const int w = int(imageWidth / zoom), h = int(imageHeight / zoom);
        if (w <= 0 || h <= 0) return;
        if (!m_bDrawn) {
            pyramid->ReadWindow(bits, Stride4(w), 0, 0, w, h, zoom, FALSE, 1, FALSE, nullptr);
            m_bitmapHeight = -h;
            m_bitmapStride = Stride4(w);
        }
        FillBitmapHeader(info, m_bitmapStride, m_bitmapHeight);
        // The row stride pads the bitmap to a multiple of 4: columns past the picture are
        // cut, or a scrolled picture would show the padding at its right edge.
        const int left = Round(x / zoom);
        if (left < w)
            ::SetDIBitsToDevice(hdc, 0, 0, DWORD(w - std::max(0, left)), DWORD(h), left, -Round(y / zoom), 0,
                                UINT(h), bits, info, DIB_RGB_COLORS);
    } else if (!visibleOnly && MakeMagnified(zoom, bits)) {
        FillBitmapHeader(info, m_magStride, -m_magHeight);
        ::SetDIBitsToDevice(hdc, 0, 0, DWORD(m_magWidth), DWORD(m_magHeight), sx, 0, UINT(sy),
                            UINT(m_magHeight), m_magnified.data(), info, DIB_RGB_COLORS);
    } else {
        // The visible window only (also where a whole magnified picture would not fit in memory).
        const int w = std::min(width, int((imageWidth - x) / zoom));
        const int h = std::min(height, int((imageHeight - y) / zoom));
        if (width <= 0 || height <= 0) return;
        const bool sameWindow = m_visibleRead[0] == sx && m_visibleRead[1] == sy &&
                                m_visibleRead[2] == width && m_visibleRead[3] == height &&
                                m_visibleZoom == zoom;
        if (!m_bDrawn || !visibleOnly || !sameWindow) {
            pyramid->ReadWindow(bits, Stride4(width), sx, sy, width, height, zoom, FALSE, 1, FALSE, nullptr);
            m_visibleRead[0] = sx, m_visibleRead[1] = sy, m_visibleRead[2] = width, m_visibleRead[3] = height;
            m_visibleZoom = zoom;
        }
        FillBitmapHeader(info, Stride4(width), -height);
        if (w > 0 && h > 0)
            // Source rows count from the bottom of the DIB: the top h rows start height - h up.
            ::SetDIBitsToDevice(hdc, 0, 0, DWORD(w), DWORD(h), 0, height - h, 0, UINT(height), bits, info,
                                DIB_RGB_COLORS);
    }
    m_bDrawn = TRUE;
}

bool CRasterView::MakeMagnified(double zoom, BYTE* bits)
{
    CTilePyramid* pyramid = Pyramid();
    const int imageWidth = m_nGeometry[0], imageHeight = m_nGeometry[1];
    const int w = int(imageWidth / zoom), h = int(imageHeight / zoom);
    if (w <= 0 || h <= 0 || !pyramid) return false;
    if (m_bDrawn && !m_magnified.empty() && m_magWidth == w && m_magHeight == h) return true;
    const std::int64_t bytes = std::int64_t(Stride4(w)) * h;
    if (bytes > kMaxMagnifiedBytes) return false;
    m_magnified.clear();
    try {
        m_magnified.resize(std::size_t(bytes));
    } catch (const std::bad_alloc&) {
        m_magnified.clear();
        return false;
    }
    const int srcStride = Stride4(imageWidth);
    pyramid->ReadWindow(bits, srcStride, 0, 0, imageWidth, imageHeight, zoom, TRUE, 1, FALSE, nullptr);
    m_magWidth = w;
    m_magHeight = h;
    m_magStride = Stride4(w);
    StretchLevelRows(m_magnified.data(), w, h, m_magStride, bits, imageWidth, imageHeight, srcStride);
    return true;
}

void CRasterView::DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                             double zoom, BOOL visibleOnly, BYTE* bits, BITMAPINFO* info)
{
    CTilePyramid* pyramid = Pyramid();
    if (!m_bShown || !pyramid || !dc || !bits || !info || !(zoom > 0.0)) return;
    const int imageWidth = m_nGeometry[0], imageHeight = m_nGeometry[1];
    const HDC hdc = dc->GetSafeHdc();
    // Clamped to the image: a start at or past an edge keeps the last column or row.
    if (srcX < 0) srcWidth += srcX, srcX = 0;
    if (srcY < 0) srcHeight += srcY, srcY = 0;
    if (srcX >= imageWidth) srcX = imageWidth - 1;
    if (srcY >= imageHeight) srcY = imageHeight - 1;
    if (srcX + srcWidth > imageWidth) srcWidth = imageWidth - srcX;
    if (srcY + srcHeight > imageHeight) srcHeight = imageHeight - srcY;
    if (srcWidth <= 0 || srcHeight <= 0) return;

    if (visibleOnly) {
        const int w = std::max(1, int(srcWidth / zoom)), h = std::max(1, int(srcHeight / zoom));
        const int x = int(srcX / zoom), y = int(srcY / zoom);
        m_bDrawn = FALSE;
        pyramid->ReadWindow(bits, Stride4(w), x, y, w, h, zoom, FALSE, 1, FALSE, nullptr);
        FillBitmapHeader(info, Stride4(w), -h);
        ::SetDIBitsToDevice(hdc, destX, destY, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), bits, info,
                            DIB_RGB_COLORS);
    } else if (zoom >= 1.0) {
        const int w = int(imageWidth / zoom), h = int(imageHeight / zoom);
        if (w <= 0 || h <= 0) return;
        if (!m_bDrawn) {
            pyramid->ReadWindow(bits, Stride4(w), 0, 0, w, h, zoom, FALSE, 1, FALSE, nullptr);
            m_bitmapHeight = -h;
            m_bitmapStride = Stride4(w);
            m_bDrawn = TRUE;
        }
        FillBitmapHeader(info, m_bitmapStride, m_bitmapHeight);
        if (srcX < w)  // the padding columns of the stride are not part of the picture
            ::SetDIBitsToDevice(hdc, destX, destY, DWORD(w - srcX), DWORD(h), srcX, -srcY, 0, UINT(h), bits,
                                info, DIB_RGB_COLORS);
    } else if (MakeMagnified(zoom, bits)) {
        m_bDrawn = TRUE;
        FillBitmapHeader(info, m_magStride, -m_magHeight);
        ::SetDIBitsToDevice(hdc, destX, destY, DWORD(srcWidth), DWORD(srcHeight), srcX,
                            m_magHeight - srcY - srcHeight, 0, UINT(m_magHeight), m_magnified.data(), info,
                            DIB_RGB_COLORS);
    }
}

void CRasterView::CopyRectToDC(CDC* dc, const RECT* rect, BYTE* bits, BITMAPINFO* info)
{
    CTilePyramid* pyramid = Pyramid();
    if (!m_bShown || !pyramid || !dc || !rect || !bits || !info) return;
    const int left = std::max<int>(0, rect->left), top = std::max<int>(0, rect->top);
    const int right = std::min<int>(m_nGeometry[0] - 1, rect->right);
    const int bottom = std::min<int>(m_nGeometry[1] - 1, rect->bottom);
    const int w = right - left + 1, h = bottom - top + 1;
    if (w <= 0 || h <= 0) return;
    pyramid->ReadWindow(bits, Stride4(w), left, top, w, h, 1.0, FALSE, 1, FALSE, nullptr);
    FillBitmapHeader(info, Stride4(w), -h);
    ::SetDIBitsToDevice(dc->GetSafeHdc(), 0, 0, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), bits, info,
                        DIB_RGB_COLORS);
}

void CRasterView::RenderRGB(int x, int y, int width, int height, int stride, int bottomUp, double zoom,
                            BOOL wholeImage, BYTE* dest, CMeterInfoBase* meter)
{
    CTilePyramid* pyramid = Pyramid();
    if (!pyramid || !dest || width <= 0 || height <= 0 || stride < 3 * width) return;
    const auto expandRow = [this](const BYTE* in, BYTE* out, int count) {
        for (int i = 0; i < count; ++i) {
            const BYTE* c = m_displayed.rgb[in[i]];
            out[3 * i] = c[2];
            out[3 * i + 1] = c[1];
            out[3 * i + 2] = c[0];
        }
    };
    int cutWidth = 0, cutHeight = 0;
    pyramid->WindowSize(x, y, width, height, zoom, wholeImage, cutWidth, cutHeight);
    if (cutWidth != width || cutHeight != height || (wholeImage && zoom < 1.0)) {
        // A window that is cut to the picture keeps its one-pass layout: the levels are
        // expanded in place from the front, which needs three bytes a pixel.
        if (meter) {
            meter->SetRange(0, 2.0 * height);
            meter->SetStep(1.0);
        }
        BYTE* levels = dest + std::int64_t(stride) * height - std::int64_t(width) * height;
        pyramid->ReadWindow(levels, width, x, y, width, height, zoom, wholeImage, 1, bottomUp, meter);
        for (int r = 0; r < height; ++r) {
            expandRow(levels + std::int64_t(r) * width, dest + std::int64_t(r) * stride, width);
            if (meter) meter->StepIt();
        }
        return;
    }
    // Bands of rows on all cores, each read into its own scratch and expanded straight into
    // the destination: every byte of it is written once.
    if (meter) {
        meter->SetRange(0, double(height));
        meter->SetStep(1.0);
    }
    const RowBands bands = RowBands::Fixed(height, kRenderRowsPerBand);
    std::vector<std::vector<BYTE>> scratch(std::size_t(RowDriverSlots(bands.Count())));
    RunRowBands(
        bands,
        [&](const RowBand& band) {
            const int rows = int(band.end - band.begin);
            std::vector<BYTE>& levels = scratch[std::size_t(band.slot)];
            levels.resize(std::size_t(width) * std::size_t(rows));
            // Destination rows [begin, end) show output rows counted from the other end
            // when the destination is bottom-up.
            const int first = bottomUp ? height - int(band.end) : int(band.begin);
            pyramid->ReadWindow(levels.data(), width, x, y + first, width, rows, zoom, FALSE, 1, bottomUp,
                                nullptr);
            for (int r = 0; r < rows; ++r)
                expandRow(levels.data() + std::int64_t(r) * width,
                          dest + (band.begin + r) * std::int64_t(stride), width);
        },
        MeterProgress(meter));
}

void CRasterView::SetZoom(double zoom, int /*flags*/)
{
    m_zoom = zoom;
    if (CTilePyramid* pyramid = Pyramid()) pyramid->PrepareZoom(zoom);
    m_bDrawn = FALSE;
}

int CRasterView::ReadLevels(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h, double zoom,
                            BOOL wholeImage, int pixelStep, BOOL bottomUp, CMeterInfoBase* meter)
{
    CTilePyramid* pyramid = Pyramid();
    if (!pyramid) return 0;
    return pyramid->ReadWindow(dest, destRowBytes, x, y, w, h, zoom, wholeImage, pixelStep, bottomUp, meter);
}
