// The Sigma filter: the mean of the window's values whose float lies in
// [float((1 - 2σ) x), (1 + 2σ) x] around the centre value x, or 0 when there are none. The
// mean is that of the sum adding the kept values in row order, as doubles, so every value of
// the window is tested.
//
// Where the processor has AVX-512, each tile's values are also taken as integers at one fixed
// point, with a count bit above them: their sums are exact in any order, so eight windows are
// tested and summed per instruction with no chain of rounded adds. Where a window's kept
// values are all exactly their integers, the row-order sum is exact too and the two agree.
// Where some are not (values far below the tile's largest), the row-order sum lies within a
// bound around the integers' one, and when the whole bound rounds to one float, that float
// is the output; the rare rest is summed in row order. (Ranked values with counts and sums
// kept per block of ranks need only 2g updates a step, but up to 17 × 17 those cost more than
// the g² vector tests.)

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "modules/convolution/noise_filter_detail.h"
#include "platform/kernel/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// The vector helpers are only ever called from inside their own function's target.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace noise_detail {
namespace {

/// Sigma of the outputs (r, c), r < rows, c < cols, of a block whose window of output (r, c)
/// starts at values[r * stride + c]. rounded[] holds every value rounded to float. Each lane
/// adds its window in row order, as a single pixel would; a value that does not qualify
/// adds +0, which changes no sum (a row-order sum that starts at +0 is never -0). kGroups
/// groups of lanes side by side keep as many chains of adds going at once.
template <class V, int kGroups>
[[gnu::always_inline]] inline void SigmaLanes(const double* values, const double* rounded, int stride, int g,
                                              float sigma, float* out)
{
    using M = std::conditional_t<std::is_same_v<V, double>, bool, Masks4>;
    using Count = std::conditional_t<std::is_same_v<V, double>, std::int64_t, Masks4>;
    constexpr int kWidth = kLanes<V>;
    const int k = g / 2;
    V low[kGroups], high[kGroups], sum[kGroups];
    Count count[kGroups];
    for (int q = 0; q < kGroups; ++q) {
        const V x = Load<V>(values + std::size_t(k) * std::size_t(stride) + k + q * kWidth);
        low[q] = (1.0 - 2.0 * double(sigma)) * x;
        if constexpr (std::is_same_v<V, double>)
            low[q] = double(float(low[q]));
        else
            low[q] = __builtin_convertvector(__builtin_convertvector(low[q], Floats4), Doubles4);
        high[q] = (1.0 + 2.0 * double(sigma)) * x;
        sum[q] = V{};
        count[q] = Count{};
    }
    for (int i = 0; i < g; ++i) {
        const double* row = values + std::size_t(i) * std::size_t(stride);
        const double* rowRounded = rounded + std::size_t(i) * std::size_t(stride);
        for (int j = 0; j < g; ++j)
            for (int q = 0; q < kGroups; ++q) {
                const V v = Load<V>(row + j + q * kWidth), f = Load<V>(rowRounded + j + q * kWidth);
                const M keep = (f >= low[q]) & (f <= high[q]);
                if constexpr (std::is_same_v<V, double>) {
                    sum[q] += keep ? v : 0.0;
                    count[q] += keep;
                } else {
                    sum[q] += V(Masks4(v) & keep);
                    count[q] -= keep;
                }
            }
    }
    for (int q = 0; q < kGroups; ++q)
        for (int p = 0; p < kWidth; ++p) {
            double s;
            std::int64_t n;
            if constexpr (std::is_same_v<V, double>) {
                s = sum[q];
                n = count[q];
            } else {
                s = sum[q][p];
                n = count[q][p];
            }
            out[q * kWidth + p] = n ? float(s / double(n)) : 0.0f;
        }
}

[[gnu::always_inline]] inline void SigmaBlock(const double* values, const double* rounded, int stride, int g,
                                              int rows, int cols, float sigma, float* const* out)
{
    for (int r = 0; r < rows; ++r) {
        const double* v = values + std::size_t(r) * std::size_t(stride);
        const double* f = rounded + std::size_t(r) * std::size_t(stride);
        int c = 0;
        for (; c + 8 <= cols; c += 8) SigmaLanes<Doubles4, 2>(v + c, f + c, stride, g, sigma, out[r] + c);
        for (; c + 4 <= cols; c += 4) SigmaLanes<Doubles4, 1>(v + c, f + c, stride, g, sigma, out[r] + c);
        for (; c < cols; ++c) SigmaLanes<double, 1>(v + c, f + c, stride, g, sigma, out[r] + c);
    }
}

__attribute__((target("avx2"))) void SigmaBlockAvx2(const double* values, const double* rounded, int stride,
                                                    int g, int rows, int cols, float sigma, float* const* out)
{
    SigmaBlock(values, rounded, stride, g, rows, cols, sigma, out);
}

void SigmaBlockPlain(const double* values, const double* rounded, int stride, int g, int rows, int cols,
                     float sigma, float* const* out)
{
    SigmaBlock(values, rounded, stride, g, rows, cols, sigma, out);
}

/// Sigma of a tile's outputs from its block of values.
void SigmaTested(const TileBlock& t, const double* values, const double* rounded, int g, float sigma,
                 float* const* out)
{
    std::vector<float*> rows(std::size_t(t.rows));
    for (int r = 0; r < t.rows; ++r) rows[std::size_t(r)] = out[t.top + r] + t.left;
    if (platform::UseAvx2())
        SigmaBlockAvx2(values, rounded, t.width, g, t.rows, t.cols, sigma, rows.data());
    else
        SigmaBlockPlain(values, rounded, t.width, g, t.rows, t.cols, sigma, rows.data());
}

#if defined(__x86_64__)

// ---- fixed-point sums (AVX-512) ------------------------------------------------------------
// Everything down to the end of this part runs only where platform::UseAvx512() holds.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl,avx512bw,avx512dq,avx2,fma")

// A tile's values times 2^scale, rounded to integers of at most 44 bits, plus one count unit of
// 2^54: a window of up to 289 of them sums below 2^63 with its count in the bits from 54 up.
// Values that are exactly such integers times 2^-scale also add up exactly as doubles in any
// order: their sums stay within 53 bits above 2^-scale.
constexpr int kFixedBits = 44;
constexpr int kCountShift = 54;
constexpr std::int64_t kCountUnit = std::int64_t(1) << kCountShift;

/// Output rows that share each load of the fixed-point kernel: more where the window has the
/// rows for them.
constexpr int kFixedRows = 8;
constexpr int FixedRowsFor(int g)
{
    return g >= 2 * kFixedRows - 1 ? kFixedRows : 4;
}

/// One tile as the fixed-point kernel reads it, and what it makes of it. Kept per band, so
/// that the tiles reuse the memory.
struct FixedTile {
    std::vector<float> tested;         ///< each value rounded to float; NaN in the padding
    std::vector<std::int64_t> packed;  ///< its integer plus the count unit
    std::vector<std::uint8_t> misses;  ///< 1 where the integer misses the value
    std::vector<std::int32_t> missed;  ///< prefix counts of those, over rows and columns
    std::vector<float> low, high;      ///< each output's bounds, kTileSide apart; NaN past the tile
    std::vector<std::int64_t> sums;    ///< each output's packed sum, kTileSide apart
    int scale = 0;
    bool exact = true;      ///< every value is exactly its integer
    bool oneSided = false;  ///< no value lies below any output's lower bound
    /// No value but a zero rounds to a float zero: a zero centre then keeps only zeros.
    bool zeroKeepsZeros = true;
};

/// The row-order Sigma of the one output whose window starts at values[0], rounding the
/// tested values on the way: the same tests and adds as SigmaLanes<double, 1>.
float SigmaOne(const double* values, int stride, int g, float sigma)
{
    const int k = g / 2;
    const double x = values[std::size_t(k) * std::size_t(stride) + k];
    const double low = double(float((1.0 - 2.0 * double(sigma)) * x));
    const double high = (1.0 + 2.0 * double(sigma)) * x;
    double sum = 0.0;
    std::int64_t count = 0;
    for (int i = 0; i < g; ++i) {
        const double* row = values + std::size_t(i) * std::size_t(stride);
        for (int j = 0; j < g; ++j) {
            const double f = double(float(row[j]));
            if (f >= low && f <= high) {
                sum += row[j];
                ++count;
            }
        }
    }
    return count ? float(sum / double(count)) : 0.0f;
}

/// Lanes [0, n) of eight.
inline __mmask8 FirstLanes(int n)
{
    return n >= 8 ? __mmask8(0xFF) : __mmask8((1u << n) - 1);
}

// GCC 12 builds the unmasked forms of these from an undefined vector, and then warns about
// it: the zero-masked forms with every lane on are the same instructions.
constexpr __mmask8 kAll = 0xFF;
inline __m256 ToFloats(__m512d v)
{
    return _mm512_maskz_cvtpd_ps(kAll, v);
}
inline __m512d ToDoubles(__m256 v)
{
    return _mm512_maskz_cvtps_pd(kAll, v);
}

/// The largest float not above each h (h itself where it is a float, NaN for NaN).
inline __m256 FloatsAtMost(__m512d h)
{
    const __m256 f = ToFloats(h);
    const __mmask8 above = _mm512_cmp_pd_mask(ToDoubles(f), h, _CMP_GT_OQ);
    // One step down: towards zero above it, away from it below, and from a zero to -2^-149.
    const __m256i bits = _mm256_castps_si256(f), one = _mm256_set1_epi32(1);
    const __mmask8 positive = _mm256_cmp_ps_mask(f, _mm256_setzero_ps(), _CMP_GT_OQ);
    const __mmask8 negative = _mm256_cmp_ps_mask(f, _mm256_setzero_ps(), _CMP_LT_OQ);
    __m256i down = _mm256_set1_epi32(std::int32_t(0x80000001u));
    down = _mm256_mask_sub_epi32(down, positive, bits, one);
    down = _mm256_mask_add_epi32(down, negative, bits, one);
    return _mm256_castsi256_ps(_mm256_mask_mov_epi32(bits, above, down));
}

/// Fills `ft` for the tile's block of values; false where the tile must take the row-order
/// sums (an infinity, or magnitudes that 2^scale could not carry to 44 bits and back).
bool PrepareFixed(const TileBlock& t, const double* values, int g, float sigma, FixedTile& ft)
{
    const int count = t.width * t.height;
    const __m512d nans = _mm512_set1_pd(std::numeric_limits<double>::quiet_NaN());
    const __m512d magnitude = _mm512_castsi512_pd(_mm512_set1_epi64(0x7FFFFFFFFFFFFFFF));
    // The maxima and minima skip NaN: it is never kept, whatever it sits beside.
    __m512d largest = _mm512_setzero_pd(), smallest = _mm512_set1_pd(std::numeric_limits<double>::infinity());
    for (int i = 0; i < count; i += 8) {
        const __m512d v = _mm512_mask_loadu_pd(nans, FirstLanes(count - i), values + i);
        largest = _mm512_maskz_max_pd(kAll, _mm512_and_pd(v, magnitude), largest);
        smallest = _mm512_maskz_min_pd(kAll, v, smallest);
    }
    alignas(64) double larges[8], smalls[8];
    _mm512_store_pd(larges, largest);
    _mm512_store_pd(smalls, smallest);
    const double big = *std::max_element(larges, larges + 8);
    if (!(big <= 0x1p900) || (big < 0x1p-900 && big != 0.0)) return false;
    int exponent = 0;
    std::frexp(big, &exponent);
    ft.scale = kFixedBits - exponent;
    const __m512d up = _mm512_set1_pd(std::ldexp(1.0, ft.scale)),
                  down = _mm512_set1_pd(std::ldexp(1.0, -ft.scale));

    // Rows past the block (up to kFixedRows - 1 outputs below the last) and 8 columns past
    // its end hold NaN, which no output keeps.
    const std::size_t padded = std::size_t(t.width) * std::size_t(t.height + kFixedRows - 1) + 8;
    ft.tested.resize(padded + 8);
    ft.packed.resize(padded + 8);
    ft.misses.resize(std::size_t(count) + 8);
    // Adding and taking away 1.5 * 2^52 rounds to an integer below 2^51.
    const __m512d round = _mm512_set1_pd(0x1.8p52);
    const __m512i unit = _mm512_set1_epi64(kCountUnit);
    __mmask8 missedAny = 0, flushedAny = 0;
    for (int i = 0; i < count; i += 8) {
        const __mmask8 in = FirstLanes(count - i);
        const __m512d v = _mm512_maskz_loadu_pd(in, values + i);
        const __m512d q = _mm512_sub_pd(_mm512_add_pd(_mm512_mul_pd(v, up), round), round);
        const __mmask8 number = _mm512_cmp_pd_mask(v, v, _CMP_ORD_Q);
        const __mmask8 missed = _mm512_mask_cmp_pd_mask(number & in, _mm512_mul_pd(q, down), v, _CMP_NEQ_OQ);
        missedAny |= missed;
        const __m256 tested = ToFloats(v);
        // Values far below the smallest float, which a zero centre keeps with their sign.
        flushedAny |= _mm512_mask_cmp_pd_mask(number & in, v, _mm512_setzero_pd(), _CMP_NEQ_OQ) &
                      _mm256_cmp_ps_mask(tested, _mm256_setzero_ps(), _CMP_EQ_OQ);
        _mm256_storeu_ps(ft.tested.data() + i, tested);
        _mm512_storeu_si512(ft.packed.data() + i,
                            _mm512_maskz_add_epi64(number, _mm512_cvtpd_epi64(q), unit));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(ft.misses.data() + i), _mm_maskz_set1_epi8(missed, 1));
    }
    std::fill(ft.tested.begin() + count, ft.tested.end(), std::numeric_limits<float>::quiet_NaN());
    std::fill(ft.packed.begin() + count, ft.packed.end(), 0);
    ft.exact = missedAny == 0;
    ft.zeroKeepsZeros = flushedAny == 0;
    if (!ft.exact) {
        const int w = t.width + 1;
        // 8 more: the outputs read the counts eight columns at a time.
        ft.missed.resize(std::size_t(w) * std::size_t(t.height + 1) + 8);
        std::fill(ft.missed.begin(), ft.missed.begin() + w, 0);
        for (int y = 0; y < t.height; ++y) {
            const std::uint8_t* flags = ft.misses.data() + std::size_t(y) * std::size_t(t.width);
            const std::int32_t* above = ft.missed.data() + std::size_t(y) * w;
            std::int32_t* here = ft.missed.data() + std::size_t(y + 1) * w;
            std::int32_t run = 0;
            here[0] = 0;
            for (int x = 0; x < t.width; ++x) {
                run += flags[x];
                here[x + 1] = above[x + 1] + run;
            }
        }
    }

