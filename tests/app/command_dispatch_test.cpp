#include <functional>
#include <string>
#include <vector>

#include "app/action_list_dlg.h"
#include "app/app_resources.h"
#include "app/command_dispatch.h"
#include "app/preferences_dlg.h"
#include "app/toolbars/tar_buttons.h"
#include "outside/basecore/outside_tool_dlg.h"
#include "platform/dialogs/dialog_template.h"
#include "app/toolbars/toolbar_ids.h"
#include "tests/app/app_fixture.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using namespace apptest;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;

namespace {

// What the recording entries were asked to open, in order, and the parent each import got.
std::vector<std::string> g_calls;
std::vector<CWnd*> g_importParents;

ToolEntries RecordingEntries()
{
    auto record = [](const char* name) { return [name] { g_calls.emplace_back(name); }; };
    ToolEntries e;
    e.filtr = record("Filtr_Files");
    e.convolution = record("Convolution_Files");
    e.calcGradient = record("CalcGradient_Files");
    e.coher = record("Coher_Files");
    e.fft = record("FFT_Files");
    e.phaseFiltr = record("PhaseFiltr_Files");
    e.operationComplex = record("Operation_Complex_Files");
    e.texture = record("Texture_Files");
    e.evaluteExpression = record("EvaluteExpression_Files");
    e.edgeDetect = record("EdgeDetect_Files");
    e.createNewFile = record("CreateNewFile_Files");
    e.threshold = record("Threshold_Files");
    e.replaceValue = record("ReplaceValue_Files");
    e.addNoise = record("AddNoise_Files");
    e.matrixProcess = record("MatrixProcess_Files");
    e.launchImport = [](CWnd* parent) {
        g_calls.emplace_back("LaunchImport");
        g_importParents.push_back(parent);
    };
    e.launchTypeChange = record("LaunchTypeChange");
    e.launchComplex = record("LaunchComplex");
    e.subset = record("Subset_Files");
    e.rotate = record("Rotate_Files");
    e.mirror = record("Mirror_Files");
    e.insert = record("Insert_Files");
    e.degrade = record("Degrade");
    return e;
}

class CommandDispatch : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        g_calls.clear();
        g_importParents.clear();
        m_previous = SetToolEntries(RecordingEntries());
        Start(R"(Tarvenix {DisableView})");
    }
    void TearDown() override
    {
        SetToolEntries(m_previous);
        AppTest::TearDown();
    }

    /// Chooses `id` from popup `popup` of the menu row, as a user does; `answerNext` queues
    /// the answers to what the command asks.
    void ChooseFromMenu(int popup, UINT id, const std::function<void()>& answerNext = {})
    {
        CWnd* button = Command().GetBand(0).GetContent()->GetButton(popup);
        ASSERT_NE(button, nullptr);
        Responder().AnswerPopupMenu(id);
        if (answerNext) answerNext();
        button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        button->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PumpEvents();
    }

    /// Shows page `page` with its selector, then clicks the button of command `id` on it.
    void ClickOnPage(int page, UINT id)
    {
        CWnd* selector = Command().GetBand(1).GetContent()->GetButton(page);
        ASSERT_NE(selector, nullptr);
        selector->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        selector->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PumpEvents();
        ASSERT_EQ(Command().GetCurrentPage(), page);
        CToolBarWindow* window = Command().GetPageWindow(page);
        CWnd* found = nullptr;
        for (int i = 0; i < window->GetButtonCount(); ++i) {
            auto* button = dynamic_cast<TarButtons*>(window->GetButton(i));
            if (button && button->GetCommandId() == id) found = button;
        }
        ASSERT_NE(found, nullptr) << "no button " << id << " on page " << page;
        found->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        found->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PumpEvents();
    }

private:
    ToolEntries m_previous;
};

struct ToolCommand {
    UINT id;
    int where;  // the menu row's popup, or the page, that shows it
    bool onPage;
    const char* entry;
};

