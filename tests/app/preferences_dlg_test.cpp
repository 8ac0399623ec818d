#include "app/preferences_dlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QImage>

#include "app/preferences_resources.h"
#include "outside/basecore/mru_list.h"
#include "outside/basecore/settings.h"
#include "platform/common_dialogs/file_dialog.h"
#include "platform/controls/button.h"
#include "tests/app/registry_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::Responder;

namespace {

constexpr const char* kGeneral = "\\Settings\\General";

CString Text(CWnd& dlg, int id)
{
    CString text;
    if (CWnd* item = dlg.GetDlgItem(id)) item->GetWindowText(text);
    return text;
}

void Type(CWnd& dlg, int id, const char* text)
{
    if (CWnd* item = dlg.GetDlgItem(id)) item->SetWindowText(text);
}

void Click(CWnd& dlg, int id)
{
    if (CWnd* item = dlg.GetDlgItem(id)) item->SendMessage(BM_CLICK);
}

std::vector<CString> RecentWorkDirs()
{
    CMRUList recent;
    recent.SetRegKey("\\Settings\\General\\MRUWorkDir");
    recent.BuildRecentList();
    std::vector<CString> items;
    recent.GetListItems(items);
    return items;
}

/// Runs the dialog; `act` is what the user does before the closing command.
INT_PTR RunPreferences(int command, const std::function<void(CPreferencesDlg&)>& act)
{
    Responder().AnswerDialogCommand(command).Doing(
        [&](CWnd& wnd) { act(static_cast<CPreferencesDlg&>(wnd)); });
    CPreferencesDlg dlg;
    return dlg.DoModal();
}

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        regtest::DeleteKeyTree(HKEY_CURRENT_USER, GetAppSubKey("\\Settings\\General"));
        m_startDir = std::filesystem::current_path();
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_startDir);
        regtest::DeleteKeyTree(HKEY_CURRENT_USER, GetAppSubKey("\\Settings\\General"));
    }

    tarvenix::test::TempDir m_dir;
    std::filesystem::path m_startDir;
};

}  // namespace

TEST_F(PreferencesTest, OpeningShowsTheStoredValuesAndTheRecentWorkFoldersNewestFirst)
{
    SetStringValue(kGeneral, "TempDir", "/var/tmp/tvx");
    SetStringValue(kGeneral, "WorkDir", "/data/now");
    SetStringValue(kGeneral, "PaletteDir", "/data/palettes");
    SetStringValue(kGeneral, "HelpFile", "/opt/help/default.htm");
    SetStringValue(kGeneral, "KernelsDir", "/data/kernels");
    CMRUList recent;
    recent.SetRegKey("\\Settings\\General\\MRUWorkDir");
    recent.AddToHead("/data/older");
    recent.AddToHead("/data/old");

    RunPreferences(IDCANCEL, [](CPreferencesDlg& dlg) {
        EXPECT_EQ(Text(dlg, IDC_PREF_TEMP_DIR), "/var/tmp/tvx");
        EXPECT_EQ(Text(dlg, IDC_PREF_PALETTE_DIR), "/data/palettes");
        EXPECT_EQ(Text(dlg, IDC_PREF_HELP_FILE), "/opt/help/default.htm");
        EXPECT_EQ(Text(dlg, IDC_PREF_KERNELS_DIR), "/data/kernels");
        EXPECT_EQ(Text(dlg, IDC_PREF_WORK_DIR), "/data/now");
        auto* combo = static_cast<CComboBox*>(dlg.GetDlgItem(IDC_PREF_WORK_DIR));
        ASSERT_EQ(combo->GetCount(), 3);
        std::vector<CString> shown(3);
        for (int i = 0; i < 3; ++i) combo->GetLBText(i, shown[static_cast<size_t>(i)]);
        EXPECT_EQ(shown, (std::vector<CString>{"/data/now", "/data/old", "/data/older"}));
        EXPECT_EQ(combo->GetCurSel(), 0);

        // The program's and the rows' pictures show, and the browse buttons carry theirs.
        const QImage icon = tarvenix::test::GrabWindow(*dlg.GetDlgItem(IDC_PREF_TEMP_BROWSE));
        bool folderColour = false;
        for (int y = 0; y < icon.height() && !folderColour; ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (icon.pixel(x, y) == qRgb(236, 196, 80)) folderColour = true;
        EXPECT_TRUE(folderColour) << "the folder picture is missing on the browse button";
        tarvenix::test::PumpEvents();
        EXPECT_FALSE(
            tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(dlg), "preferences").empty());
    });
}

