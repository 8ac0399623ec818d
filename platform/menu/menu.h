#pragma once

// Menus. A menu handle (HMENU) points to the menu's data: its items, each a command, a
// separator or a popup with a menu of its own. The frame window shows its menu bar from
// this data and refreshes it on DrawMenuBar; popup menus are built from it when they open.
// CMenu wraps a handle; a menu is destroyed with DestroyMenu, by the CMenu that owns it
// (the destructor), or with the menu it is a popup of.

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "platform/window/messages.h"

class CWnd;
class QMenu;

constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;

constexpr UINT MF_INSERT = 0x00000000;
constexpr UINT MF_CHANGE = 0x00000080;
constexpr UINT MF_APPEND = 0x00000100;
constexpr UINT MF_DELETE = 0x00000200;
constexpr UINT MF_REMOVE = 0x00001000;
constexpr UINT MF_BYCOMMAND = 0x00000000;
constexpr UINT MF_BYPOSITION = 0x00000400;
constexpr UINT MF_SEPARATOR = 0x00000800;
constexpr UINT MF_ENABLED = 0x00000000;
constexpr UINT MF_GRAYED = 0x00000001;
constexpr UINT MF_DISABLED = 0x00000002;
constexpr UINT MF_UNCHECKED = 0x00000000;
constexpr UINT MF_CHECKED = 0x00000008;
constexpr UINT MF_STRING = 0x00000000;
constexpr UINT MF_POPUP = 0x00000010;
constexpr UINT MF_MENUBARBREAK = 0x00000020;
constexpr UINT MF_MENUBREAK = 0x00000040;
constexpr UINT MF_HILITE = 0x00000080;
constexpr UINT MF_OWNERDRAW = 0x00000100;
constexpr UINT MF_DEFAULT = 0x00001000;
constexpr UINT MFT_RADIOCHECK = 0x00000200;

constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_HORIZONTAL = 0x0000;
constexpr UINT TPM_VERTICAL = 0x0040;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

/// Sent to the owner when a menu item is highlighted; item 0xFFFF with no menu when the menu closes.
constexpr UINT WM_MENUSELECT = 0x011F;

struct TPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
};
using LPTPMPARAMS = TPMPARAMS*;

/// The data behind a menu handle.
struct HMENU__ {
    struct Item {
        UINT id = 0;
        CString text;
        UINT flags = 0;  ///< MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_DISABLED, MF_CHECKED, MFT_RADIOCHECK
        HMENU popup = nullptr;
    };
    std::vector<Item> items;
};

namespace platform {
/// Whether the handle names a menu that exists (not yet destroyed).
PLATFORM_API bool IsMenuHandle(HMENU menu);
/// Builds a menu from the menu resource id of the chain; null when there is none.
PLATFORM_API HMENU LoadMenuFromResource(UINT id);
/// Fills a Qt menu with the items of menu (the frame's menu bar shows popups this way);
/// each command's QAction carries its id as data.
PLATFORM_API void FillQtMenu(QMenu* qmenu, HMENU menu);
}  // namespace platform

PLATFORM_API HMENU CreateMenu();
PLATFORM_API HMENU CreatePopupMenu();
/// Destroys the menu and its popups.
PLATFORM_API BOOL DestroyMenu(HMENU hMenu);
PLATFORM_API BOOL IsMenu(HMENU hMenu);
PLATFORM_API HMENU LoadMenu(HINSTANCE hInstance, LPCTSTR lpMenuName);

class PLATFORM_API CMenu {
public:
    HMENU m_hMenu = nullptr;

    CMenu() = default;
    /// Destroys the menu it still holds.
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    /// A CMenu for the handle, kept until the menu is destroyed; null for a null handle.
    static CMenu* FromHandle(HMENU hMenu);
    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    HMENU GetSafeHmenu() const { return this ? m_hMenu : nullptr; }
    operator HMENU() const { return m_hMenu; }

    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    /// Builds the menu from menu resource nIDResource of the resource chain.
    BOOL LoadMenu(UINT nIDResource);
    BOOL LoadMenu(LPCTSTR lpszResourceName);
    BOOL DestroyMenu();

    UINT GetMenuItemCount() const;
    /// The command id at nPos; -1 (as UINT) for a popup or a position past the end, 0 for a separator.
    UINT GetMenuItemID(int nPos) const;
    /// The state flags of the item, with the item count in the high byte for a popup;
    /// -1 (as UINT) when there is no such item.
    UINT GetMenuState(UINT nID, UINT nFlags) const;
    int GetMenuString(UINT nIDItem, LPTSTR lpString, int nMaxCount, UINT nFlags) const;
    int GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const;
    CMenu* GetSubMenu(int nPos) const;

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);
    /// Removes the item; a popup item's menu is destroyed.
    BOOL DeleteMenu(UINT nPosition, UINT nFlags);
    /// Removes the item; a popup item's menu is kept.
    BOOL RemoveMenu(UINT nPosition, UINT nFlags);
    /// The previous state (MF_ENABLED / MF_GRAYED / MF_DISABLED) or -1 when there is no such item.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    /// The previous check state (MF_CHECKED / MF_UNCHECKED) or -1 when there is no such item.
    DWORD CheckMenuItem(UINT nIDCheckItem, UINT nCheck);
    BOOL CheckMenuRadioItem(UINT nIDFirst, UINT nIDLast, UINT nIDItem, UINT nFlags);

    /// Shows the menu as a popup at (x, y) screen coordinates. The owner first gets
    /// WM_INITMENUPOPUP. With TPM_RETURNCMD returns the chosen command (0 when none);
    /// otherwise posts WM_COMMAND with it to the owner and returns whether one was chosen.
    /// Popups are modal: they go through the modal gateway.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);
    BOOL TrackPopupMenuEx(UINT fuFlags, int x, int y, CWnd* pWnd, LPTPMPARAMS lptpm);
};

PLATFORM_API BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                                 const RECT* prcRect);
PLATFORM_API BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hWnd, LPTPMPARAMS lptpm);
PLATFORM_API HMENU GetSubMenu(HMENU hMenu, int nPos);
PLATFORM_API int GetMenuItemCount(HMENU hMenu);
PLATFORM_API UINT GetMenuItemID(HMENU hMenu, int nPos);
PLATFORM_API UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags);
PLATFORM_API UINT EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
PLATFORM_API DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck);
PLATFORM_API BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
PLATFORM_API BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
PLATFORM_API BOOL AppendMenu(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCTSTR lpNewItem);
PLATFORM_API BOOL InsertMenu(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem,
                             LPCTSTR lpNewItem);
PLATFORM_API BOOL ModifyMenu(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCTSTR lpNewItem);
PLATFORM_API int GetMenuString(HMENU hMenu, UINT uIDItem, LPTSTR lpString, int cchMax, UINT flags);
#define AppendMenuA AppendMenu
#define InsertMenuA InsertMenu
#define ModifyMenuA ModifyMenu
#define GetMenuStringA GetMenuString
#define LoadMenuA LoadMenu

/// The frame window shows hMenu as its menu bar (the frame refreshes it on DrawMenuBar).
PLATFORM_API BOOL SetMenu(HWND hWnd, HMENU hMenu);
PLATFORM_API HMENU GetMenu(HWND hWnd);
PLATFORM_API BOOL DrawMenuBar(HWND hWnd);
