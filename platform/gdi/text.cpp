#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include <QFontMetrics>
#include <QPainter>

#include "platform/gdi/dc.h"
#include "platform/gdi/dc_internal.h"
#include "platform/gdi/metafile_internal.h"
#include "platform/kernel/cpu_features.h"

namespace platform::gdi {

namespace {

// Texts are UTF-8; a text that is not (a single-byte degree sign, say) is read as Latin-1.
bool IsUtf8(const unsigned char* s, int n)
{
    for (int i = 0; i < n;) {
        const unsigned char c = s[i];
        int extra;
        if (c < 0x80)
            extra = 0;
        else if ((c >> 5) == 0x6)
            extra = 1;
        else if ((c >> 4) == 0xE)
            extra = 2;
        else if ((c >> 3) == 0x1E)
            extra = 3;
        else
            return false;
        if (i + extra >= n && extra > 0) return false;
        for (int k = 1; k <= extra; ++k)
            if ((s[i + k] & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

QString Decode(const char* text, int length)
{
    if (!text || length <= 0) return {};
    return IsUtf8(reinterpret_cast<const unsigned char*>(text), length) ? QString::fromUtf8(text, length)
                                                                        : QString::fromLatin1(text, length);
}

// The UTF-8 bytes of a text as drawing reads it: `text` itself where it is UTF-8, else its
// Latin-1 characters in UTF-8 (kept in `storage`). QString::fromUtf8 of them is Decode(text).
std::string_view Utf8Of(const char* text, int length, std::string& storage)
{
    if (!text || length <= 0) return {};
    if (IsUtf8(reinterpret_cast<const unsigned char*>(text), length)) return {text, std::size_t(length)};
    storage = QString::fromLatin1(text, length).toUtf8().toStdString();
    return storage;
}

QString FromUtf8(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

int Length(const char* text, int length)
{
    if (!text) return 0;
    return length < 0 ? static_cast<int>(std::strlen(text)) : length;
}

inline std::uint32_t Blend(std::uint32_t d, std::uint32_t c, std::uint32_t a)
{
    const std::uint32_t na = 255 - a;
    const std::uint32_t r = (((c >> 16) & 0xFF) * a + ((d >> 16) & 0xFF) * na + 127) / 255;
    const std::uint32_t g = (((c >> 8) & 0xFF) * a + ((d >> 8) & 0xFF) * na + 127) / 255;
    const std::uint32_t b = ((c & 0xFF) * a + (d & 0xFF) * na + 127) / 255;
    return (r << 16) | (g << 8) | b;
}

// Blends the text colour into a run of pixels by its coverage `a` (the run's own pixels).
void BlendCoverage(std::uint32_t* d, const std::uint8_t* a, int count, std::uint32_t colour,
                   std::uint32_t alpha)
{
    for (int i = 0; i < count;) {
        // Most of a text's box is uncovered: eight such pixels are passed over at once.
        if (i + 8 <= count) {
            std::uint64_t eight;
            std::memcpy(&eight, a + i, 8);
            if (eight == 0) {
                i += 8;
                continue;
            }
        }
        if (a[i] == 255)
            d[i] = colour;
        else if (a[i])
            d[i] = Blend(d[i], colour, a[i]) | alpha;
        ++i;
    }
}

// The same eight pixels at a time. Blend's division by 255 is exact here as the high half
// of x * 0x8081 shifted right by 7, which holds for every 16-bit x (the sums reach 65152);
// full coverage gives the colour and none the pixel itself, as above.
__attribute__((target("avx2"))) inline __m256i BlendChannels(__m256i colour, __m256i dst, __m256i cover,
                                                             __m256i uncover)
{
    const __m256i x =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(colour, cover), _mm256_set1_epi16(127)),
                         _mm256_mullo_epi16(dst, uncover));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(short(0x8081))), 7);
}

__attribute__((target("avx2"))) void BlendCoverageAvx2(std::uint32_t* d, const std::uint8_t* a, int count,
                                                       std::uint32_t colour, std::uint32_t alpha)
{
    const __m256i zero = _mm256_setzero_si256(), ones = _mm256_set1_epi32(-1);
    const __m256i c16 = _mm256_cvtepu8_epi16(_mm_set1_epi32(int(colour & 0xFFFFFFu)));
    const __m256i top = _mm256_set1_epi32(int(alpha)), rgb = _mm256_set1_epi32(0xFFFFFF);
    // Each pixel's coverage byte into all four bytes of its lane: pixels 0-3 in the low
    // half, 4-7 in the high half of the eight bytes repeated in both halves.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5,
                                            5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
    // The last pixels of a run go through masked loads and stores: the pixels after the run
    // are not touched. (The coverage may be read past the run: its rows are padded.)
    static const std::uint8_t kLanes[16] = {255, 255, 255, 255, 255, 255, 255, 255};
    for (int i = 0; i < count; i += 8) {
        __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i));
        const bool whole = i + 8 <= count;
        __m256i lanes = ones;
        if (!whole) {
            const __m128i kept = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLanes + 8 - (count - i)));
            eight = _mm_and_si128(eight, kept);
            lanes = _mm256_cvtepi8_epi32(kept);
        }
        if (_mm_cvtsi128_si64(eight) == 0) continue;
        const __m256i cover = _mm256_shuffle_epi8(_mm256_broadcastq_epi64(eight), spread);
        const __m256i uncover = _mm256_xor_si256(cover, ones);  // 255 - coverage
        auto* at = reinterpret_cast<int*>(d + i);
        const __m256i dst = whole ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at))
                                  : _mm256_maskload_epi32(at, lanes);
        const __m256i lo =
            BlendChannels(c16, _mm256_unpacklo_epi8(dst, zero), _mm256_unpacklo_epi8(cover, zero),
                          _mm256_unpacklo_epi8(uncover, zero));
        const __m256i hi =
            BlendChannels(c16, _mm256_unpackhi_epi8(dst, zero), _mm256_unpackhi_epi8(cover, zero),
                          _mm256_unpackhi_epi8(uncover, zero));
        const __m256i mixed = _mm256_or_si256(_mm256_and_si256(_mm256_packus_epi16(lo, hi), rgb), top);
        const __m256i none = _mm256_cmpeq_epi32(cover, zero);
        const __m256i out = _mm256_blendv_epi8(mixed, dst, none);
        if (whole)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), out);
        else
            _mm256_maskstore_epi32(at, lanes, out);
    }
}