    // The bounds exactly as the row-order test forms them, the upper one as the largest float
    // not above it, so that floats compare as the doubles did. Outputs past the tile get NaN.
    const int k = g / 2;
    const __m512d lowFactor = _mm512_set1_pd(1.0 - 2.0 * double(sigma)),
                  highFactor = _mm512_set1_pd(1.0 + 2.0 * double(sigma));
    const __m256 floatNans = _mm256_set1_ps(std::numeric_limits<float>::quiet_NaN());
    const std::size_t cells = std::size_t(kTileSide) * std::size_t(kTileSide + kFixedRows - 1);
    ft.low.resize(cells);
    ft.high.resize(cells);
    __m256 lowest = _mm256_set1_ps(-std::numeric_limits<float>::infinity());
    const int group = FixedRowsFor(g);
    const int rows = (t.rows + group - 1) / group * group;
    for (int r = 0; r < rows; ++r) {
        float* lowRow = ft.low.data() + std::size_t(r) * kTileSide;
        float* highRow = ft.high.data() + std::size_t(r) * kTileSide;
        const double* centre = values + std::size_t(r + k) * std::size_t(t.width) + k;
        for (int c = 0; c < t.cols; c += 8) {
            const __mmask8 in = r < t.rows ? FirstLanes(t.cols - c) : __mmask8(0);
            const __m512d x = _mm512_maskz_loadu_pd(in, centre + c);
            const __m256 lo = ToFloats(_mm512_mul_pd(lowFactor, x));
            // Where the lower bound is NaN no value is kept: the upper one is made NaN too.
            const __mmask8 ordered = _mm256_cmp_ps_mask(lo, lo, _CMP_ORD_Q) & in;
            const __m256 hi = FloatsAtMost(_mm512_mul_pd(highFactor, x));
            _mm256_storeu_ps(lowRow + c, _mm256_mask_mov_ps(floatNans, in, lo));
            _mm256_storeu_ps(highRow + c, _mm256_mask_mov_ps(floatNans, ordered, hi));
            lowest = _mm256_mask_max_ps(lowest, ordered, lo, lowest);
        }
    }
    alignas(32) float lows[8];
    _mm256_store_ps(lows, lowest);
    // Rounding to float keeps the order, so the smallest value's float is the smallest float.
    ft.oneSided = float(*std::min_element(smalls, smalls + 8)) >= *std::max_element(lows, lows + 8);
    return true;
}

