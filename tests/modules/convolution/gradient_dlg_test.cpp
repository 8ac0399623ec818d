#include <cmath>
#include <complex>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "modules/convolution/exports.h"
#include "modules/convolution/gradient_dlg.h"
#include "modules/convolution/gradient_resources.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/progress_window.h"
#include "tests/modules/convolution/filter_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using namespace filtertest;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Question;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

constexpr double kDegree = 0.017453292519943295;

std::vector<CCalcGradientDlg*> Dialogs()
{
    return TopLevelOf<CCalcGradientDlg>();
}

/// Counts preview runs and keeps what each answer was asked with.
class CountingGradientDlg : public CCalcGradientDlg {
public:
    struct Run {
        int kind, component;
        float angle;
    };
    std::vector<Run> runs;
    std::vector<SGradientParams> answers;

protected:
    CThread* StartPreview(const CString& input) override
    {
        runs.push_back({DerivType(), Component(), Angle()});
        return CCalcGradientDlg::StartPreview(input);
    }
    void TakePreview(WPARAM code, LPARAM record) override
    {
        answers.push_back(*reinterpret_cast<SGradientParams*>(record));
        CCalcGradientDlg::TakePreview(code, record);
    }
};

class DerivationDialog : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CCalcGradientDlg* d : Dialogs()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
        PumpEvents();
        EXPECT_TRUE(Dialogs().empty());
        CloseAllViewers();
    }

    template <class Dlg = CCalcGradientDlg>
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
        return dynamic_cast<CPreviewStatic*>(dlg->GetDlgItem(IDC_GRAD_PREVIEW)->GetDlgItem(IDC_GRAD_PREVIEW));
    }
    static CInFileCtrl* Picker(CWnd* dlg, int id) { return dynamic_cast<CInFileCtrl*>(dlg->GetDlgItem(id)); }
    static CListCtrl* Kinds(CWnd* dlg) { return static_cast<CListCtrl*>(dlg->GetDlgItem(IDC_GRAD_KINDS)); }
    static CRoundSliderCtrl* Slider(CWnd* dlg)
    {
        return static_cast<CRoundSliderCtrl*>(dlg->GetDlgItem(IDC_GRAD_SLIDER));
    }
    static HICON DirectionPicture(CWnd* dlg)
    {
        return static_cast<CStatic*>(dlg->GetDlgItem(IDC_GRAD_DIRECTION))->GetIcon();
    }
    /// Picks a row of the list as a click on it does.
    static void ChooseKind(CWnd* dlg, int kind)
    {
        Kinds(dlg)->SetItemState(kind, LVIS_SELECTED, LVIS_SELECTED);
    }
    static void TypeAngle(CWnd* dlg, const char* text)
    {
        dlg->GetDlgItem(IDC_GRAD_ANGLE)->SetWindowText(text);
    }
    static void ClickButton(CWnd* dlg, int id) { static_cast<CButton*>(dlg->GetDlgItem(id))->Click(); }
    /// Browses for a file in a picker; `boxes` message boxes that the choice brings are
    /// answered with OK.
    static void Choose(CWnd* dlg, int pickerId, const std::string& path, int boxes = 0)
    {
        Responder().AnswerFile({path.c_str()});
        for (int i = 0; i < boxes; ++i) Responder().AnswerMessageBox(IDOK);
        Picker(dlg, pickerId)->GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
        PumpEvents();
    }
    /// The choice handed in without serving the event loop: a preview it starts cannot
    /// hand in its answer until the test pumps.
    static void ChooseHeld(CWnd* dlg, int pickerId, const std::string& path)
    {
        Picker(dlg, pickerId)->SetPathName(path.c_str());
        dlg->SendMessage(WM_INFILECTRL_CHOSEN, WPARAM(pickerId), 0);
    }
    static bool PreviewIdle(CCalcGradientDlg* d) { return !d->PreviewBusy() && GetRunningThreadCount() == 0; }
    static bool Visible(CWnd* dlg, int id) { return dlg->GetDlgItem(id)->IsWindowVisible(); }
    static bool Enabled(CWnd* dlg, int id) { return dlg->GetDlgItem(id)->IsWindowEnabled(); }
};