__attribute__((target("avx512f,avx512bw"))) inline __m512i BlendChannels512(__m512i colour, __m512i dst,
                                                                            __m512i cover, __m512i uncover)
{
    const __m512i x =
        _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(colour, cover), _mm512_set1_epi16(127)),
                         _mm512_mullo_epi16(dst, uncover));
    return _mm512_srli_epi16(_mm512_mulhi_epu16(x, _mm512_set1_epi16(short(0x8081))), 7);
}

// The same sixteen pixels at a time, where AVX-512 runs: the coverage is copied to each quarter
// and spread there by one shuffle; mask registers keep the pixels without coverage and those
// after the run.
__attribute__((target("avx512f,avx512bw,avx512vl"))) void BlendCoverageAvx512(std::uint32_t* d,
                                                                              const std::uint8_t* a,
                                                                              int count, std::uint32_t colour,
                                                                              std::uint32_t alpha)
{
    const __m512i zero = _mm512_setzero_si512(), ones = _mm512_set1_epi32(-1);
    const __m512i c16 = _mm512_cvtepu8_epi16(_mm256_set1_epi32(int(colour & 0xFFFFFFu)));
    const __m512i top = _mm512_set1_epi32(int(alpha)), rgb = _mm512_set1_epi32(0xFFFFFF);
    // Quarter q takes pixels 4q to 4q + 3: byte j of it takes coverage byte 4q + j / 4.
    alignas(64) static const std::uint8_t kSpread[64] = {
        0,  0,  0,  0,  1,  1,  1,  1,  2,  2,  2,  2,  3,  3,  3,  3,  4,  4,  4,  4,  5,  5,
        5,  5,  6,  6,  6,  6,  7,  7,  7,  7,  8,  8,  8,  8,  9,  9,  9,  9,  10, 10, 10, 10,
        11, 11, 11, 11, 12, 12, 12, 12, 13, 13, 13, 13, 14, 14, 14, 14, 15, 15, 15, 15};
    const __m512i spread = _mm512_load_si512(kSpread);
    for (int i = 0; i < count; i += 16) {
        const __mmask16 lanes = count - i >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (count - i)) - 1);
        const __m128i sixteen = _mm_maskz_loadu_epi8(lanes, a + i);
        if (_mm_test_all_zeros(sixteen, sixteen)) continue;
        const __m512i cover =
            _mm512_shuffle_epi8(_mm512_maskz_broadcast_i32x4(__mmask16(0xFFFF), sixteen), spread);
        const __m512i uncover = _mm512_xor_si512(cover, ones);  // 255 - coverage
        const __m512i dst = _mm512_maskz_loadu_epi32(lanes, d + i);
        const __m512i lo =
            BlendChannels512(c16, _mm512_unpacklo_epi8(dst, zero), _mm512_unpacklo_epi8(cover, zero),
                             _mm512_unpacklo_epi8(uncover, zero));
        const __m512i hi =
            BlendChannels512(c16, _mm512_unpackhi_epi8(dst, zero), _mm512_unpackhi_epi8(cover, zero),
                             _mm512_unpackhi_epi8(uncover, zero));
        const __m512i mixed = _mm512_or_si512(_mm512_and_si512(_mm512_packus_epi16(lo, hi), rgb), top);
        const __mmask16 covered = _mm512_test_epi32_mask(cover, cover);
        _mm512_mask_storeu_epi32(d + i, __mmask16(lanes & covered), mixed);
    }
}

}  // namespace

