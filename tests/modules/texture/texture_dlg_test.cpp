// The dialog as the user drives it: the entry opens it, the controls change the settings,
// the preview follows, Execute checks and starts the job whose result opens in a viewer.

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/texture/exports.h"
#include "modules/texture/texture_dlg.h"
#include "modules/texture/texture_resources.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/tags.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"
#include "tests/modules/texture/texture_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using namespace texturetest;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

std::vector<CMainTextureDlg*> Dialogs()
{
    return TopLevelOf<CMainTextureDlg>();
}

std::vector<std::string> ProgressTitles()
{
    std::vector<std::string> titles;
    for (basecore::CProgressWnd* w : ProgressWindowsOpen()) {
        CString t;
        w->GetWindowText(t);
        titles.push_back(std::string(t));
    }
    return titles;
}

std::vector<double> Ramp(int width, int height)
{
    std::vector<double> v;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) v.push_back(10 + x * 3 + y * 7 + ((x * 7 + y * 13) % 5));
    return v;
}

/// Serves the event loop until no worker runs and nothing more arrives.
void Settle()
{
    for (int settled = 0; settled < 5;) {
        tarvenix::test::PumpEvents();
        settled = GetRunningThreadCount() == 0 ? settled + 1 : 0;
    }
}

void CloseAllViewers()
{
    Settle();
    ::SendMessage(HWND_BROADCAST, ::RegisterWindowMessage("Tarvenix - Viewer Control Message"), 1, 0);
    tarvenix::test::PumpEvents();
}

/// Counts preview runs and what they were asked with.
class CountingTextureDlg : public CMainTextureDlg {
public:
    struct Run {
        int dimensionality, statistic, window, direction, distance;
    };
    std::vector<Run> runs;
    int answers = 0;

protected:
    CThread* StartPreview(const CString& input) override
    {
        runs.push_back({Dimensionality(), StatisticIndex(), WindowSize(), Direction(), Distance()});
        return CMainTextureDlg::StartPreview(input);
    }
    void TakePreview(WPARAM code, LPARAM record) override
    {
        ++answers;
        CMainTextureDlg::TakePreview(code, record);
    }
};

class TextureDialog : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CMainTextureDlg* d : Dialogs()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressTitles().empty(); }));
        EXPECT_TRUE(Dialogs().empty());
        CloseAllViewers();
    }

    template <class Dlg = CMainTextureDlg>
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
            dlg->GetDlgItem(IDC_TEXTURE_PREVIEW)->GetDlgItem(IDC_TEXTURE_PREVIEW));
    }
    static CInFileCtrl* Picker(CWnd* dlg, int id) { return dynamic_cast<CInFileCtrl*>(dlg->GetDlgItem(id)); }
    static CComboBox* Combo(CWnd* dlg, int id) { return static_cast<CComboBox*>(dlg->GetDlgItem(id)); }
    static std::vector<std::string> Items(CWnd* dlg, int id)
    {
        std::vector<std::string> items;
        for (int i = 0; i < Combo(dlg, id)->GetCount(); ++i) {
            CString t;
            Combo(dlg, id)->GetLBText(i, t);
            items.push_back(std::string(t));
        }
        return items;
    }
    /// Selects an entry of a list as the user does.
    static void Select(CWnd* dlg, int id, int index)
    {
        Combo(dlg, id)->SetCurSel(index);
        dlg->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(id), WORD(CBN_SELCHANGE)),
                         reinterpret_cast<LPARAM>(Combo(dlg, id)->GetSafeHwnd()));
    }
    static void ClickSpin(CWnd* dlg, bool up)
    {
        static_cast<CSpinButtonCtrl*>(dlg->GetDlgItem(IDC_TEXTURE_SPIN))->ClickArrow(up);
    }
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
    static bool SecondOrderEnabled(CWnd* dlg)
    {
        bool all = true, none = true;
        for (int id : {IDC_TEXTURE_EDIT_DIST, IDC_TEXTURE_LABEL_DIST, IDC_TEXTURE_LABEL_ANGLE,
                       IDC_TEXTURE_COMBO_ANGLE}) {
            const bool on = dlg->GetDlgItem(id)->IsWindowEnabled();
            all = all && on;
            none = none && !on;
        }
        EXPECT_TRUE(all || none);
        return all;
    }
    static bool PreviewIdle(CMainTextureDlg* d) { return !d->PreviewBusy() && GetRunningThreadCount() == 0; }
};

