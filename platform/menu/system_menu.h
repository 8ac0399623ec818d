#pragma once

// The system menu of top-level windows. The window manager draws the caption here, so the
// system menu is the platform's own popup: Alt+Space shows it at the window's corner, and
// tests choose its items through ChooseSystemMenuItem as a click would.

#include "platform/types.h"

class CWnd;

namespace platform {

/// Chooses item id of the window's system menu as a person does: only an item the menu
/// shows enabled (after the states are brought up to date); WM_SYSCOMMAND with the id
/// arrives posted, as menus send it. Returns whether the item was chosen.
PLATFORM_API bool ChooseSystemMenuItem(HWND hwnd, UINT id);

/// Shows the system menu as a popup at the window's top-left corner and posts the item
/// chosen as WM_SYSCOMMAND (Alt+Space).
PLATFORM_API void ShowSystemMenu(CWnd* wnd);

}  // namespace platform
