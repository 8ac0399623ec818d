#include "viewer/analysis/file_properties_dlg.h"

#include "outside/basecore/layer_description.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/dialogs/dialog_template.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"

namespace {

constexpr const char* kNoInformation = "No information";

const platform::DialogControl kControls[] = {
    {"Static", "Caption:", 2107, 7, 7, 60, 8, 0},
    {"Edit", "", IDC_FILEPROP_CAPTION, 7, 17, 236, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Static", "Description:", 2108, 7, 33, 60, 8, 0},
    {"Edit", "", IDC_FILEPROP_DESCRIPTION, 7, 43, 236, 20,
     ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    {"Static", "", 2109, 7, 66, 236, 1, 0},
    {"Button", "From file", IDC_FILEPROP_FROM_FILE, 7, 69, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Apply", IDOK, 139, 69, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 193, 69, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
const platform::DialogTemplate kTemplate{
    211, "File properties", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 0, nullptr, 8, 0, 0, 250,
    88,  kControls};

}  // namespace

CFilePropertiesDlg::CFilePropertiesDlg() : CSelfDeletingDlg(kTemplate) {}

BOOL CFilePropertiesDlg::Create(CViewerHost* host)
{
    m_pHost = host;
    return CreateStandIn(host ? host->HostWnd() : nullptr);
}

BOOL CFilePropertiesDlg::OnInitDialog()
{
    const BOOL result = CDialog::OnInitDialog();
    // Buttons stay at the bottom right, the edits and the line widen, the description grows.
    using S = CSizerMover;
    m_sizer.Init(this);
    for (int id : {IDOK, IDCANCEL, IDC_FILEPROP_FROM_FILE})
        m_sizer.AddControl(id, S::kMoveRight | S::kMoveDown);
    m_sizer.AddControl(IDC_FILEPROP_CAPTION, S::kGrowWidth);
    m_sizer.AddControl(IDC_FILEPROP_DESCRIPTION, S::kGrowWidth | S::kGrowHeight);
    m_sizer.AddControl(2109, S::kGrowWidth | S::kMoveDown);
    return result;
}

void CFilePropertiesDlg::Fill()
{
    if (m_pHost && !m_bModified) {
        CString path;
        if (CVirtualView* view = m_pHost->GetViewRect()->GetActiveView()) path = view->GetFileName(1);
        m_bDescriptionPlaceholder = !CLayerDescription::GetDescriptionTag(path, 601, m_strDescription);
        m_bCaptionPlaceholder = !CLayerDescription::GetDescriptionTag(path, 600, m_strCaption);
        if (m_bDescriptionPlaceholder) m_strDescription = kNoInformation;
        if (m_bCaptionPlaceholder) m_strCaption = kNoInformation;
    }
    if (!GetSafeHwnd()) return;
    // Filling the edits is no edit of the user's.
    m_bFilling = true;
    SetDlgItemText(IDC_FILEPROP_CAPTION, m_strCaption);
    SetDlgItemText(IDC_FILEPROP_DESCRIPTION, m_strDescription);
    m_bFilling = false;
}

void CFilePropertiesDlg::OnOK()
{
    if (m_pHost) {
        GetDlgItemText(IDC_FILEPROP_CAPTION, m_strCaption);
        GetDlgItemText(IDC_FILEPROP_DESCRIPTION, m_strDescription);
        if (m_bModified) {
            // The frame keeps its own copy for the save; a placeholder left as it was is no text.
            const bool captionKept = m_bCaptionPlaceholder && m_strCaption == kNoInformation;
            const bool descriptionKept = m_bDescriptionPlaceholder && m_strDescription == kNoInformation;
            m_pHost->SetDescriptionTexts(captionKept ? CString() : m_strCaption,
                                         descriptionKept ? CString() : m_strDescription);
            m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 25, 4);
        }
        m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 24, 4);
    }
    DestroyWindow();
}

void CFilePropertiesDlg::OnCancel()
{
    m_bModified = 0;
    if (m_pHost) m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 24, 0);
    DestroyWindow();
}

BOOL CFilePropertiesDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    if ((id == IDC_FILEPROP_CAPTION || id == IDC_FILEPROP_DESCRIPTION) && code == EN_CHANGE) {
        if (!m_bFilling) m_bModified = 1;
        return TRUE;
    }
    if (id == IDC_FILEPROP_FROM_FILE && code == BN_CLICKED) {
        Fill();
        return TRUE;
    }
    return CSelfDeletingDlg::OnCommand(wParam, lParam);
}

LRESULT CFilePropertiesDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        if (m_pHost) m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 24, 0);
        DestroyWindow();
        return 0;
    }
    const LRESULT result = CSelfDeletingDlg::WindowProc(message, wParam, lParam);
    if (message == WM_SHOWWINDOW && wParam) Fill();
    if (message == WM_SIZE) m_sizer.OnSize(LOWORD(lParam), HIWORD(lParam));
    if (message == WM_SIZING) m_sizer.OnSizing(UINT(wParam), reinterpret_cast<RECT*>(lParam));
    return result;
}
