#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "modules/texture/exports.h"
#include "outside/splash/splash.h"
#include "tests/support/recording_splash.h"

namespace {

using tarvenix::test::RecordingSplash;

TEST(TextureModule, SplashHearsTheModuleLoadingWithoutATerminatingZero)
{
    EXPECT_FALSE(AnnounceTextureModule()) << "no splash window: nothing is sent";
    RecordingSplash splash;
    ASSERT_TRUE(splash.Make());
    EXPECT_TRUE(AnnounceTextureModule());
    ASSERT_EQ(splash.received.size(), 1u);
    EXPECT_EQ(splash.received[0].kind, 1u);
    EXPECT_EQ(splash.received[0].bytes, "Texture Module Initializing...");
    EXPECT_EQ(splash.received[0].bytes.size(), 30u);
    splash.DestroyWindow();
}

}  // namespace
