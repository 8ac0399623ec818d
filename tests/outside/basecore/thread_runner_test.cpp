#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sched.h>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/thread_runner.h"
#include "tests/support/test_environment.h"

namespace {

using tarvenix::test::TempDir;

// Serves the user-interface thread until `done` holds; fails after a generous bound so
// that a broken runner ends the test instead of hanging it.
template <class Cond>
bool PumpUntil(Cond done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

std::vector<QWidget*> ProgressWindows()
{
    std::vector<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == basecore::kProgressWindowName)
            found.push_back(w);
    return found;
}

bool AllEnded() { return GetRunningThreadCount() == 0; }

// The completion parameter of the tests: counts live records, so a leak or a double
// free shows (ASan sees the rest).
struct ResultParam {
    explicit ResultParam(std::string f) : file(std::move(f)) { ++live; }
    ~ResultParam() { --live; }
    std::string file;
    static inline std::atomic<int> live{0};
};

struct Completions {
    std::vector<std::string> files;
    std::vector<std::thread::id> threads;
};
Completions g_completions;

void OnFinish(void* p)
{
    std::unique_ptr<ResultParam> param(static_cast<ResultParam*>(p));
    g_completions.files.push_back(param->file);
    g_completions.threads.push_back(std::this_thread::get_id());
}

// A job as the tool modules write them: tasks per phase, rows with progress, and one
// handler that marks the task, keeps quiet on a cancel and removes the partial output.
struct WriteJobRecord {
    std::string output;
    int rows = 50;
    int failAt = -1;                        // raise code 10 at this row
    std::atomic<bool>* holdAt = nullptr;    // wait at row 1 while this is false
    std::atomic<bool>* reached = nullptr;   // set when the hold is reached
    std::atomic<int>* messages = nullptr;   // counts the failures it would show
    std::atomic<bool>* holdInError = nullptr;  // where the message box would wait for the user
};

void WriteJob(void* arg, CMeterInfo* meter)
{
    std::unique_ptr<WriteJobRecord> job(static_cast<WriteJobRecord*>(arg));
    const int tCreate = meter->AddTask("Creating output file.", "", 0);
    const int tWrite = meter->AddTask("Writing rows", "", 0);
    CRDPLayer out(meter);
    try {
        meter->SetCurrentTask(tCreate);
        meter->SetProcessingState(-1);
        if (!out.CreateLayer(job->output.c_str(), 16, job->rows, 7))
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, "Error creating output file");
        meter->SetCompleteState(-1);
        meter->SetCurrentTask(tWrite);
        meter->SetProcessingState(-1);
        meter->SetRange(0, job->rows);
        meter->SetStep(1.0);
        meter->SetText("Row by row");
        std::vector<double> row(16);
        for (int y = 0; y < job->rows; ++y) {
            if (y == job->failAt)
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, "Input file is damaged");
            if (y == 1 && job->holdAt) {
                job->reached->store(true);
                while (!job->holdAt->load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::fill(row.begin(), row.end(), double(y));
            out.SetLineFromDouble(y, row.data(), 16);
            meter->StepIt();
        }
        if (!out.CloseLayer())
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, "Error closing output file");
        meter->SetCompleteState(-1);
    } catch (CRDPExcept* e) {
        meter->SetErrorState(-1);
        CString text;
        if (GetError(e, text) != RDP_ERROR_CANCEL && job->messages) {
            ++*job->messages;
            while (job->holdInError && !job->holdInError->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        meter->DeleteOnClose();
        out.DestroyLayer();
        e->Delete();
    }
}

class ThreadRunner : public ::testing::Test {
protected:
    void SetUp() override { g_completions = {}; }
    void TearDown() override
    {
        EXPECT_TRUE(PumpUntil(AllEnded));
        EXPECT_TRUE(ProgressWindows().empty());
        EXPECT_EQ(ResultParam::live.load(), 0);
    }
    TempDir dir;
};

}  // namespace

TEST_F(ThreadRunner, FinishedJobShowsItsWindowAndCompletesOnTheUserInterfaceThread)
{
    std::atomic<bool> release{false}, reached{false};
    auto* record = new WriteJobRecord{dir.File("out.rdp")};
    record->holdAt = &release;
    record->reached = &reached;
    ASSERT_NE(::Run("Filtration: in.rdp", WriteJob, record, OnFinish, new ResultParam(dir.File("out.rdp"))), nullptr);

    ASSERT_TRUE(PumpUntil([&] { return reached.load(); }));
    auto windows = ProgressWindows();
    ASSERT_EQ(windows.size(), 1u);
    QWidget* window = windows[0];
    EXPECT_EQ(window->windowTitle(), "Filtration: in.rdp");
    auto* tasks = window->findChild<QTreeWidget*>("tasks");
    ASSERT_TRUE(tasks);
    ASSERT_TRUE(PumpUntil([&] { return tasks->topLevelItemCount() == 2 && tasks->topLevelItem(1)->text(1) == "Processing"; }));
    EXPECT_EQ(tasks->topLevelItem(0)->text(0), "Creating output file.");
    EXPECT_EQ(tasks->topLevelItem(0)->text(1), "Complete");
    EXPECT_EQ(tasks->topLevelItem(1)->text(0), "Writing rows");
    EXPECT_EQ(window->findChild<QLabel*>("text")->text(), "Row by row");
    EXPECT_TRUE(g_completions.files.empty());

    release = true;
    ASSERT_TRUE(PumpUntil([] { return !g_completions.files.empty(); }));
    EXPECT_EQ(g_completions.files, std::vector<std::string>{dir.File("out.rdp")});
    EXPECT_EQ(g_completions.threads[0], std::this_thread::get_id());
    EXPECT_EQ(CRDPLayer::GetNumLayer(dir.File("out.rdp").c_str()), 1);
}

TEST_F(ThreadRunner, FailedJobMarksItsTaskRemovesItsOutputAndOpensNothing)
{
    std::atomic<int> messages{0};
    std::atomic<bool> answered{false};
    auto* record = new WriteJobRecord{dir.File("out.rdp"), 50, 5};
    record->messages = &messages;
    record->holdInError = &answered;
    ::Run("Filtration: in.rdp", WriteJob, record, OnFinish, new ResultParam(dir.File("out.rdp")));
    // While the failure is being told, the window shows the failed task.
    ASSERT_TRUE(PumpUntil([&] { return messages.load() == 1; }));
    auto* tasks = ProgressWindows().at(0)->findChild<QTreeWidget*>("tasks");
    ASSERT_TRUE(PumpUntil([&] { return tasks->topLevelItemCount() == 2 && tasks->topLevelItem(1)->text(1) == "Error"; }));
    answered = true;
    ASSERT_TRUE(PumpUntil(AllEnded));
    EXPECT_EQ(messages.load(), 1);
    EXPECT_TRUE(g_completions.files.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.rdp")));
}

TEST_F(ThreadRunner, StopEndsTheJobSilentlyWithoutOutput)
{
    std::atomic<int> messages{0};
    std::atomic<bool> release{false}, reached{false};
    auto* record = new WriteJobRecord{dir.File("out.rdp"), 1000};
    record->holdAt = &release;
    record->reached = &reached;
    record->messages = &messages;
    ::Run("Filtration: in.rdp", WriteJob, record, OnFinish, new ResultParam(dir.File("out.rdp")));
    ASSERT_TRUE(PumpUntil([&] { return reached.load(); }));
    auto* stop = ProgressWindows().at(0)->findChild<QPushButton*>("stop");
    ASSERT_TRUE(stop);
    stop->click();
    EXPECT_FALSE(stop->isEnabled());
    release = true;
    ASSERT_TRUE(PumpUntil(AllEnded));
    EXPECT_EQ(messages.load(), 0);
    EXPECT_TRUE(g_completions.files.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.rdp")));
}

TEST_F(ThreadRunner, EscapedErrorCountsAsFailureAndCancelEscapingIsSilent)
{
    // A worker that lets the cancel out of its own hands: no completion, nothing shown.
    auto escaping = +[](void*, CMeterInfo*) { AfxThrowRDPExcept(RDP_ERROR_CANCEL); };
    ::Run("Escaping", escaping, nullptr, OnFinish, new ResultParam("never"));
    ASSERT_TRUE(PumpUntil(AllEnded));
    EXPECT_TRUE(g_completions.files.empty());
}

TEST_F(ThreadRunner, CallersMeterIsShownGivenTheThreadAndToldTheEnd)
{
    struct RecordingMeter : CMeterInfo {
        void ShowMeter(BOOL show) override { shown = show; }
        void SetThread(CThread* t) override { thread = t; }
        void JobFinished(int) override
        {
            finishedOn = std::this_thread::get_id();
            finished = true;
        }
        std::atomic<bool> finished{false};
        BOOL shown = FALSE;
        CThread* thread = nullptr;
        std::thread::id finishedOn;
    } meter;
    std::atomic<std::thread::id> ranOn;
    auto job = +[](void* arg, CMeterInfoBase* m) {
        static_cast<std::atomic<std::thread::id>*>(arg)->store(std::this_thread::get_id());
        m->SetRange(0, 1);
        m->StepIt();
    };
    CThread* thread = ::Run("Calc Stats", job, &meter, &ranOn);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(meter.thread, thread);
    EXPECT_TRUE(meter.shown);
    EXPECT_EQ(meter.GetCaption(), "Calc Stats");
    ASSERT_TRUE(PumpUntil(AllEnded));
    EXPECT_TRUE(meter.finished.load());
    EXPECT_EQ(meter.finishedOn, ranOn.load());
    EXPECT_NE(ranOn.load(), std::this_thread::get_id());
}

TEST_F(ThreadRunner, RunExStartsTheProcedureAtIdlePriority)
{
    struct Seen {
        std::atomic<int> policy{-1};
        std::atomic<bool> done{false};
    } seen;
    auto proc = +[](LPVOID arg) -> UINT {
        auto* s = static_cast<Seen*>(arg);
        s->policy = sched_getscheduler(0);
        s->done = true;
        return 1;
    };
    ASSERT_NE(RunEx(proc, &seen, -15), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return seen.done.load(); }));
    EXPECT_EQ(seen.policy.load(), SCHED_IDLE);
    auto bare = +[](void* arg) { static_cast<std::atomic<bool>*>(arg)->store(true); };
    std::atomic<bool> ran{false};
    ASSERT_NE(::Run("Open Image", bare, &ran), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ran.load(); }));
    EXPECT_TRUE(ProgressWindows().empty());
}

