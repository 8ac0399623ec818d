#pragma once

// CListCtrl: the list view. Report mode (LVS_REPORT) shows columns under a header; icon mode
// (LVS_ICON) a grid of the large pictures (LVSIL_NORMAL) with their labels below, arranged in
// rows that wrap at the control's width; small icon and list modes show the items' first
// column as a simple list with the small pictures (LVSIL_SMALL). Items are rows
// named by index. The parent gets, as WM_NOTIFY: LVN_ITEMCHANGED for every change of an item's
// selected, focused or check state (whoever made it); LVN_COLUMNCLICK for a click on a column
// heading; LVN_BEGINLABELEDIT / LVN_ENDLABELEDIT with LVS_EDITLABELS; NM_CLICK, NM_DBLCLK,
// NM_RCLICK; and NM_CUSTOMDRAW while painting (CDDS_PREPAINT, then CDDS_ITEMPREPAINT per row
// and CDDS_ITEMPREPAINT | CDDS_SUBITEM per cell when asked for), where the parent may set
// each cell's text and background colours.

#include "platform/controls/common_controls.h"
#include "platform/window/wnd.h"

class CImageList;

constexpr DWORD LVS_ICON = 0x0000;
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SMALLICON = 0x0002;
constexpr DWORD LVS_LIST = 0x0003;
constexpr DWORD LVS_TYPEMASK = 0x0003;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_SORTASCENDING = 0x0010;
/// Icon mode keeps its items arranged (always so here).
constexpr DWORD LVS_AUTOARRANGE = 0x0100;
constexpr DWORD LVS_EDITLABELS = 0x0200;
constexpr DWORD LVS_NOCOLUMNHEADER = 0x4000;
constexpr DWORD LVS_NOSORTHEADER = 0x8000;

constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
constexpr DWORD LVS_EX_HEADERDRAGDROP = 0x0010;
constexpr DWORD LVS_EX_TRACKSELECT = 0x0008;

constexpr UINT LVIF_TEXT = 0x0001;
constexpr UINT LVIF_IMAGE = 0x0002;
constexpr UINT LVIF_PARAM = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;

constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT i)
{
    return i << 12;
}

constexpr UINT LVNI_ALL = 0x0000;
constexpr UINT LVNI_FOCUSED = 0x0001;
constexpr UINT LVNI_SELECTED = 0x0002;

constexpr int LVCFMT_LEFT = 0x0000;
constexpr int LVCFMT_RIGHT = 0x0001;
constexpr int LVCFMT_CENTER = 0x0002;

constexpr UINT LVSIL_NORMAL = 0;
constexpr UINT LVSIL_SMALL = 1;
constexpr UINT LVSIL_STATE = 2;

constexpr UINT LVIR_BOUNDS = 0;
constexpr UINT LVIR_ICON = 1;
constexpr UINT LVIR_LABEL = 2;

constexpr UINT LVN_FIRST = 0u - 100u;
constexpr UINT LVN_ITEMCHANGING = LVN_FIRST - 0;
constexpr UINT LVN_ITEMCHANGED = LVN_FIRST - 1;
constexpr UINT LVN_DELETEITEM = LVN_FIRST - 3;
constexpr UINT LVN_BEGINLABELEDIT = LVN_FIRST - 5;
constexpr UINT LVN_ENDLABELEDIT = LVN_FIRST - 6;
constexpr UINT LVN_COLUMNCLICK = LVN_FIRST - 8;

struct LVITEM {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPTSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
};
using LPNMLISTVIEW = NMLISTVIEW*;

struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
};
using LPNMITEMACTIVATE = NMITEMACTIVATE*;

struct NMLVDISPINFO {
    NMHDR hdr;
    LVITEM item;
};

struct NMLVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText;
    COLORREF clrTextBk;
    int iSubItem;
};
using LPNMLVCUSTOMDRAW = NMLVCUSTOMDRAW*;

using PFNLVCOMPARE = int (*)(LPARAM, LPARAM, LPARAM);

class PLATFORM_API CListCtrl : public CWnd {
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    // --- columns --------------------------------------------------------------------------------------
    int InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
    BOOL DeleteColumn(int nCol);
    int GetColumnWidth(int nCol) const;
    BOOL SetColumnWidth(int nCol, int cx);
    int GetColumnCount() const;

    // --- items -------------------------------------------------------------------------------------------
    /// Returns the index of the new item; -1 on failure.
    int InsertItem(int nItem, LPCTSTR lpszItem);
    int InsertItem(int nItem, LPCTSTR lpszItem, int nImage);
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    CString GetItemText(int nItem, int nSubItem) const;
    BOOL SetItemText(int nItem, int nSubItem, LPCTSTR lpszText);
    DWORD_PTR GetItemData(int nItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR dwData);
    UINT GetItemState(int nItem, UINT nMask) const;
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    /// The next item after nItem (-1: from the start) with the LVNI_ flags; -1 when none.
    int GetNextItem(int nItem, int nFlags) const;
    UINT GetSelectedCount() const;
    BOOL EnsureVisible(int nItem, BOOL bPartialOK);
    BOOL GetCheck(int nItem) const;
    BOOL SetCheck(int nItem, BOOL fCheck = TRUE);
    BOOL GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const;
    BOOL GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const;
    /// Sorts the items by their data with pfnCompare (negative: first before second).
    BOOL SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData);
    BOOL EditLabel(int nItem);

    DWORD SetExtendedStyle(DWORD dwNewStyle);
    DWORD GetExtendedStyle() const;
    /// The pictures of LVSIL_NORMAL (icon mode) or LVSIL_SMALL (the other modes); a mode
    /// without its own list uses the other one. The image list is not owned.
    CImageList* SetImageList(CImageList* pImageList, int nImageListType);
    BOOL SetBkColor(COLORREF cr);
    COLORREF GetBkColor() const;
    BOOL SetTextColor(COLORREF cr);
    COLORREF GetTextColor() const;
    BOOL SetTextBkColor(COLORREF cr);

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
};
