#include "modules/convolution/convolution_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

#include "outside/basecore/data_type.h"
#include "platform/kernel/cpu_features.h"

// The 256-bit helpers below are only ever called from their own target's code.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kMaskSumEpsilon = 1.1920928955078125e-7;

// ---- the engines ------------------------------------------------------------------------------

/// How one input type is convolved: the working type A of the products and sums, the part
/// type O of the output, and C parts per sample (complex samples are two channels that
/// share every weight).
template <class T>
struct EngineTraits {
    using Part = PartType<T>;
    static constexpr int C = IsComplex<T> ? 2 : 1;
    // Complex integers keep float arithmetic: each weight, product and partial sum is
    // rounded to float, as stored results of this tool always were.
    static constexpr bool kFloatWork = IsComplex<T> && std::is_integral_v<Part>;
    using A = std::conditional_t<kFloatWork, float, double>;
    using O = std::conditional_t<kFloatWork || (std::is_integral_v<Part> && !IsComplex<T>), float, double>;
};

template <class A>
struct VecOf;
template <>
struct VecOf<double> {
    typedef double type __attribute__((vector_size(32)));
};
template <>
struct VecOf<float> {
    typedef float type __attribute__((vector_size(32)));
};
/// Four doubles or eight floats: one AVX register, two SSE ones.
template <class A>
using Vec = typename VecOf<A>::type;

