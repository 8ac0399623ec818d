#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/wnd.h"
#include "tests/platform/gdi/canvas.h"
#include "tests/support/ui_helpers.h"

namespace {

COLORREF SurfacePixel(CWnd& wnd, int x, int y)
{
    const QImage* s = platform::WindowSurface(wnd.GetSafeHwnd());
    const QRgb p = s->pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

// Paints its whole client red through a CPaintDC; the paint DC reaches only what is invalid.
class RedWnd : public CWnd {
public:
    int paints = 0;
    int erases = 0;
    CRect lastPaint;

protected:
    void OnPaint()
    {
        CPaintDC dc(this);
        ++paints;
        lastPaint = dc.m_ps.rcPaint;
        CRect all(0, 0, 64, 48);
        dc.FillSolidRect(&all, RGB(255, 0, 0));
    }
    BOOL OnEraseBkgnd(CDC* dc)
    {
        ++erases;
        if (!dc) return FALSE;
        CRect all(0, 0, 64, 48);
        dc->FillSolidRect(&all, RGB(0, 0, 0));
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RedWnd, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

}  // namespace

TEST(WindowDC, PaintDCDrawsOnlyTheInvalidPartAndClientDCDrawsAnywhere)
{
    RedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Paint", WS_POPUP | WS_VISIBLE, CRect(0, 0, 64, 48), nullptr, 0));
    wnd.UpdateWindow();
    ASSERT_GE(wnd.paints, 1);
    EXPECT_GE(wnd.erases, 1);
    EXPECT_EQ(SurfacePixel(wnd, 63, 47), RGB(255, 0, 0));

    {
        CClientDC dc(&wnd);
        CBrush blue(RGB(0, 0, 255));
        CRect all(0, 0, 64, 48);
        dc.FillRect(&all, &blue);
        RECT box{};
        EXPECT_EQ(dc.GetClipBox(&box), SIMPLEREGION);
        EXPECT_EQ(box.right, 64);
    }
    EXPECT_EQ(SurfacePixel(wnd, 30, 30), RGB(0, 0, 255));

    const int before = wnd.paints;
    CRect part(0, 0, 16, 16);
    wnd.InvalidateRect(part);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.paints, before + 1);
    EXPECT_EQ(wnd.lastPaint, part);
    EXPECT_EQ(SurfacePixel(wnd, 15, 15), RGB(255, 0, 0));
    EXPECT_EQ(SurfacePixel(wnd, 16, 15), RGB(0, 0, 255)) << "outside the invalid part nothing changes";
    EXPECT_EQ(SurfacePixel(wnd, 15, 16), RGB(0, 0, 255));
    wnd.DestroyWindow();
}

TEST(WindowDC, WindowClassesEraseWithTheirOwnBrush)
{
    HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
    const LPCTSTR cls = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, nullptr, green);
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, cls, "Erase", WS_POPUP | WS_VISIBLE, CRect(0, 0, 20, 10), nullptr, 0));
    wnd.UpdateWindow();
    EXPECT_EQ(SurfacePixel(wnd, 5, 5), RGB(0, 160, 0));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    wnd.DestroyWindow();
}

namespace {

// An 8-bit picture of 23 x 5 whose indices run through all 256 values, with a colour table
// of `colours` entries (indices past it draw black).
struct IndexPicture {
    std::vector<std::uint8_t> header = std::vector<std::uint8_t>(sizeof(BITMAPINFOHEADER) + 256 * 4);
    std::vector<std::uint8_t> bits = std::vector<std::uint8_t>(24 * 5);
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(header.data()); }
    explicit IndexPicture(int colours)
    {
        info()->bmiHeader = {40, 23, -5, 1, 8, BI_RGB, 0, 0, 0, DWORD(colours), 0};
        for (int i = 0; i < colours; ++i)
            info()->bmiColors[i] = {BYTE(i * 7), BYTE(255 - i), BYTE(i * 3 + 1), 0};
        for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = std::uint8_t(i * 37 + 11);
    }
};

