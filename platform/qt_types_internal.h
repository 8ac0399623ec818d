#pragma once

// Conversions between the platform's types and Qt's, in one place (for platform/ only).
// A RECT's right and bottom edges lie outside it; a QRect's right() and bottom() lie inside,
// so the conversions go through width and height.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "platform/types.h"

namespace platform {

inline QRect ToQRect(const RECT& r)
{
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

inline RECT ToRect(const QRect& r)
{
    return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

inline QPoint ToQPoint(const POINT& p)
{
    return QPoint(p.x, p.y);
}

inline POINT ToPoint(const QPoint& p)
{
    return POINT{p.x(), p.y()};
}

inline QColor ToQColor(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

inline COLORREF ToColorRef(const QColor& c)
{
    return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}

}  // namespace platform
