#pragma once

// The layouts of the 3D viewer, its setup form and the camera picker.

#include "platform/forms/form_resource.h"

namespace kelvora_layouts {

// --- TKViewer3D ----------------------------------------------------------------------------------------
inline constexpr TPropertyResource kViewerCaptionProps[] = {
    {"Buttons", "[fccClose,fccMaximize,fccMinimize,fccHelp,fccScreenPin]"},
    {"HiddenButtons", "[fccMinimize,fccHelp,fccScreenPin]"},
    {"Border", "fcbSizeable"}};
inline constexpr TEventBinding kSave1Events[] = {{"OnClick", "Save1Click"}};
inline constexpr TEventBinding kSetupMenuEvents[] = {{"OnClick", "SetupMenuClick"}};
inline constexpr TPropertyResource kBitmapSaveProps[] = {
    {"Filter", "Bitmap file (*.bmp)|*.bmp"},
    {"Title", "Save As Bitmap"},
    {"Options", "[ofHideReadOnly,ofPathMustExist,ofEnableSizing]"}};
inline constexpr TControlResource kViewerControls[] = {
    {.className = "TPopupMenu", .name = "PopupMenu1"},
    {.className = "TMenuItem",
     .name = "Save1",
     .parent = "PopupMenu1",
     .caption = "Sa&ve as Bitmap...",
     .events = kSave1Events},
    {.className = "TMenuItem",
     .name = "SetupMenu",
     .parent = "PopupMenu1",
     .caption = "&Setup...",
     .events = kSetupMenuEvents},
    {.className = "TSaveDialog", .name = "SaveDialog1", .properties = kBitmapSaveProps},
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 132, 24},
     .align = alTop,
     .caption = " KViewer3D",
     .properties = kViewerCaptionProps},
};
inline constexpr TEventBinding kViewerEvents[] = {{"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"},
                                                  {"OnHide", "FormHide"},     {"OnPaint", "FormPaint"},
                                                  {"OnResize", "FormResize"}, {"OnShow", "FormShow"}};
inline constexpr TPropertyResource kViewerProps[] = {{"PopupMenu", "PopupMenu1"}};

inline constexpr TFormResource kViewerLayout{.name = "TKVIEWER3D",
                                             .caption = "Viewer3D",
                                             .clientWidth = 132,
                                             .clientHeight = 170,
                                             .borderStyle = bsSizeable,
                                             .events = kViewerEvents,
                                             .controls = kViewerControls,
                                             .properties = kViewerProps};

// --- TKViewer3DSetup -----------------------------------------------------------------------------------
inline constexpr TPropertyResource kSetupCaptionProps[] = {
    {"Buttons", "[fccClose,fccMaximize,fccMinimize,fccHelp,fccScreenPin]"},
    {"HiddenButtons", "[fccMaximize,fccMinimize,fccHelp]"},
    {"Border", "fcbDialog"}};
inline constexpr TPropertyResource kFlatPages[] = {{"Style", "tsFlatButtons"}};
inline constexpr TPropertyResource kSizeEditProps[] = {{"MaxLength", "4"}};
inline constexpr TEventBinding kSizeEditEvents[] = {
    {"OnChange", "PropertyChange"}, {"OnKeyPress", "SizeKeyPress"}, {"OnKeyUp", "PropertyKeyUp"}};
inline constexpr TEventBinding kPropertyBoxEvents[] = {{"OnChange", "PropertyChange"},
                                                       {"OnKeyUp", "PropertyKeyUp"}};
inline constexpr TEventBinding kCheckEvents[] = {{"OnClick", "PropertyChange"}, {"OnKeyUp", "PropertyKeyUp"}};
inline constexpr TPropertyResource kDropDownList[] = {{"Style", "csDropDownList"}};
inline constexpr const char* kColorDepths[] = {
    "absence",          "256 colors",         "15 bit (HiColor)",
    "16 bit (HiColor)", "24 bit (TrueColor)", "32 bit (TrueColor)"};
