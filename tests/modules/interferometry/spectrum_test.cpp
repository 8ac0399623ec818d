#include <cmath>
#include <complex>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/exports.h"
#include "modules/interferometry/spectrum_dlg.h"
#include "modules/interferometry/spectrum_job.h"
#include "modules/interferometry/spectrum_kernels.h"
#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/fft_class.h"
#include "platform/controls/button.h"
#include "tests/modules/interferometry/fringe_test_support.h"
#include "tests/support/test_environment.h"
#include "viewer/frame/frame_viewer.h"

namespace {

using namespace fringetest;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;
using C = std::complex<double>;

SSpectrParam* SpectrumRecord(const std::string& in, const std::string& out, int mode, int shift)
{
    auto* r = new SSpectrParam;
    r->input = in.c_str();
    r->output = out.c_str();
    r->mode = mode;
    r->shift = shift;
    r->errorCaption = "Spectrum Analysis:Error";
    return r;
}

SDiffParam* DiffRecord(const std::string& in, const std::string& out)
{
    auto* r = new SDiffParam;
    r->input = in.c_str();
    r->output = out.c_str();
    r->errorCaption = "Spectrum Analysis:Error";
    return r;
}

/// Values with some structure and no symmetry: (x, y) -> a few mixed frequencies.
double Sample(int x, int y, int part = 0)
{
    return std::sin(0.7 * x + 1.3 * y + part) * 10 + 0.25 * x - 0.5 * y + part;
}

std::vector<double> Image(int w, int h, bool complex)
{
    std::vector<double> v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v.push_back(Sample(x, y));
            if (complex) v.push_back(Sample(x, y, 1));
        }
    return v;
}

/// The plain DFT of the w x h image padded with zeros to wp x hp, unscaled, e^{-i...}.
C PlainDft(const std::vector<double>& image, int w, int h, bool complex, int wp, int hp, int u, int v)
{
    C sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y) * w + x;
            const C s = complex ? C(image[2 * i], image[2 * i + 1]) : C(image[i], 0);
            const double angle = -2 * std::numbers::pi * (double(u) * x / wp + double(v) * y / hp);
            sum += s * std::polar(1.0, angle);
        }
    return sum;
}

std::vector<std::int32_t> SpectrumTag(const std::string& path)
{
    std::vector<std::int32_t> words(5, -1);
    if (GetSizeTag(path.c_str(), TAG_SPECTRUM) != 20 || !GetTag(path.c_str(), TAG_SPECTRUM, 20, words.data()))
        return {};
    return words;
}

// ---- the spectrum -------------------------------------------------------------------------

struct SpectrumCase {
    const char* name;
    int type, width, height, shift;
    int spectrumType;
};

class SpectrumValues : public ::testing::TestWithParam<SpectrumCase> {};

