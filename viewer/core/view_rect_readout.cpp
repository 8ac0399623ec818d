#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <memory>
#include <new>

#include "outside/basecore/math_helpers.h"
#include "outside/basecore/memory_map.h"
#include "outside/basecore/nearest_step.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/region_info.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "outside/basecore/cmeter_info.h"
#include "platform/common_dialogs/file_dialog.h"
#include "platform/window/modal.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/region.h"
#include "platform/kernel/atomic_file.h"
#include "platform/shell/clipboard_change.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/view_rect_internal.h"

namespace {

/// Copies `text` into a caller's buffer of `size` bytes, cut so that no UTF-8 character is
/// split. A null buffer or a size below 1 is skipped.
void CopyCut(char* buffer, int size, const std::string& text)
{
    if (!buffer || size < 1) return;
    std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    // Back up over continuation bytes when the cut falls inside a character.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string Format(const char* fmt, auto... args)
{
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt, args...);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

/// Degrees, minutes and seconds of an angle; only the degrees carry the sign.
struct Dms {
    int d;
    int m;
    double s;
};

Dms ToDms(double v)
{
    const double d = std::trunc(v);
    const double minutes = (v - d) * 60.0;
    return {static_cast<int>(d), std::abs(static_cast<int>(std::trunc(minutes))),
            std::fabs((minutes - std::trunc(minutes)) * 60.0)};
}

std::string LoadText(UINT id, const char* fallback)
{
    CString s;
    if (s.LoadString(id) && !s.IsEmpty()) return std::string(static_cast<const char*>(s));
    return fallback;
}

constexpr UINT IDS_LONGITUDE = 34068;
constexpr UINT IDS_LATITUDE = 34069;

}  // namespace

void CViewRect::FormatPointInfo(int x, int y, char* zoomText, int zoomSize, char* pixelText, int pixelSize,
                                char* valueText, int valueSize, char* coordText, int coordSize) const
{
    if (m_Views.empty()) {
        CopyCut(zoomText, zoomSize, {});
        CopyCut(pixelText, pixelSize, {});
        CopyCut(valueText, valueSize, {});
        CopyCut(coordText, coordSize, {});
        return;
    }
    CopyCut(zoomText, zoomSize, Format("%d %%", Round(100.0 / m_dScale)));
    if (x < 0 || y < 0 || x >= m_nImageWidth || y >= m_nImageHeight) {
        CopyCut(pixelText, pixelSize, {});
        CopyCut(valueText, valueSize, {});
        CopyCut(coordText, coordSize, {});
        return;
    }
    CopyCut(pixelText, pixelSize, Format("( %d, %d )", x, y));
    std::string value;
    if (CVirtualView* view = GetActiveView()) value = static_cast<const char*>(view->GetValueText(x, y));
    CopyCut(valueText, valueSize, value);

    std::string coord;
    CPointT<double> geo;
    if (m_bGeoTransform && InverseTransformPoint(m_Transform, CPointT<double>{double(x), double(y)}, &geo)) {
        const Dms lon = ToDms(geo.x), lat = ToDms(geo.y);
        const char* lonPart = m_bGeoCompact == 1 ? " %d\u00b0  %d' %lg''   " : "  %d\u00b0  %d' %lg''   ";
        const char* latPart = m_bGeoCompact == 1 ? " %d\u00b0  %d' %lg'' " : "  %d\u00b0  %d' %lg'' ";
        coord = " " + LoadText(IDS_LONGITUDE, "Longitude:") + Format(lonPart, lon.d, lon.m, lon.s) +
                LoadText(IDS_LATITUDE, "Latitude:") + Format(latPart, lat.d, lat.m, lat.s);
    } else {
        CPointT<double> logical = m_CoordLaw.GetLogicalCoord(double(x), double(y));
        if (std::fabs(logical.x) < 1e-10) logical.x = 0.0;
        if (std::fabs(logical.y) < 1e-10) logical.y = 0.0;
        coord = Format(" X:  %lg  Y:  %lg", logical.x, logical.y);
    }
    CopyCut(coordText, coordSize, coord);
}

void CViewRect::GetStatusTexts(char* zoomText, int zoomSize, char* pixelText, int pixelSize, char* valueText,
                               int valueSize, char* coordText, int coordSize) const
{
    const CPoint p = ScreenToImage(m_ptMouse);
    FormatPointInfo(p.x, p.y, zoomText, zoomSize, pixelText, pixelSize, valueText, valueSize, coordText,
                    coordSize);
    if (m_ToolMode == 9 && (m_MoveMode == 1 || m_MoveMode == 6)) {
        const int* r = m_rcSel;
        CopyCut(coordText, coordSize,
                Format("(%d, %d) - (%d, %d) = [%d x %d]", r[0], r[1], r[2], r[3], std::abs(r[0] - r[2]),
                       std::abs(r[1] - r[3])));
    }
}

int CViewRect::SetLogicalCoords(int width, int height, double xFrom, double xTo, double yFrom, double yTo)
{
    const int result = m_CoordLaw.SetDataManual(width, height, xFrom, xTo, yFrom, yTo);
    if (CWnd* parent = GetParent()) parent->SendMessage(kWmViewRect, 3, 0);
    return result;
}

namespace {

constexpr UINT IDS_BMP_FILTER = 34099;
constexpr UINT IDS_ERROR_CREATING_FILE = 34053;
constexpr std::uint64_t kBmpHeaderBytes = 54;

/// What the export job needs; the job owns it.
struct ExportBmpJob {
    ViewHold view;  // a viewer closed during the export leaves the job its view
    CString path;
    int width = 0;
    int height = 0;
};

void PutU16(BYTE* p, unsigned v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}

void PutU32(BYTE* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = BYTE(v >> (8 * i));
}

void ExportBmpWorker(void* arg, CMeterInfo* meter)
{
    std::unique_ptr<ExportBmpJob> job(static_cast<ExportBmpJob*>(arg));
    WriteBmpFile(job->view.get(), job->width, job->height, job->path, meter);
    if (meter) meter->JobFinished(0);
}

}  // namespace

void WriteBmpFile(CVirtualView* view, int width, int height, const char* path, CMeterInfoBase* meter)
{
    std::uint64_t total = 0;
    if (!view || !path || !BmpFileSize(width, height, &total))
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, "The picture is too large for a bitmap file.");
    const std::uint64_t stride = BmpStride(width);
    // The new file replaces an older one only once it is complete; a stop or a failure
    // leaves the older one as it was.
    platform::AtomicFile file;
    if (!file.Create(path) || !file.SetSize(total))
        AfxThrowRDPExcept(RDP_ERROR_PROCESS,
                          LoadText(IDS_ERROR_CREATING_FILE, "Error creating file !").c_str());
    CMemoryMap map;
    if (!map.MapFile(file.Handle(), total) || !map.AdresData())
        AfxThrowRDPExcept(RDP_ERROR_PROCESS,
                          LoadText(IDS_ERROR_CREATING_FILE, "Error creating file !").c_str());
    BYTE* h = map.AdresData();
    h[0] = 'B';
    h[1] = 'M';
    PutU32(h + 2, std::uint32_t(total));
    PutU16(h + 6, 0);
    PutU16(h + 8, 0);
    PutU32(h + 10, std::uint32_t(kBmpHeaderBytes));
    BYTE* i = h + 14;
    PutU32(i, 40);
    PutU32(i + 4, std::uint32_t(width));
    PutU32(i + 8, std::uint32_t(height));
    PutU16(i + 12, 1);
    PutU16(i + 14, 24);
    std::memset(i + 16, 0, 24);
    view->RenderRGB(0, 0, width, height, int(stride), 1, 1.0, TRUE, h + kBmpHeaderBytes, meter);
    if (!map.Flush()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, "The bitmap file could not be written.");
    map.Close();
    if (!file.Commit()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, "The bitmap file could not be written.");
}

