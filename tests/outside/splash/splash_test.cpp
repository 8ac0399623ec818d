#include "outside/splash/splash.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/window/messages.h"
#include "platform/window/wnd.h"
#include "tests/support/recording_splash.h"

using tarvenix::test::RecordingSplash;

TEST(SplashText, ReachesTheSplashWindowWithoutItsTerminatingZero)
{
    RecordingSplash splash, otherTitle;
    ASSERT_TRUE(otherTitle.Make("Not The Splash"));
    ASSERT_TRUE(splash.Make(kSplashWindowTitle));
    CWnd commandWindow;
    ASSERT_TRUE(
        commandWindow.CreateEx(0, nullptr, "Command", WS_OVERLAPPEDWINDOW, CRect(0, 0, 1, 1), nullptr, 0));

    EXPECT_TRUE(SendSplashText("PaneKit Module Initializing..."));
    EXPECT_TRUE(SendSplashText("Main Dialog Initialized...", 0, commandWindow.GetSafeHwnd()));
    EXPECT_TRUE(SendSplashText(""));

    const std::vector<RecordingSplash::Text> expected = {
        {1, "PaneKit Module Initializing...", nullptr},
        {0, "Main Dialog Initialized...", commandWindow.GetSafeHwnd()},
        {1, "", nullptr}};
    EXPECT_EQ(splash.received, expected);
    EXPECT_EQ(splash.received[0].bytes.size(), std::string("PaneKit Module Initializing...").size());
    EXPECT_TRUE(otherTitle.received.empty());
}

TEST(SplashText, WithoutATopLevelSplashWindowNothingIsSent)
{
    EXPECT_FALSE(SendSplashText("Texture Module Initializing..."));

    // A child window of that class and title is no splash window, nor is a destroyed one.
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "Owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 1, 1), nullptr, 0));
    RecordingSplash child, gone;
    ASSERT_TRUE(child.Make(kSplashWindowTitle, &owner));
    ASSERT_TRUE(gone.Make(kSplashWindowTitle));
    gone.DestroyWindow();

    EXPECT_FALSE(SendSplashText("Texture Module Initializing..."));
    EXPECT_FALSE(SendSplashText(nullptr));
    EXPECT_TRUE(child.received.empty());
    EXPECT_TRUE(gone.received.empty());
}
