#pragma once

// The private window messages between a viewer frame, its view window, its layer views,
// its dialogs, tool windows and jobs, and the palette record they pass around.

#include <cstdint>

#include "outside/huebook/color_struct.h"
#include "platform/types.h"
#include "platform/window/messages.h"

/// Layer views -> view window -> frame -> tool windows; frame -> the notification window of
/// a viewer (codes 2 shown, 3 failed). lParam: the code; wParam: 0 or a record.
inline constexpr UINT WM_VIEWER = WM_USER + 500;
/// Dialogs and tool windows -> frame: wParam the code, lParam a value.
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

/// A palette as the frame, its views and the colour scale pass it: a 32-bit size (776,
/// the two header words and 256 triplets), a 32-bit flag (0 when made), then the triplets,
/// triplet i for display level i.
struct PalitraTag {
    std::int32_t size = static_cast<std::int32_t>(8 + 256 * sizeof(ColorStruct));
    std::int32_t flag = 0;
    ColorStruct colors[256] = {};
};
static_assert(sizeof(PalitraTag) == 776, "a palette record is 776 bytes");