const std::vector<std::string> kFirstOrder = {"Mean",   "Entropy",  "Std. Dev.",
                                              "Energy", "Skewness", "Kurtosis"};
const std::vector<std::string> kSecondOrder = {"Absolute Value",   "Entropy",     "Contrast",   "Energy",
                                               "Max. Probability", "Correlation", "Homogeneity"};

TEST_F(TextureDialog, OpensInItsInitialStateAndSwitchesBetweenTheTwoLists)
{
    Texture_Files();
    Texture_Files();
    ASSERT_EQ(Dialogs().size(), 2u);
    CMainTextureDlg* d = Dialogs()[0];
    CString caption;
    d->GetWindowText(caption);
    EXPECT_EQ(std::string(caption), "Texture Analysis");
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nSelect input\nfile");
    EXPECT_EQ(Items(d, IDC_TEXTURE_COMBO_ORDER), (std::vector<std::string>{"1-D", "2-D"}));
    EXPECT_EQ(Items(d, IDC_TEXTURE_COMBO_ANGLE), (std::vector<std::string>{"0°", "45°", "90°", "135°"}));
    EXPECT_EQ(Items(d, IDC_TEXTURE_COMBO_TYPE), kFirstOrder);
    EXPECT_EQ(Combo(d, IDC_TEXTURE_COMBO_TYPE)->GetCurSel(), 0);
    EXPECT_EQ(std::string(Text(d, IDC_TEXTURE_SIZE_TEXT)), "3x3");
    EXPECT_EQ(std::string(Text(d, IDC_TEXTURE_EDIT_DIST)), "1");
    EXPECT_FALSE(SecondOrderEnabled(d));

    // Each switch starts the new list at its first entry.
    const struct {
        int order;
        const std::vector<std::string>& items;
        bool secondOrder;
    } steps[] = {{1, kSecondOrder, true}, {0, kFirstOrder, false}, {1, kSecondOrder, true}};
    for (const auto& s : steps) {
        Select(d, IDC_TEXTURE_COMBO_TYPE, 3);
        Select(d, IDC_TEXTURE_COMBO_ORDER, s.order);
        EXPECT_EQ(Items(d, IDC_TEXTURE_COMBO_TYPE), s.items);
        EXPECT_EQ(Combo(d, IDC_TEXTURE_COMBO_TYPE)->GetCurSel(), 0);
        EXPECT_EQ(d->StatisticIndex(), 0);
        EXPECT_EQ(SecondOrderEnabled(d), s.secondOrder);
    }
    d->SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(Dialogs().size(), 1u);
}

TEST_F(TextureDialog, SpinStepsThroughTheOddSizesAndStopsAt21)
{
    CMainTextureDlg* d = Open();
    const char* sizes[] = {"5x5",   "7x7",   "9x9",   "11x11", "13x13",
                           "15x15", "17x17", "19x19", "21x21", "21x21"};
    for (const char* size : sizes) {
        ClickSpin(d, true);
        EXPECT_EQ(std::string(Text(d, IDC_TEXTURE_SIZE_TEXT)), size);
    }
    EXPECT_EQ(d->WindowSize(), 21);
    for (int i = 0; i < 9; ++i) ClickSpin(d, false);
    EXPECT_EQ(std::string(Text(d, IDC_TEXTURE_SIZE_TEXT)), "3x3");
    EXPECT_EQ(d->WindowSize(), 3);
}

struct DistanceCase {
    int order;
    const char* distance;
    bool accepted;
};

