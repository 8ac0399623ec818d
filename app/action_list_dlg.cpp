#include "app/action_list_dlg.h"

#include "app/preferences_resources.h"

CNewActionDlg::CNewActionDlg(CWnd* pParent) : CDialog(IDD_NEW_ACTION, pParent) {}

void CNewActionDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BEGIN_MESSAGE_MAP(CActionListDlg, CDialog)
END_MESSAGE_MAP()

CActionListDlg::CActionListDlg(CWnd* pParent) : CDialog(IDD_ACTION_LIST, pParent) {}

void CActionListDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CActionListDlg::OnInitDialog()
{
    return CDialog::OnInitDialog();
}

void CActionListDlg::OnSelchangedTree(NMHDR*, LRESULT*) {}
void CActionListDlg::OnNewAction() {}
void CActionListDlg::OnSave() {}
void CActionListDlg::FillTree(const CUserActionList&, HTREEITEM) {}
void CActionListDlg::ShowRecord(const CUserAction*) {}
