#include "platform/window/wnd.h"

#include <algorithm>
#include <mutex>

#include <QGuiApplication>
#include <QScreen>

#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"
#include "platform/qt_types_internal.h"

namespace platform {

QSize ClientSize(const WindowData& data)
{
    if (data.generic) return data.generic->ClientSize();
    return data.widget ? data.widget->size() : QSize();
}

void ResetSurface(WindowData& data, QSize size)
{
    if (!data.generic) return;
    const std::lock_guard lock(data.generic->SurfaceMutex());  // workers may be drawing on it
    QImage& surface = data.generic->Surface();
    if (surface.size() == size) return;
    surface = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    surface.fill(ToQColor(data.windowClass.background.value_or(GetSysColor(COLOR_WINDOW))));
}

void NoteGeometry(CWnd* wnd)
{
    WindowData* data = DataOf(wnd);
    if (!data || !data->widget || data->destroying) return;
    QWidget* widget = data->widget;
    QWidget* outer = OuterOf(*data);
    const HWND hwnd = wnd->m_hWnd;
    const QSize client = ClientSize(*data);
    const CSize size(client.width(), client.height());
    const UINT type = outer->isMinimized()   ? SIZE_MINIMIZED
                      : outer->isMaximized() ? SIZE_MAXIMIZED
                                             : SIZE_RESTORED;
    // WM_MOVE tells where the client area lies: on the screen for a top-level window.
    const QPoint at =
        data->outer ? outer->geometry().topLeft() + widget->pos() : widget->geometry().topLeft();
    const CPoint pos(at.x(), at.y());
    NoteNormalRect(*data);
    const UINT previousType = data->lastSizeType;
    const bool sized = size != data->lastSize || type != previousType;
    const bool moved = pos != data->lastPos;
    data->lastSize = size;
    data->lastSizeType = type;
    data->lastPos = pos;
    if (sized) {
        ResetSurface(*data, client);
        data->invalid = QRegion(QRect(QPoint(0, 0), client));
        data->erasePending = true;
        widget->update();
        Dispatch(wnd, WM_SIZE, type, MAKELPARAM(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
    }
    if (moved && LookupWindow(hwnd) == wnd)
        Dispatch(wnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(pos.x), static_cast<WORD>(pos.y)));
    // Owned windows go with their owner when it is minimised and come back with it.
    if (sized && LookupWindow(hwnd) == wnd && !(data->style & WS_CHILD)) {
        if (type == SIZE_MINIMIZED && previousType != SIZE_MINIMIZED) {
            const ActiveNote active = NoteActiveWindow();
            HideOwnedWindows(hwnd);
            ActivateNextIfGone(active);
        } else if (type != SIZE_MINIMIZED && previousType == SIZE_MINIMIZED && !outer->isHidden())
            ShowOwnedWindows(hwnd);
    }
}

QWidget* OuterOf(const WindowData& data)
{
    return data.outer ? static_cast<QWidget*>(data.outer.data()) : data.widget.data();
}

QRect ScreenRect()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// Asks a top-level window for its smallest and largest size (WM_GETMINMAXINFO), keeps
// width and height inside them, and lets the widget hold the user's resizing to them too.
// False when the window went away meanwhile.
bool ApplyTrackSizes(CWnd* wnd, int& width, int& height)
{
    const HWND hwnd = wnd->m_hWnd;
    const QRect screen = ScreenRect();
    MINMAXINFO info{{0, 0}, {screen.width(), screen.height()}, {0, 0}, {1, 1}, {32767, 32767}};
    Dispatch(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if (LookupWindow(hwnd) != wnd) return false;
    const int minX = std::max<int>(info.ptMinTrackSize.x, 0), minY = std::max<int>(info.ptMinTrackSize.y, 0);
    const int maxX = std::max<int>(info.ptMaxTrackSize.x, minX),
              maxY = std::max<int>(info.ptMaxTrackSize.y, minY);
    width = std::clamp(width, minX, maxX);
    height = std::clamp(height, minY, maxY);
    if (WindowData* data = DataOf(wnd); data && data->widget) {
        QWidget* widget = OuterOf(*data);
        widget->setMinimumSize(minX, minY);
        widget->setMaximumSize(std::min(maxX, QWIDGETSIZE_MAX), std::min(maxY, QWIDGETSIZE_MAX));
    }
    return true;
}

namespace {

// Moves points between the screen and the window's client coordinates (a rectangle is its
// two corners); without a widget they stay as they are.
void MapClientPoints(const CWnd& wnd, POINT* points, int count, bool toScreen)
{
    QWidget* w = wnd.GetWidget();
    if (!w) return;
    for (int i = 0; i < count; ++i) {
        const QPoint p = platform::ToQPoint(points[i]);
        const QPoint q = toScreen ? w->mapToGlobal(p) : w->mapFromGlobal(p);
        points[i] = platform::ToPoint(q);
    }
}

}  // namespace

}  // namespace platform

using namespace platform;

// --- geometry --------------------------------------------------------------------------------------------
void CWnd::GetWindowRect(LPRECT lpRect) const
{
    if (!IsUiThread()) return RunOnUiThread([&] { GetWindowRect(lpRect); });
    if (this == GetDesktopWindow()) {
        const QRect s = ScreenRect();
        *lpRect = ToRect(s);
        return;
    }
    if (!m_data || !m_data->widget) {
        *lpRect = RECT{0, 0, 0, 0};
        return;
    }
    QWidget* w = OuterOf(*m_data);  // the outer rectangle: client area and non-client strips
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    *lpRect = RECT{origin.x(), origin.y(), origin.x() + w->width(), origin.y() + w->height()};
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    if (!IsUiThread()) return RunOnUiThread([&] { GetClientRect(lpRect); });
    if (this == GetDesktopWindow()) {
        const QRect s = ScreenRect();
        *lpRect = RECT{0, 0, s.width(), s.height()};
        return;
    }
    const QSize client = m_data ? ClientSize(*m_data) : QSize(0, 0);
    *lpRect = RECT{0, 0, client.width(), client.height()};
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    SetWindowPos(nullptr, x, y, nWidth, nHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
               bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    if (!IsUiThread())
        return CallOnUiThread([&] { return SetWindowPos(pWndInsertAfter, x, y, cx, cy, nFlags); });
    if (!m_data || !m_data->widget) return FALSE;
    QWidget* widget = OuterOf(*m_data);
    const HWND hwnd = m_hWnd;
    const bool topLevel = !(m_data->style & WS_CHILD);
    QRect geometry = widget->geometry();
    if (!(nFlags & SWP_NOMOVE)) geometry.moveTo(x, y);
    if (!(nFlags & SWP_NOSIZE)) {
        if (topLevel) {
            if (!ApplyTrackSizes(this, cx, cy)) return FALSE;
        }
        geometry.setSize(QSize(std::max(cx, 0), std::max(cy, 0)));
    }
    if (geometry != widget->geometry()) widget->setGeometry(geometry);
    if (m_data->outer) m_data->outer->Layout();  // a hidden widget hears of its new size only when shown
    NoteGeometry(this);
    if (LookupWindow(hwnd) != this) return FALSE;
    if (!(nFlags & SWP_NOZORDER)) {
        const HWND after = pWndInsertAfter ? pWndInsertAfter->m_hWnd : HWND_TOP;
        if (after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
            const bool topmost = after == HWND_TOPMOST;
            if (topmost)
                m_data->exStyle |= WS_EX_TOPMOST;
            else
                m_data->exStyle &= ~WS_EX_TOPMOST;
            const bool visible = !widget->isHidden();
            widget->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);  // hides the window
            if (visible) widget->show();
            if (topLevel) ZOrderPlace(hwnd, HWND_TOP);
        } else if (topLevel) {
            ZOrderPlace(hwnd, after);
        } else if (after == HWND_TOP) {
            widget->raise();
        } else if (after == HWND_BOTTOM) {
            widget->lower();
        } else if (CWnd* other = LookupWindow(after); other && other->GetWidget()) {
            widget->stackUnder(other->GetWidget());
        }
    }
    if (nFlags & SWP_SHOWWINDOW) ShowWindow((nFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (nFlags & SWP_HIDEWINDOW) ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const
{
    MapClientPoints(*this, lpPoint, 1, false);
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    MapClientPoints(*this, reinterpret_cast<LPPOINT>(lpRect), 2, false);
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const
{
    MapClientPoints(*this, lpPoint, 1, true);
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    MapClientPoints(*this, reinterpret_cast<LPPOINT>(lpRect), 2, true);
}

void CWnd::MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const
{
    for (UINT i = 0; i < nCount; ++i) {
        ClientToScreen(&lpPoint[i]);
        if (pwndTo) pwndTo->ScreenToClient(&lpPoint[i]);
    }
}

void CWnd::MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const
{
    MapWindowPoints(pwndTo, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    if (!m_data) return;
    CRect own;
    GetWindowRect(own);
    CRect area;
    CWnd* around = pAlternateOwner ? pAlternateOwner : GetOwner();
    if (m_data->style & WS_CHILD) {
        GetParent()->GetClientRect(area);
    } else if (around && around->IsWindowVisible() && !around->IsIconic()) {
        around->GetWindowRect(area);
    } else {
        GetDesktopWindow()->GetWindowRect(area);
    }
    SetWindowPos(nullptr, area.left + (area.Width() - own.Width()) / 2,
                 area.top + (area.Height() - own.Height()) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Centred on a small owner near an edge, a dialog would reach off the screen.
    if (m_data && !(m_data->style & WS_CHILD)) platform::KeepOnWorkArea(this);
}
