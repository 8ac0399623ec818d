#include "platform/kernel/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/kernel/pause_gate.h"
#include "platform/last_error.h"

namespace {

// Timed waits use short timeouts and assert only on the answer, never on durations.
constexpr DWORD kShort = 20;
constexpr DWORD kGenerous = 10000;

TEST(Events, ManualResetReleasesEveryWaitUntilReset)
{
    HANDLE event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event, kShort), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Events, AutomaticResetReleasesOneWaitPerSet)
{
    HANDLE event = CreateEvent(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, kShort), WAIT_TIMEOUT);

    // Two waiting threads, one set: exactly one gets through until the second set.
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (WaitForSingleObject(event, kGenerous) == WAIT_OBJECT_0) ++released;
    };
    std::thread a(waiter), b(waiter);
    SetEvent(event);
    while (released.load() < 1) std::this_thread::yield();
    EXPECT_EQ(released.load(), 1);
    SetEvent(event);
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Events, WaitForAnyOrAllConsumesOnlyWhenSatisfied)
{
    HANDLE manual = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    const HANDLE both[] = {manual, automatic};

    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, kShort), WAIT_TIMEOUT);
    SetEvent(automatic);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);  // taken by the wait above

    SetEvent(automatic);
    // Wait-all with only one signalled must not take the automatic event.
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, kShort), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);

    SetEvent(automatic);
    SetEvent(manual);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(0, both, FALSE, 0), WAIT_FAILED);
    CloseHandle(manual);
    CloseHandle(automatic);
}

DWORD WaitThenReturn(LPVOID parameter)
{
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 77;
}

TEST(ThreadsTest, SuspendedStartWaitAndExitCode)
{
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, go, CREATE_SUSPENDED, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_IDLE));
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_IDLE);
    // An idle-class thread gets no processor while every core is busy (a parallel test
    // run), so it runs at normal priority for the rest of the test.
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_NORMAL));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(thread), 1u);
    // Running from its resume on, before the system may have scheduled it (as on a loaded
    // machine): running threads pause at a gate instead, and this one must not be held back.
    EXPECT_EQ(SuspendThread(thread), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(WaitForSingleObject(thread, kShort), WAIT_TIMEOUT);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, kGenerous), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 77u);
    CloseHandle(thread);
    CloseHandle(go);
}

TEST(ThreadsTest, PrioritiesNeverFailForLackOfPermission)
{
    for (int priority : {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
                         THREAD_PRIORITY_NORMAL}) {
        std::thread worker([priority] {
            EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), priority));
            EXPECT_EQ(GetThreadPriority(GetCurrentThread()), priority);
        });
        worker.join();
    }
    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), 99));
}

TEST(ThreadsTest, BeginThreadExRunsAndCriticalSectionIsReentrant)
{
    static CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    static int counter;
    counter = 0;  // the test may run repeated
    auto body = [](void*) -> unsigned {
        for (int i = 0; i < 1000; ++i) {
            EnterCriticalSection(&section);
            EnterCriticalSection(&section);  // the owner may enter again
            ++counter;
            LeaveCriticalSection(&section);
            LeaveCriticalSection(&section);
        }
        return 5;
    };
    HANDLE threads[4];
    for (HANDLE& thread : threads) {
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, nullptr, 0, nullptr));
        ASSERT_NE(thread, nullptr);
    }
    EXPECT_EQ(WaitForMultipleObjects(4, threads, TRUE, kGenerous), WAIT_OBJECT_0);
    EXPECT_EQ(counter, 4000);
    for (HANDLE thread : threads) {
        DWORD code = 0;
        GetExitCodeThread(thread, &code);
        EXPECT_EQ(code, 5u);
        CloseHandle(thread);
    }
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
}

// A zeroed section is a free one; while one thread holds it (twice), another's try fails
// and its enter waits until the last leave.
TEST(ThreadsTest, HeldCriticalSectionKeepsOtherThreadsOut)
{
    CRITICAL_SECTION section{};
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    std::atomic<int> stage{0};
    std::thread other([&] {
        stage = TryEnterCriticalSection(&section) ? -1 : 1;
        EnterCriticalSection(&section);
        stage = 2;
        LeaveCriticalSection(&section);
    });
    while (stage.load() == 0) std::this_thread::yield();
    EXPECT_EQ(stage.load(), 1);
    LeaveCriticalSection(&section);
    EXPECT_EQ(stage.load(), 1);  // still held once
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_EQ(stage.load(), 2);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
}

TEST(ThreadsTest, TickCountMovesForward)
{
    const ULONGLONG before = GetTickCount64();
    Sleep(2);
    EXPECT_GE(GetTickCount64(), before);
}

// Each thread sees its own value; a free clears every thread's value, so an index handed out
// again starts null everywhere (a library loaded again must not find its old pointers).
TEST(ThreadSlots, ValuesArePerThreadAndAFreeClearsThemAll)
{
    const DWORD index = TlsAlloc();
    ASSERT_NE(index, TLS_OUT_OF_INDEXES);
    int mine = 0;
    int theirs = 0;
    EXPECT_EQ(TlsGetValue(index), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ASSERT_TRUE(TlsSetValue(index, &mine));
    std::thread other([&] {
        EXPECT_EQ(TlsGetValue(index), nullptr);
        EXPECT_TRUE(TlsSetValue(index, &theirs));
        EXPECT_EQ(TlsGetValue(index), &theirs);
    });
    other.join();
    EXPECT_EQ(TlsGetValue(index), &mine);

    ASSERT_TRUE(TlsFree(index));
    EXPECT_EQ(TlsGetValue(index), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(TlsSetValue(index, &mine));
    EXPECT_FALSE(TlsFree(index));
    EXPECT_EQ(TlsAlloc(), index);  // the lowest free index
    EXPECT_EQ(TlsGetValue(index), nullptr);
    EXPECT_TRUE(TlsFree(index));
    EXPECT_EQ(TlsGetValue(TLS_OUT_OF_INDEXES), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(ThreadSlots, RunningOutIsAnError)
{
    std::vector<DWORD> taken;
    for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(index);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(taken.size(), TLS_MINIMUM_AVAILABLE);
    for (DWORD index : taken) EXPECT_TRUE(TlsFree(index));
}

TEST(PauseGateTest, WorkerStopsAtItsCheckpointUntilResumed)
{
    platform::PauseGate gate;
    std::atomic<long> steps{0};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop.load()) {
            gate.Checkpoint();
            ++steps;
        }
    });
    EXPECT_EQ(gate.Pause(), 0);
    EXPECT_EQ(gate.Pause(), 1);  // nested
    ASSERT_TRUE(gate.WaitUntilBlocked(1, kGenerous));
    const long frozen = steps.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(kShort));
    EXPECT_EQ(steps.load(), frozen);
    EXPECT_EQ(gate.Resume(), 2);
    EXPECT_TRUE(gate.IsPaused());
    EXPECT_EQ(gate.BlockedCount(), 1);
    EXPECT_EQ(gate.Resume(), 1);
    EXPECT_FALSE(gate.IsPaused());
    while (steps.load() == frozen) std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_EQ(gate.BlockedCount(), 0);
    EXPECT_EQ(gate.Resume(), 0);
}

}  // namespace
