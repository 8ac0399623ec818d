#include <algorithm>

#include "platform/gdi/region.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/view_rect_internal.h"

// The zoom and profile clicks and the mouse read-out. Selections, the pointer figure, the
// measure line and their cursors come with the view window's selection tools; until then
// those members keep the answers of a window without a selection.

namespace {

/// The cursor kind each tool mode shows (mode 12 keeps the current one: -1).
int CursorKindOfTool(int mode)
{
    static constexpr int kinds[] = {1, 1, 2, 3, 4, 5, 7, 12, 13, 15, 1, 16, -1, 25};
    return mode >= 0 && mode <= 13 ? kinds[mode] : -1;
}

}  // namespace

void CViewRect::SetToolMode(int mode)
{
    m_ToolMode = mode;
    if (const int kind = CursorKindOfTool(mode); kind > 0) m_nCursorKind = kind;
    if (mode == 13) m_MoveMode = 0;
}

HCURSOR CViewRect::GetToolCursor(int) const
{
    return nullptr;
}

void CViewRect::TurnOnPointer(int flags)
{
    m_fCompatibleMode |= flags;
    if (flags & 1) {
        AddFigureLayer(1, TRUE);
        m_MoveMode = 0;
        m_nCursorKind = 1;
    }
}

void CViewRect::TurnOffPointer(int flags)
{
    m_fCompatibleMode &= ~flags;
    if (flags & 1) m_bPointer = FALSE;
}

CPoint CViewRect::GetPointerPos() const
{
    return m_bPointer ? m_ptPointer : CPoint(0, 0);
}

CPoint CViewRect::SetPointerPos(int x, int y)
{
    if (x == -1 && y == -1) {
        const CPoint mid = ScreenToImage(m_nClientWidth / 2, m_nClientHeight / 2);
        x = mid.x;
        y = mid.y;
    }
    x = std::clamp(x, 0, std::max(m_nImageWidth - 1, 0));
    y = std::clamp(y, 0, std::max(m_nImageHeight - 1, 0));
    if (m_bPointer) {
        m_ptPointer = CPoint(x, y);
        if (CWnd* parent = GetParent()) parent->PostMessage(kWmViewRect, 2, 0);
    }
    return CPoint(x, y);
}

void CViewRect::SetRectSelection(int, int, int, int, CDialog*) {}

void CViewRect::SetRegionSelection(HRGN) {}

int CViewRect::SetSelection(HRGN)
{
    return m_nSelKind;
}

void CViewRect::SaveSelection(HRGN region)
{
    if (CVirtualView* view = GetActiveView()) view->SaveRegionAs(region ? region : m_hSelRgn);
}

void CViewRect::StatsSelection(HRGN region, CWnd* histogramSource)
{
    if (CVirtualView* view = GetActiveView())
        view->ShowRegionStatistics(region ? region : m_hSelRgn, histogramSource);
}

void CViewRect::ShowSelInfo() {}

void CViewRect::ShowProfile(int direction, int index)
{
    if (CVirtualView* view = GetActiveView()) view->ShowProfile(direction, index, GetParent(), &m_CoordLaw);
}

CString CViewRect::GetSelKindName() const
{
    return CString();
}

void CViewRect::FillSelProperties(CPropertySet*) {}

void CViewRect::RemoveMeasure() {}

void CViewRect::StopOutline()
{
    if (m_hStopEvent) SetEvent(m_hStopEvent);
}

void CViewRect::RefreshWorkingRegion() {}

// --- mouse ---------------------------------------------------------------------------------------

void CViewRect::OnMouseMove(UINT flags, CPoint point)
{
    if (m_Views.empty()) {
        CWnd::OnMouseMove(flags, point);
        return;
    }
    m_ptMouse = point;
    if (CWnd* parent = GetParent()) parent->PostMessage(kWmViewRect, 1, 0);
}

void CViewRect::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_Views.empty()) {
        CWnd::OnLButtonDown(flags, point);
        return;
    }
    m_ptMouse = point;
    if (m_ExlusiveMode == 0) {
        const CPoint p = ScreenToImage(point);
        switch (m_ToolMode) {
            case 1:
                SetScale(m_dScale);
                CenterOn(p.x, p.y);
                m_bPainted = FALSE;
                Redraw();
                break;
            case 2:
                ZoomOut();
                break;
            case 3:
                ZoomIn();
                break;
            case 4:
                if (p.y >= 0 && p.y < m_nImageHeight) ShowProfile(1, p.y);
                break;
            case 5:
                if (p.x >= 0 && p.x < m_nImageWidth) ShowProfile(0, p.x);
                break;
            default:
                break;
        }
    }
    if (CWnd* parent = GetParent()) parent->PostMessage(kWmViewRect, 1, 0);
}

void CViewRect::OnLButtonUp(UINT flags, CPoint point)
{
    CWnd::OnLButtonUp(flags, point);
}

void CViewRect::OnRButtonUp(UINT flags, CPoint point)
{
    CWnd::OnRButtonUp(flags, point);
}

BOOL CViewRect::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    return CWnd::OnSetCursor(wnd, hitTest, message);
}

void CViewRect::OnContextMenu(CWnd* wnd, CPoint point)
{
    CWnd::OnContextMenu(wnd, point);
}

LRESULT CViewRect::OnViewCursor(WPARAM wParam, LPARAM)
{
    m_nCursorKind = static_cast<int>(wParam);
    return 0;
}
