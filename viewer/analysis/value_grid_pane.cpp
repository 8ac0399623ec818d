#include "viewer/analysis/value_grid_pane.h"

#include <algorithm>

#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/huebook/color_map.h"
#include "platform/controls/common_controls.h"
#include "platform/frame/control_bar.h"
#include "platform/gdi/region.h"
#include "platform/menu/menu.h"
#include "platform/window/cursor.h"
#include "platform/window/messages.h"
#include "viewer/core/viewer_resources.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"

namespace {

constexpr UINT kGridId = 100;
constexpr int kProfileAlongX = 4;
constexpr int kProfileAlongY = 5;

}  // namespace

CValueGridPane::CValueGridPane() = default;
CValueGridPane::~CValueGridPane() = default;

BOOL CValueGridPane::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    m_bCreated = CWnd::Create(nullptr, "", style, rect, parent, id) != FALSE;
    if (!m_bCreated) return FALSE;
    m_pGrid = std::make_unique<CGridCtrl>(0, 0, 0, 0);
    CRect client;
    GetClientRect(&client);
    if (!m_pGrid->Create(client, this, kGridId, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP))
        m_pGrid.reset();
    return TRUE;
}

void CValueGridPane::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

CVirtualView* CValueGridPane::ActiveView() const
{
    if (!m_pView || !::IsWindow(m_pView->GetSafeHwnd())) return nullptr;
    return m_pView->GetActiveView();
}

void CValueGridPane::SetMeter(CMeterInfoBase* meter)
{
    if (m_pGrid) m_pGrid->SetMeter(meter, 1);
}

void CValueGridPane::Rebind()
{
    CVirtualView* view = ActiveView();
    CRDPLayer* layer = view ? view->GetLayer(1) : nullptr;
    if (!m_pGrid || !layer) return;
    // Only the working copy is written; the source file never is.
    CRDPLayer* writer = view->IsWorkingCopy() ? layer : nullptr;
    m_pGrid->InitLayerMode(layer->GetRows(), layer->Type(), m_nComponent, layer->Width(), layer->Height(),
                           writer);
    if (layer->IsComplex()) m_pGrid->SetLayerDataComplexComponent(m_nComponent);
}

