#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/kernel/threads.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/window/hooks.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Question;
using tarvenix::test::Responder;

namespace {

constexpr UINT kNoLongerHot = WM_USER + 10;

class MenuButton;
MenuButton* g_open = nullptr;  // the button whose popup is up
bool g_pressOnOpen = false;
HHOOK g_hook = nullptr;
std::vector<std::string> g_seen;

LRESULT SlideHook(int code, WPARAM wParam, LPARAM lParam);

// A menu-bar button that drops a popup down on a press, slides to its neighbours while
// the popup is up, and does not reopen when the press on it closed its own popup.
class MenuButton : public CWnd {
public:
    MenuButton(std::string name, UINT item) : m_name(std::move(name)), m_item(item) {}
    int popups = 0;
    int noLongerHot = 0;
    bool closedByClick = false;

protected:
    void OnLButtonDown(UINT, CPoint)
    {
        if (closedByClick) {
            closedByClick = false;
            return;
        }
        ++popups;
        CMenu menu;
        menu.CreatePopupMenu();
        menu.AppendMenu(MF_STRING, m_item, m_name.c_str());
        g_open = this;
        g_pressOnOpen = false;
        g_hook = SetWindowsHookEx(WH_MOUSE, SlideHook, nullptr, GetCurrentThreadId());
        CRect r;
        GetClientRect(&r);
        ClientToScreen(&r);
        menu.TrackPopupMenuEx(TPM_VERTICAL, r.left, r.bottom, GetParent(), nullptr);
        if (g_pressOnOpen) closedByClick = true;
        UnhookWindowsHookEx(g_hook);
        g_open = nullptr;
    }
    LRESULT OnNoLongerHot(WPARAM, LPARAM)
    {
        ++noLongerHot;
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    std::string m_name;
    UINT m_item;
};

BEGIN_MESSAGE_MAP(MenuButton, CWnd)
    ON_WM_LBUTTONDOWN()
    ON_MESSAGE(kNoLongerHot, OnNoLongerHot)
END_MESSAGE_MAP()

LRESULT SlideHook(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    if (g_open && code == HC_ACTION && wParam == WM_MOUSEMOVE) {
        CWnd* under = CWnd::WindowFromPoint(info->pt);
        if (under && under != g_open && under->GetParent() == g_open->GetParent()) {
            ::PostMessage(g_open->GetSafeHwnd(), kNoLongerHot, 0, 0);
            ::PostMessage(under->GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        }
    }
    if (g_open && code == HC_NOREMOVE && wParam == WM_LBUTTONDOWN && info->hwnd == g_open->GetSafeHwnd())
        g_pressOnOpen = true;
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

// The row the buttons live in; it is the popups' owner and takes their commands.
class Row : public CWnd {
public:
    std::vector<UINT> commands;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override
    {
        commands.push_back(LOWORD(wParam));
        return TRUE;
    }
};

struct MenuRow {
    Row row;
    MenuButton file{"File", 101};
    MenuButton edit{"Edit", 102};
    MenuRow()
    {
        EXPECT_TRUE(
            row.CreateEx(0, nullptr, "Row", WS_POPUP | WS_VISIBLE, CRect(300, 20, 420, 44), nullptr, 0));
        EXPECT_TRUE(file.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 24), &row, 1));
        EXPECT_TRUE(edit.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(50, 0, 100, 24), &row, 2));
        PumpEvents();
    }
};

}  // namespace

TEST(MouseHook, MovingOntoTheNeighbourWhileAPopupIsUpOpensTheNeighboursPopup)
{
    MenuRow m;
    Responder().KeepPopupMenuOpen();
    Responder().AnswerPopupMenu(102);
    // The mouse moves onto the neighbour while the first popup is up.
    ::PostMessage(m.edit.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    m.file.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));

    ASSERT_TRUE(PumpUntil([&] { return !m.row.commands.empty(); }));
    EXPECT_EQ(m.file.popups, 1);
    EXPECT_EQ(m.file.noLongerHot, 1);
    EXPECT_EQ(m.edit.popups, 1);
    EXPECT_EQ(m.row.commands, std::vector<UINT>{102});
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_EQ(Responder().Asked()[0].popup.items.at(0).id, 101u);
    EXPECT_EQ(Responder().Asked()[1].popup.items.at(0).id, 102u);
}

TEST(MouseHook, APressOnTheOpenButtonClosesItsPopupWithoutReopeningIt)
{
    MenuRow m;
    Responder().KeepPopupMenuOpen();
    ::PostMessage(m.file.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    m.file.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(m.file.closedByClick);  // the press is still on its way to the button
    PumpEvents();
    EXPECT_FALSE(m.file.closedByClick);
    EXPECT_EQ(m.file.popups, 1);
    EXPECT_EQ(Responder().Asked().size(), 1u);
    EXPECT_TRUE(m.row.commands.empty());
}

// Sends real mouse input to the popup menu that is up once the event loop runs: while a
// menu is up, Qt gives it all the mouse.
void MouseOnMenuSoon(QEvent::Type type, POINT screen)
{
    QTimer::singleShot(0, [type, screen] {
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        const QPointF global(screen.x, screen.y);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, popup->mapFromGlobal(global), global, button, button, Qt::NoModifier);
        QCoreApplication::sendEvent(popup, &event);
    });
}

