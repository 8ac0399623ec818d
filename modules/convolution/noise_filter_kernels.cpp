#include "modules/convolution/noise_filter_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "modules/common/block_run_sums.h"
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

template <class T>
inline double ValueOf(const T& s)
{
    if constexpr (IsComplex<T>) {
        const double r = double(re(s)), i = double(im(s));
        return r * r + i * i;
    } else {
        return double(s);
    }
}

/// Integer samples whose values and squares add exactly in 64 and 128 bits: real integers,
/// and complex integers with 8- or 16-bit parts (their powers stay below 2^32). The mean and
/// the variance are then the exact ones rounded once.
template <class T>
inline constexpr bool kExactSums = std::is_integral_v<T> ||
                                   (IsComplex<T> && std::is_integral_v<PartType<T>> &&
                                    sizeof(PartType<T>) <= 2);

template <class T>
using SquareSum = std::conditional_t<(sizeof(T) >= 4), __int128, std::int64_t>;

/// 8- and 16-bit real samples: the median comes from a sliding histogram.
template <class T>
inline constexpr bool kHistogramMedian = std::is_integral_v<T> && sizeof(T) <= 2;

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

inline float SigmaValue(const WindowRows& win, int c, float sigma)
{
    const int k = win.g / 2;
    const double x = win.rows[k][c];
    const float lo = float((1.0 - 2.0 * double(sigma)) * x);
    const double hi = (1.0 + 2.0 * double(sigma)) * x;
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < win.g; ++i) {
        const double* row = win.rows[i] + c - k;
        for (int j = 0; j < win.g; ++j) {
            const float v = float(row[j]);
            if (v >= lo && double(v) <= hi) {
                sum += row[j];
                ++count;
            }
        }
    }
    return count ? float(sum / count) : 0.0f;
}

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

// ---- a ring of converted rows ---------------------------------------------------------------

/// The g input rows around the current output row, converted once each into a ring.
template <class V>
class RowRing {
public:
    RowRing(int g, int width) : m_g(g), m_width(width), m_data(std::size_t(g) * width), m_rows(std::size_t(g))
    {
    }
    V* Slot(std::int64_t y) { return m_data.data() + std::size_t(y % m_g) * m_width; }
    /// Row pointers of the window centred on y, top to bottom.
    const V* const* Window(std::int64_t y)
    {
        const int k = m_g / 2;
        for (int i = 0; i < m_g; ++i) m_rows[std::size_t(i)] = Slot(y - k + i);
        return m_rows.data();
    }

private:
    int m_g;
    int m_width;
    std::vector<V> m_data;
    std::vector<const V*> m_rows;
};

template <class T>
void ConvertRow(const RowSource& in, std::int64_t y, double* out)
{
    const T* src = static_cast<const T*>(in.rows[y]);
    for (int x = 0; x < in.width; ++x) out[x] = ValueOf(src[x]);
}

// ---- Mean, Lee, Frost, Kuan, Sigma: window moments -----------------------------------------

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
/// on the column sums. Every window adds in one order, wherever its band starts.
class BlockMoments {
public:
    BlockMoments(int g, int width)
        : m_g(g),
          m_width(width),
          m_suffix(2 * std::size_t(g) * std::size_t(width)),
          m_prefix(2 * std::size_t(width)),
          m_runs(width, g)
    {
    }

    /// Fills the ring for the band's first output row y: the rows of the first window's block
    /// above the window are converted too, as the block's suffix sums need them.
    template <class Convert>
    void Start(RowRing<double>& ring, std::int64_t y, Convert&& convert)
    {
        const int k = m_g / 2;
        const std::int64_t blockTop = (y - k) - (y - k) % m_g;
        for (std::int64_t r = blockTop; r < blockTop + m_g; ++r) convert(r);
        SumBlock(ring, blockTop);
        for (std::int64_t r = blockTop + m_g; r <= y + k; ++r) AddToPrefix(ring.Slot(r));
    }
    void Leave(const double*) {}
    /// Row y + k has entered the ring: it either completes the block the window now starts
    /// with, or it extends the prefix of the next block.
    void Enter(RowRing<double>& ring, std::int64_t y)
    {
        const int k = m_g / 2;
        if ((y - k) % m_g == 0)
            SumBlock(ring, y - k);
        else
            AddToPrefix(ring.Slot(y + k));
    }

