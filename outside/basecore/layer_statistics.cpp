#include "outside/basecore/layer_statistics.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/statistics_kernels.h"

namespace {

using namespace statistics_detail;

// Bands hold about this many samples; their size never depends on the thread count.
constexpr std::int64_t kBandSamples = 1 << 17;

struct Band {
    size_t begin;
    size_t end;
    int rows;
};

std::vector<Band> MakeBands(const SpanList& spans)
{
    std::vector<Band> bands;
    size_t i = 0;
    while (i < spans.size()) {
        Band b{i, i, 0};
        std::int64_t samples = 0;
        int lastY = std::numeric_limits<int>::min();
        while (b.end < spans.size() && (samples < kBandSamples || spans[b.end].y == lastY)) {
            if (spans[b.end].y != lastY) {
                ++b.rows;
                lastY = spans[b.end].y;
            }
            samples += spans[b.end].x1 - spans[b.end].x0;
            ++b.end;
        }
        bands.push_back(b);
        i = b.end;
    }
    return bands;
}

/// Runs work(band, slot) for every band through the row driver, each band with a clean
/// vector state. Only the calling thread reports progress; when progress or a band throws,
/// the other bands stop and the exception goes on once they have all ended.
template <class Work>
void RunBands(const std::vector<Band>& bands, int threads, Work&& work, const RowProgress& progress)
{
    std::vector<std::int64_t> bounds(bands.size() + 1, 0), rows(bands.size());
    for (size_t b = 0; b < bands.size(); ++b) {
        bounds[b] = static_cast<std::int64_t>(bands[b].begin);
        bounds[b + 1] = static_cast<std::int64_t>(bands[b].end);
        rows[b] = bands[b].rows;
    }
    std::int64_t reported = 0;
    BandProgress report;
    if (progress)
        report = [&](std::int64_t done) {
            const std::int64_t rowsNow = done - reported;
            reported = done;
            progress(static_cast<int>(rowsNow));
        };
    RunRowBands(
        RowBands::Bounds(std::move(bounds), std::move(rows)),
        [&](const RowBand& band) {
            ClearUpperVectorState();
            work(bands[static_cast<size_t>(band.index)], band.slot);
        },
        report, threads);
}

template <class T>
const T* RowOf(const SampleRows& src, int y)
{
    return static_cast<const T*>(src.rows[y]);
}

template <class T>
constexpr bool kCountsValues = !IsComplex<T> && sizeof(T) <= 2 && std::is_integral_v<T>;
template <class T>
constexpr bool kCountsPairs = IsComplex<T> && sizeof(PartType<T>) == 1;

/// Index of a small integer value in a table of all its values.
template <class T>
inline unsigned ValueIndex(T v)
{
    return static_cast<unsigned>(static_cast<std::make_unsigned_t<T>>(v));
}
template <class T>
inline double ValueOfIndex(unsigned i)
{
    return double(static_cast<T>(static_cast<std::make_unsigned_t<T>>(i)));
}

/// Where the per-band work of a real 32- or 64-bit layer keeps its sums: exact integers for
/// the integer types, shifted doubles for the floating ones.
template <class T>
using RealMomentAcc = std::conditional_t<std::is_integral_v<T>, IntMomentAcc, MomentAcc>;

/// Sums of one run of real samples into a band's accumulator (NaN samples left out). A
/// floating band takes its shift from its first finite sample unless one was given.
template <class T>
void RealSumsRun(const T* p, int count, RealMomentAcc<T>& acc, double& lo, double& hi)
{
    if constexpr (std::is_integral_v<T>) {
        for (int x = 0; x < count; ++x) {
            lo = std::min(lo, double(p[x]));
            hi = std::max(hi, double(p[x]));
        }
        IntSumsRun(p, count, acc);
    } else {
        if (!acc.shifted) {
            double first;
            if (FirstNumber(p, count, &first)) {
                acc.shift = first;
                acc.shifted = true;
            }
        }
        FloatRun(p, count, acc.shift, lo, hi, acc.sum, acc.sum2, acc.n);
    }
}

/// A floating band whose sums met an infinity is counted again with care.
template <class T>
void RealSumsCheck(const SampleRows& src, const SpanList& spans, const Band& band, RealMomentAcc<T>& acc)
{
    if constexpr (!std::is_integral_v<T>) {
        if (acc.Finite()) return;
        acc.ResetSums();
        for (size_t k = band.begin; k < band.end; ++k) {
            const Span& s = spans[k];
            CarefulSums(RowOf<T>(src, s.y) + s.x0, s.x1 - s.x0, acc);
        }
    } else {
        (void)src;
        (void)spans;
        (void)band;
        (void)acc;
    }
}

/// Mean and deviation of a real layer from its band sums in band order.
template <class T>
void MergeReal(const std::vector<RealMomentAcc<T>>& parts, double* mean, double* sd)
{
    if constexpr (std::is_integral_v<T>)
        MergeIntMoments(parts.data(), parts.size(), mean, sd);
    else
        MergeMoments(parts.data(), parts.size(), mean, sd);
}

/// The extremes and sums of one band of complex samples; infinities make a careful recount.
template <unsigned kWork, class T, class H>
void ComplexBand(const SampleRows& src, const SpanList& spans, const Band& band, ComplexAcc& acc,
                 const BinRule* rules, int bins, H* hist)
{
    for (size_t k = band.begin; k < band.end; ++k) {
        const Span& s = spans[k];
        ComplexRun<kWork>(RowOf<T>(src, s.y) + s.x0, s.x1 - s.x0, acc, rules, bins, hist);
    }
    if constexpr ((kWork & kSums) != 0) {
        bool finite = true;
        for (const MomentAcc& m : acc.sums) finite = finite && m.Finite();
        if (finite) return;
        for (MomentAcc& m : acc.sums) m.ResetSums();
        for (size_t k = band.begin; k < band.end; ++k) {
            const Span& s = spans[k];
            CarefulComplexSums(RowOf<T>(src, s.y) + s.x0, s.x1 - s.x0, acc);
        }
    }
}

struct MinMaxAcc {
    std::array<double, kComponents> min;
    std::array<double, kComponents> max;
    std::uint64_t count = 0;
    MinMaxAcc()
    {
        min.fill(std::numeric_limits<double>::infinity());
        max.fill(-std::numeric_limits<double>::infinity());
    }
};

template <class T>
void MinMaxBand(const SampleRows& src, const SpanList& spans, const Band& band, MinMaxAcc& acc)
{
    if constexpr (!IsComplex<T>) {
        T lo = std::numeric_limits<T>::max();
        T hi = std::numeric_limits<T>::lowest();
        std::uint64_t count = 0;
        for (size_t k = band.begin; k < band.end; ++k) {
            const Span& s = spans[k];
            const T* p = RowOf<T>(src, s.y);
            if constexpr (std::is_floating_point_v<T>) {
                for (int x = s.x0; x < s.x1; ++x) {
                    const T v = p[x];
                    if (v < lo) lo = v;
                    if (v > hi) hi = v;
                    count += (v == v);
                }
            } else {
                for (int x = s.x0; x < s.x1; ++x) {
                    lo = std::min(lo, p[x]);
                    hi = std::max(hi, p[x]);
                }
                count += std::uint64_t(s.x1 - s.x0);
            }
        }
        if (count) {
            acc.min[0] = std::min(acc.min[0], double(lo));
            acc.max[0] = std::max(acc.max[0], double(hi));
            acc.count += count;
        }
    } else {
        ComplexAcc c;
        for (int j = 0; j < 4; ++j) {
            c.lo[j] = acc.min[size_t(j)];
            c.hi[j] = acc.max[size_t(j)];
        }
        ComplexBand<kExtremes, T, DWORD>(src, spans, band, c, nullptr, 0, nullptr);
        for (int j = 0; j < 4; ++j) {
            acc.min[size_t(j)] = c.lo[j];
            acc.max[size_t(j)] = c.hi[j];
        }
        acc.count += c.count;
    }
}

void Finish(MinMaxResult& r, const MinMaxAcc& acc, bool complex)
{
    r.count = acc.count;
    for (int j = 0; j < kComponents; ++j) {
        const bool used = acc.count > 0 && (complex || j == 0);
        r.min[j] = used ? acc.min[j] : 0.0;
        r.max[j] = used ? acc.max[j] : 0.0;
    }
}

/// Statistics of a value distribution given as counts per value (exact and order-free).
void FromCounts(const std::vector<std::uint64_t>& counts, const std::function<double(unsigned)>& valueOf,
                double lo, double hi, ComponentStats& out)
{
    const BinRule rule(lo, hi, 256);
    std::array<std::uint64_t, 256> hist{};
    std::uint64_t n = 0;
    const double shift = 0.5 * (lo + hi);
    double sum = 0, sum2 = 0;
    for (unsigned i = 0; i < counts.size(); ++i) {
        if (!counts[i]) continue;
        const double v = valueOf(i);
        const double d = v - shift;
        sum += d * double(counts[i]);
        sum2 += d * d * double(counts[i]);
        n += counts[i];
        hist[static_cast<size_t>(rule(v))] += counts[i];
    }
    out.min = lo;
    out.max = hi;
    if (n) {
        const double m = sum / double(n);
        out.mean = shift + m;
        out.stdDev = std::sqrt(std::max(0.0, sum2 / double(n) - m * m));
    }
    for (int b = 0; b < 256; ++b)
        out.hist[b] = static_cast<DWORD>(std::min<std::uint64_t>(hist[b], 0xFFFFFFFFu));
}

template <class T>
std::array<ComponentStats, kComponents> MomentsOf(const SampleRows& src, const SpanList& spans,
                                                  MinMaxResult range, const RowProgress& progress,
                                                  MinMaxResult* derived = nullptr)
{
    std::array<ComponentStats, kComponents> out{};
    for (int j = 0; j < kComponents; ++j) {
        out[j].min = range.min[j];
        out[j].max = range.max[j];
    }
    const std::vector<Band> bands = MakeBands(spans);
    const int threads = RowDriverSlots(std::int64_t(bands.size()));

    if constexpr (kCountsValues<T> || kCountsPairs<T>) {
        // Small integer samples: count every possible value (or part pair) per thread;
        // everything else follows exactly from the counts.
        constexpr size_t kValues = kCountsValues<T> ? (size_t(1) << (8 * sizeof(T))) : 65536;
        // 32-bit counters keep a 16-bit type's table in cache; one thread never sees 2^32
        // samples of a file below 2 GiB.
        std::vector<std::vector<std::uint32_t>> counts(static_cast<size_t>(threads),
                                                       std::vector<std::uint32_t>(kValues, 0));
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                std::uint32_t* c = counts[static_cast<size_t>(t)].data();
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y);
                    for (int x = s.x0; x < s.x1; ++x) {
                        if constexpr (kCountsValues<T>)
                            ++c[ValueIndex(p[x])];
                        else
                            ++c[ValueIndex(p[x].re) | (ValueIndex(p[x].im) << 8)];
                    }
                }
            },
            progress);
        std::vector<std::uint64_t> total(kValues, 0);
        for (const auto& c : counts)
            for (size_t i = 0; i < kValues; ++i) total[i] += c[i];
        if (derived) {
            MinMaxAcc acc;
            for (unsigned i = 0; i < kValues; ++i) {
                if (!total[i]) continue;
                acc.count += total[i];
                double c[4];
                if constexpr (kCountsValues<T>) {
                    c[0] = ValueOfIndex<T>(i);
                } else {
                    using P = PartType<T>;
                    c[2] = ValueOfIndex<P>(i & 0xFF);
                    c[3] = ValueOfIndex<P>(i >> 8);
                    c[0] = Amplitude(c[2], c[3]);
                    c[1] = std::atan2(c[3], c[2]);
                }
                for (int j = 0; j < (IsComplex<T> ? 4 : 1); ++j) {
                    acc.min[j] = std::min(acc.min[j], c[j]);
                    acc.max[j] = std::max(acc.max[j], c[j]);
                }
            }
            Finish(range, acc, IsComplex<T>);
            *derived = range;
            for (int j = 0; j < kComponents; ++j) {
                out[j].min = range.min[j];
                out[j].max = range.max[j];
            }
        }
        if constexpr (kCountsValues<T>) {
            FromCounts(
                total, [](unsigned i) { return ValueOfIndex<T>(i); }, range.min[0], range.max[0], out[0]);
        } else {
            using P = PartType<T>;
            auto part = [](unsigned i, int which) { return ValueOfIndex<P>(which ? (i >> 8) : (i & 0xFF)); };
            const std::function<double(unsigned)> value[4] = {
                [&](unsigned i) { return Amplitude(part(i, 0), part(i, 1)); },
                [&](unsigned i) { return std::atan2(part(i, 1), part(i, 0)); },
                [&](unsigned i) { return part(i, 0); },
                [&](unsigned i) { return part(i, 1); },
            };
            for (int j = 0; j < 4; ++j) FromCounts(total, value[j], range.min[j], range.max[j], out[j]);
        }
        return out;
    } else if constexpr (!IsComplex<T>) {
        // Sums from the middle of the range (exact integers for 32-bit integer samples) and
        // four interleaved histograms per thread (merged below), so runs of equal samples do
        // not wait on one counter.
        std::vector<RealMomentAcc<T>> parts(bands.size());
        const double mid = 0.5 * (range.min[0] + range.max[0]);
        if constexpr (!std::is_integral_v<T>) {
            for (MomentAcc& p : parts) {
                p.shift = std::isfinite(mid) ? mid : 0.0;
                p.shifted = true;
            }
        }
        constexpr size_t kLane = 257;
        std::vector<std::vector<DWORD>> hist(static_cast<size_t>(threads), std::vector<DWORD>(4 * kLane, 0));
        const BinRule rule(range.min[0], range.max[0], 256);
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                RealMomentAcc<T>& acc = parts[static_cast<size_t>(&band - bands.data())];
                DWORD* h = hist[static_cast<size_t>(t)].data();
                double lo = 0, hi = 0;
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y) + s.x0;
                    RealSumsRun<T>(p, s.x1 - s.x0, acc, lo, hi);
                    RealHistRun(p, s.x1 - s.x0, rule, 256, kLane, h);
                }
                RealSumsCheck<T>(src, spans, band, acc);
            },
            progress);
        MergeReal<T>(parts, &out[0].mean, &out[0].stdDev);
        for (int b = 0; b < 256; ++b) {
            std::uint64_t c = 0;
            for (const auto& h : hist)
                c += std::uint64_t(h[size_t(b)]) + h[kLane + size_t(b)] + h[2 * kLane + size_t(b)] +
                     h[3 * kLane + size_t(b)];
            out[0].hist[size_t(b)] = static_cast<DWORD>(std::min<std::uint64_t>(c, 0xFFFFFFFFu));
        }
        return out;
    } else {
        // Sums from the middle of each component's range, and the four histograms.
        std::vector<ComplexAcc> parts(bands.size());
        for (ComplexAcc& p : parts)
            for (int j = 0; j < 4; ++j) {
                const double mid = 0.5 * (range.min[j] + range.max[j]);
                p.sums[j].shift = std::isfinite(mid) ? mid : 0.0;
                p.sums[j].shifted = true;
            }
        std::vector<std::vector<DWORD>> hist(static_cast<size_t>(threads), std::vector<DWORD>(256 * 4, 0));
        const BinRule rules[4] = {{range.min[0], range.max[0], 256},
                                  {range.min[1], range.max[1], 256},
                                  {range.min[2], range.max[2], 256},
                                  {range.min[3], range.max[3], 256}};
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                ComplexBand<kSums | kHist, T>(src, spans, band,
                                              parts[static_cast<size_t>(&band - bands.data())], rules, 256,
                                              hist[static_cast<size_t>(t)].data());
            },
            progress);
        for (int j = 0; j < 4; ++j) {
            std::vector<MomentAcc> sums;
            for (const ComplexAcc& p : parts) sums.push_back(p.sums[j]);
            MergeMoments(sums.data(), sums.size(), &out[j].mean, &out[j].stdDev);
            for (int b = 0; b < 256; ++b) {
                std::uint64_t c = 0;
                for (const auto& h : hist) c += h[static_cast<size_t>(256 * j + b)];
                out[j].hist[size_t(b)] = static_cast<DWORD>(std::min<std::uint64_t>(c, 0xFFFFFFFFu));
            }
        }
        return out;
    }
}

