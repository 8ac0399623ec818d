#pragma once

// Jobs and parameter blocks the thread tests run.

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "plugin3d/model/core/k_threads.h"

namespace kelvora::test {

/// A parameter block that counts how many were made and freed.
class CountedParams : public TKThreadParams {
public:
    static inline std::atomic<int> made{0};
    static inline std::atomic<int> freed{0};
    explicit CountedParams(const std::string& text)
    {
        ++made;
        SetData(text.data(), static_cast<int>(text.size()));
    }
    ~CountedParams() override { ++freed; }
    std::string Text() const { return std::string(static_cast<const char*>(Data()), std::size_t(Size())); }
};

/// Jobs, each a member run as a TKJob.
struct Jobs {
    std::atomic<bool> release{false};
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::mutex mutex;
    std::vector<std::string> ran;  // the text of each quick job's params

    /// Checks for a stop until released.
    void Checking(TKThread* thread, TKThreadParams*)
    {
        ++started;
        while (!release) {
            thread->Check();
            Sleep(1);
        }
        ++finished;
    }
    /// Checks for a stop only once told to, then until released: what happens between a
    /// stop and the job's next check cannot depend on how fast the job runs.
    void ChecksWhenAsked(TKThread* thread, TKThreadParams*)
    {
        ++started;
        while (!checkNow) Sleep(1);
        while (!release) {
            thread->Check();
            Sleep(1);
        }
        ++finished;
    }
    std::atomic<bool> checkNow{false};
    /// Never checks: runs until released.
    void Deaf(TKThread*, TKThreadParams*)
    {
        ++started;
        while (!release) Sleep(1);
        ++finished;
    }
    void Quick(TKThread*, TKThreadParams* params)
    {
        std::lock_guard lock(mutex);
        ran.push_back(params ? static_cast<CountedParams*>(params)->Text() : "");
    }
    void Failing(TKThread*, TKThreadParams*) { throw Exception("the job failed"); }
    void StopsThenFails(TKThread* thread, TKThreadParams*)
    {
        thread->Stop();
        throw Exception("the job failed after a stop");
    }
    std::vector<std::string> Ran()
    {
        std::lock_guard lock(mutex);
        return ran;
    }

    template <void (Jobs::*Member)(TKThread*, TKThreadParams*)>
    TKJob Job()
    {
        return TKJob::Of<Member>(this);
    }
};

/// The calling thread's system id.
inline pid_t CurrentSystemThread()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

/// Whether the system thread tid of this process sleeps in a blocking call (a lock, a wait).
inline bool IsBlocked(pid_t tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    // The state follows the name, which stands in parentheses and may hold blanks.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return false;
    const char state = line[close + 2];
    return state == 'S' || state == 'D';
}

/// The states a thread went through, as its 4098 events told them.
class StateLog {
public:
    void OnEvent(TObject* sender, int code, std::intptr_t)
    {
        if (code != ktevState) return;
        std::lock_guard lock(m_mutex);
        m_states.push_back(static_cast<TKThread*>(sender)->State());
    }
    TKEventHandler Handler() { return TKEventHandler::Of<&StateLog::OnEvent>(this); }
    std::vector<int> States()
    {
        std::lock_guard lock(m_mutex);
        return m_states;
    }

private:
    std::mutex m_mutex;
    std::vector<int> m_states;
};

}  // namespace kelvora::test
