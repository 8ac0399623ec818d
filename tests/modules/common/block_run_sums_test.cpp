// The block run sums every windowed tool builds on, against plain sums of each run, for
// run lengths and row widths that end anywhere in a block.

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "modules/common/block_run_sums.h"

namespace {

/// Widths around every multiple of n a row can end on, and a wide one.
std::vector<int> WidthsFor(int n)
{
    return {n - 1, n, n + 1, 2 * n - 1, 2 * n, 2 * n + 1, 3 * n + n / 2, 5 * n + 3, 4100};
}

/// Two quantities per element: small integers (exact in either accumulator), the second one
/// a different row so that mixed-up quantities show.
template <class Acc>
std::array<std::vector<Acc>, 2> RandomRows(int width, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(-1000, 1000);
    std::array<std::vector<Acc>, 2> q;
    for (auto& row : q)
        for (int x = 0; x < width; ++x) row.push_back(Acc(d(rng)));
    return q;
}

template <class Acc>
Acc PlainRun(const std::vector<Acc>& row, int s, int n)
{
    Acc sum = Acc(0);
    for (int t = 0; t < n; ++t) sum += row[std::size_t(s + t)];
    return sum;
}

template <class Acc>
void ExpectEveryRunSum(int n, int width, unsigned seed)
{
    SCOPED_TRACE(::testing::Message() << "n " << n << " width " << width);
    const auto q = RandomRows<Acc>(width, seed);
    BlockRunSums<2, Acc> runs(width, n);

    // Sum: each element asked for once, in order; each run start emitted once, in order.
    int nextElement = 0, nextStart = 0;
    runs.Sum(
        [&](int x, std::array<Acc, 2>& v) {
            ASSERT_EQ(x, nextElement++);
            v = {q[0][std::size_t(x)], q[1][std::size_t(x)]};
        },
        [&](int s, const std::array<Acc, 2>& sums) {
            ASSERT_EQ(s, nextStart++);
            ASSERT_EQ(sums[0], PlainRun(q[0], s, n)) << "run " << s;
            ASSERT_EQ(sums[1], PlainRun(q[1], s, n)) << "run " << s;
        });
    EXPECT_EQ(nextStart, std::max(0, width - n + 1));
    EXPECT_EQ(nextElement, width >= n ? width : 0);

    // SumRows: the same sums, and nothing written past the last run start.
    const Acc untouched = Acc(-77777);
    std::array<std::vector<Acc>, 2> out{std::vector<Acc>(std::size_t(width), untouched),
                                        std::vector<Acc>(std::size_t(width), untouched)};
    runs.SumRows({q[0].data(), q[1].data()}, {out[0].data(), out[1].data()});
    for (int s = 0; s < width; ++s)
        for (int i = 0; i < 2; ++i) {
            const Acc want = s <= width - n ? PlainRun(q[std::size_t(i)], s, n) : untouched;
            ASSERT_EQ(out[std::size_t(i)][std::size_t(s)], want) << "quantity " << i << " run " << s;
        }
}

TEST(BlockRunSums, EveryRunEqualsItsPlainSumForEveryBlockEnd)
{
    unsigned seed = 1;
    for (int n : {1, 2, 3, 5, 7, 15, 17})
        for (int width : WidthsFor(n)) {
            ExpectEveryRunSum<double>(n, width, seed++);
            ExpectEveryRunSum<std::int64_t>(n, width, seed++);
        }
}

TEST(BlockRunSums, AHugeValueOrANaNSpoilsOnlyTheRunsThatHoldIt)
{
    for (int n : {3, 7, 17}) {
        const int width = 6 * n + 5;
        for (const double odd : {1e300, std::numeric_limits<double>::quiet_NaN()})
            for (const int at : {0, n - 1, n, 3 * n + 2, width - 1}) {
                SCOPED_TRACE(::testing::Message() << "n " << n << " value " << odd << " at " << at);
                auto q = RandomRows<double>(width, unsigned(n + at));
                q[0][std::size_t(at)] = odd;
                std::array<std::vector<double>, 2> out{std::vector<double>(std::size_t(width)),
                                                       std::vector<double>(std::size_t(width))};
                BlockRunSums<2, double>(width, n).SumRows({q[0].data(), q[1].data()},
                                                          {out[0].data(), out[1].data()});
                for (int s = 0; s + n <= width; ++s) {
                    ASSERT_EQ(out[1][std::size_t(s)], PlainRun(q[1], s, n)) << "run " << s;
                    if (at >= s && at < s + n)
                        ASSERT_FALSE(std::isfinite(out[0][std::size_t(s)]) &&
                                     std::fabs(out[0][std::size_t(s)]) < 1e299)
                            << "run " << s;
                    else
                        ASSERT_EQ(out[0][std::size_t(s)], PlainRun(q[0], s, n)) << "run " << s;
                }
            }
    }
}

}  // namespace
