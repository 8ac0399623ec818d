#pragma once

// Message map macros. A class declares its map with DECLARE_MESSAGE_MAP() and defines it
// in its .cpp:
//
//     BEGIN_MESSAGE_MAP(CMyWnd, CWnd)
//         ON_WM_SIZE()
//         ON_COMMAND(ID_ZOOM_IN, OnZoomIn)
//         ON_MESSAGE(WM_USER + 500, OnViewer)
//     END_MESSAGE_MAP()
//
// Each entry carries a thunk (a capture-free lambda written inside the class's own map
// function, so it may call protected handlers) that unpacks the parameters and calls the
// handler with its usual signature. Other headers may add entry macros of their own with
// PLATFORM_MESSAGE_ENTRY / PLATFORM_COMMAND_ENTRY; inside the body `self` is the object
// (ThisClass*) and `args` the platform::DispatchArgs.

#include <type_traits>

#include "platform/geometry.h"
#include "platform/window/cmd_target.h"
#include "platform/window/paint_hook.h"

class CScrollBar;

constexpr UINT BN_CLICKED = 0;

#define DECLARE_MESSAGE_MAP()                                   \
public:                                                         \
    static const platform::MessageMap* GetThisMessageMap();     \
    const platform::MessageMap* GetMessageMap() const override; \
                                                                \
protected:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
    const platform::MessageMap* theClass::GetMessageMap() const                           \
    {                                                                                     \
        return GetThisMessageMap();                                                       \
    }                                                                                     \
    const platform::MessageMap* theClass::GetThisMessageMap()                             \
    {                                                                                     \
        using ThisClass = theClass;                                                       \
        using TheBaseClass = baseClass;                                                   \
        static_assert(sizeof(ThisClass) > 0 && std::is_base_of_v<CCmdTarget, ThisClass>); \
        static const platform::MessageMapEntry entries[] = {
// clang-format off
#define END_MESSAGE_MAP()                                                                    \
        {0, 0, 0, 0, nullptr, nullptr}};                                                     \
        static const platform::MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                                         \
    }
// clang-format on

/// An entry for window message `msg`; the body runs with `self` and `args`.
#define PLATFORM_MESSAGE_ENTRY(msg, ...)                                                                     \
    {msg, 0, 0, 0, nullptr, [](CCmdTarget* target_, [[maybe_unused]] platform::DispatchArgs& args) -> bool { \
         [[maybe_unused]] auto* self = static_cast<ThisClass*>(target_);                                     \
         __VA_ARGS__;                                                                                        \
         return true;                                                                                        \
     }},

/// An entry for WM_COMMAND / WM_NOTIFY code `code` and ids first..last; the body returns
/// whether it handled the command.
#define PLATFORM_COMMAND_ENTRY(msg, code, first, last, ...)                           \
    {msg,                                                                             \
     static_cast<UINT>(code),                                                         \
     static_cast<UINT>(first),                                                        \
     static_cast<UINT>(last),                                                         \
     nullptr,                                                                         \
     [](CCmdTarget* target_, [[maybe_unused]] platform::DispatchArgs& args) -> bool { \
         [[maybe_unused]] auto* self = static_cast<ThisClass*>(target_);              \
         __VA_ARGS__;                                                                 \
     }},

#define PLATFORM_POINT_LPARAM CPoint(GET_X_LPARAM(args.lParam), GET_Y_LPARAM(args.lParam))

// --- window messages ------------------------------------------------------------------------
#define ON_WM_CREATE()                \
    PLATFORM_MESSAGE_ENTRY(WM_CREATE, \
                           args.result = self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(args.lParam)))
#define ON_WM_DESTROY() PLATFORM_MESSAGE_ENTRY(WM_DESTROY, self->OnDestroy())
#define ON_WM_NCDESTROY() PLATFORM_MESSAGE_ENTRY(WM_NCDESTROY, self->OnNcDestroy())
#define ON_WM_CLOSE() PLATFORM_MESSAGE_ENTRY(WM_CLOSE, self->OnClose())
#define ON_WM_SIZE()                                                                                   \
    PLATFORM_MESSAGE_ENTRY(                                                                            \
        WM_SIZE, self->OnSize(static_cast<UINT>(args.wParam), static_cast<short>(LOWORD(args.lParam)), \
                              static_cast<short>(HIWORD(args.lParam))))
