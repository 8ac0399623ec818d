#include <atomic>
#include <thread>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/wnd.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::SolidWnd;

namespace {

// Repaints itself grey inside a black frame.
class PaintedWnd : public SolidWnd {
public:
    PaintedWnd() : SolidWnd(RGB(200, 200, 200), true) {}
};

// What a worker draws each frame: a rubber band by XOR and a moving figure.
void DrawFrame(HDC dc, int i)
{
    SetROP2(dc, R2_XORPEN);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, i % 150, 5, nullptr);
    LineTo(dc, 150 - i % 150, 120);
    SelectObject(dc, old);
    DeleteObject(pen);
    SetROP2(dc, R2_COPYPEN);
    CRgn ring;
    ring.CreateEllipticRgn(20 + i % 40, 20, 80 + i % 40, 70);
    HBRUSH brush = CreateSolidBrush(RGB(0, (i * 7) % 256, 128));
    FrameRgn(dc, ring, brush, 1, 1);
    DeleteObject(brush);
}

}  // namespace

TEST(WorkerDC, DrawsWhileTheWindowPaintsAndResizes)
{
    PaintedWnd wnd;
    ASSERT_TRUE(
        wnd.CreateEx(0, nullptr, "Worker", WS_POPUP | WS_VISIBLE, CRect(30, 30, 190, 160), nullptr, 0));
    wnd.UpdateWindow();
    const HWND hwnd = wnd.GetSafeHwnd();

    std::atomic<int> phase{0};
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            HDC dc = GetDC(hwnd);
            DrawFrame(dc, i);
            ReleaseDC(hwnd, dc);
        }
        // Once the window has settled, a mark it must show afterwards.
        phase = 1;
        while (phase != 2) std::this_thread::yield();
        HDC dc = GetDC(hwnd);
        CRect mark(100, 10, 120, 30);
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &mark, green);
        DeleteObject(green);
        ReleaseDC(hwnd, dc);
        phase = 3;
    });
    // The user-interface thread keeps painting, resizing and showing the surface meanwhile.
    int round = 0;
    while (phase == 0) {
        wnd.Invalidate();
        wnd.UpdateWindow();
        if (++round % 5 == 0) wnd.MoveWindow(30, 30, 160 + round % 3 * 10, 130 + round % 2 * 10);
        GrabWindow(wnd);
        PumpEvents();
    }
    wnd.MoveWindow(30, 30, 160, 130);
    PumpEvents();
    wnd.UpdateWindow();
    phase = 2;
    ASSERT_TRUE(PumpUntil([&] { return phase == 3; }));
    worker.join();
    EXPECT_GT(wnd.paints.load(), 1);

    PumpEvents();
    const QImage shot = GrabWindow(wnd);
    SaveTestOutput(shot, "worker_dc");
    EXPECT_EQ(shot.pixel(110, 20) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(shot.pixel(0, 100) & 0xFFFFFF, 0x000000u);  // the window's own painting around it
    EXPECT_EQ(shot.pixel(150, 100) & 0xFFFFFF, 0xC8C8C8u);
}

TEST(WorkerDC, SurvivesTheWindowsDestructionWhileHeld)
{
    auto* wnd = new PaintedWnd;
    ASSERT_TRUE(
        wnd->CreateEx(0, nullptr, "Worker", WS_POPUP | WS_VISIBLE, CRect(30, 30, 130, 100), nullptr, 0));
    wnd->UpdateWindow();
    const HWND hwnd = wnd->GetSafeHwnd();
    std::atomic<int> step{0};
    std::thread worker([&] {
        HDC dc = GetDC(hwnd);
        step = 1;
        while (step != 2) std::this_thread::yield();
        for (int i = 0; i < 20; ++i) DrawFrame(dc, i);  // the picture nobody shows any more
        ReleaseDC(hwnd, dc);
        HDC late = GetDC(hwnd);  // a window that is gone gives a DC that draws nothing
        EXPECT_NE(late, nullptr);
        DrawFrame(late, 0);
        ReleaseDC(hwnd, late);
        step = 3;
    });
    ASSERT_TRUE(PumpUntil([&] { return step == 1; }));
    wnd->DestroyWindow();
    delete wnd;
    PumpEvents();
    step = 2;
    ASSERT_TRUE(PumpUntil([&] { return step == 3; }));
    worker.join();
}

TEST(WorkerDC, BlitsBetweenTwoWindowsBothWaysAtOnce)
{
    PaintedWnd a, b;
    ASSERT_TRUE(a.CreateEx(0, nullptr, "A", WS_POPUP | WS_VISIBLE, CRect(0, 0, 64, 64), nullptr, 0));
    ASSERT_TRUE(b.CreateEx(0, nullptr, "B", WS_POPUP | WS_VISIBLE, CRect(70, 0, 134, 64), nullptr, 0));
    a.UpdateWindow();
    b.UpdateWindow();
    const HWND ha = a.GetSafeHwnd(), hb = b.GetSafeHwnd();
    auto blit = [](HWND from, HWND to) {
        HDC src = GetDC(from), dst = GetDC(to);
        BitBlt(dst, 0, 0, 64, 64, src, 0, 0, SRCCOPY);
        ReleaseDC(to, dst);
        ReleaseDC(from, src);
    };
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 400; ++i) blit(ha, hb);
        done = true;
    });
    // Each thread holds the DC it draws on while it takes the other window's: the surface
    // locks must not be taken one at a time in opposite orders.
    while (!done) blit(hb, ha);
    worker.join();
    PumpEvents();
}
