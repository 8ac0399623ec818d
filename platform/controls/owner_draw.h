#pragma once

// Owner drawing: a button with BS_OWNERDRAW or a static with SS_OWNERDRAW leaves its look to
// others. Each time it paints, its parent gets WM_DRAWITEM with a DRAWITEMSTRUCT whose hDC
// draws on the control; when the parent does not draw it (answers 0), the control's own
// DrawItem gets the record, as a derived control class expects.

#include "platform/window/wnd.h"

constexpr UINT WM_DRAWITEM = 0x002B;

constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODT_STATIC = 5;

constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODA_FOCUS = 0x0004;

constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;
constexpr UINT ODS_DEFAULT = 0x0020;

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    DWORD_PTR itemData;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;

/// `void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT)` in a parent's map; the item counts as drawn.
#define ON_WM_DRAWITEM()                                                                                   \
    PLATFORM_MESSAGE_ENTRY(WM_DRAWITEM, self->OnDrawItem(static_cast<int>(args.wParam),                    \
                                                         reinterpret_cast<LPDRAWITEMSTRUCT>(args.lParam)); \
                           args.result = TRUE)

class QWidget;

namespace platform {
/// The widget of an owner-drawn control of kind ctlType (ODT_BUTTON or ODT_STATIC).
PLATFORM_API QWidget* MakeOwnerDrawWidget(HWND hwnd, UINT ctlType, QWidget* parent);
}  // namespace platform
