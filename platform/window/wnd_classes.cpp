#include "platform/window/wnd.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <strings.h>

#include "platform/window/cursor.h"
#include "platform/window/window_internal.h"

namespace platform {

// --- window classes ----------------------------------------------------------------------------
namespace {

std::optional<COLORREF> BrushColour(HBRUSH brush);

struct ClassRegistry {
    std::mutex mutex;
    std::deque<WindowClass> classes;  // deque: names handed out stay where they are
};

ClassRegistry& Classes()
{
    static ClassRegistry* registry = [] {
        auto* r = new ClassRegistry;
        HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
        r->classes.push_back({"AfxWnd", CS_DBLCLKS, arrow, std::nullopt});
        r->classes.push_back(
            {"AfxFrameOrView", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, arrow, GetSysColor(COLOR_WINDOW)});
        r->classes.push_back({"AfxControlBar", 0, arrow, GetSysColor(COLOR_BTNFACE)});
        return r;
    }();
    return *registry;
}

}  // namespace

const WindowClass* FindWindowClass(const char* name)
{
    ClassRegistry& r = Classes();
    std::lock_guard lock(r.mutex);
    for (const WindowClass& c : r.classes)
        if (::strcasecmp(c.name, name) == 0) return &c;
    return nullptr;
}

namespace {

std::optional<COLORREF> (*g_brushResolver)(HBRUSH) = nullptr;

std::optional<COLORREF> BrushColour(HBRUSH brush)
{
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value == 0) return std::nullopt;
    if (value <= 31) return GetSysColor(static_cast<int>(value - 1));  // (HBRUSH)(COLOR_xxx + 1)
    if (g_brushResolver) return g_brushResolver(brush);
    return std::nullopt;
}

}  // namespace

void SetBrushColourResolver(std::optional<COLORREF> (*resolver)(HBRUSH))
{
    g_brushResolver = resolver;
}

}  // namespace platform

using namespace platform;

LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    char name[96];
    std::snprintf(name, sizeof name, "Afx:%x:%p:%p:%p", nClassStyle, static_cast<void*>(hCursor),
                  static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
    ClassRegistry& r = Classes();
    std::lock_guard lock(r.mutex);
    for (const WindowClass& c : r.classes)
        if (c.name == name) return c.name.c_str();
    r.classes.push_back({name, nClassStyle, hCursor, BrushColour(hbrBackground)});
    return r.classes.back().name.c_str();
}

BOOL AfxRegisterClass(LPCTSTR lpszClassName, UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground)
{
    if (!lpszClassName || !*lpszClassName || FindWindowClass(lpszClassName)) return FALSE;
    ClassRegistry& r = Classes();
    std::lock_guard lock(r.mutex);
    r.classes.push_back({lpszClassName, nClassStyle, hCursor, BrushColour(hbrBackground)});
    return TRUE;
}
