#include "modules/convolution/noise_filter_kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "modules/common/block_run_sums.h"
#include "modules/convolution/noise_filter_detail.h"
#include "outside/basecore/data_type.h"
#include "platform/kernel/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#include <sleef.h>
// Declared by sleef.h only where the whole file is built for AVX2.
extern "C" __m256d Sleef_expd4_u10avx2(__m256d);
#endif

// The 256-bit helpers below are only ever called from their own target's code.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

using noise_detail::Doubles4;
using noise_detail::RowRing;
using noise_detail::ValueOf;

#if defined(__x86_64__)
__attribute__((target("avx2"))) void ExpAvx2(const double* in, double* out, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) _mm256_storeu_pd(out + i, Sleef_expd4_u10avx2(_mm256_loadu_pd(in + i)));
    for (; i < n; ++i) out[i] = std::exp(in[i]);
}
#endif

/// out[i] = exp(in[i]), four at a time where the processor can.
void ExpAll(const double* in, double* out, std::size_t n)
{
#if defined(__x86_64__)
    if (platform::UseAvx2()) {
        ExpAvx2(in, out, n);
        return;
    }
#endif
    for (std::size_t i = 0; i < n; ++i) out[i] = std::exp(in[i]);
}

// Windows whose sum of squares passes this hold a value whose square nears the double range
// (or a NaN, an infinity): their moments are taken directly, as two passes over the window.
constexpr double kLargeSquare = 1e300;

/// Integer samples whose values and squares add exactly in 64 and 128 bits: real integers,
/// and complex integers with 8- or 16-bit parts (their powers stay below 2^32). The mean and
/// the variance are then the exact ones rounded once.
template <class T>
inline constexpr bool kExactSums = std::is_integral_v<T> ||
                                   (IsComplex<T> && std::is_integral_v<PartType<T>> &&
                                    sizeof(PartType<T>) <= 2);

template <class T>
using SquareSum = std::conditional_t<(sizeof(T) >= 4), __int128, std::int64_t>;

// ---- what each filter makes of a window's moments ----------------------------------------

inline float LeeValue(double x, double m, double s2, float sigma)
{
    if (m == 0.0) return 0.0f;
    const float mf = float(m);
    const float m2 = float(double(mf) * mf);
    const float sig2 = float(double(sigma) * sigma);
    const float q = float((double(m2) + s2) / (1.0 + sig2) - m2);
    const double j = std::fabs(double(q));
    const double den = j + double(sig2) * m2;
    // A flat window with no noise is 0 / 0: its limit is the mean.
    if (den == 0.0) return mf;
    return float(mf + (x - mf) * j / den);
}

inline float KuanValue(double x, double m, double s2, float sigma)
{
    if (m == 0.0) return 0.0f;
    // A flat window has Ci = 0: the mean, also when sigma is 0 (where W would be 0 / 0).
    if (s2 == 0.0) return float(m);
    const double ci = std::sqrt(s2) / m;
    if (ci < sigma) return float(m);
    const double sg2 = double(sigma) * sigma;
    const double w = (1.0 - sg2 * m * m / s2) / (1.0 + sg2);
    return float(w * x + (1.0 - w) * m);
}

/// The window centred on column c of the current row, as rows of doubles.
struct WindowRows {
    const double* const* rows;  // g row pointers, top to bottom
    int g;
};

/// Mean and sample variance of a window by two passes (windows the sliding sums avoid).
inline void DirectMoments(const WindowRows& win, int c, double& m, double& s2)
{
    const int k = win.g / 2, n = win.g * win.g;
    double sum = 0.0;
    for (int i = 0; i < win.g; ++i)
        for (int j = -k; j <= k; ++j) sum += win.rows[i][c + j];
    m = sum / n;
    double dev = 0.0;
    for (int i = 0; i < win.g; ++i)
        for (int j = -k; j <= k; ++j) {
            const double d = m - win.rows[i][c + j];
            dev += d * d;
        }
    s2 = dev / (n - 1);
}