QFont CurrentFont(const DcObj& dc)
{
    return dc.st.font ? dc.st.font->Font() : QFont();
}

namespace {

// What the DC's font knows of a text (its advance, its coverage once drawn).
std::shared_ptr<TextRecord> TextOf(const DcObj& dc, std::string_view utf8)
{
    if (dc.st.font) return dc.st.font->Text(utf8);
    auto text = std::make_shared<TextRecord>();
    text->advance = QFontMetrics(QFont()).horizontalAdvance(FromUtf8(utf8));
    return text;
}

// The advance of a text in the DC's font.
int AdvanceOf(const DcObj& dc, std::string_view utf8)
{
    if (dc.st.font) return dc.st.font->Advance(utf8);
    return TextOf(dc, utf8)->advance;
}

std::pair<int, int> Metrics(const DcObj& dc)
{
    if (dc.st.font) return dc.st.font->Metrics();
    const QFontMetrics fm{QFont()};
    return {fm.ascent(), fm.descent()};
}

// Draws the text's glyphs as Qt draws them, white into a clear picture a little larger than
// the text's cell (glyphs may reach out of it), and keeps the covered pixels.
void MakeCoverage(TextCoverage& c, const QFont& font, const QString& text, int width, int ascent, int height)
{
    const int pad = height / 2 + 2;
    QImage mask(width + 2 * pad, height + 2 * pad, QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull()) return;
    mask.fill(0u);
    {
        QPainter p(&mask);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QPointF(pad, pad + ascent), text);
    }
    int x0 = mask.width(), x1 = 0, y0 = mask.height(), y1 = 0;
    for (int y = 0; y < mask.height(); ++y) {
        const auto* m = reinterpret_cast<const std::uint32_t*>(mask.constScanLine(y));
        int first = 0, last = mask.width();
        while (first < last && (m[first] >> 24) == 0) ++first;
        while (last > first && (m[last - 1] >> 24) == 0) --last;
        if (first == last) continue;
        x0 = std::min(x0, first);
        x1 = std::max(x1, last);
        y0 = std::min(y0, y);
        y1 = y + 1;
    }
    if (x0 >= x1) return;
    c.left = x0 - pad;
    c.top = y0 - pad;
    c.Allocate(x1 - x0, y1 - y0);
    for (int y = 0; y < c.rows; ++y) {
        const auto* m = reinterpret_cast<const std::uint32_t*>(mask.constScanLine(y0 + y)) + x0;
        std::uint8_t* a = c.Row(y);
        int first = c.columns, last = 0;
        for (int x = 0; x < c.columns; ++x) {
            a[x] = std::uint8_t(m[x] >> 24);
            if (a[x]) {
                first = std::min(first, x);
                last = x + 1;
            }
        }
        c.SetCovered(y, first, std::max(first, last));
    }
}

