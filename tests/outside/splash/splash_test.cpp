#include "outside/splash/splash.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/window/message_map.h"
#include "platform/window/messages.h"
#include "platform/window/wnd.h"

namespace {

struct Received {
    std::uintptr_t kind;
    std::string bytes;
    HWND sender;
    bool operator==(const Received&) const = default;
};

// Stands in for the splash program's window: keeps what each WM_COPYDATA carried.
class RecordingSplash : public CWnd {
public:
    std::vector<Received> received;

    bool Make(const char* title, CWnd* parent = nullptr)
    {
        AfxRegisterClass(kSplashWindowClass, 0);
        const DWORD style = parent ? WS_CHILD : WS_POPUP;
        return CreateEx(0, kSplashWindowClass, title, style, CRect(0, 0, 1, 1), parent, 0);
    }

protected:
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* data)
    {
        received.push_back({data->dwData, std::string(static_cast<const char*>(data->lpData), data->cbData),
                            sender ? sender->GetSafeHwnd() : nullptr});
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RecordingSplash, CWnd)
    ON_WM_COPYDATA()
END_MESSAGE_MAP()

}  // namespace

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

    const std::vector<Received> expected = {{1, "PaneKit Module Initializing...", nullptr},
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