inline constexpr const char* kChannelSources[] = {"disable", "Channel1", "Channel2", "Channel3"};
inline constexpr const char* kColorTypes[] = {"Background", "Start palette", "End palette"};
inline constexpr TEventBinding kApplyEvents[] = {{"OnClick", "ApplyBtnClick"}};
inline constexpr TEventBinding kCancelSetupEvents[] = {{"OnClick", "CancelBtnClick"}};
inline constexpr TEventBinding kCurveEvents[] = {{"OnPaint", "CurvePaint"},
                                                 {"OnMouseDown", "CurveDown"},
                                                 {"OnMouseMove", "CurveMove"},
                                                 {"OnMouseUp", "CurveUp"}};
inline constexpr TPropertyResource kCurveGridProps[] = {
    {"ColCount", "2"},         {"RowCount", "2"},          {"FixedCols", "0"},   {"FixedRows", "1"},
    {"DefaultColWidth", "41"}, {"DefaultRowHeight", "18"}, {"ReadOnly", "True"}, {"Color", "clSilver"}};
inline constexpr TEventBinding kSourceEvents[] = {{"OnChange", "SourceChange"}};
inline constexpr TEventBinding kColorTypeEvents[] = {{"OnChange", "ColorTypeBoxChange"}};
inline constexpr TPropertyResource kTrackProps[] = {
    {"Min", "0"}, {"Max", "1000"}, {"PageSize", "100"}, {"Frequency", "50"}};
inline constexpr TEventBinding kTrackEvents[] = {{"OnChange", "TrackBarChange"}};
inline constexpr TEventBinding kColorEditEvents[] = {{"OnChange", "ColorEditChange"},
                                                     {"OnKeyPress", "SizeKeyPress"}};

#define KELVORA_CURVE_PAGE(Name, Index)                                                   \
    {.className = "TTabSheet",                                                            \
     .name = "TabSheet" Name,                                                             \
     .parent = "PageControl1",                                                            \
     .caption = Name,                                                                     \
     .page = Index},                                                                      \
        {.className = "TPaintBox",                                                        \
         .name = "PaintBox" Name,                                                         \
         .parent = "TabSheet" Name,                                                       \
         .bounds = {4, 4, 212, 212},                                                      \
         .events = kCurveEvents},                                                         \
        {.className = "TStringGrid",                                                      \
         .name = Name "Grid",                                                             \
         .parent = "TabSheet" Name,                                                       \
         .bounds = {222, 4, 104, 180},                                                    \
         .properties = kCurveGridProps},                                                  \
    {                                                                                     \
        .className = "TComboBox", .name = Name "ComboBox", .parent = "TabSheet" Name,     \
        .bounds = {222, 192, 104, 21}, .items = kChannelSources, .events = kSourceEvents, \
        .properties = kDropDownList                                                       \
    }

#define KELVORA_CHANNEL_ROW(N, Top)                                                     \
    {.className = "TLabel",                                                             \
     .name = "Label" N,                                                                 \
     .parent = "ChannelsGroup",                                                         \
     .bounds = {12, Top, 60, 13},                                                       \
     .caption = "Channel " N},                                                          \
        {.className = "TCheckBox",                                                      \
         .name = "Box" N "Enabled",                                                     \
         .parent = "ChannelsGroup",                                                     \
         .bounds = {96, Top, 17, 17},                                                   \
         .events = kCheckEvents},                                                       \
    {                                                                                   \
        .className = "TCheckBox", .name = "Box" N "Visible", .parent = "ChannelsGroup", \
        .bounds = {156, Top, 17, 17}, .events = kCheckEvents                            \
    }

#define KELVORA_COLOR_ROW(Name, Top)                                                     \
    {.className = "TTrackBar",                                                           \
     .name = "TrackBar" Name,                                                            \
     .parent = "ColorsGroup",                                                            \
     .bounds = {8, Top, 240, 30},                                                        \
     .events = kTrackEvents,                                                             \
     .properties = kTrackProps},                                                         \
    {                                                                                    \
        .className = "TEdit", .name = Name "Edit", .parent = "ColorsGroup",              \
        .bounds = {254, Top + 4, 48, 21}, .caption = "1000", .events = kColorEditEvents, \
        .properties = kSizeEditProps                                                     \
    }

