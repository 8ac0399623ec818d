#include "outside/basecore/file_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <fstream>
#include <numbers>

#include "layer_test_support.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "tests/support/test_environment.h"

using namespace layertest;
using tarvenix::test::TempDir;

TEST(BasecoreMath, RoundGoesHalfAwayFromZeroAndArgIsTheAngle)
{
    // Exact halves round away from zero (not to even): 0.5 -> 1, 2.5 -> 3, -2.5 -> -3.
    const std::pair<double, int> cases[] = {
        {0.5, 1},         {1.5, 2},    {2.5, 3}, {-0.5, -1},         {-2.5, -3},
        {2.49, 2},        {-2.51, -3}, {0.0, 0}, {1e12, 2147483647}, {-1e12, -2147483647 - 1},
        {std::nan(""), 0}};
    for (const auto& [x, want] : cases) EXPECT_EQ(Round(x), want) << x;
    EXPECT_DOUBLE_EQ(Arg(3.0, 4.0), std::atan2(4.0, 3.0));
    EXPECT_DOUBLE_EQ(Arg(-1.0f, 0.0f), std::numbers::pi);
    EXPECT_DOUBLE_EQ(Arg(std::int16_t(0), std::int16_t(-5)), -std::numbers::pi / 2);
    EXPECT_DOUBLE_EQ(Arg(std::int8_t(-1), std::int8_t(-1)), -3 * std::numbers::pi / 4);
    EXPECT_DOUBLE_EQ(Arg(std::uint8_t(255), std::uint8_t(255)), std::numbers::pi / 4);
    EXPECT_EQ(Arg(0, 0), 0.0);
}

TEST(FileHelpers, FreshNamesAndFileFind)
{
    TempDir dir;
    const CString a = GetNotExistFileName(dir.Path().c_str());
    const CString b = GetNotExistFileName(dir.Path().c_str(), "job", ".tmp");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.Left(int(dir.Path().string().size()) + 1), CString(dir.Path().string() + "/"));
    EXPECT_EQ(a.Right(4), ".rdp");
    EXPECT_EQ(b.Right(4), ".tmp");
    EXPECT_FALSE(FileFind(a));
    std::ofstream(a.c_str()) << "x";
    EXPECT_TRUE(FileFind(a));
    EXPECT_FALSE(FileFind(dir.Path().c_str())) << "folders are not files";
    EXPECT_FALSE(FileFind(nullptr));
}

TEST(FileHelpers, PyramidFilesAreFoundByTheirSourcesTimeAndDeleted)
{
    TempDir dir;
    const std::string source = dir.File("image.rdp");
    std::ofstream(source) << "layer";
    auto writeTmp = [](const std::string& name, std::uint32_t time) {
        Bytes h(24, 0);
        Put32(h, 0, 3);
        const double low = -1.5, high = 7.25;
        std::memcpy(h.data() + 4, &low, 8);
        std::memcpy(h.data() + 12, &high, 8);
        Put32(h, 20, std::int32_t(time));
        WriteFile(name, h);
    };
    EXPECT_EQ(FormTmpExt(0), "tp0");
    EXPECT_EQ(FormTmpExt(1), "tp1");
    const std::string beside = dir.File("image.") + FormTmpExt(1).str();
    EXPECT_TRUE(FindTMPFile(source.c_str(), 1).IsEmpty());
    writeTmp(beside, GetSourceFileTime(source.c_str()) + 1);
    EXPECT_TRUE(FindTMPFile(source.c_str(), 1).IsEmpty()) << "made for an older source";
    writeTmp(beside, GetSourceFileTime(source.c_str()));
    EXPECT_EQ(FindTMPFile(source.c_str(), 1), CString(beside));
    EXPECT_TRUE(FindTMPFile(source.c_str(), 0).IsEmpty()) << "each mode has its own";
    STmpInfo info;
    ASSERT_TRUE(GetTMPInfo(beside.c_str(), &info));
    EXPECT_EQ(info.stretchMethod, 3);
    EXPECT_EQ(info.low, -1.5);
    EXPECT_EQ(info.high, 7.25);
    ASSERT_TRUE(DeleteTMP(source.c_str(), 1));
    EXPECT_FALSE(FileFind(beside.c_str()));

    TempDir other;
    const std::string inTemp = (other.Path() / "image.tp2").string();
    writeTmp(inTemp, GetSourceFileTime(source.c_str()));
    EXPECT_EQ(FindTMPFile(source.c_str(), 2, other.Path().c_str()), CString(inTemp));
    WriteFile(inTemp, Bytes(10, 0));
    EXPECT_FALSE(GetTMPInfo(inTemp.c_str(), &info)) << "a short header";
    EXPECT_TRUE(FindTMPFile(source.c_str(), 2, other.Path().c_str()).IsEmpty());
}