TEST_F(ThreadRunner, SuspendedJobWaitsAtItsNextProgressCall)
{
    struct Gate {
        std::atomic<bool> go{false}, reached{false}, passed{false};
        std::atomic<CThread*> thread{nullptr};
    } gate;
    auto job = +[](void* arg, CMeterInfo* meter) {
        auto* g = static_cast<Gate*>(arg);
        g->thread = CThread::GetCurrent();
        while (!g->go)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        g->reached = true;
        meter->SetPos(1);
        g->passed = true;
    };
    CThread* thread = ::Run("Held", job, &gate);
    thread->SuspendThread();
    gate.go = true;
    ASSERT_TRUE(PumpUntil([&] { return gate.reached.load(); }));
    EXPECT_FALSE(gate.passed.load());
    EXPECT_EQ(gate.thread.load(), thread);
    thread->ResumeThread();
    ASSERT_TRUE(PumpUntil([&] { return gate.passed.load(); }));
}

// Stops jobs at every kind of moment (before they start, while they write, after they
// finished but before their end was handled) and checks that each one either completed
// with its file or left neither file nor record, and that no thread is left.
TEST_F(ThreadRunner, StoppingAtAnyMomentLeavesNoThreadAndNoFile)
{
    std::mt19937 rng(2024);
    const int jobs = 24;
    for (int i = 0; i < jobs; ++i) {
        auto* record = new WriteJobRecord{dir.File("out" + std::to_string(i) + ".rdp"), 1 + int(rng() % 400)};
        ::Run("Stress", WriteJob, record, OnFinish, new ResultParam(record->output));
        if (rng() % 4 == 0)
            ProgressWindows().back()->findChild<QPushButton*>("stop")->click();
    }
    ASSERT_TRUE(PumpUntil([&] {
        for (QWidget* w : ProgressWindows())
            if (rng() % 3 == 0)
                w->findChild<QPushButton*>("stop")->click();
        return AllEnded();
    }));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, static_cast<int>(g_completions.files.size()));
    for (const auto& f : g_completions.files)
        EXPECT_TRUE(std::filesystem::exists(f)) << f;
}
