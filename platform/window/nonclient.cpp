#include "platform/window/nonclient.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTimer>

#include "platform/qt_types_internal.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"

using namespace platform;

BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD)
{
    if (!lpRect) return FALSE;
    if (bMenu && !(dwStyle & WS_CHILD)) lpRect->top -= GetSystemMetrics(SM_CYMENU);
    if (platform::HasPopupFrame(dwStyle)) {
        const int cx = GetSystemMetrics(SM_CXPOPUPFRAME), cy = GetSystemMetrics(SM_CYPOPUPFRAME);
        lpRect->left -= cx;
        lpRect->right += cx;
        lpRect->top -= cy;
        lpRect->bottom += cy;
    }
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu)
{
    return AdjustWindowRectEx(lpRect, dwStyle, bMenu, 0);
}

namespace platform {
namespace {

struct Dragged {
    CWnd* wnd = nullptr;
    WindowData* data = nullptr;
};

Dragged TopLevel(HWND hwnd)
{
    CWnd* wnd = LookupWindow(hwnd);
    WindowData* data = DataOf(wnd);
    if (!data || !data->widget || (data->style & WS_CHILD) || data->destroying) return {};
    return {wnd, data};
}

UINT SizingEdge(UINT hitCode)
{
    switch (hitCode) {
        case HTLEFT:
            return WMSZ_LEFT;
        case HTRIGHT:
            return WMSZ_RIGHT;
        case HTTOP:
            return WMSZ_TOP;
        case HTTOPLEFT:
            return WMSZ_TOPLEFT;
        case HTTOPRIGHT:
            return WMSZ_TOPRIGHT;
        case HTBOTTOM:
            return WMSZ_BOTTOM;
        case HTBOTTOMLEFT:
            return WMSZ_BOTTOMLEFT;
        default:
            return WMSZ_BOTTOMRIGHT;
    }
}

QRect ScreenRectOf(QWidget* widget)
{
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

// How far along an edge from a corner a press sizes by the corner.
constexpr int kCornerReach = 12;

UINT BorderHit(QPoint p, QSize size, int border)
{
    const bool left = p.x() < border, right = p.x() >= size.width() - border;
    const bool top = p.y() < border, bottom = p.y() >= size.height() - border;
    const bool nearLeft = p.x() < kCornerReach, nearRight = p.x() >= size.width() - kCornerReach;
    const bool nearTop = p.y() < kCornerReach, nearBottom = p.y() >= size.height() - kCornerReach;
    if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
    if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
    if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
    if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    return HTNOWHERE;
}

}  // namespace

bool HasPopupFrame(DWORD style)
{
    return !(style & WS_CHILD) && (style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION &&
           (style & WS_THICKFRAME);
}

QImage* WindowFrameSurface(HWND hwnd)
{
    const WindowData* data = DataOf(LookupWindow(hwnd));
    if (!data || !data->outer || data->outer->Border() <= 0) return nullptr;
    QImage& frame = data->outer->FramePicture();
    if (frame.size() != data->outer->size()) {
        frame = QImage(data->outer->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        frame.fill(Qt::white);
    }
    return &frame;
}

void FlushWindowFrame(HWND hwnd)
{
    const WindowData* data = DataOf(LookupWindow(hwnd));
    if (data && data->outer) data->outer->update();
}

void PaintDefaultFrame(CWnd* wnd)
{
    QImage* frame = WindowFrameSurface(wnd ? wnd->m_hWnd : nullptr);
    if (!frame) return;
    QPainter painter(frame);
    painter.fillRect(frame->rect(), ToQColor(GetSysColor(COLOR_BTNFACE)));
    painter.setPen(ToQColor(GetSysColor(COLOR_WINDOWFRAME)));
    painter.drawRect(frame->rect().adjusted(0, 0, -1, -1));
}

bool SetMenuStrip(HWND hwnd, QWidget* strip)
{
    const WindowData* data = DataOf(LookupWindow(hwnd));
    if (!data || !data->outer) return false;
    data->outer->SetMenuStrip(strip);
    return true;
}

QWidget* OuterWidgetOf(HWND hwnd)
{
    const WindowData* data = DataOf(LookupWindow(hwnd));
    return data ? OuterOf(*data) : nullptr;
}

LRESULT NonClientHitTest(CWnd* wnd, POINT screen)
{
    const WindowData* data = DataOf(wnd);
    if (!data || !data->widget) return HTNOWHERE;
    const QPoint at(screen.x, screen.y);
    if (!ScreenRectOf(OuterOf(*data)).contains(at)) return HTNOWHERE;
    const QPoint inClient = data->widget->mapFromGlobal(at);
    if (QRect(QPoint(0, 0), ClientSize(*data)).contains(inClient)) return HTCLIENT;
    if (data->outer && data->outer->MenuStripGeometry().contains(data->outer->mapFromGlobal(at)))
        return HTMENU;
    if (data->outer && data->outer->Border() > 0 &&
        !data->outer->ClientGeometry().contains(data->outer->mapFromGlobal(at)))
        return BorderHit(data->outer->mapFromGlobal(at), data->outer->size(), data->outer->Border());
    if (data->generic) {
        if (data->generic->ScrollBarRect(SB_VERT).contains(inClient)) return HTVSCROLL;
        if (data->generic->ScrollBarRect(SB_HORZ).contains(inClient)) return HTHSCROLL;
        // The corner between both bars.
        if (data->widget->rect().contains(inClient))
            return (data->style & WS_THICKFRAME) && !(data->style & WS_CHILD) ? HTBOTTOMRIGHT : HTGROWBOX;
    }
    return HTNOWHERE;
}

bool BeginUserDrag(HWND hwnd, UINT hitCode, POINT screenPoint)
{
    const Dragged d = TopLevel(hwnd);
    if (!d.wnd || d.data->dragHit) return false;
    if (hitCode != HTCAPTION && (hitCode < HTLEFT || hitCode > HTBOTTOMRIGHT)) return false;
    d.data->dragHit = hitCode;
    Dispatch(d.wnd, WM_NCLBUTTONDOWN, hitCode,
             MAKELPARAM(static_cast<WORD>(screenPoint.x), static_cast<WORD>(screenPoint.y)));
    if (LookupWindow(hwnd) != d.wnd) return false;
    Dispatch(d.wnd, WM_ENTERSIZEMOVE, 0, 0);
    return LookupWindow(hwnd) == d.wnd;
}

bool UserDragTo(HWND hwnd, const RECT& proposed)
{
    const Dragged d = TopLevel(hwnd);
    if (!d.wnd || !d.data->dragHit) return false;
    const UINT hit = d.data->dragHit;
    RECT rect = proposed;
    if (hit == HTCAPTION) {
        Dispatch(d.wnd, WM_MOVING, 0, reinterpret_cast<LPARAM>(&rect));
        if (LookupWindow(hwnd) != d.wnd) return false;
        return d.wnd->SetWindowPos(nullptr, rect.left, rect.top, 0, 0,
                                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const UINT edge = SizingEdge(hit);
    Dispatch(d.wnd, WM_SIZING, edge, reinterpret_cast<LPARAM>(&rect));
    if (LookupWindow(hwnd) != d.wnd) return false;
    // The smallest and largest sizes hold; the edge the user does not drag stays where it is.
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (!ApplyTrackSizes(d.wnd, width, height)) return false;
    if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT) rect.left = rect.right - width;
    if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT) rect.top = rect.bottom - height;
    return d.wnd->SetWindowPos(nullptr, rect.left, rect.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool EndUserDrag(HWND hwnd)
{
    const Dragged d = TopLevel(hwnd);
    if (!d.wnd || !d.data->dragHit) return false;
    d.data->dragHit = 0;
    if (d.data->dragEnd) d.data->dragEnd->stop();
    Dispatch(d.wnd, WM_CAPTURECHANGED, 0, 0);
    if (LookupWindow(hwnd) != d.wnd) return true;
    Dispatch(d.wnd, WM_EXITSIZEMOVE, 0, 0);
    return true;
}

void NoteWindowManagerDrag(HWND hwnd, bool sized)
{
    const Dragged d = TopLevel(hwnd);
    if (!d.wnd || !d.data->outer) return;
    QWidget* outer = d.data->outer;
    if (outer->isMinimized() || outer->isMaximized() || !outer->isVisible()) return;
    if (!d.data->dragHit) {
        POINT cursor{};
        GetCursorPos(&cursor);
        if (!BeginUserDrag(hwnd, sized ? HTBOTTOMRIGHT : HTCAPTION, cursor)) return;
        if (LookupWindow(hwnd) != d.wnd) return;
    }
    if (sized && d.data->dragHit == HTCAPTION) d.data->dragHit = HTBOTTOMRIGHT;
    const QRect now = outer->geometry();
    UserDragTo(hwnd, ToRect(now));
    WindowData* data = DataOf(LookupWindow(hwnd));
    if (data != d.data) return;
    if (!data->dragEnd) {
        data->dragEnd = std::make_unique<QTimer>();
        data->dragEnd->setSingleShot(true);
        data->dragEnd->setInterval(400);
        QObject::connect(data->dragEnd.get(), &QTimer::timeout, [hwnd] {
            if (QGuiApplication::mouseButtons() & Qt::LeftButton) {
                if (WindowData* again = DataOf(LookupWindow(hwnd)); again && again->dragEnd)
                    again->dragEnd->start();
                return;
            }
            EndUserDrag(hwnd);
        });
    }
    data->dragEnd->start();
}

}  // namespace platform
