#pragma once

// CStatic: a label, a frame or rectangle (SS_*FRAME, SS_*RECT, SS_ETCHED*), or a picture.
// An SS_ICON static shows the icon STM_SETICON gave it at its top-left corner (centred with
// SS_CENTERIMAGE); it keeps a copy of the picture and the handle for STM_GETICON, and the
// caller still owns the handle.

#include "platform/controls/owner_draw.h"
#include "platform/window/wnd.h"

class QImage;

constexpr DWORD SS_LEFT = 0x00;
constexpr DWORD SS_CENTER = 0x01;
constexpr DWORD SS_RIGHT = 0x02;
constexpr DWORD SS_ICON = 0x03;
constexpr DWORD SS_BLACKRECT = 0x04;
constexpr DWORD SS_GRAYRECT = 0x05;
constexpr DWORD SS_WHITERECT = 0x06;
constexpr DWORD SS_BLACKFRAME = 0x07;
constexpr DWORD SS_GRAYFRAME = 0x08;
constexpr DWORD SS_WHITEFRAME = 0x09;
constexpr DWORD SS_SIMPLE = 0x0B;
constexpr DWORD SS_LEFTNOWORDWRAP = 0x0C;
constexpr DWORD SS_OWNERDRAW = 0x0D;
constexpr DWORD SS_BITMAP = 0x0E;
constexpr DWORD SS_ETCHEDHORZ = 0x10;
constexpr DWORD SS_ETCHEDVERT = 0x11;
constexpr DWORD SS_ETCHEDFRAME = 0x12;
constexpr DWORD SS_TYPEMASK = 0x1F;
constexpr DWORD SS_NOPREFIX = 0x80;
constexpr DWORD SS_NOTIFY = 0x100;
constexpr DWORD SS_CENTERIMAGE = 0x200;
constexpr DWORD SS_SUNKEN = 0x1000;

constexpr UINT STN_CLICKED = 0;

constexpr UINT STM_SETICON = 0x0170;
constexpr UINT STM_GETICON = 0x0171;

class PLATFORM_API CStatic : public CWnd {
public:
    BOOL Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xFFFF);
    /// The picture of an SS_BITMAP static.
    void SetBitmap(const QImage& image);
    /// STM_SETICON: shows the icon (null: none); returns the previous one. A template may
    /// name its icon in the control's text as "#<id>" of the resource chain's icons.
    HICON SetIcon(HICON hIcon);
    HICON GetIcon() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    /// Draws an SS_OWNERDRAW static whose parent did not draw it (see owner_draw.h).
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
    void ApplyWindowText(const CString& text) override;
};
