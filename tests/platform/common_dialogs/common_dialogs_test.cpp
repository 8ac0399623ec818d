#include <fstream>

#include <gtest/gtest.h>

#include "platform/app/win_app.h"
#include "platform/common_dialogs/color_dialog.h"
#include "platform/common_dialogs/file_dialog.h"
#include "platform/common_dialogs/folder_browser.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

using namespace tarvenix::test;

namespace {

void Touch(const std::string& path)
{
    std::ofstream(path) << "x";
}

}  // namespace

TEST(FileFilter, SplitsTheBarFormIntoDescriptionsAndPatterns)
{
    struct Case {
        const char* filter;
        std::vector<std::pair<const char*, std::vector<const char*>>> expected;
    };
    const Case cases[] = {
        {"Tarvenix file (*.rdp)|*.rdp|Text file (*.txt)|*.txt|Windows Bitmap file (*.bmp)|*.bmp||",
         {{"Tarvenix file (*.rdp)", {"*.rdp"}},
          {"Text file (*.txt)", {"*.txt"}},
          {"Windows Bitmap file (*.bmp)", {"*.bmp"}}}},
        {"Images|*.png; *.bmp;*.jpg|All files (*.*)|*.*||",
         {{"Images", {"*.png", "*.bmp", "*.jpg"}}, {"All files (*.*)", {"*.*"}}}},
        {"No end|*.a", {{"No end", {"*.a"}}}},
        {"Lonely description||", {}},
        {"", {}},
        {"A|*.a||B|*.b||", {{"A", {"*.a"}}}},  // "||" ends the list
    };
    for (const Case& c : cases) {
        const std::vector<platform::FileFilter> filters = platform::ParseFileFilter(c.filter);
        ASSERT_EQ(filters.size(), c.expected.size()) << c.filter;
        for (std::size_t i = 0; i < filters.size(); ++i) {
            EXPECT_EQ(filters[i].description, c.expected[i].first) << c.filter;
            ASSERT_EQ(filters[i].patterns.size(), c.expected[i].second.size()) << c.filter;
            for (std::size_t k = 0; k < filters[i].patterns.size(); ++k)
                EXPECT_EQ(filters[i].patterns[k], c.expected[i].second[k]) << c.filter;
        }
    }
}

TEST(FileFilter, ListsEachDescriptionWithItsPatternsNamedOnce)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Kelvora Project (*.ktp)|*.ktp||", "Kelvora Project (*.ktp)"},
        {"Images|*.png;*.bmp||", "Images (*.png *.bmp)"},
        {"Images (*.png;*.bmp)|*.png;*.bmp||", "Images (*.png;*.bmp)"},
        {"RDP files|*.rdp||", "RDP files (*.rdp)"},
        {"Old (*.rdp)|*.new||", "Old (*.rdp) (*.new)"},
    };
    for (const auto& [filter, shown] : cases) {
        const std::vector<platform::FileFilter> filters = platform::ParseFileFilter(filter);
        ASSERT_EQ(filters.size(), 1u) << filter;
        EXPECT_EQ(platform::FileFilterText(filters[0]), shown) << filter;
    }
}