TEST_P(SpectrumValues, MatchAPlainDftOfThePaddedImage)
{
    const SpectrumCase& c = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("spectrum.rdp");
    const bool complex = isComplexType(c.type);
    auto image = Image(c.width, c.height, complex);
    // Integer layers store rounded samples.
    if (!isFloatType(c.type))
        for (double& v : image) v = std::round(v);
    ASSERT_TRUE(WriteLayer(in, c.width, c.height, c.type, image));
    RecordingMeter meter;
    Calc_Spectr(SpectrumRecord(in, out, 0, c.shift), &meter);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_EQ(meter.States(), (std::vector<int>{TASK_COMPLETE, TASK_COMPLETE, TASK_COMPLETE}));

    const LayerData got = ReadLayer(out);
    const int wp = 1 << CFFTClass::CeilPowerOfTwo(c.width), hp = 1 << CFFTClass::CeilPowerOfTwo(c.height);
    ASSERT_EQ(got.width, wp);
    ASSERT_EQ(got.height, hp);
    ASSERT_EQ(got.type, c.spectrumType);
    const double tolerance = c.spectrumType == 9 ? 1e-3 : 1e-9;
    for (int y = 0; y < hp; ++y)
        for (int x = 0; x < wp; ++x) {
            // With the shift the zero frequency sits at (wp/2, hp/2).
            const int u = c.shift ? (x + wp / 2) % wp : x, v = c.shift ? (y + hp / 2) % hp : y;
            const C want = PlainDft(image, c.width, c.height, complex, wp, hp, u, v);
            ASSERT_NEAR(got.At(x, y).real(), want.real(), tolerance * (1 + std::abs(want))) << x << "," << y;
            ASSERT_NEAR(got.At(x, y).imag(), want.imag(), tolerance * (1 + std::abs(want))) << x << "," << y;
        }
    EXPECT_EQ(SpectrumTag(out), (std::vector<std::int32_t>{20, 1, complex ? 0 : 1, c.width, c.height}));
    CCoordLawData law;
    EXPECT_EQ(bool(law.LoadData(out.c_str())), bool(c.shift)) << "a law only with the shift";
    if (c.shift) {
        // The input has pixel coordinates: the steps over the spectrum are wp - 1 and hp - 1.
        EXPECT_DOUBLE_EQ(law.Kx(), 1.0 / (wp - 1));
        EXPECT_DOUBLE_EQ(law.Bx(), double(1 - wp / 2) / (wp - 1));
        EXPECT_DOUBLE_EQ(law.Ky(), 1.0 / (hp - 1));
        EXPECT_DOUBLE_EQ(law.By(), double(1 - hp / 2) / (hp - 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Small, SpectrumValues,
                         ::testing::Values(SpectrumCase{"F32Plain", 7, 5, 3, 0, 9},
                                           SpectrumCase{"F32Shifted", 7, 5, 3, 1, 9},
                                           SpectrumCase{"F64Shifted", 8, 6, 7, 1, 10},
                                           SpectrumCase{"S16Shifted", 4, 8, 4, 1, 9},
                                           SpectrumCase{"C128Shifted", 10, 3, 5, 1, 10},
                                           SpectrumCase{"CS16Plain", 14, 4, 2, 0, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Spectrum, OnePixelWideInputGetsNoFrequencyLaw)
{
    // Its step across the spectrum is 0: a law would divide by it.
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("spectrum.rdp");
    ASSERT_TRUE(WriteLayer(in, 1, 6, 7, Image(1, 6, false)));
    RecordingMeter meter;
    Calc_Spectr(SpectrumRecord(in, out, 0, 1), &meter);
    EXPECT_TRUE(Responder().Asked().empty());
    const LayerData got = ReadLayer(out);
    EXPECT_EQ(got.width, 1);
    EXPECT_EQ(got.height, 8);
    CCoordLawData law;
    EXPECT_FALSE(law.LoadData(out.c_str()));
}

TEST(SpectrumKernels, TheSwapUndoesItselfAndUnswapEqualsIt)
{
    for (auto [wp, hp] : {std::pair{8, 4}, std::pair{16, 2}, std::pair{2, 8}}) {
        SCOPED_TRACE(std::to_string(wp) + "x" + std::to_string(hp));
        std::vector<std::complex<float>> a(std::size_t(wp) * hp);
        for (std::size_t i = 0; i < a.size(); ++i) a[i] = {float(i), -float(i) / 2};
        auto swapped = a;
        auto swap = [&](std::vector<std::complex<float>>& m) {
            for (int y = 0; y < hp / 2; ++y)
                SwapQuadrantRows(9, &m[std::size_t(y) * wp], &m[std::size_t(y + hp / 2) * wp], wp);
        };
        swap(swapped);
        // The zero frequency moves to the centre.
        EXPECT_EQ(swapped[std::size_t(hp / 2) * wp + wp / 2], a[0]);
        std::vector<std::complex<float>> unswapped(a.size());
        for (int y = 0; y < hp; ++y)
            UnswapRow(9, &swapped[std::size_t((y + hp / 2) % hp) * wp], &unswapped[std::size_t(y) * wp], wp);
        EXPECT_EQ(unswapped, a);
        swap(swapped);
        EXPECT_EQ(swapped, a);
    }
}

// ---- spectrum then restore ----------------------------------------------------------------

TEST(SpectrumRestore, GivesBackTheInputInItsSizeAndPrecision)
{
    for (int type : {7, 8}) {
        SCOPED_TRACE(type);
        TempDir dir;
        const std::string in = dir.File("in.rdp"), spectrum = dir.File("spectrum.rdp"),
                          back = dir.File("back.rdp");
        const auto image = Image(100, 60, false);
        ASSERT_TRUE(WriteLayer(in, 100, 60, type, image));
        RecordingMeter first, second;
        Calc_Spectr(SpectrumRecord(in, spectrum, 0, 1), &first);
        const LayerData s = ReadLayer(spectrum);
        EXPECT_EQ(s.width, 128);
        EXPECT_EQ(s.height, 64);
        EXPECT_EQ(s.type, type == 7 ? 9 : 10);
        EXPECT_EQ(SpectrumTag(spectrum), (std::vector<std::int32_t>{20, 1, 1, 100, 60}));

        Restore_From_Spectr(SpectrumRecord(spectrum, back, 1, 1), &second);
        EXPECT_TRUE(Responder().Asked().empty());
        EXPECT_EQ(second.States(), (std::vector<int>{TASK_COMPLETE, TASK_COMPLETE, TASK_COMPLETE}));
        const LayerData got = ReadLayer(back);
        ASSERT_EQ(got.width, 100);
        ASSERT_EQ(got.height, 60);
        ASSERT_EQ(got.type, type);
        const double tolerance = type == 7 ? 1e-3 : 1e-10;
        for (std::size_t i = 0; i < image.size(); ++i) ASSERT_NEAR(got.values[i], image[i], tolerance) << i;
    }
}

TEST(SpectrumRestore, ComplexInputComesBackComplex)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), spectrum = dir.File("spectrum.rdp"),
                      back = dir.File("back.rdp");
    const auto image = Image(7, 5, true);
    ASSERT_TRUE(WriteLayer(in, 7, 5, 10, image));
    RecordingMeter first, second;
    Calc_Spectr(SpectrumRecord(in, spectrum, 0, 0), &first);
    Restore_From_Spectr(SpectrumRecord(spectrum, back, 1, 0), &second);
    const LayerData got = ReadLayer(back);
    ASSERT_EQ(got.type, 10);
    ASSERT_EQ(got.width, 7);
    ASSERT_EQ(got.height, 5);
    for (std::size_t i = 0; i < image.size(); ++i) ASSERT_NEAR(got.values[i], image[i], 1e-10) << i;
}

/// The restore of a spectrum whose record is replaced by `words` (`bytes` long; 0: none).
struct TagCase {
    const char* name;
    std::vector<std::int32_t> words;
    int width, height, type;  // of the restored image
};

class SpectrumRestoreTag : public ::testing::TestWithParam<TagCase> {};

TEST_P(SpectrumRestoreTag, IsTrustedOnlyWhenSound)
{
    const TagCase& c = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp"), spectrum = dir.File("spectrum.rdp"),
                      back = dir.File("back.rdp");
    ASSERT_TRUE(WriteLayer(in, 6, 3, 7, Image(6, 3, false)));
    RecordingMeter first, second;
    Calc_Spectr(SpectrumRecord(in, spectrum, 0, 1), &first);
    if (c.words.empty())
        ASSERT_TRUE(DeleteTag(spectrum.c_str(), TAG_SPECTRUM));
    else
        ASSERT_TRUE(SetTag(spectrum.c_str(), TAG_SPECTRUM, int(c.words.size() * 4), c.words.data()));
    Restore_From_Spectr(SpectrumRecord(spectrum, back, 1, 1), &second);
    EXPECT_TRUE(Responder().Asked().empty());
    const LayerData got = ReadLayer(back);
    EXPECT_EQ(got.width, c.width);
    EXPECT_EQ(got.height, c.height);
    EXPECT_EQ(got.type, c.type);
}

INSTANTIATE_TEST_SUITE_P(Records, SpectrumRestoreTag,
                         ::testing::Values(TagCase{"Sound", {20, 1, 1, 6, 3}, 6, 3, 7},
                                           TagCase{"SoundComplexSmaller", {20, 1, 0, 2, 2}, 2, 2, 9},
                                           TagCase{"Absent", {}, 8, 4, 9},
                                           TagCase{"LongerRecord", {24, 1, 1, 6, 3, 0}, 8, 4, 9},
                                           TagCase{"WrongSizeWord", {24, 1, 1, 6, 3}, 8, 4, 9},
                                           TagCase{"WrongMarker", {20, 2, 1, 6, 3}, 8, 4, 9},
                                           TagCase{"FlagNotZeroOrOne", {20, 1, 2, 6, 3}, 8, 4, 9},
                                           TagCase{"ZeroWidth", {20, 1, 1, 0, 3}, 8, 4, 9},
                                           TagCase{"WiderThanTheSpectrum", {20, 1, 1, 9, 3}, 8, 4, 9},
                                           TagCase{"HigherThanTheSpectrum", {20, 1, 1, 6, 5}, 8, 4, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the derivative -----------------------------------------------------------------------

TEST(Derivative, OfASinusoidInXIsItsAnalyticDerivative)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("dx.rdp");
    const int w = 64, h = 16;
    const double k = 2 * std::numbers::pi * 5 / w;
    std::vector<double> image;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.push_back(3 * std::sin(k * x + 0.3 * y) + 2);
    ASSERT_TRUE(WriteLayer(in, w, h, 8, image));
    ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 5, "wave"));
    RecordingMeter meter;
    Calc_Diff(DiffRecord(in, out), &meter);
    EXPECT_TRUE(Responder().Asked().empty());
    const LayerData got = ReadLayer(out);
    ASSERT_EQ(got.type, 7);
    ASSERT_EQ(got.width, w);
    ASSERT_EQ(got.height, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_NEAR(got.Real(x, y), 3 * k * std::cos(k * x + 0.3 * y), 1e-4) << x << "," << y;
    char text[5] = {};
    EXPECT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 5, text));
}

TEST(Derivative, KeepsThePaddedSize)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("dx.rdp");
    ASSERT_TRUE(WriteLayer(in, 100, 60, 2, std::vector<double>(6000, 5)));
    RecordingMeter meter;
    Calc_Diff(DiffRecord(in, out), &meter);
    const LayerData got = ReadLayer(out);
    EXPECT_EQ(got.type, 7);
    EXPECT_EQ(got.width, 128);
    EXPECT_EQ(got.height, 64);
}

// ---- job paths of the three Fourier jobs --------------------------------------------------

int FailingTransform(void**, void**, int, int, int, CMeterInfoBase*, int)
{
    return 0;
}

/// Makes the transforms fail for the life of the object.
class FailingTransforms {
public:
    FailingTransforms() : m_previous(SetFourierTransforms({FailingTransform, FailingTransform})) {}
    ~FailingTransforms() { SetFourierTransforms(m_previous); }

private:
    FourierTransforms m_previous;
};

enum class Job { Spectrum, Restore, Derivative };
enum class Fault { InputMissing, OutputNotCreatable, TransformFails, Cancelled, NotASpectrum };

struct FourierPath {
    const char* name;
    Job job;
    Fault fault;
    const char* message;  // expected box text (prefix); null: none
};

class FourierJobPaths : public ::testing::TestWithParam<FourierPath> {};

TEST_P(FourierJobPaths, TellTheUserMarkTheFailureAndLeaveNoOutput)
{
    const FourierPath& p = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    const std::string out =
        p.fault == Fault::OutputNotCreatable ? dir.File("missing/out.rdp") : dir.File("out.rdp");
    if (p.fault != Fault::InputMissing) {
        if (p.job == Job::Restore && p.fault != Fault::NotASpectrum)
            ASSERT_TRUE(WriteLayer(in, 64, 32, 9, Image(64, 32, true)));
        else
            ASSERT_TRUE(WriteLayer(in, 60, 30, 7, Image(60, 30, false)));
    }
    if (p.message) Responder().AnswerMessageBox(IDOK);
    RecordingMeter meter;
    if (p.fault == Fault::Cancelled) meter.StopAt(2);
    {
        std::unique_ptr<FailingTransforms> failing;
        if (p.fault == Fault::TransformFails) failing = std::make_unique<FailingTransforms>();
        switch (p.job) {
            case Job::Spectrum:
                Calc_Spectr(SpectrumRecord(in, out, 0, 1), &meter);
                break;
            case Job::Restore:
                Restore_From_Spectr(SpectrumRecord(in, out, 1, 1), &meter);
                break;
            case Job::Derivative:
                Calc_Diff(DiffRecord(in, out), &meter);
                break;
        }
    }
    const auto boxes = MessageBoxesAsked();
    if (p.message) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(std::string(boxes[0].text).rfind(p.message, 0), 0u) << boxes[0].text;
        EXPECT_EQ(std::string(boxes[0].caption), "Spectrum Analysis:Error");
        EXPECT_EQ(boxes[0].Icon(), UINT(MB_ICONERROR));
    } else {
        EXPECT_TRUE(boxes.empty());
    }
    EXPECT_TRUE(meter.FailureMarked()) << "a failed job must not open a viewer";
    EXPECT_FALSE(std::filesystem::exists(out));
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, p.fault == Fault::InputMissing ? 0 : 1) << "no partial or scratch file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FourierJobPaths,
    ::testing::Values(
        FourierPath{"SpectrumInputMissing", Job::Spectrum, Fault::InputMissing, "Can't open file: \r\n "},
        FourierPath{"SpectrumOutputNotCreatable", Job::Spectrum, Fault::OutputNotCreatable,
                    "Can't create file: \r\n "},
        FourierPath{"SpectrumTransformFails", Job::Spectrum, Fault::TransformFails,
                    "The two-dimensional Fourier transform failed"},
        FourierPath{"SpectrumCancelled", Job::Spectrum, Fault::Cancelled, nullptr},
        FourierPath{"RestoreInputMissing", Job::Restore, Fault::InputMissing, "Can't open file: \r\n "},
        FourierPath{"RestoreOutputNotCreatable", Job::Restore, Fault::OutputNotCreatable,
                    "Can't create file: \r\n "},
        FourierPath{"RestoreTransformFails", Job::Restore, Fault::TransformFails,
                    "The two-dimensional Fourier transform failed"},
        FourierPath{"RestoreCancelled", Job::Restore, Fault::Cancelled, nullptr},
        FourierPath{"RestoreOfARealFile", Job::Restore, Fault::NotASpectrum,
                    "The input file does not contain the spectrum"},
        FourierPath{"DerivativeInputMissing", Job::Derivative, Fault::InputMissing, "Can't open file: \r\n "},
        FourierPath{"DerivativeOutputNotCreatable", Job::Derivative, Fault::OutputNotCreatable,
                    "Can't create file: \r\n "},
        FourierPath{"DerivativeTransformFails", Job::Derivative, Fault::TransformFails,
                    "The two-dimensional Fourier transform failed"},
        FourierPath{"DerivativeCancelled", Job::Derivative, Fault::Cancelled, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the dialogs --------------------------------------------------------------------------

class FourierDialogs : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto* d : TopLevelOf<CToolDlg>()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(JobsEnded());
        EXPECT_TRUE(TopLevelOf<CToolDlg>().empty());
        CloseAllViewers();
    }
    template <class Dlg>
    static Dlg* Last()
    {
        auto dialogs = TopLevelOf<Dlg>();
        return dialogs.empty() ? nullptr : dialogs.back();
    }
    static CInFileCtrl* Picker(CWnd* d, int id) { return dynamic_cast<CInFileCtrl*>(d->GetDlgItem(id)); }
    static void Fill(CWnd* d, const std::string& in, const std::string& out)
    {
        Picker(d, IDC_SPECTR_INPUT)->SetPathName(in.c_str());
        Picker(d, IDC_SPECTR_OUTPUT)->SetPathName(out.c_str());
    }
    static void Click(CWnd* d, int id)
    {
        d->GetDlgItem(id)->SendMessage(BM_CLICK);
        tarvenix::test::PumpEvents();
    }
};

