#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/controls/button.h"
#include "platform/controls/image_list.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/icon_internal.h"
#include "platform/resources/resources.h"

namespace {

/// Two 6x4 cells: red with a grey (mask) frame, then blue.
QImage Strip()
{
    QImage strip(12, 4, QImage::Format_RGB32);
    strip.fill(QColor(192, 192, 192));
    for (int y = 1; y < 3; ++y)
        for (int x = 1; x < 5; ++x) strip.setPixel(x, y, qRgb(255, 0, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 6; x < 12; ++x) strip.setPixel(x, y, qRgb(0, 0, 255));
    return strip;
}

QImage Shown(CWnd& wnd)
{
    return wnd.GetWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool Holds(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) return true;
    return false;
}

TEST(IconControls, AnImageListGivesIconsTheCallerFrees)
{
    CImageList list;
    ASSERT_TRUE(list.Create(6, 4, ILC_COLOR24 | ILC_MASK, 2, 0));
    ASSERT_EQ(list.Add(Strip(), RGB(192, 192, 192)), 0);
    HICON red = list.ExtractIcon(0);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->image.size(), QSize(6, 4));
    EXPECT_EQ(qAlpha(red->image.pixel(0, 0)), 0);  // the mask colour is clear
    EXPECT_EQ(red->image.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(list.ExtractIcon(2), nullptr);

    EXPECT_TRUE(DestroyIcon(red));
    EXPECT_FALSE(DestroyIcon(red));  // freed once only
    EXPECT_FALSE(DestroyIcon(nullptr));
}

TEST(IconControls, ButtonsAndStaticsShowTheIconTheyAreGiven)
{
    CImageList list;
    ASSERT_TRUE(list.Create(6, 4, ILC_COLOR24 | ILC_MASK, 2, 0));
    list.Add(Strip(), RGB(192, 192, 192));
    HICON red = list.ExtractIcon(0), blue = list.ExtractIcon(1);

    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr));
    CButton radio;
    ASSERT_TRUE(radio.Create("hidden text", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | BS_ICON,
                             CRect(0, 0, 80, 20), &host, 10));
    CStatic picture;
    ASSERT_TRUE(picture.Create("", WS_CHILD | WS_VISIBLE | SS_ICON, CRect(0, 40, 40, 60), &host, 11));

    EXPECT_EQ(radio.SetIcon(red), nullptr);
    EXPECT_EQ(radio.SetIcon(blue), red);
    EXPECT_EQ(radio.GetIcon(), blue);
    EXPECT_EQ(radio.SendMessage(BM_GETIMAGE, IMAGE_BITMAP), 0);  // icons only
    EXPECT_TRUE(Holds(Shown(radio), qRgb(0, 0, 255)));
    EXPECT_FALSE(Holds(Shown(radio), qRgb(255, 0, 0)));

    EXPECT_EQ(picture.SetIcon(red), nullptr);
    EXPECT_EQ(picture.GetIcon(), red);
    EXPECT_EQ(Shown(picture).pixel(2, 2), qRgb(255, 0, 0));  // at the top-left corner
    EXPECT_EQ(picture.SetIcon(nullptr), red);
    EXPECT_FALSE(Holds(Shown(picture), qRgb(255, 0, 0)));

    // The controls keep copies of the pictures: freeing the handles leaves them shown.
    picture.SetIcon(red);
    DestroyIcon(red);
    DestroyIcon(blue);
    EXPECT_TRUE(Holds(Shown(radio), qRgb(0, 0, 255)));
    EXPECT_TRUE(Holds(Shown(picture), qRgb(255, 0, 0)));
    host.DestroyWindow();
}

}  // namespace
