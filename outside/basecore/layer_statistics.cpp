#include "outside/basecore/layer_statistics.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>

#include "outside/basecore/data_type.h"
#include "outside/basecore/row_driver.h"

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
    return RowDriverSlots(static_cast<std::int64_t>(bands));
}

/// Runs work(band, slot) for every band through the row driver. Only the calling thread
/// reports progress; when progress or a band throws, the other bands stop and the
/// exception goes on once they have all ended.
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
        [&](const RowBand& band) { work(bands[static_cast<size_t>(band.index)], band.slot); }, report, threads);
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

/// An upper bound of |ApproxArg - atan2|, with margin (the polynomial is off by at most 2.1e-4 rad).
constexpr double kApproxArgError = 1e-3;

/// atan2(i, r) within kApproxArgError, cheaply; NaN where it cannot promise that (both
/// parts zero), so that callers fall back to the exact angle.
inline double ApproxArg(double r, double i)
{
    const double ar = std::abs(r), ai = std::abs(i);
    const double big = std::max(ar, ai), small = std::min(ar, ai);
    if (!(big > 0.0)) return std::numeric_limits<double>::quiet_NaN();
    const double q = small / big, q2 = q * q;
    double t = ((-0.0464964749 * q2 + 0.15931422) * q2 - 0.327622764) * q2 * q + q;
    if (ai > ar) t = 1.5707963267948966 - t;
    if (r < 0) t = 3.141592653589793 - t;
    return i < 0 ? -t : t;   // -0.0 parts land on +pi or 0 here: never inside the range, so checked exactly
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
                const double r = double(re(p[x])), i = double(im(p[x]));
                // Tested on the parts: a test of the amplitude would wait for the square root.
                if (!(r == r && i == i)) continue;
                const double a = std::sqrt(r * r + i * i);
                lo[0] = std::min(lo[0], a);
                hi[0] = std::max(hi[0], a);
                lo[2] = std::min(lo[2], r);
                hi[2] = std::max(hi[2], r);
                lo[3] = std::min(lo[3], i);
                hi[3] = std::max(hi[3], i);
                // The exact phase is needed only where it may be a new extreme.
                const double guess = ApproxArg(r, i);
                if (!(guess > lo[1] + kApproxArgError && guess < hi[1] - kApproxArgError)) {
                    const double phase = std::atan2(i, r);
                    lo[1] = std::min(lo[1], phase);
                    hi[1] = std::max(hi[1], phase);
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

/// True when a run of samples holds a NaN (never for integer samples). Runs are rows, still
/// in cache for the pass that follows.
template <class T>
bool HasNan(const T* p, int n)
{
    if constexpr (std::is_floating_point_v<T>) {
        bool nan = false;
        for (int i = 0; i < n; ++i) nan |= !(p[i] == p[i]);
        return nan;
    } else {
        (void)p;
        (void)n;
        return false;
    }
}

/// The bin of BinOf for t = (v - lo) x scale, written without branches: clamped to
/// 0 .. last (NaN to 0), then truncated.
inline int BinOfScaled(double t, double last)
{
    t = t > 0.0 ? t : 0.0;
    t = t < last ? t : last;
    return static_cast<int>(t);
}

/// Sums, squared sums and 256-bin counts of n real samples with no NaN among them; four
/// lanes of accumulators and histograms keep the additions and counters independent.
template <class T>
void MomentsRun(const T* p, int n, double lo, double scale, double shift, double& sum, double& sum2, DWORD* h)
{
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0, q0 = 0, q1 = 0, q2 = 0, q3 = 0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const double v0 = double(p[i]), v1 = double(p[i + 1]), v2 = double(p[i + 2]), v3 = double(p[i + 3]);
        const double d0 = v0 - shift, d1 = v1 - shift, d2 = v2 - shift, d3 = v3 - shift;
        s0 += d0;
        s1 += d1;
        s2 += d2;
        s3 += d3;
        q0 += d0 * d0;
        q1 += d1 * d1;
        q2 += d2 * d2;
        q3 += d3 * d3;
        ++h[BinOfScaled((v0 - lo) * scale, 255.0)];
        ++h[256 + BinOfScaled((v1 - lo) * scale, 255.0)];
        ++h[512 + BinOfScaled((v2 - lo) * scale, 255.0)];
        ++h[768 + BinOfScaled((v3 - lo) * scale, 255.0)];
    }
    for (; i < n; ++i) {
        const double v = double(p[i]), d = v - shift;
        s0 += d;
        q0 += d * d;
        ++h[BinOfScaled((v - lo) * scale, 255.0)];
    }
    sum += (s0 + s1) + (s2 + s3);
    sum2 += (q0 + q1) + (q2 + q3);
}

/// Moments and histograms over `range`; for the small integer types that are counted, a
/// non-null `derived` makes the one counting pass find the range itself (stored there).
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
    const int threads = ThreadCount(bands.size());

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
                        if constexpr (kCountsValues<T>) ++c[ValueIndex(p[x])];
                        else ++c[ValueIndex(p[x].re) | (ValueIndex(p[x].im) << 8)];
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
                    c[0] = std::sqrt(c[2] * c[2] + c[3] * c[3]);
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
        // Real layers count into four interleaved histograms (merged below), so runs of equal
        // samples do not wait on one counter.
        std::vector<std::vector<DWORD>> hist(static_cast<size_t>(threads), std::vector<DWORD>(256 * 4, 0));
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
                        if (!HasNan(p + s.x0, s.x1 - s.x0)) {
                            MomentsRun<T>(p + s.x0, s.x1 - s.x0, range.min[0], scale[0], shift[0], acc.sum[0],
                                          acc.sum2[0], h);
                            acc.n += std::uint64_t(s.x1 - s.x0);
                            continue;
                        }
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
                            c[2] = double(re(p[x]));
                            c[3] = double(im(p[x]));
                            if (!(c[2] == c[2] && c[3] == c[3])) continue;
                            c[0] = std::sqrt(c[2] * c[2] + c[3] * c[3]);
                            c[1] = std::atan2(c[3], c[2]);
                            for (int j = 0; j < 4; ++j) {
                                const double d = c[j] - shift[j];
                                acc.sum[j] += d;
                                acc.sum2[j] += d * d;
                                ++h[256 * j + BinOfScaled((c[j] - range.min[j]) * scale[j], 255.0)];
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
                for (const auto& h : hist) {
                    if constexpr (IsComplex<T>) c += h[static_cast<size_t>(256 * j + b)];
                    else c += std::uint64_t(h[size_t(b)]) + h[size_t(256 + b)] + h[size_t(512 + b)] + h[size_t(768 + b)];
                }
                out[j].hist[b] = static_cast<DWORD>(std::min<std::uint64_t>(c, 0xFFFFFFFFu));
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
            progress);
    } else if constexpr (!IsComplex<T>) {
        // Four interleaved 32-bit histograms per thread, each with one extra cell that
        // takes the NaN samples, so the loop has no branch.
        const size_t lane = static_cast<size_t>(bins) + 1;
        std::vector<std::vector<std::uint32_t>> lanes(static_cast<size_t>(threads), std::vector<std::uint32_t>(4 * lane, 0));
        const double lo = range.min[0], sc = scale[0], last = double(bins - 1);
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                std::uint32_t* h = lanes[static_cast<size_t>(t)].data();
                std::uint64_t n = 0;
                auto bin = [&](const T& sample) {
                    const double v = double(sample);
                    const int b = BinOfScaled((v - lo) * sc, last);
                    return v == v ? b : bins;
                };
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y) + s.x0;
                    const int count = s.x1 - s.x0;
                    int x = 0;
                    for (; x + 4 <= count; x += 4) {
                        ++h[bin(p[x])];
                        ++h[lane + size_t(bin(p[x + 1]))];
                        ++h[2 * lane + size_t(bin(p[x + 2]))];
                        ++h[3 * lane + size_t(bin(p[x + 3]))];
                    }
                    for (; x < count; ++x) ++h[bin(p[x])];
                    n += std::uint64_t(count);
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
        RunBands(
            bands, threads,
            [&](const Band& band, int t) {
                std::uint64_t* h = hist[static_cast<size_t>(t)].data();
                std::uint64_t n = 0;
                for (size_t k = band.begin; k < band.end; ++k) {
                    const Span& s = spans[k];
                    const T* p = RowOf<T>(src, s.y);
                    for (int x = s.x0; x < s.x1; ++x) {
                        {
                            const double r = double(re(p[x])), i = double(im(p[x]));
                            if (!(r == r && i == i)) continue;
                            const double a = std::sqrt(r * r + i * i);
                            const double last = double(bins - 1);
                            ++h[BinOfScaled((a - range.min[0]) * scale[0], last)];
                            ++h[static_cast<size_t>(bins) * 2 + BinOfScaled((r - range.min[2]) * scale[2], last)];
                            ++h[static_cast<size_t>(bins) * 3 + BinOfScaled((i - range.min[3]) * scale[3], last)];
                            // The exact phase only where the cheap one may lie in another bin.
                            const double guess = ApproxArg(r, i);
                            const int b0 = BinOfScaled((guess - kApproxArgError - range.min[1]) * scale[1], last);
                            const int b1 = BinOfScaled((guess + kApproxArgError - range.min[1]) * scale[1], last);
                            const bool sure = i != 0.0 && guess == guess && b0 == b1;
                            const int b = sure ? b0 : BinOfScaled((std::atan2(i, r) - range.min[1]) * scale[1], last);
                            ++h[static_cast<size_t>(bins) + size_t(b)];
                        }
                        ++n;
                    }
                }
                counted[static_cast<size_t>(t)] += n;
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
struct BandMoments {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    std::uint64_t n = 0;
    double shift = 0, sum = 0, sum2 = 0;
};

template <class T>
void MinMaxMomentsBand(const SampleRows& src, const SpanList& spans, const Band& band, BandMoments& out)
{
    bool shifted = false;
    double lo = out.min, hi = out.max, lo1 = lo, hi1 = hi, shift = 0;
    double s0 = 0, s1 = 0, q0 = 0, q1 = 0;
    std::uint64_t n = 0;
    for (size_t k = band.begin; k < band.end; ++k) {
        const Span& s = spans[k];
        const T* p = RowOf<T>(src, s.y);
        int x = s.x0;
        if (!shifted) {
            for (; x < s.x1 && !(double(p[x]) == double(p[x])); ++x) {}
            if (x == s.x1) continue;
            shift = double(p[x]);
            shifted = true;
        }
        for (; x + 2 <= s.x1; x += 2) {
            const double v0 = double(p[x]), v1 = double(p[x + 1]);
            if (v0 == v0 && v1 == v1) {
                // One comparison per accumulator: min/max of the pair first would branch.
                lo = std::min(lo, v0);
                lo1 = std::min(lo1, v1);
                hi = std::max(hi, v0);
                hi1 = std::max(hi1, v1);
                const double d0 = v0 - shift, d1 = v1 - shift;
                s0 += d0;
                s1 += d1;
                q0 += d0 * d0;
                q1 += d1 * d1;
                n += 2;
            } else {
                for (const double v : {v0, v1}) {
                    if (!(v == v)) continue;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                    s0 += v - shift;
                    q0 += (v - shift) * (v - shift);
                    ++n;
                }
            }
        }
        for (; x < s.x1; ++x) {
            const double v = double(p[x]);
            if (!(v == v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            s0 += v - shift;
            q0 += (v - shift) * (v - shift);
            ++n;
        }
    }
    out = {std::min(lo, lo1), std::max(hi, hi1), n, shift, s0 + s1, q0 + q1};
}

}  // namespace

std::array<ComponentStats, kComponents> ComputeStatistics(const SampleRows& src, const SpanList& region,
                                                          MinMaxResult* range, const RowProgress& progress)
{
    // 8- and 16-bit samples: one counting pass gives everything.
    const bool counted = visitSampleType(src.type, []<class T>(Tag<T>) { return kCountsValues<T> || kCountsPairs<T>; });
    if (counted) {
        auto stats = visitSampleType(src.type, [&]<class T>(Tag<T>) {
            return MomentsOf<T>(src, region, MinMaxResult{}, progress, range);
        });
        if (progress) {   // the second pass the other types make
            int rows = 0;
            for (const Band& b : MakeBands(region)) rows += b.rows;
            if (rows > 0) progress(rows);
        }
        return stats;
    }
    const bool fused = visitSampleType(src.type, []<class T>(Tag<T>) { return !IsComplex<T>; });
    if (!fused) {
        *range = ComputeMinMax(src, region, progress);
        return ComputeMoments(src, region, *range, progress);
    }
    const std::vector<Band> bands = MakeBands(region);
    std::vector<BandMoments> parts(bands.size());
    visitSampleType(src.type, [&]<class T>(Tag<T>) {
        if constexpr (!IsComplex<T>) {
            RunBands(
                bands, ThreadCount(bands.size()),
                [&](const Band& band, int) {
                    MinMaxMomentsBand<T>(src, region, band, parts[static_cast<size_t>(&band - bands.data())]);
                },
                progress);
        }
    });
    // Bands merge in their order (Chan's pairwise update), so the result is the same
    // whatever the number of threads.
    MinMaxAcc extremes;
    double mean = 0, m2 = 0;
    std::uint64_t n = 0;
    for (const BandMoments& b : parts) {
        if (!b.n) continue;
        extremes.min[0] = std::min(extremes.min[0], b.min);
        extremes.max[0] = std::max(extremes.max[0], b.max);
        const double bn = double(b.n);
        const double bMean = b.shift + b.sum / bn;
        const double bM2 = std::max(0.0, b.sum2 - b.sum * b.sum / bn);
        const double total = double(n) + bn;
        const double delta = bMean - mean;
        mean += delta * bn / total;
        m2 += bM2 + delta * delta * double(n) * bn / total;
        n += b.n;
    }
    extremes.count = n;
    Finish(*range, extremes, false);
    std::array<ComponentStats, kComponents> out{};
    out[0].min = range->min[0];
    out[0].max = range->max[0];
    if (n) {
        out[0].mean = mean;
        out[0].stdDev = std::sqrt(m2 / double(n));
    }
    std::array<DWORD, 256> hist{};
    ComputeHistogram(src, region, *range, 256, hist.data(), progress);
    out[0].hist = hist;
    return out;
}

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
                               int bins, DWORD* counters, const RowProgress& progress)
{
    return visitSampleType(
        src.type, [&]<class T>(Tag<T>) { return HistogramOf<T>(src, region, range, bins, counters, progress); });
}
