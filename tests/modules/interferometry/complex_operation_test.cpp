#include <cmath>
#include <complex>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/complex_operation_dlg.h"
#include "modules/interferometry/complex_operation_job.h"
#include "modules/interferometry/exports.h"
#include "platform/controls/list_controls.h"
#include "tests/modules/interferometry/fringe_test_support.h"
#include "tests/support/test_environment.h"
#include "viewer/frame/frame_viewer.h"

namespace {

using namespace fringetest;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;
using C = std::complex<double>;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

SComplexOperationParam* Record(const std::string& a, const std::string& b, const std::string& out, int op)
{
    auto* r = new SComplexOperationParam;
    r->input1 = a.c_str();
    r->input2 = b.c_str();
    r->output = out.c_str();
    r->operation = op;
    r->errorCaption = "Coherence calculation: Error";
    return r;
}

// ---- values on a 2 x 2 fixture ------------------------------------------------------------

struct OperationCase {
    const char* name;
    int type;
    int op;
    std::vector<C> a, b, want;
};

class ComplexOperationValues : public ::testing::TestWithParam<OperationCase> {};

TEST_P(ComplexOperationValues, EachElementAsTheFormulaGives)
{
    const OperationCase& c = GetParam();
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteComplex(a, 2, 2, c.type, c.a));
    ASSERT_TRUE(WriteComplex(b, 2, 2, c.type, c.b));
    ASSERT_TRUE(SetTag(a.c_str(), TAG_DESCRIPTION, 6, "first"));
    RecordingMeter meter;
    Complex_Operation(Record(a, b, out, c.op), &meter);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_FALSE(meter.FailureMarked());
    const LayerData got = ReadLayer(out);
    ASSERT_EQ(got.type, c.type);
    ASSERT_EQ(got.width, 2);
    ASSERT_EQ(got.height, 2);
    const double tolerance = c.type == int(DataType::C64) ? 1e-5 : 1e-12;
    for (int i = 0; i < 4; ++i) {
        const C g = got.At(i % 2, i / 2);
        EXPECT_NEAR(g.real(), c.want[i].real(), tolerance * (1 + std::abs(c.want[i].real()))) << i;
        EXPECT_NEAR(g.imag(), c.want[i].imag(), tolerance * (1 + std::abs(c.want[i].imag()))) << i;
    }
    char description[6] = {};
    EXPECT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 6, description));
    EXPECT_STREQ(description, "first");
}

const std::vector<C> kA = {{1, 2}, {-3, 0.5}, {0, 0}, {1000, 0}};
const std::vector<C> kB = {{3, -1}, {2, 2}, {0.5, 0.25}, {0, 0}};

