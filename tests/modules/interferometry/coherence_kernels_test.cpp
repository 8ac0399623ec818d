#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/coherence_kernels.h"
#include "modules/interferometry/coherence_window_sums.h"
#include "outside/basecore/data_type.h"
#include "tests/modules/interferometry/interf_test_support.h"
#include "tests/support/band_census.h"
#include "tests/support/sample_types.h"
#include "tests/support/vector_paths.h"

namespace {

/// An in-memory image of samples T with its row table.
template <class T>
struct Image {
    Image(int w, int h) : width(w), height(h), samples(std::size_t(w) * h) { Bind(); }
    Image(const Image& o) : width(o.width), height(o.height), samples(o.samples) { Bind(); }
    void Bind()
    {
        rows.clear();
        for (int y = 0; y < height; ++y) rows.push_back(samples.data() + std::size_t(y) * width);
    }
    T& at(int x, int y) { return samples[std::size_t(y) * width + x]; }
    RowSource Source() const { return RowSource{rows.data(), height, width}; }
    int width, height;
    std::vector<T> samples;
    std::vector<const void*> rows;
};

template <class T>
T Make(double r, double i)
{
    if constexpr (std::is_floating_point_v<PartType<T>>)
        return T(PartType<T>(r), PartType<T>(i));
    else
        return T{PartType<T>(r), PartType<T>(i)};
}

template <class T>
Image<T> RandomImage(int w, int h, unsigned seed)
{
    using P = PartType<T>;
    std::mt19937 gen(seed);
    const double lo = std::is_signed_v<P> ? -1.0 : 0.0;
    const double span = std::is_floating_point_v<P> ? 100.0 : double(std::numeric_limits<P>::max()) / 2;
    std::uniform_real_distribution<double> d(lo, 1.0);
    Image<T> img(w, h);
    for (auto& s : img.samples) s = Make<T>(std::round(d(gen) * span), std::round(d(gen) * span));
    return img;
}

template <class T>
DataType TypeCode()
{
    for (const auto& info : kTypeTable) {
        bool match = false;
        visitSampleType(info.code, [&]<class U>(Tag<U>) { match = std::is_same_v<U, T>; });
        if (match) return info.code;
    }
    return DataType::U8;
}

/// Runs the kernel; outside the inner rectangle the output keeps `fill`.
template <class T>
std::vector<double> Coherence(const Image<T>& a, const Image<T>& b, int window, int threads = 0,
                              double fill = -7)
{
    const int type = int(TypeCode<T>());
    const int outType = CoherenceOutputType(type);
    std::vector<double> out(a.samples.size(), fill);
    std::vector<float> outf(a.samples.size(), float(fill));
    std::vector<void*> rows;
    for (int y = 0; y < a.height; ++y)
        rows.push_back(outType == 8 ? static_cast<void*>(out.data() + std::size_t(y) * a.width)
                                    : static_cast<void*>(outf.data() + std::size_t(y) * a.width));
    CoherenceImage(type, a.Source(), b.Source(), window, rows.data(), outType, {}, threads);
    if (outType == 7)
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = outf[i];
    return out;
}

/// The straightforward formula, every window summed afresh in long double.
template <class T>
double Reference(const Image<T>& a, const Image<T>& b, int window, int x, int y)
{
    const int k = window / 2;
    long double xr = 0, xi = 0, p = 0, q = 0;
    for (int dy = -k; dy <= k; ++dy)
        for (int dx = -k; dx <= k; ++dx) {
            const std::size_t i = std::size_t(y + dy) * a.width + (x + dx);
            const long double ar = re(a.samples[i]), ai = im(a.samples[i]), br = re(b.samples[i]),
                              bi = im(b.samples[i]);
            xr += ar * br + ai * bi;
            xi += ai * br - ar * bi;
            p += ar * ar + ai * ai;
            q += br * br + bi * bi;
        }
    return double(std::sqrt(xr * xr + xi * xi) / std::sqrt(p * q));
}

using tarvenix::test::ComplexSampleTypes;

template <class T>
class CoherenceKernel : public ::testing::Test {
};
TYPED_TEST_SUITE(CoherenceKernel, ComplexSampleTypes);

TYPED_TEST(CoherenceKernel, MatchesDirectWindowSumsAndLeavesTheBorder)
{
    using T = TypeParam;
    const auto a = RandomImage<T>(41, 29, 3), b = RandomImage<T>(41, 29, 4);
    for (int window : {3, 5, 9, 17}) {
        SCOPED_TRACE(window);
        const int k = window / 2;
        const auto got = Coherence(a, b, window);
        const double tol = std::is_same_v<T, std::complex<double>> ? 1e-12 : 1e-6;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                const double g = got[std::size_t(y) * a.width + x];
                if (y < k || y >= a.height - k || x < k || x >= a.width - k)
                    ASSERT_EQ(g, -7) << x << "," << y;
                else
                    ASSERT_NEAR(g, Reference(a, b, window, x, y), tol) << x << "," << y;
            }
    }
}

