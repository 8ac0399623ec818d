#include "viewer/analysis/sample_match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/kernel/cpu_features.h"

namespace {

/// The first (or last) index a plain loop finds.
template <class T>
int PlainFind(const SampleTest& test, const std::vector<T>& v, bool forward)
{
    const int n = int(v.size());
    for (int k = 0; k < n; ++k) {
        const int x = forward ? k : n - 1 - k;
        if (test(double(v[size_t(x)]))) return x;
    }
    return -1;
}

template <class T>
void ExpectFindsAsThePlainLoop(const SampleTest& test, const std::vector<T>& pool, std::mt19937& rng)
{
    // Runs of every length around the blocks of eight, the matches anywhere in them.
    for (int n = 0; n <= 27; ++n) {
        for (int trial = 0; trial < 6; ++trial) {
            std::vector<T> v(static_cast<size_t>(n));
            for (T& s : v) s = pool[rng() % pool.size()];
            for (bool forward : {true, false}) {
                SCOPED_TRACE(::testing::Message() << "length " << n << (forward ? " forward" : " backward"));
                const int want = PlainFind(test, v, forward);
                EXPECT_EQ(test.FindIn(v.data(), n, forward), want);
                platform::SetAvx2Paths(false);
                EXPECT_EQ(test.FindIn(v.data(), n, forward), want);
                platform::SetAvx2Paths(true);
            }
        }
    }
}

TEST(SampleMatch, TheSearchFindsWhatTheTestOfEachSampleFinds)
{
    std::mt19937 rng(5);
    // Values on both sides of the rounding edges of 2.35 to two decimals and of -2.35, NaN,
    // infinities, zeros of both signs.
    const std::vector<double> pool = {
        2.35,  2.345,  2.355, 2.3549999999999995, -2.35,     -2.345, -2.355, 0.0, -0.0,
        0.004, -0.005, NAN,   INFINITY,           -INFINITY, 7.0,    1e300};
    std::vector<float> floats(pool.begin(), pool.end());
    const std::vector<std::int32_t> ints = {0, 2, 3, -2, -3, 7, 1 << 30, -(1 << 30)};
    const SampleTest tests[] = {SampleTest::Exact(2.35),
                                SampleTest::Exact(double(2.35f)),
                                SampleTest::Exact(0.0),
                                SampleTest::ToDecimals(2.35, 100.0),
                                SampleTest::ToDecimals(-2.35, 100.0),
                                SampleTest::ToDecimals(0.001, 100.0),
                                SampleTest::ToDecimals(3.0, 1.0),
                                SampleTest::ToDecimals(1e300, 10.0)};
    for (const SampleTest& test : tests) {
        ExpectFindsAsThePlainLoop(test, pool, rng);
        ExpectFindsAsThePlainLoop(test, floats, rng);
        ExpectFindsAsThePlainLoop(test, ints, rng);
    }
}

TEST(SampleMatch, DecimalsRoundHalvesAwayFromZero)
{
    struct Case {
        double typed, m, cell;
        bool match;
    };
    const Case cases[] = {
        {2.35, 10.0, 2.35, true},  {2.4, 10.0, 2.35, true},    {2.3, 10.0, 2.35, false},
        {-2.4, 10.0, -2.35, true}, {-2.3, 10.0, -2.35, false}, {0.0, 1.0, -0.4, true},
        {0.0, 1.0, 0.5, false},    {1.0, 1.0, 0.5, true},      {7.0, 1.0, NAN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.typed << " x " << c.m << " against " << c.cell);
        const SampleTest test = SampleTest::ToDecimals(c.typed, c.m);
        EXPECT_EQ(test(c.cell), c.match);
        EXPECT_EQ(test(c.cell), std::round(c.m * c.cell) == std::round(c.m * c.typed));
    }
}

}  // namespace
