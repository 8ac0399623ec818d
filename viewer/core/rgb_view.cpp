#include "viewer/core/rgb_view.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "outside/basecore/meter_info.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/thread_runner.h"
#include "platform/window/wnd.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/window/modal.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/raster_view_jobs.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/tile_pyramid.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_messages.h"

namespace {

/// The open job's record; the job frees it.
struct RgbOpenRecord {
    CRGBView* view = nullptr;
    CMeterInfoBase* meter = nullptr;
    CStatusBar* status = nullptr;
    int code = 0;
};

/// The argument of the note that a rebuilt channel cache sends: the view window draws
/// again and keeps its zoom and scroll, as after a reopen.
constexpr int kRebuiltNote = 15;

/// Bytes of one composite row `width` pixels wide: 3 bytes a pixel, whole rows in 4s.
std::int64_t RowBytes(int width)
{
    return 3 * ((std::int64_t(std::max(width, 0)) + 3) / 4 * 4);
}

/// Channel slot of component 3 (red), 4 (green) or 5 (blue); -1 for others.
int Slot(int component)
{
    return component >= 3 && component <= 5 ? component - 3 : -1;
}

CString FileTitle(const CString& path)
{
    const std::string s(static_cast<const char*>(path));
    const std::size_t cut = s.find_last_of("\\/");
    return CString(cut == std::string::npos ? s.c_str() : s.c_str() + cut + 1);
}

}  // namespace

CRGBView::CRGBView()
{
    m_nLayerClass = kLayerClassPicture;
    m_nViewKind = kViewKindRgb;
    for (auto& table : m_tables)
        for (int i = 0; i < 256; ++i) table[i] = BYTE(i);
}

CRGBView::~CRGBView() = default;

CString CRGBView::CompositeName(const CString& red, const CString& green, const CString& blue)
{
    CString name = FileTitle(red);
    name += ", ";
    name += FileTitle(green);
    name += ", ";
    name += FileTitle(blue);
    return name;
}

int CRGBView::OpenLayers(int layerIndex, CWnd* viewWindow, ViewResultParam* red, ViewResultParam* green,
                         ViewResultParam* blue, CMeterInfoBase* meter, CStatusBar* status)
{
    const ViewResultParam* params[3] = {red, green, blue};
    m_pViewWindow = viewWindow;
    m_nIndex = layerIndex;
    for (int i = 0; i < 3; ++i) {
        if (!params[i]) continue;
        m_settings[i] = {params[i]->fileName, params[i]->component, params[i]->stretchLow,
                         params[i]->stretchHigh, params[i]->stretchMethod};
    }
    m_name = CompositeName(m_settings[0].file, m_settings[1].file, m_settings[2].file);
    m_busy.store(true, std::memory_order_release);
    auto* record = new RgbOpenRecord{this, meter, status, 0};
    if (!::Run("Open Image", &CRGBView::OpenJob, record)) {
        delete record;
        m_busy.store(false, std::memory_order_release);
        if (m_pViewWindow) {
            auto* note = new CViewNotify(m_nIndex, 0);
            if (!platform::PostMessageOwning(m_pViewWindow->GetSafeHwnd(), WM_VIEWER, WPARAM(note),
                                             kViewerFailed, [note] { delete note; }))
                delete note;
        }
    }
    return 1;
}

int CRGBView::ReopenLayers(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue,
                           CMeterInfoBase* meter, CStatusBar* status)
{
    const ViewResultParam* params[3] = {red, green, blue};
    if (IsBusy()) return 0;
    for (int i = 0; i < 3; ++i) {
        if (!params[i]) continue;
        m_settings[i].component = params[i]->component;
        m_settings[i].low = params[i]->stretchLow;
        m_settings[i].high = params[i]->stretchHigh;
        m_settings[i].method = params[i]->stretchMethod;
    }
    m_busy.store(true, std::memory_order_release);
    auto* record = new RgbOpenRecord{this, meter, status, 15};
    if (!::Run("Open Image", &CRGBView::OpenJob, record)) {
        delete record;
        m_busy.store(false, std::memory_order_release);
    }
    return 1;
}

