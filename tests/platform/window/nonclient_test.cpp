#include <algorithm>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/frame/frame_wnd.h"
#include "platform/frame/tool_bar.h"
#include "platform/menu/menu.h"
#include "platform/window/nonclient.h"
#include "platform/window/wnd.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::DragWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::SaveTestOutput;

namespace {

constexpr COLORREF kClientColour = RGB(0, 120, 215);  // COLOR_HIGHLIGHT, the class background below

LPCTSTR FilledClass()
{
    static LPCTSTR name = AfxRegisterWndClass(
        0, nullptr, reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_HIGHLIGHT + 1)));
    return name;
}

class GeometryFrame : public CFrameWnd {
public:
    explicit GeometryFrame(bool toolBar) : m_wantToolBar(toolBar) {}
    CToolBar m_toolBar;

    int OnCreate(LPCREATESTRUCT cs)
    {
        if (CFrameWnd::OnCreate(cs) == -1) return -1;
        if (m_wantToolBar) {
            static const UINT ids[] = {101, 102, 103};
            if (!m_toolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP) ||
                !m_toolBar.SetButtons(ids, 3))
                return -1;
            m_toolBar.SetSizes(CSize(23, 22), CSize(16, 15));
        }
        RecalcLayout();
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    bool m_wantToolBar;
};

BEGIN_MESSAGE_MAP(GeometryFrame, CFrameWnd)
    ON_WM_CREATE()
END_MESSAGE_MAP()

QColor Colour(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

LRESULT HitTest(CWnd& wnd, CPoint screen)
{
    return wnd.SendMessage(WM_NCHITTEST, 0,
                           MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
}

}  // namespace

// The outer rectangle is the client area plus the strips the platform draws; the frame's
// menu bar lies above the client area, the window's own scroll bars at its edges.
TEST(NonClient, OuterClientAndAdjustedRectanglesAgreeForEveryKindOfFrame)
{
    struct Case {
        bool menu, toolBar, vscroll, hscroll;
    };
    const Case cases[] = {{false, false, false, false}, {true, false, false, false},
                          {true, true, false, false},   {false, true, true, false},
                          {true, false, true, true},    {true, true, true, true}};
    const int menuHeight = GetSystemMetrics(SM_CYMENU);
    const int barWidth = GetSystemMetrics(SM_CXVSCROLL), barHeight = GetSystemMetrics(SM_CYHSCROLL);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "menu " << c.menu << ", tool bar " << c.toolBar << ", bars "
                                        << c.vscroll << c.hscroll);
        HMENU menu = nullptr;
        if (c.menu) {
            menu = CreateMenu();
            AppendMenu(menu, MF_STRING, 201, "&File");
            AppendMenu(menu, MF_STRING, 202, "&Help");
        }
        const DWORD style = WS_OVERLAPPEDWINDOW | (c.vscroll ? WS_VSCROLL : 0) | (c.hscroll ? WS_HSCROLL : 0);
        auto* frame = new GeometryFrame(c.toolBar);  // deletes itself with its window
        ASSERT_TRUE(frame->Create(FilledClass(), "Geometry", style, CRect(30, 40, 430, 340)));
        const HWND hwnd = frame->GetSafeHwnd();
        if (menu) frame->SetMenuHandle(menu);
        frame->ShowWindow(SW_SHOW);
        PumpEvents();

        CRect outer, client;
        frame->GetWindowRect(outer);
        frame->GetClientRect(client);
        EXPECT_EQ(outer, CRect(30, 40, 430, 340));  // as created: the outer rectangle
        const int top = c.menu ? menuHeight : 0;
        EXPECT_EQ(client,
                  CRect(0, 0, 400 - (c.vscroll ? barWidth : 0), 300 - top - (c.hscroll ? barHeight : 0)));
        CRect onScreen = client;
        frame->ClientToScreen(onScreen);
        EXPECT_EQ(onScreen.TopLeft(), CPoint(30, 40 + top));

        // AdjustWindowRectEx gives the outer rectangle back; scroll bars are the caller's, as on the system.
        CRect adjusted = onScreen;
        ASSERT_TRUE(AdjustWindowRectEx(adjusted, frame->GetStyle(), c.menu, frame->GetExStyle()));
        if (frame->GetStyle() & WS_VSCROLL) adjusted.right += barWidth;
        if (frame->GetStyle() & WS_HSCROLL) adjusted.bottom += barHeight;
        EXPECT_EQ(adjusted, outer);
        // The arithmetic of a window that keeps a fixed height.
        EXPECT_EQ(outer.Height() - (2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYCAPTION) +
                                    (c.menu ? menuHeight : 0) + (c.hscroll ? barHeight : 0)),
                  client.Height());

        if (c.toolBar) {  // control bars stay inside the client area
            CRect bar;
            frame->m_toolBar.GetWindowRect(bar);
            frame->ScreenToClient(bar);
            EXPECT_EQ(bar.top, 0);
            EXPECT_EQ(bar.Width(), client.Width());
        }

        // What the pointer is over, as WM_NCHITTEST tells it.
        EXPECT_EQ(HitTest(*frame, onScreen.CenterPoint()), static_cast<LRESULT>(HTCLIENT));
        EXPECT_EQ(HitTest(*frame, CPoint(outer.left + 5, outer.top + 3)),
                  static_cast<LRESULT>(c.menu ? HTMENU : HTCLIENT));
        if (c.vscroll)
            EXPECT_EQ(HitTest(*frame, CPoint(outer.right - 2, onScreen.top + 30)),
                      static_cast<LRESULT>(HTVSCROLL));
        if (c.hscroll)
            EXPECT_EQ(HitTest(*frame, CPoint(onScreen.left + 30, outer.bottom - 2)),
                      static_cast<LRESULT>(HTHSCROLL));
        EXPECT_EQ(HitTest(*frame, CPoint(outer.right + 3, outer.top)), static_cast<LRESULT>(HTNOWHERE));

        // Moving sets the outer rectangle; the client area follows.
        frame->MoveWindow(60, 70, 320, 260);
        frame->GetWindowRect(outer);
        frame->GetClientRect(client);
        EXPECT_EQ(outer, CRect(60, 70, 380, 330));
        EXPECT_EQ(client.Height(), 260 - top - (c.hscroll ? barHeight : 0));

        // What is drawn: the client area in its class colour, the menu bar above it.
        if (c.menu && c.vscroll && !c.toolBar) {
            const QImage shot = frame->GetWidget()->window()->grab().toImage();
            SaveTestOutput(shot, "nonclient_menu_outside_client");
            ASSERT_EQ(shot.size(), QSize(outer.Width(), outer.Height()));
            const QColor fill = Colour(kClientColour);
            EXPECT_NE(shot.pixelColor(5, menuHeight / 2), fill);
            EXPECT_EQ(shot.pixelColor(5, menuHeight), fill);  // the first client row
            EXPECT_EQ(shot.pixelColor(client.right - 1, client.bottom + menuHeight - 1), fill);
            EXPECT_NE(shot.pixelColor(client.right + 2, menuHeight + 30), fill);  // the scroll bar
        }
        frame->DestroyWindow();
        EXPECT_FALSE(IsWindow(hwnd));
        if (menu) DestroyMenu(menu);
    }
}