TEST_F(FourierDialogs, SpectrumDialogStartsInSpectrumModeWithTheShift)
{
    FFT_Files();
    FFT_Files();
    ASSERT_EQ(TopLevelOf<CFFTDlg>().size(), 2u);
    CFFTDlg* d = Last<CFFTDlg>();
    CString caption;
    d->GetWindowText(caption);
    EXPECT_EQ(std::string(caption), "Spectrum Analysis");
    EXPECT_EQ(d->IsDlgButtonChecked(IDC_SPECTR_MODE_SPECTRUM), 1u);
    EXPECT_EQ(d->IsDlgButtonChecked(IDC_SPECTR_MODE_RESTORE), 0u);
    EXPECT_EQ(d->IsDlgButtonChecked(IDC_SPECTR_SHIFT), 1u);
    const QImage shot = tarvenix::test::GrabWindow(*d);
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "spectrum_dialog").empty());
}

struct SpectrumCheck {
    const char* name;
    int mode;
    const char* input;   // "", "real", "odd" (complex 6 x 4), "spectrum", "bad"
    const char* output;  // "", "out", "input"
    const char* message;
    UINT icon;
};

class SpectrumExecute : public FourierDialogs, public ::testing::WithParamInterface<SpectrumCheck> {};

TEST_P(SpectrumExecute, RefusesWithOneMessageAndStartsNothing)
{
    const SpectrumCheck& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(WriteLayer(dir.File("real.rdp"), 8, 4, 7, Image(8, 4, false)));
    ASSERT_TRUE(WriteLayer(dir.File("odd.rdp"), 6, 4, 9, Image(6, 4, true)));
    tarvenix::test::WriteWholeFile(dir.File("bad.rdp"), "RDPR?");
    auto path = [&](const std::string& key) {
        if (key.empty()) return std::string();
        return key == "input" ? dir.File(std::string(c.input) + ".rdp") : dir.File(key + ".rdp");
    };
    FFT_Files();
    CFFTDlg* d = Last<CFFTDlg>();
    ASSERT_TRUE(d);
    Fill(d, path(c.input), path(c.output));
    if (c.mode == 1) Click(d, IDC_SPECTR_MODE_RESTORE);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    const auto boxes = MessageBoxesAsked();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(std::string(boxes[0].text), c.message);
    EXPECT_EQ(std::string(boxes[0].caption), "Spectrum Analysis:Error");
    EXPECT_EQ(boxes[0].Icon(), c.icon);
    EXPECT_TRUE(ProgressWindowsOpen().empty());
    EXPECT_EQ(GetRunningThreadCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SpectrumExecute,
    ::testing::Values(SpectrumCheck{"NoInput", 0, "", "out", "It is necessary to select an input file name",
                                    MB_ICONEXCLAMATION},
                      SpectrumCheck{"NoOutput", 0, "real", "",
                                    "It is necessary to select an output file name", MB_ICONEXCLAMATION},
                      SpectrumCheck{"RestoreOfARealFile", 1, "real", "out",
                                    "The input file does not contain the spectrum", MB_ICONERROR},
                      SpectrumCheck{"RestoreOfANonPowerOfTwo", 1, "odd", "out",
                                    "The input file does not contain the spectrum", MB_ICONERROR},
                      SpectrumCheck{"RestoreOfAnUnreadableFile", 1, "bad", "out",
                                    "The input file does not contain the spectrum", MB_ICONERROR},
                      SpectrumCheck{
                          "OutputIsTheInput", 0, "real", "input",
                          "The output file is the input file. Choose another name for the output file.",
                          MB_ICONEXCLAMATION}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FourierDialogs, ExecuteInBothModesRunsUnderTheInputsNameAndShowsTheResults)
{
    TempDir dir;
    const std::string in = dir.File("scene.rdp"), spectrum = dir.File("spectrum.rdp"),
                      back = dir.File("back.rdp");
    ASSERT_TRUE(WriteLayer(in, 10, 6, 7, Image(10, 6, false)));
    FFT_Files();
    CFFTDlg* d = Last<CFFTDlg>();
    ASSERT_TRUE(d);
    Fill(d, in, spectrum);
    d->SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(TitlesStartingWith("Spectrum Analysis:"),
              std::vector<std::string>{"Spectrum Analysis:scene.rdp"});
    ASSERT_TRUE(JobsEnded());
    EXPECT_EQ(ReadLayer(spectrum).width, 16);

    Fill(d, spectrum, back);
    Click(d, IDC_SPECTR_MODE_RESTORE);
    d->SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(d->Mode(), 1);
    ASSERT_TRUE(JobsEnded());
    EXPECT_TRUE(MessageBoxesAsked().empty());
    const LayerData got = ReadLayer(back);
    EXPECT_EQ(got.width, 10);
    EXPECT_EQ(got.type, 7);
    EXPECT_TRUE(PumpUntil([] { return TopLevelOf<CFrameViewer>().size() == 2; }));
}

TEST_F(FourierDialogs, TheViewerShowsTheCentredSpectrumOfAStripePattern)
{
    TempDir dir;
    const std::string in = dir.File("stripes.rdp"), out = dir.File("stripes-spectrum.rdp");
    std::vector<double> image;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            image.push_back(100 + 50 * std::cos(2 * std::numbers::pi * (8.0 * x + 4.0 * y) / 128));
    ASSERT_TRUE(WriteLayer(in, 128, 128, 7, image));
    FFT_Files();
    CFFTDlg* d = Last<CFFTDlg>();
    ASSERT_TRUE(d);
    Fill(d, in, out);
    d->SendMessage(WM_COMMAND, IDOK);
    // A complex layer's viewer names the part it shows after the file.
    ASSERT_TRUE(PumpUntil([&] { return GetRunningThreadCount() == 0 && !TitlesStartingWith(out).empty(); }));
    EXPECT_EQ(TitlesStartingWith(out), std::vector<std::string>{out + " - Amplitude"});
    const HWND viewer = ::FindWindow(nullptr, TitlesStartingWith(out)[0].c_str());
    // The zero frequency sits in the middle, the pattern's pair of frequencies around it.
    const LayerData got = ReadLayer(out);
    EXPECT_NEAR(std::abs(got.At(64, 64)), 100.0 * 128 * 128, 1.0);
    EXPECT_NEAR(std::abs(got.At(64 + 8, 64 + 4)), 25.0 * 128 * 128, 1.0);
    EXPECT_NEAR(std::abs(got.At(64 - 8, 64 - 4)), 25.0 * 128 * 128, 1.0);
    CWnd* frame = CWnd::FromHandle(viewer);
    frame->ShowWindow(SW_SHOW);
    for (int settled = 0; settled < 5;) {
        tarvenix::test::PumpEvents();
        settled = GetRunningThreadCount() == 0 ? settled + 1 : 0;
    }
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*frame), "spectrum_result_viewer")
            .empty());
}

TEST_F(FourierDialogs, DerivationDialogChecksItsNamesAndRunsTheDerivative)
{
    TempDir dir;
    const std::string in = dir.File("wave.rdp"), out = dir.File("dx.rdp");
    ASSERT_TRUE(WriteLayer(in, 10, 6, 7, Image(10, 6, false)));
    Diff_Files();
    CDiffDlg* d = Last<CDiffDlg>();
    ASSERT_TRUE(d);
    CString caption;
    d->GetWindowText(caption);
    EXPECT_EQ(std::string(caption), "Derivation");
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerMessageBox(IDOK);
    d->SendMessage(WM_COMMAND, IDOK);
    Fill(d, in, "");
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "It is necessary to select an input file name");
    EXPECT_EQ(std::string(MessageBoxesAsked()[1].text), "It is necessary to select an output file name");
    Fill(d, in, out);
    d->SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(TitlesStartingWith("Spectrum Analysis:"),
              std::vector<std::string>{"Spectrum Analysis:wave.rdp"});
    ASSERT_TRUE(JobsEnded());
    EXPECT_EQ(ReadLayer(out).width, 16);
}

}  // namespace
