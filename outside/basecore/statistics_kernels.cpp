#include "outside/basecore/statistics_kernels.h"

#include <bit>

#include "outside/basecore/vector_loads.h"
#include "platform/kernel/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#include <sleef.h>
#endif

#if defined(__x86_64__)
// Declared by sleef.h only where the whole file is built for AVX2 (AVX-512).
extern "C" __m256d Sleef_atan2d4_u35avx2(__m256d, __m256d);
extern "C" __m256 Sleef_atan2f8_u35avx2(__m256, __m256);
// The double form runs the AVX2 form's operations in every lane (the same constants, products
// and fused sums in the same order), so it returns the AVX2 form's results to the bit; the
// single precision form keeps the AVX2 form's bound, all that the bins rely on.
extern "C" __m512d Sleef_atan2d8_u35avx512f(__m512d, __m512d);
extern "C" __m512 Sleef_atan2f16_u35avx512f(__m512, __m512);
#endif

// The 256-bit vector helpers below are only ever inlined into their own clones.
#pragma GCC diagnostic ignored "-Wpsabi"
// GCC 12 takes the undefined first operand of its 512-bit intrinsics for an uninitialised value.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The clones of the AVX-512 paths (platform::UseAvx512()). The file is built without fused
// multiply-adds (CMakeLists.txt), so these clones round every product and sum as the AVX2
// and scalar code does.
#define STATS_AVX512 __attribute__((target("avx512f,avx512dq,avx512bw,avx512vl")))

namespace statistics_detail {

#if defined(__x86_64__)
namespace {

// The whole chunk in 256-bit code of one width; the compiler leaves the function with a
// vzeroupper, so the 128-bit code around it pays no penalty for the switch.
// `special` gets one bit per sample whose amplitude or phase needs the careful formula.
// Coarse phases come from single precision, eight at a time; parts beyond its comfortable
// range are marked special (and taken exactly) so that the bound holds for every sample.
// Starts at sample `k`, a multiple of four (of eight for coarse phases).
template <bool kCoarse>
__attribute__((target("avx2"))) int FastPartsAvx2(ComplexChunk& c, int k, unsigned char* special)
{
    const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m256d ampLo = _mm256_set1_pd(0x1p-484), ampHi = _mm256_set1_pd(0x1p510);
    const __m256d partLo = _mm256_set1_pd(kCoarse ? kCoarsePartLo : 0.0);
    const __m256d partHi = _mm256_set1_pd(kCoarse ? kCoarsePartHi : 0x1p1023);
    constexpr int kStep = kCoarse ? 8 : 4;
    for (; k + kStep <= c.n; k += kStep) {
        for (int h = 0; h < kStep; h += 4) {
            const __m256d r = _mm256_load_pd(c.re + k + h), i = _mm256_load_pd(c.im + k + h);
            const __m256d a = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(r, r), _mm256_mul_pd(i, i)));
            _mm256_store_pd(c.amp + k + h, a);
            if constexpr (!kCoarse) _mm256_store_pd(c.phase + k + h, Sleef_atan2d4_u35avx2(i, r));
            const __m256d ar = _mm256_and_pd(r, absMask), ai = _mm256_and_pd(i, absMask);
            __m256d ok =
                _mm256_and_pd(_mm256_cmp_pd(a, ampLo, _CMP_GE_OQ), _mm256_cmp_pd(a, ampHi, _CMP_LT_OQ));
            ok = _mm256_and_pd(ok, _mm256_and_pd(_mm256_cmp_pd(ar, partLo, _CMP_GT_OQ),
                                                 _mm256_cmp_pd(ar, partHi, _CMP_LT_OQ)));
            ok = _mm256_and_pd(ok, _mm256_and_pd(_mm256_cmp_pd(ai, partLo, _CMP_GT_OQ),
                                                 _mm256_cmp_pd(ai, partHi, _CMP_LT_OQ)));
            special[(k + h) / 4] = static_cast<unsigned char>(~_mm256_movemask_pd(ok) & 0xF);
        }
        if constexpr (kCoarse) {
            const __m256 r = _mm256_set_m128(_mm256_cvtpd_ps(_mm256_load_pd(c.re + k + 4)),
                                             _mm256_cvtpd_ps(_mm256_load_pd(c.re + k)));
            const __m256 i = _mm256_set_m128(_mm256_cvtpd_ps(_mm256_load_pd(c.im + k + 4)),
                                             _mm256_cvtpd_ps(_mm256_load_pd(c.im + k)));
            const __m256 g = Sleef_atan2f8_u35avx2(i, r);
            _mm256_store_pd(c.phase + k, _mm256_cvtps_pd(_mm256_castps256_ps128(g)));
            _mm256_store_pd(c.phase + k + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(g, 1)));
        }
    }
    return k;
}

