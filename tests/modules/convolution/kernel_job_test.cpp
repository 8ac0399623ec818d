#include <cmath>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/convolution_kernels.h"
#include "modules/convolution/kernel_job.h"
#include "outside/basecore/file_helpers.h"
#include "tests/modules/convolution/conv_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace {

using namespace filtertest;
using namespace convtest;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

const std::vector<double> kSobelX{-1, 0, 1, -2, 0, 2, -1, 0, 1};
const std::vector<double> kSobelY{-1, -2, -1, 0, 0, 0, 1, 2, 1};
const std::vector<double> kOnes(9, 1.0);

KernelJobParams* JobRecord(const std::string& in, const std::string& out, const std::string& mask,
                           float angle = 0)
{
    auto* r = new KernelJobParams;
    r->inputPath = in.c_str();
    r->outputPath = out.c_str();
    r->maskCaption = "Smooth 3x3";
    r->maskPath = mask.c_str();
    r->angleDegrees = angle;
    return r;
}

/// Value of the plain sum of `mask` (3 x 3, not flipped) at (x, y) of a w-wide real image.
double Sum3x3(const std::vector<double>& img, int w, int x, int y, const std::vector<double>& mask)
{
    double acc = 0;
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j)
            acc += img[std::size_t(y + i) * w + x + j] * mask[std::size_t((i + 1) * 3 + j + 1)];
    return acc;
}

// ---- what the job writes ------------------------------------------------------------------------

struct EdgeCase {
    const char* name;
    int inputType;
    std::vector<double> maskX, maskY;  // maskY empty: a simple mask
    float angle;
    int outputType;
    /// The expected inner part (real, or one part of complex samples) at (x, y).
    std::function<double(const std::vector<double>& img, int w, int x, int y)> expected;
    double tolerance;  // relative
};

