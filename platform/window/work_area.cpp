#include "platform/window/work_area.h"

#include <algorithm>
#include <mutex>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "platform/window/window_internal.h"

namespace platform {

namespace {

std::mutex g_lock;
bool g_set = false;    // a test's thickness holds
QMargins g_thickness;  // set, or the largest learned
bool g_learned = false;

bool Headless()
{
    const QString name = QGuiApplication::platformName();
    return name == "offscreen" || name == "minimal" || name.isEmpty();
}

QRect ToQRect(const CRect& r)
{
    return QRect(QPoint(r.left, r.top), QSize(r.Width(), r.Height()));
}

// The window manager's frame as the framed windows show it: where Qt knows a window's
// frame (after the window manager framed it), its size less the window's.
void Learn()
{
    for (HWND hwnd : TopLevelWindows()) {
        const WindowData* data = DataOf(LookupWindow(hwnd));
        if (!data || !data->widget || !HasWindowManagerFrame(data->style)) continue;
        const QWidget* outer = OuterOf(*data);
        if (!outer->isVisible()) continue;
        const QRect inner = outer->geometry(), frame = outer->frameGeometry();
        if (frame == inner) continue;
        const QMargins m(inner.left() - frame.left(), inner.top() - frame.top(),
                         frame.right() - inner.right(), frame.bottom() - inner.bottom());
        g_thickness =
            QMargins(std::max(g_thickness.left(), m.left()), std::max(g_thickness.top(), m.top()),
                     std::max(g_thickness.right(), m.right()), std::max(g_thickness.bottom(), m.bottom()));
        g_learned = true;
    }
}

}  // namespace

bool HasWindowManagerFrame(DWORD style)
{
    // As CreateWidget decides: popups without a whole caption are frameless.
    return !(style & WS_CHILD) && !((style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION);
}

CRect WindowManagerFrame()
{
    std::lock_guard hold(g_lock);
    if (!g_set && !Headless()) Learn();
    QMargins m = g_thickness;
    if (!g_set && !g_learned) m = Headless() ? QMargins() : QMargins(4, 30, 4, 4);
    return CRect(m.left(), m.top(), m.right(), m.bottom());
}

void SetWindowManagerFrame(const CRect& thickness)
{
    std::lock_guard hold(g_lock);
    g_set = !(thickness.left == 0 && thickness.top == 0 && thickness.right == 0 && thickness.bottom == 0);
    g_thickness =
        g_set ? QMargins(thickness.left, thickness.top, thickness.right, thickness.bottom) : QMargins();
    g_learned = false;
}

CRect WorkAreaFor(const CRect& rect)
{
    QScreen* screen = QGuiApplication::screenAt(ToQRect(rect).center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return CRect(area.left(), area.top(), area.left() + area.width(), area.top() + area.height());
}

CRect PlacedOnWorkArea(const CRect& rect, bool resizable)
{
    const CRect m = WindowManagerFrame();
    const CRect area = WorkAreaFor(rect);
    // The room the window rectangle itself has inside the frame.
    const CRect room(area.left + m.left, area.top + m.top, area.right - m.right, area.bottom - m.bottom);
    int width = rect.Width(), height = rect.Height();
    if (resizable) {
        width = std::min(width, std::max(room.Width(), 1));
        height = std::min(height, std::max(room.Height(), 1));
    }
    int left = std::min<int>(rect.left, room.right - width);
    int top = std::min<int>(rect.top, room.bottom - height);
    // The left edge and the caption win when the window is larger than the room.
    left = std::max<int>(left, room.left);
    top = std::max<int>(top, room.top);
    return CRect(left, top, left + width, top + height);
}

void KeepOnWorkArea(CWnd* wnd)
{
    WindowData* data = DataOf(wnd);
    if (!data || !data->widget || !HasWindowManagerFrame(data->style)) return;
    const QWidget* outer = OuterOf(*data);
    if (outer->isMinimized() || outer->isMaximized() || outer->isFullScreen()) return;
    CRect rect;
    wnd->GetWindowRect(rect);
    const CRect placed = PlacedOnWorkArea(rect, (data->style & WS_THICKFRAME) != 0);
    if (placed.left == rect.left && placed.top == rect.top && placed.Width() == rect.Width() &&
        placed.Height() == rect.Height())
        return;
    const bool sameSize = placed.Width() == rect.Width() && placed.Height() == rect.Height();
    wnd->SetWindowPos(nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
                      SWP_NOZORDER | SWP_NOACTIVATE | (sameSize ? SWP_NOSIZE : 0));
}

}  // namespace platform