    void Compute(const WindowRows& win, std::int64_t y, double* mean, double* var)
    {
        const int g = m_g, k = g / 2, n = g * g;
        const std::size_t w = std::size_t(m_width);
        const int j = int((y - k) % g);
        const double* suffix1 = m_suffix.data() + std::size_t(j) * w;
        const double* suffix2 = suffix1 + std::size_t(g) * w;
        const double* prefix1 = m_prefix.data();
        const double* prefix2 = prefix1 + w;
        auto emit = [&](int s, const std::array<double, 2>& sums) {
            const int c = s + k;
            if (sums[1] <= kLargeSquare)
                MomentsFromSums(sums[0], sums[1], n, mean[c], var[c]);
            else
                DirectMoments(win, c, mean[c], var[c]);
        };
        // The window's column sums: a whole block of rows, or the end of one and the start
        // of the next.
        if (j == 0)
            m_runs.Sum(
                [&](int x, std::array<double, 2>& v) {
                    v[0] = suffix1[x];
                    v[1] = suffix2[x];
                },
                emit);
        else
            m_runs.Sum(
                [&](int x, std::array<double, 2>& v) {
                    v[0] = suffix1[x] + prefix1[x];
                    v[1] = suffix2[x] + prefix2[x];
                },
                emit);
    }

private:
    /// The ring holds the g rows of the block starting at `top`, in slots 0 .. g - 1.
    void SumBlock(RowRing<double>& ring, std::int64_t top)
    {
        const std::size_t w = std::size_t(m_width), plane = std::size_t(m_g) * w;
        for (int j = m_g - 1; j >= 0; --j) {
            const double* row = ring.Slot(top + j);
            double* s1 = m_suffix.data() + std::size_t(j) * w;
            double* s2 = s1 + plane;
            if (j == m_g - 1) {
                for (std::size_t x = 0; x < w; ++x) {
                    s1[x] = row[x];
                    s2[x] = row[x] * row[x];
                }
            } else {
                for (std::size_t x = 0; x < w; ++x) {
                    s1[x] = s1[x + w] + row[x];
                    s2[x] = s2[x + w] + row[x] * row[x];
                }
            }
        }
        std::fill(m_prefix.begin(), m_prefix.end(), 0.0);
    }
    void AddToPrefix(const double* row)
    {
        const std::size_t w = std::size_t(m_width);
        double* p2 = m_prefix.data() + w;
        for (std::size_t x = 0; x < w; ++x) {
            m_prefix[x] += row[x];
            p2[x] += row[x] * row[x];
        }
    }

    int m_g;
    int m_width;
    std::vector<double> m_suffix;  // g rows of value sums, then g rows of square sums
    std::vector<double> m_prefix;  // value sums, then square sums
    BlockRunSums<2, double> m_runs;
};

