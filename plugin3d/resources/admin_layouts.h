#pragma once

// The layouts of the owner form and of the administrator.

#include "platform/forms/form_resource.h"

namespace kelvora_layouts {

// --- TDllMainForm --------------------------------------------------------------------------------------
inline constexpr TEventBinding kDllMainEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnShow", "FormShow"}, {"OnHide", "FormHide"}};

inline constexpr TFormResource kDllMainLayout{.name = "TDLLMAINFORM",
                                              .caption = "Kelvora",
                                              .clientWidth = 336,
                                              .clientHeight = 175,
                                              .position = poScreenCenter,
                                              .font = {.name = "MS Sans Serif", .size = 8},
                                              .events = kDllMainEvents};

// --- TKAdministrator -----------------------------------------------------------------------------------
inline constexpr TPropertyResource kAdminCaptionProps[] = {
    {"Buttons", "[fccClose,fccMaximize,fccMinimize,fccHelp,fccScreenPin]"},
    {"HiddenButtons", "[fccMaximize,fccHelp]"},
    {"Border", "fcbSizeable"}};
inline constexpr TPropertyResource kAdminPanelProps[] = {{"BevelOuter", "bvNone"}};
inline constexpr TPropertyResource kAdminImagesProps[] = {
    {"Width", "24"}, {"Height", "24"}, {"Bitmap", "KADMINISTRATORBUTTONS"}};
inline constexpr TPropertyResource kAdminToolBarProps[] = {
    {"Images", "ImageList1"}, {"Flat", "True"}, {"ButtonWidth", "31"}, {"ButtonHeight", "30"}};
inline constexpr TPropertyResource kNewBtnProps[] = {{"ImageIndex", "0"}, {"Hint", "New"}};
inline constexpr TPropertyResource kDeleteBtnProps[] = {{"ImageIndex", "1"}, {"Hint", "Delete"}};
inline constexpr TPropertyResource kLoadBtnProps[] = {
    {"ImageIndex", "2"}, {"Style", "tbsDropDown"}, {"DropdownMenu", "LoadHistoryMenu"}, {"Hint", "Load"}};
inline constexpr TPropertyResource kSaveBtnProps[] = {{"ImageIndex", "3"}, {"Hint", "Save"}};
inline constexpr TEventBinding kNewBtnEvents[] = {{"OnClick", "NewBtnClick"}};
inline constexpr TEventBinding kDeleteBtnEvents[] = {{"OnClick", "DeleteBtnClick"}};
inline constexpr TEventBinding kLoadBtnEvents[] = {{"OnClick", "LoadBtnClick"}};
inline constexpr TEventBinding kSaveBtnEvents[] = {{"OnClick", "SaveBtnClick"}};
inline constexpr TPropertyResource kAdminTreeProps[] = {
    {"RightClickSelect", "True"}, {"HideSelection", "False"}, {"PopupMenu", "PopupMenu1"}};
inline constexpr TEventBinding kAdminTreeEvents[] = {
    {"OnChange", "TreeView1Change"},         {"OnCollapsed", "TreeView1Collapsed"},
    {"OnCollapsing", "TreeView1Collapsing"}, {"OnExpanding", "TreeView1Collapsing"},
    {"OnDblClick", "TreeView1DblClick"},     {"OnEdited", "TreeView1Edited"},
    {"OnExpanded", "TreeView1Expanded"},     {"OnMouseDown", "TreeView1MouseDown"}};
inline constexpr TPropertyResource kProjectOpenProps[] = {
    {"Filter", "Kelvora Project (*.ktp)|*.ktp|All Files (*.*)|*.*"},
    {"Title", "Select Kelvora Project File"},
    {"Options", "[ofHideReadOnly,ofPathMustExist,ofFileMustExist,ofEnableSizing]"}};
inline constexpr TPropertyResource kProjectSaveProps[] = {
    {"Filter", "Kelvora Project (*.ktp)|*.ktp|All Files (*.*)|*.*"},
    {"Title", "Select Kelvora Project File"},
    {"DefaultExt", "ktp"},
    {"Options", "[ofOverwritePrompt,ofHideReadOnly,ofPathMustExist,ofEnableSizing]"}};

inline constexpr TControlResource kAdministratorControls[] = {
    {.className = "TImageList", .name = "ImageList1", .properties = kAdminImagesProps},
    {.className = "TPopupMenu", .name = "PopupMenu1"},
    {.className = "TPopupMenu", .name = "LoadHistoryMenu"},
    {.className = "TOpenDialog", .name = "OpenDialog1", .properties = kProjectOpenProps},
    {.className = "TSaveDialog", .name = "SaveDialog1", .properties = kProjectSaveProps},
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 252, 24},
     .align = alTop,
     .caption = " KAdminstrator",
     .properties = kAdminCaptionProps},
    {.className = "TPanel",
     .name = "Panel1",
     .bounds = {0, 24, 252, 30},
     .align = alTop,
     .properties = kAdminPanelProps},
    {.className = "TToolBar",
     .name = "ToolBar1",
     .parent = "Panel1",
     .bounds = {0, 0, 252, 30},
     .align = alClient,
     .properties = kAdminToolBarProps},
    {.className = "TToolButton",
     .name = "NewBtn",
     .parent = "ToolBar1",
     .bounds = {0, 0, 31, 30},
     .events = kNewBtnEvents,
     .properties = kNewBtnProps},
    {.className = "TToolButton",
     .name = "DeleteBtn",
     .parent = "ToolBar1",
     .bounds = {31, 0, 31, 30},
     .events = kDeleteBtnEvents,
     .properties = kDeleteBtnProps},
    {.className = "TToolButton",
     .name = "LoadBtn",
     .parent = "ToolBar1",
     .bounds = {62, 0, 44, 30},
     .events = kLoadBtnEvents,
     .properties = kLoadBtnProps},
    {.className = "TToolButton",
     .name = "SaveBtn",
     .parent = "ToolBar1",
     .bounds = {106, 0, 31, 30},
     .events = kSaveBtnEvents,
     .properties = kSaveBtnProps},
    {.className = "TTreeView",
     .name = "TreeView1",
     .bounds = {0, 54, 252, 241},
     .align = alClient,
     .events = kAdminTreeEvents,
     .properties = kAdminTreeProps},
};
inline constexpr TEventBinding kAdministratorEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnClose", "FormClose"}};

inline constexpr TFormResource kAdministratorLayout{.name = "TKADMINISTRATOR",
                                                    .caption = "KAdministrator",
                                                    .clientWidth = 252,
                                                    .clientHeight = 295,
                                                    .position = poScreenCenter,
                                                    .borderStyle = bsSizeable,
                                                    .events = kAdministratorEvents,
                                                    .controls = kAdministratorControls};

}  // namespace kelvora_layouts
