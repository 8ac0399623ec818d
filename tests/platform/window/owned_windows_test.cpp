#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/window/nonclient.h"
#include "platform/window/wnd.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::PumpEvents;

namespace {

class ShowLoggingWnd : public CWnd {
public:
    std::vector<std::string> shows;
    void OnShowWindow(BOOL show, UINT status)
    {
        shows.push_back(std::string(show ? "show" : "hide") + " " + std::to_string(status));
        Default();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ShowLoggingWnd, CWnd)
    ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

BOOL MakeWindow(CWnd& wnd, const char* title, CWnd* owner = nullptr)
{
    return wnd.CreateEx(0, nullptr, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(50, 50, 350, 250), owner,
                        0);
}

/// Position in the stacking order, 0 at the top.
std::ptrdiff_t Depth(const CWnd& wnd)
{
    const std::vector<HWND> order = platform::TopLevelZOrder();
    return std::find(order.begin(), order.end(), wnd.GetSafeHwnd()) - order.begin();
}

}  // namespace

TEST(OwnedWindows, StayAboveTheirOwnerWhateverComesToTheTop)
{
    CWnd owner, other, toolDialog, histogram;
    ASSERT_TRUE(MakeWindow(owner, "Viewer"));
    ASSERT_TRUE(MakeWindow(toolDialog, "Tool", &owner));
    ASSERT_TRUE(MakeWindow(histogram, "Histogram", &toolDialog));  // owned in turn
    ASSERT_TRUE(MakeWindow(other, "Other viewer"));
    EXPECT_LT(Depth(other), Depth(owner));

    // Each way of bringing the owner up brings its owned windows with it, above it.
    const std::vector<std::function<void()>> raises = {
        [&] { owner.BringWindowToTop(); },
        [&] { owner.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); },
        [&] { owner.SetForegroundWindow(); },
        [&] { owner.SetActiveWindow(); },
        [&] { owner.ShowWindow(SW_SHOW); },
    };
    for (std::size_t i = 0; i < raises.size(); ++i) {
        SCOPED_TRACE(i);
        other.BringWindowToTop();
        EXPECT_EQ(Depth(other), 0);
        raises[i]();
        EXPECT_EQ(Depth(histogram), 0);
        EXPECT_EQ(Depth(toolDialog), 1);
        EXPECT_EQ(Depth(owner), 2);
        EXPECT_EQ(Depth(other), 3);
    }
    // Sending the owner down leaves its owned windows above it, and the first window of
    // the order is the topmost one.
    owner.SetWindowPos(&CWnd::wndBottom, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_LT(Depth(toolDialog), Depth(owner));
    EXPECT_EQ(other.GetWindow(GW_HWNDFIRST), &histogram);
    EXPECT_EQ(owner.GetWindow(GW_HWNDLAST), &owner);

    // A window disabled for a modal dialog it owns stays below the dialog when activated.
    CWnd modal;
    ASSERT_TRUE(MakeWindow(modal, "Modal", &other));
    other.EnableWindow(FALSE);
    other.BringWindowToTop();
    other.SetActiveWindow();
    EXPECT_EQ(Depth(modal) + 1, Depth(other));
    other.EnableWindow(TRUE);
}

TEST(OwnedWindows, HideAndShowWithTheirOwnerAndKeepWhatTheProgramDecided)
{
    ShowLoggingWnd owner, progress, tool, hiddenByProgram;
    ASSERT_TRUE(MakeWindow(owner, "Viewer"));
    ASSERT_TRUE(MakeWindow(progress, "Progress", &owner));
    ASSERT_TRUE(MakeWindow(tool, "Tool", &owner));
    ASSERT_TRUE(MakeWindow(hiddenByProgram, "Closed tool", &owner));
    hiddenByProgram.ShowWindow(SW_HIDE);
    PumpEvents();
    progress.shows.clear();
    hiddenByProgram.shows.clear();

    struct Step {
        int owner;
        bool ownedVisible;
    };
    const Step steps[] = {{SW_MINIMIZE, false}, {SW_RESTORE, true},        {SW_HIDE, false},
                          {SW_SHOW, true},      {SW_SHOWMINIMIZED, false}, {SW_SHOWMAXIMIZED, true}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.owner);
        owner.ShowWindow(step.owner);
        PumpEvents();
        EXPECT_EQ(progress.IsWindowVisible() != FALSE, step.ownedVisible);
        EXPECT_EQ(tool.IsWindowVisible() != FALSE, step.ownedVisible);
        EXPECT_FALSE(hiddenByProgram.IsWindowVisible());
        if (step.ownedVisible) EXPECT_LT(Depth(progress), Depth(owner));
    }
    EXPECT_EQ(progress.shows,
              (std::vector<std::string>{"hide 1", "show 3", "hide 1", "show 3", "hide 1", "show 3"}));
    EXPECT_TRUE(hiddenByProgram.shows.empty());

    // The program hides an owned window while its owner is away: it stays hidden afterwards.
    owner.ShowWindow(SW_MINIMIZE);
    tool.ShowWindow(SW_HIDE);
    owner.ShowWindow(SW_RESTORE);
    EXPECT_TRUE(progress.IsWindowVisible());
    EXPECT_FALSE(tool.IsWindowVisible());
}