void CRGBView::OpenJob(void* arg)
{
    std::unique_ptr<RgbOpenRecord> record(static_cast<RgbOpenRecord*>(arg));
    CRGBView* self = record->view;
    // While busy nothing on the user-interface thread looks at the channels; they are
    // made anew here and published by clearing the busy flag.
    for (auto& channel : self->m_channels) channel.reset();
    self->m_complete = false;
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i) {
        auto channel = std::make_unique<CRasterView>();
        const Settings& s = self->m_settings[i];
        ok = !s.file.IsEmpty() && channel->OpenChannel(s.file, s.component, s.low, s.high, s.method,
                                                       record->meter, record->status);
        if (ok) self->m_channels[i] = std::move(channel);
    }
    // One picture needs one size: channels that differ cannot be put together.
    if (ok) {
        const int w = self->m_channels[0]->GetWidth(), h = self->m_channels[0]->GetHeight();
        for (int i = 1; i < 3; ++i)
            ok = ok && self->m_channels[i]->GetWidth() == w && self->m_channels[i]->GetHeight() == h;
        if (ok) {
            self->m_nGeometry[0] = w;
            self->m_nGeometry[1] = h;
            self->m_bDrawn = FALSE;
            self->m_complete = true;
        }
    }
    Report(self, record->code, ok);
}

void CRGBView::Report(CRGBView* self, int code, bool ok)
{
    CWnd* window = self->m_pViewWindow;
    const int index = self->m_nIndex;
    self->m_busy.store(false, std::memory_order_release);
    if (window) {
        auto* note = new CViewNotify(index, code);
        // A view window closed before the report arrives frees it unread.
        if (!platform::PostMessageOwning(window->GetSafeHwnd(), WM_VIEWER, WPARAM(note),
                                         ok ? kViewerShown : kViewerFailed, [note] { delete note; }))
            delete note;
    }
}

bool CRGBView::Ready() const
{
    return !IsBusy() && m_complete && m_channels[0] && m_channels[1] && m_channels[2];
}

CRasterView* CRGBView::Channel(int component) const
{
    const int slot = Slot(component);
    return slot >= 0 && !IsBusy() ? m_channels[slot].get() : nullptr;
}

CRasterView* CRGBView::Forward(int component) const
{
    return Channel(component);
}

const BYTE* CRGBView::CorrectionTable(int component) const
{
    const int slot = Slot(component);
    return slot >= 0 ? m_tables[slot] : nullptr;
}

void CRGBView::SetCorrectionTable(const BYTE table[256], int component)
{
    const int slot = Slot(component);
    if (slot < 0 || !table || !Channel(component)) return;
    std::memcpy(m_tables[slot], table, 256);
    m_bDrawn = FALSE;
}

unsigned* CRGBView::GetHistAddr(int component, int kind)
{
    CRasterView* c = Forward(component);
    return c ? c->GetHistAddr(1, kind) : nullptr;
}

int CRGBView::GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region)
{
    CRasterView* c = Forward(component);
    return c ? c->GetHistDataRgn(1, counters, bytes, bins, region) : 0;
}

void** CRGBView::GetRows(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetRows(1) : nullptr;
}

CRDPLayer* CRGBView::GetLayer(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetLayer(1) : nullptr;
}

double CRGBView::GetDisplayMin(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetDisplayMin(1) : -1.0;
}

double CRGBView::GetDisplayMax(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetDisplayMax(1) : -1.0;
}

int CRGBView::GetStretchMethod(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetStretchMethod(1) : -1;
}

BOOL CRGBView::IsComplex(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->IsComplex(1) : -1;
}

CString CRGBView::GetFileName(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetFileName(1) : CString();
}

CString CRGBView::GetStringTypeData(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetStringTypeData(1) : CString();
}

CString CRGBView::GetValueText(int x, int y)
{
    if (!Ready()) return CString();
    CString text = "(";
    text += m_channels[0]->GetValueText(x, y);
    text += ",";
    text += m_channels[1]->GetValueText(x, y);
    text += ",";
    text += m_channels[2]->GetValueText(x, y);
    text += ")";
    return text;
}

int CRGBView::GetComplexMode(int component)
{
    const int slot = Slot(component);
    return slot >= 0 && Channel(component) ? m_settings[slot].component : -1;
}

double CRGBView::Min(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->Min(1) : -1.0;
}

double CRGBView::Max(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->Max(1) : -1.0;
}