constexpr int kFrostLanes = 16;

/// Frost's weighted sums of kFrostLanes neighbouring pixels, one lane each; each lane adds
/// its window in row order, as a single pixel would.
[[gnu::always_inline]] inline void FrostLanes(const double* const* rows, int g, int column, const int* cls,
                                              const double* weight, double* sw, double* swv)
{
    for (int i = 0; i < g; ++i) {
        const double* row = rows[i] + column;
        for (int j = 0; j < g; ++j) {
            const double* wt = weight + std::size_t(*cls++) * kFrostLanes;
            const double* v = row + j;
            for (int p = 0; p < kFrostLanes; ++p) {
                swv[p] += wt[p] * v[p];
                sw[p] += wt[p];
            }
        }
    }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void FrostLanesAvx2(const double* const* rows, int g, int column,
                                                    const int* cls, const double* weight, double* sw,
                                                    double* swv)
{
    // Sixteen lanes in four registers each for the two sums; a multiply and an add per
    // term, never fused, so every lane rounds as the scalar sum does.
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0, v0 = s0, v1 = s0, v2 = s0, v3 = s0;
    for (int i = 0; i < g; ++i) {
        const double* row = rows[i] + column;
        for (int j = 0; j < g; ++j) {
            const double* wt = weight + std::size_t(*cls++) * kFrostLanes;
            const double* v = row + j;
            const __m256d w0 = _mm256_loadu_pd(wt), w1 = _mm256_loadu_pd(wt + 4),
                          w2 = _mm256_loadu_pd(wt + 8), w3 = _mm256_loadu_pd(wt + 12);
            v0 = _mm256_add_pd(v0, _mm256_mul_pd(w0, _mm256_loadu_pd(v)));
            v1 = _mm256_add_pd(v1, _mm256_mul_pd(w1, _mm256_loadu_pd(v + 4)));
            v2 = _mm256_add_pd(v2, _mm256_mul_pd(w2, _mm256_loadu_pd(v + 8)));
            v3 = _mm256_add_pd(v3, _mm256_mul_pd(w3, _mm256_loadu_pd(v + 12)));
            s0 = _mm256_add_pd(s0, w0);
            s1 = _mm256_add_pd(s1, w1);
            s2 = _mm256_add_pd(s2, w2);
            s3 = _mm256_add_pd(s3, w3);
        }
    }
    _mm256_storeu_pd(swv, v0);
    _mm256_storeu_pd(swv + 4, v1);
    _mm256_storeu_pd(swv + 8, v2);
    _mm256_storeu_pd(swv + 12, v3);
    _mm256_storeu_pd(sw, s0);
    _mm256_storeu_pd(sw + 4, s1);
    _mm256_storeu_pd(sw + 8, s2);
    _mm256_storeu_pd(sw + 12, s3);
}
#endif

void AccumulateFrost(const double* const* rows, int g, int column, const int* cls, const double* weight,
                     double* sw, double* swv)
{
#if defined(__x86_64__)
    if (platform::UseAvx2()) {
        FrostLanesAvx2(rows, g, column, cls, weight, sw, swv);
        return;
    }
#endif
    FrostLanes(rows, g, column, cls, weight, sw, swv);
}

/// Frost's weights by distance class: one exp per distinct distance from the centre.
class FrostWeights {
public:
    explicit FrostWeights(int g) : m_g(g)
    {
        const int k = g / 2;
        std::vector<int> squares;
        for (int i = 0; i <= k; ++i)
            for (int j = i; j <= k; ++j) squares.push_back(i * i + j * j);
        std::sort(squares.begin(), squares.end());
        squares.erase(std::unique(squares.begin(), squares.end()), squares.end());
        for (int sq : squares) m_distance.push_back(std::sqrt(double(sq)));
        m_class.resize(std::size_t(g) * g);
        for (int i = -k; i <= k; ++i)
            for (int j = -k; j <= k; ++j) {
                const int sq = i * i + j * j;
                m_class[std::size_t(i + k) * g + (j + k)] =
                    int(std::lower_bound(squares.begin(), squares.end(), sq) - squares.begin());
            }
        m_weight.resize(m_distance.size() * kLanes);
        m_exponent.resize(m_distance.size() * kLanes);
    }

    /// Filters `count` (1 to kLanes) pixels from column c on, one lane each; every lane
    /// sums its window in row order, as a single pixel would.
    void Values(const WindowRows& win, int c, int count, const double* mean, const double* var, float k0,
                float* dst)
    {
        const int k = m_g / 2;
        const std::size_t classes = m_distance.size();
        for (int p = 0; p < kLanes; ++p) {
            const double m = p < count ? mean[p] : 1.0, s2 = p < count ? var[p] : 0.0;
            // A flat window has B = 0 (not K0 x 0, which is NaN when sigma is 0).
            const float b = s2 == 0.0 ? 0.0f : float(double(k0) * s2 / (m * m));
            for (std::size_t d = 1; d < classes; ++d)
                m_exponent[d * kLanes + std::size_t(p)] = -double(b) * m_distance[d];
        }
        ExpAll(m_exponent.data() + kLanes, m_weight.data() + kLanes, (classes - 1) * kLanes);
        // The centre weight is exp(0) = 1 whatever B is (also infinite).
        for (int p = 0; p < kLanes; ++p) m_weight[std::size_t(p)] = 1.0;
        double sw[kLanes] = {}, swv[kLanes] = {};
        if (count == kLanes) {
            AccumulateFrost(win.rows, m_g, c - k, m_class.data(), m_weight.data(), sw, swv);
        } else {
            const int* cls = m_class.data();
            for (int i = 0; i < m_g; ++i) {
                const double* row = win.rows[i] + c - k;
                for (int j = 0; j < m_g; ++j) {
                    const double* wt = m_weight.data() + std::size_t(*cls++) * kLanes;
                    for (int p = 0; p < count; ++p) {
                        swv[p] += wt[p] * row[j + p];
                        sw[p] += wt[p];
                    }
                }
            }
        }
        for (int p = 0; p < count; ++p) dst[p] = mean[p] == 0.0 ? 0.0f : float(swv[p] / sw[p]);
    }

    static constexpr int kLanes = kFrostLanes;

private:
    int m_g;
    std::vector<double> m_distance;
    std::vector<int> m_class;
    std::vector<double> m_weight;
    std::vector<double> m_exponent;
};

template <class T>
[[gnu::always_inline]] inline void ConvertRow(const RowSource& in, std::int64_t y, double* out)
{
    const T* src = static_cast<const T*>(in.rows[y]);
    for (int x = 0; x < in.width; ++x) out[x] = ValueOf(src[x]);
}

// ---- Mean, Lee, Frost, Kuan: window moments -----------------------------------------

inline void MomentsFromSums(double s1, double s2, int n, double& m, double& v)
{
    m = s1 / n;
    v = std::max(0.0, (s2 - s1 * m) / (n - 1));
}

/// Moments of exact integer sums: each column sum over the g ring rows is kept up to date by
/// adding the entering row and taking out the leaving one, which loses nothing.
template <class T>
class ExactMoments {
public:
    ExactMoments(int g, int width)
        : m_g(g), m_width(width), m_sum(std::size_t(width)), m_sq(std::size_t(width))
    {
    }

    /// Fills the ring with the window rows of y, the band's first output row.
    template <class Convert>
    void Start(RowRing<double>& ring, std::int64_t y, Convert&& convert)
    {
        const int k = m_g / 2;
        for (std::int64_t r = y - k; r <= y + k; ++r) {
            convert(r);
            Add(ring.Slot(r), +1);
        }
    }
    /// Row y + k is about to replace row y - k - 1 in the ring slot `slot`.
    void Leave(const double* slot) { Add(slot, -1); }
    /// Row y + k has entered the ring.
    void Enter(RowRing<double>& ring, std::int64_t y) { Add(ring.Slot(y + m_g / 2), +1); }

    void Compute(const WindowRows&, std::int64_t, double* mean, double* var)
    {
        const int g = m_g, k = g / 2, n = g * g;
        std::int64_t s1 = 0;
        Sq s2 = 0;
        for (int x = 0; x < g; ++x) {
            s1 += m_sum[std::size_t(x)];
            s2 += m_sq[std::size_t(x)];
        }
        const double denom = double(n) * double(n - 1);
        for (int c = k; c < m_width - k; ++c) {
            mean[c] = double(s1) / n;
            const Sq num = Sq(n) * s2 - Sq(s1) * Sq(s1);
            var[c] = double(num) / denom;
            if (c + 1 < m_width - k) {
                s1 += m_sum[std::size_t(c + k + 1)] - m_sum[std::size_t(c - k)];
                s2 += m_sq[std::size_t(c + k + 1)] - m_sq[std::size_t(c - k)];
            }
        }
    }

private:
    using Sq = SquareSum<T>;

    void Add(const double* row, int sign)
    {
        for (int x = 0; x < m_width; ++x) {
            const auto v = std::int64_t(row[x]);
            m_sum[std::size_t(x)] += sign * v;
            m_sq[std::size_t(x)] += sign * (Sq(v) * Sq(v));
        }
    }

    int m_g;
    int m_width;
    std::vector<std::int64_t> m_sum;
    std::vector<Sq> m_sq;
};

/// Moments of floating-point values from sums that never subtract, so that a bright sample
/// that has left the window leaves nothing of itself in later windows. Down a column, rows
/// form blocks of g starting at row 0: a window starting at row s is the suffix of its block
/// from s plus the prefix of the next block down to s + g - 1. Along a row the same is done
/// on the column sums. Every window adds in one order, wherever its band starts. K = 2 keeps
/// sums of values and of squares, K = 1 of values only.
template <int K>
class BlockMoments {
public:
    BlockMoments(int g, int width)
        : m_g(g),
          m_width(width),
          m_suffix(K * std::size_t(g) * std::size_t(width)),
          m_prefix(K * std::size_t(width)),
          m_runs(width, g)
    {
    }

    /// Fills the ring for the band's first output row y: the rows of the first window's block
    /// above the window are converted too, as the block's suffix sums need them. The window's
    /// rows below that block are converted after its sums are taken: they share ring slots
    /// with the block's rows above the window.
    template <class Convert>
    [[gnu::always_inline]] void Start(RowRing<double>& ring, std::int64_t y, Convert&& convert)
    {
        const int k = m_g / 2;
        const std::int64_t blockTop = (y - k) - (y - k) % m_g;
        for (std::int64_t r = blockTop; r < blockTop + m_g; ++r) convert(r);
        SumBlock(ring, blockTop);
        for (std::int64_t r = blockTop + m_g; r <= y + k; ++r) {
            convert(r);
            AddToPrefix(ring.Slot(r));
        }
    }
    void Leave(const double*) {}
    /// Row y + k has entered the ring: it either completes the block the window now starts
    /// with, or it extends the prefix of the next block.
    [[gnu::always_inline]] void Enter(RowRing<double>& ring, std::int64_t y)
    {
        const int k = m_g / 2;
        if ((y - k) % m_g == 0)
            SumBlock(ring, y - k);
        else
            AddToPrefix(ring.Slot(y + k));
    }

    /// The column sums of the windows of output row y: column[i][x] sums quantity i over
    /// rows y - k .. y + k of column x (a whole block of rows, or the end of one and the
    /// start of the next).
    [[gnu::always_inline]] void ColumnSums(std::int64_t y, double* const* column) const
    {
        const std::size_t w = std::size_t(m_width), plane = std::size_t(m_g) * w;
        const int j = int((y - m_g / 2) % m_g);
        for (int i = 0; i < K; ++i) {
            const double* suffix = m_suffix.data() + std::size_t(i) * plane + std::size_t(j) * w;
            const double* prefix = m_prefix.data() + std::size_t(i) * w;
            double* out = column[i];
            if (j == 0)
                std::copy(suffix, suffix + w, out);
            else
                for (std::size_t x = 0; x < w; ++x) out[x] = suffix[x] + prefix[x];
        }
    }

    /// Means and variances of the windows of output row y, for columns k .. width - k - 1.
    void Compute(const WindowRows& win, std::int64_t y, double* mean, double* var)
    {
        static_assert(K == 2);
        const int g = m_g, k = g / 2, n = g * g;
        m_columns.resize(2 * std::size_t(m_width));
        double* const column[2] = {m_columns.data(), m_columns.data() + m_width};
        ColumnSums(y, column);
        auto emit = [&](int s, const std::array<double, 2>& sums) {
            const int c = s + k;
            if (sums[1] <= kLargeSquare)
                MomentsFromSums(sums[0], sums[1], n, mean[c], var[c]);
            else
                DirectMoments(win, c, mean[c], var[c]);
        };
        m_runs.Sum(
            [&](int x, std::array<double, 2>& v) {
                v[0] = column[0][x];
                v[1] = column[1][x];
            },
            emit);
    }

private:
    /// The ring holds the g rows of the block starting at `top`, in slots 0 .. g - 1.
    [[gnu::always_inline]] void SumBlock(RowRing<double>& ring, std::int64_t top)
    {
        const std::size_t w = std::size_t(m_width), plane = std::size_t(m_g) * w;
        for (int j = m_g - 1; j >= 0; --j) {
            const double* row = ring.Slot(top + j);
            double* s1 = m_suffix.data() + std::size_t(j) * w;
            if (j == m_g - 1)
                for (std::size_t x = 0; x < w; ++x) s1[x] = row[x];
            else
                for (std::size_t x = 0; x < w; ++x) s1[x] = s1[x + w] + row[x];
            if constexpr (K == 2) {
                double* s2 = s1 + plane;
                if (j == m_g - 1)
                    for (std::size_t x = 0; x < w; ++x) s2[x] = row[x] * row[x];
                else
                    for (std::size_t x = 0; x < w; ++x) s2[x] = s2[x + w] + row[x] * row[x];
            }
        }
        std::fill(m_prefix.begin(), m_prefix.end(), 0.0);
    }
    [[gnu::always_inline]] void AddToPrefix(const double* row)
    {
        const std::size_t w = std::size_t(m_width);
        for (std::size_t x = 0; x < w; ++x) m_prefix[x] += row[x];
        if constexpr (K == 2) {
            double* p2 = m_prefix.data() + w;
            for (std::size_t x = 0; x < w; ++x) p2[x] += row[x] * row[x];
        }
    }

    int m_g;
    int m_width;
    std::vector<double> m_suffix;  // g rows of value sums, then g rows of square sums
    std::vector<double> m_prefix;  // value sums, then square sums
    std::vector<double> m_columns;
    BlockRunSums<2, double> m_runs;
};

// ---- Mean of float values: four output rows at a time ------------------------------------

/// Columns of a strip of the mean, about.
constexpr int kMeanStrip = 512;

/// The 4 × 4 transpose of rows a, b, c, d.
template <class V>
[[gnu::always_inline]] inline void Transpose(V& a, V& b, V& c, V& d)
{
    using I = noise_detail::Masks4;
    const V t0 = __builtin_shuffle(a, b, I{0, 4, 2, 6}), t1 = __builtin_shuffle(a, b, I{1, 5, 3, 7});
    const V t2 = __builtin_shuffle(c, d, I{0, 4, 2, 6}), t3 = __builtin_shuffle(c, d, I{1, 5, 3, 7});
    a = __builtin_shuffle(t0, t2, I{0, 1, 4, 5});
    b = __builtin_shuffle(t1, t3, I{0, 1, 4, 5});
    c = __builtin_shuffle(t0, t2, I{2, 3, 6, 7});
    d = __builtin_shuffle(t1, t3, I{2, 3, 6, 7});
}

/// Means of four output rows at once, one row per lane: column[r][x] are the column sums of
/// row r. A run starting at s is the suffix of its block of g columns from s plus the prefix
/// of the next block, each added from +0 in the order of BlockRunSums. The means of the runs
/// s < runs go to out[r][s + k] for rows r < rows; `lanes` and `sums` hold 4 × width doubles.
template <int G>
[[gnu::always_inline]] inline void MeanRuns(const double* const* column, int width, int runs, int rows,
                                            double* laneData, double* sumData, float* const* out)
{
    constexpr int g = G;
    using V = Doubles4;
    using noise_detail::Load;
    using noise_detail::Store;
    const int k = g / 2;
    auto lane = [&](int x) __attribute__((always_inline))
    {
        return Load<V>(laneData + 4 * std::size_t(x));
    };
    auto sum = [&](int x) __attribute__((always_inline))
    {
        return Load<V>(sumData + 4 * std::size_t(x));
    };
    auto setLane = [&](int x, const V& v) __attribute__((always_inline))
    {
        Store(laneData + 4 * std::size_t(x), v);
    };
    auto setSum = [&](int x, const V& v) __attribute__((always_inline))
    {
        Store(sumData + 4 * std::size_t(x), v);
    };
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        V a = Load<V>(column[0] + x), b = Load<V>(column[1] + x), c = Load<V>(column[2] + x),
          d = Load<V>(column[3] + x);
        Transpose(a, b, c, d);
        setLane(x, a), setLane(x + 1, b), setLane(x + 2, c), setLane(x + 3, d);
    }
    for (; x < width; ++x) setLane(x, V{column[0][x], column[1][x], column[2][x], column[3][x]});
    V suffix[G], prefix[G];
    for (int block = 0; block + g <= width; block += g) {
        V run{};
        for (int t = g - 1; t >= 0; --t) suffix[t] = run = run + lane(block + t);
        setSum(block, suffix[0]);
        const int next = block + g, last = std::min(g, width - g - block + 1);
        run = V{};
        for (int t = 0; t + 1 < last; ++t) prefix[t] = run = run + lane(next + t);
        for (int t = 1; t < last; ++t) setSum(block + t, suffix[t] + prefix[t - 1]);
    }
    const double n = double(g) * double(g);
    int s = 0;
    if (rows == 4)
        for (; s + 4 <= runs; s += 4) {
            V a = sum(s) / n, b = sum(s + 1) / n, c = sum(s + 2) / n, d = sum(s + 3) / n;
            Transpose(a, b, c, d);
            Store(out[0] + s + k, __builtin_convertvector(a, noise_detail::Floats4));
            Store(out[1] + s + k, __builtin_convertvector(b, noise_detail::Floats4));
            Store(out[2] + s + k, __builtin_convertvector(c, noise_detail::Floats4));
            Store(out[3] + s + k, __builtin_convertvector(d, noise_detail::Floats4));
        }
    for (; s < runs; ++s) {
        const V mean = sum(s) / n;
        for (int r = 0; r < rows; ++r) out[r][s + k] = float(mean[r]);
    }
}