TEST(NonClient, AMenuShownOrRemovedLaterMovesTheClientAreaInsideTheSameOuterRectangle)
{
    auto* frame = new GeometryFrame(false);
    ASSERT_TRUE(frame->Create(FilledClass(), "Menu later", WS_OVERLAPPEDWINDOW, CRect(10, 10, 310, 210)));
    frame->ShowWindow(SW_SHOW);
    CRect client;
    frame->GetClientRect(client);
    EXPECT_EQ(client.Height(), 200);
    HMENU menu = CreateMenu();
    AppendMenu(menu, MF_STRING, 201, "&View");
    frame->SetMenuHandle(menu);
    frame->GetClientRect(client);
    EXPECT_EQ(client.Height(), 200 - GetSystemMetrics(SM_CYMENU));
    frame->SetMenuHandle(nullptr);
    frame->GetClientRect(client);
    EXPECT_EQ(client.Height(), 200);
    CRect outer;
    frame->GetWindowRect(outer);
    EXPECT_EQ(outer, CRect(10, 10, 310, 210));
    frame->DestroyWindow();
    DestroyMenu(menu);
}

namespace {

// Keeps its outer height through the user's resizing, as the command window does, and
// notes the end of each resize as the viewer frame does (a press on an edge, then the
// capture change).
class FixedHeightWnd : public CWnd {
public:
    int fixedHeight = 0;
    bool edgePressed = false;
    int resizesEnded = 0;
    std::vector<std::string> log;

