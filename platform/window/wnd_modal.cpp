#include "platform/window/wnd.h"

#include <QEventLoop>

#include "platform/window/app_hooks.h"
#include "platform/window/modal.h"
#include "platform/window/nonclient.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"

namespace platform {

void AbortModalLoop(WindowData& data)
{
    data.modalEnded = true;
    if (data.modalLoop) data.modalLoop->exit();
    data.modalLoop = nullptr;
}

}  // namespace platform

using namespace platform;

namespace {

/// While a modal loop runs its window lies above every window of the program, those kept on
/// top included (a pinned tool window must not cover the question it asked): when one of
/// them is shown, the modal window is kept on top itself until its loop ends.
class AboveTopmostWindows {
public:
    explicit AboveTopmostWindows(CWnd& modal) : m_hwnd(modal.GetSafeHwnd())
    {
        if ((modal.GetStyle() & WS_CHILD) || (modal.GetExStyle() & WS_EX_TOPMOST)) return;
        for (HWND h : TopLevelZOrder()) {
            const CWnd* other = LookupWindow(h);
            if (h == m_hwnd || !other || !(other->GetExStyle() & WS_EX_TOPMOST) || !other->IsWindowVisible())
                continue;
            m_lifted = true;
            modal.SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return;
        }
    }
    ~AboveTopmostWindows()
    {
        if (CWnd* modal = m_lifted ? LookupWindow(m_hwnd) : nullptr)
            modal->SetWindowPos(&CWnd::wndNoTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    AboveTopmostWindows(const AboveTopmostWindows&) = delete;
    AboveTopmostWindows& operator=(const AboveTopmostWindows&) = delete;

private:
    HWND m_hwnd;
    bool m_lifted = false;
};

}  // namespace

// --- modal use ---------------------------------------------------------------------------------------------
int CWnd::RunModalLoop(DWORD dwFlags)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return RunModalLoop(dwFlags); });
    if (!m_data) return -1;
    if (m_data->modalEnded) {  // ended before the loop started (e.g. while initialising)
        m_data->modalEnded = false;
        return m_nModalResult;
    }
    // Placed as it will be shown: its frame on the work area (also where tests answer it).
    if (!IsWindowVisible()) KeepOnWorkArea(this);
    const AboveTopmostWindows above(*this);
    if (ModalResponder* responder = GetModalResponder()) {
        DialogQuestion question{this, CString(), GetClassName()};
        GetWindowText(question.caption);
        const HWND hwnd = m_hWnd;
        responder->RunModal(*this, question);
        if (LookupWindow(hwnd) != this) return m_nModalResult;
        if (!m_data->modalEnded) m_nModalResult = -1;  // the responder left it open
        m_data->modalEnded = false;
        return m_nModalResult;
    }
    const HWND hwnd = m_hWnd;
    CWnd* owner = GetOwner() ? GetOwner()->GetTopLevelParent() : nullptr;
    const HWND ownerHandle = owner && owner != this && owner->IsWindowEnabled() ? owner->m_hWnd : nullptr;
    if (ownerHandle) owner->EnableWindow(FALSE);
    if (!IsWindowVisible()) ShowWindow(SW_SHOWNORMAL);
    QEventLoop loop;
    if (LookupWindow(hwnd) == this && !m_data->modalEnded) {
        m_data->modalLoop = &loop;
        loop.exec(QEventLoop::DialogExec);
    }
    if (LookupWindow(hwnd) == this) {
        m_data->modalLoop = nullptr;
        m_data->modalEnded = false;
    }
    if (CWnd* ownerAgain = LookupWindow(ownerHandle)) ownerAgain->EnableWindow(TRUE);
    return m_nModalResult;
}

void CWnd::EndModalLoop(int nResult)
{
    if (!IsUiThread()) return RunOnUiThread([&] { EndModalLoop(nResult); });
    m_nModalResult = nResult;
    if (!m_data) return;
    m_data->modalEnded = true;
    if (m_data->modalLoop) m_data->modalLoop->exit();
}

BOOL CWnd::ContinueModal()
{
    return m_data && !m_data->modalEnded;
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType)
{
    const AppHooks& app = GetAppHooks();
    const char* name = app.appName ? app.appName() : nullptr;
    const char* caption = lpszCaption ? lpszCaption : (name ? name : "");
    return ::MessageBox(m_hWnd, lpszText, caption, nType);
}