/// Converts columns [first, first + count) of row y as ConvertRow does; true when no value of it is NaN,
/// infinite or beyond 1e145 in magnitude. No window over such rows reaches the sum of squares past which the
/// moments are taken in two passes, so their mean is the block sums' alone.
template <class T>
[[gnu::always_inline]] inline bool ConvertPlainRow(const RowSource& in, std::int64_t y, int first, int count,
                                                   double* out)
{
    // As integers, magnitudes order as the doubles do, with NaN above infinity.
    constexpr std::uint64_t kMagnitude = 0x7FFFFFFFFFFFFFFFull;
    const std::uint64_t limit = std::bit_cast<std::uint64_t>(1e145);
    const T* src = static_cast<const T*>(in.rows[y]) + first;
    std::uint64_t beyond = 0;
    for (int x = 0; x < count; ++x) {
        const double v = ValueOf(src[x]);
        out[x] = v;
        beyond |= (std::bit_cast<std::uint64_t>(v) & kMagnitude) > limit;
    }
    return beyond == 0;
}

/// The mean of floating-point values without sums of squares: the same value sums as
/// BlockMoments, the runs along rows for four output rows at a time. The band is done in
/// strips of whole blocks of columns (each with the g - 1 columns its last runs reach), which
/// keeps the sums of a strip in the cache. Returns false as soon as a row is not plain
/// (ConvertPlainRow); the band must then be filtered with the full moments.
template <class T>
[[gnu::always_inline]] inline bool MeanBand(const RowSource& in, const NoiseFilterSpec& spec,
                                            std::int64_t first, std::int64_t last, float* const* out,
                                            const std::atomic<bool>* stop)
{
    const int g = spec.window, w = in.width;
    const int strip = g * std::max(1, kMeanStrip / g);
    const int most = std::min(w, strip + g - 1);
    std::vector<double> columns(4 * std::size_t(most)), lanes(4 * std::size_t(most)),
        sums(4 * std::size_t(most));
    std::vector<float*> shifted(4);
    for (int x0 = 0; x0 + g <= w; x0 += strip) {
        const int width = std::min(w - x0, strip + g - 1), runs = std::min(strip, width - g + 1);
        RowRing<double> ring(g, width);
        BlockMoments<1> moments(g, width);
        bool plain = true;
        auto convert = [&](std::int64_t r) __attribute__((always_inline))
        {
            plain = ConvertPlainRow<T>(in, r, x0, width, ring.Slot(r)) && plain;
        };
        for (std::int64_t y = first; y < last; y += 4) {
            if (stop && stop->load(std::memory_order_relaxed)) return true;
            const int rows = int(std::min<std::int64_t>(4, last - y));
            for (int r = 0; r < rows; ++r) {
                if (y + r == first) {
                    moments.Start(ring, y + r, convert);
                } else {
                    convert(y + r + g / 2);
                    moments.Enter(ring, y + r);
                }
                if (!plain) return false;
                double* const column[1] = {columns.data() + std::size_t(r) * std::size_t(width)};
                moments.ColumnSums(y + r, column);
            }
            // Rows past the band's end repeat its last row; their means are not written.
            const double* column[4];
            for (int r = 0; r < 4; ++r) {
                column[r] = columns.data() + std::size_t(std::min(r, rows - 1)) * std::size_t(width);
                shifted[std::size_t(r)] = r < rows ? out[y + r] + x0 : nullptr;
            }
            // The window's side as a constant, so that a block's sums stay in registers.
            [&]<int... G>(std::integer_sequence<int, G...>) __attribute__((always_inline))
            {
                ((g == 2 * G + 3 ? MeanRuns<2 * G + 3>(column, width, runs, rows, lanes.data(), sums.data(),
                                                       shifted.data())
                                 : void()),
                 ...);
            }
            (std::make_integer_sequence<int, 8>());
        }
    }
    return true;
}