std::uint64_t BmpStride(int width)
{
    return (std::uint64_t(std::max(width, 0)) * 3 + 3) / 4 * 4;
}

BOOL BmpFileSize(int width, int height, std::uint64_t* bytes)
{
    const std::uint64_t total = kBmpHeaderBytes + BmpStride(width) * std::uint64_t(std::max(height, 0));
    if (bytes) *bytes = total;
    return width > 0 && height > 0 && total <= 0xFFFFFFFFull ? TRUE : FALSE;
}

void CViewRect::ExportBmp()
{
    CVirtualView* view = GetActiveView();
    if (!view || m_nImageWidth <= 0 || m_nImageHeight <= 0) return;
    if (!BmpFileSize(m_nImageWidth, m_nImageHeight, nullptr)) {
        ::MessageBox(GetSafeHwnd(), "The picture is too large for a bitmap file.", "Export",
                     MB_OK | MB_ICONERROR);
        return;
    }
    const CString folder = GetStringValue("\\Settings\\General", "WorkDir");
    const std::string filter =
        LoadText(IDS_BMP_FILTER, "Windows bitmap files (*.bmp)|*.bmp|All files (*.*)|*.*||");
    CFileDialog dialog(FALSE, "bmp", nullptr,
                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN | OFN_SHAREAWARE,
                       filter.c_str(), this);
    dialog.m_ofn.lpstrInitialDir = folder.IsEmpty() ? nullptr : folder.c_str();
    if (dialog.DoModal() != IDOK) return;
    auto job = std::make_unique<ExportBmpJob>();
    job->view = HoldView(view);
    job->path = dialog.GetPathName();
    job->width = m_nImageWidth;
    job->height = m_nImageHeight;
    if (job->path.IsEmpty()) return;
    const CString title = view->GetLayerName();
    ExportBmpJob* record = job.release();
    if (!::Run(title, &ExportBmpWorker, record)) delete record;  // never started: still ours
}