#define ON_WM_MOVE() \
    PLATFORM_MESSAGE_ENTRY(WM_MOVE, self->OnMove(GET_X_LPARAM(args.lParam), GET_Y_LPARAM(args.lParam)))
#define ON_WM_PAINT() PLATFORM_MESSAGE_ENTRY(WM_PAINT, self->OnPaint())
#define ON_WM_ERASEBKGND()                                                  \
    PLATFORM_MESSAGE_ENTRY(WM_ERASEBKGND, args.result = self->OnEraseBkgnd( \
                                              platform::DcFromHandle(reinterpret_cast<HDC>(args.wParam))))
// The scroll bar control derives from CWnd alone, so its object starts where its CWnd does.
#define ON_WM_HSCROLL()                                                                                \
    PLATFORM_MESSAGE_ENTRY(WM_HSCROLL, self->OnHScroll(LOWORD(args.wParam), HIWORD(args.wParam),       \
                                                       reinterpret_cast<CScrollBar*>(CWnd::FromHandle( \
                                                           reinterpret_cast<HWND>(args.lParam)))))
#define ON_WM_VSCROLL()                                                                                \
    PLATFORM_MESSAGE_ENTRY(WM_VSCROLL, self->OnVScroll(LOWORD(args.wParam), HIWORD(args.wParam),       \
                                                       reinterpret_cast<CScrollBar*>(CWnd::FromHandle( \
                                                           reinterpret_cast<HWND>(args.lParam)))))
#define PLATFORM_MOUSE_ENTRY(msg, fn) \
    PLATFORM_MESSAGE_ENTRY(msg, self->fn(static_cast<UINT>(args.wParam), PLATFORM_POINT_LPARAM))
#define ON_WM_MOUSEMOVE() PLATFORM_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() PLATFORM_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() PLATFORM_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() PLATFORM_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() PLATFORM_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() PLATFORM_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_RBUTTONDBLCLK() PLATFORM_MOUSE_ENTRY(WM_RBUTTONDBLCLK, OnRButtonDblClk)
#define ON_WM_MBUTTONDOWN() PLATFORM_MOUSE_ENTRY(WM_MBUTTONDOWN, OnMButtonDown)
#define ON_WM_MBUTTONUP() PLATFORM_MOUSE_ENTRY(WM_MBUTTONUP, OnMButtonUp)
#define ON_WM_MOUSEWHEEL()                               \
    PLATFORM_MESSAGE_ENTRY(                              \
        WM_MOUSEWHEEL, args.result = self->OnMouseWheel( \
                           LOWORD(args.wParam), GET_WHEEL_DELTA_WPARAM(args.wParam), PLATFORM_POINT_LPARAM))
#define PLATFORM_KEY_ENTRY(msg, fn) \
    PLATFORM_MESSAGE_ENTRY(         \
        msg, self->fn(static_cast<UINT>(args.wParam), LOWORD(args.lParam), HIWORD(args.lParam)))
#define ON_WM_KEYDOWN() PLATFORM_KEY_ENTRY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() PLATFORM_KEY_ENTRY(WM_KEYUP, OnKeyUp)
#define ON_WM_CHAR() PLATFORM_KEY_ENTRY(WM_CHAR, OnChar)
#define ON_WM_SYSKEYDOWN() PLATFORM_KEY_ENTRY(WM_SYSKEYDOWN, OnSysKeyDown)
#define ON_WM_CONTEXTMENU() \
    PLATFORM_MESSAGE_ENTRY( \
        WM_CONTEXTMENU,     \
        self->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(args.wParam)), PLATFORM_POINT_LPARAM))
#define ON_WM_HELPINFO() \
    PLATFORM_MESSAGE_ENTRY(WM_HELP, args.result = self->OnHelpInfo(reinterpret_cast<HELPINFO*>(args.lParam)))