// The same code for both: four lanes with AVX2, SSE2 halves without.
template <class T>
__attribute__((target("avx2"))) bool MeanBandAvx2(const RowSource& in, const NoiseFilterSpec& spec,
                                                  std::int64_t first, std::int64_t last, float* const* out,
                                                  const std::atomic<bool>* stop)
{
    return MeanBand<T>(in, spec, first, last, out, stop);
}

template <class T>
bool MeanBandPlain(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first, std::int64_t last,
                   float* const* out, const std::atomic<bool>* stop)
{
    return MeanBand<T>(in, spec, first, last, out, stop);
}

template <class T>
void MomentBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first, std::int64_t last,
                float* const* out, const std::atomic<bool>* stop)
{
    const int g = spec.window, k = g / 2, w = in.width;
    const int c0 = k, c1 = w - k;  // output columns [c0, c1)
    RowRing<double> ring(g, w);
    FrostWeights frost(spec.filter == kFilterFrost ? g : 1);
    const float k0 = FrostK0(g, spec.sigma);
    std::vector<double> mean(static_cast<std::size_t>(w)), var(static_cast<std::size_t>(w));
    using Moments = std::conditional_t<kExactSums<T>, ExactMoments<T>, BlockMoments<2>>;
    Moments moments(g, w);
    auto convert = [&](std::int64_t r) { ConvertRow<T>(in, r, ring.Slot(r)); };

    for (std::int64_t y = first; y < last; ++y) {
        if (stop && stop->load(std::memory_order_relaxed)) return;
        if (y == first) {
            moments.Start(ring, y, convert);
        } else {
            // The leaving row y - k - 1 shares its slot with the entering row y + k.
            moments.Leave(ring.Slot(y + k));
            convert(y + k);
            moments.Enter(ring, y);
        }
        const double* const* rows = ring.Window(y);
        const WindowRows win{rows, g};
        float* dst = out[y];
        moments.Compute(win, y, mean.data(), var.data());

        const double* centre = rows[k];
        switch (spec.filter) {
            case kFilterMean:
                for (int c = c0; c < c1; ++c) dst[c] = float(mean[std::size_t(c)]);
                break;
            case kFilterLee:
                for (int c = c0; c < c1; ++c)
                    dst[c] = LeeValue(centre[c], mean[std::size_t(c)], var[std::size_t(c)], spec.sigma);
                break;
            case kFilterKuan:
                for (int c = c0; c < c1; ++c)
                    dst[c] = KuanValue(centre[c], mean[std::size_t(c)], var[std::size_t(c)], spec.sigma);
                break;
            case kFilterFrost:
                for (int c = c0; c < c1; c += FrostWeights::kLanes)
                    frost.Values(win, c, std::min(FrostWeights::kLanes, c1 - c), &mean[std::size_t(c)],
                                 &var[std::size_t(c)], k0, dst + c);
                break;
            default:
                break;
        }
    }
}

}  // namespace