TEST_F(TextureDialog, ExecuteChecksTheFilesAndTheDistanceThenStartsTheJob)
{
    TempDir dir;
    const std::string in = dir.File("name.rdp");
    ASSERT_TRUE(WriteLayer(in, 12, 10, int(DataType::U8), Ramp(12, 10)));
    CMainTextureDlg* d = Open();

    // The files first: input, then output.
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    Choose(d, IDC_TEXTURE_INPUT, in);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "It is necessary to select input file name");
    EXPECT_EQ(std::string(MessageBoxesAsked()[1].text), "It is necessary to select output file name");
    for (const auto& box : MessageBoxesAsked()) {
        EXPECT_EQ(std::string(box.caption), "Texture Analisis: Error");
        EXPECT_EQ(box.Icon(), UINT(MB_ICONEXCLAMATION));
    }
    Responder().Reset();
    EXPECT_TRUE(ProgressTitles().empty());

    // With a 3x3 window: 0 .. 2 pass, 3 and -1 do not, in either list.
    const DistanceCase cases[] = {{0, "0", true}, {0, "2", true}, {0, "3", false}, {0, "-1", false},
                                  {1, "0", true}, {1, "2", true}, {1, "3", false}, {1, "-1", false}};
    int jobs = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.distance) + (c.order ? " 2-D" : " 1-D"));
        Responder().Reset();
        // Typed while the field is enabled, as the user can only do in "2-D".
        Select(d, IDC_TEXTURE_COMBO_ORDER, 1);
        d->GetDlgItem(IDC_TEXTURE_EDIT_DIST)->SetWindowText(c.distance);
        Select(d, IDC_TEXTURE_COMBO_ORDER, c.order);
        EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
        const std::string out = dir.File("out" + std::to_string(jobs) + ".rdp");
        Picker(d, IDC_TEXTURE_OUTPUT)->SetPathName(out.c_str());
        if (!c.accepted) Responder().AnswerMessageBox(IDOK);
        d->SendMessage(WM_COMMAND, IDOK);
        if (c.accepted) {
            ASSERT_TRUE(MessageBoxesAsked().empty());
            EXPECT_EQ(ProgressTitles(), std::vector<std::string>{"Texture Analisis:name.rdp"});
            EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressTitles().empty(); }));
            EXPECT_TRUE(std::filesystem::exists(out));
            ++jobs;
        } else {
            ASSERT_EQ(MessageBoxesAsked().size(), 1u);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].text),
                      "The distance exceeds the maximum for this window size.");
            EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONERROR));
            EXPECT_EQ(CWnd::GetFocus(), d->GetDlgItem(IDC_TEXTURE_EDIT_DIST));
            EXPECT_TRUE(ProgressTitles().empty());
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
    EXPECT_EQ(jobs, 4);
    CloseAllViewers();
}

TEST_F(TextureDialog, AnExistingOutputIsReplacedOnlyWhenTheUserSaysYes)
{
    TempDir dir;
    const std::string in = dir.File("name.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, 12, 10, int(DataType::U8), Ramp(12, 10)));
    tarvenix::test::WriteWholeFile(out, "keep me");
    CMainTextureDlg* d = Open();
    Choose(d, IDC_TEXTURE_INPUT, in);
    Picker(d, IDC_TEXTURE_OUTPUT)->SetPathName(out.c_str());
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));

    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDNO ? "no" : "yes");
        Responder().Reset();
        Responder().AnswerMessageBox(answer);
        d->SendMessage(WM_COMMAND, IDOK);
        ASSERT_EQ(MessageBoxesAsked().size(), 1u);
        EXPECT_EQ(std::string(MessageBoxesAsked()[0].text),
                  "File with name" + out + " already exists .\nReplace it?");
        EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Texture Analisis: Error");
        EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONQUESTION));
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressTitles().empty(); }));
        if (answer == IDNO) EXPECT_EQ(tarvenix::test::ReadWholeFile(out), "keep me");
    }
    EXPECT_EQ(ReadLayer(out).size(), 120u);
    CloseAllViewers();
}

TEST_F(TextureDialog, ComplexInputIsRefusedAtOnce)
{
    TempDir dir;
    const std::string in = dir.File("complex.rdp");
    ASSERT_TRUE(WriteLayer(in, 20, 20, int(DataType::C64), Ramp(40, 20)));
    auto* d = Open<CountingTextureDlg>();
    Responder().AnswerFile({in.c_str()});
    Responder().AnswerDialogCommand(IDOK);  // the picker's question for a complex file's part
    Responder().AnswerMessageBox(IDOK);
    Picker(d, IDC_TEXTURE_INPUT)->GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
    tarvenix::test::PumpEvents();
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "Incorrect type of input file");
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Texture Analisis: Error");
    EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONEXCLAMATION));
    EXPECT_TRUE(std::string(Picker(d, IDC_TEXTURE_INPUT)->GetPathName()).empty());
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nSelect input\nfile");
    EXPECT_TRUE(d->runs.empty());
}

