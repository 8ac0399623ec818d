#include "platform/menu/menu.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include <QCursor>
#include <QMenu>

#include "platform/last_error.h"
#include "platform/resources/resources.h"
#include "platform/window/hooks.h"
#include "platform/window/modal.h"
#include "platform/window/ui_thread.h"
#include "platform/window/wnd.h"

namespace {

// Menus are made and changed on the user-interface thread, but a stale handle may be
// checked from anywhere, so the registry is guarded. The registry is never destroyed: a
// menu still alive at exit would otherwise be destroyed by its temporary wrapper while
// the maps themselves are being torn down.
std::recursive_mutex g_mutex;
std::set<HMENU>& Live()
{
    static auto* live = new std::set<HMENU>;
    return *live;
}
/// The CMenu object that stands for a handle (its owner, or a temporary from FromHandle).
std::map<HMENU, CMenu*>& Objects()
{
    static auto* objects = new std::map<HMENU, CMenu*>;
    return *objects;
}
std::map<HMENU, std::unique_ptr<CMenu>>& Temporaries()
{
    static auto* temporaries = new std::map<HMENU, std::unique_ptr<CMenu>>;
    return *temporaries;
}

HMENU NewMenu()
{
    auto* menu = new HMENU__;
    std::lock_guard lock(g_mutex);
    Live().insert(menu);
    return menu;
}

HMENU__* Valid(HMENU menu)
{
    std::lock_guard lock(g_mutex);
    if (menu && Live().count(menu)) return menu;
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
}

struct Place {
    HMENU__* menu = nullptr;
    std::size_t index = 0;
};

/// The item by position, or by command id searched through the popups depth first.
Place FindItem(HMENU__* menu, UINT position, UINT flags)
{
    if (!menu) return {};
    if (flags & MF_BYPOSITION) {
        if (position < menu->items.size()) return {menu, position};
        return {};
    }
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        const HMENU__::Item& item = menu->items[i];
        if (item.popup) {
            if (Place inner = FindItem(Valid(item.popup), position, flags); inner.menu) return inner;
        } else if (!(item.flags & MF_SEPARATOR) && item.id == position) {
            return {menu, i};
        }
    }
    return {};
}

void Forget(HMENU menu)
{
    std::unique_ptr<CMenu> temporary;
    {
        std::lock_guard lock(g_mutex);
        Live().erase(menu);
        auto o = Objects().find(menu);
        if (o != Objects().end()) {
            o->second->m_hMenu = nullptr;
            Objects().erase(o);
        }
        auto t = Temporaries().find(menu);
        if (t != Temporaries().end()) {
            temporary = std::move(t->second);
            Temporaries().erase(t);
        }
    }
}

void Destroy(HMENU menu)
{
    if (!Valid(menu)) return;
    std::vector<HMENU__::Item> items = std::move(menu->items);
    Forget(menu);
    for (const HMENU__::Item& item : items)
        if (item.popup) Destroy(item.popup);
    delete menu;
}

HMENU__::Item MakeItem(UINT flags, UINT_PTR idOrPopup, LPCTSTR text)
{
    HMENU__::Item item;
    item.flags = flags & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_CHECKED | MFT_RADIOCHECK |
                          MF_MENUBARBREAK | MF_MENUBREAK | MF_DEFAULT);
    if (flags & MF_POPUP)
        item.popup = reinterpret_cast<HMENU>(idOrPopup);
    else if (!(flags & MF_SEPARATOR))
        item.id = static_cast<UINT>(idOrPopup);
    if (!(flags & MF_SEPARATOR) && text) item.text = text;
    return item;
}

