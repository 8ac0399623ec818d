#include "platform/window/wnd.h"

#include <mutex>

#include <QPainter>

#include "platform/gdi/region.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"
#include "platform/qt_types_internal.h"

namespace platform {

namespace {

PaintDcHooks g_paintHooks;

}  // namespace

void PaintPending(CWnd* wnd, bool fromPaintEvent)
{
    WindowData* data = DataOf(wnd);
    if (!data || !data->generic || data->invalid.isEmpty()) return;
    QPointer<WindowWidget> widget = data->generic;
    if (!fromPaintEvent && !widget->isVisible()) return;
    EventDepthScope depth;  // a window destroyed while it paints keeps its widget until later
    const QSize client = ClientSize(*data);
    ResetSurface(*data, client);
    const QRegion region = data->invalid & QRegion(QRect(QPoint(0, 0), client));
    const bool erase = data->erasePending;
    data->invalid = QRegion();
    data->erasePending = false;
    if (region.isEmpty()) return;

    // The painter opens and closes under the surface's lock: workers may be drawing on it.
    const std::shared_ptr<SharedSurface> shared = FindSharedSurface(wnd->m_hWnd);
    std::unique_lock<std::recursive_mutex> lock;
    if (shared) lock = std::unique_lock(shared->mutex);
    QPainter painter(&widget->Surface());
    if (lock) lock.unlock();
    painter.setClipRegion(region);
    const QRect bounds = region.boundingRect();
    PaintTarget target{&painter, &widget->Surface(), &region, CRect(ToRect(bounds)), erase};
    PaintTarget* previous = data->paintTarget;
    data->paintTarget = &target;
    const HWND hwnd = wnd->m_hWnd;
    try {
        if (erase) {
            HDC dc = g_paintHooks.open ? g_paintHooks.open(hwnd, &painter) : nullptr;
            const LRESULT erased = Dispatch(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            if (dc && g_paintHooks.close) g_paintHooks.close(dc);
            target.erase = erased == 0;
        }
        if (LookupWindow(hwnd) == wnd) Dispatch(wnd, WM_PAINT, 0, 0);
    } catch (const std::exception& error) {
        ReportHandlerFailure(error.what());
    }
    if (LookupWindow(hwnd) == wnd) DataOf(wnd)->paintTarget = previous;
    if (shared) lock.lock();
    painter.end();
    if (lock) lock.unlock();
    if (!fromPaintEvent && widget) widget->update(bounds);
}

PaintTarget* CurrentPaintTarget(HWND hwnd)
{
    WindowData* data = DataOf(LookupWindow(hwnd));
    return data ? data->paintTarget : nullptr;
}

QImage* WindowSurface(HWND hwnd)
{
    WindowData* data = DataOf(LookupWindow(hwnd));
    if (!data || !data->generic) return nullptr;
    ResetSurface(*data, ClientSize(*data));
    return &data->generic->Surface();
}

void FlushWindowSurface(HWND hwnd, const RECT& rect)
{
    WindowData* data = DataOf(LookupWindow(hwnd));
    if (data && data->widget) data->widget->update(ToQRect(rect));
}

void SetPaintDcHooks(const PaintDcHooks& hooks)
{
    g_paintHooks = hooks;
}

CDC* DcFromHandle(HDC dc)
{
    return dc && g_paintHooks.fromHandle ? g_paintHooks.fromHandle(dc) : nullptr;
}

}  // namespace platform

using namespace platform;

// --- painting
// ------------------------------------------------------------------------------------------------
void CWnd::Invalidate(BOOL bErase)
{
    InvalidateRect(nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase)
{
    if (!IsUiThread()) return RunOnUiThread([&] { InvalidateRect(lpRect, bErase); });
    if (!m_data || !m_data->widget) return;
    QWidget* w = m_data->widget;
    const QRect client(QPoint(0, 0), ClientSize(*m_data));
    const QRect area = lpRect ? ToQRect(*lpRect) : client;
    m_data->invalid += area & client;
    if (bErase) m_data->erasePending = true;
    w->update(area);
}

void CWnd::InvalidateRgn(CRgn* pRgn, BOOL bErase)
{
    if (!pRgn) return InvalidateRect(nullptr, bErase);
    if (!IsUiThread()) return RunOnUiThread([&] { InvalidateRgn(pRgn, bErase); });
    if (!m_data || !m_data->widget) return;
    QRegion area;
    const SpanRegion spans = GetRgnSpans(static_cast<HRGN>(*pRgn));
    for (RegionBand band : spans.Bands())
        for (const Span& span : band.spans)
            area += QRect(span.x0, band.top, span.x1 - span.x0, band.bottom - band.top);
    area &= QRect(QPoint(0, 0), ClientSize(*m_data));
    m_data->invalid += area;
    if (bErase) m_data->erasePending = true;
    m_data->widget->update(area);
}

void CWnd::ValidateRect(LPCRECT lpRect)
{
    if (!IsUiThread()) return RunOnUiThread([&] { ValidateRect(lpRect); });
    if (!m_data) return;
    if (!lpRect)
        m_data->invalid = QRegion();
    else
        m_data->invalid -= ToQRect(*lpRect);
}

void CWnd::UpdateWindow()
{
    if (!IsUiThread()) return RunOnUiThread([&] { UpdateWindow(); });
    PaintPending(this, false);
}

BOOL CWnd::RedrawWindow(LPCRECT lpRectUpdate, CRgn* prgnUpdate, UINT flags)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return RedrawWindow(lpRectUpdate, prgnUpdate, flags); });
    if (!m_data) return FALSE;
    const LPCRECT area = prgnUpdate ? nullptr : lpRectUpdate;
    if (flags & RDW_INVALIDATE) InvalidateRect(area, (flags & RDW_ERASE) ? TRUE : FALSE);
    if (flags & RDW_VALIDATE) ValidateRect(area);
    if (flags & RDW_ALLCHILDREN) {
        for (HWND child : ChildWindows(m_hWnd))
            if (CWnd* wnd = LookupWindow(child)) wnd->RedrawWindow(nullptr, nullptr, flags);
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow();
    return TRUE;
}

BOOL CWnd::GetUpdateRect(LPRECT lpRect, BOOL)
{
    if (!m_data || m_data->invalid.isEmpty()) {
        if (lpRect) *lpRect = RECT{0, 0, 0, 0};
        return FALSE;
    }
    const QRect r = m_data->invalid.boundingRect();
    if (lpRect) *lpRect = platform::ToRect(r);
    return TRUE;
}