template <class A>
[[gnu::always_inline]] inline Vec<A> LoadVec(const A* p)
{
    Vec<A> v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class A>
[[gnu::always_inline]] inline void StoreVec(A* p, Vec<A> v)
{
    std::memcpy(p, &v, sizeof v);
}

/// acc[k] += row[k + stride j] * weights[j] for j = 0 .. taps - 1 in that order, for every
/// k < n: each sum is built in the order of the plain direct sum, so vector lanes and the
/// plain loop round alike (products and sums are separate operations, never fused).
template <class A>
[[gnu::always_inline]] inline void AddMaskRowBody(A* acc, const A* row, const A* weights, int taps,
                                                  int stride, std::int64_t n)
{
    constexpr int kLanes = int(sizeof(Vec<A>) / sizeof(A));
    constexpr int kBlock = 4 * kLanes;
    std::int64_t k = 0;
    for (; k + kBlock <= n; k += kBlock) {
        Vec<A> a0 = LoadVec(acc + k), a1 = LoadVec(acc + k + kLanes), a2 = LoadVec(acc + k + 2 * kLanes),
               a3 = LoadVec(acc + k + 3 * kLanes);
        const A* r = row + k;
        for (int j = 0; j < taps; ++j, r += stride) {
            const A w = weights[j];
            a0 += LoadVec(r) * w;
            a1 += LoadVec(r + kLanes) * w;
            a2 += LoadVec(r + 2 * kLanes) * w;
            a3 += LoadVec(r + 3 * kLanes) * w;
        }
        StoreVec(acc + k, a0);
        StoreVec(acc + k + kLanes, a1);
        StoreVec(acc + k + 2 * kLanes, a2);
        StoreVec(acc + k + 3 * kLanes, a3);
    }
    for (; k + kLanes <= n; k += kLanes) {
        Vec<A> a = LoadVec(acc + k);
        const A* r = row + k;
        for (int j = 0; j < taps; ++j, r += stride) a += LoadVec(r) * weights[j];
        StoreVec(acc + k, a);
    }
    for (; k < n; ++k) {
        A a = acc[k];
        const A* r = row + k;
        for (int j = 0; j < taps; ++j, r += stride) a += r[0] * weights[j];
        acc[k] = a;
    }
}

/// B vectors of outputs from k on, of two output rows at once (see AddMaskTwoRowsBody).
template <class A, bool kKeepLoads, int B>
[[gnu::always_inline]] inline void AddMaskTwoRowsBlock(A* acc0, A* acc1, const A* const* rows,
                                                       const A* weights, int mw, int mh, int stride,
                                                       std::int64_t k)
{
    constexpr int kLanes = int(sizeof(Vec<A>) / sizeof(A));
    Vec<A> a0[B], a1[B];
    for (int b = 0; b < B; ++b) a0[b] = a1[b] = Vec<A>{};
    const A* r = rows[0] + k;
    for (int j = 0; j < mw; ++j, r += stride) {
        const A w0 = weights[j];
        for (int b = 0; b < B; ++b) a0[b] += LoadVec(r + b * kLanes) * w0;
    }
    for (int i = 1; i < mh; ++i) {
        const A* w0 = weights + std::size_t(i) * std::size_t(mw);
        const A* w1 = w0 - mw;
        r = rows[i] + k;
        for (int j = 0; j < mw; ++j, r += stride) {
            for (int b = 0; b < B; ++b) {
                Vec<A> v = LoadVec(r + b * kLanes);
                // Held in a register for both products: folded into each product as a
                // memory operand it would be loaded twice.
                if constexpr (kKeepLoads) asm("" : "+x"(v));
                a0[b] += v * w0[j];
                a1[b] += v * w1[j];
            }
        }
    }
    const A* w1 = weights + std::size_t(mh - 1) * std::size_t(mw);
    r = rows[mh] + k;
    for (int j = 0; j < mw; ++j, r += stride) {
        const A w = w1[j];
        for (int b = 0; b < B; ++b) a1[b] += LoadVec(r + b * kLanes) * w;
    }
    for (int b = 0; b < B; ++b) {
        StoreVec(acc0 + k + b * kLanes, a0[b]);
        StoreVec(acc1 + k + b * kLanes, a1[b]);
    }
}

/// Adds input rows rows[0 .. mh] under the mask into the sums of two output rows at once:
/// acc0 takes rows 0 .. mh - 1, acc1 rows 1 .. mh, each against mask rows 0 .. mh - 1.
/// Every input vector is loaded once for both rows, and the sums of a block stay in
/// registers through the whole mask; each sum is still built in the order of the plain
/// direct sum, from zero, with separate products and additions.
template <class A, bool kKeepLoads>
[[gnu::always_inline]] inline void AddMaskTwoRowsBody(A* acc0, A* acc1, const A* const* rows,
                                                      const A* weights, int mw, int mh, int stride,
                                                      std::int64_t n)
{
    constexpr int kLanes = int(sizeof(Vec<A>) / sizeof(A));
    std::int64_t k = 0;
    for (; k + 4 * kLanes <= n; k += 4 * kLanes)
        AddMaskTwoRowsBlock<A, kKeepLoads, 4>(acc0, acc1, rows, weights, mw, mh, stride, k);
    for (; k + kLanes <= n; k += kLanes)
        AddMaskTwoRowsBlock<A, kKeepLoads, 1>(acc0, acc1, rows, weights, mw, mh, stride, k);
    for (; k < n; ++k) {
        A a0 = A(0), a1 = A(0);
        for (int i = 0; i <= mh; ++i) {
            const A* r = rows[i] + k;
            for (int j = 0; j < mw; ++j, r += stride) {
                if (i < mh) a0 += r[0] * weights[std::size_t(i) * std::size_t(mw) + std::size_t(j)];
                if (i > 0) a1 += r[0] * weights[std::size_t(i - 1) * std::size_t(mw) + std::size_t(j)];
            }
        }
        acc0[k] = a0;
        acc1[k] = a1;
    }
}

#if defined(__x86_64__)
template <class A>
__attribute__((target("avx2"))) void AddMaskTwoRowsAvx2(A* acc0, A* acc1, const A* const* rows,
                                                        const A* weights, int mw, int mh, int stride,
                                                        std::int64_t n)
{
    AddMaskTwoRowsBody<A, true>(acc0, acc1, rows, weights, mw, mh, stride, n);
}
#endif

template <class A>
void AddMaskTwoRowsPlain(A* acc0, A* acc1, const A* const* rows, const A* weights, int mw, int mh, int stride,
                         std::int64_t n)
{
    AddMaskTwoRowsBody<A, false>(acc0, acc1, rows, weights, mw, mh, stride, n);
}

template <class A>
using AddMaskTwoRowsFn = void (*)(A*, A*, const A* const*, const A*, int, int, int, std::int64_t);

template <class A>
AddMaskTwoRowsFn<A> PickAddMaskTwoRows()
{
#if defined(__x86_64__)
    if (platform::UseAvx2()) return AddMaskTwoRowsAvx2<A>;
#endif
    return AddMaskTwoRowsPlain<A>;
}

#if defined(__x86_64__)
template <class A>
__attribute__((target("avx2"))) void AddMaskRowAvx2(A* acc, const A* row, const A* weights, int taps,
                                                    int stride, std::int64_t n)
{
    AddMaskRowBody(acc, row, weights, taps, stride, n);
}
#endif

template <class A>
void AddMaskRowPlain(A* acc, const A* row, const A* weights, int taps, int stride, std::int64_t n)
{
    AddMaskRowBody(acc, row, weights, taps, stride, n);
}

template <class A>
using AddMaskRowFn = void (*)(A*, const A*, const A*, int, int, std::int64_t);

template <class A>
AddMaskRowFn<A> PickAddMaskRow()
{
#if defined(__x86_64__)
    if (platform::UseAvx2()) return AddMaskRowAvx2<A>;
#endif
    return AddMaskRowPlain<A>;
}

/// Output rows [first, last) of the inner region, through a ring of input rows converted to
/// the working type: each input row is converted once per band.
/// A rank-1 mask runs as a pass down the columns into one row, then a pass along it.
struct SeparableMask {
    std::vector<double> column;  ///< mask height weights
    std::vector<double> row;     ///< mask width weights
};

template <class T>
void ConvolveBand(const RowSource& in, const WorkingMask& mask, const SeparableMask* separable,
                  void* const* out, std::int64_t first, std::int64_t last, const RowBand& band)
{
    using Tr = EngineTraits<T>;
    using A = typename Tr::A;
    using O = typename Tr::O;
    using Part = typename Tr::Part;
    constexpr int C = Tr::C;
    const AddMaskRowFn<A> addMaskRow = PickAddMaskRow<A>();
    const AddMaskTwoRowsFn<A> addMaskTwoRows = PickAddMaskTwoRows<A>();

    const int w = in.width, mw = mask.width, mh = mask.height, hx = mask.HalfWidth(), hy = mask.HalfHeight();
    const std::size_t rowParts = std::size_t(C) * std::size_t(w);
    const std::int64_t n = std::int64_t(C) * (w - 2 * hx);
    // One row more than the mask: two output rows are summed at once.
    const int ringRows = mh + 1;
    std::vector<A> ring(rowParts * std::size_t(ringRows));
    std::vector<A> acc(static_cast<std::size_t>(n)), acc1(static_cast<std::size_t>(n));
    std::vector<const A*> rows(static_cast<std::size_t>(ringRows));
    std::vector<A> weights(mask.values.size());
    for (std::size_t i = 0; i < weights.size(); ++i) weights[i] = A(mask.values[i]);
    const A divisor = A(mask.sum);
    // Complex integers keep the direct float order.
    if (Tr::kFloatWork) separable = nullptr;
    std::vector<A> columnWeights, rowWeights, columnSums(separable ? rowParts : 0);
    if (separable) {
        columnWeights.assign(separable->column.begin(), separable->column.end());
        rowWeights.assign(separable->row.begin(), separable->row.end());
    }

    auto convert = [&](std::int64_t y) {
        const Part* src = static_cast<const Part*>(in.rows[y]);
        A* dst = ring.data() + std::size_t(y % ringRows) * rowParts;
        for (std::size_t x = 0; x < rowParts; ++x) dst[x] = A(src[x]);
    };
    auto ringRow = [&](std::int64_t y) { return ring.data() + std::size_t(y % ringRows) * rowParts; };
    auto store = [&](std::int64_t y, const std::vector<A>& sums) {
        O* dst = static_cast<O*>(out[y]) + std::size_t(C) * hx;
        for (std::int64_t k = 0; k < n; ++k) dst[k] = O(sums[std::size_t(k)] / divisor);
    };
    for (std::int64_t y = first - hy; y < first + hy; ++y) convert(y);
    for (std::int64_t y = first; y < last && !band.Stopped(); ++y) {
        convert(y + hy);
        if (!separable && y + 1 < last) {
            convert(y + 1 + hy);
            for (int i = 0; i <= mh; ++i) rows[std::size_t(i)] = ringRow(y - hy + i);
            addMaskTwoRows(acc.data(), acc1.data(), rows.data(), weights.data(), mw, mh, C, n);
            store(y, acc);
            store(++y, acc1);
            continue;
        }
        std::fill(acc.begin(), acc.end(), A(0));
        if (separable) {
            std::fill(columnSums.begin(), columnSums.end(), A(0));
            for (int i = 0; i < mh; ++i)
                addMaskRow(columnSums.data(), ringRow(y - hy + i), columnWeights.data() + i, 1, C,
                           std::int64_t(rowParts));
            addMaskRow(acc.data(), columnSums.data(), rowWeights.data(), mw, C, n);
        } else {
            for (int i = 0; i < mh; ++i)
                addMaskRow(acc.data(), ringRow(y - hy + i), weights.data() + std::size_t(i) * mw, mw, C, n);
        }
        store(y, acc);
    }
}

}  // namespace

