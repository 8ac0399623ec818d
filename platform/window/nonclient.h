#pragma once

// The non-client model of top-level windows.
//
// A top-level window has two parts: an outer part, which holds the non-client strips the
// platform draws (the frame's menu bar at the top, the window's own scroll bars at the
// right and bottom edges), and the client part inside it, which owns the drawing surface,
// hosts the child windows and defines client coordinates.
//
// The geometry rule: the window manager's decorations (title bar, resize border) lie
// outside every rectangle the platform reports, and count nowhere. So
//
//     outer rectangle = client rectangle + menu bar (SM_CYMENU, when the window has one)
//                                        + scroll bars (SM_CXVSCROLL / SM_CYHSCROLL, when shown)
//
// GetWindowRect, MoveWindow and SetWindowPos work on the outer rectangle, GetClientRect on
// the client part. The metrics of decorations the platform does not draw are 0:
// SM_CYCAPTION, SM_CXBORDER / SM_CYBORDER, SM_CXDLGFRAME / SM_CYDLGFRAME and SM_CXFRAME /
// SM_CYFRAME. With them, "outer height = client height + 2 * SM_CYBORDER + SM_CYMENU +
// SM_CYCAPTION" holds exactly for a window with a menu bar, and AdjustWindowRectEx adds
// exactly the menu bar. As on the system, AdjustWindowRectEx leaves scroll bars out; the
// caller adds SM_CXVSCROLL / SM_CYHSCROLL for the bars it shows.
//
// A popup without a caption (WS_POPUP, not the whole of WS_CAPTION) has no decorations at
// all. When it has WS_THICKFRAME, the platform gives it a sizing border instead: a strip
// SM_CXPOPUPFRAME wide at the left and right and SM_CYPOPUPFRAME high at the top and bottom,
// inside the outer rectangle and around the client part. For such a style AdjustWindowRectEx
// adds the strip on each side. WM_NCHITTEST answers HTLEFT..HTBOTTOMRIGHT over it (the corner
// codes within 12 pixels of a corner), and a left press there starts the user's drag of that
// edge (below). The window paints the strip through WM_NCPAINT (wParam 1: all of it), sent
// before the border is next shown after the window was made or resized: a window DC
// (GetWindowDC) draws on a picture of the whole outer part in window coordinates, (0, 0) at
// its top-left, of which only the strip shows. The default handling paints it COLOR_BTNFACE
// with a COLOR_WINDOWFRAME line around.
//
// A user's drag of an edge or of the caption sends, in this order:
//     WM_NCLBUTTONDOWN (wParam: HTLEFT..HTBOTTOMRIGHT for an edge, HTCAPTION for a move;
//                       lParam: the screen point),
//     WM_ENTERSIZEMOVE,
//     per step: WM_SIZING (wParam WMSZ_xxx, lParam: the proposed outer rectangle in screen
//               coordinates, which the handler may edit; the edited one is applied) or
//               WM_MOVING (the same for a move), then WM_SIZE / WM_MOVE as the window changes,
//     WM_CAPTURECHANGED (lParam 0) once the drag ends, then WM_EXITSIZEMOVE.
// The pair WM_NCLBUTTONDOWN ... WM_CAPTURECHANGED comes once per drag. When the window
// manager runs the drag (a real desktop), the platform sees it only as a run of moves and
// resizes: it starts the sequence at the first one (reporting HTBOTTOMRIGHT for a resize,
// as the edge is not known) and ends it once the window has been still for a moment.

#include <vector>

#include "platform/window/wnd.h"

class QWidget;

/// Turns a client rectangle into the outer rectangle of a window with this style (see the
/// rule above): a top-level window with a menu gains SM_CYMENU at the top; nothing else.
PLATFORM_API BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle);
PLATFORM_API BOOL AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu);

namespace platform {

/// Puts strip (a Qt menu bar) into the top-level window's outer part as its menu bar, SM_CYMENU
/// high; the window takes it over. Hiding or showing the strip later changes the client area.
/// False when the window is not a top-level window of the platform's own kind.
PLATFORM_API bool SetMenuStrip(HWND hwnd, QWidget* strip);
/// The Qt widget the window manager sees (the outer part of a top-level window).
PLATFORM_API QWidget* OuterWidgetOf(HWND hwnd);

// --- a user's drag, as the window manager reports it (tests drive it with these) ---------------
/// Starts a drag of a top-level window at hitCode (HTCAPTION or HTLEFT..HTBOTTOMRIGHT).
/// False when the window is no top-level window, a drag runs already or the code is none of those.
PLATFORM_API bool BeginUserDrag(HWND hwnd, UINT hitCode, POINT screenPoint);
/// One step: the user's pointer proposes this outer rectangle.
PLATFORM_API bool UserDragTo(HWND hwnd, const RECT& proposed);
/// The user let go.
PLATFORM_API bool EndUserDrag(HWND hwnd);

/// The top-level windows in stacking order, the topmost first.
PLATFORM_API std::vector<HWND> TopLevelZOrder();

/// Keeps a top-level window off the screen: it is shown, minimised and restored as any
/// window (IsWindowVisible, its owned windows, its placement, its messages), but the window
/// manager never gets it, so it has no frame, no task-bar entry and never takes the
/// activation. Stands in for a window of no size that exists only to own others.
PLATFORM_API void SetShownOffScreen(HWND hwnd, bool offScreen);
/// True when the window is kept off the screen.
PLATFORM_API bool IsShownOffScreen(HWND hwnd);

}  // namespace platform
