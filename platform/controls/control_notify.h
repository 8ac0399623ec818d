#pragma once

// How controls tell their parent what happened: WM_COMMAND with the notification code in the
// high word, or WM_NOTIFY with a record that starts with NMHDR. A WM_NOTIFY is first offered
// to the control itself as a reflected message (ON_NOTIFY_REFLECT), so a control class can
// take its own notifications before the parent sees them.

#include "platform/window/wnd.h"

/// Reflected messages reach the control at WM_REFLECT_BASE + the message.
constexpr UINT WM_REFLECT_BASE = 0xBC00;

namespace platform {

/// Registers the window class of a control kind (once) and returns its name, so that
/// GetClassName tells the kind ("Button", "Edit", "msctls_progress32"...).
PLATFORM_API LPCTSTR ControlClass(LPCTSTR name);
/// Sends WM_COMMAND (code, id of the control) to the control's parent.
PLATFORM_API void NotifyParentCommand(CWnd* control, UINT code);
/// Fills hwndFrom/idFrom/code, offers the record to the control (reflection), then sends
/// WM_NOTIFY to the parent; returns what the handler set as result (0 when none handled it).
PLATFORM_API LRESULT NotifyParent(CWnd* control, NMHDR& header, UINT code);

}  // namespace platform

constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_STATIC = 6;

/// `void fn()` in the control's own map, for a WM_COMMAND notification it sends (STN_CLICKED...).
#define ON_CONTROL_REFLECT(code, fn) \
    PLATFORM_COMMAND_ENTRY(WM_REFLECT_BASE + WM_COMMAND, code, 0, 0xFFFF, self->fn(); return true)
/// `HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)` in the control's own map: the control picks its
/// own colours (SetTextColor / SetBkColor on the DC) before it paints.
#define ON_WM_CTLCOLOR_REFLECT()                                \
    PLATFORM_MESSAGE_ENTRY(                                     \
        WM_REFLECT_BASE + WM_CTLCOLORSTATIC,                    \
        args.result = reinterpret_cast<LRESULT>(self->CtlColor( \
            platform::DcFromHandle(reinterpret_cast<HDC>(args.wParam)), static_cast<UINT>(args.lParam))))

namespace platform {
/// Asks for a control's colours as it paints: its reflected colour handler first, else its
/// parent's WM_CTLCOLORxxx. Returns whether someone answered; the colours are what they set
/// on the DC.
PLATFORM_API bool AskControlColours(CWnd* control, UINT ctlColor, COLORREF& text, COLORREF& background,
                                    bool& transparent);
}  // namespace platform

/// `void fn(NMHDR*, LRESULT*)` in the control's own map, for a notification it sends.
#define ON_NOTIFY_REFLECT(code, fn)                                                              \
    PLATFORM_COMMAND_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, code, 0, 0xFFFF,                         \
                           self->fn(PLATFORM_NOTIFY_ARGS->header, PLATFORM_NOTIFY_ARGS->result); \
                           return true)
