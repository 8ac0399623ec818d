#include "platform/window/wnd.h"

#include "platform/last_error.h"
#include "platform/qt_types_internal.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"

// --- placement: the normal rectangle of top-level windows -----------------------------------
// The window manager forgets where a maximised window came from once the program moves it
// meanwhile (and headless platforms keep nothing), so the platform keeps the rectangle of the
// normal state itself: NoteGeometry notes it while the window is neither minimised nor
// maximised, SetWindowPlacement may set it in any state, and a restore puts it back.
namespace platform {

void NoteNormalRect(WindowData& data)
{
    QWidget* outer = data.widget ? OuterOf(data) : nullptr;
    if (!outer || (data.style & WS_CHILD) || outer->isMinimized() || outer->isMaximized()) return;
    data.normalRect = outer->geometry();
}

void RestoreNormalRect(WindowData& data, const QRect& normal)
{
    QWidget* outer = data.widget ? OuterOf(data) : nullptr;
    if (!outer || normal.isEmpty() || outer->isMinimized() || outer->isMaximized()) return;
    data.normalRect = normal;
    if (outer->geometry() != normal) outer->setGeometry(normal);
    if (data.outer) data.outer->Layout();
}

}  // namespace platform

using namespace platform;

BOOL CWnd::GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const
{
    if (!IsUiThread()) return CallOnUiThread([&] { return GetWindowPlacement(lpwndpl); });
    WindowData* data = DataOf(this);
    if (!lpwndpl || !data || !data->widget) return FALSE;
    QWidget* outer = OuterOf(*data);
    lpwndpl->flags = 0;
    lpwndpl->showCmd = outer->isMinimized()   ? SW_SHOWMINIMIZED
                       : outer->isMaximized() ? SW_SHOWMAXIMIZED
                                              : SW_SHOWNORMAL;
    lpwndpl->ptMinPosition = POINT{-1, -1};
    lpwndpl->ptMaxPosition = POINT{-1, -1};
    NoteNormalRect(*data);
    const QRect normal =
        data->normalRect.isEmpty() || (data->style & WS_CHILD) ? outer->geometry() : data->normalRect;
    lpwndpl->rcNormalPosition = ToRect(normal);
    return TRUE;
}

BOOL CWnd::SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetWindowPlacement(lpwndpl); });
    WindowData* data = DataOf(this);
    if (!lpwndpl || !data || !data->widget) return FALSE;
    const HWND hwnd = m_hWnd;
    const RECT& r = lpwndpl->rcNormalPosition;
    QWidget* outer = OuterOf(*data);
    if (!(data->style & WS_CHILD))
        data->normalRect = QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    if ((data->style & WS_CHILD) || (!outer->isMinimized() && !outer->isMaximized()))
        SetWindowPos(nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    if (LookupWindow(hwnd) != this) return FALSE;
    switch (lpwndpl->showCmd) {
        case SW_HIDE:
            ShowWindow(SW_HIDE);
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
        case SW_SHOWMAXIMIZED:
        case SW_SHOWNA:
        case SW_SHOW:
        case SW_SHOWNOACTIVATE:
            ShowWindow(static_cast<int>(lpwndpl->showCmd));
            break;
        default:
            ShowWindow(SW_SHOWNORMAL);
            break;
    }
    return LookupWindow(hwnd) == this;
}

BOOL GetWindowPlacement(HWND hWnd, WINDOWPLACEMENT* lpwndpl)
{
    CWnd* wnd = LookupWindow(hWnd);
    if (!wnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return wnd->GetWindowPlacement(lpwndpl);
}

BOOL SetWindowPlacement(HWND hWnd, const WINDOWPLACEMENT* lpwndpl)
{
    CWnd* wnd = LookupWindow(hWnd);
    if (!wnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return wnd->SetWindowPlacement(lpwndpl);
}
