#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/window/cursor.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/wnd.h"
#include "tests/support/recording_splash.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::ImagesEqual;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;

namespace {

std::vector<std::string>* g_log = nullptr;

void Log(const std::string& line)
{
    if (g_log) g_log->push_back(line);
}

// Records the life-cycle messages of a window under a name.
class LoggingWnd : public CWnd {
public:
    explicit LoggingWnd(std::string name) : m_name(std::move(name)) {}
    std::vector<std::string> messages;

protected:
    int OnCreate(LPCREATESTRUCT cs)
    {
        Log(m_name + " create " + (cs->lpszName ? cs->lpszName : ""));
        return 0;
    }
    void OnDestroy() { Log(m_name + " destroy"); }
    void OnNcDestroy()
    {
        Log(m_name + " ncdestroy");
        CWnd::OnNcDestroy();
    }
    void OnSize(UINT type, int cx, int cy)
    {
        messages.push_back("size " + std::to_string(type) + " " + std::to_string(cx) + "x" +
                           std::to_string(cy));
    }
    void OnMove(int x, int y) { messages.push_back("move " + std::to_string(x) + "," + std::to_string(y)); }
    void OnShowWindow(BOOL show, UINT) { messages.push_back(show ? "show" : "hide"); }
    void OnEnable(BOOL enable) { messages.push_back(enable ? "enable" : "disable"); }
    void OnTimer(UINT_PTR id) { messages.push_back("timer " + std::to_string(id)); }
    void OnGetMinMaxInfo(MINMAXINFO* info)
    {
        info->ptMinTrackSize = POINT{100, 50};
        info->ptMaxTrackSize = POINT{400, 300};
    }
    DECLARE_MESSAGE_MAP()

private:
    std::string m_name;
};

BEGIN_MESSAGE_MAP(LoggingWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_NCDESTROY()
    ON_WM_SIZE()
    ON_WM_MOVE()
    ON_WM_SHOWWINDOW()
    ON_WM_ENABLE()
    ON_WM_TIMER()
    ON_WM_GETMINMAXINFO()
END_MESSAGE_MAP()

// Owns itself, as viewers and tool dialogs do.
class SelfDeletingWnd : public LoggingWnd {
public:
    explicit SelfDeletingWnd(bool* deleted) : LoggingWnd("self"), m_deleted(deleted) {}
    ~SelfDeletingWnd() override { *m_deleted = true; }
    void PostNcDestroy() override { delete this; }

private:
    bool* m_deleted;
};

class RefusingCreate : public CWnd {
protected:
    int OnCreate(LPCREATESTRUCT) { return -1; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RefusingCreate, CWnd)
    ON_WM_CREATE()
END_MESSAGE_MAP()

struct LogScope {
    std::vector<std::string> lines;
    LogScope() { g_log = &lines; }
    ~LogScope() { g_log = nullptr; }
};

BOOL MakeTopLevel(CWnd& wnd, const char* title, DWORD style = WS_OVERLAPPEDWINDOW, CWnd* owner = nullptr)
{
    return wnd.CreateEx(0, nullptr, title, style, CRect(50, 40, 250, 190), owner, 0);
}

}  // namespace

TEST(Window, HandlesRelationsAndControlIds)
{
    LoggingWnd frame("frame"), child("child"), grandchild("grandchild"), owned("owned");
    ASSERT_TRUE(MakeTopLevel(frame, "Frame"));
    ASSERT_TRUE(child.Create(nullptr, "child", WS_VISIBLE, CRect(5, 6, 105, 56), &frame, 59904));
    ASSERT_TRUE(grandchild.Create(nullptr, nullptr, WS_VISIBLE, CRect(1, 1, 11, 11), &child, 7));
    ASSERT_TRUE(MakeTopLevel(owned, "Owned", WS_POPUP | WS_CAPTION, &child));

    EXPECT_EQ(CWnd::FromHandle(frame.GetSafeHwnd()), &frame);
    EXPECT_TRUE(IsWindow(child.GetSafeHwnd()));
    EXPECT_EQ(child.GetParent(), &frame);
    EXPECT_EQ(grandchild.GetTopLevelParent(), &frame);
    EXPECT_EQ(owned.GetOwner(), &frame);  // an owner is always a top-level window
    EXPECT_EQ(owned.GetTopLevelParent(), &owned);
    EXPECT_EQ(child.GetDlgCtrlID(), 59904);
    EXPECT_EQ(frame.GetDlgItem(59904), &child);
    EXPECT_EQ(frame.GetDlgItem(7), nullptr);  // only direct children
    EXPECT_TRUE(frame.IsChild(&grandchild));
    EXPECT_FALSE(frame.IsChild(&owned));
    EXPECT_EQ(frame.GetWindow(GW_CHILD), &child);
    EXPECT_TRUE(child.GetStyle() & WS_CHILD);
    EXPECT_EQ(frame.GetClassName(), "AfxWnd");
}

TEST(Window, DestroyingAWindowTakesChildrenAndOwnedWindowsAndMayDeleteTheObject)
{
    LogScope log;
    bool deleted = false;
    LoggingWnd frame("frame"), child("child"), owned("owned");
    auto* self = new SelfDeletingWnd(&deleted);
    ASSERT_TRUE(MakeTopLevel(frame, "Frame"));
    ASSERT_TRUE(child.Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 10, 10), &frame, 1));
    ASSERT_TRUE(MakeTopLevel(owned, "Owned", WS_POPUP, &frame));
    ASSERT_TRUE(self->Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 10, 10), &child, 2));
    const HWND frameHandle = frame.GetSafeHwnd(), selfHandle = self->GetSafeHwnd();
    log.lines.clear();

    EXPECT_TRUE(frame.DestroyWindow());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"frame destroy", "owned destroy", "owned ncdestroy",
                                                   "child destroy", "self destroy", "self ncdestroy",
                                                   "child ncdestroy", "frame ncdestroy"}));
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(IsWindow(frameHandle));
    EXPECT_FALSE(IsWindow(selfHandle));
    EXPECT_EQ(frame.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CWnd::FromHandle(frameHandle), nullptr);
    EXPECT_FALSE(frame.DestroyWindow());

    // Handles are never reused, so a stale one cannot reach a newer window.
    LoggingWnd later("later");
    ASSERT_TRUE(MakeTopLevel(later, "Later"));
    EXPECT_NE(later.GetSafeHwnd(), frameHandle);
    EXPECT_NE(later.GetSafeHwnd(), selfHandle);
}

