#include <string>
#include <vector>

#include <QWidget>
#include <gtest/gtest.h>

#include "platform/app/win_app.h"
#include "platform/window/wnd.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::ClickCommand;

namespace {

constexpr UINT ID_OPEN = 34029;
constexpr UINT ID_CLOSE = 34047;
constexpr UINT ID_RECENT_FIRST = 34205;
constexpr UINT ID_RECENT_LAST = 34224;
constexpr UINT ID_ZOOM_IN = 34023;
constexpr UINT ID_HELP_CONTENTS = 34142;
constexpr UINT ID_NO_HANDLER = 34999;
constexpr UINT ID_GRID = 59904;
constexpr UINT WM_VIEWER = WM_USER + 500;
constexpr int NM_CLICK = -2;
constexpr int LVN_ITEMCHANGED = -101;

UINT g_controlMessage = RegisterWindowMessage("Test - Control Message");

class BaseWnd : public CWnd {
public:
    std::vector<std::string> log;

protected:
    void OnSize(UINT, int cx, int cy)
    {
        log.push_back("base size " + std::to_string(cx) + "x" + std::to_string(cy));
    }
    LRESULT OnViewer(WPARAM, LPARAM code)
    {
        log.push_back("base viewer " + std::to_string(code));
        return 1;
    }
    void OnOpen() { log.push_back("base open"); }
    BOOL OnCloseEx(UINT)
    {
        log.push_back("base close");
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWnd, CWnd)
    ON_WM_SIZE()
    ON_MESSAGE(WM_VIEWER, OnViewer)
    ON_COMMAND(ID_OPEN, OnOpen)
    ON_COMMAND_EX(ID_CLOSE, OnCloseEx)
END_MESSAGE_MAP()

class DerivedWnd : public BaseWnd {
public:
    bool zoomEnabled = true;
    bool zoomChecked = false;

protected:
    LRESULT OnViewerFirst(WPARAM, LPARAM code)
    {
        log.push_back("derived first " + std::to_string(code));
        return 2;
    }
    LRESULT OnViewerSecond(WPARAM, LPARAM)
    {
        log.push_back("derived second");
        return 3;
    }
    LRESULT OnControl(WPARAM code, LPARAM)
    {
        log.push_back("control " + std::to_string(code));
        return 0;
    }
    void OnRecent(UINT id) { log.push_back("recent " + std::to_string(id - ID_RECENT_FIRST)); }
    BOOL OnCloseEx(UINT)
    {
        log.push_back("derived close, routed on");
        return FALSE;
    }
    void OnZoomIn() { log.push_back("zoom in"); }
    void OnUpdateZoomIn(CCmdUI* ui)
    {
        ui->Enable(zoomEnabled);
        ui->SetCheck(zoomChecked ? 1 : 0);
        ui->SetText("Zoom &in");
    }
    void OnGridClick(NMHDR* header, LRESULT* result)
    {
        log.push_back("grid click from " + std::to_string(header->idFrom));
        *result = 42;
    }
    void OnAnyItemChanged(UINT id, NMHDR*, LRESULT*) { log.push_back("item changed " + std::to_string(id)); }
    void OnGridButton() { log.push_back("grid button"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWnd, BaseWnd)
    ON_MESSAGE(WM_VIEWER, OnViewerFirst)
    ON_MESSAGE(WM_VIEWER, OnViewerSecond)
    ON_REGISTERED_MESSAGE(g_controlMessage, OnControl)
    ON_COMMAND_RANGE(ID_RECENT_FIRST, ID_RECENT_LAST, OnRecent)
    ON_COMMAND_EX(ID_CLOSE, OnCloseEx)
    ON_COMMAND(ID_ZOOM_IN, OnZoomIn)
    ON_UPDATE_COMMAND_UI(ID_ZOOM_IN, OnUpdateZoomIn)
    ON_NOTIFY(NM_CLICK, ID_GRID, OnGridClick)
    ON_NOTIFY_RANGE(LVN_ITEMCHANGED, 100, 199, OnAnyItemChanged)
    ON_BN_CLICKED(ID_GRID, OnGridButton)
END_MESSAGE_MAP()

CRect Frame()
{
    return CRect(10, 10, 310, 210);
}

LRESULT Command(CWnd& wnd, UINT id)
{
    return wnd.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
}

}  // namespace

TEST(MessageMap, DerivedEntriesComeFirstAndTheFirstMatchInAMapWins)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "map", WS_OVERLAPPEDWINDOW, Frame(), nullptr, 0));
    wnd.log.clear();