    void OnSizing(UINT edge, LPRECT rect)
    {
        log.push_back("sizing " + std::to_string(edge));
        rect->bottom = rect->top + fixedHeight;
    }
    void OnMoving(UINT, LPRECT rect)
    {
        log.push_back("moving");
        rect->right -= rect->left % 10;  // snaps to a grid of 10
        rect->left -= rect->left % 10;
    }
    void OnNcLButtonDown(UINT hit, CPoint)
    {
        log.push_back("nc-down " + std::to_string(hit));
        if (hit >= 9 && hit <= 17) edgePressed = true;
        Default();
    }
    void OnCaptureChanged(CWnd*)
    {
        log.push_back("capture");
        if (edgePressed) {
            edgePressed = false;
            ++resizesEnded;
        }
        Default();
    }
    LRESULT OnEnterSizeMove(WPARAM, LPARAM)
    {
        log.push_back("enter");
        return 0;
    }
    LRESULT OnExitSizeMove(WPARAM, LPARAM)
    {
        log.push_back("exit");
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(FixedHeightWnd, CWnd)
    ON_WM_SIZING()
    ON_WM_MOVING()
    ON_WM_NCLBUTTONDOWN()
    ON_WM_CAPTURECHANGED()
    ON_MESSAGE(WM_ENTERSIZEMOVE, OnEnterSizeMove)
    ON_MESSAGE(WM_EXITSIZEMOVE, OnExitSizeMove)
END_MESSAGE_MAP()

std::vector<std::string> Collapsed(const std::vector<std::string>& log)
{
    std::vector<std::string> out;
    for (const std::string& line : log)
        if (out.empty() || out.back() != line) out.push_back(line);
    return out;
}

}  // namespace

TEST(NonClient, AUsersResizeKeepsTheHeightTheWindowInsistsOnAndEndsOnce)
{
    FixedHeightWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Fixed", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(100, 50, 500, 170),
                             nullptr, 0));
    wnd.fixedHeight = 120;
    // The program's own moves are no drag of the user's.
    wnd.MoveWindow(90, 40, 410, 120);
    wnd.MoveWindow(100, 50, 400, 120);
    PumpEvents();
    EXPECT_TRUE(wnd.log.empty());

    DragWindow(wnd, HTBOTTOMRIGHT, CSize(80, 60));
    CRect outer;
    wnd.GetWindowRect(outer);
    EXPECT_EQ(outer, CRect(100, 50, 580, 170));  // wider, the height kept
    EXPECT_EQ(wnd.resizesEnded, 1);
    EXPECT_EQ(Collapsed(wnd.log),
              (std::vector<std::string>{"nc-down 17", "enter", "sizing 8", "capture", "exit"}));
    EXPECT_EQ(std::count(wnd.log.begin(), wnd.log.end(), "sizing 8"), 4);  // one per step

    wnd.log.clear();
    DragWindow(wnd, HTBOTTOM, CSize(0, -40));
    wnd.GetWindowRect(outer);
    EXPECT_EQ(outer.Height(), 120);
    DragWindow(wnd, HTLEFT, CSize(30, 25));
    wnd.GetWindowRect(outer);
    EXPECT_EQ(outer, CRect(130, 50, 580, 170));  // the right edge stays where it was
    EXPECT_EQ(wnd.resizesEnded, 3);
    EXPECT_EQ(std::count(wnd.log.begin(), wnd.log.end(), "capture"), 2);

    // A move by the caption is no resize; WM_MOVING's edited rectangle is the one applied.
    wnd.log.clear();
    DragWindow(wnd, HTCAPTION, CSize(17, 9), 1);
    wnd.GetWindowRect(outer);
    EXPECT_EQ(outer, CRect(140, 59, 590, 179));
    EXPECT_EQ(wnd.log, (std::vector<std::string>{"nc-down 2", "enter", "moving", "capture", "exit"}));
    EXPECT_EQ(wnd.resizesEnded, 3);

    // One drag at a time; only top-level windows are dragged; codes that are no edge are refused.
    ASSERT_TRUE(platform::BeginUserDrag(wnd, HTRIGHT, CPoint(0, 0)));
    EXPECT_FALSE(platform::BeginUserDrag(wnd, HTRIGHT, CPoint(0, 0)));
    EXPECT_TRUE(platform::EndUserDrag(wnd));
    EXPECT_FALSE(platform::EndUserDrag(wnd));
    EXPECT_FALSE(platform::BeginUserDrag(wnd, HTCLIENT, CPoint(0, 0)));
    CWnd child;
    ASSERT_TRUE(child.Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 10, 10), &wnd, 1));
    EXPECT_FALSE(platform::BeginUserDrag(child, HTRIGHT, CPoint(0, 0)));
}

