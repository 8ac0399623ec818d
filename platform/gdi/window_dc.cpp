#include "platform/gdi/window_dc.h"

#include <QCoreApplication>
#include <QImage>
#include <QRegion>
#include <QThread>

#include "platform/gdi/dc_internal.h"
#include "platform/qt_types_internal.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/wnd.h"

using namespace platform;
using namespace platform::gdi;

namespace {

SpanRegion SpansOf(const QRegion& region)
{
    std::vector<RECT> rects;
    for (const QRect& r : region) rects.push_back(ToRect(r));
    return SpanRegion::FromRects(rects);
}

bool OnUiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// A DC on the window's surface, shared with the window and its other DCs through the
// surface's lock; a DC over the bare picture for surfaces the window does not share.
HDC OpenSurfaceDc(HWND window, QImage* surface, std::optional<SpanRegion> visible)
{
    if (auto shared = FindSharedSurface(window); shared && &shared->image == surface)
        return CreateSharedSurfaceDC(std::move(shared), std::move(visible));
    return CreateSurfaceDC(surface, std::move(visible));
}

HDC OpenPaintDc(HWND window, PaintTarget* target)
{
    if (!target || !target->surface) return nullptr;
    return OpenSurfaceDc(window, target->surface,
                         target->updateRegion ? SpansOf(*target->updateRegion) : SpanRegion());
}

}  // namespace

namespace platform {

void InitDrawing()
{
    // Hooks the window layer calls to hand WM_ERASEBKGND a DC, and to erase with a brush.
    PaintDcHooks hooks;
    hooks.open = [](HWND window, QPainter*) { return OpenPaintDc(window, CurrentPaintTarget(window)); };
    hooks.close = [](HDC dc) { DeleteDC(dc); };
    hooks.fromHandle = [](HDC dc) { return CDC::FromHandle(dc); };
    SetPaintDcHooks(hooks);
    SetBrushColourResolver([](HBRUSH brush) -> std::optional<COLORREF> {
        auto b = FindAs<BrushObj>(brush);
        if (!b || b->style == BS_NULL) return std::nullopt;
        return b->color;
    });
}

}  // namespace platform

HDC BeginPaint(HWND window, PAINTSTRUCT* paint)
{
    if (!paint) return nullptr;
    *paint = PAINTSTRUCT{};
    PaintTarget* target = CurrentPaintTarget(window);
    HDC dc = nullptr;
    if (target) {
        dc = OpenPaintDc(window, target);
        paint->fErase = target->erase ? TRUE : FALSE;
        paint->rcPaint = target->updateRect;
    } else if (QImage* surface = WindowSurface(window)) {
        dc = OpenSurfaceDc(window, surface, SpanRegion());  // nothing to repaint
    } else {
        dc = CreateCompatibleDC(nullptr);
    }
    paint->hdc = dc;
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint)
{
    if (paint && paint->hdc) DeleteDC(paint->hdc);
    return TRUE;
}

HDC GetDC(HWND window)
{
    if (!window) return CreateCompatibleDC(nullptr);
    if (!OnUiThread()) {
        // A worker draws on the surface as it is now; only the user-interface thread sizes it.
        if (HDC dc = CreateSharedSurfaceDC(FindSharedSurface(window), std::nullopt)) return dc;
    } else if (QImage* surface = WindowSurface(window)) {
        if (HDC dc = OpenSurfaceDc(window, surface, std::nullopt)) return dc;
    }
    return CreateCompatibleDC(nullptr);
}

HDC GetWindowDC(HWND window)
{
    // A window whose border the platform draws has a picture of its whole outer part.
    if (window && OnUiThread()) {
        if (QImage* frame = WindowFrameSurface(window))
            if (HDC dc = CreateSurfaceDC(frame, std::nullopt)) return dc;
    }
    return GetDC(window);
}

int ReleaseDC(HWND window, HDC h)
{
    auto dc = FindDc(h);
    if (!dc) return 0;
    const RECT dirty = TakeDirty(*dc);
    if (window && dc->image && dc->image == (OnUiThread() ? WindowFrameSurface(window) : nullptr)) {
        FlushWindowFrame(window);
    } else if (window && dc->image && dirty.left < dirty.right && dirty.top < dirty.bottom) {
        // A worker (a selection's outline) may draw on a window; only the user-interface
        // thread may ask the window to show it.
        if (!OnUiThread())
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [window, dirty] { FlushWindowSurface(window, dirty); },
                Qt::QueuedConnection);
        else
            FlushWindowSurface(window, dirty);
    }
    DeleteDC(h);
    return 1;
}

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr)
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}

CWindowDC::CWindowDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr)
{
    Attach(::GetWindowDC(m_hWnd));
}

CWindowDC::~CWindowDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}
