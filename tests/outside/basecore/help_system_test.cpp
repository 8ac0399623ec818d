#include <fstream>
#include <vector>

#include <QUrl>
#include <gtest/gtest.h>

#include "outside/basecore/help_system.h"
#include "outside/basecore/settings.h"
#include "platform/shell/shell.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using tarvenix::test::Responder;
using tarvenix::test::TempDir;

// Records what would have been opened instead of starting a browser.
class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetShellOpenHook([this](const QUrl& url) {
            opened.push_back(url.toLocalFile().toStdString());
            return true;
        });
        SetStringValue("\\Settings\\General", "HelpFile", dir.Path().c_str());
        for (const char* page : {"default.htm", "processing_convolution.htm"})
            std::ofstream(dir.File(page)) << "<html></html>";
    }
    void TearDown() override
    {
        platform::SetShellOpenHook({});
        SetStringValue("\\Settings\\General", "HelpFile", "");
    }
    TempDir dir;
    std::vector<std::string> opened;
};

}  // namespace

TEST_F(HelpTest, OpensThePageFromThePreferencesFolderWhateverTheCaseOfItsName)
{
    EXPECT_EQ(CallHelpSystem(nullptr, "Processing_convolution.HTM"), 1);
    EXPECT_EQ(CallHelpSystem(nullptr, nullptr), 1);
    // The preference may name the help file itself; its folder holds the pages.
    SetStringValue("\\Settings\\General", "HelpFile", dir.File("tarvenix.chm").c_str());
    EXPECT_EQ(CallHelpSystem(nullptr, "default.htm"), 1);
    EXPECT_EQ(opened, (std::vector<std::string>{dir.File("processing_convolution.htm"),
                                                dir.File("default.htm"), dir.File("default.htm")}));
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST_F(HelpTest, MissingPageIsAMessageNotAFailureOfTheCaller)
{
    for (const char* page : {"Analysis_texture.HTM", "../default.htm"}) {
        SCOPED_TRACE(page);
        Responder().Reset();
        Responder().AnswerMessageBox(IDOK);
        EXPECT_EQ(CallHelpSystem(nullptr, page), 0);
        ASSERT_EQ(Responder().Asked().size(), 1u);
        EXPECT_EQ(Responder().Asked()[0].caption, "Help");
        EXPECT_EQ(Responder().Asked()[0].text, CString("The help page \"") + page + "\" was not found.");
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(HelpTest, WithoutAPreferenceThePagesBesideTheProgramAreUsed)
{
    SetStringValue("\\Settings\\General", "HelpFile", "");
    const CString folder = GetHelpFolder();
    EXPECT_TRUE(folder.GetLength() > 5 && folder.Right(5) == "/help") << folder.c_str();
}

TEST_F(HelpTest, WhenNoBrowserCanBeOpenedTheMessageSaysWhereThePageIs)
{
    platform::SetShellOpenHook([](const QUrl&) { return false; });
    Responder().Reset();
    Responder().AnswerMessageBox(IDOK);
    EXPECT_EQ(CallHelpSystem(nullptr, "Processing_convolution.HTM"), 0);
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(Responder().Asked()[0].caption, "Help");
    EXPECT_EQ(Responder().Asked()[0].text,
              CString("No browser could be opened for the help page. The page is at:\n") +
                  dir.File("processing_convolution.htm").c_str());
}
