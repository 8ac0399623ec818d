#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/texture/texture_kernels.h"
#include "tests/modules/texture/texture_test_support.h"
#include "tests/support/band_census.h"

namespace {

using namespace texturetest;

/// Exact for the statistics that are sums of integers closed by the same formula; within
/// float precision for the others.
bool BitExact(const TextureSpec& s)
{
    return s.dimensionality == 0 && (s.statistic == kFirstMean || s.statistic == kFirstSkewness ||
                                     s.statistic == kFirstKurtosis || s.statistic == kFirstEnergy);
}

void ExpectAgree(const std::vector<float>& fast, const std::vector<float>& slow, const TextureSpec& s,
                 const std::string& what)
{
    ASSERT_EQ(fast.size(), slow.size());
    int reported = 0;
    for (std::size_t i = 0; i < fast.size() && reported < 3; ++i) {
        const bool ok = BitExact(s)
                            ? fast[i] == slow[i]
                            : std::fabs(double(fast[i]) - slow[i]) <= 4e-7 * std::fabs(slow[i]) + 1e-9;
        if (!ok) {
            ADD_FAILURE() << what << " pixel " << i << ": fast " << fast[i] << ", literal " << slow[i];
            ++reported;
        }
    }
}

TEST(TextureKernels, FirstOrderEqualsTheLiteralStatisticsForEveryTypeAndWindow)
{
    int seed = 1;
    for (int window = 3; window <= 21; window += 2)
        for (int statistic = 0; statistic < kFirstOrderCount; ++statistic) {
            const int type = 1 + (seed % 8);
            // Few distinct values for some windows, so counts above 1 and flat windows appear.
            const int spread = seed % 3 ? 1000 : 4;
            const Image im = RandomImage(type, window + 9, window + 4, unsigned(seed++), spread);
            const LevelRange range = MakeLevelRange(im.Min(), im.Max());
            const TextureSpec spec{0, statistic, window, 0, 1};
            const std::string what = "type " + std::to_string(type) + " window " + std::to_string(window) +
                                     " statistic " + std::to_string(statistic);
            ExpectAgree(FastTexture(im, range, spec), ReferenceTexture(im, range, spec), spec, what);
        }
}

TEST(TextureKernels, CooccurrenceEqualsTheLiteralMatrixForEveryDirectionAndDistance)
{
    int seed = 100;
    for (int window : {3, 5, 9, 21})
        for (int direction = 0; direction < 4; ++direction)
            for (int distance : {0, 1, window / 2, window - 1, window, 255}) {
                const int type = 1 + (seed % 8);
                const int spread = seed % 3 ? 1000 : 5;
                const Image im = RandomImage(type, window + 5, window + 3, unsigned(seed++), spread);
                const LevelRange range = MakeLevelRange(im.Min(), im.Max());
                for (int measure = 0; measure < kCooccurrenceCount; ++measure) {
                    const TextureSpec spec{1, measure, window, direction, distance};
                    const std::string what = "type " + std::to_string(type) + " window " +
                                             std::to_string(window) + " direction " +
                                             std::to_string(direction) + " distance " +
                                             std::to_string(distance) + " measure " + std::to_string(measure);
                    ExpectAgree(FastTexture(im, range, spec), ReferenceTexture(im, range, spec), spec, what);
                }
            }
}

TEST(TextureKernels, ResultsDoNotDependOnTheThreadCount)
{
    const Image im = RandomImage(int(DataType::S16), 157, 301, 9);
    const LevelRange range = MakeLevelRange(im.Min(), im.Max());
    for (int dimensionality = 0; dimensionality < 2; ++dimensionality)
        for (int statistic = 0; statistic < (dimensionality ? kCooccurrenceCount : kFirstOrderCount);
             ++statistic) {
            const TextureSpec spec{dimensionality, statistic, 7, 3, 2};
            const auto one = FastTexture(im, range, spec, 1);
            for (int threads : {3, 8}) EXPECT_EQ(FastTexture(im, range, spec, threads), one) << statistic;
        }
}

TEST(TextureKernels, ImagesNotLargerThanTheWindowAreLeftAlone)
{
    // The window of the first case just fits once; the others never fit.
    const struct {
        int width, height;
        bool computed;
    } cases[] = {{5, 5, true}, {4, 9, false}, {9, 4, false}, {1, 1, false}};
    for (const auto& c : cases) {
        const Image im = RandomImage(int(DataType::U8), c.width, c.height, 3);
        const LevelRange range = MakeLevelRange(0, 255);
        for (int dimensionality : {0, 1}) {
            const TextureSpec spec{dimensionality, 1, 5, 0, 1};
            const auto out = FastTexture(im, range, spec, 0, -7.0f);
            EXPECT_EQ(out, ReferenceTexture(im, range, spec, -7.0f));
            EXPECT_EQ(out[std::size_t(2 * c.width + 2) % out.size()] != -7.0f, c.computed) << c.width;
        }
    }
}

TEST(TextureKernels, QuantisationClampsBeforeRoundingAndGivesNaNLevelZero)
{
    const LevelRange range = MakeLevelRange(10.0, 20.0);
    const LevelRange empty = MakeLevelRange(5.0, 5.0);
    const struct {
        double value;
        LevelRange range;
        int level;
    } cases[] = {
        {10.0, range, 0},
        {20.0, range, 255},
        {15.0, range, 128},
        {-1e300, range, 0},
        {1e300, range, 255},
        {NAN, range, 0},
        {INFINITY, range, 255},
        {-INFINITY, range, 0},
        {5.0, empty, 0},
        {1e9, empty, 0},
        {INFINITY, empty, 0},
        {3.0, MakeLevelRange(NAN, 4.0), 0},
        {3.0, MakeLevelRange(0.0, INFINITY), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(int(TextureLevel(c.value, c.range)), c.level) << c.value;
}

// ---- layers that cross every band -------------------------------------------------------------

/// Float results within float precision; the rows given compared, the others not computed.
void ExpectRowsAgree(const std::vector<float>& fast, const std::vector<float>& plain, int width,
                     const std::vector<std::int64_t>& rows)
{
    for (const std::int64_t y : rows)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
            ASSERT_LE(std::fabs(double(fast[i]) - plain[i]), 4e-7 * std::fabs(plain[i]) + 1e-9)
                << x << "," << y << ": fast " << fast[i] << ", plain " << plain[i];
        }
}

TEST(TextureKernels, ThePlainFormulasOfTheBoundaryTestEqualTheLiteralClasses)
{
    // The cheap reference below stands in for the literal classes on large layers.
    int seed = 300;
    for (int window : {3, 5, 17})
        for (int dimensionality : {0, 1})
            for (int statistic = 0; statistic < (dimensionality ? kCooccurrenceCount : kFirstOrderCount);
                 ++statistic) {
                const Image im =
                    RandomImage(1 + seed % 8, window + 4, window + 3, unsigned(seed), seed % 3 ? 1000 : 5);
                ++seed;
                const LevelRange range = MakeLevelRange(im.Min(), im.Max());
                const TextureSpec spec{dimensionality, statistic, window, seed % 4, 1 + seed % (window - 1)};
                std::vector<std::int64_t> all;
                for (int y = 0; y < im.height; ++y) all.push_back(y);
                SCOPED_TRACE(::testing::Message() << "window " << window << " dimensionality "
                                                  << dimensionality << " statistic " << statistic);
                ExpectRowsAgree(PlainTextureRows(im, range, spec, all), ReferenceTexture(im, range, spec),
                                im.width, all);
            }
}

struct TextureBandCase {
    int type, width, height, window, dimensionality, statistic, direction, distance, threads, spread;
};

class TextureBands : public ::testing::TestWithParam<TextureBandCase> {};

TEST_P(TextureBands, LayersCrossingEveryBandMatchThePlainFormulas)
{
    const TextureBandCase& c = GetParam();
    const Image im = RandomImage(c.type, c.width, c.height, unsigned(c.width + c.window), c.spread);
    const LevelRange range = MakeLevelRange(im.Min(), im.Max());
    const TextureSpec spec{c.dimensionality, c.statistic, c.window, c.direction, c.distance};
    const int k = c.window / 2;
    // The cut the kernel makes: bands of at least four windows.
    const auto rows = tarvenix::test::RowsAroundBandStarts(
        RowBands::Even(c.height - 2 * k, std::max<std::int64_t>(kDefaultMinRowsPerBand, 4 * c.window)), k,
        c.height, 2, c.window + 1, 127);
    ExpectRowsAgree(FastTexture(im, range, spec, c.threads), PlainTextureRows(im, range, spec, rows), c.width,
                    rows);
}

// Tall narrow layers start bands on rows that are no multiple of the window; the large ones
// carry column sums and pair counts across many rows of a band.
const TextureBandCase kTextureBandCases[] = {
    {1, 4, 771, 3, 0, kFirstMean, 0, 1, 8, 1000},
    {4, 6, 1285, 5, 0, kFirstStdDev, 0, 1, 1, 1000},
    {7, 18, 4369, 17, 0, kFirstKurtosis, 0, 1, 8, 1000},
    {8, 131, 8870, 7, 0, kFirstSkewness, 0, 1, 8, 40},
    {3, 19, 3001, 15, 0, kFirstEntropy, 0, 1, 8, 30},
    {2, 8, 2311, 5, 0, kFirstEnergy, 0, 1, 1, 8},
    {5, 6, 1285, 5, 1, kGlcmContrast, 1, 2, 8, 1000},
    {6, 18, 4369, 17, 1, kGlcmCorrelation, 3, 5, 8, 1000},
    {7, 131, 8870, 7, 1, kGlcmHomogeneity, 0, 3, 8, 1000},
    {8, 19, 3001, 15, 1, kGlcmEnergy, 2, 7, 1, 6},
    {4, 8, 2311, 5, 1, kGlcmEntropy, 1, 1, 8, 10},
    {1, 9, 2999, 7, 1, kGlcmMaxProbability, 3, 2, 8, 6},
    {4, 4, 771, 3, 1, kGlcmAbsoluteValue, 0, 1, 8, 1000},
    {7, 1024, 1024, 3, 0, kFirstEntropy, 0, 1, 8, 1000},
    {4, 2049, 1537, 3, 0, kFirstMean, 0, 1, 8, 1000},
    {8, 2049, 1537, 3, 1, kGlcmContrast, 2, 1, 8, 1000},
    {1, 4100, 257, 5, 0, kFirstStdDev, 0, 1, 8, 1000},
    {7, 4100, 257, 5, 1, kGlcmCorrelation, 1, 2, 8, 1000},
};

INSTANTIATE_TEST_SUITE_P(Layers, TextureBands, ::testing::ValuesIn(kTextureBandCases),
                         [](const ::testing::TestParamInfo<TextureBandCase>& info) {
                             const TextureBandCase& c = info.param;
                             return tarvenix::test::BoundaryCaseName(typeInfo(c.type).name, c.width, c.height,
                                                                     c.window, c.threads) +
                                    (c.dimensionality ? "_cooccurrence" : "_firstorder") +
                                    std::to_string(c.statistic);
                         });

}  // namespace
