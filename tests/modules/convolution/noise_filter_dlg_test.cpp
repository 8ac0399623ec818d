#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/exports.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/convolution/noise_filter_dlg.h"
#include "modules/convolution/noise_filter_job.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"
#include "tests/modules/convolution/filter_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using namespace filtertest;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

std::vector<CMainFiltrDlg*> Dialogs()
{
    return TopLevelOf<CMainFiltrDlg>();
}

/// Counts preview runs and what they were asked with.
class CountingFiltrDlg : public CMainFiltrDlg {
public:
    struct Run {
        int filter, window;
        float variance;
    };
    std::vector<Run> runs;
    std::vector<float> answerSigmas;

protected:
    CThread* StartPreview(const CString& input) override
    {
        runs.push_back({FilterIndex(), WindowSize(), Variance()});
        return CMainFiltrDlg::StartPreview(input);
    }
    void TakePreview(WPARAM code, LPARAM record) override
    {
        answerSigmas.push_back(reinterpret_cast<SFiltrParams*>(record)->sigma);
        CMainFiltrDlg::TakePreview(code, record);
    }
};

class NoiseFilterDialog : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CMainFiltrDlg* d : Dialogs()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
        EXPECT_TRUE(Dialogs().empty());
        CloseAllViewers();
    }

    template <class Dlg = CMainFiltrDlg>
    Dlg* Open()
    {
        auto* d = new Dlg;
        EXPECT_TRUE(d->Create(nullptr));
        d->ShowWindow(SW_SHOW);
        return d;
    }

    static CString Text(CWnd* dlg, int id)
    {
        CString t;
        dlg->GetDlgItem(id)->GetWindowText(t);
        return t;
    }
    static CPreviewStatic* Preview(CWnd* dlg)
    {
        return dynamic_cast<CPreviewStatic*>(
            dlg->GetDlgItem(IDC_FILTR_PREVIEW)->GetDlgItem(IDC_FILTR_PREVIEW));
    }
    static CInFileCtrl* Picker(CWnd* dlg, int id) { return dynamic_cast<CInFileCtrl*>(dlg->GetDlgItem(id)); }

    /// Chooses a filter as the user does in the list.
    static void ChooseFilter(CWnd* dlg, int index)
    {
        auto* combo = static_cast<CComboBox*>(dlg->GetDlgItem(IDC_FILTR_COMBO));
        combo->SetCurSel(index);
        dlg->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(IDC_FILTR_COMBO), WORD(CBN_SELCHANGE)),
                         reinterpret_cast<LPARAM>(combo->GetSafeHwnd()));
    }
    static void ClickSpin(CWnd* dlg, bool up)
    {
        static_cast<CSpinButtonCtrl*>(dlg->GetDlgItem(IDC_FILTR_SPIN))->ClickArrow(up);
    }
    /// Browses for a file in a picker; the file dialog is answered with `path`.
    static void Choose(CWnd* dlg, int pickerId, const std::string& path)
    {
        Responder().AnswerFile({path.c_str()});
        Picker(dlg, pickerId)->GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
        tarvenix::test::PumpEvents();
    }
    /// The same choice handed in at once, without serving the event loop, so that a
    /// preview thread it starts cannot hand in its answer until the test pumps.
    static void ChooseHeld(CWnd* dlg, int pickerId, const std::string& path)
    {
        Picker(dlg, pickerId)->SetPathName(path.c_str());
        dlg->SendMessage(WM_INFILECTRL_CHOSEN, WPARAM(pickerId), 0);
    }
    static bool PreviewIdle(CMainFiltrDlg* d) { return !d->PreviewBusy() && GetRunningThreadCount() == 0; }
};

TEST_F(NoiseFilterDialog, OpensInItsInitialState)
{
    Filtr_Files();
    Filtr_Files();
    ASSERT_EQ(Dialogs().size(), 2u);
    CMainFiltrDlg* d = Dialogs()[0];
    CString caption;
    d->GetWindowText(caption);
    EXPECT_EQ(std::string(caption), "Noise Filtering");
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nSelect input\nfile");
    auto* combo = static_cast<CComboBox*>(d->GetDlgItem(IDC_FILTR_COMBO));
    ASSERT_EQ(combo->GetCount(), 6);
    EXPECT_EQ(combo->GetCurSel(), 0);
    const char* names[] = {"Mean", "Median", "Lee", "Frost", "Kuan", "Sigma"};
    for (int i = 0; i < 6; ++i) {
        CString name;
        combo->GetLBText(i, name);
        EXPECT_EQ(std::string(name), names[i]);
    }
    EXPECT_EQ(std::string(Text(d, IDC_FILTR_SIZE_TEXT)), "3x3");
    EXPECT_EQ(std::string(Text(d, IDC_FILTR_VARIANCE)), "1.645");
    EXPECT_FALSE(d->GetDlgItem(IDC_FILTR_VARIANCE)->IsWindowEnabled());
    EXPECT_FALSE(d->GetDlgItem(IDC_FILTR_VARIANCE_GROUP)->IsWindowEnabled());
    // Closing one leaves the other.
    d->SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(Dialogs().size(), 1u);
}

