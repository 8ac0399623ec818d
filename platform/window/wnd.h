#pragma once

// CWnd: a window object. Each one owns one Qt widget and a handle (HWND) that stays unique
// for the life of the process, so a stale handle never reaches a newer window. Messages
// go through the virtual WindowProc, which looks the message up in the class's message
// map and otherwise calls DefWindowProc. Qt events of the widget are turned into the
// same messages in one place (window_widget.cpp).
//
// All windows live on the user-interface thread. Other threads use handles, or call the
// members that change a window (show, enable, move, invalidate, timers, scroll bars, text):
// those are carried to the user-interface thread and wait for it there. SendMessage blocks
// until the user-interface thread has handled the message, PostMessage queues it.

#include <functional>
#include <memory>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/kernel/threads.h"
#include "platform/system_metrics.h"
#include "platform/window/cmd_target.h"
#include "platform/window/message_map.h"
#include "platform/window/messages.h"

class QWidget;
class CWnd;
class CRgn;
class CMenu;
class CFont;

namespace platform {
struct WindowData;
/// The window layer's state of a window (null when it has no window).
WindowData* DataOf(const CWnd* wnd);
}  // namespace platform

using HBRUSH = struct HBRUSH__*;
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

/// Flags of RunModalLoop.
constexpr DWORD MLF_NOIDLEMSG = 0x0001;
constexpr DWORD MLF_SHOWONIDLE = 0x0004;

/// Where a top-level window lies in each of its states. rcNormalPosition is its outer
/// rectangle when it is neither minimised nor maximised (screen coordinates), also while it
/// is; showCmd is SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED.
struct WINDOWPLACEMENT {
    UINT length;
    UINT flags;
    UINT showCmd;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};
constexpr UINT WPF_SETMINPOSITION = 0x0001;
constexpr UINT WPF_RESTORETOMAXIMIZED = 0x0002;

