#include "platform/frame/control_bar.h"

#include "platform/frame/frame_wnd.h"

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CSize CControlBar::CalcFixedLayout(BOOL, BOOL)
{
    CRect rect;
    GetWindowRect(rect);
    return rect.Size();
}

CFrameWnd* CControlBar::GetDockingFrame() const
{
    CWnd* owner = GetOwner();
    return owner ? dynamic_cast<CFrameWnd*>(owner->GetTopLevelParent()) : nullptr;
}

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM)
{
    // Hidden bars are refreshed when they are shown again.
    if (!IsWindowVisible()) return 0;
    CWnd* target = GetOwner();
    if (target) OnUpdateCmdUI(target, static_cast<BOOL>(wParam));
    return 0;
}

BOOL CControlBar::CreateBar(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    if (!pParentWnd) return FALSE;
    m_dwStyle = dwStyle & CBRS_ALL;
    const DWORD windowStyle = (dwStyle & ~CBRS_ALL) | WS_CHILD;
    if (!CreateEx(0, nullptr, nullptr, windowStyle, CRect(0, 0, 0, 0), pParentWnd, nID)) return FALSE;
    SetOwner(pParentWnd);
    return TRUE;
}
