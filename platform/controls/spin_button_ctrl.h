#pragma once

// CSpinButtonCtrl: the up-down arrows. A click first sends UDN_DELTAPOS (NMUPDOWN with the
// position and the step) to the parent, which may veto it by answering nonzero; then the
// position moves (within the range, or wrapping with UDS_WRAP), a buddy with UDS_SETBUDDYINT
// shows it, and the parent gets WM_VSCROLL (WM_HSCROLL with UDS_HORZ) SB_THUMBPOSITION and
// SB_ENDSCROLL. The default range is 100 down to 0, so the up arrow lowers the value until a
// range is set, as the control has always done.

#include "platform/controls/common_controls.h"
#include "platform/window/wnd.h"

constexpr DWORD UDS_WRAP = 0x0001;
constexpr DWORD UDS_SETBUDDYINT = 0x0002;
constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
constexpr DWORD UDS_ALIGNLEFT = 0x0008;
constexpr DWORD UDS_AUTOBUDDY = 0x0010;
constexpr DWORD UDS_ARROWKEYS = 0x0020;
constexpr DWORD UDS_HORZ = 0x0040;
constexpr DWORD UDS_NOTHOUSANDS = 0x0080;

constexpr UINT UDN_FIRST = 0u - 721u;
constexpr UINT UDN_DELTAPOS = UDN_FIRST - 1;

constexpr int UD_MAXVAL = 0x7FFF;
constexpr int UD_MINVAL = -UD_MAXVAL;

struct NMUPDOWN {
    NMHDR hdr;
    int iPos;
    int iDelta;
};
using LPNMUPDOWN = NMUPDOWN*;

class PLATFORM_API CSpinButtonCtrl : public CWnd {
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    /// With UDS_AUTOBUDDY the previous sibling becomes the buddy.
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                  int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                  LPVOID lpParam = nullptr) override;
    using CWnd::CreateEx;

    void SetRange(short nLower, short nUpper);
    void SetRange32(int nLower, int nUpper);
    void GetRange(int& lower, int& upper) const;
    void GetRange32(int& lower, int& upper) const { GetRange(lower, upper); }
    /// Returns the previous position; clamped into the range.
    int SetPos(int nPos);
    int SetPos32(int nPos) { return SetPos(nPos); }
    /// With a buddy that shows the number, the buddy's text is read first (a text that is not a
    /// number in range leaves the position as it was).
    int GetPos() const;
    int GetPos32(BOOL* lpbError = nullptr) const;
    /// Returns the previous buddy.
    CWnd* SetBuddy(CWnd* pWndBuddy);
    CWnd* GetBuddy() const;
    /// A click on an arrow, as the user makes it (up: toward the upper bound).
    void ClickArrow(bool up);

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
};
