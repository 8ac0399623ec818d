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
#include "viewer/core/raster_view_internal.h"
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

constexpr const char* kTextPreparing = "Preparing raster ...";
constexpr const char* kTextBuildingHistogram = "Building histogram ...";
constexpr const char* kTextComputingStatistics = "Computing statisticses ...";
constexpr const char* kTextNewFile = "New File";

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

}  // namespace

namespace raster_view_detail {

std::shared_ptr<CRDPLayer> NewLayer(bool destroyOnRelease)
{
    return std::shared_ptr<CRDPLayer>(new CRDPLayer(nullptr), LayerCloser{destroyOnRelease});
}

int TagOfMode(int mode)
{
    static constexpr int kTags[4] = {501, 504, 502, 503};
    return kTags[std::clamp(mode, 0, 3)];
}

}  // namespace raster_view_detail

namespace {

void PostOrDrop(HWND window, UINT message, CViewNotify* record, LPARAM code)
{
    // A view window closed before the report arrives frees the record unread.
    if (!window || !platform::PostMessageOwning(window, message, reinterpret_cast<WPARAM>(record), code,
                                                [record] { delete record; }))
        delete record;
}

}  // namespace

using raster_view_detail::NewLayer;
using raster_view_detail::TagOfMode;

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

bool CRasterView::RebuiltAfterDamage(const CTilePyramid* pyramid, int readResult)
{
    if (readResult || !pyramid || !pyramid->Damaged() || !m_store || &m_store->pyramid != pyramid)
        return false;
    DropDamagedCache();
    ShowPyramid(m_channel, nullptr, nullptr);
    return true;
}

void CRasterView::DropDamagedCache()
{
    // The damaged cache goes before the build looks for one.
    if (m_cacheName.IsEmpty()) return;
    std::error_code failed;
    if (!std::filesystem::remove(m_cacheName.str(), failed) || failed) m_refusedCache = m_cacheName;
}

bool CRasterView::CacheDamaged() const
{
    return m_store && m_store->busy.load() == 0 && m_store->pyramid.Damaged();
}

BOOL CRasterView::RebuildDamagedChannel(CMeterInfoBase* meter)
{
    if (!CacheDamaged()) return FALSE;
    DropDamagedCache();
    return ShowPyramid(TRUE, meter, nullptr);
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

namespace {

/// True when a statistics block holds values: a minimum not above the maximum, a deviation
/// that is not negative, and not the zeros of a block nobody filled in. The field at +0 is
/// each writer's own and decides nothing.
bool StatisticsBlockValid(const BYTE* block)
{
    double low = 0, high = 0, deviation = 0;
    std::memcpy(&low, block + layerfile::kStatMin, 8);
    std::memcpy(&high, block + layerfile::kStatMax, 8);
    std::memcpy(&deviation, block + layerfile::kStatStdDev, 8);
    if (!(low <= high) || !(deviation >= 0)) return false;
    for (std::int64_t i = layerfile::kStatMin; i < layerfile::kStatisticsBytes; ++i)
        if (block[i] != 0) return true;
    return false;
}

/// Whether the layer holds the statistics of a complex display mode: other writers' files
/// may have only the main block (key 2), or the main and the phase blocks.
bool ModeStatisticsKnown(CRDPLayer& layer, int mode)
{
    switch (mode) {
        case kPhase: {
            if (layer.GetSizeTag(TAG_PHASE_STATISTICS) < layerfile::kStatisticsBytes) return false;
            const BYTE* block = static_cast<const BYTE*>(layer.GetTag(TAG_PHASE_STATISTICS));
            return block && StatisticsBlockValid(block);
        }
        case kReal:
        case kImaginary:
            return layer.GetSizeTag(TAG_PART_STATISTICS) >= 0;
        default:
            return layer.StatsReady() != FALSE;
    }
}

}  // namespace

BOOL CRasterView::ReadModeStatistics(int mode)
{
    // The statistics of the layer shown: an edited working copy has its own.
    CRDPLayer* layer = GetLayer(1);
    if (!layer || !layer->IsOpen()) return FALSE;
    if (layer->IsComplex() && !ModeStatisticsKnown(*layer, mode)) {
        // A file that lacks the statistics of this component gets them computed in memory;
        // a user's file opened for changes is left alone, so that it stays as it was.
        const bool usersFile = layer == m_fileLayer.get() && layer->GetOpenMode() == kOpenWritable;
        if (usersFile || !ComputeLayerStatistics(*layer, nullptr) || !ModeStatisticsKnown(*layer, mode))
            return FALSE;
        m_tempStats = TRUE;
    }
    const DWORD* hist = nullptr;
    switch (layer->IsComplex() ? mode : kAmplitude) {
        case kPhase: {
            const BYTE* block = static_cast<const BYTE*>(layer->GetTag(TAG_PHASE_STATISTICS));
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

BOOL CRasterView::ShowPyramid(BOOL channel, CMeterInfoBase* meter, CStatusBar* status)
{
    const int width = m_nGeometry[0], height = m_nGeometry[1];
    const std::int64_t pyramidBytes = GetViewerTempSize(width, height);
    if (pyramidBytes <= 0) return FALSE;
    m_bDrawn = FALSE;
    m_magnified.clear();
    m_cacheName.Empty();
    m_channel = channel;

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
            if (name == m_refusedCache.str()) continue;
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
            const BYTE* file = store->map.AdresData();
            store->pyramid.CheckTilesOnFirstRead(
                [file, width, height](std::int64_t index, const BYTE* tile, std::int64_t bytes) {
                    return RasterCacheTileIntact(file, width, height, index, tile, bytes);
                });
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
                if (name == m_refusedCache.str()) m_refusedCache.Empty();  // replaced once built
                created = true;
                break;
            }
        }
        if (created) {
            job->toCache = true;
            job->key = key;
            job->header = {m_stretchMethod, m_low, m_high, GetSourceFileTime(m_path)};
        } else {
            // No cache can be written (a read-only folder and no cache folder of the user's,
            // a full disk): the pyramid lives in memory, as a working copy's does, and is
            // built again at the next opening.
            store->map.Close();
            store->file.Discard();
            if (!store->map.CreateAnonymous(std::uint64_t(kCacheHeaderBytes + pyramidBytes))) return FALSE;
        }
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
