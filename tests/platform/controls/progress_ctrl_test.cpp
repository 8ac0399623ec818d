#include <thread>

#include <QProgressBar>
#include <gtest/gtest.h>

#include "platform/controls/progress_ctrl.h"
#include "tests/support/ui_helpers.h"

namespace {

struct ProgressFixture : ::testing::Test {
    CWnd parent;
    CProgressCtrl bar;
    void SetUp() override
    {
        ASSERT_TRUE(
            parent.CreateEx(0, nullptr, "Status", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 60), nullptr, 0));
        ASSERT_TRUE(bar.Create(WS_VISIBLE, CRect(10, 10, 210, 30), &parent, 0xE800));
    }
    int Lower() const
    {
        int lo = 0, hi = 0;
        bar.GetRange(lo, hi);
        return lo;
    }
    int Upper() const
    {
        int lo = 0, hi = 0;
        bar.GetRange(lo, hi);
        return hi;
    }
};

TEST_F(ProgressFixture, SetRangeKeepsOnlyTheLow16BitsOfEachBound)
{
    struct Case {
        int lower, upper, wantLower, wantUpper;
    } cases[] = {
        {0, 100, 0, 100},    {0, 40000, 0, 40000},  // above 32767 still fits 16 unsigned bits
        {0, 70000, 0, 4464},                        // 70000 - 65536
        {-1, 10, 65535, 10},                        // a negative low bound wraps
        {5, 65536, 5, 0},
    };
    for (const Case& c : cases) {
        bar.SetRange(static_cast<short>(c.lower), static_cast<short>(c.upper));
        EXPECT_EQ(Lower(), c.wantLower) << c.lower << ".." << c.upper;
        EXPECT_EQ(Upper(), c.wantUpper) << c.lower << ".." << c.upper;
    }
    bar.SetRange32(-5, 1000000);
    EXPECT_EQ(Lower(), -5);
    EXPECT_EQ(Upper(), 1000000);
}

TEST_F(ProgressFixture, PositionsStayInRangeAndStepWrapsAtTheTop)
{
    bar.SetRange(0, 50);
    EXPECT_EQ(bar.SetPos(20), 0);
    EXPECT_EQ(bar.SetPos(80), 20);
    EXPECT_EQ(bar.GetPos(), 50);  // clamped to the top
    EXPECT_EQ(bar.OffsetPos(-70), 50);
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(bar.SetStep(20), 10);
    bar.StepIt();
    bar.StepIt();
    EXPECT_EQ(bar.GetPos(), 40);
    bar.StepIt();  // 60 passes the top: the bar starts again
    EXPECT_EQ(bar.GetPos(), 10);
    EXPECT_EQ(static_cast<QProgressBar*>(bar.GetWidget())->value(), 10);
}

TEST_F(ProgressFixture, AWorkerThreadDrivesTheBarThroughTheUserInterfaceThread)
{
    bar.SetRange32(0, 1000);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i <= 1000; i += 250) bar.SetPos(i);
        done = true;
    });
    EXPECT_TRUE(tarvenix::test::PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(bar.GetPos(), 1000);
    EXPECT_EQ(static_cast<QProgressBar*>(bar.GetWidget())->value(), 1000);
}

}  // namespace