namespace {

/// Largest picture the copy takes: 32-bit pixels held twice (bitmap and buffer).
constexpr std::uint64_t kCopyLimitBytes = std::uint64_t(1) << 30;

/// Draws `area` (picture pixels, exclusive right and bottom) of `view` at 1:1 into a new
/// bitmap; outside `clip` (picture pixels, or null) the bitmap stays white. Null when the
/// memory is not there.
HBITMAP RenderAreaBitmap(CVirtualView* view, const RECT& area, HRGN clip, int bytesPerPixel,
                         ViewBitmapInfo& bmi)
{
    const int w = area.right - area.left, h = area.bottom - area.top;
    const std::uint64_t bufferBytes =
        (std::uint64_t(w) + 3) * std::uint64_t(h) * std::uint64_t(std::max(bytesPerPixel, 3));
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[bufferBytes]);
    if (!buffer) return nullptr;
    CDC mem;
    if (!mem.CreateCompatibleDC(nullptr)) return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(mem.GetSafeHdc(), w, h);
    if (!bitmap) return nullptr;
    HGDIOBJ old = SelectObject(mem.GetSafeHdc(), bitmap);
    if (clip) {
        mem.FillSolidRect(0, 0, w, h, RGB(255, 255, 255));
        HRGN moved = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(moved, clip, nullptr, RGN_COPY);
        OffsetRgn(moved, -area.left, -area.top);
        SelectClipRgn(mem.GetSafeHdc(), moved);
        DeleteObject(moved);
    }
    const LONG savedWidth = bmi.bmiHeader.biWidth, savedHeight = bmi.bmiHeader.biHeight;
    const RECT inclusive{area.left, area.top, area.right - 1, area.bottom - 1};
    view->CopyRectToDC(&mem, &inclusive, buffer.get(), reinterpret_cast<BITMAPINFO*>(&bmi));
    bmi.bmiHeader.biWidth = savedWidth;
    bmi.bmiHeader.biHeight = savedHeight;
    SelectClipRgn(mem.GetSafeHdc(), nullptr);
    SelectObject(mem.GetSafeHdc(), old);
    return bitmap;
}

}  // namespace