void CValueGridPane::ApplyPalette()
{
    CVirtualView* view = ActiveView();
    if (!m_pGrid || !view) return;
    BYTE rgb[768] = {};
    const double low = view->GetDisplayMin(1), high = view->GetDisplayMax(1);
    const CColorMap* map = m_pView->GetColorMap();
    if (map)
        map->CreatePseudoPalette(rgb, low, high);
    else
        for (int i = 0; i < 256; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = BYTE(i);
    m_pGrid->SetLayerPalette(rgb, int(m_nColorFlags & 1), low, high);
}

void CValueGridPane::Update(CViewRect* view)
{
    m_pView = view;
    CVirtualView* active = ActiveView();
    if (!m_pGrid || !active || !active->GetLayer(1)) return;
    m_pGrid->SetLayerMode(1);
    m_nComponent = active->GetComplexMode(1);
    if (m_nComponent < 0) m_nComponent = kReal;
    Rebind();
    ApplyPalette();
    m_pGrid->SetRowResize(FALSE);
    m_pGrid->SetCollectiveColumnResize(TRUE);
    m_pGrid->AutoSizeColumn(0, 2, TRUE);
    m_pGrid->SetEditable(TRUE);
    SetComplexComponent(m_nComponent);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CValueGridPane::CloseAll()
{
    if (m_pGrid) m_pGrid->SetLayerMode(0);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL CValueGridPane::IsLayerMode() const
{
    return GetSafeHwnd() && UINT(GetDlgCtrlID()) == AFX_IDW_PANE_FIRST && m_pGrid && m_pGrid->GetLayerMode()
               ? TRUE
               : FALSE;
}

void CValueGridPane::SetComplexComponent(int component)
{
    m_nComponent = component;
    CVirtualView* view = ActiveView();
    CRDPLayer* layer = view ? view->GetLayer(1) : nullptr;
    if (!m_pGrid) return;
    if (layer && layer->IsComplex()) {
        m_pGrid->SetLayerDataComplexComponent(component);
        m_pGrid->SetEditable(component >= kReal && component <= kBothParts);
    }
    m_pGrid->Refresh();
}

CPoint CValueGridPane::GetFocusPos() const
{
    if (!m_pGrid) return CPoint(0, 0);
    const CCellID cell = m_pGrid->GetFocusCell();
    return CPoint(cell.col - m_pGrid->GetFixedColumnCount(), cell.row - m_pGrid->GetFixedRowCount());
}

void CValueGridPane::GoToCell(int x, int y)
{
    if (!IsLayerMode()) return;
    const int row = y + m_pGrid->GetFixedRowCount(), col = x + m_pGrid->GetFixedColumnCount();
    m_pGrid->EnsureVisibleInCenter(row, col);
    m_pGrid->SetFocusCell(row, col);
}

void CValueGridPane::SetToolCursor(int tool)
{
    m_nTool = tool;
    if (m_pView)
        if (HCURSOR cursor = m_pView->GetToolCursor(tool)) ::SetCursor(cursor);
}

void CValueGridPane::SetColorMode(int flags)
{
    m_nColorFlags = unsigned(flags);
    if (m_pGrid && ActiveView()) {
        ApplyPalette();
        m_pGrid->Refresh();
    }
}

void CValueGridPane::SelectViewRegion()
{
    if (!m_pGrid || !ActiveView()) return;
    HRGN selection = m_pView->GetSelectionRgn();
    if (!selection) return;
    platform::SpanRegion cells = ::GetRgnSpans(selection);
    cells.Offset(m_pGrid->GetFixedColumnCount(), m_pGrid->GetFixedRowCount());
    CTableRegion region;
    region.SetRegion(std::move(cells));
    m_pGrid->SetSelectedRgn(region);
}

HRGN CValueGridPane::GetSelectedRgn() const
{
    return m_pGrid ? m_pGrid->GetSelectedRgn() : nullptr;
}

void CValueGridPane::OnEditCopy()
{
    if (m_pGrid) m_pGrid->OnEditCopy();
}

bool CValueGridPane::ChangeAllowed()
{
    CVirtualView* view = ActiveView();
    if (!view) return false;
    if (view->IsWorkingCopy()) return true;
    if (!view->MakeWorkingCopy()) return false;
    Rebind();  // the grid now writes into the working copy
    return true;
}

void CValueGridPane::OnEditPaste()
{
    if (!m_pGrid || !ActiveView() || !ChangeAllowed()) return;
    m_pGrid->OnEditPaste();
    if (CWnd* parent = GetParent()) parent->SendMessage(WM_DLGMESSAGE, 8, 0);
}

void CValueGridPane::OnTextViewRect(CString& a, int sizeA, CString& b, int sizeB, CString& c, int sizeC)
{
    a.Empty();
    b.Empty();
    c.Empty();
    if (!m_pGrid || !m_pView || !::IsWindow(m_pView->GetSafeHwnd())) return;
    const CPoint p = GetFocusPos();
    char scratch[255] = {}, ta[256] = {}, tb[256] = {}, tc[256] = {};
    m_pView->FormatPointInfo(p.x, p.y, scratch, int(sizeof scratch), ta, std::clamp(sizeA, 0, 256), tb,
                             std::clamp(sizeB, 0, 256), tc, std::clamp(sizeC, 0, 256));
    a = ta;
    b = tb;
    c = tc;
}

void CValueGridPane::ShowContextMenu(int row, int col, const POINT* screen)
{
    HMENU resource = platform::LoadMenuFromResource(IDR_VIEWER_CONTEXT_MENUS);
    HMENU menu = resource ? ::GetSubMenu(resource, kContextTable) : nullptr;
    if (!menu) {
        if (resource) ::DestroyMenu(resource);
        return;
    }
    const bool selected = m_pGrid && m_pGrid->IsCellSelected(row, col);
    ::EnableMenuItem(menu, ID_VIEWER_SAVE_REGION, MF_BYCOMMAND | (selected ? MF_ENABLED : MF_GRAYED));
    // The pane owns the popup so that the frame's update pass does not enable "Save region"
    // again; the chosen command then goes to the frame.
    const UINT command = screen ? UINT(::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                                        screen->x, screen->y, 0, GetSafeHwnd(), nullptr))
                                : 0u;
    ::DestroyMenu(resource);
    if (command)
        if (CWnd* parent = GetParent()) parent->SendMessage(WM_COMMAND, command, 0);
}

BOOL CValueGridPane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* record = reinterpret_cast<const NM_GRIDVIEW*>(lParam);
    if (!m_pGrid || !record || record->hdr.hwndFrom != m_pGrid->GetSafeHwnd())
        return CWnd::OnNotify(wParam, lParam, pResult);
    *pResult = 1;
    const int x = record->iColumn - m_pGrid->GetFixedColumnCount();
    const int y = record->iRow - m_pGrid->GetFixedRowCount();
    CVirtualView* view = ActiveView();
    CRDPLayer* layer = view ? view->GetLayer(1) : nullptr;
    // Only data cells are pixels; headers open nothing.
    const bool pixel = layer && x >= 0 && y >= 0 && x < layer->Width() && y < layer->Height();
    switch (int(record->hdr.code)) {
        case GVN_SETCURSOR:
            if (x >= 0 && y >= 0 && record->data && m_pView)
                *static_cast<HCURSOR*>(record->data) = m_pView->GetToolCursor(m_nTool);
            break;
        case GVN_QUERYEDIT:
            if (record->data) *static_cast<BOOL*>(record->data) = ChangeAllowed() ? TRUE : FALSE;
            break;
        case GVN_ENDLABELEDIT:
            if (CWnd* parent = GetParent()) parent->SendMessage(WM_DLGMESSAGE, 8, 0);
            return TRUE;
        case GVN_SELCHANGED:
            if (CWnd* parent = GetParent()) parent->PostMessage(WM_TEXTVIEWRECT, 1, 0);
            if (pixel && m_nTool == kProfileAlongX) m_pView->ShowProfile(1, y);
            if (pixel && m_nTool == kProfileAlongY) m_pView->ShowProfile(0, x);
            break;
        case int(NM_RCLICK):
            if (CWnd* parent = GetParent()) parent->PostMessage(WM_TEXTVIEWRECT, 1, 0);
            ShowContextMenu(record->iRow, record->iColumn, static_cast<const POINT*>(record->data));
            break;
        default:
            break;
    }
    LRESULT base = 0;
    CWnd::OnNotify(wParam, lParam, &base);
    return TRUE;
}

LRESULT CValueGridPane::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_SIZE: {
            const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            if (m_pGrid && m_pGrid->GetSafeHwnd()) {
                CRect client;
                GetClientRect(&client);
                m_pGrid->MoveWindow(0, 0, client.Width(), client.Height(), TRUE);
                m_pGrid->ShowWindow(SW_SHOW);
            }
            return result;
        }
        case WM_VIEWER: {
            CVirtualView* view = ActiveView();
            if (lParam == 6 && m_pGrid && view) {
                ApplyPalette();
                m_pGrid->Refresh();
            } else if (lParam == 10 && m_pGrid && view && view->GetLayer(1)) {
                Rebind();
                RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            } else if (lParam == 11 && m_pGrid && wParam) {
                const auto* p = reinterpret_cast<const POINT*>(wParam);
                m_pGrid->RedrawCell(p->y + m_pGrid->GetFixedRowCount(),
                                    p->x + m_pGrid->GetFixedColumnCount());
            }
            return 1;
        }
        case WM_DESTROY:
            if (m_pGrid && m_pGrid->GetSafeHwnd()) m_pGrid->DestroyWindow();
            break;
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
