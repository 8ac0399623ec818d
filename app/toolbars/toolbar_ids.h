#pragma once

// Ids shared by the command window and its rows: templates, menus, the messages of the
// hot-state chain, the arrow ids of the three rows, and the commands the menus carry.

#include "platform/types.h"
#include "platform/window/messages.h"

namespace tarvenix::toolbars {

/// Dialog templates: a band (child, visible, no controls) and a tool-bar window (child,
/// hidden until shown, no controls).
constexpr UINT IDD_TOOLBAR_BAND = 134;
constexpr UINT IDD_TOOLBAR_WINDOW = 129;

/// The menu bar, the tool-bar pages (one popup per page) and the page names with their
/// selector ids (item 0 "MAIN", then one item per page).
constexpr UINT IDR_MENU_BAR = 130;
constexpr UINT IDR_MENU_PAGES = 136;
constexpr UINT IDR_MENU_PAGE_NAMES = 137;

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

// Commands of the menu bar (menu 130).
constexpr UINT ID_FILE_OPEN = 32777;
constexpr UINT ID_FILE_3DVIEWER = 32793;
constexpr UINT ID_FILE_IMPORT_EXPORT = 32771;
constexpr UINT ID_FILE_CREATE_NEW = 32893;
constexpr UINT ID_FILE_EXIT = 32896;
constexpr UINT ID_PROC_FILTRATION = 32903;
constexpr UINT ID_PROC_CONVOLUTION = 32904;
constexpr UINT ID_PROC_PHASE_FILTRATION = 32864;
constexpr UINT ID_PROC_COHERENCE = 32905;
constexpr UINT ID_PROC_ADD_NOISE = 32913;
constexpr UINT ID_PROC_EDGE_DETECTION = 32920;
constexpr UINT ID_PROC_THRESHOLD = 32917;
constexpr UINT ID_PROC_REPLACE_VALUES = 32919;
constexpr UINT ID_PROC_DERIVATION = 32922;
constexpr UINT ID_PROC_MATRIX = 32923;  ///< menu item and page button alike
constexpr UINT ID_ANAL_TEXTURE = 32786;
constexpr UINT ID_ANAL_SPECTRUM = 32785;
constexpr UINT ID_UTIL_CALCULATOR = 32791;
constexpr UINT ID_UTIL_COMPLEX = 32883;
constexpr UINT ID_UTIL_CHANGE_TYPE = 32881;
constexpr UINT ID_UTIL_RESAMPLING = 32890;
constexpr UINT ID_UTIL_ROTATE = 32894;
constexpr UINT ID_UTIL_MIRROR = 32789;
constexpr UINT ID_UTIL_SUBSET = 32790;
constexpr UINT ID_UTIL_INSERT = 32780;
constexpr UINT ID_UTIL_COMPLEX_OPERATIONS = 32921;
constexpr UINT ID_PREF_COMMON = 32889;
constexpr UINT ID_PREF_INTERFACE = 32914;
constexpr UINT ID_HELP_HELP = 32795;
constexpr UINT ID_HELP_ABOUT = 32772;

// Buttons of the tool-bar pages (menu 136).
constexpr UINT ID_TB_VIEW = 32843;
constexpr UINT ID_TB_3DVIEWER = 32844;
constexpr UINT ID_TB_IMPORT_EXPORT = 32845;
constexpr UINT ID_TB_CREATE_NEW = 32916;
constexpr UINT ID_TB_FILTRATION = 32847;
constexpr UINT ID_TB_CONVOLUTION = 32907;
constexpr UINT ID_TB_PHASE_FILTRATION = 32908;
constexpr UINT ID_TB_COHERENCE = 32909;
constexpr UINT ID_TB_EDGE_DETECTION = 32846;
constexpr UINT ID_TB_REPLACE_VALUES = 32915;
constexpr UINT ID_TB_TEXTURE = 32850;
constexpr UINT ID_TB_SPECTRUM = 32851;
constexpr UINT ID_TB_CALCULATOR = 32911;
constexpr UINT ID_TB_COMPLEX = 32852;
constexpr UINT ID_TB_TYPE_CHANGE = 32853;
constexpr UINT ID_TB_RESAMPLING = 32854;
constexpr UINT ID_TB_ROTATE = 32856;
constexpr UINT ID_TB_MIRROR = 32858;
constexpr UINT ID_TB_SUBSET = 32857;
constexpr UINT ID_TB_INSERT = 32859;

// Page selectors (menu 137); MAIN has no handler.
constexpr UINT ID_PAGE_MAIN = 32830;
constexpr UINT ID_PAGE_FILES = 32831;
constexpr UINT ID_PAGE_PROCESSING = 32833;
constexpr UINT ID_PAGE_ANALYSE = 32832;
constexpr UINT ID_PAGE_UTIL = 32834;

}  // namespace tarvenix::toolbars
