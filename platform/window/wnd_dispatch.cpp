#include "platform/window/wnd.h"

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

LRESULT Dispatch(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, bool* defaultReached)
{
    Current current{wnd->m_hWnd, message, wParam, lParam, false, g_current};
    g_current = &current;
    struct Restore {
        Current& c;
        ~Restore() { g_current = c.previous; }
    } restore{current};
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);  // may delete wnd
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