// The text's coverage: drawn the first time the text is drawn in the font, found after.
const TextCoverage& CoverageOf(const DcObj& dc, TextRecord& text, std::string_view utf8, int ascent,
                               int height)
{
    if (text.covered.load(std::memory_order_acquire)) return text.coverage;
    std::call_once(text.drawn, [&] {
        MakeCoverage(text.coverage, CurrentFont(dc), FromUtf8(utf8), text.advance, ascent, height);
        if (dc.st.font) dc.st.font->Charge(text.coverage.Bytes());
    });
    text.covered.store(true, std::memory_order_release);
    return text.coverage;
}

}  // namespace

namespace {

// The top left of the cell of a text `width` wide drawn at (x, y) with the alignment.
POINT TextCellOrigin(int x, int y, UINT align, int width, int ascent, int height)
{
    POINT at{x, y};
    if ((align & TA_CENTER) == TA_CENTER)
        at.x = x - width / 2;
    else if (align & TA_RIGHT)
        at.x = x - width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        at.y = y - ascent;
    else if (align & TA_BOTTOM)
        at.y = y - height;
    return at;
}

// The pixels of a text's coverage (its box at ox, oy) that lie in `r`, blended in the colour.
struct TextBlend {
    const Surface& s;
    std::uint32_t colour;
    bool avx512 = UseAvx512(), avx2 = UseAvx2();
    void Row(const TextCoverage& c, int ox, int oy, int y, int x0, int x1) const
    {
        const int cy = y - oy;
        x0 = std::max(x0, ox + c.First(cy));
        x1 = std::min(x1, ox + c.Last(cy));
        if (x0 >= x1) return;
        const std::uint8_t* a = c.Row(cy) + (x0 - ox);
        std::uint32_t* d = s.Row(y) + x0;
        if (avx512)
            BlendCoverageAvx512(d, a, x1 - x0, colour, s.alpha);
        else if (avx2)
            BlendCoverageAvx2(d, a, x1 - x0, colour, s.alpha);
        else
            BlendCoverage(d, a, x1 - x0, colour, s.alpha);
    }
    void Rect(const TextCoverage& c, int ox, int oy, const RECT& r) const
    {
        for (int y = r.top; y < r.bottom; ++y) Row(c, ox, oy, y, r.left, r.right);
    }
};

// A text's box (its covered pixels at ox, oy), cut to the clip when there is one.
RECT TextBox(const TextCoverage& c, int ox, int oy, const RECT* clip)
{
    RECT box{ox, oy, ox + c.columns, oy + c.rows};
    if (clip)
        box = {std::max(box.left, clip->left), std::max(box.top, clip->top), std::min(box.right, clip->right),
               std::min(box.bottom, clip->bottom)};
    return box;
}

}  // namespace

void DrawTextLine(DcObj& dc, int x, int y, UINT align, std::string_view utf8, TextRecord& text,
                  const RECT* clip, bool opaqueCell)
{
    if (!FontsAvailable()) return;
    const int width = text.advance;
    const auto [ascent, descent] = Metrics(dc);
    const int height = ascent + descent;
    const POINT cell = TextCellOrigin(x, y, align, width, ascent, height);
    const int left = cell.x, top = cell.y;

    if (opaqueCell && dc.st.bkMode == OPAQUE) {
        SpanRegion box = SpanRegion::FromRect(left, top, left + width, top + height);
        if (clip) box = box.ClipToRect(*clip);
        if (!box.IsEmpty()) {
            Paint bg;
            bg.color = ToPixel(dc.st.bkColor);
            PaintShape(dc, box, bg);
        }
    }
    if (utf8.empty()) return;

    const TextCoverage& c = CoverageOf(dc, text, utf8, ascent, height);
    if (c.rows == 0) return;
    const int ox = left + c.left, oy = top + c.top;
    const RECT box = TextBox(c, ox, oy, clip);
    if (box.left >= box.right || box.top >= box.bottom) return;
    // Where the DC's clips are rectangles (most drawing), the pixels to blend are one too.
    const std::optional<RECT> rect = dc.VisibleRect(box);
    SpanRegion visible;
    if (!rect) visible = dc.Visible(SpanRegion::FromRect(box.left, box.top, box.right, box.bottom));
    const RECT bounds = rect ? *rect : visible.Bounds();
    if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return;
    SurfaceLock lock(dc, bounds);
    const TextBlend blend{lock.Get(), ToPixel(dc.st.textColor) | lock.Get().alpha};
    if (rect) {
        blend.Rect(c, ox, oy, *rect);
    } else {
        for (RegionRow row : visible.Rows())
            for (const Span& sp : row.spans) blend.Row(c, ox, oy, row.y, sp.x0, sp.x1);
    }
    lock.AlphaKept();
}

