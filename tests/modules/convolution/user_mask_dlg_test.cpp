#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include "modules/convolution/new_mask_dlg.h"
#include "outside/basecore/easy_registry.h"
#include "outside/basecore/grid_ctrl.h"
#include "platform/controls/edit.h"
#include "platform/kernel/atomic_file.h"
#include "tests/modules/convolution/convolution_dlg_support.h"
#include "tests/support/test_environment.h"

namespace {

using namespace convdlgtest;
using tarvenix::test::TempDir;
namespace fs = std::filesystem;

class KernelEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeMask(mask, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}, "Ramp");
        SetLibrary(dir.File("k"));
        owner = new RecordingConvolutionDlg;
        ASSERT_TRUE(owner->Create(nullptr));
        owner->ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        platform::SetAtomicFileFaults({});
        for (CUserMaskDlg* e : TopLevelOf<CUserMaskDlg>()) e->SendMessage(WM_COMMAND, IDCANCEL);
        for (CConvolutionDlg* d : TopLevelOf<CConvolutionDlg>()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
        PumpEvents();
        SetLibrary("");
    }

    CUserMaskDlg* Editor() const
    {
        const auto editors = TopLevelOf<CUserMaskDlg>();
        return editors.size() == 1 ? editors[0] : nullptr;
    }
    /// Opens the editor on the library's mask with the Edit button.
    CUserMaskDlg* EditMask()
    {
        Tree(owner)->SelectItem(FindItem(Tree(owner), "Ramp"));
        owner->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CONV_EDIT_MASK, BN_CLICKED), 0);
        return Editor();
    }
    /// "Create new mask" answered with these texts and kind.
    CUserMaskDlg* NewMask(const char* width, const char* height, bool compound)
    {
        Responder().AnswerDialogCommand(IDOK).Doing([=](CWnd& dlg) {
            dlg.GetDlgItem(IDC_NEW_MASK_WIDTH)->SetWindowText(width);
            dlg.GetDlgItem(IDC_NEW_MASK_HEIGHT)->SetWindowText(height);
            const int kind = compound ? IDC_NEW_MASK_COMPOUND : IDC_NEW_MASK_SIMPLE;
            static_cast<CDialog&>(dlg).CheckRadioButton(IDC_NEW_MASK_SIMPLE, IDC_NEW_MASK_COMPOUND, kind);
            dlg.SendMessage(WM_COMMAND, MAKEWPARAM(kind, BN_CLICKED), 0);
        });
        owner->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CONV_NEW_MASK, BN_CLICKED), 0);
        return Editor();
    }
    /// Types `text` into data cell (row, col) of the view shown.
    static void TypeCell(CUserMaskDlg* e, int row, int col, const char* text)
    {
        ASSERT_TRUE(e->Grid()->EditCell(row + 1, col + 1));
        e->Grid()->GetInPlaceEdit()->SetWindowText(text);
        e->Grid()->EndEditing(TRUE);
    }
    static void Click(CWnd* w, int id) { w->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    static std::vector<double> Values(const CRDPLayer& layer)
    {
        std::vector<double> v(std::size_t(layer.Width()) * layer.Height());
        for (int y = 0; y < layer.Height(); ++y)
            layer.GetDoubleLine(y, v.data() + std::size_t(y) * layer.Width(), layer.Width());
        return v;
    }
    static std::vector<double> Layer(const std::string& path, int index)
    {
        CRDPLayer layer;
        if (!layer.OpenLayerEx(path.c_str(), kOpenReadOnly, index)) return {};
        return Values(layer);
    }
    /// A key pressed while `target` has the focus, through the window's own key handling.
    static void Press(CWnd* target, int key, const QString& text)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target->GetWidget(), &press);
    }
    static std::string Caption(const std::string& path)
    {
        CString text;
        CLayerDescription::GetDescriptionTag(path.c_str(), 600, text);
        return std::string(text);
    }

    TempDir dir;
    std::string mask = dir.File("k/ramp.rdp");
    RecordingConvolutionDlg* owner = nullptr;
};