TEST_F(PreferencesTest, ClosingWritesAsTheUserLeftIt)
{
    const std::string work = (m_dir.Path() / "work").string();
    std::filesystem::create_directory(work);

    struct Case {
        const char* name;
        int command;
        bool fill;  // the user fills every field; else clears them all
    };
    const Case cases[] = {
        {"OK with every field filled", IDOK, true},
        {"OK with every field empty", IDOK, false},
        {"Cancel after filling", IDCANCEL, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        regtest::DeleteKeyTree(HKEY_CURRENT_USER, GetAppSubKey(kGeneral));
        std::filesystem::current_path(m_startDir);
        SetStringValue(kGeneral, "WorkDir", "/data/before");
        const std::vector<regtest::Value> before = regtest::Values(GetAppSubKey(kGeneral));

        RunPreferences(c.command, [&](CPreferencesDlg& dlg) {
            Type(dlg, IDC_PREF_TEMP_DIR, c.fill ? "/tmp/t" : "");
            Type(dlg, IDC_PREF_HELP_FILE, c.fill ? "/opt/help/default.htm" : "");
            Type(dlg, IDC_PREF_WORK_DIR, c.fill ? work.c_str() : "");
            Type(dlg, IDC_PREF_PALETTE_DIR, c.fill ? "/p" : "");
            Type(dlg, IDC_PREF_KERNELS_DIR, c.fill ? "/k" : "");
        });

        const std::vector<regtest::Value> after = regtest::Values(GetAppSubKey(kGeneral));
        if (c.command == IDCANCEL) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(std::filesystem::current_path(), m_startDir);
            // Opening alone put the stored work folder at the head of the list.
            EXPECT_EQ(RecentWorkDirs(), std::vector<CString>{"/data/before"});
            continue;
        }
        // The first value was set before the dialog ran; the dialog writes in its order.
        const std::vector<regtest::Value> expected = {
            {"WorkDir", c.fill ? work : ""},
            {"TempDir", c.fill ? "/tmp/t" : ""},
            {"HelpFile", c.fill ? "/opt/help/default.htm" : ""},
            {"PaletteDir", c.fill ? "/p" : ""},
            {"KernelsDir", c.fill ? "/k" : ""},
        };
        EXPECT_EQ(after, expected);
        if (c.fill) {
            EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(work));
            EXPECT_EQ(RecentWorkDirs(), (std::vector<CString>{work.c_str(), "/data/before"}));
        } else {
            EXPECT_EQ(std::filesystem::current_path(), m_startDir);
            EXPECT_EQ(RecentWorkDirs(), std::vector<CString>{"/data/before"});
        }
    }
}

TEST_F(PreferencesTest, BrowseButtonsAskWithTheirTitlesAndStoreTheFolderWithoutTrailingSlash)
{
    struct Case {
        int button;
        int field;
        const char* title;
        const char* chosen;
        const char* stored;
    };
    const Case cases[] = {
        {IDC_PREF_TEMP_BROWSE, IDC_PREF_TEMP_DIR, "Select TEMP FOLDER name", "/tmp/scratch/", "/tmp/scratch"},
        {IDC_PREF_WORK_BROWSE, IDC_PREF_WORK_DIR, "Select WORK FOLDER name", "/data/work", "/data/work"},
        {IDC_PREF_PALETTE_BROWSE, IDC_PREF_PALETTE_DIR, "Select PALETTE FOLDER name", "/", "/"},
        {IDC_PREF_KERNELS_BROWSE, IDC_PREF_KERNELS_DIR, "Select KERNELS FOLDER name", "/k//", "/k/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        Responder().Reset();
        RunPreferences(IDCANCEL, [&](CPreferencesDlg& dlg) {
            // Typed into another row before browsing: it must survive the browse.
            const int other = c.field == IDC_PREF_TEMP_DIR ? IDC_PREF_KERNELS_DIR : IDC_PREF_TEMP_DIR;
            Type(dlg, other, "/typed");
            Responder().AnswerFolder(c.chosen);
            Click(dlg, c.button);
            EXPECT_EQ(Text(dlg, c.field), c.stored);
            EXPECT_EQ(Text(dlg, other), "/typed");

            Responder().CancelFolder();
            Click(dlg, c.button);
            EXPECT_EQ(Text(dlg, c.field), c.stored);
        });
        const auto& asked = Responder().Asked();
        ASSERT_EQ(asked.size(), 3u);  // the dialog, then the picker twice
        EXPECT_EQ(asked[1].kind, tarvenix::test::Question::Kind::Folder);
        EXPECT_EQ(asked[1].caption, c.title);
    }
}

TEST_F(PreferencesTest, HelpFileButtonOffersHtmlPagesAndCompiledHelp)
{
    RunPreferences(IDCANCEL, [](CPreferencesDlg& dlg) {
        Responder().AnswerFile({"/opt/tarvenix/help/default.htm"});
        Click(dlg, IDC_PREF_HELP_BROWSE);
        EXPECT_EQ(Text(dlg, IDC_PREF_HELP_FILE), "/opt/tarvenix/help/default.htm");
    });
    const auto& asked = Responder().Asked();
    ASSERT_EQ(asked.size(), 2u);
    const std::vector<platform::FileFilter> filters = platform::ParseFileFilter(asked[1].file.filter);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].description.Left(10), "Help Files");
    EXPECT_EQ(filters[0].patterns, (std::vector<CString>{"*.htm", "*.chm"}));
    EXPECT_FALSE(asked[1].file.save);
}