bool SeparateMask(const WorkingMask& mask, std::vector<double>& column, std::vector<double>& row)
{
    const int w = mask.width, h = mask.height;
    if (w <= 0 || h <= 0 || mask.values.size() != std::size_t(w) * std::size_t(h)) return false;
    std::size_t pivot = 0;
    double largest = 0.0;
    for (std::size_t i = 0; i < mask.values.size(); ++i) {
        const double a = std::fabs(mask.values[i]);
        if (!std::isfinite(a)) return false;
        if (a > largest) largest = a, pivot = i;
    }
    if (largest == 0.0) return false;
    const int p = int(pivot / std::size_t(w)), q = int(pivot % std::size_t(w));
    column.resize(std::size_t(h));
    row.resize(std::size_t(w));
    for (int i = 0; i < h; ++i) column[std::size_t(i)] = mask.Row(i)[q];
    for (int j = 0; j < w; ++j) row[std::size_t(j)] = mask.Row(p)[j] / mask.Row(p)[q];
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j)
            if (std::fabs(column[std::size_t(i)] * row[std::size_t(j)] - mask.Row(i)[j]) >
                kSeparableMaskTolerance * largest)
                return false;
    return true;
}

double MaskDivisor(const double* values, std::size_t count)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += values[i];
    return std::fabs(sum) <= kMaskSumEpsilon ? 1.0 : sum;
}

