#pragma once

// What a cursor handle points to, inside the platform.

#include <QCursor>

#include "platform/window/cursor.h"

class QWidget;

struct HCURSOR__ {
    QCursor cursor;
};

namespace platform {
/// A handle for a cursor of the platform's own; it lives as long as the process.
PLATFORM_API HCURSOR MakeCursor(const QCursor& cursor);
/// Shows a cursor over a widget (a null cursor hides it).
void ApplyCursor(QWidget* widget, HCURSOR cursor);
}  // namespace platform
