#pragma once

// The non-string resources of the suite's libraries: menus, tool bars, dialog templates and
// images (bitmaps, icons, cursors). Each library lists them in its resource record
// (platform/resources/module_resources.h), in its own id range; lookups walk the chain of
// registered records newest first.

#include <span>

#include "platform/cstring.h"
#include "platform/types.h"

class QImage;

constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// Styles of dialog templates, and the id of controls nobody looks up.
constexpr DWORD DS_ABSALIGN = 0x01;
constexpr DWORD DS_SYSMODAL = 0x02;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_SETFOREGROUND = 0x200;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;

constexpr int IDC_STATIC = -1;

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

/// A control of a dialog template.
struct DialogControl {
    const char* className;  ///< "Button", "Edit", "Static", "ComboBox", "ListBox", "SysListView32",
                            ///< "SysTreeView32", "SysTabControl32", "msctls_trackbar32",
                            ///< "msctls_updown32", "msctls_progress32"
    const char* text;
    int id;
    short x, y, cx, cy;  ///< dialog units
    DWORD style;         ///< WS_CHILD and WS_VISIBLE are implied unless the style says WS_CHILD only
    DWORD exStyle = 0;
};

/// A dialog as data of the library that owns it: caption, style, font and size in dialog
/// units, and its controls in order: that order is the tab order and the z-order (first
/// control on top of the sibling list).
///
///     constexpr platform::DialogControl kFindControls[] = {
///         {"Static", "Find what:", IDC_STATIC, 7, 9, 40, 8, SS_LEFT},
///         {"Edit", "", 1152, 50, 7, 120, 12, ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER},
///         {"Button", "OK", IDOK, 180, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
///     };
///     constexpr platform::DialogTemplate kTemplates[] = {
///         {220, "Find", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8,
///          0, 0, 236, 60, kFindControls},
///     };
struct DialogTemplate {
    UINT id;
    const char* caption;
    DWORD style;
    DWORD exStyle;
    const char* fontFace;
    int fontSize;        ///< points
    short x, y, cx, cy;  ///< dialog units
    std::span<const DialogControl> controls;
};

/// The menu with `id` of the newest record that has one; null when none has.
PLATFORM_API const MenuResource* FindMenuResource(UINT id);
PLATFORM_API const ToolBarResource* FindToolBarResource(UINT id);
/// The template with `id` (newest registration first); null when none has it.
PLATFORM_API const DialogTemplate* FindDialogTemplate(UINT id);
/// The picture of a bitmap resource, by id or (for a non-integer name) by name; a null
/// image when there is none or it cannot be read. A module's instance handle limits the
/// search to that module; any other handle (null included) searches the whole chain.
PLATFORM_API QImage LoadBitmapImage(LPCTSTR name);
PLATFORM_API QImage LoadBitmapImage(HINSTANCE instance, LPCTSTR name);
/// The cursor resource `name` (an id), made into a handle by make(picture, hot spot) the
/// first time it is asked for and the same handle after that (per registration); null when
/// there is none or its picture cannot be read. The handle of a module limits the search as
/// above. LoadCursor makes cursors this way (window/cursor.h).
PLATFORM_API HCURSOR FindCursorResource(HINSTANCE instance, LPCTSTR name,
                                        HCURSOR (*make)(const QImage& picture, POINT hotSpot));

}  // namespace platform

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