#define ON_WM_SETCURSOR()                                                                                    \
    PLATFORM_MESSAGE_ENTRY(                                                                                  \
        WM_SETCURSOR, args.result = self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(args.wParam)), \
                                                      LOWORD(args.lParam), HIWORD(args.lParam)))
#define ON_WM_ACTIVATE()                                                                             \
    PLATFORM_MESSAGE_ENTRY(                                                                          \
        WM_ACTIVATE,                                                                                 \
        self->OnActivate(LOWORD(args.wParam), CWnd::FromHandle(reinterpret_cast<HWND>(args.lParam)), \
                         HIWORD(args.wParam)))
#define ON_WM_SHOWWINDOW()  \
    PLATFORM_MESSAGE_ENTRY( \
        WM_SHOWWINDOW, self->OnShowWindow(static_cast<BOOL>(args.wParam), static_cast<UINT>(args.lParam)))
#define ON_WM_GETMINMAXINFO()                \
    PLATFORM_MESSAGE_ENTRY(WM_GETMINMAXINFO, \
                           self->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(args.lParam)))
#define ON_WM_SYSCOMMAND() \
    PLATFORM_MESSAGE_ENTRY(WM_SYSCOMMAND, self->OnSysCommand(static_cast<UINT>(args.wParam), args.lParam))
#define ON_WM_QUERYDRAGICON() \
    PLATFORM_MESSAGE_ENTRY(WM_QUERYDRAGICON, args.result = reinterpret_cast<LRESULT>(self->OnQueryDragIcon()))
#define ON_WM_TIMER() PLATFORM_MESSAGE_ENTRY(WM_TIMER, self->OnTimer(static_cast<UINT_PTR>(args.wParam)))
#define ON_WM_COPYDATA()                                                                                   \
    PLATFORM_MESSAGE_ENTRY(                                                                                \
        WM_COPYDATA, args.result = self->OnCopyData(CWnd::FromHandle(reinterpret_cast<HWND>(args.wParam)), \
                                                    reinterpret_cast<COPYDATASTRUCT*>(args.lParam)))
#define ON_WM_CAPTURECHANGED()                \
    PLATFORM_MESSAGE_ENTRY(WM_CAPTURECHANGED, \
                           self->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(args.lParam))))
#define ON_WM_SIZING()      \
    PLATFORM_MESSAGE_ENTRY( \
        WM_SIZING, self->OnSizing(static_cast<UINT>(args.wParam), reinterpret_cast<LPRECT>(args.lParam)))
#define ON_WM_MOVING()      \
    PLATFORM_MESSAGE_ENTRY( \
        WM_MOVING, self->OnMoving(static_cast<UINT>(args.wParam), reinterpret_cast<LPRECT>(args.lParam)))
#define ON_WM_NCHITTEST()                                                                                  \
    PLATFORM_MESSAGE_ENTRY(WM_NCHITTEST,                                                                   \
                           args.result = self->OnNcHitTest(CPoint(static_cast<short>(LOWORD(args.lParam)), \
                                                                  static_cast<short>(HIWORD(args.lParam)))))
#define ON_WM_NCPAINT() PLATFORM_MESSAGE_ENTRY(WM_NCPAINT, self->OnNcPaint())
#define ON_WM_NCLBUTTONDOWN()                                                                    \
    PLATFORM_MESSAGE_ENTRY(WM_NCLBUTTONDOWN,                                                     \
                           self->OnNcLButtonDown(static_cast<UINT>(args.wParam),                 \
                                                 CPoint(static_cast<short>(LOWORD(args.lParam)), \
                                                        static_cast<short>(HIWORD(args.lParam)))))
#define ON_WM_SETFOCUS()                \
    PLATFORM_MESSAGE_ENTRY(WM_SETFOCUS, \
                           self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(args.wParam))))
#define ON_WM_KILLFOCUS()                \
    PLATFORM_MESSAGE_ENTRY(WM_KILLFOCUS, \
                           self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(args.wParam))))
#define ON_WM_ENABLE() PLATFORM_MESSAGE_ENTRY(WM_ENABLE, self->OnEnable(static_cast<BOOL>(args.wParam)))