/// Reads one level of a menu resource into menu, starting at pos; returns the position after it.
std::size_t ReadLevel(std::span<const platform::MenuItemData> data, std::size_t pos, HMENU menu)
{
    while (pos < data.size()) {
        const platform::MenuItemData& d = data[pos++];
        const UINT flags = d.flags & ~platform::kMenuEnd;
        if (flags & MF_POPUP) {
            HMENU popup = NewMenu();
            pos = ReadLevel(data, pos, popup);
            menu->items.push_back(MakeItem(flags, reinterpret_cast<UINT_PTR>(popup), d.text));
        } else {
            menu->items.push_back(MakeItem(flags, d.id, d.text));
        }
        if (d.flags & platform::kMenuEnd) break;
    }
    return pos;
}

void Flatten(HMENU__* menu, int depth, std::vector<platform::PopupMenuItem>& out)
{
    if (!menu) return;
    for (const HMENU__::Item& item : menu->items) {
        platform::PopupMenuItem p;
        p.id = item.popup ? 0 : item.id;
        p.text = item.text;
        p.popup = item.popup != nullptr;
        p.separator = (item.flags & MF_SEPARATOR) != 0;
        p.enabled = !(item.flags & (MF_GRAYED | MF_DISABLED));
        p.checked = (item.flags & MF_CHECKED) != 0;
        p.depth = depth;
        out.push_back(p);
        if (item.popup) Flatten(Valid(item.popup), depth + 1, out);
    }
}

/// Builds a Qt menu showing the data; triggered actions carry their command id.
void FillQMenu(QMenu* qmenu, HMENU__* menu)
{
    if (!menu) return;
    for (const HMENU__::Item& item : menu->items) {
        if (item.flags & MF_SEPARATOR) {
            qmenu->addSeparator();
        } else if (item.popup) {
            QMenu* sub = qmenu->addMenu(QString::fromUtf8(item.text.c_str()));
            sub->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
            FillQMenu(sub, Valid(item.popup));
        } else {
            QAction* action = qmenu->addAction(QString::fromUtf8(item.text.c_str()));
            action->setData(item.id);
            action->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
            action->setCheckable((item.flags & MF_CHECKED) != 0);
            action->setChecked((item.flags & MF_CHECKED) != 0);
        }
    }
}

}  // namespace

namespace platform {

bool IsMenuHandle(HMENU menu)
{
    std::lock_guard lock(g_mutex);
    return menu && Live().count(menu) != 0;
}

HMENU LoadMenuFromResource(UINT id)
{
    const MenuResource* resource = FindMenuResource(id);
    if (!resource) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HMENU menu = NewMenu();
    ReadLevel(resource->items, 0, menu);
    return menu;
}

}  // namespace platform

HMENU CreateMenu()
{
    return NewMenu();
}
HMENU CreatePopupMenu()
{
    return NewMenu();
}

BOOL DestroyMenu(HMENU hMenu)
{
    if (!Valid(hMenu)) return FALSE;
    Destroy(hMenu);
    return TRUE;
}

BOOL IsMenu(HMENU hMenu)
{
    return platform::IsMenuHandle(hMenu) ? TRUE : FALSE;
}

