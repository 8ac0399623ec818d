#include "viewer/analysis/new_file_dlg.h"

#include "outside/basecore/settings.h"
#include "platform/last_error.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/window/messages.h"
#include "platform/window/modal.h"
#include "viewer/analysis/analysis_dialog_ids.h"

const NewFileTypeRow kNewFileTypes[13] = {
    {"unsigned integer 8 bit", 1},
    {"signed integer 8 bit", 2},
    {"unsigned integer 16 bit ", 3},
    {"signed integer 16 bit ", 4},
    {"unsigned integer 32 bit ", 5},
    {"signed integer 32 bit ", 6},
    {"float 32 bit ", 7},
    {"float 64 bit ", 8},
    {"complex integer 8 bit ", 11},
    {"complex integer 16 bit ", 13},
    {"complex integer 32 bit ", 15},
    {"complex float 32 bit  ", 9},
    {"complex float 64 bit  ", 10},
};

namespace {

CString NewFileKey()
{
    return GetAppRegKey() + "\\Settings\\Viewer\\NewFile";
}

}  // namespace

CNewFileDlg::CNewFileDlg(CWnd* parent) : CDialog(IDD_NEW_FILE, parent) {}

void CNewFileDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_NEW_TYPE, m_cbType);
    DDX_Text(pDX, IDC_NEW_HEIGHT, m_nHeight);
    DDX_Text(pDX, IDC_NEW_WIDTH, m_nWidth);
}

BOOL CNewFileDlg::OnInitDialog()
{
    // The controls are bound first, so the list can be filled before the values are shown.
    CDialog::OnInitDialog();
    for (const NewFileTypeRow& row : kNewFileTypes) m_cbType.AddString(row.text);

    m_nWidth = 200;
    m_nHeight = 200;
    m_nDataType = 7;
    CTLRegKey key;
    if (key.Open(HKEY_CURRENT_USER, NewFileKey(), KEY_READ) == ERROR_SUCCESS) {
        DWORD value = 0;
        if (key.QueryValue(value, "Size_Width") == ERROR_SUCCESS) m_nWidth = value;
        if (key.QueryValue(value, "Size_Height") == ERROR_SUCCESS) m_nHeight = value;
        if (key.QueryValue(value, "Data_Type") == ERROR_SUCCESS) m_nDataType = value;
        key.Close();
    }
    UpdateData(FALSE);

    int selected = -1;
    for (int row = 0; row < 13 && selected < 0; ++row)
        if (kNewFileTypes[row].code == m_nDataType) selected = row;
    m_cbType.SetCurSel(selected);
    return TRUE;
}

BOOL CNewFileDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_NEW_TYPE && HIWORD(wParam) == CBN_SELCHANGE) {
        const int row = m_cbType.GetCurSel();
        if (row >= 0 && row < 13) m_nDataType = kNewFileTypes[row].code;
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CNewFileDlg::OnOK()
{
    if (!UpdateData(TRUE)) return;
    if (m_nWidth == 0 || m_nHeight == 0) {
        CString text, caption;
        text.LoadString(IDS_ZERO_FILE_SIZE);
        GetWindowText(caption);
        MessageBox(text, caption, MB_ICONEXCLAMATION);
        return;
    }
    CTLRegKey key;
    if (key.Create(HKEY_CURRENT_USER, NewFileKey()) == ERROR_SUCCESS) {
        key.SetValue(DWORD(m_nWidth), "Size_Width");
        key.SetValue(DWORD(m_nHeight), "Size_Height");
        key.SetValue(DWORD(m_nDataType), "Data_Type");
        key.Close();
    }
    EndDialog(IDOK);
}
