#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/convolution_kernels.h"
#include "outside/basecore/data_type.h"
#include "tests/support/band_census.h"
#include "tests/support/sample_types.h"
#include "tests/support/vector_paths.h"

namespace {

using tarvenix::test::AllSampleTypes;
using tarvenix::test::CodeOf;

/// Parts spread over the part type's range, its extremes included.
template <class P>
P RandomPart(std::mt19937& rng)
{
    if constexpr (std::is_floating_point_v<P>) {
        return P(std::uniform_real_distribution<double>(-1e4, 1e4)(rng));
    } else {
        const int pick = int(rng() % 10);
        if (pick == 0) return std::numeric_limits<P>::min();
        if (pick == 1) return std::numeric_limits<P>::max();
        return P(std::uniform_int_distribution<std::int64_t>(std::numeric_limits<P>::min(),
                                                             std::numeric_limits<P>::max())(rng));
    }
}

template <class T>
std::vector<T> RandomImage(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<T> v(std::size_t(w) * h);
    for (T& s : v) {
        using P = PartType<T>;
        if constexpr (IsComplex<T>)
            s = T{RandomPart<P>(rng), RandomPart<P>(rng)};
        else
            s = RandomPart<P>(rng);
    }
    return v;
}

WorkingMask RandomMask(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    WorkingMask m{w, h, std::vector<double>(std::size_t(w) * h), 1.0};
    for (double& v : m.values) v = std::uniform_real_distribution<double>(-1.0, 2.0)(rng);
    m.sum = MaskDivisor(m.values.data(), m.values.size());
    return m;
}

/// Row y of the plain direct sum: rows of the mask outer, columns inner, from the top left;
/// integer complex samples in float arithmetic, everything else in double. Writes the inner
/// columns of `out` (C parts per sample).
template <class T>
void ReferenceRow(const std::vector<T>& img, int w, const WorkingMask& m, int y, double* out)
{
    using P = PartType<T>;
    constexpr int C = IsComplex<T> ? 2 : 1;
    constexpr bool kFloat = IsComplex<T> && std::is_integral_v<P>;
    const int hx = m.width / 2, hy = m.height / 2;
    auto part = [&](int x, int yy, int c) {
        const T& s = img[std::size_t(yy) * w + x];
        return c == 0 ? re(s) : im(s);
    };
    for (int x = hx; x < w - hx; ++x)
        for (int c = 0; c < C; ++c) {
            double value;
            if constexpr (kFloat) {
                float acc = 0.0f;
                for (int i = -hy; i <= hy; ++i)
                    for (int j = -hx; j <= hx; ++j) {
                        const float product = float(part(x + j, y + i, c)) * float(m.Row(i + hy)[j + hx]);
                        acc = acc + product;
                    }
                value = acc / float(m.sum);
            } else {
                double acc = 0.0;
                for (int i = -hy; i <= hy; ++i)
                    for (int j = -hx; j <= hx; ++j)
                        acc += double(part(x + j, y + i, c)) * m.Row(i + hy)[j + hx];
                value = acc / m.sum;
                // Integer inputs are stored as F32.
                if constexpr (!IsComplex<T> && std::is_integral_v<P>) value = float(value);
            }
            out[std::size_t(x) * C + c] = value;
        }
}

/// The plain direct sum over the whole image; `border` where the mask does not fit.
template <class T>
std::vector<double> ReferenceConvolution(const std::vector<T>& img, int w, int h, const WorkingMask& m,
                                         double border)
{
    constexpr int C = IsComplex<T> ? 2 : 1;
    std::vector<double> out(std::size_t(w) * h * C, border);
    for (int y = m.height / 2; y < h - m.height / 2; ++y)
        ReferenceRow(img, w, m, y, &out[std::size_t(y) * w * C]);
    return out;
}

/// Runs the engine into an output buffer of the engine's output type prefilled with `border`.
template <class T>
std::vector<double> RunEngine(const std::vector<T>& img, int w, int h, const WorkingMask& m, double border,
                              int threads)
{
    const int outType = ConvolutionOutputType(CodeOf<T>());
    const int parts = isComplexType(outType) ? 2 : 1;
    const bool wide = typeInfo(outType).partBytes == 8;
    std::vector<double> dbl(std::size_t(w) * h * parts, border);
    std::vector<float> flt(std::size_t(w) * h * parts, float(border));
    std::vector<const void*> in(static_cast<std::size_t>(h));
    std::vector<void*> out(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        in[std::size_t(y)] = img.data() + std::size_t(y) * w;
        out[std::size_t(y)] = wide ? static_cast<void*>(dbl.data() + std::size_t(y) * w * parts)
                                   : static_cast<void*>(flt.data() + std::size_t(y) * w * parts);
    }
    ConvolveImage(CodeOf<T>(), RowSource{in.data(), h, w}, m, out.data(), {}, threads);
    if (!wide) dbl.assign(flt.begin(), flt.end());
    return dbl;
}

template <class T>
class ConvolutionEngine : public ::testing::Test {
};
TYPED_TEST_SUITE(ConvolutionEngine, AllSampleTypes);

TYPED_TEST(ConvolutionEngine, EqualsThePlainDirectSumAndLeavesTheBorder)
{
    // Odd sizes so that bands, vector blocks and their tails all meet the edges.
    const int w = 41, h = 37;
    const auto img = RandomImage<TypeParam>(w, h, 11);
    const struct {
        int mw, mh, threads;
    } cases[] = {{3, 3, 3}, {5, 7, 8}, {15, 15, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.mw << "x" << c.mh);
        const WorkingMask mask = RandomMask(c.mw, c.mh, unsigned(c.mw * 100 + c.mh));
        const auto want = ReferenceConvolution(img, w, h, mask, 7.0);
        const auto got = RunEngine(img, w, h, mask, 7.0, c.threads);
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << "part " << i;
    }
}

TEST(ConvolutionEngine, OutputTypeFollowsTheInputType)
{
    const int want[17] = {0, 7, 7, 7, 7, 7, 7, 8, 8, 10, 10, 9, 9, 9, 9, 9, 9};
    for (int code = 0; code <= 16; ++code) EXPECT_EQ(ConvolutionOutputType(code), want[code]) << code;
    EXPECT_EQ(ConvolutionOutputType(17), 0);
}

TEST(ConvolutionEngine, MaskSumNearZeroCountsAsOne)
{
    const struct {
        std::vector<double> values;
        double divisor;
    } cases[] = {
        {{-1, 0, 1, -2, 0, 2, -1, 0, 1}, 1.0},  // an edge detector
        {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9.0},     // an average
        {{1.1920928955078125e-7, 0}, 1.0},      // exactly epsilon
        {{-1.1920928955078125e-7, 0}, 1.0},
        {{1.2e-7, 0}, 1.2e-7},  // just above
        {{0.25, 0.25, -1.0}, -0.5},
    };
    for (const auto& c : cases) EXPECT_EQ(MaskDivisor(c.values.data(), c.values.size()), c.divisor);
}

TEST(ConvolutionEngine, ComplexIntegersAccumulateInFloat)
{
    // Large parts and weights of 0.1: a float sum drifts from the double one in the last
    // places; stored results keep the float arithmetic.
    const int w = 5, h = 3;
    std::vector<CplxInt<std::int16_t>> img(std::size_t(w) * h);
    for (int i = 0; i < w * h; ++i)
        img[std::size_t(i)] = {std::int16_t(32767 - 977 * i), std::int16_t(-32768 + 1013 * i)};
    WorkingMask mask{3, 3, std::vector<double>(9, 0.1), 0.0};
    mask.sum = MaskDivisor(mask.values.data(), mask.values.size());
    const auto got = RunEngine(img, w, h, mask, 0.0, 1);
    EXPECT_EQ(got, ReferenceConvolution(img, w, h, mask, 0.0));
    int differs = 0;
    for (int x = 1; x < w - 1; ++x)
        for (int c = 0; c < 2; ++c) {
            double acc = 0;
            for (int i = 0; i < 3; ++i)
                for (int j = -1; j <= 1; ++j) {
                    const auto& s = img[std::size_t(i) * w + x + j];
                    acc += double(c ? s.im : s.re) * 0.1;
                }
            differs += float(acc / mask.sum) != float(got[std::size_t(w + x) * 2 + c]);
        }
    EXPECT_GT(differs, 0);
}

TEST(ConvolutionEngine, RankOneMasksStayWithinTheStatedToleranceOfTheDirectSum)
{
    const int w = 45, h = 33;
    const auto f64 = RandomImage<double>(w, h, 3);
    const auto u16 = RandomImage<std::uint16_t>(w, h, 4);
    const auto c128 = RandomImage<std::complex<double>>(w, h, 5);
    const struct {
        std::vector<double> column, row;
    } cases[] = {
        {{1, 2, 1}, {-1, 0, 1, 0, 2}},                                 // an edge detector: sums to 0
        {std::vector<double>(15, 1.0), std::vector<double>(15, 1.0)},  // a box
        {{0.3, -1.7, 2.9, 0.001, 5}, {1e-3, 4, -2.5, 7, 0.5, 3, -1}},
    };
    for (const auto& c : cases) {
        const int mw = int(c.row.size()), mh = int(c.column.size());
        SCOPED_TRACE(::testing::Message() << mw << "x" << mh);
        WorkingMask mask{mw, mh, {}, 1.0};
        double largest = 0;
        for (double a : c.column)
            for (double b : c.row) {
                mask.values.push_back(a * b);
                largest = std::max(largest, std::fabs(a * b));
            }
        mask.sum = MaskDivisor(mask.values.data(), mask.values.size());
        std::vector<double> column, row;
        ASSERT_TRUE(SeparateMask(mask, column, row));

        auto check = [&](const auto& img, int parts, bool floatOut) {
            const auto want = ReferenceConvolution(img, w, h, mask, 0.0);
            const auto got = RunEngine(img, w, h, mask, 0.0, 3);
            for (int y = mh / 2; y < h - mh / 2; ++y)
                for (int x = mw / 2; x < w - mw / 2; ++x)
                    for (int p = 0; p < parts; ++p) {
                        double magnitude = 0;
                        for (int i = -mh / 2; i <= mh / 2; ++i)
                            for (int j = -mw / 2; j <= mw / 2; ++j) {
                                const auto& s = img[std::size_t(y + i) * w + x + j];
                                magnitude += std::fabs(double(p ? im(s) : re(s)));
                            }
                        const std::size_t k = (std::size_t(y) * w + x) * parts + p;
                        double bound = 1e-12 * largest * magnitude / std::fabs(mask.sum);
                        if (floatOut) bound += std::fabs(want[k]) * 1.2e-7;
                        ASSERT_LE(std::fabs(got[k] - want[k]), bound) << x << "," << y;
                    }
        };
        check(f64, 1, false);
        check(u16, 1, true);
        check(c128, 2, false);
    }
    // Not rank 1: a cross.
    WorkingMask cross{3, 3, {0, 1, 0, 1, 1, 1, 0, 1, 0}, 5};
    std::vector<double> column, row;
    EXPECT_FALSE(SeparateMask(cross, column, row));
}

// ---- layers that cross every band and vector block -------------------------------------------

struct BoundaryCase {
    int type;
    int width, height, maskWidth, maskHeight, threads;
    bool avx2;
};

/// Tall narrow layers put band starts on rows that are no multiple of the mask height; the
/// large ones end their rows inside every vector block; some masks are not square.
constexpr BoundaryCase kConvolutionCases[] = {
    {3, 4, 771, 3, 3, 8, true},       {7, 6, 1285, 5, 5, 1, true},      {9, 18, 4369, 17, 17, 8, false},
    {14, 131, 8870, 7, 7, 8, true},   {8, 1024, 1024, 3, 3, 8, false},  {6, 2049, 1537, 5, 5, 8, true},
    {7, 4100, 257, 7, 7, 1, true},    {10, 40, 2311, 15, 15, 8, true},  {14, 18, 4369, 17, 17, 1, true},
    {8, 4100, 257, 17, 3, 8, false},  {3, 20, 3001, 3, 17, 8, true},    {16, 2049, 1537, 3, 3, 8, false},
    {7, 2049, 1537, 15, 15, 1, true}, {7, 203, 1537, 15, 15, 8, false}, {7, 37, 2311, 15, 1, 8, true},
    {9, 131, 1537, 15, 15, 8, true},  {14, 99, 1201, 15, 15, 8, true},
};

template <class T>
void ExpectConvolutionAcrossBoundaries(const BoundaryCase& c, unsigned seed)
{
    constexpr int C = IsComplex<T> ? 2 : 1;
    tarvenix::test::ScopedAvx2Paths paths(c.avx2);
    const int w = c.width, h = c.height, hy = c.maskHeight / 2, hx = c.maskWidth / 2;
    const auto img = RandomImage<T>(w, h, seed);
    const WorkingMask mask = RandomMask(c.maskWidth, c.maskHeight, seed + 1);
    const auto got = RunEngine(img, w, h, mask, 7.0, c.threads);
    // The cut the engine makes: bands of at least four mask heights.
    const auto rows = tarvenix::test::RowsAroundBandStarts(
        RowBands::Even(h - 2 * hy, std::max<std::int64_t>(kDefaultMinRowsPerBand, 4 * c.maskHeight)), hy, h,
        2, c.maskHeight + 1, 127);
    std::vector<double> want(std::size_t(w) * C);
    for (const std::int64_t y : rows) {
        const bool inner = y >= hy && y < h - hy;
        std::fill(want.begin(), want.end(), 7.0);
        if (inner) ReferenceRow(img, w, mask, int(y), want.data());
        for (int x = 0; x < w; ++x)
            for (int p = 0; p < C; ++p) {
                const std::size_t i = std::size_t(x) * C + p;
                ASSERT_EQ(got[std::size_t(y) * w * C + i], (inner && x >= hx && x < w - hx) ? want[i] : 7.0)
                    << x << "," << y << " part " << p;
            }
    }
}

class ConvolutionBands : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(ConvolutionBands, LayersCrossingEveryBandAndVectorBlockEqualThePlainDirectSum)
{
    const BoundaryCase& c = GetParam();
    visitSampleType(c.type, [&]<class T>(Tag<T>) {
        ExpectConvolutionAcrossBoundaries<T>(c, unsigned(c.width + c.maskWidth));
    });
}

INSTANTIATE_TEST_SUITE_P(Layers, ConvolutionBands, ::testing::ValuesIn(kConvolutionCases),
                         [](const ::testing::TestParamInfo<BoundaryCase>& info) {
                             const BoundaryCase& c = info.param;
                             return std::string(typeInfo(c.type).name) + "_" + std::to_string(c.width) + "x" +
                                    std::to_string(c.height) + "_mask" + std::to_string(c.maskWidth) + "x" +
                                    std::to_string(c.maskHeight) + "_threads" + std::to_string(c.threads) +
                                    (c.avx2 ? "" : "_scalar");
                         });

}  // namespace
