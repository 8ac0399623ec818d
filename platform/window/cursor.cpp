#include "platform/window/cursor_internal.h"

#include <deque>
#include <memory>
#include <mutex>

#include <QPixmap>

#include "platform/resources/resources.h"
#include "platform/window/window_internal.h"

namespace {

struct StandardCursor {
    std::uintptr_t id;
    Qt::CursorShape shape;
};
constexpr StandardCursor kStandard[] = {
    {32512, Qt::ArrowCursor},     {32513, Qt::IBeamCursor},     {32514, Qt::WaitCursor},
    {32515, Qt::CrossCursor},     {32516, Qt::UpArrowCursor},   {32642, Qt::SizeFDiagCursor},
    {32643, Qt::SizeBDiagCursor}, {32644, Qt::SizeHorCursor},   {32645, Qt::SizeVerCursor},
    {32646, Qt::SizeAllCursor},   {32648, Qt::ForbiddenCursor}, {32649, Qt::PointingHandCursor},
    {32650, Qt::BusyCursor}};

struct Cursors {
    std::mutex mutex;
    std::deque<HCURSOR__> made;
    HCURSOR__ standard[std::size(kStandard)];
    HCURSOR current = nullptr;
};

Cursors& AllCursors()
{
    static Cursors* cursors = [] {
        auto* c = new Cursors;
        for (std::size_t i = 0; i < std::size(kStandard); ++i)
            c->standard[i].cursor = QCursor(kStandard[i].shape);
        return c;
    }();
    return *cursors;
}

}  // namespace

HCURSOR LoadCursor(HINSTANCE hInstance, LPCTSTR lpCursorName)
{
    if (!hInstance) {
        // A library's cursor never stands in for a system one.
        const auto id = reinterpret_cast<std::uintptr_t>(lpCursorName);
        for (std::size_t i = 0; i < std::size(kStandard); ++i)
            if (kStandard[i].id == id) return &AllCursors().standard[i];
    }
    return platform::LoadCursorResource(hInstance, lpCursorName);
}

HCURSOR platform::LoadCursorResource(HINSTANCE instance, LPCTSTR name)
{
    return FindCursorResource(instance, name, [](const QImage& picture, POINT hot) {
        return MakeCursor(QCursor(QPixmap::fromImage(picture), hot.x, hot.y));
    });
}

HCURSOR SetCursor(HCURSOR hCursor)
{
    Cursors& cursors = AllCursors();
    const HCURSOR previous = cursors.current;
    cursors.current = hCursor;
    HWND target = ::GetCapture() ? ::GetCapture() : platform::CursorWindow();
    if (CWnd* wnd = platform::LookupWindow(target)) platform::ApplyCursor(wnd->GetWidget(), hCursor);
    return previous;
}

HCURSOR GetCursor()
{
    return AllCursors().current;
}

namespace platform {

HCURSOR MakeCursor(const QCursor& cursor)
{
    Cursors& cursors = AllCursors();
    std::lock_guard lock(cursors.mutex);
    cursors.made.push_back(HCURSOR__{cursor});
    return &cursors.made.back();
}

void ApplyCursor(QWidget* widget, HCURSOR cursor)
{
    if (!widget) return;
    if (cursor)
        widget->setCursor(cursor->cursor);
    else
        widget->setCursor(Qt::BlankCursor);  // a null cursor hides it
}

}  // namespace platform
