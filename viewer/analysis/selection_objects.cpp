#include "viewer/analysis/selection_objects.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "outside/basecore/settings.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/window/messages.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/analysis/freehand_region_dlg.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr LPARAM kSelectionData = 14;

CString SelectionsKey()
{
    CString viewer, selections;
    viewer.LoadString(IDS_SETTINGS_VIEWER);
    selections.LoadString(IDS_SELECTIONS_KEY);
    return viewer + selections;
}

bool HasWindow(const CWnd* wnd)
{
    return wnd && ::IsWindow(wnd->GetSafeHwnd());
}

std::unique_ptr<CSelObj> MakeSelectionInfo(int type)
{
    if (type == 1) return std::make_unique<CRectSelObj>();
    if (type == 2) return std::make_unique<CFreeRegionObj>();
    return nullptr;
}

/// The view window makes its selection information through its services.
const bool kServiceInstalled = [] {
    GetRasterViewServices().makeSelectionInfo = &MakeSelectionInfo;
    return true;
}();

}  // namespace

// --- the objects -----------------------------------------------------------------------------

void CRectSelObj::SetData(CRect rect, CRectSelCorners corners, CWnd* parent)
{
    m_rect = rect;
    m_corners = corners;
    m_pParent = parent;
    UpdateWnd();
}

void CRectSelObj::UpdateWnd()
{
    if (!HasWindow(m_pWnd)) return;
    RectSelData data;
    data.rect = m_rect;
    data.rect.NormalizeRect();
    data.corners = m_corners;
    data.owner = this;
    try {
        m_pWnd->SendMessage(WM_VIEWER, reinterpret_cast<WPARAM>(&data), kSelectionData);
    } catch (...) {
        // A read-out that fails to show leaves the selection as it is.
    }
}

void CRectSelObj::ShowWnd()
{
    if (HasWindow(m_pWnd)) {
        m_pWnd->ShowWindow(SW_SHOW);
        m_pWnd->SetActiveWindow();
        return;
    }
    auto* dlg = new CRectSelDlg;
    dlg->m_pOwner = this;
    if (!dlg->Create(m_pParent)) {
        delete dlg;
        return;
    }
    m_pWnd = dlg;
    UpdateWnd();
    dlg->ShowWindow(SW_SHOW);
}

void CFreeRegionObj::SetData(int pixelArea, double logicalArea, CRect bounds, CPointT<double> logicalTopLeft,
                             CPointT<double> logicalBottomRight, CWnd* parent)
{
    m_dArea = pixelArea;
    m_dLogicalArea = logicalArea;
    m_rcBound = bounds;
    m_ptBound[0] = logicalTopLeft;
    m_ptBound[1] = logicalBottomRight;
    m_pParent = parent;
    UpdateWnd();
}

void CFreeRegionObj::UpdateWnd()
{
    if (auto* dlg = dynamic_cast<CFreehandRegionDlg*>(m_pWnd); dlg && HasWindow(dlg))
        dlg->SetData(m_dArea, m_dLogicalArea, m_rcBound, m_ptBound[0], m_ptBound[1], this);
}

void CFreeRegionObj::Reset()
{
    m_dArea = 0.0;
    m_rcBound = CRect(0, 0, 0, 0);
    if (auto* dlg = dynamic_cast<CFreehandRegionDlg*>(m_pWnd); dlg && HasWindow(dlg)) dlg->Clear();
}

void CFreeRegionObj::ShowWnd()
{
    if (HasWindow(m_pWnd)) {
        m_pWnd->ShowWindow(SW_SHOW);
        m_pWnd->SetActiveWindow();
        return;
    }
    auto* dlg = new CFreehandRegionDlg;
    if (!dlg->CreateStandIn(m_pParent)) {
        delete dlg;
        return;
    }
    m_pWnd = dlg;
    UpdateWnd();
    dlg->ShowWindow(SW_SHOW);
}

// --- the rectangle's dialog --------------------------------------------------------------------

CRectSelDlg::CRectSelDlg() : CDialog(IDD_RECT_SELECTION) {}

