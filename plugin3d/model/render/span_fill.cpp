#include "plugin3d/model/render/span_fill.h"

#include <algorithm>
#include <cstdlib>

#include "platform/kernel/cpu_features.h"
#include "plugin3d/model/render/span_kernels.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

using canvas_kernels::Advance;
using canvas_kernels::ChannelRows;
using canvas_kernels::Ramp;
using canvas_kernels::SpanErrorStart;

namespace {

const std::int32_t* PairOf(const TCanvasSpan& span, int pairOffset)
{
    return Advance(&span.channel[0][0], pairOffset);
}

#if defined(__x86_64__)
// Eight ramp states a step apart, moved eight steps at once. Eight steps take 8r from the
// error term: with 8r = Q L + R that is Q carries for certain and one more when taking R
// leaves the term at or below 0, as the single steps would, since the term stays in (0, L].
struct LaneRamp {
    __m256i value, error, step8, remainder8, steps, sign;

    LaneRamp() = default;
    __attribute__((target("avx2"))) explicit LaneRamp(Ramp& r)
    {
        alignas(32) std::int32_t values[8], errors[8];
        for (int j = 0; j < 8; ++j) {
            values[j] = std::int32_t(r.RawValue());
            errors[j] = std::int32_t(r.Error());
            r.Step();
        }
        value = _mm256_load_si256(reinterpret_cast<const __m256i*>(values));
        error = _mm256_load_si256(reinterpret_cast<const __m256i*>(errors));
        const std::int64_t taken = 8 * r.Remainder();
        const auto carries = std::uint32_t(taken / r.Steps());
        step8 = _mm256_set1_epi32(std::int32_t(8 * r.StepValue() + carries * r.Sign()));
        remainder8 = _mm256_set1_epi32(std::int32_t(taken % r.Steps()));
        steps = _mm256_set1_epi32(std::int32_t(r.Steps()));
        sign = _mm256_set1_epi32(std::int32_t(r.Sign()));
    }
    __attribute__((target("avx2"))) void Step()
    {
        value = _mm256_add_epi32(value, step8);
        error = _mm256_sub_epi32(error, remainder8);
        const __m256i carry = _mm256_cmpgt_epi32(_mm256_set1_epi32(1), error);
        value = _mm256_add_epi32(value, _mm256_and_si256(carry, sign));
        error = _mm256_add_epi32(error, _mm256_and_si256(carry, steps));
    }
    // Lane 0's state into a scalar ramp of the same steps.
    __attribute__((target("avx2"))) void ToScalar(Ramp& r) const
    {
        r.Resume(std::uint32_t(_mm256_cvtsi256_si32(value)), _mm256_cvtsi256_si32(error));
    }
};

// The low 16 bits of eight int32 lanes.
__attribute__((target("avx2"))) inline __m128i LowWords(__m256i v)
{
    const __m256i pick = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 4,
                                          5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, pick), 0x08));
}

// Spans at least this long take the vector fill (shorter ones would spend more on its set-up).
constexpr std::int64_t kVectorSpanPixels = 24;

