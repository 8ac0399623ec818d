#pragma once

// CTreeCtrl: a tree of labelled items with images and a pointer-sized datum each. Items are
// named by HTREEITEM handles, valid until the item is deleted. The parent gets, as WM_NOTIFY:
// TVN_SELCHANGED when the selection moves; TVN_ITEMEXPANDING before the user expands or
// collapses an item (nonzero vetoes) and TVN_ITEMEXPANDED after; TVN_BEGINLABELEDIT (nonzero
// refuses the edit) and TVN_ENDLABELEDIT (pszText null when cancelled; TRUE keeps the text)
// with TVS_EDITLABELS; NM_CLICK, NM_DBLCLK, NM_RCLICK. Expand called by the program does not ask.
// The mouse over the items reaches the window's own handlers first (WM_LBUTTONDOWN ...); a
// handler that does not pass a press on keeps it from the tree. Without TVS_HASBUTTONS no
// expand buttons show.

#include "platform/controls/common_controls.h"
#include "platform/window/wnd.h"

class CImageList;
class QTreeWidgetItem;

struct _TREEITEM;
using HTREEITEM = _TREEITEM*;

#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFD)))

constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;
constexpr DWORD TVS_EDITLABELS = 0x0008;
constexpr DWORD TVS_DISABLEDRAGDROP = 0x0010;
constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;
constexpr DWORD TVS_CHECKBOXES = 0x0100;
constexpr DWORD TVS_INFOTIP = 0x0800;
constexpr DWORD TVS_FULLROWSELECT = 0x1000;

constexpr UINT TVE_COLLAPSE = 0x0001;
constexpr UINT TVE_EXPAND = 0x0002;
constexpr UINT TVE_TOGGLE = 0x0003;

constexpr UINT TVGN_ROOT = 0x0000;
constexpr UINT TVGN_NEXT = 0x0001;
constexpr UINT TVGN_PREVIOUS = 0x0002;
constexpr UINT TVGN_PARENT = 0x0003;
constexpr UINT TVGN_CHILD = 0x0004;
constexpr UINT TVGN_CARET = 0x0009;

constexpr UINT TVSIL_NORMAL = 0;
constexpr UINT TVSIL_STATE = 2;

// What lies under a point (CTreeCtrl::HitTest).
constexpr UINT TVHT_NOWHERE = 0x0001;
constexpr UINT TVHT_ONITEMICON = 0x0002;
constexpr UINT TVHT_ONITEMLABEL = 0x0004;
constexpr UINT TVHT_ONITEMINDENT = 0x0008;
constexpr UINT TVHT_ONITEMBUTTON = 0x0010;
constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
constexpr UINT TVHT_ONITEMSTATEICON = 0x0040;
constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;
constexpr UINT TVHT_ABOVE = 0x0100;
constexpr UINT TVHT_BELOW = 0x0200;
constexpr UINT TVHT_TORIGHT = 0x0400;
constexpr UINT TVHT_TOLEFT = 0x0800;

constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_IMAGE = 0x0002;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;
constexpr UINT TVIF_HANDLE = 0x0010;
constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
constexpr UINT TVIF_CHILDREN = 0x0040;

constexpr UINT TVIS_SELECTED = 0x0002;
constexpr UINT TVIS_EXPANDED = 0x0020;

constexpr UINT TVC_UNKNOWN = 0x0000;
constexpr UINT TVC_BYMOUSE = 0x0001;
constexpr UINT TVC_BYKEYBOARD = 0x0002;

constexpr UINT TVN_FIRST = 0u - 400u;
constexpr UINT TVN_SELCHANGING = TVN_FIRST - 1;
constexpr UINT TVN_SELCHANGED = TVN_FIRST - 2;
constexpr UINT TVN_GETDISPINFO = TVN_FIRST - 3;
constexpr UINT TVN_ITEMEXPANDING = TVN_FIRST - 5;
constexpr UINT TVN_ITEMEXPANDED = TVN_FIRST - 6;
constexpr UINT TVN_BEGINLABELEDIT = TVN_FIRST - 10;
constexpr UINT TVN_ENDLABELEDIT = TVN_FIRST - 11;
constexpr UINT TVN_DELETEITEM = TVN_FIRST - 9;
/// The tree asks its parent for the tip of the item under the mouse (NMTVGETINFOTIP).
constexpr UINT TVN_GETINFOTIP = TVN_FIRST - 13;

