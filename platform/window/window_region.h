#pragma once

// Window shapes and hit testing inside the window layer: the stacking order of top-level
// windows, as the window layer notes it, decides which window a screen point falls on.

#include <QRegion>

#include "platform/gdi/span_region.h"
#include "platform/types.h"

namespace platform {

/// Notes that a top-level window came to the top (shown, raised or activated).
void NoteRaised(HWND hwnd);
/// The region as a Qt region (for the widget's mask).
QRegion ToQRegion(const SpanRegion& region);

}  // namespace platform
