#include "platform/window/wnd.h"

#include <mutex>

#include "platform/window/window_internal.h"

namespace platform {

WindowData* DataOf(const CWnd* wnd)
{
    return wnd ? wnd->m_data.get() : nullptr;
}

// --- handle registry -------------------------------------------------------------------------
namespace {

struct Registry {
    std::mutex mutex;
    std::map<HWND, CWnd*> windows;  // handles grow with creation, so this is creation order
    std::uintptr_t next = 0x10000;
};

Registry& Windows()
{
    static Registry* registry = new Registry;  // outlives every thread that may still ask
    return *registry;
}

}  // namespace

HWND RegisterHandle(CWnd* wnd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    HWND hwnd = reinterpret_cast<HWND>(r.next);
    r.next += 0x10;  // handles are never reused
    r.windows[hwnd] = wnd;
    return hwnd;
}

void UnregisterHandle(HWND hwnd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    r.windows.erase(hwnd);
}

void RebindHandle(HWND hwnd, CWnd* wnd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    r.windows[hwnd] = wnd;
}

CWnd* LookupWindow(HWND hwnd)
{
    if (!hwnd) return nullptr;
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(hwnd);
    return it == r.windows.end() ? nullptr : it->second;
}

std::vector<HWND> AllWindows()
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    std::vector<HWND> all;
    all.reserve(r.windows.size());
    for (const auto& entry : r.windows) all.push_back(entry.first);
    return all;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> result;
    for (HWND h : AllWindows()) {
        const WindowData* data = DataOf(LookupWindow(h));
        if (data && !(data->style & WS_CHILD)) result.push_back(h);
    }
    return result;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> result;
    for (HWND h : AllWindows()) {
        const WindowData* data = DataOf(LookupWindow(h));
        if (data && (data->style & WS_CHILD) && data->parent == parent) result.push_back(h);
    }
    return result;
}

}  // namespace platform