/// Adds block rows [rho0, rho1) to the sums of output rows LA..LB of a group of 8 x kFixedRows
/// outputs; block row rho is window row rho - l of output row l.
template <bool kTwoSided, int LA, int LB>
[[gnu::always_inline]] inline void FixedRows(const float* tested, const std::int64_t* packed, int stride,
                                             int g, int rho0, int rho1, const __m256* low, const __m256* high,
                                             __m512i* sums)
{
    for (int rho = rho0; rho < rho1; ++rho) {
        const float* f = tested + std::size_t(rho) * std::size_t(stride);
        const std::int64_t* p = packed + std::size_t(rho) * std::size_t(stride);
        for (int j = 0; j < g; ++j) {
            const __m256 v = _mm256_loadu_ps(f + j);
            const __m512i q = _mm512_loadu_si512(p + j);
#pragma GCC unroll 8
            for (int l = LA; l <= LB; ++l) {
                __mmask8 keep = _mm256_cmp_ps_mask(v, high[l], _CMP_LE_OQ);
                if constexpr (kTwoSided) keep = _mm256_mask_cmp_ps_mask(keep, v, low[l], _CMP_GE_OQ);
                sums[l] = _mm512_mask_add_epi64(sums[l], keep, sums[l], q);
            }
        }
    }
}

