#pragma once

// What the control bars share when they paint themselves.

#include <QColor>

class CRect;
class CWnd;
class QPainter;

namespace platform {

/// A system colour (GetSysColor) as Qt wants it.
QColor SysColour(int index);

/// Starts a bar's WM_PAINT: returns the painter with the bar's client area (put in
/// `client`) filled in the button face, or null when the bar is not being painted.
QPainter* BeginBarPaint(CWnd& bar, CRect& client);

}  // namespace platform
