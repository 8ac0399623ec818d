#include "viewer/analysis/region_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/meter_info.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/statistics_kernels.h"
#include "outside/basecore/vector_loads.h"
#include "platform/kernel/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kLanes = 4;

/// Power sums of (v - shift) for k = 1..5 of one component over one band, in four
/// interleaved lanes so that the additions do not wait on each other. The lanes are summed
/// in a fixed order, so a band's result depends on its samples only.
struct PowerSums {
    double s[6][kLanes] = {};  // s[0] counts
    double lo[kLanes] = {kInf, kInf, kInf, kInf};
    double hi[kLanes] = {-kInf, -kInf, -kInf, -kInf};

    /// Adds a run; NaN samples count nowhere (every comparison fails for them).
    template <class V>
    void AddRun(const V* p, int count, double shift);
    template <class V>
    [[gnu::always_inline]] void AddRunPlain(const V* p, int count, double shift)
    {
        int x = 0;
        for (; x + kLanes <= count; x += kLanes)
            for (int l = 0; l < kLanes; ++l) Add(l, double(p[x + l]), shift);
        for (int l = 0; x < count; ++x, ++l) Add(l, double(p[x]), shift);
    }
    [[gnu::always_inline]] void Add(int l, double v, double shift)
    {
        const bool number = v == v;
        const double d = number ? v - shift : 0.0;
        const double d2 = d * d;
        s[0][l] += number ? 1.0 : 0.0;
        s[1][l] += d;
        s[2][l] += d2;
        s[3][l] += d2 * d;
        s[4][l] += d2 * d2;
        s[5][l] += d2 * d2 * d;
        lo[l] = v < lo[l] ? v : lo[l];
        hi[l] = v > hi[l] ? v : hi[l];
    }
    void Merge(const PowerSums& o)
    {
        for (int k = 0; k < 6; ++k)
            for (int l = 0; l < kLanes; ++l) s[k][l] += o.s[k][l];
        for (int l = 0; l < kLanes; ++l) {
            lo[l] = std::min(lo[l], o.lo[l]);
            hi[l] = std::max(hi[l], o.hi[l]);
        }
    }
};

#if defined(__x86_64__)
/// One vector step of the power sums, held in registers.
[[gnu::always_inline]] __attribute__((target("avx2"))) inline void AddStep(__m256d v, __m256d vshift,
                                                                           __m256d one, __m256d* s,
                                                                           __m256d& lo, __m256d& hi)
{
    const __m256d number = _mm256_cmp_pd(v, v, _CMP_ORD_Q);
    const __m256d d = _mm256_and_pd(_mm256_sub_pd(v, vshift), number);
    const __m256d d2 = _mm256_mul_pd(d, d);
    const __m256d d4 = _mm256_mul_pd(d2, d2);
    s[0] = _mm256_add_pd(s[0], _mm256_and_pd(one, number));
    s[1] = _mm256_add_pd(s[1], d);
    s[2] = _mm256_add_pd(s[2], d2);
    s[3] = _mm256_add_pd(s[3], _mm256_mul_pd(d2, d));
    s[4] = _mm256_add_pd(s[4], d4);
    s[5] = _mm256_add_pd(s[5], _mm256_mul_pd(d4, d));
    lo = _mm256_min_pd(v, lo);  // v < lo ? v : lo, as Add compares
    hi = _mm256_max_pd(v, hi);
}

// The four lanes are one vector. Every lane sees the operations of PowerSums::Add in the
// same order (no fused multiply-adds), so the sums are the same to the bit.
template <class V>
__attribute__((target("avx2"))) void AddRunAvx2(PowerSums& sums, const V* p, int count, double shift)
{
    __m256d s[6], lo = _mm256_loadu_pd(sums.lo), hi = _mm256_loadu_pd(sums.hi);
    for (int k = 0; k < 6; ++k) s[k] = _mm256_loadu_pd(sums.s[k]);
    const __m256d vshift = _mm256_set1_pd(shift), one = _mm256_set1_pd(1.0);
    int x = 0;
    for (; x + kLanes <= count; x += kLanes) AddStep(Load4d(p + x), vshift, one, s, lo, hi);
    for (int k = 0; k < 6; ++k) _mm256_storeu_pd(sums.s[k], s[k]);
    _mm256_storeu_pd(sums.lo, lo);
    _mm256_storeu_pd(sums.hi, hi);
    for (int l = 0; x < count; ++x, ++l) sums.Add(l, double(p[x]), shift);
}

