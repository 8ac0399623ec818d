#pragma once

// Private window messages and records the viewer's windows and layer views exchange.

#include <cstdint>

#include "platform/types.h"
#include "platform/window/messages.h"

/// Layer views -> view window -> frame -> tool windows: wParam a CViewNotify (or an id),
/// lParam the code (2 shown, 3 failed, 6 palette changed, 9 statistics done, 10 reopened).
inline constexpr UINT WM_VIEWER = WM_USER + 500;
/// Dialogs and tool windows -> frame (wParam code, lParam value).
inline constexpr UINT WM_DLGMESSAGE = WM_USER + 501;

/// WM_VIEWER codes a layer view sends.
enum : int {
    kViewerShown = 2,
    kViewerFailed = 3,
    kViewerPaletteChanged = 6,
    kViewerStatisticsDone = 9,
    kViewerReopened = 10,
};

/// A palette record as the frame, its views and the colour scale pass it around: the
/// record's size (776), a flag (0 when made) and 256 red-green-blue triplets.
struct PalitraTag {
    std::int32_t size = 776;
    std::int32_t flag = 0;
    BYTE rgb[256][3] = {};
};
static_assert(sizeof(PalitraTag) == 776, "two words and 768 palette bytes, no padding");
