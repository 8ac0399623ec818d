#include "outside/basecore/sizer_mover.h"

#include <algorithm>

#include "platform/window/messages.h"
#include "platform/window/wnd.h"

void CSizerMover::Init(CWnd* dialog)
{
    m_pDialog = dialog;
    m_controls.clear();
    if (!dialog || !dialog->GetSafeHwnd()) return;
    CRect client, window;
    dialog->GetClientRect(&client);
    dialog->GetWindowRect(&window);
    m_client = {client.Width(), client.Height()};
    m_window = {window.Width(), window.Height()};
}

BOOL CSizerMover::AddControl(int id, int flags)
{
    if (!m_pDialog || !m_pDialog->GetSafeHwnd()) return FALSE;
    CWnd* control = m_pDialog->GetDlgItem(id);
    if (!control) return FALSE;
    Control c;
    c.id = id;
    c.flags = flags;
    control->GetWindowRect(&c.rect);
    m_pDialog->ScreenToClient(&c.rect);
    m_controls.push_back(c);
    return TRUE;
}

void CSizerMover::OnSize(int cx, int cy)
{
    if (!m_pDialog || !m_pDialog->GetSafeHwnd() || cx <= 0 || cy <= 0) return;
    // A dialog kept at least its first size never moves a control before its first place.
    const int dx = std::max(0, cx - int(m_client.cx)), dy = std::max(0, cy - int(m_client.cy));
    for (const Control& c : m_controls) {
        CWnd* control = m_pDialog->GetDlgItem(c.id);
        if (!control) continue;
        RECT r = c.rect;
        if (c.flags & kMoveRight) r.left += dx, r.right += dx;
        if (c.flags & kMoveDown) r.top += dy, r.bottom += dy;
        if (c.flags & kGrowWidth) r.right += dx;
        if (c.flags & kGrowHeight) r.bottom += dy;
        control->MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

void CSizerMover::OnSizing(UINT edge, RECT* rect)
{
    if (!rect || !m_pDialog) return;
    if (rect->right - rect->left < m_window.cx) {
        if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
            rect->left = rect->right - m_window.cx;
        else
            rect->right = rect->left + m_window.cx;
    }
    if (rect->bottom - rect->top < m_window.cy) {
        if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
            rect->top = rect->bottom - m_window.cy;
        else
            rect->bottom = rect->top + m_window.cy;
    }
}
