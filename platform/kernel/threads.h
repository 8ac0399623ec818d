#pragma once

// Threads, events, waits, critical sections, sleeping and the tick count, as the suite's
// workers, previews and the 3D plug-in's job threads use them.

#include <atomic>
#include <cstdint>

#include "platform/kernel/handles.h"
#include "platform/kernel/slim_lock.h"
#include "platform/types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD CREATE_SUSPENDED = 0x4;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

/// Starts a thread running `start(parameter)`; with CREATE_SUSPENDED it waits for
/// ResumeThread. The handle is signalled when the thread has ended. Security attributes
/// and the stack size are accepted and ignored.
PLATFORM_API HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                                 LPVOID parameter, DWORD flags, DWORD* threadId);
/// The runtime library's form of CreateThread: returns the handle as an integer, 0 on failure.
PLATFORM_API std::uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned (*start)(void*),
                                           void* parameter, unsigned flags, unsigned* threadId);
/// Lets a thread created suspended run. Returns the previous suspend count, or
/// (DWORD)-1 on failure.
PLATFORM_API DWORD ResumeThread(HANDLE thread);
/// Raises the suspend count of a thread that has not started yet. A running thread cannot
/// be stopped from outside on this platform: that fails with ERROR_NOT_SUPPORTED (use a
/// platform::PauseGate the thread checks). A thread runs from the moment its count comes
/// to zero, scheduled or not, so the answer never depends on the system's timing.
PLATFORM_API DWORD SuspendThread(HANDLE thread);
/// The thread's return value, or STILL_ACTIVE while it runs.
PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
/// Ends the process at once with `exitCode`, from any thread. Buffered standard output is
/// flushed; no destructor, exit handler or window message runs (the process's windows,
/// threads and files are simply dropped, as an ended process's are).
[[noreturn]] PLATFORM_API void ExitProcess(UINT exitCode);
/// The pseudo-handle of the calling thread (valid only in that thread; needs no closing).
PLATFORM_API HANDLE GetCurrentThread();
/// A number that identifies the calling thread while it lives.
PLATFORM_API DWORD GetCurrentThreadId();
/// The process's id.
PLATFORM_API DWORD GetCurrentProcessId();
/// Sets a thread's priority. THREAD_PRIORITY_IDLE runs the thread only when a core is
/// otherwise idle; the other levels change its nice value where permitted. A level the
/// system does not let this process take is kept for GetThreadPriority without failing.
PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority);
PLATFORM_API int GetThreadPriority(HANDLE thread);

/// An event: manual-reset events stay signalled until ResetEvent; automatic ones release
/// one waiter and reset themselves. Names are accepted and ignored (no other process uses them).
PLATFORM_API HANDLE CreateEvent(void* security, BOOL manualReset, BOOL initialState, LPCSTR name);
PLATFORM_API BOOL SetEvent(HANDLE event);
PLATFORM_API BOOL ResetEvent(HANDLE event);
/// Sets and at once resets the event: releases the current waiters (all for a manual
/// event, one for an automatic event).
PLATFORM_API BOOL PulseEvent(HANDLE event);

/// Waits for an event or a thread's end. Returns WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
PLATFORM_API DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
/// Waits for one (waitAll FALSE: WAIT_OBJECT_0 + index of the first signalled) or all of
/// the objects; automatic events are consumed only by a wait that is satisfied.
PLATFORM_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll,
                                          DWORD milliseconds);

/// A re-entrant lock; the owning thread may enter it again and must leave as often. It lives
/// in the struct itself: a zeroed section is a free one, and entering it allocates nothing.
struct CRITICAL_SECTION {
    platform::SlimLock lock;
    std::atomic<std::uintptr_t> owner{0};  // the holding thread, 0 when free
    unsigned recursion = 0;                // entries of the owner, touched only by it
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

namespace platform {

/// The id a critical section keeps of the thread that holds it: the thread's own block,
/// read from a register (never 0).
inline std::uintptr_t SectionThreadId()
{
    return reinterpret_cast<std::uintptr_t>(__builtin_thread_pointer());
}

/// TryEnterCriticalSection, inline: a re-entry costs a compare and an increment, a free
/// section one atomic exchange. Code that enters sections at every step of a loop uses it.
inline bool TryEnterSection(CRITICAL_SECTION& section)
{
    const std::uintptr_t self = SectionThreadId();
    // Only this thread ever stores its own id, so a relaxed read that sees it is exact.
    if (section.owner.load(std::memory_order_relaxed) == self) {
        ++section.recursion;
        return true;
    }
    if (!section.lock.try_lock()) return false;
    section.owner.store(self, std::memory_order_relaxed);
    section.recursion = 1;
    return true;
}

/// LeaveCriticalSection, inline.
inline void LeaveSection(CRITICAL_SECTION& section)
{
    if (--section.recursion != 0) return;
    section.owner.store(0, std::memory_order_relaxed);
    section.lock.unlock();
}

}  // namespace platform
PLATFORM_API void InitializeCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount);
PLATFORM_API void DeleteCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void EnterCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
PLATFORM_API void LeaveCriticalSection(LPCRITICAL_SECTION section);

/// Per-thread slots: TlsAlloc hands out an index whose value starts as null in every thread;
/// each thread sets and reads its own value. TlsFree gives the index back and clears every
/// thread's value. The values live in the platform's own per-thread storage, which exists
/// from the program's start: a library loaded at run time keeps its per-thread values here,
/// since per-thread storage of its own would stay in every thread that touched it after the
/// library is unloaded (and one with a destructor keeps the library from unloading at all).
constexpr DWORD TLS_MINIMUM_AVAILABLE = 64;
constexpr DWORD TLS_OUT_OF_INDEXES = 0xFFFFFFFF;
/// A free index, or TLS_OUT_OF_INDEXES with ERROR_NO_MORE_ITEMS when all are taken.
PLATFORM_API DWORD TlsAlloc();
/// FALSE with ERROR_INVALID_PARAMETER for an index that is not allocated.
PLATFORM_API BOOL TlsFree(DWORD index);
/// The calling thread's value; a null value sets ERROR_SUCCESS, so a caller can tell it
/// from a bad index (null with ERROR_INVALID_PARAMETER).
PLATFORM_API LPVOID TlsGetValue(DWORD index);
PLATFORM_API BOOL TlsSetValue(DWORD index, LPVOID value);

PLATFORM_API void Sleep(DWORD milliseconds);
/// Milliseconds since the system started; wraps after about 49.7 days.
PLATFORM_API DWORD GetTickCount();
PLATFORM_API ULONGLONG GetTickCount64();
