#include "platform/kernel/threads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/kernel_object.h"
#include "platform/last_error.h"

namespace {

using platform::KernelObject;

// The code the system gives a thread ended by a C++ exception.
constexpr DWORD kUncaughtExceptionCode = 0xE06D7363;

// Every waitable object keeps its state under this one lock and wakes waiters through one
// condition; that makes waits on several objects at once simple and exact. Events and
// thread ends are rare enough in the suite that the shared wake-ups cost nothing.
std::mutex& WaitMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::condition_variable& WaitCondition()
{
    static auto* condition = new std::condition_variable;
    return *condition;
}

class Waitable : public KernelObject {
public:
    /// Both called with WaitMutex() held.
    virtual bool IsSignalled() const = 0;
    virtual void Consume() {}
};

class EventObject final : public Waitable {
public:
    EventObject(bool manual, bool signalled) : m_manual(manual), m_signalled(signalled) {}
    bool IsSignalled() const override { return m_signalled; }
    void Consume() override
    {
        if (!m_manual) m_signalled = false;
    }
    void Set(bool signalled) { m_signalled = signalled; }
    bool IsManual() const { return m_manual; }

private:
    const bool m_manual;
    bool m_signalled;
};

DWORD NewThreadId()
{
    static std::atomic<DWORD> next{1};
    return next.fetch_add(1);
}

thread_local DWORD t_threadId = 0;
thread_local int t_priority = THREAD_PRIORITY_NORMAL;

class ThreadObject final : public Waitable {
public:
    bool IsSignalled() const override { return m_finished; }

    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    DWORD id = 0;
    // Guarded by WaitMutex():
    int suspendCount = 0;
    // Set when the suspend count first comes to zero: from then on the thread counts as
    // running, whether or not the system has scheduled it yet.
    bool released = false;
    bool started = false;
    bool m_finished = false;
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;
    pthread_t pthread{};
    pid_t tid = 0;
};

pid_t CurrentTid()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

int NiceFor(int priority)
{
    if (priority >= THREAD_PRIORITY_TIME_CRITICAL) return -15;
    if (priority >= THREAD_PRIORITY_HIGHEST) return -10;
    if (priority >= THREAD_PRIORITY_ABOVE_NORMAL) return -5;
    if (priority >= THREAD_PRIORITY_NORMAL) return 0;
    if (priority >= THREAD_PRIORITY_BELOW_NORMAL) return 5;
    return 10;
}

// Best effort: the system may refuse a higher priority to an unprivileged process; the
// thread then runs at what it has, and the caller is not told, as the suite cannot act on it.
void ApplyPriority(pthread_t thread, pid_t tid, int priority)
{
    sched_param param{};
    param.sched_priority = 0;
    if (priority <= THREAD_PRIORITY_IDLE) {
        ::pthread_setschedparam(thread, SCHED_IDLE, &param);
        return;
    }
    int policy = SCHED_OTHER;
    sched_param current{};
    if (::pthread_getschedparam(thread, &policy, &current) == 0 && policy != SCHED_OTHER)
        ::pthread_setschedparam(thread, SCHED_OTHER, &param);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(priority));
}

void RunThread(std::shared_ptr<ThreadObject> self)
{
    {
        std::unique_lock lock(WaitMutex());
        WaitCondition().wait(lock, [&] { return self->suspendCount == 0; });
        self->started = true;
        self->pthread = ::pthread_self();
        self->tid = CurrentTid();
        t_threadId = self->id;
        t_priority = self->priority;
        if (self->priority != THREAD_PRIORITY_NORMAL) ApplyPriority(self->pthread, self->tid, self->priority);
    }
    DWORD code;
    try {
        code = self->start(self->parameter);
    } catch (...) {
        // An exception leaving a thread would end the process; the thread ends failed instead.
        std::fputs("tarvenix: an exception left a worker thread\n", stderr);
        code = kUncaughtExceptionCode;
    }
    {
        std::lock_guard lock(WaitMutex());
        self->exitCode = code;
        self->m_finished = true;
    }
    WaitCondition().notify_all();
}

const HANDLE kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

}  // namespace

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD* threadId)
{
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    object->start = start;
    object->parameter = parameter;
    object->id = NewThreadId();
    object->suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;
    object->released = object->suspendCount == 0;
    try {
        std::thread(RunThread, object).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId) *threadId = object->id;
    return platform::RegisterHandle(std::move(object));
}

namespace {
struct BeginThreadArgs {
    unsigned (*start)(void*);
    void* parameter;
};

DWORD BeginThreadTrampoline(LPVOID raw)
{
    const BeginThreadArgs args = *static_cast<BeginThreadArgs*>(raw);
    delete static_cast<BeginThreadArgs*>(raw);
    return args.start(args.parameter);
}
}  // namespace

std::uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned (*start)(void*), void* parameter,
                              unsigned flags, unsigned* threadId)
{
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto* args = new BeginThreadArgs{start, parameter};
    DWORD id = 0;
    HANDLE handle = CreateThread(security, stackSize, BeginThreadTrampoline, args, flags, &id);
    if (!handle) {
        delete args;
        return 0;
    }
    if (threadId) *threadId = id;
    return reinterpret_cast<std::uintptr_t>(handle);
}

