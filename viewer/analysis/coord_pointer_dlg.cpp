#include "viewer/analysis/coord_pointer_dlg.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/math_helpers.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/static_ctrl.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/window/messages.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

const platform::DialogControl kControls[] = {
    {"Button", "File", IDC_STATIC, 4, 3, 82, 44, BS_GROUPBOX},
    {"Static", "X :", IDC_STATIC, 10, 16, 12, 8, SS_LEFT},
    {"Edit", "", IDC_CP_FILE_X, 24, 14, 56, 12, kEdit},
    {"Static", "Y :", IDC_STATIC, 10, 31, 12, 8, SS_LEFT},
    {"Edit", "", IDC_CP_FILE_Y, 24, 29, 56, 12, kEdit},
    {"Button", "Logical", IDC_STATIC, 90, 3, 82, 44, BS_GROUPBOX},
    {"Static", "X :", IDC_STATIC, 96, 16, 12, 8, SS_LEFT},
    {"Edit", "", IDC_CP_LOGICAL_X, 110, 14, 56, 12, kEdit},
    {"Static", "Y :", IDC_STATIC, 96, 31, 12, 8, SS_LEFT},
    {"Edit", "", IDC_CP_LOGICAL_Y, 110, 29, 56, 12, kEdit},
    {"Static", "Value in the point", IDC_STATIC, 6, 53, 70, 8, SS_LEFT},
    {"Edit", "", IDC_CP_VALUE, 78, 51, 94, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER},
    {"Button", "Move to center", IDC_CP_CENTER, 22, 73, 60, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Go to point", IDC_CP_GO_TO, 94, 73, 60, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
const platform::DialogTemplate kTemplate{IDD_COORD_POINTER,
                                         "Coordinate Pointer",
                                         WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                         WS_EX_TOOLWINDOW,
                                         "MS Sans Serif",
                                         8,
                                         0,
                                         0,
                                         176,
                                         95,
                                         kControls};

constexpr int kBuddies[4] = {IDC_CP_FILE_X, IDC_CP_FILE_Y, IDC_CP_LOGICAL_X, IDC_CP_LOGICAL_Y};

/// Logical coordinates: any finite number; the range message of the exchange for the rest.
void CheckFinite(CDataExchange* pDX, const double& value)
{
    constexpr double kLargest = std::numeric_limits<double>::max();
    DDV_MinMaxDouble(pDX, value, -kLargest, kLargest);
}

}  // namespace

CCoordPointerDlg::CCoordPointerDlg() : CSelfDeletingDlg(kTemplate) {}

CCoordPointerDlg::CCoordPointerDlg(CWnd* parent) : CSelfDeletingDlg(kTemplate, parent) {}

BOOL CCoordPointerDlg::Create(CWnd* parent, CViewerHost* host)
{
    m_pHost = host;
    return CreateStandIn(parent);
}

void CCoordPointerDlg::DoDataExchange(CDataExchange* pDX)
{
    CSelfDeletingDlg::DoDataExchange(pDX);
    // A typed pixel must lie on the picture: beyond it the pointer would only be clamped
    // to an edge the user did not ask for.
    DDX_Text(pDX, IDC_CP_FILE_X, m_nFileX);
    DDV_MinMaxInt(pDX, m_nFileX, 0, std::max(0, m_nImageWidth - 1));
    DDX_Text(pDX, IDC_CP_FILE_Y, m_nFileY);
    DDV_MinMaxInt(pDX, m_nFileY, 0, std::max(0, m_nImageHeight - 1));
    DDX_Text(pDX, IDC_CP_VALUE, m_strValue);
    DDX_Text(pDX, IDC_CP_LOGICAL_X, m_dLogicalX);
    CheckFinite(pDX, m_dLogicalX);
    DDX_Text(pDX, IDC_CP_LOGICAL_Y, m_dLogicalY);
    CheckFinite(pDX, m_dLogicalY);
}

BOOL CCoordPointerDlg::OnInitDialog()
{
    CSelfDeletingDlg::OnInitDialog();
    for (int i = 0; i < 4; ++i) {
        CWnd* buddy = GetDlgItem(kBuddies[i]);
        m_spins[i].Create(WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_SETBUDDYINT | UDS_ALIGNRIGHT,
                          CRect(0, 0, 14, 12), this, IDC_CP_SPIN_FILE_X + i);
        m_spins[i].SetBuddy(buddy);
    }
    m_bExchanging = true;
    UpdateData(FALSE);
    m_bExchanging = false;
    return TRUE;
}

void CCoordPointerDlg::Refresh()
{
    if (!m_pHost) return;
    const int width = m_pHost->ImageWidth(1);
    const int height = m_pHost->ImageHeight(1);
    if (width <= 0 || height <= 0) return;
    m_nImageWidth = width;
    m_nImageHeight = height;
    const CCoordLawData* law = m_pHost->GetViewRect()->GetCoordLaw();
    const CPointT<double> first = law->GetLogicalCoord(0.0, 0.0);
    const CPointT<double> last = law->GetLogicalCoord(width - 1.0, height - 1.0);
    m_dLogicalWidth = std::fabs(last.x - first.x);
    m_dLogicalHeight = std::fabs(last.y - first.y);
    m_dStepX = m_dLogicalWidth / width;
    m_dStepY = m_dLogicalHeight / height;
    MoveTo(-1, -1);
}

void CCoordPointerDlg::ReadPointer()
{
    if (!m_pHost) return;
    const CPoint p = m_pHost->GetPointerPos();
    m_nFileX = p.x;
    m_nFileY = p.y;
    CViewRect* view = m_pHost->GetViewRect();
    m_strValue = view->GetValueText(p.x, p.y);
    const CPointT<double> logical = view->GetCoordLaw()->GetLogicalCoord(p);
    m_dLogicalX = logical.x;
    m_dLogicalY = logical.y;
    if (!GetSafeHwnd()) return;
    m_bExchanging = true;
    UpdateData(FALSE);
    m_bExchanging = false;
}

void CCoordPointerDlg::MoveTo(int x, int y)
{
    if (!m_pHost) return;
    m_pHost->SetPointerPos(CPoint(x, y));
    ReadPointer();
}

CPoint CCoordPointerDlg::FileOf(double x, double y) const
{
    const CPointT<double> file = m_pHost->GetViewRect()->GetCoordLaw()->GetFileCoord(x, y);
    // A law that maps no pixel here (a zero scale) gives no position: stay where we are.
    const int fx = std::isfinite(file.x) && std::fabs(file.x) < 2e9 ? Round(file.x) : m_nFileX;
    const int fy = std::isfinite(file.y) && std::fabs(file.y) < 2e9 ? Round(file.y) : m_nFileY;
    return CPoint(fx, fy);
}

bool CCoordPointerDlg::TakeEdits()
{
    const int fileX = m_nFileX, fileY = m_nFileY;
    const double logicalX = m_dLogicalX, logicalY = m_dLogicalY;
    m_bExchanging = true;
    const bool taken = UpdateData(TRUE) != FALSE;
    m_bExchanging = false;
    if (!taken) {
        // A refused entry moves nothing and keeps every field as it was.
        m_nFileX = fileX;
        m_nFileY = fileY;
        m_dLogicalX = logicalX;
        m_dLogicalY = logicalY;
    }
    return taken;
}

void CCoordPointerDlg::Close()
{
    if (m_pHost) m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 5, 0);
    ShowWindow(SW_HIDE);
}

