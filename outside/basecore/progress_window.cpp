#include "outside/basecore/progress_window.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "outside/basecore/basecore_strings.h"
#include "outside/basecore/cmeter_info.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/progress_ctrl.h"

namespace basecore {
namespace {

constexpr int kBarSteps = 1000;
constexpr UINT kRefreshMs = 50;
constexpr UINT_PTR kRefreshTimer = 1;
// The offset between progress windows open at once, as between cascaded viewers.
constexpr int kCascadeStep = 24;

// The cascade steps of the progress windows open now (user-interface thread only).
std::set<int>& StepsTaken()
{
    static std::set<int> taken;
    return taken;
}

UINT StateTextId(int state)
{
    switch (state) {
        case TASK_PROCESSING:
            return IDS_TASK_PROCESSING;
        case TASK_COMPLETE:
            return IDS_TASK_COMPLETE;
        case TASK_ERROR:
            return IDS_TASK_ERROR;
        case TASK_SKIPPED:
            return IDS_TASK_SKIPPED;
        case TASK_NOPROCESS:
            return IDS_TASK_NOPROCESS;
        default:
            return IDS_TASK_WAITING;
    }
}

void SetTextIfChanged(CListCtrl& list, int item, int column, const CString& text)
{
    // Unchanged cells are left alone, so that the list does not flicker on every tick.
    if (list.GetItemText(item, column) != text) list.SetItemText(item, column, text.c_str());
}

}  // namespace

BEGIN_MESSAGE_MAP(CProgressWnd, CDialog)
    ON_WM_TIMER()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CProgressWnd::CProgressWnd(CMeterInfo* meter) : CDialog(IDD_PROGRESS), m_meter(meter) {}

CProgressWnd::~CProgressWnd()
{
    if (m_hWnd) DestroyWindow();
}

BOOL CProgressWnd::Create(const CString& title)
{
    if (!CDialog::Create(IDD_PROGRESS, nullptr)) return FALSE;
    // Jobs that run at once each show their window: a new one steps down and right from
    // the centre by the first step no open window holds, so none hides another.
    std::set<int>& taken = StepsTaken();
    m_cascadeStep = 0;
    while (taken.count(m_cascadeStep)) ++m_cascadeStep;
    taken.insert(m_cascadeStep);
    if (m_cascadeStep > 0) {
        CRect place;
        GetWindowRect(&place);
        SetWindowPos(nullptr, place.left + kCascadeStep * m_cascadeStep,
                     place.top + kCascadeStep * m_cascadeStep, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowText(title.c_str());
    SetDlgItemText(IDC_PROGRESS_TITLE, title.c_str());
    Refresh();
    ShowWindow(SW_SHOW);
    return TRUE;
}

BOOL CProgressWnd::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDCANCEL, LoadText(IDS_PROGRESS_STOP).c_str());
    if (auto* tasks = static_cast<CListCtrl*>(GetDlgItem(IDC_PROGRESS_TASKS))) {
        CRect area;
        tasks->GetClientRect(&area);
        // The task's text takes what the state column leaves; a margin keeps a scroll bar clear.
        const int stateWidth = area.Width() / 3;
        tasks->InsertColumn(0, "", LVCFMT_LEFT, std::max(area.Width() - stateWidth - 20, 20));
        tasks->InsertColumn(1, "", LVCFMT_LEFT, stateWidth);
        tasks->SetExtendedStyle(LVS_EX_FULLROWSELECT);
    }
    if (auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROGRESS_BAR))) bar->SetRange32(0, kBarSteps);
    SetTimer(kRefreshTimer, kRefreshMs);
    return TRUE;
}

void CProgressWnd::OnDestroy()
{
    if (m_cascadeStep >= 0) StepsTaken().erase(m_cascadeStep);
    m_cascadeStep = -1;
    CDialog::OnDestroy();
}

void CProgressWnd::OnCancel()
{
    m_meter->RequestStop();
    Refresh();
}

void CProgressWnd::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kRefreshTimer && m_meter->Revision() != m_shownRevision) Refresh();
}

void CProgressWnd::Refresh()
{
    if (!m_hWnd) return;
    auto* tasks = static_cast<CListCtrl*>(GetDlgItem(IDC_PROGRESS_TASKS));
    auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROGRESS_BAR));
    CWnd* stop = GetDlgItem(IDCANCEL);
    if (!tasks || !bar || !stop) return;
    m_shownRevision = m_meter->Revision();
    const MeterSnapshot s = m_meter->Snapshot();

    CString shown;
    GetDlgItemText(IDC_PROGRESS_TEXT, shown);
    if (shown != s.text) SetDlgItemText(IDC_PROGRESS_TEXT, s.text.c_str());
    const double span = s.high - s.low;
    double fraction = span != 0.0 ? (s.pos - s.low) / span : 0.0;
    if (!std::isfinite(fraction)) fraction = 0.0;
    bar->SetPos(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kBarSteps));
    stop->EnableWindow(!s.stopRequested);

    const int count = static_cast<int>(s.tasks.size());
    while (tasks->GetItemCount() > count) tasks->DeleteItem(tasks->GetItemCount() - 1);
    while (tasks->GetItemCount() < count) tasks->InsertItem(tasks->GetItemCount(), "");
    for (int i = 0; i < count; ++i) {
        const MeterTask& task = s.tasks[static_cast<size_t>(i)];
        SetTextIfChanged(*tasks, i, 0, task.text);
        SetTextIfChanged(*tasks, i, 1, LoadText(StateTextId(task.state)));
        const UINT selected = i == s.currentTask ? LVIS_SELECTED : 0;
        if (tasks->GetItemState(i, LVIS_SELECTED) != selected)
            tasks->SetItemState(i, selected, LVIS_SELECTED);
    }
}

}  // namespace basecore
