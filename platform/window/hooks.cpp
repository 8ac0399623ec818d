#include "platform/window/hooks.h"

#include <algorithm>
#include <optional>
#include <mutex>
#include <vector>

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

#include "platform/kernel/threads.h"
#include "platform/last_error.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"

namespace {

struct Hook {
    HHOOK handle;
    HOOKPROC proc;
};

// Installing and removing may happen on any thread; hooks run on the user-interface thread.
struct HookTable {
    std::mutex mutex;
    std::vector<Hook> hooks;  // newest first
    std::uintptr_t next = 0x7000;
};

HookTable& Hooks()
{
    static auto* table = new HookTable;
    return *table;
}

// The chain being run now (hooks may be removed while it runs; they are skipped then).
struct Chain {
    std::vector<Hook> hooks;
    Chain* previous;
};
Chain* g_chain = nullptr;

bool Installed(HHOOK handle)
{
    HookTable& t = Hooks();
    std::lock_guard lock(t.mutex);
    return std::any_of(t.hooks.begin(), t.hooks.end(), [&](const Hook& h) { return h.handle == handle; });
}

LRESULT RunFrom(const Chain& chain, std::size_t index, int code, WPARAM wParam, LPARAM lParam)
{
    for (; index < chain.hooks.size(); ++index)
        if (Installed(chain.hooks[index].handle)) return chain.hooks[index].proc(code, wParam, lParam);
    return 0;
}

bool HasHooks()
{
    HookTable& t = Hooks();
    std::lock_guard lock(t.mutex);
    return !t.hooks.empty();
}

/// Runs the chain; true when a hook asked to swallow the message.
bool RunMouseHooks(int code, UINT message, POINT screen, HWND target)
{
    if (!HasHooks()) return false;
    Chain chain{{}, g_chain};
    {
        HookTable& t = Hooks();
        std::lock_guard lock(t.mutex);
        chain.hooks = t.hooks;
    }
    MOUSEHOOKSTRUCT info{screen, target, static_cast<UINT>(target ? HTCLIENT : HTNOWHERE), 0};
    g_chain = &chain;
    struct Restore {
        Chain& c;
        ~Restore() { g_chain = c.previous; }
    } restore{chain};
    return RunFrom(chain, 0, code, message, reinterpret_cast<LPARAM>(&info)) != 0;
}

bool IsButtonDown(UINT message)
{
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
           message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
}

POINT ScreenPoint(const MSG& msg)
{
    if (msg.message == WM_MOUSEWHEEL) return {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    if (CWnd* wnd = platform::LookupWindow(msg.hwnd)) wnd->ClientToScreen(&p);
    return p;
}

LPARAM ClientParam(HWND hwnd, POINT screen)
{
    if (CWnd* wnd = platform::LookupWindow(hwnd)) wnd->ScreenToClient(&screen);
    return MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y));
}

// --- popup menus -----------------------------------------------------------------------------
struct Popup {
    QPointer<QMenu> menu;
    bool dismissed = false;
    std::vector<MSG> held;  // presses that closed it, delivered once it is gone
    Popup* previous = nullptr;
};
Popup* g_popup = nullptr;

void Dismiss(Popup& popup, const MSG& press)
{
    popup.held.push_back(press);
    popup.dismissed = true;
    if (popup.menu) popup.menu->close();
}

// Watches a menu that Qt shows: it has the mouse while it is up, so the program's windows
// would never see it move.
class MenuWatcher : public QObject {
public:
    explicit MenuWatcher(Popup& popup) : m_popup(popup) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseMove && event->type() != QEvent::MouseButtonPress) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* menu = qobject_cast<QMenu*>(watched);
        const QPoint global = mouse->globalPosition().toPoint();
        if (menu && menu->rect().contains(mouse->position().toPoint())) return false;  // on the menu itself
        const POINT screen{global.x(), global.y()};
        const HWND under = WindowFromPoint(screen);
        if (event->type() == QEvent::MouseMove) {
            RunMouseHooks(HC_ACTION, WM_MOUSEMOVE, screen, under);
            return false;
        }
        UINT message = mouse->button() == Qt::RightButton    ? WM_RBUTTONDOWN
                       : mouse->button() == Qt::MiddleButton ? WM_MBUTTONDOWN
                                                             : WM_LBUTTONDOWN;
        RunMouseHooks(HC_NOREMOVE, message, screen, under);
        if (under)
            Dismiss(m_popup, MSG{under, message, 0, ClientParam(under, screen), GetTickCount(), screen});
        return false;  // Qt closes the menu; the press was taken over above
    }

