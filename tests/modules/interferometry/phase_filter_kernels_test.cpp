#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/coherence_window_sums.h"
#include "modules/interferometry/phase_filter_kernels.h"
#include "outside/basecore/data_type.h"
#include "tests/modules/interferometry/interf_test_support.h"
#include "tests/support/band_census.h"
#include "tests/support/vector_paths.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

/// Runs the filter on `samples` (w × h of type T, code `type`); the border keeps -7.
template <class T>
std::vector<double> Filter(int type, const std::vector<T>& samples, int w, int h, int window, int threads = 0)
{
    std::vector<const void*> in;
    for (int y = 0; y < h; ++y) in.push_back(samples.data() + std::size_t(y) * w);
    const int outType = PhaseFilterOutputType(type);
    std::vector<double> out(samples.size(), -7);
    std::vector<float> outf(samples.size(), -7);
    std::vector<void*> rows;
    for (int y = 0; y < h; ++y)
        rows.push_back(outType == 8 ? static_cast<void*>(out.data() + std::size_t(y) * w)
                                    : static_cast<void*>(outf.data() + std::size_t(y) * w));
    FilterPhaseImage(type, RowSource{in.data(), h, w}, window, rows.data(), outType, {}, threads);
    if (outType == 7)
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = outf[i];
    return out;
}

/// The angle of the window's mean phasor, summed directly.
template <class T>
double Reference(const std::vector<T>& s, int w, int window, int x, int y)
{
    const int k = window / 2;
    double u = 0, v = 0;
    for (int dy = -k; dy <= k; ++dy)
        for (int dx = -k; dx <= k; ++dx) {
            const T& p = s[std::size_t(y + dy) * w + x + dx];
            if constexpr (IsComplex<T>) {
                u += double(re(p));
                v += double(im(p));
            } else {
                u += std::cos(double(p));
                v += std::sin(double(p));
            }
        }
    return std::atan2(v / (window * window), u / (window * window));
}

/// Phases in [0, 2π) for real types; parts around small offsets for complex ones.
template <class T>
std::vector<T> RandomSamples(int w, int h, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(0.0, 1.0);
    std::vector<T> s(std::size_t(w) * h);
    for (auto& p : s) {
        if constexpr (IsComplex<T>) {
            const double scale = std::is_floating_point_v<PartType<T>> ? 50.0 : 100.0;
            p = T{PartType<T>(std::round((d(gen) - 0.3) * scale)),
                  PartType<T>(std::round((d(gen) - 0.6) * scale))};
        } else {
            p = T(d(gen) * kTwoPi);
        }
    }
    return s;
}

template <class T>
void ExpectMatchesReference(int type, unsigned seed)
{
    const int w = 33, h = 27;
    const std::vector<T> s = RandomSamples<T>(w, h, seed);
    for (int window : {3, 7, 17}) {
        SCOPED_TRACE(window);
        const int k = window / 2;
        const auto got = Filter(type, s, w, h, window);
        const double tol = PhaseFilterOutputType(type) == 8 ? 1e-12 : 1e-6;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double g = got[std::size_t(y) * w + x];
                if (y < k || y >= h - k || x < k || x >= w - k)
                    ASSERT_EQ(g, -7);
                else
                    ASSERT_NEAR(g, Reference(s, w, window, x, y), tol) << x << "," << y;
            }
    }
    EXPECT_EQ(Filter(type, s, w, h, 5, 1), Filter(type, s, w, h, 5, 8));
}

TEST(PhaseFilterKernel, EveryAdmittedTypeMatchesTheDirectWindowMean)
{
    ExpectMatchesReference<float>(7, 1);
    ExpectMatchesReference<double>(8, 2);
    ExpectMatchesReference<std::complex<float>>(9, 3);
    ExpectMatchesReference<std::complex<double>>(10, 4);
    ExpectMatchesReference<CplxInt<std::int8_t>>(12, 5);
    ExpectMatchesReference<CplxInt<std::int16_t>>(14, 6);
    ExpectMatchesReference<CplxInt<std::int32_t>>(16, 7);
}

TEST(PhaseFilterKernel, ConstantPhaseAndPhasesAcrossZero)
{
    const int w = 12, h = 10;
    std::vector<float> constant(std::size_t(w) * h, 2.5f);
    for (double v : Filter(7, constant, w, h, 5)) {
        if (v != -7) {
            ASSERT_NEAR(v, 2.5, 1e-6);
        }
    }
    // 0.1 and 2π - 0.1 mixed: the mean phasor points at 0, not at π.
    std::vector<double> across(std::size_t(w) * h);
    for (std::size_t i = 0; i < across.size(); ++i) across[i] = (i % 3) ? 0.1 : kTwoPi - 0.1;
    const auto got = Filter(8, across, w, h, 3);
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) ASSERT_LT(std::fabs(got[std::size_t(y) * w + x]), 0.1);
    EXPECT_EQ(PhaseFilterOutputType(7), 7);
    EXPECT_EQ(PhaseFilterOutputType(8), 8);
    EXPECT_EQ(PhaseFilterOutputType(9), 7);
    EXPECT_EQ(PhaseFilterOutputType(10), 8);
}