class KernelJobEdges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(KernelJobEdges, WritesTheConvolvedInnerPartAndZeroBorder)
{
    const EdgeCase& c = GetParam();
    TempDir dir;
    const int w = 10, h = 10, parts = isComplexType(c.inputType) ? 2 : 1;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp"), mask = dir.File("mask.rdp");
    // Positive values, so the statistics of the convolved region show whether the zero
    // border was left out.
    std::vector<double> img;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int p = 0; p < parts; ++p) img.push_back(20 + 3 * x + 5 * y + ((x * 7 + y * 3 + p) % 4));
    ASSERT_TRUE(WriteLayer(in, w, h, c.inputType, img));
    ASSERT_TRUE(WriteMask(mask, 3, 3, c.maskX, c.maskY));

    RecordingMeter meter;
    KernelJob(JobRecord(in, out, mask, c.angle), &meter);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_FALSE(meter.FailureMarked());
    EXPECT_EQ(meter.States(), (std::vector<int>(4, TASK_COMPLETE)));

    int ow = 0, oh = 0, type = 0;
    const auto got = ReadParts(out, &ow, &oh, &type);
    ASSERT_EQ(type, c.outputType);
    ASSERT_EQ(ow, w);
    ASSERT_EQ(oh, h);
    double lo = 1e300;
    for (int p = 0; p < parts; ++p) {
        std::vector<double> plane;
        for (std::size_t i = std::size_t(p); i < img.size(); i += std::size_t(parts)) plane.push_back(img[i]);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double v = got[(std::size_t(y) * w + x) * parts + p];
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
                    ASSERT_EQ(v, 0.0) << x << "," << y;
                    continue;
                }
                const double want = c.expected(plane, w, x, y);
                ASSERT_NEAR(v, want, c.tolerance * std::max(1.0, std::fabs(want)))
                    << x << "," << y << " part " << p;
                if (p == 0) lo = std::min(lo, v);
            }
    }
    // Statistics over (1, 1)-(8, 8): the border's zeros are not in them.
    CRDPLayer result;
    ASSERT_TRUE(result.OpenLayer(out.c_str(), kOpenReadOnly));
    if (!result.IsComplex()) {
        EXPECT_EQ(result.Min(), lo);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KernelJobEdges,
    ::testing::Values(
        EdgeCase{"OnesAverageTheNeighbourhoodIntoF32",
                 int(DataType::U8),
                 kOnes,
                 {},
                 0,
                 int(DataType::F32),
                 [](const auto& img, int w, int x, int y) {
                     return double(float(Sum3x3(img, w, x, y, kOnes) / 9));
                 },
                 0},
        EdgeCase{"ZeroSumMaskAppliesUnnormalisedIntoF64",
                 int(DataType::F32),
                 kSobelX,
                 {},
                 0,
                 int(DataType::F64),
                 [](const auto& img, int w, int x, int y) { return Sum3x3(img, w, x, y, kSobelX); },
                 0},
        EdgeCase{"CompoundAt0AppliesX", int(DataType::S16), kSobelX, kSobelY, 0, int(DataType::F32),
                 [](const auto& img, int w, int x, int y) { return Sum3x3(img, w, x, y, kSobelX); }, 1e-7},
        EdgeCase{"CompoundAt90AppliesY", int(DataType::F64), kSobelX, kSobelY, 90, int(DataType::F64),
                 [](const auto& img, int w, int x, int y) { return Sum3x3(img, w, x, y, kSobelY); }, 1e-6},
        EdgeCase{"CompoundAt45MixesBoth", int(DataType::F64), kSobelX, kSobelY, 45, int(DataType::F64),
                 [](const auto& img, int w, int x, int y) {
                     return (Sum3x3(img, w, x, y, kSobelX) + Sum3x3(img, w, x, y, kSobelY)) * 0.7071;
                 },
                 1e-4},
        EdgeCase{"C64GivesC128",
                 int(DataType::C64),
                 kOnes,
                 {},
                 0,
                 int(DataType::C128),
                 [](const auto& img, int w, int x, int y) { return Sum3x3(img, w, x, y, kOnes) / 9; },
                 1e-12},
        EdgeCase{"CS16GivesC64",
                 int(DataType::CS16),
                 kOnes,
                 {},
                 0,
                 int(DataType::C64),
                 [](const auto& img, int w, int x, int y) {
                     return double(float(Sum3x3(img, w, x, y, kOnes) / 9));
                 },
                 1e-6},
        EdgeCase{"CU16ConvolvesLikeCS16",
                 int(DataType::CU16),
                 kOnes,
                 {},
                 0,
                 int(DataType::C64),
                 [](const auto& img, int w, int x, int y) {
                     return double(float(Sum3x3(img, w, x, y, kOnes) / 9));
                 },
                 1e-6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KernelJob, CopiesEveryTagButThe201OneAndNamesItsTasks)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp"), mask = dir.File("mask.rdp");
    ASSERT_TRUE(WriteLayer(in, 12, 9, int(DataType::F32), Ramp(12, 9)));
    ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 5, "ramp"));
    ASSERT_TRUE(SetTag(in.c_str(), TAG_NO_COPY_201, 4, "abc"));
    ASSERT_TRUE(WriteMask(mask, 3, 5, std::vector<double>(15, 1.0)));

    RecordingMeter meter;
    KernelJob(JobRecord(in, out, mask), &meter);
    ASSERT_FALSE(meter.FailureMarked());
    char text[5] = {};
    EXPECT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 5, text));
    EXPECT_STREQ(text, "ramp");
    EXPECT_EQ(GetSizeTag(out.c_str(), TAG_NO_COPY_201), -1);
    std::vector<CString> tasks;
    for (int i = 0; i < meter.GetTaskCount(); ++i) tasks.push_back(meter.GetTask(i));
    EXPECT_EQ(tasks, (std::vector<CString>{"Creating output file", "Data preparing...", "Smooth 3x3",
                                           "Count statisticses."}));
}

// ---- paths a user can tell apart ----------------------------------------------------------------

struct JobPath {
    const char* name;
    bool input;        // the input file exists
    int maskW, maskH;  // 0: no mask file
    int secondW;       // > 0: a second mask layer of this width (and maskH rows)
    bool outputInMissingFolder;
    double stopAt;
    const char* message;  // expected box text (prefix); null: none
    bool withPath;        // the text is followed by the input path
};

class KernelJobPaths : public ::testing::TestWithParam<JobPath> {};

