#include <cstdlib>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/gdi/canvas.h"

using tarvenix::test::Canvas;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

// A picture where every pixel differs, so that a stray write shows.
void Speckle(Canvas& c)
{
    std::srand(3);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) SetPixel(c.dc(), x, y, RGB(std::rand() & 255, std::rand() & 255, std::rand() & 255));
}

int Changed(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b)
{
    int n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

}  // namespace

TEST(Drawing, LinesLeaveOutTheirLastPixel)
{
    Canvas c(16, 8);
    MoveToEx(c.dc(), 2, 5, nullptr);
    LineTo(c.dc(), 10, 5);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(c.At(x, 5), x >= 2 && x < 10 ? kBlack : kWhite) << x;
    POINT pos{};
    GetCurrentPositionEx(c.dc(), &pos);
    EXPECT_EQ(pos.x, 10);
    // A polyline joins segments without gaps and leaves out only its very last point.
    c.Fill(kWhite);
    const POINT pts[] = {{1, 1}, {5, 1}, {5, 4}};
    Polyline(c.dc(), pts, 3);
    EXPECT_EQ(c.Count(kBlack), 4 + 3);
    EXPECT_EQ(c.At(5, 1), kBlack);
    EXPECT_EQ(c.At(5, 4), kWhite);
}

TEST(Drawing, XorDrawingTwiceRestoresThePicture)
{
    Canvas c(40, 30);
    Speckle(c);
    const auto original = c.Pixels();
    HDC dc = c.dc();
    HPEN white = CreatePen(PS_SOLID, 1, kWhite);
    HPEN wide = CreatePen(PS_SOLID, 3, RGB(0, 128, 255));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetROP2(dc, R2_XORPEN);
    struct Figure {
        const char* name;
        HPEN pen;
        std::function<void()> draw;
        int pixels;  // pixels one drawing changes (-1: not counted)
    };
    const POINT freehand[] = {{3, 3}, {20, 4}, {25, 20}, {10, 25}, {30, 2}};
    const std::vector<Figure> figures = {
        {"horizontal line", white, [&] { MoveToEx(dc, 3, 7, nullptr); LineTo(dc, 30, 7); }, 27},
        {"steep line", white, [&] { MoveToEx(dc, 5, 28, nullptr); LineTo(dc, 9, 1); }, 27},
        {"diagonal backwards", white, [&] { MoveToEx(dc, 35, 25, nullptr); LineTo(dc, 12, 2); }, 23},
        {"freehand polyline", white, [&] { Polyline(dc, freehand, 5); }, -1},
        {"rectangle outline", white, [&] { Rectangle(dc, 4, 4, 30, 20); }, 2 * 26 + 2 * 14},
        {"ellipse outline", white, [&] { Ellipse(dc, 2, 3, 33, 27); }, -1},
        {"wide line", wide, [&] { MoveToEx(dc, 2, 2, nullptr); LineTo(dc, 37, 26); }, -1},
    };
    for (const Figure& f : figures) {
        SelectObject(dc, f.pen);
        f.draw();
        const auto once = c.Pixels();
        if (f.pixels >= 0) {
            EXPECT_EQ(Changed(original, once), f.pixels) << f.name;
        } else {
            EXPECT_GT(Changed(original, once), 10) << f.name;
        }
        f.draw();
        EXPECT_EQ(Changed(original, c.Pixels()), 0) << f.name << " drawn twice";
    }
    // The XOR is of the colour's bits, exactly.
    SelectObject(dc, white);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 1, 0);
    const COLORREF first = RGB((original[0] >> 16) & 255, (original[0] >> 8) & 255, original[0] & 255);
    EXPECT_EQ(c.At(0, 0), first ^ 0xFFFFFF);
    SetROP2(dc, R2_NOT);
    InvertRect(dc, nullptr);
    RECT all{0, 0, 40, 30};
    HRGN rgn = CreateEllipticRgn(5, 5, 30, 25);
    InvertRgn(dc, rgn);
    InvertRgn(dc, rgn);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 1, 0);  // R2_NOT undoes the XOR with white
    EXPECT_EQ(Changed(original, c.Pixels()), 0);
    InvertRect(dc, &all);
    EXPECT_EQ(c.At(0, 0), first ^ 0xFFFFFF);
    InvertRect(dc, &all);
    EXPECT_EQ(Changed(original, c.Pixels()), 0);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(rgn);
    DeleteObject(white);
    DeleteObject(wide);
}