template <class T>
std::uint64_t HistogramOf(const SampleRows& src, const SpanList& spans, const MinMaxResult& range, int bins,
                          DWORD* counters, const RowProgress& progress)
{
    constexpr int kComp = IsComplex<T> ? 4 : 1;
    const std::vector<Band> bands = MakeBands(spans);
    const int threads = RowDriverSlots(std::int64_t(bands.size()));
    const size_t cells = static_cast<size_t>(bins) * kComp;
    std::vector<std::vector<std::uint64_t>> hist(static_cast<size_t>(threads),
                                                 std::vector<std::uint64_t>(cells, 0));
    std::vector<std::uint64_t> counted(static_cast<size_t>(threads), 0);

    if constexpr (kCountsValues<T>) {
        // Every value of an 8- or 16-bit type has its bin looked up once.
        constexpr size_t kValues = size_t(1) << (8 * sizeof(T));
        std::vector<int> lut(kValues);
        const BinRule rule(range.min[0], range.max[0], bins);
        for (unsigned i = 0; i < kValues; ++i) lut[i] = rule(ValueOfIndex<T>(i));
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                std::uint64_t* h = hist[static_cast<size_t>(t)].data();
                std::uint64_t n = 0;
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y);
                    for (int x = s.x0; x < s.x1; ++x) ++h[lut[ValueIndex(p[x])]];
                    n += std::uint64_t(s.x1 - s.x0);
                }
                counted[static_cast<size_t>(t)] += n;
            },
            progress);
    } else if constexpr (!IsComplex<T>) {
        // Four interleaved 32-bit histograms per thread, each with one extra cell that
        // takes the NaN samples, so the loop has no branch.
        const size_t lane = static_cast<size_t>(bins) + 1;
        std::vector<std::vector<std::uint32_t>> lanes(static_cast<size_t>(threads),
                                                      std::vector<std::uint32_t>(4 * lane, 0));
        const BinRule rule(range.min[0], range.max[0], bins);
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                std::uint32_t* h = lanes[static_cast<size_t>(t)].data();
                std::uint64_t n = 0;
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    RealHistRun(RowOf<T>(src, s.y) + s.x0, s.x1 - s.x0, rule, bins, lane, h);
                    n += std::uint64_t(s.x1 - s.x0);
                }
                counted[static_cast<size_t>(t)] += n;
            },
            progress);
        for (size_t t = 0; t < lanes.size(); ++t) {
            std::uint64_t* h = hist[t].data();
            for (int l = 0; l < 4; ++l) {
                for (int b = 0; b < bins; ++b) h[b] += lanes[t][size_t(l) * lane + size_t(b)];
                counted[t] -= lanes[t][size_t(l) * lane + size_t(bins)];
            }
        }
    } else {
        const BinRule rules[4] = {{range.min[0], range.max[0], bins},
                                  {range.min[1], range.max[1], bins},
                                  {range.min[2], range.max[2], bins},
                                  {range.min[3], range.max[3], bins}};
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                ComplexAcc acc;
                ComplexBand<kHist, T>(src, spans, band, acc, rules, bins,
                                      hist[static_cast<size_t>(t)].data());
                counted[static_cast<size_t>(t)] += acc.count;
            },
            progress);
    }
    std::uint64_t total = 0;
    for (std::uint64_t n : counted) total += n;
    for (size_t i = 0; i < cells; ++i) {
        std::uint64_t c = 0;
        for (const auto& h : hist) c += h[i];
        counters[i] = static_cast<DWORD>(std::min<std::uint64_t>(c, 0xFFFFFFFFu));
    }
    return total;
}

