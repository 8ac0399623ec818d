#include "platform/frame/bar_paint_internal.h"

#include <QPainter>

#include "platform/qt_types_internal.h"
#include "platform/window/paint_target_internal.h"
#include "platform/window/wnd.h"

namespace platform {

QColor SysColour(int index)
{
    return ToQColor(GetSysColor(index));
}

QPainter* BeginBarPaint(CWnd& bar, CRect& client)
{
    PaintTarget* target = CurrentPaintTarget(bar.m_hWnd);
    if (!target) return nullptr;
    bar.GetClientRect(client);
    target->painter->fillRect(QRect(0, 0, client.Width(), client.Height()), SysColour(COLOR_BTNFACE));
    return target->painter;
}

}  // namespace platform
