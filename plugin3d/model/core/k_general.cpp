#include "plugin3d/model/core/k_general.h"

#include <thread>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_objects_list.h"

namespace {

// Zero-initialised: usable before the unit starts (the platform makes the lock on first use).
CRITICAL_SECTION g_treeLock;
std::atomic<std::uint64_t> g_changeObjects{0};
std::atomic<TKObjectsList*> g_lists{nullptr};
thread_local const std::atomic<bool>* t_jobStop = nullptr;

void StartGeneral()
{
    g_changeObjects = 0;
    g_lists = TKObjectsList::NewNamed("Global List of KObjectsList");
}

void EndGeneral()
{
    FreeObject(g_lists.exchange(nullptr));
    // The platform makes the lock again should a tree outlive the unit.
    DeleteCriticalSection(&g_treeLock);
}

}  // namespace

const TUnitInfo kKGeneralUnit{"KGeneral", StartGeneral, EndGeneral};

void EnterSection(CRITICAL_SECTION& section)
{
    if (TryEnterCriticalSection(&section)) return;
    const std::atomic<bool>* stop = t_jobStop;
    if (!stop) {
        EnterCriticalSection(&section);
        return;
    }
    // Contention is rare; short slices keep the answer to a stop request quick.
    for (int round = 0;; ++round) {
        if (stop->load(std::memory_order_acquire)) throw EAbort();
        if (TryEnterCriticalSection(&section)) return;
        if (round < 64)
            std::this_thread::yield();
        else
            Sleep(1);
    }
}

void EnterSectionWaiting(CRITICAL_SECTION& section)
{
    EnterCriticalSection(&section);
}

TKJobScope::TKJobScope(const std::atomic<bool>* stop) : m_previous(t_jobStop)
{
    t_jobStop = stop;
}

TKJobScope::~TKJobScope()
{
    t_jobStop = m_previous;
}

const std::atomic<bool>* CurrentJobStop()
{
    return t_jobStop;
}

CRITICAL_SECTION& TreeLock()
{
    return g_treeLock;
}

std::uint64_t NextChangeObjectNumber()
{
    return g_changeObjects.fetch_add(1, std::memory_order_relaxed) + 1;
}

TKObjectsList* ObjectsListsList()
{
    return g_lists.load(std::memory_order_acquire);
}