namespace {

// Texts drawn the way PolyTextOut most often asks for: transparent, clipped to their rectangles
// or not, at points that do not move, on a surface of 32-bit pixels whose clips are rectangles.
// Their boxes are found first and the surface is locked once for all of them; false (nothing
// drawn) where the texts or the DC are of another kind.
bool DrawTextsPlainly(DcObj& dc, const POLYTEXT* texts, int count, const std::string_view* utf8,
                      const std::shared_ptr<TextRecord>* lines)
{
    if (dc.st.bkMode != TRANSPARENT || (dc.st.textAlign & TA_UPDATECP)) return false;
    if (!dc.image && !(dc.st.bitmap && dc.st.bitmap->Direct().Valid())) return false;
    const std::optional<RECT> visible = dc.VisibleRect(dc.SurfaceRect());
    if (!visible) return false;
    for (int i = 0; i < count; ++i)
        if (texts[i].uiFlags & ETO_OPAQUE) return false;
    const auto [ascent, descent] = Metrics(dc);
    const int height = ascent + descent;
    struct Placed {
        const TextCoverage* c;
        int ox, oy;
        RECT box;
    };
    std::vector<Placed> placed;
    placed.reserve(std::size_t(count));
    RECT all{0, 0, 0, 0};
    for (int i = 0; i < count; ++i) {
        const POLYTEXT& t = texts[i];
        if (t.n == 0) continue;
        TextRecord& text = *lines[std::size_t(i)];
        const TextCoverage& c = CoverageOf(dc, text, utf8[std::size_t(i)], ascent, height);
        if (c.rows == 0) continue;
        const POINT cell =
            TextCellOrigin(dc.ToDevX(t.x), dc.ToDevY(t.y), dc.st.textAlign, text.advance, ascent, height);
        const int ox = cell.x + c.left, oy = cell.y + c.top;
        RECT clip{};
        if (t.uiFlags & ETO_CLIPPED) {
            const POINT a = dc.ToDev({t.rcl.left, t.rcl.top}), z = dc.ToDev({t.rcl.right, t.rcl.bottom});
            clip = {std::min(a.x, z.x), std::min(a.y, z.y), std::max(a.x, z.x), std::max(a.y, z.y)};
        }
        RECT box = TextBox(c, ox, oy, (t.uiFlags & ETO_CLIPPED) ? &clip : nullptr);
        box = {std::max(box.left, visible->left), std::max(box.top, visible->top),
               std::min(box.right, visible->right), std::min(box.bottom, visible->bottom)};
        if (box.left >= box.right || box.top >= box.bottom) continue;
        placed.push_back({&c, ox, oy, box});
        all = all.left >= all.right ? box
                                    : RECT{std::min(all.left, box.left), std::min(all.top, box.top),
                                           std::max(all.right, box.right), std::max(all.bottom, box.bottom)};
    }
    if (placed.empty()) return true;
    SurfaceLock lock(dc, all);
    const TextBlend blend{lock.Get(), ToPixel(dc.st.textColor) | lock.Get().alpha};
    for (std::size_t i = 0; i < placed.size(); ++i) {
        // The next texts' coverage is asked of memory while this one is blended.
        if (i + 2 < placed.size()) __builtin_prefetch(placed[i + 2].c->Row(0));
        blend.Rect(*placed[i].c, placed[i].ox, placed[i].oy, placed[i].box);
    }
    lock.AlphaKept();
    return true;
}

}  // namespace

}  // namespace platform::gdi

using namespace platform;
using namespace platform::gdi;

