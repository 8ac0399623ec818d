#pragma once

// Cursors. A cursor handle points to a record holding a QCursor; the standard cursors are
// built in, the libraries' cursors come from their resource records, and other parts of the
// layer make handles for cursors of their own with MakeCursor.

#include <QCursor>

#include "platform/types.h"

struct HCURSOR__ {
    QCursor cursor;
};

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
/// A handle lives as long as the process.
PLATFORM_API HCURSOR LoadCursor(HINSTANCE hInstance, LPCTSTR lpCursorName);
/// Shows the cursor over the window whose mouse message is being handled (or the window
/// that has the mouse captured); returns the cursor set before.
PLATFORM_API HCURSOR SetCursor(HCURSOR hCursor);
PLATFORM_API HCURSOR GetCursor();

namespace platform {
/// A handle for a cursor of one's own; it lives as long as the process.
PLATFORM_API HCURSOR MakeCursor(const QCursor& cursor);
}  // namespace platform
