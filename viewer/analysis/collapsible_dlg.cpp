#include "viewer/analysis/collapsible_dlg.h"

#include <algorithm>

BOOL CCollapsibleDlg::OnInitDialog()
{
    CSelfDeletingDlg::OnInitDialog();
    GetWindowRect(&m_rcFull);
    return TRUE;
}

void CCollapsibleDlg::ShiftControls(int firstId, int delta)
{
    // Template order is sibling order: everything from the first control on moves, the
    // controls before it stay wherever they stand on screen.
    for (CWnd* child = GetDlgItem(firstId); child; child = child->GetWindow(GW_HWNDNEXT)) {
        CRect r;
        child->GetWindowRect(&r);
        ScreenToClient(&r);
        child->MoveWindow(r.left, r.top - delta, r.Width(), r.Height(), TRUE);
    }
    CRect w;
    GetWindowRect(&w);
    MoveWindow(w.left, w.top, w.Width(), std::max(0, w.Height() - delta), TRUE);
}

void CCollapsibleDlg::HideControlsBefore(int markerId)
{
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
        if (child->GetDlgCtrlID() == markerId) break;
        child->ShowWindow(SW_HIDE);
    }
}

void CCollapsibleDlg::FitHeightToControl(int controlId)
{
    CWnd* control = GetDlgItem(controlId);
    if (!control) return;
    CRect r, w, c;
    control->GetWindowRect(&r);
    GetWindowRect(&w);
    GetClientRect(&c);
    const int height = w.Height() - (c.Height() - r.Height());
    MoveWindow(w.left, w.top, w.Width(), std::max(0, height), TRUE);
}

void CCollapsibleDlg::RestoreFullSize()
{
    CRect w;
    GetWindowRect(&w);
    MoveWindow(w.left, w.top, m_rcFull.Width(), m_rcFull.Height(), TRUE);
}