inline constexpr TControlResource kSetupControls[] = {
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 340, 24},
     .align = alTop,
     .caption = "KViewer 3D Setup",
     .properties = kSetupCaptionProps},
    {.className = "TPageControl",
     .name = "PageControl1",
     .bounds = {4, 28, 332, 250},
     .page = 0,
     .properties = kFlatPages},
    {.className = "TTabSheet",
     .name = "TabSheetProperty",
     .parent = "PageControl1",
     .caption = "Property",
     .page = 0},
    {.className = "TGroupBox",
     .name = "BitmapGroup",
     .parent = "TabSheetProperty",
     .bounds = {4, 4, 316, 100},
     .caption = " Bitmap Setup "},
    {.className = "TLabel",
     .name = "WidthLabel",
     .parent = "BitmapGroup",
     .bounds = {12, 20, 40, 13},
     .caption = "Width"},
    {.className = "TEdit",
     .name = "WidthEdit",
     .parent = "BitmapGroup",
     .bounds = {60, 16, 56, 21},
     .caption = "0",
     .events = kSizeEditEvents,
     .properties = kSizeEditProps},
    {.className = "TLabel",
     .name = "HeightLabel",
     .parent = "BitmapGroup",
     .bounds = {128, 20, 40, 13},
     .caption = "Height"},
    {.className = "TEdit",
     .name = "HeightEdit",
     .parent = "BitmapGroup",
     .bounds = {176, 16, 56, 21},
     .caption = "0",
     .events = kSizeEditEvents,
     .properties = kSizeEditProps},
    {.className = "TLabel",
     .name = "DepthLabel",
     .parent = "BitmapGroup",
     .bounds = {12, 48, 70, 13},
     .caption = "Color Depth"},
    {.className = "TComboBox",
     .name = "ColorBox",
     .parent = "BitmapGroup",
     .bounds = {96, 44, 136, 21},
     .items = kColorDepths,
     .events = kPropertyBoxEvents,
     .properties = kDropDownList},
    {.className = "TLabel",
     .name = "DisplayTitle",
     .parent = "BitmapGroup",
     .bounds = {12, 76, 90, 13},
     .caption = "Display Settings :"},
    {.className = "TLabel", .name = "DisplayLabel", .parent = "BitmapGroup", .bounds = {106, 76, 200, 13}},
    {.className = "TGroupBox",
     .name = "ChannelsGroup",
     .parent = "TabSheetProperty",
     .bounds = {4, 108, 316, 92},
     .caption = " Channels Setup "},
    {.className = "TLabel",
     .name = "EnableTitle",
     .parent = "ChannelsGroup",
     .bounds = {86, 14, 40, 13},
     .caption = "Enable"},
    {.className = "TLabel",
     .name = "VisibleTitle",
     .parent = "ChannelsGroup",
     .bounds = {146, 14, 40, 13},
     .caption = "Visible"},
    KELVORA_CHANNEL_ROW("1", 30),
    KELVORA_CHANNEL_ROW("2", 50),
    KELVORA_CHANNEL_ROW("3", 70),
    {.className = "TCheckBox",
     .name = "EnabledBox",
     .parent = "TabSheetProperty",
     .bounds = {8, 206, 80, 17},
     .caption = "Enabled",
     .events = kCheckEvents},
    {.className = "TButton",
     .name = "ApplyBtn",
     .parent = "TabSheetProperty",
     .bounds = {160, 202, 75, 25},
     .caption = "Apply",
     .events = kApplyEvents},
    {.className = "TButton",
     .name = "CancelBtn",
     .parent = "TabSheetProperty",
     .bounds = {242, 202, 75, 25},
     .caption = "Cancel",
     .events = kCancelSetupEvents},
    KELVORA_CURVE_PAGE("Red", 1),
    KELVORA_CURVE_PAGE("Green", 2),
    KELVORA_CURVE_PAGE("Blue", 3),
    {.className = "TTabSheet",
     .name = "TabSheetColors",
     .parent = "PageControl1",
     .caption = "Colors",
     .page = 4},
    {.className = "TGroupBox",
     .name = "ColorsGroup",
     .parent = "TabSheetColors",
     .bounds = {4, 4, 316, 180},
     .caption = " RGB Color Components "},
    {.className = "TComboBox",
     .name = "ColorTypeBox",
     .parent = "ColorsGroup",
     .bounds = {12, 20, 140, 21},
     .items = kColorTypes,
     .events = kColorTypeEvents,
     .properties = kDropDownList},
    KELVORA_COLOR_ROW("Red", 52),
    KELVORA_COLOR_ROW("Green", 90),
    KELVORA_COLOR_ROW("Blue", 128),
};

