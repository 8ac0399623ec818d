#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/kernel/threads.h"
#include "platform/last_error.h"

namespace {

// An index's generation is odd while it is allocated; every allocation and every free moves
// it on. A thread's value counts only while it was set under the index's present generation,
// so a free clears all threads' values at once, without visiting them.
std::atomic<std::uint32_t> g_generations[TLS_MINIMUM_AVAILABLE];
std::mutex g_allocation;

struct Slot {
    void* value;
    std::uint32_t generation;
};
thread_local Slot t_slots[TLS_MINIMUM_AVAILABLE];

bool IsAllocated(std::uint32_t generation)
{
    return (generation & 1u) != 0;
}

// The index's present generation, or 0 (never allocated) with the error set.
std::uint32_t LiveGeneration(DWORD index)
{
    if (index < TLS_MINIMUM_AVAILABLE) {
        const std::uint32_t generation = g_generations[index].load(std::memory_order_acquire);
        if (IsAllocated(generation)) return generation;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

}  // namespace

DWORD TlsAlloc()
{
    std::lock_guard lock(g_allocation);
    for (DWORD index = 0; index < TLS_MINIMUM_AVAILABLE; ++index)
        if (!IsAllocated(g_generations[index].load(std::memory_order_relaxed))) {
            g_generations[index].fetch_add(1, std::memory_order_release);
            return index;
        }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return TLS_OUT_OF_INDEXES;
}

BOOL TlsFree(DWORD index)
{
    std::lock_guard lock(g_allocation);
    if (LiveGeneration(index) == 0) return FALSE;
    g_generations[index].fetch_add(1, std::memory_order_release);
    return TRUE;
}

LPVOID TlsGetValue(DWORD index)
{
    const std::uint32_t generation = LiveGeneration(index);
    if (generation == 0) return nullptr;
    SetLastError(ERROR_SUCCESS);
    const Slot& slot = t_slots[index];
    return slot.generation == generation ? slot.value : nullptr;
}

BOOL TlsSetValue(DWORD index, LPVOID value)
{
    const std::uint32_t generation = LiveGeneration(index);
    if (generation == 0) return FALSE;
    t_slots[index] = Slot{value, generation};
    return TRUE;
}
