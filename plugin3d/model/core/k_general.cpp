#include "plugin3d/model/core/k_general.h"

#include <thread>
#include <utility>

#include "platform/forms/exceptions.h"
#include "platform/last_error.h"
#include "plugin3d/model/core/k_objects_list.h"

namespace {

// Zero-initialised: usable before the unit starts (the platform makes the lock on first use).
CRITICAL_SECTION g_treeLock;
std::atomic<std::uint64_t> g_changeObjects{0};
std::atomic<TKObjectsList*> g_lists{nullptr};
// The platform's slots of the per-thread values while the unit runs (see TKThreadValue).
DWORD g_threadSlots[kTKThreadValues] = {TLS_OUT_OF_INDEXES, TLS_OUT_OF_INDEXES, TLS_OUT_OF_INDEXES};

void FreeThreadSlots()
{
    for (DWORD& slot : g_threadSlots)
        if (slot != TLS_OUT_OF_INDEXES) TlsFree(std::exchange(slot, TLS_OUT_OF_INDEXES));
}

void StartGeneral()
{
    for (DWORD& slot : g_threadSlots) {
        slot = TlsAlloc();
        if (slot == TLS_OUT_OF_INDEXES) {
            const DWORD error = GetLastError();
            FreeThreadSlots();
            SetLastError(error);
            RaiseLastOSError();
        }
    }
    g_changeObjects = 0;
    g_lists = TKObjectsList::NewNamed("Global List of KObjectsList");
}

void EndGeneral()
{
    FreeObject(g_lists.exchange(nullptr));
    FreeThreadSlots();
    // The platform makes the lock again should a tree outlive the unit.
    DeleteCriticalSection(&g_treeLock);
}

}  // namespace

const TUnitInfo kKGeneralUnit{"KGeneral", StartGeneral, EndGeneral};

void EnterHeldSection(CRITICAL_SECTION& section)
{
    const auto* stop = CurrentJobStop();
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

void* GetThreadValue(TKThreadValue which)
{
    return TlsGetValue(g_threadSlots[static_cast<int>(which)]);
}

void SetThreadValue(TKThreadValue which, void* value)
{
    TlsSetValue(g_threadSlots[static_cast<int>(which)], value);
}

TKLoadConstructionScope::TKLoadConstructionScope(TKLoadConstruction& making)
    : m_previous(GetThreadValue(TKThreadValue::LoadConstruction))
{
    SetThreadValue(TKThreadValue::LoadConstruction, &making);
}

TKLoadConstructionScope::~TKLoadConstructionScope()
{
    SetThreadValue(TKThreadValue::LoadConstruction, m_previous);
}

bool TakeLoadConstruction(const void* cls)
{
    if (!cls) return false;
    auto* making = static_cast<TKLoadConstruction*>(GetThreadValue(TKThreadValue::LoadConstruction));
    if (!making || making->cls != cls) return false;
    making->cls = nullptr;
    return true;
}

TKJobScope::TKJobScope(const std::atomic<bool>* stop) : m_previous(CurrentJobStop())
{
    SetThreadValue(TKThreadValue::JobStop, const_cast<std::atomic<bool>*>(stop));
}

TKJobScope::~TKJobScope()
{
    SetThreadValue(TKThreadValue::JobStop, const_cast<std::atomic<bool>*>(m_previous));
}

const std::atomic<bool>* CurrentJobStop()
{
    return static_cast<const std::atomic<bool>*>(GetThreadValue(TKThreadValue::JobStop));
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
