#pragma once

// How the window layer hands a device context to WM_ERASEBKGND and to the handlers of
// paint messages. The drawing side registers the hooks once (platform::InitDrawing);
// until then WM_ERASEBKGND carries no DC. The surfaces windows paint on are the
// platform's own (paint_target_internal.h).

#include <optional>

#include "platform/types.h"

class QPainter;
class CDC;
using HBRUSH = struct HBRUSH__*;

namespace platform {

/// How to wrap a window's paint target into a device context, so that WM_ERASEBKGND
/// carries an HDC in wParam and handlers receive a CDC*. Until these are registered,
/// wParam is 0 and handlers get null.
struct PaintDcHooks {
    HDC (*open)(HWND hwnd, QPainter* painter) = nullptr;
    void (*close)(HDC dc) = nullptr;
    CDC* (*fromHandle)(HDC dc) = nullptr;
};
PLATFORM_API void SetPaintDcHooks(const PaintDcHooks& hooks);

/// How to find the colour of a brush handle, so that window classes with a brush of
/// their own erase with it. System-colour brushes (COLOR_xxx + 1) work without it.
PLATFORM_API void SetBrushColourResolver(std::optional<COLORREF> (*resolver)(HBRUSH brush));

/// The CDC object behind a DC handle (through the registered hooks); null without hooks.
PLATFORM_API CDC* DcFromHandle(HDC dc);

}  // namespace platform
