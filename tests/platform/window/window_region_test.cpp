#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/wnd.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::SolidWnd;

namespace {

// Presses the mouse at a screen point on the top-level window, as the window system
// delivers it: Qt finds the widget under the point.
void PressAt(CWnd& top, POINT screen)
{
    QWindow* window = top.GetWidget()->window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPointF global(screen.x, screen.y);
    const QPointF local = window->mapFromGlobal(global.toPoint());
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(window, &release);
}

struct Scene {
    SolidWnd parent{RGB(0, 0, 255)};
    SolidWnd child{RGB(255, 0, 0)};
    CRect childScreen;
    Scene()
    {
        EXPECT_TRUE(parent.CreateEx(0, nullptr, "Region", WS_POPUP | WS_VISIBLE, CRect(200, 150, 320, 230),
                                    nullptr, 0));
        EXPECT_TRUE(
            child.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(20, 10, 100, 70), &parent, 7));
        child.GetWindowRect(&childScreen);
        PumpEvents();
    }
};

}  // namespace

TEST(WindowRegion, ShapeLimitsWhatShowsAndWhatTakesTheMouse)
{
    Scene s;
    // An L: the left half of the child's top half, and its whole bottom half.
    CRgn shape, bottom;
    shape.CreateRectRgn(0, 0, 40, 30);
    bottom.CreateRectRgn(0, 30, 80, 60);
    shape.CombineRgn(&shape, &bottom, RGN_OR);
    EXPECT_EQ(s.child.SetWindowRgn(shape, TRUE), 1);
    // The window keeps its own copy: changing the caller's region changes nothing.
    shape.SetRectRgn(0, 0, 1, 1);

    const QImage shot = GrabWindow(s.parent);
    SaveTestOutput(shot, "window_region");
    EXPECT_EQ(shot.pixel(20 + 10, 10 + 10) & 0xFFFFFF, 0xFF0000u);  // in the region: the child
    EXPECT_EQ(shot.pixel(20 + 60, 10 + 10) & 0xFFFFFF, 0x0000FFu);  // outside it: the parent below
    EXPECT_EQ(shot.pixel(20 + 60, 10 + 50) & 0xFFFFFF, 0xFF0000u);

    const POINT inside{s.childScreen.left + 10, s.childScreen.top + 10};
    const POINT cutAway{s.childScreen.left + 60, s.childScreen.top + 10};
    EXPECT_EQ(WindowFromPoint(inside), s.child.GetSafeHwnd());
    EXPECT_EQ(WindowFromPoint(cutAway), s.parent.GetSafeHwnd());
    EXPECT_EQ(CWnd::WindowFromPoint(POINT{s.childScreen.left + 79, s.childScreen.top + 59}), &s.child);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), nullptr);

    PressAt(s.parent, cutAway);
    EXPECT_EQ(s.child.presses, 0);
    EXPECT_EQ(s.parent.presses, 1);
    PressAt(s.parent, inside);
    EXPECT_EQ(s.child.presses, 1);

    CRgn copy;
    copy.CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(s.child.GetWindowRgn(copy), COMPLEXREGION);
    EXPECT_EQ(copy.GetArea(), 40 * 30 + 80 * 30);

    // No region: the whole rectangle again.
    EXPECT_EQ(::SetWindowRgn(s.child.GetSafeHwnd(), nullptr, TRUE), 1);
    EXPECT_EQ(s.child.GetWindowRgn(copy), ERROR);
    EXPECT_EQ(WindowFromPoint(cutAway), s.child.GetSafeHwnd());
    EXPECT_EQ(GrabWindow(s.parent).pixel(20 + 60, 10 + 10) & 0xFFFFFF, 0xFF0000u);
}

TEST(WindowRegion, PointsFindTheTopmostVisibleEnabledWindow)
{
    Scene s;
    SolidWnd over{RGB(0, 255, 0)};
    ASSERT_TRUE(
        over.CreateEx(0, nullptr, "Over", WS_POPUP | WS_VISIBLE, CRect(250, 160, 300, 200), nullptr, 0));
    PumpEvents();
    const POINT shared{260, 170};  // on the child of the first window and on the second window
    EXPECT_EQ(WindowFromPoint(shared), over.GetSafeHwnd());

    s.parent.BringWindowToTop();
    EXPECT_EQ(WindowFromPoint(shared), s.child.GetSafeHwnd());

    // A disabled child takes no mouse: its parent does.
    s.child.EnableWindow(FALSE);
    EXPECT_EQ(WindowFromPoint(shared), s.parent.GetSafeHwnd());
    s.child.EnableWindow(TRUE);

    s.parent.ShowWindow(SW_HIDE);
    EXPECT_EQ(WindowFromPoint(shared), over.GetSafeHwnd());

    // A region with nothing in it lets every point through.
    CRgn empty;
    empty.CreateRectRgn(0, 0, 0, 0);
    over.SetWindowRgn(empty, TRUE);
    EXPECT_EQ(WindowFromPoint(shared), nullptr);
}