// ---- layers that cross every band, strip and block boundary --------------------------------

struct BoundaryCase {
    int type;
    int width, height, window, threads;
    bool avx2;
};

/// Tall narrow layers put band starts on rows that are no multiple of the window; the large
/// ones cross the strips of columns and their blocks, and their last ones end anywhere.
constexpr BoundaryCase kPhaseCases[] = {
    {7, 4, 771, 3, 8, true},      {9, 6, 1285, 5, 1, true},     {8, 18, 4369, 17, 8, false},
    {14, 131, 8870, 7, 8, true},  {7, 1024, 1024, 3, 8, false}, {10, 2049, 1537, 15, 8, true},
    {16, 4100, 257, 17, 1, true}, {9, 2049, 1537, 5, 8, false}, {8, 1024, 1024, 7, 1, true},
};

/// Phases in [0, 2π) for real types, parts around small offsets for complex ones, as
/// RandomSamples draws them, from a hash of the place: cheap for large layers.
template <class T>
std::vector<T> HashedSamples(int w, int h, unsigned seed)
{
    std::vector<T> s(std::size_t(w) * h);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::uint64_t z = interftest::PlaceHash(i, seed);
        const double u = double(z >> 40) / 0x1p24, v = double(z & 0xFFFFFF) / 0x1p24;
        if constexpr (IsComplex<T>) {
            const double scale = std::is_floating_point_v<PartType<T>> ? 50.0 : 100.0;
            s[i] = T{PartType<T>(std::round((u - 0.3) * scale)), PartType<T>(std::round((v - 0.6) * scale))};
        } else {
            s[i] = T(u * kTwoPi);
        }
    }
    return s;
}

template <class T>
void ExpectPhaseAcrossBoundaries(int type, const BoundaryCase& c, unsigned seed)
{
    tarvenix::test::ScopedAvx2Paths paths(c.avx2);
    const int w = c.width, h = c.height, k = c.window / 2;
    const std::vector<T> s = HashedSamples<T>(w, h, seed);
    const auto got = Filter(type, s, w, h, c.window, c.threads);
    const double tol = PhaseFilterOutputType(type) == 8 ? 1e-12 : 1e-6;
    interftest::PlainWindowSums<2, long double> plain(w, c.window, [&](int y, long double* q) {
        for (int x = 0; x < w; ++x, q += 2) {
            const T& p = s[std::size_t(y) * w + x];
            if constexpr (IsComplex<T>) {
                q[0] = static_cast<long double>(re(p));
                q[1] = static_cast<long double>(im(p));
            } else {
                q[0] = std::cos(static_cast<long double>(p));
                q[1] = std::sin(static_cast<long double>(p));
            }
        }
    });
    const auto rows = tarvenix::test::RowsAroundBandStarts(
        RowBands::Even(h - 2 * k, interf_detail::MinRowsPerBand(c.window)), k, h, 2, c.window + 1, 127);
    for (const std::int64_t y : rows) {
        const bool inner = y >= k && y < h - k;
        const long double* sums = inner ? plain.Sums(int(y)) : nullptr;
        for (int x = 0; x < w; ++x) {
            const double g = got[std::size_t(y) * w + x];
            if (!inner || x < k || x >= w - k) {
                ASSERT_EQ(g, -7) << x << "," << y;
                continue;
            }
            const long double* q = sums + 2 * std::size_t(x);
            const double want = double(std::atan2(q[1], q[0]));
            // A short mean phasor turns with the rounding of its sums.
            const double length = double(std::hypot(q[0], q[1]));
            const double bound = tol + 1e-13 * c.window * c.window / std::max(length, 1e-300);
            ASSERT_LE(std::fabs(std::remainder(g - want, kTwoPi)), bound) << x << "," << y;
        }
    }
}

class PhaseFilterBands : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(PhaseFilterBands, LayersCrossingEveryBandStripAndBlockMatchThePlainWindowMean)
{
    const BoundaryCase& c = GetParam();
    visitSampleType(c.type, [&]<class T>(Tag<T>) {
        ExpectPhaseAcrossBoundaries<T>(c.type, c, unsigned(c.width + c.window));
    });
}

INSTANTIATE_TEST_SUITE_P(Layers, PhaseFilterBands, ::testing::ValuesIn(kPhaseCases),
                         [](const ::testing::TestParamInfo<BoundaryCase>& info) {
                             const BoundaryCase& c = info.param;
                             return tarvenix::test::BoundaryCaseName(typeInfo(c.type).name, c.width, c.height,
                                                                     c.window, c.threads, c.avx2);
                         });

}  // namespace
