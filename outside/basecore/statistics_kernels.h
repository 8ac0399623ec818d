#pragma once

// The per-sample maths of the layer statistics and what one band of rows computes: bins,
// amplitudes and phases, extremes, sums. Pure functions over runs of samples; no threads,
// no meter. Internal to basecore.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"

namespace statistics_detail {

/// The bins of lo..hi: a value v lies in bin floor((v - lo) / w) with w = (hi - lo) / bins,
/// the quotient rounded as a division rounds it. NaN and values below lo count in bin 0,
/// hi and above in the last bin; an empty or non-finite range puts everything in bin 0.
class BinRule {
public:
    BinRule(double lo, double hi, int bins) : m_lo(lo), m_last(double(bins - 1))
    {
        const double range = hi - lo;
        if (std::isfinite(range) && range > 0 && std::isfinite(lo)) m_width = range / double(bins);
    }
    int operator()(double v) const { return Clamp((v - m_lo) / m_width); }
    /// The bin of a quotient (v - lo) / w.
    int Clamp(double q) const
    {
        q = q > 0.0 ? q : 0.0;
        q = q < m_last ? q : m_last;
        return static_cast<int>(q);
    }
    double Lo() const { return m_lo; }
    double Width() const { return m_width; }
    double Last() const { return m_last; }

private:
    double m_lo;
    double m_last;
    double m_width = std::numeric_limits<double>::infinity();
};

/// An upper bound of |FastPhases - atan2| (the vector arc tangent is good to a few ulp).
inline constexpr double kPhaseError = 1e-14;

/// An upper bound of |coarse phase - atan2|: single precision arc tangent (3.5 ulp of pi)
/// of parts rounded to single precision, with room to spare.
inline constexpr double kCoarsePhaseError = 4e-6;
/// Parts whose coarse phase is taken: well inside the normal single precision numbers.
inline constexpr double kCoarsePartLo = 0x1p-100;
inline constexpr double kCoarsePartHi = 0x1p100;

/// Samples a complex kernel handles at a time: parts as doubles, amplitudes, phases.
inline constexpr int kChunk = 256;
struct ComplexChunk {
    alignas(64) double re[kChunk];
    alignas(64) double im[kChunk];
    alignas(64) double amp[kChunk];
    alignas(64) double phase[kChunk];
    int n = 0;
};

/// Fills amp (Amplitude, exactly) and phase (within kPhaseError of atan2; exactly atan2
/// where a part is zero or not finite) for the first n parts of the chunk, vectorised. A
/// sample with a NaN part becomes NaN in all four arrays. A coarse phase is only within
/// kCoarsePhaseError of atan2 (still exact where a part is zero or not finite).
void AmplitudesAndPhases(ComplexChunk& c, bool coarse = false);

/// Leaves the upper halves of the vector registers clean, so that the 128-bit code of this
/// thread and the library calls it makes do not pay for a switch between vector widths
/// (threads inherit a dirty state from the thread that created them).
void ClearUpperVectorState();

template <class T>
void LoadChunk(const T* p, int n, ComplexChunk& c, bool coarse = false)
{
    for (int k = 0; k < n; ++k) {
        c.re[k] = double(re(p[k]));
        c.im[k] = double(im(p[k]));
    }
    c.n = n;
    AmplitudesAndPhases(c, coarse);
}

/// LoadChunk(p, n, c) of single precision samples in one vector pass where the machine has
/// AVX2, the same to the bit; false (c not to be relied on) where n is not a multiple of eight
/// or a part is zero, infinite or NaN (the careful formulas).
bool LoadFloatChunk(const std::complex<float>* p, int n, ComplexChunk& c);

/// Sums of one component over one band, taken from `shift` so that they stay small.
/// Infinite values are counted apart: they decide the mean and deviation alone.
struct MomentAcc {
    double shift = 0.0;
    bool shifted = false;
    double sum = 0.0;
    double sum2 = 0.0;
    std::uint64_t n = 0;  ///< finite values summed
    std::uint64_t posInf = 0;
    std::uint64_t negInf = 0;