DWORD ResumeThread(HANDLE thread)
{
    auto object = platform::LookupHandle<ThreadObject>(thread);
    if (!object) return static_cast<DWORD>(-1);
    DWORD previous;
    {
        std::lock_guard lock(WaitMutex());
        previous = static_cast<DWORD>(object->suspendCount);
        if (object->suspendCount > 0 && --object->suspendCount == 0) object->released = true;
    }
    WaitCondition().notify_all();
    return previous;
}

DWORD SuspendThread(HANDLE thread)
{
    auto object = platform::LookupHandle<ThreadObject>(thread);
    if (!object) return static_cast<DWORD>(-1);
    std::lock_guard lock(WaitMutex());
    if (object->released) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return static_cast<DWORD>(-1);
    }
    return static_cast<DWORD>(object->suspendCount++);
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode)
{
    auto object = platform::LookupHandle<ThreadObject>(thread);
    if (!object || !exitCode) {
        if (object) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(WaitMutex());
    *exitCode = object->exitCode;
    return TRUE;
}

HANDLE GetCurrentThread()
{
    return kCurrentThreadPseudoHandle;
}

DWORD GetCurrentThreadId()
{
    if (t_threadId == 0) t_threadId = NewThreadId();
    return t_threadId;
}

DWORD GetCurrentProcessId()
{
    return DWORD(::getpid());
}

BOOL SetThreadPriority(HANDLE thread, int priority)
{
    if (priority < THREAD_PRIORITY_IDLE || priority > THREAD_PRIORITY_TIME_CRITICAL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (thread == kCurrentThreadPseudoHandle) {
        t_priority = priority;
        ApplyPriority(::pthread_self(), CurrentTid(), priority);
        return TRUE;
    }
    auto object = platform::LookupHandle<ThreadObject>(thread);
    if (!object) return FALSE;
    std::lock_guard lock(WaitMutex());
    object->priority = priority;
    // A thread that has not started takes its priority when it starts.
    if (object->started && !object->m_finished) ApplyPriority(object->pthread, object->tid, priority);
    return TRUE;
}

int GetThreadPriority(HANDLE thread)
{
    if (thread == kCurrentThreadPseudoHandle) return t_priority;
    auto object = platform::LookupHandle<ThreadObject>(thread);
    if (!object) return THREAD_PRIORITY_ERROR_RETURN;
    std::lock_guard lock(WaitMutex());
    return object->priority;
}

HANDLE CreateEvent(void*, BOOL manualReset, BOOL initialState, LPCSTR)
{
    return platform::RegisterHandle(
        std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

namespace {
BOOL ChangeEvent(HANDLE event, bool signalled, bool pulse)
{
    auto object = platform::LookupHandle<EventObject>(event);
    if (!object) return FALSE;
    {
        std::lock_guard lock(WaitMutex());
        object->Set(signalled);
    }
    if (signalled) WaitCondition().notify_all();
    if (pulse) {
        // Waiters woken above re-check under the lock; give them one chance to take the
        // event before it goes down again.
        std::this_thread::yield();
        std::lock_guard lock(WaitMutex());
        object->Set(false);
    }
    return TRUE;
}
}  // namespace

BOOL SetEvent(HANDLE event)
{
    return ChangeEvent(event, true, false);
}
BOOL ResetEvent(HANDLE event)
{
    return ChangeEvent(event, false, false);
}
BOOL PulseEvent(HANDLE event)
{
    return ChangeEvent(event, true, true);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = platform::LookupHandle<Waitable>(handles[i]);
        if (!object) return WAIT_FAILED;
        objects.push_back(std::move(object));
    }

    auto firstReady = [&]() -> int {
        if (waitAll) {
            for (const auto& object : objects)
                if (!object->IsSignalled()) return -1;
            return 0;
        }
        for (std::size_t i = 0; i < objects.size(); ++i)
            if (objects[i]->IsSignalled()) return static_cast<int>(i);
        return -1;
    };
    auto take = [&](int index) -> DWORD {
        if (waitAll) {
            for (const auto& object : objects) object->Consume();
        } else {
            objects[static_cast<std::size_t>(index)]->Consume();
        }
        return WAIT_OBJECT_0 + static_cast<DWORD>(index);
    };

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(WaitMutex());
    for (;;) {
        const int ready = firstReady();
        if (ready >= 0) return take(ready);
        if (milliseconds == 0) return WAIT_TIMEOUT;
        if (milliseconds == INFINITE) {
            WaitCondition().wait(lock);
        } else if (WaitCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            const int last = firstReady();
            return last >= 0 ? take(last) : WAIT_TIMEOUT;
        }
    }
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

void InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    section->owner.store(0, std::memory_order_relaxed);
    section->recursion = 0;
}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD)
{
    InitializeCriticalSection(section);
    return TRUE;
}

void DeleteCriticalSection(LPCRITICAL_SECTION)
{
    // Nothing is held outside the struct.
}

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    if (platform::TryEnterSection(*section)) return;
    section->lock.lock();
    section->owner.store(platform::SectionThreadId(), std::memory_order_relaxed);
    section->recursion = 1;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section)
{
    return platform::TryEnterSection(*section) ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    platform::LeaveSection(*section);
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

ULONGLONG GetTickCount64()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}

void ExitProcess(UINT exitCode)
{
    std::fflush(nullptr);
    ::_exit(static_cast<int>(exitCode));
}
