#include "viewer/core/metafile_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/gdi/gdi.h"
#include "platform/shell/clipboard_change.h"

namespace {

/// A memory DC over a 32-bit top-down DIB section (pixels 0x00RRGGBB).
class Surface {
public:
    Surface(int width, int height) : m_width(width), m_height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader = {40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<std::uint32_t*>(bits);
        m_dc = CreateCompatibleDC(nullptr);
        if (m_bitmap && m_dc) m_old = SelectObject(m_dc, m_bitmap);
    }
    ~Surface()
    {
        if (m_dc) {
            if (m_old) SelectObject(m_dc, m_old);
            DeleteDC(m_dc);
        }
        if (m_bitmap) DeleteObject(m_bitmap);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool Ok() const { return m_bits && m_dc && m_old; }
    HDC Dc() const { return m_dc; }
    std::uint32_t* Row(int y) const { return m_bits + std::int64_t(y) * m_width; }
    /// Fills the top-left width x height pixels with one byte value.
    void Clear(int width, int height, BYTE value) const
    {
        for (int y = 0; y < height; ++y) std::memset(Row(y), value, size_t(width) * 4);
    }

private:
    int m_width, m_height;
    HBITMAP m_bitmap = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
    std::uint32_t* m_bits = nullptr;
};

bool FitsInt(std::int64_t v)
{
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

/// Picture pixel shown by zoomed pixel k: the same nearest rule as the raster views.
std::int64_t PictureOf(std::int64_t k, double zoom)
{
    return std::int64_t(std::floor(double(k) * zoom));
}

/// Zooms the views are drawn at lie far inside this range; outside it positions would
/// leave the 64-bit range, so nothing is drawn.
bool UsableZoom(double zoom)
{
    return std::isfinite(zoom) && zoom >= 1e-6 && zoom <= 1e6;
}

/// Truncated v / zoom, when it stays within what doubles count exactly.
bool Zoomed(double v, double zoom, std::int64_t* out)
{
    const double z = v / zoom;
    if (!(std::fabs(z) < 9.0e15)) return false;
    *out = std::int64_t(z);
    return true;
}

/// Largest side, in picture pixels, of the piece rendered at once when zoomed.
constexpr int kMaxPieceSide = 1024;

}  // namespace

CMetaFileView::CMetaFileView()
{
    m_nLayerClass = kLayerClassOverlay;
    m_nViewKind = kViewKindSingleBand;
}

CMetaFileView::~CMetaFileView()
{
    // The recording DC goes with m_dc; the finished recording is the view's to delete.
    if (m_hMetaFile) DeleteEnhMetaFile(m_hMetaFile);
}

BOOL CMetaFileView::Record(const std::vector<CMetaDrawable*>& objects)
{
    if (m_hMetaFile) DeleteEnhMetaFile(m_hMetaFile);
    m_hMetaFile = nullptr;
    m_bDrawn = FALSE;
    if (m_dc.m_hDC) DeleteEnhMetaFile(m_dc.CloseEnhanced());
    if (!m_dc.CreateEnhanced(nullptr, nullptr, nullptr, nullptr)) return FALSE;
    for (CMetaDrawable* object : objects)
        if (object) object->Draw(&m_dc, 0, 0, 1.0);
    m_hMetaFile = m_dc.CloseEnhanced();
    if (!m_hMetaFile) return FALSE;
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        SetClipboardData(CF_ENHMETAFILE, m_hMetaFile);
        CloseClipboard();
    }
    return TRUE;
}

void CMetaFileView::SetPlacement(int, int x, int y)
{
    m_nLayerClass = kLayerClassOverlay;
    m_ptPlacement = CPoint(x, y);
    m_bDrawn = FALSE;
}

void CMetaFileView::DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL, BYTE*,
                           BITMAPINFO*)
{
    std::int64_t zx = 0, zy = 0;
    if (!UsableZoom(zoom) || !Zoomed(x, zoom, &zx) || !Zoomed(y, zoom, &zy)) return;
    Render(dc, 0, 0, zx, zy, width, height, zoom);
    m_bDrawn = TRUE;
}

void CMetaFileView::DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                               double zoom, BOOL, BYTE*, BITMAPINFO*)
{
    std::int64_t zx = 0, zy = 0, zr = 0, zb = 0;
    if (!UsableZoom(zoom) || !Zoomed(srcX, zoom, &zx) || !Zoomed(srcY, zoom, &zy) ||
        !Zoomed(double(srcX) + srcWidth, zoom, &zr) || !Zoomed(double(srcY) + srcHeight, zoom, &zb))
        return;
    if (!FitsInt(zr - zx) || !FitsInt(zb - zy)) return;
    Render(dc, destX, destY, zx, zy, int(zr - zx), int(zb - zy), zoom);
}