TYPED_TEST(CoherenceKernel, IdenticalInputsGiveOneAndTheThreadCountChangesNothing)
{
    using T = TypeParam;
    const auto a = RandomImage<T>(37, 45, 9);
    const auto one = Coherence(a, a, 7, 1);
    for (int y = 3; y < a.height - 3; ++y)
        for (int x = 3; x < a.width - 3; ++x) ASSERT_NEAR(one[std::size_t(y) * a.width + x], 1.0, 1e-6);
    const auto b = RandomImage<T>(37, 45, 10);
    EXPECT_EQ(Coherence(a, b, 5, 1), Coherence(a, b, 5, 3));
    EXPECT_EQ(Coherence(a, b, 5, 1), Coherence(a, b, 5, 8));
}

TEST(CoherenceKernel, ZeroWindowsAreNotANumberAndSmallImagesAreUntouched)
{
    Image<std::complex<float>> a(9, 9), b(9, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            a.at(x, y) = {float(x + 1), float(y)};
            b.at(x, y) = x < 4 ? std::complex<float>{} : std::complex<float>{1, 2};
        }
    const auto got = Coherence(a, b, 3);
    EXPECT_TRUE(std::isnan(got[4 * 9 + 1]));   // window columns 0..2: b is zero throughout
    EXPECT_FALSE(std::isnan(got[4 * 9 + 4]));  // window reaches column 4
    // An image smaller than the window in either direction has no inner pixel.
    for (auto [w, h] : {std::pair{16, 16}, std::pair{40, 16}, std::pair{16, 40}}) {
        const auto s = RandomImage<std::complex<float>>(w, h, 1);
        for (double v : Coherence(s, s, 17)) ASSERT_EQ(v, -7);
    }
}

TEST(CoherenceKernel, ExtremeIntegersStayExact)
{
    // Every part at its most negative: the 16-bit squares reach 2^31 and the 32-bit ones
    // 2^63 per part; a narrower sum would wrap and give nonsense.
    Image<CplxInt<std::int16_t>> a16(5, 5), b16(5, 5);
    for (auto& s : a16.samples) s = {-32768, -32768};
    for (auto& s : b16.samples) s = {-32768, 32767};
    EXPECT_NEAR(Coherence(a16, a16, 3)[12], 1.0, 1e-12);
    EXPECT_NEAR(Coherence(a16, b16, 3)[12], Reference(a16, b16, 3, 2, 2), 1e-7);
    Image<CplxInt<std::int32_t>> a32(5, 5), b32(5, 5);
    for (auto& s : a32.samples) s = {INT32_MIN, INT32_MIN};
    for (auto& s : b32.samples) s = {INT32_MIN, INT32_MAX};
    EXPECT_NEAR(Coherence(a32, a32, 3)[12], 1.0, 1e-12);
    EXPECT_NEAR(Coherence(a32, b32, 3)[12], Reference(a32, b32, 3, 2, 2), 1e-7);
}

