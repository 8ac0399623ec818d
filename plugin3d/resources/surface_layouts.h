#pragma once

// The layout of the surface editor: three pages (the grid and the value slots; the record
// bar with the current record's drawing settings; attenuation and reflection law) above
// Close, Apply and Reset.

#include "platform/forms/form_resource.h"
#include "plugin3d/resources/viewer_layouts.h"

namespace kelvora_layouts {

inline constexpr TEventBinding kSurfaceFormEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnClose", "FormClose"}};
inline constexpr TEventBinding kSurfaceCountEvents[] = {{"OnChange", "XEditChange"},
                                                        {"OnKeyPress", "XEditKeyPress"}};
inline constexpr TEventBinding kSurfaceRealEvents[] = {{"OnChange", "MaxEditChange"},
                                                       {"OnKeyPress", "MaxEditKeyPress"}};
inline constexpr TEventBinding kSurfaceLayerListEvents[] = {{"OnClick", "LayerListClick"}};
inline constexpr TEventBinding kSurfaceFillEvents[] = {{"OnClick", "FillBoxClick"}};
inline constexpr TEventBinding kSurfaceFileEvents[] = {{"OnClick", "FileBtnClick"}};
inline constexpr TEventBinding kSurfaceLayerEvents[] = {{"OnClick", "LayerBtnClick"}};
inline constexpr TEventBinding kSurfaceBoxEvents[] = {{"OnClick", "EnabledBoxClick"}};
inline constexpr TEventBinding kSurfaceLightEvents[] = {{"OnChange", "LightBoxChange"}};
inline constexpr TEventBinding kSurfaceDrawEvents[] = {{"OnChange", "DrawBoxChange"}};
inline constexpr TEventBinding kSurfaceMemoEvents[] = {{"OnChange", "ReflectionMemoChange"}};
inline constexpr TEventBinding kSurfaceLawNameEvents[] = {{"OnChange", "ReflectionEditChange"}};
inline constexpr TEventBinding kSurfaceChangeEvents[] = {{"OnClick", "ChangeBtnClick"}};
inline constexpr TEventBinding kSurfacePropertiesEvents[] = {{"OnClick", "PropertiesClick"}};
inline constexpr TEventBinding kSurfaceCloseEvents[] = {{"OnClick", "CloseBtnClick"}};
inline constexpr TEventBinding kSurfaceApplyEvents[] = {{"OnClick", "ApplyBtnClick"}};
inline constexpr TEventBinding kSurfaceResetEvents[] = {{"OnClick", "ResetBtnClick"}};
inline constexpr TPropertyResource kSurfaceBarProps[] = {{"BevelPos", "135"}, {"BoxPos", "55"}};
inline constexpr TPropertyResource kSurfaceReadOnly[] = {{"ReadOnly", "True"}};
inline constexpr TPropertyResource kSurfaceFillProps[] = {{"Columns", "2"}};
inline constexpr TPropertyResource kSurfaceMemoProps[] = {{"ScrollBars", "ssVertical"}};
inline constexpr TPropertyResource kSurfacePanelProps[] = {{"BevelOuter", "bvNone"}};
inline constexpr TPropertyResource kSurfaceOpenProps[] = {
    {"Filter", "RDP files|*.rdp|All files|*.*"},
    {"Options", "[ofHideReadOnly,ofPathMustExist,ofFileMustExist,ofEnableSizing]"}};
inline constexpr const char* kSurfaceSlotNames[] = {"X Layer",   "Y Layer",     "Z Layer",
                                                    "Red Layer", "Green Layer", "Blue Layer"};
inline constexpr const char* kSurfaceFillTypes[] = {"Linear", "From file"};
inline constexpr const char* kSurfaceLightings[] = {"No light", "Scene light"};
inline constexpr const char* kSurfaceDrawModes[] = {"Points", "Lines", "Triangles"};

#define KELVORA_SURFACE_LABEL(Name, Parent, Left, Top, Width, Text)                              \
    {                                                                                            \
        .className = "TLabel", .name = Name, .parent = Parent, .bounds = {Left, Top, Width, 13}, \
        .caption = Text                                                                          \
    }
#define KELVORA_SURFACE_EDIT(Name, Parent, Left, Top, Width, Events)                            \
    {                                                                                           \
        .className = "TEdit", .name = Name, .parent = Parent, .bounds = {Left, Top, Width, 21}, \
        .events = Events                                                                        \
    }
#define KELVORA_SURFACE_BUTTON(Name, Parent, Left, Top, Width, Text, Events)                      \
    {                                                                                             \
        .className = "TButton", .name = Name, .parent = Parent, .bounds = {Left, Top, Width, 25}, \
        .caption = Text, .events = Events                                                         \
    }
#define KELVORA_SURFACE_CHECK(Name, Top, Text)                                                         \
    {                                                                                                  \
        .className = "TCheckBox", .name = Name, .parent = "DrawingTab", .bounds = {256, Top, 130, 17}, \
        .caption = Text, .events = kSurfaceBoxEvents                                                   \
    }

inline constexpr TControlResource kSurfaceEditorControls[] = {
    {.className = "TOpenDialog", .name = "OpenDialog1", .properties = kSurfaceOpenProps},
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 420, 24},
     .align = alTop,
     .caption = "KSurface 3D Properties",
     .properties = kCloseOnly},
    {.className = "TPanel",
     .name = "Panel1",
     .bounds = {0, 300, 420, 40},
     .align = alBottom,
     .properties = kSurfacePanelProps},
    KELVORA_SURFACE_BUTTON("CloseBtn", "Panel1", 172, 8, 76, "Close", kSurfaceCloseEvents),
    KELVORA_SURFACE_BUTTON("ApplyBtn", "Panel1", 254, 8, 76, "Apply", kSurfaceApplyEvents),
    KELVORA_SURFACE_BUTTON("ResetBtn", "Panel1", 336, 8, 76, "Reset", kSurfaceResetEvents),
    {.className = "TPageControl", .name = "PageControl1", .bounds = {4, 28, 412, 270}, .page = 0},

    // General: the grid, then the slot chosen at the left.
    {.className = "TTabSheet",
     .name = "GeneralTab",
     .parent = "PageControl1",
     .caption = "General",
     .page = 0},
    {.className = "TGroupBox",
     .name = "DimentonBox",
     .parent = "GeneralTab",
     .bounds = {4, 4, 396, 48},
     .caption = " Dimention "},
    KELVORA_SURFACE_LABEL("XLabel", "DimentonBox", 12, 21, 84, "X Vortex Count"),
    KELVORA_SURFACE_EDIT("XEdit", "DimentonBox", 100, 17, 70, kSurfaceCountEvents),
    KELVORA_SURFACE_LABEL("YLabel", "DimentonBox", 206, 21, 84, "Y Vortex Count"),
    KELVORA_SURFACE_EDIT("YEdit", "DimentonBox", 294, 17, 70, kSurfaceCountEvents),
    {.className = "TListBox",
     .name = "LayerList",
     .parent = "GeneralTab",
     .bounds = {4, 58, 108, 180},
     .items = kSurfaceSlotNames,
     .events = kSurfaceLayerListEvents},
    {.className = "TRadioGroup",
     .name = "FillBox",
     .parent = "GeneralTab",
     .bounds = {118, 56, 282, 42},
     .caption = " Fill Type ",
     .items = kSurfaceFillTypes,
     .events = kSurfaceFillEvents,
     .properties = kSurfaceFillProps},
    KELVORA_SURFACE_LABEL("MaxLabel", "GeneralTab", 124, 112, 32, "Max"),
    KELVORA_SURFACE_EDIT("MaxEdit", "GeneralTab", 160, 108, 90, kSurfaceRealEvents),
    KELVORA_SURFACE_LABEL("MinLabel", "GeneralTab", 266, 112, 28, "Min"),
    KELVORA_SURFACE_EDIT("MinEdit", "GeneralTab", 298, 108, 90, kSurfaceRealEvents),
    KELVORA_SURFACE_LABEL("FileLabel", "GeneralTab", 124, 148, 32, "File"),
    {.className = "TEdit",
     .name = "FileText",
     .parent = "GeneralTab",
     .bounds = {160, 144, 202, 21},
     .properties = kSurfaceReadOnly},
    KELVORA_SURFACE_BUTTON("FileBtn", "GeneralTab", 366, 142, 26, "...", kSurfaceFileEvents),
    KELVORA_SURFACE_LABEL("LayerLabel", "GeneralTab", 124, 180, 32, "Layer"),
    {.className = "TEdit",
     .name = "LayerText",
     .parent = "GeneralTab",
     .bounds = {160, 176, 202, 21},
     .properties = kSurfaceReadOnly},
    KELVORA_SURFACE_BUTTON("LayerBtn", "GeneralTab", 366, 174, 26, "...", kSurfaceLayerEvents),

    // Drawing: the record bar and the current record's settings.
    {.className = "TTabSheet",
     .name = "DrawingTab",
     .parent = "PageControl1",
     .caption = "Drawing",
     .page = 1},
    {.className = "TKDepositoryComponent",
     .name = "KDepositoryComponent1",
     .parent = "DrawingTab",
     .bounds = {4, 4, 244, 232},
     .properties = kSurfaceBarProps},
    KELVORA_SURFACE_CHECK("EnabledBox", 8, "Enabled"),
    KELVORA_SURFACE_CHECK("VisibleBox", 30, "Visible"),
    KELVORA_SURFACE_CHECK("SmoothBox", 52, "Smooth"),
    KELVORA_SURFACE_LABEL("LightLabel", "DrawingTab", 256, 84, 80, "Lighting"),
    {.className = "TComboBox",
     .name = "LightBox",
     .parent = "DrawingTab",
     .bounds = {256, 100, 140, 21},
     .items = kSurfaceLightings,
     .events = kSurfaceLightEvents,
     .properties = kDropDownList},
    KELVORA_SURFACE_LABEL("DrawLabel", "DrawingTab", 256, 130, 80, "Drawing"),
    {.className = "TComboBox",
     .name = "DrawBox",
     .parent = "DrawingTab",
     .bounds = {256, 146, 140, 21},
     .items = kSurfaceDrawModes,
     .events = kSurfaceDrawEvents,
     .properties = kDropDownList},
    KELVORA_SURFACE_LABEL("StepLabel", "DrawingTab", 256, 182, 40, "Step"),
    KELVORA_SURFACE_EDIT("StepEdit", "DrawingTab", 300, 178, 70, kSurfaceCountEvents),

    // Additional: attenuation and the reflection law.
    {.className = "TTabSheet",
     .name = "AdditionalTab",
     .parent = "PageControl1",
     .caption = "Additional",
     .page = 2},
    {.className = "TGroupBox",
     .name = "AttenuationBox",
     .parent = "AdditionalTab",
     .bounds = {4, 4, 396, 68},
     .caption = " Attenuation "},
    KELVORA_SURFACE_LABEL("ALabel1", "AttenuationBox", 12, 18, 110, "Constant"),
    KELVORA_SURFACE_EDIT("AEdit1", "AttenuationBox", 12, 34, 114, kSurfaceRealEvents),
    KELVORA_SURFACE_LABEL("ALabel2", "AttenuationBox", 140, 18, 110, "Linear"),
    KELVORA_SURFACE_EDIT("AEdit2", "AttenuationBox", 140, 34, 114, kSurfaceRealEvents),
    KELVORA_SURFACE_LABEL("ALabel3", "AttenuationBox", 268, 18, 110, "Quadratic"),
    KELVORA_SURFACE_EDIT("AEdit3", "AttenuationBox", 268, 34, 114, kSurfaceRealEvents),
    {.className = "TGroupBox",
     .name = "ReflectionBox",
     .parent = "AdditionalTab",
     .bounds = {4, 78, 396, 158},
     .caption = "Reflection"},
    KELVORA_SURFACE_EDIT("ReflectionEdit", "ReflectionBox", 12, 20, 206, kSurfaceLawNameEvents),
    KELVORA_SURFACE_BUTTON("ChangeBtn", "ReflectionBox", 226, 18, 76, "Change", kSurfaceChangeEvents),
    KELVORA_SURFACE_BUTTON("Properties", "ReflectionBox", 308, 18, 76, "Properties",
                           kSurfacePropertiesEvents),
    {.className = "TMemo",
     .name = "ReflectionMemo",
     .parent = "ReflectionBox",
     .bounds = {12, 50, 372, 98},
     .events = kSurfaceMemoEvents,
     .properties = kSurfaceMemoProps},
};

#undef KELVORA_SURFACE_LABEL
#undef KELVORA_SURFACE_EDIT
#undef KELVORA_SURFACE_BUTTON
#undef KELVORA_SURFACE_CHECK

inline constexpr TFormResource kSurfaceEditorLayout{.name = "TKSURFACE3DFORM",
                                                    .caption = "KSurface 3D Properties",
                                                    .clientWidth = 420,
                                                    .clientHeight = 340,
                                                    .borderStyle = bsSingle,
                                                    .events = kSurfaceFormEvents,
                                                    .controls = kSurfaceEditorControls};

}  // namespace kelvora_layouts
