#include <QImage>
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/wnd.h"

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
