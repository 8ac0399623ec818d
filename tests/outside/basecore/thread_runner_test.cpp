#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <gtest/gtest.h>
#include <sched.h>

#include "outside/basecore/basecore_strings.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/button.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"
#include "tests/support/recording_meter.h"
#include "tests/support/ui_helpers.h"
#include "tests/support/test_environment.h"
#include "tests/support/window_frames.h"

namespace {

using tarvenix::test::ProgressWindowsOpen;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

// Serves the user-interface thread until `done` holds; fails after a generous bound so
// that a broken runner ends the test instead of hanging it.
template <class Cond>
bool PumpUntil(Cond done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

CListCtrl* Tasks(CWnd* window)
{
    return static_cast<CListCtrl*>(window->GetDlgItem(basecore::IDC_PROGRESS_TASKS));
}

CString Text(CWnd* window)
{
    CString text;
    window->GetDlgItem(basecore::IDC_PROGRESS_TEXT)->GetWindowText(text);
    return text;
}

// Clicks Stop as the user does (a disabled button takes no click).
void ClickStop(CWnd* window)
{
    CWnd* stop = window->GetDlgItem(IDCANCEL);
    if (stop->IsWindowEnabled()) stop->SendMessage(BM_CLICK);
}

bool AllEnded()
{
    return GetRunningThreadCount() == 0;
}

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
    int failAt = -1;                       // raise code 10 at this row
    std::atomic<bool>* holdAt = nullptr;   // wait at row 1 while this is false
    std::atomic<bool>* reached = nullptr;  // set when the hold is reached
    std::atomic<HWND>* window = nullptr;   // receives the owner of the job's messages
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
            if (y == job->failAt) AfxThrowRDPExcept(RDP_ERROR_PROCESS, "Input file is damaged");
            if (y == 1 && job->holdAt) {
                if (job->window) job->window->store(meter->GetCWND()->GetSafeHwnd());
                job->reached->store(true);
                while (!job->holdAt->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::fill(row.begin(), row.end(), double(y));
            out.SetLineFromDouble(y, row.data(), 16);
            meter->StepIt();
        }
        if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, "Error closing output file");
        meter->SetCompleteState(-1);
    } catch (CRDPExcept* e) {
        meter->SetErrorState(-1);
        CString text;
        const HWND owner = meter->GetCWND() ? meter->GetCWND()->GetSafeHwnd() : nullptr;
        if (job->window) job->window->store(owner);
        if (GetError(e, text) != RDP_ERROR_CANCEL) MessageBox(owner, text, "Filtration: Error", MB_ICONERROR);
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
        EXPECT_TRUE(ProgressWindowsOpen().empty());
        EXPECT_EQ(ResultParam::live.load(), 0);
    }
    TempDir dir;
};

}  // namespace

TEST_F(ThreadRunner, FinishedJobShowsItsWindowAndCompletesOnTheUserInterfaceThread)
{
    std::atomic<bool> release{false}, reached{false};
    auto* record = new WriteJobRecord{dir.File("out.rdp"), 2};  // held half way
    record->holdAt = &release;
    record->reached = &reached;
    ASSERT_NE(::Run("Filtration: in.rdp", WriteJob, record, OnFinish, new ResultParam(dir.File("out.rdp"))),
              nullptr);

    ASSERT_TRUE(PumpUntil([&] { return reached.load(); }));
    auto windows = ProgressWindowsOpen();
    ASSERT_EQ(windows.size(), 1u);
    CWnd* window = windows[0];
    CString title;
    window->GetWindowText(title);
    EXPECT_EQ(title, "Filtration: in.rdp");
    CListCtrl* tasks = Tasks(window);
    ASSERT_TRUE(tasks);
    // The job holds at row 1; the window catches up with everything it did before.
    ASSERT_TRUE(PumpUntil([&] {
        return tasks->GetItemCount() == 2 && tasks->GetItemText(1, 1) == "Processing" &&
               Text(window) == "Row by row";
    }));
    EXPECT_EQ(tasks->GetItemText(0, 0), "Creating output file.");
    EXPECT_EQ(tasks->GetItemText(0, 1), "Complete");
    EXPECT_EQ(tasks->GetItemText(1, 0), "Writing rows");
    EXPECT_EQ(tasks->GetNextItem(-1, LVNI_SELECTED), 1);  // the current task
    auto* bar = static_cast<CProgressCtrl*>(window->GetDlgItem(basecore::IDC_PROGRESS_BAR));
    ASSERT_TRUE(bar);
    int low = 0, high = 0;
    // The position comes in its own message, which may follow the texts.
    EXPECT_TRUE(PumpUntil([&] {
        bar->GetRange(low, high);
        return bar->GetPos() - low == (high - low) / 2;  // one row of two
    }));
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*window), "progress_window");
    // Enter (the dialog's OK) neither hides the window nor stops the job.
    window->SendMessage(WM_COMMAND, IDOK);
    EXPECT_TRUE(window->IsWindowVisible());
    EXPECT_TRUE(window->GetDlgItem(IDCANCEL)->IsWindowEnabled());
    EXPECT_TRUE(g_completions.files.empty());

    release = true;
    ASSERT_TRUE(PumpUntil([] { return !g_completions.files.empty(); }));
    EXPECT_EQ(g_completions.files, std::vector<std::string>{dir.File("out.rdp")});
    EXPECT_EQ(g_completions.threads[0], std::this_thread::get_id());
    EXPECT_EQ(CRDPLayer::GetNumLayer(dir.File("out.rdp").c_str()), 1);
}