/// FastPartsAvx2<false> eight at a time: the same amplitudes, phases and marks.
STATS_AVX512 int FastPartsAvx512(ComplexChunk& c, unsigned char* special)
{
    const __m512d ampLo = _mm512_set1_pd(0x1p-484), ampHi = _mm512_set1_pd(0x1p510);
    const __m512d partHi = _mm512_set1_pd(0x1p1023), zero = _mm512_setzero_pd();
    int k = 0;
    for (; k + 8 <= c.n; k += 8) {
        const __m512d r = _mm512_load_pd(c.re + k), i = _mm512_load_pd(c.im + k);
        const __m512d a = _mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(r, r), _mm512_mul_pd(i, i)));
        _mm512_store_pd(c.amp + k, a);
        _mm512_store_pd(c.phase + k, Sleef_atan2d8_u35avx512f(i, r));
        const __m512d ar = _mm512_abs_pd(r), ai = _mm512_abs_pd(i);
        const unsigned ok =
            _mm512_cmp_pd_mask(a, ampLo, _CMP_GE_OQ) & _mm512_cmp_pd_mask(a, ampHi, _CMP_LT_OQ) &
            _mm512_cmp_pd_mask(ar, zero, _CMP_GT_OQ) & _mm512_cmp_pd_mask(ar, partHi, _CMP_LT_OQ) &
            _mm512_cmp_pd_mask(ai, zero, _CMP_GT_OQ) & _mm512_cmp_pd_mask(ai, partHi, _CMP_LT_OQ);
        special[k / 4] = static_cast<unsigned char>(~ok & 0xF);
        special[k / 4 + 1] = static_cast<unsigned char>((~ok >> 4) & 0xF);
    }
    return k;
}

}  // namespace
#endif

void AmplitudesAndPhases(ComplexChunk& c, bool coarse)
{
    const int n = c.n;
    int k = 0;
    unsigned char special[kChunk / 4 + 1];
    int checked = 0;
#if defined(__x86_64__)
    if (!coarse && platform::UseAvx512()) k = FastPartsAvx512(c, special);
    // The AVX2 pass goes on where the wider one stopped.
    if (platform::UseAvx2())
        k = checked = coarse ? FastPartsAvx2<true>(c, k, special) : FastPartsAvx2<false>(c, k, special);
    for (; k + 2 <= n; k += 2) {
        const __m128d r = _mm_load_pd(c.re + k), i = _mm_load_pd(c.im + k);
        _mm_store_pd(c.amp + k, _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(r, r), _mm_mul_pd(i, i))));
        _mm_store_pd(c.phase + k, Sleef_atan2d2_u35(i, r));
    }
#endif
    for (; k < n; ++k) {
        c.amp[k] = std::sqrt(c.re[k] * c.re[k] + c.im[k] * c.im[k]);
        c.phase[k] = std::atan2(c.im[k], c.re[k]);
    }
    // The plain amplitude is good to an ulp between these bounds; outside them (and for
    // zeros, infinities and NaN) the careful one. The phases of zero and non-finite parts
    // are taken exactly, so that the signed zeros and infinities keep their angles.
    const double partLo = coarse && checked ? kCoarsePartLo : 0.0;
    const double partHi = coarse && checked ? kCoarsePartHi : 0x1p1023;
    for (k = 0; k < n; ++k) {
        if (k < checked && !special[k / 4]) {
            k |= 3;  // the four samples of this group are plain
            continue;
        }
        if (!(c.re[k] == c.re[k] && c.im[k] == c.im[k])) [[unlikely]] {
            // A sample with a NaN part counts in no component.
            c.re[k] = c.im[k] = c.amp[k] = c.phase[k] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const double a = c.amp[k];
        if (!(a >= 0x1p-484 && a < 0x1p510)) [[unlikely]]
            c.amp[k] = Amplitude(c.re[k], c.im[k]);
        const double r = c.re[k], i = c.im[k];
        if (!(std::abs(r) > partLo && std::abs(r) < partHi && std::abs(i) > partLo && std::abs(i) < partHi))
            [[unlikely]]
            c.phase[k] = std::atan2(i, r);
    }
}

