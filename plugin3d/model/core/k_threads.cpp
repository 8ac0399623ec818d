#include "plugin3d/model/core/k_threads.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/forms/exceptions.h"
#include "platform/kernel/handles.h"
#include "plugin3d/model/core/k_objects_list.h"

IMPLEMENT_TCLASS(TKThreadParams, TPersistent)
IMPLEMENT_TCLASS(TKThread, TKCustomChangeObject)

namespace {

std::atomic<TKObjectsList*> g_threads{nullptr};

struct WorkerStart {
    TKThread* thread;
    HANDLE predecessor;
};

int Saturated(std::int64_t v)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

// --- TKThreadParams ----------------------------------------------------------------------------

TKThreadParams::~TKThreadParams()
{
    TKThreadParams::Clear();
}

TKThreadParams* TKThreadParams::NewWith(const void* data, int size)
{
    TKThreadParams* params = New();
    try {
        params->SetData(data, size);
    } catch (...) {
        params->Free();
        throw;
    }
    return params;
}

void TKThreadParams::Clear()
{
    m_data.reset();
    m_size = 0;
}

void TKThreadParams::SetData(const void* buffer, int size)
{
    if (size <= 0 || !buffer) {
        Clear();
        return;
    }
    try {
        auto copy = std::make_unique<std::byte[]>(static_cast<std::size_t>(size));
        std::memcpy(copy.get(), buffer, static_cast<std::size_t>(size));
        m_data = std::move(copy);
        m_size = size;
    } catch (const std::bad_alloc&) {
        Clear();
        throw EOutOfMemory();
    }
}

int TKThreadParams::GetData(void* buffer, int maxSize) const
{
    const int n = std::min(maxSize, m_size);
    if (n <= 0 || !buffer) return 0;
    std::memcpy(buffer, m_data.get(), static_cast<std::size_t>(n));
    return n;
}

void TKThreadParams::Assign(TPersistent* source)
{
    if (auto* other = ObjectAs<TKThreadParams>(source)) {
        if (other != this) SetData(other->Data(), other->Size());
        return;
    }
    TPersistent::Assign(source);
}

// --- TKThread ----------------------------------------------------------------------------------

TKObjectsList* ThreadsList()
{
    return g_threads.load(std::memory_order_acquire);
}

void TKThread::Init()
{
    TKCustomChangeObject::Init();
    m_gate = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    if (TKObjectsList* threads = ThreadsList()) threads->Add(this);
}

bool TKThread::OnOwnWorker() const
{
    const DWORD worker = m_workerId.load(std::memory_order_acquire);
    return worker != 0 && worker == GetCurrentThreadId();
}

void TKThread::Done()
{
    if (OnOwnWorker()) throw EInvalidOperation("A job cannot free the thread that runs it");
    TKCustomChangeObject::Done();
    Join();
}

TKThread::~TKThread()
{
    if (TKObjectsList* threads = ThreadsList()) threads->Remove(this);
    if (!OnOwnWorker()) Join();
    FreeParams(m_current.params);
    FreeParams(m_queued.params);
    if (m_gate) CloseHandle(m_gate);
}

void TKThread::FreeParams(TKThreadParams*& params)
{
    TKThreadParams* freed = params;
    params = nullptr;
    try {
        FreeObject(freed);
    } catch (...) {
        // A block that fails to go is forgotten; the job queue goes on.
    }
}

// Under the lock.
void TKThread::DropQueued()
{
    FreeParams(m_queued.params);
    m_queued = {};
}

// Under the lock: the waiting job becomes the current one, with its stop request clear.
void TKThread::TakeQueued()
{
    FreeParams(m_current.params);
    m_current = m_queued;
    m_queued = {};
    m_stop.store(false, std::memory_order_release);
}

void TKThread::Execute(bool interrupt, TKThreadParams* params, TKJob job)
{
    if (IsDestroying() || IsSynchronous() || !job) {
        FreeParams(params);
        return;
    }
    try {
        Lock();
    } catch (...) {
        FreeParams(params);
        throw;
    }
    struct Leave {
        TKThread* self;
        ~Leave() { self->Unlock(); }
    } leave{this};
    // Asked again under the lock: an ExecuteSync or the start of freeing may have come in
    // while this call waited for it. A worker started beside a synchronous job would free
    // the parameters that job still reads.
    if (IsDestroying() || IsSynchronous()) {
        FreeParams(params);
        return;
    }
    DropQueued();
    m_queued = {params, job};
    Start(interrupt);
}

void TKThread::Start(bool interrupt)
{
    TKObjectLock lock(*this);
    if (!m_queued.method) return;
    if (m_workerBusy) {
        // Only ever set here: a stop the running job has not seen yet stands.
        if (interrupt) m_stop.store(true, std::memory_order_release);
        return;
    }
    // A worker that took its last job may still be finishing: the new one waits for its end.
    auto* start = new WorkerStart{this, m_worker};
    DWORD id = 0;
    const HANDLE worker = CreateThread(nullptr, 0, &TKThread::WorkerMain, start, CREATE_SUSPENDED, &id);
    if (!worker) {
        delete start;  // the job stays queued
        return;
    }
    m_worker = worker;
    m_workerId.store(id, std::memory_order_release);
    m_workerBusy = true;
    TakeQueued();
    ResumeThread(worker);
}

DWORD TKThread::WorkerMain(void* arg)
{
    const WorkerStart start = *static_cast<WorkerStart*>(arg);
    delete static_cast<WorkerStart*>(arg);
    if (start.predecessor) {
        WaitForSingleObject(start.predecessor, INFINITE);
        CloseHandle(start.predecessor);
    }
    start.thread->WorkerLoop();
    return 0;
}

void TKThread::WorkerLoop()
{
    for (;;) {
        WaitForSingleObject(m_gate, INFINITE);
        int priority;
        {
            TKWaitingSectionGuard lock(LockSection());
            priority = m_priority;
        }
        SetThreadPriority(GetCurrentThread(), priority);
        RunJob();
        {
            TKWaitingSectionGuard lock(LockSection());
            if (m_queued.method && !IsDestroying()) {
                TakeQueued();
                continue;
            }
            m_workerBusy = false;
        }
        SetState(ktsIdle);
        return;
    }
}

// The job body, on the worker or in ExecuteSync's caller. Its exception never leaves it.
void TKThread::RunJob()
{
    Job job;
    {
        TKWaitingSectionGuard lock(LockSection());
        job = m_current;
    }
    m_jobThreadId.store(GetCurrentThreadId(), std::memory_order_release);
    m_startTick.store(GetTickCount(), std::memory_order_relaxed);
    {
        // Locks this thread takes from now on give up once the job's stop is requested.
        TKJobScope scope(&m_stop);
        m_inJob.store(true, std::memory_order_release);
        int end = ktsDone;
        try {
            SetState(ktsRunning);
            job.method(this, job.params);
        } catch (const EAbort&) {
            end = ktsCancelled;
        } catch (...) {
            end = IsStopRequested() ? ktsCancelled : ktsFailed;
        }
        m_inJob.store(false, std::memory_order_release);
        try {
            SetState(end);
        } catch (...) {
            // A failing state handler does not change how the job ended.
        }
    }
    m_jobThreadId.store(0, std::memory_order_release);
}

void TKThread::ExecuteSync(TKThreadParams* params, TKJob job)
{
    bool accepted = false;
    while (job && !IsDestroying()) {
        {
            TKObjectLock lock(*this);
            if (m_workerBusy || IsSynchronous() || IsDestroying()) break;
            if (!m_worker) {
                m_synchronous.store(true, std::memory_order_release);
                FreeParams(m_current.params);
                m_current = {params, job};
                DropQueued();
                m_stop.store(false, std::memory_order_release);
                accepted = true;
                break;
            }
        }
        // A worker that has taken its last job is only finishing: wait for its end.
        WaitForWorker(INFINITE);
    }
    if (!accepted) {
        FreeParams(params);
        return;
    }
    RunJob();
    m_synchronous.store(false, std::memory_order_release);
}

void TKThread::Stop()
{
    if (!IsDestroying()) m_stop.store(true, std::memory_order_release);
}

void TKThread::Terminate(DWORD timeoutMs)
{
    if (IsDestroying()) return;
    if (IsSynchronous() || OnOwnWorker()) throw EAbort();
    {
        TKObjectLock lock(*this);
        DropQueued();
        m_stop.store(true, std::memory_order_release);
        // A start held at the gate goes on, to find its stop request at once.
        m_suspended = false;
        SetEvent(m_gate);
    }
    // Waited for outside the lock, which the worker needs to finish.
    WaitForWorker(timeoutMs);
}

void TKThread::Join()
{
    {
        TKWaitingSectionGuard lock(LockSection());
        DropQueued();
        m_stop.store(true, std::memory_order_release);
        m_suspended = false;
        if (m_gate) SetEvent(m_gate);
    }
    WaitForWorker(INFINITE);
}

// True when no worker is left. The handle of a worker that ended is closed here; one that
// runs on after the time-out stays recorded, so the next job still waits for it and the
// destructor joins it.
bool TKThread::WaitForWorker(DWORD timeoutMs)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        HANDLE worker;
        {
            TKWaitingSectionGuard lock(LockSection());
            worker = m_worker;
        }
        if (!worker) return true;
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            if (elapsed >= timeoutMs) return false;
            wait = static_cast<DWORD>(timeoutMs - elapsed);
        }
        const DWORD result = WaitForSingleObject(worker, wait);
        if (result == WAIT_TIMEOUT) return false;
        TKWaitingSectionGuard lock(LockSection());
        if (m_worker != worker) continue;  // handed over to a successor meanwhile
        if (result != WAIT_OBJECT_0) return false;
        CloseHandle(worker);
        m_worker = nullptr;
        m_workerId.store(0, std::memory_order_release);
    }
}

