#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/app/win_app.h"
#include "platform/window/ui_thread.h"
#include "platform/window/wnd.h"

namespace {

class IdleWnd : public CWnd {
public:
    int updates = 0;

protected:
    LRESULT OnIdleUpdate(WPARAM disableIfNoHandler, LPARAM)
    {
        if (disableIfNoHandler) ++updates;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(IdleWnd, CWnd)
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdate)
END_MESSAGE_MAP()

class MainOwnerWnd : public CWnd {
public:
    void PostNcDestroy() override { delete this; }
};

class TestApp : public CWinApp {
public:
    TestApp() : CWinApp("Test App") {}
    std::vector<std::string> log;
    IdleWnd* bar = nullptr;
    BOOL InitInstance() override
    {
        auto* owner = new MainOwnerWnd;
        if (!owner->CreateEx(0, nullptr, "TARVENIX v2.0", WS_SYSMENU, CRect(0, 0, 0, 0), nullptr, 0))
            return FALSE;
        m_pMainWnd = owner;
        return TRUE;
    }
    int ExitInstance() override
    {
        log.push_back("exit");
        return 7;
    }
};

}  // namespace

TEST(Application, RunEndsWhenTheMainWindowIsDestroyedAndIdleRefreshesCommandStates)
{
    TestApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_STREQ(AfxGetAppName(), "Test App");
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(AfxGetMainWnd(), app.m_pMainWnd);

    IdleWnd frame, bar, hidden;
    ASSERT_TRUE(frame.CreateEx(0, nullptr, "Viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 50, 50),
                               nullptr, 0));
    ASSERT_TRUE(bar.Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 50, 10), &frame, 1));
    ASSERT_TRUE(hidden.CreateEx(0, nullptr, "Hidden", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));

    // The loop runs: once idle, the command states are refreshed; then the main window
    // goes and the loop ends with ExitInstance's code.
    platform::PostToUiThread([&] {
        platform::PostToUiThread([&] {
            if (frame.updates > 0 && bar.updates > 0)
                app.m_pMainWnd->DestroyWindow();
            else
                platform::PostToUiThread([&] { app.m_pMainWnd->DestroyWindow(); });
        });
    });
    EXPECT_EQ(app.Run(), 7);
    EXPECT_EQ(app.log, (std::vector<std::string>{"exit"}));
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    EXPECT_GT(frame.updates, 0);
    EXPECT_GT(bar.updates, 0);
    EXPECT_EQ(hidden.updates, 0);
}