template <class T>
void MomentBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first, std::int64_t last,
                float* const* out, const std::atomic<bool>* stop)
{
    const int g = spec.window, k = g / 2, w = in.width;
    const int c0 = k, c1 = w - k;  // output columns [c0, c1)
    RowRing<double> ring(g, w);
    const bool needMoments = spec.filter != kFilterSigma;
    FrostWeights frost(spec.filter == kFilterFrost ? g : 1);
    const float k0 = FrostK0(g, spec.sigma);
    std::vector<double> mean(static_cast<std::size_t>(w)), var(static_cast<std::size_t>(w));
    using Moments = std::conditional_t<kExactSums<T>, ExactMoments<T>, BlockMoments>;
    Moments moments(needMoments ? g : 1, needMoments ? w : 1);
    auto convert = [&](std::int64_t r) { ConvertRow<T>(in, r, ring.Slot(r)); };

    for (std::int64_t y = first; y < last; ++y) {
        if (stop && stop->load(std::memory_order_relaxed)) return;
        if (y == first) {
            if (needMoments)
                moments.Start(ring, y, convert);
            else
                for (int i = -k; i <= k; ++i) convert(y + i);
        } else {
            // The leaving row y - k - 1 shares its slot with the entering row y + k.
            if (needMoments) moments.Leave(ring.Slot(y + k));
            convert(y + k);
            if (needMoments) moments.Enter(ring, y);
        }
        const double* const* rows = ring.Window(y);
        const WindowRows win{rows, g};
        float* dst = out[y];

        if (spec.filter == kFilterSigma) {
            for (int c = c0; c < c1; ++c) dst[c] = SigmaValue(win, c, spec.sigma);
            continue;
        }
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

// ---- Median --------------------------------------------------------------------------------

/// Ascending with NaN last, so that windows holding NaN still have an order.
inline bool Less(float a, float b)
{
    return a < b || (!std::isnan(a) && std::isnan(b));
}
inline bool Equivalent(float a, float b)
{
    return !Less(a, b) && !Less(b, a);
}

inline void SortSmall(float* v, int count)
{
    for (int i = 1; i < count; ++i) {
        const float x = v[i];
        int j = i;
        for (; j > 0 && Less(x, v[j - 1]); --j) v[j] = v[j - 1];
        v[j] = x;
    }
}

/// Any sample type: the window is kept sorted; a step along the row takes out the
/// leaving column and merges in the entering one, both sorted first.
template <class T>
void SortedMedianBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first, std::int64_t last,
                      float* const* out, const std::atomic<bool>* stop)
{
    const int g = spec.window, k = g / 2, n = g * g, w = in.width;
    RowRing<float> ring(g, w);
    const auto un = static_cast<std::size_t>(n), ug = static_cast<std::size_t>(g);
    std::vector<float> sorted(un), merged(un), leave(ug), enter(ug);
    auto convert = [&](std::int64_t y) {
        const T* src = static_cast<const T*>(in.rows[y]);
        float* dst = ring.Slot(y);
        for (int x = 0; x < w; ++x) dst[x] = float(ValueOf(src[x]));
    };
    for (std::int64_t y = first; y < last; ++y) {
        if (stop && stop->load(std::memory_order_relaxed)) return;
        if (y == first)
            for (int i = -k; i <= k; ++i) convert(y + i);
        else
            convert(y + k);
        const float* const* rows = ring.Window(y);
        float* dst = out[y];

        for (int i = 0; i < g; ++i)
            std::memcpy(sorted.data() + std::size_t(i) * g, rows[i], sizeof(float) * std::size_t(g));
        std::sort(sorted.begin(), sorted.end(), Less);
        dst[k] = sorted[std::size_t(n / 2)];
        for (int c = k + 1; c < w - k; ++c) {
            for (int i = 0; i < g; ++i) {
                leave[std::size_t(i)] = rows[i][c - k - 1];
                enter[std::size_t(i)] = rows[i][c + k];
            }
            SortSmall(leave.data(), g);
            SortSmall(enter.data(), g);
            int si = 0, li = 0, ei = 0, o = 0;
            while (si < n) {
                if (li < g && Equivalent(sorted[std::size_t(si)], leave[std::size_t(li)])) {
                    ++si;
                    ++li;
                } else if (ei < g && Less(enter[std::size_t(ei)], sorted[std::size_t(si)])) {
                    merged[std::size_t(o++)] = enter[std::size_t(ei++)];
                } else {
                    merged[std::size_t(o++)] = sorted[std::size_t(si++)];
                }
            }
            while (ei < g) merged[std::size_t(o++)] = enter[std::size_t(ei++)];
            sorted.swap(merged);
            dst[c] = sorted[std::size_t(n / 2)];
        }
    }
}

/// 8- and 16-bit samples: a sliding histogram of the window, with counts per 16 bins and
/// per 256 bins. The median's 256-bin block moves by the few values that change per step;
/// inside it the 16-bin group and then the bin are each one of 16.
template <class T>
void HistogramMedianBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                         std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    constexpr int kBins = 1 << (8 * sizeof(T));
    constexpr int kOffset = std::is_signed_v<T> ? kBins / 2 : 0;
    const int g = spec.window, k = g / 2, n = g * g, w = in.width;
    const int target = n / 2;
    std::vector<int> bins(static_cast<std::size_t>(kBins)), groups(static_cast<std::size_t>(kBins >> 4)),
        blocks(static_cast<std::size_t>(std::max(1, kBins >> 8)));
    auto bin = [](const T* row, int x) { return int(row[x]) + kOffset; };
    auto add = [&](int b, int d) {
        bins[std::size_t(b)] += d;
        groups[std::size_t(b >> 4)] += d;
        blocks[std::size_t(b >> 8)] += d;
    };
    std::vector<const T*> rows(static_cast<std::size_t>(g));
    for (std::int64_t y = first; y < last; ++y) {
        if (stop && stop->load(std::memory_order_relaxed)) return;
        for (int i = 0; i < g; ++i) rows[std::size_t(i)] = static_cast<const T*>(in.rows[y - k + i]);
        float* dst = out[y];
        for (int i = 0; i < g; ++i)
            for (int x = 0; x < g; ++x) add(bin(rows[std::size_t(i)], x), 1);
        int block = 0, below = 0;  // below: values in the blocks before `block`
        for (int c = k; c < w - k; ++c) {
            if (c > k) {
                for (int i = 0; i < g; ++i) {
                    const int leaving = bin(rows[std::size_t(i)], c - k - 1);
                    const int entering = bin(rows[std::size_t(i)], c + k);
                    add(leaving, -1);
                    below -= (leaving >> 8) < block;
                    add(entering, 1);
                    below += (entering >> 8) < block;
                }
            }
            while (below > target) below -= blocks[std::size_t(--block)];
            while (below + blocks[std::size_t(block)] <= target) below += blocks[std::size_t(block++)];
            int rank = target - below, group = block << 4;
            while (rank >= groups[std::size_t(group)]) rank -= groups[std::size_t(group++)];
            int b = group << 4;
            while (rank >= bins[std::size_t(b)]) rank -= bins[std::size_t(b++)];
            dst[c] = float(b - kOffset);
        }
        // Take the last window out again, which leaves the histogram empty for the next row.
        for (int i = 0; i < g; ++i)
            for (int x = w - g; x < w; ++x) add(bin(rows[std::size_t(i)], x), -1);
    }
}