TEST(CoherenceKernel, ABrightTargetLeavesTheDarkAreaBesideItExact)
{
    // A target of amplitude 10^6 in the first columns of a dark random area: windows that
    // have left the target are as if it had never been there.
    auto a = RandomImage<std::complex<float>>(64, 64, 5), b = RandomImage<std::complex<float>>(64, 64, 6);
    for (auto& s : a.samples) s *= 0.01f;
    for (auto& s : b.samples) s *= 0.01f;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 6; ++x) a.at(x, y) = b.at(x, y) = {1e6f, -1e6f};
    const auto got = Coherence(a, b, 5);
    for (int y = 2; y < 62; ++y)
        for (int x = 8; x < 62; ++x)
            ASSERT_NEAR(got[std::size_t(y) * 64 + x], Reference(a, b, 5, x, y), 1e-6) << x << "," << y;
}

TEST(CoherenceKernel, KnownCoherenceIsFoundAlikeInFloatAndDouble)
{
    // b = γa + sqrt(1 - γ²)c with a, c independent circular Gaussians has coherence γ.
    const int w = 256, h = 256;
    for (double gamma : {0.3, 0.6, 0.9}) {
        SCOPED_TRACE(gamma);
        std::mt19937 gen(unsigned(gamma * 100));
        std::normal_distribution<double> g;
        Image<std::complex<double>> a(w, h), b(w, h);
        for (std::size_t i = 0; i < a.samples.size(); ++i) {
            const std::complex<double> sa(g(gen), g(gen)), sc(g(gen), g(gen));
            a.samples[i] = sa;
            b.samples[i] = gamma * sa + std::sqrt(1 - gamma * gamma) * sc;
        }
        Image<std::complex<float>> af(w, h), bf(w, h);
        for (std::size_t i = 0; i < a.samples.size(); ++i) {
            af.samples[i] = std::complex<float>(a.samples[i]);
            bf.samples[i] = std::complex<float>(b.samples[i]);
        }
        const auto gd = Coherence(a, b, 17), gf = Coherence(af, bf, 17);
        double sum = 0, sumf = 0;
        int count = 0;
        for (int y = 8; y < h - 8; ++y)
            for (int x = 8; x < w - 8; ++x) {
                sum += gd[std::size_t(y) * w + x];
                sumf += gf[std::size_t(y) * w + x];
                ++count;
            }
        EXPECT_NEAR(sum / count, gamma, 0.01);
        EXPECT_NEAR(sumf / count, sum / count, 1e-5);
    }
}

TEST(CoherenceKernel, PairCoherence)
{
    const std::complex<float> a{3, 4}, b{-1, 2}, zero{};
    EXPECT_NEAR(CoherenceOfPair(9, &a, &b), 1.0, 1e-15);
    EXPECT_TRUE(std::isnan(CoherenceOfPair(9, &a, &zero)));
    const CplxInt<std::int32_t> c{INT32_MIN, INT32_MIN};
    EXPECT_NEAR(CoherenceOfPair(16, &c, &c), 1.0, 1e-15);
    EXPECT_EQ(CoherenceOutputType(10), 8);
    EXPECT_EQ(CoherenceOutputType(9), 7);
    EXPECT_EQ(CoherenceOutputType(16), 7);
}

// ---- layers that cross every band, strip and block boundary --------------------------------

/// One layer of the table below: its type, size and window, the threads and vector paths.
struct BoundaryCase {
    int type;
    int width, height, window, threads;
    bool avx2;
};

/// Tall narrow layers put band starts on rows that are no multiple of the window; the large
/// ones cross the strips of columns and their blocks, and their last ones end anywhere.
constexpr BoundaryCase kCoherenceCases[] = {
    {9, 4, 771, 3, 8, true},      {14, 6, 1285, 5, 1, true},     {10, 18, 4369, 17, 8, false},
    {16, 131, 8870, 7, 8, true},  {9, 1024, 1024, 3, 8, false},  {14, 2049, 1537, 15, 8, true},
    {10, 4100, 257, 17, 1, true}, {16, 2049, 1537, 5, 8, false}, {11, 1024, 1024, 7, 1, true},
};