TEST_F(KernelEditor, ANewThreeByFiveCompoundMaskAndItsResultView)
{
    CUserMaskDlg* e = NewMask("3", "5", true);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(owner->NewMaskWidth(), 3);
    EXPECT_EQ(owner->NewMaskHeight(), 5);
    EXPECT_EQ(e->LayerCount(), 2);
    EXPECT_EQ(e->IsNew(), 1);
    for (int j = 0; j < 2; ++j) {
        const CRDPLayer* working = e->WorkingLayer(j);
        ASSERT_NE(working, nullptr);
        EXPECT_EQ(working->Width(), 3);
        EXPECT_EQ(working->Height(), 5);
        EXPECT_EQ(working->Type(), int(DataType::F32));
        EXPECT_EQ(Values(*working), std::vector<double>(15, 0.0));
    }

    // The centre is 1 in X and in Y; at 90 degrees the result there is sin + cos = 1.
    TypeCell(e, 2, 1, "1");
    Click(e, IDC_MASK_VIEW_Y);
    TypeCell(e, 2, 1, "1");
    EXPECT_EQ(e->IsModified(), 1);
    e->GetDlgItem(IDC_CONV_ANGLE)->SetWindowText("90");
    Click(e, IDC_MASK_VIEW_RESULT);
    CGridCtrl* grid = e->Grid();
    EXPECT_EQ(grid->GetRowCount(), 6);
    EXPECT_EQ(grid->GetColumnCount(), 4);
    EXPECT_EQ(std::string(grid->GetItemText(0, 0)), "X/Y");
    for (int c = 0; c < 3; ++c) EXPECT_EQ(std::string(grid->GetItemText(0, c + 1)), std::to_string(c));
    for (int r = 0; r < 5; ++r) EXPECT_EQ(std::string(grid->GetItemText(r + 1, 0)), std::to_string(r));
    EXPECT_EQ(std::string(grid->GetItemText(3, 2)), "1");
    EXPECT_NEAR(e->ResultValue(2, 1), 1.0, 1e-12);
    EXPECT_EQ(std::string(grid->GetItemText(1, 1)), "0");
    // The result view is computed and cannot be typed into.
    EXPECT_FALSE(grid->EditCell(3, 2));

    // The values asked for are kept for the next new mask.
    CEasyRegistry settings;
    ASSERT_TRUE(settings.InitSubKey("\\Settings\\Convolution", 1));
    EXPECT_EQ(std::string(settings.GetStringValue("MaskType")), "2");
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*e), "kernel_editor_result_view").empty());

    // Cancel closes without a question.
    Click(e, IDCANCEL);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
}

TEST_F(KernelEditor, ASimpleMaskHasNoAngleAndNoViews)
{
    CUserMaskDlg* e = NewMask("5", "3", false);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->LayerCount(), 1);
    for (int id : {IDC_MASK_VIEW_X, IDC_MASK_VIEW_Y, IDC_MASK_VIEW_RESULT, IDC_CONV_ANGLE})
        EXPECT_FALSE(e->GetDlgItem(id)->IsWindowEnabled()) << id;
    CString angle;
    e->GetDlgItem(IDC_CONV_ANGLE)->GetWindowText(angle);
    EXPECT_EQ(std::string(angle), "0.000000");
}

struct NewMaskCase {
    const char* width;
    const char* height;
    const char* message;  ///< null: accepted
    int focus;
};