void TKThread::Suspend()
{
    TKObjectLock lock(*this);
    m_suspended = true;
    ResetEvent(m_gate);
}

void TKThread::Resume()
{
    TKObjectLock lock(*this);
    m_suspended = false;
    SetEvent(m_gate);
}

bool TKThread::IsSuspended() const
{
    TKWaitingSectionGuard lock(LockSection());
    return m_suspended;
}

bool TKThread::HasWorker() const
{
    TKWaitingSectionGuard lock(LockSection());
    return m_worker != nullptr;
}

bool TKThread::HasQueuedJob() const
{
    TKWaitingSectionGuard lock(LockSection());
    return static_cast<bool>(m_queued.method);
}

bool TKThread::SetPriority(int priority)
{
    TKObjectLock lock(*this);
    if (m_workerBusy && !SetThreadPriority(m_worker, priority)) return false;
    m_priority = priority;
    return true;
}

int TKThread::Priority() const
{
    TKWaitingSectionGuard lock(LockSection());
    return m_priority;
}

bool TKThread::CheckTerminated()
{
    if (GetCurrentThreadId() != m_jobThreadId.load(std::memory_order_acquire)) return false;
    m_checkTick.store(GetTickCount(), std::memory_order_relaxed);
    if (m_inJob.load(std::memory_order_acquire) && IsStopRequested()) throw EAbort();
    return true;
}

