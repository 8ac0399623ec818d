#include "viewer/core/viewer_meter_info.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/window/modal.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"

using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;

namespace {

/// A window with a progress bar, as the frame has, that keeps its WM_VIEWERMETERINFO codes.
class MeterOwner : public CWnd {
public:
    MeterOwner()
    {
        CreateEx(0, AfxRegisterWndClass(0), "Owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 60), nullptr, 0);
        bar.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 210, 25), this, 1);
        meter.Attach(this, &bar);
    }
    ~MeterOwner() override { DestroyWindow(); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_VIEWERMETERINFO) codes.push_back(int(wParam));
        return CWnd::WindowProc(message, wParam, lParam);
    }
    double Fraction() const
    {
        int low = 0, high = 0;
        bar.GetRange(low, high);
        return high > low ? double(bar.GetPos() - low) / double(high - low) : 0.0;
    }
    CProgressCtrl bar;
    CViewerMeterInfo meter;
    std::vector<int> codes;
};

/// A job that reports progress until it is stopped or told to finish.
struct CountingJob {
    std::atomic<int> steps{0};
    std::atomic<int> errorCode{0};
    std::atomic<bool> finish{false};
    static void Run(void* arg, CMeterInfoBase* meter)
    {
        auto& job = *static_cast<CountingJob*>(arg);
        try {
            meter->SetRange(0, 1000);
            while (!job.finish) {
                meter->SetPos(job.steps % 1000);
                ++job.steps;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        } catch (CRDPExcept* e) {
            job.errorCode = e->GetCode();
            e->Delete();
        }
    }
};

}  // namespace

TEST(ViewerMeter, TheBarShowsTheTrueFractionForAnyRange)
{
    struct Case {
        double low, high, pos, fraction;
    };
    const Case cases[] = {
        {0, 100, 50, 0.5},
        {0, 200000, 150000, 0.75},  // beyond 16 bits
        {-70000, 70000, 35000, 0.75},
        {0, 1e12, 2.5e11, 0.25},  // beyond the bar's ints
        {0, 100, 250, 1.0},       // past the top stays at the top
    };
    MeterOwner owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.high);
        owner.meter.SetRange(c.low, c.high);
        owner.meter.SetPos(c.pos);
        EXPECT_NEAR(owner.Fraction(), c.fraction, 1e-6);
    }
    owner.meter.SetRange(0, 100);
    owner.meter.SetPos(10);
    EXPECT_EQ(owner.meter.DeltaPos(15.9), 10.0) << "the previous position";
    owner.meter.StepIt();
    EXPECT_EQ(owner.bar.GetPos(), 26);
}

TEST(ViewerMeter, NoLetsTheJobGoOnAndYesStopsItAtItsNextProgressCall)
{
    MeterOwner owner;
    owner.meter.AskStop();
    EXPECT_TRUE(Responder().Asked().empty()) << "without a job nothing is asked";

    CountingJob job;
    CThread* thread = ::Run("Counting", CountingJob::Run, &owner.meter, &job);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return job.steps > 5; }));

    int heldAt = -1;
    Responder().AnswerMessageBox(IDNO).When([&] {
        // The job waits at its pause gate while the user decides.
        if (!thread->WaitUntilHeld(1, 2000)) return false;
        heldAt = job.steps;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return job.steps == heldAt;
    });
    owner.meter.AskStop();
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(Responder().Asked()[0].text, "Do you really want to stop the process?");
    EXPECT_EQ(Responder().Asked()[0].caption, "Counting");
    EXPECT_EQ(Responder().Asked()[0].Buttons(), UINT(MB_YESNO));
    ASSERT_GE(heldAt, 0);
    const int afterNo = job.steps;
    ASSERT_TRUE(PumpUntil([&] { return job.steps > afterNo + 5; })) << "No: the job goes on";
    EXPECT_EQ(job.errorCode, 0);

    Responder().AnswerMessageBox(IDYES);
    owner.meter.AskStop();
    ASSERT_TRUE(PumpUntil([&] { return !owner.meter.IsRunning() && owner.codes.size() == 2; }));
    EXPECT_EQ(job.errorCode, RDP_ERROR_CANCEL);
    EXPECT_FALSE(owner.meter.IsStopped()) << "the next job starts unstopped";
    EXPECT_EQ(owner.codes, (std::vector<int>{1, 2})) << "bar shown for the job, hidden after it";
    // The meter lives on this stack: its job's thread must be gone before it is.
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
}