TEST_F(NoiseFilterDialog, VarianceFollowsTheFilterAndKeepsItsValue)
{
    CMainFiltrDlg* d = Open();
    const struct {
        int filter;
        bool enabled;
    } steps[] = {{2, true}, {1, false}, {3, true}, {4, true}, {5, true}, {0, false}};
    d->GetDlgItem(IDC_FILTR_VARIANCE)->SetWindowText("2.5");
    for (const auto& s : steps) {
        ChooseFilter(d, s.filter);
        EXPECT_EQ(bool(d->GetDlgItem(IDC_FILTR_VARIANCE)->IsWindowEnabled()), s.enabled) << s.filter;
        EXPECT_EQ(bool(d->GetDlgItem(IDC_FILTR_VARIANCE_GROUP)->IsWindowEnabled()), s.enabled) << s.filter;
        EXPECT_EQ(std::string(Text(d, IDC_FILTR_VARIANCE)), "2.5");
    }
}

TEST_F(NoiseFilterDialog, SpinGivesTheWindowSizes)
{
    CMainFiltrDlg* d = Open();
    const char* sizes[] = {"5x5", "7x7", "9x9", "11x11", "13x13", "15x15", "17x17", "17x17"};
    for (const char* size : sizes) {
        ClickSpin(d, true);
        EXPECT_EQ(std::string(Text(d, IDC_FILTR_SIZE_TEXT)), size);
    }
    EXPECT_EQ(d->WindowSize(), 17);
    for (int i = 0; i < 7; ++i) ClickSpin(d, false);
    EXPECT_EQ(std::string(Text(d, IDC_FILTR_SIZE_TEXT)), "3x3");
    EXPECT_EQ(d->WindowSize(), 3);
}

TEST_F(NoiseFilterDialog, InputsThatCannotBePreviewedStartNoThread)
{
    TempDir dir;
    const std::string noStats = dir.File("nostats.rdp"), low = dir.File("low.rdp");
    ASSERT_TRUE(WriteLayer(noStats, 40, 40, int(DataType::U8), Ramp(40, 40)));
    ASSERT_TRUE(DeleteTag(noStats.c_str(), TAG_STATISTICS));
    ASSERT_TRUE(WriteLayer(low, 300, 17, int(DataType::U8), Ramp(300, 17)));
    auto* d = Open<CountingFiltrDlg>();

    Choose(d, IDC_FILTR_INPUT, noStats);
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nPreview\nis not accessible");
    for (int i = 0; i < 7; ++i) ClickSpin(d, true);
    Choose(d, IDC_FILTR_INPUT, low);
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nPreview\nis not accessible");
    EXPECT_TRUE(d->runs.empty());
    EXPECT_EQ(GetRunningThreadCount(), 0);
    // One size down the 17 rows are more than the window: the preview runs.
    ClickSpin(d, false);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    EXPECT_FALSE(d->runs.empty());
}

TEST_F(NoiseFilterDialog, ChangesDuringAPreviewGiveOneRerunWithTheLastValues)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 64, 48, int(DataType::F32), Ramp(64, 48)));
    auto* d = Open<CountingFiltrDlg>();
    ChooseHeld(d, IDC_FILTR_INPUT, in);
    ASSERT_EQ(d->runs.size(), 1u);
    ASSERT_TRUE(d->PreviewBusy());
    // The preview thread cannot hand in its answer while this thread does not serve it.
    ChooseFilter(d, 2);
    ClickSpin(d, true);
    ChooseFilter(d, 4);
    d->GetDlgItem(IDC_FILTR_VARIANCE)->SetWindowText("4");
    ClickSpin(d, true);
    EXPECT_EQ(d->runs.size(), 1u);
    EXPECT_TRUE(d->PreviewAgain());

    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d) && d->answerSigmas.size() == 2; }));
    ASSERT_EQ(d->runs.size(), 2u);
    EXPECT_EQ(d->runs[1].filter, 4);
    EXPECT_EQ(d->runs[1].window, 7);
    EXPECT_EQ(d->runs[1].variance, 4.0f);
    EXPECT_EQ(d->answerSigmas[1], 2.0f);
    EXPECT_FALSE(d->PreviewAgain());
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
}