namespace {

// Loops the compiler vectorises: compiled once for AVX2 and once plain, and chosen by
// platform::UseAvx2() at each call.
[[gnu::always_inline]] inline void BinsLoop(const double* v, int n, double lo, double width, double last,
                                            int* out)
{
    for (int k = 0; k < n; ++k) {
        double q = (v[k] - lo) / width;
        q = q > 0.0 ? q : 0.0;
        q = q < last ? q : last;
        out[k] = static_cast<int>(q);
    }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void BinsAvx2(const double* v, int n, double lo, double width, double last,
                                              int* out)
{
    BinsLoop(v, n, lo, width, last, out);
}
#endif

}  // namespace

void BinsOf(const double* v, int n, double lo, double width, double last, int* out)
{
#if defined(__x86_64__)
    if (platform::UseAvx2()) return BinsAvx2(v, n, lo, width, last, out);
#endif
    BinsLoop(v, n, lo, width, last, out);
}

namespace {

void NearBinsPlain(const double* v, int n, double lo, double scale, double last, double near, int* out)
{
    for (int k = 0; k < n; ++k) {
        const double t = (v[k] - lo) * scale;
        double q = t > 0.0 ? t : 0.0;
        q = q < last ? q : last;
        const int b = static_cast<int>(q);
        const double f = t - double(b);
        out[k] = (f < near || f > 1.0 - near) ? -1 : b;
    }
}

#if defined(__x86_64__)
// The compiler leaves the loop above scalar (the two-sided test); four at a time by hand.
__attribute__((target("avx2"))) int NearBinsAvx2(const double* v, int n, double lo, double scale, double last,
                                                 double near, int* out)
{
    const __m256d vlo = _mm256_set1_pd(lo), vscale = _mm256_set1_pd(scale), vlast = _mm256_set1_pd(last);
    const __m256d vnear = _mm256_set1_pd(near), vfar = _mm256_set1_pd(1.0 - near);
    const __m256d zero = _mm256_setzero_pd(), marked = _mm256_set1_pd(-1.0);
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d t = _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(v + k), vlo), vscale);
        // max gives its second operand for NaN, as the plain test does.
        const __m256d q = _mm256_min_pd(_mm256_max_pd(t, zero), vlast);
        const __m256d b = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(q));
        const __m256d f = _mm256_sub_pd(t, b);
        const __m256d edge =
            _mm256_or_pd(_mm256_cmp_pd(f, vnear, _CMP_LT_OQ), _mm256_cmp_pd(f, vfar, _CMP_GT_OQ));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                         _mm256_cvttpd_epi32(_mm256_blendv_pd(b, marked, edge)));
    }
    return k;
}

/// FloatBins of eight values at a time, its constants made once: the bins of in-range values,
/// and in `edge` the lanes whose product lies within the margin of a bin edge.
struct FloatBins8 {
    __m256 lo, scale, last, near, far;
    __attribute__((target("avx2"))) explicit FloatBins8(const FloatBinParams& p)
        : lo(_mm256_set1_ps(p.lo)),
          scale(_mm256_set1_ps(p.scale)),
          last(_mm256_set1_ps(p.last)),
          near(_mm256_set1_ps(p.near)),
          far(_mm256_set1_ps(1.0f - p.near))
    {
    }
    __attribute__((target("avx2"))) __m256i operator()(__m256 v, __m256& edge) const
    {
        const __m256 t = _mm256_mul_ps(_mm256_sub_ps(v, lo), scale);
        const __m256 q = _mm256_min_ps(_mm256_max_ps(t, _mm256_setzero_ps()), last);
        const __m256i b = _mm256_cvttps_epi32(q);
        // Exact: t lies within one of the whole number b (or is far off and marked).
        const __m256 f = _mm256_sub_ps(t, _mm256_cvtepi32_ps(b));
        edge = _mm256_or_ps(_mm256_cmp_ps(f, near, _CMP_LT_OQ), _mm256_cmp_ps(f, far, _CMP_GT_OQ));
        return b;
    }
};

/// FloatBins8 of sixteen values at a time: the same single precision operations in every lane.
struct FloatBins16 {
    __m512 lo, scale, last, near, far;
    STATS_AVX512 explicit FloatBins16(const FloatBinParams& p)
        : lo(_mm512_set1_ps(p.lo)),
          scale(_mm512_set1_ps(p.scale)),
          last(_mm512_set1_ps(p.last)),
          near(_mm512_set1_ps(p.near)),
          far(_mm512_set1_ps(1.0f - p.near))
    {
    }
    STATS_AVX512 __m512i operator()(__m512 v, __mmask16& edge) const
    {
        const __m512 t = _mm512_mul_ps(_mm512_sub_ps(v, lo), scale);
        // max and min give their second operand for NaN, as FloatBins8's do.
        const __m512 q = _mm512_min_ps(_mm512_max_ps(t, _mm512_setzero_ps()), last);
        const __m512i b = _mm512_cvttps_epi32(q);
        const __m512 f = _mm512_sub_ps(t, _mm512_cvtepi32_ps(b));
        edge = _mm512_cmp_ps_mask(f, near, _CMP_LT_OQ) | _mm512_cmp_ps_mask(f, far, _CMP_GT_OQ);
        return b;
    }
};

/// The exact bins of one sample's marked components (bit j of `marked`), as the careful
/// path finds them: the rule applied to the double amplitude, atan2, and the parts.
void ExactBinsOfSample(float r, float i, unsigned marked, const BinRule* rules, int (*out)[kChunk], int k)
{
    const double dr = r, di = i;
    if (marked & 1) out[0][k] = rules[0](Amplitude(dr, di));
    if (marked & 2) out[1][k] = rules[1](std::atan2(di, dr));
    if (marked & 4) out[2][k] = rules[2](dr);
    if (marked & 8) out[3][k] = rules[3](di);
}