struct TVITEM {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPTSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};
using LPTVITEM = TVITEM*;

struct NMTREEVIEW {
    NMHDR hdr;
    UINT action;
    TVITEM itemOld;
    TVITEM itemNew;
    POINT ptDrag;
};
using LPNMTREEVIEW = NMTREEVIEW*;

struct NMTVDISPINFO {
    NMHDR hdr;
    TVITEM item;
};
using LPNMTVDISPINFO = NMTVDISPINFO*;

/// The tip request: the parent writes up to cchTextMax bytes (zero included) into pszText,
/// which starts empty; an empty text shows no tip.
struct NMTVGETINFOTIP {
    NMHDR hdr;
    LPTSTR pszText;
    int cchTextMax;
    HTREEITEM hItem;
    LPARAM lParam;
};
using LPNMTVGETINFOTIP = NMTVGETINFOTIP*;

class PLATFORM_API CTreeCtrl : public CWnd {
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    HTREEITEM InsertItem(LPCTSTR lpszItem, HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
    HTREEITEM InsertItem(LPCTSTR lpszItem, int nImage, int nSelectedImage, HTREEITEM hParent = TVI_ROOT,
                         HTREEITEM hInsertAfter = TVI_LAST);
    BOOL DeleteItem(HTREEITEM hItem);
    BOOL DeleteAllItems();
    UINT GetCount() const;

    HTREEITEM GetRootItem() const;
    HTREEITEM GetChildItem(HTREEITEM hItem) const;
    HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const;
    HTREEITEM GetPrevSiblingItem(HTREEITEM hItem) const;
    HTREEITEM GetParentItem(HTREEITEM hItem) const;
    HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const;
    HTREEITEM GetSelectedItem() const;
    BOOL ItemHasChildren(HTREEITEM hItem) const;

    CString GetItemText(HTREEITEM hItem) const;
    BOOL SetItemText(HTREEITEM hItem, LPCTSTR lpszItem);
    DWORD_PTR GetItemData(HTREEITEM hItem) const;
    BOOL SetItemData(HTREEITEM hItem, DWORD_PTR dwData);
    BOOL GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const;
    BOOL SetItemImage(HTREEITEM hItem, int nImage, int nSelectedImage);
    UINT GetItemState(HTREEITEM hItem, UINT nStateMask) const;

    /// TVE_EXPAND, TVE_COLLAPSE or TVE_TOGGLE, without asking the parent.
    BOOL Expand(HTREEITEM hItem, UINT nCode);
    /// Selects (null: clears the selection); the parent gets TVN_SELCHANGED (action TVC_UNKNOWN).
    BOOL SelectItem(HTREEITEM hItem);
    BOOL EnsureVisible(HTREEITEM hItem);
    /// Starts editing the label (TVS_EDITLABELS); the parent may refuse with TVN_BEGINLABELEDIT.
    BOOL EditLabel(HTREEITEM hItem);
    /// The image list is not owned; it must outlive its use by the tree.
    CImageList* SetImageList(CImageList* pImageList, int nImageListType);
    CImageList* GetImageList(UINT nImageList) const;
    BOOL SortChildren(HTREEITEM hItem);
    BOOL GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL bTextOnly) const;
    /// The item at pt (client coordinates), null when none; *pFlags tells the part (TVHT_).
    HTREEITEM HitTest(CPoint pt, UINT* pFlags = nullptr) const;
    /// The tip the parent gives for the item (TVN_GETINFOTIP, asked with a buffer of 1024
    /// bytes), as the mouse resting on the item shows it; empty when it gives none.
    CString GetInfoTip(HTREEITEM hItem) const;

    /// The Qt item behind a handle (tests and the tree's own widget).
    static QTreeWidgetItem* ItemOf(HTREEITEM hItem) { return reinterpret_cast<QTreeWidgetItem*>(hItem); }
    static HTREEITEM HandleOf(QTreeWidgetItem* item) { return reinterpret_cast<HTREEITEM>(item); }

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
};
