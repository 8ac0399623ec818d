#include "outside/basecore/layer_statistics.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

#include "outside/basecore/data_type.h"

namespace {

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

int ThreadCount(size_t bands)
{
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<int>(std::min<size_t>(hw, std::max<size_t>(bands, 1)));
}

/// Runs work(band, thread) for every band on all cores. Only the calling thread reports
/// progress; when progress throws, the other threads stop at their next band and the
/// exception goes on once they have all ended.
template <class Work>
void RunBands(const std::vector<Band>& bands, int threads, Work&& work, const RowProgress& progress)
{
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> rowsDone{0};
    std::exception_ptr failure;
    std::mutex failureLock;

    auto loop = [&](int thread, bool driver) {
        for (;;) {
            if (stop.load(std::memory_order_relaxed)) return;
            const size_t b = next.fetch_add(1);
            if (b >= bands.size()) return;
            work(bands[b], thread);
            rowsDone.fetch_add(bands[b].rows);
            if (driver && progress) {
                const std::int64_t rows = rowsDone.exchange(0);
                if (rows > 0) progress(static_cast<int>(rows));
            }
        }
    };
    auto guarded = [&](int thread, bool driver) {
        try {
            loop(thread, driver);
        } catch (...) {
            stop = true;
            std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(static_cast<size_t>(threads - 1));
    for (int t = 1; t < threads; ++t) pool.emplace_back(guarded, t, false);
    guarded(0, true);
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
    if (progress) {
        const std::int64_t rows = rowsDone.exchange(0);
        if (rows > 0) progress(static_cast<int>(rows));
    }
}

template <class T>
const T* RowOf(const SampleRows& src, int y)
{
    return static_cast<const T*>(src.rows[y]);
}

template <class T>
inline void ComplexParts(const T& s, double& r, double& i, double& a, double& p)
{
    r = double(re(s));
    i = double(im(s));
    a = std::sqrt(r * r + i * i);
    p = std::atan2(i, r);
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
        std::array<double, 4> lo = acc.min, hi = acc.max;
        std::uint64_t count = 0;
        for (size_t k = band.begin; k < band.end; ++k) {
            const Span& s = spans[k];
            const T* p = RowOf<T>(src, s.y);
            for (int x = s.x0; x < s.x1; ++x) {
                double c[4];
                ComplexParts(p[x], c[2], c[3], c[0], c[1]);
                if (!(c[0] == c[0])) continue;
                for (int j = 0; j < 4; ++j) {
                    lo[j] = std::min(lo[j], c[j]);
                    hi[j] = std::max(hi[j], c[j]);
                }
                ++count;
            }
        }
        acc.min = lo;
        acc.max = hi;
        acc.count += count;
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
    const double scale = BinScale(lo, hi, 256);
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
        hist[static_cast<size_t>(BinOf(v, lo, scale, 256))] += counts[i];
    }
    out.min = lo;
    out.max = hi;
    if (n) {
        const double m = sum / double(n);
        out.mean = shift + m;
        out.stdDev = std::sqrt(std::max(0.0, sum2 / double(n) - m * m));
    }
    for (int b = 0; b < 256; ++b) out.hist[b] = static_cast<DWORD>(std::min<std::uint64_t>(hist[b], 0xFFFFFFFFu));
}

template <class T>
std::array<ComponentStats, kComponents> MomentsOf(const SampleRows& src, const SpanList& spans,
                                                  const MinMaxResult& range, const RowProgress& progress)
{
    std::array<ComponentStats, kComponents> out{};
    for (int j = 0; j < kComponents; ++j) {
        out[j].min = range.min[j];
        out[j].max = range.max[j];
    }
    const std::vector<Band> bands = MakeBands(spans);
    const int threads = ThreadCount(bands.size());

    if constexpr (kCountsValues<T> || kCountsPairs<T>) {
        // Small integer samples: count every possible value (or part pair) per thread;
        // everything else follows exactly from the counts.
        constexpr size_t kValues = kCountsValues<T> ? (size_t(1) << (8 * sizeof(T))) : 65536;
        std::vector<std::vector<std::uint64_t>> counts(static_cast<size_t>(threads),
                                                       std::vector<std::uint64_t>(kValues, 0));
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                std::uint64_t* c = counts[static_cast<size_t>(t)].data();
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y);
                    for (int x = s.x0; x < s.x1; ++x) {
                        if constexpr (kCountsValues<T>) ++c[ValueIndex(p[x])];
                        else ++c[ValueIndex(p[x].re) | (ValueIndex(p[x].im) << 8)];
                    }
                }
            },
            progress);
        std::vector<std::uint64_t> total(kValues, 0);
        for (const auto& c : counts)
            for (size_t i = 0; i < kValues; ++i) total[i] += c[i];
        if constexpr (kCountsValues<T>) {
            FromCounts(total, [](unsigned i) { return ValueOfIndex<T>(i); }, range.min[0], range.max[0], out[0]);
        } else {
            using P = PartType<T>;
            auto part = [](unsigned i, int which) { return ValueOfIndex<P>(which ? (i >> 8) : (i & 0xFF)); };
            const std::function<double(unsigned)> value[4] = {
                [&](unsigned i) { return std::sqrt(part(i, 0) * part(i, 0) + part(i, 1) * part(i, 1)); },
                [&](unsigned i) { return std::atan2(part(i, 1), part(i, 0)); },
                [&](unsigned i) { return part(i, 0); },
                [&](unsigned i) { return part(i, 1); },
            };
            for (int j = 0; j < 4; ++j) FromCounts(total, value[j], range.min[j], range.max[j], out[j]);
        }
        return out;
    } else {
        constexpr int kComp = IsComplex<T> ? 4 : 1;
        struct Sums {
            double sum[kComp] = {};
            double sum2[kComp] = {};
            std::uint64_t n = 0;
        };
        std::vector<Sums> bandSums(bands.size());
        std::vector<std::vector<DWORD>> hist(static_cast<size_t>(threads), std::vector<DWORD>(256 * kComp, 0));
        double shift[kComp], scale[kComp];
        for (int j = 0; j < kComp; ++j) {
            const double mid = 0.5 * (range.min[j] + range.max[j]);
            shift[j] = std::isfinite(mid) ? mid : 0.0;
            scale[j] = BinScale(range.min[j], range.max[j], 256);
        }
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                Sums& acc = bandSums[static_cast<size_t>(&band - bands.data())];
                DWORD* h = hist[static_cast<size_t>(t)].data();
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y);
                    if constexpr (!IsComplex<T>) {
                        const double lo = range.min[0], sc = scale[0], sh = shift[0];
                        double sum = 0, sum2 = 0;
                        std::uint64_t n = 0;
                        for (int x = s.x0; x < s.x1; ++x) {
                            const double v = double(p[x]);
                            if (!(v == v)) continue;
                            const double d = v - sh;
                            sum += d;
                            sum2 += d * d;
                            ++n;
                            ++h[BinOf(v, lo, sc, 256)];
                        }
                        acc.sum[0] += sum;
                        acc.sum2[0] += sum2;
                        acc.n += n;
                    } else {
                        for (int x = s.x0; x < s.x1; ++x) {
                            double c[4];
                            ComplexParts(p[x], c[2], c[3], c[0], c[1]);
                            if (!(c[0] == c[0])) continue;
                            for (int j = 0; j < 4; ++j) {
                                const double d = c[j] - shift[j];
                                acc.sum[j] += d;
                                acc.sum2[j] += d * d;
                                ++h[256 * j + BinOf(c[j], range.min[j], scale[j], 256)];
                            }
                            ++acc.n;
                        }
                    }
                }
            },
            progress);
        Sums total;
        for (const Sums& s : bandSums) {   // band order: the same sums on every machine
            for (int j = 0; j < kComp; ++j) {
                total.sum[j] += s.sum[j];
                total.sum2[j] += s.sum2[j];
            }
            total.n += s.n;
        }
        for (int j = 0; j < kComp; ++j) {
            if (total.n) {
                const double m = total.sum[j] / double(total.n);
                out[j].mean = shift[j] + m;
                out[j].stdDev = std::sqrt(std::max(0.0, total.sum2[j] / double(total.n) - m * m));
            }
            for (int b = 0; b < 256; ++b) {
                std::uint64_t c = 0;
                for (const auto& h : hist) c += h[static_cast<size_t>(256 * j + b)];
                out[j].hist[b] = static_cast<DWORD>(std::min<std::uint64_t>(c, 0xFFFFFFFFu));
            }
        }
        return out;
    }
}