int CViewRect::CopyToClipboard(int mode)
{
    if (mode != 1 && mode != 2) return 0;
    if (m_Views.empty() || !GetActiveView() || m_nImageWidth <= 0 || m_nImageHeight <= 0) return 0;
    RECT area{};
    const CRect picture(0, 0, m_nImageWidth, m_nImageHeight);
    bool whole = false;
    if (GetRgnBox(m_hSelRgn, &area) == NULLREGION || area.right <= area.left || area.bottom <= area.top) {
        area = picture;
        whole = true;
    } else {
        CRect cut;
        if (!cut.IntersectRect(&area, &picture)) return 0;
        area = cut;
        whole = cut == picture && GetRgnArea(m_hSelRgn) >= std::int64_t(picture.Width()) * picture.Height();
    }
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (std::uint64_t(w) * std::uint64_t(h) * 8 > kCopyLimitBytes) {
        ::MessageBox(GetSafeHwnd(), "The picture is too large to copy.", "Copy", MB_OK | MB_ICONERROR);
        return 0;
    }
    HRGN clip = whole ? nullptr : m_hSelRgn;
    if (mode == 1) {
        HBITMAP bitmap = RenderAreaBitmap(m_Views.front(), area, clip, m_nBytesPerPixel, m_bmi);
        if (!bitmap) {
            ::MessageBox(GetSafeHwnd(), "There is not enough memory to copy the picture.", "Copy",
                         MB_OK | MB_ICONERROR);
            return 0;
        }
        const BOOL ok = CopyBitmapToClipboard(GetSafeHwnd(), bitmap, nullptr);
        DeleteObject(bitmap);
        return ok ? 1 : 0;
    }
    CMetaFileDC meta;
    if (!meta.CreateEnhanced(nullptr, nullptr, nullptr, nullptr)) return 1;
    meta.FillSolidRect(0, 0, w + 40, h + 40, RGB(255, 255, 255));
    for (CVirtualView* view : m_Views) {
        if (view->GetLayerClass() == kLayerClassOverlay) continue;
        HBITMAP bitmap = RenderAreaBitmap(view, area, clip, m_nBytesPerPixel, m_bmi);
        if (!bitmap) {
            ::MessageBox(GetSafeHwnd(), "There is not enough memory to copy the picture.", "Copy",
                         MB_OK | MB_ICONERROR);
            DeleteEnhMetaFile(meta.CloseEnhanced());
            return 0;
        }
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(mem.GetSafeHdc(), bitmap);
        meta.BitBlt(40, 20, w, h, &mem, 0, 0, SRCCOPY);
        SelectObject(mem.GetSafeHdc(), old);
        DeleteObject(bitmap);
    }
    const CPointT<double> bottomLeft = m_CoordLaw.GetLogicalCoord(double(area.left), double(area.bottom - 1));
    const CPointT<double> topRight = m_CoordLaw.GetLogicalCoord(double(area.right - 1), double(area.top));
    DrawAxes(&meta, RECT{40, 20, 40 + w, 20 + h}, bottomLeft.x, bottomLeft.y, topRight.x, topRight.y);
    HENHMETAFILE recording = meta.CloseEnhanced();
    if (recording && OpenClipboard(GetSafeHwnd())) {
        EmptyClipboard();
        SetClipboardData(CF_ENHMETAFILE, recording);
        CloseClipboard();
    }
    if (recording) DeleteEnhMetaFile(recording);
    return 1;
}

void CViewRect::DrawAxes(CDC* dc, const RECT& rc, double x1, double y1, double x2, double y2)
{
    if (!dc) return;
    CFont font;
    font.CreateFont(13, 0, 0, 0, 300, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, "Tahoma");
    CFont* oldFont = dc->SelectObject(&font);
    dc->SetBkColor(RGB(255, 255, 255));
    dc->SetTextColor(RGB(0, 0, 0));
    CPen pen(PS_DOT, 1, RGB(255, 0, 0));
    CPen* oldPen = dc->SelectObject(&pen);
    const int l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;

    // About one line every 50 pixels, at least one interval; an axis without a usable
    // logical span or step gets no lines.
    auto stepOf = [](double from, double to, int pixels) {
        const double raw = (to - from) / double(std::max(1, pixels / 50));
        if (!std::isfinite(raw) || raw == 0.0) return 0.0;
        const double step = std::copysign(GetNearestStep(std::fabs(raw)), raw);
        return std::isfinite(step) ? step : 0.0;
    };
    auto lines = [](double from, double to, double step, auto draw) {
        if (step == 0.0 || !std::isfinite(from) || !std::isfinite(to) || to == from) return;
        const double first = std::ceil(from / step) * step, last = std::floor(to / step) * step;
        const double n = std::trunc((last - first) / step);
        if (!std::isfinite(n) || n < 0.0 || n > 10000.0) return;
        for (int i = 0; i <= int(n); ++i) draw(first + i * step);
    };
    lines(x1, x2, stepOf(x1, x2, r - l), [&](double v) {
        const int px = int(std::trunc(l + (v - x1) * (r - l) / (x2 - x1)));
        dc->MoveTo(px, t);
        dc->LineTo(px, b);
        CString label;
        label.Format("%g", v);
        dc->SetTextAlign(TA_LEFT | TA_TOP);
        dc->TextOut(px, b + 5, label);
    });
    lines(y1, y2, stepOf(y1, y2, b - t), [&](double v) {
        const int py = int(std::trunc(b - (v - y1) * (b - t) / (y2 - y1)));
        dc->MoveTo(l, py);
        dc->LineTo(r, py);
        CString label;
        label.Format("%g", v);
        dc->SetTextAlign(TA_RIGHT | TA_TOP);
        dc->TextOut(l - 5, py, label);
    });
    dc->SetTextAlign(TA_LEFT | TA_TOP);
    CPen blue(PS_SOLID, 1, RGB(0, 0, 255));
    dc->SelectObject(&blue);
    dc->MoveTo(l, t);
    dc->LineTo(r + 1, t);
    dc->LineTo(r + 1, b + 1);
    dc->LineTo(l, b + 1);
    dc->LineTo(l, t);
    dc->SelectObject(oldPen);
    dc->SelectObject(oldFont);
}