TEST(Window, MessagesToADestroyedWindowAreDroppedAndFail)
{
    LoggingWnd wnd("gone");
    ASSERT_TRUE(MakeTopLevel(wnd, "Gone"));
    const HWND handle = wnd.GetSafeHwnd();
    ASSERT_TRUE(PostMessage(handle, WM_TIMER, 9, 0));  // queued before the window goes
    wnd.DestroyWindow();
    PumpEvents();
    EXPECT_EQ(std::count(wnd.messages.begin(), wnd.messages.end(), "timer 9"), 0);

    SetLastError(0);
    EXPECT_EQ(SendMessage(handle, WM_TIMER, 1, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(0);
    EXPECT_FALSE(PostMessage(handle, WM_TIMER, 1, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Window, APostedRecordIsReleasedOnlyWhenItsWindowWentFirst)
{
    int released = 0;
    LoggingWnd kept("kept");
    ASSERT_TRUE(MakeTopLevel(kept, "Kept"));
    ASSERT_TRUE(platform::PostMessageOwning(kept.GetSafeHwnd(), WM_TIMER, 4, 0, [&] { ++released; }));
    LoggingWnd gone("gone");
    ASSERT_TRUE(MakeTopLevel(gone, "Gone"));
    const HWND handle = gone.GetSafeHwnd();
    ASSERT_TRUE(platform::PostMessageOwning(handle, WM_TIMER, 5, 0, [&] { ++released; }));
    gone.DestroyWindow();
    PumpEvents();
    EXPECT_EQ(std::count(kept.messages.begin(), kept.messages.end(), "timer 4"), 1);
    EXPECT_EQ(released, 1);
    // Nothing is queued, and nothing released, for a handle that names no window.
    EXPECT_FALSE(platform::PostMessageOwning(handle, WM_TIMER, 6, 0, [&] { ++released; }));
    PumpEvents();
    EXPECT_EQ(released, 1);
    kept.DestroyWindow();
}

TEST(Window, CreationFailsWhenOnCreateRefuses)
{
    RefusingCreate wnd;
    EXPECT_FALSE(wnd.CreateEx(0, nullptr, "no", WS_OVERLAPPEDWINDOW, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_EQ(wnd.GetSafeHwnd(), nullptr);
    CWnd orphan;
    SetLastError(0);
    EXPECT_FALSE(orphan.CreateEx(0, nullptr, "child", WS_CHILD, CRect(0, 0, 1, 1), nullptr, 0));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_FALSE(orphan.CreateEx(0, "No Such Class", "x", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0));
}

TEST(Window, AChildMadeHiddenStaysHiddenWhenItsParentIsShownLater)
{
    CWnd parent, hidden, visible;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "parent", WS_POPUP, 0, 0, 120, 80, nullptr, nullptr));
    ASSERT_TRUE(hidden.CreateEx(0, nullptr, "", WS_CHILD, 0, 0, 20, 20, parent.GetSafeHwnd(), nullptr));
    ASSERT_TRUE(visible.CreateEx(0, nullptr, "", WS_CHILD | WS_VISIBLE, 30, 0, 20, 20, parent.GetSafeHwnd(),
                                 nullptr));
    parent.ShowWindow(SW_SHOW);
    EXPECT_FALSE(hidden.IsWindowVisible());
    EXPECT_TRUE(visible.IsWindowVisible());
    hidden.ShowWindow(SW_SHOW);
    EXPECT_TRUE(hidden.IsWindowVisible());
    hidden.DestroyWindow();
    visible.DestroyWindow();
    parent.DestroyWindow();
}

TEST(Window, GeometryMessagesAndCoordinates)
{
    LoggingWnd frame("frame"), child("child");
    ASSERT_TRUE(MakeTopLevel(frame, "Frame"));
    EXPECT_EQ(frame.messages, (std::vector<std::string>{"size 0 200x150", "move 50,40"}));
    ASSERT_TRUE(child.Create(nullptr, nullptr, WS_VISIBLE, CRect(10, 20, 60, 50), &frame, 1));
    frame.messages.clear();

    frame.MoveWindow(60, 70, 300, 200);
    EXPECT_EQ(frame.messages, (std::vector<std::string>{"size 0 300x200", "move 60,70"}));
    frame.MoveWindow(60, 70, 1000, 10);  // clamped by WM_GETMINMAXINFO
    CRect client;
    frame.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 400, 50));
    EXPECT_EQ(frame.GetWidget()->window()->maximumSize(),
              QSize(400, 300));  // the user's resizing keeps to them too
    frame.SetWindowPos(nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CRect outer;
    frame.GetWindowRect(&outer);
    EXPECT_EQ(outer, CRect(5, 6, 405, 56));

    CRect childRect;
    child.GetWindowRect(&childRect);
    EXPECT_EQ(childRect, CRect(15, 26, 65, 56));
    frame.ScreenToClient(&childRect);
    EXPECT_EQ(childRect, CRect(10, 20, 60, 50));
    CPoint p(3, 4);
    child.ClientToScreen(&p);
    EXPECT_EQ(p, CPoint(18, 30));
    child.SetWindowPos(nullptr, 0, 0, 20, 30, SWP_NOMOVE | SWP_NOZORDER);
    child.GetWindowRect(&childRect);
    EXPECT_EQ(childRect, CRect(15, 26, 35, 56));
}

TEST(Window, ShowCodesVisibilityEnablingAndState)
{
    LoggingWnd frame("frame"), child("child");
    ASSERT_TRUE(MakeTopLevel(frame, "Frame"));
    ASSERT_TRUE(child.Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 10, 10), &frame, 1));
    EXPECT_FALSE(child.IsWindowVisible());  // its frame is still hidden
    EXPECT_TRUE(child.GetStyle() & WS_VISIBLE);
    frame.messages.clear();

    EXPECT_FALSE(frame.ShowWindow(SW_SHOW));
    EXPECT_TRUE(frame.IsWindowVisible());
    EXPECT_TRUE(child.IsWindowVisible());
    EXPECT_TRUE(frame.ShowWindow(SW_MINIMIZE));
    EXPECT_TRUE(frame.IsIconic());
    frame.ShowWindow(SW_RESTORE);
    EXPECT_FALSE(frame.IsIconic());
    frame.ShowWindow(SW_SHOWMAXIMIZED);
    EXPECT_TRUE(frame.IsZoomed());
    frame.ShowWindow(SW_RESTORE);
    frame.ShowWindow(SW_HIDE);
    EXPECT_FALSE(frame.IsWindowVisible());
    frame.ShowWindow(SW_SHOWNA);
    EXPECT_TRUE(frame.IsWindowVisible());

    std::vector<std::string> kinds;
    for (const std::string& m : frame.messages) {
        if (m.rfind("move", 0) == 0) continue;
        const std::string kind = m.substr(0, 6);
        if (kinds.empty() || kinds.back() != kind) kinds.push_back(kind);
    }
    EXPECT_EQ(kinds,
              (std::vector<std::string>{"show", "size 1", "size 0", "size 2", "size 0", "hide", "show"}));

    frame.messages.clear();
    frame.EnableWindow(FALSE);
    EXPECT_FALSE(frame.IsWindowEnabled());
    EXPECT_TRUE(frame.GetStyle() & WS_DISABLED);
    frame.EnableWindow(TRUE);
    EXPECT_EQ(frame.messages, (std::vector<std::string>{"disable", "enable"}));
}

TEST(Window, BroadcastReachesEveryTopLevelWindowAndRegisteredIdsAreStable)
{
    const UINT control = RegisterWindowMessage("Tarvenix - Viewer Control Message");
    EXPECT_GE(control, kFirstRegisteredMessage);
    EXPECT_LE(control, kLastRegisteredMessage);
    EXPECT_EQ(RegisterWindowMessage("tarvenix - viewer control message"), control);
    EXPECT_NE(RegisterWindowMessage("Another Message"), control);
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
    UINT fromWorker = 0;
    std::thread([&] { fromWorker = RegisterWindowMessage("Tarvenix - Viewer Control Message"); }).join();
    EXPECT_EQ(fromWorker, control);

    struct Listener : CWnd {
        int count = 0;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == RegisterWindowMessage("Tarvenix - Viewer Control Message")) ++count;
            return CWnd::WindowProc(message, wParam, lParam);
        }
    };
    Listener a, b, child;
    ASSERT_TRUE(MakeTopLevel(a, "A"));
    ASSERT_TRUE(MakeTopLevel(b, "B", WS_POPUP, &a));
    ASSERT_TRUE(child.Create(nullptr, nullptr, 0, CRect(0, 0, 1, 1), &a, 1));
    EXPECT_TRUE(SendMessage(HWND_BROADCAST, control, 2, 0));
    EXPECT_EQ(a.count, 1);
    EXPECT_EQ(b.count, 1);
    EXPECT_EQ(child.count, 0);
    EXPECT_TRUE(PostMessage(HWND_BROADCAST, control, 3, 0));
    EXPECT_TRUE(PumpUntil([&] { return a.count == 2 && b.count == 2; }));
}