TEST_F(KernelEditor, TheNewMaskParametersAreChecked)
{
    const NewMaskCase cases[] = {
        {"4", "5", "Mask size must be odd values.", IDC_NEW_MASK_WIDTH},
        {"5", "6", "Mask size must be odd values.", IDC_NEW_MASK_HEIGHT},
        {"0", "5", "Invalid new mask size !", IDC_NEW_MASK_WIDTH},
        {"5", "-3", "Invalid new mask size !", IDC_NEW_MASK_HEIGHT},
        {"", "", "Invalid new mask size !", IDC_NEW_MASK_WIDTH},
        {"1025", "3", "Mask size can't be greater than 1023.", IDC_NEW_MASK_WIDTH},
        {"3", "2047", "Mask size can't be greater than 1023.", IDC_NEW_MASK_HEIGHT},
        {"5abc", "1023", nullptr, 0},
    };
    for (const NewMaskCase& c : cases) {
        SCOPED_TRACE(c.width + std::string(" x ") + c.height);
        Responder().Reset();
        int focus = -1;
        Responder().AnswerDialogCommand(c.message ? IDCANCEL : IDOK).Doing([&](CWnd& dlg) {
            dlg.GetDlgItem(IDC_NEW_MASK_WIDTH)->SetWindowText(c.width);
            dlg.GetDlgItem(IDC_NEW_MASK_HEIGHT)->SetWindowText(c.height);
            if (!c.message) return;
            dlg.SendMessage(WM_COMMAND, IDOK);
            CWnd* focused = CWnd::GetFocus();
            focus = focused ? focused->GetDlgCtrlID() : 0;
        });
        if (c.message) Responder().AnswerMessageBox(IDOK);
        CNewMaskDlg ask(owner);
        ask.DoModal();
        int w = 0, h = 0;
        if (c.message) {
            ASSERT_EQ(MessageBoxesAsked().size(), 1u);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), c.message);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Convolution with mask");
            EXPECT_EQ(focus, c.focus);
            EXPECT_EQ(ask.GetSize(w, h), 0);
        } else {
            EXPECT_EQ(ask.GetSize(w, h), 1);
            EXPECT_EQ(w, 5);
            EXPECT_EQ(h, 1023);
        }
    }
    // Stored as typed, shown as stored.
    CEasyRegistry settings;
    ASSERT_TRUE(settings.InitSubKey("\\Settings\\Convolution", 1));
    EXPECT_EQ(std::string(settings.GetStringValue("Width")), "5abc");
    CString shown;
    Responder().AnswerDialogCommand(IDCANCEL).Doing(
        [&](CWnd& dlg) { dlg.GetDlgItem(IDC_NEW_MASK_WIDTH)->GetWindowText(shown); });
    CNewMaskDlg again(owner);
    again.DoModal();
    EXPECT_EQ(std::string(shown), "5abc");
    int w = 0, h = 0;
    EXPECT_EQ(again.GetSize(w, h), 0);
}

TEST_F(KernelEditor, OkAfterAnEditAsksAndNoCancelYesDoWhatTheySay)
{
    const std::vector<double> before = Layer(mask, 0);
    CUserMaskDlg* e = EditMask();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::string(e->MaskPath()), mask);
    EXPECT_EQ(e->IsNew(), 0);
    TypeCell(e, 0, 0, "42");

    // Cancel to the question: the editor stays with its change.
    Responder().AnswerMessageBox(IDCANCEL);
    Click(e, IDOK);
    ASSERT_EQ(Editor(), e);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "Would you like to save change?");
    EXPECT_EQ(MessageBoxesAsked()[0].Buttons(), UINT(MB_YESNOCANCEL));
    EXPECT_EQ(e->IsModified(), 1);

    // No: the mask stays as it was.
    Responder().AnswerMessageBox(IDNO);
    Click(e, IDOK);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Layer(mask, 0), before);
    EXPECT_TRUE(owner->codes.empty());

    // Yes: the file changes, the tree shows the new caption, the preview runs again.
    e = EditMask();
    ASSERT_NE(e, nullptr);
    TypeCell(e, 0, 0, "42");
    e->GetDlgItem(IDC_MASK_CAPTION)->SetWindowText("Ramp 42");
    e->GetDlgItem(IDC_CONV_ANGLE)->SetWindowText("-30");
    Responder().AnswerMessageBox(IDYES);
    Click(e, IDOK);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Layer(mask, 0)[0], 42.0);
    EXPECT_EQ(Layer(mask, 1), (std::vector<double>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Caption(mask), "Ramp 42");
    EXPECT_EQ(owner->codes, (std::vector<WPARAM>{kMaskCaptionChanged, kMaskSaved}));
    EXPECT_NE(FindItem(Tree(owner), "Ramp 42"), nullptr);
    EXPECT_EQ(owner->Angle(), -30.0f);
}