template <class T>
std::uint64_t HistogramOf(const SampleRows& src, const SpanList& spans, const MinMaxResult& range, int bins,
                          DWORD* counters)
{
    constexpr int kComp = IsComplex<T> ? 4 : 1;
    const std::vector<Band> bands = MakeBands(spans);
    const int threads = ThreadCount(bands.size());
    const size_t cells = static_cast<size_t>(bins) * kComp;
    std::vector<std::vector<std::uint64_t>> hist(static_cast<size_t>(threads), std::vector<std::uint64_t>(cells, 0));
    std::vector<std::uint64_t> counted(static_cast<size_t>(threads), 0);
    double scale[kComp];
    for (int j = 0; j < kComp; ++j) scale[j] = BinScale(range.min[j], range.max[j], bins);

    if constexpr (kCountsValues<T>) {
        // Every value of an 8- or 16-bit type has its bin looked up once.
        constexpr size_t kValues = size_t(1) << (8 * sizeof(T));
        std::vector<int> lut(kValues);
        for (unsigned i = 0; i < kValues; ++i) lut[i] = BinOf(ValueOfIndex<T>(i), range.min[0], scale[0], bins);
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
            {});
    } else {
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                std::uint64_t* h = hist[static_cast<size_t>(t)].data();
                std::uint64_t n = 0;
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y);
                    for (int x = s.x0; x < s.x1; ++x) {
                        if constexpr (!IsComplex<T>) {
                            const double v = double(p[x]);
                            if (!(v == v)) continue;
                            ++h[BinOf(v, range.min[0], scale[0], bins)];
                        } else {
                            double c[4];
                            ComplexParts(p[x], c[2], c[3], c[0], c[1]);
                            if (!(c[0] == c[0])) continue;
                            for (int j = 0; j < 4; ++j)
                                ++h[static_cast<size_t>(bins) * j + BinOf(c[j], range.min[j], scale[j], bins)];
                        }
                        ++n;
                    }
                }
                counted[static_cast<size_t>(t)] += n;
            },
            {});
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

}  // namespace

double BinScale(double lo, double hi, int bins)
{
    const double range = hi - lo;
    return (std::isfinite(range) && range > 0) ? double(bins) / range : 0.0;
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
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return a.y != b.y ? a.y < b.y : a.x0 < b.x0;
    });
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
    const int threads = ThreadCount(bands.size());
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
    return visitSampleType(src.type, [&]<class T>(Tag<T>) { return MomentsOf<T>(src, region, range, progress); });
}

std::uint64_t ComputeHistogram(const SampleRows& src, const SpanList& region, const MinMaxResult& range,
                               int bins, DWORD* counters)
{
    return visitSampleType(src.type,
                           [&]<class T>(Tag<T>) { return HistogramOf<T>(src, region, range, bins, counters); });
}
