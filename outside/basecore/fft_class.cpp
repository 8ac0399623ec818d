#include "outside/basecore/fft_class.h"

#include <algorithm>
#include <complex>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <tuple>
#include <vector>

#include <fftw3.h>

#include "outside/basecore/data_type.h"
#include "outside/basecore/meter_info.h"
#include "outside/basecore/row_driver.h"
#include "platform/last_error.h"

namespace {

// FFTW in one precision: the plan and buffer calls of fftwf_* or fftw_*.
template <class R>
struct Fftw;
template <>
struct Fftw<float> {
    using Plan = fftwf_plan;
    using Complex = fftwf_complex;
    static void* Malloc(size_t bytes) { return fftwf_malloc(bytes); }
    static void Free(void* p) { fftwf_free(p); }
    static Plan Many(int n, int howmany, int stride, int dist, Complex* data, int sign)
    {
        return fftwf_plan_many_dft(1, &n, howmany, data, nullptr, stride, dist, data, nullptr, stride, dist,
                                   sign, FFTW_ESTIMATE);
    }
    static void Destroy(Plan p) { fftwf_destroy_plan(p); }
    static void Execute(Plan p, std::complex<float>* data)
    {
        auto* d = reinterpret_cast<Complex*>(data);
        fftwf_execute_dft(p, d, d);
    }
};
template <>
struct Fftw<double> {
    using Plan = fftw_plan;
    using Complex = fftw_complex;
    static void* Malloc(size_t bytes) { return fftw_malloc(bytes); }
    static void Free(void* p) { fftw_free(p); }
    static Plan Many(int n, int howmany, int stride, int dist, Complex* data, int sign)
    {
        return fftw_plan_many_dft(1, &n, howmany, data, nullptr, stride, dist, data, nullptr, stride, dist,
                                  sign, FFTW_ESTIMATE);
    }
    static void Destroy(Plan p) { fftw_destroy_plan(p); }
    static void Execute(Plan p, std::complex<double>* data)
    {
        auto* d = reinterpret_cast<Complex*>(data);
        fftw_execute_dft(p, d, d);
    }
};

// FFTW's planner is not thread-safe; its execute calls are. Plans are kept for the
// life of the process, so a job that transforms many images of one size plans once.
std::mutex& PlannerLock()
{
    static std::mutex lock;
    return lock;
}

// Plans by key, destroyed when the library is unloaded.
template <class Key, class Plan, void (*Destroy)(Plan)>
struct PlanCache {
    ~PlanCache()
    {
        for (auto& [key, plan] : plans) Destroy(plan);
    }
    std::map<Key, Plan> plans;
};

template <class T>
struct AlignedBuffer {
    explicit AlignedBuffer(size_t count)
        : data(static_cast<T*>(Fftw<typename T::value_type>::Malloc(count * sizeof(T))))
    {
        if (!data) throw std::bad_alloc();
    }
    ~AlignedBuffer() { Fftw<typename T::value_type>::Free(data); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    T* data;
};

/// A plan for `howmany` interleaved transforms of n points (stride howmany, distance 1)
/// over a buffer from AlignedBuffer; null when FFTW refuses.
template <class R>
typename Fftw<R>::Plan CachedPlan(int n, int howmany, int sign)
{
    using Key = std::tuple<int, int, int>;
    static PlanCache<Key, typename Fftw<R>::Plan, Fftw<R>::Destroy> cache;
    auto& plans = cache.plans;
    std::lock_guard lock(PlannerLock());
    const Key key{n, howmany, sign};
    if (auto it = plans.find(key); it != plans.end()) return it->second;
    AlignedBuffer<std::complex<R>> scratch(static_cast<size_t>(n) * static_cast<size_t>(howmany));
    auto plan = Fftw<R>::Many(n, howmany, howmany, 1,
                              reinterpret_cast<typename Fftw<R>::Complex*>(scratch.data), sign);
    if (plan) plans.emplace(key, plan);
    return plan;
}

template <class R>
using RowLoader = void (*)(const void* row, int count, std::complex<R>* out);

template <class R, class S>
void LoadRow(const void* row, int count, std::complex<R>* out)
{
    const S* in = static_cast<const S*>(row);
    for (int x = 0; x < count; ++x) out[x] = {static_cast<R>(re(in[x])), static_cast<R>(im(in[x]))};
}

// The row loader of a type code, picked once per transform; null for an invalid code.
template <class R>
RowLoader<R> LoaderFor(int type)
{
    if (!isValidType(type)) return nullptr;
    return visitSampleType(type, []<class S>(Tag<S>) -> RowLoader<R> { return LoadRow<R, S>; });
}

// Columns gathered per column-pass step: 16 complex floats (8 doubles) fill two cache
// lines per row, so the gather and scatter touch whole lines.
template <class R>
constexpr int kColumnBlock = 128 / static_cast<int>(sizeof(std::complex<R>));

// Small images are not worth waking threads for: they run on the calling thread.
int ThreadsFor(long long points)
{
    return points < (1LL << 16) ? 1 : 0;
}

template <class R, class D>
void StoreRow(const std::complex<R>* in, long long count, D* out)
{
    if constexpr (std::is_same_v<std::complex<R>, D>) {
        std::memcpy(out, in, static_cast<size_t>(count) * sizeof(D));
    } else {
        for (long long x = 0; x < count; ++x)
            out[x] = D(static_cast<typename D::value_type>(in[x].real()),
                       static_cast<typename D::value_type>(in[x].imag()));
    }
}

// The transform in working precision R into destination samples D.
template <class R, class D>
int Transform2D(void** srcRows, void** dstRows, int w, int h, RowLoader<R> load, CMeterInfoBase* meter,
                int sign)
{
    const int ew = CFFTClass::CeilPowerOfTwo(w), eh = CFFTClass::CeilPowerOfTwo(h);
    const int wp = 1 << ew, hp = 1 << eh;
    const int block = std::min(kColumnBlock<R>, wp);
    const long long columnBlocks = (wp + block - 1) / block;
    const int threads = ThreadsFor(static_cast<long long>(wp) * hp);

    auto rowPlan = CachedPlan<R>(wp, 1, sign);
    auto columnPlan = CachedPlan<R>(hp, block, sign);
    if (!rowPlan || !columnPlan) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const R scale = sign == FFTW_BACKWARD ? R(1) / (static_cast<R>(wp) * static_cast<R>(hp)) : R(1);

    if (meter) meter->SetRange(0.0, static_cast<double>(hp + columnBlocks));

    // Rows: each source row padded to wp, transformed in a buffer of its own, stored.
    // Rows past the source are the transform of zeros. Each slot of the driver (one
    // thread at a time) has a buffer, made when it first needs one.
    const RowBands rowBands = RowBands::Even(hp, 1);
    const RowBands columnBands = RowBands::Even(columnBlocks, 1);
    std::vector<std::unique_ptr<AlignedBuffer<std::complex<R>>>> buffers(
        static_cast<size_t>(RowDriverSlots(std::max(rowBands.Count(), columnBands.Count()), threads)));
    const size_t bufferCount = std::max(static_cast<size_t>(wp), static_cast<size_t>(hp) * block);
    auto bufferOf = [&](int slot) {
        auto& b = buffers[static_cast<size_t>(slot)];
        if (!b) b = std::make_unique<AlignedBuffer<std::complex<R>>>(bufferCount);
        return b->data;
    };

    RunRowBands(
        rowBands,
        [&](const RowBand& band) {
            for (long long y = band.begin; y < band.end; ++y) {
                D* out = static_cast<D*>(dstRows[y]);
                if (y >= h) {
                    std::memset(static_cast<void*>(out), 0, static_cast<size_t>(wp) * sizeof(D));
                    continue;
                }
                std::complex<R>* row = bufferOf(band.slot);
                load(srcRows[y], w, row);
                std::fill(row + w, row + wp, std::complex<R>{});
                Fftw<R>::Execute(rowPlan, row);
                StoreRow(row, wp, out);
            }
        },
        MeterProgress(meter, 0.0), threads);

    // Columns: a block of neighbouring columns is gathered row by row into a buffer
    // (column k of the block at stride `block`), transformed together, scattered back.
    RunRowBands(
        columnBands,
        [&](const RowBand& band) {
            std::complex<R>* cols = bufferOf(band.slot);
            for (long long b = band.begin; b < band.end; ++b) {
                const long long x0 = b * block;
                for (int y = 0; y < hp; ++y) {
                    const D* in = static_cast<const D*>(dstRows[y]) + x0;
                    std::complex<R>* to = cols + static_cast<size_t>(y) * block;
                    for (int k = 0; k < block; ++k)
                        to[k] = std::complex<R>(static_cast<R>(in[k].real()), static_cast<R>(in[k].imag()));
                }
                Fftw<R>::Execute(columnPlan, cols);
                for (int y = 0; y < hp; ++y) {
                    D* out = static_cast<D*>(dstRows[y]) + x0;
                    const std::complex<R>* from = cols + static_cast<size_t>(y) * block;
                    for (int k = 0; k < block; ++k)
                        out[k] = D(static_cast<typename D::value_type>(from[k].real() * scale),
                                   static_cast<typename D::value_type>(from[k].imag() * scale));
                }
            }
        },
        MeterProgress(meter, static_cast<double>(hp)), threads);
    return 1;
}

int Transform2DChecked(void** srcRows, void** dstRows, int w, int h, int srcType, CMeterInfoBase* meter,
                       int dstType, int sign)
{
    // Sizes up to 2^28 per side keep every index of a row within int and every row count
    // of FFTW within its limits.
    if (!srcRows || !dstRows || w <= 0 || h <= 0 || w > (1 << 28) || h > (1 << 28)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (int y = 0; y < h; ++y)
        if (!srcRows[y]) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    const int hp = 1 << CFFTClass::CeilPowerOfTwo(h);
    for (int y = 0; y < hp; ++y)
        if (!dstRows[y]) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    try {
        if (dstType == 9) {
            auto load = LoaderFor<float>(srcType);
            if (!load) return SetLastError(ERROR_INVALID_PARAMETER), 0;
            return Transform2D<float, std::complex<float>>(srcRows, dstRows, w, h, load, meter, sign);
        }
        if (dstType == 10) {
            auto load = LoaderFor<double>(srcType);
            if (!load) return SetLastError(ERROR_INVALID_PARAMETER), 0;
            return Transform2D<double, std::complex<double>>(srcRows, dstRows, w, h, load, meter, sign);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

fftwf_plan SplitPlan(int e)
{
    static PlanCache<int, fftwf_plan, fftwf_destroy_plan> cache;
    auto& plans = cache.plans;
    std::lock_guard lock(PlannerLock());
    if (auto it = plans.find(e); it != plans.end()) return it->second;
    const int n = 1 << e;
    std::vector<float> re(static_cast<size_t>(n)), im(static_cast<size_t>(n));
    fftwf_iodim dim{n, 1, 1};
    // Callers pass any float arrays, so the plan may not rely on their alignment.
    fftwf_plan plan = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, re.data(), im.data(), re.data(),
                                                im.data(), FFTW_ESTIMATE | FFTW_UNALIGNED);
    if (plan) plans.emplace(e, plan);
    return plan;
}

// Plans of DCT-I runs keyed by (n, howmany, stride, dist, alignment). A plan executes on
// any array of the alignment it was made for, so bands of one layout share it.
fftw_plan Dct1Plan(double* data, int n, int howmany, int stride, int dist)
{
    using Key = std::tuple<int, int, int, int, int>;
    static PlanCache<Key, fftw_plan, fftw_destroy_plan> cache;
    auto& plans = cache.plans;
    const Key key{n, howmany, stride, dist, fftw_alignment_of(data)};
    std::lock_guard lock(PlannerLock());
    if (auto it = plans.find(key); it != plans.end()) return it->second;
    const fftw_r2r_kind kind = FFTW_REDFT00;
    // FFTW_ESTIMATE plans without touching the array, so the caller's data is safe.
    fftw_plan plan = fftw_plan_many_r2r(1, &n, howmany, data, nullptr, stride, dist, data, nullptr, stride,
                                        dist, &kind, FFTW_ESTIMATE);
    if (plan) plans.emplace(key, plan);
    return plan;
}

}  // namespace

int CFFTClass::DCT1(double* data, int n, int howmany, int stride, int dist)
{
    if (!data || n < 2 || howmany < 1 || stride < 1 || dist < 0) return 0;
    fftw_plan plan = Dct1Plan(data, n, howmany, stride, dist);
    if (!plan) return 0;
    fftw_execute_r2r(plan, data, data);
    return 1;
}

int CFFTClass::CeilPowerOfTwo(long long n)
{
    int e = 0;
    while (e < 62 && (1LL << e) < n) ++e;
    return e;
}

int CFFTClass::FFT_2D(void** srcRows, void** dstRows, int w, int h, int srcType, CMeterInfoBase* meter,
                      int dstType)
{
    return Transform2DChecked(srcRows, dstRows, w, h, srcType, meter, dstType, FFTW_FORWARD);
}

int CFFTClass::IFFT_2D(void** srcRows, void** dstRows, int w, int h, int srcType, CMeterInfoBase* meter,
                       int dstType)
{
    return Transform2DChecked(srcRows, dstRows, w, h, srcType, meter, dstType, FFTW_BACKWARD);
}

void CFFTClass::fft(float* re, float* im, int e)
{
    if (!re || !im || e < 0 || e > 30) return;
    if (fftwf_plan plan = SplitPlan(e)) fftwf_execute_split_dft(plan, re, im, re, im);
}

void CFFTClass::ifft(float* re, float* im, int e)
{
    if (!re || !im || e < 0 || e > 30) return;
    // The inverse is the forward transform with the parts exchanged.
    if (fftwf_plan plan = SplitPlan(e)) fftwf_execute_split_dft(plan, im, re, im, re);
}
