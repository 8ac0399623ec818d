#include <algorithm>

#include <QRegion>
#include <QWidget>

#include "platform/gdi/dc.h"
#include "platform/gdi/region.h"
#include "platform/last_error.h"
#include "platform/window/nonclient.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"

namespace platform {
namespace {

bool Shows(const WindowData& data)
{
    return data.widget && data.widget->isVisible() && !data.widget->window()->isMinimized() &&
           !data.widget->window()->testAttribute(Qt::WA_DontShowOnScreen);  // kept off the screen
}

/// Whether the screen point is on the window: in its rectangle and in its region.
bool Hits(CWnd* wnd, const WindowData& data, POINT screen)
{
    CRect rect;
    wnd->GetWindowRect(&rect);
    if (!rect.PtInRect(screen)) return false;
    return !data.region || data.region->Contains(screen.x - rect.left, screen.y - rect.top);
}

/// The child windows of hwnd, the one drawn on top first (the widgets' stacking order).
std::vector<HWND> ChildrenTopFirst(HWND hwnd)
{
    std::vector<std::pair<int, HWND>> ranked;
    for (HWND child : ChildWindows(hwnd)) {
        const WindowData* data = DataOf(LookupWindow(child));
        if (!data || !data->widget) continue;
        int rank = -1;
        if (QWidget* parent = data->widget->parentWidget())
            rank = static_cast<int>(parent->children().indexOf(data->widget.data()));
        ranked.emplace_back(rank, child);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<HWND> result;
    for (const auto& entry : ranked) result.push_back(entry.second);
    return result;
}

/// The deepest window under the point inside hwnd (which the point is on).
HWND Descend(HWND hwnd, POINT screen)
{
    for (;;) {
        HWND next = nullptr;
        for (HWND child : ChildrenTopFirst(hwnd)) {
            CWnd* wnd = LookupWindow(child);
            const WindowData* data = DataOf(wnd);
            if (!data || !Shows(*data) || !Hits(wnd, *data, screen)) continue;
            // A disabled child takes no mouse: the point belongs to its parent.
            if (data->style & WS_DISABLED || !data->widget->isEnabled()) return hwnd;
            next = child;
            break;
        }
        if (!next) return hwnd;
        hwnd = next;
    }
}

HWND FindWindowAt(POINT screen)
{
    for (HWND top : TopLevelZOrder()) {
        CWnd* wnd = LookupWindow(top);
        const WindowData* data = DataOf(wnd);
        if (!data || !Shows(*data) || !data->widget->isEnabled()) continue;
        if (Hits(wnd, *data, screen)) return Descend(top, screen);
    }
    return nullptr;
}

QRegion ToQRegion(const SpanRegion& region)
{
    QRegion result;
    for (RegionBand band : region.Bands())
        for (const Span& span : band.spans)
            result += QRect(span.x0, band.top, span.x1 - span.x0, band.bottom - band.top);
    return result;
}

int RegionKind(const SpanRegion& region)
{
    return region.IsEmpty() ? NULLREGION : region.IsRect() ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

}  // namespace platform

using namespace platform;

int CWnd::SetWindowRgn(HRGN hRgn, BOOL bRedraw)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetWindowRgn(hRgn, bRedraw); });
    WindowData* data = DataOf(this);
    if (!data || !data->widget) return 0;
    if (hRgn && GetObjectType(reinterpret_cast<HGDIOBJ>(hRgn)) != OBJ_REGION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (hRgn)
        data->region = GetRgnSpans(hRgn);
    else
        data->region.reset();
    // The shape is in window coordinates: a top-level window's whole widget, frame strips included.
    QWidget* widget = OuterOf(*data);
    if (data->region)
        widget->setMask(ToQRegion(*data->region));
    else
        widget->clearMask();
    if (bRedraw) {
        // What the window no longer covers shows what lies below it again.
        if (QWidget* parent = widget->parentWidget()) parent->update(widget->geometry());
        widget->update();
    }
    return 1;
}

int CWnd::GetWindowRgn(HRGN hRgn) const
{
    const WindowData* data = DataOf(this);
    if (!data || !data->region || !hRgn) return ERROR;
    if (!SetRgnSpans(hRgn, *data->region)) return ERROR;
    return RegionKind(*data->region);
}

CWnd* CWnd::WindowFromPoint(POINT point)
{
    return LookupWindow(::WindowFromPoint(point));
}

HWND WindowFromPoint(POINT Point)
{
    return CallOnUiThread([&] { return FindWindowAt(Point); });
}

int SetWindowRgn(HWND hWnd, HRGN hRgn, BOOL bRedraw)
{
    CWnd* wnd = CWnd::FromHandle(hWnd);
    if (!wnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return wnd->SetWindowRgn(hRgn, bRedraw);
}

int GetWindowRgn(HWND hWnd, HRGN hRgn)
{
    CWnd* wnd = CWnd::FromHandle(hWnd);
    return wnd ? wnd->GetWindowRgn(hRgn) : ERROR;
}