// Every command that opens a tool, and the entry it must reach: the menu bar's items first,
// then the tool-bar pages' buttons.
constexpr ToolCommand kToolCommands[] = {
    {32893, 0, false, "CreateNewFile_Files"},
    {32903, 1, false, "Filtr_Files"},
    {32904, 1, false, "Convolution_Files"},
    {32864, 1, false, "PhaseFiltr_Files"},
    {32905, 1, false, "Coher_Files"},
    {32913, 1, false, "AddNoise_Files"},
    {32920, 1, false, "EdgeDetect_Files"},
    {32917, 1, false, "Threshold_Files"},
    {32919, 1, false, "ReplaceValue_Files"},
    {32922, 1, false, "CalcGradient_Files"},
    {32923, 1, false, "MatrixProcess_Files"},
    {32786, 2, false, "Texture_Files"},
    {32785, 2, false, "FFT_Files"},
    {32791, 3, false, "EvaluteExpression_Files"},
    {32883, 3, false, "LaunchComplex"},
    {32881, 3, false, "LaunchTypeChange"},
    {32890, 3, false, "Degrade"},
    {32894, 3, false, "Rotate_Files"},
    {32789, 3, false, "Mirror_Files"},
    {32790, 3, false, "Subset_Files"},
    {32780, 3, false, "Insert_Files"},
    {32921, 3, false, "Operation_Complex_Files"},
    {32916, 0, true, "CreateNewFile_Files"},
    {32847, 1, true, "Filtr_Files"},
    {32907, 1, true, "Convolution_Files"},
    {32908, 1, true, "PhaseFiltr_Files"},
    {32909, 1, true, "Coher_Files"},
    {32846, 1, true, "EdgeDetect_Files"},
    {32915, 1, true, "ReplaceValue_Files"},
    {32923, 1, true, "MatrixProcess_Files"},
    {32850, 2, true, "Texture_Files"},
    {32851, 2, true, "FFT_Files"},
    {32911, 3, true, "EvaluteExpression_Files"},
    {32852, 3, true, "LaunchComplex"},
    {32853, 3, true, "LaunchTypeChange"},
    {32854, 3, true, "Degrade"},
    {32856, 3, true, "Rotate_Files"},
    {32858, 3, true, "Mirror_Files"},
    {32857, 3, true, "Subset_Files"},
    {32859, 3, true, "Insert_Files"},
};

TEST_F(CommandDispatch, EveryToolCommandOfMenuAndPagesReachesItsEntryOnce)
{
    for (const ToolCommand& c : kToolCommands) {
        SCOPED_TRACE(testing::Message() << c.id << (c.onPage ? " on page " : " in popup ") << c.where);
        g_calls.clear();
        if (c.onPage)
            ClickOnPage(c.where, c.id);
        else
            ChooseFromMenu(c.where, c.id);
        EXPECT_EQ(g_calls, std::vector<std::string>{c.entry});
    }
    EXPECT_TRUE(OpenedViewers().empty());
}

TEST_F(CommandDispatch, ImportPassesNoParentFromTheMenuAndTheMainWindowFromThePage)
{
    ChooseFromMenu(0, ID_FILE_IMPORT);
    ClickOnPage(0, ID_TOOL_IMPORT);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"LaunchImport", "LaunchImport"}));
    ASSERT_EQ(g_importParents.size(), 2u);
    EXPECT_EQ(g_importParents[0], nullptr);
    ASSERT_NE(Owner(), nullptr);
    EXPECT_EQ(g_importParents[1], Owner());
}

