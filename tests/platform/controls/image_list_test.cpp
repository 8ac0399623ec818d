#include <QPainter>
#include <gtest/gtest.h>

#include "platform/controls/image_list.h"

namespace {

// A strip of two 4x4 cells: red with a magenta (mask) corner, then blue.
QImage Strip()
{
    QImage strip(8, 4, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 0));
    for (int y = 4 - 4; y < 4; ++y)
        for (int x = 4; x < 8; ++x) strip.setPixel(x, y, qRgb(0, 0, 255));
    strip.setPixel(0, 0, qRgb(255, 0, 255));
    strip.setPixel(5, 3, qRgb(255, 0, 255));
    return strip;
}

QImage Canvas(QColor fill)
{
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(fill);
    return canvas;
}

TEST(ImageList, MaskColourComesOutTransparent)
{
    CImageList list;
    ASSERT_TRUE(list.Create(4, 4, ILC_COLOR24 | ILC_MASK, 2, 2));
    EXPECT_EQ(list.Add(Strip(), RGB(255, 0, 255)), 0);
    EXPECT_EQ(list.GetImageCount(), 2);

    QImage canvas = Canvas(Qt::green);
    {
        QPainter painter(&canvas);
        list.Draw(painter, 0, CPoint(1, 1), ILD_TRANSPARENT);
        list.Draw(painter, 1, CPoint(5, 5), ILD_TRANSPARENT);
    }
    EXPECT_EQ(canvas.pixel(1, 1), qRgb(0, 255, 0));  // the masked corner shows what was below
    EXPECT_EQ(canvas.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(6, 8), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(5, 8), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 255, 0));  // nothing drawn outside the cell

    // A background colour fills the masked pixels unless the draw asks for transparency.
    list.SetBkColor(RGB(10, 20, 30));
    QImage withBackground = Canvas(Qt::green);
    {
        QPainter painter(&withBackground);
        list.Draw(painter, 0, CPoint(1, 1), ILD_NORMAL);
    }
    EXPECT_EQ(withBackground.pixel(1, 1), qRgb(10, 20, 30));
}

TEST(ImageList, WithoutAMaskTheMaskColourIsDrawn)
{
    CImageList list;
    ASSERT_TRUE(list.Create(4, 4, ILC_COLOR24, 0, 4));
    list.Add(Strip(), RGB(255, 0, 255));
    EXPECT_EQ(list.GetImage(0).pixel(0, 0), qRgb(255, 0, 255));
}

TEST(ImageList, ReplaceRemoveAndBadInput)
{
    CImageList list;
    EXPECT_EQ(list.Add(Strip(), CLR_NONE), -1);  // not created yet
    EXPECT_FALSE(list.Create(0, 4, ILC_MASK, 0, 0));
    ASSERT_TRUE(list.Create(4, 4, ILC_COLOR32 | ILC_MASK, 0, 0));
    EXPECT_EQ(list.Add(QImage(3, 4, QImage::Format_RGB32), CLR_NONE), -1);  // narrower than a cell
    list.Add(Strip(), RGB(255, 0, 255));
    QImage green(4, 4, QImage::Format_RGB32);
    green.fill(Qt::green);
    EXPECT_EQ(list.Add(green, CLR_NONE), 2);
    EXPECT_TRUE(list.Replace(0, green, CLR_NONE));
    EXPECT_EQ(list.GetImage(0).pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_FALSE(list.Replace(3, green, CLR_NONE));
    EXPECT_TRUE(list.Remove(1));
    EXPECT_EQ(list.GetImageCount(), 2);
    EXPECT_FALSE(list.Remove(2));
    QImage canvas = Canvas(Qt::white);
    QPainter painter(&canvas);
    EXPECT_FALSE(list.Draw(painter, 5, CPoint(0, 0), ILD_NORMAL));
    EXPECT_TRUE(list.Remove(-1));
    EXPECT_EQ(list.GetImageCount(), 0);
}

}  // namespace

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"

namespace {

TEST(ImageList, DrawsOnADeviceContextWithTheMaskTransparent)
{
    CImageList list;
    ASSERT_TRUE(list.Create(4, 4, ILC_COLOR24 | ILC_MASK, 2, 2));
    // The strip as a bitmap object of the drawing layer.
    const QImage strip = Strip();
    std::vector<std::uint32_t> bits(32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) bits[static_cast<std::size_t>(y * 8 + x)] = strip.pixel(x, y);
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(8, 4, 1, 32, bits.data()));
    EXPECT_EQ(list.Add(&bitmap, RGB(255, 0, 255)), 0);
    ASSERT_EQ(list.GetImageCount(), 2);

    QImage canvas = Canvas(Qt::green);
    const HDC dc = CreateImageDC(&canvas);
    ASSERT_NE(dc, nullptr);
    EXPECT_TRUE(list.Draw(CDC::FromHandle(dc), 0, CPoint(1, 1), ILD_TRANSPARENT));
    EXPECT_TRUE(list.Draw(CDC::FromHandle(dc), 1, CPoint(5, 5), ILD_NORMAL));
    DeleteDC(dc);
    EXPECT_EQ(canvas.pixel(1, 1), qRgb(0, 255, 0));  // masked: the canvas shows through
    EXPECT_EQ(canvas.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(6, 8), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(5, 8), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(8, 8), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(9, 9), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 255, 0));
}

}  // namespace
