#include <cmath>
#include <complex>
#include <vector>

#include <gtest/gtest.h>

#include "modules/interferometry/phase_unwrap_engine.h"

namespace {

constexpr double kPi = 3.141592653589793;

double Wrap(double p)
{
    return p - 2 * kPi * std::floor((p + kPi) / (2 * kPi));
}

/// RMS of (got - want) after removing the mean difference (the solution is up to a constant).
double RmsUpToConstant(const CPhaseUnwrapEngine& e, const std::vector<double>& want)
{
    const int w = e.Width(), h = e.Height();
    double mean = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) mean += e.ResultRow(y)[x] - want[std::size_t(y) * w + x];
    mean /= double(w) * h;
    double sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = e.ResultRow(y)[x] - want[std::size_t(y) * w + x] - mean;
            sum += d * d;
        }
    return std::sqrt(sum / (double(w) * h));
}

TEST(PhaseUnwrapEngine, SmoothPhaseSpanningOverAHundredRadiansComesBack)
{
    for (auto [w, h] : {std::pair{1000, 700}, std::pair{1024, 1024}}) {
        SCOPED_TRACE(w);
        std::vector<double> truth(std::size_t(w) * h);
        CPhaseUnwrapEngine e(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double u = double(x) / w, v = double(y) / h;
                // A tilted bowl with a ripple: gradients stay below π per pixel.
                const double p = 120 * u * u + 60 * v + 25 * std::sin(3 * u + 2 * v) * v;
                truth[std::size_t(y) * w + x] = p;
                e.PhaseRow(y)[x] = Wrap(p);
            }
        ASSERT_TRUE(e.Solve());
        EXPECT_LT(RmsUpToConstant(e, truth), 1e-3);
        EXPECT_EQ(e.GridWidth(), 1025);
    }
}

TEST(PhaseUnwrapEngine, ConstantPhaseAndASinglePixelGiveZero)
{
    for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 9}, std::pair{13, 1}, std::pair{20, 17}}) {
        CPhaseUnwrapEngine e(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) e.PhaseRow(y)[x] = 1.25;
        ASSERT_TRUE(e.Solve());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_NEAR(e.ResultRow(y)[x], 0.0, 1e-12) << w << "x" << h;
    }
}

TEST(PhaseUnwrapEngine, ComplexSamplesGiveTheirAngle)
{
    const int w = 3, h = 2;
    const std::complex<float> s[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 1}, {0, 0}};
    const void* rows[] = {s, s + 3};
    CPhaseUnwrapEngine e(w, h);
    e.LoadPhase(9, rows);
    const double want[] = {0, kPi / 2, kPi, -kPi / 2, kPi / 4, 0};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(e.PhaseRow(i / 3)[i % 3], want[i], 1e-7);
    const short ints[] = {1, 2, 3, 4, 5, 6};
    const void* intRows[] = {ints, ints + 3};
    e.LoadPhase(4, intRows);
    EXPECT_EQ(e.PhaseRow(1)[2], 6.0);
}

TEST(PhaseUnwrapEngine, WrapCorrectsOneStepOnly)
{
    EXPECT_EQ(WrapDifference(kPi), kPi);
    EXPECT_EQ(WrapDifference(-kPi), -kPi);
    EXPECT_NEAR(WrapDifference(kPi + 0.5), -kPi + 0.5, 1e-15);
    EXPECT_NEAR(WrapDifference(3.5 * kPi), 1.5 * kPi, 1e-12);
}

}  // namespace