// Fills, brushes, raster operations and picture blits on one DC, each over part of a 61 x 29
// client: spans longer than several pattern periods, odd origins and widths.
void DrawEverything(HDC dc)
{
    RECT all{0, 0, 61, 29};
    HBRUSH back = CreateSolidBrush(RGB(10, 20, 30));
    FillRect(dc, &all, back);
    HBRUSH cross = CreateHatchBrush(HS_DIAGCROSS, RGB(200, 0, 40));
    HBRUSH slant = CreateHatchBrush(HS_BDIAGONAL, RGB(0, 220, 90));
    const WORD rows[8] = {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
    HBITMAP mono = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH pattern = CreatePatternBrush(mono);
    HBRUSH solid = CreateSolidBrush(RGB(0x5A, 0xC3, 0x0F));
    SetBkColor(dc, RGB(250, 240, 5));
    SetTextColor(dc, RGB(3, 90, 180));

    SetBrushOrgEx(dc, 3, 5, nullptr);
    RECT a{1, 1, 58, 12};
    FillRect(dc, &a, cross);
    SetBkMode(dc, TRANSPARENT);
    RECT b{5, 7, 60, 20};
    FillRect(dc, &b, slant);
    SetBkMode(dc, OPAQUE);
    RECT c{2, 15, 59, 27};
    SetBrushOrgEx(dc, 1, 0, nullptr);
    FillRect(dc, &c, pattern);

    // Binary operations of the pen over solid and hatched fills, through a shape.
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, solid);
    const struct {
        int rop2;
        HBRUSH brush;
        int left;
    } shapes[] = {{R2_XORPEN, solid, 0}, {R2_NOT, solid, 9},     {R2_MERGEPEN, solid, 18},
                  {R2_NOP, solid, 27},   {R2_XORPEN, cross, 36}, {R2_MASKPENNOT, pattern, 45}};
    for (const auto& s : shapes) {
        SetROP2(dc, s.rop2);
        SelectObject(dc, s.brush);
        Ellipse(dc, s.left, 3, s.left + 17, 26);
    }
    SetROP2(dc, R2_COPYPEN);
    SelectObject(dc, pattern);
    PatBlt(dc, 4, 2, 50, 9, PATINVERT);

    // Lines that cross themselves: plain, inverted (crossings inverted twice), and dashed
    // with and without their gaps filled.
    const POINT zigzag[] = {{2, 27}, {58, 3}, {58, 27}, {2, 3}, {30, 28}, {31, 0}, {5, 14}, {57, 15}};
    const POINT steps[] = {{0, 20}, {10, 20}, {10, 5}, {20, 5}, {20, 25}, {40, 25}, {40, 8}, {60, 8}};
    HPEN plain = CreatePen(PS_SOLID, 1, RGB(250, 30, 120));
    HPEN dashed = CreatePen(PS_DASHDOT, 1, RGB(20, 230, 20));
    SelectObject(dc, plain);
    Polyline(dc, zigzag, 8);
    SetROP2(dc, R2_XORPEN);
    Polyline(dc, steps, 8);
    SetROP2(dc, R2_MERGEPEN);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 60, 28);
    SetROP2(dc, R2_COPYPEN);
    SelectObject(dc, dashed);
    Polyline(dc, steps, 8);
    SetBkMode(dc, TRANSPARENT);
    Polyline(dc, zigzag, 8);
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, GetStockObject(NULL_PEN));
    DeleteObject(plain);
    DeleteObject(dashed);

    // Pictures: straight, stretched and combined with the destination.
    IndexPicture full(256), few(12);
    SetDIBitsToDevice(dc, 30, 20, 23, 5, 0, 0, 0, 5, full.bits.data(), full.info(), DIB_RGB_COLORS);
    StretchDIBits(dc, 0, 0, 23, 5, 0, 0, 23, 5, few.bits.data(), few.info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(dc, 2, 8, 50, 11, 1, 0, 21, 5, full.bits.data(), full.info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(dc, 40, 0, 20, 14, 0, 0, 23, 5, full.bits.data(), full.info(), DIB_RGB_COLORS, SRCAND);
    StretchDIBits(dc, 10, 12, 23, 5, 0, 0, 23, 5, few.bits.data(), few.info(), DIB_RGB_COLORS, SRCINVERT);
    StretchDIBits(dc, 12, 21, 23, 5, 0, 0, 23, 5, full.bits.data(), full.info(), DIB_RGB_COLORS,
                  0x00B8074A);  // pattern where the source is set, destination elsewhere

    // Texts: right-aligned and cut with an ellipsis as the value grid draws them, centred,
    // wrapped and on an opaque background.
    SetTextColor(dc, RGB(20, 20, 160));
    SetBkMode(dc, TRANSPARENT);
    RECT cell{3, 2, 40, 16};
    DrawText(dc, "-123.4567", -1, &cell,
             DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    RECT narrow{40, 2, 58, 16};
    DrawText(dc, "1234567.891", -1, &narrow,
             DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    RECT lines{1, 10, 60, 29};
    DrawText(dc, "two words\nand &more", -1, &lines, DT_CENTER | DT_WORDBREAK);
    SetBkMode(dc, OPAQUE);
    TextOut(dc, 20, 14, "Ag", 2);

    // Moves of the picture in every direction, also within a clip of several spans a row.
    RECT scroll{4, 3, 57, 26};
    ScrollDC(dc, 3, 2, &scroll, nullptr, nullptr, nullptr);
    ScrollDC(dc, -5, 0, &scroll, nullptr, nullptr, nullptr);
    ScrollDC(dc, 0, -3, &scroll, nullptr, nullptr, nullptr);
    HRGN ring = CreateEllipticRgn(6, 2, 56, 28);
    HRGN hole = CreateEllipticRgn(20, 8, 40, 22);
    CombineRgn(ring, ring, hole, RGN_DIFF);
    SelectClipRgn(dc, ring);
    ScrollDC(dc, 4, 0, &scroll, nullptr, nullptr, nullptr);
    ScrollDC(dc, -2, 1, &scroll, nullptr, nullptr, nullptr);
    SelectClipRgn(dc, nullptr);
    DeleteObject(ring);
    DeleteObject(hole);

    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    for (HGDIOBJ o :
         {HGDIOBJ(back), HGDIOBJ(cross), HGDIOBJ(slant), HGDIOBJ(pattern), HGDIOBJ(mono), HGDIOBJ(solid)})
        DeleteObject(o);
}

}  // namespace

// A window's picture takes the same pixels as a memory picture, and every pixel of it stays
// opaque whatever the operation did to the top byte.
TEST(WindowDC, DrawingGivesTheMemoryPicturesPixelsAndKeepsTheWindowOpaque)
{
    tarvenix::test::Canvas memory(61, 29);
    DrawEverything(memory.dc());

    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Same", WS_POPUP | WS_VISIBLE, CRect(0, 0, 61, 29), nullptr, 0));
    wnd.UpdateWindow();
    {
        CClientDC dc(&wnd);
        DrawEverything(dc.GetSafeHdc());
    }
    const QImage* surface = platform::WindowSurface(wnd.GetSafeHwnd());
    ASSERT_NE(surface, nullptr);
    tarvenix::test::SaveTestOutput(surface->copy(0, 0, 61, 29).scaled(244, 116), "window-drawing");
    const std::vector<std::uint32_t> expected = memory.Pixels();
    int different = 0;
    for (int y = 0; y < 29; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(surface->constScanLine(y));
        for (int x = 0; x < 61; ++x) {
            const std::uint32_t want = (expected[std::size_t(y * 61 + x)] & 0xFFFFFFu) | 0xFF000000u;
            if (row[x] != want && ++different <= 5)
                ADD_FAILURE() << std::hex << "at " << std::dec << x << "," << y << std::hex << ": " << row[x]
                              << " instead of " << want;
        }
    }
    EXPECT_EQ(different, 0);
    wnd.DestroyWindow();

    // The memory picture itself, as the drawing code made it before its fills and blits were
    // made faster.
    std::uint64_t digest = 0xCBF29CE484222325ull;
    for (std::uint32_t p : expected) digest = (digest ^ p) * 0x100000001B3ull;
    EXPECT_EQ(digest, 0x17964226C46CEBDAull);
}
