#pragma once

// Control bars: the windows a frame lays out around its client area (tool bars, the
// re-bar, the status bar). Each tells the frame its size through CalcFixedLayout and
// refreshes its commands' states on the idle pass (WM_IDLEUPDATECMDUI) against its owner.

#include "platform/window/wnd.h"

// --- ids of the frame's standard windows ------------------------------------------------------
constexpr UINT AFX_IDW_CONTROLBAR_FIRST = 0xE800;
constexpr UINT AFX_IDW_CONTROLBAR_LAST = 0xE8FF;
constexpr UINT AFX_IDW_TOOLBAR = 0xE800;
constexpr UINT AFX_IDW_STATUS_BAR = 0xE801;
constexpr UINT AFX_IDW_REBAR = 0xE804;
constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;  ///< 59648: the client pane shown
constexpr UINT AFX_IDW_PANE_LAST = 0xE9FF;
constexpr UINT AFX_IDW_PANE_SAVE = 0xEA21;
constexpr UINT ID_SEPARATOR = 0;

// --- bar styles -------------------------------------------------------------------------------
constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
constexpr DWORD CBRS_BORDER_LEFT = 0x0100;
constexpr DWORD CBRS_BORDER_TOP = 0x0200;
constexpr DWORD CBRS_BORDER_RIGHT = 0x0400;
constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
constexpr DWORD CBRS_BORDER_ANY = 0x0F00;
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_FLYBY = 0x0020;
constexpr DWORD CBRS_FLOAT_MULTI = 0x0040;
constexpr DWORD CBRS_BORDER_3D = 0x0080;
constexpr DWORD CBRS_HIDE_INPLACE = 0x0008;
constexpr DWORD CBRS_SIZE_DYNAMIC = 0x0004;
constexpr DWORD CBRS_SIZE_FIXED = 0x0002;
constexpr DWORD CBRS_GRIPPER = 0x00400000;
constexpr DWORD CBRS_NOALIGN = 0x00000000;
constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM;
constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP;
constexpr DWORD CBRS_LEFT = CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT;
constexpr DWORD CBRS_RIGHT = CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT;
constexpr DWORD CBRS_ALL = 0x0040FFFF;

class CFrameWnd;

class PLATFORM_API CControlBar : public CWnd {
public:
    /// The bar's style (CBRS_ flags), kept apart from the window style.
    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD dwStyle) { m_dwStyle = dwStyle; }
    /// The size the bar needs; bStretch: as wide (or tall) as the frame.
    virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
    /// Sets the bar's items from the command states as the target answers them.
    virtual void OnUpdateCmdUI(CWnd* /*pTarget*/, BOOL /*bDisableIfNoHndler*/) {}
    /// The frame the bar works for (its owner's top-level frame), null when none.
    CFrameWnd* GetDockingFrame() const;
    int GetCount() const { return m_nCount; }

    LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
    /// Creates the bar's window as a child of the parent, owned by it.
    BOOL CreateBar(CWnd* pParentWnd, DWORD dwStyle, UINT nID);
    DWORD m_dwStyle = 0;
    int m_nCount = 0;
};