TEST_F(DerivationDialog, OpensOnTheGradientWithItsComponentButtons)
{
    CalcGradient_Files();
    CalcGradient_Files();
    ASSERT_EQ(Dialogs().size(), 2u);
    CCalcGradientDlg* d = Dialogs()[0];
    CString caption;
    d->GetWindowText(caption);
    EXPECT_EQ(std::string(caption), "Derivation");
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nSelect input\nfile");

    CListCtrl* kinds = Kinds(d);
    ASSERT_EQ(kinds->GetItemCount(), 7);
    const char* texts[] = {"gradient",       "partial",        "partial",     "directional",
                           "second partial", "second partial", "second mixed"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(std::string(kinds->GetItemText(i, 0)), texts[i]);
    EXPECT_EQ(kinds->GetNextItem(-1, LVNI_SELECTED), 0);
    EXPECT_EQ(d->DerivType(), 0);

    const int buttons[] = {IDC_GRAD_MODULUS, IDC_GRAD_ARGUMENT, IDC_GRAD_DX, IDC_GRAD_DY};
    for (int i = 0; i < 4; ++i) {
        auto* button = static_cast<CButton*>(d->GetDlgItem(buttons[i]));
        EXPECT_TRUE(button->IsWindowVisible());
        EXPECT_EQ(button->GetCheck(), i == 0 ? BST_CHECKED : BST_UNCHECKED);
        ASSERT_NE(d->Picture(i), nullptr);
        EXPECT_EQ(button->GetIcon(), d->Picture(i));
    }
    EXPECT_FALSE(Visible(d, IDC_GRAD_DIRECTION));
    EXPECT_FALSE(Enabled(d, IDC_GRAD_ANGLE));
    EXPECT_EQ(std::string(Text(d, IDC_GRAD_ANGLE)), "0.");
    EXPECT_FALSE(Slider(d)->IsSliderEnabled());
    EXPECT_EQ(Slider(d)->GetPos(), 0);

    d->SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(Dialogs().size(), 1u);
}

TEST_F(DerivationDialog, CloseEscAndTheCloseBoxEachFreeTheDialog)
{
    const char* ways[] = {"Close", "Esc", "close box"};
    for (const std::string way : ways) {
        CCalcGradientDlg* d = Open();
        if (way == "Close")
            ClickButton(d, IDCANCEL);
        else if (way == "Esc")
            d->GetDlgItem(IDC_GRAD_KINDS)->PostMessage(WM_KEYDOWN, VK_ESCAPE, 1);
        else
            d->SendMessage(WM_CLOSE);
        PumpEvents();
        EXPECT_TRUE(Dialogs().empty()) << way;
    }
}

TEST_F(DerivationDialog, DirectionalAngleFollowsTheTypedText)
{
    CCalcGradientDlg* d = Open();
    ChooseKind(d, 3);
    EXPECT_EQ(d->DerivType(), 3);
    for (int id : {IDC_GRAD_MODULUS, IDC_GRAD_ARGUMENT, IDC_GRAD_DX, IDC_GRAD_DY})
        EXPECT_FALSE(Visible(d, id));
    EXPECT_TRUE(Visible(d, IDC_GRAD_DIRECTION));
    EXPECT_TRUE(Enabled(d, IDC_GRAD_ANGLE));
    EXPECT_TRUE(Slider(d)->IsSliderEnabled());
    EXPECT_EQ(DirectionPicture(d), d->Picture(2));  // dF/dx at 0 degrees

    const struct {
        const char* typed;
        const char* shown;
        float angle;
        int picture;
        int slider;
    } cases[] = {
        {"90", "90", 90, 3, 90}, {"180", "180", 180, 4, 180}, {"270", "270", 270, 5, 270},
        {"45", "45", 45, 6, 45}, {"725", "725", 725, 6, 5},   {"-90", "-90", -90, 6, 270},
        {"", "0.", 0, 2, 0},     {"abc", "0.", 0, 2, 0},      {"0", "0.", 0, 2, 0},
        {"nan", "0.", 0, 2, 0},  {"inf", "0.", 0, 2, 0},      {"1e60", "0.", 0, 2, 0},
    };
    for (const auto& c : cases) {
        TypeAngle(d, "33");
        TypeAngle(d, c.typed);
        EXPECT_EQ(std::string(Text(d, IDC_GRAD_ANGLE)), c.shown) << c.typed;
        EXPECT_EQ(d->Angle(), c.angle) << c.typed;
        EXPECT_EQ(DirectionPicture(d), d->Picture(c.picture)) << c.typed;
        EXPECT_EQ(Slider(d)->GetPos(), c.slider) << c.typed;
    }

    // Leaving the directional kind puts the angle back to 0.
    TypeAngle(d, "45");
    ChooseKind(d, 1);
    EXPECT_EQ(std::string(Text(d, IDC_GRAD_ANGLE)), "0.");
    EXPECT_EQ(d->Angle(), 0.0f);
    EXPECT_FALSE(Enabled(d, IDC_GRAD_ANGLE));
    EXPECT_FALSE(Slider(d)->IsSliderEnabled());
    EXPECT_EQ(Slider(d)->GetPos(), 0);
    EXPECT_FALSE(Visible(d, IDC_GRAD_DIRECTION));
}

TEST_F(DerivationDialog, SliderKeysOutsideTheDirectionalKindLeaveTheAngleAlone)
{
    CCalcGradientDlg* d = Open();
    Slider(d)->SendMessage(WM_KEYDOWN, VK_NEXT, 1);
    PumpEvents();
    EXPECT_EQ(std::string(Text(d, IDC_GRAD_ANGLE)), "0.");
    EXPECT_EQ(Slider(d)->GetPos(), 0);
}

TEST_F(DerivationDialog, ASliderAtThirtyDegreesRunsTheJobWithThirtyDegreesInRadians)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    std::vector<double> values;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            values.push_back(0.5 * x * x - 3.0 * y * y + x * y + std::sin(x + 2.0 * y));
    ASSERT_TRUE(WriteLayer(in, 32, 24, int(DataType::F64), values));
    CCalcGradientDlg* d = Open();
    Choose(d, IDC_GRAD_INPUT, in);
    Choose(d, IDC_GRAD_OUTPUT, out);
    ChooseKind(d, 3);
    for (int i = 0; i < 3; ++i) Slider(d)->SendMessage(WM_KEYDOWN, VK_NEXT, 1);
    PumpEvents();
    EXPECT_EQ(Slider(d)->GetPos(), 30);
    EXPECT_EQ(std::string(Text(d, IDC_GRAD_ANGLE)), "30.0");
    EXPECT_EQ(d->Angle(), 30.0f);
    EXPECT_EQ(DirectionPicture(d), d->Picture(6));
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));

    d->SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(d->Params().angle, 0.5235987755982988);
    EXPECT_EQ(d->Params().kind, 3);
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
    EXPECT_TRUE(MessageBoxesAsked().empty());

    // The file holds what the engine gives for these values.
    SGradientParams params;
    params.kind = 3;
    params.angle = 0.5235987755982988;
    std::vector<double> want(values.size());
    std::vector<const void*> inRows;
    std::vector<void*> outRows;
    for (int y = 0; y < 24; ++y) {
        inRows.push_back(values.data() + y * 32);
        outRows.push_back(want.data() + y * 32);
    }
    CalcDerivative(params, nullptr, int(DataType::F64), inRows.data(), outRows.data(), 32, 24, 1);
    int type = 0;
    EXPECT_EQ(ReadLayer(out, nullptr, nullptr, &type), want);
    EXPECT_EQ(type, int(DataType::F64));
}

