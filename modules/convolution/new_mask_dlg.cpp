#include "modules/convolution/new_mask_dlg.h"

#include <cstdlib>

#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/kernova_resources.h"
#include "outside/basecore/easy_registry.h"
#include "platform/controls/button.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/window/modal.h"

namespace {
constexpr char kSettingsKey[] = "\\Settings\\Convolution";
}

// clang-format off
BEGIN_MESSAGE_MAP(CNewMaskDlg, CDialog)
    ON_BN_CLICKED(IDC_NEW_MASK_SIMPLE, OnSimple)
    ON_BN_CLICKED(IDC_NEW_MASK_COMPOUND, OnCompound)
END_MESSAGE_MAP()
// clang-format on

CNewMaskDlg::CNewMaskDlg(CWnd* parent) : CDialog(IDD_NEW_MASK, parent) {}

void CNewMaskDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_NEW_MASK_WIDTH, m_strWidth);
    DDX_Text(pDX, IDC_NEW_MASK_HEIGHT, m_strHeight);
}

BOOL CNewMaskDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CEasyRegistry settings;
    if (settings.InitSubKey(kSettingsKey, 0)) {
        m_strWidth = settings.GetStringValue("Width");
        m_strHeight = settings.GetStringValue("Height");
        m_nWidth = std::atoi(m_strWidth);
        m_nHeight = std::atoi(m_strHeight);
        m_nType = std::atoi(settings.GetStringValue("MaskType")) == 2 ? 2 : 1;
    } else {
        m_nWidth = m_nHeight = 0;
        m_strWidth.Format("%d", 0);
        m_strHeight.Format("%d", 0);
        m_nType = 1;
    }
    CheckRadioButton(IDC_NEW_MASK_SIMPLE, IDC_NEW_MASK_COMPOUND,
                     m_nType == 2 ? IDC_NEW_MASK_COMPOUND : IDC_NEW_MASK_SIMPLE);
    UpdateData(FALSE);
    return TRUE;
}

void CNewMaskDlg::OnSimple()
{
    m_nType = 1;
}

void CNewMaskDlg::OnCompound()
{
    m_nType = 2;
}

void CNewMaskDlg::Refuse(UINT textId, int id)
{
    MessageBox(LoadKernovaText(textId), LoadKernovaText(IDS_CONV_CAPTION), MB_OK | MB_ICONEXCLAMATION);
    if (CWnd* edit = GetDlgItem(id)) edit->SetFocus();
}

void CNewMaskDlg::OnOK()
{
    UpdateData(TRUE);
    m_nWidth = std::atoi(m_strWidth);
    m_nHeight = std::atoi(m_strHeight);
    if (m_nWidth <= 0) return Refuse(IDS_MASK_BAD_SIZE, IDC_NEW_MASK_WIDTH);
    if (m_nHeight <= 0) return Refuse(IDS_MASK_BAD_SIZE, IDC_NEW_MASK_HEIGHT);
    if (m_nWidth % 2 == 0) return Refuse(IDS_MASK_ODD_SIZE, IDC_NEW_MASK_WIDTH);
    if (m_nHeight % 2 == 0) return Refuse(IDS_MASK_ODD_SIZE, IDC_NEW_MASK_HEIGHT);
    // The editor shows and the engines convolve masks up to this size.
    if (m_nWidth > kMaxNewMaskSide) return Refuse(IDS_MASK_TOO_LARGE, IDC_NEW_MASK_WIDTH);
    if (m_nHeight > kMaxNewMaskSide) return Refuse(IDS_MASK_TOO_LARGE, IDC_NEW_MASK_HEIGHT);
    SaveSettings();
    CDialog::OnOK();
}

void CNewMaskDlg::SaveSettings()
{
    CEasyRegistry existing;
    if (!existing.InitSubKey(kSettingsKey, 1)) return;
    CEasyRegistry settings;
    if (!settings.InitSubKey(kSettingsKey, 0)) return;
    CString type;
    type.Format("%d", m_nType);
    if (!settings.SetStringValue("Width", m_strWidth)) return;
    if (!settings.SetStringValue("Height", m_strHeight)) return;
    settings.SetStringValue("MaskType", type);
}

void CNewMaskDlg::OnCancel()
{
    m_nWidth = m_nHeight = m_nType = 0;
    m_strWidth.Empty();
    m_strHeight.Empty();
    CDialog::OnCancel();
}

int CNewMaskDlg::GetSize(int& width, int& height) const
{
    if (m_nWidth == 0 || m_nHeight == 0) return 0;
    width = m_nWidth;
    height = m_nHeight;
    return 1;
}

int CNewMaskDlg::GetMaskType(int& type) const
{
    type = m_nType == 2 ? 2 : 1;
    return 1;
}
