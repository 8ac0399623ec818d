#pragma once

// Cursors. The standard cursors are built in; the libraries' cursors come from their
// resource records and are made once, the first time they are loaded. Handles live as long
// as the process.

#include "platform/types.h"

#define IDC_ARROW (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32512)))
#define IDC_IBEAM (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32513)))
#define IDC_WAIT (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32514)))
#define IDC_CROSS (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32515)))
#define IDC_UPARROW (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32516)))
#define IDC_SIZENWSE (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32642)))
#define IDC_SIZENESW (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32643)))
#define IDC_SIZEWE (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32644)))
#define IDC_SIZENS (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32645)))
#define IDC_SIZEALL (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32646)))
#define IDC_NO (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32648)))
#define IDC_HAND (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32649)))
#define IDC_APPSTARTING (reinterpret_cast<LPCTSTR>(static_cast<std::uintptr_t>(32650)))

/// A standard cursor (hInstance null, lpCursorName one of IDC_xxx), or the cursor resource
/// MAKEINTRESOURCE(id) of a library: of that library when hInstance is its instance handle,
/// else of the newest library in the resource chain that has one. Null when there is none.
PLATFORM_API HCURSOR LoadCursor(HINSTANCE hInstance, LPCTSTR lpCursorName);
/// Shows the cursor over the window whose mouse message is being handled (or the window
/// that has the mouse captured); returns the cursor set before.
PLATFORM_API HCURSOR SetCursor(HCURSOR hCursor);
PLATFORM_API HCURSOR GetCursor();

namespace platform {
/// The cursor resource `name` (an id) of the resource chain, never a standard cursor; the
/// handle of a module limits the search to it. Null when there is none.
PLATFORM_API HCURSOR LoadCursorResource(HINSTANCE instance, LPCTSTR name);
}  // namespace platform
