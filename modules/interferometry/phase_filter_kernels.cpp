#include "modules/interferometry/phase_filter_kernels.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "modules/interferometry/coherence_window_sums.h"
#include "outside/basecore/data_type.h"
#include "platform/kernel/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
// Declared by sleef.h only where the whole file is built for AVX2.
extern "C" {
struct PhaseSinCos {
    __m256d sin, cos;
};
PhaseSinCos Sleef_sincosd4_u35avx2(__m256d);
__m256d Sleef_atan2d4_u35avx2(__m256d, __m256d);
}
#endif

// The 256-bit helpers below are only ever called from their own target's code.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline void CosSin4(const double* p, double* c, double* s)
{
    const PhaseSinCos r = Sleef_sincosd4_u35avx2(_mm256_loadu_pd(p));
    _mm256_storeu_pd(c, r.cos);
    _mm256_storeu_pd(s, r.sin);
}

template <class Out>
__attribute__((target("avx2"))) inline void Angles4(const double* y, const double* x, Out* out)
{
    const __m256d t = Sleef_atan2d4_u35avx2(_mm256_loadu_pd(y), _mm256_loadu_pd(x));
    if constexpr (std::is_same_v<Out, float>)
        _mm_storeu_ps(out, _mm256_cvtpd_ps(t));
    else
        _mm256_storeu_pd(out, t);
}

// Four at a time through SLEEF; the last few go through a padded vector, so that every
// element of a row gets the same function.
__attribute__((target("avx2"))) void CosSinAvx2(const double* phi, double* u, double* v, int count)
{
    int x = 0;
    for (; x + 4 <= count; x += 4) CosSin4(phi + x, u + x, v + x);
    if (x < count) {
        double p[4] = {}, c[4], s[4];
        std::copy(phi + x, phi + count, p);
        CosSin4(p, c, s);
        std::copy(c, c + (count - x), u + x);
        std::copy(s, s + (count - x), v + x);
    }
}

template <class Out>
__attribute__((target("avx2"))) void AnglesAvx2(const double* y, const double* x, Out* out, int count)
{
    int i = 0;
    for (; i + 4 <= count; i += 4) Angles4(y + i, x + i, out + i);
    if (i < count) {
        double b[4] = {}, a[4] = {1, 1, 1, 1};
        Out o[4];
        std::copy(y + i, y + count, b);
        std::copy(x + i, x + count, a);
        Angles4(b, a, o);
        std::copy(o, o + (count - i), out + i);
    }
}
#endif

// SLEEF's routines are within a few units in the last place of libm's, not equal to them:
// they serve filters whose output is float, where that cannot show in any but the rarest
// sample. Filters with double output keep libm, so their bytes stay what they were.

/// u = cos φ and v = sin φ of count phases (u holds φ on entry); `vector`: SLEEF may serve.
void CosSin(double* u, double* v, int count, bool vector)
{
#if defined(__x86_64__)
    if (vector && platform::UseAvx2()) return CosSinAvx2(u, u, v, count);
#endif
    for (int x = 0; x < count; ++x) {
        const double phi = u[x];
        u[x] = std::cos(phi);
        v[x] = std::sin(phi);
    }
}

/// out = atan2(y, x), element by element.
template <class Out>
void Angles(const double* y, const double* x, Out* out, int count)
{
#if defined(__x86_64__)
    if constexpr (std::is_same_v<Out, float>)
        if (platform::UseAvx2()) return AnglesAvx2(y, x, out, count);
#endif
    for (int i = 0; i < count; ++i) out[i] = Out(std::atan2(y[i], x[i]));
}

template <class T, class Out>
void PhaseRows(const RowSource& in, int window, void* const* out, const BandProgress& progress, int threads)
{
    const int k = window / 2;
    interf_detail::WindowSums<2, double>(
        in.height, in.width, window,
        [&](std::int64_t y, int x0, int count, const std::array<double*, 2>& q) {
            const T* row = static_cast<const T*>(in.rows[y]) + x0;
            double *u = q[0], *v = q[1];
            if constexpr (IsComplex<T>) {
                for (int x = 0; x < count; ++x) {
                    u[x] = double(re(row[x]));
                    v[x] = double(im(row[x]));
                }
            } else {
                // One sine and cosine per sample: each row is formed once per band and strip.
                for (int x = 0; x < count; ++x) u[x] = double(row[x]);
                CosSin(u, v, count, std::is_same_v<Out, float>);
            }
        },
        [&](std::int64_t y, int x0, int count, const std::array<double*, 2>& s) {
            Angles(s[1], s[0], static_cast<Out*>(out[y]) + x0 + k, count);
        },
        progress, threads);
}

}  // namespace

int PhaseFilterOutputType(int type)
{
    return (type == int(DataType::F64) || type == int(DataType::C128)) ? int(DataType::F64)
                                                                       : int(DataType::F32);
}

void FilterPhaseImage(int type, const RowSource& in, int window, void* const* out, int outType,
                      const BandProgress& progress, int threads)
{
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if (outType == int(DataType::F64))
            PhaseRows<T, double>(in, window, out, progress, threads);
        else
            PhaseRows<T, float>(in, window, out, progress, threads);
    });
}
