#pragma once

// The frame window: a top-level window with a menu bar, control bars laid out along its
// edges (re-bar and tool bars at the top, the status bar at the bottom) and a client pane
// (id AFX_IDW_PANE_FIRST) filling what is left. Menu popups get the update-command-UI pass
// when they open (WM_INITMENUPOPUP); with m_bAutoMenuEnable, commands without a handler
// are greyed. The frame deletes itself when its window is gone.
//
// The menu bar is a non-client strip above the client area (nonclient.h): the client
// rectangle starts below it, and the outer rectangle holds both.

#include "platform/frame/control_bar.h"
#include "platform/menu/menu.h"

class QMenuBar;

/// Frame style: the title shows the document's name after the frame's title.
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;
constexpr DWORD FWS_PREFIXTITLE = 0x00004000;

constexpr UINT WM_INITMENU = 0x0116;

/// What a frame hands on to the client it creates (no documents or views here).
struct CCreateContext {
    void* m_pNewViewClass = nullptr;
};

#define ON_WM_INITMENUPOPUP()                                                                             \
    PLATFORM_MESSAGE_ENTRY(WM_INITMENUPOPUP,                                                              \
                           self->OnInitMenuPopup(CMenu::FromHandle(reinterpret_cast<HMENU>(args.wParam)), \
                                                 LOWORD(args.lParam), HIWORD(args.lParam)))
#define ON_WM_MENUSELECT()                                                                             \
    PLATFORM_MESSAGE_ENTRY(WM_MENUSELECT, self->OnMenuSelect(LOWORD(args.wParam), HIWORD(args.wParam), \
                                                             reinterpret_cast<HMENU>(args.lParam)))

class PLATFORM_API CFrameWnd : public CWnd {
public:
    /// CW_USEDEFAULT position and size: the system places the frame.
    static const CRect rectDefault;

    CFrameWnd();
    ~CFrameWnd() override;

    /// Turn off to leave commands without a handler as they are instead of greying them.
    BOOL m_bAutoMenuEnable = TRUE;
    /// The menu loaded at creation.
    HMENU m_hMenuDefault = nullptr;

    /// Creates the frame. lpszMenuName: a menu resource (MAKEINTRESOURCE id) for the menu bar.
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle = WS_OVERLAPPEDWINDOW,
                        const RECT& rect = rectDefault, CWnd* pParentWnd = nullptr,
                        LPCTSTR lpszMenuName = nullptr, DWORD dwExStyle = 0,
                        CCreateContext* pContext = nullptr);
    /// Creates the frame with menu nIDResource and the title from string nIDResource (the
    /// text before the first "\n").
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    /// Makes the client pane; the default makes none.
    virtual BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext);
    /// Shows the frame (nCmdShow -1: as it is, or SW_SHOW when hidden) and brings it to the top.
    virtual void ActivateFrame(int nCmdShow = -1);

    /// Places the control bars and the client pane.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    /// Lays the bars with ids nIDFirst..nIDLast along the edges of the client area and gives
    /// the window nIDLeftOver the rest.
    void RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT nFlag = 0,
                        LPRECT lpRectParam = nullptr, LPCRECT lpRectClient = nullptr, BOOL bStretch = TRUE);
    void ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay);
    CControlBar* GetControlBar(UINT nID);

    // --- the menu bar ---------------------------------------------------------------------------------
    /// Shows the menu as the menu bar (the frame does not take the menu over).
    BOOL SetMenu(CMenu* pMenu);
    BOOL SetMenuHandle(HMENU hMenu);
    CMenu* GetMenu() const;
    HMENU GetMenuHandle() const { return m_hMenu; }
    /// Shows the menu bar's items as the menu data now has them.
    void DrawMenuBar();
    /// The Qt strip showing the menu bar.
    QMenuBar* GetMenuBarWidget() const { return m_menuBar; }

    // --- the title
    // ------------------------------------------------------------------------------------------
    void SetTitle(LPCTSTR lpszTitle) { m_strTitle = lpszTitle ? lpszTitle : ""; }
    CString GetTitle() const { return m_strTitle; }
    virtual void OnUpdateFrameTitle(BOOL bAddToTitle);
    /// The title "<title> - <document>" when FWS_ADDTOTITLE is set, else the title alone.
    void UpdateFrameTitleForDocument(LPCTSTR lpszDocName);

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnSize(UINT nType, int cx, int cy);
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    void OnMenuSelect(UINT /*nItemID*/, UINT /*nFlags*/, HMENU /*hSysMenu*/) { Default(); }
    DECLARE_MESSAGE_MAP()

    void PostNcDestroy() override;

    CString m_strTitle;

private:
    void BuildMenuBar();
    HMENU m_hMenu = nullptr;
    QMenuBar* m_menuBar = nullptr;
};