TEST_F(DerivationDialog, ChangesDuringAPreviewGiveOneRerunWithTheLastValues)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 64, 48, int(DataType::F32), Ramp(64, 48)));
    auto* d = Open<CountingGradientDlg>();
    ChooseHeld(d, IDC_GRAD_INPUT, in);
    ASSERT_EQ(d->runs.size(), 1u);
    ASSERT_TRUE(d->PreviewBusy());
    // The preview thread cannot hand in its answer while this thread does not serve it.
    ClickButton(d, IDC_GRAD_ARGUMENT);
    ClickButton(d, IDC_GRAD_DY);
    ChooseKind(d, 3);
    TypeAngle(d, "60");
    TypeAngle(d, "75");
    EXPECT_EQ(d->runs.size(), 1u);
    EXPECT_TRUE(d->PreviewAgain());

    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d) && d->answers.size() == 2; }));
    ASSERT_EQ(d->runs.size(), 2u);
    EXPECT_EQ(d->answers[1].kind, 3);
    EXPECT_EQ(d->answers[1].component, 0);
    EXPECT_EQ(d->answers[1].angle, 75 * kDegree);
    EXPECT_FALSE(d->PreviewAgain());
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
}

struct RefusedInput {
    const char* name;
    int type, width, height;
};

class DerivationRefusal : public DerivationDialog, public ::testing::WithParamInterface<RefusedInput> {};

