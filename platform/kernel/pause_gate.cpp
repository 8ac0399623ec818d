#include "platform/kernel/pause_gate.h"

#include <chrono>

namespace platform {
namespace {
thread_local PauseGate* t_gate = nullptr;
}  // namespace

void SetThreadPauseGate(PauseGate* gate)
{
    t_gate = gate;
}

PauseGate* ThreadPauseGate()
{
    return t_gate;
}

int PauseGate::Pause()
{
    std::lock_guard lock(m_mutex);
    return m_pauseCount++;
}

int PauseGate::Resume()
{
    int previous;
    {
        std::lock_guard lock(m_mutex);
        previous = m_pauseCount;
        if (m_pauseCount > 0) --m_pauseCount;
    }
    m_changed.notify_all();
    return previous;
}

bool PauseGate::IsPaused() const
{
    std::lock_guard lock(m_mutex);
    return m_pauseCount > 0;
}

void PauseGate::Checkpoint()
{
    std::unique_lock lock(m_mutex);
    if (m_pauseCount == 0) return;
    ++m_blocked;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_pauseCount == 0; });
    --m_blocked;
}

int PauseGate::BlockedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_blocked;
}

bool PauseGate::WaitUntilBlocked(int count, DWORD milliseconds) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [&] { return m_blocked >= count; });
}

}  // namespace platform