// FillRowN eight pixels at a time: the same depth decision per pixel and the same values.
// Ramps whose steps do not fit the lanes' 32-bit error terms never get here.
template <bool Smooth, int N>
__attribute__((target("avx2"))) void FillRowAvx2(std::int32_t* d, std::uint16_t* const* c,
                                                 const std::int32_t* leftValue,
                                                 const std::int32_t* rightValue, std::int32_t leftZ,
                                                 std::int32_t rightZ, std::int64_t steps)
{
    const std::int64_t e0 = SpanErrorStart(steps);
    Ramp z(leftZ, rightZ, steps, e0);
    Ramp v[N > 0 ? N : 1];
    for (int k = 0; k < N; ++k) v[k] = Ramp(leftValue[k], Smooth ? rightValue[k] : leftValue[k], steps, e0);
    LaneRamp zl(z);
    LaneRamp vl[N > 0 ? N : 1];
    if constexpr (Smooth)
        for (int k = 0; k < N; ++k) vl[k] = LaneRamp(v[k]);
    __m128i flat[N > 0 ? N : 1];
    for (int k = 0; k < N; ++k) flat[k] = _mm_set1_epi16(std::int16_t(leftValue[k]));
    const std::int64_t pixels = steps + 1, vectorEnd = pixels & ~std::int64_t(7);
    std::int64_t i = 0;
    for (; i < vectorEnd; i += 8) {
        const __m256i stored = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i behind = _mm256_cmpgt_epi32(zl.value, stored);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_blendv_epi8(zl.value, stored, behind));
        const __m128i keep = LowWords(behind);
        for (int k = 0; k < N; ++k) {
            __m128i* at = reinterpret_cast<__m128i*>(c[k] + i);
            const __m128i fresh = Smooth ? LowWords(vl[k].value) : flat[k];
            _mm_storeu_si128(at, _mm_blendv_epi8(fresh, _mm_loadu_si128(at), keep));
        }
        zl.Step();
        if constexpr (Smooth)
            for (int k = 0; k < N; ++k) vl[k].Step();
    }
    zl.ToScalar(z);
    if constexpr (Smooth)
        for (int k = 0; k < N; ++k) vl[k].ToScalar(v[k]);
    for (; i < pixels; ++i) {
        const std::int32_t zi = z.Value();
        if (zi <= d[i]) {
            d[i] = zi;
            for (int k = 0; k < N; ++k)
                c[k][i] = std::uint16_t(Smooth ? v[k].RawValue() : std::uint32_t(leftValue[k]));
        }
        z.Step();
        if constexpr (Smooth)
            for (int k = 0; k < N; ++k) v[k].Step();
    }
}
#endif

// One row of a span, every channel of N in the same pass: the depth decision is taken once.
template <bool Smooth, int N>
void FillRowN(std::int32_t* depth, std::uint16_t* const* channel, const TCanvasSpan& span,
              const int* pairOffset)
{
    const std::int32_t left = span.leftX, right = span.rightX;
    if (right < left) return;
    const std::int64_t steps = std::int64_t(right) - left;
    std::int32_t* d = depth + left;
    std::uint16_t* c[N];
    std::int32_t leftValue[N];
    for (int k = 0; k < N; ++k) {
        c[k] = channel[k] + left;
        leftValue[k] = PairOf(span, pairOffset[k])[0];
    }
    if (steps == 0) {
        if (span.leftZ <= *d) {
            *d = span.leftZ;
            for (int k = 0; k < N; ++k) *c[k] = std::uint16_t(leftValue[k]);
        }
        return;
    }
#if defined(__x86_64__)
    if (steps >= kVectorSpanPixels && steps < (std::int64_t(1) << 30) && platform::UseAvx2()) {
        std::int32_t rightValue[N];
        for (int k = 0; k < N; ++k) rightValue[k] = PairOf(span, pairOffset[k])[1];
        FillRowAvx2<Smooth, N>(d, c, leftValue, rightValue, span.leftZ, span.rightZ, steps);
        return;
    }
#endif
    const std::int64_t e0 = SpanErrorStart(steps);
    Ramp z(span.leftZ, span.rightZ, steps, e0);
    if constexpr (Smooth) {
        Ramp v[N];
        for (int k = 0; k < N; ++k) v[k] = Ramp(leftValue[k], PairOf(span, pairOffset[k])[1], steps, e0);
        for (std::int64_t i = 0; i <= steps; ++i) {
            const std::int32_t zi = z.Value();
            if (zi <= d[i]) {
                d[i] = zi;
                for (int k = 0; k < N; ++k) c[k][i] = std::uint16_t(v[k].Value());
            }
            z.Step();
            for (int k = 0; k < N; ++k) v[k].Step();
        }
    } else {
        std::uint16_t value[N];
        for (int k = 0; k < N; ++k) value[k] = std::uint16_t(leftValue[k]);
        for (std::int64_t i = 0; i <= steps; ++i) {
            const std::int32_t zi = z.Value();
            if (zi <= d[i]) {
                d[i] = zi;
                for (int k = 0; k < N; ++k) c[k][i] = value[k];
            }
            z.Step();
        }
    }
}