namespace {

// What a library sends at start-up: the text without its terminating zero.
void SendSplashText(HWND sender, std::uintptr_t kind, const char* text)
{
    HWND splash = FindWindow("Terralume Splash Window", "Splash Screen");
    if (!splash || !IsWindow(splash)) return;
    COPYDATASTRUCT data{kind, static_cast<DWORD>(std::strlen(text)), const_cast<char*>(text)};
    SendMessage(splash, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data));
}

}  // namespace

TEST(Window, FindWindowAndCopyData)
{
    SendSplashText(nullptr, 1, "PaneKit Module Initializing...");  // no splash: nothing happens
    AfxRegisterClass("Terralume Splash Window", 0);
    tarvenix::test::RecordingSplash splash, decoy;
    CWnd sender, child;
    ASSERT_TRUE(
        decoy.CreateEx(0, "Terralume Splash Window", "Other Title", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0));
    ASSERT_TRUE(splash.CreateEx(0, "Terralume Splash Window", "Splash Screen", WS_POPUP, CRect(0, 0, 1, 1),
                                nullptr, 0));
    ASSERT_TRUE(
        sender.CreateEx(0, nullptr, "Splash Screen", WS_OVERLAPPEDWINDOW, CRect(0, 0, 1, 1), nullptr, 0));
    ASSERT_TRUE(child.Create("Terralume Splash Window", "Splash Screen", 0, CRect(0, 0, 1, 1), &sender, 1));

    EXPECT_EQ(FindWindow("terralume splash window", "Splash Screen"), splash.GetSafeHwnd());
    EXPECT_EQ(FindWindow(nullptr, "Other Title"), decoy.GetSafeHwnd());
    EXPECT_EQ(FindWindow("AfxWnd", nullptr), sender.GetSafeHwnd());
    EXPECT_EQ(FindWindow("Terralume Splash Window", "No Such Title"), nullptr);

    SendSplashText(nullptr, 1, "PaneKit Module Initializing...");
    SendSplashText(sender.GetSafeHwnd(), 0, "Main Dialog Initialized...");
    const std::vector<tarvenix::test::RecordingSplash::Text> expected = {
        {1, "PaneKit Module Initializing...", nullptr},
        {0, "Main Dialog Initialized...", sender.GetSafeHwnd()}};
    EXPECT_EQ(splash.received, expected);
    EXPECT_TRUE(decoy.received.empty());

    // The record would not outlive a post, so posting it is refused.
    COPYDATASTRUCT data{1, 1, const_cast<char*>("x")};
    EXPECT_FALSE(PostMessage(splash.GetSafeHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    splash.DestroyWindow();
    EXPECT_EQ(FindWindow("Terralume Splash Window", "Splash Screen"), nullptr);
}

TEST(Window, TimersTickUntilKilled)
{
    LoggingWnd wnd("timers");
    ASSERT_TRUE(MakeTopLevel(wnd, "Timers"));
    wnd.messages.clear();
    EXPECT_EQ(wnd.SetTimer(1, 1), 1u);
    EXPECT_EQ(wnd.SetTimer(2, 1), 2u);
    auto count = [&](const std::string& line) {
        return std::count(wnd.messages.begin(), wnd.messages.end(), line);
    };
    EXPECT_TRUE(PumpUntil([&] { return count("timer 1") >= 3 && count("timer 2") >= 1; }));
    EXPECT_TRUE(wnd.KillTimer(1));
    EXPECT_FALSE(wnd.KillTimer(1));
    EXPECT_FALSE(wnd.KillTimer(77));
    const auto firstCount = count("timer 1");
    const auto secondCount = count("timer 2");
    EXPECT_TRUE(PumpUntil([&] { return count("timer 2") >= secondCount + 5; }));
    EXPECT_EQ(count("timer 1"), firstCount);

    int calls = 0;
    static int* s_calls = nullptr;
    s_calls = &calls;
    wnd.SetTimer(3, 1, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (id == 3) ++*s_calls;
    });
    EXPECT_TRUE(PumpUntil([&] { return calls >= 2; }));
    wnd.DestroyWindow();  // stops its timers
    const int afterDestroy = calls;
    PumpEvents();
    EXPECT_EQ(calls, afterDestroy);
}

namespace {

class InputWnd : public CWnd {
public:
    std::vector<std::string> log;
    HCURSOR cursor = nullptr;

protected:
    void OnLButtonDown(UINT flags, CPoint p)
    {
        log.push_back("ldown " + std::to_string(flags) + " " + std::to_string(p.x) + "," +
                      std::to_string(p.y));
    }
    void OnRButtonUp(UINT flags, CPoint p)
    {
        log.push_back("rup " + std::to_string(flags) + " " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
    void OnMouseMove(UINT flags, CPoint p)
    {
        log.push_back("move " + std::to_string(flags) + " " + std::to_string(p.x) + "," +
                      std::to_string(p.y));
    }
    BOOL OnMouseWheel(UINT, short delta, CPoint)
    {
        log.push_back("wheel " + std::to_string(delta));
        return TRUE;
    }
    void OnKeyDown(UINT key, UINT, UINT) { log.push_back("keydown " + std::to_string(key)); }
    void OnChar(UINT ch, UINT, UINT) { log.push_back("char " + std::to_string(ch)); }
    BOOL OnSetCursor(CWnd*, UINT hit, UINT message)
    {
        if (!cursor) return CWnd::OnSetCursor(nullptr, hit, message);
        ::SetCursor(cursor);
        return TRUE;
    }
    void OnCaptureChanged(CWnd*) { log.push_back("capture lost"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(InputWnd, CWnd)
    ON_WM_LBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_MOUSEMOVE()
    ON_WM_MOUSEWHEEL()
    ON_WM_KEYDOWN()
    ON_WM_CHAR()
    ON_WM_SETCURSOR()
    ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

void Send(CWnd& wnd, QEvent&& event)
{
    QCoreApplication::sendEvent(wnd.GetWidget(), &event);
}

QMouseEvent Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return QMouseEvent(type, QPointF(at), QPointF(at), button, buttons, modifiers);
}

}  // namespace

TEST(Window, QtInputBecomesMessagesWithKeyStateFlags)
{
    InputWnd wnd;
    ASSERT_TRUE(MakeTopLevel(wnd, "Input", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    Send(wnd, Mouse(QEvent::MouseButtonPress, {12, 34}, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier));
    Send(wnd, Mouse(QEvent::MouseMove, {13, 35}, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier));
    Send(wnd, Mouse(QEvent::MouseButtonRelease, {14, 36}, Qt::RightButton, Qt::NoButton));
    QWheelEvent wheel(QPointF(5, 5), QPointF(55, 45), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    Send(wnd, std::move(wheel));
    Send(wnd, QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27))));
    Send(wnd, QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
    EXPECT_EQ(wnd.log, (std::vector<std::string>{"ldown 5 12,34", "move 9 13,35", "rup 0 14,36", "wheel -120",
                                                 "keydown 27", "char 27", "keydown 65", "char 97"}));
}

TEST(Window, CaptureRedirectsTheMouseAndCursorsFollowSetCursor)
{
    InputWnd frame, other;
    ASSERT_TRUE(MakeTopLevel(frame, "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    ASSERT_TRUE(other.Create(nullptr, nullptr, WS_VISIBLE, CRect(100, 50, 150, 100), &frame, 1));
    frame.cursor = LoadCursor(nullptr, IDC_CROSS);
    ASSERT_NE(frame.cursor, nullptr);
    EXPECT_EQ(LoadCursor(nullptr, IDC_CROSS), frame.cursor);

    Send(frame, Mouse(QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton));
    EXPECT_EQ(frame.GetWidget()->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(GetCursor(), frame.cursor);
    // Over the child, the parent's WM_SETCURSOR answer counts first.
    Send(other, Mouse(QEvent::MouseMove, {1, 1}, Qt::NoButton, Qt::NoButton));
    EXPECT_EQ(other.GetWidget()->cursor().shape(), Qt::CrossCursor);

    frame.log.clear();
    other.log.clear();
    EXPECT_EQ(frame.SetCapture(), nullptr);
    EXPECT_EQ(CWnd::GetCapture(), &frame);
    Send(other, Mouse(QEvent::MouseButtonPress, {2, 3}, Qt::LeftButton, Qt::LeftButton));
    EXPECT_TRUE(other.log.empty());
    EXPECT_EQ(frame.log, (std::vector<std::string>{"ldown 1 102,53"}));
    EXPECT_EQ(other.SetCapture(), &frame);
    EXPECT_EQ(frame.log.back(), "capture lost");
    ReleaseCapture();
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
    EXPECT_EQ(other.log.back(), "capture lost");
}

namespace {

class ClosingWnd : public CWnd {
public:
    bool allowClose = false;
    int asked = 0;

protected:
    void OnClose()
    {
        ++asked;
        if (allowClose) CWnd::OnClose();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ClosingWnd, CWnd)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

}  // namespace

TEST(Window, ClosingAskTheWindowAndOnlyTheDefaultDestroys)
{
    ClosingWnd wnd;
    ASSERT_TRUE(MakeTopLevel(wnd, "Close", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    wnd.GetWidget()->window()->close();  // the user's close box
    EXPECT_EQ(wnd.asked, 1);
    EXPECT_TRUE(IsWindow(wnd.GetSafeHwnd()));
    wnd.allowClose = true;
    wnd.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(wnd.asked, 2);
    EXPECT_EQ(wnd.GetSafeHwnd(), nullptr);
}

namespace {

// Paints a blue square at (10, 10) over a background the class erases with the window colour.
class PaintingWnd : public CWnd {
public:
    int paints = 0;
    CRect lastUpdate;

protected:
    void OnPaint()
    {
        ++paints;
        platform::PaintTarget* target = platform::CurrentPaintTarget(GetSafeHwnd());
        ASSERT_NE(target, nullptr);
        lastUpdate = target->updateRect;
        target->painter->fillRect(QRect(10, 10, 20, 20), QColor(0, 0, 255));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PaintingWnd, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

}  // namespace

TEST(Window, PaintsThroughThePaintTargetAndOnlyWhatIsInvalid)
{
    PaintingWnd wnd;
    const LPCTSTR windowClass =
        AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, nullptr,
                            reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1)));
    EXPECT_EQ(AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, nullptr,
                                  reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1))),
              windowClass);
    ASSERT_TRUE(
        wnd.CreateEx(0, windowClass, "Paint", WS_POPUP | WS_VISIBLE, CRect(0, 0, 64, 48), nullptr, 0));
    EXPECT_EQ(platform::CurrentPaintTarget(wnd.GetSafeHwnd()), nullptr);  // only while painting

    QImage expected(64, 48, QImage::Format_RGB32);
    expected.fill(QColor(255, 255, 255));
    QPainter(&expected).fillRect(QRect(10, 10, 20, 20), QColor(0, 0, 255));
    EXPECT_TRUE(ImagesEqual(GrabWindow(wnd), expected, "window_paint_first"));
    EXPECT_EQ(wnd.paints, 1);
    EXPECT_EQ(wnd.lastUpdate, CRect(0, 0, 64, 48));

    // Drawing outside WM_PAINT lands on the surface and shows without a WM_PAINT.
    QImage* surface = platform::WindowSurface(wnd.GetSafeHwnd());
    ASSERT_NE(surface, nullptr);
    QPainter(surface).fillRect(QRect(40, 30, 4, 4), QColor(255, 0, 0));
    platform::FlushWindowSurface(wnd.GetSafeHwnd(), CRect(40, 30, 44, 34));
    QPainter(&expected).fillRect(QRect(40, 30, 4, 4), QColor(255, 0, 0));
    EXPECT_TRUE(ImagesEqual(GrabWindow(wnd), expected, "window_paint_client_dc"));
    EXPECT_EQ(wnd.paints, 1);

    // An invalidated part is erased and painted again at UpdateWindow; the rest stays.
    CRect part(0, 0, 16, 16);
    wnd.InvalidateRect(part);
    CRect update;
    EXPECT_TRUE(wnd.GetUpdateRect(&update));
    EXPECT_EQ(update, part);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.paints, 2);
    EXPECT_EQ(wnd.lastUpdate, part);
    EXPECT_FALSE(wnd.GetUpdateRect(&update));
    EXPECT_TRUE(ImagesEqual(GrabWindow(wnd), expected, "window_paint_partial"));
}

namespace {

class ScrollingWnd : public LoggingWnd {
public:
    ScrollingWnd() : LoggingWnd("scrolling") {}
    std::vector<std::string> scrolls;

protected:
    void OnVScroll(UINT code, UINT pos, CScrollBar*)
    {
        scrolls.push_back("v " + std::to_string(code) + " " + std::to_string(pos));
        if (code == SB_LINEDOWN) SetScrollPos(SB_VERT, GetScrollPos(SB_VERT) + 10);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ScrollingWnd, LoggingWnd)
    ON_WM_VSCROLL()
END_MESSAGE_MAP()

QScrollBar* Bar(CWnd& wnd, Qt::Orientation orientation)
{
    for (QScrollBar* bar : wnd.GetWidget()->findChildren<QScrollBar*>())
        if (bar->orientation() == orientation && !bar->isHidden()) return bar;
    return nullptr;
}

}  // namespace

TEST(Window, OwnScrollBarsTakeTheirRoomAndReportUse)
{
    ScrollingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Scroll", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 150), nullptr, 0));
    CRect client;
    wnd.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 200, 150));  // no bar style, no bars

    wnd.messages.clear();
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 999, 100, 950, 0};
    wnd.SetScrollInfo(SB_VERT, &info);
    EXPECT_EQ(wnd.GetScrollPos(SB_VERT), 900);  // the last page starts at 900
    EXPECT_TRUE(wnd.GetStyle() & WS_VSCROLL);
    wnd.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 200 - GetSystemMetrics(SM_CXVSCROLL), 150));
    EXPECT_EQ(wnd.messages, (std::vector<std::string>{"size 0 183x150"}));

    QScrollBar* bar = Bar(wnd, Qt::Vertical);
    ASSERT_NE(bar, nullptr);
    wnd.SetScrollPos(SB_VERT, 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the handler moves by 10
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);    // the handler ignores it
    EXPECT_EQ(wnd.scrolls, (std::vector<std::string>{"v 1 0", "v 3 0"}));
    EXPECT_EQ(wnd.GetScrollPos(SB_VERT), 10);
    EXPECT_EQ(bar->value(), 10);

    wnd.SetScrollRange(SB_VERT, 0, 0);  // an empty range hides the bar again
    wnd.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 200, 150));
    EXPECT_FALSE(wnd.GetStyle() & WS_VSCROLL);
}

namespace {

// A parent that takes Esc before its children see it (as dialogs do), and answers help
// and context menus its children leave to it.
class KeyFilterWnd : public CWnd {
public:
    std::vector<std::string> log;
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
            log.push_back("took escape");
            return TRUE;
        }
        return CWnd::PreTranslateMessage(msg);
    }

protected:
    BOOL OnHelpInfo(HELPINFO* info)
    {
        log.push_back("help from " + std::to_string(info->iCtrlId));
        return TRUE;
    }
    void OnContextMenu(CWnd* wnd, CPoint)
    {
        log.push_back(std::string("menu for ") + (wnd ? "child" : "none"));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(KeyFilterWnd, CWnd)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

}  // namespace

TEST(Window, PreTranslateSeesQueuedInputFirstAndParentsGetWhatChildrenLeave)
{
    KeyFilterWnd parent;
    InputWnd child;
    ASSERT_TRUE(MakeTopLevel(parent, "Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    ASSERT_TRUE(child.Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 50, 50), &parent, 12));
    Send(child, QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27))));
    Send(child, QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
    Send(child, QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(3, 3), QPoint(3, 3)));
    EXPECT_EQ(parent.log, (std::vector<std::string>{"took escape", "help from 12", "menu for child"}));
    EXPECT_EQ(child.log, (std::vector<std::string>{"keydown 112"}));  // F1 reached the child first

    EXPECT_EQ(SafeHwnd(nullptr), nullptr);
    EXPECT_EQ(SafeHwnd(&child), child.GetSafeHwnd());
}

