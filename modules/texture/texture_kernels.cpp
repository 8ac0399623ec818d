#include "modules/texture/texture_kernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "outside/basecore/data_type.h"

namespace {

// Fixed-point scales of the running sums that hold logarithms and reciprocals: integer
// sums never drift as values enter and leave, and their order does not matter.
constexpr double kEntropyOne = 0x1p44;
constexpr double kHomogeneityOne = 0x1p50;

using QuantiseFn = void (*)(const void* src, int width, const LevelRange& range, std::uint8_t* dst);

template <class T>
void QuantiseRow(const void* src, int width, const LevelRange& range, std::uint8_t* dst)
{
    const T* s = static_cast<const T*>(src);
    for (int x = 0; x < width; ++x) dst[x] = TextureLevel(double(s[x]), range);
}

QuantiseFn QuantiserFor(int type)
{
    if (!isValidType(type)) return nullptr;
    return visitSampleType(type, []<class T>(Tag<T>) -> QuantiseFn {
        if constexpr (IsComplex<T>)
            return nullptr;
        else
            return &QuantiseRow<T>;
    });
}

/// The level rows of one band: row y lives in slot y % size. Each input row is quantised
/// once, when the window first reaches it.
class LevelRing {
public:
    LevelRing(const RowSource& in, const LevelRange& range, QuantiseFn quantise, int size)
        : m_in(in),
          m_range(range),
          m_quantise(quantise),
          m_size(size),
          m_data(std::size_t(size) * std::size_t(in.width))
    {
    }
    /// Quantises every row up to `y` not yet held.
    void FillTo(std::int64_t y)
    {
        if (m_next < 0) m_next = y - m_size + 1;
        for (; m_next <= y; ++m_next) m_quantise(m_in.rows[m_next], m_in.width, m_range, Slot(m_next));
    }
    /// Starts the ring at row `y` (rows before it are never asked for).
    void StartAt(std::int64_t y) { m_next = y; }
    const std::uint8_t* Row(std::int64_t y) const
    {
        return m_data.data() + std::size_t(y % m_size) * std::size_t(m_in.width);
    }

private:
    std::uint8_t* Slot(std::int64_t y)
    {
        return m_data.data() + std::size_t(y % m_size) * std::size_t(m_in.width);
    }

