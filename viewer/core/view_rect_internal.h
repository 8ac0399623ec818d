#pragma once

// Messages of the view window that only it and its parent exchange.

#include "platform/window/messages.h"

/// -> view window: wParam the cursor kind to show.
inline constexpr UINT kWmViewCursor = WM_USER + 510;
/// View window -> parent: wParam 1 mouse moved or pressed, 2 pointer moved, 3 coordinate law set.
inline constexpr UINT kWmViewRect = WM_USER + 511;
/// -> view window: answers 1.
inline constexpr UINT kWmViewRectAlive = WM_USER + 513;