double CRGBView::Mean(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->Mean(1) : -1.0;
}

double CRGBView::StDev(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->StDev(1) : -1.0;
}

int CRGBView::GetDataType(int component)
{
    CRasterView* c = Forward(component);
    return c ? c->GetDataType(1) : 0;
}

void CRGBView::SetZoom(double zoom, int flags)
{
    if (IsBusy()) return;
    for (auto& c : m_channels)
        if (c) c->SetZoom(zoom, flags);
    m_bDrawn = FALSE;
}

// --- the composite -------------------------------------------------------------------------------

bool CRGBView::ReadBlock(BYTE* dest, std::int64_t stride, int x, int y, int w, int h, double zoom,
                         BOOL wholeImage, BOOL bottomUp, CMeterInfoBase* meter)
{
    if (!Ready() || !dest || w <= 0 || h <= 0) return false;
    const BYTE* red = m_tables[0];
    const BYTE* green = m_tables[1];
    const BYTE* blue = m_tables[2];
    // Without a meter the three channels are read and put together in one pass over row
    // bands: each band's rows stay in cache from the read to the interleave.
    CTilePyramid* pyramids[3] = {};
    int cutW = 0, cutH = 0;
    bool shared = !meter;
    for (int i = 0; i < 3 && shared; ++i) {
        pyramids[i] = m_channels[i]->LevelPyramid();
        int cw = 0, ch = 0;
        // Also prepares a reduced zoom's tables here, before the bands share the pyramid.
        shared = pyramids[i] && pyramids[i]->WindowSize(x, y, w, h, zoom, wholeImage, cw, ch) &&
                 (i == 0 || (cw == cutW && ch == cutH));
        cutW = cw, cutH = ch;
    }
    if (shared) {
        if (cutW == 0 || cutH == 0) return true;
        std::atomic<bool> failed{false};
        RunRowBands(RowBands::Even(cutH, 8), [&](const RowBand& band) {
            const std::int64_t rows = band.end - band.begin;
            std::vector<BYTE> planes(std::size_t(3 * rows * cutW));
            for (int i = 0; i < 3; ++i)
                if (!pyramids[i]->ReadWindowRows(planes.data() + i * rows * cutW, cutW, x, y, w, h, zoom,
                                                 wholeImage, band.begin, band.end)) {
                    failed.store(true, std::memory_order_relaxed);
                    return;
                }
            for (std::int64_t j = 0; j < rows; ++j) {
                const std::int64_t row = band.begin + j;
                BYTE* p = dest + (bottomUp ? cutH - 1 - row : row) * stride;
                const BYTE* r = planes.data() + j * cutW;
                const BYTE* g = r + rows * cutW;
                const BYTE* b = g + rows * cutW;
                for (int i = 0; i < cutW; ++i, p += 3) {
                    p[0] = blue[b[i]];
                    p[1] = green[g[i]];
                    p[2] = red[r[i]];
                }
            }
        });
        return !failed.load();
    }
    if (meter) {
        meter->SetRange(0, 3.0 * h);
        meter->SetStep(1.0);
    }
    // Red into byte 2, green into byte 1, blue into byte 0 of every pixel.
    for (int i = 0; i < 3; ++i)
        if (!m_channels[i]->ReadLevels(dest + (2 - i), stride, x, y, w, h, zoom, wholeImage, 3, bottomUp,
                                       meter))
            return false;
    ForEachRow(h, [&](std::int64_t r, int) {
        BYTE* p = dest + r * stride;
        for (int i = 0; i < w; ++i, p += 3) {
            p[0] = blue[p[0]];
            p[1] = green[p[1]];
            p[2] = red[p[2]];
        }
    });
    return true;
}

bool CRGBView::ReadForDraw(BYTE* dest, std::int64_t stride, int x, int y, int w, int h, double zoom,
                           BOOL wholeImage)
{
    if (ReadBlock(dest, stride, x, y, w, h, zoom, wholeImage, FALSE, nullptr)) return true;
    if (!Ready()) return false;
    bool damaged = false;
    for (const auto& channel : m_channels) damaged = damaged || channel->CacheDamaged();
    if (!damaged) return false;
    // The channels are built again off this thread; the view shows nothing until the job
    // clears the busy flag and tells the view window to draw again.
    m_busy.store(true, std::memory_order_release);
    m_bDrawn = FALSE;
    auto* record = new RgbOpenRecord{this, nullptr, nullptr, kRebuiltNote};
    if (!::Run("Open Image", &CRGBView::RebuildJob, record)) {
        delete record;
        m_busy.store(false, std::memory_order_release);
    }
    return false;
}