void CCoordPointerDlg::OnCancel()
{
    Close();
}

BOOL CCoordPointerDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    if (code == BN_CLICKED && id == IDC_CP_CENTER) {
        MoveTo(-1, -1);
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDC_CP_GO_TO) {
        if (m_pHost) m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 6, 0);
        return TRUE;
    }
    if (code == EN_KILLFOCUS &&
        (id == IDC_CP_FILE_X || id == IDC_CP_FILE_Y || id == IDC_CP_LOGICAL_X || id == IDC_CP_LOGICAL_Y)) {
        // The range message itself takes the focus away; that is no new entry.
        if (m_bExchanging || !m_pHost || !HasPicture()) return TRUE;
        if (!TakeEdits()) return TRUE;
        if (id == IDC_CP_FILE_X || id == IDC_CP_FILE_Y) {
            MoveTo(m_nFileX, m_nFileY);
        } else {
            const CPoint file = FileOf(m_dLogicalX, m_dLogicalY);
            if (id == IDC_CP_LOGICAL_X)
                MoveTo(file.x, m_nFileY);
            else
                MoveTo(m_nFileX, file.y);
        }
        return TRUE;
    }
    if (id == IDOK) return TRUE;  // Enter moves nothing by itself; leaving the edit does
    return CSelfDeletingDlg::OnCommand(wParam, lParam);
}

BOOL CCoordPointerDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
    const int id = change ? int(change->hdr.idFrom) : 0;
    if (!change || change->hdr.code != UDN_DELTAPOS || id < IDC_CP_SPIN_FILE_X || id > IDC_CP_SPIN_LOGICAL_Y)
        return CSelfDeletingDlg::OnNotify(wParam, lParam, pResult);
    if (m_pHost && HasPicture()) {
        const int delta = change->iDelta;
        switch (id) {
            case IDC_CP_SPIN_FILE_X:
                MoveTo(m_nFileX - delta, m_nFileY);
                break;
            case IDC_CP_SPIN_FILE_Y:
                MoveTo(m_nFileX, m_nFileY - delta);
                break;
            case IDC_CP_SPIN_LOGICAL_X:
                MoveTo(FileOf(m_dLogicalX - delta * m_dStepX, m_dLogicalY).x, m_nFileY);
                break;
            default:
                MoveTo(m_nFileX, FileOf(m_dLogicalX, m_dLogicalY - delta * m_dStepY).y);
                break;
        }
    }
    // The edits show the pointer now; the arrows' own counter must not write over them.
    if (pResult) *pResult = 1;
    return TRUE;
}

LRESULT CCoordPointerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_VIEWER:
            if (lParam == 4) Refresh();
            return 0;
        case WM_DLGMESSAGE:
            if (wParam == 27) ReadPointer();
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        default:
            break;
    }
    const LRESULT result = CSelfDeletingDlg::WindowProc(message, wParam, lParam);
    if (message == WM_SHOWWINDOW && wParam) SendMessage(WM_VIEWER, 0, 4);
    return result;
}