/// AddRunAvx2 over every span of the band's rows, the sums held in registers throughout. A
/// span's last samples fill the first lanes of one more step and NaN the others, which count
/// nowhere: each lane sees what AddRun's scalar tail gives it, to the bit.
template <class T>
__attribute__((target("avx2"))) void AddRowsAvx2(PowerSums& sums, const void* const* rows,
                                                 const platform::SpanRegion& region, const RowBand& band,
                                                 double shift)
{
    __m256d s[6], lo = _mm256_loadu_pd(sums.lo), hi = _mm256_loadu_pd(sums.hi);
    for (int k = 0; k < 6; ++k) s[k] = _mm256_loadu_pd(sums.s[k]);
    const __m256d vshift = _mm256_set1_pd(shift), one = _mm256_set1_pd(1.0);
    for (std::int64_t y = band.begin; y < band.end && !band.Stopped(); ++y) {
        const T* row = static_cast<const T*>(rows[y]);
        for (const platform::Span& span : region.RowSpans(int(y))) {
            const T* p = row + span.x0;
            const int count = span.x1 - span.x0;
            int x = 0;
            for (; x + kLanes <= count; x += kLanes) AddStep(Load4d(p + x), vshift, one, s, lo, hi);
            if (x < count) {
                alignas(32) double tail[kLanes] = {kNaN, kNaN, kNaN, kNaN};
                for (int l = 0; x + l < count; ++l) tail[l] = double(p[x + l]);
                AddStep(_mm256_load_pd(tail), vshift, one, s, lo, hi);
            }
        }
    }
    for (int k = 0; k < 6; ++k) _mm256_storeu_pd(sums.s[k], s[k]);
    _mm256_storeu_pd(sums.lo, lo);
    _mm256_storeu_pd(sums.hi, hi);
}
#endif

template <class V>
void PowerSums::AddRun(const V* p, int count, double shift)
{
#if defined(__x86_64__)
    if (platform::UseAvx2()) return AddRunAvx2(*this, p, count, shift);
#endif
    AddRunPlain(p, count, shift);
}

/// The merged sums of one component about its shift.
struct Totals {
    double s[6] = {};
    double lo = kInf;
    double hi = -kInf;

    void Merge(const PowerSums& band)
    {
        for (int k = 0; k < 6; ++k)
            for (int l = 0; l < kLanes; ++l) s[k] += band.s[k][l];
        for (int l = 0; l < kLanes; ++l) {
            lo = std::min(lo, band.lo[l]);
            hi = std::max(hi, band.hi[l]);
        }
    }
};

constexpr double kBinomial[6][6] = {
    {1}, {1, 1}, {1, 2, 1}, {1, 3, 3, 1}, {1, 4, 6, 4, 1}, {1, 5, 10, 10, 5, 1},
};

/// What one component's results are, from sums about `shift`.
struct Moments {
    double n = 0;
    double mean = kNaN;
    double central[6] = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};  // mu_k, k = 0..5
    /// True when the shift lay so far from the mean that the sums lost what the central
    /// moments need: the pass is to be repeated about the mean.
    bool farShift = false;
};

