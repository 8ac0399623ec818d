#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/exports.h"
#include "modules/interferometry/phase_unwrap_dlg.h"
#include "outside/basecore/progress_window.h"
#include "tests/modules/interferometry/interf_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using namespace interftest;
using tarvenix::test::PumpUntil;
using tarvenix::test::Question;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

constexpr double kPi = 3.141592653589793;
constexpr const char* kCaption = "Развертка фазы: Ошибка";

CMainPhUnwrapDlg* OpenDialog()
{
    PhaseUnwrap_Files();
    const auto dialogs = TopLevelOf<CMainPhUnwrapDlg>();
    return dialogs.empty() ? nullptr : dialogs.front();
}

std::string Text(CWnd* dlg, int id)
{
    CString t;
    dlg->GetDlgItem(id)->GetWindowText(t);
    return std::string(t);
}

void Click(CWnd* dlg, int id)
{
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(id), WORD(BN_CLICKED)),
                     reinterpret_cast<LPARAM>(dlg->GetDlgItem(id)->GetSafeHwnd()));
}

/// A wrapped phase in 0..2π of a bowl that spans about 60 rad.
std::vector<double> WrappedBowl(int w, int h)
{
    std::vector<double> v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = x - w / 2.0, dy = y - h / 2.0;
            v.push_back(std::fmod(60.0 * (dx * dx + dy * dy) / (w * w / 4.0 + h * h / 4.0), 2 * kPi));
        }
    return v;
}

class PhaseUnwrapDialog : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CMainPhUnwrapDlg* d : TopLevelOf<CMainPhUnwrapDlg>()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
        CloseAllViewers();
    }
};

TEST_F(PhaseUnwrapDialog, BrowsingChecksTheInput)
{
    TempDir dir;
    std::vector<double> unit, turn;
    for (int i = 0; i < 48; ++i) {
        unit.push_back(i / 47.0);
        turn.push_back(6.2 * i / 47.0);
    }
    const std::string unitFile = dir.File("unit.rdp"), turnFile = dir.File("turn.rdp"),
                      ints = dir.File("ints.rdp"), cplx = dir.File("cplx.rdp"),
                      broken = dir.File("broken.rdp"), nostats = dir.File("nostats.rdp");
    ASSERT_TRUE(WriteLayer(unitFile, 8, 6, int(DataType::F32), unit));
    ASSERT_TRUE(WriteLayer(turnFile, 8, 6, int(DataType::F32), turn));
    ASSERT_TRUE(WriteLayer(ints, 8, 6, int(DataType::S16), turn));
    ASSERT_TRUE(WriteLayer(cplx, 8, 6, int(DataType::C64), std::vector<double>(96, 1.0)));
    ASSERT_TRUE(WriteLayer(nostats, 8, 6, int(DataType::F64), turn));
    ASSERT_TRUE(DeleteTag(nostats.c_str(), TAG_STATISTICS));
    tarvenix::test::WriteWholeFile(broken, "RDPR not really");
    struct Case {
        std::string file;
        const char* refusal;      // null: accepted
        const char* description;  // when accepted
    };
    const Case cases[] = {
        {unitFile, "Диапазон значений в файле не соответствует\r\n допуситимому для данного метода обработки",
         nullptr},
        {turnFile, nullptr, "F32, 8x6"},
        {ints, "Неверный тип входного файла", nullptr},
        {cplx, nullptr, "C64, 8x6"},
        {broken, "Входной файл поврежден", nullptr},
        {nostats, "Входной файл поврежден", nullptr},
    };
    CMainPhUnwrapDlg* d = OpenDialog();
    ASSERT_NE(d, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Responder().Reset();
        Responder().AnswerFile({c.file.c_str()});
        // A complex file's open asks which part to show; the tool takes the file whatever it is.
        if (c.file == cplx) Responder().AnswerDialogCommand(IDOK);
        if (c.refusal) Responder().AnswerMessageBox(IDOK);
        Click(d, IDC_UNWRAP_INPUT_BROWSE);
        if (c.refusal) {
            ASSERT_EQ(MessageBoxesAsked().size(), 1u);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), c.refusal);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), kCaption);
            EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONEXCLAMATION));
            EXPECT_EQ(Text(d, IDC_UNWRAP_INPUT), "");
            EXPECT_EQ(Text(d, IDC_UNWRAP_INPUT_INFO), "");
        } else {
            EXPECT_TRUE(MessageBoxesAsked().empty());
            EXPECT_EQ(Text(d, IDC_UNWRAP_INPUT), c.file);
            EXPECT_EQ(Text(d, IDC_UNWRAP_INPUT_INFO), c.description);
        }
    }
}