    EXPECT_EQ(wnd.SendMessage(WM_VIEWER, 0, 7), 2);  // the derived map's first entry
    wnd.MoveWindow(10, 10, 120, 80);                 // only the base class handles WM_SIZE
    EXPECT_EQ(wnd.SendMessage(g_controlMessage, 5, 0), 0);
    EXPECT_EQ(wnd.log, (std::vector<std::string>{"derived first 7", "base size 120x80", "control 5"}));
}

TEST(MessageMap, CommandsRangesAndExHandlersThatRouteOn)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "commands", WS_OVERLAPPEDWINDOW, Frame(), nullptr, 0));
    wnd.log.clear();

    Command(wnd, ID_OPEN);          // inherited from the base map
    Command(wnd, ID_RECENT_FIRST);  // both ends of the range
    Command(wnd, ID_RECENT_LAST);
    Command(wnd, ID_RECENT_LAST + 1);  // outside: nobody
    Command(wnd, ID_CLOSE);            // the derived _EX handler declines, the base one takes it
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(ID_GRID, BN_CLICKED), reinterpret_cast<LPARAM>(wnd.GetSafeHwnd()));
    EXPECT_EQ(wnd.log, (std::vector<std::string>{"base open", "recent 0", "recent 19",
                                                 "derived close, routed on", "base close", "grid button"}));
}

TEST(MessageMap, NotificationsReachTheirHandlerWithTheirResult)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "notify", WS_OVERLAPPEDWINDOW, Frame(), nullptr, 0));
    wnd.log.clear();

    NMHDR click{nullptr, ID_GRID, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(wnd.SendMessage(WM_NOTIFY, ID_GRID, reinterpret_cast<LPARAM>(&click)), 42);
    NMHDR changed{nullptr, 150, static_cast<UINT>(LVN_ITEMCHANGED)};
    wnd.SendMessage(WM_NOTIFY, 150, reinterpret_cast<LPARAM>(&changed));
    NMHDR otherId{nullptr, ID_GRID + 1, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(wnd.SendMessage(WM_NOTIFY, ID_GRID + 1, reinterpret_cast<LPARAM>(&otherId)), 0);
    EXPECT_EQ(wnd.log, (std::vector<std::string>{"grid click from 59904", "item changed 150"}));
}

TEST(MessageMap, UpdateCommandUiAndAutomaticDisabling)
{
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "update", WS_OVERLAPPEDWINDOW, Frame(), nullptr, 0));

    wnd.zoomChecked = true;
    platform::CommandState zoom = platform::QueryCommandState(&wnd, ID_ZOOM_IN);
    EXPECT_TRUE(zoom.enabled);
    EXPECT_EQ(zoom.checked, 1);
    EXPECT_EQ(zoom.text, "Zoom &in");

    // A handler but no update handler: enabled. No handler at all: disabled, unless the
    // frame switched automatic disabling off.
    EXPECT_TRUE(platform::QueryCommandState(&wnd, ID_OPEN).enabled);
    EXPECT_FALSE(platform::QueryCommandState(&wnd, ID_NO_HANDLER).enabled);
    EXPECT_TRUE(platform::QueryCommandState(&wnd, ID_NO_HANDLER, false).enabled);

    // A command its update handler disables does not run, as a click cannot reach it.
    wnd.zoomEnabled = false;
    wnd.log.clear();
    EXPECT_FALSE(ClickCommand(wnd, ID_ZOOM_IN));
    Command(wnd, ID_ZOOM_IN);  // an accelerator or a stale menu
    EXPECT_TRUE(wnd.log.empty());
    wnd.zoomEnabled = true;
    EXPECT_TRUE(ClickCommand(wnd, ID_ZOOM_IN));
    EXPECT_EQ(wnd.log, (std::vector<std::string>{"zoom in"}));
}

