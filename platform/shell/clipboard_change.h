#pragma once

// The calls that open and close a change of the clipboard, without the Qt types of the
// format functions (clipboard.h), for code outside the platform layer.

#include "platform/types.h"

/// Starts a change of the clipboard; FALSE while another change is open.
PLATFORM_API BOOL OpenClipboard(HWND owner);
/// Drops every format, in the change and (at CloseClipboard) on the clipboard.
PLATFORM_API BOOL EmptyClipboard();
/// Ends the change and puts its formats on the clipboard. From a thread other than the
/// user-interface thread the clipboard is updated there, without waiting.
PLATFORM_API BOOL CloseClipboard();
