#include "platform/menu/system_menu.h"

#include "platform/menu/menu.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"

namespace platform {
namespace {

std::shared_ptr<CMenu> StandardSystemMenu()
{
    auto menu = std::make_shared<CMenu>();
    menu->CreatePopupMenu();
    menu->AppendMenu(MF_STRING, SC_RESTORE, "&Restore");
    menu->AppendMenu(MF_STRING, SC_MOVE, "&Move");
    menu->AppendMenu(MF_STRING, SC_SIZE, "&Size");
    menu->AppendMenu(MF_STRING, SC_MINIMIZE, "Mi&nimize");
    menu->AppendMenu(MF_STRING, SC_MAXIMIZE, "Ma&ximize");
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
    return menu;
}

/// The standard items greyed as the window's style and state have them.
void UpdateStates(CWnd& wnd, CMenu& menu)
{
    const DWORD style = wnd.GetStyle();
    const bool iconic = wnd.IsIconic(), zoomed = wnd.IsZoomed();
    auto set = [&](UINT id, bool enabled) {
        menu.EnableMenuItem(id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    };
    set(SC_RESTORE, iconic || zoomed);
    set(SC_MOVE, !zoomed);
    set(SC_SIZE, (style & WS_THICKFRAME) && !iconic && !zoomed);
    set(SC_MINIMIZE, (style & WS_MINIMIZEBOX) && !iconic);
    set(SC_MAXIMIZE, (style & WS_MAXIMIZEBOX) && !zoomed);
}

}  // namespace

bool ChooseSystemMenuItem(HWND hwnd, UINT id)
{
    return CallOnUiThread([&] {
        CWnd* wnd = LookupWindow(hwnd);
        CMenu* menu = wnd ? wnd->GetSystemMenu(FALSE) : nullptr;
        if (!menu) return false;
        UpdateStates(*wnd, *menu);
        wnd->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu->GetSafeHmenu()),
                         MAKELPARAM(0, TRUE));
        const UINT state = menu->GetMenuState(id, MF_BYCOMMAND);
        if (state == static_cast<UINT>(-1) || (state & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED)))
            return false;
        POINT at{};
        GetCursorPos(&at);
        return ::PostMessage(hwnd, WM_SYSCOMMAND, id,
                             MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y))) != FALSE;
    });
}

void ShowSystemMenu(CWnd* wnd)
{
    CMenu* menu = wnd ? wnd->GetSystemMenu(FALSE) : nullptr;
    if (!menu) return;
    UpdateStates(*wnd, *menu);
    CRect rect;
    wnd->GetWindowRect(&rect);
    const HWND hwnd = wnd->GetSafeHwnd();
    const UINT chosen = static_cast<UINT>(menu->TrackPopupMenu(TPM_RETURNCMD, rect.left, rect.top, wnd));
    if (chosen != 0 && IsWindow(hwnd))
        ::PostMessage(hwnd, WM_SYSCOMMAND, chosen,
                      MAKELPARAM(static_cast<WORD>(rect.left), static_cast<WORD>(rect.top)));
}

}  // namespace platform

using namespace platform;

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    if (!IsUiThread()) return CallOnUiThread([&] { return GetSystemMenu(bRevert); });
    WindowData* data = DataOf(this);
    if (!data || (data->style & WS_CHILD)) return nullptr;
    if (bRevert) {
        // The standard menu comes back the next time the menu is asked for.
        data->systemMenu.reset();
        return nullptr;
    }
    if (!data->systemMenu) data->systemMenu = StandardSystemMenu();
    return data->systemMenu.get();
}
