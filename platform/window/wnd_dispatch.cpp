#include "platform/window/wnd.h"

#include <algorithm>
#include <cstdio>

#include "platform/window/app_hooks.h"
#include "platform/window/window_internal.h"
#include "platform/window/hooks.h"

namespace platform {

// --- dispatching ---------------------------------------------------------------------------------
namespace {

struct Current {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool defaultReached;
    Current* previous;
};
Current* g_current = nullptr;
int g_eventDepth = 0;

}  // namespace

namespace {
AppHooks g_appHooks;
}  // namespace

void SetAppHooks(const AppHooks& hooks)
{
    g_appHooks = hooks;
}

const AppHooks& GetAppHooks()
{
    return g_appHooks;
}

void ReportHandlerFailure(const char* what)
{
    std::fprintf(stderr, "tarvenix: a message handler failed: %s\n", what);
}

namespace {

UINT_PTR g_nextFilterId = 0;

// Runs the window's filters, newest first; true when one handled the message. A filter
// may remove filters or destroy the window: each step looks the window up again.
bool RunFilters(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const HWND hwnd = wnd->m_hWnd;
    WindowData* data = DataOf(wnd);
    if (!data || data->filters.empty()) return false;
    std::vector<UINT_PTR> ids;
    ids.reserve(data->filters.size());
    for (const auto& entry : data->filters) ids.push_back(entry.first);
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        data = LookupWindow(hwnd) == wnd ? DataOf(wnd) : nullptr;
        if (!data) return true;  // gone: nothing is left to handle the message
        const auto at = std::find_if(data->filters.begin(), data->filters.end(),
                                     [&](const auto& entry) { return entry.first == *id; });
        if (at == data->filters.end() || !at->second) continue;
        const MessageFilter filter = at->second;  // a copy: the filter may remove itself
        if (filter(message, wParam, lParam, result)) return true;
    }
    return LookupWindow(hwnd) != wnd;
}

}  // namespace

UINT_PTR AddMessageFilter(HWND hWnd, MessageFilter filter)
{
    WindowData* data = DataOf(LookupWindow(hWnd));
    if (!data || !filter) return 0;
    const UINT_PTR id = ++g_nextFilterId;
    data->filters.emplace_back(id, std::move(filter));
    return id;
}

bool RemoveMessageFilter(HWND hWnd, UINT_PTR id)
{
    WindowData* data = DataOf(LookupWindow(hWnd));
    if (!data) return false;
    const auto at = std::find_if(data->filters.begin(), data->filters.end(),
                                 [&](const auto& entry) { return entry.first == id; });
    if (at == data->filters.end()) return false;
    data->filters.erase(at);
    return true;
}

LRESULT Dispatch(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, bool* defaultReached)
{
    Current current{wnd->m_hWnd, message, wParam, lParam, false, g_current};
    g_current = &current;
    struct Restore {
        Current& c;
        ~Restore() { g_current = c.previous; }
    } restore{current};
    LRESULT result = 0;
    if (RunFilters(wnd, message, wParam, lParam, result)) {
        if (defaultReached) *defaultReached = false;
        return result;
    }
    result = wnd->WindowProc(message, wParam, lParam);  // may delete wnd
    if (defaultReached) *defaultReached = current.defaultReached;
    return result;
}

bool DispatchQueued(const MSG& msg, bool* defaultReached)
{
    if (!LookupWindow(msg.hwnd)) return true;
    MSG copy = msg;
    try {
        if (FilterQueuedMouseMessage(copy)) return true;
        const AppHooks& app = GetAppHooks();
        const BOOL swallowed = app.preTranslateMessage ? app.preTranslateMessage(&copy)
                                                       : CWnd::WalkPreTranslateTree(nullptr, &copy);
        if (swallowed) return true;
        CWnd* wnd = LookupWindow(copy.hwnd);
        if (!wnd) return true;
        Dispatch(wnd, copy.message, copy.wParam, copy.lParam, defaultReached);
    } catch (const std::exception& error) {
        ReportHandlerFailure(error.what());
    } catch (...) {
        ReportHandlerFailure("unknown exception");
    }
    return false;
}

void NoteDefaultReached(HWND hwnd, UINT message)
{
    if (g_current && g_current->hwnd == hwnd && g_current->message == message)
        g_current->defaultReached = true;
}

bool CurrentMessage(MSG& msg)
{
    if (!g_current) return false;
    msg = MSG{g_current->hwnd, g_current->message, g_current->wParam, g_current->lParam, 0, {0, 0}};
    return true;
}

int EventDepth()
{
    return g_eventDepth;
}
EventDepthScope::EventDepthScope()
{
    ++g_eventDepth;
}
EventDepthScope::~EventDepthScope()
{
    --g_eventDepth;
}

}  // namespace platform
