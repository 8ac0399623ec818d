#pragma once

// Where the system would suspend a thread from outside, our threads pause themselves: the
// controlling side closes the gate and the worker blocks at its next checkpoint (a
// progress call), so it never stops while holding a lock or half-way through a write.

#include <condition_variable>
#include <mutex>

#include "platform/types.h"

namespace platform {

class PLATFORM_API PauseGate {
public:
    /// Closes the gate (nested: as many Resume calls open it again). Returns the previous count.
    int Pause();
    /// Opens the gate one level; at zero every blocked checkpoint goes on. Returns the
    /// previous count.
    int Resume();
    bool IsPaused() const;
    /// Returns at once while the gate is open; blocks the calling thread while it is closed.
    void Checkpoint();
    /// Number of threads blocked in Checkpoint right now.
    int BlockedCount() const;
    /// Waits until at least `count` threads are blocked in Checkpoint, at most `milliseconds`;
    /// true when they are. For a controller that must know the worker has stopped.
    bool WaitUntilBlocked(int count, DWORD milliseconds) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    int m_pauseCount = 0;
    int m_blocked = 0;
};

/// The pause gate of the work this thread runs; null when it has none. The band engine's
/// helpers wait at the gate of the thread that started the job before each band they take
/// for it. The code that starts a thread's work sets it (the core library's jobs do) and
/// clears it when the work ends.
PLATFORM_API void SetThreadPauseGate(PauseGate* gate);
PLATFORM_API PauseGate* ThreadPauseGate();

}  // namespace platform