TEST(Drawing, PenStylesDashAndFillGapsOnlyWhenOpaque)
{
    struct Case {
        int style;
        int bkMode;
        std::vector<int> pattern;  // 1 pen, 0 untouched, 2 background colour; repeats
    };
    const Case cases[] = {
        {PS_DOT, TRANSPARENT, {1, 1, 1, 0, 0, 0}},
        {PS_DOT, OPAQUE, {1, 1, 1, 2, 2, 2}},
        {PS_DASH, TRANSPARENT, std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0}},
        {PS_NULL, OPAQUE, {0}},
        {PS_SOLID, TRANSPARENT, {1}},
    };
    for (const Case& k : cases) {
        Canvas c(60, 3);
        HPEN pen = CreatePen(k.style, 1, kBlack);
        SelectObject(c.dc(), pen);
        SetBkMode(c.dc(), k.bkMode);
        SetBkColor(c.dc(), kRed);
        MoveToEx(c.dc(), 0, 1, nullptr);
        LineTo(c.dc(), 50, 1);
        for (int x = 0; x < 50; ++x) {
            const int want = k.pattern[std::size_t(x) % k.pattern.size()];
            EXPECT_EQ(c.At(x, 1), want == 1 ? kBlack : want == 2 ? kRed : kWhite) << "style " << k.style << " x " << x;
        }
        SelectObject(c.dc(), GetStockObject(BLACK_PEN));
        DeleteObject(pen);
    }
}

TEST(Drawing, RectanglesFillInsideThePenAndLoseAnEdgeWithoutOne)
{
    Canvas c(12, 10);
    HBRUSH red = CreateSolidBrush(kRed);
    SelectObject(c.dc(), red);
    Rectangle(c.dc(), 2, 2, 8, 6);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inRect = x >= 2 && x < 8 && y >= 2 && y < 6;
            const bool border = inRect && (x == 2 || x == 7 || y == 2 || y == 5);
            EXPECT_EQ(c.At(x, y), border ? kBlack : inRect ? kRed : kWhite) << x << "," << y;
        }
    c.Fill(kWhite);
    SelectObject(c.dc(), GetStockObject(NULL_PEN));
    Rectangle(c.dc(), 2, 2, 8, 6);
    EXPECT_EQ(c.Count(kRed), 5 * 3);
    EXPECT_EQ(c.At(7, 2), kWhite);
    // Ellipse: symmetric, filled, its box's corners untouched.
    c.Fill(kWhite);
    SelectObject(c.dc(), GetStockObject(BLACK_PEN));
    Ellipse(c.dc(), 1, 1, 11, 9);
    EXPECT_EQ(c.At(5, 4), kRed);
    EXPECT_EQ(c.At(1, 4), kBlack);
    EXPECT_EQ(c.At(10, 4), kBlack);
    EXPECT_EQ(c.At(1, 1), kWhite);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(c.At(x, y), c.At(11 - x, y)) << "mirror symmetric";
    // Polygons fill the pixels of the polygon region.
    c.Fill(kWhite);
    SelectObject(c.dc(), GetStockObject(NULL_PEN));
    const POINT tri[] = {{1, 1}, {11, 3}, {4, 9}};
    Polygon(c.dc(), tri, 3);
    HRGN rgn = CreatePolygonRgn(tri, 3, ALTERNATE);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(c.At(x, y) == kRed, PtInRegion(rgn, x, y) != 0) << x << "," << y;
    DeleteObject(rgn);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(red);
}

