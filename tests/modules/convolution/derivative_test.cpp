#include <cmath>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/derivative_job.h"
#include "outside/basecore/coord_law_data.h"
#include "tests/modules/convolution/conv_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/sample_types.h"
#include "tests/support/test_environment.h"

namespace {

using namespace filtertest;
using namespace convtest;
using tarvenix::test::CodeOf;
using tarvenix::test::RealSampleTypes;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

constexpr double kPi = 3.141592653589793;

// ---- reference from the difference formulas -------------------------------------------------

using Grid = std::vector<double>;  // w x h, row after row

/// First derivative at index k of n samples g(0..n-1) with spacing h.
template <class G>
double Diff(G g, int n, int k, double h)
{
    if (k == 0) return (4 * g(1) - 3 * g(0) - g(2)) / (h + h);
    if (k == n - 1) return (g(n - 3) - 4 * g(n - 2) + 3 * g(n - 1)) / (h + h);
    return (g(k + 1) - g(k - 1)) / (h + h);
}

Grid Dx(const Grid& f, int w, int h, double hx)
{
    Grid d(f.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            d[std::size_t(y) * w + x] = Diff([&](int k) { return f[std::size_t(y) * w + k]; }, w, x, hx);
    return d;
}

Grid Dy(const Grid& f, int w, int h, double hy)
{
    Grid d(f.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            d[std::size_t(y) * w + x] = Diff([&](int k) { return f[std::size_t(k) * w + x]; }, h, y, hy);
    return d;
}

/// Rounds every value to the output precision.
Grid Stored(Grid g, bool wide)
{
    if (!wide)
        for (double& v : g) v = float(v);
    return g;
}

/// The result of `kind` as parts (gradient: x then y per sample), at the output precision.
Grid Reference(const Grid& f, int w, int h, int kind, double angle, double hx, double hy, bool wide)
{
    switch (kind) {
        case kDerivGradient: {
            const Grid gx = Stored(Dx(f, w, h, hx), wide), gy = Stored(Dy(f, w, h, hy), wide);
            Grid out;
            for (std::size_t i = 0; i < gx.size(); ++i) out.insert(out.end(), {gx[i], gy[i]});
            return out;
        }
        case kDerivX:
            return Stored(Dx(f, w, h, hx), wide);
        case kDerivY:
            return Stored(Dy(f, w, h, hy), wide);
        case kDerivDirectional: {
            const Grid gx = Dx(f, w, h, hx), gy = Dy(f, w, h, hy);
            Grid out(gx.size());
            for (std::size_t i = 0; i < gx.size(); ++i)
                out[i] = gy[i] * std::sin(angle) + gx[i] * std::cos(angle);
            return Stored(out, wide);
        }
        case kDerivXX:
            return Stored(Dx(Stored(Dx(f, w, h, hx), wide), w, h, hx), wide);
        case kDerivYY:
            return Stored(Dy(Stored(Dy(f, w, h, hy), wide), w, h, hy), wide);
        case kDerivXY:
            return Stored(Dy(Stored(Dx(f, w, h, hx), wide), w, h, hy), wide);
    }
    return {};
}

// ---- the kernel on samples held in memory -------------------------------------------------------

/// Runs CalcDerivative over samples of T; the result as parts widened to double.
template <class T>
Grid RunKernel(const std::vector<T>& img, int w, int h, const SGradientParams& params,
               CMeterInfoBase* meter = nullptr, int threads = 0)
{
    const int outType = DerivativeOutputType(CodeOf<T>(), params.kind);
    const int parts = isComplexType(outType) ? 2 : 1;
    const bool wide = typeInfo(outType).partBytes == 8;
    std::vector<double> dbl(std::size_t(w) * h * parts, -99);
    std::vector<float> flt(std::size_t(w) * h * parts, -99);
    std::vector<const void*> in;
    std::vector<void*> out;
    for (int y = 0; y < h; ++y) {
        in.push_back(img.data() + std::size_t(y) * w);
        out.push_back(wide ? static_cast<void*>(dbl.data() + std::size_t(y) * w * parts)
                           : static_cast<void*>(flt.data() + std::size_t(y) * w * parts));
    }
    CalcDerivative(params, meter, CodeOf<T>(), in.data(), out.data(), w, h, threads);
    if (!wide) dbl.assign(flt.begin(), flt.end());
    return dbl;
}

SGradientParams Params(int kind, double hx = 1, double hy = 1, double angle = 0)
{
    SGradientParams p;
    p.kind = kind;
    p.pixelStepX = hx;
    p.pixelStepY = hy;
    p.angle = angle;
    return p;
}

template <class T>
class DerivativeKernel : public ::testing::Test {
};
TYPED_TEST_SUITE(DerivativeKernel, RealSampleTypes);

TYPED_TEST(DerivativeKernel, EveryKindEqualsTheDifferenceFormulas)
{
    using T = TypeParam;
    const int w = 29, h = 23;
    std::mt19937 rng(5);
    std::vector<TypeParam> img(std::size_t(w) * h);
    for (std::size_t i = 0; i < img.size(); ++i) {
        // The type's extremes (-1 of the signed ones, 4294967295 of U32 ...) among smooth values.
        if (i % 17 == 3)
            img[i] = std::is_floating_point_v<T> ? T(1e6) : std::numeric_limits<T>::max();
        else if (i % 19 == 4)
            img[i] = std::is_signed_v<T> ? T(-1) : std::numeric_limits<T>::min();
        else
            img[i] = T(double(i % w) * 1.5 + double(rng() % 50));
    }
    Grid f(img.begin(), img.end());
    const bool wide = std::is_same_v<T, double>;
    const struct {
        double hx, hy, angle;
        int threads;
    } steps[] = {{1, 1, 0.7, 1}, {2, 0.5, 2.5, 3}, {0.3, 1.7, -1.1, 8}};
    for (const auto& s : steps)
        for (int kind = kDerivGradient; kind <= kDerivXY; ++kind) {
            SCOPED_TRACE(::testing::Message() << "kind " << kind << " hx " << s.hx);
            const Grid want = Reference(f, w, h, kind, s.angle, s.hx, s.hy, wide);
            const Grid got = RunKernel(img, w, h, Params(kind, s.hx, s.hy, s.angle), nullptr, s.threads);
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << "part " << i;
        }
}

// ---- layers that cross every band ---------------------------------------------------------------

struct DerivativeBandCase {
    int type, w, h;
    std::vector<int> kinds;
    int threads;
};

class DerivativeBands : public ::testing::TestWithParam<DerivativeBandCase> {};

TEST_P(DerivativeBands, LayersCrossingEveryBandEqualTheDifferenceFormulas)
{
    const DerivativeBandCase& c = GetParam();
    visitSampleType(c.type, [&]<class T>(Tag<T>) {
        if constexpr (!IsComplex<T>) {
            std::mt19937 rng(unsigned(c.w + c.h));
            std::vector<T> img(std::size_t(c.w) * c.h);
            for (std::size_t i = 0; i < img.size(); ++i)
                img[i] = T(double(i % std::size_t(c.w)) * 0.75 + double(rng() % 100));
            const Grid f(img.begin(), img.end());
            for (const int kind : c.kinds) {
                SCOPED_TRACE(::testing::Message() << "kind " << kind);
                const Grid want = Reference(f, c.w, c.h, kind, 0.4, 1.5, 0.7, std::is_same_v<T, double>);
                const Grid got = RunKernel(img, c.w, c.h, Params(kind, 1.5, 0.7, 0.4), nullptr, c.threads);
                ASSERT_EQ(got.size(), want.size());
                const int parts = kind == kDerivGradient ? 2 : 1;
                for (std::size_t i = 0; i < got.size(); ++i)
                    ASSERT_EQ(got[i], want[i]) << "column " << (i / parts) % std::size_t(c.w) << " row "
                                               << i / parts / std::size_t(c.w);
            }
        }
    });
}

// Second derivatives keep first-pass rows from around each band's start; tall and wide layers
// cross many bands, their last ones ending anywhere.
INSTANTIATE_TEST_SUITE_P(Layers, DerivativeBands,
                         ::testing::Values(DerivativeBandCase{1, 4, 771, {0, 1, 2, 3, 4, 5, 6}, 8},
                                           DerivativeBandCase{4, 131, 8870, {kDerivYY, kDerivXY}, 1},
                                           DerivativeBandCase{7, 1024, 1024, {kDerivXY}, 8},
                                           DerivativeBandCase{7, 1024, 1024, {kDerivYY}, 1},
                                           DerivativeBandCase{8, 2049, 1537, {kDerivYY}, 8},
                                           DerivativeBandCase{8, 2049, 1537, {kDerivDirectional}, 1},
                                           DerivativeBandCase{5, 4100, 257, {kDerivXX, kDerivGradient}, 8},
                                           DerivativeBandCase{2, 3, 1031, {kDerivXY, kDerivYY, kDerivY}, 8}),
                         [](const ::testing::TestParamInfo<DerivativeBandCase>& info) {
                             const DerivativeBandCase& c = info.param;
                             std::string name = std::string(typeInfo(c.type).name) + "_" +
                                                std::to_string(c.w) + "x" + std::to_string(c.h) + "_threads" +
                                                std::to_string(c.threads);
                             for (int kind : c.kinds) name += "_kind" + std::to_string(kind);
                             return name;
                         });

// ---- edge cases ---------------------------------------------------------------------------------

struct EdgeCase {
    const char* name;
    int w, h;
    double (*f)(int x, int y);
    SGradientParams params;
    double (*expected)(int x, int y);  // at (x, y); for the gradient, the x part
    double tolerance;
};

class DerivativeEdges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(DerivativeEdges, GiveTheKnownDerivative)
{
    const EdgeCase& c = GetParam();
    std::vector<double> img;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) img.push_back(c.f(x, y));
    const Grid got = RunKernel(img, c.w, c.h, c.params);
    const int parts = c.params.kind == kDerivGradient ? 2 : 1;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            ASSERT_NEAR(got[(std::size_t(y) * c.w + x) * parts], c.expected(x, y), c.tolerance)
                << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DerivativeEdges,
    ::testing::Values(
        EdgeCase{"ConstantGradientIsZero", 5, 4, [](int, int) { return 7.0; }, Params(kDerivGradient),
                 [](int, int) { return 0.0; }, 0},
        EdgeCase{"ConstantMixedIsZero", 3, 3, [](int, int) { return -3.5; }, Params(kDerivXY),
                 [](int, int) { return 0.0; }, 0},
        EdgeCase{"RampWithStep2HalvesItsSlope", 6, 5, [](int x, int) { return 3.0 * x; }, Params(kDerivX, 2),
                 [](int, int) { return 1.5; }, 0},
        EdgeCase{"RampHasNoYDerivative", 6, 5, [](int x, int) { return 3.0 * x; }, Params(kDerivY, 2),
                 [](int, int) { return 0.0; }, 0},
        EdgeCase{"RampHasNoSecondDerivative", 6, 5, [](int x, int) { return 3.0 * x; }, Params(kDerivXX, 2),
                 [](int, int) { return 0.0; }, 0},
        EdgeCase{"SquareIsExactAtTheBorders", 9, 3, [](int x, int) { return double(x * x); }, Params(kDerivX),
                 [](int x, int) { return 2.0 * x; }, 0},
        EdgeCase{"SquareDownTheRows", 3, 9, [](int, int y) { return double(y * y); }, Params(kDerivYY),
                 [](int, int) { return 2.0; }, 0},
        EdgeCase{"DirectionalAt0IsDx", 7, 6, [](int x, int y) { return double(x * x + 5 * y); },
                 Params(kDerivDirectional, 1, 1, 0), [](int x, int) { return 2.0 * x; }, 0},
        EdgeCase{"DirectionalAtHalfPiIsDy", 7, 6, [](int x, int y) { return double(x * x + 5 * y); },
                 Params(kDerivDirectional, 1, 1, kPi / 2), [](int, int) { return 5.0; }, 1e-5},
        EdgeCase{"DirectionalAtPiIsMinusDx", 7, 6, [](int x, int y) { return double(x * x + 5 * y); },
                 Params(kDerivDirectional, 1, 1, kPi), [](int x, int) { return -2.0 * x; }, 1e-5},
        EdgeCase{"StepThatIsNotPositiveCountsAs1", 6, 5, [](int x, int) { return 3.0 * x; },
                 Params(kDerivX, -2), [](int, int) { return 3.0; }, 0},
        EdgeCase{"StepThatIsNotFiniteCountsAs1", 6, 5, [](int x, int) { return 3.0 * x; },
                 Params(kDerivX, std::numeric_limits<double>::infinity()), [](int, int) { return 3.0; }, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DerivativeKernel, OutputTypesAndAcceptedInputs)
{
    for (int code = 1; code <= 16; ++code) {
        SCOPED_TRACE(code);
        const bool complex = code >= 9;
        EXPECT_EQ(DerivativeOutputType(code, kDerivGradient), complex ? 0 : code == 8 ? 10 : 9);
        EXPECT_EQ(DerivativeOutputType(code, kDerivXX), complex ? 0 : code == 8 ? 8 : 7);
        EXPECT_EQ(IsDerivableInput(code, 3, 3), !complex);
    }
    EXPECT_FALSE(IsDerivableInput(1, 2, 9));
    EXPECT_FALSE(IsDerivableInput(1, 9, 2));
    EXPECT_FALSE(IsDerivableInput(0, 9, 9));
}

TEST(DerivativeKernel, SecondDerivativesSpanTwiceTheRows)
{
    const std::vector<float> img(std::size_t(8) * 50, 1.0f);
    for (int kind = kDerivGradient; kind <= kDerivXY; ++kind) {
        RecordingMeter meter;
        RunKernel(img, 8, 50, Params(kind), &meter);
        const double rows = kind >= kDerivXX ? 100 : 50;
        EXPECT_EQ(meter.High(), rows) << kind;
        ASSERT_FALSE(meter.Positions().empty()) << kind;
        EXPECT_EQ(meter.Positions().back(), rows) << kind;
    }
}

TEST(DerivativeKernel, UnknownKindLeavesTheOutputUntouched)
{
    const std::vector<double> img(std::size_t(4) * 4, 2.0);
    EXPECT_EQ(RunKernel(img, 4, 4, Params(7)), Grid(16, -99));
}

// ---- the job ------------------------------------------------------------------------------------

SGradientParams* JobRecord(const std::string& in, const std::string& out, int kind)
{
    auto* r = new SGradientParams;
    r->input = in.c_str();
    r->output = out.c_str();
    r->kind = kind;
    return r;
}

TEST(DerivativeJob, WritesTheGradientWithTheLawsStepsAndCopiesTheTags)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    const int w = 7, h = 5;
    std::vector<double> img;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.push_back(3 * x + 10 * y);
    ASSERT_TRUE(WriteLayer(in, w, h, int(DataType::U8), img));
    CCoordLawData law;
    ASSERT_TRUE(law.SaveDataKt(in.c_str(), 2.0, 100.0, -0.5, 40.0));  // steps 2 and 0.5
    ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 5, "dem1"));

    RecordingMeter meter;
    EXPECT_EQ(CalcDerivativeJob(JobRecord(in, out, kDerivGradient), &meter), 1);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_FALSE(meter.FailureMarked());
    EXPECT_EQ(meter.States(), (std::vector<int>(3, TASK_COMPLETE)));
    EXPECT_EQ(meter.GetTask(1), CString("Gradient calculation."));
    int type = 0;
    const auto got = ReadParts(out, nullptr, nullptr, &type);
    EXPECT_EQ(type, int(DataType::C64));
    ASSERT_EQ(got.size(), std::size_t(2 * w * h));
    for (std::size_t i = 0; i < got.size(); i += 2) {
        EXPECT_EQ(got[i], 1.5) << i;       // 3 per column over a step of 2
        EXPECT_EQ(got[i + 1], 20.0) << i;  // 10 per row over a step of 0.5
    }
    char text[5] = {};
    EXPECT_TRUE(GetTag(out.c_str(), TAG_DESCRIPTION, 5, text));
    EXPECT_STREQ(text, "dem1");
    EXPECT_TRUE(GetSizeTag(out.c_str(), TAG_COORD_LAW) > 0);
}

struct JobPath {
    const char* name;
    int type;  // 0: no input file
    int w, h;
    int kind;
    bool outputInMissingFolder;
    double stopAt;
    const char* message;  // null: none
    int pathOf;           // the text is followed by: 0 nothing, 1 the input path, 2 the output path
};

class DerivativeJobPaths : public ::testing::TestWithParam<JobPath> {};

TEST_P(DerivativeJobPaths, ShowTheRightMessageAndLeaveNoOutput)
{
    const JobPath& p = GetParam();
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    const std::string out = p.outputInMissingFolder ? dir.File("missing/out.rdp") : dir.File("out.rdp");
    if (p.type) {
        ASSERT_TRUE(WriteLayer(in, p.w, p.h, p.type, Ramp(p.w, p.h, isComplexType(p.type) ? 2 : 1)));
        ASSERT_TRUE(SetTag(in.c_str(), TAG_DESCRIPTION, 5, "dem1"));
    }
    if (p.message) Responder().AnswerMessageBox(IDOK);

    RecordingMeter meter;
    meter.StopAt(p.stopAt);
    EXPECT_EQ(CalcDerivativeJob(JobRecord(in, out, p.kind), &meter), 0);

    if (p.message) {
        ASSERT_EQ(Responder().Asked().size(), 1u);
        const auto& box = Responder().Asked()[0];
        const std::string want = std::string(p.message) + (p.pathOf == 1 ? in : p.pathOf == 2 ? out : "");
        EXPECT_EQ(std::string(box.text), want);
        EXPECT_EQ(std::string(box.caption), "Differentiation");
        EXPECT_EQ(box.Icon(), UINT(MB_ICONERROR));
    } else {
        EXPECT_TRUE(Responder().Asked().empty());
    }
    EXPECT_TRUE(meter.FailureMarked());
    int left = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path()))
        left += e.is_regular_file();
    EXPECT_EQ(left, p.type ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DerivativeJobPaths,
    ::testing::Values(
        JobPath{"InputMissing", 0, 0, 0, kDerivX, false, -1, "Can't open input file !", 1},
        JobPath{"ComplexInput", int(DataType::C64), 9, 9, kDerivX, false, -1,
                "Derivatives need a real input layer of at least 3 x 3 pixels.", 0},
        JobPath{"TwoColumns", int(DataType::F32), 2, 9, kDerivX, false, -1,
                "Derivatives need a real input layer of at least 3 x 3 pixels.", 0},
        JobPath{"TwoRows", int(DataType::S16), 9, 2, kDerivGradient, false, -1,
                "Derivatives need a real input layer of at least 3 x 3 pixels.", 0},
        JobPath{"UnknownKind", int(DataType::F32), 9, 9, 7, false, -1, "Unknown kind of derivative.", 0},
        JobPath{"OutputNotCreatable", int(DataType::F64), 9, 9, kDerivY, true, -1,
                "Error creating output file  !", 2},
        JobPath{"StoppedInTheFirstHalf", int(DataType::U16), 9, 200, kDerivXY, false, 20, nullptr, 0},
        JobPath{"StoppedInTheSecondHalf", int(DataType::U16), 9, 200, kDerivYY, false, 300, nullptr, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
