#include "viewer/analysis/data_info_dlg.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "outside/basecore/byte_order_f64.h"
#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/window/messages.h"
#include "viewer/analysis/stats_grid_resources.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"

namespace {

constexpr COLORREF kArtBackground = RGB(192, 192, 192);
constexpr int kPhaseTag = 3;
constexpr int kPhaseTagBytes = 40;

CString LoadText(UINT id)
{
    CString s;
    s.LoadString(id);
    return s;
}

CString Printf(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

/// Meters of closed dialogs. The view keeps the meter it was given for the jobs that follow
/// its statistics (the display rebuild), which may run after the dialog has gone, so a
/// dialog's meter lives on, detached from its progress bar, until the program ends.
void ParkMeter(std::unique_ptr<CViewerMeterInfo> meter)
{
    static std::vector<std::unique_ptr<CViewerMeterInfo>> parked;
    parked.push_back(std::move(meter));
}

double ReadDouble(const unsigned char* p)
{
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

CDataInfoDlg::CDataInfoDlg() : CCollapsibleDlg(*platform::FindDialogTemplate(IDD_DATA_INFO)) {}

CDataInfoDlg::~CDataInfoDlg() = default;

BOOL CDataInfoDlg::Create(CViewerHost* host)
{
    m_pHost = host;
    return CreateStandIn(host ? host->HostWnd() : nullptr);
}

BOOL CDataInfoDlg::OnInitDialog()
{
    CCollapsibleDlg::OnInitDialog();
    m_tabs.SubclassWindow(GetDlgItem(IDC_INFO_TABS)->GetSafeHwnd());
    m_progress.SubclassWindow(GetDlgItem(IDC_INFO_PROGRESS)->GetSafeHwnd());
    CBitmap bitmap;
    m_tabImages.Create(16, 16, ILC_COLOR | ILC_MASK, 4, 1);
    if (bitmap.LoadBitmap(IDB_CHANNEL_TABS)) m_tabImages.Add(&bitmap, kArtBackground);
    if (m_tabImages.GetImageCount() > 0) m_tabImages.Remove(0);
    CBitmap rows;
    m_rowImages.Create(16, 16, ILC_COLOR | ILC_MASK, 4, 1);
    if (rows.LoadBitmap(IDB_COMPLEX_TABS)) m_rowImages.Add(&rows, kArtBackground);
    m_tabs.SetImageList(&m_tabImages);
    m_pMeter->Attach(this, &m_progress);
    return TRUE;
}

void CDataInfoDlg::SetMode(int mode)
{
    CRect tabs;
    m_tabs.GetWindowRect(&tabs);
    if (mode == 1 && m_nMode != 1) {
        m_tabs.ShowWindow(SW_HIDE);
        ShiftControls(IDC_INFO_SIZE_LABEL, tabs.Height());
        m_nMode = 1;
    } else if (mode == 2 && m_nMode != 2) {
        m_tabs.DeleteAllItems();
        const UINT names[] = {IDS_CHANNEL_RED, IDS_CHANNEL_GREEN, IDS_CHANNEL_BLUE};
        for (int i = 0; i < 3; ++i) m_tabs.InsertItem(i, LoadText(names[i]), i);
        if (m_nMode == 1) ShiftControls(IDC_INFO_SIZE_LABEL, -tabs.Height());
        m_tabs.ShowWindow(SW_SHOW);
        m_nMode = 2;
    }
}

void CDataInfoDlg::LayOutGrid(int complex)
{
    if (m_pGrid && m_nGridKind == complex) return;
    if (m_pGrid) {
        m_pGrid->DestroyWindow();
        m_pGrid.reset();
    }
    m_nGridKind = complex;
    CWnd* place = GetDlgItem(IDC_GRID_PLACE);
    CRect r;
    place->GetWindowRect(&r);
    ScreenToClient(&r);
    m_pGrid = std::make_unique<CGridCtrl>();
    m_pGrid->SetRowCount(complex ? 5 : 2);
    m_pGrid->SetColumnCount(complex ? 5 : 4);
    m_pGrid->SetFixedRowCount(1);
    m_pGrid->SetFixedColumnCount(complex ? 1 : 0);
    // The grid is as tall as its rows; the controls below follow its height.
    const int height = int(m_pGrid->GetVirtualHeight()) + 2;
    if (height != r.Height()) {
        const int delta = r.Height() - height;
        place->SetWindowPos(nullptr, 0, 0, r.Width(), height, SWP_NOMOVE | SWP_NOZORDER);
        ShiftControls(IDC_INFO_RANGE_LABEL, delta);
        r.bottom = r.top + height;
    }
    m_pGrid->Create(r, this, IDC_GRID, WS_CHILD | WS_VISIBLE | WS_BORDER);
    const UINT headers[] = {IDS_COLUMN_MIN, IDS_COLUMN_MAX, IDS_COLUMN_MEAN, IDS_COLUMN_STDDEV};
    const int c0 = complex ? 1 : 0;
    if (complex) {
        m_pGrid->SetItemText(0, 0, LoadText(IDS_COLUMN_COMPONENT));
        const int images[] = {2, 3, 0, 1};  // amplitude, phase, real, imaginary
        for (int row = 1; row <= 4; ++row) m_pGrid->SetItemImage(row, 0, images[row - 1]);
    }
    for (int c = 0; c < 4; ++c) m_pGrid->SetItemText(0, c0 + c, LoadText(headers[c]));
    m_pGrid->SetImageList(&m_rowImages);
    m_pGrid->AutoSizeColumns();
    m_pGrid->ExpandColumnsToFit();
    m_pGrid->SetEditable(FALSE);
}

void CDataInfoDlg::ShowEmpty()
{
    SetDlgItemText(IDC_INFO_SIZE, " 0 x 0 x 0");
    SetDlgItemText(IDC_INFO_TYPE, " 0");
    if (m_pGrid) m_pGrid->DeleteAllItems();
    for (int id : {IDC_INFO_X_FROM, IDC_INFO_Y_FROM, IDC_INFO_X_TO, IDC_INFO_Y_TO}) SetDlgItemText(id, " 0");
}

void CDataInfoDlg::Refresh(int tab)
{
    CViewRect* rect = m_pHost ? m_pHost->GetViewRect() : nullptr;
    if (!rect || !rect->GetActiveView()) {
        ShowEmpty();
        return;
    }
    // Ready statistics show at once; otherwise their job reports back with WM_VIEWER 9.
    if (rect->CalcStatistics(0, m_pMeter.get(), nullptr, 1) == 1) Fill(tab);
}

void CDataInfoDlg::Fill(int tab)
{
    CViewRect* rect = m_pHost ? m_pHost->GetViewRect() : nullptr;
    CVirtualView* view = rect ? rect->GetActiveView() : nullptr;
    if (!view) {
        ShowEmpty();
        return;
    }
    SetMode(m_pHost->GetColorMode() == 2 ? 2 : 1);
    const int component = m_nMode == 2 ? 3 + std::clamp(tab, 0, 2) : 1;
    DataInfoRecord info;
    info.width = m_pHost->ImageWidth(1);
    info.height = m_pHost->ImageHeight(1);
    const CPointT<double> first = rect->GetCoordLaw()->GetLogicalCoord(0.0, 0.0);
    const CPointT<double> last =
        rect->GetCoordLaw()->GetLogicalCoord(double(info.width - 1), double(info.height - 1));
    info.firstX = first.x;
    info.firstY = first.y;
    info.lastX = last.x;
    info.lastY = last.y;
    info.type = rect->GetStringTypeData(component);
    CRDPLayer* layer = view->GetLayer(component);
    const bool complex = rect->IsComplex(component) != FALSE;
    const double blank = std::numeric_limits<double>::quiet_NaN();
    if (layer) {
        info.minimum[0] = layer->Min();
        info.maximum[0] = layer->Max();
        info.mean[0] = layer->Mean();
        info.stdDev[0] = layer->StdDev();
        if (complex) {
            // The phase statistics only from a block of the size they are written in.
            unsigned char phase[kPhaseTagBytes];
            if (layer->GetSizeTag(kPhaseTag) == kPhaseTagBytes &&
                layer->GetTag(kPhaseTag, kPhaseTagBytes, phase)) {
                info.minimum[1] = ReadDouble(phase + 8);
                info.maximum[1] = ReadDouble(phase + 16);
                info.mean[1] = ReadDouble(phase + 32);
                info.stdDev[1] = ReadDouble(phase + 24);
            } else {
                info.minimum[1] = info.maximum[1] = info.mean[1] = info.stdDev[1] = blank;
            }
            info.minimum[2] = layer->reMin();
            info.maximum[2] = layer->reMax();
            info.mean[2] = layer->reMean();
            info.stdDev[2] = layer->reStdDev();
            info.minimum[3] = layer->imMin();
            info.maximum[3] = layer->imMax();
            info.mean[3] = layer->imMean();
            info.stdDev[3] = layer->imStdDev();
        }
    }
    LayOutGrid(complex ? 1 : 0);
    char size[64];
    std::snprintf(size, sizeof size, " %d x %d", info.width, info.height);
    SetDlgItemText(IDC_INFO_SIZE, size);
    SetDlgItemText(IDC_INFO_TYPE, CString(" ") + info.type);
    const int rows = complex ? 4 : 1, c0 = complex ? 1 : 0;
    for (int r = 0; r < rows; ++r) {
        const double values[] = {info.minimum[r], info.maximum[r], info.mean[r], info.stdDev[r]};
        for (int c = 0; c < 4; ++c)
            m_pGrid->SetItemText(r + 1, c0 + c, values[c] == values[c] ? Printf("%g", values[c]) : CString());
    }
    m_pGrid->AutoSizeColumns();
    m_pGrid->ExpandColumnsToFit();
    m_pGrid->Refresh();
    SetDlgItemText(IDC_INFO_X_FROM, Printf(" %f", info.firstX));
    SetDlgItemText(IDC_INFO_Y_FROM, Printf(" %f", info.firstY));
    SetDlgItemText(IDC_INFO_X_TO, Printf(" %f", info.lastX));
    SetDlgItemText(IDC_INFO_Y_TO, Printf(" %f", info.lastY));
}

void CDataInfoDlg::OnCancel()
{
    if (m_pHost) m_pHost->HostWnd()->SendMessage(WM_DLGMESSAGE, 10, 0);
    ShowWindow(SW_HIDE);
}

LRESULT CDataInfoDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_SHOWWINDOW: {
            const LRESULT result = CCollapsibleDlg::WindowProc(message, wParam, lParam);
            if (wParam) {
                m_tabs.SetCurSel(0);
                Refresh(0);
            }
            return result;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->code == TCN_SELCHANGE && header->idFrom == UINT(IDC_INFO_TABS)) {
                Refresh(m_tabs.GetCurSel());
                return 0;
            }
            break;
        }
        case WM_VIEWER:
            if (lParam == 9) Fill(int(wParam));
            return 1;
        case WM_CLOSE:
            OnCancel();
            return 0;
        case WM_DESTROY:
            if (m_pGrid && m_pGrid->GetSafeHwnd()) m_pGrid->DestroyWindow();
            m_pMeter->Attach(nullptr, nullptr);  // the progress bar goes with the dialog
            if (m_pMeter->IsRunning()) m_pMeter->StopForClose();
            ParkMeter(std::move(m_pMeter));
            m_pMeter = std::make_unique<CViewerMeterInfo>();
            break;
        default:
            break;
    }
    return CCollapsibleDlg::WindowProc(message, wParam, lParam);
}
