#pragma once

// Job threads (unit KThreads). A TKThread runs one job at a time on a worker thread of its
// own, with at most one more job waiting, and reports state, a status text and progress
// as events: 4096 progress (param: the new progress), 4097 status text, 4098 state (param:
// the previous state).
//
// A job is a method (object, member) called as member(thread, params). It reports through
// SetStatusText, SetProgressRange, StepProgress and Check; each of them raises EAbort
// inside the job once a stop was requested, which ends the job in state 5.
//
// One worker per TKThread, always: a job queued while the worker runs waits for it, also
// after Terminate has given up waiting. A TKThread is never freed under its worker: freeing
// it stops the job and waits for the worker's end.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "platform/forms/method.h"
#include "platform/forms/units.h"
#include "plugin3d/model/core/k_change_object.h"

class TKObjectsList;

/// The owned block of bytes handed to a job.
class TKThreadParams : public TPersistent {
    DECLARE_TCLASS(TKThreadParams)

    TKThreadParams() = default;
    ~TKThreadParams() override;
    /// A new block holding a copy of size bytes of data.
    static TKThreadParams* NewWith(const void* data, int size);

    // Slot 3. Frees the block.
    virtual void Clear();
    // Slot 4. size > 0: the block becomes a copy of size bytes of buffer; else Clear. When
    // the memory cannot be had the block is cleared and EOutOfMemory raised.
    virtual void SetData(const void* buffer, int size);
    // Slot 5. Copies min(maxSize, Size) bytes into buffer; returns them.
    virtual int GetData(void* buffer, int maxSize) const;
    /// From another TKThreadParams by SetData.
    void Assign(TPersistent* source) override;

    const void* Data() const { return m_data.get(); }
    int Size() const { return m_size; }

private:
    std::unique_ptr<std::byte[]> m_data;
    int m_size = 0;
};

class TKThread;
/// A job: called on the job's thread with the thread and its parameters (which the thread owns).
using TKJob = TMethod<void(TKThread* thread, TKThreadParams* params)>;

/// TKThread::State values.
enum TKThreadState : int { ktsIdle = 0, ktsRunning = 1, ktsDone = 2, ktsFailed = 4, ktsCancelled = 5 };
/// TKThread's events.
enum TKThreadEvent : int { ktevProgress = 4096, ktevStatus = 4097, ktevState = 4098 };

class TKThread : public TKCustomChangeObject {
    DECLARE_TCLASS(TKThread)

    /// Joins "Global List of KThread".
    void Init() override;
    /// Announces the end (event 3), then stops the job and waits for the worker. Raises
    /// EInvalidOperation on the thread's own worker: a job cannot free the thread that runs it.
    void Done() override;

    /// Queues job with params (owned by the thread from here on, also when the call is
    /// ignored: while destroying, during ExecuteSync, or for an empty job). A job still
    /// waiting is dropped and its parameters freed. With interrupt, a running job is asked
    /// to stop; without, a stop already asked for stands.
    void Execute(bool interrupt, TKThreadParams* params, TKJob job);
    /// Runs job in the calling thread with the same states and checks; only while no worker
    /// takes jobs (otherwise params are freed and nothing runs). Does not return to state 0.
    void ExecuteSync(TKThreadParams* params, TKJob job);
    /// Asks the running job to stop: it ends at its next check.
    void Stop();
    /// Drops the waiting job, stops the running one (releasing a suspended start) and waits
    /// for the worker's end, at most timeoutMs (INFINITE: however long). On the worker itself
    /// or during ExecuteSync it raises EAbort at once.
    void Terminate(DWORD timeoutMs);
    /// Closes the start gate: a job that starts from now on waits (a running job is not
    /// suspended).
    void Suspend();
    /// Opens the start gate.
    void Resume();
    /// Drops the waiting job, stops the running one and waits for the worker's end however
    /// long it takes.
    void Join();

    /// Stored when there is no worker, or when the system takes it for the worker.
    bool SetPriority(int priority);
    int Priority() const;

    // Setters a job reports through: each raises EAbort in the job once a stop was requested.
    void SetState(int state);
    void SetStatusText(const std::string& text);
    /// Progress becomes (pos - min) millionths of (max - min), computed in 64 bits (0 for
    /// min = max; no clamp at 1,000,000).
    void SetProgressRange(int min, int max, int pos);
    void StepProgress(int n);
    void SetProgress(int value);
    bool Check() { return CheckTerminated(); }

    // Slots 20-24.
    virtual void StateChanged(int oldState);
    virtual void StatusChanged();
    virtual void ProgressChanged();
    /// On the job's own thread: records the check and raises EAbort when a stop was
    /// requested; true. On other threads: false, nothing checked.
    virtual bool CheckTerminated();
    /// Starts the waiting job: on a new worker, or, while the worker runs, when it finishes
    /// (interrupt asks the running job to stop).
    virtual void Start(bool interrupt);

    int State() const { return m_state.load(std::memory_order_acquire); }
    std::string StatusText() const;
    int Progress() const { return m_progress.load(std::memory_order_acquire); }
    int ProgressMin() const;
    int ProgressMax() const;
    int ProgressPos() const;
    bool IsStopRequested() const { return m_stop.load(std::memory_order_acquire); }
    bool IsSuspended() const;
    bool IsSynchronous() const { return m_synchronous.load(std::memory_order_acquire); }
    /// A worker thread exists (taking jobs, finishing, or given up by Terminate).
    bool HasWorker() const;
    /// A job is waiting.
    bool HasQueuedJob() const;
    DWORD StartTick() const { return m_startTick.load(std::memory_order_relaxed); }
    DWORD StatusTick() const { return m_statusTick.load(std::memory_order_relaxed); }
    DWORD CheckTick() const { return m_checkTick.load(std::memory_order_relaxed); }

protected:
    ~TKThread() override;

private:
    struct Job {
        TKThreadParams* params = nullptr;
        TKJob method;
    };
    static DWORD WorkerMain(void* start);
    void WorkerLoop();
    void RunJob();
    void TakeQueued();
    void DropQueued();
    bool WaitForWorker(DWORD timeoutMs);
    bool OnOwnWorker() const;
    void StoreProgress(std::int64_t pos);
    static void FreeParams(TKThreadParams*& params);

    HANDLE m_worker = nullptr;
    std::atomic<DWORD> m_workerId{0};
    bool m_workerBusy = false;
    std::atomic<bool> m_stop{false};
    bool m_suspended = false;
    HANDLE m_gate = nullptr;
    int m_priority = 0;
    std::atomic<bool> m_synchronous{false};
    std::string m_statusText;
    std::atomic<int> m_state{ktsIdle};
    std::atomic<int> m_progress{0};
    int m_progressMin = 0;
    int m_progressMax = 0;
    int m_progressPos = 0;
    std::atomic<DWORD> m_startTick{0};
    std::atomic<DWORD> m_statusTick{0};
    std::atomic<DWORD> m_checkTick{0};
    std::atomic<DWORD> m_jobThreadId{0};
    std::atomic<bool> m_inJob{false};
    Job m_current;
    Job m_queued;
};

/// "Global List of KThread" while the unit runs, else null.
TKObjectsList* ThreadsList();

/// Unit KThreads: the list of threads; its end waits for every worker still there.
extern const TUnitInfo kKThreadsUnit;