template <bool Smooth, int N>
void FillRowsN(std::int32_t* depthRow, std::ptrdiff_t depthStride, const ChannelRows& channels, int rowCount,
               const TCanvasSpan* span)
{
    std::uint16_t* rows[N > 0 ? N : 1];
    for (int k = 0; k < N; ++k) rows[k] = channels.row[k];
    for (int y = 0; y < rowCount; ++y, ++span) {
        if constexpr (N > 0) FillRowN<Smooth, N>(depthRow, rows, *span, channels.pairOffset);
        depthRow = Advance(depthRow, depthStride);
        for (int k = 0; k < N; ++k) rows[k] = Advance(rows[k], channels.stride[k]);
    }
}

template <bool Smooth>
void FillRows(std::int32_t* depthRow, std::ptrdiff_t depthStride, const ChannelRows& channels, int rowCount,
              const TCanvasSpan* span)
{
    switch (channels.count) {
        case 1:
            return FillRowsN<Smooth, 1>(depthRow, depthStride, channels, rowCount, span);
        case 2:
            return FillRowsN<Smooth, 2>(depthRow, depthStride, channels, rowCount, span);
        case 3:
            return FillRowsN<Smooth, 3>(depthRow, depthStride, channels, rowCount, span);
        default:
            return;  // no channel: nothing would be written by a pass per channel either
    }
}

ChannelRows OneChannel(std::uint16_t* row, std::ptrdiff_t stride, int pairOffset)
{
    ChannelRows c;
    c.count = 1;
    c.row[0] = row;
    c.stride[0] = stride;
    c.pairOffset[0] = pairOffset;
    return c;
}

template <int Bytes>
void MapRows(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
             std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width)
{
    for (int y = 0; y < rowCount; ++y) {
        std::uint8_t* p = static_cast<std::uint8_t*>(pixels) + y * pixelStride;
        const std::uint16_t* c = Advance(channels, y * channelStride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = std::uint32_t(table[c[x]]);
            for (int b = 0; b < Bytes; ++b) p[Bytes * x + b] |= std::uint8_t(v >> (8 * b));
        }
    }
}

}  // namespace

namespace canvas_kernels {

void FillSpanRows(bool smooth, std::int32_t* depthRow, std::ptrdiff_t depthStride,
                  const ChannelRows& channels, int rowCount, const TCanvasSpan* span)
{
    if (smooth)
        FillRows<true>(depthRow, depthStride, channels, rowCount, span);
    else
        FillRows<false>(depthRow, depthStride, channels, rowCount, span);
}

void DrawLineRows(bool smooth, std::int32_t* depthRow, std::ptrdiff_t depthStride,
                  const ChannelRows& channels, int rowCount, const TCanvasSpan& line, int firstRow,
                  int lastRow)
{
    if (rowCount < 1) return;
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, rowCount - 1);
    if (firstRow > lastRow) return;
    const std::int64_t dx = std::abs(std::int64_t(line.rightX) - line.leftX);
    const std::int64_t dy = rowCount - 1;
    const std::int64_t steps = std::max(dx, dy);
    const int count = channels.count;
    std::int32_t value[3] = {};
    for (int k = 0; k < count; ++k) value[k] = PairOf(line, channels.pairOffset[k])[0];
    if (steps == 0) {
        if (line.leftZ <= depthRow[line.leftX]) {
            depthRow[line.leftX] = line.leftZ;
            for (int k = 0; k < count; ++k) channels.row[k][line.leftX] = std::uint16_t(value[k]);
        }
        return;
    }
    const std::int64_t e0 = SpanErrorStart(steps);
    // The first step that reaches row firstRow: the least k whose y term has carried
    // firstRow times.
    std::int64_t k = 0;
    if (firstRow > 0) k = (std::int64_t(firstRow) * steps + e0 - steps + dy - 1) / dy;
    Ramp x(line.leftX, line.rightX, steps, e0, k);
    Ramp y(0, std::int32_t(dy), steps, e0, k);
    Ramp z(line.leftZ, line.rightZ, steps, e0, k);
    Ramp v[3];
    if (smooth)
        for (int c = 0; c < count; ++c)
            v[c] = Ramp(value[c], PairOf(line, channels.pairOffset[c])[1], steps, e0, k);
    for (; k <= steps; ++k) {
        const std::int32_t row = y.Value();
        if (row > lastRow) break;
        const std::int32_t col = x.Value();
        std::int32_t* d = Advance(depthRow, row * depthStride) + col;
        const std::int32_t zk = z.Value();
        if (zk <= *d) {
            *d = zk;
            for (int c = 0; c < count; ++c)
                Advance(channels.row[c], row * channels.stride[c])[col] =
                    std::uint16_t(smooth ? v[c].Value() : value[c]);
        }
        x.Step();
        y.Step();
        z.Step();
        if (smooth)
            for (int c = 0; c < count; ++c) v[c].Step();
    }
}