TEST_F(KernelEditor, ANewMaskIsNamedWhenSavedAndJoinsTheTree)
{
    CUserMaskDlg* e = NewMask("3", "3", false);
    ASSERT_NE(e, nullptr);
    TypeCell(e, 1, 1, "1");
    e->GetDlgItem(IDC_MASK_CAPTION)->SetWindowText("Dot");
    // Cancel in the save dialog: back to the editor, nothing lost.
    Responder().AnswerMessageBox(IDYES);
    Responder().CancelFile();
    Click(e, IDOK);
    ASSERT_EQ(Editor(), e);
    EXPECT_NE(e->WorkingLayer(0), nullptr);
    TypeCell(e, 0, 0, "2");

    const std::string target = dir.File("k/dot.rdp");
    Responder().AnswerMessageBox(IDYES);
    Responder().AnswerFile({target.c_str()});
    Click(e, IDOK);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Layer(target, 0), (std::vector<double>{2, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(owner->codes, (std::vector<WPARAM>{kMaskCreated, kMaskSaved}));
    HTREEITEM leaf = FindItem(Tree(owner), "Dot");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(Tree(owner)->GetSelectedItem(), leaf);
    EXPECT_EQ(std::string(owner->CurrentMaskPath()), target);
}

TEST_F(KernelEditor, SaveAsWritesTheChosenFileAndEditingGoesOn)
{
    const std::string other = dir.File("other.rdp");
    MakeMask(other, 1, 1, {7.0});
    const std::vector<double> before = Layer(mask, 0);
    CUserMaskDlg* e = EditMask();
    ASSERT_NE(e, nullptr);
    TypeCell(e, 1, 1, "-5");

    // A failed Save As leaves the chosen file as it was and the editor working.
    platform::SetAtomicFileFaults({platform::AtomicStep::kRename});
    Responder().AnswerFile({other.c_str()});
    Responder().AnswerMessageBox(IDYES);  // replace the file?
    Responder().AnswerMessageBox(IDOK);
    Click(e, IDC_MASK_SAVE_AS);
    platform::SetAtomicFileFaults({});
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[1].caption), "Convolution with mask");
    EXPECT_EQ(MessageBoxesAsked()[1].Icon(), UINT(MB_ICONEXCLAMATION));
    EXPECT_EQ(Layer(other, 0), std::vector<double>{7.0});
    EXPECT_TRUE(owner->codes.empty());
    TypeCell(e, 0, 0, "3");

    Responder().AnswerFile({other.c_str()});
    Responder().AnswerMessageBox(IDYES);
    Click(e, IDC_MASK_SAVE_AS);
    EXPECT_EQ(Layer(other, 0), (std::vector<double>{3, 2, 3, 4, -5, 6, 7, 8, 9}));
    EXPECT_EQ(Caption(other), "Ramp");
    EXPECT_EQ(Layer(mask, 0), before);
    EXPECT_EQ(owner->codes, (std::vector<WPARAM>{kMaskCaptionChanged}));
    // Editing goes on in a fresh working copy of the saved file, which later saves go to.
    EXPECT_EQ(std::string(e->MaskPath()), other);
    EXPECT_EQ(e->IsModified(), 0) << "what was saved is no change";
    EXPECT_EQ(e->IsNew(), 0);
    ASSERT_NE(e->WorkingLayer(0), nullptr);
    EXPECT_EQ(Values(*e->WorkingLayer(0))[0], 3.0);
    TypeCell(e, 2, 2, "1");
    EXPECT_EQ(std::string(e->Grid()->GetItemText(3, 3)), "1");

    // OK saves into the file saved as, without asking for a name again.
    Responder().AnswerMessageBox(IDYES);
    Click(e, IDOK);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Layer(other, 0), (std::vector<double>{3, 2, 3, 4, -5, 6, 7, 8, 1}));
    EXPECT_EQ(Layer(mask, 0), before);
}

