#include "platform/window/wnd.h"

#include <algorithm>

#include "platform/last_error.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"

using namespace platform;

// --- state
// ---------------------------------------------------------------------------------------------------
DWORD CWnd::GetStyle() const
{
    if (!m_data) return 0;
    DWORD style = m_data->style;
    if (QWidget* w = OuterOf(*m_data)) {
        if (!w->isHidden()) style |= WS_VISIBLE;
        if (w->isMinimized()) style |= WS_MINIMIZE;
        if (w->isMaximized()) style |= WS_MAXIMIZE;
    }
    return style;
}

DWORD CWnd::GetExStyle() const
{
    return m_data ? m_data->exStyle : 0;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return ModifyStyle(dwRemove, dwAdd, nFlags); });
    if (!m_data) return FALSE;
    const DWORD before = GetStyle();
    const DWORD after = (before & ~dwRemove) | dwAdd;
    if (before == after) return FALSE;
    m_data->style = after & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    if ((before ^ after) & WS_DISABLED) OuterOf(*m_data)->setEnabled(!(after & WS_DISABLED));
    if (m_data->outer && ((before ^ after) & (WS_CAPTION | WS_THICKFRAME | WS_POPUP))) {
        // The frame follows the style: a caption the window manager draws, or the platform's
        // sizing border of a captionless popup.
        QWidget* outer = m_data->outer;
        const bool framed = (after & WS_CAPTION) == WS_CAPTION || !(after & WS_POPUP);
        if (outer->windowFlags().testFlag(Qt::FramelessWindowHint) == framed) {
            const bool shown = !outer->isHidden();
            outer->setWindowFlag(Qt::FramelessWindowHint, !framed);  // hides the window
            if (shown) outer->show();
        }
        const int border = HasPopupFrame(after) ? GetSystemMetrics(SM_CXPOPUPFRAME) : 0;
        if (border != m_data->outer->Border()) m_data->outer->SetBorder(border);
        NoteGeometry(this);
        if (!m_data) return TRUE;
    }
    if ((before ^ after) & WS_VISIBLE) ShowWindow((after & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    if (nFlags)
        SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    if (!m_data) return FALSE;
    const DWORD before = m_data->exStyle;
    const DWORD after = (before & ~dwRemove) | dwAdd;
    if (before == after) return FALSE;
    m_data->exStyle = after;
    if (nFlags)
        SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return ShowWindow(nCmdShow); });
    if (!m_data || !m_data->widget) return FALSE;
    QWidget* widget = OuterOf(*m_data);
    const HWND hwnd = m_hWnd;
    const bool wasVisible = !widget->isHidden();
    const bool topLevel = !(m_data->style & WS_CHILD);
    m_data->hiddenWithOwner = false;  // the program decides from now on
    if (nCmdShow == SW_HIDE) {
        if (wasVisible) {
            const ActiveNote active = topLevel ? NoteActiveWindow() : ActiveNote{};
            if (topLevel) ActivateNextBeforeHiding(hwnd);
            Dispatch(this, WM_SHOWWINDOW, FALSE, 0);
            if (LookupWindow(hwnd) == this) widget->hide();
            if (topLevel) HideOwnedWindows(hwnd);
            ActivateNextIfGone(active);
        }
        return wasVisible;
    }
    if (!wasVisible) {
        Dispatch(this, WM_SHOWWINDOW, TRUE, 0);
        if (LookupWindow(hwnd) != this) return FALSE;
        // A window the program placed (or left where it was made) appears with its frame,
        // the window manager's caption included, on the screen.
        const bool restored = nCmdShow != SW_SHOWMINIMIZED && nCmdShow != SW_MINIMIZE &&
                              nCmdShow != SW_SHOWMINNOACTIVE && nCmdShow != SW_SHOWMAXIMIZED;
        if (topLevel && restored) {
            KeepOnWorkArea(this);
            if (LookupWindow(hwnd) != this) return FALSE;
        }
    }
    widget->setAttribute(Qt::WA_ShowWithoutActivating, nCmdShow == SW_SHOWNA ||
                                                           nCmdShow == SW_SHOWNOACTIVATE ||
                                                           nCmdShow == SW_SHOWMINNOACTIVE);
    switch (topLevel ? nCmdShow : SW_SHOW) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            widget->showMinimized();
            break;
        case SW_SHOWMAXIMIZED:
            widget->showMaximized();
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT: {
            // Qt puts back the rectangle it knew, and that notes itself as the normal one:
            // the platform's own comes back after it.
            const QRect normal = m_data->normalRect;
            widget->showNormal();
            if (topLevel && LookupWindow(hwnd) == this) RestoreNormalRect(*m_data, normal);
            break;
        }
        default:
            widget->show();
            break;
    }
    if (LookupWindow(hwnd) != this) return wasVisible;
    if (topLevel) {
        const bool activate = nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE &&
                              nCmdShow != SW_SHOWMINNOACTIVE && nCmdShow != SW_MINIMIZE;
        if (activate || !wasVisible) ZOrderPlace(hwnd, HWND_TOP);
    }
    NoteGeometry(this);
    if (LookupWindow(hwnd) == this && topLevel && !widget->isMinimized()) ShowOwnedWindows(hwnd);
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const
{
    return m_data && m_data->widget && OuterOf(*m_data)->isVisible() && m_data->widget->isVisible();
}

BOOL CWnd::IsWindowEnabled() const
{
    return m_data && !(m_data->style & WS_DISABLED);
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return EnableWindow(bEnable); });
    if (!m_data || !m_data->widget) return FALSE;
    const BOOL wasDisabled = (m_data->style & WS_DISABLED) != 0;
    if (bEnable)
        m_data->style &= ~WS_DISABLED;
    else
        m_data->style |= WS_DISABLED;
    OuterOf(*m_data)->setEnabled(bEnable != FALSE);
    if (wasDisabled == (bEnable != FALSE)) Dispatch(this, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL CWnd::IsIconic() const
{
    return m_data && m_data->widget && OuterOf(*m_data)->isMinimized();
}
BOOL CWnd::IsZoomed() const
{
    return m_data && m_data->widget && OuterOf(*m_data)->isMaximized();
}

void CWnd::SetWindowText(LPCTSTR lpszString)
{
    SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpszString));
}

int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const
{
    if (nMaxCount <= 0) return 0;
    return static_cast<int>(::SendMessage(m_hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                          reinterpret_cast<LPARAM>(lpszStringBuf)));
}

void CWnd::GetWindowText(CString& rString) const
{
    const int length = GetWindowTextLength();
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowText(buffer.data(), length + 1);
    buffer.resize(static_cast<std::size_t>(std::max(copied, 0)));
    rString = CString(std::move(buffer));
}

int CWnd::GetWindowTextLength() const
{
    return static_cast<int>(::SendMessage(m_hWnd, WM_GETTEXTLENGTH, 0, 0));
}

CString CWnd::GetClassName() const
{
    return m_data ? m_data->windowClass.name : CString();
}

void CWnd::ApplyWindowText(const CString& text)
{
    if (m_data && m_data->widget && !(m_data->style & WS_CHILD))
        OuterOf(*m_data)->setWindowTitle(QString::fromUtf8(text.c_str()));
}

CString CWnd::ReadWindowText() const
{
    return m_data ? m_data->text : CString();
}

int GetWindowTextA(HWND hWnd, LPTSTR lpString, int nMaxCount)
{
    if (nMaxCount <= 0) return 0;
    return static_cast<int>(
        SendMessage(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

BOOL SetWindowTextA(HWND hWnd, LPCTSTR lpString)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessage(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0;
}