class PLATFORM_API CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    CWnd();
    ~CWnd() override;

    // --- handles --------------------------------------------------------------------------
    /// Call only on an object (check a pointer that may be null first).
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }
    /// The window object of a handle; null when the handle names no window.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd) { return FromHandle(hWnd); }
    /// The Qt widget of the window (null before Create and after destruction).
    QWidget* GetWidget() const;

    // --- creation and destruction -------------------------------------------------------------
    /// Creates the window. lpszClassName null: the default class; a class registered with
    /// AfxRegisterWndClass gives its cursor and background. Sends WM_GETMINMAXINFO (top-level),
    /// WM_CREATE (-1 fails the creation and destroys the window), WM_SIZE and WM_MOVE.
    virtual BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                          int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                          LPVOID lpParam = nullptr);
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    /// A child window (WS_CHILD is added) with control id nID.
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID, void* pContext = nullptr);
    /// Lets a class adjust the creation parameters; FALSE stops the creation.
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    /// Destroys the window, its child windows and the windows it owns: WM_DESTROY, then
    /// the children and owned windows, then WM_NCDESTROY; the handle is gone after that,
    /// and PostNcDestroy comes last (the object may delete itself there).
    virtual BOOL DestroyWindow();
    /// Moves the window of hWnd (made by another object) over to this object; the other
    /// object is left without a window.
    BOOL SubclassWindow(HWND hWnd);
    /// Called by SubclassWindow once this object has the window (controls bound by data
    /// exchange set themselves up here).
    virtual void PreSubclassWindow() {}
    /// Not supported: a window always belongs to one object here. Returns null.
    HWND UnsubclassWindow();

    // --- messages --------------------------------------------------------------------------
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    /// Sends to every descendant (children first level first); bDeep FALSE: direct children only.
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL bDeep = TRUE);
    /// The default handling of the message being handled right now.
    LRESULT Default();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    /// Looks the message up in the maps; TRUE when a handler took it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    /// Own maps; a top-level window then lets the application try.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    /// Called for queued input and posted messages before they are dispatched, for the
    /// target window and then each parent; TRUE swallows the message.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    /// PreTranslateMessage of the message's window and its parents, up to hWndStop.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);
    /// Called once the window is gone (after WM_NCDESTROY); windows that own themselves
    /// delete themselves here.
    virtual void PostNcDestroy() {}

    // --- relations -------------------------------------------------------------------------------
    CWnd* GetParent() const;
    CWnd* SetParent(CWnd* pWndNewParent);
    CWnd* GetOwner() const;
    void SetOwner(CWnd* pOwnerWnd);
    /// The outermost window of the parent chain (the window itself when it is top-level).
    CWnd* GetTopLevelParent() const;
    CWnd* GetWindow(UINT nCmd) const;
    int GetDlgCtrlID() const;
    int SetDlgCtrlID(int nID);
    CWnd* GetDlgItem(int nID) const;
    BOOL IsChild(const CWnd* pWnd) const;
    static CWnd* GetDesktopWindow();
    /// The special places SetWindowPos takes as its first argument.
    static const CWnd wndTop, wndBottom, wndTopMost, wndNoTopMost;

    // --- state -----------------------------------------------------------------------------------
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsWindowEnabled() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsIconic() const;
    BOOL IsZoomed() const;
    void SetWindowText(LPCTSTR lpszString);
    int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    CString GetClassName() const;

    // --- geometry ----------------------------------------------------------------------------
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    void MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const;
    void MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const;
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    /// The window's state and its normal rectangle (kept while it is minimised or maximised).
    BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const;
    /// Gives the window its normal rectangle and shows it with showCmd (SW_HIDE keeps it
    /// hidden); a minimised or maximised window takes the rectangle when it is restored.
    BOOL SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl);

    // --- painting ----------------------------------------------------------------------------
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    /// Adds the region's pixels (client coordinates) to the area to repaint; null: all.
    void InvalidateRgn(CRgn* pRgn, BOOL bErase = TRUE);
    void ValidateRect(LPCRECT lpRect);
    /// Sends WM_PAINT at once when part of the window is invalid and the window is visible.
    void UpdateWindow();
    /// A region to redraw is not supported here: a non-null prgnUpdate redraws the whole window.
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, CRgn* prgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    BOOL GetUpdateRect(LPRECT lpRect, BOOL bErase = FALSE);

    // --- shape, system menu and icons --------------------------------------------------------
    /// Makes the region (window coordinates, a copy is kept; the handle stays the caller's)
    /// the window's shape: only its pixels show and take the mouse, the rest shows and hits
    /// what lies below. A null region gives the whole window back. Returns 0 for no window.
    int SetWindowRgn(HRGN hRgn, BOOL bRedraw);
    /// Copies the window's region into hRgn: its kind, or ERROR (0) when it has none.
    int GetWindowRgn(HRGN hRgn) const;
    /// The topmost visible window at the screen point (the deepest enabled child there).
    static CWnd* WindowFromPoint(POINT point);
    /// The window's system menu, which the program may extend: choosing an item sends
    /// WM_SYSCOMMAND with its id. bRevert TRUE puts the standard menu back and returns null.
    /// Null for child windows.
    CMenu* GetSystemMenu(BOOL bRevert) const;
    /// Sets the big or small icon (shown as the window's icon); returns the previous one.
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const;

    // --- font ------------------------------------------------------------------------------------
    /// Shows the window's text in `pFont` (null: the default font again). The font stays the
    /// caller's and must outlive its use here.
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    /// The font set with SetFont, else the font the window shows its text in now (a GDI
    /// font the window keeps while it lives).
    CFont* GetFont() const;

    // --- timers, capture, focus ---------------------------------------------------------------
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    CWnd* SetCapture();
    static CWnd* GetCapture();
    CWnd* SetFocus();
    static CWnd* GetFocus();
    static CWnd* GetActiveWindow();
    CWnd* SetActiveWindow();
    BOOL SetForegroundWindow();
    void BringWindowToTop();

    // --- the window's own scroll bars (WS_HSCROLL / WS_VSCROLL) ----------------------------------------
    // A bar shows while its range exceeds its page; using it sends WM_HSCROLL / WM_VSCROLL,
    // and its thumb moves only when the window sets the position, except while dragged.
    BOOL SetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, BOOL bRedraw = TRUE);
    BOOL GetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, UINT nMask = SIF_ALL) const;
    int SetScrollPos(int nBar, int nPos, BOOL bRedraw = TRUE);
    int GetScrollPos(int nBar) const;
    void SetScrollRange(int nBar, int nMinPos, int nMaxPos, BOOL bRedraw = TRUE);
    void GetScrollRange(int nBar, int* lpMinPos, int* lpMaxPos) const;
    /// Shows or hides the window's own bar (SB_HORZ, SB_VERT, SB_BOTH); the client area shrinks by it.
    void ShowScrollBar(UINT nBar, BOOL bShow = TRUE);

    // --- modal use --------------------------------------------------------------------------
    /// Runs a modal loop for this window until EndModalLoop; the owner's top-level window
    /// is disabled meanwhile. Goes through the modal gateway, so a test responder answers it.
    virtual int RunModalLoop(DWORD dwFlags = 0);
    virtual void EndModalLoop(int nResult);
    /// Whether the modal loop of this window still runs (FALSE after EndModalLoop).
    virtual BOOL ContinueModal();
    int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = nullptr, UINT nType = 0);

    // --- handlers the message map macros call (defaults do the default handling) ---------------------
    int OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
    void OnDestroy() { Default(); }
    void OnNcDestroy();
    void OnClose() { Default(); }
    void OnSize(UINT, int, int) { Default(); }
    void OnMove(int, int) { Default(); }
    void OnPaint() { Default(); }
    BOOL OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
    void OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
    void OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnLButtonDown(UINT, CPoint) { Default(); }
    void OnLButtonUp(UINT, CPoint) { Default(); }
    void OnLButtonDblClk(UINT, CPoint) { Default(); }
    void OnRButtonDown(UINT, CPoint) { Default(); }
    void OnRButtonUp(UINT, CPoint) { Default(); }
    void OnRButtonDblClk(UINT, CPoint) { Default(); }
    void OnMButtonDown(UINT, CPoint) { Default(); }
    void OnMButtonUp(UINT, CPoint) { Default(); }
    BOOL OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
    void OnKeyDown(UINT, UINT, UINT) { Default(); }
    void OnKeyUp(UINT, UINT, UINT) { Default(); }
    void OnChar(UINT, UINT, UINT) { Default(); }
    void OnSysKeyDown(UINT, UINT, UINT) { Default(); }
    void OnContextMenu(CWnd*, CPoint) { Default(); }
    BOOL OnHelpInfo(HELPINFO*) { return static_cast<BOOL>(Default()); }
    BOOL OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
    void OnActivate(UINT, CWnd*, BOOL) { Default(); }
    void OnShowWindow(BOOL, UINT) { Default(); }
    void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
    void OnTimer(UINT_PTR) { Default(); }
    BOOL OnCopyData(CWnd*, COPYDATASTRUCT*) { return static_cast<BOOL>(Default()); }
    void OnCaptureChanged(CWnd*) { Default(); }
    void OnSizing(UINT, LPRECT) { Default(); }
    void OnMoving(UINT, LPRECT) { Default(); }
    LRESULT OnNcHitTest(CPoint) { return Default(); }
    void OnNcPaint() { Default(); }
    void OnNcLButtonDown(UINT, CPoint) { Default(); }
    void OnSetFocus(CWnd*) { Default(); }
    void OnKillFocus(CWnd*) { Default(); }
    void OnEnable(BOOL) { Default(); }

    static const platform::MessageMap* GetThisMessageMap();
    const platform::MessageMap* GetMessageMap() const override;