// --- forwarders to the active view ----------------------------------------------------------------

namespace {

/// Component 1 asks a single-band view, the others a view of another kind.
bool ComponentFits(const CVirtualView* view, int component)
{
    return (component == 1) == (view->GetViewKind() == kViewKindSingleBand);
}

}  // namespace

int CViewRect::GetViewKind() const
{
    const CVirtualView* view = GetActiveView();
    return view ? view->GetViewKind() : 0;
}

int CViewRect::ImageWidth() const
{
    const CVirtualView* view = GetActiveView();
    return view ? view->GetWidth() : m_nImageWidth;
}

int CViewRect::ImageHeight() const
{
    const CVirtualView* view = GetActiveView();
    return view ? view->GetHeight() : m_nImageHeight;
}

CString CViewRect::GetLayerName() const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetLayerName() : CString();
}

CString CViewRect::GetValueText(int x, int y) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetValueText(x, y) : CString();
}

CString CViewRect::GetFileName(int component) const
{
    CVirtualView* view = GetActiveView();
    return view && ComponentFits(view, component) ? view->GetFileName(component) : CString();
}

unsigned* CViewRect::GetHistAddr(int component) const
{
    CVirtualView* view = GetActiveView();
    return view && ComponentFits(view, component) ? view->GetHistAddr(component, 1) : nullptr;
}

int CViewRect::GetComplexMode(int component) const
{
    CVirtualView* view = GetActiveView();
    return view && ComponentFits(view, component) ? view->GetComplexMode(component) : -1;
}

BOOL CViewRect::IsComplex(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->IsComplex(component) : FALSE;
}

double CViewRect::Min(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->Min(component) : 0.0;
}

double CViewRect::Max(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->Max(component) : 0.0;
}

double CViewRect::Mean(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->Mean(component) : 0.0;
}

double CViewRect::StDev(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->StDev(component) : 0.0;
}

CString CViewRect::GetStringTypeData(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetStringTypeData(component) : CString();
}

CColorMap* CViewRect::GetColorMap() const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetColorMap() : nullptr;
}

CColorMap* CViewRect::GetModeColorMap(int tag) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetModeColorMap(tag) : nullptr;
}

void CViewRect::GetPalette(BYTE* palette) const
{
    CVirtualView* view = GetActiveView();
    if (view && palette) view->GetPalitra(reinterpret_cast<ColorStruct*>(palette));
}

void CViewRect::SetPaletteMode(CColorMap* map)
{
    if (CVirtualView* view = GetActiveView()) {
        view->SetColorMap(map);
        m_bPainted = FALSE;
        Redraw();
    }
}

void CViewRect::SetPalette(const BYTE* palette)
{
    if (CVirtualView* view = GetActiveView(); view && palette) {
        view->SetPalitra(reinterpret_cast<const ColorStruct*>(palette));
        m_bPainted = FALSE;
        Redraw();
    }
}

void CViewRect::EqualizeHistogram()
{
    if (CVirtualView* view = GetActiveView()) {
        view->EqualizeHistogram();
        m_bPainted = FALSE;
        Redraw();
    }
}

void CViewRect::SetCorrectionTable(const BYTE* table, int mode)
{
    if (CVirtualView* view = GetActiveView(); view && table) {
        view->SetCorrectionTable(table, mode);
        m_bPainted = FALSE;
        Redraw();
    }
}

int CViewRect::GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetHistDataRgn(component, counters, bytes, bins, region) : -1;
}

int CViewRect::GetHistDataRect(int component, unsigned* counters, int bytes, unsigned bins,
                               const RECT& rect) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetHistDataRect(component, counters, bytes, bins, rect.left, rect.top, rect.right,
                                        rect.bottom)
                : -1;
}

void CViewRect::DropRendering()
{
    if (CVirtualView* view = GetActiveView()) view->SetDrawn(FALSE);
}
