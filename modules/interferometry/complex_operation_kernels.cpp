#include "modules/interferometry/complex_operation_kernels.h"

#include <complex>

#include "outside/basecore/data_type.h"

namespace {

// Stored double quotients go to a display range; NaN fails the lower test and takes it.
inline double LimitPart(double v, double lo, double hi)
{
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

template <class R, int Op>
void OperationRow(const std::complex<R>* a, const std::complex<R>* b, std::complex<R>* out,
                  std::int64_t width)
{
    for (std::int64_t x = 0; x < width; ++x) {
        const double ar = a[x].real(), ai = a[x].imag(), br = b[x].real(), bi = b[x].imag();
        double r = 0.0, i = 0.0;
        if constexpr (Op == kComplexAdd) {
            r = ar + br;
            i = ai + bi;
        } else if constexpr (Op == kComplexSubtract) {
            r = ar - br;
            i = ai - bi;
        } else if constexpr (Op == kComplexMultiply) {
            r = ar * br - ai * bi;
            i = ai * br + ar * bi;
        } else if constexpr (Op == kComplexConjugateMultiply) {
            r = ar * br + ai * bi;
            i = ai * br - ar * bi;
        } else {
            const double d = br * br + bi * bi;
            if (d != 0.0) {
                r = (ar * br + ai * bi) / d;
                i = (ai * br - ar * bi) / d;
            }
            if constexpr (std::is_same_v<R, double>) {
                r = LimitPart(r, -40.0, 120.0);
                i = LimitPart(i, -30.0, 30.0);
            }
        }
        out[x] = std::complex<R>(static_cast<R>(r), static_cast<R>(i));
    }
}

template <class R>
void OperationRowOf(int op, const void* a, const void* b, void* out, std::int64_t width)
{
    const auto* pa = static_cast<const std::complex<R>*>(a);
    const auto* pb = static_cast<const std::complex<R>*>(b);
    auto* po = static_cast<std::complex<R>*>(out);
    switch (op) {
        case kComplexAdd:
            return OperationRow<R, kComplexAdd>(pa, pb, po, width);
        case kComplexSubtract:
            return OperationRow<R, kComplexSubtract>(pa, pb, po, width);
        case kComplexMultiply:
            return OperationRow<R, kComplexMultiply>(pa, pb, po, width);
        case kComplexDivide:
            return OperationRow<R, kComplexDivide>(pa, pb, po, width);
        case kComplexConjugateMultiply:
            return OperationRow<R, kComplexConjugateMultiply>(pa, pb, po, width);
        default:
            throw std::invalid_argument("unknown complex operation");
    }
}

}  // namespace

void ComplexOperationRow(int type, int op, const void* a, const void* b, void* out, std::int64_t width)
{
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if constexpr (std::is_same_v<T, std::complex<float>> || std::is_same_v<T, std::complex<double>>)
            OperationRowOf<PartType<T>>(op, a, b, out, width);
        else
            throw std::invalid_argument("complex operations take complex float rows only");
    });
}
