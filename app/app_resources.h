#pragma once

// Resource ids of the Tarvenix program: its icon, the command window's template and its
// strings. The menus, the rows' templates and the command ids are the rows'
// (app/toolbars/toolbar_ids.h).

#include "platform/types.h"

constexpr UINT IDD_GOLOVA_DIALOG = 102;
constexpr UINT IDR_MAINFRAME = 128;  ///< the program's icon

constexpr UINT IDS_ABOUTBOX = 101;
constexpr UINT IDS_HELP_TOPIC = 104;
constexpr UINT IDS_EXIT_QUESTION = 108;
constexpr UINT IDS_STARTUP_CLOSE = 109;
constexpr UINT IDS_ERROR_OCCURED = 113;

/// The system-menu item that opens the About box.
constexpr UINT IDM_ABOUTBOX = 0x0010;

/// Joins the program's resources to the resource chain (once; later calls do nothing).
void RegisterAppResources();
