#include <cmath>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/fft_class.h"

namespace {

constexpr double kPi = 3.141592653589793;

/// DCT-I by its definition: X[k] = x[0] + (-1)^k x[n-1] + 2 Σ_{j=1}^{n-2} x[j] cos(πjk/(n-1)).
std::vector<double> Dct1(const std::vector<double>& x)
{
    const int n = int(x.size());
    std::vector<double> out(x.size());
    for (int k = 0; k < n; ++k) {
        double s = x[0] + ((k % 2) ? -x[n - 1] : x[n - 1]);
        for (int j = 1; j < n - 1; ++j) s += 2 * x[j] * std::cos(kPi * j * k / (n - 1));
        out[std::size_t(k)] = s;
    }
    return out;
}

TEST(FftDct1, StridedRunsMatchTheDefinitionAndInvertThemselves)
{
    // Three columns of 9 points inside rows of 5 doubles (stride 5, distance 1).
    const int n = 9, howmany = 3, stride = 5;
    std::vector<double> grid(std::size_t(n) * stride);
    for (std::size_t i = 0; i < grid.size(); ++i)
        grid[i] = std::sin(0.37 * double(i * i % 23)) + 0.1 * double(i);
    const std::vector<double> original = grid;
    ASSERT_TRUE(CFFTClass::DCT1(grid.data(), n, howmany, stride, 1));
    for (int c = 0; c < stride; ++c) {
        std::vector<double> column;
        for (int j = 0; j < n; ++j) column.push_back(original[std::size_t(j) * stride + c]);
        const auto want = c < howmany ? Dct1(column) : column;
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(grid[std::size_t(j) * stride + c], want[std::size_t(j)], 1e-12);
    }
    ASSERT_TRUE(CFFTClass::DCT1(grid.data(), n, howmany, stride, 1));
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const bool transformed = int(i % stride) < howmany;
        EXPECT_NEAR(grid[i], original[i] * (transformed ? 2.0 * (n - 1) : 1.0), 1e-10);
    }
    EXPECT_FALSE(CFFTClass::DCT1(grid.data(), 1, 1, 1, 1));
    EXPECT_FALSE(CFFTClass::DCT1(nullptr, 9, 1, 1, 1));
}

TEST(FftDct1, OneLayoutRunsOnSeveralThreadsAtOnce)
{
    const int n = 257;
    std::vector<std::vector<double>> rows(8, std::vector<double>(n));
    for (int t = 0; t < 8; ++t)
        for (int j = 0; j < n; ++j) rows[std::size_t(t)][std::size_t(j)] = std::cos(0.01 * j * (t + 1));
    const auto want = Dct1(rows[3]);
    std::vector<std::thread> threads;
    for (auto& r : rows) threads.emplace_back([&r] { CFFTClass::DCT1(r.data(), n, 1, 1, n); });
    for (auto& t : threads) t.join();
    for (int j = 0; j < n; ++j) EXPECT_NEAR(rows[3][std::size_t(j)], want[std::size_t(j)], 1e-9);
}

}  // namespace