/// Eight real and eight imaginary parts of p[0..8), in sample order.
__attribute__((target("avx2"))) inline void Deinterleave8(const std::complex<float>* p, __m256& re8,
                                                          __m256& im8)
{
    const float* f = reinterpret_cast<const float*>(p);
    const __m256 a = _mm256_loadu_ps(f), b = _mm256_loadu_ps(f + 8);
    re8 = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(a, b, 0x88)), 0xD8));
    im8 = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(a, b, 0xDD)), 0xD8));
}

/// Lanes whose parts both lie strictly between lo and hi in magnitude (NaN fails).
__attribute__((target("avx2"))) inline int PartsInside(__m256 re8, __m256 im8, __m256 lo, __m256 hi)
{
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256 ar = _mm256_and_ps(re8, absMask), ai = _mm256_and_ps(im8, absMask);
    return _mm256_movemask_ps(
        _mm256_and_ps(_mm256_and_ps(_mm256_cmp_ps(ar, lo, _CMP_GT_OQ), _mm256_cmp_ps(ar, hi, _CMP_LT_OQ)),
                      _mm256_and_ps(_mm256_cmp_ps(ai, lo, _CMP_GT_OQ), _mm256_cmp_ps(ai, hi, _CMP_LT_OQ))));
}

/// LoadChunk of single precision samples: nonzero finite parts give amplitudes inside the
/// bounds of the plain formula, so FastPartsAvx2<false>'s operations alone decide every value.
__attribute__((target("avx2"))) bool LoadFloatChunkAvx2(const std::complex<float>* p, int n, ComplexChunk& c)
{
    const __m256 zero = _mm256_setzero_ps(), inf = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    for (int k = 0; k < n; k += 8) {
        __m256 re8, im8;
        Deinterleave8(p + k, re8, im8);
        if (PartsInside(re8, im8, zero, inf) != 0xFF) return false;
        for (int h = 0; h < 2; ++h) {
            const __m256d r =
                _mm256_cvtps_pd(h ? _mm256_extractf128_ps(re8, 1) : _mm256_castps256_ps128(re8));
            const __m256d i =
                _mm256_cvtps_pd(h ? _mm256_extractf128_ps(im8, 1) : _mm256_castps256_ps128(im8));
            const int at = k + 4 * h;
            _mm256_store_pd(c.re + at, r);
            _mm256_store_pd(c.im + at, i);
            _mm256_store_pd(c.amp + at,
                            _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(r, r), _mm256_mul_pd(i, i))));
            _mm256_store_pd(c.phase + at, Sleef_atan2d4_u35avx2(i, r));
        }
    }
    c.n = n;
    return true;
}

/// LoadFloatChunkAvx2 eight samples at a time: the same values (Sleef_atan2d8_u35avx512f).
STATS_AVX512 bool LoadFloatChunkAvx512(const std::complex<float>* p, int n, ComplexChunk& c)
{
    // Real parts to the lower half, imaginary parts to the upper half.
    const __m512i split = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m512 inf = _mm512_set1_ps(std::numeric_limits<float>::infinity()), zero = _mm512_setzero_ps();
    for (int k = 0; k < n; k += 8) {
        const __m512 v = _mm512_loadu_ps(reinterpret_cast<const float*>(p + k));
        const __m512 mag = _mm512_abs_ps(v);
        if ((_mm512_cmp_ps_mask(mag, zero, _CMP_GT_OQ) & _mm512_cmp_ps_mask(mag, inf, _CMP_LT_OQ)) != 0xFFFF)
            return false;
        const __m512 parts = _mm512_permutexvar_ps(split, v);
        const __m512d r = _mm512_cvtps_pd(_mm512_castps512_ps256(parts)),
                      i = _mm512_cvtps_pd(_mm512_extractf32x8_ps(parts, 1));
        _mm512_store_pd(c.re + k, r);
        _mm512_store_pd(c.im + k, i);
        _mm512_store_pd(c.amp + k, _mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(r, r), _mm512_mul_pd(i, i))));
        _mm512_store_pd(c.phase + k, Sleef_atan2d8_u35avx512f(i, r));
    }
    c.n = n;
    return true;
}

/// The bins of the four components of a chunk in single precision, eight samples at a time;
/// false at the first sample whose parts leave the range where the single precision bounds
/// hold (zero, tiny, huge, infinite or NaN).
__attribute__((target("avx2"))) bool FloatBinsAvx2(const std::complex<float>* p, int n,
                                                   const FloatBinParams* params, const BinRule* rules,
                                                   int (*out)[kChunk], int k = 0)
{
    const __m256 partLo = _mm256_set1_ps(kFloatBinPartLo), partHi = _mm256_set1_ps(kFloatBinPartHi);
    const FloatBins8 bins[4] = {FloatBins8(params[0]), FloatBins8(params[1]), FloatBins8(params[2]),
                                FloatBins8(params[3])};
    for (; k < n; k += 8) {
        __m256 re8, im8;
        Deinterleave8(p + k, re8, im8);
        if (PartsInside(re8, im8, partLo, partHi) != 0xFF) return false;
        const __m256 amp = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(re8, re8), _mm256_mul_ps(im8, im8)));
        const __m256 comp[4] = {amp, Sleef_atan2f8_u35avx2(im8, re8), re8, im8};
        unsigned edges[4];
        unsigned any = 0;
        for (int j = 0; j < 4; ++j) {
            __m256 edge;
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[j] + k), bins[j](comp[j], edge));
            edges[j] = unsigned(_mm256_movemask_ps(edge));
            any |= edges[j];
        }
        if (any) [[unlikely]] {
            alignas(32) float rs[8], is[8];
            _mm256_store_ps(rs, re8);
            _mm256_store_ps(is, im8);
            for (int l = 0; l < 8; ++l) {
                const unsigned marked = ((edges[0] >> l) & 1) | ((edges[1] >> l) & 1) << 1 |
                                        ((edges[2] >> l) & 1) << 2 | ((edges[3] >> l) & 1) << 3;
                if (marked) ExactBinsOfSample(rs[l], is[l], marked, rules, out, k + l);
            }
        }
    }
    return true;
}