    RowSource m_in;
    LevelRange m_range;
    QuantiseFn m_quantise;
    int m_size;
    std::vector<std::uint8_t> m_data;
    std::int64_t m_next = -1;
};

struct BandArgs {
    const RowSource& in;
    const TextureSpec& spec;
    std::int64_t first, last;
    float* const* out;
    const std::atomic<bool>* stop;
    bool Stopped() const { return stop && stop->load(std::memory_order_relaxed); }
};

// ---- first order: integer power sums by columns ----------------------------------------------

/// Mean, Std. Dev., Skewness and Kurtosis from the sums of the first `P` powers, kept per
/// column down the image and along the row across the window.
template <int P>
void MomentBand(LevelRing& ring, const BandArgs& a)
{
    const int W = a.spec.window, k = W / 2, width = a.in.width, n = W * W;
    const double invN = 1.0 / n;
    std::array<std::array<std::int64_t, 256>, P> power{};
    for (int v = 0; v < 256; ++v) {
        std::int64_t p = 1;
        for (int i = 0; i < P; ++i) power[std::size_t(i)][std::size_t(v)] = p *= v;
    }
    std::vector<std::int64_t> cols(static_cast<std::size_t>(P) * std::size_t(width), 0);
    auto col = [&](int i) { return cols.data() + std::size_t(i) * std::size_t(width); };
    auto addRow = [&](std::int64_t y, int sign) {
        const std::uint8_t* r = ring.Row(y);
        for (int i = 0; i < P; ++i) {
            std::int64_t* c = col(i);
            const std::int64_t* pw = power[std::size_t(i)].data();
            for (int x = 0; x < width; ++x) c[x] += sign * pw[r[x]];
        }
    };
    ring.StartAt(a.first - k);
    ring.FillTo(a.first + k);
    for (std::int64_t u = a.first - k; u <= a.first + k; ++u) addRow(u, 1);
    for (std::int64_t y = a.first; y < a.last; ++y) {
        if (a.Stopped()) return;
        if (y > a.first) {
            ring.FillTo(y + k);
            addRow(y - k - 1, -1);
            addRow(y + k, 1);
        }
        std::array<std::int64_t, P> s{};
        for (int i = 0; i < P; ++i)
            for (int c = 0; c < W; ++c) s[std::size_t(i)] += col(i)[c];
        float* dst = a.out[y];
        for (int x = k; x < width - k; ++x) {
            if (x > k)
                for (int i = 0; i < P; ++i) s[std::size_t(i)] += col(i)[x + k] - col(i)[x - k - 1];
            double value = 0.0;
            switch (a.spec.statistic) {
                case kFirstMean:
                    value = double(s[0]) * invN;
                    break;
                case kFirstStdDev:
                    if constexpr (P >= 2) value = std::sqrt(double(n * s[1] - s[0] * s[0])) * invN;
                    break;
                case kFirstSkewness:
                    if constexpr (P >= 3)
                        value = SkewnessFromMoments(double(s[0]) * invN, double(s[1]) * invN,
                                                    double(s[2]) * invN);
                    break;
                case kFirstKurtosis:
                    if constexpr (P >= 4)
                        value = KurtosisFromMoments(double(s[0]) * invN, double(s[1]) * invN,
                                                    double(s[2]) * invN, double(s[3]) * invN);
                    break;
                default:
                    break;
            }
            dst[x] = float(value);
        }
    }
}

// ---- first order: a sliding histogram ------------------------------------------------------

/// Entropy and Energy from a histogram slid along the row: the leaving column's levels
/// out, the entering column's in. Energy keeps the sum of c³ over the levels; Entropy the
/// sum of c² log2(n / c), through a table over counts.
template <bool kEntropy>
void HistogramBand(LevelRing& ring, const BandArgs& a)
{
    const int W = a.spec.window, k = W / 2, width = a.in.width, n = W * W;
    std::vector<std::int64_t> entropyTerm(std::size_t(n) + 1, 0);
    for (int c = 1; c <= n; ++c)
        entropyTerm[std::size_t(c)] = std::llround(double(c) * c * std::log2(double(n) / c) * kEntropyOne);
    std::array<std::uint16_t, 256> hist{};
    std::int64_t acc = 0;
    auto add = [&](std::uint8_t v) {
        const std::int64_t c = hist[v]++;
        if constexpr (kEntropy)
            acc += entropyTerm[std::size_t(c) + 1] - entropyTerm[std::size_t(c)];
        else
            acc += 3 * c * c + 3 * c + 1;
    };
    auto remove = [&](std::uint8_t v) {
        const std::int64_t c = hist[v]--;
        if constexpr (kEntropy)
            acc += entropyTerm[std::size_t(c) - 1] - entropyTerm[std::size_t(c)];
        else
            acc -= 3 * c * c - 3 * c + 1;
    };
    std::array<const std::uint8_t*, 21> rows{};
    ring.StartAt(a.first - k);
    for (std::int64_t y = a.first; y < a.last; ++y) {
        if (a.Stopped()) return;
        ring.FillTo(y + k);
        for (int i = 0; i < W; ++i) rows[std::size_t(i)] = ring.Row(y - k + i);
        for (int c = 0; c < W; ++c)
            for (int i = 0; i < W; ++i) add(rows[std::size_t(i)][c]);
        float* dst = a.out[y];
        for (int x = k; x < width - k; ++x) {
            if (x > k)
                for (int i = 0; i < W; ++i) {
                    remove(rows[std::size_t(i)][x - k - 1]);
                    add(rows[std::size_t(i)][x + k]);
                }
            if constexpr (kEntropy)
                dst[x] = float(double(acc) / (double(n) * kEntropyOne));
            else
                dst[x] = float(double(acc) / (double(n) * n));
        }
        for (int c = width - W; c < width; ++c)
            for (int i = 0; i < W; ++i) remove(rows[std::size_t(i)][c]);
    }
}

// ---- co-occurrence: the pairs of a window ------------------------------------------------------

/// The pairs of one direction and distance as (upper row u, left column c): pixel A at
/// (c, u + a0) and pixel B at (c + dx, u + b0); h is the rows a pair spans beyond u.
struct PairShape {
    int dx, a0, b0, h;
};

PairShape ShapeOf(int direction, int d)
{
    switch (direction) {
        case 0:
            return {0, 0, d, d};  // vertical neighbours
        case 1:
            return {d, d, 0, d};  // the diagonal rising to the right
        case 2:
            return {d, 0, 0, 0};  // horizontal neighbours
        default:
            return {d, 0, d, d};  // the diagonal falling to the right
    }
}

/// Sums over the window's pairs of per-pair integers (Contrast, Absolute Value,
/// Homogeneity, Correlation), kept per left column down the image and along the row.
template <int K, class PairFn, class ValueFn>
void PairSumBand(LevelRing& ring, const BandArgs& a, const PairShape& s, PairFn&& pairFn, ValueFn&& valueFn)
{
    const int W = a.spec.window, k = W / 2, width = a.in.width;
    const int columns = width - s.dx;
    std::vector<std::int64_t> cols(static_cast<std::size_t>(K) * std::size_t(columns), 0);
    auto addRow = [&](std::int64_t u, int sign) {
        const std::uint8_t* ra = ring.Row(u + s.a0);
        const std::uint8_t* rb = ring.Row(u + s.b0) + s.dx;
        for (int c = 0; c < columns; ++c) {
            std::array<std::int64_t, K> f;
            pairFn(ra[c], rb[c], f);
            for (int i = 0; i < K; ++i) cols[std::size_t(i) * columns + c] += sign * f[std::size_t(i)];
        }
    };
    ring.StartAt(a.first - k);
    ring.FillTo(a.first + k);
    for (std::int64_t u = a.first - k; u <= a.first + k - s.h; ++u) addRow(u, 1);
    const int span = W - s.dx;  // left columns of the pairs in one window
    for (std::int64_t y = a.first; y < a.last; ++y) {
        if (a.Stopped()) return;
        if (y > a.first) {
            ring.FillTo(y + k);
            addRow(y - k - 1, -1);
            addRow(y + k - s.h, 1);
        }
        std::array<std::int64_t, K> sum{};
        for (int i = 0; i < K; ++i)
            for (int c = 0; c < span; ++c) sum[std::size_t(i)] += cols[std::size_t(i) * columns + c];
        float* dst = a.out[y];
        for (int x = k; x < width - k; ++x) {
            if (x > k)
                for (int i = 0; i < K; ++i)
                    sum[std::size_t(i)] += cols[std::size_t(i) * columns + (x - k - 1 + span)] -
                                           cols[std::size_t(i) * columns + (x - k - 1)];
            dst[x] = float(valueFn(sum));
        }
    }
}

/// The symmetric pair counts of the window in a 256 x 256 table, slid along the row; the
/// tracker follows every change of an entry's count.
template <class Tracker>
void MatrixBand(LevelRing& ring, const BandArgs& a, const PairShape& s, Tracker& tracker)
{
    const int W = a.spec.window, k = W / 2, width = a.in.width;
    std::vector<std::uint16_t> counts(256 * 256, 0);
    auto add = [&](unsigned p, unsigned q) {
        if (p == q) {
            std::uint16_t& e = counts[p * 257];
            tracker.Change(e, e + 2);
            e = std::uint16_t(e + 2);
        } else {
            std::uint16_t& e = counts[p * 256 + q];
            tracker.Change(e, e + 1);
            tracker.Change(e, e + 1);
            e = std::uint16_t(e + 1);
            counts[q * 256 + p] = e;
        }
    };
    auto remove = [&](unsigned p, unsigned q) {
        if (p == q) {
            std::uint16_t& e = counts[p * 257];
            tracker.Change(e, e - 2);
            e = std::uint16_t(e - 2);
        } else {
            std::uint16_t& e = counts[p * 256 + q];
            tracker.Change(e, e - 1);
            tracker.Change(e, e - 1);
            e = std::uint16_t(e - 1);
            counts[q * 256 + p] = e;
        }
    };
    const int rowsOfPairs = W - s.h;
    std::array<const std::uint8_t*, 21> ra{}, rb{};
    ring.StartAt(a.first - k);
    for (std::int64_t y = a.first; y < a.last; ++y) {
        if (a.Stopped()) return;
        ring.FillTo(y + k);
        for (int i = 0; i < rowsOfPairs; ++i) {
            ra[std::size_t(i)] = ring.Row(y - k + i + s.a0);
            rb[std::size_t(i)] = ring.Row(y - k + i + s.b0) + s.dx;
        }
        auto column = [&](int c, auto&& op) {
            for (int i = 0; i < rowsOfPairs; ++i) op(ra[std::size_t(i)][c], rb[std::size_t(i)][c]);
        };
        const int span = W - s.dx;
        for (int c = 0; c < span; ++c) column(c, add);
        float* dst = a.out[y];
        for (int x = k; x < width - k; ++x) {
            if (x > k) {
                column(x - k - 1, remove);
                column(x - k - 1 + span, add);
            }
            dst[x] = float(tracker.Value());
        }
        for (int c = width - W; c < width - W + span; ++c) column(c, remove);
    }
}

/// Sum of the squared counts: Energy.
struct EnergyTracker {
    std::int64_t squares = 0;
    double total2;
    void Change(std::int64_t from, std::int64_t to) { squares += to * to - from * from; }
    double Value() const { return double(squares) / total2; }
};

/// Sum of C log2(T / C) over the entries, through a table over counts: Entropy.
struct EntropyTracker {
    std::vector<std::int64_t> term;
    std::int64_t sum = 0;
    double scale;
    explicit EntropyTracker(int total) : term(std::size_t(total) + 1, 0), scale(double(total) * kEntropyOne)
    {
        for (int c = 1; c <= total; ++c)
            term[std::size_t(c)] = std::llround(double(c) * std::log2(double(total) / c) * kEntropyOne);
    }
    void Change(std::int64_t from, std::int64_t to)
    {
        sum += term[std::size_t(to)] - term[std::size_t(from)];
    }
    double Value() const { return double(sum) / scale; }
};

/// How many entries hold each count, and the largest count: Max. Probability.
struct MaxTracker {
    std::vector<std::int32_t> entries;
    int best = 0;
    double total;
    explicit MaxTracker(int t) : entries(std::size_t(t) + 1, 0), total(t) {}
    void Change(std::int64_t from, std::int64_t to)
    {
        --entries[std::size_t(from)];
        ++entries[std::size_t(to)];
        if (to > best) best = int(to);
        while (best > 0 && entries[std::size_t(best)] == 0) --best;
    }
    double Value() const { return best / total; }
};

void CooccurrenceBand(LevelRing& ring, const BandArgs& a)
{
    const int W = a.spec.window, k = W / 2, d = a.spec.distance;
    if (d < 0 || d >= W) {
        // No pairs in any window: every measure is 0.
        for (std::int64_t y = a.first; y < a.last; ++y)
            std::fill(a.out[y] + k, a.out[y] + a.in.width - k, 0.0f);
        return;
    }
    const PairShape s = ShapeOf(a.spec.direction, d);
    const std::int64_t pairs = std::int64_t(W - s.dx) * (W - s.h);
    const std::int64_t total = 2 * pairs;
    const double invPairs = 1.0 / double(pairs);
    using Sum1 = std::array<std::int64_t, 1>;
    switch (a.spec.statistic) {
        case kGlcmContrast:
            PairSumBand<1>(
                ring, a, s, [](int p, int q, Sum1& f) { f[0] = (p - q) * (p - q); },
                [&](const Sum1& v) { return double(v[0]) * invPairs; });
            break;
        case kGlcmAbsoluteValue:
            PairSumBand<1>(
                ring, a, s, [](int p, int q, Sum1& f) { f[0] = p > q ? p - q : q - p; },
                [&](const Sum1& v) { return double(v[0]) * invPairs; });
            break;
        case kGlcmHomogeneity: {
            std::array<std::int64_t, 256> weight{};
            for (int g = 0; g < 256; ++g)
                weight[std::size_t(g)] = std::llround(kHomogeneityOne / double(1 + g * g));
            PairSumBand<1>(
                ring, a, s, [&](int p, int q, Sum1& f) { f[0] = weight[std::size_t(p > q ? p - q : q - p)]; },
                [&](const Sum1& v) { return double(v[0]) / kHomogeneityOne * invPairs; });
            break;
        }
        case kGlcmCorrelation: {
            const double t2 = double(total) * double(total);
            PairSumBand<3>(
                ring, a, s,
                [](int p, int q, std::array<std::int64_t, 3>& f) {
                    f[0] = p + q;
                    f[1] = p * p + q * q;
                    f[2] = p * q;
                },
                [&](const std::array<std::int64_t, 3>& v) {
                    // Means and variances of the two margins are equal: the counts are symmetric.
                    double variance = double(v[1] * total - v[0] * v[0]) / t2;
                    if (!(variance >= 1.0)) variance = 1.0;
                    return double(2 * v[2] * total - v[0] * v[0]) / t2 / variance;
                });
            break;
        }
        case kGlcmEnergy: {
            EnergyTracker tracker{0, double(total) * double(total)};
            MatrixBand(ring, a, s, tracker);
            break;
        }
        case kGlcmEntropy: {
            EntropyTracker tracker{int(total)};
            MatrixBand(ring, a, s, tracker);
            break;
        }
        case kGlcmMaxProbability: {
            MaxTracker tracker{int(total)};
            MatrixBand(ring, a, s, tracker);
            break;
        }
        default:
            break;
    }
}

}  // namespace

