#pragma once

// Mouse hooks of the user-interface thread, and what they watch: mouse messages on their
// way to windows, and the mouse over an open popup menu.
//
// A WH_MOUSE hook sees every mouse message the user-interface thread takes from its queue
// (real input and posted messages alike) before the window does, with HC_ACTION; a nonzero
// return swallows the message. While a popup menu is up (TrackPopupMenu, whether a person
// or the tests' responder answers it) the hook also sees the mouse moving over the
// program's windows. A button press while a popup is up closes the popup, as a click beside
// a menu does: the hook sees it first with HC_NOREMOVE, the popup closes, and the press
// reaches its window after TrackPopupMenu has returned.
//
// Only thread hooks of the user-interface thread exist here; all windows live on it.

#include <functional>

#include "platform/geometry.h"
#include "platform/types.h"
#include "platform/window/messages.h"

class QMenu;

using HHOOK = struct HHOOK__*;
using HOOKPROC = LRESULT (*)(int nCode, WPARAM wParam, LPARAM lParam);

constexpr int WH_MOUSE = 7;
constexpr int HC_ACTION = 0;
constexpr int HC_NOREMOVE = 3;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSELAST = 0x020D;

constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;
constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;
constexpr DWORD ERROR_INVALID_FILTER_PROC = 1427;

/// What a mouse hook receives in lParam (wParam is the message).
struct MOUSEHOOKSTRUCT {
    POINT pt;           ///< the cursor in screen coordinates
    HWND hwnd;          ///< the window the message goes to
    UINT wHitTestCode;  ///< HTCLIENT over a window, HTNOWHERE elsewhere
    UINT_PTR dwExtraInfo;
};
using LPMOUSEHOOKSTRUCT = MOUSEHOOKSTRUCT*;

/// Installs a hook. Only WH_MOUSE is supported (ERROR_INVALID_HOOK_FILTER otherwise), for
/// the user-interface thread: dwThreadId is its id or 0 (ERROR_INVALID_PARAMETER otherwise).
/// hmod is not needed. The newest hook is called first. Any thread.
PLATFORM_API HHOOK SetWindowsHookEx(int idHook, HOOKPROC lpfn, HINSTANCE hmod, DWORD dwThreadId);
/// Removes the hook (also from inside a hook call); FALSE with ERROR_INVALID_HOOK_HANDLE
/// for a handle that names no hook.
PLATFORM_API BOOL UnhookWindowsHookEx(HHOOK hhk);
/// Calls the hook installed before hhk in the chain being run; 0 when there is none.
PLATFORM_API LRESULT CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam);
#define SetWindowsHookExA SetWindowsHookEx

namespace platform {

/// Runs the mouse hooks for a queued mouse message (client coordinates in lParam) and,
/// while a popup menu is up, lets a button press close it; true when the message must not
/// be dispatched now (a hook swallowed it, or it waits for the popup to close).
bool FilterQueuedMouseMessage(const MSG& msg);

/// Marks a popup menu as up for its lifetime. A menu shown by Qt is registered with
/// SetMenu so that the mouse over it reaches the hooks and a press beside it closes it.
/// Messages held back while it was up are queued again when it ends.
class PLATFORM_API PopupMenuScope {
public:
    PopupMenuScope();
    ~PopupMenuScope();
    PopupMenuScope(const PopupMenuScope&) = delete;
    PopupMenuScope& operator=(const PopupMenuScope&) = delete;
    void SetMenu(QMenu* menu);
};

/// Whether the innermost popup menu has been closed by a click beside it (the responder
/// that holds a popup question open stops waiting then).
PLATFORM_API bool PopupMenuDismissed();

/// The button press that closed the last popup menu to end (it reaches its window after the
/// menu is gone, so code that tracked the menu can tell a click on its own button from any
/// other way of closing), with its screen point in pt; false when that menu closed otherwise.
PLATFORM_API bool LastPopupClosingPress(MSG* press);

}  // namespace platform
