#pragma once

// The layouts of the two light editors: the record bar at the left, the current record's
// numbers at the right (a row label, and above each box the number's name), the Enabled box,
// and Close, Apply and Reset at the bottom.

#include "platform/forms/form_resource.h"
#include "plugin3d/resources/viewer_layouts.h"

namespace kelvora_layouts {

inline constexpr TEventBinding kLightEditEvents[] = {{"OnChange", "EditChange"},
                                                     {"OnKeyPress", "EditKeyPress"}};
inline constexpr TEventBinding kLightFormEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnClose", "FormClose"}};
inline constexpr TEventBinding kLightEnabledEvents[] = {{"OnClick", "EnabledBoxClick"}};
inline constexpr TEventBinding kLightCloseEvents[] = {{"OnClick", "CloseBtnClick"}};
inline constexpr TEventBinding kLightApplyEvents[] = {{"OnClick", "ApplyBtnClick"}};
inline constexpr TEventBinding kLightResetEvents[] = {{"OnClick", "ResetBtnClick"}};
inline constexpr TPropertyResource kLightBarProps[] = {{"BevelPos", "135"}, {"BoxPos", "55"}};

#define KELVORA_LIGHT_LABEL(Name, Left, Top, Width, Text)                                      \
    {                                                                                          \
        .className = "TLabel", .name = Name, .bounds = {Left, Top, Width, 13}, .caption = Text \
    }
#define KELVORA_LIGHT_EDIT(Name, Left, Top)                                                           \
    {                                                                                                 \
        .className = "TEdit", .name = Name, .bounds = {Left, Top, 54, 21}, .events = kLightEditEvents \
    }
#define KELVORA_LIGHT_FRAME(Caption)                                                                  \
    {.className = "TKFlatCaption",                                                                    \
     .name = "KFlatCaption1",                                                                         \
     .bounds = {0, 0, 560, 24},                                                                       \
     .align = alTop,                                                                                  \
     .caption = Caption,                                                                              \
     .properties = kCloseOnly},                                                                       \
        {.className = "TKDepositoryComponent",                                                        \
         .name = "KDepositoryComponent1",                                                             \
         .bounds = {4, 28, 290, 174},                                                                 \
         .properties = kLightBarProps},                                                               \
        {.className = "TCheckBox",                                                                    \
         .name = "EnabledBox",                                                                        \
         .bounds = {370, 150, 100, 17},                                                               \
         .caption = "Enabled",                                                                        \
         .events = kLightEnabledEvents},                                                              \
        {.className = "TButton",                                                                      \
         .name = "CloseBtn",                                                                          \
         .bounds = {300, 176, 76, 25},                                                                \
         .caption = "Close",                                                                          \
         .events = kLightCloseEvents},                                                                \
        {.className = "TButton",                                                                      \
         .name = "ApplyBtn",                                                                          \
         .bounds = {384, 176, 76, 25},                                                                \
         .caption = "Apply",                                                                          \
         .events = kLightApplyEvents},                                                                \
    {                                                                                                 \
        .className = "TButton", .name = "ResetBtn", .bounds = {468, 176, 76, 25}, .caption = "Reset", \
        .events = kLightResetEvents                                                                   \
    }

inline constexpr TControlResource kPointLightControls[] = {
    KELVORA_LIGHT_FRAME("KPointSpringLight Properties"),
    KELVORA_LIGHT_LABEL("Label1", 300, 50, 70, "Color"),
    KELVORA_LIGHT_LABEL("Label4", 370, 30, 60, "Red"),
    KELVORA_LIGHT_LABEL("Label5", 428, 30, 60, "Green"),
    KELVORA_LIGHT_LABEL("Label6", 486, 30, 60, "Blue"),
    KELVORA_LIGHT_EDIT("EditC1", 370, 46),
    KELVORA_LIGHT_EDIT("EditC2", 428, 46),
    KELVORA_LIGHT_EDIT("EditC3", 486, 46),
    KELVORA_LIGHT_LABEL("Label2", 300, 90, 70, "Attenuation"),
    KELVORA_LIGHT_LABEL("Label7", 370, 70, 60, "Constant"),
    KELVORA_LIGHT_LABEL("Label8", 428, 70, 60, "Linear"),
    KELVORA_LIGHT_LABEL("Label9", 486, 70, 60, "Quadratic"),
    KELVORA_LIGHT_EDIT("EditA1", 370, 86),
    KELVORA_LIGHT_EDIT("EditA2", 428, 86),
    KELVORA_LIGHT_EDIT("EditA3", 486, 86),
    KELVORA_LIGHT_LABEL("Label3", 300, 130, 70, "Spot"),
    KELVORA_LIGHT_LABEL("Label10", 370, 110, 60, "Exponent"),
    KELVORA_LIGHT_LABEL("Label11", 428, 110, 60, "CutOff"),
    KELVORA_LIGHT_EDIT("EditS1", 370, 126),
    KELVORA_LIGHT_EDIT("EditS2", 428, 126),
};

inline constexpr TControlResource kAmbientLightControls[] = {
    KELVORA_LIGHT_FRAME("KAmbient Light Properties"),   KELVORA_LIGHT_LABEL("Label1", 300, 50, 70, "Color"),
    KELVORA_LIGHT_LABEL("Label4", 370, 30, 60, "Red"),  KELVORA_LIGHT_LABEL("Label5", 428, 30, 60, "Green"),
    KELVORA_LIGHT_LABEL("Label6", 486, 30, 60, "Blue"), KELVORA_LIGHT_EDIT("RedEdit", 370, 46),
    KELVORA_LIGHT_EDIT("GreenEdit", 428, 46),           KELVORA_LIGHT_EDIT("BlueEdit", 486, 46),
};

#undef KELVORA_LIGHT_LABEL
#undef KELVORA_LIGHT_EDIT
#undef KELVORA_LIGHT_FRAME

inline constexpr TFormResource LightEditorLayout(const char* name, const char* caption,
                                                 std::span<const TControlResource> controls)
{
    return {.name = name,
            .caption = caption,
            .clientWidth = 560,
            .clientHeight = 216,
            .borderStyle = bsSingle,
            .events = kLightFormEvents,
            .controls = controls};
}

inline constexpr TFormResource kPointLightEditorLayout =
    LightEditorLayout("TKPOINTSPRINGLIGHT3DFORM", "KPointSpringLight Properties", kPointLightControls);
inline constexpr TFormResource kAmbientLightEditorLayout =
    LightEditorLayout("TKAMBIENTLIGHT3DFORM", "KAmbient Light Properties", kAmbientLightControls);

}  // namespace kelvora_layouts