TEST_P(DerivationRefusal, IsRefusedWhenChosen)
{
    const RefusedInput& c = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    const int parts = isComplexType(c.type) ? 2 : 1;
    ASSERT_TRUE(WriteLayer(in, c.width, c.height, c.type, Ramp(c.width, c.height, parts)));
    CCalcGradientDlg* d = Open();
    Responder().AnswerFile({in.c_str()});
    // A complex file first asks which component to take.
    if (parts == 2) Responder().AnswerDialogCommand(IDOK);
    Responder().AnswerMessageBox(IDOK);
    Picker(d, IDC_GRAD_INPUT)->GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
    PumpEvents();
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text),
              "Derivatives need a real input layer of at least 3 x 3 pixels.\n" + in);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Differentiation");
    EXPECT_EQ(std::string(Picker(d, IDC_GRAD_INPUT)->GetPathName()), "");
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nSelect input\nfile");
    EXPECT_EQ(GetRunningThreadCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, DerivationRefusal,
                         ::testing::Values(RefusedInput{"Complex", int(DataType::C64), 20, 20},
                                           RefusedInput{"ComplexInteger", int(DataType::CS16), 20, 20},
                                           RefusedInput{"TwoColumns", int(DataType::U8), 2, 10},
                                           RefusedInput{"TwoRows", int(DataType::F32), 10, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DerivationDialog, AFlatPreviewTellsTheUserOnlyWhileTheDialogExists)
{
    TempDir dir;
    const std::string flat = dir.File("flat.rdp");
    ASSERT_TRUE(WriteLayer(flat, 40, 30, int(DataType::U8), std::vector<double>(1200, 7.0)));
    CCalcGradientDlg* d = Open();
    Choose(d, IDC_GRAD_INPUT, flat, 1);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d) && !MessageBoxesAsked().empty(); }));
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "Error calculation preview !");
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Differentiation");
    EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONERROR));
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nPreview");

    // Closed while its failing preview runs, a dialog shows nothing afterwards.
    CCalcGradientDlg* e = Open();
    ChooseHeld(e, IDC_GRAD_INPUT, flat);
    ASSERT_TRUE(e->PreviewBusy());
    e->SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
    PumpEvents();
    EXPECT_EQ(MessageBoxesAsked().size(), 1u);
}

TEST_F(DerivationDialog, ExecuteRefusesWithoutAnOutputOrAnInput)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 20, 20, int(DataType::U8), Ramp(20, 20)));
    CCalcGradientDlg* d = Open();
    Choose(d, IDC_GRAD_INPUT, in);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    Picker(d, IDC_GRAD_OUTPUT)->SetPathName(dir.File("out.rdp").c_str());
    std::filesystem::remove(in);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "Enter an output file name !");
    EXPECT_EQ(std::string(MessageBoxesAsked()[1].text), "Can't find the input file\n" + in);
    for (const auto& box : MessageBoxesAsked()) {
        EXPECT_EQ(std::string(box.caption), "Differentiation");
        EXPECT_EQ(box.Icon(), UINT(MB_ICONEXCLAMATION));
    }
    EXPECT_TRUE(ProgressWindowsOpen().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.rdp")));
}

TEST_F(DerivationDialog, ScreenshotsOfTheGradientAndTheDirectionalKind)
{
    TempDir dir;
    std::string sample = TVX_SAMPLE_LAYER;
    if (!std::filesystem::exists(sample)) {
        sample = dir.File("sample.rdp");
        ASSERT_TRUE(WriteLayer(sample, 300, 200, int(DataType::F32), Ramp(300, 200)));
    }
    CCalcGradientDlg* d = Open();
    Choose(d, IDC_GRAD_INPUT, sample);
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*d), "derivation_dialog_gradient").empty());

    ChooseKind(d, 3);
    TypeAngle(d, "30");
    EXPECT_TRUE(PumpUntil([&] { return PreviewIdle(d); }));
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
    const QImage shot = tarvenix::test::GrabWindow(*d);
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "derivation_dialog_directional").empty());
    // The preview shows a picture, not one flat colour.
    CRect area;
    Preview(d)->GetWindowRect(&area);
    d->ScreenToClient(&area);
    std::set<QRgb> colours;
    for (int y = area.top + 5; y < area.bottom - 5; y += 3)
        for (int x = area.left + 5; x < area.right - 5; x += 3) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20u);
}

TEST_F(DerivationDialog, HelpButtonAndF1AskForTheDerivationPage)
{
    // No help folder holds the page here, so each request tells that it is missing.
    CCalcGradientDlg* d = Open();
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerMessageBox(IDOK);
    ClickButton(d, IDC_GRAD_HELP);
    HELPINFO info{};
    d->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    for (const auto& box : MessageBoxesAsked())
        EXPECT_NE(std::string(box.text).find("Processing_Differential.htm"), std::string::npos);
}

// ---- the preview functions ----------------------------------------------------------------

