#pragma once

// Where top-level windows may lie: the screen's work area, and the room the window manager
// takes around a captioned window (its caption and borders lie outside the window
// rectangle, nonclient.h). A captioned window is put where its whole frame is on the work
// area when it is shown and when it is centred.

#include "platform/geometry.h"
#include "platform/types.h"

namespace platform {

/// The thickness of the window manager's frame around a captioned top-level window: left,
/// top (the caption), right and bottom. Learned from the windows the window manager has
/// framed; until one has been, a caption of common height is assumed where a window
/// manager runs, and none on the headless platforms.
PLATFORM_API CRect WindowManagerFrame();
/// Sets that thickness (tests); an empty rectangle returns to what is learned.
PLATFORM_API void SetWindowManagerFrame(const CRect& thickness);

/// The work area (the screen less panels and docks) of the screen that holds the centre of
/// `rect`; the primary screen's when none does.
PLATFORM_API CRect WorkAreaFor(const CRect& rect);

/// Where a captioned top-level window of window rectangle `rect` goes so that its frame lies
/// on the work area: moved as little as possible, the caption kept on screen when it cannot
/// fit whole, and shrunk to fit when `resizable`.
PLATFORM_API CRect PlacedOnWorkArea(const CRect& rect, bool resizable);

}  // namespace platform