/// The packed sums of a tile's outputs, kRows output rows sharing each load; g >= kRows - 1.
template <bool kTwoSided, int kRows>
void FixedSums(const TileBlock& t, int g, FixedTile& ft)
{
    const int w = t.width;
    for (int r0 = 0; r0 < t.rows; r0 += kRows)
        for (int c = 0; c < t.cols; c += 8) {
            __m256 low[kRows], high[kRows];
            __m512i sums[kRows];
            for (int l = 0; l < kRows; ++l) {
                const std::size_t at = std::size_t(r0 + l) * kTileSide + c;
                low[l] = _mm256_loadu_ps(ft.low.data() + at);
                high[l] = _mm256_loadu_ps(ft.high.data() + at);
                sums[l] = _mm512_setzero_si512();
            }
            const std::size_t at = std::size_t(r0) * std::size_t(w) + c;
            const float* f = ft.tested.data() + at;
            const std::int64_t* p = ft.packed.data() + at;
            // The first kRows - 1 block rows reach only the upper output rows, the last
            // kRows - 1 only the lower ones, and those between all of them.
            [&]<int... L>(std::integer_sequence<int, L...>)
            {
                (FixedRows<kTwoSided, 0, L>(f, p, w, g, L, L + 1, low, high, sums), ...);
                FixedRows<kTwoSided, 0, kRows - 1>(f, p, w, g, kRows - 1, g, low, high, sums);
                (FixedRows<kTwoSided, L + 1, kRows - 1>(f, p, w, g, g + L, g + L + 1, low, high, sums), ...);
            }
            (std::make_integer_sequence<int, kRows - 1>{});
            for (int l = 0; l < kRows; ++l)
                _mm512_storeu_si512(ft.sums.data() + std::size_t(r0 + l) * kTileSide + c, sums[l]);
        }
}

