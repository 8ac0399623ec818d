#pragma once

// Device contexts of windows: the paint DC of WM_PAINT (drawing only inside the part
// being repainted), client DCs for drawing at any other time (shown when released), and
// the framework's CPaintDC, CClientDC and CWindowDC. They draw on the window's surface,
// the picture of its client area that the window layer keeps and shows.

#include "platform/gdi/dc.h"

class CWnd;

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

/// Inside WM_PAINT: a DC clipped to the part being repainted, with that part's box and
/// whether the background still needs erasing. Outside WM_PAINT the DC draws nothing.
PLATFORM_API HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
PLATFORM_API BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
/// A DC on the window's client area (null window: a DC that only measures and selects);
/// what it draws is shown when it is released. Any thread: each drawing call takes the
/// window surface's lock, as the window's own painting does, so a worker may draw (a
/// selection's outline, a rubber band) while the user-interface thread paints or resizes.
/// A worker's DC draws on the surface as it is when each call runs (only the user-interface
/// thread sizes it); a window destroyed meanwhile leaves the DC drawing on a picture nobody shows.
PLATFORM_API HDC GetDC(HWND window);
/// The same as GetDC: windows have no separate frame picture here.
PLATFORM_API HDC GetWindowDC(HWND window);
PLATFORM_API int ReleaseDC(HWND window, HDC dc);

class PLATFORM_API CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;
    HWND m_hWnd = nullptr;
    PAINTSTRUCT m_ps{};
};

class PLATFORM_API CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window);
    ~CClientDC() override;
    HWND m_hWnd = nullptr;
};

class PLATFORM_API CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* window);
    ~CWindowDC() override;
    HWND m_hWnd = nullptr;
};

namespace platform {
/// Joins drawing to the window layer: WM_ERASEBKGND then carries a DC, paint handlers get
/// a CDC, and window classes erase with their own brushes. A program calls it once at its
/// start, before its first window (AfxWinMain does); a second call changes nothing.
PLATFORM_API void InitDrawing();
}  // namespace platform
