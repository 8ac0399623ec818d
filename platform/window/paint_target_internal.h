#pragma once

// Where the window side meets the drawing side, inside the platform.
//
// Every window of the generic kind keeps a surface: an image the size of its client area
// that holds what the window shows. Qt's paint event only copies the surface to the screen.
// When part of a window is invalid (Invalidate, a resize, the first show), the paint event
// first sends WM_ERASEBKGND and WM_PAINT with a painter open on the surface, clipped to
// the invalid region; a paint DC draws through CurrentPaintTarget(). Drawing outside
// WM_PAINT (a client DC) paints on WindowSurface() and then calls FlushWindowSurface(),
// which shows the change without sending WM_PAINT, as drawing on a window DC does.
// Windows whose widget paints itself (Qt controls) have no surface.

#include <memory>

#include <QImage>

#include "platform/gdi/surface_internal.h"
#include "platform/geometry.h"
#include "platform/types.h"
#include "platform/window/paint_hook.h"

class QPainter;
class QRegion;

namespace platform {

/// What a window paints on while it handles WM_PAINT or WM_ERASEBKGND.
struct PaintTarget {
    QPainter* painter;            ///< open on the surface, clipped to the update region
    QImage* surface;              ///< the window's surface (client coordinates)
    const QRegion* updateRegion;  ///< what is being repainted, client coordinates
    CRect updateRect;             ///< bounding rectangle of the update region
    bool erase;                   ///< the background still needs erasing (WM_ERASEBKGND returned 0)
};

/// The paint target of hwnd while it handles WM_PAINT / WM_ERASEBKGND; null at any other time.
PLATFORM_API PaintTarget* CurrentPaintTarget(HWND hwnd);

/// The window's surface for drawing outside WM_PAINT; null when the window has none.
PLATFORM_API QImage* WindowSurface(HWND hwnd);

/// The shared surface of hwnd; null when the window has none. Any thread.
PLATFORM_API std::shared_ptr<SharedSurface> FindSharedSurface(HWND hwnd);

/// Shows what was drawn on the surface in `rect` (client coordinates) without a WM_PAINT.
PLATFORM_API void FlushWindowSurface(HWND hwnd, const RECT& rect);

/// The picture of a window's whole outer part, in window coordinates, for windows whose
/// border the platform draws (nonclient.h); null for any other window. What WM_NCPAINT
/// draws through a window DC lands here. User-interface thread only.
PLATFORM_API QImage* WindowFrameSurface(HWND hwnd);
/// Shows what was drawn on the frame picture.
PLATFORM_API void FlushWindowFrame(HWND hwnd);

}  // namespace platform