namespace {

// ExtTextOut's drawing, the text's record found already (null: an empty text, which draws
// nothing and moves no current position).
void DrawExtText(DcObj& dc, int x, int y, UINT options, const RECT* rect, std::string_view utf8,
                 TextRecord* line)
{
    RECT deviceRect{};
    if (rect) {
        const POINT a = dc.ToDev({rect->left, rect->top}), z = dc.ToDev({rect->right, rect->bottom});
        deviceRect = {std::min(a.x, z.x), std::min(a.y, z.y), std::max(a.x, z.x), std::max(a.y, z.y)};
        if (options & ETO_OPAQUE) {
            Paint bg;
            bg.color = ToPixel(dc.st.bkColor);
            PaintShape(
                dc,
                SpanRegion::FromRect(deviceRect.left, deviceRect.top, deviceRect.right, deviceRect.bottom),
                bg);
        }
    }
    if (!line) return;
    POINT at{x, y};
    if (dc.st.textAlign & TA_UPDATECP) {
        at = dc.st.pos;
        dc.st.pos.x += line->advance;
    }
    const POINT p = dc.ToDev(at);
    DrawTextLine(dc, p.x, p.y, dc.st.textAlign, utf8, *line,
                 rect && (options & ETO_CLIPPED) ? &deviceRect : nullptr, true);
}

}  // namespace

BOOL ExtTextOut(HDC h, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length, const int*)
{
    auto dc = FindDc(h);
    if (!dc || (length > 0 && !text) || length > 0x7FFFFFFF) return FALSE;
    if (dc->recording) {
        RecordText(*dc, MetaOp::ExtTextOut, {x, y}, rect, options, std::string(text ? text : "", length));
        return TRUE;
    }
    // An empty text (a solid fill) draws nothing past its rectangle: its advance is none.
    if (length == 0 || !FontsAvailable()) {
        DrawExtText(*dc, x, y, options, rect, {}, nullptr);
        return TRUE;
    }
    std::string storage;
    const std::string_view utf8 = Utf8Of(text, int(length), storage);
    const std::shared_ptr<TextRecord> line = TextOf(*dc, utf8);
    DrawExtText(*dc, x, y, options, rect, utf8, line.get());
    return TRUE;
}

BOOL PolyTextOut(HDC h, const POLYTEXT* texts, int count)
{
    auto dc = FindDc(h);
    if (!dc || count < 0 || (count > 0 && !texts)) return FALSE;
    for (int i = 0; i < count; ++i)
        if ((texts[i].n > 0 && !texts[i].lpstr) || texts[i].n > 0x7FFFFFFF) return FALSE;
    if (dc->recording) {
        for (int i = 0; i < count; ++i)
            RecordText(*dc, MetaOp::ExtTextOut, {texts[i].x, texts[i].y}, &texts[i].rcl, texts[i].uiFlags,
                       std::string(texts[i].lpstr ? texts[i].lpstr : "", texts[i].n));
        return TRUE;
    }
    const bool fonts = FontsAvailable();
    // The texts' records first, found together, then the drawing.
    std::vector<std::string> storage(fonts ? std::size_t(count) : 0);
    std::vector<std::string_view> utf8(fonts ? std::size_t(count) : 0);
    std::vector<std::shared_ptr<TextRecord>> lines(utf8.size());
    if (fonts) {
        for (int i = 0; i < count; ++i)
            utf8[std::size_t(i)] = Utf8Of(texts[i].lpstr, int(texts[i].n), storage[std::size_t(i)]);
        if (dc->st.font)
            dc->st.font->Texts(utf8.data(), utf8.size(), lines.data());
        else
            for (std::size_t i = 0; i < utf8.size(); ++i) lines[i] = TextOf(*dc, utf8[i]);
    }
    if (fonts && DrawTextsPlainly(*dc, texts, count, utf8.data(), lines.data())) return TRUE;
    for (int i = 0; i < count; ++i) {
        const POLYTEXT& t = texts[i];
        TextRecord* line = fonts && t.n > 0 ? lines[std::size_t(i)].get() : nullptr;
        // The next texts' coverage is asked of memory while this one is drawn.
        if (fonts && std::size_t(i) + 2 < lines.size() &&
            lines[std::size_t(i) + 2]->covered.load(std::memory_order_acquire))
            __builtin_prefetch(lines[std::size_t(i) + 2]->coverage.Row(0));
        DrawExtText(*dc, t.x, t.y, t.uiFlags, &t.rcl, line ? utf8[std::size_t(i)] : std::string_view(), line);
    }
    return TRUE;
}

