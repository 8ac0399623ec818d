#pragma once

// Where the window side meets the drawing side.
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
#include <mutex>
#include <optional>

#include <QImage>

#include "platform/geometry.h"
#include "platform/types.h"

class QPainter;
class QRegion;
class CDC;
using HBRUSH = struct HBRUSH__*;

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

/// A window's surface together with the lock that every drawing on it takes: the
/// user-interface thread while it resizes, erases or shows the surface, and each drawing
/// call of a DC on it, from whatever thread. The DCs keep it alive, so a window destroyed
/// while a worker still holds one of its DCs leaves that DC drawing on a picture nobody shows.
struct SharedSurface {
    std::recursive_mutex mutex;
    QImage image;
};
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

/// The drawing side registers how to wrap a paint target into a device context, so that
/// WM_ERASEBKGND carries an HDC in wParam and handlers receive a CDC*. Until one is
/// registered, wParam is 0 and handlers get null.
struct PaintDcHooks {
    HDC (*open)(HWND hwnd, QPainter* painter) = nullptr;
    void (*close)(HDC dc) = nullptr;
    CDC* (*fromHandle)(HDC dc) = nullptr;
};
PLATFORM_API void SetPaintDcHooks(const PaintDcHooks& hooks);

/// The drawing side registers how to find the colour of a brush handle, so that window
/// classes with a brush of its own erase with it. System-colour brushes (COLOR_xxx + 1)
/// work without it.
PLATFORM_API void SetBrushColourResolver(std::optional<COLORREF> (*resolver)(HBRUSH brush));

/// The CDC object behind a DC handle (through the registered hooks); null without hooks.
PLATFORM_API CDC* DcFromHandle(HDC dc);

}  // namespace platform