std::vector<C> Apply(int op, const std::vector<C>& a, const std::vector<C>& b)
{
    std::vector<C> r;
    for (std::size_t i = 0; i < a.size(); ++i) {
        switch (op) {
            case 0:
                r.push_back(a[i] + b[i]);
                break;
            case 1:
                r.push_back(a[i] - b[i]);
                break;
            case 2:
                r.push_back(a[i] * b[i]);
                break;
            case 3:
                r.push_back(std::norm(b[i]) == 0 ? C(0, 0) : a[i] / b[i]);
                break;
            default:
                r.push_back(a[i] * std::conj(b[i]));
                break;
        }
    }
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, ComplexOperationValues,
    ::testing::Values(
        OperationCase{"AddFloat", 9, 0, kA, kB, Apply(0, kA, kB)},
        OperationCase{"SubtractDouble", 10, 1, kA, kB, Apply(1, kA, kB)},
        OperationCase{"MultiplyFloat", 9, 2, kA, kB, Apply(2, kA, kB)},
        OperationCase{"MultiplyDouble", 10, 2, kA, kB, Apply(2, kA, kB)},
        OperationCase{"ConjugateMultiplyDouble", 10, 4, kA, kB, Apply(4, kA, kB)},
        // Zero divisors give 0; 1000 / 0.5 stays 2000 in complex float.
        OperationCase{"DivideFloatKeepsLargeQuotients",
                      9,
                      3,
                      {{1, 2}, {-3, 0.5}, {1000, 0}, {5, 5}},
                      {{3, -1}, {0, 0}, {0.5, 0}, {0, 0}},
                      {C(1, 2) / C(3, -1), {0, 0}, {2000, 0}, {0, 0}}},
        // Complex double quotients are limited: real to -40..120, imaginary to -30..30.
        OperationCase{"DivideDoubleLimitsQuotients",
                      10,
                      3,
                      {{1000, 0}, {-1000, 1000}, {1, 2}, {3, 3}},
                      {{1, 0}, {1, 0}, {3, -1}, {0, 0}},
                      {{120, 0}, {-40, 30}, C(1, 2) / C(3, -1), {0, 0}}},
        OperationCase{"DivideDoubleNaNTakesTheLowerBounds",
                      10,
                      3,
                      {{kNaN, kNaN}, {1, -1000}, {0, 0}, {0, 0}},
                      {{1, 0}, {1, 0}, {1, 1}, {0, 0}},
                      {{-40, -30}, {1, -30}, {0, 0}, {0, 0}}},
        OperationCase{
            "ConjugateMultiplyWithItselfIsThePower", 9, 4, kA, kA, {{5, 0}, {9.25, 0}, {0, 0}, {1e6, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComplexOperationValues, DivideFloatNaNStaysNaN)
{
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteComplex(a, 2, 1, 9, {{kNaN, 0}, {1, 1}}));
    ASSERT_TRUE(WriteComplex(b, 2, 1, 9, {{1, 0}, {1, 0}}));
    RecordingMeter meter;
    Complex_Operation(Record(a, b, out, 3), &meter);
    const LayerData got = ReadLayer(out);
    ASSERT_EQ(got.width, 2);
    EXPECT_TRUE(std::isnan(got.At(0, 0).real()));
    EXPECT_EQ(got.At(1, 0), C(1, 1));
}

// ---- job paths ----------------------------------------------------------------------------

struct JobPath {
    const char* name;
    bool firstExists;
    bool outputInMissingFolder;
    int secondType;   // of the second input
    int secondWidth;  // of the second input
    double stopAt;
    const char* message;  // expected box text (prefix); null: none
};

class ComplexOperationJobPaths : public ::testing::TestWithParam<JobPath> {};

TEST_P(ComplexOperationJobPaths, TellTheUserAndLeaveNoOutput)
{
    const JobPath& p = GetParam();
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp");
    const std::string out = p.outputInMissingFolder ? dir.File("missing/out.rdp") : dir.File("out.rdp");
    std::vector<C> values(40 * 30, C(1, 2));
    if (p.firstExists) ASSERT_TRUE(WriteComplex(a, 40, 30, 9, values));
    ASSERT_TRUE(
        WriteComplex(b, p.secondWidth, 30, p.secondType, std::vector<C>(p.secondWidth * 30, C(1, 1))));
    if (p.message) Responder().AnswerMessageBox(IDOK);

    RecordingMeter meter;
    meter.StopAt(p.stopAt);
    Complex_Operation(Record(a, b, out, 2), &meter);

    const auto boxes = MessageBoxesAsked();
    if (p.message) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(std::string(boxes[0].text).rfind(p.message, 0), 0u) << boxes[0].text;
        EXPECT_EQ(std::string(boxes[0].caption), "Coherence calculation: Error");
        EXPECT_EQ(boxes[0].Icon(), UINT(MB_ICONERROR));
    } else {
        EXPECT_TRUE(boxes.empty());
    }
    EXPECT_TRUE(meter.FailureMarked()) << "a failed job must not open a viewer";
    EXPECT_FALSE(std::filesystem::exists(out));
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, p.firstExists ? 2 : 1) << "no partial or temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ComplexOperationJobPaths,
    ::testing::Values(JobPath{"InputNotOpenable", false, false, 9, 40, -1, "Can't open file: \r\n "},
                      JobPath{"OutputNotCreatable", true, true, 9, 40, -1, "Can't create file: \r\n "},
                      JobPath{"Cancelled", true, false, 9, 40, 3, nullptr},
                      // Files that changed after the dialog checked them are refused, not read past.
                      JobPath{"SecondNarrower", true, false, 9, 20, -1, "Input files differ in size"},
                      JobPath{"SecondOfAnotherType", true, false, 10, 40, -1,
                              "Input files have different data types"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the dialog ---------------------------------------------------------------------------

class ComplexOperationDialog : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto* d : TopLevelOf<CComplexOperationDlg>()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(JobsEnded());
        EXPECT_TRUE(TopLevelOf<CComplexOperationDlg>().empty());
        CloseAllViewers();
    }
    static CComplexOperationDlg* Open()
    {
        Operation_Complex_Files();
        auto dialogs = TopLevelOf<CComplexOperationDlg>();
        return dialogs.empty() ? nullptr : dialogs.back();
    }
    static CInFileCtrl* Picker(CWnd* d, int id) { return dynamic_cast<CInFileCtrl*>(d->GetDlgItem(id)); }
    static void Fill(CWnd* d, const std::string& a, const std::string& b, const std::string& out)
    {
        Picker(d, IDC_FIRST_INPUT)->SetPathName(a.c_str());
        Picker(d, IDC_SECOND_INPUT)->SetPathName(b.c_str());
        Picker(d, IDC_TWO_INPUT_OUTPUT)->SetPathName(out.c_str());
    }
    static void ChooseOperation(CWnd* d, int index)
    {
        auto* combo = static_cast<CComboBox*>(d->GetDlgItem(IDC_OPERATION_LIST));
        combo->SetCurSel(index);
        d->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(IDC_OPERATION_LIST), WORD(CBN_SELCHANGE)),
                       reinterpret_cast<LPARAM>(combo->GetSafeHwnd()));
    }
};