bool IsValidTextureSpec(const TextureSpec& spec)
{
    const int statistics = spec.dimensionality == 0 ? kFirstOrderCount : kCooccurrenceCount;
    return (spec.dimensionality == 0 || spec.dimensionality == 1) && spec.statistic >= 0 &&
           spec.statistic < statistics && spec.window >= 3 && spec.window <= 21 && spec.window % 2 == 1 &&
           spec.direction >= 0 && spec.direction <= 3;
}

void TextureRows(int type, const RowSource& in, const LevelRange& range, const TextureSpec& spec,
                 std::int64_t first, std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    if (!IsValidTextureSpec(spec)) return;
    const QuantiseFn quantise = QuantiserFor(type);
    if (!quantise) return;
    const int W = spec.window, k = W / 2;
    first = std::max<std::int64_t>(first, k);
    last = std::min<std::int64_t>(last, in.height - k);
    if (first >= last || in.width < W) return;
    // One row more than the window: the row leaving the column sums is still held.
    LevelRing ring(in, range, quantise, W + 1);
    const BandArgs args{in, spec, first, last, out, stop};
    if (spec.dimensionality == 1) return CooccurrenceBand(ring, args);
    switch (spec.statistic) {
        case kFirstMean:
            return MomentBand<1>(ring, args);
        case kFirstStdDev:
            return MomentBand<2>(ring, args);
        case kFirstSkewness:
            return MomentBand<3>(ring, args);
        case kFirstKurtosis:
            return MomentBand<4>(ring, args);
        case kFirstEntropy:
            return HistogramBand<true>(ring, args);
        case kFirstEnergy:
            return HistogramBand<false>(ring, args);
        default:
            return;
    }
}

void TextureImage(int type, const RowSource& in, const LevelRange& range, const TextureSpec& spec,
                  float* const* out, const BandProgress& progress, int threads)
{
    if (!IsValidTextureSpec(spec)) return;
    const int k = spec.window / 2;
    const std::int64_t inner = in.height - 2 * k;
    if (inner <= 0 || in.width < spec.window) return;
    // A band quantises the window's rows around it once more; bands of several windows'
    // height keep that small beside the rows they compute.
    const RowBands bands =
        RowBands::Even(inner, std::max<std::int64_t>(kDefaultMinRowsPerBand, 4 * spec.window));
    RunRowBands(
        bands,
        [&](const RowBand& band) {
            TextureRows(type, in, range, spec, k + band.begin, k + band.end, out, band.stop);
        },
        progress, threads);
}
