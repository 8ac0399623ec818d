#pragma once

// The non-string resources of the suite's libraries: menus, tool bars and images (bitmaps,
// icons, cursors). Each library lists them in its resource record
// (platform/resources/module_resources.h), in its own id range; lookups walk the chain of
// registered records newest first.

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

/// A picture: the bytes of a PNG or BMP file kept in the library, a Qt resource path
/// (":/viewer/toolbar.png"), or a function that draws it; the first one set is used. The
/// picture is made once per registration. `name` lets it be found by name too (may be null).
struct ImageResource {
    UINT id;
    const char* name;
    const char* path;
    QImage (*draw)();
    std::span<const unsigned char> bytes = {};
};

/// The menu with `id` of the newest record that has one; null when none has.
PLATFORM_API const MenuResource* FindMenuResource(UINT id);
PLATFORM_API const ToolBarResource* FindToolBarResource(UINT id);
/// The picture of a bitmap resource, by id or (for a non-integer name) by name; a null
/// image when there is none or it cannot be read. A module's instance handle limits the
/// search to that module; any other handle (null included) searches the whole chain.
PLATFORM_API QImage LoadBitmapImage(LPCTSTR name);
PLATFORM_API QImage LoadBitmapImage(HINSTANCE instance, LPCTSTR name);
/// The cursor resource `name` (an id) as a cursor handle that lives as long as the process;
/// null when there is none. The handle of a module limits the search as above.
PLATFORM_API HCURSOR LoadCursorResource(HINSTANCE instance, LPCTSTR name);

}  // namespace platform

/// An icon handle made from an icon resource (lives as long as the process).
struct HICON__ {
    QImage image;
};

/// The icon resource lpIconName (an id); a module's instance handle limits the search to
/// that module, any other handle searches the whole chain. The handle lives as long as the
/// process (its picture is a copy); null when there is none.
PLATFORM_API HICON LoadIcon(HINSTANCE hInstance, LPCTSTR lpIconName);

namespace platform {
/// A new icon handle holding a copy of `image` (its alpha is the icon's mask); the caller
/// frees it with DestroyIcon. Null for a null image.
PLATFORM_API HICON CreateIconFromImage(const QImage& image);
}  // namespace platform

/// Frees an icon made by CreateIconFromImage (or CImageList::ExtractIcon). The handles of
/// icon resources live as long as the process: for them, and for unknown handles, FALSE.
PLATFORM_API BOOL DestroyIcon(HICON hIcon);
