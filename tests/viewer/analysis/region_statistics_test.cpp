#include "viewer/analysis/region_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/row_driver.h"
#include "platform/kernel/cpu_features.h"
#include "tests/support/vector_paths.h"

namespace {

/// A layer in memory: rows of `T`, the row table the kernels read.
template <class T>
struct Image {
    int width, height;
    std::vector<T> samples;
    std::vector<const void*> rows;
    Image(int w, int h, T fill = T{}) : width(w), height(h), samples(size_t(w) * size_t(h), fill)
    {
        for (int y = 0; y < h; ++y) rows.push_back(samples.data() + size_t(y) * size_t(w));
    }
    T& at(int x, int y) { return samples[size_t(y) * size_t(width) + size_t(x)]; }
    RegionSource Source(int type) const { return {rows.data(), type, width, height}; }
};

/// Written from the definitions: two passes in long double about the exact mean.
struct Reference {
    long double n = 0, mean = 0, min = 0, max = 0;
    long double raw[6] = {}, central[6] = {};
};
Reference Reduce(const std::vector<long double>& v)
{
    Reference r;
    r.n = static_cast<long double>(v.size());
    if (v.empty()) return r;
    r.min = r.max = v[0];
    for (long double x : v) {
        r.mean += x;
        r.min = std::min(r.min, x);
        r.max = std::max(r.max, x);
    }
    r.mean /= r.n;
    for (long double x : v) {
        long double p = 1, q = 1;
        for (int k = 1; k <= 5; ++k) {
            p *= x;
            q *= x - r.mean;
            r.raw[k] += p;
            r.central[k] += q;
        }
    }
    for (int k = 1; k <= 5; ++k) {
        r.raw[k] /= r.n;
        r.central[k] /= r.n;
    }
    return r;
}

/// Values of the region's pixels in walk order, through `value`.
template <class T, class F>
std::vector<long double> Collect(const Image<T>& img, const platform::SpanRegion& region, F value)
{
    std::vector<long double> out;
    for (platform::RegionRow row : region.Rows())
        for (const platform::Span& s : row.spans)
            for (int x = s.x0; x < s.x1; ++x) {
                const T& t = img.samples[size_t(row.y) * size_t(img.width) + size_t(x)];
                const long double v = value(t);
                if (v == v) out.push_back(v);
            }
    return out;
}

void ExpectMatches(const RegionStatistics& st, int p, const Reference& r, double tolOfSigma)
{
    const long double sigma = std::sqrt(r.central[2]);
    for (int k = 1; k <= 5; ++k) {
        SCOPED_TRACE(k);
        const long double scale = std::pow(sigma, static_cast<long double>(k));
        // A heavy tail makes mu_k far larger than sigma^k: then its own size sets the digits.
        EXPECT_NEAR(st.meanMoments[0][p][k], double(r.central[k]),
                    double(tolOfSigma * scale + 1e-12L * std::fabs(r.central[k])));
        // Raw moments are as exact as their size allows.
        EXPECT_NEAR(st.originMoments[0][p][k], double(r.raw[k]), double(std::fabs(r.raw[k]) * 1e-13L));
    }
    EXPECT_EQ(st.min[0][p], double(r.min));
    EXPECT_EQ(st.max[0][p], double(r.max));
}

platform::SpanRegion Whole(int w, int h)
{
    return platform::SpanRegion::FromRect(0, 0, w, h);
}

TEST(RegionStatistics, SmallRowsGiveTheTextbookMoments)
{
    Image<float> img(5, 1);
    for (int x = 0; x < 5; ++x) img.at(x, 0) = float(x + 1);
    RegionStatistics st;
    ASSERT_TRUE(ComputeRegionStatistics(img.Source(7), Whole(5, 1), st, 0));
    const double raw[] = {0, 3, 11, 45, 195.8, 885};
    const double central[] = {0, 0, 2, 0, 6.8, 0};
    for (int k = 1; k <= 5; ++k) {
        EXPECT_NEAR(st.originMoments[0][0][k], raw[k], 1e-12 * raw[k]) << k;
        EXPECT_NEAR(st.meanMoments[0][0][k], central[k], 1e-12) << k;
    }
    EXPECT_NEAR(st.skewness[0][0], 0.0, 1e-12);
    EXPECT_NEAR(st.kurtosis[0][0], -1.3, 1e-12);
    EXPECT_EQ(st.count[0], 5u);

    // Moved by 4294967290 in a U32 layer the shape stays, to the last digits.
    Image<std::uint32_t> big(5, 1);
    for (int x = 0; x < 5; ++x) big.at(x, 0) = 4294967290u + std::uint32_t(x + 1);
    ASSERT_TRUE(ComputeRegionStatistics(big.Source(5), Whole(5, 1), st, 0));
    for (int k = 2; k <= 5; ++k) EXPECT_NEAR(st.meanMoments[0][0][k], central[k], 1e-12) << k;
    EXPECT_NEAR(st.skewness[0][0], 0.0, 1e-12);
    EXPECT_NEAR(st.kurtosis[0][0], -1.3, 1e-12);
    EXPECT_EQ(st.max[0][0], 4294967295.0);
}

TEST(RegionStatistics, LargeOffsetSmallSpreadKeepsItsCentralMoments)
{
    // Mean 1e4, deviation 0.1: raw power sums would cancel every digit of mu_5.
    const int w = 4096, h = 4096;
    Image<float> img(w, h);
    std::mt19937_64 rng(5);
    std::normal_distribution<double> normal(1e4, 0.1);
    for (float& f : img.samples) f = float(normal(rng));
    const auto region = Whole(w, h);
    RegionStatistics st;
    ASSERT_TRUE(ComputeRegionStatistics(img.Source(7), region, st, 0));
    ExpectMatches(st, 0, Reduce(Collect(img, region, [](float f) { return (long double)f; })), 1e-8);

    // The first pixel far out: the walk starts its sums there, far from the mean.
    Image<float> tail(64, 64);
    for (float& f : tail.samples) f = float(normal(rng));
    tail.at(0, 0) = 2e4f;
    ASSERT_TRUE(ComputeRegionStatistics(tail.Source(7), Whole(64, 64), st, 0));
    ExpectMatches(st, 0, Reduce(Collect(tail, Whole(64, 64), [](float f) { return (long double)f; })), 1e-8);
}

TEST(RegionStatistics, FreeHandRegionWithHolesCountsOnlyItsPixels)
{
    const int w = 300, h = 200;
    Image<double> img(w, h);
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> uni(-50.0, 80.0);
    for (double& d : img.samples) d = uni(rng) + 1e6;
    // A polygon reaching past the layer, minus two holes; NaN samples inside are skipped.
    const POINT poly[] = {{-20, 10}, {150, -30}, {340, 90}, {200, 260}, {40, 150}};
    auto region = platform::SpanRegion::FromPolygon(poly, platform::FillRule::Alternate);
    region = region.Subtract(platform::SpanRegion::FromEllipse(100, 60, 160, 120))
                 .Subtract(platform::SpanRegion::FromRect(200, 100, 230, 110));
    img.at(120, 150) = std::nan("");
    img.at(60, 100) = std::nan("");
    const auto inside = region.ClipToRect(RECT{0, 0, w, h});
    RegionStatistics st;
    ASSERT_TRUE(ComputeRegionStatistics(img.Source(8), region, st, 0));
    const auto values = Collect(img, inside, [](double d) { return (long double)d; });
    EXPECT_EQ(st.count[0], values.size());
    EXPECT_LT(values.size(), size_t(inside.Area()));
    ExpectMatches(st, 0, Reduce(values), 1e-8);
}

TEST(RegionStatistics, OnePixelOfEachKindReadsAsItsType)
{
    struct Case {
        const char* name;
        int type;
        std::vector<unsigned char> bytes;
        double expected[4];  // re, im, amplitude, phase (re only for real types)
    };
    const Case cases[] = {
        {"S8 0xFF", 2, {0xFF}, {-1}},
        {"U8 0xFF", 1, {0xFF}, {255}},
        {"U32 all ones", 5, {0xFF, 0xFF, 0xFF, 0xFF}, {4294967295.0}},
        {"S16", 4, {0x00, 0x80}, {-32768}},
        {"CS8 (3, -4)", 12, {0x03, 0xFC}, {3, -4, 5, Arg(3.0, -4.0)}},
        {"C64 (3, 4)", 9, {}, {3, 4, 5, Arg(3.0, 4.0)}},
        {"CU32 (1, 4294967295)",
         15,
         {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
         {1, 4294967295.0, std::hypot(1.0, 4294967295.0), Arg(1.0, 4294967295.0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> bytes = c.bytes;
        if (c.type == 9) {
            const std::complex<float> v(3, 4);
            bytes.resize(8);
            std::memcpy(bytes.data(), &v, 8);
        }
        const void* rows[] = {bytes.data()};
        RegionStatistics st;
        ASSERT_TRUE(ComputeRegionStatistics({rows, c.type, 1, 1}, Whole(1, 1), st, 0));
        const int parts = isComplexType(c.type) ? 4 : 1;
        for (int p = 0; p < parts; ++p) {
            const double v = c.expected[p];
            EXPECT_NEAR(st.min[0][p], v, 1e-14 * std::max(1.0, std::fabs(v))) << p;
            EXPECT_EQ(st.min[0][p], st.max[0][p]) << p;
            for (int k = 1; k <= 5; ++k) {
                EXPECT_NEAR(st.originMoments[0][p][k], std::pow(v, k), 1e-13 * std::pow(std::fabs(v), k))
                    << p << " " << k;
                EXPECT_EQ(st.meanMoments[0][p][k], 0.0) << p << " " << k;
            }
            // One value: no spread, so no shape.
            EXPECT_TRUE(std::isnan(st.skewness[0][p]));
            EXPECT_TRUE(std::isnan(st.kurtosis[0][p]));
        }
    }
}

TEST(RegionStatistics, BlankResultsWhereThereIsNothingToMeasure)
{
    Image<float> img(8, 8, 7.0f);
    img.at(2, 2) = std::nan("");
    struct Case {
        const char* name;
        platform::SpanRegion region;
        bool blankMoments;
    };
    const Case cases[] = {
        {"empty", platform::SpanRegion(), true},
        {"outside the layer", platform::SpanRegion::FromRect(10, 10, 20, 20), true},
        {"only NaN", platform::SpanRegion::FromRect(2, 2, 3, 3), true},
        {"constant", platform::SpanRegion::FromRect(0, 0, 8, 8), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegionStatistics st;
        ASSERT_TRUE(ComputeRegionStatistics(img.Source(7), c.region, st, 0));
        EXPECT_TRUE(std::isnan(st.skewness[0][0]));
        EXPECT_TRUE(std::isnan(st.kurtosis[0][0]));
        EXPECT_EQ(std::isnan(st.originMoments[0][0][1]), c.blankMoments);
        EXPECT_EQ(std::isnan(st.min[0][0]), c.blankMoments);
        if (!c.blankMoments) {
            EXPECT_EQ(st.count[0], 63u);
            EXPECT_EQ(st.originMoments[0][0][2], 49.0);
            EXPECT_EQ(st.meanMoments[0][0][2], 0.0);
        }
    }
    RegionStatistics st;
    EXPECT_FALSE(ComputeRegionStatistics(img.Source(17), Whole(8, 8), st, 0));
}

TEST(RegionStatistics, ComplexComponentsAgreeWithTheReferenceAndThreadCountDoesNotMatter)
{
    const int w = 257, h = 130;
    Image<std::complex<float>> img(w, h);
    std::mt19937_64 rng(3);
    std::normal_distribution<float> normal(0.0f, 20.0f);
    for (auto& c : img.samples) c = {normal(rng) + 100.0f, normal(rng)};
    img.at(5, 5) = {std::nanf(""), 1.0f};
    const POINT poly[] = {{3, 2}, {250, 20}, {200, 128}, {10, 100}};
    const auto region = platform::SpanRegion::FromPolygon(poly, platform::FillRule::Winding);

    RegionStatistics one, eight;
    {
        ScopedRowDriverThreads threads(1);
        ASSERT_TRUE(ComputeRegionStatistics(img.Source(9), region, one, 0));
    }
    {
        ScopedRowDriverThreads threads(8);
        ASSERT_TRUE(ComputeRegionStatistics(img.Source(9), region, eight, 0));
    }
    EXPECT_EQ(std::memcmp(&one, &eight, sizeof one), 0);

    using C = std::complex<float>;
    const std::function<long double(const C&)> parts[4] = {
        [](const C& c) { return c.real() == c.real() ? (long double)c.real() : NAN; },
        [](const C& c) { return c.real() == c.real() ? (long double)c.imag() : NAN; },
        [](const C& c) {
            return c.real() == c.real() ? (long double)std::hypot(double(c.real()), double(c.imag())) : NAN;
        },
        [](const C& c) {
            return c.real() == c.real() ? (long double)Arg(double(c.real()), double(c.imag())) : NAN;
        },
    };
    for (int p = 0; p < 4; ++p) {
        SCOPED_TRACE(p);
        const Reference r = Reduce(Collect(img, region, parts[p]));
        EXPECT_EQ(double(one.count[0]), double(r.n));
        const long double sigma = std::sqrt(r.central[2]);
        for (int k = 2; k <= 5; ++k)
            EXPECT_NEAR(one.meanMoments[0][p][k], double(r.central[k]),
                        double(1e-8L * std::pow(sigma, (long double)k)));
        EXPECT_NEAR(one.min[0][p], double(r.min), 1e-13);
        EXPECT_NEAR(one.max[0][p], double(r.max), 1e-13 * std::fabs(double(r.max)));
    }
}

TEST(RegionStatistics, TheVectorCodeGivesThePlainCodesResultsToTheBit)
{
    // Runs of every length against the four lanes, NaN and infinite samples, large offsets;
    // a small region of one band, and a large one of many bands on 1 and 8 threads.
    struct Size {
        int w, h;
    };
    for (const Size size : {Size{61, 23}, Size{2049, 1537}}) {
        const int w = size.w, h = size.h;
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        Image<float> real(w, h);
        Image<double> wide(w, h);
        Image<std::int32_t> integers(w, h);
        Image<std::int16_t> shorts(w, h);
        Image<std::complex<float>> complex(w, h);
        std::mt19937_64 rng(11);
        std::uniform_real_distribution<double> u(-50.0, 50.0);
        for (int i = 0; i < w * h; ++i) {
            real.samples[size_t(i)] = float(1e4 + u(rng));
            wide.samples[size_t(i)] = u(rng) * u(rng);
            integers.samples[size_t(i)] = std::int32_t(u(rng) * 1e6);
            shorts.samples[size_t(i)] = std::int16_t(u(rng) * 600);
            complex.samples[size_t(i)] = {float(u(rng)), float(u(rng))};
        }
        real.at(3, 4) = std::nanf("");
        wide.at(7, 9) = INFINITY;
        complex.at(1, 1) = {0.0f, std::nanf("")};
        std::vector<POINT> star;
        for (int i = 0; i < 40; ++i) {
            const double a = 0.157 * i, r = i % 2 ? 0.49 : 0.2;
            star.push_back({LONG(w / 2 + r * w * std::cos(a)), LONG(h / 2 + r * h * std::sin(a))});
        }
        const auto region = platform::SpanRegion::FromPolygon(star, platform::FillRule::Alternate);
        const RegionSource sources[] = {real.Source(7), wide.Source(8), integers.Source(6), shorts.Source(4),
                                        complex.Source(9)};
        for (const RegionSource& source : sources) {
            SCOPED_TRACE(source.type);
            RegionStatistics plain;
            {
                tarvenix::test::ScopedAvx2Paths paths(false);
                ScopedRowDriverThreads threads(1);
                ASSERT_TRUE(ComputeRegionStatistics(source, region, plain, 0));
            }
            for (const int n : {1, 8}) {
                ScopedRowDriverThreads threads(n);
                RegionStatistics vector;
                ASSERT_TRUE(ComputeRegionStatistics(source, region, vector, 0));
                EXPECT_EQ(std::memcmp(&vector, &plain, sizeof vector), 0) << n << " threads";
            }
        }
    }
}

struct LargeRegionCase {
    int type, w, h, threads;
    bool avx2, star;
};

class RegionStatisticsBands : public ::testing::TestWithParam<LargeRegionCase> {};

TEST_P(RegionStatisticsBands, LargeRegionsOfManyBandsAgreeWithTheReference)
{
    const LargeRegionCase& c = GetParam();
    std::vector<POINT> star;
    for (int i = 0; i < 40; ++i) {
        const double a = 0.157 * i, r = i % 2 ? 0.49 : 0.2;
        star.push_back({LONG(c.w / 2 + r * c.w * std::cos(a)), LONG(c.h / 2 + r * c.h * std::sin(a))});
    }
    const auto region =
        c.star ? platform::SpanRegion::FromPolygon(star, platform::FillRule::Alternate) : Whole(c.w, c.h);
    std::mt19937_64 rng(unsigned(c.type + c.w));
    std::uniform_real_distribution<double> u(-50.0, 50.0);
    RegionStatistics st;
    auto run = [&](const RegionSource& source) {
        ScopedRowDriverThreads threads(c.threads);
        tarvenix::test::ScopedAvx2Paths paths(c.avx2);
        return ComputeRegionStatistics(source, region, st, 0);
    };
    visitSampleType(c.type, [&]<class T>(Tag<T>) {
        Image<T> img(c.w, c.h);
        for (T& v : img.samples) {
            if constexpr (IsComplex<T>)
                v = T(PartType<T>(100 + u(rng)), PartType<T>(u(rng)));
            else
                v = T(std::is_floating_point_v<T> ? 1e3 + u(rng) * u(rng) : u(rng) * 600);
        }
        ASSERT_TRUE(run(img.Source(c.type)));
        const int components = IsComplex<T> ? 4 : 1;
        for (int p = 0; p < components; ++p) {
            SCOPED_TRACE(p);
            const Reference r = Reduce(Collect(img, region, [&](const T& t) -> long double {
                double v[4];
                if constexpr (IsComplex<T>) {
                    v[0] = double(re(t));
                    v[1] = double(im(t));
                    v[2] = std::hypot(v[0], v[1]);
                    v[3] = Arg(v[0], v[1]);
                } else {
                    v[0] = double(t);
                }
                return v[p];
            }));
            EXPECT_EQ(double(st.count[0]), double(r.n));
            const long double sigma = std::sqrt(r.central[2]);
            for (int k = 2; k <= 5; ++k)
                EXPECT_NEAR(st.meanMoments[0][p][k], double(r.central[k]),
                            double(1e-8L * std::pow(sigma, (long double)k)))
                    << k;
            EXPECT_NEAR(st.originMoments[0][p][1], double(r.raw[1]),
                        double(1e-12L * (std::fabs(r.raw[1]) + sigma)));
            EXPECT_NEAR(st.min[0][p], double(r.min), 1e-13 * std::fabs(double(r.min)));
            EXPECT_NEAR(st.max[0][p], double(r.max), 1e-13 * std::fabs(double(r.max)));
        }
    });
}

// Bands of the region's box rows: these cut into dozens, a star's rows into runs of every
// length; 1 and 8 threads, vector code on and off.
INSTANTIATE_TEST_SUITE_P(Regions, RegionStatisticsBands,
                         ::testing::Values(LargeRegionCase{7, 2049, 1537, 8, true, true},
                                           LargeRegionCase{4, 4100, 257, 1, true, false},
                                           LargeRegionCase{8, 131, 8870, 8, false, true},
                                           LargeRegionCase{6, 1024, 1024, 8, false, false},
                                           LargeRegionCase{9, 1024, 1024, 1, true, true},
                                           LargeRegionCase{7, 4100, 257, 8, false, true}),
                         [](const ::testing::TestParamInfo<LargeRegionCase>& info) {
                             const LargeRegionCase& c = info.param;
                             return std::string(typeInfo(c.type).name) + "_" + std::to_string(c.w) + "x" +
                                    std::to_string(c.h) + "_threads" + std::to_string(c.threads) +
                                    (c.avx2 ? "" : "_scalar") + (c.star ? "_star" : "");
                         });

}  // namespace