HMENU LoadMenu(HINSTANCE, LPCTSTR lpMenuName)
{
    if (!lpMenuName || !IS_INTRESOURCE(lpMenuName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return platform::LoadMenuFromResource(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(lpMenuName)));
}

HMENU GetSubMenu(HMENU hMenu, int nPos)
{
    HMENU__* menu = Valid(hMenu);
    if (!menu || nPos < 0 || static_cast<std::size_t>(nPos) >= menu->items.size()) return nullptr;
    return menu->items[static_cast<std::size_t>(nPos)].popup;
}

int GetMenuItemCount(HMENU hMenu)
{
    HMENU__* menu = Valid(hMenu);
    return menu ? static_cast<int>(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU hMenu, int nPos)
{
    HMENU__* menu = Valid(hMenu);
    if (!menu || nPos < 0 || static_cast<std::size_t>(nPos) >= menu->items.size())
        return static_cast<UINT>(-1);
    const HMENU__::Item& item = menu->items[static_cast<std::size_t>(nPos)];
    return item.popup ? static_cast<UINT>(-1) : item.id;
}

UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags)
{
    Place place = FindItem(Valid(hMenu), uId, uFlags);
    if (!place.menu) return static_cast<UINT>(-1);
    const HMENU__::Item& item = place.menu->items[place.index];
    UINT state = item.flags & ~MF_POPUP;
    if (item.popup) {
        HMENU__* popup = Valid(item.popup);
        state |= MF_POPUP | (static_cast<UINT>(popup ? popup->items.size() : 0) << 8);
    }
    return state;
}

UINT EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable)
{
    Place place = FindItem(Valid(hMenu), uIDEnableItem, uEnable);
    if (!place.menu) return static_cast<UINT>(-1);
    HMENU__::Item& item = place.menu->items[place.index];
    const UINT before = item.flags & (MF_GRAYED | MF_DISABLED);
    item.flags = (item.flags & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return before;
}

DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck)
{
    Place place = FindItem(Valid(hMenu), uIDCheckItem, uCheck);
    if (!place.menu) return static_cast<DWORD>(-1);
    HMENU__::Item& item = place.menu->items[place.index];
    const DWORD before = item.flags & MF_CHECKED;
    item.flags = (item.flags & ~MF_CHECKED) | (uCheck & MF_CHECKED);
    return before;
}

BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags)
{
    Place place = FindItem(Valid(hMenu), uPosition, uFlags);
    if (!place.menu) return FALSE;
    HMENU popup = place.menu->items[place.index].popup;
    place.menu->items.erase(place.menu->items.begin() + static_cast<std::ptrdiff_t>(place.index));
    if (popup) Destroy(popup);
    return TRUE;
}

BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags)
{
    Place place = FindItem(Valid(hMenu), uPosition, uFlags);
    if (!place.menu) return FALSE;
    place.menu->items.erase(place.menu->items.begin() + static_cast<std::ptrdiff_t>(place.index));
    return TRUE;
}

BOOL AppendMenu(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCTSTR lpNewItem)
{
    HMENU__* menu = Valid(hMenu);
    if (!menu) return FALSE;
    if ((uFlags & MF_POPUP) && !Valid(reinterpret_cast<HMENU>(uIDNewItem))) return FALSE;
    menu->items.push_back(MakeItem(uFlags, uIDNewItem, lpNewItem));
    return TRUE;
}

BOOL InsertMenu(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCTSTR lpNewItem)
{
    HMENU__* menu = Valid(hMenu);
    if (!menu) return FALSE;
    if ((uFlags & MF_POPUP) && !Valid(reinterpret_cast<HMENU>(uIDNewItem))) return FALSE;
    HMENU__::Item item = MakeItem(uFlags, uIDNewItem, lpNewItem);
    if (uFlags & MF_BYPOSITION) {
        // A position past the end (-1 included) appends, as the system does.
        const std::size_t at = uPosition < menu->items.size() ? uPosition : menu->items.size();
        menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
        return TRUE;
    }
    Place place = FindItem(menu, uPosition, MF_BYCOMMAND);
    if (!place.menu) return FALSE;
    place.menu->items.insert(place.menu->items.begin() + static_cast<std::ptrdiff_t>(place.index),
                             std::move(item));
    return TRUE;
}

BOOL ModifyMenu(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCTSTR lpNewItem)
{
    Place place = FindItem(Valid(hMnu), uPosition, uFlags);
    if (!place.menu) return FALSE;
    if ((uFlags & MF_POPUP) && !Valid(reinterpret_cast<HMENU>(uIDNewItem))) return FALSE;
    HMENU__::Item& item = place.menu->items[place.index];
    HMENU oldPopup = item.popup;
    item = MakeItem(uFlags, uIDNewItem, lpNewItem);
    if (oldPopup && oldPopup != item.popup) Destroy(oldPopup);
    return TRUE;
}