TEST_F(KernelEditor, ANewMaskSavedAsIsSavedThereByOk)
{
    CUserMaskDlg* e = NewMask("3", "3", false);
    ASSERT_NE(e, nullptr);
    TypeCell(e, 1, 1, "1");
    const std::string target = dir.File("k/saved-as.rdp");
    Responder().AnswerFile({target.c_str()});
    Click(e, IDC_MASK_SAVE_AS);
    TypeCell(e, 0, 0, "2");
    Responder().AnswerMessageBox(IDYES);
    Click(e, IDOK);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Layer(target, 0), (std::vector<double>{2, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(owner->codes, (std::vector<WPARAM>{kMaskCaptionChanged, kMaskCreated, kMaskSaved}));
    EXPECT_EQ(std::string(owner->CurrentMaskPath()), target);
}

// What Save As wrote is saved: OK right after it asks nothing and writes nothing more; a
// new mask saved so still joins the library.
TEST_F(KernelEditor, OkRightAfterSaveAsAsksNothing)
{
    for (bool isNew : {false, true}) {
        SCOPED_TRACE(isNew ? "a new mask" : "an existing mask");
        owner->codes.clear();
        CUserMaskDlg* e = isNew ? NewMask("3", "3", false) : EditMask();
        ASSERT_NE(e, nullptr);
        TypeCell(e, 1, 1, "4");
        const std::string target = dir.File(isNew ? "k/new-saved.rdp" : "k/edited-saved.rdp");
        Responder().AnswerFile({target.c_str()});
        Click(e, IDC_MASK_SAVE_AS);
        ASSERT_TRUE(std::filesystem::exists(target));
        const auto written = std::filesystem::last_write_time(target);
        Responder().Reset();
        Click(e, IDOK);
        PumpEvents();
        EXPECT_TRUE(Responder().Asked().empty()) << "no \"Would you like to save change?\"";
        EXPECT_EQ(Editor(), nullptr);
        EXPECT_EQ(std::filesystem::last_write_time(target), written);
        EXPECT_EQ(Layer(target, 0)[4], 4.0);
        if (isNew) {
            EXPECT_EQ(owner->codes, (std::vector<WPARAM>{kMaskCaptionChanged, kMaskCreated, kMaskSaved}));
            EXPECT_EQ(std::string(owner->CurrentMaskPath()), target);
        } else {
            EXPECT_EQ(owner->codes, (std::vector<WPARAM>{kMaskCaptionChanged}));
        }
    }
}

TEST_F(KernelEditor, TypingOnACellEditsItAndEnterCommitsTheCellOnly)
{
    CUserMaskDlg* e = EditMask();
    ASSERT_NE(e, nullptr);
    CGridCtrl* grid = e->Grid();
    grid->SetSelectedRange(2, 2, 2, 2);
    grid->SetFocusCell(2, 2);
    grid->SetFocus();
    Press(grid, Qt::Key_7, "7");
    CEdit* edit = grid->GetInPlaceEdit();
    ASSERT_NE(edit, nullptr);
    Press(edit, Qt::Key_5, "5");
    CString text;
    edit->GetWindowText(text);
    EXPECT_EQ(std::string(text), "75");
    Press(edit, Qt::Key_Return, "\r");
    ASSERT_EQ(Editor(), e);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    EXPECT_EQ(std::string(grid->GetItemText(2, 2)), "75");
    EXPECT_EQ(Values(*e->WorkingLayer(0))[4], 75.0);
    EXPECT_EQ(e->IsModified(), 1);

    // Escape drops what was typed, and again leaves the editor open.
    Press(grid, Qt::Key_9, "9");
    ASSERT_NE(grid->GetInPlaceEdit(), nullptr);
    Press(grid->GetInPlaceEdit(), Qt::Key_Escape, QString(QChar(27)));
    ASSERT_EQ(Editor(), e);
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    EXPECT_EQ(std::string(grid->GetItemText(2, 2)), "75");
}

TEST_F(KernelEditor, AFailedSaveKeepsTheOriginalAndTheEditorUsable)
{
    const std::vector<double> before = Layer(mask, 0);
    CUserMaskDlg* e = EditMask();
    ASSERT_NE(e, nullptr);
    TypeCell(e, 0, 0, "42");
    platform::SetAtomicFileFaults({platform::AtomicStep::kRename});
    Responder().AnswerMessageBox(IDYES);
    Responder().AnswerMessageBox(IDOK);
    Click(e, IDOK);
    platform::SetAtomicFileFaults({});
    ASSERT_EQ(Editor(), e);
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    EXPECT_EQ(MessageBoxesAsked()[1].Icon(), UINT(MB_ICONEXCLAMATION));
    EXPECT_EQ(Layer(mask, 0), before);
    EXPECT_EQ(Caption(mask), "Ramp");
    EXPECT_TRUE(owner->codes.empty());
    // Still editing the same working copy, change included.
    EXPECT_EQ(std::string(e->Grid()->GetItemText(1, 1)), "42");
    TypeCell(e, 0, 1, "43");

    Responder().AnswerMessageBox(IDYES);
    Click(e, IDOK);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Layer(mask, 0)[0], 42.0);
    EXPECT_EQ(Layer(mask, 0)[1], 43.0);
}

TEST_F(KernelEditor, AWorkingCopyOnAnotherFileSystemIsSavedWhole)
{
    if (!fs::exists("/dev/shm") || fs::space("/dev/shm").available < (1 << 20)) GTEST_SKIP() << "no /dev/shm";
    char folder[] = "/dev/shm/tvx-mask-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const char* oldTemp = std::getenv("TMPDIR");
    const std::string restore = oldTemp ? oldTemp : "";
    setenv("TMPDIR", folder, 1);
    CUserMaskDlg* e = EditMask();
    if (restore.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", restore.c_str(), 1);
    ASSERT_NE(e, nullptr);
    TypeCell(e, 2, 2, "-1");
    Responder().AnswerMessageBox(IDYES);
    Click(e, IDOK);
    PumpEvents();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Layer(mask, 0), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, -1}));
    fs::remove_all(folder);
}

}  // namespace

