#include "viewer/analysis/find_dlg.h"

#include <algorithm>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/last_error.h"
#include "platform/window/messages.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/analysis/find_value.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"

namespace {

const platform::DialogControl kControls[] = {
    {"Edit", "", IDC_FIND_TEXT, 7, 7, 116, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Button", "Approximate", IDC_FIND_APPROXIMATE, 7, 24, 80, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {"Button", "Search direction", IDC_STATIC, 7, 38, 116, 29, BS_GROUPBOX},
    {"Button", "Forward", IDC_FIND_FORWARD, 14, 51, 46, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "Backward", IDC_FIND_BACKWARD, 64, 51, 52, 10, BS_AUTORADIOBUTTON},
    {"Button", "Find next", IDC_FIND_NEXT, 130, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 130, 24, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
const platform::DialogTemplate kTemplate{
    IDD_FIND, "Find", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8, 0, 0, 186, 74, kControls};

CString FindKey()
{
    return GetAppRegKey() + "\\Settings\\Viewer\\Find";
}

}  // namespace

CFindDlg::CFindDlg() : CSelfDeletingDlg(kTemplate) {}

BOOL CFindDlg::Create(CViewerHost* host)
{
    m_pHost = host;
    return CreateStandIn(host ? host->HostWnd() : nullptr);
}

void CFindDlg::DoDataExchange(CDataExchange* pDX)
{
    CSelfDeletingDlg::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FIND_TEXT, m_strFind);
    DDX_Radio(pDX, IDC_FIND_FORWARD, m_nDirection);
    DDX_Check(pDX, IDC_FIND_APPROXIMATE, m_bApproximate);
}

void CFindDlg::LoadSettings()
{
    CTLRegKey key;
    if (key.Open(HKEY_CURRENT_USER, FindKey(), KEY_READ) != ERROR_SUCCESS) return;
    CString text;
    if (key.QueryValue(text, "LastFindExpression") == ERROR_SUCCESS) m_strFind = text;
    DWORD value = 0;
    if (key.QueryValue(value, "Direction") == ERROR_SUCCESS) m_nDirection = value ? 1 : 0;
    if (key.QueryValue(value, "FindLike") == ERROR_SUCCESS) m_bApproximate = value ? 1 : 0;
}

void CFindDlg::SaveSettings()
{
    CTLRegKey key;
    if (key.Create(HKEY_CURRENT_USER, FindKey()) != ERROR_SUCCESS) return;
    key.SetValue(m_strFind, "LastFindExpression");
    key.SetValue(DWORD(m_nDirection), "Direction");
    key.SetValue(DWORD(m_bApproximate), "FindLike");
}

BOOL CFindDlg::OnInitDialog()
{
    CSelfDeletingDlg::OnInitDialog();
    if (m_pHost) {
        if (CVirtualView* view = m_pHost->GetViewRect()->GetActiveView()) {
            const CRDPLayer* layer = view->GetLayer(1);
            if (CWnd* check = GetDlgItem(IDC_FIND_APPROXIMATE))
                check->EnableWindow(layer && layer->IsFloatType() ? TRUE : FALSE);
        }
    }
    LoadSettings();
    UpdateData(FALSE);
    return TRUE;
}

void CFindDlg::OnFindNext()
{
    if (!UpdateData(TRUE) || !m_pHost) return;
    CVirtualView* view = m_pHost->GetViewRect()->GetActiveView();
    CRDPLayer* layer = view ? view->GetLayer(1) : nullptr;
    // Without a layer there is nothing to search and nothing to report.
    if (!layer || layer->Width() <= 0 || layer->Height() <= 0) return;
    const int component = m_pHost->GetComplexMode(1);
    // The search goes on from the pointer. While the pointer is off it cannot take a hit,
    // and starting from it again would find the same cell forever: then the search goes on
    // from where the last one ended.
    if (!m_bOwnPosition) {
        const CPoint pointer = m_pHost->GetPointerPos();
        m_position = pointer;
    }
    m_position.x = std::clamp(int(m_position.x), 0, layer->Width() - 1);
    m_position.y = std::clamp(int(m_position.y), 0, layer->Height() - 1);
    // An integer layer has the box greyed: what it last held does not apply.
    const CWnd* check = GetDlgItem(IDC_FIND_APPROXIMATE);
    const int approximate = check && check->IsWindowEnabled() ? m_bApproximate : 0;
    if (FindValueInLayer(m_strFind, m_nDirection, approximate, layer, component, &m_position)) {
        m_pHost->SetPointerPos(m_position);
        m_bOwnPosition = m_pHost->GetPointerPos() != m_position;
        m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 6, 0);
    } else {
        CString text, caption;
        text.LoadString(IDS_VALUE_NOT_FOUND);
        GetWindowText(caption);
        MessageBox(text, caption, MB_ICONEXCLAMATION);
    }
    SaveSettings();
}

BOOL CFindDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_FIND_NEXT && HIWORD(wParam) == BN_CLICKED) {
        OnFindNext();
        return TRUE;
    }
    return CSelfDeletingDlg::OnCommand(wParam, lParam);
}

void CFindDlg::OnOK()
{
    // Enter is the default button, "Find next".
    OnFindNext();
}

void CFindDlg::OnCancel()
{
    DestroyWindow();
}