    void Add(double v)
    {
        if (v == std::numeric_limits<double>::infinity()) {
            ++posInf;
        } else if (v == -std::numeric_limits<double>::infinity()) {
            ++negInf;
        } else {
            if (!shifted) {
                shift = v;
                shifted = true;
            }
            const double d = v - shift;
            sum += d;
            sum2 += d * d;
            ++n;
        }
    }
    /// Clears the sums (keeping a shift given from outside) before a careful recount.
    void ResetSums()
    {
        if (!std::isfinite(shift)) shifted = false;
        sum = sum2 = 0.0;
        n = posInf = negInf = 0;
    }
    bool Finite() const { return std::isfinite(sum) && std::isfinite(sum2); }
};

/// Mean and population deviation of values whose sums are given per band, merged in band
/// order (Chan's pairwise update), so that they do not depend on the thread count. Any
/// infinite value makes the deviation infinite and the mean that infinity (NaN when both
/// signs occur), whichever way the statistics were computed.
inline void MergeMoments(const MomentAcc* bands, size_t count, double* mean, double* sd)
{
    double m = 0, m2 = 0;
    std::uint64_t n = 0, pos = 0, neg = 0;
    for (size_t k = 0; k < count; ++k) {
        const MomentAcc& b = bands[k];
        pos += b.posInf;
        neg += b.negInf;
        if (!b.n) continue;
        const double bn = double(b.n);
        const double bMean = b.shift + b.sum / bn;
        const double bM2 = std::max(0.0, b.sum2 - b.sum * b.sum / bn);
        const double total = double(n) + bn;
        const double delta = bMean - m;
        m += delta * bn / total;
        m2 += bM2 + delta * delta * double(n) * bn / total;
        n += b.n;
    }
    if (pos || neg) {
        constexpr double inf = std::numeric_limits<double>::infinity();
        *mean = pos && neg ? std::numeric_limits<double>::quiet_NaN() : (pos ? inf : -inf);
        *sd = inf;
    } else if (n) {
        *mean = m;
        *sd = std::sqrt(m2 / double(n));
    } else {
        *mean = 0.0;
        *sd = 0.0;
    }
}

/// Exact sums of 32-bit integer values over one band, taken from the band's first value.
struct IntMomentAcc {
    std::int64_t shift = 0;
    bool shifted = false;
    __int128 sum = 0;
    unsigned __int128 sum2 = 0;
    std::uint64_t n = 0;
};

template <class T>
void IntSumsRun(const T* p, int count, IntMomentAcc& acc)
{
    static_assert(std::is_integral_v<T> && sizeof(T) <= 4);
    if (count <= 0) return;
    if (!acc.shifted) {
        acc.shift = std::int64_t(p[0]);
        acc.shifted = true;
    }
    // A row's sum of differences (below 2^32 each) fits 64 bits; squares go to 128 bits.
    std::int64_t s = 0;
    unsigned __int128 q = 0;
    for (int x = 0; x < count; ++x) {
        const std::int64_t d = std::int64_t(p[x]) - acc.shift;
        s += d;
        const std::uint64_t a = static_cast<std::uint64_t>(d < 0 ? -d : d);
        q += static_cast<unsigned __int128>(a) * a;
    }
    acc.sum += s;
    acc.sum2 += q;
    acc.n += std::uint64_t(count);
}

/// Mean and deviation from exact integer band sums; the sums are moved to one common shift
/// exactly, so the result is the same for every cut into bands.
inline void MergeIntMoments(const IntMomentAcc* bands, size_t count, double* mean, double* sd)
{
    std::int64_t shift = 0;
    bool shifted = false;
    __int128 sum = 0, sum2 = 0;
    std::uint64_t n = 0;
    for (size_t k = 0; k < count; ++k) {
        const IntMomentAcc& b = bands[k];
        if (!b.n) continue;
        if (!shifted) {
            shift = b.shift;
            shifted = true;
        }
        // sum over the band of (v - S) = sum(d) + n·δ; of (v - S)² = sum(d²) + 2δ·sum(d) + n·δ².
        const __int128 delta = b.shift - shift;
        sum += b.sum + __int128(b.n) * delta;
        sum2 += __int128(b.sum2) + 2 * delta * b.sum + __int128(b.n) * delta * delta;
        n += b.n;
    }
    if (!n) {
        *mean = *sd = 0.0;
        return;
    }
    const long double ln = static_cast<long double>(n);
    const long double ls = static_cast<long double>(sum);
    *mean = static_cast<double>(static_cast<long double>(shift) + ls / ln);
    const long double m2 = static_cast<long double>(sum2) - ls * ls / ln;
    *sd = static_cast<double>(std::sqrt(std::max(0.0L, m2) / ln));
}

/// Extremes and sums of a run of floating samples from `shift`; NaN samples are left out
/// (they fail every comparison). Vectorised, in the widest vectors the machine has; `noNaN`
/// promises a run without NaN, which is then summed without masks (the same sums).
void FloatRun(const double* p, int count, double shift, double& lo, double& hi, double& sum, double& sum2,
              std::uint64_t& n, bool noNaN = false);
void FloatRun(const float* p, int count, double shift, double& lo, double& hi, double& sum, double& sum2,
              std::uint64_t& n);

/// The bins (BinRule) of n samples, `bins` for NaN: by the product with the reciprocal width
/// where the machine has AVX2, the rule's own division where that product lies near an edge.
void RealBinsOf(const float* p, int n, const BinRule& rule, int bins, int* out);
void RealBinsOf(const double* p, int n, const BinRule& rule, int bins, int* out);
void RealBinsOf(const std::int32_t* p, int n, const BinRule& rule, int bins, int* out);
void RealBinsOf(const std::uint32_t* p, int n, const BinRule& rule, int bins, int* out);

/// Counts a run of real samples into four interleaved histograms of `lane` cells each (so
/// that runs of equal samples do not wait on one counter); a NaN sample counts in the extra
/// cell `bins` of its lane. The bins of a block are found first, vectorised.
template <class T, class H>
void RealHistRun(const T* p, int count, const BinRule& rule, int bins, size_t lane, H* h)
{
    // Blocks of many chunks: what finding the bins costs per call stays small.
    constexpr int kBlock = 8 * kChunk;
    alignas(32) int idx[kBlock];
    for (int x0 = 0; x0 < count; x0 += kBlock) {
        const int m = std::min(kBlock, count - x0);
        RealBinsOf(p + x0, m, rule, bins, idx);
        int k = 0;
        for (; k + 4 <= m; k += 4) {
            ++h[idx[k]];
            ++h[lane + size_t(idx[k + 1])];
            ++h[2 * lane + size_t(idx[k + 2])];
            ++h[3 * lane + size_t(idx[k + 3])];
        }
        for (; k < m; ++k) ++h[idx[k]];
    }
}

/// The careful recount of a run's sums: infinite values counted apart.
template <class T>
void CarefulSums(const T* p, int count, MomentAcc& acc)
{
    for (int x = 0; x < count; ++x) {
        const double v = double(p[x]);
        if (v == v) acc.Add(v);
    }
}

/// The first number of a run (the shift of a band's sums), or false.
template <class T>
bool FirstNumber(const T* p, int count, double* v)
{
    for (int x = 0; x < count; ++x) {
        const double d = double(p[x]);
        if (std::isfinite(d)) {
            *v = d;
            return true;
        }
    }
    return false;
}

/// Extremes, sums and counts of the four components (amplitude, phase, real, imaginary) of
/// complex samples over one band.
struct ComplexAcc {
    double lo[4];
    double hi[4];
    MomentAcc sums[4];
    std::uint64_t count = 0;  ///< samples without a NaN part
    ComplexAcc()
    {
        std::fill(lo, lo + 4, std::numeric_limits<double>::infinity());
        std::fill(hi, hi + 4, -std::numeric_limits<double>::infinity());
    }
};

/// The bins (BinRule) of n values, vectorised.
void BinsOf(const double* v, int n, double lo, double width, double last, int* out);
inline void BinsOf(const double* v, int n, const BinRule& rule, int* out)
{
    BinsOf(v, n, rule.Lo(), rule.Width(), rule.Last(), out);
}
/// The bins of n values by the product with `scale`, the reciprocal width; -1 where the
/// quotient lies within `near` of a bin edge (where the product and the rule's division may
/// disagree).
void NearBinsOf(const double* v, int n, double lo, double scale, double last, double near, int* out);

/// Where NearBinsOf puts the values of one component: lo, 1 / width, last bin, margin.
struct NearBinParams {
    double lo = 0.0;
    double scale = 0.0;
    double last = 0.0;
    double near = 0.0;
};

/// Parts whose components a single precision vector pass bins: their squares and sums of
/// squares stay normal single precision numbers.
inline constexpr float kFloatBinPartLo = 0x1p-60f;
inline constexpr float kFloatBinPartHi = 0x1p60f;

/// Where ExactBinsOfChunk puts the values of one component, in single precision: lo,
/// 1 / width, last bin, and the margin from a bin edge inside which the bin is found exactly.
struct FloatBinParams {
    float lo = 0.0f;
    float scale = 0.0f;
    float last = 0.0f;
    float near = 0.0f;
};

/// The single precision parameters of a rule whose values are known within `error`; false
/// where single precision cannot bin it within a useful margin (an empty, huge or tiny range).
bool FloatBinsFor(const BinRule& rule, double error, int bins, FloatBinParams* out);

/// The bins of the amplitude, phase, real and imaginary parts of n single precision complex
/// samples in out[0..3], exactly those of `rules` applied to Amplitude, atan2 and the parts:
/// found in single precision vectors where the machine has AVX2, and from the exact values
/// for every component that lies near a bin edge. False (out not to be relied on) where that
/// pass does not apply: no AVX2, n not a multiple of eight, or a part that is zero, outside
/// kFloatBinPartLo..kFloatBinPartHi, infinite or NaN.
bool ExactBinsOfChunk(const std::complex<float>* p, int n, const FloatBinParams* params, const BinRule* rules,
                      int (*out)[kChunk]);

/// What ComplexRun computes: extremes, sums, histograms (any of them).
enum ComplexWork : unsigned { kExtremes = 1, kSums = 2, kHist = 4 };

/// One run of complex samples: extremes (the phase's exact, from atan2 wherever the fast
/// phase may be a new extreme), sums, and counts into `hist` (four blocks of `bins`: amplitude,
/// phase, real, imaginary; the phase's bin exact wherever the fast phase lies near an edge).
/// Extremes and sums go component by component over a chunk, vectorised.
template <unsigned kWork, class T, class H>
void ComplexRun(const T* p, int count, ComplexAcc& acc, const BinRule* rules, int bins, H* hist)
{
    ComplexChunk c;
    alignas(32) int idx[4][kChunk];
    // The histograms alone need the phase only to find its bin: a coarse one will do.
    constexpr bool kCoarse = (kWork & (kExtremes | kSums)) == 0;
    // A bin is found by the product with the reciprocal width; a quotient this close to a bin
    // edge is marked -1 and divided exactly below (for the phase: from the exact angle).
    NearBinParams params[4];
    if constexpr ((kWork & kHist) != 0) {
        for (int j = 0; j < 4; ++j) {
            const double error = j == 1 ? (kCoarse ? kCoarsePhaseError : kPhaseError) : 0.0;
            const double width = rules[j].Width();
            params[j] = {rules[j].Lo(), 1.0 / width, rules[j].Last(),
                         std::isfinite(width) ? error / width + double(bins) * 0x1p-50 : 0.0};
        }
    }
    // Single precision complex samples are binned in one single precision vector pass.
    constexpr bool kFloatPass = kCoarse && std::is_same_v<T, std::complex<float>>;
    FloatBinParams floatParams[4];
    bool floatPass = false;
    if constexpr (kFloatPass) {
        floatPass = true;
        for (int j = 0; j < 4; ++j)
            floatPass =
                floatPass && FloatBinsFor(rules[j], j == 1 ? kCoarsePhaseError : 0.0, bins, &floatParams[j]);
    }
    for (int x0 = 0; x0 < count; x0 += kChunk) {
        const int m = std::min(kChunk, count - x0);
        if constexpr (kFloatPass) {
            if (floatPass && ExactBinsOfChunk(p + x0, m, floatParams, rules, idx)) {
                for (int k = 0; k < m; ++k) {
                    ++hist[size_t(idx[0][k])];
                    ++hist[size_t(bins) + size_t(idx[1][k])];
                    ++hist[2 * size_t(bins) + size_t(idx[2][k])];
                    ++hist[3 * size_t(bins) + size_t(idx[3][k])];
                }
                acc.count += std::uint64_t(m);
                continue;
            }
        }
        bool loaded = false;
        if constexpr (!kCoarse && std::is_same_v<T, std::complex<float>>)
            loaded = LoadFloatChunk(p + x0, m, c);
        if (!loaded) LoadChunk(p + x0, m, c, kCoarse);
        if constexpr ((kWork & (kExtremes | kSums)) != 0) {
            const double* comp[4] = {c.amp, c.phase, c.re, c.im};
            for (int j = 0; j < 4; ++j) {
                MomentAcc& s = acc.sums[j];
                if (!s.shifted && FirstNumber(comp[j], m, &s.shift)) s.shifted = true;
                // Sums are taken always (cheap) and kept only when asked for.
                double lo = j == 1 ? std::numeric_limits<double>::infinity() : acc.lo[j];
                double hi = j == 1 ? -std::numeric_limits<double>::infinity() : acc.hi[j];
                std::uint64_t n = 0;
                FloatRun(comp[j], m, s.shift, lo, hi, s.sum, s.sum2, n, loaded);
                s.n += n;
                if (j == 2) acc.count += n;
                if constexpr ((kWork & kExtremes) != 0) {
                    if (j != 1) {
                        acc.lo[j] = lo;
                        acc.hi[j] = hi;
                    } else if (lo < acc.lo[1] + kPhaseError || hi > acc.hi[1] - kPhaseError) {
                        // The exact phase only of the samples that may be new extremes.
                        for (int k = 0; k < m; ++k) {
                            const double g = c.phase[k];
                            if (g > acc.lo[1] + kPhaseError && g < acc.hi[1] - kPhaseError) continue;
                            if (!(g == g)) continue;
                            const double exact = std::atan2(c.im[k], c.re[k]);
                            acc.lo[1] = std::min(acc.lo[1], exact);
                            acc.hi[1] = std::max(acc.hi[1], exact);
                        }
                    }
                }
            }
        }
        if constexpr ((kWork & kHist) != 0) {
            const double* comp[4] = {c.amp, c.phase, c.re, c.im};
            for (int j = 0; j < 4; ++j)
                NearBinsOf(comp[j], m, params[j].lo, params[j].scale, params[j].last, params[j].near, idx[j]);
            std::uint64_t n = 0;
            for (int k = 0; k < m; ++k) {
                if (!(c.re[k] == c.re[k])) continue;  // a sample with a NaN part (all four marked)
                int b[4] = {idx[0][k], idx[1][k], idx[2][k], idx[3][k]};
                if ((b[0] | b[1] | b[2] | b[3]) < 0) [[unlikely]] {
                    if (b[0] < 0) b[0] = rules[0](c.amp[k]);
                    if (b[1] < 0) b[1] = rules[1](std::atan2(c.im[k], c.re[k]));
                    if (b[2] < 0) b[2] = rules[2](c.re[k]);
                    if (b[3] < 0) b[3] = rules[3](c.im[k]);
                }
                ++hist[size_t(b[0])];
                ++hist[size_t(bins) + size_t(b[1])];
                ++hist[2 * size_t(bins) + size_t(b[2])];
                ++hist[3 * size_t(bins) + size_t(b[3])];
                ++n;
            }
            if constexpr ((kWork & (kExtremes | kSums)) == 0) acc.count += n;
        }
    }
}

/// The careful recount of a complex run's sums: infinite components counted apart.
template <class T>
void CarefulComplexSums(const T* p, int count, ComplexAcc& acc)
{
    for (int x = 0; x < count; ++x) {
        const double r = double(re(p[x])), i = double(im(p[x]));
        if (!(r == r && i == i)) continue;
        acc.sums[0].Add(Amplitude(r, i));
        acc.sums[1].Add(std::atan2(i, r));
        acc.sums[2].Add(r);
        acc.sums[3].Add(i);
    }
}

}  // namespace statistics_detail