/// One band's share of the one-pass statistics of real samples: extremes, and sums taken
/// from the band's first sample so that they stay small.
}  // namespace

std::array<ComponentStats, kComponents> ComputeStatistics(const SampleRows& src, const SpanList& region,
                                                          MinMaxResult* range, const RowProgress& progress)
{
    // 8- and 16-bit samples: one counting pass gives everything.
    const bool counted =
        visitSampleType(src.type, []<class T>(Tag<T>) { return kCountsValues<T> || kCountsPairs<T>; });
    if (counted) {
        auto stats = visitSampleType(src.type, [&]<class T>(Tag<T>) {
            return MomentsOf<T>(src, region, MinMaxResult{}, progress, range);
        });
        if (progress) {  // the second pass the other types make
            int rows = 0;
            for (const Band& b : MakeBands(region)) rows += b.rows;
            if (rows > 0) progress(rows);
        }
        return stats;
    }
    // Everything else: extremes and sums in one pass, then the histograms between the
    // extremes. Bands merge in their order, so the result does not depend on the thread count.
    const std::vector<Band> bands = MakeBands(region);
    std::array<ComponentStats, kComponents> out{};
    MinMaxAcc extremes;
    visitSampleType(src.type, [&]<class T>(Tag<T>) {
        if constexpr (!IsComplex<T>) {
            std::vector<RealMomentAcc<T>> parts(bands.size());
            std::vector<std::array<double, 2>> ext(bands.size(), {std::numeric_limits<double>::infinity(),
                                                                  -std::numeric_limits<double>::infinity()});
            RunBands(
                bands, RowDriverSlots(std::int64_t(bands.size())),
                [&](const Band& band, int) {
                    const size_t b = static_cast<size_t>(&band - bands.data());
                    for (size_t k = band.begin; k < band.end; ++k) {
                        const Span& s = region[k];
                        RealSumsRun<T>(RowOf<T>(src, s.y) + s.x0, s.x1 - s.x0, parts[b], ext[b][0],
                                       ext[b][1]);
                    }
                    RealSumsCheck<T>(src, region, band, parts[b]);
                },
                progress);
            for (size_t b = 0; b < bands.size(); ++b) {
                extremes.min[0] = std::min(extremes.min[0], ext[b][0]);
                extremes.max[0] = std::max(extremes.max[0], ext[b][1]);
                if constexpr (std::is_integral_v<T>)
                    extremes.count += parts[b].n;
                else
                    extremes.count += parts[b].n + parts[b].posInf + parts[b].negInf;
            }
            MergeReal<T>(parts, &out[0].mean, &out[0].stdDev);
        } else {
            std::vector<ComplexAcc> parts(bands.size());
            RunBands(
                bands, RowDriverSlots(std::int64_t(bands.size())),
                [&](const Band& band, int) {
                    ComplexBand<kExtremes | kSums, T, DWORD>(src, region, band,
                                                             parts[static_cast<size_t>(&band - bands.data())],
                                                             nullptr, 0, nullptr);
                },
                progress);
            for (int j = 0; j < 4; ++j) {
                std::vector<MomentAcc> sums;
                for (const ComplexAcc& p : parts) {
                    extremes.min[size_t(j)] = std::min(extremes.min[size_t(j)], p.lo[j]);
                    extremes.max[size_t(j)] = std::max(extremes.max[size_t(j)], p.hi[j]);
                    sums.push_back(p.sums[j]);
                }
                MergeMoments(sums.data(), sums.size(), &out[size_t(j)].mean, &out[size_t(j)].stdDev);
            }
            for (const ComplexAcc& p : parts) extremes.count += p.count;
        }
    });
    const bool complex = isComplexType(src.type);
    Finish(*range, extremes, complex);
    const int blocks = complex ? 4 : 1;
    std::vector<DWORD> hist(size_t(256 * blocks));
    ComputeHistogram(src, region, *range, 256, hist.data(), progress);
    for (int j = 0; j < blocks; ++j) {
        out[size_t(j)].min = range->min[size_t(j)];
        out[size_t(j)].max = range->max[size_t(j)];
        std::copy(hist.begin() + 256 * j, hist.begin() + 256 * (j + 1), out[size_t(j)].hist.begin());
    }
    return out;
}