TEST_F(PhaseUnwrapDialog, MaskControlsFollowTheCheckAndExecuteChecksInOrder)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 8, 6, int(DataType::F32), WrappedBowl(8, 6)));
    CMainPhUnwrapDlg* d = OpenDialog();
    ASSERT_NE(d, nullptr);
    const int maskControls[] = {IDC_UNWRAP_MASK, IDC_UNWRAP_MASK_BROWSE, IDC_UNWRAP_MASK_INFO,
                                IDC_UNWRAP_ITERATIONS_GROUP, IDC_UNWRAP_ITERATIONS};
    for (int id : maskControls) EXPECT_FALSE(d->GetDlgItem(id)->IsWindowEnabled()) << id;
    EXPECT_EQ(Text(d, IDC_UNWRAP_ITERATIONS), "10");

    const struct {
        const char* input;
        const char* output;
        bool mask;
        const char* message;
    } cases[] = {{"", "out.rdp", false, "Не указано имя входного файла"},
                 {"in.rdp", "", false, "Не указано имя выходного файла"},
                 {"in.rdp", "out.rdp", true, "Не указано имя файла маски"},
                 {"in.rdp", "./in.rdp", false, "The output file is the input file."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Responder().Reset();
        const std::string input = *c.input ? dir.File(c.input) : "",
                          output = *c.output ? dir.File(c.output) : "";
        d->GetDlgItem(IDC_UNWRAP_INPUT)->SetWindowText(input.c_str());
        d->GetDlgItem(IDC_UNWRAP_OUTPUT)->SetWindowText(output.c_str());
        static_cast<CButton*>(d->GetDlgItem(IDC_UNWRAP_USE_MASK))
            ->SetCheck(c.mask ? BST_CHECKED : BST_UNCHECKED);
        Click(d, IDC_UNWRAP_USE_MASK);
        for (int id : maskControls) EXPECT_EQ(bool(d->GetDlgItem(id)->IsWindowEnabled()), c.mask) << id;
        Responder().AnswerMessageBox(IDOK);
        d->SendMessage(WM_COMMAND, IDOK);
        ASSERT_EQ(MessageBoxesAsked().size(), 1u);
        EXPECT_EQ(std::string(MessageBoxesAsked()[0].text).rfind(c.message, 0), 0u)
            << MessageBoxesAsked()[0].text;
        EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), kCaption);
        EXPECT_TRUE(ProgressWindowsOpen().empty());
    }
}

TEST_F(PhaseUnwrapDialog, AnOutputNamingTheMaskInUseIsRefused)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), mask = dir.File("mask.rdp");
    ASSERT_TRUE(WriteLayer(in, 8, 6, int(DataType::F32), WrappedBowl(8, 6)));
    ASSERT_TRUE(WriteLayer(mask, 8, 6, int(DataType::F32), std::vector<double>(48, 1.0)));
    CMainPhUnwrapDlg* d = OpenDialog();
    ASSERT_NE(d, nullptr);
    d->GetDlgItem(IDC_UNWRAP_INPUT)->SetWindowText(in.c_str());
    d->GetDlgItem(IDC_UNWRAP_MASK)->SetWindowText(mask.c_str());
    d->GetDlgItem(IDC_UNWRAP_OUTPUT)->SetWindowText((dir.Path().string() + "/./mask.rdp").c_str());
    static_cast<CButton*>(d->GetDlgItem(IDC_UNWRAP_USE_MASK))->SetCheck(BST_CHECKED);
    Click(d, IDC_UNWRAP_USE_MASK);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text).rfind("The output file is the input file.", 0), 0u);
    EXPECT_TRUE(ProgressWindowsOpen().empty());
    EXPECT_EQ(ReadLayer(mask).size(), 48u);
}

TEST_F(PhaseUnwrapDialog, TypedPathRunsUncheckedAndTheResultOpens)
{
    TempDir dir;
    // A 0..1 phase would be refused by browsing; typed in, it goes to the job as it is.
    const std::string in = dir.File("small_range.rdp"), out = dir.File("unwrapped.rdp");
    std::vector<double> v;
    for (int i = 0; i < 60; ++i) v.push_back((i % 10) / 10.0);
    ASSERT_TRUE(WriteLayer(in, 10, 6, int(DataType::F32), v));
    CMainPhUnwrapDlg* d = OpenDialog();
    d->GetDlgItem(IDC_UNWRAP_INPUT)->SetWindowText(in.c_str());
    d->GetDlgItem(IDC_UNWRAP_OUTPUT)->SetWindowText(out.c_str());
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(ProgressWindowsOpen().size(), 1u);
    CString title;
    ProgressWindowsOpen()[0]->GetWindowText(title);
    EXPECT_EQ(std::string(title), "Развертка фазы:small_range.rdp");
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindow(::FindWindow(nullptr, out.c_str())) != FALSE; }));
    EXPECT_TRUE(MessageBoxesAsked().empty());
    int w = 0, h = 0;
    EXPECT_EQ(ReadLayer(out, &w, &h).size(), 60u);
}

TEST_F(PhaseUnwrapDialog, ScreenshotsOfTheDialogAndTheUnwrappedPhase)
{
    TempDir dir;
    const std::string in = dir.File("interferogram.rdp"), out = dir.File("unwrapped_phase.rdp");
    ASSERT_TRUE(WriteLayer(in, 320, 240, int(DataType::F32), WrappedBowl(320, 240)));
    CMainPhUnwrapDlg* d = OpenDialog();
    Responder().AnswerFile({in.c_str()});
    Click(d, IDC_UNWRAP_INPUT_BROWSE);
    Responder().AnswerFile({out.c_str()});
    Click(d, IDC_UNWRAP_OUTPUT_BROWSE);
    EXPECT_EQ(Text(d, IDC_UNWRAP_OUTPUT), out);
    tarvenix::test::PumpEvents();
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*d), "phase_unwrap_dialog");
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindow(::FindWindow(nullptr, out.c_str())) != FALSE; }));
    SettleViewers();
    CWnd* viewer = CWnd::FromHandle(::FindWindow(nullptr, out.c_str()));
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*viewer), "unwrapped_phase_viewer");
    // The bowl comes back: its corner lies 60 rad above its centre.
    const auto got = ReadLayer(out);
    EXPECT_NEAR(got[0] - got[std::size_t(120) * 320 + 160], 60.0, 0.05);
}

}  // namespace
