#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "modules/texture/exports.h"
#include "outside/splash/splash.h"
#include "platform/window/message_map.h"
#include "platform/window/wnd.h"

namespace {

// Stands in for the splash program's window and keeps what each WM_COPYDATA carried.
class RecordingSplash : public CWnd {
public:
    bool Make()
    {
        AfxRegisterClass(kSplashWindowClass, 0);
        return CreateEx(0, kSplashWindowClass, kSplashWindowTitle, WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0);
    }
    std::vector<std::pair<std::uintptr_t, std::string>> received;

protected:
    BOOL OnCopyData(CWnd*, COPYDATASTRUCT* data)
    {
        received.emplace_back(data->dwData,
                              std::string(static_cast<const char*>(data->lpData), data->cbData));
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RecordingSplash, CWnd)
    ON_WM_COPYDATA()
END_MESSAGE_MAP()

TEST(TextureModule, SplashHearsTheModuleLoadingWithoutATerminatingZero)
{
    EXPECT_FALSE(AnnounceTextureModule()) << "no splash window: nothing is sent";
    RecordingSplash splash;
    ASSERT_TRUE(splash.Make());
    EXPECT_TRUE(AnnounceTextureModule());
    ASSERT_EQ(splash.received.size(), 1u);
    EXPECT_EQ(splash.received[0].first, 1u);
    EXPECT_EQ(splash.received[0].second, "Texture Module Initializing...");
    EXPECT_EQ(splash.received[0].second.size(), 30u);
    splash.DestroyWindow();
}

}  // namespace
