#include "platform/frame/frame_wnd.h"

#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "platform/frame/re_bar.h"
#include "platform/resources/resources.h"
#include "platform/string_table.h"
#include "platform/window/nonclient.h"

namespace {

/// Sets menu items from the command states (the update pass of a popup).
class CMenuCmdUI : public CCmdUI {
public:
    void Enable(BOOL bOn) override
    {
        ::EnableMenuItem(m_menu, m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : MF_GRAYED));
        m_bEnableChanged = TRUE;
    }
    void SetCheck(int nCheck) override
    {
        ::CheckMenuItem(m_menu, m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
    }
    void SetText(LPCTSTR lpszText) override
    {
        const UINT state = ::GetMenuState(m_menu, m_nIndex, MF_BYPOSITION);
        ::ModifyMenu(m_menu, m_nIndex,
                     MF_BYPOSITION | MF_STRING | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED)), m_nID,
                     lpszText);
    }
    HMENU m_menu = nullptr;
};

/// System commands are not the frame's to grey.
constexpr UINT kFirstSystemCommand = 0xF000;

}  // namespace

const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_INITMENUPOPUP()
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() = default;
CFrameWnd::~CFrameWnd()
{
    // Menus set with SetMenu belong to whoever made them; the frame owns only what it loaded.
    if (m_hMenuDefault) ::DestroyMenu(m_hMenuDefault);
}

BOOL CFrameWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                       CWnd* pParentWnd, LPCTSTR lpszMenuName, DWORD dwExStyle, CCreateContext* pContext)
{
    m_strTitle = lpszWindowName ? lpszWindowName : "";
    if (lpszMenuName) {
        m_hMenuDefault = ::LoadMenu(nullptr, lpszMenuName);
        if (!m_hMenuDefault) return FALSE;
        m_hMenu = m_hMenuDefault;
    }
    const bool useDefault = rect.left == CW_USEDEFAULT;
    const int x = useDefault ? CW_USEDEFAULT : rect.left;
    const int y = useDefault ? CW_USEDEFAULT : rect.top;
    const int width = useDefault ? CW_USEDEFAULT : rect.right - rect.left;
    const int height = useDefault ? CW_USEDEFAULT : rect.bottom - rect.top;
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, width, height,
                    pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr, m_hMenu, pContext);
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    CString title;
    if (platform::FindString(nIDResource, title)) {
        const int end = title.Find('\n');
        if (end >= 0) title = title.Left(end);
    }
    const bool haveMenu = platform::FindMenuResource(nIDResource) != nullptr;
    if (!Create(nullptr, title, dwDefaultStyle, rectDefault, pParentWnd,
                haveMenu ? MAKEINTRESOURCE(nIDResource) : nullptr, 0, pContext))
        return FALSE;
    OnUpdateFrameTitle(TRUE);
    return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!CWnd::PreCreateWindow(cs)) return FALSE;
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CWnd::OnCreate(lpCreateStruct) == -1) return -1;
    BuildMenuBar();
    auto* context = static_cast<CCreateContext*>(lpCreateStruct ? lpCreateStruct->lpCreateParams : nullptr);
    if (!OnCreateClient(lpCreateStruct, context)) return -1;
    RecalcLayout();
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext*)
{
    return TRUE;
}

void CFrameWnd::ActivateFrame(int nCmdShow)
{
    if (nCmdShow == -1) nCmdShow = IsWindowVisible() ? SW_SHOWNORMAL : SW_SHOW;
    ShowWindow(nCmdShow);
    BringWindowToTop();
}

void CFrameWnd::OnSize(UINT nType, int, int)
{
    if (nType != SIZE_MINIMIZED) RecalcLayout();
}

void CFrameWnd::RecalcLayout(BOOL)
{
    if (!m_hWnd) return;
    RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, AFX_IDW_PANE_FIRST);
}