void FillEdgeRampPart(std::int32_t* firstField, int n, std::int32_t a0, std::int32_t a1, int first, int last)
{
    constexpr int kRecordInts = sizeof(TCanvasSpan) / sizeof(std::int32_t);
    if (n <= 0) return;
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    if (first > last) return;
    if (n <= 2) {
        // Edges of a fine mesh mostly span one or two rows: their ends, exactly.
        if (first == 0) firstField[0] = a0;
        if (last == 1) firstField[kRecordInts] = a1;
        return;
    }
    const std::int64_t steps = n - 1;
    Ramp r(a0, a1, steps, SpanErrorStart(steps), first);
    std::int32_t* p = firstField + std::ptrdiff_t(first) * kRecordInts;
    for (int i = first; i <= last; ++i, p += kRecordInts) {
        *p = r.Value();
        r.Step();
    }
}

}  // namespace canvas_kernels

void FillSpansFlat(int channelOffset, std::ptrdiff_t depthStride, std::ptrdiff_t channelStride, int rowCount,
                   std::int32_t* depthRow, std::uint16_t* channelRow, const TCanvasSpan* span)
{
    FillRows<false>(depthRow, depthStride, OneChannel(channelRow, channelStride, channelOffset), rowCount,
                    span);
}

void FillSpansSmooth(int channelOffset, std::ptrdiff_t depthStride, std::ptrdiff_t channelStride,
                     int rowCount, std::int32_t* depthRow, std::uint16_t* channelRow, const TCanvasSpan* span)
{
    FillRows<true>(depthRow, depthStride, OneChannel(channelRow, channelStride, channelOffset), rowCount,
                   span);
}

void DrawLineFlat(std::ptrdiff_t depthStride, std::ptrdiff_t channelStride, int rowCount,
                  std::int32_t* depthRow, std::uint16_t* channelRow, const TCanvasSpan* line)
{
    canvas_kernels::DrawLineRows(false, depthRow, depthStride, OneChannel(channelRow, channelStride, 0),
                                 rowCount, *line, 0, rowCount - 1);
}

void DrawLineSmooth(std::ptrdiff_t depthStride, std::ptrdiff_t channelStride, int rowCount,
                    std::int32_t* depthRow, std::uint16_t* channelRow, const TCanvasSpan* line)
{
    canvas_kernels::DrawLineRows(true, depthRow, depthStride, OneChannel(channelRow, channelStride, 0),
                                 rowCount, *line, 0, rowCount - 1);
}

void FillEdgeRamp(std::int32_t* firstField, int n, std::int32_t a0, std::int32_t a1)
{
    canvas_kernels::FillEdgeRampPart(firstField, n, a0, a1, 0, n - 1);
}

void FillRamp(std::int32_t* entries, int i0, std::int32_t a0, std::int32_t a1, int i1)
{
    if (i0 > i1) {
        std::swap(i0, i1);
        std::swap(a0, a1);
    }
    if (i0 == i1) {
        entries[i0] = std::int32_t((std::int64_t(a0) + a1) >> 1);
        return;
    }
    const std::int64_t steps = std::int64_t(i1) - i0;
    // The table ramps start their error term at half the steps; a two-entry ramp would start
    // it at 0 and end one past a1, so it starts at 1, which changes nothing for longer ramps.
    Ramp r(a0, a1, steps, std::max<std::int64_t>(steps >> 1, 1));
    for (std::int64_t i = i0; i <= i1; ++i) {
        entries[i] = r.Value();
        r.Step();
    }
}