#undef KELVORA_CURVE_PAGE
#undef KELVORA_CHANNEL_ROW
#undef KELVORA_COLOR_ROW

inline constexpr TEventBinding kSetupEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnShow", "FormShow"}};

inline constexpr TFormResource kSetupLayout{.name = "TKVIEWER3DSETUP",
                                            .caption = "KViewer 3D Setup",
                                            .clientWidth = 340,
                                            .clientHeight = 282,
                                            .position = poScreenCenter,
                                            .borderStyle = bsDialog,
                                            .events = kSetupEvents,
                                            .controls = kSetupControls};

// --- TKSelectCameraForm --------------------------------------------------------------------------------
inline constexpr TPropertyResource kCloseOnly[] = {{"Buttons", "[fccClose]"}};
inline constexpr TPropertyResource kPickerPanelProps[] = {{"BevelOuter", "bvNone"}};
inline constexpr TPropertyResource kPickerOkProps[] = {{"ModalResult", "mrOk"}, {"Default", "True"}};
inline constexpr TPropertyResource kPickerCancelProps[] = {{"ModalResult", "mrCancel"}};
inline constexpr TPropertyResource kPickerTreeProps[] = {{"ReadOnly", "True"}, {"HideSelection", "False"}};
inline constexpr TEventBinding kPickerTreeEvents[] = {{"OnDblClick", "TreeView1DblClick"},
                                                      {"OnMouseDown", "TreeView1MouseDown"}};
inline constexpr TControlResource kSelectCameraControls[] = {
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 206, 24},
     .align = alTop,
     .caption = "Select Camera",
     .properties = kCloseOnly},
    {.className = "TPanel",
     .name = "Panel1",
     .bounds = {0, 258, 206, 41},
     .align = alBottom,
     .properties = kPickerPanelProps},
    {.className = "TButton",
     .name = "OkBtn",
     .parent = "Panel1",
     .bounds = {40, 8, 75, 25},
     .caption = "Ok",
     .properties = kPickerOkProps},
    {.className = "TButton",
     .name = "CancelBtn",
     .parent = "Panel1",
     .bounds = {123, 8, 75, 25},
     .caption = "Cancel",
     .properties = kPickerCancelProps},
    {.className = "TTreeView",
     .name = "TreeView1",
     .bounds = {0, 24, 206, 234},
     .align = alClient,
     .events = kPickerTreeEvents,
     .properties = kPickerTreeProps},
};
inline constexpr TEventBinding kPickerFormEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnResize", "FormResize"}};

inline constexpr TFormResource kSelectCameraLayout{.name = "TKSELECTCAMERAFORM",
                                                   .caption = "Select Camera",
                                                   .clientWidth = 206,
                                                   .clientHeight = 299,
                                                   .position = poScreenCenter,
                                                   .borderStyle = bsSizeable,
                                                   .events = kPickerFormEvents,
                                                   .controls = kSelectCameraControls};

}  // namespace kelvora_layouts
