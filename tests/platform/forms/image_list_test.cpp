#include <gtest/gtest.h>

#include "platform/forms/image_list.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 220);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A strip of two 16 x 16 cells: magenta with one green pixel, then all blue.
void MakeStrip(CBitmap& strip)
{
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    ASSERT_TRUE(strip.CreateBitmap(32, 16, 1, 32, nullptr));
    CBitmap* previous = dc.SelectObject(&strip);
    dc.FillSolidRect(0, 0, 16, 16, kMagenta);
    dc.SetPixel(5, 5, kGreen);
    dc.FillSolidRect(16, 0, 16, 16, kBlue);
    dc.SelectObject(previous);
}

COLORREF PixelOf(CBitmap& bitmap, int x, int y)
{
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap* previous = dc.SelectObject(&bitmap);
    const COLORREF colour = dc.GetPixel(x, y);
    dc.SelectObject(previous);
    return colour;
}

TEST(FormsImageList, AddsMaskedByTheTransparentColourDrawsAndCopies)
{
    CBitmap strip;
    MakeStrip(strip);
    EXPECT_EQ(TImageList::TransparentColorOf(&strip), kMagenta);  // the bottom-left pixel

    TOwned<TImageList> images(TImageList::New(nullptr));
    EXPECT_EQ(images->Width(), 16);
    EXPECT_EQ(images->AddMasked(&strip, TImageList::TransparentColorOf(&strip)), 0);
    EXPECT_EQ(images->Add(&strip), 2);
    EXPECT_EQ(images->Count(), 4);

    CBitmap canvas;
    ASSERT_TRUE(canvas.CreateBitmap(40, 16, 1, 32, nullptr));
    {
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        CBitmap* previous = dc.SelectObject(&canvas);
        dc.FillSolidRect(0, 0, 40, 16, kWhite);
        EXPECT_TRUE(images->Draw(&dc, 0, 0, 0));
        EXPECT_TRUE(images->Draw(&dc, 20, 0, 2));
        EXPECT_FALSE(images->Draw(&dc, 0, 0, 4));
        dc.SelectObject(previous);
    }
    EXPECT_EQ(PixelOf(canvas, 0, 0), kWhite);  // masked: the canvas shows through
    EXPECT_EQ(PixelOf(canvas, 5, 5), kGreen);
    EXPECT_EQ(PixelOf(canvas, 20, 0), kMagenta);  // added without a mask

    CBitmap copy;
    EXPECT_TRUE(images->GetBitmap(1, &copy));
    EXPECT_EQ(PixelOf(copy, 3, 3), kBlue);
    EXPECT_FALSE(images->GetBitmap(9, &copy));

    images->SetSize(32, 32);
    EXPECT_EQ(images->Count(), 0);
    EXPECT_EQ(images->Height(), 32);
}

}  // namespace
