#pragma once

// SlimLock: a lock for the few instructions that guard a table or a counter, and the core of
// the critical sections. Taking it free costs one atomic exchange, where a pthread mutex
// costs a call and several; a thread that finds it held sleeps on it, so a long hold wastes
// no processor. A zeroed lock is a free one.

#include <atomic>

namespace platform {

class SlimLock {
public:
    SlimLock() = default;
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

    void lock()
    {
        unsigned seen = 0;
        if (!m_state.compare_exchange_strong(seen, 1, std::memory_order_acquire, std::memory_order_relaxed))
            Wait(seen);
    }
    bool try_lock()
    {
        unsigned seen = 0;
        return m_state.compare_exchange_strong(seen, 1, std::memory_order_acquire, std::memory_order_relaxed);
    }
    void unlock()
    {
        if (m_state.exchange(0, std::memory_order_release) == 2) m_state.notify_one();
    }

private:
    // Marks the lock waited for, so that its holder wakes a sleeper when it leaves.
    void Wait(unsigned seen)
    {
        if (seen != 2) seen = m_state.exchange(2, std::memory_order_acquire);
        while (seen != 0) {
            m_state.wait(2, std::memory_order_relaxed);
            seen = m_state.exchange(2, std::memory_order_acquire);
        }
    }

    std::atomic<unsigned> m_state{0};  // 0 free, 1 held, 2 held and waited for
};

}  // namespace platform