void CRGBView::RebuildJob(void* arg)
{
    std::unique_ptr<RgbOpenRecord> record(static_cast<RgbOpenRecord*>(arg));
    CRGBView* self = record->view;
    bool ok = true;
    for (const auto& channel : self->m_channels)
        if (channel->CacheDamaged()) ok = channel->RebuildDamagedChannel(record->meter) && ok;
    if (!ok) self->m_complete = false;
    Report(self, record->code, ok);
}

void CRGBView::Show(CDC* dc, int destX, int destY, int w, int h, int srcX, int srcY, int blockW, int blockH,
                    const BYTE* block)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = blockW;
    info.bmiHeader.biHeight = -blockH;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    // Top-down rows: source row 0 is the block's first row (rows count from the bottom of
    // the DIB, hence blockH - srcY - h).
    ::SetDIBitsToDevice(dc->GetSafeHdc(), destX, destY, DWORD(w), DWORD(h), srcX, blockH - srcY - h, 0,
                        UINT(blockH), block, &info, DIB_RGB_COLORS);
}

void CRGBView::RenderRGB(int x, int y, int width, int height, int stride, int bottomUp, double zoom,
                         BOOL wholeImage, BYTE* dest, CMeterInfoBase* meter)
{
    if (stride < 3 * width) return;
    if (ReadBlock(dest, stride, x, y, width, height, zoom, wholeImage, bottomUp, meter) || !Ready()) return;
    for (const auto& channel : m_channels) channel->ThrowIfCacheDamaged();
}

void CRGBView::DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL, BYTE*, BITMAPINFO*)
{
    if (!m_bShown || !dc || !(zoom > 0.0) || !Ready() || width <= 0 || height <= 0) return;
    // The window shown now is read at every draw (no whole-picture cache).
    const int sx = int(x / zoom), sy = int(y / zoom);
    const int w = std::min(width, int((m_nGeometry[0] - x) / zoom));
    const int h = std::min(height, int((m_nGeometry[1] - y) / zoom));
    if (w <= 0 || h <= 0) return;
    const std::int64_t stride = RowBytes(width);
    m_block.resize(std::size_t(stride * height));
    if (!ReadForDraw(m_block.data(), stride, sx, sy, width, height, zoom, FALSE)) return;
    Show(dc, 0, 0, w, h, 0, 0, width, height, m_block.data());
    m_bDrawn = TRUE;
}

void CRGBView::DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                          double zoom, BOOL, BYTE*, BITMAPINFO*)
{
    if (!m_bShown || !dc || !(zoom > 0.0) || !Ready()) return;
    const int imageWidth = m_nGeometry[0], imageHeight = m_nGeometry[1];
    if (srcX < 0) srcWidth += srcX, srcX = 0;
    if (srcY < 0) srcHeight += srcY, srcY = 0;
    if (srcX + srcWidth > imageWidth) srcWidth = imageWidth - srcX;
    if (srcY + srcHeight > imageHeight) srcHeight = imageHeight - srcY;
    if (srcWidth <= 0 || srcHeight <= 0) return;
    const int w = std::max(1, int(srcWidth / zoom)), h = std::max(1, int(srcHeight / zoom));
    const std::int64_t stride = RowBytes(w);
    m_block.resize(std::size_t(stride * h));
    if (!ReadForDraw(m_block.data(), stride, int(srcX / zoom), int(srcY / zoom), w, h, zoom, FALSE)) return;
    Show(dc, destX, destY, w, h, 0, 0, w, h, m_block.data());
}