namespace platform {

BOOL GetTextAdvances(HDC h, const CString* texts, int count, int* advances)
{
    auto dc = FindDc(h);
    if (!dc || count < 0 || (count > 0 && (!texts || !advances)) || !FontsAvailable()) return FALSE;
    std::vector<std::string> storage(static_cast<std::size_t>(count));
    std::vector<std::string_view> utf8(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        utf8[std::size_t(i)] = Utf8Of(texts[i].c_str(), texts[i].GetLength(), storage[std::size_t(i)]);
    if (dc->st.font) {
        dc->st.font->Advances(utf8.data(), utf8.size(), advances);
    } else {
        for (int i = 0; i < count; ++i) advances[i] = TextOf(*dc, utf8[std::size_t(i)])->advance;
    }
    return TRUE;
}

}  // namespace platform

BOOL TextOut(HDC h, int x, int y, LPCSTR text, int length)
{
    if (length < 0) return FALSE;
    auto dc = FindDc(h);
    if (dc && dc->recording) {
        RecordText(*dc, MetaOp::TextOut, {x, y}, nullptr, 0,
                   std::string(text ? text : "", std::size_t(length)));
        return TRUE;
    }
    return ExtTextOut(h, x, y, 0, nullptr, text, UINT(length), nullptr);
}

BOOL GetTextExtentPoint32(HDC h, LPCSTR text, int length, SIZE* size)
{
    auto dc = FindDc(h);
    if (!dc || !size || length < 0 || (length > 0 && !text) || !FontsAvailable()) return FALSE;
    std::string storage;
    const auto [ascent, descent] = Metrics(*dc);
    *size = {AdvanceOf(*dc, Utf8Of(text, length, storage)), ascent + descent};
    return TRUE;
}

BOOL GetTextMetrics(HDC h, TEXTMETRIC* tm)
{
    auto dc = FindDc(h);
    if (!dc || !tm || !FontsAvailable()) return FALSE;
    const QFont f = CurrentFont(*dc);
    const QFontMetrics fm(f);
    *tm = TEXTMETRIC{};
    tm->tmAscent = fm.ascent();
    tm->tmDescent = fm.descent();
    tm->tmHeight = fm.ascent() + fm.descent();
    tm->tmInternalLeading = std::max(0, tm->tmHeight - std::max(1, f.pixelSize()));
    tm->tmExternalLeading = std::max(0, fm.leading());
    tm->tmAveCharWidth = fm.averageCharWidth();
    tm->tmMaxCharWidth = fm.maxWidth();
    tm->tmWeight =
        dc->st.font ? (dc->st.font->log.lfWeight ? dc->st.font->log.lfWeight : FW_NORMAL) : FW_NORMAL;
    tm->tmItalic = f.italic() ? 1 : 0;
    tm->tmUnderlined = f.underline() ? 1 : 0;
    tm->tmStruckOut = f.strikeOut() ? 1 : 0;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0x7E;
    tm->tmDefaultChar = '?';
    tm->tmBreakChar = ' ';
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmPitchAndFamily = dc->st.font ? dc->st.font->log.lfPitchAndFamily : 0;
    tm->tmCharSet = dc->st.font ? dc->st.font->log.lfCharSet : 0;
    return TRUE;
}

int GetTextFace(HDC h, int size, LPSTR face)
{
    auto dc = FindDc(h);
    if (!dc) return 0;
    const std::string name = dc->st.font ? dc->st.font->log.lfFaceName : "";
    if (!face) return static_cast<int>(name.size()) + 1;
    if (size <= 0) return 0;
    const int n = std::min(size - 1, static_cast<int>(name.size()));
    std::memcpy(face, name.data(), std::size_t(n));
    face[n] = 0;
    return n;
}

namespace {

// The lines DrawText shows: prefix characters removed, paragraphs wrapped at spaces
// to the width when asked, over-long single lines ended with an ellipsis when asked.
// With a DC, a line's advance is asked of its font, which remembers it.
QStringList LayoutLines(const QFontMetrics& fm, QString text, int width, UINT format,
                        const DcObj* dc = nullptr)
{
    if (!(format & DT_NOPREFIX)) {
        QString out;
        for (int i = 0; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('&')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
                    out += QLatin1Char('&');
                else
                    continue;
                ++i;
                continue;
            }
            out += text[i];
        }
        text = out;
    }
    if (format & DT_EXPANDTABS) text.replace(QLatin1Char('\t'), QStringLiteral("        "));
    text.remove(QLatin1Char('\r'));
    QStringList paragraphs;
    if (format & DT_SINGLELINE)
        paragraphs << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    else
        paragraphs = text.split(QLatin1Char('\n'));
    QStringList lines;
    for (const QString& para : paragraphs) {
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE) || fm.horizontalAdvance(para) <= width) {
            lines << para;
            continue;
        }
        const QStringList words = para.split(QLatin1Char(' '));
        QString line;
        for (const QString& word : words) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && fm.horizontalAdvance(candidate) > width) {
                lines << line;
                line = word;
            } else {
                line = candidate;
            }
        }
        lines << line;
    }
    if (format & DT_END_ELLIPSIS)
        for (QString& line : lines) {
            const int advance = dc ? AdvanceOf(*dc, line.toUtf8().toStdString()) : fm.horizontalAdvance(line);
            if (advance > width) line = fm.elidedText(line, Qt::ElideRight, std::max(0, width));
        }
    return lines;
}

}  // namespace

