#include <gtest/gtest.h>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/thread_list.h"

TEST(CMeterInfo, TaskStatesFollowTheCurrentTaskAndIgnoreBadIndexes)
{
    CMeterInfo meter;
    const int create = meter.AddTask("Creating output file.", "", 0);
    const int filter = meter.AddTask("Filtering", "", 0);
    const int stats = meter.AddTask("Count statisticses.", "", 0);
    ASSERT_EQ((std::vector{create, filter, stats}), (std::vector{0, 1, 2}));
    EXPECT_EQ(meter.GetCurrentTask(), -1);
    meter.SetProcessingState(-1);  // no current task yet: nothing happens
    EXPECT_EQ(meter.GetTaskState(create), TASK_WAITING);

    meter.SetCurrentTask(create);
    meter.SetProcessingState(-1);
    meter.SetCompleteState(-1);
    meter.SetCurrentTask(filter);
    meter.SetProcessingState(-1);
    meter.SetErrorState(-1);
    meter.SetSkippedState(stats);
    EXPECT_EQ((std::vector{meter.GetTaskState(0), meter.GetTaskState(1), meter.GetTaskState(2)}),
              (std::vector<int>{TASK_COMPLETE, TASK_ERROR, TASK_SKIPPED}));
    meter.SetNoProcessState(stats);
    EXPECT_EQ(meter.GetTaskState(stats), TASK_NOPROCESS);
    meter.SetTaskState(stats, 77);  // not a state
    EXPECT_EQ(meter.GetTaskState(stats), TASK_NOPROCESS);

    meter.SetTaskData(-1, 1234);
    EXPECT_EQ(meter.GetTaskData(filter), 1234u);
    EXPECT_EQ(meter.GetTask(-1), "Filtering");
    EXPECT_EQ(meter.GetTaskState(3), -1);
    EXPECT_EQ(meter.GetTask(-7), "");
    meter.SetCompleteState(9);
    EXPECT_TRUE(meter.FailureMarked());
}

TEST(CMeterInfo, InsertAndRemoveKeepTheCurrentTask)
{
    CMeterInfo meter;
    meter.AddTask("a", "", 0);
    meter.AddTask("c", "", 0);
    meter.SetCurrentTask(1);
    EXPECT_EQ(meter.InsertTask(1, "b", "", 0), 1);
    EXPECT_EQ(meter.GetTask(-1), "c");
    EXPECT_EQ(meter.InsertTask(99, "d", "", 0), 3);
    EXPECT_TRUE(meter.RemoveTask(0));
    EXPECT_EQ(meter.GetTask(-1), "c");
    EXPECT_TRUE(meter.RemoveTask(-1));
    EXPECT_EQ(meter.GetCurrentTask(), -1);
    EXPECT_FALSE(meter.RemoveTask(-1));
    EXPECT_EQ(meter.GetTaskCount(), 2);
    EXPECT_EQ(meter.GetTask(0), "b");
    EXPECT_EQ(meter.GetTask(1), "d");
}

TEST(CMeterInfo, AfterStopEveryProgressCallRaisesTheCancelAndNothingMoves)
{
    CMeterInfo meter;
    meter.SetRange(0, 100);
    meter.SetStep(1.0);
    meter.StepIt();
    meter.SetPos(10);
    EXPECT_FALSE(meter.IsStopped());
    meter.RequestStop();
    EXPECT_TRUE(meter.IsStopped());
    int cancels = 0;
    for (auto call : {+[](CMeterInfo& m) { m.SetPos(50); }, +[](CMeterInfo& m) { m.StepIt(); },
                      +[](CMeterInfo& m) { m.DeltaPos(5); }, +[](CMeterInfo& m) { m.SetPosInt(7); }}) {
        try {
            call(meter);
        } catch (CRDPExcept* e) {
            cancels += e->GetCode() == RDP_ERROR_CANCEL;
            e->Delete();
        }
    }
    EXPECT_EQ(cancels, 4);
    EXPECT_TRUE(meter.CancelRaised());
    EXPECT_EQ(meter.Snapshot().pos, 10.0);
}

TEST(CThreadList, KeepsOrderAcrossBlocksAndReusesNodes)
{
    CThreadList list;
    std::vector<CThread*> fake;
    for (std::uintptr_t i = 1; i <= 25; ++i) fake.push_back(reinterpret_cast<CThread*>(i * 16));
    for (auto* t : fake) list.AddTail(t);
    EXPECT_EQ(list.GetCount(), 25);
    EXPECT_TRUE(list.Remove(fake[0]));
    EXPECT_TRUE(list.Remove(fake[12]));
    EXPECT_TRUE(list.Remove(fake[24]));
    EXPECT_FALSE(list.Remove(fake[12]));
    EXPECT_EQ(list.GetHead(), fake[1]);
    EXPECT_EQ(list.GetAt(11), fake[13]);
    EXPECT_EQ(list.GetAt(21), fake[23]);
    EXPECT_EQ(list.GetAt(22), nullptr);
    list.AddTail(fake[0]);
    EXPECT_EQ(list.GetAt(22), fake[0]);
    EXPECT_TRUE(list.Find(fake[0]));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHead(), nullptr);
}