TEST_F(CommandDispatch, ViewerAndPageCommandsActInTheProgram)
{
    // "Open" and "View": an empty viewer each.
    ChooseFromMenu(0, ID_FILE_OPEN_VIEWER);
    ClickOnPage(0, ID_TOOL_VIEW);
    EXPECT_EQ(OpenedFiles(), (std::vector<std::string>{"", ""}));

    // The selectors, by id, in page order FILES, PROCESSING, ANALYSE, UTIL.
    const std::pair<UINT, int> selectors[] = {
        {ID_PAGE_UTIL, 3}, {ID_PAGE_ANALYSE, 2}, {ID_PAGE_PROCESSING, 1}, {ID_PAGE_FILES, 0}};
    for (auto [id, page] : selectors) {
        Command().SendMessage(WM_COMMAND, id, 0);
        EXPECT_EQ(Command().GetCurrentPage(), page) << id;
    }
    // MAIN's id has no handler at all, and nothing else in the table's range without a row
    // does anything.
    EXPECT_EQ(FindCommandRow(ID_PAGE_MAIN), nullptr);
    for (UINT id = kFirstCommandId; id <= kLastCommandId; ++id) {
        if (FindCommandRow(id)) continue;
        Command().SendMessage(WM_COMMAND, id, 0);
    }
    PumpEvents();
    EXPECT_EQ(Command().GetCurrentPage(), 0);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(OpenedViewers().size(), 2u);
    for (const tarvenix::test::Question& asked : Responder().Asked())
        EXPECT_EQ(asked.kind, tarvenix::test::Question::Kind::PopupMenu) << asked.Describe();
}

TEST_F(CommandDispatch, TheSelectorOfThePageShownLeavesItAsItIs)
{
    ClickOnPage(3, ID_TOOL_INSERT);
    CToolBarWindow* util = Command().GetPageWindow(3);
    Command().GetBand(2).Scroll(tarvenix::toolbars::IDC_PAGE_ARROW_RIGHT, 7);
    const int offset = util->GetOffset();
    Command().SendMessage(WM_COMMAND, ID_PAGE_UTIL, 0);
    EXPECT_EQ(util->GetOffset(), offset);
    EXPECT_TRUE(util->IsWindowVisible());
}

TEST_F(CommandDispatch, HelpAboutAndExitFromTheMenu)
{
    // Help: the start page of the help; with no help folder the user is told so.
    ChooseFromMenu(5, ID_HELP_CONTENTS, [] { Responder().AnswerMessageBox(IDOK); });
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_NE(Responder().Asked()[1].text.Find("default.htm"), -1);

    // About, from the menu and from the system menu, each a modal box owned by this window.
    for (int i = 0; i < 2; ++i) {
        if (i == 0) {
            ChooseFromMenu(5, ID_HELP_ABOUT, [] { Responder().AnswerDialogCommand(IDOK); });
        } else {
            Responder().AnswerDialogCommand(IDOK);
            Command().SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        }
        const tarvenix::test::Question& asked = Responder().Asked().back();
        EXPECT_EQ(asked.kind, tarvenix::test::Question::Kind::Dialog);
        EXPECT_EQ(asked.caption, CString("About Tarvenix"));
        EXPECT_EQ(asked.owner, Command().GetSafeHwnd());
    }

    // Exit asks first; No keeps the program.
    ChooseFromMenu(0, ID_FILE_EXIT_PROGRAM, [] { Responder().AnswerMessageBox(IDNO); });
    EXPECT_EQ(Responder().Asked().back().text, CString("Exit Tarvenix ?"));
    EXPECT_TRUE(Command().IsWindowVisible());
}

TEST_F(CommandDispatch, ThePreferencesItemsRunTheirDialogsModally)
{
    if (!platform::FindDialogTemplate(135) || !platform::FindDialogTemplate(143))
        GTEST_SKIP() << "the preferences and action list templates are not in this build";
    std::vector<std::string> shown;
    const auto answer = [&] {
        Responder().AnswerDialogCommand(IDCANCEL).Doing([&](CWnd& dialog) {
            if (dynamic_cast<CPreferencesDlg*>(&dialog)) shown.emplace_back("preferences");
            if (dynamic_cast<CActionListDlg*>(&dialog)) shown.emplace_back("action list");
            EXPECT_EQ(dialog.GetOwner(), &Command());
        });
    };
    ChooseFromMenu(4, ID_PREF_COMMON, answer);
    ChooseFromMenu(4, ID_PREF_INTERFACE, answer);
    EXPECT_EQ(shown, (std::vector<std::string>{"preferences", "action list"}));
}

