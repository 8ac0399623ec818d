#pragma once

// Private window messages and records the viewer's windows, layer views, dialogs, tool
// windows and jobs exchange, and the palette record they pass around.

#include <cstdint>

#include "platform/types.h"
#include "platform/window/messages.h"

/// Layer views -> view window -> frame -> tool windows; frame -> the notification window of
/// a viewer (codes 2 shown, 3 failed). wParam a CViewNotify (or an id), lParam the code
/// (2 shown, 3 failed, 6 palette changed, 9 statistics done, 10 reopened).
inline constexpr UINT WM_VIEWER = WM_USER + 500;
/// Dialogs and tool windows -> frame (wParam code, lParam value).
inline constexpr UINT WM_DLGMESSAGE = WM_USER + 501;
/// -> frame: destroy the viewer.
inline constexpr UINT WM_CLOSEVIEWER = WM_USER + 502;
/// Progress meter -> its owner: wParam 1 shows, 2 hides the progress bar.
inline constexpr UINT WM_VIEWERMETERINFO = WM_USER + 503;
/// -> view window: the cursor kind.
inline constexpr UINT WM_VIEWCURSOR = WM_USER + 510;
/// View window -> frame: wParam 1 pointer or selection moved, 2 figure changed,
/// 3 coordinate law changed.
inline constexpr UINT WM_VIEWRECT = WM_USER + 511;
/// Value grid pane -> frame: wParam 1 focus cell changed.
inline constexpr UINT WM_TEXTVIEWRECT = WM_USER + 514;
/// Histogram bars and job -> histogram window.
inline constexpr UINT WM_HISTCOMMAND = WM_USER + 515;
/// Histogram scroll window -> histogram view.
inline constexpr UINT WM_HISTSCROLL = WM_USER + 516;
/// Frame job -> frame: the verdict of a close check; wParam the job's action code.
inline constexpr UINT WM_CLOSEALLOWED = WM_USER + 519;

/// The name of the message through which the main program steers every viewer.
inline constexpr const char* kViewerControlMessageName = "Tarvenix - Viewer Control Message";

/// WM_VIEWER codes a layer view sends.
enum : int {
    kViewerShown = 2,
    kViewerFailed = 3,
    kViewerPaletteChanged = 6,
    kViewerStatisticsDone = 9,
    kViewerReopened = 10,
};

/// A palette record as the frame, its views and the colour scale pass it around: the
/// record's size (776), a flag (0 when made) and 256 red-green-blue triplets, triplet i for
/// display level i.
struct PalitraTag {
    std::int32_t size = 776;
    std::int32_t flag = 0;
    BYTE rgb[256][3] = {};
};
static_assert(sizeof(PalitraTag) == 776, "two words and 768 palette bytes, no padding");
