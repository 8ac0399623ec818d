#include <gtest/gtest.h>

#include "viewer/core/fault_names.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

struct SizeCase {
    int width, height;
    int levels;
    std::int64_t bytes;
};

TEST(ViewerTempSize, LevelCountsAndSizesOfTheListedLayers)
{
    const SizeCase cases[] = {
        {1, 1, 1, 1},
        {256, 1, 1, 256},
        {256, 256, 1, 65536},
        {257, 10, 2, 2570 + 645},
        {257, 257, 2, 66049 + 16641},
        {300, 20, 2, 6000 + 1500},
        {512, 512, 3, 262144 + 65536 + 16384},
        {1000, 10, 3, 10000 + 2500 + 750},
        {1024, 1024, 3, 1048576 + 262144 + 65536},
        {1100, 1100, 3, 1210000 + 302500 + 75625},
        {1200, 1200, 4, 1912500},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
        EXPECT_EQ(PyramidLevelCount(c.width, c.height), c.levels);
        EXPECT_EQ(GetViewerTempSize(c.width, c.height), c.bytes);
    }
}

TEST(ViewerTempSize, CountsInSixtyFourBitsBeyondTwoGigabytes)
{
    // 46341 × 46341 is a legal 8-bit layer (just below 2 GiB of samples); its pyramid
    // exceeds what 32 bits hold.
    const std::int64_t side = 46341;
    std::int64_t expected = 0;
    for (int k = 0; k < PyramidLevelCount(46341, 46341); ++k) {
        const std::int64_t s = (side + (std::int64_t(1) << k) - 1) >> k;
        expected += s * s;
    }
    EXPECT_GT(expected, std::int64_t(1) << 31);
    EXPECT_EQ(GetViewerTempSize(46341, 46341), expected);
    EXPECT_EQ(PyramidLevelCount(46341, 46341), 9);
}

TEST(ViewerTempSize, EmptyOrNegativeSizesHaveNoPyramid)
{
    EXPECT_EQ(GetViewerTempSize(0, 10), 0);
    EXPECT_EQ(GetViewerTempSize(10, -1), 0);
    EXPECT_EQ(PyramidLevelCount(0, 0), 0);
}

TEST(FaultNames, NamesEveryProcessorFaultAndNothingElse)
{
    const std::pair<std::uint32_t, const char*> names[] = {
        {0xC0000005u, "EXCEPTION_ACCESS_VIOLATION"},     {0xC000001Du, "EXCEPTION_ILLEGAL_INSTRUCTION"},
        {0xC000008Du, "EXCEPTION_FLT_DENORMAL_OPERAND"}, {0xC000008Eu, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
        {0xC000008Fu, "EXCEPTION_FLT_INEXACT_RESULT"},   {0xC0000090u, "EXCEPTION_FLT_INVALID_OPERATION"},
        {0xC0000091u, "EXCEPTION_FLT_OVERFLOW"},         {0xC0000093u, "EXCEPTION_FLT_UNDERFLOW"},
        {0xC0000094u, "EXCEPTION_INT_DIVIDE_BY_ZERO"},   {0xC0000095u, "EXCEPTION_INT_OVERFLOW"},
        {0xC00000FDu, "EXCEPTION_STACK_OVERFLOW"},
    };
    for (auto [code, name] : names) EXPECT_STREQ(FaultName(code), name);
    EXPECT_STREQ(FaultName(0), "");
    EXPECT_STREQ(FaultName(0xC0000092u), "");  // a floating-point stack check is not named
    EXPECT_STREQ(FaultCaption(), "Error !");
}

}  // namespace
