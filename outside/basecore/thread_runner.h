#pragma once

// The thread runner: every long piece of work runs on a worker thread started here.
//
// Jobs with a meter get the progress window (title, tasks, text, bar, Stop). The user's
// Stop makes the job's next progress call raise the cancel error (code 11). When the
// worker has returned, the runner closes the window and, on the user-interface thread,
// calls the completion function if the job succeeded. A job counts as failed when an
// exception left the worker, when it was cancelled, when it put a task in the error
// state or when it called DeleteOnClose. After a failed job the completion function is
// not called and the completion parameter is disposed of instead: deleted as the type
// it was passed as (typed form below) or handed to the given disposer.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>

#include "outside/basecore/thread_list.h"
#include "platform/kernel/pause_gate.h"
#include "platform/kernel/threads.h"
#include "platform/cstring.h"
#include "platform/types.h"

class CMeterInfoBase;
class CMeterInfo;

/// A thread started by the runner. It frees itself on the user-interface thread after
/// its work has ended; callers keep no pointer to it beyond a meter's job.
class CThread {
public:
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    const CString& GetTitle() const { return m_title; }
    int GetPriority() const { return m_priority; }

    /// Holds the thread at its next pause gate (a meter's progress call) until ResumeThread.
    void SuspendThread();
    void ResumeThread();
    /// Called by meters on the worker's thread: waits while the thread is suspended.
    /// Does nothing on threads the runner did not start.
    static void PauseGate();
    /// Waits until `threads` threads are held by the suspension, at most `milliseconds`;
    /// true when they are. For a controller that must know the work has stopped.
    bool WaitUntilHeld(int threads, DWORD milliseconds) const
    {
        return m_gate.WaitUntilBlocked(threads, milliseconds);
    }
    /// The runner's thread this code runs on, or null.
    static CThread* GetCurrent();

private:
    friend struct ThreadLauncher;
    CThread(CString title, int priority);
    bool Start();
    void Body();

    CString m_title;
    int m_priority;
    std::thread m_thread;
    platform::PauseGate m_gate;
    std::function<void()> m_work;      // on the worker thread
    std::function<void()> m_finished;  // on the user-interface thread, after the worker
};

// Every form returns the started thread, or null when no worker was given or the system
// gave no thread (a job that never ran counts as failed: its completion parameter is
// disposed of; its own record stays with the caller).

using JobProc = void (*)(void* arg);
using MeterJobProc = void (*)(void* arg, CMeterInfo* meter);
using BaseMeterJobProc = void (*)(void* arg, CMeterInfoBase* meter);
using FinishProc = void (*)(void* finishArg);
using FinishDisposer = void (*)(void* finishArg);
using ThreadProc = UINT (*)(LPVOID arg);

/// Runs worker(arg) on a new thread without a meter.
CThread* Run(const char* title, JobProc worker, void* arg);
/// Runs worker(arg, meter) on a new thread with the progress window titled `title`.
CThread* Run(const char* title, MeterJobProc worker, void* arg);
/// As above; after a successful job calls finish(finishArg) on the user-interface thread,
/// after a failed or cancelled one calls dispose(finishArg) there instead (when given).
CThread* Run(const char* title, MeterJobProc worker, void* arg, FinishProc finish, void* finishArg,
             FinishDisposer dispose);
/// The form processing jobs use: `finishArg` is owned by `finish` after a successful job
/// and deleted as a `P` after a failed or cancelled one.
template <class P>
CThread* Run(const char* title, MeterJobProc worker, void* arg, FinishProc finish, P* finishArg)
{
    static_assert(!std::is_void_v<P>,
                  "pass the completion parameter as its own type, or give Run a disposer");
    return Run(title, worker, arg, finish, static_cast<void*>(finishArg),
               [](void* p) { delete static_cast<P*>(p); });
}
inline CThread* Run(const char* title, MeterJobProc worker, void* arg, FinishProc finish, std::nullptr_t)
{
    return Run(title, worker, arg, finish, static_cast<void*>(nullptr), nullptr);
}
/// Runs worker(arg, meter) with the caller's meter: shows it, gives it the thread before
/// the job starts and reports the job's end (JobFinished) on the job's thread.
CThread* Run(const char* title, BaseMeterJobProc worker, CMeterInfoBase* meter, void* arg);

/// Starts proc(arg) on a bare thread at `priority` (THREAD_PRIORITY_IDLE, -15, for previews).
CThread* RunEx(ThreadProc proc, void* arg, int priority);

/// How many threads of the runner have not ended yet (a thread ends after its
/// completion has run on the user-interface thread).
int GetRunningThreadCount();
