#include "viewer/analysis/statistics_dlg.h"

#include <cmath>
#include <cstdio>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/thread_runner.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/window/messages.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/stats_grid_resources.h"
#include "viewer/core/raster_view_services.h"

namespace {

constexpr UINT kDlgMessage = WM_USER + 501;
constexpr COLORREF kArtBackground = RGB(192, 192, 192);

int SlotOf(int channel)
{
    return channel >= 3 && channel <= 5 ? channel - 3 : 0;
}

CString LoadText(UINT id)
{
    CString s;
    s.LoadString(id);
    return s;
}

/// "%g", or nothing for a blank.
CString Format(double v)
{
    if (v != v) return CString();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

void LoadImages(CImageList& list, UINT bitmapId, bool dropFirst)
{
    if (list.IsCreated()) return;
    list.Create(16, 16, ILC_COLOR | ILC_MASK, 4, 1);
    CBitmap bitmap;
    if (bitmap.LoadBitmap(bitmapId)) list.Add(&bitmap, kArtBackground);
    if (dropFirst && list.GetImageCount() > 0) list.Remove(0);
}

/// What the statistics job works on: snapshots of the inputs and its own results, so that
/// the worker never touches the dialog; the dialog gets the results on the user-interface
/// thread, if it still exists then.
struct StatisticsJob {
    HWND dialog = nullptr;
    CStatisticsDlg::Slot inputs[3];
    RegionStatistics results;
};

void ComputeSlots(const CStatisticsDlg::Slot* inputs, RegionStatistics& results, CMeterInfoBase* meter)
{
    for (int s = 0; s < RegionStatistics::kSlots; ++s) {
        const CStatisticsDlg::Slot& slot = inputs[s];
        if (!slot.used || !isValidType(slot.typeCode)) continue;
        const RegionSource source{const_cast<const void* const*>(slot.rows), slot.typeCode, slot.width,
                                  slot.height};
        ComputeRegionStatistics(source, slot.region, results, s, meter);
    }
}

CStatisticsDlg* LiveDialog(HWND hwnd)
{
    if (!hwnd || !::IsWindow(hwnd)) return nullptr;
    return dynamic_cast<CStatisticsDlg*>(CWnd::FromHandlePermanent(hwnd));
}

void StatisticsWorker(void* arg, CMeterInfo* meter)
{
    auto* job = static_cast<StatisticsJob*>(arg);
    ComputeSlots(job->inputs, job->results, meter);
}

void StatisticsDone(void* arg)
{
    std::unique_ptr<StatisticsJob> job(static_cast<StatisticsJob*>(arg));
    if (CStatisticsDlg* dlg = LiveDialog(job->dialog)) {
        dlg->m_results = job->results;
        dlg->ShowResults(0, 0);
        dlg->ShowWindow(SW_SHOWNORMAL);
    }
}

void StatisticsStopped(void* arg)
{
    // A stopped or failed job shows nothing: the hidden dialog goes (it frees itself).
    std::unique_ptr<StatisticsJob> job(static_cast<StatisticsJob*>(arg));
    if (CStatisticsDlg* dlg = LiveDialog(job->dialog)) dlg->DestroyWindow();
}

void ShowRegionStatisticsService(RasterRegionStatisticsRequest& request)
{
    CStatisticsDlg::StartRegionStatistics(request);
}

/// The raster view asks for region statistics through its services.
const bool kServiceInstalled = [] {
    GetRasterViewServices().showRegionStatistics = &ShowRegionStatisticsService;
    return true;
}();

}  // namespace

CStatisticsDlg::CStatisticsDlg() : CCollapsibleDlg(*platform::FindDialogTemplate(IDD_STATISTICS)) {}

CStatisticsDlg::~CStatisticsDlg() = default;

BOOL CStatisticsDlg::Create(CWnd* parent)
{
    return CreateStandIn(parent);
}

BOOL CStatisticsDlg::OnInitDialog()
{
    CCollapsibleDlg::OnInitDialog();
    m_histogramButton.SubclassWindow(GetDlgItem(IDC_HISTOGRAM)->GetSafeHwnd());
    m_histogramButton.SetIcon(int(IDI_HISTOGRAM_BUTTON), 0, 16, 16);
    m_complexTab.SubclassWindow(GetDlgItem(IDC_COMPLEX_TAB)->GetSafeHwnd());
    m_channelTab.SubclassWindow(GetDlgItem(IDC_CHANNEL_TAB)->GetSafeHwnd());
    // Both tab rows look like a row of flat buttons.
    for (CTabCtrl* tab : {&m_complexTab, &m_channelTab}) {
        tab->ModifyStyle(0, TCS_BUTTONS | TCS_FLATBUTTONS | TCS_HOTTRACK);
        tab->SetExtendedStyle(TCS_EX_FLATSEPARATORS, TCS_EX_FLATSEPARATORS);
    }
    LoadImages(m_complexImages, IDB_COMPLEX_TABS, false);
    LoadImages(m_channelImages, IDB_CHANNEL_TABS, true);
    m_complexTab.SetImageList(&m_complexImages);
    m_channelTab.SetImageList(&m_channelImages);
    for (int i = 0; i < 4; ++i) m_complexTab.InsertItem(i, "", i);
    m_complexTab.SetCurSel(0);
    m_channelTab.SetCurSel(0);
    CreateMomentGrid();
    return TRUE;
}

void CStatisticsDlg::CreateMomentGrid()
{
    if (m_pGrid) return;
    m_pGrid = std::make_unique<CGridCtrl>();
    CRect place;
    GetDlgItem(IDC_GRID_PLACE)->GetWindowRect(&place);
    ScreenToClient(&place);
    m_pGrid->Create(place, this, IDC_GRID, WS_CHILD | WS_VISIBLE | WS_BORDER);
    m_pGrid->SetRowCount(6);
    m_pGrid->SetColumnCount(3);
    m_pGrid->SetFixedRowCount(1);
    m_pGrid->SetFixedColumnCount(1);
    m_pGrid->SetItemText(0, 0, "N");
    m_pGrid->SetItemText(0, 1, LoadText(IDS_ABOUT_ORIGIN));
    m_pGrid->SetItemText(0, 2, LoadText(IDS_ABOUT_MEAN));
    for (int k = 1; k <= 5; ++k) {
        char order[8];
        std::snprintf(order, sizeof order, "%d", k);
        m_pGrid->SetItemText(k, 0, order);
    }
    m_pGrid->AutoSizeColumns();
    m_pGrid->ExpandColumnsToFit();
    m_pGrid->SetEditable(FALSE);
}

void CStatisticsDlg::PlaceGrid()
{
    CWnd* place = GetDlgItem(IDC_GRID_PLACE);
    if (!m_pGrid || !m_pGrid->GetSafeHwnd() || !place) return;
    CRect r;
    place->GetWindowRect(&r);
    ScreenToClient(&r);
    m_pGrid->MoveWindow(&r, TRUE);
}

void CStatisticsDlg::SetMode(int mode)
{
    if (mode == 1) {
        CRect r;
        m_channelTab.GetWindowRect(&r);
        m_channelTab.ShowWindow(SW_HIDE);
        ShiftControls(IDC_COMPLEX_TAB, r.Height());
        m_nMode = 1;
    } else if (mode == 2) {
        const UINT names[] = {IDS_CHANNEL_RED, IDS_CHANNEL_GREEN, IDS_CHANNEL_BLUE};
        for (int i = 0; i < 3; ++i) m_channelTab.InsertItem(i, LoadText(names[i]), i);
        m_nMode = 2;
    }
}

void CStatisticsDlg::SetChannelRegion(int channel, void** rows, int typeCode, HRGN region)
{
    SetChannelRegion(channel, rows, typeCode, region, 0x7FFFFFFF, 0x7FFFFFFF);
}

void CStatisticsDlg::SetChannelRegion(int channel, void** rows, int typeCode, HRGN region, int width,
                                      int height)
{
    Slot& slot = m_slots[SlotOf(channel)];
    slot.rows = rows;
    slot.typeCode = typeCode;
    slot.width = width;
    slot.height = height;
    slot.region = ::GetRgnSpans(region).ClipToRect(RECT{0, 0, width, height});
    slot.used = true;
}

void CStatisticsDlg::CalcChannel(int slot, CMeterInfoBase* meter)
{
    if (slot < 0 || slot >= 3) return;
    const Slot& s = m_slots[slot];
    if (!isValidType(s.typeCode)) return;
    const RegionSource source{const_cast<const void* const*>(s.rows), s.typeCode, s.width, s.height};
    ComputeRegionStatistics(source, s.region, m_results, slot, meter);
}

void CStatisticsDlg::Calculate(CMeterInfoBase* meter)
{
    if (m_nMode == 2) {
        for (int s = 0; s < 3; ++s) CalcChannel(s, meter);
    } else {
        CalcChannel(0, meter);
    }
}

void CStatisticsDlg::SetField(int id, double value)
{
    SetDlgItemText(id, Format(value));
}

void CStatisticsDlg::ShowResults(int slot, int component)
{
    if (slot < 0 || slot >= 3) slot = 0;
    ShowComplexTab(isComplexType(m_slots[slot].typeCode) ? 1 : 0);
    if (!m_bComplexShown || component < 0 || component >= 4) component = 0;
    SetField(IDC_MIN, m_results.min[slot][component]);
    SetField(IDC_MAX, m_results.max[slot][component]);
    if (m_pGrid)
        for (int k = 1; k <= 5; ++k) {
            m_pGrid->SetItemText(k, 1, Format(m_results.originMoments[slot][component][k]));
            m_pGrid->SetItemText(k, 2, Format(m_results.meanMoments[slot][component][k]));
        }
    if (m_pGrid) m_pGrid->Refresh();
    SetField(IDC_KURTOSIS, m_results.kurtosis[slot][component]);
    SetField(IDC_SKEWNESS, m_results.skewness[slot][component]);
}

void CStatisticsDlg::ShowComplexTab(int complex)
{
    if ((complex != 0) == (m_bComplexShown != 0)) return;
    CRect r;
    m_complexTab.GetWindowRect(&r);
    if (complex) {
        ShiftControls(IDC_MIN_LABEL, -r.Height());
        m_complexTab.ShowWindow(SW_SHOW);
    } else {
        m_complexTab.ShowWindow(SW_HIDE);
        ShiftControls(IDC_MIN_LABEL, r.Height());
    }
    PlaceGrid();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    m_bComplexShown = complex ? 1 : 0;
}

void CStatisticsDlg::OnHistogram()
{
    auto* source = dynamic_cast<CHistFrame*>(m_pHistSource);
    if (!source) return;
    auto* window = new CHistFrame;
    if (!window->Create(this, 1)) {
        delete window;
        return;
    }
    window->SetMainHist(source);
    source->AddSource(window);
    window->m_hRgn = ::CreateRgnFromSpans(m_slots[0].region);
    if (m_nMode == 1) {
        window->SetChannelRange(m_results.min[0], m_results.max[0], 1);
    } else {
        for (int s = 0; s < 3; ++s) window->SetChannelRange(m_results.min[s], m_results.max[s], s + 3);
    }
    m_regionWindows.push_back(window->GetSafeHwnd());
    window->ShowWindow(SW_SHOW);
}

void CStatisticsDlg::OnCancel()
{
    // Closing the dialog ends it: it and its region windows go, and the object frees itself.
    DestroyWindow();
}

LRESULT CStatisticsDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_HISTOGRAM && HIWORD(wParam) == BN_CLICKED) {
                OnHistogram();
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->code == TCN_SELCHANGE &&
                (header->idFrom == UINT(IDC_CHANNEL_TAB) || header->idFrom == UINT(IDC_COMPLEX_TAB))) {
                const int channel = m_channelTab.GetItemCount() ? m_channelTab.GetCurSel() : 0;
                const int component = m_complexTab.GetItemCount() ? m_complexTab.GetCurSel() : 0;
                ShowResults(channel, component);
                return 0;
            }
            break;
        }
        case WM_SIZE: {
            const LRESULT result = CCollapsibleDlg::WindowProc(message, wParam, lParam);
            PlaceGrid();
            return result;
        }
        case kDlgMessage:
            if (wParam == 4) {
                // Only windows this dialog opened are closed through it.
                const HWND hwnd = reinterpret_cast<HWND>(lParam);
                if (std::erase(m_regionWindows, hwnd) && ::IsWindow(hwnd)) {
                    if (auto* source = dynamic_cast<CHistFrame*>(m_pHistSource))
                        source->RemoveSource(CWnd::FromHandlePermanent(hwnd));
                    CWnd::FromHandle(hwnd)->DestroyWindow();
                }
            }
            return 1;
        case WM_DESTROY: {
            const std::vector<HWND> windows = std::move(m_regionWindows);
            m_regionWindows.clear();
            for (HWND hwnd : windows)
                if (::IsWindow(hwnd)) {
                    if (auto* source = dynamic_cast<CHistFrame*>(m_pHistSource))
                        source->RemoveSource(CWnd::FromHandlePermanent(hwnd));
                    CWnd::FromHandle(hwnd)->DestroyWindow();
                }
            if (m_pGrid && m_pGrid->GetSafeHwnd()) m_pGrid->DestroyWindow();
            break;
        }
        default:
            break;
    }
    return CCollapsibleDlg::WindowProc(message, wParam, lParam);
}

void CStatisticsDlg::StartRegionStatistics(RasterRegionStatisticsRequest& request)
{
    auto* dlg = new CStatisticsDlg;
    if (!dlg->Create(request.parent)) {
        delete dlg;
        if (request.region) ::DeleteObject(request.region);
        request.region = nullptr;
        return;
    }
    dlg->SetHistSource(request.histogramSource);
    dlg->SetMode(1);
    dlg->SetChannelRegion(0, request.rows, request.typeCode, request.region, request.width, request.height);
    dlg->m_slots[0].keepAlive = request.keepAlive;
    if (request.region) ::DeleteObject(request.region);
    request.region = nullptr;

    auto job = std::make_unique<StatisticsJob>();
    job->dialog = dlg->GetSafeHwnd();
    for (int s = 0; s < 3; ++s) job->inputs[s] = dlg->m_slots[s];
    StatisticsJob* record = job.release();
    const CString title = LoadText(IDS_COMPUTING_STATISTICS);
    ::Run(title.c_str(), &StatisticsWorker, record, &StatisticsDone, record, &StatisticsStopped);
}
