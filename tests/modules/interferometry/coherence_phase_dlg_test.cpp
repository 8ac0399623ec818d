#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/coherence_dlg.h"
#include "modules/interferometry/complex_operation_dlg.h"
#include "modules/interferometry/exports.h"
#include "modules/interferometry/phase_filter_dlg.h"
#include "modules/interferometry/phase_unwrap_dlg.h"
#include "modules/interferometry/spectrum_dlg.h"
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

CString Text(CWnd* dlg, int id)
{
    CString t;
    dlg->GetDlgItem(id)->GetWindowText(t);
    return t;
}

CInFileCtrl* Picker(CWnd* dlg, int id)
{
    return dynamic_cast<CInFileCtrl*>(dlg->GetDlgItem(id));
}

/// A file handed to a picker as its browse button does, without the file dialog.
void Choose(CWnd* dlg, int pickerId, const std::string& path)
{
    Picker(dlg, pickerId)->SetPathName(path.c_str());
    dlg->SendMessage(WM_INFILECTRL_CHOSEN, WPARAM(pickerId), 0);
}

std::vector<double> ComplexRamp(int w, int h, double tilt)
{
    std::vector<double> v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double phase = tilt * x * x / w + 0.2 * y + 0.5 * std::sin(0.7 * x * y);
            const double amp = 50 + 40 * std::cos(0.13 * x + 0.05 * y * y);
            v.insert(v.end(), {amp * std::cos(phase), amp * std::sin(phase)});
        }
    return v;
}

class FringeDialogs : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto* d : TopLevelOf<CToolDlg>()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
        EXPECT_TRUE(TopLevelOf<CToolDlg>().empty());
        CloseAllViewers();
    }
};

TEST_F(FringeDialogs, EntriesOpenIndependentDialogsWithTheirTitles)
{
    const struct {
        void (*open)();
        const char* caption;
    } tools[] = {{Coher_Files, "Coherence calculation"},
                 {PhaseFiltr_Files, "Phase filtration"},
                 {PhaseUnwrap_Files, "Phase unwrapping"}};
    for (const auto& t : tools) {
        SCOPED_TRACE(t.caption);
        t.open();
        t.open();
        auto dialogs = TopLevelOf<CToolDlg>();
        ASSERT_EQ(dialogs.size(), 2u);
        for (auto* d : dialogs) {
            CString caption;
            d->GetWindowText(caption);
            EXPECT_EQ(std::string(caption), t.caption);
        }
        dialogs[0]->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_EQ(TopLevelOf<CToolDlg>().size(), 1u);
        dialogs[1]->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(TopLevelOf<CToolDlg>().empty());
    }
}

TEST_F(FringeDialogs, SpinsGiveTheWindowSizes)
{
    Coher_Files();
    PhaseFiltr_Files();
    const struct {
        int spin, text;
    } ids[] = {{IDC_COHER_SPIN, IDC_COHER_SIZE_TEXT}, {IDC_PHFILTR_SPIN, IDC_PHFILTR_SIZE_TEXT}};
    auto* coher = TopLevelOf<CMainCalcCoherDlg>()[0];
    auto* filtr = TopLevelOf<CPhaseFiltrDlg>()[0];
    CWnd* dlgs[] = {coher, filtr};
    for (int i = 0; i < 2; ++i) {
        auto* spin = static_cast<CSpinButtonCtrl*>(dlgs[i]->GetDlgItem(ids[i].spin));
        EXPECT_EQ(std::string(Text(dlgs[i], ids[i].text)), "3x3");
        for (const char* size : {"5x5", "7x7", "9x9", "11x11", "13x13", "15x15", "17x17", "17x17"}) {
            spin->ClickArrow(true);
            EXPECT_EQ(std::string(Text(dlgs[i], ids[i].text)), size);
        }
        for (int k = 0; k < 6; ++k) spin->ClickArrow(false);
        EXPECT_EQ(std::string(Text(dlgs[i], ids[i].text)), "5x5");
    }
    EXPECT_EQ(coher->WindowSize(), 5);
    EXPECT_EQ(filtr->WindowSize(), 5);
}