/// Parts as RandomImage draws them, from a hash of the place: cheap for large layers.
template <class T>
Image<T> HashedImage(int w, int h, unsigned seed)
{
    using P = PartType<T>;
    const double lo = std::is_signed_v<P> ? -1.0 : 0.0;
    const double span = std::is_floating_point_v<P> ? 100.0 : double(std::numeric_limits<P>::max()) / 2;
    Image<T> img(w, h);
    for (std::size_t i = 0; i < img.samples.size(); ++i) {
        const std::uint64_t z = interftest::PlaceHash(i, seed);
        const double u = double(z >> 40) / 0x1p24, v = double(z & 0xFFFFFF) / 0x1p24;
        img.samples[i] =
            Make<T>(std::round((lo + (1 - lo) * u) * span), std::round((lo + (1 - lo) * v) * span));
    }
    return img;
}

template <class T>
void ExpectCoherenceAcrossBoundaries(const BoundaryCase& c, unsigned seed)
{
    using P = PartType<T>;
    // Integer products summed exactly, floating ones in extended precision.
    using Acc = std::conditional_t<std::is_integral_v<P>, __int128, long double>;
    tarvenix::test::ScopedAvx2Paths paths(c.avx2);
    const auto a = HashedImage<T>(c.width, c.height, seed), b = HashedImage<T>(c.width, c.height, seed + 1);
    const auto got = Coherence(a, b, c.window, c.threads);
    const int k = c.window / 2, w = c.width;
    const double tol = std::is_same_v<T, std::complex<double>> ? 1e-12 : 1e-6;
    interftest::PlainWindowSums<4, Acc> plain(w, c.window, [&](int y, Acc* q) {
        for (int x = 0; x < w; ++x, q += 4) {
            const std::size_t i = std::size_t(y) * w + x;
            const Acc ar = Acc(re(a.samples[i])), ai = Acc(im(a.samples[i])), br = Acc(re(b.samples[i])),
                      bi = Acc(im(b.samples[i]));
            q[0] = ar * br + ai * bi;
            q[1] = ai * br - ar * bi;
            q[2] = ar * ar + ai * ai;
            q[3] = br * br + bi * bi;
        }
    });
    const auto rows = tarvenix::test::RowsAroundBandStarts(
        RowBands::Even(c.height - 2 * k, interf_detail::MinRowsPerBand(c.window)), k, c.height, 2,
        c.window + 1, 127);
    for (const std::int64_t y : rows) {
        const bool inner = y >= k && y < c.height - k;
        const Acc* sums = inner ? plain.Sums(int(y)) : nullptr;
        for (int x = 0; x < w; ++x) {
            const double g = got[std::size_t(y) * w + x];
            if (!inner || x < k || x >= w - k) {
                ASSERT_EQ(g, -7) << x << "," << y;
                continue;
            }
            const Acc* s = sums + 4 * std::size_t(x);
            const long double re = static_cast<long double>(s[0]), im = static_cast<long double>(s[1]);
            const long double want = std::sqrt(re * re + im * im) / std::sqrt(static_cast<long double>(s[2]) *
                                                                              static_cast<long double>(s[3]));
            ASSERT_NEAR(g, double(want), tol) << x << "," << y;
        }
    }
}

class CoherenceBands : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(CoherenceBands, LayersCrossingEveryBandStripAndBlockMatchThePlainWindowSums)
{
    const BoundaryCase& c = GetParam();
    visitSampleType(c.type, [&]<class T>(Tag<T>) {
        if constexpr (IsComplex<T>) ExpectCoherenceAcrossBoundaries<T>(c, unsigned(c.width + c.window));
    });
}

INSTANTIATE_TEST_SUITE_P(Layers, CoherenceBands, ::testing::ValuesIn(kCoherenceCases),
                         [](const ::testing::TestParamInfo<BoundaryCase>& info) {
                             const BoundaryCase& c = info.param;
                             return tarvenix::test::BoundaryCaseName(typeInfo(c.type).name, c.width, c.height,
                                                                     c.window, c.threads, c.avx2);
                         });

}  // namespace
