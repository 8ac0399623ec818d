#include "platform/controls/tool_tip_ctrl.h"

#include <QToolTip>
#include <QWidget>

#include "platform/controls/control_notify.h"

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    // A hidden top-level window owned by the parent; the tip itself is Qt's tool tip.
    return CWnd::CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, platform::ControlClass("tooltips_class32"),
                          nullptr, WS_POPUP | (dwStyle & 0xFFFF), 0, 0, 0, 0,
                          pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr, nullptr);
}

CToolTipCtrl::Tool* CToolTipCtrl::Find(CWnd* pWnd, UINT_PTR nIDTool)
{
    for (Tool& tool : m_tools)
        if (pWnd && tool.hwnd == pWnd->GetSafeHwnd() && tool.id == nIDTool) return &tool;
    return nullptr;
}

const CToolTipCtrl::Tool* CToolTipCtrl::Find(CWnd* pWnd, UINT_PTR nIDTool) const
{
    return const_cast<CToolTipCtrl*>(this)->Find(pWnd, nIDTool);
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    if (!pWnd || !pWnd->GetSafeHwnd()) return FALSE;
    Tool tool{pWnd->GetSafeHwnd(), nIDTool, lpRectTool == nullptr, lpRectTool ? CRect(*lpRectTool) : CRect(),
              CString(lpszText ? lpszText : "")};
    if (Tool* existing = Find(pWnd, nIDTool))
        *existing = tool;
    else
        m_tools.push_back(tool);
    if (tool.wholeWindow && pWnd->GetWidget() && m_active)
        pWnd->GetWidget()->setToolTip(QString::fromUtf8(tool.text.c_str()));
    return TRUE;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, UINT nIDText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    CString text;
    text.LoadString(nIDText);
    return AddTool(pWnd, text, lpRectTool, nIDTool);
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool)
{
    for (auto it = m_tools.begin(); it != m_tools.end(); ++it) {
        if (pWnd && it->hwnd == pWnd->GetSafeHwnd() && it->id == nIDTool) {
            if (it->wholeWindow && pWnd->GetWidget()) pWnd->GetWidget()->setToolTip(QString());
            m_tools.erase(it);
            return;
        }
    }
}

void CToolTipCtrl::UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    Tool* tool = Find(pWnd, nIDTool);
    if (!tool) return;
    const bool showing = !m_shown.IsEmpty() && m_shown == tool->text;
    tool->text = lpszText ? lpszText : "";
    if (tool->wholeWindow && pWnd->GetWidget() && m_active)
        pWnd->GetWidget()->setToolTip(QString::fromUtf8(tool->text.c_str()));
    if (showing) m_shown = tool->text;
}

void CToolTipCtrl::GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool) const
{
    const Tool* tool = Find(pWnd, nIDTool);
    str = tool ? tool->text : CString();
}

void CToolTipCtrl::SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT lpRect)
{
    if (Tool* tool = Find(pWnd, nIDTool); tool && lpRect) {
        tool->rect = *lpRect;
        tool->wholeWindow = false;
    }
}

void CToolTipCtrl::Activate(BOOL bActivate)
{
    m_active = bActivate != FALSE;
    for (const Tool& tool : m_tools) {
        CWnd* wnd = CWnd::FromHandle(tool.hwnd);
        if (tool.wholeWindow && wnd && wnd->GetWidget())
            wnd->GetWidget()->setToolTip(m_active ? QString::fromUtf8(tool.text.c_str()) : QString());
    }
    if (!m_active) Pop();
}

void CToolTipCtrl::RelayEvent(LPMSG lpMsg)
{
    if (!lpMsg || !m_active) return;
    switch (lpMsg->message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            Pop();
            return;
        case WM_MOUSEMOVE:
            break;
        default:
            return;
    }
    const CPoint at(GET_X_LPARAM(lpMsg->lParam), GET_Y_LPARAM(lpMsg->lParam));
    for (const Tool& tool : m_tools) {
        if (tool.hwnd != lpMsg->hwnd) continue;
        if (!tool.wholeWindow && !tool.rect.PtInRect(at)) continue;
        if (tool.text.IsEmpty()) break;
        m_shown = tool.text;
        if (CWnd* wnd = CWnd::FromHandle(tool.hwnd);
            wnd && wnd->GetWidget() && wnd->GetWidget()->isVisible()) {
            QString text = QString::fromUtf8(m_shown.c_str());
            QToolTip::showText(wnd->GetWidget()->mapToGlobal(QPoint(at.x, at.y + 16)), text,
                               wnd->GetWidget());
        }
        return;
    }
    Pop();
}

int CToolTipCtrl::SetMaxTipWidth(int iWidth)
{
    const int previous = m_maxWidth;
    m_maxWidth = iWidth;
    return previous;
}

void CToolTipCtrl::Pop()
{
    if (!m_shown.IsEmpty()) QToolTip::hideText();
    m_shown.Empty();
}