/// Floats as integers of the same order (NaN last, as one key), so that a sorting network
/// runs on branch-free integer minima and maxima.
inline std::int32_t SortKey(float f)
{
    if (std::isnan(f)) return std::numeric_limits<std::int32_t>::max();
    std::int32_t s;
    std::memcpy(&s, &f, 4);
    return s >= 0 ? s : (s ^ 0x7FFFFFFF);
}
inline float FromSortKey(std::int32_t key)
{
    const std::int32_t s = key >= 0 ? key : (key ^ 0x7FFFFFFF);
    float f;
    std::memcpy(&f, &s, 4);
    return f;
}

/// The comparators of an odd-even merge sorting network over the next power of two above
/// n wires (the extra wires hold the largest key), keeping only those the middle wire
/// n / 2 depends on.
std::vector<std::pair<int, int>> MedianNetwork(int n)
{
    int wires = 1;
    while (wires < n) wires <<= 1;
    std::vector<std::pair<int, int>> all;
    for (int p = 1; p < wires; p <<= 1)
        for (int k = p; k >= 1; k >>= 1)
            for (int j = k % p; j + k < wires; j += 2 * k)
                for (int i = 0; i < std::min(k, wires - j - k); ++i)
                    if ((i + j) / (2 * p) == (i + j + k) / (2 * p)) all.emplace_back(i + j, i + j + k);
    std::vector<bool> needed(std::size_t(wires), false);
    needed[std::size_t(n / 2)] = true;
    std::vector<std::pair<int, int>> kept;
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (needed[std::size_t(it->first)] || needed[std::size_t(it->second)]) {
            needed[std::size_t(it->first)] = needed[std::size_t(it->second)] = true;
            kept.push_back(*it);
        }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void ApplyNetworkAvx2(std::int32_t* keys, const std::pair<int, int>* network,
                                                      std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        auto* lo = reinterpret_cast<__m256i*>(keys + std::size_t(network[i].first) * 16);
        auto* hi = reinterpret_cast<__m256i*>(keys + std::size_t(network[i].second) * 16);
        for (int h = 0; h < 2; ++h) {
            const __m256i x = _mm256_loadu_si256(lo + h), z = _mm256_loadu_si256(hi + h);
            _mm256_storeu_si256(lo + h, _mm256_min_epi32(x, z));
            _mm256_storeu_si256(hi + h, _mm256_max_epi32(x, z));
        }
    }
}
#endif