TEST_F(NoiseFilterDialog, ClosingDuringAPreviewLeavesNoFileAndNoRecord)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 64, 48, int(DataType::F32), Ramp(64, 48)));
    // The answer file goes to a temporary folder of this test's own.
    TempDir temp;
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous ? previous : "";
    setenv("TMPDIR", temp.Path().c_str(), 1);
    CMainFiltrDlg* d = Open();
    ChooseHeld(d, IDC_FILTR_INPUT, in);
    ASSERT_TRUE(d->PreviewBusy());
    d->SendMessage(WM_COMMAND, IDCANCEL);
    // The thread's answer finds no dialog: it frees the record (the leak check sees it) and
    // removes its answer file.
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
    if (previous)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST_F(NoiseFilterDialog, PickersPresetEachOthersFolder)
{
    TempDir a, b, c;
    const std::string inA = a.File("in.rdp"), inC = c.File("in2.rdp");
    ASSERT_TRUE(WriteLayer(inA, 20, 20, int(DataType::U8), Ramp(20, 20)));
    ASSERT_TRUE(WriteLayer(inC, 20, 20, int(DataType::U8), Ramp(20, 20)));
    const std::string folderA = a.Path().string(), folderB = b.Path().string(), folderC = c.Path().string();
    struct Step {
        int picker;
        std::string path;
        std::string inputFolder, outputFolder;
    };
    const Step steps[] = {
        {IDC_FILTR_INPUT, inA, folderA, folderA},                 // an empty output takes the input's folder
        {IDC_FILTR_OUTPUT, b.File("out.rdp"), folderA, folderB},  // a named input keeps its folder
        {IDC_FILTR_INPUT, inC, folderC, folderB},                 // a named output keeps its folder
    };
    CMainFiltrDlg* d = Open();
    for (const Step& s : steps) {
        Choose(d, s.picker, s.path);
        EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
        EXPECT_EQ(std::string(Picker(d, IDC_FILTR_INPUT)->GetOnlyPath()), s.inputFolder) << s.path;
        EXPECT_EQ(std::string(Picker(d, IDC_FILTR_OUTPUT)->GetOnlyPath()), s.outputFolder) << s.path;
    }
    // An output chosen while the input is empty gives the input its folder, without a preview.
    CMainFiltrDlg* e = Open();
    Choose(e, IDC_FILTR_OUTPUT, b.File("x.rdp"));
    EXPECT_EQ(std::string(Picker(e, IDC_FILTR_INPUT)->GetOnlyPath()), folderB);
    EXPECT_EQ(std::string(Preview(e)->GetText()), "\n\n\nSelect input\nfile");
}

struct ExecuteCase {
    const char* name;
    bool inputExists;
    const char* output;  // "" = as given; "=input" names the input another way; "exists"
    int answer;          // the answer to the one box
    const char* boxText;
};

class NoiseFilterExecute : public NoiseFilterDialog, public ::testing::WithParamInterface<ExecuteCase> {};

TEST_P(NoiseFilterExecute, RefusesWithOneMessageAndStartsNothing)
{
    const ExecuteCase& c = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    std::string out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, 20, 20, int(DataType::U8), Ramp(20, 20)));
    if (std::string(c.output) == "=input") out = dir.Path().string() + "//./in.rdp";
    if (std::string(c.output) == "exists") tarvenix::test::WriteWholeFile(out, "keep me");
    CMainFiltrDlg* d = Open();
    Choose(d, IDC_FILTR_INPUT, in);
    Picker(d, IDC_FILTR_OUTPUT)->SetPathName(out.c_str());
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    if (!c.inputExists) std::filesystem::remove(in);

    Responder().AnswerMessageBox(c.answer);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text).rfind(c.boxText, 0), 0u)
        << MessageBoxesAsked()[0].text;
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Filtering...");
    EXPECT_TRUE(ProgressWindowsOpen().empty());
    EXPECT_EQ(GetRunningThreadCount(), 0);
    if (c.inputExists) {
        EXPECT_EQ(ReadLayer(in).size(), 400u);
    }
    if (std::string(c.output) == "exists") {
        EXPECT_EQ(std::string(MessageBoxesAsked()[0].text),
                  "File with name" + out + " already exists .\nReplace it?");
        EXPECT_EQ(tarvenix::test::ReadWholeFile(out), "keep me");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoiseFilterExecute,
    ::testing::Values(ExecuteCase{"MissingInput", false, "", IDOK, "Can't find the input file\n"},
                      ExecuteCase{"OutputNamesTheInput", true, "=input", IDOK,
                                  "The output file is the input file."},
                      ExecuteCase{"ExistingOutputAnsweredNo", true, "exists", IDNO, "File with name"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NoiseFilterDialog, NegativeVarianceIsRefusedAndNeverPreviewed)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 40, 40, int(DataType::F32), Ramp(40, 40)));
    auto* d = Open<CountingFiltrDlg>();
    Choose(d, IDC_FILTR_INPUT, in);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    ChooseFilter(d, 2);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    const auto runs = d->runs.size();
    d->GetDlgItem(IDC_FILTR_VARIANCE)->SetWindowText("-1");
    EXPECT_EQ(d->runs.size(), runs);
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nPreview");
    Picker(d, IDC_FILTR_OUTPUT)->SetPathName(dir.File("out.rdp").c_str());
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text),
              "The noise variance must be a number not less than 0.");
    EXPECT_TRUE(ProgressWindowsOpen().empty());
}

