#pragma once

// CButton: push buttons, check boxes, radio buttons and group boxes, by BS_ style. A click
// sends BN_CLICKED to the parent; auto check boxes toggle themselves and auto radio buttons
// check themselves and clear the other auto radio buttons of their group (the siblings from
// the WS_GROUP one up to the next WS_GROUP). The check state lives with the widget.
// BM_SETIMAGE takes icons (IMAGE_ICON); bitmaps are not supported and answer 0.

#include "platform/controls/owner_draw.h"
#include "platform/window/wnd.h"

constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_RADIOBUTTON = 0x4;
constexpr DWORD BS_3STATE = 0x5;
constexpr DWORD BS_AUTO3STATE = 0x6;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
constexpr DWORD BS_OWNERDRAW = 0xB;
constexpr DWORD BS_TYPEMASK = 0xF;
constexpr DWORD BS_LEFTTEXT = 0x20;
constexpr DWORD BS_ICON = 0x40;
constexpr DWORD BS_BITMAP = 0x80;
constexpr DWORD BS_PUSHLIKE = 0x1000;

constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_GETSTATE = 0x00F2;
constexpr UINT BM_SETSTATE = 0x00F3;
constexpr UINT BM_SETSTYLE = 0x00F4;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT BM_GETIMAGE = 0x00F6;
constexpr UINT BM_SETIMAGE = 0x00F7;

/// Kinds of picture for BM_SETIMAGE / BM_GETIMAGE (wParam).
constexpr WPARAM IMAGE_BITMAP = 0;
constexpr WPARAM IMAGE_ICON = 1;

constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int BST_INDETERMINATE = 2;
constexpr int BST_PUSHED = 4;
constexpr int BST_FOCUS = 8;

class PLATFORM_API CButton : public CWnd {
public:
    BOOL Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    int GetCheck() const;
    void SetCheck(int nCheck);
    UINT GetState() const;
    UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
    /// Changes the type (e.g. plain push button to default push button).
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
    /// A click as the user makes it (BN_CLICKED and the auto behaviours).
    void Click();
    /// Shows the icon on the button (BM_SETIMAGE with IMAGE_ICON); null removes it. A button
    /// with BS_ICON shows the picture alone, without its text. The button keeps a copy of the
    /// picture, and the handle for GetIcon; the caller still owns the handle. Returns the
    /// previous icon.
    HICON SetIcon(HICON hIcon);
    HICON GetIcon() const;
    /// Draws a BS_OWNERDRAW button whose parent did not draw it (see owner_draw.h).
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
    void ApplyWindowText(const CString& text) override;
    CString ReadWindowText() const override;
};

namespace platform {
/// What a click on the button of hwnd does (Qt's click and BM_CLICK both come here).
PLATFORM_API void ButtonClicked(HWND hwnd);
}  // namespace platform