int GetMenuString(HMENU hMenu, UINT uIDItem, LPTSTR lpString, int cchMax, UINT flags)
{
    Place place = FindItem(Valid(hMenu), uIDItem, flags);
    if (!place.menu) {
        if (lpString && cchMax > 0) lpString[0] = '\0';
        return 0;
    }
    const CString& text = place.menu->items[place.index].text;
    const int length = static_cast<int>(text.GetLength());
    if (!lpString || cchMax <= 0) return length;
    const int copied = std::min(length, cchMax - 1);
    std::memcpy(lpString, text.c_str(), static_cast<std::size_t>(copied));
    lpString[copied] = '\0';
    return copied;
}

BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hWnd, LPTPMPARAMS params)
{
    // A popup lives on the user-interface thread, with the mouse hooks that watch it.
    if (!platform::IsUiThread())
        return platform::CallOnUiThread([&] { return TrackPopupMenuEx(hMenu, uFlags, x, y, hWnd, params); });
    HMENU__* menu = Valid(hMenu);
    CWnd* owner = CWnd::FromHandle(hWnd);
    if (!menu || !owner) return FALSE;
    // The owner sets the items' states before the menu shows.
    owner->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), 0);
    if (!Valid(hMenu)) return FALSE;

    platform::PopupMenuQuestion question;
    question.owner = hWnd;
    question.menu = hMenu;
    question.flags = uFlags;
    question.x = x;
    question.y = y;
    Flatten(menu, 0, question.items);
    UINT chosen = 0;
    {
        // The mouse hooks watch the mouse while the menu is up; a press beside it closes it.
        platform::PopupMenuScope popup;
        chosen = platform::AskModal(question, [&]() -> UINT {
            QMenu qmenu(owner->GetWidget() ? owner->GetWidget()->window() : nullptr);
            FillQMenu(&qmenu, menu);
            popup.SetMenu(&qmenu);
            QAction* action = qmenu.exec(QPoint(x, y));
            popup.SetMenu(nullptr);
            return action ? action->data().toUInt() : 0;
        });
        if (platform::PopupMenuDismissed()) chosen = 0;
    }
    if (IsWindow(hWnd)) owner->SendMessage(WM_MENUSELECT, MAKEWPARAM(0xFFFF, 0xFFFF), 0);
    if (uFlags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen == 0) return FALSE;
    if (!(uFlags & TPM_NONOTIFY)) PostMessage(hWnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
    return TRUE;
}

BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT*)
{
    return TrackPopupMenuEx(hMenu, uFlags, x, y, hWnd, nullptr);
}

// --- CMenu -----------------------------------------------------------------------------------------

CMenu::~CMenu()
{
    if (m_hMenu) DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (!hMenu) return nullptr;
    std::lock_guard lock(g_mutex);
    if (auto o = Objects().find(hMenu); o != Objects().end()) return o->second;
    auto& slot = Temporaries()[hMenu];
    if (!slot) {
        slot = std::make_unique<CMenu>();
        slot->m_hMenu = hMenu;
    }
    return slot.get();
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (m_hMenu || !Valid(hMenu)) return FALSE;
    m_hMenu = hMenu;
    std::lock_guard lock(g_mutex);
    Objects()[hMenu] = this;
    if (auto t = Temporaries().find(hMenu); t != Temporaries().end())
        t->second->m_hMenu = nullptr, Temporaries().erase(t);
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    std::lock_guard lock(g_mutex);
    if (auto o = Objects().find(menu); o != Objects().end() && o->second == this) Objects().erase(o);
    return menu;
}

BOOL CMenu::CreateMenu()
{
    return Attach(::CreateMenu());
}
BOOL CMenu::CreatePopupMenu()
{
    return Attach(::CreatePopupMenu());
}
BOOL CMenu::LoadMenu(UINT nIDResource)
{
    if (m_hMenu) return FALSE;
    HMENU menu = platform::LoadMenuFromResource(nIDResource);
    return menu ? Attach(menu) : FALSE;
}
BOOL CMenu::LoadMenu(LPCTSTR lpszResourceName)
{
    return Attach(::LoadMenu(nullptr, lpszResourceName));
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu) return FALSE;
    // A temporary for the handle must not destroy it again when it goes.
    CMenu* self = this;
    HMENU menu = m_hMenu;
    self->m_hMenu = nullptr;
    {
        std::lock_guard lock(g_mutex);
        if (auto o = Objects().find(menu); o != Objects().end() && o->second == this) Objects().erase(o);
    }
    return ::DestroyMenu(menu);
}

