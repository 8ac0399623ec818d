#pragma once

// Inside the window layer only: the per-window state behind CWnd, the handle registry and
// the dispatcher that all messages pass through.

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include "platform/gdi/gdi_types.h"
#include "platform/gdi/span_region.h"
#include "platform/qt_types_internal.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/wnd.h"

class QEventLoop;
class QTimer;

namespace platform {

struct WindowClass {
    CString name;
    UINT style = 0;
    HCURSOR cursor = nullptr;
    std::optional<COLORREF> background;  ///< none: WM_ERASEBKGND erases nothing
};
/// The class registered under name (case-insensitive); null when none is.
const WindowClass* FindWindowClass(const char* name);

class WindowWidget;
class OuterWidget;

struct WindowData {
    QPointer<QWidget> widget;
    WindowWidget* generic = nullptr;       ///< the widget when it is ours (it has a surface)
    std::unique_ptr<QObject> eventFilter;  ///< watches a Qt control's events
    CString text;
    WindowClass windowClass;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    HWND parent = nullptr;  ///< child windows
    HWND owner = nullptr;   ///< owned top-level windows
    std::map<UINT_PTR, std::pair<std::unique_ptr<QTimer>, TIMERPROC>> timers;
    QRegion invalid;
    bool erasePending = false;
    PaintTarget* paintTarget = nullptr;
    CSize lastSize{-1, -1};
    UINT lastSizeType = SIZE_RESTORED;
    CPoint lastPos{INT32_MIN, INT32_MIN};
    QEventLoop* modalLoop = nullptr;
    bool modalEnded = false;
    bool destroying = false;
    QPointer<OuterWidget> outer;      ///< top-level generic windows: the outer part (else null)
    UINT dragHit = 0;                 ///< while a user drags the window: HTCAPTION or the edge's code
    std::unique_ptr<QTimer> dragEnd;  ///< ends a drag the window manager runs once it goes quiet
    bool hiddenWithOwner = false;     ///< hidden because its owner was hidden or minimised
    SCROLLINFO scroll[2] = {{sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0},
                            {sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0}};
    // Shape, system menu and icons (window_region.cpp, system_menu.cpp).
    std::optional<SpanRegion> region;     ///< window coordinates; none: the whole window
    std::shared_ptr<CMenu> systemMenu;    ///< made on first use
    HICON icons[2] = {nullptr, nullptr};  ///< ICON_SMALL, ICON_BIG
    // Font (wnd_font.cpp): the one SetFont gave, and the one made from the widget's font.
    HFONT font = nullptr;
    std::shared_ptr<void> widgetFont;
    // Message filters (wnd_dispatch.cpp), newest last.
    std::vector<std::pair<UINT_PTR, MessageFilter>> filters;
    // The outer rectangle of the window's normal state (wnd_placement.cpp); empty until known.
    QRect normalRect;
};

// --- handle registry (lookups from any thread) ------------------------------------------
HWND RegisterHandle(CWnd* wnd);
void UnregisterHandle(HWND hwnd);
/// Moves a handle to another window object (subclassing).
void RebindHandle(HWND hwnd, CWnd* wnd);
CWnd* LookupWindow(HWND hwnd);
/// All windows in creation order (user-interface thread).
std::vector<HWND> AllWindows();
std::vector<HWND> TopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);

// --- dispatching ---------------------------------------------------------------------------
/// Calls the window's WindowProc, keeping track of the message for Default(). Sets
/// *defaultReached when the message got to DefWindowProc.
LRESULT Dispatch(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, bool* defaultReached = nullptr);
/// As for a queued message: PreTranslateMessage of the application and the window chain
/// first, then Dispatch. Returns true when the message was swallowed or handled without
/// the default. Exceptions from handlers stop here and are reported.
bool DispatchQueued(const MSG& msg, bool* defaultReached = nullptr);
/// Marks that DefWindowProc got the message being dispatched to hwnd.
void NoteDefaultReached(HWND hwnd, UINT message);
/// The message being dispatched right now (for Default()); false when none.
bool CurrentMessage(MSG& msg);
/// Depth of Qt events being translated right now (widgets are not deleted inside them).
int EventDepth();
struct EventDepthScope {
    EventDepthScope();
    ~EventDepthScope();
};