Moments FromSums(const Totals& t, double shift)
{
    Moments m;
    m.n = t.s[0];
    if (m.n <= 0) return m;
    const double delta = t.s[1] / m.n;
    m.mean = shift + delta;
    // Sum over the samples of (d - delta)^k, expanded in the sums of d^j.
    for (int k = 0; k <= 5; ++k) {
        double sum = 0, power = 1;  // power = (-delta)^(k - j), j from k down
        for (int j = k; j >= 0; --j) {
            sum += kBinomial[k][j] * t.s[j] * power;
            power *= -delta;
        }
        m.central[k] = sum / m.n;
    }
    m.central[0] = 1.0;
    m.central[1] = 0.0;
    m.central[2] = std::max(0.0, m.central[2]);
    // A shift within a few deviations of the mean keeps the expansion's rounding at a few
    // hundred ulp of mu_k; farther out, the terms cancel.
    m.farShift = std::isfinite(delta) && delta * delta > 16.0 * m.central[2];
    return m;
}

void Store(RegionStatistics& out, int slot, int p, const Moments& m, const Totals& t)
{
    if (m.n <= 0) return;  // stays blank
    out.min[slot][p] = t.lo;
    out.max[slot][p] = t.hi;
    const double* mu = m.central;
    for (int k = 1; k <= 5; ++k) {
        out.meanMoments[slot][p][k] = mu[k];
        // E[v^k] = sum over j of C(k, j) mean^(k - j) mu_j.
        double raw = 0, power = 1;
        for (int j = k; j >= 0; --j) {
            raw += kBinomial[k][j] * power * mu[j];
            power *= m.mean;
        }
        out.originMoments[slot][p][k] = raw;
    }
    if (mu[2] > 0) {
        out.skewness[slot][p] = mu[3] / (std::sqrt(mu[2]) * mu[2]);
        out.kurtosis[slot][p] = mu[4] / (mu[2] * mu[2]) - 3.0;
    }
}

/// The components of a complex sample in the order of the result arrays.
template <class T>
void ComponentsOf(const T& s, double* v)
{
    const double r = double(re(s)), i = double(im(s));
    v[0] = r;
    v[1] = i;
    v[2] = Amplitude(r, i);
    v[3] = Arg(r, i);
}

/// The first pixel of the region whose components are numbers: the shifts of the sums.
template <class T>
bool FirstShifts(const RegionSource& src, const platform::SpanRegion& region, double* shift)
{
    for (platform::RegionRow row : region.Rows()) {
        const T* p = static_cast<const T*>(src.rows[row.y]);
        for (const platform::Span& span : row.spans)
            for (int x = span.x0; x < span.x1; ++x) {
                if constexpr (IsComplex<T>) {
                    ComponentsOf(p[x], shift);
                    if (shift[0] == shift[0] && shift[1] == shift[1]) return true;
                } else {
                    shift[0] = double(p[x]);
                    if (shift[0] == shift[0]) return true;
                }
            }
    }
    return false;
}

template <class T>
void BandSums(const RegionSource& src, const platform::SpanRegion& region, const RowBand& band,
              const double* shift, PowerSums* sums)
{
    if constexpr (IsComplex<T>) statistics_detail::ClearUpperVectorState();
#if defined(__x86_64__)
    if constexpr (!IsComplex<T>) {
        if (platform::UseAvx2()) return AddRowsAvx2<T>(sums[0], src.rows, region, band, shift[0]);
    }
#endif
    for (std::int64_t y = band.begin; y < band.end && !band.Stopped(); ++y) {
        const T* row = static_cast<const T*>(src.rows[y]);
        for (const platform::Span& span : region.RowSpans(int(y))) {
            const T* p = row + span.x0;
            const int count = span.x1 - span.x0;
            if constexpr (IsComplex<T>) {
                statistics_detail::ComplexChunk c;
                for (int x0 = 0; x0 < count; x0 += statistics_detail::kChunk) {
                    const int m = std::min(statistics_detail::kChunk, count - x0);
                    statistics_detail::LoadChunk(p + x0, m, c);
                    sums[0].AddRun(c.re, m, shift[0]);
                    sums[1].AddRun(c.im, m, shift[1]);
                    sums[2].AddRun(c.amp, m, shift[2]);
                    sums[3].AddRun(c.phase, m, shift[3]);
                }
            } else {
                sums[0].AddRun(p, count, shift[0]);
            }
        }
    }
}