TEST_F(TextureDialog, InputWithoutStatisticsGetsNoPreviewAndNoMessage)
{
    TempDir dir;
    const std::string in = dir.File("nostats.rdp");
    ASSERT_TRUE(WriteLayer(in, 40, 40, int(DataType::U8), Ramp(40, 40)));
    ASSERT_TRUE(DeleteTag(in.c_str(), TAG_STATISTICS));
    auto* d = Open<CountingTextureDlg>();
    Choose(d, IDC_TEXTURE_INPUT, in);
    Select(d, IDC_TEXTURE_COMBO_ORDER, 1);
    ClickSpin(d, true);
    EXPECT_TRUE(MessageBoxesAsked().empty());
    EXPECT_TRUE(d->runs.empty());
    EXPECT_EQ(GetRunningThreadCount(), 0);
    EXPECT_EQ(Preview(d)->GetImageIndex(), -1);
}

TEST_F(TextureDialog, ChangesDuringAPreviewGiveOneRerunWithTheLastValues)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 64, 48, int(DataType::F32), Ramp(64, 48)));
    auto* d = Open<CountingTextureDlg>();
    ChooseHeld(d, IDC_TEXTURE_INPUT, in);
    ASSERT_EQ(d->runs.size(), 1u);
    ASSERT_TRUE(d->PreviewBusy());
    // The preview thread cannot hand in its answer while this thread does not serve it.
    Select(d, IDC_TEXTURE_COMBO_ORDER, 1);
    Select(d, IDC_TEXTURE_COMBO_TYPE, 2);
    ClickSpin(d, true);
    Select(d, IDC_TEXTURE_COMBO_ANGLE, 3);
    d->GetDlgItem(IDC_TEXTURE_EDIT_DIST)->SetWindowText("2");
    EXPECT_EQ(d->runs.size(), 1u);
    EXPECT_TRUE(d->PreviewAgain());

    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d) && d->answers == 2; }));
    ASSERT_EQ(d->runs.size(), 2u);
    EXPECT_EQ(d->runs[1].dimensionality, 1);
    EXPECT_EQ(d->runs[1].statistic, 2);
    EXPECT_EQ(d->runs[1].window, 5);
    EXPECT_EQ(d->runs[1].direction, 3);
    EXPECT_EQ(d->runs[1].distance, 2);
    EXPECT_FALSE(d->PreviewAgain());
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
}

TEST_F(TextureDialog, ClosingDuringAPreviewFreesTheRecordOnce)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 64, 48, int(DataType::F32), Ramp(64, 48)));
    CMainTextureDlg* d = Open();
    ChooseHeld(d, IDC_TEXTURE_INPUT, in);
    ASSERT_TRUE(d->PreviewBusy());
    d->SendMessage(WM_COMMAND, IDCANCEL);
    // The thread's answer finds no dialog and frees the record itself: the sanitizers see a
    // leak or a second free.
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(TextureDialog, PreviewsOfAFlatImageOrAWindowWithoutPairsShowNoPicture)
{
    TempDir dir;
    const std::string flat = dir.File("flat.rdp"), ramp = dir.File("ramp.rdp");
    ASSERT_TRUE(WriteLayer(flat, 40, 40, int(DataType::S16), std::vector<double>(1600, 7.0)));
    ASSERT_TRUE(WriteLayer(ramp, 40, 40, int(DataType::S16), Ramp(40, 40)));
    auto* d = Open<CountingTextureDlg>();
    Choose(d, IDC_TEXTURE_INPUT, flat);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nPreview");
    Choose(d, IDC_TEXTURE_INPUT, ramp);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
    // A distance past the window: no pairs, all values 0, no picture.
    Select(d, IDC_TEXTURE_COMBO_ORDER, 1);
    d->GetDlgItem(IDC_TEXTURE_EDIT_DIST)->SetWindowText("-1");
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    EXPECT_EQ(d->runs.back().distance, -1);
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nPreview");
}