TEST_F(NoiseFilterDialog, TwoExecutesRunTwoJobsThatWriteTheFilteredFile)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp"), out2 = dir.File("out2.rdp");
    ASSERT_TRUE(WriteLayer(in, 120, 90, int(DataType::F32), Ramp(120, 90)));
    CMainFiltrDlg* d = Open();
    Choose(d, IDC_FILTR_INPUT, in);
    ChooseFilter(d, 2);
    d->GetDlgItem(IDC_FILTR_VARIANCE)->SetWindowText("4");
    Choose(d, IDC_FILTR_OUTPUT, out);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));

    d->SendMessage(WM_COMMAND, IDOK);
    Picker(d, IDC_FILTR_OUTPUT)->SetPathName(out2.c_str());
    d->SendMessage(WM_COMMAND, IDOK);
    // Two jobs side by side, each with its progress window; the dialog waits for neither.
    EXPECT_EQ(ProgressWindowsOpen().size(), 2u);
    EXPECT_EQ(GetRunningThreadCount(), 2);
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
    EXPECT_TRUE(MessageBoxesAsked().empty());
    double mean = 0;
    {
        CRDPLayer layer;
        ASSERT_TRUE(layer.OpenLayer(in.c_str(), kOpenReadOnly));
        mean = layer.Mean();
    }
    // A variance of 4 is a sigma of 2 in the job.
    const auto want = FilterFile(in, NoiseFilterSpec{kFilterLee, 3, 2.0f}, float(mean));
    const auto got = ReadLayer(out);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(float(got[i]), want[i]) << i;
    EXPECT_EQ(ReadLayer(out2), got);
}

}  // namespace

namespace {

TEST_F(NoiseFilterDialog, ScreenshotOfALeePreviewOfTheSample)
{
    TempDir dir;
    std::string sample = TVX_SAMPLE_LAYER;
    if (!std::filesystem::exists(sample)) {
        sample = dir.File("speckle.rdp");
        ASSERT_TRUE(WriteLayer(sample, 300, 200, int(DataType::F32), Ramp(300, 200)));
    }
    CMainFiltrDlg* d = Open();
    Choose(d, IDC_FILTR_INPUT, sample);
    ChooseFilter(d, 2);
    for (int i = 0; i < 2; ++i) ClickSpin(d, true);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
    const QImage shot = tarvenix::test::GrabWindow(*d);
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "noise_filter_dialog_lee_preview").empty());
    // The preview shows a picture, not one flat colour.
    CRect area;
    Preview(d)->GetWindowRect(&area);
    d->ScreenToClient(&area);
    std::set<QRgb> colours;
    for (int y = area.top + 5; y < area.bottom - 5; y += 3)
        for (int x = area.left + 5; x < area.right - 5; x += 3) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20u);
}

}  // namespace

namespace {

TEST_F(NoiseFilterDialog, HelpButtonAndF1AskForTheFilterPage)
{
    // No help folder holds the page here, so each request tells that it is missing.
    CMainFiltrDlg* d = Open();
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(IDC_FILTR_HELP), WORD(BN_CLICKED)),
                   reinterpret_cast<LPARAM>(d->GetDlgItem(IDC_FILTR_HELP)->GetSafeHwnd()));
    HELPINFO info{};
    d->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    for (const auto& box : MessageBoxesAsked())
        EXPECT_NE(std::string(box.text).find("Processing_Filtration.htm"), std::string::npos);
}

}  // namespace
