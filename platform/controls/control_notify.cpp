#include "platform/controls/control_notify.h"

#include <QImage>

#include "platform/gdi/dc.h"

#include <mutex>
#include <set>
#include <string>

namespace platform {

LPCTSTR ControlClass(LPCTSTR name)
{
    static std::mutex mutex;
    static std::set<std::string> registered;
    std::lock_guard lock(mutex);
    if (registered.insert(name).second) AfxRegisterClass(name, CS_DBLCLKS);
    return name;
}

void NotifyParentCommand(CWnd* control, UINT code)
{
    const int id = control->GetDlgCtrlID();
    // A control class may take its own notification (ON_CONTROL_REFLECT).
    for (const MessageMap* map = control->GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->thunk; ++entry) {
            if (entry->message != WM_REFLECT_BASE + WM_COMMAND ||
                static_cast<WORD>(entry->code) != static_cast<WORD>(code))
                continue;
            DispatchArgs args{entry->message, 0, 0, static_cast<UINT>(id), nullptr, 0};
            if (entry->thunk(control, args)) return;
        }
    }
    CWnd* parent = control->GetParent();
    if (!parent) return;
    ::SendMessage(parent->GetSafeHwnd(), WM_COMMAND,
                  MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)),
                  reinterpret_cast<LPARAM>(control->GetSafeHwnd()));
}

LRESULT NotifyParent(CWnd* control, NMHDR& header, UINT code)
{
    header.hwndFrom = control->GetSafeHwnd();
    header.idFrom = static_cast<UINT_PTR>(control->GetDlgCtrlID());
    header.code = code;
    const HWND self = control->GetSafeHwnd();
    LRESULT result = 0;
    NotifyArgs notify{&header, &result};
    for (const MessageMap* map = control->GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->thunk; ++entry) {
            if (entry->message != WM_REFLECT_BASE + WM_NOTIFY ||
                static_cast<WORD>(entry->code) != static_cast<WORD>(code))
                continue;
            DispatchArgs args{entry->message, 0, 0, static_cast<UINT>(header.idFrom), &notify, 0};
            if (entry->thunk(control, args)) return result;
        }
    }
    if (!IsWindow(self)) return 0;
    CWnd* parent = control->GetParent();
    if (!parent) return 0;
    return ::SendMessage(parent->GetSafeHwnd(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

}  // namespace platform

namespace platform {

bool AskControlColours(CWnd* control, UINT ctlColor, COLORREF& text, COLORREF& background, bool& transparent)
{
    QImage scratch(1, 1, QImage::Format_RGB32);
    const HDC dc = CreateImageDC(&scratch);
    if (!dc) return false;
    const COLORREF defaultText = GetTextColor(dc);
    const COLORREF defaultBack = GetBkColor(dc);
    const UINT message = ctlColor == CTLCOLOR_EDIT  ? WM_CTLCOLOREDIT
                         : ctlColor == CTLCOLOR_BTN ? WM_CTLCOLORBTN
                                                    : WM_CTLCOLORSTATIC;
    bool answered = false;
    // The control's own reflected handler first.
    for (const MessageMap* map = control->GetMessageMap(); map && !answered;
         map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->thunk; ++entry) {
            if (entry->message != WM_REFLECT_BASE + WM_CTLCOLORSTATIC) continue;
            DispatchArgs args{
                entry->message, reinterpret_cast<WPARAM>(dc), static_cast<LPARAM>(ctlColor), 0, nullptr, 0};
            entry->thunk(control, args);
            answered = args.result != 0;
            break;
        }
    }
    if (!answered) {
        if (CWnd* parent = control->GetParent())
            answered = ::SendMessage(parent->GetSafeHwnd(), message, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(control->GetSafeHwnd())) != 0;
    }
    if (answered) {
        text = GetTextColor(dc);
        background = GetBkColor(dc);
        transparent = GetBkMode(dc) == 1;  // TRANSPARENT
        answered = text != defaultText || background != defaultBack || transparent;
    }
    DeleteDC(dc);
    return answered;
}

}  // namespace platform
