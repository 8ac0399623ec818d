#include "platform/gdi/raster_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include <immintrin.h>

#include "platform/kernel/cpu_features.h"
#include "platform/kernel/row_bands.h"

namespace platform::gdi {

namespace {

constexpr std::uint32_t kRgbMask = 0x00FFFFFFu;

inline int Mod(int a, int m)
{
    const int r = a % m;
    return r < 0 ? r + m : r;
}

// The masks of a binary operation: result = OR of minterms whose truth-table bit is set;
// bit index = pen * 2 + destination.
struct Rop2Masks {
    std::uint32_t m[4];
    explicit Rop2Masks(int rop2)
    {
        const int t = std::clamp(rop2, R2_BLACK, R2_WHITE) - 1;
        for (int k = 0; k < 4; ++k) m[k] = (t >> k) & 1 ? 0xFFFFFFFFu : 0u;
    }
    std::uint32_t operator()(std::uint32_t p, std::uint32_t d) const
    {
        return ((~p & ~d & m[0]) | (~p & d & m[1]) | (p & ~d & m[2]) | (p & d & m[3])) & kRgbMask;
    }
};

// Ternary operation; bit index = pattern * 4 + source * 2 + destination.
struct Rop3Masks {
    std::uint32_t m[8];
    explicit Rop3Masks(DWORD rop)
    {
        const int t = (rop >> 16) & 0xFF;
        for (int k = 0; k < 8; ++k) m[k] = (t >> k) & 1 ? 0xFFFFFFFFu : 0u;
    }
    std::uint32_t operator()(std::uint32_t p, std::uint32_t s, std::uint32_t d) const
    {
        const std::uint32_t np = ~p, ns = ~s, nd = ~d;
        return ((np & ns & nd & m[0]) | (np & ns & d & m[1]) | (np & s & nd & m[2]) | (np & s & d & m[3]) |
                (p & ns & nd & m[4]) | (p & ns & d & m[5]) | (p & s & nd & m[6]) | (p & s & d & m[7])) &
               kRgbMask;
    }
};

// Pattern pixels of one span into `out` (pen colour where a hatch line is, gap colour
// elsewhere; `keep` marks gap pixels of a transparent hatch). One period of the row is
// coloured first and then repeated.
void PatternRow(const Paint& p, int y, int x0, int n, std::uint32_t* out, std::uint8_t* keep)
{
    if (p.type == Paint::Type::Solid || !p.pattern || p.patWidth <= 0 || p.patHeight <= 0) {
        std::fill(out, out + n, p.color);
        if (keep) std::fill(keep, keep + n, std::uint8_t(1));
        return;
    }
    const std::uint32_t* row = p.pattern + std::size_t(Mod(y - p.originY, p.patHeight)) * p.patWidth;
    const int start = Mod(x0 - p.originX, p.patWidth);
    const int period = std::min(n, p.patWidth);
    for (int i = 0, px = start; i < period; ++i) {
        const std::uint32_t v = row[px];
        if (p.type == Paint::Type::Hatch) {
            out[i] = v ? p.color : p.background;
            if (keep) keep[i] = v || !p.transparentGaps;
        } else {
            out[i] = v & kRgbMask;
            if (keep) keep[i] = 1;
        }
        if (++px == p.patWidth) px = 0;
    }
    // Whole periods double what is filled, so a long span takes a few copies.
    for (int filled = period; filled < n;) {
        const int count = std::min(filled, n - filled);
        std::memcpy(out + filled, out, std::size_t(count) * sizeof *out);
        if (keep) std::memcpy(keep + filled, keep, std::size_t(count));
        filled += count;
    }
}

// A solid span in whole 32-byte stores (a window's background is most of what a repaint
// writes).
__attribute__((target("avx2"))) void FillAvx2(std::uint32_t* d, int n, std::uint32_t v)
{
    const __m256i eight = _mm256_set1_epi32(int(v));
    int i = 0;
    for (; i + 8 <= n; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), eight);
    for (; i < n; ++i) d[i] = v;
}

// Gives the pixels of a span the surface's alpha (a no-op on surfaces without one).
inline void KeepAlpha(const Surface& s, std::uint32_t* d, int n)
{
    if (s.alpha)
        for (int i = 0; i < n; ++i) d[i] |= s.alpha;
}

}  // namespace