/// Any message, handled by `LRESULT fn(WPARAM, LPARAM)`.
#define ON_MESSAGE(msg, fn) PLATFORM_MESSAGE_ENTRY(msg, args.result = self->fn(args.wParam, args.lParam))
/// A registered message whose id is kept in the UINT variable `idVar` (read at dispatch).
#define ON_REGISTERED_MESSAGE(idVar, fn)                                                   \
    {0, 0, 0, 0, &(idVar), [](CCmdTarget* target_, platform::DispatchArgs& args) -> bool { \
         args.result = static_cast<ThisClass*>(target_)->fn(args.wParam, args.lParam);     \
         return true;                                                                      \
     }},

// --- commands ---------------------------------------------------------------------------------
#define ON_COMMAND(nID, fn) PLATFORM_COMMAND_ENTRY(WM_COMMAND, CN_COMMAND, nID, nID, self->fn(); return true)
#define ON_COMMAND_RANGE(first, last, fn) \
    PLATFORM_COMMAND_ENTRY(WM_COMMAND, CN_COMMAND, first, last, self->fn(args.id); return true)
/// `BOOL fn(UINT id)`; FALSE lets the command route on to the next target.
#define ON_COMMAND_EX(nID, fn) \
    PLATFORM_COMMAND_ENTRY(WM_COMMAND, CN_COMMAND, nID, nID, return self->fn(args.id) != FALSE)
#define ON_COMMAND_EX_RANGE(first, last, fn) \
    PLATFORM_COMMAND_ENTRY(WM_COMMAND, CN_COMMAND, first, last, return self->fn(args.id) != FALSE)
#define PLATFORM_UPDATE_BODY(call)                \
    auto* ui_ = static_cast<CCmdUI*>(args.extra); \
    ui_->m_bContinueRouting = FALSE;              \
    call;                                         \
    return !ui_->m_bContinueRouting
#define ON_UPDATE_COMMAND_UI(nID, fn) \
    PLATFORM_COMMAND_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, nID, nID, PLATFORM_UPDATE_BODY(self->fn(ui_)))
#define ON_UPDATE_COMMAND_UI_RANGE(first, last, fn) \
    PLATFORM_COMMAND_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, first, last, PLATFORM_UPDATE_BODY(self->fn(ui_)))
/// A control notification that arrives inside WM_COMMAND (HIWORD(wParam) = code).
#define ON_CONTROL(code, nID, fn) PLATFORM_COMMAND_ENTRY(WM_COMMAND, code, nID, nID, self->fn(); return true)
#define ON_CONTROL_RANGE(code, first, last, fn) \
    PLATFORM_COMMAND_ENTRY(WM_COMMAND, code, first, last, self->fn(args.id); return true)
#define ON_BN_CLICKED(nID, fn) ON_CONTROL(BN_CLICKED, nID, fn)

// --- notifications (WM_NOTIFY) ------------------------------------------------------------
#define PLATFORM_NOTIFY_ARGS static_cast<platform::NotifyArgs*>(args.extra)
/// `void fn(NMHDR*, LRESULT*)`
#define ON_NOTIFY(code, nID, fn)                                                                 \
    PLATFORM_COMMAND_ENTRY(WM_NOTIFY, code, nID, nID,                                            \
                           self->fn(PLATFORM_NOTIFY_ARGS->header, PLATFORM_NOTIFY_ARGS->result); \
                           return true)
/// `void fn(UINT id, NMHDR*, LRESULT*)`
#define ON_NOTIFY_RANGE(code, first, last, fn)                                                            \
    PLATFORM_COMMAND_ENTRY(WM_NOTIFY, code, first, last,                                                  \
                           self->fn(args.id, PLATFORM_NOTIFY_ARGS->header, PLATFORM_NOTIFY_ARGS->result); \
                           return true)
/// `BOOL fn(UINT id, NMHDR*, LRESULT*)`; FALSE routes on.
#define ON_NOTIFY_EX(code, nID, fn) \
    PLATFORM_COMMAND_ENTRY(         \
        WM_NOTIFY, code, nID, nID,  \
        return self->fn(args.id, PLATFORM_NOTIFY_ARGS->header, PLATFORM_NOTIFY_ARGS->result) != FALSE)