TEST(TexturePreviewPicture, ScalesFiniteValuesAndTurnsTheRowsOver)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    // Two rows of three, top row first; the picture has the bottom row first.
    EXPECT_EQ(TexturePreviewPicture({0, 1, 2, 4, nan, -inf}, 3, 2),
              (std::vector<std::uint8_t>{255, 0, 0, 0, 64, 128}));
    EXPECT_TRUE(TexturePreviewPicture({3, 3, nan, 3}, 2, 2).empty());
    EXPECT_TRUE(TexturePreviewPicture({nan, inf}, 2, 1).empty());
}

TEST_F(TextureDialog, HelpButtonAndF1AskForTheTexturePage)
{
    // No help folder holds the page here, so each request tells that it is missing.
    CMainTextureDlg* d = Open();
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(IDC_TEXTURE_HELP), WORD(BN_CLICKED)),
                   reinterpret_cast<LPARAM>(d->GetDlgItem(IDC_TEXTURE_HELP)->GetSafeHwnd()));
    HELPINFO info{};
    d->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    for (const auto& box : MessageBoxesAsked())
        EXPECT_NE(std::string(box.text).find("Analysis_texture.HTM"), std::string::npos);
}

// ---- screenshots --------------------------------------------------------------------------

std::string SampleOr(TempDir& dir)
{
    std::string sample = TVX_SAMPLE_LAYER;
    if (!std::filesystem::exists(sample)) {
        sample = dir.File("sample.rdp");
        EXPECT_TRUE(WriteLayer(sample, 300, 200, int(DataType::F32), Ramp(300, 200)));
    }
    return sample;
}

TEST_F(TextureDialog, ScreenshotsOfPreviewsOfTheSample)
{
    TempDir dir;
    const std::string sample = SampleOr(dir);
    CMainTextureDlg* d = Open();
    Choose(d, IDC_TEXTURE_INPUT, sample);
    const struct {
        int order, statistic, spinClicks;
        const char* name;
    } shots[] = {{0, kFirstEntropy, 1, "texture_dialog_1d_entropy_preview"},
                 {1, kGlcmContrast, 0, "texture_dialog_2d_contrast_preview"}};
    for (const auto& s : shots) {
        Select(d, IDC_TEXTURE_COMBO_ORDER, s.order);
        Select(d, IDC_TEXTURE_COMBO_TYPE, s.statistic);
        for (int i = 0; i < s.spinClicks; ++i) ClickSpin(d, true);
        EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
        ASSERT_EQ(Preview(d)->GetImageIndex(), 0) << s.name;
        const QImage shot = tarvenix::test::GrabWindow(*d);
        EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, s.name).empty());
        // The preview shows a picture, not one flat colour.
        CRect area;
        Preview(d)->GetWindowRect(&area);
        d->ScreenToClient(&area);
        std::set<QRgb> colours;
        for (int y = area.top + 5; y < area.bottom - 5; y += 3)
            for (int x = area.left + 5; x < area.right - 5; x += 3) colours.insert(shot.pixel(x, y));
        EXPECT_GT(colours.size(), 20u) << s.name;
    }
}

TEST_F(TextureDialog, ExecuteOpensTheResultInAViewer)
{
    TempDir dir;
    const std::string sample = SampleOr(dir);
    const std::string output = dir.File("entropy.rdp");
    Texture_Files();
    CMainTextureDlg* d = Dialogs()[0];
    Choose(d, IDC_TEXTURE_INPUT, sample);
    Select(d, IDC_TEXTURE_COMBO_TYPE, kFirstEntropy);
    ClickSpin(d, true);
    Choose(d, IDC_TEXTURE_OUTPUT, output);
    d->SendMessage(WM_COMMAND, IDOK);
    HWND viewer = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        viewer = ::FindWindow(nullptr, output.c_str());
        return GetRunningThreadCount() == 0 && ::IsWindow(viewer);
    }));
    EXPECT_TRUE(MessageBoxesAsked().empty());
    CWnd* frame = CWnd::FromHandle(viewer);
    frame->ShowWindow(SW_SHOW);
    Settle();
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*frame), "texture_result_viewer")
            .empty());
}

}  // namespace
