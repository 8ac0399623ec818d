#pragma once

// CProgressCtrl: a progress bar. Every member goes through a message (PBM_*), so a worker
// thread may drive the bar: the call waits for the user-interface thread to carry it out.
// SetRange takes the 16-bit range the control has always had: bounds are cut to their low
// 16 bits (unsigned), so 70000 becomes 4464 and -1 becomes 65535. SetRange32 keeps full ints.
// The state lives with the widget, so it stays with the window when a window object subclasses it.

#include "platform/window/wnd.h"

constexpr UINT PBM_SETRANGE = WM_USER + 1;
constexpr UINT PBM_SETPOS = WM_USER + 2;
constexpr UINT PBM_DELTAPOS = WM_USER + 3;
constexpr UINT PBM_SETSTEP = WM_USER + 4;
constexpr UINT PBM_STEPIT = WM_USER + 5;
constexpr UINT PBM_SETRANGE32 = WM_USER + 6;
constexpr UINT PBM_GETRANGE = WM_USER + 7;
constexpr UINT PBM_GETPOS = WM_USER + 8;
constexpr UINT PBM_SETBARCOLOR = WM_USER + 9;
constexpr UINT PBM_GETSTEP = WM_USER + 13;

constexpr DWORD PBS_SMOOTH = 0x01;
constexpr DWORD PBS_VERTICAL = 0x04;

struct PBRANGE {
    int iLow;
    int iHigh;
};

class PLATFORM_API CProgressCtrl : public CWnd {
public:
    CProgressCtrl() = default;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    /// Bounds cut to 16 bits (see above); the position is clamped into the new range.
    void SetRange(short nLower, short nUpper);
    void SetRange32(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    /// Returns the previous position; the new one is clamped into the range.
    int SetPos(int nPos);
    int GetPos() const;
    /// Moves by nPos; returns the previous position.
    int OffsetPos(int nPos);
    /// Returns the previous step (the default step is 10).
    int SetStep(int nStep);
    /// Advances by the step; past the top it wraps to the bottom, as the control does.
    int StepIt();
    COLORREF SetBarColor(COLORREF color);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
};
