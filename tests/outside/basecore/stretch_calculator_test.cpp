#include "outside/basecore/stretch_calculator.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    int method;
    double min, max, mean, stdDev;
    double low, high;  // given bounds
    double wantLow, wantHigh;
};

// Statistics over 0..256 with 0.4 % outliers at each end: "Auto" cuts them.
DWORD* Histogram()
{
    static DWORD hist[256] = {};
    hist[0] = 4;
    hist[10] = 500;
    hist[200] = 492;
    hist[255] = 4;
    return hist;
}

}  // namespace

class StretchMethods : public ::testing::TestWithParam<Case> {};

TEST_P(StretchMethods, GiveTheirRange)
{
    const Case& c = GetParam();
    double low = -99, high = -99;
    ASSERT_TRUE(StretchCalculator(7, 0, c.method, c.min, c.max, c.mean, c.stdDev, Histogram(), c.low, c.high,
                                  &low, &high));
    EXPECT_DOUBLE_EQ(low, c.wantLow);
    EXPECT_DOUBLE_EQ(high, c.wantHigh);
}

INSTANTIATE_TEST_SUITE_P(
    KnownHistogram, StretchMethods,
    ::testing::Values(Case{"Auto", 0, 0, 256, 100, 90, 0, 0, 10, 201},
                      Case{"MinusOneIsAuto", -1, 0, 256, 100, 90, -1, -1, 10, 201},
                      Case{"UnknownCodeIsAuto", 17, 0, 256, 100, 90, 0, 0, 10, 201},
                      Case{"None", 1, 0, 256, 100, 90, 5, 6, 0, 256},
                      Case{"DoubleStdDevInside", 2, 0, 256, 100, 20, 0, 0, 60, 140},
                      Case{"DoubleStdDevClippedToExtremes", 2, 0, 256, 100, 90, 0, 0, 0, 256},
                      Case{"DoubleStdDevWithoutDeviation", 2, 0, 256, 100, 0, 0, 0, 0, 256},
                      Case{"Manual", 3, 0, 256, 100, 90, 12.5, 99, 12.5, 99},
                      Case{"ManualReversedIsSwapped", 3, 0, 256, 100, 90, 99, 12.5, 12.5, 99},
                      Case{"ManualMayReachBeyondTheData", 3, 0, 256, 100, 90, -50, 300, -50, 300},
                      Case{"ManualNotFiniteIsNone", 3, 0, 256, 100, 90, std::nan(""), 4, 0, 256}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(StretchCalculator, AutoWithoutHistogramAndBadStatistics)
{
    double low = 0, high = 0;
    ASSERT_TRUE(StretchCalculator(1, 0, 0, -3, 9, 0, 1, nullptr, 0, 0, &low, &high));
    EXPECT_EQ(low, -3);
    EXPECT_EQ(high, 9);
    // A constant layer: the histogram has one full bin and the range stays empty, not reversed.
    DWORD one[256] = {};
    one[0] = 100;
    ASSERT_TRUE(StretchCalculator(1, 0, 0, 5, 5, 5, 0, one, 0, 0, &low, &high));
    EXPECT_EQ(low, 5);
    EXPECT_EQ(high, 5);

    EXPECT_FALSE(StretchCalculator(7, 0, 1, std::numeric_limits<double>::infinity(), 1, 0, 0, nullptr, 0, 0,
                                   &low, &high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 0);
    EXPECT_FALSE(StretchCalculator(7, 0, 1, 2, 1, 0, 0, nullptr, 0, 0, &low, &high))
        << "minimum above maximum";
    EXPECT_FALSE(StretchCalculator(7, 0, 1, 0, 1, 0, 0, nullptr, 0, 0, nullptr, &high));
}
