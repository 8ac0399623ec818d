#pragma once

// The non-string resources of the suite's libraries: menus, tool bars and images (bitmaps,
// icons, cursors). Each library registers its tables under its module name at start-up, in
// its own id range; lookups walk the chain newest first (platform/resource_chain.h).

#include <span>

#include <QImage>

#include "platform/cstring.h"
#include "platform/types.h"

constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

namespace platform {

/// One item of a menu resource. A menu is a flat list read in order: an item with MF_POPUP
/// opens a popup whose items follow it; the item flagged kMenuEnd closes its level (the
/// popup it belongs to, or the whole menu at the top level).
struct MenuItemData {
    UINT id;           ///< command id; ignored for popups and separators
    const char* text;  ///< "&Open...\tCtrl+O"; null for separators
    UINT flags;        ///< MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED, kMenuEnd
};
/// Marks the last item of a level in a menu resource.
constexpr UINT kMenuEnd = 0x00800000;

struct MenuResource {
    UINT id;
    std::span<const MenuItemData> items;
};

/// A tool bar: its button ids in order (0 = a separator), the size of one image, and the
/// bitmap resource holding the strip of images (one per button, separators skipped).
struct ToolBarResource {
    UINT id;
    int imageWidth;
    int imageHeight;
    std::span<const UINT> buttons;
    UINT bitmapId;
};

/// A picture: a Qt resource path (":/viewer/toolbar.png", a PNG made for the suite) or a
/// function that draws it. `name` lets it be found by name too (may be null).
struct ImageResource {
    UINT id;
    const char* name;
    const char* path;
    QImage (*draw)();
};

PLATFORM_API void RegisterMenus(const char* module, std::span<const MenuResource> menus);
PLATFORM_API void RegisterToolBars(const char* module, std::span<const ToolBarResource> toolBars);
PLATFORM_API void RegisterBitmaps(const char* module, std::span<const ImageResource> bitmaps);
PLATFORM_API void RegisterIcons(const char* module, std::span<const ImageResource> icons);
/// Removes everything the module registered (its library is being unloaded).
PLATFORM_API void UnregisterResources(const char* module);

PLATFORM_API const MenuResource* FindMenuResource(UINT id);
PLATFORM_API const ToolBarResource* FindToolBarResource(UINT id);
/// The picture of a bitmap resource, by id or (for a non-integer name) by name; a null
/// image when there is none or it cannot be read.
PLATFORM_API QImage LoadBitmapImage(LPCTSTR name);
PLATFORM_API QImage LoadIconImage(LPCTSTR name);

}  // namespace platform

/// An icon handle made from an icon resource (lives as long as the process).
struct HICON__ {
    QImage image;
};

/// The icon resource nameOrId of the suite's resource chain (hInstance is not needed: the
/// chain holds every library's icons); null when there is none.
PLATFORM_API HICON LoadIcon(HINSTANCE hInstance, LPCTSTR lpIconName);