bool IsValidNoiseFilterSpec(const NoiseFilterSpec& spec)
{
    return spec.filter >= kFilterMean && spec.filter <= kFilterSigma && spec.window >= 3 &&
           spec.window <= 17 && spec.window % 2 == 1;
}

float FrostK0(int window, float sigma)
{
    return 4.0f / (float(window) * sigma);
}

void FilterNoiseRows(int type, const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                     std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    if (!isValidType(type) || !IsValidNoiseFilterSpec(spec)) return;
    const int k = spec.window / 2;
    first = std::max<std::int64_t>(first, k);
    last = std::min<std::int64_t>(last, in.height - k);
    if (first >= last || in.width <= 2 * k) return;
    if (spec.filter == kFilterMedian)
        return noise_detail::FilterMedianBand(type, in, spec, first, last, out, stop);
    if (spec.filter == kFilterSigma)
        return noise_detail::FilterSigmaBand(type, in, spec, first, last, out, stop);
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if constexpr (!kExactSums<T>)
            if (spec.filter == kFilterMean &&
                (platform::UseAvx2() ? MeanBandAvx2<T> : MeanBandPlain<T>)(in, spec, first, last, out, stop))
                return;
        MomentBand<T>(in, spec, first, last, out, stop);
    });
}

void FilterNoiseImage(int type, const RowSource& in, const NoiseFilterSpec& spec, float* const* out,
                      const BandProgress& progress, int threads)
{
    if (!IsValidNoiseFilterSpec(spec)) return;
    const int k = spec.window / 2;
    const std::int64_t inner = in.height - 2 * k;
    if (inner <= 0 || in.width <= 2 * k) return;
    // A band first converts g rows it does not write; bands of a few windows' height keep
    // that small beside the rows they filter.
    const RowBands bands =
        RowBands::Even(inner, std::max<std::int64_t>(kDefaultMinRowsPerBand, 4 * spec.window));
    RunRowBands(
        bands,
        [&](const RowBand& band) {
            FilterNoiseRows(type, in, spec, k + band.begin, k + band.end, out, band.stop);
        },
        progress, threads);
}
