#include "platform/controls/control_notify.h"

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
    CWnd* parent = control->GetParent();
    if (!parent) return;
    const int id = control->GetDlgCtrlID();
    ::SendMessage(parent->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)),
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
            if (entry->message != WM_REFLECT_BASE + WM_NOTIFY || static_cast<WORD>(entry->code) != static_cast<WORD>(code)) continue;
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
