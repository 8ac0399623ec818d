// The canvas's last pass: channel planes to packed pixels. Each pixel is the OR of its
// channels' table entries. Where every channel's table has an arithmetic form (see
// canvas_tables.h), the drawn levels are computed eight at a time instead of looked up: the
// lookups, three loads a pixel that cannot be vectorised, are what the pass otherwise
// spends its time on. Pixels nothing was drawn on take the table's background entry, and
// any other value outside the drawn levels sends its eight pixels to the lookups.

#include <cstring>
#include <vector>

#include "platform/kernel/cpu_features.h"
#include "plugin3d/model/render/canvas_tables.h"
#include "plugin3d/model/render/span_kernels.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

using canvas_kernels::Advance;
using canvas_tables::TableField;
using canvas_tables::TableForm;

template <int Bytes>
inline void StorePixel(std::uint8_t* p, int x, std::uint32_t v)
{
    if constexpr (Bytes == 1) {
        p[x] = std::uint8_t(v);
    } else if constexpr (Bytes == 2) {
        const std::uint16_t w = std::uint16_t(v);
        std::memcpy(p + 2 * x, &w, 2);
    } else if constexpr (Bytes == 3) {
        p[3 * x] = std::uint8_t(v);
        p[3 * x + 1] = std::uint8_t(v >> 8);
        p[3 * x + 2] = std::uint8_t(v >> 16);
    } else {
        std::memcpy(p + 4 * x, &v, 4);
    }
}

// Pixels first..last - 1 of a row through the tables. The channel count is a template
// argument so the per-pixel loop over channels unrolls.
template <int Bytes, int N>
inline void LookUpPixels(const std::uint16_t* const* rows, const std::int32_t* const* table, std::uint8_t* p,
                         int first, int last)
{
    for (int x = first; x < last; ++x) {
        std::uint32_t v = 0;
        for (int k = 0; k < N; ++k) v |= std::uint32_t(table[k][rows[k][x]]);
        StorePixel<Bytes>(p, x, v);
    }
}

template <int Bytes, int N>
void PackRowsN(const std::uint16_t* const* channelRows, const std::ptrdiff_t* channelStrides,
               const std::int32_t* const* tables, std::uint8_t* pixels, std::ptrdiff_t pixelStride,
               int rowCount, int width)
{
    const std::uint16_t* rows[N > 0 ? N : 1] = {};
    const std::int32_t* table[N > 0 ? N : 1] = {};
    for (int k = 0; k < N; ++k) {
        rows[k] = channelRows[k];
        table[k] = tables[k];
    }
    for (int y = 0; y < rowCount; ++y) {
        LookUpPixels<Bytes, N>(rows, table, pixels + y * pixelStride, 0, width);
        for (int k = 0; k < N; ++k) rows[k] = Advance(rows[k], channelStrides[k]);
    }
}

#if defined(__x86_64__)
// The forms of a call's channels in lanes. Their fields are taken together, each reading its
// channel's row: a component is driven by one channel only, so a picture has three at most.
struct FormLanes {
    int fields = 0;
    int fieldChannel[3] = {};
    // Per field: the constants of its one piece, or the tables each lane picks its piece
    // from, with the last level of every piece but the last.
    __m256i a[3], b[3], s[3], shift[3];
    int pieces[3] = {};
    __m256i bound[3][canvas_tables::kFormPieces - 1];
    __m256i background[3];
    const std::int32_t* tables[3] = {};
};

__attribute__((target("avx2"))) bool ToLanes(int count, const TableForm* const* forms,
                                             const std::int32_t* const* tables, FormLanes& l)
{
    static_assert(canvas_tables::kFormPieces == 8, "a piece's constants are picked from one vector");
    for (int k = 0; k < count; ++k) {
        l.tables[k] = tables[k];
        l.background[k] = _mm256_set1_epi32(tables[k][canvas_tables::kEmptyLevel]);
        for (int i = 0; i < forms[k]->fieldCount; ++i) {
            if (l.fields == 3) return false;
            const TableField& f = forms[k]->fields[i];
            const int j = l.fields++;
            l.fieldChannel[j] = k;
            l.pieces[j] = f.pieces;
            l.shift[j] = _mm256_set1_epi32(f.shift);
            if (f.pieces == 1) {
                l.a[j] = _mm256_set1_epi32(std::int32_t(f.a[0]));
                l.b[j] = _mm256_set1_epi32(std::int32_t(f.b[0]));
                l.s[j] = _mm256_set1_epi32(std::int32_t(f.s[0]));
            } else {
                l.a[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.a));
                l.b[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.b));
                l.s[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.s));
            }
            for (int p = 1; p < f.pieces; ++p) l.bound[j][p - 1] = _mm256_set1_epi32(f.first[p] - 1);
        }
    }
    return true;
}