/// FloatBinsAvx2 sixteen samples at a time: the same single precision operations in every
/// lane (Sleef_atan2f16_u35avx512f), the same bins and marks. Returns how many samples it
/// binned, a multiple of sixteen; fewer than n where a part leaves the range.
STATS_AVX512 int FloatBinsAvx512(const std::complex<float>* p, int n, const FloatBinParams* params,
                                 const BinRule* rules, int (*out)[kChunk])
{
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_add_epi32(even, _mm512_set1_epi32(1));
    const __m512 partLo = _mm512_set1_ps(kFloatBinPartLo), partHi = _mm512_set1_ps(kFloatBinPartHi);
    const FloatBins16 bins[4] = {FloatBins16(params[0]), FloatBins16(params[1]), FloatBins16(params[2]),
                                 FloatBins16(params[3])};
    int k = 0;
    for (; k + 16 <= n; k += 16) {
        const float* f = reinterpret_cast<const float*>(p + k);
        const __m512 a = _mm512_loadu_ps(f), b = _mm512_loadu_ps(f + 16);
        const __m512 re16 = _mm512_permutex2var_ps(a, even, b), im16 = _mm512_permutex2var_ps(a, odd, b);
        const __m512 ar = _mm512_abs_ps(re16), ai = _mm512_abs_ps(im16);
        const __mmask16 inside =
            _mm512_cmp_ps_mask(ar, partLo, _CMP_GT_OQ) & _mm512_cmp_ps_mask(ar, partHi, _CMP_LT_OQ) &
            _mm512_cmp_ps_mask(ai, partLo, _CMP_GT_OQ) & _mm512_cmp_ps_mask(ai, partHi, _CMP_LT_OQ);
        if (inside != 0xFFFF) break;
        const __m512 amp =
            _mm512_sqrt_ps(_mm512_add_ps(_mm512_mul_ps(re16, re16), _mm512_mul_ps(im16, im16)));
        const __m512 comp[4] = {amp, Sleef_atan2f16_u35avx512f(im16, re16), re16, im16};
        unsigned edges[4];
        unsigned any = 0;
        for (int j = 0; j < 4; ++j) {
            __mmask16 edge;
            _mm512_storeu_si512(out[j] + k, bins[j](comp[j], edge));
            edges[j] = edge;
            any |= edges[j];
        }
        if (any) [[unlikely]] {
            alignas(64) float rs[16], is[16];
            _mm512_store_ps(rs, re16);
            _mm512_store_ps(is, im16);
            for (unsigned lanes = any; lanes; lanes &= lanes - 1) {
                const int l = std::countr_zero(lanes);
                const unsigned marked = ((edges[0] >> l) & 1) | ((edges[1] >> l) & 1) << 1 |
                                        ((edges[2] >> l) & 1) << 2 | ((edges[3] >> l) & 1) << 3;
                ExactBinsOfSample(rs[l], is[l], marked, rules, out, k + l);
            }
        }
    }
    return k;
}
#endif

}  // namespace

namespace {

#if defined(__x86_64__)
/// Bins four at a time by the product with the reciprocal: NaN gives `bins`, a product near
/// an edge -1 (see RealBinsOf). Returns how many were done; `near` tells whether any was -1.
template <class T>
__attribute__((target("avx2"))) int RealBinsAvx2(const T* p, int n, double lo, double scale, double last,
                                                 double nearEdge, int bins, int* out, bool* near)
{
    const __m256d vlo = _mm256_set1_pd(lo), vscale = _mm256_set1_pd(scale), vlast = _mm256_set1_pd(last);
    const __m256d vnear = _mm256_set1_pd(nearEdge), vfar = _mm256_set1_pd(1.0 - nearEdge);
    const __m256d zero = _mm256_setzero_pd(), marked = _mm256_set1_pd(-1.0),
                  nan = _mm256_set1_pd(double(bins));
    __m256d anyNear = zero;
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d v = Load4d(p + k);
        const __m256d t = _mm256_mul_pd(_mm256_sub_pd(v, vlo), vscale);
        const __m256d q = _mm256_min_pd(_mm256_max_pd(t, zero), vlast);
        const __m256d b = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(q));
        const __m256d f = _mm256_sub_pd(t, b);
        const __m256d edge =
            _mm256_or_pd(_mm256_cmp_pd(f, vnear, _CMP_LT_OQ), _mm256_cmp_pd(f, vfar, _CMP_GT_OQ));
        anyNear = _mm256_or_pd(anyNear, edge);
        const __m256d bin =
            _mm256_blendv_pd(_mm256_blendv_pd(b, marked, edge), nan, _mm256_cmp_pd(v, v, _CMP_UNORD_Q));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm256_cvttpd_epi32(bin));
    }
    *near = _mm256_movemask_pd(anyNear) != 0;
    return k;
}
#endif

