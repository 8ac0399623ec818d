#pragma once

// Flat scroll bars: the window's own scroll bars (SB_HORZ, SB_VERT), reached through the
// calls of the flat-bar interface. The bars are always drawn flat here, so initialising
// only marks the window; the other calls are the window's scroll-bar calls.

#include "platform/window/wnd.h"

constexpr UINT ESB_ENABLE_BOTH = 0x0000;

/// Marks the window as having flat bars; FALSE for a handle that is no window.
PLATFORM_API BOOL InitializeFlatSB(HWND hwnd);
/// Only ESB_ENABLE_BOTH is offered (the bars are always usable); FALSE for anything else.
PLATFORM_API BOOL FlatSB_EnableScrollBar(HWND hwnd, int bar, UINT arrows);
PLATFORM_API BOOL FlatSB_ShowScrollBar(HWND hwnd, int bar, BOOL show);
/// Returns the position after the change.
PLATFORM_API int FlatSB_SetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info, BOOL redraw);
PLATFORM_API BOOL FlatSB_GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info);
/// Returns the previous position.
PLATFORM_API int FlatSB_SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
PLATFORM_API int FlatSB_GetScrollPos(HWND hwnd, int bar);