// Field j of eight levels 0..0x8000 (other lanes get values of no meaning), in place.
template <bool Pieced>
__attribute__((target("avx2"), always_inline)) inline __m256i FieldOf(const FormLanes& l, int j, __m256i v)
{
    __m256i a = l.a[j], b = l.b[j], s = l.s[j];
    if constexpr (Pieced) {
        if (l.pieces[j] > 1) {
            __m256i piece = _mm256_setzero_si256();
            for (int p = 1; p < l.pieces[j]; ++p)
                piece = _mm256_sub_epi32(piece, _mm256_cmpgt_epi32(v, l.bound[j][p - 1]));
            a = _mm256_permutevar8x32_epi32(a, piece);
            b = _mm256_permutevar8x32_epi32(b, piece);
            s = _mm256_permutevar8x32_epi32(s, piece);
        }
    }
    const __m256i value = _mm256_srlv_epi32(_mm256_add_epi32(_mm256_mullo_epi32(v, a), b), s);
    return _mm256_sllv_epi32(value, l.shift[j]);
}

__attribute__((target("avx2"), always_inline)) inline __m256i EightLevels(const std::uint16_t* row, int x)
{
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)));
}

// Eight pixels of which some have a value above the drawn levels: those that have nothing
// drawn take their channel's background entry; any other value is looked up.
template <int N, int T, bool Pieced>
__attribute__((target("avx2"))) void OutsideEight(const FormLanes& l, const std::uint16_t* const* rows,
                                                  std::uint8_t* out, int x)
{
    const __m256i topLevel = _mm256_set1_epi32(canvas_tables::kLevels - 1);
    const __m256i empty = _mm256_set1_epi32(canvas_tables::kEmptyLevel);
    __m256i nothing[N], v[N];
    __m256i odd = _mm256_setzero_si256();
    for (int k = 0; k < N; ++k) {
        v[k] = EightLevels(rows[k], x);
        nothing[k] = _mm256_cmpeq_epi32(v[k], empty);
        odd = _mm256_or_si256(odd, _mm256_andnot_si256(nothing[k], _mm256_cmpgt_epi32(v[k], topLevel)));
    }
    if (!_mm256_testz_si256(odd, odd)) return LookUpPixels<4, N>(rows, l.tables, out, x, x + 8);
    __m256i packed = _mm256_setzero_si256();
    for (int j = 0; j < T; ++j) {
        const int k = l.fieldChannel[j];
        packed = _mm256_or_si256(packed, _mm256_andnot_si256(nothing[k], FieldOf<Pieced>(l, j, v[k])));
    }
    for (int k = 0; k < N; ++k)
        packed = _mm256_or_si256(packed, _mm256_and_si256(nothing[k], l.background[k]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), packed);
}

// One row of 32-bit pixels from the forms of N channels with T fields in all.
template <int N, int T, bool Pieced>
__attribute__((target("avx2"))) void FormRow(const FormLanes& l, const std::uint16_t* const* rows,
                                             std::uint8_t* out, int width)
{
    const std::uint16_t* fieldRow[T > 0 ? T : 1];
    for (int j = 0; j < T; ++j) fieldRow[j] = rows[l.fieldChannel[j]];
    // Sixteen 16-bit levels are above 0x8000 exactly where subtracting 0x8000 with
    // saturation leaves something.
    const __m256i top16 = _mm256_set1_epi16(std::int16_t(canvas_tables::kLevels - 1));
    const int vectorEnd = width & ~15;
    int x = 0;
    for (; x < vectorEnd; x += 16) {
        __m256i outside = _mm256_setzero_si256();
        for (int k = 0; k < N; ++k)
            outside = _mm256_or_si256(
                outside,
                _mm256_subs_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + x)), top16));
        if (!_mm256_testz_si256(outside, outside)) {
            OutsideEight<N, T, Pieced>(l, rows, out, x);
            OutsideEight<N, T, Pieced>(l, rows, out, x + 8);
            continue;
        }
        for (int half = 0; half < 16; half += 8) {
            __m256i packed = _mm256_setzero_si256();
            for (int j = 0; j < T; ++j)
                packed = _mm256_or_si256(packed, FieldOf<Pieced>(l, j, EightLevels(fieldRow[j], x + half)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * (x + half)), packed);
        }
    }
    LookUpPixels<4, N>(rows, l.tables, out, x, width);
}

using FormRowFn = void (*)(const FormLanes&, const std::uint16_t* const*, std::uint8_t*, int);