void CFrameWnd::RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT, LPRECT lpRectParam,
                               LPCRECT lpRectClient, BOOL bStretch)
{
    CRect area;
    if (lpRectClient)
        area = *lpRectClient;
    else
        GetClientRect(area);
    CWnd* leftOver = nullptr;
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
        const UINT id = static_cast<UINT>(child->GetDlgCtrlID());
        if (id == nIDLeftOver) leftOver = child;
        auto* bar = dynamic_cast<CControlBar*>(child);
        // The style, not the widget: bars of a frame not shown yet are laid out too.
        if (!bar || id < nIDFirst || id > nIDLast || !(bar->GetStyle() & WS_VISIBLE)) continue;
        const DWORD align = bar->GetBarStyle() & CBRS_ALIGN_ANY;
        const bool horizontal = (align & (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)) != 0 || align == 0;
        const CSize size = bar->CalcFixedLayout(bStretch, horizontal ? TRUE : FALSE);
        CRect place = area;
        if (align & CBRS_ALIGN_BOTTOM) {
            place.top = std::max(area.top, area.bottom - size.cy);
            area.bottom = place.top;
        } else if (align & CBRS_ALIGN_LEFT) {
            place.right = std::min(area.right, area.left + size.cx);
            area.left = place.right;
        } else if (align & CBRS_ALIGN_RIGHT) {
            place.left = std::max(area.left, area.right - size.cx);
            area.right = place.left;
        } else {
            place.bottom = std::min(area.bottom, area.top + size.cy);
            area.top = place.bottom;
        }
        if (!lpRectParam) bar->MoveWindow(place);
    }
    if (lpRectParam) {
        *lpRectParam = area;
        return;
    }
    if (leftOver) leftOver->MoveWindow(area);
}

void CFrameWnd::ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL)
{
    if (!pBar || !pBar->GetSafeHwnd()) return;
    pBar->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
    // A bar inside a re-bar leaves its band empty; the re-bar closes the gap.
    if (auto* rebar = dynamic_cast<CReBar*>(pBar->GetParent())) rebar->LayoutBands();
    RecalcLayout();
}

CControlBar* CFrameWnd::GetControlBar(UINT nID)
{
    return dynamic_cast<CControlBar*>(GetDlgItem(static_cast<int>(nID)));
}

BOOL CFrameWnd::SetMenu(CMenu* pMenu)
{
    return SetMenuHandle(pMenu ? pMenu->m_hMenu : nullptr);
}

BOOL CFrameWnd::SetMenuHandle(HMENU hMenu)
{
    if (hMenu && !::IsMenu(hMenu)) return FALSE;
    // The menu shown before belongs to whoever set it, except the frame's own default menu.
    m_hMenu = hMenu;
    BuildMenuBar();
    RecalcLayout();
    return TRUE;
}

CMenu* CFrameWnd::GetMenu() const
{
    return CMenu::FromHandle(m_hMenu);
}

void CFrameWnd::DrawMenuBar()
{
    BuildMenuBar();
    RecalcLayout();
}