private:
    Popup& m_popup;
};

}  // namespace

HHOOK SetWindowsHookEx(int idHook, HOOKPROC lpfn, HINSTANCE, DWORD dwThreadId)
{
    if (idHook != WH_MOUSE) {
        SetLastError(ERROR_INVALID_HOOK_FILTER);
        return nullptr;
    }
    if (!lpfn) {
        SetLastError(ERROR_INVALID_FILTER_PROC);
        return nullptr;
    }
    const DWORD uiThread = platform::CallOnUiThread([] { return GetCurrentThreadId(); });
    if (dwThreadId != 0 && dwThreadId != uiThread) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HookTable& t = Hooks();
    std::lock_guard lock(t.mutex);
    const HHOOK handle = reinterpret_cast<HHOOK>(t.next);
    t.next += 0x10;  // never reused, so a stale handle names nothing
    t.hooks.insert(t.hooks.begin(), Hook{handle, lpfn});
    return handle;
}

BOOL UnhookWindowsHookEx(HHOOK hhk)
{
    HookTable& t = Hooks();
    std::lock_guard lock(t.mutex);
    auto it = std::find_if(t.hooks.begin(), t.hooks.end(), [&](const Hook& h) { return h.handle == hhk; });
    if (it == t.hooks.end()) {
        SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    t.hooks.erase(it);
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam)
{
    if (!g_chain) return 0;
    const auto& hooks = g_chain->hooks;
    auto it = std::find_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return h.handle == hhk; });
    if (it == hooks.end()) return 0;
    return RunFrom(*g_chain, static_cast<std::size_t>(it - hooks.begin()) + 1, nCode, wParam, lParam);
}

namespace platform {

bool FilterQueuedMouseMessage(const MSG& msg)
{
    if (msg.message < WM_MOUSEFIRST || msg.message > WM_MOUSELAST) return false;
    if (!g_popup && !HasHooks()) return false;
    const POINT screen = ScreenPoint(msg);
    if (g_popup && IsButtonDown(msg.message)) {
        // The menu looks at the press before anyone takes it; the press closes the menu and
        // reaches its window once the menu is gone.
        RunMouseHooks(HC_NOREMOVE, msg.message, screen, msg.hwnd);
        Dismiss(*g_popup, msg);
        return true;
    }
    return RunMouseHooks(HC_ACTION, msg.message, screen, msg.hwnd);
}

namespace {
std::optional<MSG> g_closingPress;  // the press that closed the last popup menu
}  // namespace

PopupMenuScope::PopupMenuScope()
{
    g_popup = new Popup{{}, false, {}, g_popup};
    g_closingPress.reset();
}

PopupMenuScope::~PopupMenuScope()
{
    Popup* popup = g_popup;
    g_popup = popup->previous;
    g_closingPress.reset();
    for (const MSG& msg : popup->held) {
        if (g_closingPress || !IsButtonDown(msg.message)) continue;
        g_closingPress = msg;
        g_closingPress->pt = ScreenPoint(msg);
    }
    for (const MSG& msg : popup->held) PostToUiThread([msg] { DispatchQueued(msg); });
    delete popup;
}

bool LastPopupClosingPress(MSG* press)
{
    if (!g_closingPress) return false;
    if (press) *press = *g_closingPress;
    return true;
}

void PopupMenuScope::SetMenu(QMenu* menu)
{
    g_popup->menu = menu;
    if (!menu) return;
    menu->setAttribute(Qt::WA_NoMouseReplay);
    auto* watcher = new MenuWatcher(*g_popup);
    watcher->setParent(menu);
    menu->installEventFilter(watcher);
}

bool PopupMenuDismissed()
{
    return g_popup && g_popup->dismissed;
}

}  // namespace platform
