#include "outside/basecore/thread_runner.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <system_error>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/job_error.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/rdp_except.h"
#include "platform/last_error.h"
#include "platform/window/ui_thread.h"

namespace {

thread_local CThread* t_current = nullptr;

std::mutex& RunningLock()
{
    static std::mutex lock;
    return lock;
}

CThreadList& Running()
{
    static CThreadList list;
    return list;
}

// What escaped a worker: its code and text. Anything else than the error exception
// becomes a process error with the best text at hand.
int CatchEscaped(CString& text)
{
    try {
        throw;
    } catch (CRDPExcept* e) {
        const int code = GetError(e, text);
        e->Delete();
        return code;
    } catch (const std::bad_alloc&) {
        text = ErrorText(ERROR_NOT_ENOUGH_MEMORY);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = CRDPExcept(RDP_ERROR_PROCESS).GetMessage();
    }
    return RDP_ERROR_PROCESS;
}

}  // namespace

struct ThreadLauncher {
    static CThread* Make(const char* title, int priority)
    {
        return new CThread(title ? title : "", priority);
    }
    static void SetWork(CThread* t, std::function<void()> fn) { t->m_work = std::move(fn); }
    static void SetFinished(CThread* t, std::function<void()> fn) { t->m_finished = std::move(fn); }
    /// Starts the thread; when the system refuses one, ends it as a failed job and returns null.
    static CThread* Start(CThread* t) { return t->Start() ? t : nullptr; }
};

CThread::CThread(CString title, int priority) : m_title(std::move(title)), m_priority(priority) {}

CThread::~CThread() = default;

void CThread::SuspendThread()
{
    m_gate.Pause();
}

void CThread::ResumeThread()
{
    if (m_gate.IsPaused()) m_gate.Resume();
}

void CThread::PauseGate()
{
    if (CThread* self = t_current) self->m_gate.Checkpoint();
}

CThread* CThread::GetCurrent()
{
    return t_current;
}

bool CThread::Start()
{
    {
        std::lock_guard lock(RunningLock());
        Running().AddTail(this);
    }
    try {
        m_thread = std::thread([this] { Body(); });
        return true;
    } catch (const std::system_error&) {
        // No thread to be had: the job never runs, so its end is handled here.
        if (m_finished) m_finished();
        {
            std::lock_guard lock(RunningLock());
            Running().Remove(this);
        }
        delete this;
        return false;
    }
}

// The worker's whole life. Its last act is to hand the thread to the user-interface
// thread, which joins it (it has nothing left to do by then), runs the completion and
// frees everything.
void CThread::Body()
{
    t_current = this;
    // The row driver's helpers wait at this thread's gate too while it is suspended.
    platform::SetThreadPauseGate(&m_gate);
    if (m_priority != THREAD_PRIORITY_NORMAL)
        SetThreadPriority(GetCurrentThread(),
                          std::clamp(m_priority, THREAD_PRIORITY_IDLE, THREAD_PRIORITY_TIME_CRITICAL));
    if (m_work) m_work();
    platform::SetThreadPauseGate(nullptr);
    t_current = nullptr;
    platform::PostToUiThread([this] {
        if (m_thread.joinable()) {
            if (m_thread.get_id() == std::this_thread::get_id())
                m_thread.detach();  // no application: this runs on the worker itself
            else
                m_thread.join();
        }
        if (m_finished) m_finished();
        {
            std::lock_guard lock(RunningLock());
            Running().Remove(this);
        }
        delete this;
    });
}