void FillSpans(const Surface& s, const SpanRegion& shape, const Paint& paint)
{
    if (!s.Valid() || shape.IsEmpty()) return;
    const Rop2Masks rop(paint.rop2);
    if (paint.type == Paint::Type::Solid || !paint.pattern) {
        // A solid paint is the same on every row of a band: the band's spans are walked once
        // and applied row after row in the picture's order in memory, with the operation
        // chosen once, which costs little per row for the narrow columns of a bar chart.
        const std::uint32_t p = paint.color & kRgbMask, alpha = s.alpha;
        const auto each = [&](auto&& op) {
            for (RegionBand band : shape.Bands())
                for (int y = band.top; y < band.bottom; ++y) {
                    std::uint32_t* line = s.Row(y);
                    for (const Span& sp : band.spans) op(line + sp.x0, sp.x1 - sp.x0);
                }
        };
        switch (paint.rop2) {
            case R2_COPYPEN:
                if (UseAvx2())
                    each([v = p | alpha](std::uint32_t* d, int n) {
                        // Narrow spans (the columns of a grid's rules) are stored in place.
                        if (n < 8)
                            for (int i = 0; i < n; ++i) d[i] = v;
                        else
                            FillAvx2(d, n, v);
                    });
                else
                    each([v = p | alpha](std::uint32_t* d, int n) { std::fill(d, d + n, v); });
                break;
            case R2_XORPEN:
                each([&](std::uint32_t* d, int n) {
                    for (int i = 0; i < n; ++i) d[i] = ((d[i] ^ p) & kRgbMask) | alpha;
                });
                break;
            case R2_NOT:
                each([&](std::uint32_t* d, int n) {
                    for (int i = 0; i < n; ++i) d[i] = (~d[i] & kRgbMask) | alpha;
                });
                break;
            case R2_NOP:
                each([&](std::uint32_t* d, int n) { KeepAlpha(s, d, n); });
                break;
            default:
                each([&](std::uint32_t* d, int n) {
                    for (int i = 0; i < n; ++i) d[i] = rop(p, d[i]) | alpha;
                });
        }
        return;
    }
    const RECT bounds = shape.Bounds();
    std::vector<std::uint32_t> pat(std::size_t(bounds.right - bounds.left));
    std::vector<std::uint8_t> keep(pat.size());
    for (RegionRow row : shape.Rows()) {
        std::uint32_t* line = s.Row(row.y);
        for (const Span& sp : row.spans) {
            std::uint32_t* d = line + sp.x0;
            const int n = sp.x1 - sp.x0;
            if (paint.rop2 == R2_COPYPEN && !(paint.type == Paint::Type::Hatch && paint.transparentGaps)) {
                PatternRow(paint, row.y, sp.x0, n, d, nullptr);
                for (int i = 0; i < n; ++i) d[i] &= kRgbMask;
            } else {
                PatternRow(paint, row.y, sp.x0, n, pat.data(), keep.data());
                for (int i = 0; i < n; ++i)
                    if (keep[i]) d[i] = rop(pat[i], d[i]);
            }
            KeepAlpha(s, d, n);
        }
    }
}

bool RopUsesSource(DWORD rop)
{
    const int t = (rop >> 16) & 0xFF;
    return ((t >> 2) & 0x33) != (t & 0x33);
}

bool RopUsesPattern(DWORD rop)
{
    const int t = (rop >> 16) & 0xFF;
    return ((t >> 4) & 0x0F) != (t & 0x0F);
}