// --- pieces of window state used across files --------------------------------------------
/// Sends WM_SIZE / WM_MOVE when the client size or position changed since last noted.
void NoteGeometry(CWnd* wnd);
/// Runs WM_ERASEBKGND / WM_PAINT for the invalid region into the surface (force: even hidden).
void PaintPending(CWnd* wnd, bool force);
/// The window whose mouse message is being handled (SetCursor applies there).
HWND CursorWindow();
void SetCursorWindow(HWND hwnd);
/// What DefWindowProc answers for WM_QUERYDRAGICON: the window's big icon, else its small one.
HICON DragIconOf(const CWnd* wnd);
/// Stops a window's modal loop if one runs (the window is being destroyed).
void AbortModalLoop(WindowData& data);
/// The widget the window manager sees: the outer part of a top-level window, else the
/// window's widget. Showing, placing, stacking and the title go there.
QWidget* OuterOf(const WindowData& data);
/// The window manager moved or resized the window (a user's drag): runs the drag's
/// messages as BeginUserDrag / UserDragTo do and ends it once the window stays still.
void NoteWindowManagerDrag(HWND hwnd, bool sized);
/// What lies under a screen point: HTCLIENT, HTMENU, HTVSCROLL, HTHSCROLL, the corner between
/// the bars, or HTNOWHERE outside the outer rectangle (WM_NCHITTEST's default).
LRESULT NonClientHitTest(CWnd* wnd, POINT screen);
/// Whether a window of this style gets the platform's sizing border (nonclient.h).
bool HasPopupFrame(DWORD style);
/// True for a top-level window the window manager frames (a caption of its own).
bool HasWindowManagerFrame(DWORD style);
/// Moves (and, when it is resizable, shrinks) a captioned top-level window so that its
/// frame lies on the work area (work_area.h); other windows stay as they are.
void KeepOnWorkArea(CWnd* wnd);
/// WM_NCPAINT's default: the sizing border in button face with a window-frame line.
void PaintDefaultFrame(CWnd* wnd);
/// Notes the top-level window's outer rectangle as its normal one when it is in the normal state.
void NoteNormalRect(WindowData& data);
/// Puts a top-level window that is in the normal state onto `normal` (the rectangle noted
/// before it was restored), which is its normal rectangle again.
void RestoreNormalRect(WindowData& data, const QRect& normal);
/// The window was activated by the window manager: it comes to the top of the stacking order.
void NoteActivated(HWND hwnd);
/// The active top-level window and its owner, noted before a change that may hide it.
struct ActiveNote {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
};
ActiveNote NoteActiveWindow();
/// After a change: when the window noted active is no longer shown (hidden, minimised or
/// destroyed), the platform activates the next window as the system does, so the window
/// manager never picks one and lifts it over the others: the owner when it is shown and
/// enabled, else the topmost window shown and enabled, each where it lies in the order.
void ActivateNextIfGone(const ActiveNote& note);
/// Before a top-level window is hidden or destroyed: when it or a window it owns is active,
/// the next window is activated at once.
void ActivateNextBeforeHiding(HWND leaving);

// --- stacking order of top-level windows (user-interface thread) ------------------------------
void ZOrderAdd(HWND hwnd);
void ZOrderRemove(HWND hwnd);
/// Moves the window to the top (HWND_TOP), the bottom (HWND_BOTTOM) or below another one;
/// owned windows stay above their owners and topmost windows above the others.
void ZOrderPlace(HWND hwnd, HWND insertAfter);
/// Hides the visible windows the window owns (it was hidden or minimised) / shows them again.
void HideOwnedWindows(HWND owner);
void ShowOwnedWindows(HWND owner);

/// Drops a window that goes away from the capture, focus and cursor records.
void ForgetInputWindow(HWND hwnd, QWidget* widget);
/// Reports an exception that a message handler let out.
void ReportHandlerFailure(const char* what);
/// The primary screen's rectangle.
QRect ScreenRect();
/// Asks a top-level window for its smallest and largest size (WM_GETMINMAXINFO), keeps
/// width and height inside them, and lets the widget hold the user's resizing to them too.
/// False when the window went away meanwhile.
bool ApplyTrackSizes(CWnd* wnd, int& width, int& height);
/// The size of the window's client area.
QSize ClientSize(const WindowData& data);
/// Gives a generic window's surface the size, filled with the class background when it changes.
void ResetSurface(WindowData& data, QSize size);

}  // namespace platform

/// Destroys a window whatever its class's DestroyWindow would decide (children, owned
/// windows and the class's own DestroyWindow use it).
BOOL DestroyWindowNow(CWnd* wnd);
