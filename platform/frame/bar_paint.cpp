#include "platform/frame/bar_paint.h"

#include <QPainter>

#include "platform/window/paint_hook.h"
#include "platform/window/wnd.h"

namespace platform {

QColor SysColour(int index)
{
    const DWORD c = GetSysColor(index);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
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
