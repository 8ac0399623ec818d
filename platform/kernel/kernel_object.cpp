#include "platform/kernel/kernel_object.h"

#include <mutex>
#include <unordered_map>

#include "platform/kernel/handles.h"

namespace platform {
namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    // Handle values are never reused, so a stale handle cannot reach a newer object.
    // They start high and step by 4, like the system's, and stay clear of the
    // pseudo-handles (-1, -2) and of small integers.
    std::uintptr_t next = 0x1000;
};

HandleTable& Table()
{
    static auto* table = new HandleTable;  // outlives threads that close handles at exit
    return *table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object)
{
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const std::uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

bool ReleaseHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> last;  // destroyed outside the lock
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) return false;
    last = std::move(it->second);
    table.objects.erase(it);
    return true;
}

std::shared_ptr<KernelObject> LookupKernelObject(HANDLE handle)
{
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle)
{
    if (!platform::ReleaseHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
