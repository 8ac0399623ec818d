#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <numeric>

#include "viewer/core/display_mapping.h"
#include "viewer/core/tile_pyramid.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// One sample of a type made from its parts (integer parts are converted as the type stores them).
std::vector<std::uint8_t> Sample(int typeCode, double re, double im)
{
    return visitSampleType(typeCode, [&]<class T>(Tag<T>) {
        using P = PartType<T>;
        auto part = [](double v) {
            if constexpr (std::is_integral_v<P>)
                return P(std::int64_t(v));
            else
                return P(v);
        };
        T s;
        if constexpr (IsComplex<T>)
            s = T{part(re), part(im)};
        else
            s = part(re);
        std::vector<std::uint8_t> bytes(sizeof(T));
        std::memcpy(bytes.data(), &s, sizeof(T));
        return bytes;
    });
}

struct MappingCase {
    const char* what;
    int typeCode;
    int component;
    double lo, hi;
    double re, im;
    int expected;
};

const MappingCase kCases[] = {
    {"S16 at the minimum", 4, 0, 10, 20, 10, 0, 0},
    {"S16 half way rounds to the even 128", 4, 0, 10, 20, 15, 0, 128},
    {"S16 at the maximum", 4, 0, 10, 20, 20, 0, 255},
    {"S16 above the maximum", 4, 0, 10, 20, 25, 0, 255},
    {"S16 below the minimum", 4, 0, 10, 20, -3, 0, 0},
    {"F32 half rounds to even (2.5 -> 2)", 7, 0, 0, 255, 2.5, 0, 2},
    {"F32 half rounds to even (3.5 -> 4)", 7, 0, 0, 255, 3.5, 0, 4},
    {"F32 NaN", 7, 0, 0, 255, kNaN, 0, 0},
    {"F32 +infinity", 7, 0, 0, 255, kInf, 0, 255},
    {"F32 -infinity", 7, 0, 0, 255, -kInf, 0, 0},
    {"F64 far above", 8, 0, 0, 1, 1e300, 0, 255},
    {"F64 minimum equal to maximum", 8, 0, 5, 5, 7, 0, 0},
    {"F64 infinity with minimum equal to maximum", 8, 0, 5, 5, kInf, 0, 0},
    {"F64 inverted range", 8, 0, 100, 0, 25, 0, 191},
    {"U32 above 2^31 stays positive", 5, 0, 0, 4294967295.0, 4294967295.0, 0, 255},
    {"S32 negative", 6, 0, -100, 100, -100, 0, 0},
    {"S8 sign-extended", 2, 0, -128, 127, -1, 0, 127},
    {"U8 identity", 1, 0, 0, 255, 200, 0, 200},
    {"CS16 amplitude of (3, -4) is 5", 14, 0, 0, 5, 3, -4, 255},
    {"C64 real part rounds halves away from zero", 9, 2, 0, 255, 2.5, 7, 3},
    {"C64 imaginary part", 9, 3, 0, 255, 2.5, 7.4, 7},
    {"C64 amplitude below 1 after rounding", 9, 0, 0, 255, 0.4, 0.0, 0},
    {"C128 amplitude NaN", 10, 0, 0, 255, kNaN, 1, 0},
    {"C128 amplitude infinity", 10, 0, 0, 255, kInf, 1, 255},
    {"CS8 part 0xFF reads as -1", 12, 2, -128, 127, -1, 0, 127},
    {"CU8 part 0xFF reads as 255", 11, 2, 0, 255, 255, 0, 255},
    {"CU32 real part above 2^31", 15, 2, 0, 4294967295.0, 4294967295.0, 0, 255},
    {"phase of i on -pi..pi", 13, 1, -M_PI, M_PI, 0, 1, 191},
    {"phase of -1 on -pi..pi", 16, 1, -M_PI, M_PI, -1, 0, 255},
    {"phase keeps the low 8 bits past the range", 9, 1, -M_PI, 0.0, 0, 1,
     (int(std::round((M_PI / 2 + M_PI) * 255 / M_PI)) & 0xFF)},
    {"phase of a NaN part", 9, 1, -M_PI, M_PI, kNaN, 1, 0},
    {"phase with an absurd range shows 0", 10, 1, 0, 1e-300, 0, 1, 0},
};