// Bounds on the row-order sum: it rounds its n adds by at most (n - 1) 2^-53 times the sum of
// the kept magnitudes, and a kept value is no larger than the larger of its window's bounds
// (past its own rounding to float, and the least float). A value that its integer misses is
// off it by at most half a unit of 2^-scale. Each bound is widened by a hundredth, and by its
// own rounding, before it is used. Division and rounding never reverse an order, so where
// both ends of a bound give one float, the row-order mean gives it too.

/// The largest magnitude a value kept between lo and hi may have.
inline double KeptMagnitude(double lo, double hi)
{
    return std::max(std::fabs(lo), std::fabs(hi)) * (1.0 + 0x1p-23) + 0x1p-149;
}

/// The output at (r, c), whose first bound did not settle it: the kept values' differences
/// from their integers are added up, which narrows the bound to the row order's own; and the
/// rare window that is still not settled is summed in row order.
float PreciseOutput(const TileBlock& t, const double* values, int g, float sigma, const FixedTile& ft, int r,
                    int c, std::int64_t n, double sum)
{
    const std::size_t first = std::size_t(r) * std::size_t(t.width) + c;
    const std::size_t at = std::size_t(r) * kTileSide + c;
    const float lo = ft.low[at], hi = ft.high[at];
    // The differences are exact: a value and its integer are within a factor of two, or the
    // integer is 0. Eight at a time.
    const __m512d down = _mm512_set1_pd(std::ldexp(1.0, -ft.scale));
    const __m512i countUnit = _mm512_set1_epi64(kCountUnit);
    const __m512d magnitude = _mm512_castsi512_pd(_mm512_set1_epi64(0x7FFFFFFFFFFFFFFF));
    const __m256 low = _mm256_set1_ps(lo), high = _mm256_set1_ps(hi);
    __m512d rest = _mm512_setzero_pd(), restMagnitude = _mm512_setzero_pd();
    for (int i = 0; i < g; ++i) {
        const std::size_t row = first + std::size_t(i) * std::size_t(t.width);
        for (int j = 0; j < g; j += 8) {
            const __mmask8 in = FirstLanes(g - j);
            const __m256 f = _mm256_maskz_loadu_ps(in, ft.tested.data() + row + j);
            const __mmask8 keep =
                _mm256_mask_cmp_ps_mask(_mm256_mask_cmp_ps_mask(in, f, low, _CMP_GE_OQ), f, high, _CMP_LE_OQ);
            const __m512d v = _mm512_maskz_loadu_pd(keep, values + row + j);
            const __m512i q =
                _mm512_sub_epi64(_mm512_maskz_loadu_epi64(keep, ft.packed.data() + row + j), countUnit);
            const __m512d difference = _mm512_sub_pd(v, _mm512_mul_pd(_mm512_cvtepi64_pd(q), down));
            rest = _mm512_mask_add_pd(rest, keep, rest, difference);
            restMagnitude =
                _mm512_mask_add_pd(restMagnitude, keep, restMagnitude, _mm512_and_pd(difference, magnitude));
        }
    }
    alignas(64) double rests[8], magnitudes[8];
    _mm512_store_pd(rests, rest);
    _mm512_store_pd(magnitudes, restMagnitude);
    double restSum = 0.0, restBound = 0.0;
    for (int p = 0; p < 8; ++p) {
        restSum += rests[p];
        restBound += magnitudes[p];
    }
    const double dn = double(n);
    // Where every kept value is its integer, both sums are exact, whatever else the window holds.
    if (restBound == 0.0) return float(sum / dn);
    // Each difference takes part in at most n + 7 roundings of the lanes and their total, and
    // their sum in one more.
    const double closer = sum + restSum;
    const double bound =
        (dn * dn * 0x1p-53 * KeptMagnitude(lo, hi) + (dn + 8.0) * 0x1p-53 * restBound) * 1.01 +
        std::fabs(closer) * 0x1p-50;
    const float lowest = float((closer - bound) / dn), highest = float((closer + bound) / dn);
    if (lowest == lowest && std::bit_cast<std::uint32_t>(lowest) == std::bit_cast<std::uint32_t>(highest))
        return lowest;
    return SigmaOne(values + first, t.width, g, sigma);
}