// Jobs that run at once each show a progress window; a new one opens a step down and right
// of the last, as cascaded viewers do, so none hides another, and each with its whole frame
// on the screen. A step is free again once its window has gone.
TEST_F(ThreadRunner, ProgressWindowsOfJobsRunningAtOnceOpenCascaded)
{
    tarvenix::test::ScopedWindowManagerFrame frame(CRect(4, 24, 4, 4));
    std::atomic<bool> release[3] = {false, false, false};
    std::atomic<bool> reached[3] = {false, false, false};
    const char* titles[3] = {"Filtration: north.rdp", "Filtration: south.rdp", "Filtration: east.rdp"};
    auto start = [&](int i) {
        auto* record = new WriteJobRecord{dir.File("out" + std::to_string(i) + ".rdp"), 2};
        record->holdAt = &release[i];
        record->reached = &reached[i];
        ASSERT_NE(::Run(titles[i], WriteJob, record, OnFinish, new ResultParam(record->output)), nullptr);
        ASSERT_TRUE(PumpUntil([&] { return reached[i].load(); }));
    };
    start(0);
    start(1);
    std::vector<basecore::CProgressWnd*> windows = ProgressWindowsOpen();
    ASSERT_EQ(windows.size(), 2u);
    CRect first, second;
    windows[0]->GetWindowRect(&first);
    windows[1]->GetWindowRect(&second);
    EXPECT_EQ(second.left - first.left, 24);
    EXPECT_EQ(second.top - first.top, 24);
    for (CWnd* w : windows) EXPECT_TRUE(tarvenix::test::FrameOnWorkArea(*w));
    PumpUntil([&] { return Text(windows[1]) == "Row by row" && Text(windows[0]) == "Row by row"; });
    tarvenix::test::SaveTestOutput(tarvenix::test::ScreenPicture({windows[0], windows[1]}),
                                   "two-progress-windows");

    // The first ends; a third job takes its place, not a third step.
    ClickStop(windows[0]);
    release[0] = true;
    ASSERT_TRUE(PumpUntil([&] { return ProgressWindowsOpen().size() == 1; }));
    start(2);
    windows = ProgressWindowsOpen();
    ASSERT_EQ(windows.size(), 2u);
    CRect third;
    for (CWnd* w : windows) {
        CString title;
        w->GetWindowText(title);
        if (title == titles[2]) w->GetWindowRect(&third);
    }
    EXPECT_EQ(third.left, first.left);
    EXPECT_EQ(third.top, first.top);
    release[1] = release[2] = true;
    ASSERT_TRUE(PumpUntil([] { return g_completions.files.size() == 2; }));
}