TEST(Drawing, BrushesRepeatTheirPatternFromTheBrushOrigin)
{
    Canvas c(16, 16);
    HBRUSH hatch = CreateHatchBrush(HS_HORIZONTAL, kRed);
    SetBkColor(c.dc(), RGB(0, 0, 255));
    SetBrushOrgEx(c.dc(), 0, 3, nullptr);
    RECT all{0, 0, 16, 16};
    FillRect(c.dc(), &all, hatch);
    for (int y = 0; y < 16; ++y) EXPECT_EQ(c.At(5, y), (y % 8 == 3) ? kRed : RGB(0, 0, 255)) << y;
    c.Fill(kWhite);
    SetBkMode(c.dc(), TRANSPARENT);
    FillRect(c.dc(), &all, hatch);
    EXPECT_EQ(c.Count(kRed), 32);
    EXPECT_EQ(c.Count(kWhite), 256 - 32) << "gaps stay when the background is transparent";

    // A monochrome 8 x 8 pattern takes the text and background colours.
    const WORD rows[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};  // rows of 16 bits; one set (white) pixel
    HBITMAP mono = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH pat = CreatePatternBrush(mono);
    SetBrushOrgEx(c.dc(), 2, 0, nullptr);
    SetTextColor(c.dc(), RGB(0, 200, 0));
    SetBkColor(c.dc(), RGB(50, 50, 50));
    FillRect(c.dc(), &all, pat);
    EXPECT_EQ(c.Count(RGB(50, 50, 50)), 4) << "one set bit per 8 x 8 tile";
    EXPECT_EQ(c.At(2, 0), RGB(50, 50, 50));
    EXPECT_EQ(c.At(10, 8), RGB(50, 50, 50));
    EXPECT_EQ(c.At(3, 0), RGB(0, 200, 0));
    // The null stock brush fills nothing.
    c.Fill(kWhite);
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    Rectangle(c.dc(), 0, 0, 16, 16);
    EXPECT_EQ(c.Count(kBlack), 60);
    EXPECT_EQ(c.Count(kWhite), 256 - 60);
    EXPECT_TRUE(DeleteObject(GetStockObject(NULL_BRUSH))) << "stock objects stay";
    DeleteObject(hatch);
    DeleteObject(pat);
    DeleteObject(mono);
}

TEST(Drawing, SaveDCRestoresNumberedAndRelativeStates)
{
    Canvas c(20, 20);
    HDC dc = c.dc();
    SetTextColor(dc, RGB(1, 1, 1));
    EXPECT_EQ(SaveDC(dc), 1);
    SetTextColor(dc, RGB(2, 2, 2));
    IntersectClipRect(dc, 5, 5, 15, 15);
    EXPECT_EQ(SaveDC(dc), 2);
    SetTextColor(dc, RGB(3, 3, 3));
    ExcludeClipRect(dc, 8, 8, 10, 10);
    RECT box{};
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    RECT all{0, 0, 20, 20};
    FillRect(dc, &all, static_cast<HBRUSH>(static_cast<void*>(GetStockObject(BLACK_BRUSH))));
    EXPECT_EQ(c.Count(kBlack), 100 - 4);
    EXPECT_EQ(c.At(8, 8), kWhite);
    EXPECT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(GetTextColor(dc), RGB(2, 2, 2));
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 5);
    EXPECT_FALSE(RestoreDC(dc, 2)) << "state 2 was taken by the restore";
    EXPECT_TRUE(RestoreDC(dc, 1));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 1, 1));
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 20) << "no clipping: the bitmap's box";
    EXPECT_FALSE(RestoreDC(dc, -1));
}