UINT CMenu::GetMenuItemCount() const
{
    return static_cast<UINT>(::GetMenuItemCount(m_hMenu));
}
UINT CMenu::GetMenuItemID(int nPos) const
{
    return ::GetMenuItemID(m_hMenu, nPos);
}
UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const
{
    return ::GetMenuState(m_hMenu, nID, nFlags);
}
int CMenu::GetMenuString(UINT nIDItem, LPTSTR lpString, int nMaxCount, UINT nFlags) const
{
    return ::GetMenuString(m_hMenu, nIDItem, lpString, nMaxCount, nFlags);
}
int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const
{
    Place place = FindItem(Valid(m_hMenu), nIDItem, nFlags);
    rString = place.menu ? place.menu->items[place.index].text : CString();
    return static_cast<int>(rString.GetLength());
}
CMenu* CMenu::GetSubMenu(int nPos) const
{
    return FromHandle(::GetSubMenu(m_hMenu, nPos));
}
BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem)
{
    return ::AppendMenu(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}
BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem)
{
    return ::InsertMenu(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
}
BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem)
{
    return ::ModifyMenu(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
}
BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags)
{
    return ::DeleteMenu(m_hMenu, nPosition, nFlags);
}
BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags)
{
    return ::RemoveMenu(m_hMenu, nPosition, nFlags);
}
UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable)
{
    return ::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable);
}
DWORD CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck)
{
    return ::CheckMenuItem(m_hMenu, nIDCheckItem, nCheck);
}

BOOL CMenu::CheckMenuRadioItem(UINT nIDFirst, UINT nIDLast, UINT nIDItem, UINT nFlags)
{
    HMENU__* menu = Valid(m_hMenu);
    if (!menu) return FALSE;
    bool found = false;
    if (nFlags & MF_BYPOSITION) {
        for (UINT pos = nIDFirst; pos <= nIDLast && pos < menu->items.size(); ++pos) {
            HMENU__::Item& item = menu->items[pos];
            const bool on = pos == nIDItem;
            found |= on;
            item.flags =
                (item.flags & ~(MF_CHECKED | MFT_RADIOCHECK)) | (on ? MF_CHECKED | MFT_RADIOCHECK : 0);
        }
        return found ? TRUE : FALSE;
    }
    for (UINT id = nIDFirst; id <= nIDLast; ++id) {
        Place place = FindItem(menu, id, MF_BYCOMMAND);
        if (!place.menu) continue;
        HMENU__::Item& item = place.menu->items[place.index];
        const bool on = id == nIDItem;
        found |= on;
        item.flags = (item.flags & ~(MF_CHECKED | MFT_RADIOCHECK)) | (on ? MF_CHECKED | MFT_RADIOCHECK : 0);
    }
    return found ? TRUE : FALSE;
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd ? pWnd->GetSafeHwnd() : nullptr, lpRect);
}
BOOL CMenu::TrackPopupMenuEx(UINT fuFlags, int x, int y, CWnd* pWnd, LPTPMPARAMS lptpm)
{
    return ::TrackPopupMenuEx(m_hMenu, fuFlags, x, y, pWnd ? pWnd->GetSafeHwnd() : nullptr, lptpm);
}

namespace platform {
/// Used by the frame to show a menu bar: a Qt menu for one popup of the data.
void FillQtMenu(QMenu* qmenu, HMENU menu)
{
    FillQMenu(qmenu, Valid(menu));
}
}  // namespace platform