/// The outputs of a tile from its packed sums.
void FixedOutputs(const TileBlock& t, const double* values, int g, float sigma, const FixedTile& ft,
                  float* const* out)
{
    const double unit = std::ldexp(1.0, -ft.scale);
    const __m512d down = _mm512_set1_pd(unit);
    const __m512i half = _mm512_set1_epi64(kCountUnit / 2);
    const __m512d magnitude = _mm512_castsi512_pd(_mm512_set1_epi64(0x7FFFFFFFFFFFFFFF));
    const int w = t.width + 1, k = g / 2;
    for (int r = 0; r < t.rows; ++r) {
        float* dst = out[t.top + r] + t.left;
        const std::int64_t* sums = ft.sums.data() + std::size_t(r) * kTileSide;
        for (int c = 0; c < t.cols; c += 8) {
            const __mmask8 in = FirstLanes(t.cols - c);
            const __m512i packed = _mm512_loadu_si512(sums + c);
            const __m512i n = _mm512_maskz_srai_epi64(kAll, _mm512_add_epi64(packed, half), kCountShift);
            const __m512d dn = _mm512_cvtepi64_pd(n);
            // Below 2^53 in magnitude, so exact as a double; and the scale is a power of two.
            const __m512d sum = _mm512_mul_pd(
                _mm512_cvtepi64_pd(_mm512_sub_epi64(packed, _mm512_maskz_slli_epi64(kAll, n, kCountShift))),
                down);
            const __mmask8 some = _mm512_test_epi64_mask(n, n);
            // No value kept: 0.
            __m256 mean = ToFloats(_mm512_maskz_div_pd(some, sum, dn));
            if (ft.exact) {
                _mm256_mask_storeu_ps(dst + c, in, mean);
                continue;
            }
            const std::int32_t* top = ft.missed.data() + std::size_t(r) * w + c;
            const std::int32_t* bottom = top + std::size_t(g) * w;
            const __m256i missed = _mm256_add_epi32(
                _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + g)),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom))),
                _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(top)),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + g))));
            __mmask8 open = in & some & ~_mm256_cmpeq_epi32_mask(missed, _mm256_setzero_si256());
            if (open && ft.zeroKeepsZeros) {
                // A centre of zero keeps only zeros, whose row-order sum is +0.
                const double* centre = values + std::size_t(r + k) * std::size_t(t.width) + c + k;
                const __mmask8 zero = _mm512_mask_cmp_pd_mask(open, _mm512_maskz_loadu_pd(open, centre),
                                                              _mm512_setzero_pd(), _CMP_EQ_OQ);
                mean = _mm256_mask_mov_ps(mean, zero, _mm256_setzero_ps());
                open &= ~zero;
            }
            if (open) {
                // The first bound, from the count of missed values in the window.
                const std::size_t at = std::size_t(r) * kTileSide + c;
                const __m512d lo = ToDoubles(_mm256_loadu_ps(ft.low.data() + at)),
                              hi = ToDoubles(_mm256_loadu_ps(ft.high.data() + at));
                const __m512d largest = _mm512_add_pd(
                    _mm512_mul_pd(
                        _mm512_maskz_max_pd(kAll, _mm512_and_pd(lo, magnitude), _mm512_and_pd(hi, magnitude)),
                        _mm512_set1_pd(1.0 + 0x1p-23)),
                    _mm512_set1_pd(0x1p-149));
                const __m512d misses = _mm512_maskz_cvtepi32_pd(kAll, missed);
                const __m512d bound = _mm512_add_pd(
                    _mm512_mul_pd(
                        _mm512_add_pd(_mm512_mul_pd(misses, _mm512_set1_pd(0.5 * unit)),
                                      _mm512_mul_pd(_mm512_mul_pd(dn, dn),
                                                    _mm512_mul_pd(largest, _mm512_set1_pd(0x1p-53)))),
                        _mm512_set1_pd(1.01)),
                    _mm512_mul_pd(_mm512_and_pd(sum, magnitude), _mm512_set1_pd(0x1p-50)));
                const __m256 lowest = ToFloats(_mm512_maskz_div_pd(open, _mm512_sub_pd(sum, bound), dn));
                const __m256 highest = ToFloats(_mm512_maskz_div_pd(open, _mm512_add_pd(sum, bound), dn));
                const __mmask8 settled =
                    open & _mm256_cmp_ps_mask(lowest, lowest, _CMP_ORD_Q) &
                    _mm256_cmpeq_epi32_mask(_mm256_castps_si256(lowest), _mm256_castps_si256(highest));
                mean = _mm256_mask_mov_ps(mean, settled, lowest);
                open &= ~settled;
            }
            _mm256_mask_storeu_ps(dst + c, in & ~open, mean);
            if (open) {
                alignas(64) std::int64_t counts[8];
                alignas(64) double totals[8];
                _mm512_store_si512(counts, n);
                _mm512_store_pd(totals, sum);
                for (int p = 0; p < 8; ++p)
                    if (open >> p & 1)
                        dst[c + p] = PreciseOutput(t, values, g, sigma, ft, r, c + p, counts[p], totals[p]);
            }
        }
    }
}