protected:
    /// Makes the Qt widget of a new window. The default is the generic window widget with a
    /// paint surface; controls override it to wrap a Qt control (the platform then watches
    /// that widget's events through an event filter).
    virtual QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget);
    /// Shows a text that WM_SETTEXT stored; the default sets a top-level window's title.
    virtual void ApplyWindowText(const CString& text);
    /// The text as the widget holds it now (controls whose text the user edits override it).
    virtual CString ReadWindowText() const;

    /// Set by EndModalLoop; what RunModalLoop returns.
    int m_nModalResult = -1;

private:
    /// A stand-in that only carries a special handle (wndTop and the others).
    explicit CWnd(HWND special);
    friend platform::WindowData* platform::DataOf(const CWnd* wnd);
    friend BOOL DestroyWindowNow(CWnd* wnd);
    void SyncScrollBar(int nBar, bool shown);
    std::unique_ptr<platform::WindowData> m_data;
};

/// The handle of a window object that may be null (code written against the framework
/// often asks a null pointer for its handle; calling a member on null is not allowed here).
inline HWND SafeHwnd(const CWnd* wnd)
{
    return wnd ? wnd->GetSafeHwnd() : nullptr;
}

// --- free functions on handles (any thread where noted) -------------------------------------------
/// Runs the message's handler and returns its result. On the user-interface thread at once;
/// from another thread it blocks until the user-interface thread has handled it (the
/// user-interface thread answers such sends inside modal loops too). HWND_BROADCAST sends to
/// every top-level window. A handle that names no window: 0 and ERROR_INVALID_WINDOW_HANDLE.
PLATFORM_API LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
/// Queues the message for the window (any thread). FALSE with ERROR_INVALID_WINDOW_HANDLE
/// when the handle names no window; a message whose window is destroyed before it is
/// delivered is dropped. WM_COPYDATA cannot be posted (its record would not outlive the call).
PLATFORM_API BOOL PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
namespace platform {
/// PostMessage for a message that carries an allocated record: `release` frees it (on the
/// user-interface thread) when the window is destroyed before the message arrives. FALSE,
/// with nothing queued and nothing released, when the handle names no window.
PLATFORM_API BOOL PostMessageOwning(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    std::function<void()> release);
}  // namespace platform
namespace platform {
/// A filter a window runs before its own handling of each message, standing in for
/// subclassing the window: it sees every message the window gets (sent, posted or from
/// the user) and returns true when it has handled the message, with `result` the answer;
/// false lets the window handle it as usual.
using MessageFilter = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
/// Installs a filter on the window; the newest filter runs first. Returns its id, 0 when
/// the handle names no window. User-interface thread.
PLATFORM_API UINT_PTR AddMessageFilter(HWND hWnd, MessageFilter filter);
/// Takes the filter out (also from inside its own call); false when it is not installed.
PLATFORM_API bool RemoveMessageFilter(HWND hWnd, UINT_PTR id);
}  // namespace platform
/// Any thread.
PLATFORM_API BOOL IsWindow(HWND hWnd);
/// One id per name for the life of the process (0xC000..0xFFFF); 0 for an empty name. Any thread.
PLATFORM_API UINT RegisterWindowMessage(LPCTSTR lpString);
/// The first top-level window whose class name (ignoring case) and title match; a null
/// argument matches anything.
PLATFORM_API HWND FindWindow(LPCTSTR lpClassName, LPCTSTR lpWindowName);
using WNDENUMPROC = BOOL (*)(HWND hWnd, LPARAM lParam);
/// Calls `proc` for each top-level window of the program, in creation order,
/// until it returns FALSE. The list is taken before the first call, so `proc` may create
/// or destroy windows (a destroyed one is skipped). Returns FALSE when `proc` stopped it.
PLATFORM_API BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
/// The window of the platform at the screen point (see CWnd::WindowFromPoint); null when none.
PLATFORM_API HWND WindowFromPoint(POINT Point);
/// As CWnd::SetWindowRgn / GetWindowRgn.
PLATFORM_API int SetWindowRgn(HWND hWnd, HRGN hRgn, BOOL bRedraw);
PLATFORM_API int GetWindowRgn(HWND hWnd, HRGN hRgn);
/// A timer of the window (as CWnd::SetTimer), or, with a null window, a timer of the
/// user-interface thread: nIDEvent is then ignored, the id is made anew and returned, and
/// lpTimerFunc (required) is called with a null window on each tick.
PLATFORM_API UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
PLATFORM_API BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);
PLATFORM_API BOOL GetWindowPlacement(HWND hWnd, WINDOWPLACEMENT* lpwndpl);
PLATFORM_API BOOL SetWindowPlacement(HWND hWnd, const WINDOWPLACEMENT* lpwndpl);
PLATFORM_API BOOL ReleaseCapture();
PLATFORM_API HWND GetCapture();
PLATFORM_API BOOL GetCursorPos(LPPOINT lpPoint);
PLATFORM_API BOOL SetCursorPos(int x, int y);
/// Down state in the high bit (negative), as the system reports it.
PLATFORM_API short GetKeyState(int nVirtKey);
PLATFORM_API short GetAsyncKeyState(int nVirtKey);
PLATFORM_API DWORD GetMessageTime();
PLATFORM_API int GetWindowTextA(HWND hWnd, LPTSTR lpString, int nMaxCount);
PLATFORM_API BOOL SetWindowTextA(HWND hWnd, LPCTSTR lpString);
#define SendMessageA SendMessage
#define PostMessageA PostMessage
#define RegisterWindowMessageA RegisterWindowMessage
#define FindWindowA FindWindow

/// Registers a window class (style, cursor, background brush) under a generated name.
PLATFORM_API LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr,
                                         HBRUSH hbrBackground = nullptr, HICON hIcon = nullptr);
/// Registers a class under a chosen name (as RegisterClass does); FALSE when the name is taken.
PLATFORM_API BOOL AfxRegisterClass(LPCTSTR lpszClassName, UINT nClassStyle, HCURSOR hCursor = nullptr,
                                   HBRUSH hbrBackground = nullptr);