#if defined(__x86_64__)
/// Bins of single precision samples eight at a time in single precision (FloatBins8): NaN
/// gives `bins`; a lane near an edge (or out of range, or infinite) the rule's own division.
/// Returns how many were done.
__attribute__((target("avx2"))) int RealFloatBinsAvx2(const float* p, int n, const FloatBinParams& params,
                                                      const BinRule& exact, int bins, int* out)
{
    const FloatBins8 rule(params);
    const __m256i nan = _mm256_set1_epi32(bins);
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256 v = _mm256_loadu_ps(p + k);
        __m256 edge;
        const __m256i b = rule(v, edge);
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(out + k),
            _mm256_blendv_epi8(b, nan, _mm256_castps_si256(_mm256_cmp_ps(v, v, _CMP_UNORD_Q))));
        // A NaN is never marked (its comparisons fail).
        for (unsigned near = unsigned(_mm256_movemask_ps(edge)); near; near &= near - 1) [[unlikely]]
            {
                const int at = k + std::countr_zero(near);
                out[at] = exact(double(p[at]));
            }
    }
    return k;
}
#endif

#if defined(__x86_64__)
/// RealFloatBinsAvx2 sixteen at a time.
STATS_AVX512 int RealFloatBinsAvx512(const float* p, int n, const FloatBinParams& params,
                                     const BinRule& exact, int bins, int* out)
{
    const FloatBins16 rule(params);
    const __m512i nan = _mm512_set1_epi32(bins);
    int k = 0;
    for (; k + 16 <= n; k += 16) {
        const __m512 v = _mm512_loadu_ps(p + k);
        __mmask16 edge;
        const __m512i b = rule(v, edge);
        _mm512_storeu_si512(out + k, _mm512_mask_mov_epi32(b, _mm512_cmp_ps_mask(v, v, _CMP_UNORD_Q), nan));
        for (unsigned near = edge; near; near &= near - 1) [[unlikely]]
            {
                const int at = k + std::countr_zero(near);
                out[at] = exact(double(p[at]));
            }
    }
    return k;
}
#endif

/// The bins of a run: the vector product where it can, the rule's division elsewhere.
template <class T>
void RealBinsOfRun(const T* p, int n, const BinRule& rule, int bins, int* out)
{
    int k = 0;
#if defined(__x86_64__)
    if constexpr (std::is_same_v<T, float>) {
        // Single precision samples are binned in single precision, twice as many a vector;
        // the margin from an edge covers its rounding (FloatBinsFor).
        FloatBinParams params;
        // A margin this wide marks under 1 % of the samples for the exact division.
        if (platform::UseAvx2() && FloatBinsFor(rule, 0.0, bins, &params) && params.near < 0x1p-8f) {
            if (platform::UseAvx512()) k = RealFloatBinsAvx512(p, n, params, rule, bins, out);
            k += RealFloatBinsAvx2(p + k, n - k, params, rule, bins, out + k);
        }
    }
    if constexpr (!std::is_same_v<T, std::uint32_t>) {
        if (platform::UseAvx2() && std::isfinite(rule.Width())) {
            // The product by the reciprocal is within a few ulp of the rule's quotient, which
            // lies in 0..bins: a margin of bins x 2^-50 from every edge keeps it in its bin.
            bool near = false;
            const int done = k;
            k += RealBinsAvx2(p + done, n - done, rule.Lo(), 1.0 / rule.Width(), rule.Last(),
                              double(bins) * 0x1p-50, bins, out + done, &near);
            if (near)
                for (int j = done; j < k; ++j)
                    if (out[j] < 0) out[j] = rule(double(p[j]));
        }
    }
#endif
    for (; k < n; ++k) {
        const double v = double(p[k]);
        out[k] = v == v ? rule(v) : bins;
    }
}

}  // namespace

void RealBinsOf(const float* p, int n, const BinRule& rule, int bins, int* out)
{
    RealBinsOfRun(p, n, rule, bins, out);
}
void RealBinsOf(const double* p, int n, const BinRule& rule, int bins, int* out)
{
    RealBinsOfRun(p, n, rule, bins, out);
}
void RealBinsOf(const std::int32_t* p, int n, const BinRule& rule, int bins, int* out)
{
    RealBinsOfRun(p, n, rule, bins, out);
}
void RealBinsOf(const std::uint32_t* p, int n, const BinRule& rule, int bins, int* out)
{
    RealBinsOfRun(p, n, rule, bins, out);
}