WorkingMask MixMask(int width, int height, std::vector<double> x, const std::vector<double>* y,
                    float angleDegrees)
{
    WorkingMask mask;
    mask.width = width;
    mask.height = height;
    mask.values = std::move(x);
    if (y) {
        const float a = float(double(angleDegrees) * kDegreesToRadians);
        const double s = std::sin(double(a)), c = std::cos(double(a));
        for (std::size_t i = 0; i < mask.values.size(); ++i)
            mask.values[i] = s * (*y)[i] + c * mask.values[i];
    }
    mask.sum = MaskDivisor(mask.values.data(), mask.values.size());
    return mask;
}

int ConvolutionOutputType(int inputType)
{
    if (!isValidType(inputType)) return 0;
    const TypeInfo& info = typeInfo(inputType);
    if (!info.complex)
        return int(info.code == DataType::F32 || info.code == DataType::F64 ? DataType::F64 : DataType::F32);
    return int(info.floating ? DataType::C128 : DataType::C64);
}

void ConvolveImage(int inputType, const RowSource& in, const WorkingMask& mask, void* const* out,
                   const BandProgress& progress, int threads)
{
    if (!isValidType(inputType) || mask.width <= 0 || mask.height <= 0) return;
    const int hx = mask.HalfWidth(), hy = mask.HalfHeight();
    const std::int64_t inner = in.height - 2 * std::int64_t(hy);
    if (inner <= 0 || in.width - 2 * hx <= 0) return;
    // A band converts mask-height rows it does not write; bands a few masks high keep that
    // small beside the rows they convolve.
    const RowBands bands =
        RowBands::Even(inner, std::max<std::int64_t>(kDefaultMinRowsPerBand, 4 * mask.height));
    // Two passes pay once they save more than the extra pass over a row costs.
    SeparableMask factors;
    const bool separable =
        std::int64_t(mask.width) * mask.height > 2 * (std::int64_t(mask.width) + mask.height) &&
        SeparateMask(mask, factors.column, factors.row);
    visitSampleType(inputType, [&]<class T>(Tag<T>) {
        RunRowBands(
            bands,
            [&](const RowBand& band) {
                ConvolveBand<T>(in, mask, separable ? &factors : nullptr, out, hy + band.begin, hy + band.end,
                                band);
            },
            progress, threads);
    });
}
