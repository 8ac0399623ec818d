// The plug-in's windows among the program's own, as a user meets them: the window the user
// works in stays on top and the others keep their places after a job or a minimise, the
// owner window never shows on the screen, and a modal picker stays above a navigator kept on
// top.

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/window/nonclient.h"
#include "platform/window/wnd.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_dll_main.h"
#include "plugin3d/forms/k_thread_form.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;

namespace {

/// The titles of the windows a user sees, the topmost first.
std::vector<std::string> ShownOrder()
{
    std::vector<std::string> titles;
    for (HWND h : platform::TopLevelZOrder()) {
        CWnd* wnd = CWnd::FromHandle(h);
        if (!wnd || !wnd->IsWindowVisible() || wnd->IsIconic() || platform::IsShownOffScreen(h)) continue;
        CString title;
        wnd->GetWindowText(title);
        titles.emplace_back(static_cast<const char*>(title));
    }
    return titles;
}

std::string ActiveTitle()
{
    CWnd* active = CWnd::GetActiveWindow();
    if (!active) return "(none)";
    CString title;
    active->GetWindowText(title);
    return static_cast<const char*>(title);
}

struct HeldJob {
    std::atomic<bool> release{false};
    void Run(TKThread*, TKThreadParams*)
    {
        while (!release) Sleep(1);
    }
};

// The program's command window and a 2D viewer beside the plug-in's windows.
class PluginAmongProgramWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitializeUnits(&kDllMainUnit, 1);
        ASSERT_TRUE(viewer.CreateEx(0, nullptr, "Viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    CRect(300, 200, 700, 500), nullptr, 0));
        ASSERT_TRUE(command.CreateEx(0, nullptr, "Command", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     CRect(20, 20, 420, 120), nullptr, 0));
        command.SetActiveWindow();
        PumpEvents();
    }
    void TearDown() override
    {
        FinalizeUnits(&kDllMainUnit, 1);
        PumpEvents();
    }
    TDllMainForm* Owner() { return DllMainForm(); }
    TKAdministrator* Admin() { return Owner()->Administrator(); }

    CWnd viewer, command;
};

TEST_F(PluginAmongProgramWindows, AfterAJobOrAMinimiseTheWindowWorkedInStaysOnTop)
{
    DllShowForms();
    PumpEvents();
    const std::vector<std::string> withAdmin{"KAdministrator", "Command", "Viewer"};
    ASSERT_EQ(ShownOrder(), withAdmin);
    EXPECT_EQ(ActiveTitle(), "KAdministrator");

    // A job's progress form comes up over the administrator and goes at its end: the user
    // is back in the administrator, and no window of the program has moved.
    HeldJob job;
    RunJobInForm("Job", nullptr, {}, TKJob::Of<&HeldJob::Run>(&job), false);
    PumpEvents();
    EXPECT_EQ(ShownOrder(), (std::vector<std::string>{"Progress", "KAdministrator", "Command", "Viewer"}));
    job.release = true;
    ASSERT_TRUE(PumpUntil([&] { return ShownOrder() == withAdmin; }));
    PumpEvents();
    EXPECT_EQ(ShownOrder(), withAdmin);
    EXPECT_EQ(ActiveTitle(), "KAdministrator");

    // Minimised through the owner: the command window below it takes over where it lies,
    // and the viewer stays under it.
    ::PostMessage(Admin()->GetSafeHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    PumpEvents();
    EXPECT_FALSE(Admin()->IsWindowVisible());
    EXPECT_EQ(ShownOrder(), (std::vector<std::string>{"Command", "Viewer"}));
    EXPECT_EQ(ActiveTitle(), "Command");

    // Restored: the administrator comes back on top, the program's windows as they were.
    ::PostMessage(Owner()->GetSafeHwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpEvents();
    EXPECT_EQ(ShownOrder(), withAdmin);
    EXPECT_EQ(ActiveTitle(), "KAdministrator");
}

TEST_F(PluginAmongProgramWindows, TheOwnerStripNeverShowsOnTheScreen)
{
    DllShowForms();
    PumpEvents();
    const HWND owner = DllGetMainWnd();
    TKAdministrator* admin = Admin();
    // Shown as the plug-in's windows need it (it owns them), yet kept off the screen.
    EXPECT_TRUE(Owner()->IsWindowVisible());
    EXPECT_TRUE(platform::IsShownOffScreen(owner));
    const CRect before = admin->BoundsRect();

    // The administrator moves away: nothing is left where it was.
    tarvenix::test::DragWindow(*admin, HTCAPTION, CSize(150, 120));
    PumpEvents();
    ASSERT_NE(admin->BoundsRect().TopLeft(), before.TopLeft());
    const POINT oldTop{before.left + before.Width() / 2, before.top};
    const HWND atOldTop = ::WindowFromPoint(oldTop);
    EXPECT_NE(atOldTop, owner);
    for (const CPoint at : {CPoint(before.left + 1, before.top), CPoint(before.right - 2, before.top)})
        EXPECT_NE(::WindowFromPoint(at), owner);
    EXPECT_EQ(ShownOrder().front(), "KAdministrator");  // the strip is no window of its own

    // Minimised and restored, it stays off the screen and its windows come back.
    ::PostMessage(admin->GetSafeHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    PumpEvents();
    EXPECT_TRUE(Owner()->IsIconic());
    DllShowForms();
    PumpEvents();
    EXPECT_TRUE(admin->IsWindowVisible());
    EXPECT_TRUE(platform::IsShownOffScreen(owner));
}

}  // namespace
