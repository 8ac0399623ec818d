#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "modules/texture/texture_statistics.h"

namespace {

struct FirstOrderCase {
    const char* name;
    std::vector<std::uint8_t> levels;
    double mean, stdDev, entropy, energy, skewness, kurtosis;
};

TEST(FirstOrderStatistics, WindowsGiveTheirStatistics)
{
    const std::vector<std::uint8_t> uniform(25, 77);
    // Levels 0 (four times) and 255 (five times): Entropy and Energy are summed per sample.
    const std::vector<std::uint8_t> twoLevels = {0, 255, 0, 255, 0, 255, 0, 255, 255};
    // A spread below one level: Skewness and Kurtosis stop at their floors.
    const std::vector<std::uint8_t> narrow = {10, 10, 10, 10, 11, 10, 10, 10, 10};
    const double narrowMean = 91.0 / 9, narrowDev = std::sqrt(8.0 / 81);
    const double narrowEntropy = (64 * std::log2(9.0 / 8) + std::log2(9.0)) / 9;
    const FirstOrderCase cases[] = {
        {"uniform", uniform, 77, 0, 0, 25, 0, 0},
        {"0x4 255x5", twoLevels, 141.667, 126.711, 4.435, 2.333, -0.224, -1.950},
        {"narrow", narrow, narrowMean, narrowDev, narrowEntropy, (512.0 + 1) / 81, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFirstOrderStatistics s;
        std::vector<std::uint8_t> buffer = c.levels;
        s.SetData(buffer.data(), int(buffer.size()));
        EXPECT_NEAR(s.Statistic(kFirstMean), c.mean, 5e-4);
        EXPECT_NEAR(s.Statistic(kFirstStdDev), c.stdDev, 5e-4);
        EXPECT_NEAR(s.Statistic(kFirstEntropy), c.entropy, 5e-4);
        EXPECT_NEAR(s.Statistic(kFirstEnergy), c.energy, 5e-4);
        EXPECT_NEAR(s.Statistic(kFirstSkewness), c.skewness, 5e-4);
        EXPECT_NEAR(s.Statistic(kFirstKurtosis), c.kurtosis, 5e-4);
        EXPECT_EQ(s.Statistic(6), 0.0);
    }
}

/// A W x W buffer filled column by column from window columns `columns[x]` (levels by row).
std::vector<std::uint8_t> Window(int W, const std::vector<std::uint8_t>& columnLevels)
{
    std::vector<std::uint8_t> b(std::size_t(W) * W);
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < W; ++y) b[std::size_t(x) * W + y] = columnLevels[std::size_t(x)];
    return b;
}

TEST(CooccurrenceMatrix, UniformWindowAndStripes)
{
    auto uniform = Window(5, {9, 9, 9, 9, 9});
    CCooccurrenceMatrix m;
    m.Init(uniform.data(), 5, 2, 1);
    const double expected[] = {0, 0, 0, 1, 1, 0, 1};  // Abs, Entropy, Contrast, Energy, MaxP, Corr, Homog
    for (int i = 0; i < kCooccurrenceCount; ++i) EXPECT_DOUBLE_EQ(m.Measure(i), expected[i]) << i;

    // Columns 0, 255, 0: "0°" pairs vertical neighbours (equal), "90°" horizontal ones.
    auto stripes = Window(3, {0, 255, 0});
    const struct {
        int direction;
        double contrast;
    } cases[] = {{0, 0.0}, {2, 65025.0}, {1, 65025.0}, {3, 65025.0}};
    for (const auto& c : cases) {
        m.Init(stripes.data(), 3, 1, c.direction);
        EXPECT_DOUBLE_EQ(m.Contrast(), c.contrast) << c.direction;
    }
}

TEST(CooccurrenceMatrix, MatrixIsSymmetricAndSumsToOneForEveryDirectionAndDistance)
{
    std::mt19937 rng(5);
    for (int W : {3, 7, 11}) {
        std::vector<std::uint8_t> levels(std::size_t(W) * W);
        for (auto& v : levels) v = std::uint8_t(rng() % 12 * 20);
        for (int direction = 0; direction < 4; ++direction)
            for (int d = 0; d < W; ++d) {
                CCooccurrenceMatrix m;
                m.Init(levels.data(), W, d, direction);
                ASSERT_TRUE(m.BuildMatrix());
                double total = 0;
                for (int i = 0; i < m.LevelCount(); ++i)
                    for (int j = 0; j < m.LevelCount(); ++j) {
                        EXPECT_EQ(m.P(i, j), m.P(j, i));
                        total += m.P(i, j);
                    }
                EXPECT_NEAR(total, 1.0, 1e-12) << W << " " << direction << " " << d;
            }
    }
}

TEST(CooccurrenceMatrix, DistancesWithoutPairsGiveZeroAndReadNothingOutside)
{
    // An exact-size heap buffer: a read past it is caught by the address sanitizer.
    for (int d : {3, 4, 255, -1, -3}) {
        auto* levels = new std::uint8_t[9]{1, 2, 3, 4, 5, 6, 7, 8, 9};
        CCooccurrenceMatrix m;
        for (int direction = 0; direction < 4; ++direction) {
            m.Init(levels, 3, d, direction);
            EXPECT_FALSE(m.BuildMatrix());
            for (int i = 0; i < kCooccurrenceCount; ++i) EXPECT_EQ(m.Measure(i), 0.0) << d;
        }
        delete[] levels;
    }
}

}  // namespace

namespace {

struct GlcmReference {
    int window, direction, distance;
    std::vector<int> levels;  // row by row
    double measures[7];
};

const GlcmReference kGlcmReferences[] = {
#include "tests/modules/texture/glcm_reference_table.inc"
};

TEST(CooccurrenceMatrix, AgreesWithScikitImage)
{
    for (const auto& r : kGlcmReferences) {
        const int W = r.window;
        // Our buffer runs column by column.
        std::vector<std::uint8_t> buffer(std::size_t(W) * W);
        for (int y = 0; y < W; ++y)
            for (int x = 0; x < W; ++x)
                buffer[std::size_t(x) * W + y] = std::uint8_t(r.levels[std::size_t(y) * W + x]);
        CCooccurrenceMatrix m;
        m.Init(buffer.data(), W, r.distance, r.direction);
        for (int i = 0; i < kCooccurrenceCount; ++i) {
            if (std::isnan(r.measures[i])) continue;
            EXPECT_NEAR(m.Measure(i), r.measures[i], 1e-9 * std::max(1.0, std::fabs(r.measures[i])))
                << "window " << W << " direction " << r.direction << " distance " << r.distance << " measure "
                << i;
        }
    }
}

}  // namespace
