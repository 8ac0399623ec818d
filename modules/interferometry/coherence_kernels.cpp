#include "modules/interferometry/coherence_kernels.h"

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "modules/interferometry/coherence_window_sums.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"

namespace {

/// Wide enough for a part's products and their window sums to stay exact: 8- and 16-bit
/// parts give products below 2^31 and sums below 2^53, exact in double; 32-bit parts give
/// products up to 2^63 (two of them 2^64), so they add in 128 bits.
template <class T>
using CoherenceAcc =
    std::conditional_t<std::is_integral_v<PartType<T>> && sizeof(PartType<T>) == 4, __int128, double>;

/// The products of a part in the accumulator's arithmetic.
template <class T>
using ProductType =
    std::conditional_t<std::is_integral_v<PartType<T>>,
                       std::conditional_t<sizeof(PartType<T>) == 4, __int128, std::int64_t>, double>;

template <class T, class Out>
void CoherenceRows(const RowSource& a, const RowSource& b, int window, void* const* out,
                   const BandProgress& progress, int threads)
{
    using Acc = CoherenceAcc<T>;
    using P = ProductType<T>;
    const int k = window / 2;
    interf_detail::WindowSums<4, Acc>(
        a.height, a.width, window,
        [&](std::int64_t y, int x0, int count, const std::array<Acc*, 4>& q) {
            const T* ra = static_cast<const T*>(a.rows[y]) + x0;
            const T* rb = static_cast<const T*>(b.rows[y]) + x0;
            Acc *cr = q[0], *ci = q[1], *pa = q[2], *pb = q[3];
            for (int x = 0; x < count; ++x) {
                const P ar = P(re(ra[x])), ai = P(im(ra[x])), br = P(re(rb[x])), bi = P(im(rb[x]));
                cr[x] = Acc(ar * br + ai * bi);
                ci[x] = Acc(ai * br - ar * bi);
                pa[x] = Acc(ar * ar + ai * ai);
                pb[x] = Acc(br * br + bi * bi);
            }
        },
        [&](std::int64_t y, int x0, int count, const std::array<Acc*, 4>& s) {
            Out* dst = static_cast<Out*>(out[y]) + x0 + k;
            for (int x = 0; x < count; ++x) {
                const double den = std::sqrt(double(s[2][x])) * std::sqrt(double(s[3][x]));
                dst[x] = Out(Amplitude(double(s[0][x]), double(s[1][x])) / den);
            }
        },
        progress, threads);
}

}  // namespace

int CoherenceOutputType(int type)
{
    return type == int(DataType::C128) ? int(DataType::F64) : int(DataType::F32);
}

double CoherenceOfPair(int type, const void* a, const void* b)
{
    return visitSampleType(type, [&]<class T>(Tag<T>) -> double {
        const T& sa = *static_cast<const T*>(a);
        const T& sb = *static_cast<const T*>(b);
        const double ar = double(re(sa)), ai = double(im(sa)), br = double(re(sb)), bi = double(im(sb));
        return Amplitude(ar * br + ai * bi, ai * br - ar * bi) / (Amplitude(ar, ai) * Amplitude(br, bi));
    });
}

void CoherenceImage(int type, const RowSource& a, const RowSource& b, int window, void* const* out,
                    int outType, const BandProgress& progress, int threads)
{
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if constexpr (IsComplex<T>) {
            if (outType == int(DataType::F64))
                CoherenceRows<T, double>(a, b, window, out, progress, threads);
            else
                CoherenceRows<T, float>(a, b, window, out, progress, threads);
        } else {
            throwUnsupportedType(DataType(type));
        }
    });
}