TEST_F(FringeDialogs, PickersRefuseWhatTheToolCannotUse)
{
    TempDir dir;
    const std::string real = dir.File("real.rdp"), cplx = dir.File("cplx.rdp"), unit = dir.File("unit.rdp"),
                      phase = dir.File("phase.rdp"), nostats = dir.File("nostats.rdp");
    ASSERT_TRUE(WriteLayer(real, 8, 8, int(DataType::S16), std::vector<double>(64, 3)));
    ASSERT_TRUE(WriteLayer(cplx, 8, 8, int(DataType::CS16), std::vector<double>(128, 3)));
    std::vector<double> v01, v62;
    for (int i = 0; i < 64; ++i) {
        v01.push_back(i / 63.0);
        v62.push_back(6.2 * i / 63.0);
    }
    ASSERT_TRUE(WriteLayer(unit, 8, 8, int(DataType::F32), std::vector<double>(64, 7.0)));
    ASSERT_TRUE(WriteLayer(phase, 8, 8, int(DataType::F32), v62));
    ASSERT_TRUE(WriteLayer(nostats, 8, 8, int(DataType::F64), v62));
    ASSERT_TRUE(DeleteTag(nostats.c_str(), TAG_STATISTICS));
    struct Case {
        bool coherence;
        int picker;
        std::string file;
        const char* refusal;  // null: accepted
    };
    const Case cases[] = {
        {true, IDC_FIRST_INPUT, real, "Invalid  input file type\n"},
        {true, IDC_SECOND_INPUT, real, "Invalid  input file type\n"},
        {true, IDC_FIRST_INPUT, cplx, nullptr},
        {false, IDC_PHFILTR_INPUT, real, "Invalid  input file type\n"},
        {false, IDC_PHFILTR_INPUT, unit, "Range of values is invalid for this processing method"},
        {false, IDC_PHFILTR_INPUT, nostats, "Range of values is invalid for this processing method"},
        {false, IDC_PHFILTR_INPUT, phase, nullptr},
        {false, IDC_PHFILTR_INPUT, cplx, nullptr},
    };
    Coher_Files();
    PhaseFiltr_Files();
    CWnd* coher = TopLevelOf<CMainCalcCoherDlg>()[0];
    CWnd* filtr = TopLevelOf<CPhaseFiltrDlg>()[0];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Responder().Reset();
        CWnd* d = c.coherence ? coher : filtr;
        if (c.refusal) Responder().AnswerMessageBox(IDOK);
        Choose(d, c.picker, c.file);
        if (c.refusal) {
            ASSERT_EQ(MessageBoxesAsked().size(), 1u);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), c.refusal);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption),
                      c.coherence ? "Coherence calculation: Error" : "Phase filtration: Error");
            EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONEXCLAMATION));
            EXPECT_EQ(std::string(Picker(d, c.picker)->GetPathName()), "");
        } else {
            EXPECT_TRUE(MessageBoxesAsked().empty());
            EXPECT_EQ(std::string(Picker(d, c.picker)->GetPathName()), c.file);
        }
    }
}

// Coherence, complex operations and the spectrum read a complex input whole: choosing one
// asks no "Open as" question, whatever the input's kind.
TEST_F(FringeDialogs, ToolsReadingComplexInputsWholeAskForNoComponent)
{
    TempDir dir;
    const std::string c64 = dir.File("c64.rdp"), cs16 = dir.File("cs16.rdp");
    ASSERT_TRUE(WriteLayer(c64, 8, 8, int(DataType::C64), std::vector<double>(128, 3)));
    ASSERT_TRUE(WriteLayer(cs16, 8, 8, int(DataType::CS16), std::vector<double>(128, 3)));
    Coher_Files();
    Operation_Complex_Files();
    FFT_Files();
    const std::pair<CWnd*, int> pickers[] = {
        {TopLevelOf<CMainCalcCoherDlg>()[0], IDC_FIRST_INPUT},
        {TopLevelOf<CMainCalcCoherDlg>()[0], IDC_SECOND_INPUT},
        {TopLevelOf<CComplexOperationDlg>()[0], IDC_FIRST_INPUT},
        {TopLevelOf<CComplexOperationDlg>()[0], IDC_SECOND_INPUT},
        {TopLevelOf<CFFTDlg>()[0], IDC_SPECTR_INPUT},
    };
    for (const auto& [dlg, id] : pickers) {
        for (const std::string& file : {c64, cs16}) {
            SCOPED_TRACE(file + " in picker " + std::to_string(id));
            Responder().Reset();
            Responder().AnswerFile({file.c_str()});
            Picker(dlg, id)->GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
            tarvenix::test::PumpEvents();
            ASSERT_EQ(Responder().Asked().size(), 1u) << "the file dialog, and no question after it";
            EXPECT_EQ(Responder().Asked()[0].kind, Question::Kind::File);
            EXPECT_EQ(std::string(Picker(dlg, id)->GetPathName()), file);
        }
    }
}