TEST(ViewerMeter, TheFrameShowsTheJobInItsStatusBar)
{
    ViewResultParam empty;
    CFrameViewer* frame = ViewerCreate(&empty);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    frame->SetWindowPos(nullptr, 0, 0, 520, 360, SWP_NOMOVE | SWP_NOZORDER);
    ::SendMessage(hwnd, WM_CHAR, 27, 0);
    EXPECT_TRUE(Responder().Asked().empty()) << "Esc without a job asks nothing";

    struct HalfwayJob {
        std::atomic<bool> reported{false};
        std::atomic<bool> finish{false};
        static void Run(void* arg, CMeterInfoBase* meter)
        {
            auto& job = *static_cast<HalfwayJob*>(arg);
            meter->SetRange(0, 300000);
            meter->SetPos(120000);
            job.reported = true;
            while (!job.finish) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    } job;
    ASSERT_NE(::Run("Open Image", HalfwayJob::Run, frame->GetMeterInfo(), &job), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return job.reported.load(); }));
    tarvenix::test::PumpEvents();
    CProgressCtrl* bar = frame->GetProgressCtrl();
    EXPECT_TRUE(bar->IsWindowVisible());
    int low = 0, high = 0;
    bar->GetRange(low, high);
    EXPECT_NEAR(double(bar->GetPos() - low) / (high - low), 0.4, 1e-6);
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*frame), "viewer_status_bar_during_job");

    job.finish = true;
    ASSERT_TRUE(PumpUntil([&] { return !frame->GetMeterInfo()->IsRunning(); }));
    // The bar is hidden by a message of the job's end, which may still be on its way.
    EXPECT_TRUE(PumpUntil([&] { return !bar->IsWindowVisible(); }));
    ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    tarvenix::test::PumpEvents();
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(ViewerMeter, ClosingAViewerWhoseJobRunsStopsTheJobAndClosesAfterItReported)
{
    ViewResultParam empty;
    CFrameViewer* frame = ViewerCreate(&empty);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    CountingJob job;
    ASSERT_NE(::Run("Calc Stats", CountingJob::Run, frame->GetMeterInfo(), &job), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return job.steps > 5; }));

    ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    EXPECT_TRUE(::IsWindow(hwnd)) << "the frame outlives its job";
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }));
    EXPECT_EQ(job.errorCode, RDP_ERROR_CANCEL);
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST(ViewerMeter, AJobOutlivingItsViewerFinishesOnAMeterThatIsStillThere)
{
    ViewResultParam empty;
    CFrameViewer* frame = ViewerCreate(&empty);
    ASSERT_NE(frame, nullptr);
    struct LateJob {
        std::atomic<bool> started{false};
        std::atomic<bool> finish{false};
        static void Run(void* arg, CMeterInfoBase* meter)
        {
            auto& job = *static_cast<LateJob*>(arg);
            meter->SetRange(0, 10);
            job.started = true;
            while (!job.finish) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            meter->SetPos(5);  // after the viewer is gone: reaches no window, frees nothing twice
        }
    } job;
    ASSERT_NE(::Run("Calc Stats", LateJob::Run, frame->GetMeterInfo(), &job), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return job.started.load(); }));
    frame->DestroyWindow();
    tarvenix::test::PumpEvents();
    job.finish = true;
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
}