int BinOf(double v, double lo, double hi, int bins)
{
    return statistics_detail::BinRule(lo, hi, bins)(v);
}

SpanList SpansOfRect(const RECT& rect, int width, int height)
{
    SpanList spans;
    const int x0 = std::max<int>(rect.left, 0), x1 = std::min<int>(rect.right, width);
    const int y0 = std::max<int>(rect.top, 0), y1 = std::min<int>(rect.bottom, height);
    if (x0 >= x1 || y0 >= y1) return spans;
    spans.reserve(static_cast<size_t>(y1 - y0));
    for (int y = y0; y < y1; ++y) spans.push_back({y, x0, x1});
    return spans;
}

SpanList ClipSpans(const SpanList& in, int width, int height)
{
    SpanList spans;
    for (const Span& s : in) {
        if (s.y < 0 || s.y >= height) continue;
        const int x0 = std::max(s.x0, 0), x1 = std::min(s.x1, width);
        if (x0 < x1) spans.push_back({s.y, x0, x1});
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.y != b.y ? a.y < b.y : a.x0 < b.x0; });
    // Overlapping runs of one row are merged, so no sample counts twice.
    SpanList merged;
    for (const Span& s : spans) {
        if (!merged.empty() && merged.back().y == s.y && s.x0 <= merged.back().x1)
            merged.back().x1 = std::max(merged.back().x1, s.x1);
        else
            merged.push_back(s);
    }
    return merged;
}

