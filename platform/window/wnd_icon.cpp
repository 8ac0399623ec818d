// The icons of top-level windows: the window manager shows them, WM_QUERYDRAGICON gives one.

#include <QIcon>
#include <QPixmap>
#include <QWidget>

#include "platform/resources/icon_internal.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"

namespace platform {
namespace {

void ApplyIcons(WindowData& data)
{
    if (!data.widget || (data.style & WS_CHILD)) return;
    QIcon icon;
    for (HICON h : {data.icons[ICON_SMALL], data.icons[ICON_BIG]})
        if (h && !h->image.isNull()) icon.addPixmap(QPixmap::fromImage(h->image));
    data.widget->window()->setWindowIcon(icon);
}

}  // namespace

HICON DragIconOf(const CWnd* wnd)
{
    const WindowData* data = DataOf(wnd);
    if (!data) return nullptr;
    return data->icons[ICON_BIG] ? data->icons[ICON_BIG] : data->icons[ICON_SMALL];
}

}  // namespace platform

using namespace platform;

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetIcon(hIcon, bBigIcon); });
    WindowData* data = DataOf(this);
    if (!data) return nullptr;
    HICON& slot = data->icons[bBigIcon ? ICON_BIG : ICON_SMALL];
    HICON previous = slot;
    slot = hIcon;
    ApplyIcons(*data);
    return previous;
}

HICON CWnd::GetIcon(BOOL bBigIcon) const
{
    const WindowData* data = DataOf(this);
    return data ? data->icons[bBigIcon ? ICON_BIG : ICON_SMALL] : nullptr;
}
