// Drawing the view: whole, magnified and visible-window pictures, and RGB renders.

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/row_driver.h"
#include "platform/gdi/dc.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/raster_view_jobs.h"
#include "viewer/core/tile_pyramid.h"

namespace {

// Rows of a banded render: small enough that every core gets many bands, large enough
// that a band's read costs little beside its rows.
constexpr std::int64_t kRenderRowsPerBand = 32;

int Stride4(int width)
{
    return (width + 3) & ~3;
}

// A render reads on workers, where the pyramid cannot be built again: what a damaged tile
// left unwritten is never handed on as the picture.
void ThrowIfDamaged(bool damaged)
{
    if (damaged)
        AfxThrowRDPExcept(
            RDP_ERROR_PROCESS,
            "The picture's display cache is damaged; it is built again when the picture is shown.");
}

}  // namespace

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
            if (RebuiltAfterDamage(pyramid, pyramid->ReadWindow(bits, Stride4(w), 0, 0, w, h, zoom, FALSE, 1,
                                                                FALSE, nullptr)))
                return;
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
            if (RebuiltAfterDamage(pyramid, pyramid->ReadWindow(bits, Stride4(width), sx, sy, width, height,
                                                                zoom, FALSE, 1, FALSE, nullptr)))
                return;
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
    if (!pyramid->ReadWindow(bits, srcStride, 0, 0, imageWidth, imageHeight, zoom, TRUE, 1, FALSE, nullptr) &&
        pyramid->Damaged()) {
        m_magnified.clear();
        return false;
    }
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
        if (RebuiltAfterDamage(
                pyramid, pyramid->ReadWindow(bits, Stride4(w), x, y, w, h, zoom, FALSE, 1, FALSE, nullptr)))
            return;
        FillBitmapHeader(info, Stride4(w), -h);
        ::SetDIBitsToDevice(hdc, destX, destY, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), bits, info,
                            DIB_RGB_COLORS);
    } else if (zoom >= 1.0) {
        const int w = int(imageWidth / zoom), h = int(imageHeight / zoom);
        if (w <= 0 || h <= 0) return;
        if (!m_bDrawn) {
            if (RebuiltAfterDamage(pyramid, pyramid->ReadWindow(bits, Stride4(w), 0, 0, w, h, zoom, FALSE, 1,
                                                                FALSE, nullptr)))
                return;
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
    } else {
        RebuiltAfterDamage(pyramid, 0);
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
    if (RebuiltAfterDamage(
            pyramid, pyramid->ReadWindow(bits, Stride4(w), left, top, w, h, 1.0, FALSE, 1, FALSE, nullptr)))
        return;
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
        ThrowIfDamaged(pyramid->Damaged());
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
    ThrowIfDamaged(pyramid->Damaged());
}

void CRasterView::ThrowIfCacheDamaged() const
{
    ThrowIfDamaged(CacheDamaged());
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