TEST(MouseHook, AMenuShownByQtReportsTheMouseAndClosesOnAPressBesideIt)
{
    MenuRow m;
    platform::SetModalResponder(nullptr);
    struct Restore {
        ~Restore() { platform::SetModalResponder(&Responder()); }
    } restore;
    // Should a menu never close, close it so that the test fails instead of hanging.
    bool guardFired = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardFired = true;
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    guard.start(10000);

    CRect edit, row;
    m.edit.GetWindowRect(&edit);
    m.row.GetWindowRect(&row);
    MouseOnMenuSoon(QEvent::MouseMove, edit.CenterPoint());
    m.file.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(m.file.noLongerHot, 1);
    EXPECT_EQ(m.edit.popups, 0);  // the press that opens it is on its way

    // A press beside the neighbour's menu, on the row's empty end, closes it.
    MouseOnMenuSoon(QEvent::MouseButtonPress, POINT{row.left + 110, row.top + 5});
    PumpUntil([&] { return m.edit.popups == 1 && !QApplication::activePopupWidget(); });
    EXPECT_FALSE(guardFired);
    EXPECT_EQ(m.edit.popups, 1);
    EXPECT_EQ(m.file.popups, 1);
    EXPECT_TRUE(m.row.commands.empty());
}

namespace {

std::vector<std::string>* g_calls = nullptr;
HHOOK g_first = nullptr;
HHOOK g_second = nullptr;

LRESULT FirstHook(int code, WPARAM wParam, LPARAM lParam)
{
    g_calls->push_back("first " + std::to_string(wParam));
    return CallNextHookEx(g_first, code, wParam, lParam);
}

LRESULT SecondHook(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    g_calls->push_back("second " + std::to_string(wParam) + " at " + std::to_string(info->pt.x) + "," +
                       std::to_string(info->pt.y));
    if (wParam == WM_RBUTTONDOWN) return 1;  // swallowed
    return CallNextHookEx(g_second, code, wParam, lParam);
}

class Counter : public CWnd {
public:
    int rightPresses = 0;
    int moves = 0;

protected:
    void OnRButtonDown(UINT, CPoint) { ++rightPresses; }
    void OnMouseMove(UINT, CPoint) { ++moves; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Counter, CWnd)
    ON_WM_RBUTTONDOWN()
    ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

}  // namespace

TEST(MouseHook, ChainRunsNewestFirstAndCanSwallowAMessage)
{
    std::vector<std::string> calls;
    g_calls = &calls;
    Counter wnd;
    ASSERT_TRUE(
        wnd.CreateEx(0, nullptr, "Hooked", WS_POPUP | WS_VISIBLE, CRect(40, 50, 100, 90), nullptr, 0));
    PumpEvents();
    g_first = SetWindowsHookEx(WH_MOUSE, FirstHook, nullptr, 0);
    g_second = SetWindowsHookEx(WH_MOUSE, SecondHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_first, nullptr);
    ASSERT_NE(g_second, nullptr);

    ::PostMessage(wnd.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    ::PostMessage(wnd.GetSafeHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 4));
    // Sent messages do not pass the queue, so hooks do not see them.
    wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    PumpEvents();
    EXPECT_EQ(calls, (std::vector<std::string>{"second 512 at 43,54", "first 512", "second 516 at 43,54"}));
    EXPECT_EQ(wnd.moves, 2);
    EXPECT_EQ(wnd.rightPresses, 0);

    EXPECT_TRUE(UnhookWindowsHookEx(g_second));
    EXPECT_FALSE(UnhookWindowsHookEx(g_second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_HANDLE);
    ::PostMessage(wnd.GetSafeHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 4));
    PumpEvents();
    EXPECT_EQ(wnd.rightPresses, 1);
    EXPECT_TRUE(UnhookWindowsHookEx(g_first));
    g_calls = nullptr;
}

TEST(MouseHook, RefusesWhatItCannotHook)
{
    struct Case {
        int id;
        HOOKPROC proc;
        bool otherThread;
        DWORD error;
    };
    const Case cases[] = {
        {2 /* keyboard */, FirstHook, false, ERROR_INVALID_HOOK_FILTER},
        {WH_MOUSE, nullptr, false, ERROR_INVALID_FILTER_PROC},
        {WH_MOUSE, FirstHook, true, ERROR_INVALID_PARAMETER},
    };
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(SetWindowsHookEx(c.id, c.proc, nullptr, c.otherThread ? other : 0), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}