void CFrameWnd::BuildMenuBar()
{
    if (!GetWidget()) return;
    if (!m_menuBar) {
        auto* bar = new QMenuBar;
        bar->setNativeMenuBar(false);
        if (!platform::SetMenuStrip(m_hWnd, bar)) {
            delete bar;  // a frame that is a child window has no room for a menu bar
            return;
        }
        m_menuBar = bar;
    }
    m_menuBar->clear();
    if (!m_hMenu || !::IsMenu(m_hMenu) || ::GetMenuItemCount(m_hMenu) == 0) {
        m_menuBar->hide();
        platform::SetMenuStrip(m_hWnd, m_menuBar);  // the client area takes the strip's room
        return;
    }
    const HWND self = m_hWnd;
    const int count = ::GetMenuItemCount(m_hMenu);
    for (int i = 0; i < count; ++i) {
        CString text;
        const UINT state = ::GetMenuState(m_hMenu, static_cast<UINT>(i), MF_BYPOSITION);
        CMenu::FromHandle(m_hMenu)->GetMenuString(static_cast<UINT>(i), text, MF_BYPOSITION);
        const bool enabled = !(state & (MF_GRAYED | MF_DISABLED));
        HMENU popup = ::GetSubMenu(m_hMenu, i);
        // A popup's state carries its item count in the high byte, which may hold the
        // separator bit: only an item without a popup can be a separator.
        if (!popup && (state & MF_SEPARATOR)) continue;
        if (!popup) {
            QAction* action = m_menuBar->addAction(QString::fromUtf8(text.c_str()));
            const UINT id = ::GetMenuItemID(m_hMenu, i);
            action->setData(id);
            action->setEnabled(enabled);
            QObject::connect(action, &QAction::triggered, m_menuBar, [self, id] {
                ::PostMessage(self, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
            });
            continue;
        }
        QMenu* qmenu = m_menuBar->addMenu(QString::fromUtf8(text.c_str()));
        qmenu->setEnabled(enabled);
        // The items are built when the popup opens, after the update pass has set their states.
        QObject::connect(qmenu, &QMenu::aboutToShow, qmenu, [self, qmenu, popup, i] {
            if (!IsWindow(self) || !::IsMenu(popup)) return;
            ::SendMessage(self, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                          MAKELPARAM(static_cast<WORD>(i), 0));
            if (!::IsMenu(popup)) return;
            qmenu->clear();
            platform::FillQtMenu(qmenu, popup);
            for (QAction* action : qmenu->findChildren<QAction*>()) {
                if (action->menu() || action->isSeparator() || action->property("tvxWired").toBool())
                    continue;
                action->setProperty("tvxWired", true);
                const UINT id = action->data().toUInt();
                QObject::connect(action, &QAction::triggered, qmenu, [self, id] {
                    ::PostMessage(self, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
                });
            }
        });
    }
    m_menuBar->show();
    platform::SetMenuStrip(m_hWnd, m_menuBar);
}

void CFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu)
{
    if (bSysMenu || !pPopupMenu || !pPopupMenu->m_hMenu) return;
    CMenuCmdUI ui;
    ui.m_menu = pPopupMenu->m_hMenu;
    ui.m_pOther = pPopupMenu;
    ui.m_nIndexMax = pPopupMenu->GetMenuItemCount();
    for (ui.m_nIndex = 0; ui.m_nIndex < ui.m_nIndexMax; ++ui.m_nIndex) {
        ui.m_nID = pPopupMenu->GetMenuItemID(static_cast<int>(ui.m_nIndex));
        if (ui.m_nID == 0 || ui.m_nID == static_cast<UINT>(-1)) continue;  // separators and popups
        ui.DoUpdate(this, m_bAutoMenuEnable && ui.m_nID < kFirstSystemCommand);
        // A handler may have removed items.
        ui.m_nIndexMax = pPopupMenu->GetMenuItemCount();
    }
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle)
{
    if (!m_hWnd) return;
    if (bAddToTitle && (GetStyle() & FWS_ADDTOTITLE)) UpdateFrameTitleForDocument(nullptr);
}

void CFrameWnd::UpdateFrameTitleForDocument(LPCTSTR lpszDocName)
{
    CString text = m_strTitle;
    if ((GetStyle() & FWS_ADDTOTITLE) && lpszDocName && *lpszDocName) {
        if (GetStyle() & FWS_PREFIXTITLE) {
            text = lpszDocName;
            text += " - ";
            text += m_strTitle;
        } else {
            text += " - ";
            text += lpszDocName;
        }
    }
    CString current;
    GetWindowText(current);
    if (current != text) SetWindowText(text);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    // The client pane (a view) gets commands first, then the frame, then the application.
    CWnd* pane = GetDlgItem(static_cast<int>(AFX_IDW_PANE_FIRST));
    if (pane && pane->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CFrameWnd::PostNcDestroy()
{
    m_menuBar = nullptr;  // went with the widget
    delete this;
}

// --- menu bar functions on handles -------------------------------------------------------------------

BOOL SetMenu(HWND hWnd, HMENU hMenu)
{
    auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromHandle(hWnd));
    return frame ? frame->SetMenuHandle(hMenu) : FALSE;
}

HMENU GetMenu(HWND hWnd)
{
    auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromHandle(hWnd));
    return frame ? frame->GetMenuHandle() : nullptr;
}

BOOL DrawMenuBar(HWND hWnd)
{
    auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromHandle(hWnd));
    if (!frame) return FALSE;
    frame->DrawMenuBar();
    return TRUE;
}