namespace {

class TestApp : public CWinApp {
public:
    std::vector<std::string> log;

protected:
    void OnHelp() { log.push_back("app help"); }
    void OnUpdateHelp(CCmdUI* ui) { ui->SetCheck(1); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestApp, CWinApp)
    ON_COMMAND(ID_HELP_CONTENTS, OnHelp)
    ON_UPDATE_COMMAND_UI(ID_HELP_CONTENTS, OnUpdateHelp)
END_MESSAGE_MAP()

// A view inside a frame; the frame gives its active view the first go at a command, then
// itself, then (as a top-level window) the application.
class TestView : public CWnd {
public:
    std::vector<std::string>* log = nullptr;

protected:
    void OnZoomIn() { log->push_back("view zoom in"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestView, CWnd)
    ON_COMMAND(ID_ZOOM_IN, OnZoomIn)
END_MESSAGE_MAP()

class TestFrame : public CWnd {
public:
    TestView view;
    std::vector<std::string> log;
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override
    {
        if (view.OnCmdMsg(id, code, extra, info)) return TRUE;
        return CWnd::OnCmdMsg(id, code, extra, info);
    }

protected:
    void OnOpen() { log.push_back("frame open"); }
    void OnZoomIn() { log.push_back("frame zoom in"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestFrame, CWnd)
    ON_COMMAND(ID_OPEN, OnOpen)
    ON_COMMAND(ID_ZOOM_IN, OnZoomIn)
END_MESSAGE_MAP()

}  // namespace

TEST(CommandRouting, ViewThenFrameThenApplication)
{
    TestApp app;
    TestFrame frame;
    ASSERT_TRUE(frame.CreateEx(0, nullptr, "frame", WS_OVERLAPPEDWINDOW, Frame(), nullptr, 0));
    ASSERT_TRUE(frame.view.Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 100, 100), &frame, 1));
    frame.view.log = &frame.log;

    EXPECT_TRUE(ClickCommand(frame, ID_ZOOM_IN));
    EXPECT_TRUE(ClickCommand(frame, ID_OPEN));
    EXPECT_TRUE(ClickCommand(frame, ID_HELP_CONTENTS));
    EXPECT_FALSE(ClickCommand(frame, ID_NO_HANDLER));
    EXPECT_EQ(frame.log, (std::vector<std::string>{"view zoom in", "frame open"}));
    EXPECT_EQ(app.log, (std::vector<std::string>{"app help"}));
    EXPECT_EQ(platform::QueryCommandState(&frame, ID_HELP_CONTENTS).checked, 1);

    // A child window does not hand its commands to the application.
    EXPECT_FALSE(platform::QueryCommandState(&frame.view, ID_HELP_CONTENTS).enabled);
}

namespace {

class SubclassedText : public CWnd {
public:
    std::vector<std::string> seen;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SETTEXT) seen.push_back(std::string("set ") + reinterpret_cast<LPCTSTR>(lParam));
        if (message == WM_GETTEXT) seen.push_back("get");
        return CWnd::WindowProc(message, wParam, lParam);
    }

protected:
    LRESULT OnGetTextLength(WPARAM, LPARAM) { return Default() + 2; }
    LRESULT OnGetText(WPARAM size, LPARAM buffer)
    {
        // Shows the stored text in brackets, as a control that decorates its text would.
        CString stored;
        std::vector<char> inner(static_cast<std::size_t>(size));
        DefWindowProc(WM_GETTEXT, size, reinterpret_cast<LPARAM>(inner.data()));
        const CString shown = CString("[") + inner.data() + "]";
        std::snprintf(reinterpret_cast<char*>(buffer), size, "%s", shown.c_str());
        return std::min<LRESULT>(shown.GetLength(), static_cast<LRESULT>(size) - 1);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SubclassedText, CWnd)
    ON_MESSAGE(WM_GETTEXTLENGTH, OnGetTextLength)
    ON_MESSAGE(WM_GETTEXT, OnGetText)
END_MESSAGE_MAP()

}  // namespace

TEST(MessageMap, WindowTextGoesThroughMessagesSoSubclassesSeeIt)
{
    SubclassedText wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "first", WS_OVERLAPPEDWINDOW, Frame(), nullptr, 0));
    wnd.SetWindowText("Viewer: no file");
    CString text;
    wnd.GetWindowText(text);
    EXPECT_EQ(text, "[Viewer: no file]");
    char small[6];
    EXPECT_EQ(wnd.GetWindowText(small, sizeof small), 5);
    EXPECT_STREQ(small, "[View");
    EXPECT_EQ(wnd.seen, (std::vector<std::string>{"set Viewer: no file", "get", "get"}));
    EXPECT_EQ(wnd.GetWidget()->window()->windowTitle().toStdString(), "Viewer: no file");
}