/// Takes preview answers as a dialog does and keeps them.
class PreviewSink : public CWnd {
public:
    std::vector<SGradientParams> answers;

protected:
    LRESULT OnAnswer(WPARAM code, LPARAM record)
    {
        std::unique_ptr<SGradientParams> answer(reinterpret_cast<SGradientParams*>(record));
        if (code == 1) answers.push_back(*answer);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PreviewSink, CWnd)
    ON_MESSAGE(WM_GRADIENT_PREVIEW, OnAnswer)
END_MESSAGE_MAP()

class DerivationPreview : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sink.CreateEx(0, nullptr, "sink", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    }
    void TearDown() override { sink.DestroyWindow(); }

    /// Runs the preview of `kind` / `component` over f on a w x h grid (top row first).
    int Run(int kind, int component, int w, int h, const std::function<double(int, int)>& f)
    {
        grid.assign(std::size_t(w) * h, 0.0);
        result.assign(std::size_t(w) * h * 2, 0.0);
        inRows.clear();
        outRows.clear();
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) grid[std::size_t(y) * w + x] = f(x, y);
            inRows.push_back(grid.data() + std::size_t(y) * w);
            outRows.push_back(result.data() + std::size_t(y) * w * (kind == 0 ? 2 : 1));
        }
        auto* record = new SGradientParams;
        record->kind = kind;
        record->component = component;
        record->width = w;
        record->height = h;
        record->dialog = sink.GetSafeHwnd();
        const int done = kind == 0 ? GradientPreview(record, inRows.data(), outRows.data())
                                   : RealPreview(record, inRows.data(), outRows.data());
        if (!done) delete record;
        return done;
    }
    /// The levels a preview must show for values v (top row first): minimum 0, maximum 255,
    /// bottom row first.
    static std::vector<int> Levels(const std::vector<double>& v, int w, int h)
    {
        double lo = v[0], hi = v[0];
        for (double x : v) lo = std::min(lo, x), hi = std::max(hi, x);
        std::vector<int> levels;
        for (int i = 0; i < h; ++i)
            for (int j = 0; j < w; ++j)
                levels.push_back(Round((v[std::size_t(h - 1 - i) * w + j] - lo) * 255 / (hi - lo)));
        return levels;
    }

    PreviewSink sink;
    std::vector<double> grid, result;
    std::vector<void*> inRows, outRows;
};

TEST_F(DerivationPreview, ComponentsOfTheGradientScaleFromMinimumToMaximum)
{
    // A quadratic: the three-point differences are exact, borders included.
    const int w = 9, h = 7;
    const auto f = [](int x, int y) { return 0.5 * x * x - y * y + 2.0 * x * y + 3.0 * x; };
    const auto dx = [](int x, int y) { return double(x) + 2.0 * y + 3.0; };
    const auto dy = [](int x, int y) { return -2.0 * y + 2.0 * x; };
    const std::function<double(double, double)> components[] = {
        [](double a, double b) { return std::sqrt(a * a + b * b); },
        [](double a, double b) { return Arg(a, b); },
        [](double a, double) { return a; },
        [](double, double b) { return b; },
    };
    for (int component = 0; component < 4; ++component) {
        SCOPED_TRACE(component);
        ASSERT_EQ(Run(0, component, w, h, f), 1);
        ASSERT_EQ(sink.answers.size(), std::size_t(component + 1));
        std::vector<double> v;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) v.push_back(components[component](dx(x, y), dy(x, y)));
        const auto want = Levels(v, w, h);
        const auto& got = sink.answers.back().pixels;
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(int(got[i]), want[i], 1) << i;
    }
}

TEST_F(DerivationPreview, FlatSmallOrUnknownAnswersNothingAndNaNCountsAsZero)
{
    const auto ramp = [](int x, int y) { return double(x * x + y); };
    EXPECT_EQ(Run(1, 0, 8, 8, [](int, int) { return 4.0; }), 0);  // flat
    EXPECT_EQ(Run(0, 4, 8, 8, ramp), 0);                          // no such component
    EXPECT_EQ(Run(1, 0, 2, 8, ramp), 0);                          // too narrow for the differences
    EXPECT_TRUE(sink.answers.empty());

    // Not a number at one sample: its neighbours have no derivative, the rest still shows.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ASSERT_EQ(Run(1, 0, 8, 8, [&](int x, int y) { return x == 0 && y == 0 ? nan : ramp(x, y); }), 1);
    ASSERT_EQ(sink.answers.size(), 1u);
    const auto& levels = sink.answers[0].pixels;
    EXPECT_EQ(*std::max_element(levels.begin(), levels.end()), 255);
    EXPECT_EQ(*std::min_element(levels.begin(), levels.end()), 0);
}

}  // namespace