// The entries the program is linked with: a landed module's tool and the outside stand-ins.
using LinkedEntries = AppTest;

int CountTopLevel(const char* title)
{
    int count = 0;
    struct Walk {
        const char* title;
        int* count;
    } walk{title, &count};
    EnumWindows(
        [](HWND hwnd, LPARAM param) {
            auto* w = reinterpret_cast<Walk*>(param);
            CString text;
            CWnd::FromHandle(hwnd)->GetWindowText(text);
            if (text == w->title && CWnd::FromHandle(hwnd)->IsWindowVisible()) ++*w->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return count;
}

TEST_F(LinkedEntries, AToolChosenTwiceOpensTwoWindows)
{
    Start(R"(Tarvenix {DisableView})");
    Command().SendMessage(WM_COMMAND, ID_PROC_FILTRATION, 0);
    Command().SendMessage(WM_COMMAND, ID_TOOL_FILTRATION, 0);
    PumpEvents();
    EXPECT_EQ(CountTopLevel("Noise Filtering"), 2);
    for (int i = 0; i < 2; ++i) {
        HWND dialog = FindWindow(nullptr, "Noise Filtering");
        ASSERT_NE(dialog, nullptr);
        ::SendMessage(dialog, WM_COMMAND, IDCANCEL, 0);
        PumpUntil([&] { return !IsWindow(dialog); });
    }
    EXPECT_EQ(CountTopLevel("Noise Filtering"), 0);
}

TEST_F(LinkedEntries, OutsideToolsOpenANoteTitledWithTheirNameThatFreesItself)
{
    Start(R"(Tarvenix {DisableView})");
    const std::pair<UINT, const char*> tools[] = {
        {ID_UTIL_CALCULATOR, "File Calculator"},
        {ID_PROC_EDGE_DETECTION, "Edge Detection"},
        {ID_FILE_CREATE_NEW, "Create New File"},
        {ID_PROC_THRESHOLD, "Threshold"},
        {ID_PROC_REPLACE_VALUES, "Replace Values"},
        {ID_PROC_ADD_NOISE, "Add Noise"},
        {ID_PROC_MATRIX, "Matrix Operations"},
        {ID_TOOL_IMPORT, "Import / Export"},
        {ID_UTIL_CHANGE_TYPE, "Type Change"},
        {ID_UTIL_COMPLEX, "Complex"},
        {ID_UTIL_SUBSET, "Subset"},
        {ID_UTIL_ROTATE, "Rotate"},
        {ID_UTIL_MIRROR, "Mirror"},
        {ID_UTIL_INSERT, "Insert"},
        {ID_UTIL_RESAMPLING, "Resampling"},
    };
    for (auto [id, title] : tools) {
        SCOPED_TRACE(title);
        Command().SendMessage(WM_COMMAND, id, 0);
        Command().SendMessage(WM_COMMAND, id, 0);
        EXPECT_EQ(CountTopLevel(title), 2);
        HWND note = FindWindow(nullptr, title);
        ASSERT_NE(note, nullptr);
        CString text;
        CWnd::FromHandle(note)->GetDlgItem(COutsideToolDlg::kNoteId)->GetWindowText(text);
        EXPECT_NE(text.Find("not part of Tarvenix"), -1) << text.c_str();
        if (id == ID_TOOL_IMPORT) {
            EXPECT_EQ(CWnd::FromHandle(note)->GetOwner(), Owner());
            tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*CWnd::FromHandle(note)),
                                           "outside-tool");
        }
        // Closed by its button and by the window's close box: both free themselves.
        ::SendMessage(note, WM_COMMAND, IDOK, 0);
        ::SendMessage(FindWindow(nullptr, title), WM_CLOSE, 0, 0);
        PumpEvents();
        EXPECT_EQ(CountTopLevel(title), 0);
    }
}

}  // namespace
