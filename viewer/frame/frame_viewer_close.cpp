// Whether and how a viewer frame may close: the save questions, the frame jobs that ask
// them off the user-interface thread, and taking every layer and tool window away.

#include <atomic>
#include <memory>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/thread_runner.h"
#include "platform/frame/control_bar.h"
#include "platform/window/modal.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/value_grid_pane.h"
#include "viewer/analysis/scale_mark_wnd.h"
#include "viewer/core/fault_names.h"
#include "viewer/frame/frame_viewer.h"
#include "viewer/frame/frame_viewer_internal.h"
#include "viewer/frame/save_changes_dlg.h"

using frame_files::OnUi;

namespace {

constexpr const char* kSaveQuestion = "Save changes ?";
constexpr const char* kComputingStatistics = "Computing statisticses ...";
constexpr const char* kNoFileTitle = "Viewer: no file";

/// A frame job's record: the action to take when the close check allows it.
struct FrameJob {
    int code;
    CFrameViewer* frame;
    HWND hwnd;
    std::atomic<int>* running;  ///< the frame's record of the job that runs
};

const char* FrameJobTitle(int code)
{
    switch (code) {
        case kJobCloseView:
            return "CloseView";
        case kJobButtonNew:
            return "ButtonNew";
        case kJobButtonLoad:
            return "ButtonLoad";
        case kJobDestroyWindow:
            return "DestroyWindow";
        case kJobButtonLoadRgb:
            return "ButtonLoadRGB";
        default:
            return "";
    }
}

// The frame outlives the job: its window is destroyed only after the job has reported (the
// meter defers a close until then), and the verdict goes by handle, so a window gone
// meanwhile simply never receives it.
void FrameJobProc(void* arg, CMeterInfoBase*)
{
    std::unique_ptr<FrameJob> job(static_cast<FrameJob*>(arg));
    int allowed = 0;
    try {
        allowed = job->frame->ClosePermission(job->code);
    } catch (CRDPExcept* e) {
        e->Delete();
    } catch (...) {
    }
    job->frame->FreezForInput(0);
    *job->running = 0;
    if (allowed) ::PostMessage(job->hwnd, WM_CLOSEALLOWED, WPARAM(job->code), 0);
}

}  // namespace

namespace frame_files {

void ReportFault(CFrameViewer& frame, CWnd* parent, int notifyId)
{
    if (parent) ::PostMessage(parent->GetSafeHwnd(), WM_VIEWER, WPARAM(notifyId), 3);
    frame.FreezForInput(0);
    // Called inside the handler that caught the fault: the report says what it was.
    ::MessageBox(nullptr, FaultTextOf(std::current_exception()), "Viewer", MB_SYSTEMMODAL);
}

}  // namespace frame_files

int CFrameViewer::VerifySaveChanges()
{
    struct Question {
        bool ask = false;
        CString caption;
    };
    const Question q = OnUi([this] {
        Question r;
        CVirtualView* view = m_ViewRect.GetActiveView();
        if (!view || !view->GetLayer(1)) {
            m_nPendingSaves = 0;
            return r;
        }
        r.ask = m_nPendingSaves != 0;
        r.caption = view->GetFileName(1);
        return r;
    });
    if (!q.ask) return 1;

    const UINT pending = OnUi([this] { return m_nPendingSaves; });
    UINT kept = 0;
    const INT_PTR answer = OnUi([&]() -> INT_PTR {
        CSaveChangesDlg dlg(this);
        dlg.SetQuestion(kSaveQuestion);
        dlg.SetCaption(q.caption);
        if (pending & kSavePalette) dlg.AddLine(kChangePalette, "Palette");
        if (pending & kSaveLogicalCoords) dlg.AddLine(kChangeLogicalCoords, "Logical coordinates");
        if (pending & kSaveProperties) dlg.AddLine(kChangeProperties, "File Properties");
        if (pending & kSaveData) dlg.AddLine(kChangeData, "Data changes");
        const INT_PTR result = dlg.DoModal();
        if (dlg.IsChecked(kChangePalette)) kept |= kSavePalette;
        if (dlg.IsChecked(kChangeLogicalCoords)) kept |= kSaveLogicalCoords;
        if (dlg.IsChecked(kChangeProperties)) kept |= kSaveProperties;
        if (dlg.IsChecked(kChangeData)) kept |= kSaveData;
        return result;
    });
    if (answer == IDNO) {
        OnUi([this] { m_nPendingSaves = 0; });
        return 1;
    }
    if (answer != IDYES) return 0;  // Cancel, or a dialog that could not be shown
    OnUi([&] { m_nPendingSaves = kept; });
    return 1;
}

