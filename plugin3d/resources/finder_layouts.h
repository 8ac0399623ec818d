#pragma once

// The layouts of the four finders: a caption bar, the list (a tree or a list box), and Ok and
// Cancel at the bottom right.

#include "platform/forms/form_resource.h"
#include "plugin3d/resources/viewer_layouts.h"

namespace kelvora_layouts {

inline constexpr TEventBinding kFinderListEvents[] = {{"OnDblClick", "ListDblClick"},
                                                      {"OnMouseDown", "ListMouseDown"}};
inline constexpr TPropertyResource kFinderTreeProps[] = {{"ReadOnly", "True"}, {"HideSelection", "False"}};

#define KELVORA_FINDER_CONTROLS(Name, Caption, ListClass, ListName, ListProps) \
    inline constexpr TControlResource Name[] = {                               \
        {.className = "TKFlatCaption",                                         \
         .name = "KFlatCaption1",                                              \
         .bounds = {0, 0, 240, 24},                                            \
         .align = alTop,                                                       \
         .caption = Caption,                                                   \
         .properties = kCloseOnly},                                            \
        {.className = "TPanel",                                                \
         .name = "Panel1",                                                     \
         .bounds = {0, 259, 240, 41},                                          \
         .align = alBottom,                                                    \
         .properties = kPickerPanelProps},                                     \
        {.className = "TButton",                                               \
         .name = "OkBtn",                                                      \
         .parent = "Panel1",                                                   \
         .bounds = {74, 8, 75, 25},                                            \
         .caption = "Ok",                                                      \
         .properties = kPickerOkProps},                                        \
        {.className = "TButton",                                               \
         .name = "CancelBtn",                                                  \
         .parent = "Panel1",                                                   \
         .bounds = {157, 8, 75, 25},                                           \
         .caption = "Cancel",                                                  \
         .properties = kPickerCancelProps},                                    \
        {.className = ListClass,                                               \
         .name = ListName,                                                     \
         .bounds = {0, 24, 240, 235},                                          \
         .align = alClient,                                                    \
         .events = kFinderListEvents,                                          \
         .properties = ListProps},                                             \
    }

KELVORA_FINDER_CONTROLS(kObjectFinderControls, "Object 3D Finder", "TTreeView", "TreeView1",
                        kFinderTreeProps);
KELVORA_FINDER_CONTROLS(kLayerFinderControls, "Select Layer", "TTreeView", "TreeView1", kFinderTreeProps);
KELVORA_FINDER_CONTROLS(kReflectionFinderControls, "Select Reflection Law", "TListBox", "ListBox1",
                        std::span<const TPropertyResource>{});
KELVORA_FINDER_CONTROLS(kDrawingFinderControls, "Select Drawing", "TListBox", "ListBox1",
                        std::span<const TPropertyResource>{});
#undef KELVORA_FINDER_CONTROLS

inline constexpr TFormResource FinderLayout(const char* name, const char* caption,
                                            std::span<const TControlResource> controls)
{
    return {.name = name,
            .caption = caption,
            .clientWidth = 240,
            .clientHeight = 300,
            .position = poScreenCenter,
            .borderStyle = bsSizeable,
            .events = kPickerFormEvents,
            .controls = controls};
}

inline constexpr TFormResource kObjectFinderLayout =
    FinderLayout("TKOBJECT3DFINDER", "Object 3D Finder", kObjectFinderControls);
inline constexpr TFormResource kReflectionFinderLayout =
    FinderLayout("TKFINDERREFLECTIONFORM", "Select Reflection Law", kReflectionFinderControls);
inline constexpr TFormResource kLayerFinderLayout =
    FinderLayout("TKLAYERFINDERFORM", "Select Layer", kLayerFinderControls);
inline constexpr TFormResource kDrawingFinderLayout =
    FinderLayout("TKDRAWINGFINDERFORM", "Select Drawing", kDrawingFinderControls);

}  // namespace kelvora_layouts
