#pragma once

// Dialog templates as data of the library that owns them. A template gives the dialog's
// caption, style, font and size in dialog units, and its controls in order: that order is
// the tab order and the z-order (first control on top of the sibling list).
//
//     static const platform::DialogControl kFindControls[] = {
//         {"Static", "Find what:", IDC_STATIC, 7, 9, 40, 8, SS_LEFT},
//         {"Edit", "", 1152, 50, 7, 120, 12, ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER},
//         {"Button", "OK", IDOK, 180, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
//     };
//     static const platform::DialogTemplate kTemplates[] = {
//         {220, "Find", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8,
//          0, 0, 236, 60, kFindControls},
//     };
//
// and lists kTemplates in its resource record (platform/resources/module_resources.h).
//
// Dialog units follow the font: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its height.

#include <span>

#include "platform/geometry.h"
#include "platform/types.h"

class QFont;

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

/// The template with `id` (newest registration first); null when none has it.
PLATFORM_API const DialogTemplate* FindDialogTemplate(UINT id);

/// The font a template asks for (the default dialog font when it names none).
PLATFORM_API QFont DialogFont(const char* face, int pointSize);
/// Average character width and height of the font in pixels (the base units).
PLATFORM_API CSize DialogBaseUnits(const QFont& font);
/// Dialog units to pixels with the given base units.
PLATFORM_API CRect DialogUnitsToPixels(const CRect& units, CSize baseUnits);

}  // namespace platform