struct CoherExecuteCase {
    const char* name;
    bool first, second, output;  // which names are given
    const char* secondFile;      // "same", "corrupt", "taller", "double", "=first" (output)
    const char* message;
};

class CoherenceExecute : public FringeDialogs, public ::testing::WithParamInterface<CoherExecuteCase> {};

TEST_P(CoherenceExecute, RefusesWithOneMessageAndStartsNothing)
{
    const CoherExecuteCase& c = GetParam();
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp");
    std::string out = dir.File("out.rdp");
    const std::string kind = c.secondFile;
    ASSERT_TRUE(WriteLayer(a, 10, 8, int(DataType::C64), ComplexRamp(10, 8, 1)));
    const int h = kind == "taller" ? 9 : 8;
    const int type = kind == "double" ? int(DataType::C128) : int(DataType::C64);
    ASSERT_TRUE(WriteLayer(b, 10, h, type, ComplexRamp(10, h, 2)));
    Coher_Files();
    auto* d = TopLevelOf<CMainCalcCoherDlg>()[0];
    if (c.first) Choose(d, IDC_FIRST_INPUT, a);
    if (c.second) Choose(d, IDC_SECOND_INPUT, b);
    if (kind == "=first") out = dir.Path().string() + "/./a.rdp";
    if (c.output) Choose(d, IDC_TWO_INPUT_OUTPUT, out);
    // The picker read the file when it was chosen; it is damaged afterwards.
    if (kind == "corrupt") tarvenix::test::WriteWholeFile(b, "RDPR");
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text).rfind(c.message, 0), 0u)
        << MessageBoxesAsked()[0].text;
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Coherence calculation: Error");
    EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONEXCLAMATION));
    EXPECT_EQ(std::string(d->Message()).rfind(c.message, 0), 0u);
    EXPECT_TRUE(ProgressWindowsOpen().empty());
    EXPECT_EQ(GetRunningThreadCount(), 0);
    EXPECT_EQ(ReadLayer(a).size(), 160u);
}

INSTANTIATE_TEST_SUITE_P(Checks, CoherenceExecute,
                         ::testing::Values(CoherExecuteCase{"NoFirstInput", false, true, true, "same",
                                                            "It is necessary to select input file names"},
                                           CoherExecuteCase{"NoSecondInput", true, false, true, "same",
                                                            "It is necessary to select input file names"},
                                           CoherExecuteCase{"NoOutput", true, true, false, "same",
                                                            "It is necessary to select an output file name"},
                                           CoherExecuteCase{"CorruptInput", true, true, true, "corrupt",
                                                            "One of the input files is corrupt"},
                                           CoherExecuteCase{"SizesDiffer", true, true, true, "taller",
                                                            "Input files differ in size"},
                                           CoherExecuteCase{"TypesDiffer", true, true, true, "double",
                                                            "Input files have different data types"},
                                           CoherExecuteCase{"OutputIsAnInput", true, true, true, "=first",
                                                            "The output file is the input file."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FringeDialogs, PhaseFilterExecuteChecks)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 10, 8, int(DataType::C64), ComplexRamp(10, 8, 1)));
    const struct {
        bool input, output;
        std::string out;
        const char* message;
    } cases[] = {{false, true, dir.File("o.rdp"), "It is necessary to select an input file name"},
                 {true, false, "", "It is necessary to select an output file name"},
                 {true, true, dir.Path().string() + "//in.rdp", "The output file is the input file."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Responder().Reset();
        PhaseFiltr_Files();
        auto* d = TopLevelOf<CPhaseFiltrDlg>().back();
        if (c.input) Choose(d, IDC_PHFILTR_INPUT, in);
        if (c.output) Choose(d, IDC_PHFILTR_OUTPUT, c.out);
        Responder().AnswerMessageBox(IDOK);
        d->SendMessage(WM_COMMAND, IDOK);
        ASSERT_EQ(MessageBoxesAsked().size(), 1u);
        EXPECT_EQ(std::string(MessageBoxesAsked()[0].text).rfind(c.message, 0), 0u)
            << MessageBoxesAsked()[0].text;
        EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Phase filtration: Error");
        EXPECT_TRUE(ProgressWindowsOpen().empty());
        d->SendMessage(WM_COMMAND, IDCANCEL);
    }
}