bool LoadFloatChunk(const std::complex<float>* p, int n, ComplexChunk& c)
{
#if defined(__x86_64__)
    if (platform::UseAvx512() && n % 8 == 0) return LoadFloatChunkAvx512(p, n, c);
    if (platform::UseAvx2() && n % 8 == 0) return LoadFloatChunkAvx2(p, n, c);
#endif
    return false;
}

bool FloatBinsFor(const BinRule& rule, double error, int bins, FloatBinParams* out)
{
    const double scale = 1.0 / rule.Width(), lo = rule.Lo();
    // The single precision product differs from the rule's quotient by the rounding of the
    // value (a few units of its last place, the amplitude's square root included), of lo
    // and of the reciprocal, of the difference and of the product: 8 units of 2^-24 of
    // |lo| x scale + |quotient| in all, the quotient below bins + 2 wherever the margin
    // decides; twice that is the margin, and it also covers a lo that is subnormal in single
    // precision (an error below 2^-149 x scale < 2^-49). Beyond that the double rule's own
    // rounding and the value's error (the coarse phase's) in bins.
    const double near =
        0x1p-20 * (std::abs(lo) * scale + double(bins) + 2.0) + error * scale + double(bins) * 0x1p-50;
    if (!(std::isfinite(rule.Width()) && scale < 0x1p100 && std::abs(lo) < 0x1p100 && near < 0.25))
        return false;
    // lo and the scale go to the nearest single, inside the margin.
    *out = {float(lo), float(scale), float(rule.Last()), float(near)};
    return true;
}

bool ExactBinsOfChunk(const std::complex<float>* p, int n, const FloatBinParams* params, const BinRule* rules,
                      int (*out)[kChunk])
{
#if defined(__x86_64__)
    if (platform::UseAvx2() && n % 8 == 0) {
        // The wider pass stops early at a sample out of range; the AVX2 pass then says so.
        const int done = platform::UseAvx512() ? FloatBinsAvx512(p, n, params, rules, out) : 0;
        return done == n || FloatBinsAvx2(p, n, params, rules, out, done);
    }
#endif
    return false;
}

void NearBinsOf(const double* v, int n, double lo, double scale, double last, double near, int* out)
{
    // The product by the reciprocal is within a few ulp of the quotient; `near` covers that.
    int k = 0;
#if defined(__x86_64__)
    if (platform::UseAvx2()) k = NearBinsAvx2(v, n, lo, scale, last, near, out);
#endif
    NearBinsPlain(v + k, n - k, lo, scale, last, near, out + k);
}

