#pragma once

// CTabCtrl: a row of tabs over a display area. When the user picks a tab the parent first
// gets TCN_SELCHANGING (nonzero keeps the old tab) and then TCN_SELCHANGE; SetCurSel sends
// nothing.

#include "platform/controls/common_controls.h"
#include "platform/window/wnd.h"

class CImageList;

constexpr DWORD TCS_BOTTOM = 0x0002;
constexpr DWORD TCS_FLATBUTTONS = 0x0008;
constexpr DWORD TCS_HOTTRACK = 0x0040;
constexpr DWORD TCS_BUTTONS = 0x0100;
constexpr DWORD TCS_MULTILINE = 0x0200;
constexpr DWORD TCS_FIXEDWIDTH = 0x0400;
constexpr DWORD TCS_FOCUSNEVER = 0x8000;

constexpr DWORD TCS_EX_FLATSEPARATORS = 0x00000001;

constexpr UINT TCIF_TEXT = 0x0001;
constexpr UINT TCIF_IMAGE = 0x0002;
constexpr UINT TCIF_PARAM = 0x0008;

constexpr UINT TCN_FIRST = 0u - 550u;
constexpr UINT TCN_SELCHANGE = TCN_FIRST - 1;
constexpr UINT TCN_SELCHANGING = TCN_FIRST - 2;

struct TCITEM {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPTSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

class PLATFORM_API CTabCtrl : public CWnd {
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    /// Returns the index of the new tab; -1 on failure.
    LONG InsertItem(int nItem, LPCTSTR lpszItem);
    LONG InsertItem(int nItem, LPCTSTR lpszItem, int nImage);
    LONG InsertItem(int nItem, const TCITEM* pTabCtrlItem);
    BOOL GetItem(int nItem, TCITEM* pTabCtrlItem) const;
    BOOL SetItem(int nItem, const TCITEM* pTabCtrlItem);
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    /// -1 when there are no tabs.
    int GetCurSel() const;
    /// Returns the previous selection; -1 for a bad index.
    int SetCurSel(int nItem);
    BOOL GetItemRect(int nItem, LPRECT lpRect) const;
    /// bLarger FALSE: the display area inside a window rectangle; TRUE: the window rectangle
    /// around a display area.
    void AdjustRect(BOOL bLarger, LPRECT lpRect) const;
    /// The image list is not owned.
    CImageList* SetImageList(CImageList* pImageList);
    CImageList* GetImageList() const;
    /// TCS_EX_ bits; only the bits of the mask change (all of them with a zero mask).
    /// Returns the previous bits.
    DWORD SetExtendedStyle(DWORD dwNewStyle, DWORD dwExMask = 0);
    DWORD GetExtendedStyle() const;

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
};
