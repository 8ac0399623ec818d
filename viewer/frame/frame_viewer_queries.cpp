#include <cstring>
#include <memory>

#include "outside/basecore/info_file_dialog.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/tags.h"
#include "outside/basecore/thread_runner.h"
#include "outside/huebook/select_huebook_dlg.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"
#include "platform/window/modal.h"
#include "viewer/analysis/color_correction_dlg.h"
#include "viewer/analysis/data_info_dlg.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/logical_coords_dlg.h"
#include "viewer/analysis/value_grid_pane.h"
#include "viewer/core/fault_names.h"
#include "viewer/frame/frame_viewer.h"

namespace {

constexpr const char* kLayerFilter = "Tarvenix files (*.rdp)|*.rdp|All files (*.*)|*.*||";

/// What the "Close Layer" job needs: the layer and the frame's handle for its report.
struct CloseLayerJob {
    CRDPLayer* layer;
    HWND frame;
};

void CloseLayerWorker(void* arg, CMeterInfoBase* /*meter*/)
{
    std::unique_ptr<CloseLayerJob> job(static_cast<CloseLayerJob*>(arg));
    job->layer->CloseLayer();
    if (::IsWindow(job->frame)) ::SendMessage(job->frame, WM_VIEWER, 0, 7);
}

}  // namespace

// --- queries: the active view, or the value grid in the table view ------------------------------

int CFrameViewer::ImageWidth(int /*component*/)
{
    return m_ViewRect.ImageWidth();
}

int CFrameViewer::ImageHeight(int /*component*/)
{
    return m_ViewRect.ImageHeight();
}

double CFrameViewer::Min(int component)
{
    return m_ViewRect.Min(component);
}

double CFrameViewer::Max(int component)
{
    return m_ViewRect.Max(component);
}

double CFrameViewer::Mean(int component)
{
    return m_ViewRect.Mean(component);
}

double CFrameViewer::StDev(int component)
{
    return m_ViewRect.StDev(component);
}

CString CFrameViewer::GetStringTypeData(int component)
{
    return m_ViewRect.GetStringTypeData(component);
}

CString CFrameViewer::GetFileName(int component)
{
    return m_ViewRect.GetFileName(component);
}

unsigned int* CFrameViewer::GetHistAddr(int component)
{
    return m_ViewRect.GetHistAddr(component);
}

int CFrameViewer::GetColorMode()
{
    const int kind = m_ViewRect.GetViewKind();
    return kind == kViewKindSingleBand || kind == kViewKindRgb ? kind : 0;
}

int CFrameViewer::GetComplexMode(int component)
{
    if (IsTableShown() && m_pValueGrid->IsLayerMode()) return m_pValueGrid->GetComplexComponent();
    return m_ViewRect.GetComplexMode(component);
}

void CFrameViewer::GetPalitra(ColorStruct* out)
{
    if (!out) return;
    if (CVirtualView* view = m_ViewRect.GetActiveView()) view->GetPalitra(out);
}

void CFrameViewer::GetPalitra(PalitraTag* palette)
{
    if (!palette) return;
    ColorStruct colours[256] = {};
    GetPalitra(colours);
    for (int i = 0; i < 256; ++i) {
        palette->rgb[i][0] = colours[i].red;
        palette->rgb[i][1] = colours[i].green;
        palette->rgb[i][2] = colours[i].blue;
    }
}

int CFrameViewer::GetHistData(int component, unsigned int* counters, int bytes, int bins, CRect rect)
{
    return m_ViewRect.GetHistDataRect(component, counters, bytes, static_cast<unsigned>(bins), rect);
}

int CFrameViewer::GetHistData(int component, unsigned int* counters, int bytes, int bins, HRGN region)
{
    return m_ViewRect.GetHistDataRgn(component, counters, bytes, static_cast<unsigned>(bins), region);
}

CPoint CFrameViewer::SetPointerPos(CPoint p)
{
    if (m_pValueGrid) m_pValueGrid->GoToCell(p.x, p.y);
    return m_ViewRect.SetPointerPos(p.x, p.y);
}

CPoint CFrameViewer::GetPointerPos()
{
    if (IsTableShown()) return m_pValueGrid->GetFocusPos();
    return m_ViewRect.GetPointerPos();
}

void CFrameViewer::SetRectFrame(CPoint a, CPoint b, CWnd* source)
{
    m_ViewRect.SetRectSelection(a.x, a.y, b.x, b.y, dynamic_cast<CDialog*>(source));
}

int CFrameViewer::SetActiveView(int index, int redraw)
{
    return m_ViewRect.SetActiveView(index, redraw);
}

CWnd* CFrameViewer::GetHistWnd()
{
    return m_pHistFrame;
}

void CFrameViewer::RedrawView()
{
    if (m_ViewRect.GetSafeHwnd())
        m_ViewRect.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int CFrameViewer::GetRespondTable(unsigned char* /*table*/, int /*size*/)
{
    return 0;
}

// --- the layer's file --------------------------------------------------------------------------------

int CFrameViewer::SaveRDP()
{
    CVirtualView* view = m_ViewRect.GetActiveView();
    CRDPLayer* layer = view ? view->GetLayer(1) : nullptr;
    if (!layer) return 0;
    Run("Close Layer", &CloseLayerWorker, &m_MeterInfo, new CloseLayerJob{layer, m_hWnd});
    return 1;
}

int CFrameViewer::ReplaceRDP(CString file, CString proposedName)
{
    if (file.IsEmpty()) return 0;
    const CString source = m_CurrentFile.name;
    m_ViewRect.CloseAll();
    if (!source.IsEmpty() && source != file) CopyTag(file, source);

    const CString workDir = GetStringValue("\\Settings\\General", "WorkDir");
    CInfoFileDialog dialog(FALSE, "rdp", proposedName, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kLayerFilter,
                           this);
    if (!workDir.IsEmpty()) dialog.m_ofn.lpstrInitialDir = workDir;
    if (dialog.DoModal() != IDOK) return 0;
    const CString target = dialog.GetPathName();
    // The move replaces the target in one step, so an existing file is never deleted first
    // and stays whole when the move fails.
    if (!::MoveFileEx(file, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        MessageBox(GetErrorMessage(::GetLastError()), "", MB_ICONEXCLAMATION);
        return 0;
    }
    return 1;
}

int CFrameViewer::PostMessageAllChild(UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* windows[] = {m_pColorCorrectionDlg, m_pLogicalCoordsDlg, m_pPaletteDlg, m_pDataInfoDlg,
                       m_pHistFrame};
    int allPosted = 1;
    for (CWnd* wnd : windows) {
        if (!wnd || !wnd->GetSafeHwnd()) continue;
        if (!wnd->PostMessage(message, wParam, lParam)) allPosted = 0;
    }
    return allPosted;
}

void CFrameViewer::ReportLoadFault(DWORD code)
{
    ::MessageBox(nullptr, FaultName(code), "Viewer", MB_SYSTEMMODAL);
}