namespace {

using V4 = double __attribute__((vector_size(32)));
using M4 = long long __attribute__((vector_size(32)));

[[gnu::always_inline]] inline V4 Load4(const double* p)
{
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline V4 Load4(const float* p)
{
    using F4 = float __attribute__((vector_size(16)));
    F4 f;
    std::memcpy(&f, p, sizeof f);
    return __builtin_convertvector(f, V4);
}

/// Extremes and sums of a run; two accumulators of four lanes (256-bit code in the AVX2 copy).
/// A run known to hold no NaN skips the masks: they would keep every value.
template <bool kNoNaN, class T>
[[gnu::always_inline]] inline void SampleRun(const T* p, int count, double shift, double& lo, double& hi,
                                             double& sum, double& sum2, std::uint64_t& n)
{
    constexpr int K = 2;
    const V4 zero = {0, 0, 0, 0};
    const V4 sh = zero + shift, one = zero + 1.0;
    V4 l[K], h[K], s[K], q[K], c[K];
    for (int k = 0; k < K; ++k) {
        l[k] = zero + lo;
        h[k] = zero + hi;
        s[k] = q[k] = c[k] = zero;
    }
    int x = 0;
    for (; x + 4 * K <= count; x += 4 * K) {
        for (int k = 0; k < K; ++k) {
            const V4 v = Load4(p + x + 4 * k);
            l[k] = v < l[k] ? v : l[k];
            h[k] = v > h[k] ? v : h[k];
            if constexpr (kNoNaN) {
                const V4 d = v - sh;
                s[k] += d;
                q[k] += d * d;
                c[k] += one;
            } else {
                const M4 ok = v == v;
                const V4 d = ok ? v - sh : zero;
                s[k] += d;
                q[k] += d * d;
                c[k] += ok ? one : zero;
            }
        }
    }
    double L = lo, H = hi, S = 0, Q = 0, C = 0;
    for (int k = 0; k < K; ++k)
        for (int j = 0; j < 4; ++j) {
            L = std::min(L, l[k][j]);
            H = std::max(H, h[k][j]);
            S += s[k][j];
            Q += q[k][j];
            C += c[k][j];
        }
    for (; x < count; ++x) {
        const double v = double(p[x]);
        L = v < L ? v : L;
        H = v > H ? v : H;
        if (v == v) {
            const double d = v - shift;
            S += d;
            Q += d * d;
            C += 1.0;
        }
    }
    lo = L;
    hi = H;
    sum += S;
    sum2 += Q;
    n += std::uint64_t(C);
}

#if defined(__x86_64__)
template <bool kNoNaN, class T>
__attribute__((target("avx2"))) void SampleRunAvx2(const T* p, int count, double shift, double& lo,
                                                   double& hi, double& sum, double& sum2, std::uint64_t& n)
{
    SampleRun<kNoNaN>(p, count, shift, lo, hi, sum, sum2, n);
}

[[gnu::always_inline]] STATS_AVX512 inline __m512d Load8d(const float* p)
{
    return _mm512_cvtps_pd(_mm256_loadu_ps(p));
}
[[gnu::always_inline]] STATS_AVX512 inline __m512d Load8d(const double* p)
{
    return _mm512_loadu_pd(p);
}

/// SampleRun eight values at a time in one 512-bit vector: its lanes are SampleRun's two
/// accumulators of four lanes in order, so every lane sums the same values in the same order,
/// and the reduction below is SampleRun's. NaN lanes add a zero, as SampleRun's masks do, and
/// are counted out by the mask.
template <bool kNoNaN, class T>
STATS_AVX512 void SampleRunAvx512(const T* p, int count, double shift, double& lo, double& hi, double& sum,
                                  double& sum2, std::uint64_t& n)
{
    const __m512d sh = _mm512_set1_pd(shift);
    __m512d l = _mm512_set1_pd(lo), h = _mm512_set1_pd(hi), s = _mm512_setzero_pd(), q = s;
    std::uint64_t c = 0;
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m512d v = Load8d(p + x);
        // min and max give their second operand unless the first is smaller (larger): for NaN
        // and for equal zeros of either sign, as SampleRun's comparisons do.
        l = _mm512_min_pd(v, l);
        h = _mm512_max_pd(v, h);
        if constexpr (kNoNaN) {
            const __m512d d = _mm512_sub_pd(v, sh);
            s = _mm512_add_pd(s, d);
            q = _mm512_add_pd(q, _mm512_mul_pd(d, d));
        } else {
            const __mmask8 ok = _mm512_cmp_pd_mask(v, v, _CMP_ORD_Q);
            const __m512d d = _mm512_maskz_sub_pd(ok, v, sh);
            s = _mm512_add_pd(s, d);
            q = _mm512_add_pd(q, _mm512_mul_pd(d, d));
            c += unsigned(std::popcount(unsigned(ok)));
        }
    }
    if constexpr (kNoNaN) c = std::uint64_t(x);
    alignas(64) double ls[8], hs[8], ss[8], qs[8];
    _mm512_store_pd(ls, l);
    _mm512_store_pd(hs, h);
    _mm512_store_pd(ss, s);
    _mm512_store_pd(qs, q);
    double L = lo, H = hi, S = 0, Q = 0;
    for (int j = 0; j < 8; ++j) {
        L = std::min(L, ls[j]);
        H = std::max(H, hs[j]);
        S += ss[j];
        Q += qs[j];
    }
    for (; x < count; ++x) {
        const double v = double(p[x]);
        L = v < L ? v : L;
        H = v > H ? v : H;
        if (v == v) {
            const double d = v - shift;
            S += d;
            Q += d * d;
            ++c;
        }
    }
    lo = L;
    hi = H;
    sum += S;
    sum2 += Q;
    n += c;
}
#endif

template <class T>
void FloatRunOf(const T* p, int count, double shift, double& lo, double& hi, double& sum, double& sum2,
                std::uint64_t& n, bool noNaN = false)
{
#if defined(__x86_64__)
    if (platform::UseAvx512())
        return noNaN ? SampleRunAvx512<true>(p, count, shift, lo, hi, sum, sum2, n)
                     : SampleRunAvx512<false>(p, count, shift, lo, hi, sum, sum2, n);
    if (platform::UseAvx2())
        return noNaN ? SampleRunAvx2<true>(p, count, shift, lo, hi, sum, sum2, n)
                     : SampleRunAvx2<false>(p, count, shift, lo, hi, sum, sum2, n);
#endif
    SampleRun<false>(p, count, shift, lo, hi, sum, sum2, n);
}

}  // namespace

void FloatRun(const double* p, int count, double shift, double& lo, double& hi, double& sum, double& sum2,
              std::uint64_t& n, bool noNaN)
{
    FloatRunOf(p, count, shift, lo, hi, sum, sum2, n, noNaN);
}

void FloatRun(const float* p, int count, double shift, double& lo, double& hi, double& sum, double& sum2,
              std::uint64_t& n)
{
    FloatRunOf(p, count, shift, lo, hi, sum, sum2, n);
}

void ClearUpperVectorState()
{
#if defined(__x86_64__)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) __asm__ volatile("vzeroupper");
#endif
}

}  // namespace statistics_detail