void TKThread::SetState(int state)
{
    const bool known = state == ktsIdle || state == ktsRunning || state == ktsDone || state == ktsFailed ||
                       state == ktsCancelled;
    if (known && !IsDestroying()) {
        const int old = m_state.exchange(state, std::memory_order_acq_rel);
        if (old != state) StateChanged(old);
    }
    CheckTerminated();
}

void TKThread::SetStatusText(const std::string& text)
{
    if (!IsDestroying()) {
        bool changed;
        {
            TKObjectLock lock(*this);
            changed = m_statusText != text;
            if (changed) {
                m_statusText = text;
                m_statusTick.store(GetTickCount(), std::memory_order_relaxed);
            }
        }
        if (changed) StatusChanged();
    }
    CheckTerminated();
}

std::string TKThread::StatusText() const
{
    TKWaitingSectionGuard lock(LockSection());
    return m_statusText;
}

// Under the lock.
void TKThread::StoreProgress(std::int64_t pos)
{
    m_progressPos = Saturated(pos);
}

void TKThread::SetProgressRange(int min, int max, int pos)
{
    if (IsDestroying()) {
        CheckTerminated();
        return;
    }
    int progress;
    {
        TKObjectLock lock(*this);
        m_progressMin = min;
        m_progressMax = max;
        StoreProgress(pos);
        progress = min == max
                       ? 0
                       : Saturated((std::int64_t(m_progressPos) - min) * 1000000 / (std::int64_t(max) - min));
    }
    SetProgress(progress);
}

void TKThread::StepProgress(int n)
{
    if (IsDestroying()) {
        CheckTerminated();
        return;
    }
    int progress;
    {
        TKObjectLock lock(*this);
        StoreProgress(std::int64_t(m_progressPos) + n);
        progress = m_progressMin == m_progressMax
                       ? 0
                       : Saturated((std::int64_t(m_progressPos) - m_progressMin) * 1000000 /
                                   (std::int64_t(m_progressMax) - m_progressMin));
    }
    SetProgress(progress);
}

void TKThread::SetProgress(int value)
{
    if (!IsDestroying() && m_progress.exchange(value, std::memory_order_acq_rel) != value) ProgressChanged();
    CheckTerminated();
}

int TKThread::ProgressMin() const
{
    TKWaitingSectionGuard lock(LockSection());
    return m_progressMin;
}

int TKThread::ProgressMax() const
{
    TKWaitingSectionGuard lock(LockSection());
    return m_progressMax;
}

int TKThread::ProgressPos() const
{
    TKWaitingSectionGuard lock(LockSection());
    return m_progressPos;
}

void TKThread::StateChanged(int oldState)
{
    FireEvent(ktevState, oldState);
}

void TKThread::StatusChanged()
{
    FireEvent(ktevStatus, 0);
}

void TKThread::ProgressChanged()
{
    FireEvent(ktevProgress, Progress());
}

// --- unit --------------------------------------------------------------------------------------

namespace {

void StartThreads()
{
    g_threads.store(TKObjectsList::NewNamed("Global List of KThread"), std::memory_order_release);
}

// No worker outlives the library: each one still running is stopped and waited for.
void EndThreads()
{
    TKObjectsList* threads = g_threads.load(std::memory_order_acquire);
    if (!threads) return;
    for (TObject* item : threads->Snapshot())
        if (auto* thread = ObjectAs<TKThread>(item)) thread->Join();
    FreeObject(g_threads.exchange(nullptr, std::memory_order_acq_rel));
}

}  // namespace

const TUnitInfo kKThreadsUnit{"KThreads", StartThreads, EndThreads};