/// Sigma of a tile's outputs through the fixed-point sums; false where the tile must take the
/// row-order sums.
bool SigmaFixed(const TileBlock& t, const double* values, int g, float sigma, FixedTile& ft,
                float* const* out)
{
    if (!PrepareFixed(t, values, g, sigma, ft)) return false;
    ft.sums.resize(std::size_t(kTileSide) * std::size_t(kTileSide + kFixedRows - 1));
    const bool large = FixedRowsFor(g) == kFixedRows;
    if (ft.oneSided)
        (large ? FixedSums<false, kFixedRows> : FixedSums<false, 4>)(t, g, ft);
    else
        (large ? FixedSums<true, kFixedRows> : FixedSums<true, 4>)(t, g, ft);
    FixedOutputs(t, values, g, sigma, ft, out);
    return true;
}

#pragma GCC pop_options

#endif

template <class T>
void SigmaBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first, std::int64_t last,
               float* const* out, const std::atomic<bool>* stop)
{
    std::vector<double> rounded;
#if defined(__x86_64__)
    const bool fixed = platform::UseAvx512();
    FixedTile ft;
#endif
    ForEachTile<T>(in, spec.window, first, last, stop, [&](const TileBlock& t, const double* values) {
#if defined(__x86_64__)
        if (fixed && SigmaFixed(t, values, spec.window, spec.sigma, ft, out)) return;
#endif
        const int count = t.width * t.height;
        rounded.resize(std::size_t(count));
        for (int i = 0; i < count; ++i) rounded[std::size_t(i)] = double(float(values[i]));
        SigmaTested(t, values, rounded.data(), spec.window, spec.sigma, out);
    });
}

}  // namespace

void FilterSigmaBand(int type, const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                     std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    visitSampleType(type, [&]<class T>(Tag<T>) { SigmaBand<T>(in, spec, first, last, out, stop); });
}

}  // namespace noise_detail