TEST_P(KernelJobPaths, ShowTheRightMessageAndLeaveNoOutput)
{
    const JobPath& p = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp"), mask = dir.File("mask.rdp");
    const std::string out = p.outputInMissingFolder ? dir.File("missing/out.rdp") : dir.File("out.rdp");
    int files = 0;
    if (p.input) {
        ASSERT_TRUE(WriteLayer(in, 9, 40, int(DataType::S16), Ramp(9, 40)));
        ++files;
    }
    if (p.maskW) {
        ASSERT_TRUE(
            WriteMask(mask, p.maskW, p.maskH, std::vector<double>(std::size_t(p.maskW) * p.maskH, 1.0)));
        if (p.secondW) {
            CRDPLayer second;
            ASSERT_TRUE(second.AddLayer(mask.c_str(), p.secondW, p.maskH, int(DataType::F64)));
            ASSERT_TRUE(second.CloseLayer());
        }
        ++files;
    }
    if (p.message) Responder().AnswerMessageBox(IDOK);

    RecordingMeter meter;
    meter.StopAt(p.stopAt);
    KernelJob(JobRecord(in, out, mask), &meter);

    if (p.message) {
        ASSERT_EQ(Responder().Asked().size(), 1u);
        const auto& box = Responder().Asked()[0];
        const std::string want = std::string(p.message) + (p.withPath ? in : "");
        EXPECT_EQ(std::string(box.text), want);
        EXPECT_EQ(std::string(box.caption), "Convolution with mask");
        EXPECT_EQ(box.Icon(), UINT(MB_ICONERROR));
    } else {
        EXPECT_TRUE(Responder().Asked().empty());
    }
    EXPECT_TRUE(meter.FailureMarked());
    int left = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
        left += e.is_regular_file();
    EXPECT_EQ(left, files);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, KernelJobPaths,
    ::testing::Values(
        JobPath{"InputMissing", false, 3, 3, 0, false, -1, "Can't open input file !", true},
        JobPath{"MaskMissing", true, 0, 0, 0, false, -1, "Can't open input file !", false},
        JobPath{"MaskAsWideAsTheInput", true, 9, 9, 0, false, -1,
                "Mask size can't be greater input file size minus 1 pixel!", false},
        JobPath{"MaskSideEven", true, 8, 9, 0, false, -1, "Mask size must be odd values.", false},
        JobPath{"CompoundLayersDiffer", true, 3, 3, 5, false, -1, "Error loading mask file !", false},
        JobPath{"OutputNotCreatable", true, 3, 3, 0, true, -1, "Error creating output file  !", false},
        JobPath{"StoppedByTheUser", true, 3, 3, 0, false, 5, nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the preview ----------------------------------------------------------------------------------

/// Stands for the convolution dialog: takes the preview's answer as the dialog does.
class PreviewOwner : public CWnd {
public:
    std::vector<WPARAM> codes;
    std::function<void(const KernelJobParams&)> inspect;

protected:
    LRESULT OnPreview(WPARAM code, LPARAM record)
    {
        std::unique_ptr<KernelJobParams> answer(reinterpret_cast<KernelJobParams*>(record));
        codes.push_back(code);
        if (code == kKernelPreviewDone && inspect) inspect(*answer);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PreviewOwner, CWnd)
    ON_MESSAGE(WM_KERNEL_PREVIEW, OnPreview)
END_MESSAGE_MAP()

/// The preview raster of `path` in the layer's row order: real values, or (real,
/// imaginary) pairs.
std::vector<double> PreviewRaster(const std::string& path, bool complex, int* w, int* h)
{
    SDoublePreviewImage a, b;
    EXPECT_TRUE(GetPreviewImage(path.c_str(), a, complex ? kReal : 0));
    if (complex) {
        EXPECT_TRUE(GetPreviewImage(path.c_str(), b, kImaginary));
    }
    *w = a.width;
    *h = a.height;
    std::vector<double> v;
    for (int y = a.height - 1; y >= 0; --y)
        for (int x = 0; x < a.width; ++x) {
            v.push_back(a.data[std::size_t(y) * a.width + x]);
            if (complex) v.push_back(b.data[std::size_t(y) * a.width + x]);
        }
    return v;
}

TEST(ConvolvePreview, EqualsTheEnginesArithmeticOnThePreviewRaster)
{
    for (const int type : {int(DataType::S16), int(DataType::C64), int(DataType::CS32)}) {
        SCOPED_TRACE(type);
        TempDir dir;
        const bool complex = isComplexType(type);
        const std::string in = dir.File("in.rdp"), mask = dir.File("mask.rdp");
        // Larger than a preview side, so the raster is a reduced one.
        const int w = 300, h = 270;
        ASSERT_TRUE(WriteLayer(in, w, h, type, Ramp(w, h, complex ? 2 : 1)));
        ASSERT_TRUE(WriteMask(mask, 5, 3, {1, 2, 3, 4, 5, 0, 1, 0, 1, 0, -2, 0, 7, 0, 1},
                              std::vector<double>(15, 0.5)));

        int pw = 0, ph = 0;
        const auto raster = PreviewRaster(in, complex, &pw, &ph);
        const int parts = complex ? 2 : 1;
        std::vector<const void*> rows;
        for (int y = 0; y < ph; ++y) rows.push_back(raster.data() + std::size_t(y) * pw * parts);
        std::vector<double> want(raster.size(), 0.0);
        std::vector<void*> outRows;
        for (int y = 0; y < ph; ++y) outRows.push_back(want.data() + std::size_t(y) * pw * parts);
        ConvolveImage(complex ? int(DataType::C128) : int(DataType::F64), RowSource{rows.data(), ph, pw},
                      PrepareMask(mask.c_str(), pw, ph, 30.0f), outRows.data());

        PreviewOwner owner;
        ASSERT_TRUE(
            owner.CreateEx(0, nullptr, "owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));
        bool inspected = false;
        owner.inspect = [&](const KernelJobParams& r) {
            ASSERT_NE(r.resultLayer, nullptr);
            EXPECT_EQ(r.previewWidth, pw);
            EXPECT_EQ(r.previewHeight, ph);
            EXPECT_EQ(r.resultLayer->Type(), complex ? int(DataType::C128) : int(DataType::F64));
            for (int y = 0; y < ph; ++y) {
                const auto* row = static_cast<const double*>(r.resultLayer->GetRows()[y]);
                for (int i = 0; i < pw * parts; ++i)
                    ASSERT_EQ(row[i], want[std::size_t(y) * pw * parts + i]) << y;
            }
            inspected = true;
        };
        auto* request = new KernelJobParams;
        request->inputPath = in.c_str();
        request->maskPath = mask.c_str();
        request->owner = owner.GetSafeHwnd();
        request->isComplex = complex;
        request->angleDegrees = 30.0f;
        EXPECT_EQ(ConvolvePreview(request), 1u);
        EXPECT_EQ(owner.codes, std::vector<WPARAM>{kKernelPreviewDone});
        EXPECT_TRUE(inspected);
        owner.DestroyWindow();
    }
}

TEST(ConvolvePreview, EveryFailureAnswersCode3AndShowsNothing)
{
    const struct {
        const char* name;
        bool statistics;
        int maskW;  // 0: no mask
        bool nanInput;
    } cases[] = {
        {"NoStatistics", false, 3, false},
        {"NoMask", true, 0, false},
        {"MaskEven", true, 4, false},
        {"MaskLargerThanThePreview", true, 41, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string in = dir.File("in.rdp"), mask = dir.File("mask.rdp");
        ASSERT_TRUE(WriteLayer(in, 40, 30, int(DataType::F32), Ramp(40, 30)));
        if (!c.statistics) {
            ASSERT_TRUE(DeleteTag(in.c_str(), TAG_STATISTICS));
        }
        if (c.maskW) {
            ASSERT_TRUE(WriteMask(mask, c.maskW, 3, std::vector<double>(std::size_t(c.maskW) * 3, 1.0)));
        }
        PreviewOwner owner;
        ASSERT_TRUE(
            owner.CreateEx(0, nullptr, "owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));
        auto* request = new KernelJobParams;
        request->inputPath = in.c_str();
        request->maskPath = mask.c_str();
        request->owner = owner.GetSafeHwnd();
        EXPECT_EQ(ConvolvePreview(request), 0u);
        EXPECT_EQ(owner.codes, std::vector<WPARAM>{kKernelPreviewFailed});
        EXPECT_TRUE(Responder().Asked().empty());
        owner.DestroyWindow();
    }
}

TEST(ConvolvePreview, ShowsNaNAsZero)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), mask = dir.File("mask.rdp");
    std::vector<double> img = Ramp(9, 9);
    img[40] = std::nan("");
    ASSERT_TRUE(WriteLayer(in, 9, 9, int(DataType::F64), img));
    ASSERT_TRUE(WriteMask(mask, 3, 3, kOnes));
    PreviewOwner owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));
    int nans = 0, zeros = 0;
    owner.inspect = [&](const KernelJobParams& r) {
        for (int y = 0; y < r.previewHeight; ++y)
            for (int x = 0; x < r.previewWidth; ++x) {
                const double v = static_cast<const double*>(r.resultLayer->GetRows()[y])[x];
                nans += std::isnan(v);
                zeros += v == 0.0;
            }
    };
    auto* request = new KernelJobParams;
    request->inputPath = in.c_str();
    request->maskPath = mask.c_str();
    request->owner = owner.GetSafeHwnd();
    EXPECT_EQ(ConvolvePreview(request), 1u);
    EXPECT_EQ(nans, 0);
    EXPECT_EQ(zeros, 32 + 9);  // the border and the nine sums that met the NaN
    owner.DestroyWindow();
}

}  // namespace