TEST(Drawing, RegionsFillFrameAndPaint)
{
    Canvas c(20, 20);
    HRGN r = CreateRectRgn(2, 2, 12, 10);
    HBRUSH red = CreateSolidBrush(kRed);
    FrameRgn(c.dc(), r, red, 2, 1);
    EXPECT_EQ(c.At(2, 5), kRed);
    EXPECT_EQ(c.At(3, 5), kRed);
    EXPECT_EQ(c.At(4, 5), kWhite);
    EXPECT_EQ(c.At(5, 2), kRed);
    EXPECT_EQ(c.At(5, 3), kWhite);
    EXPECT_EQ(c.Count(kRed), 10 * 8 - 6 * 6);
    SetViewportOrgEx(c.dc(), 5, 5, nullptr);
    SelectObject(c.dc(), GetStockObject(BLACK_BRUSH));
    PaintRgn(c.dc(), r);  // region coordinates are logical
    EXPECT_EQ(c.At(7, 7), kBlack);
    EXPECT_EQ(c.At(16, 14), kBlack);
    EXPECT_EQ(c.At(17, 14), kWhite);
    DeleteObject(r);
    DeleteObject(red);
}

TEST(Drawing, ScrollDCMovesPixelsAndReportsTheUncoveredStrip)
{
    Canvas c(10, 4);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 4; ++y) SetPixel(c.dc(), x, y, RGB(x * 20, y * 50, 7));
    RECT scroll{2, 0, 8, 4};
    RECT update{};
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_TRUE(ScrollDC(c.dc(), 3, 0, &scroll, &scroll, rgn, &update));
    for (int x = 5; x < 8; ++x) EXPECT_EQ(c.At(x, 1), RGB((x - 3) * 20, 50, 7)) << x;
    EXPECT_EQ(c.At(8, 1), RGB(160, 50, 7)) << "outside the clip rectangle nothing moves";
    EXPECT_EQ(c.At(1, 1), RGB(20, 50, 7));
    EXPECT_EQ(update.left, 2);
    EXPECT_EQ(update.right, 5);
    EXPECT_EQ(update.top, 0);
    EXPECT_EQ(update.bottom, 4);
    EXPECT_EQ(GetRgnArea(rgn), 12);
    DeleteObject(rgn);
}

TEST(Drawing, EdgesFocusAndDragFramesUndoThemselves)
{
    Canvas c(30, 20);
    RECT r{2, 2, 20, 15};
    ASSERT_TRUE(DrawEdge(c.dc(), &r, EDGE_ETCHED, BF_RECT | BF_ADJUST));
    EXPECT_EQ(r.left, 4);
    EXPECT_EQ(r.bottom, 13);
    EXPECT_EQ(c.At(2, 5), RGB(160, 160, 160)) << "etched: shadow outside on the top-left";
    EXPECT_EQ(c.At(3, 5), RGB(255, 255, 255));
    EXPECT_EQ(c.At(19, 5), RGB(255, 255, 255));
    EXPECT_EQ(c.At(18, 5), RGB(160, 160, 160));

    Speckle(c);
    const auto before = c.Pixels();
    RECT f{3, 3, 25, 17};
    DrawFocusRect(c.dc(), &f);
    // The 68 border pixels of a 22 x 14 frame, those with x + y even.
    EXPECT_EQ(Changed(before, c.Pixels()), 34) << "every other pixel of the border";
    DrawFocusRect(c.dc(), &f);
    EXPECT_EQ(Changed(before, c.Pixels()), 0);

    CDC* dc = CDC::FromHandle(c.dc());
    CBrush white(kWhite);
    RECT a{5, 5, 15, 12}, b{6, 7, 18, 14};
    dc->DrawDragRect(&a, {1, 1}, nullptr, {1, 1}, &white, &white);
    EXPECT_EQ(Changed(before, c.Pixels()), 2 * 10 + 2 * 5);
    dc->DrawDragRect(&b, {1, 1}, &a, {1, 1}, &white, &white);
    dc->DrawDragRect(&b, {1, 1}, nullptr, {1, 1}, &white, &white);
    EXPECT_EQ(Changed(before, c.Pixels()), 0);
    dc->Draw3dRect(1, 1, 5, 4, kRed, kBlack);
    EXPECT_EQ(c.At(1, 1), kRed);
    EXPECT_EQ(c.At(5, 1), kBlack);
    EXPECT_EQ(c.At(1, 4), kBlack);
}