int CFrameViewer::ClosePermission(int /*code*/)
{
    const bool singleBand = OnUi([this] { return frame_files::ActiveSingleBand(m_ViewRect) != nullptr; });
    if (!singleBand) return 1;

    if (IsNewFile()) {
        const int answer = OnUi([this] {
            CString title;
            GetWindowText(title);
            return ::MessageBox(GetSafeHwnd(), kSaveQuestion, title, MB_YESNOCANCEL | MB_ICONQUESTION);
        });
        if (answer == IDNO) {
            OnUi([this] { m_nPendingSaves = 0; });
            return 1;
        }
        if (answer != IDYES) return 0;
        FreezForInput(1);
        OnUi([this] { m_wndStatusBar.SetPaneText(0, kComputingStatistics); });
        return SaveAs("New File.rdp") ? 1 : 0;
    }

    if (!VerifySaveChanges()) return 0;
    // Nothing left to write: the user unchecked every line or said No.
    const UINT pending = OnUi([this] { return m_nPendingSaves; });
    if (!pending) return 1;
    if (pending & kSaveData) {
        FreezForInput(1);
        OnUi([this] { m_wndStatusBar.SetPaneText(0, kComputingStatistics); });
    }
    return Save() ? 1 : 0;
}

int CFrameViewer::CloseAll()
{
    if (m_pValueGrid && IsTableShown()) {
        m_pValueGrid->CloseAll();
        if (m_pImageMenu) SetNewMenu(m_pImageMenu);
        SetPaletteIamgeToolBar();
        m_pValueGrid->SetDlgCtrlID(int(AFX_IDW_PANE_FIRST + 1));
        m_ViewRect.SetDlgCtrlID(int(AFX_IDW_PANE_FIRST));
        m_pValueGrid->ShowWindow(SW_HIDE);
        m_ViewRect.ShowWindow(SW_SHOW);
        RecalcLayout();
    }
    // A histogram job reads the layers that go now.
    if (m_pHistFrame) m_pHistFrame->StopCalcHist();
    m_ViewRect.CloseAll();
    SetStatusPaneTexts("", "", "", "");
    EnableMenuItems(0, int(kMenuAll));
    EnableMenuItems(1, int(kMenuNewOpen | kMenuOpenRgb));
    SetWindowText(kNoFileTitle);

    // Each tool window goes the way its toggle takes it away.
    struct Toggle {
        UINT flag;
        void (CFrameViewer::*off)();
    };
    static constexpr Toggle kToggles[] = {
        {kFrameColorCorrection, &CFrameViewer::OnButtonAdjust},
        {kFrameHistogram, &CFrameViewer::OnButtonViewerHist},
        {kFramePointer, &CFrameViewer::OnButtonPointer},
        {kFrameLogicalCoords, &CFrameViewer::OnButtonPropertyChange},
        {kFramePalette, &CFrameViewer::OnButtonPalette},
        {kFrameDataInfo, &CFrameViewer::OnButtonViewerInfo},
        {kFrameScale, &CFrameViewer::OnMenuScale},
    };
    for (const Toggle& t : kToggles)
        if (m_nFlags & t.flag) (this->*t.off)();
    // The measure button only switches measuring on; another tool ends it.
    if (m_nFlags & kFrameMeasure) {
        m_ViewRect.RemoveMeasure();
        OnButtonArrowCursor();
        m_nFlags &= ~kFrameMeasure;
    }

    m_nMenuFlags &= ~kMenuComplex;
    m_nPendingSaves = 0;
    m_CurrentFile = decltype(m_CurrentFile)();
    return 1;
}

BOOL CFrameViewer::DestroyWindow()
{
    if (m_bDestroying || !::IsWindow(GetSafeHwnd())) return CFrameWnd::DestroyWindow();
    // A close check that is asking already decides; another request would ask twice.
    if (m_nFrameJob.load()) return FALSE;
    // A job of the viewer runs on its layers: stop it, and close once it has reported.
    if (m_MeterInfo.StopForClose()) return FALSE;
    if (!m_nPendingSaves) {
        CloseAll();
        return CFrameWnd::DestroyWindow();
    }
    StartFrameJob(kJobDestroyWindow);
    return FALSE;
}

void CFrameViewer::StartFrameJob(int code)
{
    // One job at a time: the meter and the frozen frame belong to it.
    if (m_nFrameJob.load() || m_MeterInfo.IsRunning()) return;
    auto* job = new FrameJob{code, this, GetSafeHwnd(), &m_nFrameJob};
    m_nFrameJob = code;
    if (!Run(FrameJobTitle(code), FrameJobProc, &m_MeterInfo, job)) {
        delete job;
        m_nFrameJob = 0;
    }
}

LRESULT CFrameViewer::OnCloseAllowed(WPARAM wParam, LPARAM)
{
    switch (int(wParam)) {
        case kJobCloseView:
            CloseAll();
            break;
        case kJobButtonNew:
            ButtonNew();
            break;
        case kJobButtonLoad:
            ButtonLoad();
            break;
        case kJobDestroyWindow:
            return CFrameWnd::DestroyWindow();
        case kJobButtonLoadRgb:
            ButtonLoadRGB();
            break;
        default:
            break;
    }
    return 1;
}
