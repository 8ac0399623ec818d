// Run under ThreadSanitizer by ./test.sh: the user-interface thread drives job threads
// while their jobs report and check, in a fixed pseudo-random order.

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/core/threads_support.h"

using kelvora::test::CountedParams;
using kelvora::test::EventLog;

namespace {

// A job that reports, checks and edits a scene object the user-interface thread edits too.
struct Reporter {
    TKCustomChangeObject* scene;
    std::atomic<int> runs{0};
    void Run(TKThread* thread, TKThreadParams*)
    {
        ++runs;
        thread->SetStatusText("starting");
        thread->SetProgressRange(0, 40, 0);
        for (int i = 0; i < 40; ++i) {
            thread->StepProgress(1);
            if (i % 10 == 0) scene->SetName("edited by job " + std::to_string(i));
            thread->Check();
        }
        thread->SetStatusText("finished");
    }
};

TEST(ThreadStress, UserInterfaceThreadDrivesThreadsWhileJobsReportAndCheck)
{
    CountedParams::made = CountedParams::freed = 0;
    TOwned<TKCustomChangeObject> scene(TKCustomChangeObject::New());
    Reporter reporter{scene.get()};
    const TKJob job = TKJob::Of<&Reporter::Run>(&reporter);
    EventLog listeners[3];
    std::mt19937 random(20240611);
    for (int round = 0; round < 40; ++round) {
        TKThread* thread = TKThread::New();
        thread->Events().Add(listeners[0].Handler());
        for (int step = 0; step < 16; ++step) {
            EventLog& listener = listeners[random() % 3];
            switch (random() % 8) {
                case 0:
                case 1:
                    thread->Execute(random() % 2 == 0, new CountedParams("job"), job);
                    break;
                case 2:
                    thread->Stop();
                    break;
                case 3:
                    thread->Events().Add(listener.Handler());
                    break;
                case 4:
                    thread->Events().Remove(listener.Handler());
                    break;
                case 5:
                    scene->SetName("edited by the user " + std::to_string(step));
                    break;
                case 6:
                    thread->Terminate(random() % 3);
                    break;
                case 7: {
                    // A scene edit that stops the job while it holds the scene.
                    TKObjectLock lock(*scene);
                    thread->Terminate(INFINITE);
                    break;
                }
            }
            (void)thread->State();
            (void)thread->StatusText();
            (void)thread->Progress();
            if (random() % 3 == 0) Sleep(1);  // lets jobs get going between the user's steps
        }
        thread->Free();
    }
    EXPECT_EQ(CountedParams::made, CountedParams::freed);
    EXPECT_GT(reporter.runs, 0);
}

struct Counter {
    std::atomic<long> calls{0};
    void OnEvent(TObject*, int, std::intptr_t) { calls.fetch_add(1, std::memory_order_relaxed); }
    TKEventHandler Handler() { return TKEventHandler::Of<&Counter::OnEvent>(this); }
};

TEST(ThreadStress, HandlersEditedWhileAnotherThreadNotifies)
{
    TKEventManager events;
    Counter listeners[4];
    std::atomic<bool> done{false};
    std::thread notifier([&] {
        while (!done) events.Notify(nullptr, 4096, 1);
    });
    for (int i = 0; i < 2000; ++i) {
        events.Add(listeners[i % 4].Handler());
        if (i % 2 == 0) events.Remove(listeners[(i + 1) % 4].Handler());
        events.SetMuted(i % 50 == 0);
    }
    done = true;
    notifier.join();
    SUCCEED();
}

}  // namespace
