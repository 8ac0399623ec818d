#include "viewer/analysis/logical_coords_dlg.h"

#include <cmath>
#include <cstdlib>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/remove_trail_zeros.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/window/messages.h"
#include "platform/window/modal.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"

namespace {

/// The leading number of the text, as atof reads it; false when it is not finite.
bool LeadingNumber(const CString& text, double& value)
{
    value = std::strtod(text, nullptr);
    return std::isfinite(value);
}

CString FixedText(double value)
{
    CString text;
    text.Format("%.6f", value);
    RemoveTrailZeros(text);
    return text;
}

}  // namespace

CLogicalCoordsDlg::CLogicalCoordsDlg(CWnd* parent) : CDialog(IDD_LOGICAL_COORDS, parent) {}

CLogicalCoordsDlg::~CLogicalCoordsDlg() = default;

BOOL CLogicalCoordsDlg::Create(CViewerHost* host)
{
    m_pHost = host;
    m_bCreated = CDialog::Create(IDD_LOGICAL_COORDS, host ? host->HostWnd() : nullptr) != FALSE;
    return m_bCreated ? TRUE : FALSE;
}

void CLogicalCoordsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_LC_X_TO, m_strXTo);
    DDX_Text(pDX, IDC_LC_Y_TO, m_strYTo);
    DDX_Text(pDX, IDC_LC_X_FROM, m_strXFrom);
    DDX_Text(pDX, IDC_LC_Y_FROM, m_strYFrom);
}

bool CLogicalCoordsDlg::SyncValues(BOOL toNumbers)
{
    if (toNumbers) {
        bool finite = LeadingNumber(m_strXTo, m_dXTo);
        finite = LeadingNumber(m_strYTo, m_dYTo) && finite;
        finite = LeadingNumber(m_strXFrom, m_dXFrom) && finite;
        finite = LeadingNumber(m_strYFrom, m_dYFrom) && finite;
        return finite;
    }
    m_strXTo = FixedText(m_dXTo);
    m_strYTo = FixedText(m_dYTo);
    m_strXFrom = FixedText(m_dXFrom);
    m_strYFrom = FixedText(m_dYFrom);
    return true;
}

void CLogicalCoordsDlg::RefreshFromView()
{
    if (!m_pHost) return;
    const int width = m_pHost->ImageWidth(1);
    const int height = m_pHost->ImageHeight(1);
    const CCoordLawData* law = m_pHost->GetViewRect()->GetCoordLaw();
    const CPointT<double> first = law->GetLogicalCoord(0.0, 0.0);
    const CPointT<double> last = law->GetLogicalCoord(width - 1.0, height - 1.0);
    m_dXFrom = first.x;
    m_dYFrom = first.y;
    m_dXTo = last.x;
    m_dYTo = last.y;
    SyncValues(FALSE);
    if (GetSafeHwnd()) UpdateData(FALSE);
}

void CLogicalCoordsDlg::ShowInvalid()
{
    CString text;
    text.LoadString(IDS_COORDS_INVALID);
    MessageBox(text, nullptr, MB_OK);
}

void CLogicalCoordsDlg::OnApply()
{
    if (!m_pHost) return;
    UpdateData(TRUE);
    const bool finite = SyncValues(TRUE);
    const int width = m_pHost->ImageWidth(1);
    const int height = m_pHost->ImageHeight(1);
    // Without a picture there is no law to set.
    if (width <= 0 || height <= 0) return;
    if (!finite || std::fabs(m_dXFrom - m_dXTo) < 1e-15 || std::fabs(m_dYFrom - m_dYTo) < 1e-15) {
        ShowInvalid();
        return;
    }
    if (!m_pHost->GetViewRect()->SetLogicalCoords(width, height, m_dXFrom, m_dXTo, m_dYFrom, m_dYTo))
        ShowInvalid();
}

void CLogicalCoordsDlg::OnDefault()
{
    if (!m_pHost) return;
    CViewRect* viewRect = m_pHost->GetViewRect();
    CVirtualView* view = viewRect->GetActiveView();
    if (!view) return;
    const CString path = view->GetFileName(1);
    viewRect->GetCoordLaw()->LoadData(path);
    RefreshFromView();
    m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 16, 1);
}

BOOL CLogicalCoordsDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
        case IDC_LC_APPLY:
            OnApply();
            return TRUE;
        case IDC_LC_DEFAULT:
            OnDefault();
            return TRUE;
        default:
            return CDialog::OnCommand(wParam, lParam);
    }
}

LRESULT CLogicalCoordsDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VIEWER) return 0;
    if (message == WM_CLOSE) {
        if (CWnd* parent = m_pParentWnd ? m_pParentWnd : GetParent())
            parent->SendMessage(WM_DLGMESSAGE, 14, 0);
        return CDialog::WindowProc(message, wParam, lParam);
    }
    const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
    if (message == WM_SHOWWINDOW && wParam) RefreshFromView();
    return result;
}

void CLogicalCoordsDlg::PostNcDestroy()
{
    if (m_bCreated) delete this;
}