TEST_F(ComplexOperationDialog, OpensWithItsOperationsAndEachCallIsAnotherDialog)
{
    Operation_Complex_Files();
    Operation_Complex_Files();
    auto dialogs = TopLevelOf<CComplexOperationDlg>();
    ASSERT_EQ(dialogs.size(), 2u);
    CString caption;
    dialogs[0]->GetWindowText(caption);
    EXPECT_EQ(std::string(caption), "Complex operations");
    auto* combo = static_cast<CComboBox*>(dialogs[0]->GetDlgItem(IDC_OPERATION_LIST));
    ASSERT_EQ(combo->GetCount(), 5);
    const char* names[] = {"Add", "Substract", "Multiply", "Divide", "Conjugate multiply"};
    for (int i = 0; i < 5; ++i) {
        CString item;
        combo->GetLBText(i, item);
        EXPECT_EQ(std::string(item), names[i]);
    }
    EXPECT_EQ(combo->GetCurSel(), 0);
    // Closing one leaves the other working.
    dialogs[0]->SendMessage(WM_COMMAND, IDCANCEL);
    tarvenix::test::PumpEvents();
    ASSERT_EQ(TopLevelOf<CComplexOperationDlg>().size(), 1u);
    EXPECT_EQ(TopLevelOf<CComplexOperationDlg>()[0], dialogs[1]);
    const QImage shot = tarvenix::test::GrabWindow(*dialogs[1]);
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "complex_operations_dialog").empty());
}

struct ExecuteCase {
    const char* name;
    const char* first;  // "a", "b", "c" (of another type), "w" (narrower), "bad", "" (none), "out"
    const char* second;
    const char* output;  // "out", "" or "a" (the first input)
    const char* message;
};

class ComplexOperationExecute : public ComplexOperationDialog,
                                public ::testing::WithParamInterface<ExecuteCase> {};

