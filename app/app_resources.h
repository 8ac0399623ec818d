#pragma once

// Resource ids of the Tarvenix program: its icon, the command window's template, its three
// menus, its strings and the command ids of the menu bar and the tool-bar pages.

#include "platform/types.h"

constexpr UINT IDD_GOLOVA_DIALOG = 102;
constexpr UINT IDR_MAINFRAME = 128;   ///< the program's icon
constexpr UINT IDR_MENU_MAIN = 130;   ///< the menu bar
constexpr UINT IDR_MENU_TOOLS = 136;  ///< the tool-bar pages: one popup per page
constexpr UINT IDR_MENU_PAGES = 137;  ///< "MAIN" and the page names with their selector ids

constexpr UINT IDS_ABOUTBOX = 101;
constexpr UINT IDS_HELP_TOPIC = 104;
constexpr UINT IDS_EXIT_QUESTION = 108;
constexpr UINT IDS_STARTUP_CLOSE = 109;
constexpr UINT IDS_ERROR_OCCURED = 113;

/// The system-menu item that opens the About box.
constexpr UINT IDM_ABOUTBOX = 0x0010;

// Commands handled by the command window itself.
constexpr UINT ID_FILE_OPEN_VIEWER = 32777;
constexpr UINT ID_TOOL_VIEW = 32843;
constexpr UINT ID_FILE_3DVIEWER = 32793;
constexpr UINT ID_TOOL_3DVIEWER = 32844;
constexpr UINT ID_FILE_EXIT_PROGRAM = 32896;
constexpr UINT ID_PAGE_MAIN = 32830;
constexpr UINT ID_PAGE_FILES = 32831;
constexpr UINT ID_PAGE_ANALYSE = 32832;
constexpr UINT ID_PAGE_PROCESSING = 32833;
constexpr UINT ID_PAGE_UTIL = 32834;

// Commands that open tools of the modules and outside libraries.
constexpr UINT ID_FILE_IMPORT = 32771;
constexpr UINT ID_TOOL_IMPORT = 32845;
constexpr UINT ID_FILE_CREATE_NEW = 32893;
constexpr UINT ID_TOOL_CREATE_NEW = 32916;
constexpr UINT ID_PROC_FILTRATION = 32903;
constexpr UINT ID_TOOL_FILTRATION = 32847;
constexpr UINT ID_PROC_CONVOLUTION = 32904;
constexpr UINT ID_TOOL_CONVOLUTION = 32907;
constexpr UINT ID_PROC_PHASE_FILTRATION = 32864;
constexpr UINT ID_TOOL_PHASE_FILTRATION = 32908;
constexpr UINT ID_PROC_COHERENCE = 32905;
constexpr UINT ID_TOOL_COHERENCE = 32909;
constexpr UINT ID_PROC_ADD_NOISE = 32913;
constexpr UINT ID_PROC_EDGE_DETECTION = 32920;
constexpr UINT ID_TOOL_EDGE_DETECTION = 32846;
constexpr UINT ID_PROC_THRESHOLD = 32917;
constexpr UINT ID_PROC_REPLACE_VALUES = 32919;
constexpr UINT ID_TOOL_REPLACE_VALUES = 32915;
constexpr UINT ID_PROC_DERIVATION = 32922;
constexpr UINT ID_PROC_MATRIX = 32923;
constexpr UINT ID_ANALYSIS_TEXTURE = 32786;
constexpr UINT ID_TOOL_TEXTURE = 32850;
constexpr UINT ID_ANALYSIS_SPECTRUM = 32785;
constexpr UINT ID_TOOL_SPECTRUM = 32851;
constexpr UINT ID_UTIL_CALCULATOR = 32791;
constexpr UINT ID_TOOL_CALCULATOR = 32911;
constexpr UINT ID_UTIL_COMPLEX = 32883;
constexpr UINT ID_TOOL_COMPLEX = 32852;
constexpr UINT ID_UTIL_CHANGE_TYPE = 32881;
constexpr UINT ID_TOOL_CHANGE_TYPE = 32853;
constexpr UINT ID_UTIL_RESAMPLING = 32890;
constexpr UINT ID_TOOL_RESAMPLING = 32854;
constexpr UINT ID_UTIL_ROTATE = 32894;
constexpr UINT ID_TOOL_ROTATE = 32856;
constexpr UINT ID_UTIL_MIRROR = 32789;
constexpr UINT ID_TOOL_MIRROR = 32858;
constexpr UINT ID_UTIL_SUBSET = 32790;
constexpr UINT ID_TOOL_SUBSET = 32857;
constexpr UINT ID_UTIL_INSERT = 32780;
constexpr UINT ID_TOOL_INSERT = 32859;
constexpr UINT ID_UTIL_COMPLEX_OPERATIONS = 32921;
constexpr UINT ID_PREF_COMMON = 32889;
constexpr UINT ID_PREF_INTERFACE = 32914;
constexpr UINT ID_HELP_CONTENTS = 32795;
constexpr UINT ID_HELP_ABOUT = 32772;

/// Joins the program's resources to the resource chain (once; later calls do nothing).
void RegisterAppResources();