namespace {

TEST_F(KernelEditor, CopyAndPasteFromTheGridMenu)
{
    CUserMaskDlg* e = EditMask();
    ASSERT_NE(e, nullptr);
    CGridCtrl* grid = e->Grid();
    const auto rightClick = [&](int row, int col) {
        RECT r;
        ASSERT_TRUE(grid->GetCellRect(row, col, &r));
        grid->SendMessage(WM_RBUTTONUP, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    };
    // The first row of X (1 2 3) copied, pasted over the last row.
    grid->SetSelectedRange(1, 1, 1, 3);
    Responder().AnswerPopupMenu(ID_MASK_GRID_COPY);
    rightClick(1, 1);
    EXPECT_EQ(e->IsModified(), 0);
    grid->SetSelectedRange(3, 1, 3, 1);
    grid->SetFocusCell(3, 1);
    Responder().AnswerPopupMenu(ID_MASK_GRID_PASTE);
    rightClick(3, 1);
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_EQ(Responder().Asked()[0].kind, Question::Kind::PopupMenu);
    EXPECT_EQ(e->IsModified(), 1);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(std::string(grid->GetItemText(3, c + 1)), std::to_string(c + 1));
    // Only the working copy changed so far.
    EXPECT_EQ(Layer(mask, 0)[6], 7.0);
}

}  // namespace

namespace {

/// Runs the mask saver on `mask` with TMPDIR `temp`; its wait status.
int RunMaskSaver(const std::string& mask, const std::string& temp, std::uintmax_t limit, bool named)
{
    // Qt's runtime folder goes elsewhere, so that the temporary folder holds only the editor's.
    const std::string runtime = fs::path(temp).parent_path() / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "TMPDIR=", 7) != 0 && std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0)
            env.push_back(*e);
    env.push_back("TMPDIR=" + temp);
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string size = std::to_string(limit);
    std::vector<const char*> args = {TVX_MASK_SAVER, mask.c_str(), "Ramp saved"};
    if (limit) args.push_back(size.c_str());
    if (limit && named) args.push_back("named");
    args.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execve(TVX_MASK_SAVER, const_cast<char* const*>(args.data()), envp.data());
        ::_exit(127);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return status;
}

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// A save killed on its way leaves the mask as it was and nothing else: nothing in the
// temporary folder, and beside the mask at most a hidden temporary that the next writer
// there removes.
TEST(MaskSave, AKilledSaveLeavesTheMaskAsItWasAndNothingBehind)
{
    TempDir dir;
    const std::string library = dir.File("k"), temp = dir.File("tmp");
    const std::string mask = dir.File("k/ramp.rdp"), probe = dir.File("k/probe.rdp");
    fs::create_directories(temp);
    ASSERT_TRUE(MakeMask(mask, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}, "Ramp"));
    fs::copy_file(mask, probe);
    // A save run to its end gives the size of the saved mask; a file that may not reach it
    // ends the save at its last write.
    int status = RunMaskSaver(probe, temp, 0, false);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::uintmax_t saved = fs::file_size(probe);
    EXPECT_TRUE(Names(temp).empty());

    const std::string before = tarvenix::test::ReadWholeFile(mask);
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporaries" : "unnamed temporaries");
        status = RunMaskSaver(mask, temp, saved - 1, named);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
        EXPECT_EQ(tarvenix::test::ReadWholeFile(mask), before);
        for (const std::string& folder : {library, temp})
            for (const std::string& name : Names(folder))
                if (name != "ramp.rdp" && name != "probe.rdp")
                    EXPECT_TRUE(named && platform::IsAtomicTemporaryName(name.c_str()))
                        << folder << "/" << name;
        platform::RemoveStaleTemporaries(library.c_str());
        platform::RemoveStaleTemporaries(temp.c_str());
        EXPECT_EQ(Names(library), (std::set<std::string>{"probe.rdp", "ramp.rdp"}));
        EXPECT_TRUE(Names(temp).empty());
    }
}

}  // namespace