/// Runs the comparators over rows of 16 keys (one pixel per lane).
void ApplyNetwork(std::int32_t* keys, const std::pair<int, int>* network, std::size_t count)
{
#if defined(__x86_64__)
    if (platform::UseAvx2()) {
        ApplyNetworkAvx2(keys, network, count);
        return;
    }
#endif
    for (std::size_t i = 0; i < count; ++i) {
        std::int32_t* lo = keys + std::size_t(network[i].first) * 16;
        std::int32_t* hi = keys + std::size_t(network[i].second) * 16;
        for (int p = 0; p < 16; ++p) {
            const std::int32_t x = lo[p], z = hi[p];
            lo[p] = std::min(x, z);
            hi[p] = std::max(x, z);
        }
    }
}

/// 3 x 3 and 5 x 5 windows of any other type: a sorting network on the keys of a run of
/// pixels at once, one pixel per lane.
template <class T>
void NetworkMedianBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                       std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    constexpr int kLanes = 16;
    const int g = spec.window, k = g / 2, n = g * g, w = in.width;
    static const std::vector<std::pair<int, int>> kNetwork3 = MedianNetwork(9);
    static const std::vector<std::pair<int, int>> kNetwork5 = MedianNetwork(25);
    const auto& network = g == 3 ? kNetwork3 : kNetwork5;
    const int wires = g == 3 ? 16 : 32;
    RowRing<std::int32_t> ring(g, w);
    std::vector<std::int32_t> keys(static_cast<std::size_t>(wires * kLanes));
    auto convert = [&](std::int64_t y) {
        const T* src = static_cast<const T*>(in.rows[y]);
        std::int32_t* dst = ring.Slot(y);
        for (int x = 0; x < w; ++x) dst[x] = SortKey(float(ValueOf(src[x])));
    };
    for (std::int64_t y = first; y < last; ++y) {
        if (stop && stop->load(std::memory_order_relaxed)) return;
        if (y == first)
            for (int i = -k; i <= k; ++i) convert(y + i);
        else
            convert(y + k);
        const std::int32_t* const* rows = ring.Window(y);
        float* dst = out[y];
        for (int c = k; c < w - k; c += kLanes) {
            const int lanes = std::min(kLanes, w - k - c);
            std::fill(keys.begin(), keys.end(), std::numeric_limits<std::int32_t>::max());
            for (int i = 0; i < g; ++i)
                for (int j = 0; j < g; ++j) {
                    const std::int32_t* src = rows[i] + c - k + j;
                    std::int32_t* wire = keys.data() + std::size_t(i * g + j) * kLanes;
                    for (int p = 0; p < lanes; ++p) wire[p] = src[p];
                }
            ApplyNetwork(keys.data(), network.data(), network.size());
            const std::int32_t* middle = keys.data() + std::size_t(n / 2) * kLanes;
            for (int p = 0; p < lanes; ++p) dst[c + p] = FromSortKey(middle[p]);
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
    visitSampleType(type, [&]<class T>(Tag<T>) {
        if (spec.filter == kFilterMedian) {
            // Small windows are fastest through the network, whatever the type.
            if (spec.window <= 5)
                NetworkMedianBand<T>(in, spec, first, last, out, stop);
            else if constexpr (kHistogramMedian<T>)
                HistogramMedianBand<T>(in, spec, first, last, out, stop);
            else
                SortedMedianBand<T>(in, spec, first, last, out, stop);
        } else {
            MomentBand<T>(in, spec, first, last, out, stop);
        }
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