TEST(FileHelpers, PreviewsAreReducedBottomRowFirstAndNeedStatistics)
{
    TempDir dir;
    const std::string path = dir.File("p.rdp");
    {
        CRDPLayer out;
        ASSERT_NE(out.CreateLayer(path.c_str(), 600, 300, 9), nullptr);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 600; ++x) {
                out.SetValue(x, y, x, kReal);
                out.SetValue(x, y, y, kImaginary);
            }
        ASSERT_TRUE(out.CloseLayer());
    }
    SDoublePreviewImage real, imag;
    ASSERT_TRUE(GetPreviewImage(path.c_str(), real, 2));
    ASSERT_TRUE(GetPreviewImage(path.c_str(), imag, 3));
    EXPECT_EQ(real.width, 200);  // every third sample keeps the sides within 256
    EXPECT_EQ(real.height, 100);
    ASSERT_EQ(real.data.size(), 200u * 100u);
    EXPECT_EQ(real.data[5], 15.0);
    EXPECT_EQ(imag.data[0], 297.0) << "the first row is the bottom row";
    EXPECT_EQ(imag.data[size_t(99) * 200], 0.0);
    S256PreviewImage levels;
    ASSERT_TRUE(GetPreviewImage256(path.c_str(), levels, 2));
    EXPECT_TRUE(levels.complex);
    EXPECT_EQ(levels.pixels[0], 0);
    EXPECT_EQ(levels.pixels[199], Round(597.0 * 255 / 599));

    ASSERT_TRUE(DeleteTag(path.c_str(), 4));
    ASSERT_TRUE(DeleteTag(path.c_str(), TAG_STATISTICS));
    EXPECT_FALSE(GetPreviewImage(path.c_str(), real, 0)) << "no statistics, no preview";
    EXPECT_FALSE(GetPreviewImage(dir.File("none.rdp").c_str(), real, 0));
}

TEST(FileHelpers, PseudoMinMaxCutsHalfAPercentAtEachEnd)
{
    DWORD hist[256] = {};
    hist[0] = 4;  // 0.4 % outliers at the bottom
    hist[10] = 500;
    hist[200] = 492;
    hist[255] = 4;  // and at the top
    double low = 0, high = 0;
    ASSERT_TRUE(PseudoMinMaxCalculator(0.0, 256.0, hist, &low, &high));
    EXPECT_EQ(low, 10.0);
    EXPECT_EQ(high, 201.0);
    DWORD empty[256] = {};
    ASSERT_TRUE(PseudoMinMaxCalculator(-1.0, 1.0, empty, &low, &high));
    EXPECT_EQ(low, -1.0);
    EXPECT_EQ(high, 1.0);
    EXPECT_FALSE(PseudoMinMaxCalculator(0, 1, nullptr, &low, &high));
}

TEST(FileHelpers, PseudoMinMaxRefusesInfiniteRangesAndKeepsHugeOnesFinite)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    DWORD hist[256] = {};
    hist[0] = 100;
    hist[255] = 100;
    double low = 7, high = 7;
    for (const auto& [min, max] : {std::pair{0.0, inf}, std::pair{-inf, 1.0}, std::pair{std::nan(""), 1.0}}) {
        EXPECT_FALSE(PseudoMinMaxCalculator(min, max, hist, &low, &high)) << min << " " << max;
    }
    EXPECT_EQ(low, 7.0) << "nothing written on a refusal";
    ASSERT_TRUE(PseudoMinMaxCalculator(-1.7e308, 1.7e308, hist, &low, &high));
    EXPECT_EQ(low, -1.7e308);
    EXPECT_EQ(high, 1.7e308);
    hist[0] = 0;
    hist[128] = 100;
    ASSERT_TRUE(PseudoMinMaxCalculator(-1.7e308, 1.7e308, hist, &low, &high));
    EXPECT_TRUE(std::isfinite(low) && std::isfinite(high));
    EXPECT_EQ(low, 0.0);
}