BOOL CRectSelDlg::Create(CWnd* parent)
{
    m_bCreated = CDialog::Create(IDD_RECT_SELECTION, parent) != FALSE;
    return m_bCreated ? TRUE : FALSE;
}

void CRectSelDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SEL_HEIGHT, m_strHeight);
    DDX_Text(pDX, IDC_SEL_LEFT_BOTTOM, m_strLeftBottom);
    DDX_Text(pDX, IDC_SEL_LEFT_TOP, m_strLeftTop);
    DDX_Text(pDX, IDC_SEL_PERIMETER, m_strPerimeter);
    DDX_Text(pDX, IDC_SEL_RIGHT_BOTTOM, m_strRightBottom);
    DDX_Text(pDX, IDC_SEL_RIGHT_TOP, m_strRightTop);
    DDX_Text(pDX, IDC_SEL_SQUARE, m_strSquare);
    DDX_Text(pDX, IDC_SEL_WIDTH, m_strWidth);
    DDX_Radio(pDX, IDC_SEL_LOGICAL, m_nCoordMode);
}

BOOL CRectSelDlg::OnInitDialog()
{
    const CString stored = GetStringValue(SelectionsKey(), "RectCoordLast");
    int mode = std::atoi(stored);
    if (mode > 1) mode = 0;
    m_nCoordMode = mode;
    CDialog::OnInitDialog();
    ShowData();
    return TRUE;
}

void CRectSelDlg::SetData(const RectSelData& data)
{
    m_rect = data.rect;
    m_corners = data.corners;
    m_pOwner = data.owner;
    ShowData();
}

void CRectSelDlg::ShowData()
{
    if (GetSafeHwnd()) UpdateData(TRUE);
    CString mode;
    mode.Format("%d", m_nCoordMode);
    SetStringValue(SelectionsKey(), "RectCoordLast", mode);

    if (m_nCoordMode == 0) {
        const CPointT<double>* c = m_corners.corners;
        m_strLeftTop.Format("(%g, %g)", c[0].x, c[0].y);
        m_strRightTop.Format("(%g, %g)", c[1].x, c[1].y);
        m_strRightBottom.Format("(%g, %g)", c[2].x, c[2].y);
        m_strLeftBottom.Format("(%g, %g)", c[3].x, c[3].y);
        m_strWidth.Format("%g", m_corners.GetWidth());
        m_strHeight.Format("%g", m_corners.GetHeight());
        m_strPerimeter.Format("%g", m_corners.GetPerimeter());
        m_strSquare.Format("%g", m_corners.GetSquare());
    } else if (m_nCoordMode == 1) {
        const CRect& r = m_rect;
        // Pixel counts of a large selection pass 2^31 in the area.
        const long long w = std::llabs(static_cast<long long>(r.right) - r.left);
        const long long h = std::llabs(static_cast<long long>(r.bottom) - r.top);
        m_strLeftTop.Format("(%d, %d)", r.left, r.top);
        m_strRightTop.Format("(%d, %d)", r.right, r.top);
        m_strRightBottom.Format("(%d, %d)", r.right, r.bottom);
        m_strLeftBottom.Format("(%d, %d)", r.left, r.bottom);
        m_strWidth.Format("%lld", w);
        m_strHeight.Format("%lld", h);
        m_strPerimeter.Format("%lld", 2 * h + 2 * w);
        m_strSquare.Format("%lld", w * h);
    }
    if (GetSafeHwnd()) UpdateData(FALSE);
}

BOOL CRectSelDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if ((id == IDC_SEL_LOGICAL || id == IDC_SEL_FILE) && HIWORD(wParam) == BN_CLICKED) {
        ShowData();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

LRESULT CRectSelDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VIEWER) {
        if (lParam != kSelectionData || !wParam) return 0;
        SetData(*reinterpret_cast<const RectSelData*>(wParam));
        return 1;
    }
    const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
    if (message == WM_DESTROY && m_pOwner) {
        m_pOwner->DetachWnd();
        m_pOwner = nullptr;
    }
    return result;
}

void CRectSelDlg::PostNcDestroy()
{
    if (m_bCreated) delete this;
}