SpanList SpansOfRects(const std::vector<RECT>& rects, int width, int height)
{
    SpanList all;
    for (const RECT& r : rects) {
        const SpanList s = SpansOfRect(r, width, height);
        all.insert(all.end(), s.begin(), s.end());
    }
    return ClipSpans(all, width, height);
}

MinMaxResult ComputeMinMax(const SampleRows& src, const SpanList& region, const RowProgress& progress)
{
    const std::vector<Band> bands = MakeBands(region);
    const int threads = RowDriverSlots(std::int64_t(bands.size()));
    std::vector<MinMaxAcc> acc(static_cast<size_t>(threads));
    visitSampleType(src.type, [&]<class T>(Tag<T>) {
        RunBands(
            bands, threads,
            [&](const Band& band, int t) { MinMaxBand<T>(src, region, band, acc[static_cast<size_t>(t)]); },
            progress);
    });
    MinMaxAcc total;
    for (const MinMaxAcc& a : acc) {
        for (int j = 0; j < kComponents; ++j) {
            total.min[j] = std::min(total.min[j], a.min[j]);
            total.max[j] = std::max(total.max[j], a.max[j]);
        }
        total.count += a.count;
    }
    MinMaxResult r;
    Finish(r, total, isComplexType(src.type));
    return r;
}

std::array<ComponentStats, kComponents> ComputeMoments(const SampleRows& src, const SpanList& region,
                                                       const MinMaxResult& range, const RowProgress& progress)
{
    return visitSampleType(src.type,
                           [&]<class T>(Tag<T>) { return MomentsOf<T>(src, region, range, progress); });
}

std::uint64_t ComputeHistogram(const SampleRows& src, const SpanList& region, const MinMaxResult& range,
                               int bins, DWORD* counters, const RowProgress& progress)
{
    return visitSampleType(src.type, [&]<class T>(Tag<T>) {
        return HistogramOf<T>(src, region, range, bins, counters, progress);
    });
}