namespace {

void BlitRows(const Surface& dst, const SpanRegion& visible, const SourceImage* src,
              const std::vector<int>& xmap, const std::vector<int>& ymap, int left, int top, const Blit& op)
{
    const bool useSrc = src && RopUsesSource(op.rop);
    const bool usePat = RopUsesPattern(op.rop);
    const RECT vb = visible.Bounds();
    const int maxN = vb.right - vb.left;

    // Plain offsets (no stretching, no mirroring) convert source rows straight into the
    // span; otherwise the needed source columns are converted once per source row and
    // gathered through the map.
    bool identity = useSrc;
    for (std::size_t i = 1; identity && i < xmap.size(); ++i) identity = xmap[i] == xmap[i - 1] + 1;
    int minSx = INT_MAX, maxSx = INT_MIN;
    if (useSrc && !identity) {
        for (int x = vb.left; x < vb.right; ++x) {
            minSx = std::min(minSx, xmap[std::size_t(x - left)]);
            maxSx = std::max(maxSx, xmap[std::size_t(x - left)]);
        }
    }
    std::vector<std::uint32_t> cache(useSrc && !identity ? std::size_t(maxSx - minSx + 1) : 0);
    std::vector<std::uint32_t> sline(useSrc ? std::size_t(maxN) : 0);
    std::vector<std::uint32_t> pline(usePat ? std::size_t(maxN) : 0);
    int cachedRow = INT_MIN;
    const Rop3Masks rop(op.rop);
    Paint none;

    for (RegionRow row : visible.Rows()) {
        const std::uint8_t* srcRow =
            useSrc ? src->base + ymap[std::size_t(row.y - top)] * src->rowStep : nullptr;
        if (useSrc && !identity) {
            const int sy = ymap[std::size_t(row.y - top)];
            if (sy != cachedRow) {
                ConvertRow(src->layout, src->base + sy * src->rowStep, minSx, maxSx - minSx + 1,
                           cache.data());
                if (src->mono)
                    for (auto& v : cache) v = v ? src->monoWhite : src->monoBlack;
                cachedRow = sy;
            }
        }
        std::uint32_t* line = dst.Row(row.y);
        for (const Span& sp : row.spans) {
            const int n = sp.x1 - sp.x0;
            std::uint32_t* d = line + sp.x0;
            if (identity) {
                const int sx = xmap[std::size_t(sp.x0 - left)];
                if (op.rop == SRCCOPY && !src->mono) {
                    ConvertRow(src->layout, srcRow, sx, n, d, dst.alpha);
                    continue;
                }
                ConvertRow(src->layout, srcRow, sx, n, sline.data());
                if (src->mono)
                    for (int i = 0; i < n; ++i)
                        sline[std::size_t(i)] = sline[std::size_t(i)] ? src->monoWhite : src->monoBlack;
            } else if (useSrc) {
                for (int i = 0; i < n; ++i)
                    sline[std::size_t(i)] = cache[std::size_t(xmap[std::size_t(sp.x0 + i - left)] - minSx)];
            }
            if (usePat) PatternRow(op.pattern ? *op.pattern : none, row.y, sp.x0, n, pline.data(), nullptr);
            const std::uint32_t* S = sline.data();
            const std::uint32_t* P = pline.data();
            switch (op.rop) {
                case SRCCOPY:
                    std::memcpy(d, S, std::size_t(n) * 4);
                    break;
                case SRCINVERT:
                    for (int i = 0; i < n; ++i) d[i] = (d[i] ^ S[i]) & kRgbMask;
                    break;
                case SRCAND:
                    for (int i = 0; i < n; ++i) d[i] &= S[i];
                    break;
                case SRCPAINT:
                    for (int i = 0; i < n; ++i) d[i] = (d[i] | S[i]) & kRgbMask;
                    break;
                case NOTSRCCOPY:
                    for (int i = 0; i < n; ++i) d[i] = ~S[i] & kRgbMask;
                    break;
                case DSTINVERT:
                    for (int i = 0; i < n; ++i) d[i] = ~d[i] & kRgbMask;
                    break;
                case PATCOPY:
                    std::memcpy(d, P, std::size_t(n) * 4);
                    break;
                case PATINVERT:
                    for (int i = 0; i < n; ++i) d[i] = (d[i] ^ P[i]) & kRgbMask;
                    break;
                case BLACKNESS:
                    std::fill(d, d + n, 0u);
                    break;
                case WHITENESS:
                    std::fill(d, d + n, kRgbMask);
                    break;
                default:
                    for (int i = 0; i < n; ++i) d[i] = rop(usePat ? P[i] : 0u, useSrc ? S[i] : 0u, d[i]);
            }
            KeepAlpha(dst, d, n);
        }
    }
}

// Below this many pixels a blit is not worth waking the band engine's threads for.
constexpr std::int64_t kParallelBlitPixels = 256 * 1024;
constexpr std::int64_t kBlitBandRows = 64;

}  // namespace