TEST_F(FringeDialogs, ExecuteRunsTheJobTitledAndItsResultOpensEvenAfterTheDialogClosed)
{
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp"), coh = dir.File("coherence.rdp"),
                      filtered = dir.File("filtered.rdp");
    ASSERT_TRUE(WriteLayer(a, 96, 64, int(DataType::C64), ComplexRamp(96, 64, 1)));
    ASSERT_TRUE(WriteLayer(b, 96, 64, int(DataType::C64), ComplexRamp(96, 64, 1.3)));

    Coher_Files();
    auto* d = TopLevelOf<CMainCalcCoherDlg>()[0];
    Choose(d, IDC_FIRST_INPUT, a);
    Choose(d, IDC_SECOND_INPUT, b);
    Choose(d, IDC_TWO_INPUT_OUTPUT, coh);
    static_cast<CSpinButtonCtrl*>(d->GetDlgItem(IDC_COHER_SPIN))->ClickArrow(true);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(ProgressWindowsOpen().size(), 1u);
    basecore::CProgressWnd* progress = ProgressWindowsOpen()[0];
    CString title;
    progress->GetWindowText(title);
    EXPECT_EQ(std::string(title), "Coherence calculation:coherence.rdp");
    // The dialog goes while its job runs: the result still opens.
    d->SendMessage(WM_COMMAND, IDCANCEL);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindow(::FindWindow(nullptr, coh.c_str())) != FALSE; }));
    EXPECT_TRUE(MessageBoxesAsked().empty());
    CWnd* viewer = CWnd::FromHandle(::FindWindow(nullptr, coh.c_str()));
    SettleViewers();
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*viewer), "coherence_map_viewer");

    PhaseFiltr_Files();
    auto* f = TopLevelOf<CPhaseFiltrDlg>()[0];
    Choose(f, IDC_PHFILTR_INPUT, a);
    Choose(f, IDC_PHFILTR_OUTPUT, filtered);
    f->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(ProgressWindowsOpen().size(), 1u);
    ProgressWindowsOpen()[0]->GetWindowText(title);
    EXPECT_EQ(std::string(title), "Phase filtration:a.rdp");
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindow(::FindWindow(nullptr, filtered.c_str())) != FALSE; }));
    EXPECT_EQ(ReadLayer(filtered).size(), 96u * 64u);
}

TEST_F(FringeDialogs, CoherenceDialogScreenshot)
{
    TempDir dir;
    const std::string a = dir.File("first_pass.rdp"), b = dir.File("second_pass.rdp");
    ASSERT_TRUE(WriteLayer(a, 96, 64, int(DataType::C64), ComplexRamp(96, 64, 1)));
    ASSERT_TRUE(WriteLayer(b, 96, 64, int(DataType::C64), ComplexRamp(96, 64, 1.3)));
    Coher_Files();
    auto* d = TopLevelOf<CMainCalcCoherDlg>()[0];
    Choose(d, IDC_FIRST_INPUT, a);
    Choose(d, IDC_SECOND_INPUT, b);
    Choose(d, IDC_TWO_INPUT_OUTPUT, dir.File("coherence.rdp"));
    static_cast<CSpinButtonCtrl*>(d->GetDlgItem(IDC_COHER_SPIN))->ClickArrow(true);
    tarvenix::test::PumpEvents();
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*d), "coherence_dialog");
}

}  // namespace