TEST(DisplayMapping, RoundingAndClampingOfEveryTypeAndComponent)
{
    for (const MappingCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const DisplayMapping mapping(c.typeCode, c.component, c.lo, c.hi);
        const auto sample = Sample(c.typeCode, c.re, c.im);
        std::uint8_t value = 0xAB;
        std::vector<std::uint32_t> histogram(256, 0);
        mapping.MapRow(sample.data(), 1, &value, histogram.data());
        EXPECT_EQ(int(value), c.expected);
        const bool counted = !(isComplexType(c.typeCode) && c.component == kPhase);
        EXPECT_EQ(histogram[value], counted ? 1u : 0u);
        EXPECT_EQ(std::accumulate(histogram.begin(), histogram.end(), 0u), counted ? 1u : 0u);
    }
}

TEST(DisplayMapping, U8OverItsFullRangeIsTheIdentityAndCountsTheLayersHistogram)
{
    std::vector<std::uint8_t> samples(256 * 3);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint8_t(i * 7);
    std::vector<std::uint8_t> out(samples.size());
    std::vector<std::uint32_t> histogram(256, 0), expected(256, 0);
    DisplayMapping(1, 0, 0.0, 255.0)
        .MapRow(samples.data(), int(samples.size()), out.data(), histogram.data());
    EXPECT_EQ(out, samples);
    for (auto v : samples) ++expected[v];
    EXPECT_EQ(histogram, expected);
}

TEST(DisplayMapping, RefusesUnknownTypesAndComponents)
{
    EXPECT_FALSE(IsValidDisplayMapping(0, 0));
    EXPECT_FALSE(IsValidDisplayMapping(17, 0));
    EXPECT_FALSE(IsValidDisplayMapping(9, 4));
    EXPECT_FALSE(IsValidDisplayMapping(9, -1));
    EXPECT_TRUE(IsValidDisplayMapping(7, 4)) << "real layers ignore the component";
    EXPECT_THROW(DisplayMapping(17, 0, 0, 1), std::invalid_argument);
}

TEST(DisplayMapping, AComplexLayerShowsSamples256To511InItsSecondTileColumn)
{
    const int width = 600, height = 3;
    std::vector<std::complex<float>> samples(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) samples[std::size_t(y) * width + x] = {float(x % 256), float(y)};
    std::vector<BYTE> storage(std::size_t(GetViewerTempSize(width, height)) + kDisplayHistogramBytes);
    CTilePyramid pyramid;
    ASSERT_EQ(pyramid.Build(storage.data() + kDisplayHistogramBytes, GetViewerTempSize(width, height),
                            samples.data(), width, height, width * 8, 9, kReal, 0.0, 255.0, nullptr),
              1);
    const TileRecord& second = pyramid.Level(0).tiles[1];
    EXPECT_EQ(second.left, 256);
    EXPECT_EQ(second.width, 256);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 256; ++x) ASSERT_EQ(second.data[y * 256 + x], x);
    // In phase mode the display histogram stays all zero.
    ASSERT_EQ(pyramid.Build(storage.data() + kDisplayHistogramBytes, GetViewerTempSize(width, height),
                            samples.data(), width, height, width * 8, 9, kPhase, -M_PI, M_PI, nullptr),
              1);
    EXPECT_TRUE(std::all_of(storage.begin(), storage.begin() + kDisplayHistogramBytes,
                            [](BYTE b) { return b == 0; }));
}

TEST(DisplayMapping, AFloatLayerCountsNaNInBinZeroAndMinimumEqualMaximumGivesAllZero)
{
    std::vector<float> samples = {std::nanf(""), 1.0f, float(kInf), float(-kInf), 300.0f};
    std::vector<std::uint8_t> out(samples.size());
    std::vector<std::uint32_t> histogram(256, 0);
    DisplayMapping(7, 0, 0.0, 255.0).MapRow(samples.data(), 5, out.data(), histogram.data());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 1, 255, 0, 255}));
    EXPECT_EQ(histogram[0], 2u);
    EXPECT_EQ(histogram[255], 2u);

    std::fill(histogram.begin(), histogram.end(), 0u);
    DisplayMapping(7, 0, 4.0, 4.0).MapRow(samples.data(), 5, out.data(), histogram.data());
    EXPECT_EQ(out, std::vector<std::uint8_t>(5, 0));
    EXPECT_EQ(histogram[0], 5u);
}

}  // namespace
