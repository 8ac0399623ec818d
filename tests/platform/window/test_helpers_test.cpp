#include <filesystem>

#include <QImage>
#include <gtest/gtest.h>

#include "tests/support/ui_helpers.h"

TEST(TestHelpers, ImageComparisonNamesTheFirstDifferenceAndKeepsTheActualImage)
{
    QImage expected(8, 6, QImage::Format_RGB32);
    expected.fill(QColor(10, 20, 30));
    QImage actual = expected.convertToFormat(QImage::Format_ARGB32);
    EXPECT_TRUE(tarvenix::test::ImagesEqual(actual, expected, "helpers_same"));

    actual.setPixelColor(3, 2, QColor(10, 20, 31));
    actual.setPixelColor(7, 5, QColor(0, 0, 0));
    const ::testing::AssertionResult result =
        tarvenix::test::ImagesEqual(actual, expected, "helpers_differs");
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("first difference at (3, 2): #0A141F, expected #0A141E"),
              std::string::npos)
        << result.message();
    const std::filesystem::path saved = tarvenix::test::TestOutputDir() / "helpers_differs.png";
    EXPECT_TRUE(std::filesystem::exists(saved));
    EXPECT_EQ(QImage(QString::fromStdString(saved.string())).pixelColor(3, 2), QColor(10, 20, 31));
    std::filesystem::remove(saved);

    EXPECT_FALSE(tarvenix::test::ImagesEqual(actual.copy(0, 0, 4, 4), expected, "helpers_size"));
    std::filesystem::remove(tarvenix::test::TestOutputDir() / "helpers_size.png");
}

TEST(TestHelpers, PumpUntilGivesUpAtItsBound)
{
    EXPECT_FALSE(tarvenix::test::PumpUntil([] { return false; }, std::chrono::milliseconds(20)));
    EXPECT_TRUE(tarvenix::test::PumpUntil([] { return true; }));
}
