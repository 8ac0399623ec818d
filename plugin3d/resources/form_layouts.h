#pragma once

// The layouts of the plug-in's forms, one per form class, named by the class name in capitals
// (platform/forms/form_resource.h). Handler names are the forms' own.

#include "platform/forms/form_resource.h"
#include "plugin3d/resources/admin_layouts.h"
#include "plugin3d/resources/editor_layouts.h"
#include "plugin3d/resources/finder_layouts.h"
#include "plugin3d/resources/navigator_layout.h"
#include "plugin3d/resources/light_layouts.h"
#include "plugin3d/resources/surface_layouts.h"
#include "plugin3d/resources/viewer_layouts.h"

namespace kelvora_layouts {

// --- TKNewDialog -----------------------------------------------------------------------------------------
inline constexpr TPropertyResource kNewCaptionProps[] = {{"Buttons", "[fccClose]"}};
inline constexpr TPropertyResource kNewPanelProps[] = {{"BevelOuter", "bvNone"}};
inline constexpr TEventBinding kNewPanelEvents[] = {{"OnResize", "Panel1Resize"}};
inline constexpr TPropertyResource kOkProps[] = {{"ModalResult", "mrOk"}, {"Default", "True"}};
inline constexpr TPropertyResource kCancelProps[] = {{"ModalResult", "mrCancel"}};
inline constexpr TPropertyResource kNewTreeProps[] = {
    {"ShowButtons", "False"}, {"ShowRoot", "False"}, {"ReadOnly", "True"}, {"HideSelection", "False"}};
inline constexpr TEventBinding kNewTreeEvents[] = {{"OnChange", "TreeView1Change"}};
inline constexpr TPropertyResource kNewListProps[] = {
    {"ViewStyle", "vsIcon"}, {"ReadOnly", "True"}, {"AutoArrange", "True"}};
inline constexpr TEventBinding kNewListEvents[] = {{"OnChange", "ListView1Change"},
                                                   {"OnDblClick", "ListView1DblClick"}};
inline constexpr TPropertyResource kGlyphListProps[] = {{"Width", "64"}, {"Height", "64"}};
inline constexpr TControlResource kNewDialogControls[] = {
    {.className = "TImageList", .name = "ImageList1", .properties = kGlyphListProps},
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 487, 24},
     .align = alTop,
     .caption = "KNew Dialog",
     .properties = kNewCaptionProps},
    {.className = "TPanel",
     .name = "Panel1",
     .bounds = {0, 318, 487, 41},
     .align = alBottom,
     .events = kNewPanelEvents,
     .properties = kNewPanelProps},
    {.className = "TButton",
     .name = "OkBtn",
     .parent = "Panel1",
     .bounds = {321, 8, 75, 25},
     .caption = "Ok",
     .properties = kOkProps},
    {.className = "TButton",
     .name = "CancelBtn",
     .parent = "Panel1",
     .bounds = {402, 8, 75, 25},
     .caption = "Cancel",
     .properties = kCancelProps},
    {.className = "TTreeView",
     .name = "TreeView1",
     .bounds = {0, 24, 157, 294},
     .align = alLeft,
     .events = kNewTreeEvents,
     .properties = kNewTreeProps},
    {.className = "TSplitter", .name = "Splitter1", .bounds = {157, 24, 3, 294}, .align = alLeft},
    {.className = "TListView",
     .name = "ListView1",
     .bounds = {160, 24, 327, 294},
     .align = alClient,
     .events = kNewListEvents,
     .properties = kNewListProps},
};
inline constexpr TEventBinding kNewDialogEvents[] = {{"OnCreate", "FormCreate"}};

// --- TKThreadForm ----------------------------------------------------------------------------------------
inline constexpr TPropertyResource kCentered[] = {{"Alignment", "taCenter"}};
inline constexpr TPropertyResource kProgressBevel[] = {{"Shape", "bsBox"}, {"Style", "bsLowered"}};
inline constexpr TEventBinding kBreakEvents[] = {{"OnClick", "BreakBtnClick"}};
inline constexpr TControlResource kThreadFormControls[] = {
    {.className = "TStaticText", .name = "NameText", .bounds = {8, 10, 388, 20}, .properties = kCentered},
    {.className = "TStaticText", .name = "TaskText", .bounds = {8, 42, 464, 20}, .properties = kCentered},
    {.className = "TBevel", .name = "Bevel1", .bounds = {6, 70, 469, 21}, .properties = kProgressBevel},
    {.className = "TSpeedButtonEx",
     .name = "BreakBtn",
     .bounds = {402, 6, 72, 26},
     .caption = "Break",
     .events = kBreakEvents},
};
inline constexpr TEventBinding kThreadFormEvents[] = {{"OnCreate", "FormCreate"},
                                                      {"OnDestroy", "FormDestroy"},
                                                      {"OnClose", "FormClose"},
                                                      {"OnPaint", "FormPaint"}};

inline constexpr TFormResource kFormLayouts[] = {
    {.name = "TKNEWDIALOG",
     .caption = "KNew Dialog",
     .clientWidth = 487,
     .clientHeight = 359,
     .position = poScreenCenter,
     .borderStyle = bsSizeable,
     .events = kNewDialogEvents,
     .controls = kNewDialogControls},
    {.name = "TKTHREADFORM",
     .caption = "Progress",
     .clientWidth = 480,
     .clientHeight = 99,
     .position = poScreenCenter,
     .borderStyle = bsNone,
     .events = kThreadFormEvents,
     .controls = kThreadFormControls},
    kDllMainLayout,
    kAdministratorLayout,
    kViewerLayout,
    kSetupLayout,
    kSelectCameraLayout,
    kObjectFinderLayout,
    kReflectionFinderLayout,
    kLayerFinderLayout,
    kDrawingFinderLayout,
    kNavigatorLayout,
    kEyeSystemEditorLayout,
    kDiffuseReflectionEditorLayout,
    kPointLightEditorLayout,
    kAmbientLightEditorLayout,
    kSurfaceEditorLayout,
};

}  // namespace kelvora_layouts