void CMetaFileView::Render(CDC* dc, int destX, int destY, std::int64_t zx, std::int64_t zy, int width,
                           int height, double zoom) const
{
    if (!m_bShown || !m_hMetaFile || !dc || !dc->m_hDC || width <= 0 || height <= 0) return;
    ENHMETAHEADER header{};
    if (!GetEnhMetaFileHeader(m_hMetaFile, sizeof header, &header)) return;
    const RECT& b = header.rclBounds;
    if (b.right < b.left || b.bottom < b.top) return;  // nothing recorded
    // Picture pixels the recording covers (right and bottom included).
    const std::int64_t left = std::int64_t(b.left) + m_ptPlacement.x,
                       right = std::int64_t(b.right) + m_ptPlacement.x;
    const std::int64_t top = std::int64_t(b.top) + m_ptPlacement.y,
                       bottom = std::int64_t(b.bottom) + m_ptPlacement.y;

    if (zoom == 1.0) {
        // 1:1 replays the recording itself, raster operations included.
        const std::int64_t atX = destX + left - zx, atY = destY + top - zy;
        if (!FitsInt(atX) || !FitsInt(atY)) return;
        const int saved = dc->SaveDC();
        const auto edge = [](std::int64_t v) {
            return int(std::min<std::int64_t>(v, std::numeric_limits<int>::max()));
        };
        IntersectClipRect(dc->m_hDC, destX, destY, edge(std::int64_t(destX) + width),
                          edge(std::int64_t(destY) + height));
        const RECT at{int(atX), int(atY), int(atX), int(atY)};
        PlayEnhMetaFile(dc->m_hDC, m_hMetaFile, &at);
        dc->RestoreDC(saved);
        return;
    }

    // Otherwise each device pixel shows its nearest picture pixel, as the raster views do:
    // pieces of the picture are replayed at 1:1 onto black and onto white, and a pixel that
    // comes out the same on both is drawn. Only the device pixels over the recording's
    // bounds are visited, in tiles whose picture side stays below kMaxPieceSide.
    const std::int64_t d0 = std::max<std::int64_t>(0, std::int64_t(std::floor(left / zoom)) - zx - 1);
    const std::int64_t d1 =
        std::min<std::int64_t>(width, std::int64_t(std::ceil((right + 1) / zoom)) - zx + 1);
    const std::int64_t e0 = std::max<std::int64_t>(0, std::int64_t(std::floor(top / zoom)) - zy - 1);
    const std::int64_t e1 =
        std::min<std::int64_t>(height, std::int64_t(std::ceil((bottom + 1) / zoom)) - zy + 1);
    if (d0 >= d1 || e0 >= e1) return;
    const int tile = std::clamp(int(kMaxPieceSide / std::max(zoom, 1.0)), 1, 256);
    const int pieceSide = int(std::floor((tile - 1) * zoom)) + 2;
    Surface onBlack(pieceSide, pieceSide), onWhite(pieceSide, pieceSide), mask(tile, tile),
        colour(tile, tile);
    if (!onBlack.Ok() || !onWhite.Ok() || !mask.Ok() || !colour.Ok()) return;
    std::vector<int> column(size_t(tile), 0);

    for (std::int64_t ty = e0; ty < e1; ty += tile) {
        const int th = int(std::min<std::int64_t>(tile, e1 - ty));
        const std::int64_t py0 = PictureOf(zy + ty, zoom);
        const int ph = int(PictureOf(zy + ty + th - 1, zoom) - py0 + 1);
        for (std::int64_t tx = d0; tx < d1; tx += tile) {
            const int tw = int(std::min<std::int64_t>(tile, d1 - tx));
            const std::int64_t px0 = PictureOf(zx + tx, zoom);
            const int pw = int(PictureOf(zx + tx + tw - 1, zoom) - px0 + 1);
            const std::int64_t atX = left - px0, atY = top - py0;
            if (!FitsInt(atX) || !FitsInt(atY)) continue;
            onBlack.Clear(pw, ph, 0x00);
            onWhite.Clear(pw, ph, 0xFF);
            const RECT at{int(atX), int(atY), int(atX), int(atY)};
            PlayEnhMetaFile(onBlack.Dc(), m_hMetaFile, &at);
            PlayEnhMetaFile(onWhite.Dc(), m_hMetaFile, &at);
            for (int u = 0; u < tw; ++u) column[size_t(u)] = int(PictureOf(zx + tx + u, zoom) - px0);
            bool any = false;
            for (int v = 0; v < th; ++v) {
                const int sy = int(PictureOf(zy + ty + v, zoom) - py0);
                const std::uint32_t* black = onBlack.Row(sy);
                const std::uint32_t* white = onWhite.Row(sy);
                std::uint32_t* m = mask.Row(v);
                std::uint32_t* c = colour.Row(v);
                for (int u = 0; u < tw; ++u) {
                    const std::uint32_t k = black[column[size_t(u)]] & 0xFFFFFF;
                    const bool drawn = k == (white[column[size_t(u)]] & 0xFFFFFF);
                    m[u] = drawn ? 0 : 0xFFFFFF;
                    c[u] = drawn ? k : 0;
                    any |= drawn;
                }
            }
            if (!any) continue;
            if (!FitsInt(destX + tx + tw) || !FitsInt(destY + ty + th)) continue;
            const int x = int(destX + tx), y = int(destY + ty);
            BitBlt(dc->m_hDC, x, y, tw, th, mask.Dc(), 0, 0, SRCAND);
            BitBlt(dc->m_hDC, x, y, tw, th, colour.Dc(), 0, 0, SRCPAINT);
        }
    }
}