void CRGBView::CopyRectToDC(CDC* dc, const RECT* rect, BYTE*, BITMAPINFO*)
{
    if (!dc || !rect || !Ready()) return;
    const int left = std::max<int>(0, rect->left), top = std::max<int>(0, rect->top);
    const int right = std::min<int>(m_nGeometry[0] - 1, rect->right);
    const int bottom = std::min<int>(m_nGeometry[1] - 1, rect->bottom);
    const int w = right - left + 1, h = bottom - top + 1;
    if (w <= 0 || h <= 0) return;
    const std::int64_t stride = RowBytes(w);
    std::vector<BYTE> block(std::size_t(stride * h));
    if (ReadForDraw(block.data(), stride, left, top, w, h, 1.0, FALSE))
        Show(dc, 0, 0, w, h, 0, 0, w, h, block.data());
}

void CRGBView::DrawBlockAt(CDC* dc, int x, int y, int destX, int destY, int width, int height, double zoom,
                           BOOL wholeImage, BYTE*, BITMAPINFO*)
{
    if (!m_bShown || !dc || !Ready() || width <= 0 || height <= 0) return;
    m_bDrawn = FALSE;
    const std::int64_t stride = RowBytes(width);
    m_block.resize(std::size_t(stride * height));
    if (ReadForDraw(m_block.data(), stride, x, y, width, height, zoom, wholeImage))
        Show(dc, destX, destY, width, height, 0, 0, width, height, m_block.data());
}

void CRGBView::DrawOverlay(CDC* dc, int x, int y, int width, int height, double zoom, BOOL, BYTE*,
                           BITMAPINFO*)
{
    if (!m_bShown || !dc || !Ready() || !(zoom > 0.0)) return;
    const int w = std::min(width, int(m_nGeometry[0] / zoom)),
              h = std::min(height, int(m_nGeometry[1] / zoom));
    if (w <= 0 || h <= 0) return;
    const std::int64_t stride = RowBytes(width);
    m_block.resize(std::size_t(stride * height));
    if (ReadForDraw(m_block.data(), stride, x, y, width, height, zoom, FALSE))
        Show(dc, 0, 0, w, h, 0, 0, width, height, m_block.data());
    m_bDrawn = TRUE;
}

void CRGBView::ShowProfile(int direction, int position, CWnd* parent, CCoordLawData* /*law*/)
{
    if (!Ready()) return;
    static constexpr COLORREF kColours[3] = {0x0000FF, 0x00FF00, 0xFF0000};
    static constexpr const char* kFailTexts[3] = {"Error on init Red Layer", "Error on init Green Layer",
                                                  "Error on init Blue Layer"};
    RasterProfileRequest request;
    request.parent = parent;
    request.caption = CRasterView::ProfileCaption(direction, position);
    for (int i = 0; i < 3; ++i) {
        RasterProfileRequest::Curve curve;
        curve.colour = kColours[i];
        curve.failText = kFailTexts[i];
        // A channel without this row hands an empty curve, which the window refuses.
        m_channels[i]->ReadProfile(direction, position, curve.values);
        request.more.push_back(std::move(curve));
    }
    const RasterViewServices& services = GetRasterViewServices();
    if (services.showProfile && !services.showProfile(request))
        ::MessageBox(nullptr, "Error on show profile", "ShowProfile", MB_OK);
}

void CRGBView::SaveRectAs(const RECT* rect)
{
    if (!rect || !Ready()) return;
    const RasterViewServices& services = GetRasterViewServices();
    auto record = std::make_unique<RgbSaveRecord>();
    if (!services.askChannelFiles || !services.askChannelFiles(m_pViewWindow, record->destination)) return;
    record->rect = *rect;
    for (int i = 0; i < 3; ++i) record->source[i] = m_channels[i]->GetFileName(1);
    RgbSaveRecord* job = record.release();
    if (!::Run(kTextSavingSegment, &SaveRgbRectJob, job)) delete job;  // never started: still ours
}

void CRGBView::SaveRegionAs(HRGN region)
{
    RECT box{};
    if (!region || !Ready() || ::GetRgnBox(region, &box) == NULLREGION) return;
    // The box is cut to the picture; its right and bottom edges become the last column and row.
    const RECT rect{std::max<LONG>(box.left, 0), std::max<LONG>(box.top, 0),
                    std::min<LONG>(box.right, m_nGeometry[0]) - 1,
                    std::min<LONG>(box.bottom, m_nGeometry[1]) - 1};
    if (rect.right < rect.left || rect.bottom < rect.top) return;
    SaveRectAs(&rect);
}