TEST_F(ThreadRunner, FailedJobMarksItsTaskRemovesItsOutputAndOpensNothing)
{
    std::atomic<HWND> owner{nullptr};
    auto* record = new WriteJobRecord{dir.File("out.rdp"), 50, 5};
    record->window = &owner;
    // While the box is up, the progress window shows the failed task.
    Responder().AnswerMessageBox(IDOK).When([] {
        auto windows = ProgressWindowsOpen();
        if (windows.size() != 1) return false;
        CListCtrl* tasks = Tasks(windows[0]);
        return tasks->GetItemCount() == 2 && tasks->GetItemText(1, 1) == "Error";
    });
    ::Run("Filtration: in.rdp", WriteJob, record, OnFinish, new ResultParam(dir.File("out.rdp")));
    ASSERT_TRUE(PumpUntil(AllEnded));
    ASSERT_EQ(Responder().Asked().size(), 1u);
    const auto& box = Responder().Asked()[0];
    EXPECT_EQ(box.text, "Input file is damaged");
    EXPECT_EQ(box.caption, "Filtration: Error");
    EXPECT_EQ(box.Icon(), MB_ICONERROR);
    EXPECT_NE(owner.load(), nullptr);
    EXPECT_EQ(box.owner, owner.load());
    EXPECT_TRUE(g_completions.files.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.rdp")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(ThreadRunner, StopEndsTheJobSilentlyWithoutOutput)
{
    std::atomic<bool> release{false}, reached{false};
    auto* record = new WriteJobRecord{dir.File("out.rdp"), 1000};
    record->holdAt = &release;
    record->reached = &reached;
    ::Run("Filtration: in.rdp", WriteJob, record, OnFinish, new ResultParam(dir.File("out.rdp")));
    ASSERT_TRUE(PumpUntil([&] { return reached.load(); }));
    CWnd* window = ProgressWindowsOpen().at(0);
    CWnd* stop = window->GetDlgItem(IDCANCEL);
    ASSERT_TRUE(stop);
    CString label;
    stop->GetWindowText(label);
    EXPECT_EQ(label, "Stop");
    ClickStop(window);
    EXPECT_FALSE(stop->IsWindowEnabled());
    release = true;
    ASSERT_TRUE(PumpUntil(AllEnded));
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_TRUE(g_completions.files.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(ThreadRunner, StopCommandAndClosingTheWindowStopTheJobToo)
{
    for (UINT message : {UINT(WM_COMMAND), UINT(WM_CLOSE)}) {
        SCOPED_TRACE(message);
        std::atomic<bool> release{false}, reached{false};
        std::atomic<HWND> window{nullptr};
        auto* record = new WriteJobRecord{dir.File("out.rdp"), 1000};
        record->holdAt = &release;
        record->reached = &reached;
        record->window = &window;
        ::Run("Filtration: in.rdp", WriteJob, record, OnFinish, new ResultParam(dir.File("out.rdp")));
        ASSERT_TRUE(PumpUntil([&] { return reached.load(); }));
        ASSERT_TRUE(IsWindow(window.load()));
        SendMessage(window.load(), message, message == WM_COMMAND ? IDCANCEL : 0, 0);
        EXPECT_TRUE(IsWindow(window.load()));  // the window stays until the job has ended
        release = true;
        ASSERT_TRUE(PumpUntil(AllEnded));
        EXPECT_FALSE(IsWindow(window.load()));
        EXPECT_TRUE(g_completions.files.empty());
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    }
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST_F(ThreadRunner, ErrorsLeavingTheWorkerAreShownExceptTheCancel)
{
    // A worker that lets its errors out: the runner tells the failure in a box owned by
    // the progress window, keeps quiet on a cancel, and opens nothing either way.
    auto failing = +[](void*, CMeterInfo*) { AfxThrowRDPExcept(RDP_ERROR_FFT); };
    auto cancelled = +[](void*, CMeterInfo*) { AfxThrowRDPExcept(RDP_ERROR_CANCEL); };
    Responder().AnswerMessageBox(IDOK);
    ::Run("Spectrum Analysis:in.rdp", failing, nullptr, OnFinish, new ResultParam("never"));
    ::Run("Spectrum Analysis:in.rdp", cancelled, nullptr, OnFinish, new ResultParam("never"));
    ASSERT_TRUE(PumpUntil(AllEnded));
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(Responder().Asked()[0].text, "The two-dimensional Fourier transform failed");
    EXPECT_EQ(Responder().Asked()[0].caption, "Spectrum Analysis:in.rdp");
    EXPECT_NE(Responder().Asked()[0].owner, nullptr);
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
    EXPECT_TRUE(ProgressWindowsOpen().empty());
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
        while (!g->go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
        if (rng() % 4 == 0) ClickStop(ProgressWindowsOpen().back());
    }
    ASSERT_TRUE(PumpUntil([&] {
        for (CWnd* w : ProgressWindowsOpen())
            if (rng() % 3 == 0) ClickStop(w);
        return AllEnded();
    }));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, static_cast<int>(g_completions.files.size()));
    for (const auto& f : g_completions.files) EXPECT_TRUE(std::filesystem::exists(f)) << f;
}
