#include "viewer/core/selection_info.h"

#include <cmath>

#include "platform/window/wnd.h"

namespace {

bool HasWindow(const CWnd* wnd)
{
    return wnd && ::IsWindow(wnd->GetSafeHwnd());
}

}  // namespace

double CRectSelCorners::GetWidth() const
{
    return std::fabs(corners[1].x - corners[0].x);
}

double CRectSelCorners::GetHeight() const
{
    return std::fabs(corners[2].y - corners[1].y);
}

CSelObj::~CSelObj()
{
    // The dialog would otherwise report its end to a freed object.
    if (HasWindow(m_pWnd)) m_pWnd->DestroyWindow();
    m_pWnd = nullptr;
}

void CSelObj::HideWnd()
{
    if (HasWindow(m_pWnd)) m_pWnd->ShowWindow(SW_HIDE);
}

void CSelObj::CloseWnd()
{
    if (HasWindow(m_pWnd)) m_pWnd->DestroyWindow();
}
