#include "outside/basecore/dlg_toolbar.h"

BOOL CDlgToolbar::CreateFromResource(CWnd* dialog, UINT resourceId, CPoint topLeft)
{
    if (!dialog || !CreateEx(dialog, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_TOOLTIPS))
        return FALSE;
    if (!LoadToolBar(resourceId)) {
        DestroyWindow();
        return FALSE;
    }
    // A dialog lays out no bars: the bar takes its own size where it was asked to be.
    const CSize size = CalcFixedLayout(FALSE, TRUE);
    MoveWindow(topLeft.x, topLeft.y, size.cx, size.cy);
    return TRUE;
}

void CDlgToolbar::SetCheckGroup()
{
    const int count = GetToolBarCtrl().GetButtonCount();
    for (int i = 0; i < count; ++i)
        if (GetItemID(i) != ID_SEPARATOR) SetButtonStyle(i, TBBS_CHECKGROUP);
}

void CDlgToolbar::SetChecked(UINT id)
{
    const int count = GetToolBarCtrl().GetButtonCount();
    const bool group = (GetButtonStyle(CommandToIndex(id)) & TBBS_CHECKGROUP) == TBBS_CHECKGROUP;
    for (int i = 0; i < count && group; ++i)
        if (GetItemID(i) != id) GetToolBarCtrl().CheckButton(int(GetItemID(i)), FALSE);
    GetToolBarCtrl().CheckButton(int(id), TRUE);
}

bool CDlgToolbar::IsChecked(UINT id) const
{
    return const_cast<CDlgToolbar*>(this)->GetToolBarCtrl().IsButtonChecked(int(id)) != FALSE;
}
