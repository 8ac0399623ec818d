#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "viewer/analysis/hist_bars.h"
#include "viewer/analysis/hist_data.h"

TEST(HistRoundStep, PicksTheNearestRoundStep)
{
    const struct {
        double raw, step;
    } kCases[] = {{0.3, 0.25}, {7, 5}, {8, 10}, {1, 1}, {0.02, 0.02}, {230, 250}, {-3, 2.5}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.raw);
        EXPECT_DOUBLE_EQ(HistRoundStep(c.raw), c.step);
    }
    EXPECT_EQ(HistRoundStep(0.0), -1.0);
    EXPECT_EQ(HistRoundStep(std::numeric_limits<double>::infinity()), -1.0);
}

TEST(HistMinMaxCount, ClampsToTheBufferAndKeepsScaleOnEmptyIntervals)
{
    const std::vector<std::uint32_t> counts = {0, 5, 2, 9, 0, 3};
    std::uint32_t largest = 77, smallest = 77;
    ASSERT_TRUE(MinMaxCountOf(counts.data(), 6, 0, 6, largest, smallest));
    EXPECT_EQ(largest, 9u);
    EXPECT_EQ(smallest, 2u);
    ASSERT_TRUE(MinMaxCountOf(counts.data(), 6, 4, 100, largest, smallest));  // last past the end
    EXPECT_EQ(largest, 3u);
    EXPECT_EQ(smallest, 3u);
    ASSERT_TRUE(MinMaxCountOf(counts.data(), 6, -5, 2, largest, smallest));  // first before the start
    EXPECT_EQ(largest, 5u);
    largest = 77;
    EXPECT_FALSE(MinMaxCountOf(counts.data(), 6, 3, 3, largest, smallest));
    EXPECT_FALSE(MinMaxCountOf(counts.data(), 6, 9, 12, largest, smallest));
    EXPECT_EQ(largest, 77u);
}

TEST(HistRangeStatus, NamesFlatAndNonFiniteRanges)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double min, max;
        int status;
    } kCases[] = {{0, 1, kHistReady},        {2, 2, kHistFlat},          {0, inf, kHistBadMaximum},
                  {0, nan, kHistBadMaximum}, {-inf, 1, kHistBadMinimum}, {nan, 1, kHistBadMinimum}};
    for (const auto& c : kCases) {
        CHistData data;
        data.m_single.dataMin = c.min;
        data.m_single.dataMax = c.max;
        EXPECT_EQ(HistRangeStatus(data), c.status) << c.min << " .. " << c.max;
    }
    CHistData rgb;
    rgb.m_nMode = 2;
    for (int ch = 3; ch <= 5; ++ch) rgb.Channel(ch).dataMax = 255;
    EXPECT_EQ(HistRangeStatus(rgb), kHistReady);
    rgb.m_blue.dataMin = nan;
    EXPECT_EQ(HistRangeStatus(rgb), kHistBadMinimum);
}

TEST(HistData, DensityFactorDividesByTheCountedTotal)
{
    CHistData data;
    data.m_single.bins = 4;
    data.m_single.dataMin = 0;
    data.m_single.dataMax = 2;
    data.m_single.counts = {1, 2, 3, 4};  // a region of 10 pixels in a larger image
    data.m_nWidth = 100;
    data.m_nHeight = 100;
    EXPECT_DOUBLE_EQ(data.GridFactor(6, 1), 4.0 / (2.0 * 10.0));
    EXPECT_EQ(data.GridFactor(4, 1), 0.0);
    EXPECT_EQ(data.GridFactor(5, 1), 1.0);
    data.m_single.counts = {0, 0, 0, 0};
    EXPECT_EQ(data.GridFactor(6, 1), 0.0);  // nothing counted: no division by zero
}

TEST(HistLevelsBar, AcceptsPositiveCountsUpToTheLimit)
{
    const struct {
        const char* text;
        int bins;
    } kCases[] = {
        {"100", 100}, {"1000", 1000}, {"256", 256}, {"1048576", 1 << 20},       {"abc", 0}, {"0", 0}, {"", 0},
        {"-5", 0},    {"1048577", 0}, {"12x", 0},   {"99999999999999999999", 0}};
    for (const auto& c : kCases) EXPECT_EQ(CHistLevelsBar::ParseBins(c.text), c.bins) << '"' << c.text << '"';
}
