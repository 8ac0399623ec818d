#include <gtest/gtest.h>

#include "platform/resources/resources.h"

namespace {

QImage Red()
{
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}
QImage Blue()
{
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    return image;
}

const platform::ImageResource kBase[] = {{9300, "IDB_BITMAP_TOOL_MAIN", nullptr, &Red},
                                         {9301, nullptr, ":/no/such.png", nullptr}};
const platform::ImageResource kExtension[] = {{9300, "IDB_BITMAP_TOOL_MAIN", nullptr, &Blue}};
const platform::ImageResource kIcons[] = {{9302, nullptr, nullptr, &Red}};

}  // namespace

TEST(Resources, NewestModuleWinsByIdAndByNameUntilItLeaves)
{
    platform::RegisterBitmaps("res-base", kBase);
    platform::RegisterIcons("res-base", kIcons);
    EXPECT_EQ(platform::LoadBitmapImage(MAKEINTRESOURCE(9300)).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(platform::LoadBitmapImage("IDB_BITMAP_TOOL_MAIN").pixelColor(0, 0), QColor(Qt::red));
    platform::RegisterBitmaps("res-extension", kExtension);
    EXPECT_EQ(platform::LoadBitmapImage(MAKEINTRESOURCE(9300)).pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(platform::LoadBitmapImage("IDB_BITMAP_TOOL_MAIN").pixelColor(0, 0), QColor(Qt::blue));
    platform::UnregisterResources("res-extension");
    EXPECT_EQ(platform::LoadBitmapImage("IDB_BITMAP_TOOL_MAIN").pixelColor(0, 0), QColor(Qt::red));

    // A missing picture file, an unknown id or name: a null image, never a crash.
    EXPECT_TRUE(platform::LoadBitmapImage(MAKEINTRESOURCE(9301)).isNull());
    EXPECT_TRUE(platform::LoadBitmapImage(MAKEINTRESOURCE(9399)).isNull());
    EXPECT_TRUE(platform::LoadBitmapImage("IDB_BITMAP_TOOL_NONE").isNull());
    EXPECT_TRUE(platform::LoadBitmapImage(nullptr).isNull());

    HICON icon = LoadIcon(nullptr, MAKEINTRESOURCE(9302));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, LoadIcon(nullptr, MAKEINTRESOURCE(9302)));  // one handle per icon
    EXPECT_EQ(icon->image.size(), QSize(4, 2));
    EXPECT_EQ(LoadIcon(nullptr, MAKEINTRESOURCE(9303)), nullptr);
    platform::UnregisterResources("res-base");
    EXPECT_TRUE(platform::LoadBitmapImage(MAKEINTRESOURCE(9300)).isNull());
}