void BlitSpans(const Surface& dst, const SpanRegion& visible, const SourceImage* src,
               const std::vector<int>& xmap, const std::vector<int>& ymap, int left, int top, const Blit& op)
{
    if (!dst.Valid() || visible.IsEmpty()) return;
    const RECT vb = visible.Bounds();
    const std::int64_t rows = vb.bottom - vb.top;
    // Every row is blitted on its own, so a large blit (a picture's repaint) runs as stripes
    // of rows on the band engine; the pixels are the same as in one pass.
    if (rows < 2 * kBlitBandRows || rows * (vb.right - vb.left) < kParallelBlitPixels) {
        BlitRows(dst, visible, src, xmap, ymap, left, top, op);
        return;
    }
    RunRowBands(RowBands::Fixed(rows, kBlitBandRows), [&](const RowBand& band) {
        const int y0 = vb.top + int(band.begin), y1 = vb.top + int(band.end);
        if (visible.IsRect()) {
            BlitRows(dst, SpanRegion::FromRect(vb.left, y0, vb.right, y1), src, xmap, ymap, left, top, op);
        } else {
            const SpanRegion stripe = visible.Intersect(SpanRegion::FromRect(vb.left, y0, vb.right, y1));
            if (!stripe.IsEmpty()) BlitRows(dst, stripe, src, xmap, ymap, left, top, op);
        }
    });
}

void SmoothStretch(const Surface& dst, const SpanRegion& visible, const SourceImage& src, RECT sr, RECT dr,
                   bool mirrorX, bool mirrorY, const Blit& op)
{
    const int sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    const int dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    QImage part(sw, sh, QImage::Format_RGB32);
    if (part.isNull()) return;
    for (int y = 0; y < sh; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(part.scanLine(y));
        ConvertRow(src.layout, src.base + (sr.top + y) * src.rowStep, sr.left, sw, out);
        for (int x = 0; x < sw; ++x) {
            if (src.mono) out[x] = out[x] ? src.monoWhite : src.monoBlack;
            out[x] |= 0xFF000000u;
        }
    }
    QImage scaled = part.scaled(dw, dh, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (mirrorX || mirrorY) scaled = scaled.mirrored(mirrorX, mirrorY);
    if (scaled.format() != QImage::Format_RGB32) scaled = scaled.convertToFormat(QImage::Format_RGB32);
    SourceImage s;
    s.layout.width = dw;
    s.layout.height = dh;
    s.layout.bitCount = 32;
    s.layout.stride = scaled.bytesPerLine();
    s.base = scaled.constBits();
    s.rowStep = scaled.bytesPerLine();
    s.width = dw;
    s.height = dh;
    std::vector<int> xmap(static_cast<std::size_t>(dw)), ymap(static_cast<std::size_t>(dh));
    for (int i = 0; i < dw; ++i) xmap[std::size_t(i)] = i;
    for (int i = 0; i < dh; ++i) ymap[std::size_t(i)] = i;
    BlitSpans(dst, visible, &s, xmap, ymap, dr.left, dr.top, op);
}

}  // namespace platform::gdi