template <class T>
void Compute(const RegionSource& src, const platform::SpanRegion& region, RegionStatistics& out, int slot,
             CMeterInfoBase* meter, int threads)
{
    constexpr int kParts = IsComplex<T> ? 4 : 1;
    const RECT box = region.Bounds();
    if (meter) {
        meter->SetRange(double(box.top), double(box.bottom));
        meter->SetStep(1.0);
    }
    double shift[4] = {};
    if (!FirstShifts<T>(src, region, shift)) return;  // nothing but NaN: blank

    struct Acc {
        PowerSums parts[kParts];
    };
    // Bands of the box's rows; the row driver counts rows from 0, the box from its top.
    const RowBands bands = RowBands::Even(std::int64_t(box.bottom) - box.top);
    auto pass = [&](const double* c, Totals* totals) {
        const Acc total = ReduceRowBands(
            bands, Acc{},
            [&](const RowBand& band, Acc& acc) {
                RowBand rows = band;
                rows.begin += box.top;
                rows.end += box.top;
                BandSums<T>(src, region, rows, c, acc.parts);
            },
            [&](Acc& into, const Acc& part) {
                for (int p = 0; p < kParts; ++p) into.parts[p].Merge(part.parts[p]);
            },
            MeterProgress(meter, double(box.top)), threads);
        for (int p = 0; p < kParts; ++p) {
            totals[p] = Totals{};
            totals[p].Merge(total.parts[p]);
        }
    };

    Totals totals[kParts];
    pass(shift, totals);
    Moments moments[kParts];
    bool again = false;
    for (int p = 0; p < kParts; ++p) {
        moments[p] = FromSums(totals[p], shift[p]);
        again = again || moments[p].farShift;
    }
    if (again) {
        // The first pixel lay far out in the region: sum once more about the mean.
        double mean[4] = {};
        for (int p = 0; p < kParts; ++p) mean[p] = moments[p].farShift ? moments[p].mean : shift[p];
        Totals second[kParts];
        pass(mean, second);
        for (int p = 0; p < kParts; ++p)
            if (moments[p].farShift) {
                const Totals extremes = totals[p];
                totals[p] = second[p];
                totals[p].lo = extremes.lo;
                totals[p].hi = extremes.hi;
                moments[p] = FromSums(totals[p], mean[p]);
            }
    }
    out.count[slot] = std::uint64_t(moments[0].n);
    for (int p = 0; p < kParts; ++p) Store(out, slot, p, moments[p], totals[p]);
}

}  // namespace

RegionStatistics::RegionStatistics()
{
    for (int s = 0; s < kSlots; ++s) Clear(s);
}

void RegionStatistics::Clear(int slot)
{
    for (int p = 0; p < kComponents; ++p) {
        std::fill(originMoments[slot][p], originMoments[slot][p] + 6, kNaN);
        std::fill(meanMoments[slot][p], meanMoments[slot][p] + 6, kNaN);
        min[slot][p] = max[slot][p] = kurtosis[slot][p] = skewness[slot][p] = kNaN;
    }
    count[slot] = 0;
}

bool ComputeRegionStatistics(const RegionSource& source, const platform::SpanRegion& region,
                             RegionStatistics& out, int slot, CMeterInfoBase* meter, int threads)
{
    if (!isValidType(source.type) || slot < 0 || slot >= RegionStatistics::kSlots) return false;
    out.Clear(slot);
    if (!source.rows || source.width <= 0 || source.height <= 0) return true;
    const platform::SpanRegion inside = region.ClipToRect(RECT{0, 0, source.width, source.height});
    if (inside.IsEmpty()) return true;
    visitSampleType(source.type,
                    [&]<class T>(Tag<T>) { Compute<T>(source, inside, out, slot, meter, threads); });
    return true;
}
