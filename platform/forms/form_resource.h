#pragma once

// Layouts of forms as data: one record per form class, named by the class name in capitals
// (a TKNewDialog's layout is "TKNEWDIALOG"), kept in the library's resource record
// (platform/resources/module_resources.h, `forms`). A form reads its record when it is made:
// it creates the components the records list (by class name, from the classes registered
// with RegisterClasses), puts each on its parent, sets its properties and binds its events
// to the form's handlers by name. A class, parent, property, event or handler the form or
// the class does not know is an EComponentError.
//
//     constexpr TEventBinding kOkEvents[] = {{"OnClick", "OkBtnClick"}};
//     constexpr TControlResource kControls[] = {
//         {.className = "TPanel", .name = "Panel1", .bounds = {0, 300, 487, 41}, .align = alBottom},
//         {.className = "TButton", .name = "OkBtn", .parent = "Panel1", .bounds = {312, 8, 75, 25},
//          .caption = "Ok", .events = kOkEvents, .properties = kModalOk},
//     };
//     constexpr TFormResource kNewDialog{.name = "TKNEWDIALOG", .caption = "KNew Dialog",
//                                        .clientWidth = 487, .clientHeight = 359, .controls = kControls};

#include <initializer_list>
#include <span>

#include "platform/forms/graphics.h"

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;

/// The bounds of a control in its parent's client coordinates.
struct TBoundsResource {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

/// A font; a null name keeps the parent's font.
struct TFontResource {
    const char* name = nullptr;
    int size = 8;  ///< points
    TFontStyles style = 0;
    TColor color = clWindowText;
};

/// An event of a component bound to a handler of the form, by their names.
struct TEventBinding {
    const char* event;
    const char* handler;
};

/// A property of a component by its name, its value as text ("True", "alClient", "clGray",
/// "[akLeft,akTop]", a component's name, a number, a text).
struct TPropertyResource {
    const char* name;
    const char* value;
};

/// One component of a form.
struct TControlResource {
    const char* className;
    const char* name;
    /// The parent control's name (menu items: the menu or item they belong to); null: the form.
    const char* parent = nullptr;
    TBoundsResource bounds = {};
    TAlign align = alNone;
    TAnchors anchors = akLeft | akTop;
    const char* caption = nullptr;
    int tag = 0;
    /// Items of lists, combo boxes and radio groups; lines of memos; columns of grids.
    std::span<const char* const> items = {};
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    /// A tab sheet's place among its page control's pages; a page control's active page;
    /// -1: not set.
    int page = -1;
    TFontResource font = {};
    std::span<const TEventBinding> events = {};
    std::span<const TPropertyResource> properties = {};
};

enum TFormPosition { poDesigned, poScreenCenter };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

/// A form's layout.
struct TFormResource {
    const char* name;
    const char* caption = "";
    int clientWidth = 0;
    int clientHeight = 0;
    TFormPosition position = poDesigned;
    TFormBorderStyle borderStyle = bsSizeable;
    TFontResource font = {};
    TColor color = clBtnFace;
    std::span<const TEventBinding> events = {};
    std::span<const TControlResource> controls = {};
    std::span<const TPropertyResource> properties = {};
};

/// The layout of that name (case ignored) in the resource chain, newest library first;
/// null when none has it.
PLATFORM_API const TFormResource* FindFormResource(const char* name);

/// Makes classes known to layouts by their names (each class's name is its record's name).
PLATFORM_API void RegisterClasses(std::span<const TClass> classes);
/// Forgets them (a library that registered classes does this before it is unloaded).
PLATFORM_API void UnregisterClasses(std::span<const TClass> classes);
/// The registered class of that name (case ignored); null when none is.
PLATFORM_API TClass FindClass(const char* name);
