#include <gtest/gtest.h>

#include <ostream>

#include <climits>
#include <thread>

#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/core/threads_support.h"

using kelvora::test::CountedParams;
using kelvora::test::CurrentSystemThread;
using kelvora::test::EventLog;
using kelvora::test::IsBlocked;
using kelvora::test::Jobs;
using kelvora::test::StateLog;
using kelvora::test::WaitUntil;

namespace {

// A thread with its state log, freed at the end of the test.
struct Worker {
    // Declared before the thread, which is freed (and joined) first.
    StateLog states;
    Jobs jobs;
    TOwned<TKThread> thread{TKThread::New()};
    Worker() { thread->Events().Add(states.Handler()); }
    bool Idle() { return thread->State() == ktsIdle && !thread->HasWorker(); }
    /// Waits for the states expected, then for the worker's end; checks both.
    void Finish(const std::vector<int>& expected)
    {
        WaitUntil([&] { return states.States().size() >= expected.size(); });
        thread->Terminate(INFINITE);  // nothing left to stop: only waits for the worker
        EXPECT_EQ(states.States(), expected);
        EXPECT_TRUE(Idle());
    }
};

struct ProgressCase {
    int min, max, pos, step;
    int progress;
};

void PrintTo(const ProgressCase& c, std::ostream* out)
{
    *out << "(" << c.min << ", " << c.max << ", " << c.pos << ") step " << c.step;
}

class Progress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, IsMillionthsComputedIn64Bits)
{
    const ProgressCase c = GetParam();
    EventLog log;
    TOwned<TKThread> thread(TKThread::New());
    thread->Events().Add(log.Handler());
    thread->SetProgressRange(c.min, c.max, c.pos);
    if (c.step) thread->StepProgress(c.step);
    EXPECT_EQ(thread->Progress(), c.progress);
    if (c.progress != 0) {
        EXPECT_EQ(log.Params(ktevProgress).back(), c.progress);
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, Progress,
                         ::testing::Values(ProgressCase{0, 0, 5, 0, 0}, ProgressCase{0, 200, 50, 0, 250000},
                                           ProgressCase{0, 10, 10, 5, 1500000},
                                           ProgressCase{-2000000000, 2000000000, 2000000000, 0, 1000000},
                                           ProgressCase{0, 1, 0, 5000, INT_MAX}));

TEST(Threads, ParametersAreAnOwnCopyOfTheBytes)
{
    char text[] = "surface.rdp";
    TOwned<TKThreadParams> params(TKThreadParams::NewWith(text, sizeof text));
    text[0] = 'X';
    char back[8] = {};
    EXPECT_EQ(params->GetData(back, sizeof back), 8);
    EXPECT_EQ(std::string(back, 8), "surface.");
    TOwned<TKThreadParams> copy(TKThreadParams::New());
    copy->Assign(params.get());
    EXPECT_EQ(copy->Size(), int(sizeof text));
    copy->SetData(text, 0);
    EXPECT_EQ(copy->Size(), 0);
    EXPECT_EQ(copy->Data(), nullptr);
}

TEST(Threads, ReportsOutsideAJobAreStoredWithoutChecks)
{
    EventLog log;
    TOwned<TKThread> thread(TKThread::New());
    thread->Events().Add(log.Handler());
    thread->Stop();
    thread->SetStatusText("Save Project Header ...");
    thread->SetStatusText("Save Project Header ...");
    EXPECT_FALSE(thread->Check());  // not the job's thread: nothing is checked
    EXPECT_EQ(thread->StatusText(), "Save Project Header ...");
    EXPECT_EQ(log.Codes(), (std::vector<int>{ktevStatus}));
}

TEST(Threads, TwoExecutesWhileAJobRunsDropTheFirstWaitingJob)
{
    CountedParams::made = CountedParams::freed = 0;
    {
        Worker w;
        w.thread->Execute(false, new CountedParams("first"), w.jobs.Job<&Jobs::Checking>());
        WaitUntil([&] { return w.jobs.started == 1; });
        w.thread->Execute(false, new CountedParams("second"), w.jobs.Job<&Jobs::Quick>());
        w.thread->Execute(false, new CountedParams("third"), w.jobs.Job<&Jobs::Quick>());
        EXPECT_EQ(CountedParams::freed, 1);  // the second's, at once
        w.jobs.release = true;
        w.Finish({1, 2, 1, 2, 0});
        EXPECT_EQ(w.jobs.Ran(), (std::vector<std::string>{"third"}));
    }
    EXPECT_EQ(CountedParams::made, 3);
    EXPECT_EQ(CountedParams::freed, 3);
}

TEST(Threads, InterruptingExecuteCancelsTheRunningJobThenRunsTheNext)
{
    Worker w;
    w.thread->Execute(false, nullptr, w.jobs.Job<&Jobs::Checking>());
    WaitUntil([&] { return w.jobs.started == 1; });
    w.thread->Execute(true, new CountedParams("next"), w.jobs.Job<&Jobs::Quick>());
    w.Finish({1, 5, 1, 2, 0});
    EXPECT_EQ(w.jobs.finished, 0);
    EXPECT_EQ(w.jobs.Ran(), (std::vector<std::string>{"next"}));
}

TEST(Threads, BreakStandsWhenTheNextExecuteDoesNotInterrupt)
{
    Worker w;
    // The job looks at its stop request only once the next job waits: a job that checked in
    // between would end before the Execute and leave nothing for it to keep.
    w.thread->Execute(false, nullptr, w.jobs.Job<&Jobs::ChecksWhenAsked>());
    WaitUntil([&] { return w.jobs.started == 1; });
    w.thread->Stop();
    w.thread->Execute(false, new CountedParams("next"), w.jobs.Job<&Jobs::Quick>());
    EXPECT_TRUE(w.thread->HasQueuedJob());
    EXPECT_TRUE(w.thread->IsStopRequested());
    w.jobs.checkNow = true;
    w.Finish({1, 5, 1, 2, 0});
    EXPECT_EQ(w.jobs.finished, 0);
    EXPECT_EQ(w.jobs.Ran(), (std::vector<std::string>{"next"}));
}

TEST(Threads, AnExecuteThatWaitedForTheLockStartsNothingBesideASynchronousJob)
{
    Worker w;
    const int freedBefore = CountedParams::freed;
    std::atomic<pid_t> caller{0};
    // Another caller's Execute finds the thread idle, then waits for its lock, held here.
    w.thread->Lock();
    std::thread other([&] {
        caller = CurrentSystemThread();
        w.thread->Execute(false, new CountedParams("waited"), w.jobs.Job<&Jobs::Quick>());
    });
    ASSERT_TRUE(WaitUntil([&] { return caller != 0 && IsBlocked(caller); }));

    // A synchronous job starts under the held lock and lets the waiting Execute in.
    struct Sync {
        TKThread* thread;
        std::thread* other;
        std::string read;
        void Run(TKThread*, TKThreadParams* params)
        {
            thread->Unlock();
            other->join();
            read = static_cast<CountedParams*>(params)->Text();  // still its own parameters
        }
    } sync{w.thread.get(), &other, {}};
    w.thread->ExecuteSync(new CountedParams("sync"), TKJob::Of<&Sync::Run>(&sync));
    if (other.joinable()) {
        w.thread->Unlock();
        other.join();
    }
    EXPECT_EQ(sync.read, "sync");
    EXPECT_FALSE(w.thread->HasWorker());
    EXPECT_FALSE(w.thread->HasQueuedJob());
    EXPECT_TRUE(w.jobs.Ran().empty());
    EXPECT_EQ(CountedParams::freed - freedBefore, 1);  // the waited one, refused
    EXPECT_EQ(w.states.States(), (std::vector<int>{1, 2}));
}

struct FailureCase {
    const char* what;
    TKJob (*job)(Jobs&);
    int state;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.what;
}

class JobFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(JobFailure, EndsFailedOrCancelledAndGoesNoFurther)
{
    Worker w;
    const FailureCase c = GetParam();
    w.thread->Execute(false, nullptr, c.job(w.jobs));
    w.Finish({1, c.state, 0});
}

INSTANTIATE_TEST_SUITE_P(
    Threads, JobFailure,
    ::testing::Values(FailureCase{"failed", [](Jobs& j) { return j.Job<&Jobs::Failing>(); }, ktsFailed},
                      FailureCase{"stopped", [](Jobs& j) { return j.Job<&Jobs::StopsThenFails>(); },
                                  ktsCancelled}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Threads, TerminateReturnsWhenACheckingJobEnds)
{
    Worker w;
    w.thread->Execute(false, nullptr, w.jobs.Job<&Jobs::Checking>());
    WaitUntil([&] { return w.jobs.started == 1; });
    w.thread->Terminate(INFINITE);
    EXPECT_TRUE(w.Idle());
    EXPECT_EQ(w.states.States(), (std::vector<int>{1, 5, 0}));
}

TEST(Threads, TerminateGivesUpOnADeafJobWhichStillOwnsTheThread)
{
    Worker w;
    w.thread->Execute(false, nullptr, w.jobs.Job<&Jobs::Deaf>());
    WaitUntil([&] { return w.jobs.started == 1; });
    w.thread->Terminate(200);
    EXPECT_TRUE(w.thread->HasWorker());
    EXPECT_EQ(w.jobs.finished, 0);

    // A job queued now waits for the old worker: one worker per thread.
    w.thread->Execute(false, new CountedParams("after"), w.jobs.Job<&Jobs::Quick>());
    EXPECT_TRUE(w.thread->HasQueuedJob());
    EXPECT_TRUE(w.jobs.Ran().empty());
    w.jobs.release = true;
    // The deaf job ends done (it never looked at the stop), then the queued one runs.
    w.Finish({1, 2, 1, 2, 0});
    EXPECT_EQ(w.jobs.Ran(), (std::vector<std::string>{"after"}));
}

TEST(Threads, FreeingJoinsAWorkerThatIgnoredTerminate)
{
    Jobs jobs;
    TKThread* thread = TKThread::New();
    thread->Execute(false, nullptr, jobs.Job<&Jobs::Deaf>());
    WaitUntil([&] { return jobs.started == 1; });
    thread->Terminate(100);
    std::thread releaser([&] {
        Sleep(50);
        jobs.release = true;
    });
    thread->Free();  // returns only once the job has ended
    EXPECT_EQ(jobs.finished, 1);
    releaser.join();
}

TEST(Threads, SuspendHoldsTheStartUntilResume)
{
    Worker w;
    w.thread->Suspend();
    w.thread->Execute(false, new CountedParams("held"), w.jobs.Job<&Jobs::Quick>());
    Sleep(50);
    EXPECT_TRUE(w.jobs.Ran().empty());
    EXPECT_EQ(w.thread->State(), ktsIdle);
    w.thread->Resume();
    w.Finish({1, 2, 0});
    EXPECT_EQ(w.jobs.Ran(), (std::vector<std::string>{"held"}));
}

TEST(Threads, TerminateReleasesASuspendedStartAndCancelsIt)
{
    Worker w;
    w.thread->Suspend();
    w.thread->Execute(false, nullptr, w.jobs.Job<&Jobs::Quick>());
    w.thread->Terminate(INFINITE);
    EXPECT_TRUE(w.Idle());
    EXPECT_TRUE(w.jobs.Ran().empty());
    EXPECT_EQ(w.states.States(), (std::vector<int>{1, 5, 0}));
    EXPECT_FALSE(w.thread->IsSuspended());
}

TEST(Threads, ExecuteSyncRunsInTheCallerAndCannotTerminateItself)
{
    Worker w;
    DWORD ranOn = 0;
    struct Caller {
        DWORD* ranOn;
        void Run(TKThread* thread, TKThreadParams*)
        {
            *ranOn = GetCurrentThreadId();
            thread->SetStatusText("syncing");
            thread->Terminate(INFINITE);  // raises the silent abort
        }
    } caller{&ranOn};
    w.thread->ExecuteSync(new CountedParams("sync"), TKJob::Of<&Caller::Run>(&caller));
    EXPECT_EQ(ranOn, GetCurrentThreadId());
    EXPECT_EQ(w.thread->StatusText(), "syncing");
    EXPECT_EQ(w.states.States(), (std::vector<int>{1, 5}));
    EXPECT_FALSE(w.thread->HasWorker());
}

TEST(Threads, IgnoredExecutesFreeTheirParameters)
{
    CountedParams::freed = 0;
    Worker w;
    w.thread->Execute(false, new CountedParams("no job"), TKJob());
    w.thread->Execute(false, nullptr, w.jobs.Job<&Jobs::Checking>());
    WaitUntil([&] { return w.jobs.started == 1; });
    w.thread->ExecuteSync(new CountedParams("busy"), w.jobs.Job<&Jobs::Quick>());
    EXPECT_EQ(CountedParams::freed, 2);
    EXPECT_TRUE(w.jobs.Ran().empty());
    w.thread->Terminate(INFINITE);
}

TEST(Threads, LocksGiveUpOnceTheJobIsStopped)
{
    Worker w;
    TOwned<TKCustomChangeObject> scene(TKCustomChangeObject::New());
    struct Editor {
        TKCustomChangeObject* scene;
        std::atomic<bool> reached{false};
        void Run(TKThread*, TKThreadParams*)
        {
            reached = true;
            scene->SetName("edited by the job");  // needs the scene's lock
        }
    } editor{scene.get()};
    // The user-interface thread opens a scene edit, then stops the job under it.
    scene->BeginUpdate(true);
    w.thread->Execute(false, nullptr, TKJob::Of<&Editor::Run>(&editor));
    WaitUntil([&] { return editor.reached.load(); });
    w.thread->Terminate(60000);
    EXPECT_TRUE(w.Idle());
    scene->EndUpdate(true);
    EXPECT_NE(scene->Name(), "edited by the job");
    EXPECT_EQ(w.states.States(), (std::vector<int>{1, 5, 0}));
}

TEST(Threads, ThreadsJoinTheirListAndTheUnitEndJoinsTheirWorkers)
{
    Jobs jobs;
    TKThread* thread = TKThread::New();
    EXPECT_GE(ThreadsList()->IndexOf(thread), 0);
    thread->Execute(false, nullptr, jobs.Job<&Jobs::Checking>());
    WaitUntil([&] { return jobs.started == 1; });
    FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    EXPECT_FALSE(thread->HasWorker());
    EXPECT_EQ(thread->State(), ktsIdle);
    InitializeUnits(CoreUnits().data(), CoreUnits().size());
    thread->Free();
}

}  // namespace
