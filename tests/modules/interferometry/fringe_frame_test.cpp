#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/fringe_resources.h"
#include "modules/common/tool_dlg.h"
#include "modules/common/window_spin.h"
#include "outside/splash/splash.h"
#include "platform/dialogs/dialog_template.h"
#include "tests/support/recording_splash.h"

namespace {

using tarvenix::test::RecordingSplash;

TEST(FringeModule, SplashHearsTheModuleOnlyWhenOneExists)
{
    EXPECT_FALSE(AnnounceFringeModule()) << "no splash window: nothing is sent";
    RecordingSplash splash;
    ASSERT_TRUE(splash.Make());
    EXPECT_TRUE(AnnounceFringeModule());
    ASSERT_EQ(splash.received.size(), 1u);
    EXPECT_EQ(splash.received[0].kind, 1u);
    // Sent without its terminating zero.
    EXPECT_EQ(splash.received[0].bytes, "Second Interferometric Module Initializing...");
    splash.DestroyWindow();
}

TEST(FringeModule, LoadingJoinedItsTemplatesAndTextsToTheChain)
{
    const std::pair<UINT, const char*> templates[] = {{IDD_DIFF, "Derivation"},
                                                      {IDD_PHASE_FILTR, "Phase filtration"},
                                                      {IDD_COHER, "Coherence calculation"},
                                                      {IDD_PHASE_UNWRAP, "Phase unwrapping"},
                                                      {IDD_FFT, "Spectrum Analysis"},
                                                      {IDD_COMPLEX_OPERATION, "Complex operations"}};
    for (auto [id, caption] : templates) {
        const platform::DialogTemplate* t = platform::FindDialogTemplate(id);
        ASSERT_TRUE(t) << id;
        EXPECT_STREQ(t->caption, caption);
    }
    CString text;
    ASSERT_TRUE(text.LoadString(IDS_BAD_INPUT_TYPE));
    EXPECT_EQ(std::string(text), "Invalid  input file type\n");
    EXPECT_EQ(std::string(LoadFringeText(IDS_CANT_OPEN)), "Can't open file: \r\n %s");
}

TEST(FringeModule, JobTitleIsTextColonAndTheFileNameWithNoBlank)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/data/run 1/scene.rdp", "Phase filtration:scene.rdp"},
        {"C:\\data\\scene.rdp", "Phase filtration:scene.rdp"},
        {"C:\\data/mixed\\last.rdp", "Phase filtration:last.rdp"},
        {"plain.rdp", "Phase filtration:plain.rdp"},
        {"/data/", "Phase filtration:"},
    };
    for (auto [path, title] : cases)
        EXPECT_EQ(std::string(ToolJobTitle("Phase filtration", path, false)), title) << path;
}

TEST(FringeModule, SpinPositionsGiveTheWindowSizesAndTheirTexts)
{
    const std::pair<int, const char*> cases[] = {{-1, "3x3"},  {0, "3x3"},   {1, "5x5"},
                                                 {6, "15x15"}, {7, "17x17"}, {8, "17x17"}};
    for (auto [pos, text] : cases) {
        const int size = WindowSizeOfSpin(pos, kFringeSpinLast);
        EXPECT_EQ(std::string(WindowSizeText(size)), text) << pos;
    }
}

}  // namespace