TEST(NonClient, TheSmallestSizeHoldsWhileTheUserDragsTheLeftEdgePastTheRightOne)
{
    FixedHeightWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Small", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(100, 100, 300, 200),
                             nullptr, 0));
    wnd.fixedHeight = 100;
    DragWindow(wnd, HTLEFT, CSize(250, 0));
    CRect rect;
    wnd.GetWindowRect(rect);
    EXPECT_EQ(rect, CRect(299, 100, 300, 200));  // one pixel wide, the right edge in place
}

// A captionless popup with WS_THICKFRAME has no decorations of the window manager: the
// platform gives it a sizing border around the client area, which the user drags.
TEST(NonClient, ACaptionlessSizablePopupGetsABorderOfItsOwn)
{
    const int border = GetSystemMetrics(SM_CXPOPUPFRAME);
    ASSERT_GT(border, 0);
    EXPECT_EQ(GetSystemMetrics(SM_CYPOPUPFRAME), border);
    struct Case {
        DWORD style;
        int border;
    };
    const Case cases[] = {{WS_POPUP | WS_THICKFRAME, border},
                          {WS_POPUP, 0},
                          {WS_POPUP | WS_CAPTION | WS_THICKFRAME, 0},
                          {WS_OVERLAPPEDWINDOW, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.style);
        FixedHeightWnd wnd;
        wnd.fixedHeight = 100;
        ASSERT_TRUE(wnd.CreateEx(0, FilledClass(), "Border", c.style | WS_VISIBLE, CRect(100, 100, 300, 200),
                                 nullptr, 0));
        PumpEvents();
        CRect outer, client;
        wnd.GetWindowRect(outer);
        wnd.GetClientRect(client);
        wnd.ClientToScreen(client);
        EXPECT_EQ(outer, CRect(100, 100, 300, 200));
        EXPECT_EQ(client, CRect(100 + c.border, 100 + c.border, 300 - c.border, 200 - c.border));
        CRect adjusted = client;
        ASSERT_TRUE(AdjustWindowRectEx(adjusted, wnd.GetStyle(), FALSE, 0));
        EXPECT_EQ(adjusted, outer);
        if (c.border == 0) continue;

        const struct {
            CPoint at;
            UINT hit;
        } hits[] = {{{101, 150}, HTLEFT},       {{298, 150}, HTRIGHT},       {{200, 100}, HTTOP},
                    {{200, 199}, HTBOTTOM},     {{100, 100}, HTTOPLEFT},     {{299, 105}, HTTOPRIGHT},
                    {{105, 199}, HTBOTTOMLEFT}, {{299, 199}, HTBOTTOMRIGHT}, {{200, 150}, HTCLIENT}};
        for (const auto& h : hits)
            EXPECT_EQ(HitTest(wnd, h.at), static_cast<LRESULT>(h.hit)) << h.at.x << "," << h.at.y;

        // Without a handler of its own the border is painted in the system's colours.
        const QImage whole = tarvenix::test::GrabWholeWindow(wnd);
        ASSERT_EQ(whole.size(), QSize(200, 100));
        EXPECT_EQ(whole.pixelColor(0, 50), Colour(GetSysColor(COLOR_WINDOWFRAME)));
        EXPECT_EQ(whole.pixelColor(1, 50), Colour(GetSysColor(COLOR_BTNFACE)));
        EXPECT_EQ(whole.pixelColor(border, 50), Colour(kClientColour));

        // A press on the right border and a move drag that edge, through WM_SIZING.
        QWidget* widget = platform::OuterWidgetOf(wnd);
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QApplication::sendEvent(widget, &event);
        };
        send(QEvent::MouseButtonPress, QPoint(198, 50), Qt::LeftButton);
        send(QEvent::MouseMove, QPoint(218, 70), Qt::LeftButton);
        send(QEvent::MouseMove, QPoint(238, 90), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, QPoint(238, 90), Qt::NoButton);
        wnd.GetWindowRect(outer);
        EXPECT_EQ(outer, CRect(100, 100, 340, 200));
        EXPECT_EQ(Collapsed(wnd.log),
                  (std::vector<std::string>{"nc-down 11", "enter", "sizing 2", "capture", "exit"}));
        wnd.DestroyWindow();
    }
}
