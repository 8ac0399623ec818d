#pragma once

// The layouts of the small modal editors: the camera's two numbers and the diffuse
// reflection law's two rows of three coefficients, with Ok and Cancel below.

#include "platform/forms/form_resource.h"
#include "plugin3d/resources/viewer_layouts.h"

namespace kelvora_layouts {

inline constexpr TEventBinding kNumberEditEvents[] = {{"OnKeyPress", "Edit1KeyPress"}};
inline constexpr TEventBinding kModalEditorEvents[] = {{"OnCreate", "FormCreate"}};

#define KELVORA_LABEL(Name, Left, Top, Width, Text)                                            \
    {                                                                                          \
        .className = "TLabel", .name = Name, .bounds = {Left, Top, Width, 13}, .caption = Text \
    }
#define KELVORA_NUMBER_EDIT(Name, Left, Top)                                                           \
    {                                                                                                  \
        .className = "TEdit", .name = Name, .bounds = {Left, Top, 84, 21}, .events = kNumberEditEvents \
    }
#define KELVORA_OK_CANCEL(Top, OkLeft)                                                   \
    {.className = "TButton",                                                             \
     .name = "Button2",                                                                  \
     .bounds = {OkLeft, Top, 75, 25},                                                    \
     .caption = "Ok",                                                                    \
     .properties = kPickerOkProps},                                                      \
    {                                                                                    \
        .className = "TButton", .name = "Button1", .bounds = {OkLeft + 83, Top, 75, 25}, \
        .caption = "Cancel", .properties = kPickerCancelProps                            \
    }

inline constexpr TControlResource kEyeSystemEditorControls[] = {
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 240, 24},
     .align = alTop,
     .caption = "TEyeSystemProperties",
     .properties = kCloseOnly},
    KELVORA_LABEL("Label1", 12, 40, 100, "Screen Distance"),
    KELVORA_NUMBER_EDIT("Edit1", 144, 36),
    KELVORA_LABEL("Label2", 12, 70, 100, "Depth Scale"),
    KELVORA_NUMBER_EDIT("Edit2", 144, 66),
    KELVORA_OK_CANCEL(104, 70),
};

inline constexpr TControlResource kDiffuseReflectionEditorControls[] = {
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 372, 24},
     .align = alTop,
     .caption = "KSimpleDiffuseReflection",
     .properties = kCloseOnly},
    KELVORA_LABEL("Label3", 96, 34, 84, "Constant"),
    KELVORA_LABEL("Label4", 188, 34, 84, "Linear"),
    KELVORA_LABEL("Label5", 280, 34, 84, "Quadratic"),
    KELVORA_LABEL("Label1", 10, 56, 80, "Atteniuation"),
    KELVORA_NUMBER_EDIT("Edit1", 96, 52),
    KELVORA_NUMBER_EDIT("Edit2", 188, 52),
    KELVORA_NUMBER_EDIT("Edit3", 280, 52),
    KELVORA_LABEL("Label2", 10, 86, 80, "Radiation"),
    KELVORA_NUMBER_EDIT("Edit4", 96, 82),
    KELVORA_NUMBER_EDIT("Edit5", 188, 82),
    KELVORA_NUMBER_EDIT("Edit6", 280, 82),
    KELVORA_OK_CANCEL(120, 198),
};

#undef KELVORA_LABEL
#undef KELVORA_NUMBER_EDIT
#undef KELVORA_OK_CANCEL

inline constexpr TFormResource kEyeSystemEditorLayout{.name = "TKEYESYSTEM3DFORM",
                                                      .caption = "TEyeSystemProperties",
                                                      .clientWidth = 240,
                                                      .clientHeight = 140,
                                                      .position = poScreenCenter,
                                                      .borderStyle = bsSingle,
                                                      .events = kModalEditorEvents,
                                                      .controls = kEyeSystemEditorControls};

inline constexpr TFormResource kDiffuseReflectionEditorLayout{.name = "TKSIMPLEDIFFUSEREFLECTIONFORM",
                                                              .caption = "KSimpleDiffuseReflection",
                                                              .clientWidth = 372,
                                                              .clientHeight = 156,
                                                              .position = poScreenCenter,
                                                              .borderStyle = bsSingle,
                                                              .events = kModalEditorEvents,
                                                              .controls = kDiffuseReflectionEditorControls};

}  // namespace kelvora_layouts