TEST(FileDialog, SaveAppendsTheDefaultExtensionAndAsksBeforeOverwriting)
{
    CWinApp app("Tarvenix");
    TempDir dir;
    Touch(dir.File("scene.rdp"));
    const char* filter = "Tarvenix files (*.rdp)|*.rdp|All files (*.*)|*.*||";

    CFileDialog save(FALSE, "rdp", "New File.rdp", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter);
    save.m_ofn.lpstrInitialDir = dir.Path().c_str();
    // "scene" gets ".rdp", exists: the user says No and is asked again, then picks a new name.
    Responder().AnswerFile({dir.File("scene").c_str()}, 1);
    Responder().AnswerMessageBox(IDNO);
    Responder().AnswerFile({dir.File("other").c_str()}, 2);
    ASSERT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), dir.File("other.rdp"));
    EXPECT_EQ(save.GetFileName(), "other.rdp");
    EXPECT_EQ(save.GetFileExt(), "rdp");
    EXPECT_EQ(save.GetFileTitle(), "other");
    EXPECT_EQ(save.m_ofn.nFilterIndex, 2u);
    EXPECT_STREQ(save.m_ofn.lpstrFile, dir.File("other.rdp").c_str());

    const std::vector<Question>& asked = Responder().Asked();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_TRUE(asked[0].file.save);
    EXPECT_TRUE(asked[0].file.overwritePrompt);
    EXPECT_EQ(asked[0].file.fileName, "New File.rdp");
    EXPECT_EQ(asked[0].file.initialDir, dir.Path().string());
    EXPECT_EQ(asked[0].file.filter, filter);
    EXPECT_EQ(asked[1].text, "scene.rdp already exists.\nDo you want to replace it?");
    EXPECT_EQ(asked[1].Buttons(), MB_YESNO);
    EXPECT_EQ(asked[2].file.fileName, "scene.rdp");  // asked again with the name the user gave
    Responder().Reset();

    // Yes replaces; a name with an extension keeps it; no prompt without the flag.
    CFileDialog again(FALSE, "rdp", nullptr, OFN_OVERWRITEPROMPT, filter);
    Responder().AnswerFile({dir.File("scene.rdp").c_str()});
    Responder().AnswerMessageBox(IDYES);
    ASSERT_EQ(again.DoModal(), IDOK);
    EXPECT_EQ(again.GetPathName(), dir.File("scene.rdp"));
    CFileDialog quiet(FALSE, nullptr, nullptr, 0, filter);
    Responder().AnswerFile({dir.File("scene.rdp").c_str()});
    ASSERT_EQ(quiet.DoModal(), IDOK);
    CFileDialog noExt(FALSE, nullptr, nullptr, 0, filter);
    Responder().AnswerFile({dir.File("plain").c_str()});
    ASSERT_EQ(noExt.DoModal(), IDOK);
    EXPECT_EQ(noExt.GetFileExt(), "");
    EXPECT_EQ(noExt.GetFileTitle(), "plain");

    CFileDialog cancelled(FALSE, "rdp");
    Responder().CancelFile();
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(cancelled.GetPathName(), "");
    EXPECT_EQ(Responder().Unused(), 0u);
    Responder().Reset();
}

TEST(FileDialog, OpenWithFileMustExistSaysSoAndAsksAgain)
{
    CWinApp app("Tarvenix");
    TempDir dir;
    Touch(dir.File("input.rdp"));
    CFileDialog open(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_SHAREAWARE,
                     "Tarvenix files (*.rdp)|*.rdp||");
    Responder().AnswerFile({dir.File("missing.rdp").c_str()});
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerFile({dir.File("input.rdp").c_str()});
    ASSERT_EQ(open.DoModal(), IDOK);
    EXPECT_EQ(open.GetPathName(), dir.File("input.rdp"));
    ASSERT_EQ(Responder().Asked().size(), 3u);
    EXPECT_FALSE(Responder().Asked()[0].file.save);
    EXPECT_EQ(Responder().Asked()[1].text,
              "missing.rdp\nFile not found.\nCheck the file name and try again.");
    EXPECT_EQ(Responder().Asked()[1].caption, "Open");
    Responder().Reset();
}

TEST(ColorDialog, ReturnsTheChosenColourAndKeepsItOnCancel)
{
    CColorDialog dialog(RGB(10, 20, 30));
    Responder().AnswerColor(RGB(200, 100, 50));
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetColor(), RGB(200, 100, 50));
    EXPECT_EQ(Responder().Asked()[0].color.initial, RGB(10, 20, 30));
    Responder().CancelColor();
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.GetColor(), RGB(200, 100, 50));
    Responder().Reset();
}

TEST(FolderBrowser, ReturnsAnItemListThatGivesThePath)
{
    TempDir dir;
    char name[MAX_PATH] = "";
    BROWSEINFO info;
    info.pidlRoot = ILCreateFromPath(dir.Path().c_str());
    info.pszDisplayName = name;
    info.lpszTitle = "Work folder";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    Responder().AnswerFolder((dir.Path() / "maps").c_str());
    LPITEMIDLIST chosen = SHBrowseForFolder(&info);
    ASSERT_NE(chosen, nullptr);
    EXPECT_STREQ(name, "maps");
    char path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDList(chosen, path));
    EXPECT_EQ(std::string(path), (dir.Path() / "maps").string());
    EXPECT_EQ(Responder().Asked()[0].folder.initialDir, dir.Path().string());
    EXPECT_EQ(Responder().Asked()[0].caption, "Work folder");
    LPMALLOC allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    allocator->Free(chosen);
    allocator->Release();
    ILFree(const_cast<LPITEMIDLIST>(info.pidlRoot));
    info.pidlRoot = nullptr;

    Responder().CancelFolder();
    EXPECT_EQ(SHBrowseForFolder(&info), nullptr);
    EXPECT_FALSE(SHGetPathFromIDList(nullptr, path));
    Responder().Reset();
}
