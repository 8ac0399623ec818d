// The Sigma filter: the mean of the window's values whose float lies in
// [float((1 - 2σ) x), (1 + 2σ) x] around the centre value x, or 0 when there are none. The
// sum adds the qualifying values in row order, as doubles, so every value of the window is
// tested: four pixels at a time, without a branch. (Ranked values with counts and sums kept
// per block of ranks need only 2g updates a step, but up to 17 × 17 those cost more than
// the g² vector tests.)

#include "modules/convolution/noise_filter_detail.h"
#include "platform/kernel/cpu_features.h"

// The vector helpers are only ever called from inside their own function's target.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace noise_detail {
namespace {

/// Sigma of the outputs (r, c), r < rows, c < cols, of a block whose window of output (r, c)
/// starts at values[r * stride + c]. rounded[] holds every value rounded to float. Each lane
/// adds its window in row order, as a single pixel would; a value that does not qualify
/// adds +0, which changes no sum (a row-order sum that starts at +0 is never -0).
template <class V>
[[gnu::always_inline]] inline void SigmaLanes(const double* values, const double* rounded, int stride, int g,
                                              float sigma, float* out)
{
    using M = std::conditional_t<std::is_same_v<V, double>, bool, Masks4>;
    const int k = g / 2;
    const V x = Load<V>(values + std::size_t(k) * std::size_t(stride) + k);
    V low = (1.0 - 2.0 * double(sigma)) * x;
    if constexpr (std::is_same_v<V, double>)
        low = double(float(low));
    else
        low = __builtin_convertvector(__builtin_convertvector(low, Floats4), Doubles4);
    const V high = (1.0 + 2.0 * double(sigma)) * x;
    V sum{};
    std::conditional_t<std::is_same_v<V, double>, std::int64_t, Masks4> count{};
    for (int i = 0; i < g; ++i) {
        const double* row = values + std::size_t(i) * std::size_t(stride);
        const double* rowRounded = rounded + std::size_t(i) * std::size_t(stride);
        for (int j = 0; j < g; ++j) {
            const V v = Load<V>(row + j), f = Load<V>(rowRounded + j);
            const M keep = (f >= low) & (f <= high);
            if constexpr (std::is_same_v<V, double>) {
                sum += keep ? v : 0.0;
                count += keep;
            } else {
                sum += V(Masks4(v) & keep);
                count -= keep;
            }
        }
    }
    for (int p = 0; p < kLanes<V>; ++p) {
        double s;
        std::int64_t n;
        if constexpr (std::is_same_v<V, double>) {
            s = sum;
            n = count;
        } else {
            s = sum[p];
            n = count[p];
        }
        out[p] = n ? float(s / double(n)) : 0.0f;
    }
}

[[gnu::always_inline]] inline void SigmaBlock(const double* values, const double* rounded, int stride, int g,
                                              int rows, int cols, float sigma, float* const* out)
{
    for (int r = 0; r < rows; ++r) {
        const double* v = values + std::size_t(r) * std::size_t(stride);
        const double* f = rounded + std::size_t(r) * std::size_t(stride);
        int c = 0;
        for (; c + 4 <= cols; c += 4) SigmaLanes<Doubles4>(v + c, f + c, stride, g, sigma, out[r] + c);
        for (; c < cols; ++c) SigmaLanes<double>(v + c, f + c, stride, g, sigma, out[r] + c);
    }
}

__attribute__((target("avx2"))) void SigmaBlockAvx2(const double* values, const double* rounded, int stride,
                                                    int g, int rows, int cols, float sigma, float* const* out)
{
    SigmaBlock(values, rounded, stride, g, rows, cols, sigma, out);
}

void SigmaBlockPlain(const double* values, const double* rounded, int stride, int g, int rows, int cols,
                     float sigma, float* const* out)
{
    SigmaBlock(values, rounded, stride, g, rows, cols, sigma, out);
}

/// Sigma of a tile's outputs from its block of values.
void SigmaTested(const TileBlock& t, const double* values, const double* rounded, int g, float sigma,
                 float* const* out)
{
    std::vector<float*> rows(std::size_t(t.rows));
    for (int r = 0; r < t.rows; ++r) rows[std::size_t(r)] = out[t.top + r] + t.left;
    if (platform::UseAvx2())
        SigmaBlockAvx2(values, rounded, t.width, g, t.rows, t.cols, sigma, rows.data());
    else
        SigmaBlockPlain(values, rounded, t.width, g, t.rows, t.cols, sigma, rows.data());
}

template <class T>
void SigmaBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first, std::int64_t last,
               float* const* out, const std::atomic<bool>* stop)
{
    std::vector<double> rounded;
    ForEachTile<T>(in, spec.window, first, last, stop, [&](const TileBlock& t, const double* values) {
        const int count = t.width * t.height;
        rounded.resize(std::size_t(count));
        for (int i = 0; i < count; ++i) rounded[std::size_t(i)] = double(float(values[i]));
        SigmaTested(t, values, rounded.data(), spec.window, spec.sigma, out);
    });
}

}  // namespace

void FilterSigmaBand(int type, const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                     std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    visitSampleType(type, [&]<class T>(Tag<T>) { SigmaBand<T>(in, spec, first, last, out, stop); });
}

}  // namespace noise_detail
