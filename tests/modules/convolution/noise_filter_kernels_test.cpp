#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/noise_filter_kernels.h"
#include "outside/basecore/data_type.h"
#include "platform/kernel/cpu_features.h"
#include "tests/support/sample_types.h"
#include "tests/support/vector_paths.h"

namespace {

// ---- plain reference: one window at a time, two-pass double sums, a real sort ---------------

template <class T>
double Power(const T& s)
{
    if constexpr (IsComplex<T>) {
        const double r = double(re(s)), i = double(im(s));
        return r * r + i * i;
    } else {
        return double(s);
    }
}

bool NanLast(float a, float b)
{
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

/// Output of filter `spec` at (r, c) of a w-wide image of values.
float ReferencePixel(const std::vector<double>& v, int w, int r, int c, const NoiseFilterSpec& spec)
{
    const int g = spec.window, k = g / 2, n = g * g;
    const float sigma = spec.sigma;
    auto at = [&](int i, int j) { return v[std::size_t(r + i) * w + (c + j)]; };
    const double x = at(0, 0);
    double sum = 0;
    for (int i = -k; i <= k; ++i)
        for (int j = -k; j <= k; ++j) sum += at(i, j);
    const double m = sum / n;
    double dev = 0;
    for (int i = -k; i <= k; ++i)
        for (int j = -k; j <= k; ++j) dev += (m - at(i, j)) * (m - at(i, j));
    const double s2 = dev / (n - 1);

    switch (spec.filter) {
        case kFilterMean:
            return float(m);
        case kFilterMedian: {
            std::vector<float> win;
            for (int i = -k; i <= k; ++i)
                for (int j = -k; j <= k; ++j) win.push_back(float(at(i, j)));
            std::sort(win.begin(), win.end(), NanLast);
            return win[std::size_t(n / 2)];
        }
        case kFilterLee: {
            if (m == 0) return 0;
            const float mf = float(m), m2 = float(double(mf) * mf), sg2 = float(double(sigma) * sigma);
            const float q = float((m2 + s2) / (1.0 + sg2) - m2);
            const double jj = std::fabs(q);
            if (jj + sg2 * double(m2) == 0) return mf;
            return float(mf + (x - mf) * jj / (jj + double(sg2) * m2));
        }
        case kFilterFrost: {
            if (m == 0) return 0;
            const float k0 = 4.0f / (float(g) * sigma);
            const float b = s2 == 0 ? 0.0f : float(double(k0) * s2 / (m * m));
            double sw = 0, swv = 0;
            for (int i = -k; i <= k; ++i)
                for (int j = -k; j <= k; ++j) {
                    const double wt =
                        (i == 0 && j == 0) ? 1.0 : std::exp(-double(b) * std::sqrt(double(i * i + j * j)));
                    swv += wt * at(i, j);
                    sw += wt;
                }
            return float(swv / sw);
        }
        case kFilterKuan: {
            if (m == 0) return 0;
            if (s2 == 0) return float(m);
            const double ci = std::sqrt(s2) / m;
            if (ci < sigma) return float(m);
            const double sg2 = double(sigma) * sigma;
            const double wk = (1 - sg2 * m * m / s2) / (1 + sg2);
            return float(wk * x + (1 - wk) * m);
        }
        case kFilterSigma: {
            const float lo = float((1 - 2.0 * sigma) * x);
            const double hi = (1 + 2.0 * sigma) * x;
            double s = 0;
            int count = 0;
            for (int i = -k; i <= k; ++i)
                for (int j = -k; j <= k; ++j) {
                    const float vf = float(at(i, j));
                    if (vf >= lo && vf <= hi) {
                        s += at(i, j);
                        ++count;
                    }
                }
            return count ? float(s / count) : 0.0f;
        }
    }
    return 0;
}

// ---- running the kernels on an image held in memory -------------------------------------------

template <class T>
struct Image {
    int width = 0, height = 0;
    std::vector<T> samples;
    std::vector<double> Values() const
    {
        std::vector<double> v;
        for (const T& s : samples) v.push_back(Power(s));
        return v;
    }
};

template <class P>
P RandomPart(std::mt19937_64& rng)
{
    if constexpr (std::is_floating_point_v<P>)
        return P(std::uniform_real_distribution<double>(-1000.0, 1000.0)(rng));
    else
        return P(std::uniform_int_distribution<std::int64_t>(std::numeric_limits<P>::min(),
                                                             std::numeric_limits<P>::max())(rng));
}

template <class T>
T RandomSample(std::mt19937_64& rng)
{
    using P = PartType<T>;
    if constexpr (IsComplex<T>) {
        T s{};
        if constexpr (std::is_floating_point_v<P>)
            s = T(RandomPart<P>(rng), RandomPart<P>(rng));
        else
            s = T{RandomPart<P>(rng), RandomPart<P>(rng)};
        return s;
    } else {
        return RandomPart<T>(rng);
    }
}

template <class T>
Image<T> RandomImage(int w, int h, unsigned seed)
{
    std::mt19937_64 rng(seed);
    Image<T> img{w, h, {}};
    for (int i = 0; i < w * h; ++i) img.samples.push_back(RandomSample<T>(rng));
    // Extremes that a narrow sum or a sign mistake would break.
    if constexpr (std::is_same_v<T, std::uint32_t>) img.samples[std::size_t(w + 1)] = 3000000000u;
    if constexpr (std::is_same_v<T, std::int32_t>)
        img.samples[std::size_t(w + 2)] = std::numeric_limits<std::int32_t>::min();
    if constexpr (IsComplex<T>) {
        if constexpr (std::is_floating_point_v<PartType<T>>)
            img.samples[3] = T(3, 4);
        else
            img.samples[3] = T{3, 4};
    }
    return img;
}

template <class T>
std::vector<float> RunKernels(const Image<T>& img, const NoiseFilterSpec& spec, int threads = 0,
                              float fill = -7.0f)
{
    std::vector<const void*> rows;
    for (int y = 0; y < img.height; ++y) rows.push_back(img.samples.data() + std::size_t(y) * img.width);
    std::vector<float> out(img.samples.size(), fill);
    std::vector<float*> outRows;
    for (int y = 0; y < img.height; ++y) outRows.push_back(out.data() + std::size_t(y) * img.width);
    int type = 0;
    for (const TypeInfo& t : kTypeTable)
        visitSampleType(t.code, [&]<class U>(Tag<U>) {
            if (std::is_same_v<U, T>) type = int(t.code);
        });
    FilterNoiseImage(type, RowSource{rows.data(), img.height, img.width}, spec, outRows.data(), {}, threads);
    return out;
}

std::int64_t UlpDistance(float a, float b)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : INT64_MAX;
    auto key = [](float f) {
        std::int32_t i;
        std::memcpy(&i, &f, 4);
        return i < 0 ? std::int64_t(INT32_MIN) - i : std::int64_t(i);
    };
    return std::llabs(key(a) - key(b));
}

/// Inner pixels against the reference, border untouched.
template <class T>
void ExpectMatchesReference(const Image<T>& img, const NoiseFilterSpec& spec, std::int64_t maxUlp)
{
    const auto out = RunKernels(img, spec);
    const auto v = img.Values();
    const int k = spec.window / 2;
    int bad = 0;
    for (int r = 0; r < img.height; ++r)
        for (int c = 0; c < img.width; ++c) {
            const float got = out[std::size_t(r) * img.width + c];
            const bool inner = r >= k && r < img.height - k && c >= k && c < img.width - k;
            if (!inner) {
                if (got != -7.0f && ++bad < 4) ADD_FAILURE() << "border written at " << r << "," << c;
                continue;
            }
            const float want = ReferencePixel(v, img.width, r, c, spec);
            if (UlpDistance(got, want) > maxUlp && ++bad < 4)
                ADD_FAILURE() << "filter " << spec.filter << " g " << spec.window << " at " << r << "," << c
                              << ": " << got << " want " << want;
        }
    EXPECT_EQ(bad, 0);
}

using tarvenix::test::AllSampleTypes;

template <class T>
class NoiseFilterKernels : public ::testing::Test {
};
TYPED_TEST_SUITE(NoiseFilterKernels, AllSampleTypes);

TYPED_TEST(NoiseFilterKernels, EveryFilterMatchesThePlainReference)
{
    const auto img = RandomImage<TypeParam>(41, 37, 11);
    for (int filter = kFilterMean; filter <= kFilterSigma; ++filter)
        for (int g : {3, 5, 17}) {
            SCOPED_TRACE(testing::Message() << "filter " << filter << ", window " << g);
            // Median and Sigma compare floats exactly as the reference does; the moment
            // filters may differ by the last bit where the sums were rounded differently.
            const std::int64_t ulp = filter == kFilterMedian || filter == kFilterSigma ? 0 : 1;
            ExpectMatchesReference(img, NoiseFilterSpec{filter, g, 1.2826f}, ulp);
        }
}

TEST(NoiseFilterKernelsExact, IntegerSumsGiveTheReferenceBitForBit)
{
    const auto img = RandomImage<std::int32_t>(40, 30, 5);
    for (int filter : {kFilterMean, kFilterLee, kFilterKuan})
        for (int g : {3, 7}) ExpectMatchesReference(img, NoiseFilterSpec{filter, g, 0.7f}, 0);
}

TEST(NoiseFilterKernelsExact, FloatSumsKeepTheVarianceOfLargeValues)
{
    // Unit variance around 10^6: a small difference of large sums of squares.
    std::mt19937_64 rng(3);
    std::normal_distribution<double> noise(1e6, 1.0);
    Image<double> d{300, 90, {}};
    Image<float> f{300, 90, {}};
    for (int i = 0; i < 300 * 90; ++i) {
        d.samples.push_back(noise(rng));
        f.samples.push_back(float(noise(rng)));
    }
    for (int filter : {kFilterMean, kFilterLee, kFilterKuan})
        for (int g : {5, 17}) {
            SCOPED_TRACE(testing::Message() << "filter " << filter << ", window " << g);
            ExpectMatchesReference(d, NoiseFilterSpec{filter, g, 1e-6f}, 1);
            ExpectMatchesReference(f, NoiseFilterSpec{filter, g, 1e-6f}, 1);
        }
}

// ---- a bright target among speckle ------------------------------------------------------------

/// A sample of the given power: real types take it as it is, complex ones as their first part.
template <class T>
T SampleOfPower(double power)
{
    if constexpr (IsComplex<T>) {
        using P = PartType<T>;
        const P part = P(std::sqrt(power));
        if constexpr (std::is_floating_point_v<P>)
            return T(part, P(0));
        else
            return T{part, P(0)};
    } else {
        return T(power);
    }
}

/// 24 x 24 values between 1 and 2 with one target of 1e8 (80 dB) at row 8, column 8: the
/// windows to its right and below have seen it pass and must not remember it.
template <class T>
Image<T> BrightTarget()
{
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> speckle(1.0, 2.0);
    Image<T> img{24, 24, {}};
    for (int i = 0; i < 24 * 24; ++i) {
        // Complex integer parts give powers 1 (1, 0) and 2 (1, 1).
        if constexpr (IsComplex<T> && std::is_integral_v<PartType<T>>)
            img.samples.push_back(T{1, PartType<T>(speckle(rng) < 1.5 ? 0 : 1)});
        else
            img.samples.push_back(SampleOfPower<T>(speckle(rng)));
    }
    img.samples[8 * 24 + 8] = SampleOfPower<T>(1e8);
    return img;
}

template <class T>
class NoiseFilterBrightTarget : public ::testing::Test {
};
using BrightTargetTypes = ::testing::Types<float, std::complex<float>, CplxInt<std::int16_t>>;
TYPED_TEST_SUITE(NoiseFilterBrightTarget, BrightTargetTypes);

TYPED_TEST(NoiseFilterBrightTarget, WindowsPastTheTargetMatchTheTwoPassReference)
{
    const auto img = BrightTarget<TypeParam>();
    for (int filter : {kFilterMean, kFilterLee, kFilterFrost, kFilterKuan})
        for (int g : {3, 7}) {
            SCOPED_TRACE(testing::Message() << "filter " << filter << ", window " << g);
            ExpectMatchesReference(img, NoiseFilterSpec{filter, g, 0.5f}, 1);
        }
}

TEST(NoiseFilterKernelsExact, MeanAfterAnIsolatedHugeSampleIsTheWindowsOwn)
{
    // 1e17 swallows every value of 1 to 2 added to it: sums that take it out again would
    // leave an error of about 16 in each later window.
    auto f = BrightTarget<float>();
    f.samples[8 * 24 + 8] = 1e17f;
    Image<double> d{24, 24, {f.samples.begin(), f.samples.end()}};
    for (int g : {3, 5}) {
        ExpectMatchesReference(f, NoiseFilterSpec{kFilterMean, g, 0}, 1);
        ExpectMatchesReference(d, NoiseFilterSpec{kFilterMean, g, 0}, 1);
    }
}

TEST(NoiseFilterKernelsExact, HistogramMedianEqualsTheSortedMedian)
{
    // 8- and 16-bit images go through the histogram; their values as 32-bit integers
    // through the sorted window.
    const auto u16 = RandomImage<std::uint16_t>(70, 40, 9);
    const auto s8 = RandomImage<std::int8_t>(70, 40, 9);
    Image<std::int32_t> u16wide{70, 40, {u16.samples.begin(), u16.samples.end()}};
    Image<std::int32_t> s8wide{70, 40, {s8.samples.begin(), s8.samples.end()}};
    for (int g : {3, 5, 9, 17}) {
        const NoiseFilterSpec spec{kFilterMedian, g, 0};
        EXPECT_EQ(RunKernels(u16, spec), RunKernels(u16wide, spec)) << g;
        EXPECT_EQ(RunKernels(s8, spec), RunKernels(s8wide, spec)) << g;
    }
}

TEST(NoiseFilterKernelsExact, ResultDoesNotDependOnTheThreadCount)
{
    const auto img = RandomImage<float>(64, 301, 17);
    for (int filter = kFilterMean; filter <= kFilterSigma; ++filter) {
        const NoiseFilterSpec spec{filter, 7, 0.5f};
        const auto one = RunKernels(img, spec, 1);
        for (int threads : {3, 8}) EXPECT_EQ(RunKernels(img, spec, threads), one) << filter << "/" << threads;
    }
}

// ---- layers tall and wide enough for bands to start anywhere ---------------------------------

/// Speckle of type T: powers spread over two decades in patches, so that every window's
/// moments differ from its neighbours' and a sum over the wrong rows or columns shows.
template <class T>
Image<T> Speckle(int w, int h, unsigned seed)
{
    using P = PartType<T>;
    std::mt19937_64 rng(seed);
    std::exponential_distribution<double> spread(1.0);
    std::uniform_real_distribution<double> turn(0.0, 6.283185307179586);
    const double top = std::is_integral_v<P> ? double(std::numeric_limits<P>::max()) : 100.0;
    auto part = [&](double v) {
        if constexpr (std::is_integral_v<P>)
            return P(std::clamp(std::round(v), double(std::numeric_limits<P>::min()), top));
        else
            return P(v);
    };
    Image<T> img{w, h, {}};
    img.samples.reserve(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double level = (0.05 + spread(rng)) * (1 + (y / 97 + x / 89) % 3);  // about 0 .. 30
            if constexpr (IsComplex<T>) {
                const double a = top / 8 * std::sqrt(level), t = turn(rng);
                const double re = a * std::cos(t), im = a * std::sin(t);
                if constexpr (std::is_unsigned_v<P>)
                    img.samples.push_back(T{part(std::fabs(re)), part(std::fabs(im))});
                else if constexpr (std::is_integral_v<P>)
                    img.samples.push_back(T{part(re), part(im)});
                else
                    img.samples.push_back(T(part(re), part(im)));
            } else {
                img.samples.push_back(T(part(top / 40 * level)));
            }
        }
    return img;
}

/// Runs `spec` on 1 and 8 threads (the same bits either way) and compares every inner row
/// with the plain reference: all inner columns of a narrow layer; on a wide one the first
/// and last and `sampled` others per row, different in each row, so that whole-row faults
/// show in every row and faults at column blocks in many.
template <class T>
void ExpectEveryRowMatchesReference(const Image<T>& img, const NoiseFilterSpec& spec, int sampled,
                                    std::int64_t maxUlp)
{
    const auto out = RunKernels(img, spec, 1);
    ASSERT_TRUE(RunKernels(img, spec, 8) == out) << "the result depends on the thread count";
    const auto v = img.Values();
    const int k = spec.window / 2, w = img.width;
    std::mt19937 pick(unsigned(spec.window * 131 + spec.filter));
    std::uniform_int_distribution<int> column(k, w - k - 1);
    std::vector<int> columns;
    int bad = 0;
    for (int r = k; r < img.height - k; ++r) {
        columns.clear();
        if (w - 2 * k <= sampled + 2) {
            for (int c = k; c < w - k; ++c) columns.push_back(c);
        } else {
            columns = {k, w - k - 1};
            for (int i = 0; i < sampled; ++i) columns.push_back(column(pick));
        }
        for (int c : columns) {
            const float got = out[std::size_t(r) * w + c], want = ReferencePixel(v, w, r, c, spec);
            if (UlpDistance(got, want) > maxUlp && ++bad <= 4)
                ADD_FAILURE() << img.width << " x " << img.height << ", filter " << spec.filter << ", window "
                              << spec.window << ", row " << r << ", column " << c << ": " << got << ", want "
                              << want;
        }
    }
    EXPECT_EQ(bad, 0);
}

/// Every filter's tolerance against the reference: the moment filters may round their sums
/// in another order, Median and Sigma compare and add the window's values exactly.
std::int64_t UlpFor(int filter)
{
    return filter == kFilterMedian || filter == kFilterSigma ? 0 : 1;
}

template <class T>
class NoiseFilterKernelsBands : public ::testing::Test {
};
// Each class of sums: exact integers, floats, doubles, complex floats and doubles (powers),
// complex integers of 32 bits (powers past the exact sums).
using BandTypes = ::testing::Types<std::int16_t, float, double, std::complex<float>, std::complex<double>,
                                   CplxInt<std::int32_t>, CplxInt<std::uint32_t>>;
TYPED_TEST_SUITE(NoiseFilterKernelsBands, BandTypes);

TYPED_TEST(NoiseFilterKernelsBands, TallNarrowLayersAreRightInEveryRow)
{
    // The band engine cuts the inner rows into about 64 bands; from 257 windows of height on
    // they start at rows that are no multiple of the window, and each band first sums the
    // windows above its first row.
    for (int g : {3, 5, 7, 15, 17}) {
        const auto img = Speckle<TypeParam>(g + 2, 257 * g, unsigned(g));
        for (int filter = kFilterMean; filter <= kFilterSigma; ++filter) {
            SCOPED_TRACE(testing::Message() << "filter " << filter << ", window " << g);
            ExpectEveryRowMatchesReference(img, NoiseFilterSpec{filter, g, 0.6f}, 0, UlpFor(filter));
        }
    }
}

struct LargeLayer {
    const char* name;
    int w, h, g;
    std::vector<int> filters;  // each code path once: Kuan shares Lee's moments
};

class NoiseFilterKernelsLarge : public ::testing::TestWithParam<LargeLayer> {};

template <class T>
void ExpectLargeLayerRight(const LargeLayer& layer)
{
    const auto img = Speckle<T>(layer.w, layer.h, unsigned(layer.w));
    for (int filter : layer.filters) {
        SCOPED_TRACE(testing::Message() << "filter " << filter);
        ExpectEveryRowMatchesReference(img, NoiseFilterSpec{filter, layer.g, 0.6f}, 3, UlpFor(filter));
    }
}

TEST_P(NoiseFilterKernelsLarge, EveryRowMatchesTheReference)
{
    // Square, odd, wide and tall layers: bands, column strips and median tiles of every kind,
    // for float values and complex powers.
    ExpectLargeLayerRight<float>(GetParam());
    ExpectLargeLayerRight<std::complex<float>>(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Layers, NoiseFilterKernelsLarge,
    ::testing::Values(LargeLayer{"Square1024Window3",
                                 1024,
                                 1024,
                                 3,
                                 {kFilterMean, kFilterLee, kFilterFrost, kFilterMedian, kFilterSigma}},
                      LargeLayer{"Odd2049x1537Window5", 2049, 1537, 5, {kFilterMean, kFilterLee}},
                      LargeLayer{"Wide4100x257Window17", 4100, 257, 17, {kFilterMean, kFilterFrost}},
                      LargeLayer{"Tall131x8870Window15", 131, 8870, 15, {kFilterLee, kFilterSigma}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- images of many tiles: ties, NaN, zeros of both signs, a wide range of values ----------------

/// 84 x 84 samples (more than one tile of 64 outputs each way, for every window) drawn from
/// `levels`, some of them repeated often; every 97th sample is replaced by `rare`.
template <class T>
Image<T> FromLevels(const std::vector<double>& levels, double rare, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<std::size_t> pick(0, levels.size() - 1);
    Image<T> img{84, 84, {}};
    for (int i = 0; i < 84 * 84; ++i) img.samples.push_back(T(i % 97 == 5 ? rare : levels[pick(rng)]));
    return img;
}

TEST(NoiseFilterKernelsTiles, MedianAndSigmaMatchTheReferenceOverManyTiles)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> many;
    std::mt19937_64 rng(5);
    for (int i = 0; i < 400; ++i) many.push_back(std::uniform_real_distribution<double>(0.5, 300.0)(rng));
    // Sigma adds values as doubles: where a window could round its sum differently (a tiny
    // value beside large ones, doubles of 53 bits), the tiles must still give the row-order sum.
    const struct {
        const char* name;
        std::vector<double> levels;
        double rare;
        bool median;  // the median sees only the order: ties, NaN and signs matter
    } kImages[] = {
        {"few levels", {-0.0, 0.0, 1, 2, 2.5, 3, 7}, nan, true},
        {"speckle", many, 1e-30, false},
        {"mixed signs", {-40, -3.25, -1, 0, 1, 3.25, 40, 1e6}, -0.0, true},
        {"huge beside tiny", {1e30, 2e30, 3.5, 1e-20}, std::numeric_limits<double>::infinity(), false},
    };
    for (const auto& image : kImages) {
        const auto f = FromLevels<float>(image.levels, image.rare, 3);
        auto d = FromLevels<double>(image.levels, image.rare, 3);
        for (double& v : d.samples) v *= 1.0 + 1e-15 * double(&v - d.samples.data() + 1);  // full mantissas
        for (int g : {3, 5, 7, 17}) {
            SCOPED_TRACE(testing::Message() << image.name << ", window " << g);
            if (image.median) {
                ExpectMatchesReference(f, NoiseFilterSpec{kFilterMedian, g, 0}, 0);
                ExpectMatchesReference(d, NoiseFilterSpec{kFilterMedian, g, 0}, 0);
            }
            if (g == 5 || g == 7) continue;  // the same Sigma code as 3 and 17
            ExpectMatchesReference(f, NoiseFilterSpec{kFilterSigma, g, 0.3f}, 0);
            ExpectMatchesReference(f, NoiseFilterSpec{kFilterSigma, g, 1.2f}, 0);
            ExpectMatchesReference(d, NoiseFilterSpec{kFilterSigma, g, 0.3f}, 0);
        }
    }
    const auto s = FromLevels<std::int32_t>({-5, 0, 2, 2, 9, 100000}, 7, 3);
    for (int g : {3, 5, 7, 17}) ExpectMatchesReference(s, NoiseFilterSpec{kFilterMedian, g, 0}, 0);
}

TEST(NoiseFilterKernelsExact, MeanWithoutSquaresEqualsTheMomentsMeanBitForBit)
{
    // A NaN sends the bands whose rows hold it through the full moments; every window that
    // does not hold it must come out the same either way. 1100 columns span several strips.
    const auto plain = RandomImage<float>(1100, 45, 21);
    auto spoiled = plain;
    const int ny = 22, nx = 600;
    spoiled.samples[std::size_t(ny) * 1100 + nx] = std::numeric_limits<float>::quiet_NaN();
    for (int g : {3, 7, 17}) {
        const NoiseFilterSpec spec{kFilterMean, g, 0};
        const auto a = RunKernels(plain, spec), b = RunKernels(spoiled, spec);
        const int k = g / 2;
        int differ = 0;
        for (int y = 0; y < 45; ++y)
            for (int x = 0; x < 1100; ++x) {
                if (std::abs(y - ny) <= k && std::abs(x - nx) <= k) continue;
                const std::size_t i = std::size_t(y) * 1100 + x;
                differ += std::memcmp(&a[i], &b[i], sizeof(float)) != 0;
            }
        EXPECT_EQ(differ, 0) << g;
    }
}

// ---- single windows: the branches and limits ---------------------------------------------------

struct WindowCase {
    const char* name;
    int filter;
    float sigma;
    std::vector<float> window;  // 3 x 3, row after row; the centre is element 4
    float expected;             // NaN: expect NaN
};

class NoiseFilterWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(NoiseFilterWindow, GivesTheExpectedCentre)
{
    const WindowCase& t = GetParam();
    Image<float> img{3, 3, t.window};
    const float got = RunKernels(img, NoiseFilterSpec{t.filter, 3, t.sigma})[4];
    if (std::isnan(t.expected))
        EXPECT_TRUE(std::isnan(got)) << got;
    else
        EXPECT_FLOAT_EQ(got, t.expected);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, NoiseFilterWindow,
    ::testing::Values(
        WindowCase{"LeeMeanZero", kFilterLee, 1, {-1, 1, -2, 2, 5, -5, 0, 3, -3}, 0},
        WindowCase{"FrostMeanZero", kFilterFrost, 1, {-1, 1, -2, 2, 5, -5, 0, 3, -3}, 0},
        WindowCase{"KuanMeanZero", kFilterKuan, 1, {-1, 1, -2, 2, 5, -5, 0, 3, -3}, 0},
        WindowCase{"KuanFlatGivesMean", kFilterKuan, 0.5f, {4, 4, 4, 4, 4, 4, 4, 4, 4}, 4},
        WindowCase{"KuanSigmaZeroGivesCentre", kFilterKuan, 0, {1, 2, 3, 4, 9, 6, 7, 8, 5}, 9},
        WindowCase{"LeeSigmaZeroGivesCentre", kFilterLee, 0, {1, 2, 3, 4, 9, 6, 7, 8, 5}, 9},
        WindowCase{"LeeFlatSigmaZeroGivesMean", kFilterLee, 0, {4, 4, 4, 4, 4, 4, 4, 4, 4}, 4},
        WindowCase{"FrostSigmaZeroGivesCentre", kFilterFrost, 0, {1, 2, 3, 4, 9, 6, 7, 8, 5}, 9},
        WindowCase{"FrostFlatSigmaZeroGivesMean", kFilterFrost, 0, {4, 4, 4, 4, 4, 4, 4, 4, 4}, 4},
        WindowCase{
            "SigmaNegativeCentreSmallSigma", kFilterSigma, 0.25f, {-1, -1, -1, -1, -1, -1, -1, -1, -1}, 0},
        WindowCase{"SigmaZeroCentreKeepsZeros", kFilterSigma, 1, {0, 3, 0, 4, 0, 5, 0, 6, 0}, 0},
        WindowCase{"SigmaKeepsBothEnds", kFilterSigma, 0.25f, {1, 2, 3, 1.5f, 2, 2.5f, 7, 8, 9}, 2},
        WindowCase{"MedianNaNLast", kFilterMedian, 0, {kNaN, 1, kNaN, 2, 3, kNaN, 4, 5, kNaN}, 5},
        WindowCase{"MedianMostlyNaN", kFilterMedian, 0, {kNaN, 1, kNaN, kNaN, 3, kNaN, 4, kNaN, kNaN}, kNaN},
        WindowCase{"MeanWithInfinity",
                   kFilterMean,
                   0,
                   {1, 1, 1, 1, std::numeric_limits<float>::infinity(), 1, 1, 1, 1},
                   std::numeric_limits<float>::infinity()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NoiseFilterKernelsExact, ZeroWindowsBesideLargeValuesGiveExactlyZero)
{
    // The sliding sums pass values of 10^8 before reaching a block of zeros: the mean
    // there must be exactly 0 so that Lee, Frost and Kuan take their m = 0 branch.
    Image<double> img{40, 9, std::vector<double>(360, 0.0)};
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) img.samples[std::size_t(y) * 40 + x] = 1e8 + x * 0.37 + y;
    for (int filter : {kFilterLee, kFilterFrost, kFilterKuan, kFilterMean}) {
        const auto out = RunKernels(img, NoiseFilterSpec{filter, 5, 1.0f});
        for (int y = 2; y < 7; ++y)
            for (int x = 20; x < 38; ++x) EXPECT_EQ(out[std::size_t(y) * 40 + x], 0.0f) << filter;
    }
}

// Large Sigma windows of integers and non-negative floats are filtered from ranks: they must
// give the row-order sums bit for bit, on tiles of every kind (speckle, zeros, values far
// below the rest, a negative value, NaN and infinity) and on 1 and 8 threads.
TEST(NoiseFilterKernelsExact, LargeSigmaWindowsGiveTheRowOrderSumsBitForBit)
{
    const int w = 150, h = 131;  // several tiles across and down, the last ones partial
    std::mt19937_64 rng(23);
    std::exponential_distribution<double> speckle(1.0 / 300.0);
    Image<float> f{w, h, {}};
    for (int i = 0; i < w * h; ++i) f.samples.push_back(float(speckle(rng)));
    for (int i = 0; i < 40; ++i) f.samples[std::size_t(rng() % (w * h / 2))] = 0.0f;
    for (int i = 0; i < 40; ++i) f.samples[std::size_t(rng() % (w * h / 2))] = 3e-20f;
    // Small enough that a window's sum holds more than 2^53 of their last places.
    for (int i = 0; i < 200; ++i)
        f.samples[std::size_t(w * h / 2 + rng() % (w * h / 2))] =
            float(1e-5 * (1.0 + double(rng() % 1000) / 7.0));
    f.samples[std::size_t(100 * w + 20)] = 1e-42f;  // a subnormal
    f.samples[std::size_t(90 * w + 100)] = -5.0f;
    f.samples[std::size_t(120 * w + 30)] = std::numeric_limits<float>::infinity();
    f.samples[std::size_t(110 * w + 120)] = std::nanf("");
    Image<std::uint16_t> u16{w, h, {}};
    Image<std::int32_t> s32{w, h, {}};
    for (int i = 0; i < w * h; ++i) {
        u16.samples.push_back(std::uint16_t(std::min(65535.0, speckle(rng) * 50)));
        s32.samples.push_back(std::int32_t(std::int64_t(rng() % 4000000000ull) - 2000000000));
    }
    auto check = [&](const auto& img, const char* name) {
        SCOPED_TRACE(name);
        const auto v = img.Values();
        for (const float sigma : {0.1f, 0.5f, 1.2826f})
            for (const int g : {9, 17}) {
                const NoiseFilterSpec spec{kFilterSigma, g, sigma};
                const int k = g / 2;
                std::vector<float> want(v.size(), -7.0f);
                for (int r = k; r < h - k; ++r)
                    for (int c = k; c < w - k; ++c)
                        want[std::size_t(r) * w + c] = ReferencePixel(v, w, r, c, spec);
                for (const int threads : {1, 8}) {
                    const auto got = RunKernels(img, spec, threads);
                    int bad = 0;
                    for (std::size_t i = 0; i < got.size(); ++i)
                        if (std::memcmp(&got[i], &want[i], 4) != 0 &&
                            !(std::isnan(got[i]) && std::isnan(want[i])) && ++bad < 4)
                            ADD_FAILURE()
                                << "sigma " << sigma << " g " << g << " threads " << threads << " at "
                                << i / w << "," << i % w << ": " << got[i] << " want " << want[i];
                    EXPECT_EQ(bad, 0);
                }
            }
    };
    check(f, "F32");
    check(u16, "U16");
    check(s32, "S32");
}

// ---- Sigma through fixed-point sums --------------------------------------------------------
// Where the processor has AVX-512, Sigma adds each tile's values as integers at one fixed
// point and settles each output from them when it can prove the row-order sum rounds to the
// same float; the rest of the windows are summed in row order.

/// Radar intensities: a smooth scene times `looks`-look speckle, with point targets 30 to 40
/// dB above it (windows far below their tile's largest value), a few NaN, and a block of zeros.
Image<float> RadarScene(int w, int h, int looks, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::gamma_distribution<double> speckle(double(looks), 1.0 / looks);
    std::uniform_int_distribution<int> rare(0, 3999);
    Image<float> img{w, h, {}};
    img.samples.reserve(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double scene = 200.0 + 150.0 * std::sin(x * 0.013) * std::cos(y * 0.011);
            double v = scene * speckle(rng);
            const int r = rare(rng);
            if (r < 3) v *= 1000.0 * (1 + r * 4);
            if (r == 3) v = std::numeric_limits<double>::quiet_NaN();
            if (x % 300 < 40 && y % 200 < 30) v = 0.0;
            img.samples.push_back(float(v));
        }
    return img;
}

/// Sigma of `img` on 1 and 8 threads against the row-order sums alone, bit for bit.
template <class T>
void ExpectFixedPointEqualsRowOrder(const Image<T>& img, const NoiseFilterSpec& spec)
{
    std::vector<float> rowOrder;
    {
        tarvenix::test::ScopedAvx512Paths off(false);
        rowOrder = RunKernels(img, spec, 8);
    }
    for (int threads : {1, 8}) {
        const auto got = RunKernels(img, spec, threads);
        int bad = 0;
        for (std::size_t i = 0; i < got.size(); ++i)
            if (std::memcmp(&got[i], &rowOrder[i], sizeof(float)) != 0 && ++bad <= 4)
                ADD_FAILURE() << img.width << " x " << img.height << ", window " << spec.window << ", sigma "
                              << spec.sigma << ", " << threads << " threads, at " << i / img.width << ","
                              << i % img.width << ": " << got[i] << ", row order " << rowOrder[i];
        EXPECT_EQ(bad, 0);
    }
}

TEST(NoiseFilterKernelsSigmaFixed, RadarLayersGiveTheRowOrderSumsBitForBit)
{
    if (!platform::UseAvx512()) GTEST_SKIP() << "no AVX-512 paths: Sigma takes the row-order sums alone";
    // Square, odd, wide and tall layers cross the tiles of 64 outputs every way, with both
    // groupings of output rows (4 below 15 x 15, 8 from there); sigma 0.3 tests both bounds,
    // 0.5 only the upper one.
    const struct {
        int w, h, g, looks;
    } kLayers[] = {
        {1024, 1024, 17, 1}, {2049, 1537, 7, 4}, {1031, 1029, 3, 1}, {4100, 97, 15, 1}, {131, 2900, 17, 4}};
    for (const auto& layer : kLayers) {
        const auto img = RadarScene(layer.w, layer.h, layer.looks, unsigned(layer.w + layer.g));
        for (const float sigma : {0.3f, 0.5f}) {
            SCOPED_TRACE(testing::Message() << layer.w << " x " << layer.h << ", window " << layer.g);
            ExpectFixedPointEqualsRowOrder(img, NoiseFilterSpec{kFilterSigma, layer.g, sigma});
        }
    }
}

TEST(NoiseFilterKernelsSigmaFixed, AZeroCentreKeepsTheSignOfTinyValuesBesideIt)
{
    if (!platform::UseAvx512()) GTEST_SKIP() << "no AVX-512 paths: Sigma takes the row-order sums alone";
    // A zero centre keeps every value that rounds to a float zero: doubles far below the
    // smallest float, whose row-order sum carries their sign (-0 where the negative ones win).
    const int w = 150, h = 131;
    std::mt19937_64 rng(7);
    std::exponential_distribution<double> speckle(1.0 / 300.0);
    Image<double> img{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool zeros = (x / 10 + y / 10) % 3 == 0;
            const double tiny = (x * 7 + y * 3) % 5 == 0 ? -1e-300 : (x + y) % 11 == 0 ? 3e-310 : 0.0;
            img.samples.push_back(zeros ? tiny : speckle(rng));
        }
    for (const int g : {5, 17}) ExpectFixedPointEqualsRowOrder(img, NoiseFilterSpec{kFilterSigma, g, 0.3f});
}

/// A w x h image of T whose values come from `value(x, y)`.
template <class T, class Fn>
Image<T> Painted(int w, int h, Fn value)
{
    Image<T> img{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.samples.push_back(value(x, y));
    return img;
}

TEST(NoiseFilterKernelsSigmaFixed, TilesOfEveryKindMatchThePlainReference)
{
    // 150 x 131: several tiles each way. Each image leads the tiles into another branch: sums
    // that are exact as integers (small whole numbers, many of them equal), windows whose
    // values sit far below the tile's largest one, values whose doubles are no floats (64-bit
    // floats and complex powers), tiles that are refused (an infinity, magnitudes past the
    // fixed point's reach), NaN in the centre and around it, both zeros, negative values.
    const int w = 150, h = 131;
    std::mt19937_64 rng(41);
    std::exponential_distribution<double> speckle(1.0 / 300.0);
    std::vector<double> noise(std::size_t(w) * h);
    for (double& v : noise) v = speckle(rng);
    auto at = [&](int x, int y) { return noise[std::size_t(y) * w + x]; };
    const double nan = std::numeric_limits<double>::quiet_NaN();

    const auto integers =
        Painted<float>(w, h, [&](int x, int y) { return float(std::floor(at(x, y) / 40)); });
    const auto targets = Painted<float>(
        w, h, [&](int x, int y) { return float((x * 7 + y * 13) % 61 == 0 ? at(x, y) * 5000 : at(x, y)); });
    const auto signs = Painted<float>(w, h, [&](int x, int y) {
        const double v = at(x, y) - 250;
        return float((x + y) % 53 == 0 ? nan : v == 0 ? -0.0 : v);
    });
    const auto wide = Painted<double>(w, h, [&](int x, int y) {
        const double v = at(x, y) * (1.0 + 1e-12 * x);
        if (x < 80 && y < 80) return v * 1e-295;     // the first tile's largest value is below 2^-900,
        if (x >= 100 && y >= 100) return v * 1e280;  // the last one's above 2^900
        return x == 120 && y == 20 ? std::numeric_limits<double>::infinity() : v;
    });
    const auto powers = Painted<std::complex<float>>(w, h, [&](int x, int y) {
        const double a = std::sqrt(at(x, y));
        return std::complex<float>(float(a * std::cos(x + 0.5 * y)), float(a * std::sin(x + 0.5 * y)));
    });
    const auto ints = Painted<std::int32_t>(w, h, [&](int x, int y) {
        return std::int32_t(x % 37 == 0 ? at(x, y) * 3e6 : at(x, y));  // above 2^24 beside small ones
    });
    // With the AVX-512 paths on and off: the row-order sums alone keep their own vector code.
    const std::vector<bool> paths =
        platform::UseAvx512() ? std::vector<bool>{true, false} : std::vector<bool>{false};
    for (const bool fixedPoint : paths) {
        tarvenix::test::ScopedAvx512Paths scoped(fixedPoint);
        for (const int g : {5, 17})
            for (const float sigma : {0.3f, 0.5f, 1.2826f}) {
                SCOPED_TRACE(testing::Message()
                             << "fixed point " << fixedPoint << ", window " << g << ", sigma " << sigma);
                const NoiseFilterSpec spec{kFilterSigma, g, sigma};
                ExpectMatchesReference(integers, spec, 0);
                ExpectMatchesReference(targets, spec, 0);
                ExpectMatchesReference(signs, spec, 0);
                ExpectMatchesReference(wide, spec, 0);
                ExpectMatchesReference(powers, spec, 0);
                ExpectMatchesReference(ints, spec, 0);
            }
    }
}

}  // namespace