TEST_P(ComplexOperationExecute, RefusesWithOneMessageAndStartsNothing)
{
    const ExecuteCase& c = GetParam();
    TempDir dir;
    auto path = [&](const std::string& key) { return key.empty() ? std::string() : dir.File(key + ".rdp"); };
    ASSERT_TRUE(WriteComplex(path("a"), 4, 3, 9, std::vector<C>(12, C(1, 0))));
    ASSERT_TRUE(WriteComplex(path("b"), 4, 3, 9, std::vector<C>(12, C(2, 0))));
    ASSERT_TRUE(WriteComplex(path("c"), 4, 3, 10, std::vector<C>(12, C(2, 0))));
    ASSERT_TRUE(WriteComplex(path("w"), 5, 3, 9, std::vector<C>(15, C(2, 0))));
    ASSERT_TRUE(WriteLayer(path("f"), 4, 3, 7, std::vector<double>(12, 1.0)));
    tarvenix::test::WriteWholeFile(path("bad"), "RDPR not a layer");
    CComplexOperationDlg* d = Open();
    ASSERT_TRUE(d);
    Fill(d, path(c.first), path(c.second), path(c.output));
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    const auto boxes = MessageBoxesAsked();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(std::string(boxes[0].text), c.message);
    EXPECT_EQ(std::string(boxes[0].caption), "Coherence calculation: Error");
    EXPECT_EQ(boxes[0].Icon(), UINT(MB_ICONEXCLAMATION));
    EXPECT_EQ(std::string(d->Message()), c.message);
    EXPECT_TRUE(ProgressWindowsOpen().empty());
    EXPECT_EQ(GetRunningThreadCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(path("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, ComplexOperationExecute,
    ::testing::Values(
        ExecuteCase{"NoFirstInput", "", "b", "out", "It is necessary to select input file names"},
        ExecuteCase{"NoSecondInput", "a", "", "", "It is necessary to select input file names"},
        ExecuteCase{"NoOutput", "a", "b", "", "It is necessary to select an output file name"},
        ExecuteCase{"CorruptInput", "a", "bad", "out", "One of the input files is corrupt"},
        ExecuteCase{"MissingInput", "gone", "b", "out", "One of the input files is corrupt"},
        ExecuteCase{"SizesDiffer", "a", "w", "out", "Input files differ in size"},
        ExecuteCase{"TypesDiffer", "a", "c", "out", "Input files have different data types"},
        ExecuteCase{"RealInputs", "f", "f", "out", "Invalid  input file type\n"},
        ExecuteCase{"OutputIsAnInput", "a", "b", "b",
                    "The output file is the input file. Choose another name for the output file."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComplexOperationDialog, ExecuteRunsTheChosenOperationUnderItsTitleAndShowsTheResult)
{
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp"), out = dir.File("product.rdp");
    ASSERT_TRUE(WriteComplex(a, 3, 2, 10, std::vector<C>(6, C(1, 2))));
    ASSERT_TRUE(WriteComplex(b, 3, 2, 10, std::vector<C>(6, C(3, -1))));
    CComplexOperationDlg* d = Open();
    ASSERT_TRUE(d);
    Fill(d, a, b, out);
    ChooseOperation(d, 4);
    d->SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(d->Operation(), 4);
    // The title names the output after the colon, with no blank.
    EXPECT_EQ(TitlesStartingWith("Coherence calculation:"),
              std::vector<std::string>{"Coherence calculation:product.rdp"});
    // The dialog goes while the job runs; the job still ends and its result is shown.
    d->SendMessage(WM_COMMAND, IDCANCEL);
    ASSERT_TRUE(JobsEnded());
    EXPECT_TRUE(MessageBoxesAsked().empty());
    const LayerData got = ReadLayer(out);
    ASSERT_EQ(got.type, 10);
    EXPECT_EQ(got.At(2, 1), C(1, 2) * std::conj(C(3, -1)));
    EXPECT_TRUE(PumpUntil([] { return !TopLevelOf<CFrameViewer>().empty(); }));
    EXPECT_EQ(TopLevelOf<CFrameViewer>().size(), 1u);
}

TEST_F(ComplexOperationDialog, HelpButtonAndF1AskForTheComplexDataPage)
{
    CComplexOperationDlg* d = Open();
    ASSERT_TRUE(d);
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(IDC_TWO_INPUT_HELP), WORD(BN_CLICKED)),
                   reinterpret_cast<LPARAM>(d->GetDlgItem(IDC_TWO_INPUT_HELP)->GetSafeHwnd()));
    HELPINFO info{};
    d->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    for (const auto& box : MessageBoxesAsked())
        EXPECT_NE(std::string(box.text).find("Utils_Processing_complex_Data.HTM"), std::string::npos);
}

}  // namespace
