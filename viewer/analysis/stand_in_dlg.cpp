#include "viewer/analysis/stand_in_dlg.h"

#include "platform/app/win_app.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/window/messages.h"

CStandInDlg::CStandInDlg(const platform::DialogTemplate& dialogTemplate, CWnd* parent)
    : CDialog(dialogTemplate.id, parent), m_template(dialogTemplate)
{
}

BOOL CStandInDlg::CreateStandIn(CWnd* parent)
{
    if (parent) m_pParentWnd = parent;
    m_bCreated = CreateIndirect(m_template, m_pParentWnd) != FALSE;
    return m_bCreated ? TRUE : FALSE;
}

INT_PTR CStandInDlg::DoModal()
{
    CWnd* parent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    m_bModal = TRUE;
    m_nModalResult = -1;
    if (!CreateIndirect(m_template, parent)) {
        m_bModal = FALSE;
        return -1;
    }
    const HWND hwnd = m_hWnd;
    const int result = RunModalLoop(MLF_SHOWONIDLE);
    m_bModal = FALSE;
    if (::IsWindow(hwnd) && CWnd::FromHandle(hwnd) == this) {
        ShowWindow(SW_HIDE);
        DestroyWindow();
    }
    return result;
}

void CSelfDeletingDlg::PostNcDestroy()
{
    if (m_bCreated) delete this;
}
