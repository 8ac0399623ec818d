#include "app/preferences_dlg.h"

#include "app/preferences_resources.h"

BOOL CFolderDialog::Browse()
{
    return FALSE;
}

BEGIN_MESSAGE_MAP(CPreferencesDlg, CDialog)
END_MESSAGE_MAP()

CPreferencesDlg::CPreferencesDlg(CWnd* pParent) : CDialog(IDD_PREFERENCES, pParent) {}

void CPreferencesDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CPreferencesDlg::OnInitDialog()
{
    return CDialog::OnInitDialog();
}

void CPreferencesDlg::OnOK()
{
    CDialog::OnOK();
}

void CPreferencesDlg::OnBrowseTempDir() {}
void CPreferencesDlg::OnBrowseWorkDir() {}
void CPreferencesDlg::OnBrowsePaletteDir() {}
void CPreferencesDlg::OnBrowseKernelsDir() {}
void CPreferencesDlg::OnBrowseHelpFile() {}
void CPreferencesDlg::BrowseFolderInto(UINT, CString&) {}
