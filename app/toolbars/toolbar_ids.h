#pragma once

// Ids shared by the command window and its rows: templates, the messages of the hot-state
// chain and the arrow ids of the three rows. The rows read the program's menus 130 (the
// menu bar), 136 (one popup per tool-bar page) and 137 ("MAIN", then the page names with
// their selector ids).

#include "platform/types.h"
#include "platform/window/messages.h"

namespace tarvenix::toolbars {

/// Dialog templates: a band (child, visible, no controls) and a tool-bar window (child,
/// hidden until shown, no controls).
constexpr UINT IDD_TOOLBAR_BAND = 134;
constexpr UINT IDD_TOOLBAR_WINDOW = 129;

/// Sent to a child: it is no longer hot and returns to its flat look.
constexpr UINT WM_TAR_NOT_HOT = WM_USER + 10;
/// Sent to a parent: the child whose window handle is in wParam has the mouse over it.
constexpr UINT WM_TAR_HOT = WM_USER + 11;
/// Sent by a toggle to its tool-bar window: wParam is the index of the toggle now pressed.
constexpr UINT WM_TAR_TOGGLED = WM_USER + 12;
/// Sent to a toggle: release it.
constexpr UINT WM_TAR_RELEASE = WM_USER + 13;
/// Posted by an arrow to its band: wParam the arrow's id, lParam the step in pixels.
constexpr UINT WM_TAR_SCROLL = WM_USER + 14;
/// Sent by a tool-bar window to the menu-bar button whose popup has just closed.
constexpr UINT WM_TAR_POPUP_CLOSED = WM_APP + 1000;

/// Arrow ids of the three rows.
constexpr UINT IDC_MAIN_ARROW_LEFT = 139;
constexpr UINT IDC_MAIN_ARROW_RIGHT = 140;
constexpr UINT IDC_MENU_ARROW_LEFT = 141;
constexpr UINT IDC_MENU_ARROW_RIGHT = 142;
constexpr UINT IDC_PAGE_ARROW_LEFT = 143;
constexpr UINT IDC_PAGE_ARROW_RIGHT = 144;

}  // namespace tarvenix::toolbars