template <int N>
FormRowFn FormRowFor(int fields, bool pieced)
{
    constexpr FormRowFn kRows[4][2] = {{FormRow<N, 0, false>, FormRow<N, 0, true>},
                                       {FormRow<N, 1, false>, FormRow<N, 1, true>},
                                       {FormRow<N, 2, false>, FormRow<N, 2, true>},
                                       {FormRow<N, 3, false>, FormRow<N, 3, true>}};
    return kRows[fields][pieced ? 1 : 0];
}

// The rows through the forms; false (nothing written) when they do not fit the lanes.
template <int Bytes>
bool PackFormRows(int count, const std::uint16_t* const* channelRows, const std::ptrdiff_t* channelStrides,
                  const std::int32_t* const* tables, const TableForm* const* forms, std::uint8_t* pixels,
                  std::ptrdiff_t pixelStride, int rowCount, int width)
{
    FormLanes lanes;
    if (!ToLanes(count, forms, tables, lanes)) return false;
    bool pieced = false;
    for (int j = 0; j < lanes.fields; ++j) pieced |= lanes.pieces[j] > 1;
    const FormRowFn row = count == 1   ? FormRowFor<1>(lanes.fields, pieced)
                          : count == 2 ? FormRowFor<2>(lanes.fields, pieced)
                                       : FormRowFor<3>(lanes.fields, pieced);
    const std::uint16_t* rows[3] = {};
    for (int k = 0; k < count; ++k) rows[k] = channelRows[k];
    // Narrower pixels are made as 32-bit values first.
    std::vector<std::uint8_t> wide(Bytes == 4 ? 0 : std::size_t(width) * 4);
    for (int y = 0; y < rowCount; ++y) {
        std::uint8_t* p = pixels + y * pixelStride;
        row(lanes, rows, Bytes == 4 ? p : wide.data(), width);
        if constexpr (Bytes != 4)
            for (int x = 0; x < width; ++x) {
                std::uint32_t v;
                std::memcpy(&v, wide.data() + 4 * x, 4);
                StorePixel<Bytes>(p, x, v);
            }
        for (int k = 0; k < count; ++k) rows[k] = Advance(rows[k], channelStrides[k]);
    }
    return true;
}
#endif

template <int Bytes>
void PackRowsBytes(int count, const std::uint16_t* const* channelRows, const std::ptrdiff_t* channelStrides,
                   const std::int32_t* const* tables, const TableForm* const* forms, std::uint8_t* pixels,
                   std::ptrdiff_t pixelStride, int rowCount, int width)
{
#if defined(__x86_64__)
    bool computed = count > 0 && forms && platform::UseAvx2();
    for (int k = 0; computed && k < count; ++k) computed = forms[k] != nullptr;
    if (computed && PackFormRows<Bytes>(count, channelRows, channelStrides, tables, forms, pixels,
                                        pixelStride, rowCount, width))
        return;
#endif
    switch (count) {
        case 0:
            return PackRowsN<Bytes, 0>(channelRows, channelStrides, tables, pixels, pixelStride, rowCount,
                                       width);
        case 1:
            return PackRowsN<Bytes, 1>(channelRows, channelStrides, tables, pixels, pixelStride, rowCount,
                                       width);
        case 2:
            return PackRowsN<Bytes, 2>(channelRows, channelStrides, tables, pixels, pixelStride, rowCount,
                                       width);
        default:
            return PackRowsN<Bytes, 3>(channelRows, channelStrides, tables, pixels, pixelStride, rowCount,
                                       width);
    }
}

}  // namespace

namespace canvas_kernels {

void PackChannelRows(int channelCount, const std::uint16_t* const* channelRows,
                     const std::ptrdiff_t* channelStrides, const std::int32_t* const* tables,
                     const canvas_tables::TableForm* const* forms, void* pixels, std::ptrdiff_t pixelStride,
                     int bytesPerPixel, int rowCount, int width)
{
    auto* p = static_cast<std::uint8_t*>(pixels);
    switch (bytesPerPixel) {
        case 1:
            return PackRowsBytes<1>(channelCount, channelRows, channelStrides, tables, forms, p, pixelStride,
                                    rowCount, width);
        case 2:
            return PackRowsBytes<2>(channelCount, channelRows, channelStrides, tables, forms, p, pixelStride,
                                    rowCount, width);
        case 3:
            return PackRowsBytes<3>(channelCount, channelRows, channelStrides, tables, forms, p, pixelStride,
                                    rowCount, width);
        case 4:
            return PackRowsBytes<4>(channelCount, channelRows, channelStrides, tables, forms, p, pixelStride,
                                    rowCount, width);
        default:
            return;
    }
}

}  // namespace canvas_kernels