namespace platform::gdi {
QStringList DrawTextLines(const QFont& font, const std::string& text, int width, UINT format)
{
    if (!FontsAvailable()) return {};
    return LayoutLines(QFontMetrics(font), Decode(text.data(), int(text.size())), width, format);
}
}  // namespace platform::gdi

namespace {

// True when DrawText shows the text as one line as it is: nothing to remove, replace or split.
bool OneLineAsItIs(const char* text, int n, UINT format)
{
    for (int i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r' || (c == '&' && !(format & DT_NOPREFIX)) ||
            (c == '\t' && (format & DT_EXPANDTABS)))
            return false;
    }
    return true;
}

}  // namespace

int DrawText(HDC h, LPCSTR text, int length, RECT* rect, UINT format)
{
    auto dc = FindDc(h);
    if (!dc || !rect || (!text && length != 0) || !FontsAvailable()) return 0;
    const int n = Length(text, length);
    const auto [ascent, descent] = Metrics(*dc);
    const int lineHeight = ascent + descent;
    const int width = rect->right - rect->left;

    // The lines and what the font knows of each. A text that shows as it is (a value in a
    // grid's cell) needs no layout: it is found by its own bytes.
    struct Line {
        std::string_view utf8;
        std::shared_ptr<TextRecord> text;
    };
    std::string storage;
    std::vector<std::string> laidOut;
    std::vector<Line> laidOutLines;
    Line single;
    std::span<const Line> lines;
    if (OneLineAsItIs(text, n, format)) {
        const std::string_view utf8 = Utf8Of(text, n, storage);
        std::shared_ptr<TextRecord> line = TextOf(*dc, utf8);
        const bool wraps = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
        if ((!wraps && !(format & DT_END_ELLIPSIS)) || line->advance <= width) {
            single = {utf8, std::move(line)};
            lines = {&single, 1};
        }
    }
    if (lines.empty()) {
        const QStringList shown =
            LayoutLines(QFontMetrics(CurrentFont(*dc)), Decode(text, n), width, format, dc.get());
        for (const QString& line : shown) laidOut.push_back(line.toUtf8().toStdString());
        for (const std::string& line : laidOut) laidOutLines.push_back({line, TextOf(*dc, line)});
        lines = laidOutLines;
    }
    const int textHeight = n == 0 ? 0 : lineHeight * static_cast<int>(lines.size());

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : lines) widest = std::max(widest, line.text->advance);
        if (!(format & DT_WORDBREAK) || widest > width) rect->right = rect->left + widest;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }
    int top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = rect->bottom - lineHeight;
    }
    const int result = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM))
                           ? top - rect->top + textHeight
                           : textHeight;
    if (n == 0) return result;
    if (dc->recording) {
        RecordText(*dc, MetaOp::DrawText, {rect->left, rect->top}, rect, format,
                   std::string(text, std::size_t(n)));
        return result;
    }
    const POINT a = dc->ToDev({rect->left, rect->top}), z = dc->ToDev({rect->right, rect->bottom});
    const RECT clip{a.x, a.y, z.x, z.y};
    const int dy = a.y - rect->top;
    int y = top + dy;
    for (const Line& line : lines) {
        const int w = line.text->advance;
        int x = a.x;
        if (format & DT_CENTER)
            x = a.x + (z.x - a.x - w) / 2;
        else if (format & DT_RIGHT)
            x = z.x - w;
        DrawTextLine(*dc, x, y, TA_LEFT | TA_TOP, line.utf8, *line.text,
                     (format & DT_NOCLIP) ? nullptr : &clip, true);
        y += lineHeight;
    }
    return result;
}
