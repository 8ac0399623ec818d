#include "platform/window/wnd.h"

#include <algorithm>

#include <QTimer>

#include "platform/window/nonclient.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"

using namespace platform;

// --- relations ---------------------------------------------------------------------------------------
CWnd* CWnd::GetParent() const
{
    if (!m_data) return nullptr;
    return LookupWindow((m_data->style & WS_CHILD) ? m_data->parent : m_data->owner);
}

CWnd* CWnd::SetParent(CWnd* pWndNewParent)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetParent(pWndNewParent); });
    if (!m_data || !m_data->widget) return nullptr;
    CWnd* previous = GetParent();
    if (m_data->style & WS_CHILD) {
        if (!pWndNewParent || !pWndNewParent->GetWidget()) return nullptr;
        const bool visible = !m_data->widget->isHidden();
        const QRect geometry = m_data->widget->geometry();
        m_data->widget->setParent(pWndNewParent->GetWidget());
        m_data->widget->setGeometry(geometry);
        if (visible) m_data->widget->show();
        m_data->parent = pWndNewParent->m_hWnd;
    } else {
        m_data->owner = pWndNewParent ? pWndNewParent->GetTopLevelParent()->m_hWnd : nullptr;
    }
    return previous;
}

CWnd* CWnd::GetOwner() const
{
    if (!m_data) return nullptr;
    if (m_data->owner) return LookupWindow(m_data->owner);
    return GetParent();
}

void CWnd::SetOwner(CWnd* pOwnerWnd)
{
    if (m_data) m_data->owner = pOwnerWnd ? pOwnerWnd->m_hWnd : nullptr;
}

CWnd* CWnd::GetTopLevelParent() const
{
    const CWnd* wnd = this;
    while (wnd->m_data && (wnd->m_data->style & WS_CHILD)) {
        CWnd* parent = LookupWindow(wnd->m_data->parent);
        if (!parent) break;
        wnd = parent;
    }
    return const_cast<CWnd*>(wnd);
}

CWnd* CWnd::GetWindow(UINT nCmd) const
{
    if (!m_data) return nullptr;
    if (nCmd == GW_OWNER) return LookupWindow(m_data->owner);
    if (nCmd == GW_CHILD) {
        const auto children = ChildWindows(m_hWnd);
        return children.empty() ? nullptr : LookupWindow(children.front());
    }
    // Top-level windows in their stacking order, the topmost first.
    const auto siblings = (m_data->style & WS_CHILD) ? ChildWindows(m_data->parent) : TopLevelZOrder();
    const auto it = std::find(siblings.begin(), siblings.end(), m_hWnd);
    switch (nCmd) {
        case GW_HWNDFIRST:
            return siblings.empty() ? nullptr : LookupWindow(siblings.front());
        case GW_HWNDLAST:
            return siblings.empty() ? nullptr : LookupWindow(siblings.back());
        case GW_HWNDNEXT:
            return it == siblings.end() || it + 1 == siblings.end() ? nullptr : LookupWindow(*(it + 1));
        case GW_HWNDPREV:
            return it == siblings.begin() || it == siblings.end() ? nullptr : LookupWindow(*(it - 1));
        default:
            return nullptr;
    }
}

int CWnd::GetDlgCtrlID() const
{
    return m_data ? m_data->id : 0;
}

int CWnd::SetDlgCtrlID(int nID)
{
    if (!m_data) return 0;
    const int previous = m_data->id;
    m_data->id = nID;
    return previous;
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    for (HWND child : ChildWindows(m_hWnd)) {
        CWnd* wnd = LookupWindow(child);
        if (wnd && wnd->GetDlgCtrlID() == nID) return wnd;
    }
    return nullptr;
}

BOOL CWnd::IsChild(const CWnd* pWnd) const
{
    for (const CWnd* wnd = pWnd; wnd && wnd->m_data && (wnd->m_data->style & WS_CHILD);) {
        if (wnd->m_data->parent == m_hWnd) return TRUE;
        wnd = LookupWindow(wnd->m_data->parent);
    }
    return FALSE;
}

namespace {

// The screen as a window: only its rectangle is of use.
class DesktopWnd : public CWnd {
public:
    DesktopWnd() { m_hWnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)); }
};

}  // namespace

CWnd::CWnd(HWND special) : m_hWnd(special) {}

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd* CWnd::GetDesktopWindow()
{
    static DesktopWnd* desktop = new DesktopWnd;
    return desktop;
}