namespace {

void ReportEscaped(CWnd* owner, const CString& caption)
{
    CString text;
    if (CatchEscaped(text) != RDP_ERROR_CANCEL) basecore::ShowJobError(owner, text, caption);
}

// The shared part of the jobs with Basecore's own meter and window.
CThread* StartMeterJob(const char* title, MeterJobProc worker, void* arg, FinishProc finish, void* finishArg,
                       FinishDisposer dispose)
{
    if (!worker) {
        if (finishArg && dispose) dispose(finishArg);
        return nullptr;
    }
    CThread* thread = ThreadLauncher::Make(title, 0);
    struct Job {
        CMeterInfo meter;
        std::unique_ptr<basecore::CProgressWnd> window;
        bool succeeded = false;
    };
    auto job = std::make_shared<Job>();
    job->meter.SetCaption(thread->GetTitle());
    job->meter.SetThread(thread);

    // The window exists before the worker starts, so its message boxes have their owner.
    if (platform::HasWindows()) {
        platform::CallOnUiThread([&job, caption = thread->GetTitle()] {
            auto window = std::make_unique<basecore::CProgressWnd>(&job->meter);
            if (window->Create(caption)) {
                job->window = std::move(window);
                job->meter.SetWindow(job->window.get());
            }
        });
    }

    ThreadLauncher::SetWork(thread, [job, worker, arg] {
        bool escaped = false;
        try {
            worker(arg, &job->meter);
        } catch (...) {
            escaped = true;
            job->meter.SetErrorState(-1);
            ReportEscaped(job->meter.GetCWND(), job->meter.GetCaption());
        }
        job->meter.JobFinished(escaped ? 0 : 1);
        job->succeeded = !escaped && !job->meter.CancelRaised() && !job->meter.FailureMarked();
    });
    ThreadLauncher::SetFinished(thread, [job, finish, finishArg, dispose] {
        job->meter.SetWindow(nullptr);
        job->window.reset();
        if (job->succeeded && finish) {
            try {
                finish(finishArg);
            } catch (...) {
                ReportEscaped(nullptr, job->meter.GetCaption());
            }
        } else if (finishArg && dispose) {
            dispose(finishArg);
        }
    });
    return ThreadLauncher::Start(thread);
}

}  // namespace

CThread* Run(const char* title, JobProc worker, void* arg)
{
    if (!worker) return nullptr;
    CThread* thread = ThreadLauncher::Make(title, 0);
    ThreadLauncher::SetWork(thread, [worker, arg, caption = thread->GetTitle()] {
        try {
            worker(arg);
        } catch (...) {
            ReportEscaped(nullptr, caption);
        }
    });
    return ThreadLauncher::Start(thread);
}

CThread* Run(const char* title, MeterJobProc worker, void* arg)
{
    return StartMeterJob(title, worker, arg, nullptr, nullptr, nullptr);
}

CThread* Run(const char* title, MeterJobProc worker, void* arg, FinishProc finish, void* finishArg,
             FinishDisposer dispose)
{
    return StartMeterJob(title, worker, arg, finish, finishArg, dispose);
}

CThread* Run(const char* title, BaseMeterJobProc worker, CMeterInfoBase* meter, void* arg)
{
    if (!worker) return nullptr;
    CThread* thread = ThreadLauncher::Make(title, 0);
    if (meter) {
        meter->SetCaption(thread->GetTitle());
        meter->ShowMeter(TRUE);
        meter->SetThread(thread);
    }
    ThreadLauncher::SetWork(thread, [worker, meter, arg, caption = thread->GetTitle()] {
        bool escaped = false;
        try {
            worker(arg, meter);
        } catch (...) {
            escaped = true;
            ReportEscaped(nullptr, caption);
        }
        if (meter) meter->JobFinished(escaped ? 0 : 1);
    });
    CThread* started = ThreadLauncher::Start(thread);
    if (!started && meter) meter->JobFinished(0);  // the meter must not keep a thread that never ran
    return started;
}

CThread* RunEx(ThreadProc proc, void* arg, int priority)
{
    if (!proc) return nullptr;
    CThread* thread = ThreadLauncher::Make("", priority);
    // A preview reports its own failures to its dialog; whatever escapes it is dropped.
    ThreadLauncher::SetWork(thread, [proc, arg] {
        try {
            proc(arg);
        } catch (...) {
            CString ignored;
            CatchEscaped(ignored);
        }
    });
    return ThreadLauncher::Start(thread);
}

int GetRunningThreadCount()
{
    std::lock_guard lock(RunningLock());
    return Running().GetCount();
}