void InterpolateVertex(const TCanvasVertex& a, const TCanvasVertex& b, TCanvasVertex& out, bool byY,
                       std::int32_t at)
{
    std::int32_t TCanvasVertex::*const along = byY ? &TCanvasVertex::y : &TCanvasVertex::x;
    std::int32_t TCanvasVertex::*const across = byY ? &TCanvasVertex::x : &TCanvasVertex::y;
    const std::int64_t from = a.*along, to = b.*along;
    if (from == to) {
        out.*along = at;
        return;
    }
    // Fields may span the whole int32 range: the product needs more than 64 bits.
    const __int128 t = std::int64_t(at) - from, span = to - from;
    auto mix = [&](std::int32_t fa, std::int32_t fb) {
        if (fa == fb) return fa;
        return std::int32_t(std::int64_t(fa + __int128(std::int64_t(fb) - fa) * t / span));
    };
    const TCanvasVertex result{0, 0, mix(a.z, b.z), mix(a.c1, b.c1), mix(a.c2, b.c2), mix(a.c3, b.c3)};
    const std::int32_t other = mix(a.*across, b.*across);
    out.z = result.z;
    out.c1 = result.c1;
    out.c2 = result.c2;
    out.c3 = result.c3;
    out.*across = other;
    out.*along = at;
}

std::int32_t LightDot(const std::int32_t light[3], const TCanvasVertex& vertex)
{
    const std::uint32_t sum = std::uint32_t(light[0]) * std::uint32_t(vertex.c1) +
                              std::uint32_t(light[1]) * std::uint32_t(vertex.c2) +
                              std::uint32_t(light[2]) * std::uint32_t(vertex.c3);
    return std::int32_t(sum) >> 20;
}

std::int32_t BreakpointLookup(std::int32_t x, const std::int32_t* pairs, int pairCount)
{
    if (pairCount <= 1) return 0;
    auto input = [&](int i) { return pairs[2 * i]; };
    auto output = [&](int i) { return pairs[2 * i + 1]; };
    if (x <= input(0)) return output(0);
    if (x >= input(pairCount - 1)) return output(pairCount - 1);
    // The first pair whose input is not below x; x lies above pair 0 and below the last.
    int lo = 1, hi = pairCount - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (input(mid) < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (input(lo) == x) return output(lo);
    const std::int64_t i0 = input(lo - 1), i1 = input(lo), o0 = output(lo - 1), o1 = output(lo);
    return std::int32_t(std::int64_t(o0 + __int128(x - i0) * (o1 - o0) / (i1 - i0)));
}

void SpreadBits(const std::int32_t* levels, std::int32_t* output, const std::int32_t masks[16], int count)
{
    // Two tables of 256 ORs, one per byte of the level, instead of a loop over its bits.
    std::uint32_t low[256], high[256];
    low[0] = high[0] = 0;
    for (int v = 1; v < 256; ++v) {
        const int bit = __builtin_ctz(unsigned(v));
        low[v] = low[v & (v - 1)] | std::uint32_t(masks[bit]);
        high[v] = high[v & (v - 1)] | std::uint32_t(masks[bit + 8]);
    }
    for (int i = 0; i < count; ++i) {
        const std::uint32_t level = std::uint32_t(levels[i]);
        output[i] = std::int32_t(std::uint32_t(output[i]) | low[level & 0xFF] | high[(level >> 8) & 0xFF]);
    }
}

void MapChannelRows8(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                     std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width)
{
    MapRows<1>(channels, pixels, table, pixelStride, channelStride, rowCount, width);
}

void MapChannelRows16(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                      std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width)
{
    MapRows<2>(channels, pixels, table, pixelStride, channelStride, rowCount, width);
}

void MapChannelRows24(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                      std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width)
{
    MapRows<3>(channels, pixels, table, pixelStride, channelStride, rowCount, width);
}

void MapChannelRows32(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                      std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width)
{
    MapRows<4>(channels, pixels, table, pixelStride, channelStride, rowCount, width);
}
