#pragma once

// The layout of the navigator (TKNAVIGATOR3D): the dial view on the left with the step bar
// under it, the pickers and the seven number boxes with their step buttons in the middle,
// the switches in a column beside them, and the information memo that More shows at the
// right.

#include "platform/forms/form_resource.h"
#include "plugin3d/resources/navigator_models.h"

namespace kelvora_layouts {

inline constexpr TPropertyResource kNavCaptionProps[] = {{"Buttons", "[fccClose,fccMinimize,fccScreenPin]"}};
inline constexpr TEventBinding kNavEditEvents[] = {{"OnChange", "EditXChange"},
                                                   {"OnKeyPress", "EditXKeyPress"}};
inline constexpr TEventBinding kNavStepEvents[] = {{"OnMouseDown", "SpeedButton1MouseDown"},
                                                   {"OnMouseUp", "SpeedButton1MouseUp"}};
inline constexpr TEventBinding kNavAxisEvents[] = {{"OnClick", "ButtonAClick"}};
inline constexpr TPropertyResource kNavAxisProps[] = {{"GroupIndex", "1"}};
inline constexpr TPropertyResource kNavAxisDownProps[] = {{"GroupIndex", "1"}, {"Down", "True"}};
inline constexpr TEventBinding kNavDistanceEvents[] = {{"OnClick", "MinusBtnClick"}};
inline constexpr TPropertyResource kNavIncProps[] = {{"Min", "0"}, {"Max", "6"}, {"Position", "0"}};
inline constexpr TEventBinding kNavIncEvents[] = {{"OnChange", "IncBarChange"}};
inline constexpr TPropertyResource kNavToggle2[] = {{"GroupIndex", "2"}, {"AllowAllUp", "True"}};
inline constexpr TPropertyResource kNavToggle3[] = {{"GroupIndex", "3"}, {"AllowAllUp", "True"}};
inline constexpr TPropertyResource kNavToggle4[] = {{"GroupIndex", "4"}, {"AllowAllUp", "True"}};
inline constexpr TPropertyResource kNavToggle5[] = {{"GroupIndex", "5"}, {"AllowAllUp", "True"}};
inline constexpr TEventBinding kNavMsEvents[] = {{"OnClick", "MS_BtnClick"}};
inline constexpr TEventBinding kNavFixerEvents[] = {{"OnClick", "FixerBtnClick"}};
inline constexpr TEventBinding kNavInverseEvents[] = {{"OnClick", "InverseBtnClick"}};
inline constexpr TEventBinding kNavApplyEvents[] = {{"OnClick", "ApplyBtnClick"}};
inline constexpr TEventBinding kNavResetEvents[] = {{"OnClick", "ResetBtnClick"}};
inline constexpr TEventBinding kNavMoreEvents[] = {{"OnClick", "MoreBtnClick"}};
inline constexpr TEventBinding kNavMasterEvents[] = {{"OnClick", "MasterBtnClick"}};
inline constexpr TEventBinding kNavSlaveEvents[] = {{"OnClick", "SlaveBtnClick"}};
inline constexpr TPropertyResource kNavMemoProps[] = {
    {"ReadOnly", "True"}, {"ScrollBars", "ssNone"}, {"WordWrap", "False"}};
inline constexpr TEventBinding kNavDialEvents[] = {{"OnMouseDown", "PaintBox1MouseDown"},
                                                   {"OnMouseMove", "PaintBox1MouseMove"},
                                                   {"OnMouseUp", "PaintBox1MouseUp"},
                                                   {"OnPaint", "PaintBox1Paint"}};
inline constexpr TEventBinding kNavLineEvents[] = {{"OnPaint", "PaintBox2Paint"}};
inline constexpr TPropertyResource kNavTimerProps[] = {{"Interval", "100"}, {"Enabled", "False"}};
inline constexpr TEventBinding kNavTimerEvents[] = {{"OnTimer", "Timer1Timer"}};

// The room the middle column has beyond the narrowest layout, so that the basis names users
// give and long numbers show whole; everything right of the column moves along.
inline constexpr int kNavWider = 80;

// The seven number rows of the middle column.
inline constexpr int kNavRowTop = 72;
inline constexpr int kNavRowStep = 23;
constexpr TBoundsResource NavRow(int left, int row, int width, int dy = 3, int height = 21)
{
    return {left, kNavRowTop + row * kNavRowStep + dy, width, height};
}
constexpr TControlResource NavLabel(const char* name, int row, const char* caption)
{
    return {.className = "TLabel", .name = name, .bounds = NavRow(166, row, 30, 3, 15), .caption = caption};
}
constexpr TControlResource NavEdit(const char* name, int row)
{
    return {.className = "TEdit",
            .name = name,
            .bounds = NavRow(196, row, 76 + kNavWider, 0),
            .tag = row + 1,
            .events = kNavEditEvents};
}
constexpr TControlResource NavStep(const char* name, int row, bool up)
{
    return {.className = "TSpeedButtonEx",
            .name = name,
            .bounds = NavRow(273 + kNavWider, row, 15, up ? 0 : 11, 10),
            .caption = up ? "+" : "-",
            .tag = 2 * row + (up ? 1 : 2),
            .font = {.size = 6},
            .events = kNavStepEvents};
}

inline constexpr TControlResource kNavigatorControls[] = {
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 564 + kNavWider, 24},
     .align = alTop,
     .caption = "KNavigator",
     .properties = kNavCaptionProps},
    {.className = "TPaintBox", .name = "PaintBox1", .bounds = {2, 26, 160, 160}, .events = kNavDialEvents},
    {.className = "TTrackBar",
     .name = "IncBar",
     .bounds = {2, 190, 160, 26},
     .events = kNavIncEvents,
     .properties = kNavIncProps},
    {.className = "TLabel", .name = "IncLabel", .bounds = {8, 218, 100, 15}, .caption = "Step :  1"},
    {.className = "TLabel", .name = "Label1", .bounds = {166, 30, 38, 15}, .caption = "Master"},
    {.className = "TLabel",
     .name = "MasterLabel",
     .bounds = {210, 30, 58 + kNavWider, 15},
     .caption = "- No Object -"},
    {.className = "TSpeedButtonEx",
     .name = "MasterBtn",
     .bounds = {268 + kNavWider, 27, 20, 20},
     .caption = "...",
     .events = kNavMasterEvents},
    {.className = "TLabel", .name = "Label2", .bounds = {166, 52, 38, 15}, .caption = "Slave"},
    {.className = "TLabel",
     .name = "SlaveLabel",
     .bounds = {210, 52, 58 + kNavWider, 15},
     .caption = "- No Object -"},
    {.className = "TSpeedButtonEx",
     .name = "SlaveBtn",
     .bounds = {268 + kNavWider, 49, 20, 20},
     .caption = "...",
     .events = kNavSlaveEvents},
    NavLabel("Label3", 0, "X '"),
    NavLabel("Label4", 1, "Y '"),
    NavLabel("Label5", 2, "Z '"),
    NavLabel("Label6", 3, "X^X'"),
    NavLabel("Label7", 4, "Y^Y'"),
    NavLabel("Label8", 5, "Z^Z'"),
    NavLabel("Label9", 6, "D '"),
    NavEdit("EditX", 0),
    NavEdit("EditY", 1),
    NavEdit("EditZ", 2),
    NavEdit("EditA", 3),
    NavEdit("EditB", 4),
    NavEdit("EditC", 5),
    NavEdit("EditD", 6),
    NavStep("SpeedButton1", 0, true),
    NavStep("SpeedButton2", 0, false),
    NavStep("SpeedButton3", 1, true),
    NavStep("SpeedButton4", 1, false),
    NavStep("SpeedButton5", 2, true),
    NavStep("SpeedButton6", 2, false),
    NavStep("SpeedButton7", 3, true),
    NavStep("SpeedButton8", 3, false),
    NavStep("SpeedButton9", 4, true),
    NavStep("SpeedButton10", 4, false),
    NavStep("SpeedButton11", 5, true),
    NavStep("SpeedButton12", 5, false),
    NavStep("SpeedButton13", 6, true),
    NavStep("SpeedButton14", 6, false),
    {.className = "TPaintBox",
     .name = "PaintBox2",
     .bounds = {290 + kNavWider, 24, 65, 214},
     .events = kNavLineEvents},
    {.className = "TSpeedButtonEx",
     .name = "MoreBtn",
     .bounds = {294 + kNavWider, 28, 56, 22},
     .caption = "More",
     .events = kNavMoreEvents,
     .properties = kNavToggle5},
    {.className = "TSpeedButtonEx",
     .name = "ApplyBtn",
     .bounds = {294 + kNavWider, 56, 56, 22},
     .caption = "Apply",
     .events = kNavApplyEvents},
    {.className = "TSpeedButtonEx",
     .name = "ResetBtn",
     .bounds = {294 + kNavWider, 80, 56, 22},
     .caption = "Reset",
     .events = kNavResetEvents},
    {.className = "TSpeedButtonEx",
     .name = "ButtonA",
     .bounds = {294 + kNavWider, 108, 18, 22},
     .caption = "X",
     .events = kNavAxisEvents,
     .properties = kNavAxisDownProps},
    {.className = "TSpeedButtonEx",
     .name = "ButtonB",
     .bounds = {313 + kNavWider, 108, 18, 22},
     .caption = "Y",
     .events = kNavAxisEvents,
     .properties = kNavAxisProps},
    {.className = "TSpeedButtonEx",
     .name = "ButtonC",
     .bounds = {332 + kNavWider, 108, 18, 22},
     .caption = "Z",
     .events = kNavAxisEvents,
     .properties = kNavAxisProps},
    {.className = "TSpeedButtonEx",
     .name = "MS_Btn",
     .bounds = {294 + kNavWider, 134, 56, 22},
     .caption = "M / S",
     .events = kNavMsEvents,
     .properties = kNavToggle2},
    {.className = "TSpeedButtonEx",
     .name = "FixerBtn",
     .bounds = {294 + kNavWider, 158, 56, 22},
     .caption = "Fixer",
     .events = kNavFixerEvents,
     .properties = kNavToggle3},
    {.className = "TSpeedButtonEx",
     .name = "InverseBtn",
     .bounds = {294 + kNavWider, 182, 56, 22},
     .caption = "Inverse",
     .events = kNavInverseEvents,
     .properties = kNavToggle4},
    {.className = "TSpeedButtonEx",
     .name = "PlusBtn",
     .bounds = {294 + kNavWider, 210, 27, 22},
     .caption = "+",
     .events = kNavDistanceEvents},
    {.className = "TSpeedButtonEx",
     .name = "MinusBtn",
     .bounds = {323 + kNavWider, 210, 27, 22},
     .caption = "-",
     .events = kNavDistanceEvents},
    {.className = "TMemo",
     .name = "MoreMemo",
     .bounds = {356 + kNavWider, 28, 207, 209},
     .font = {.name = "Monospace", .size = 7},
     .properties = kNavMemoProps},
    {.className = "TStringResource", .name = "ReperData", .items = kelvora_models::kNavigatorReperData},
    {.className = "TStringResource", .name = "DialData", .items = kelvora_models::kNavigatorDialData},
    {.className = "TTimer", .name = "Timer1", .events = kNavTimerEvents, .properties = kNavTimerProps},
};
inline constexpr TEventBinding kNavigatorEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnShow", "FormShow"}};

inline constexpr TFormResource kNavigatorLayout{.name = "TKNAVIGATOR3D",
                                                .caption = "KNavigator",
                                                .clientWidth = 564 + kNavWider,
                                                .clientHeight = 238,
                                                .position = poScreenCenter,
                                                .borderStyle = bsNone,
                                                .events = kNavigatorEvents,
                                                .controls = kNavigatorControls};

}  // namespace kelvora_layouts