namespace {

// A window over a Qt control, as the control classes make them: the widget is Qt's, the
// messages are still ours, and the control's own behaviour is its default handling.
class ButtonWnd : public CWnd {
public:
    bool swallowClicks = false;

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override
    {
        auto* button = new QPushButton(QString::fromUtf8(cs.lpszName ? cs.lpszName : ""), parent);
        const HWND hwnd = GetSafeHwnd();
        QObject::connect(button, &QPushButton::clicked, [hwnd] {
            CWnd* self = CWnd::FromHandle(hwnd);
            if (self && self->GetParent())
                self->GetParent()->SendMessage(
                    WM_COMMAND, MAKEWPARAM(static_cast<WORD>(self->GetDlgCtrlID()), BN_CLICKED),
                    reinterpret_cast<LPARAM>(hwnd));
        });
        return button;
    }
    void ApplyWindowText(const CString& text) override
    {
        static_cast<QPushButton*>(GetWidget())->setText(QString::fromUtf8(text.c_str()));
    }
    void OnLButtonDown(UINT flags, CPoint point)
    {
        if (!swallowClicks) CWnd::OnLButtonDown(flags, point);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ButtonWnd, CWnd)
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

class ButtonParent : public CWnd {
public:
    int clicks = 0;

protected:
    void OnApply() { ++clicks; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ButtonParent, CWnd)
    ON_BN_CLICKED(1001, OnApply)
END_MESSAGE_MAP()

void Click(CWnd& wnd)
{
    Send(wnd, Mouse(QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton));
    Send(wnd, Mouse(QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton));
}

}  // namespace

TEST(Window, QtControlsAreWindowsWhoseDefaultIsTheControlsOwnBehaviour)
{
    ButtonParent parent;
    ButtonWnd button;
    ASSERT_TRUE(MakeTopLevel(parent, "Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    ASSERT_TRUE(button.Create(nullptr, "Apply", WS_VISIBLE, CRect(10, 10, 90, 40), &parent, 1001));
    button.SetWindowText("&Apply");
    EXPECT_EQ(static_cast<QPushButton*>(button.GetWidget())->text(), "&Apply");

    Click(button);
    EXPECT_EQ(parent.clicks, 1);
    button.swallowClicks = true;  // a subclass that keeps the press from the control
    Click(button);
    EXPECT_EQ(parent.clicks, 1);
}
