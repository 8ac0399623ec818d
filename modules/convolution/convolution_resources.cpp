// The convolution tool's dialog templates, pictures, popup menu and texts, joined to the
// resource chain with the convolution module.

#include "modules/convolution/convolution_resources.h"

#include <array>

#include "modules/convolution/round_slider_ctrl.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/static_ctrl.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/menu/menu.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"
#include "viewer/core/text_art_bitmap.h"

namespace {

// ---- pictures -----------------------------------------------------------------------------
// 'w' is white, the tree's clear colour; the buttons' icons are clear where grey.

constexpr const char* kTreeArt[4][16] = {
    {"wwwwwwwwwwwwwwww", "wwwwwwwwwwwwwwww", "ww#####wwwwwwwww", "w#yyyyy#wwwwwwww", "w#########w#wwww",
     "w#yyyyyyyyyy#www", "w#yyyyyyyyyy#www", "w#yyyyyyyyyy#www", "w#yyyyyyyyyy#www", "w#yyyyyyyyyy#www",
     "w#yyyyyyyyyy#www", "w#yyyyyyyyyy#www", "w############www", "wwwwwwwwwwwwwwww", "wwwwwwwwwwwwwwww",
     "wwwwwwwwwwwwwwww"},
    {"wwwwwwwwwwwwwwww", "wwwwwwwwwwwwwwww", "ww#####wwwwwwwww", "w#yyyyy#wwwwwwww", "w#yyyyyy######ww",
     "w#yy##############", "w#y#oooooooooo#w", "w#y#oooooooooo#w", "w##oooooooooo#ww", "w##oooooooooo#ww",
     "w#oooooooooo#www", "w#oooooooooo#www", "w############www", "wwwwwwwwwwwwwwww", "wwwwwwwwwwwwwwww",
     "wwwwwwwwwwwwwwww"},
    {"wwwwwwwwwwwwwwww", "w#############ww", "w#lllllllllll#ww", "w#l#l#l#l#l#l#ww", "w#lllllllllll#ww",
     "w#l#l#b#l#l#l#ww", "w#lllllllllll#ww", "w#l#b#b#b#l#l#ww", "w#lllllllllll#ww", "w#l#l#b#l#l#l#ww",
     "w#lllllllllll#ww", "w#l#l#l#l#l#l#ww", "w#lllllllllll#ww", "w#############ww", "wwwwwwwwwwwwwwww",
     "wwwwwwwwwwwwwwww"},
    {"wwwwwwwwwwwwwwww", "w#############ww", "w#ccccccccccc#ww", "w#c#c#c#c#c#c#ww", "w#ccccccccccc#ww",
     "w#c#c#r#c#c#c#ww", "w#ccccccccccc#ww", "w#c#r#r#r#c#c#ww", "w#ccccccccccc#ww", "w#c#c#r#c#c#c#ww",
     "w#ccccccccccc#ww", "w#c#c#c#c#c#c#ww", "w#ccccccccccc#ww", "w#############ww", "wwwwwwwwwwwwwwww",
     "wwwwwwwwwwwwwwww"},
};
constexpr auto kTreeBmp = viewer_art::MakeStripBmp<4, 16, 16>(kTreeArt);

// A mask's table with a sign beside it: a star (new), a plus (add), a cross (remove), a
// pencil (edit). 16 x 16, drawn at 32 x 32 on the buttons.
constexpr const char* kNewArt[16] = {
    "                ", " ##########     ", " #wwwwwwww#  y  ", " #w#w#w#ww# yyy ",
    " #wwwwwwww#  y  ", " #w#w#w#ww# y y ", " #wwwwwwww#     ", " #w#w#w#ww#     ",
    " #wwwwwwww#     ", " #w#w#w#ww#     ", " #wwwwwwww#     ", " ##########     ",
    "                ", "                ", "                ", "                "};
constexpr const char* kAddArt[16] = {
    "                ",  " ##########     ",  " #wwwwwwww#     ", " #w#w#w#ww#     ",
    " #wwwwwwww#     ",  " #w#w#w#ww#     ",  " #wwwwwwww#  gg ", " #w#w#w#ww#  gg ",
    " #wwwwwwww#gggggg", " #w#w#w#ww#gggggg", " #wwwwwwww#  gg ", " ##########  gg ",
    "                ",  "                ",  "                ", "                "};
constexpr const char* kRemoveArt[16] = {
    "                ", " ##########     ", " #wwwwwwww#     ", " #w#w#w#ww#     ",
    " #wwwwwwww#     ", " #w#w#w#ww#     ", " #wwwwwwww#r   r", " #w#w#w#ww# r r ",
    " #wwwwwwww#  r  ", " #w#w#w#ww# r r ", " #wwwwwwww#r   r", " ##########     ",
    "                ", "                ", "                ", "                "};
constexpr const char* kEditArt[16] = {
    "                ", " ##########     ", " #wwwwwwww#     ", " #w#w#w#ww#   oo",
    " #wwwwwwww#  oo ", " #w#w#w#ww# oo  ", " #wwwwwwww#oo   ", " #w#w#w#wwoo    ",
    " #wwwwwwwd#     ", " #w#w#w#ww#     ", " #wwwwwwww#     ", " ##########     ",
    "                ", "                ", "                ", "                "};
/// A 16 x 16 picture drawn at twice its size: the buttons show 32 x 32 icons.
constexpr std::array<unsigned char, viewer_art::BmpSize<32, 32>> MakeDoubledBmp(const char* const (&art)[16])
{
    char text[32][33] = {};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) text[y][x] = art[y / 2][x / 2] ? art[y / 2][x / 2] : ' ';
    const char* rows[32] = {};
    for (int y = 0; y < 32; ++y) rows[y] = text[y];
    return viewer_art::MakeBmp<32, 32>(rows);
}
constexpr auto kNewBmp = MakeDoubledBmp(kNewArt);
constexpr auto kAddBmp = MakeDoubledBmp(kAddArt);
constexpr auto kRemoveBmp = MakeDoubledBmp(kRemoveArt);
constexpr auto kEditBmp = MakeDoubledBmp(kEditArt);

constexpr platform::ImageResource kBitmaps[] = {{IDB_MASK_TREE, nullptr, nullptr, nullptr, kTreeBmp}};
constexpr platform::ImageResource kIcons[] = {
    {IDI_NEW_MASK, nullptr, nullptr, nullptr, kNewBmp},
    {IDI_ADD_MASK, nullptr, nullptr, nullptr, kAddBmp},
    {IDI_REMOVE_MASK, nullptr, nullptr, nullptr, kRemoveBmp},
    {IDI_EDIT_MASK, nullptr, nullptr, nullptr, kEditBmp},
};

// ---- the popup menu -------------------------------------------------------------------------

constexpr platform::MenuItemData kGridMenu[] = {
    {0, "Grid", MF_POPUP | platform::kMenuEnd},
    {ID_MASK_GRID_COPY, "Copy", 0},
    {ID_MASK_GRID_PASTE, "Paste", platform::kMenuEnd},
};
constexpr platform::MenuResource kMenus[] = {{IDR_MASK_GRID_MENU, kGridMenu}};

// ---- dialog templates -----------------------------------------------------------------------

constexpr DWORD kIconButton = BS_OWNERDRAW | WS_TABSTOP;

constexpr platform::DialogControl kConvolutionControls[] = {
    {"Button", "Input", -1, 6, 3, 170, 46, BS_GROUPBOX},
    {"Static", "", IDC_CONV_INPUT, 10, 13, 162, 32, SS_LEFT},
    {"Button", "Output", -1, 6, 51, 170, 46, BS_GROUPBOX},
    {"Static", "", IDC_CONV_OUTPUT, 10, 61, 162, 32, SS_LEFT},
    {"Button", "Current mask", -1, 6, 99, 170, 171, BS_GROUPBOX},
    {"SysTreeView32", "", IDC_CONV_TREE, 12, 110, 158, 124,
     TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_INFOTIP | WS_BORDER |
         WS_TABSTOP},
    {"Button", "", IDC_CONV_NEW_MASK, 14, 240, 27, 24, kIconButton},
    {"Button", "", IDC_CONV_ADD_MASK, 55, 240, 27, 24, kIconButton},
    {"Button", "", IDC_CONV_REMOVE_MASK, 96, 240, 27, 24, kIconButton},
    {"Button", "", IDC_CONV_EDIT_MASK, 137, 240, 27, 24, kIconButton},
    {"Static", "", IDC_CONV_PREVIEW, 182, 7, 164, 120, SS_LEFT | SS_SUNKEN},
    {"Static", "", IDC_CONV_STATUS, 182, 130, 164, 9, SS_LEFT},
    {"Button", "Rotation angle", IDC_CONV_ANGLE_GROUP, 182, 142, 164, 128, BS_GROUPBOX},
    {"Static", "270\xC2\xB0", IDC_CONV_LABEL_270, 249, 153, 30, 8, SS_CENTER},
    {kRoundSliderClass, "", IDC_CONV_SLIDER, 232, 163, 64, 64, WS_TABSTOP},
    {"Static", "180\xC2\xB0", IDC_CONV_LABEL_180, 204, 191, 26, 8, SS_RIGHT},
    {"Static", "0\xC2\xB0", IDC_CONV_LABEL_0, 298, 191, 18, 8, SS_LEFT},
    {"Static", "90\xC2\xB0", IDC_CONV_LABEL_90, 249, 228, 30, 8, SS_CENTER},
    {"Edit", "", IDC_CONV_ANGLE, 229, 246, 70, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Button", "Help", IDC_CONV_HELP, 182, 276, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Execute", IDC_CONV_EXECUTE, 239, 276, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 296, 276, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogControl kUserMaskControls[] = {
    {"Static", "", IDC_MASK_GRID_PLACE, 7, 7, 200, 200, SS_LEFT},
    {"Static", "", IDC_MASK_FRAME_LEFT, 212, 7, 91, 42, SS_LEFT | SS_SUNKEN},
    {"Static", "Mask type:", IDC_MASK_TYPE_LABEL, 217, 10, 80, 8, SS_LEFT},
    {"Button", "X- mask", IDC_MASK_VIEW_X, 217, 20, 80, 9, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "Y - mask", IDC_MASK_VIEW_Y, 217, 29, 80, 9, BS_AUTORADIOBUTTON},
    {"Button", "Result mask", IDC_MASK_VIEW_RESULT, 217, 38, 80, 9, BS_AUTORADIOBUTTON},
    {"Static", "", IDC_MASK_FRAME_RIGHT, 212, 53, 91, 118, SS_LEFT | SS_SUNKEN},
    {"Static", "Rotate angle:", IDC_MASK_ANGLE_LABEL, 217, 56, 80, 8, SS_LEFT},
    {"Static", "270\xC2\xB0", IDC_CONV_LABEL_270, 243, 66, 30, 8, SS_CENTER},
    {kRoundSliderClass, "", IDC_CONV_SLIDER, 230, 76, 56, 56, WS_TABSTOP},
    {"Static", "180\xC2\xB0", IDC_CONV_LABEL_180, 213, 100, 16, 8, SS_RIGHT},
    {"Static", "0\xC2\xB0", IDC_CONV_LABEL_0, 287, 100, 14, 8, SS_LEFT},
    {"Static", "90\xC2\xB0", IDC_CONV_LABEL_90, 243, 133, 30, 8, SS_CENTER},
    {"Edit", "0", IDC_CONV_ANGLE, 223, 146, 70, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Static", "Mask caption", IDC_MASK_CAPTION_LABEL, 7, 212, 60, 8, SS_LEFT},
    {"Edit", "", IDC_MASK_CAPTION, 70, 210, 233, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Static", "Mask description", IDC_MASK_DESCRIPTION_LABEL, 7, 228, 60, 8, SS_LEFT},
    {"Edit", "", IDC_MASK_DESCRIPTION, 70, 226, 233, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Button", "Help", IDC_MASK_HELP, 7, 252, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Save As", IDC_MASK_SAVE_AS, 70, 252, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "OK", IDOK, 196, 252, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 253, 252, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogControl kNewMaskControls[] = {
    {"Button", "Size:", -1, 7, 5, 119, 48, BS_GROUPBOX},
    {"Static", "Width", -1, 14, 18, 40, 8, SS_LEFT},
    {"Edit", "", IDC_NEW_MASK_WIDTH, 60, 16, 58, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Static", "Height", -1, 14, 34, 40, 8, SS_LEFT},
    {"Edit", "", IDC_NEW_MASK_HEIGHT, 60, 32, 58, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Button", "Mask type:", -1, 7, 56, 119, 40, BS_GROUPBOX},
    {"Button", "Simple mask", IDC_NEW_MASK_SIMPLE, 14, 67, 100, 10,
     BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "Compound mask", IDC_NEW_MASK_COMPOUND, 14, 80, 100, 10, BS_AUTORADIOBUTTON},
    {"Button", "OK", IDOK, 14, 104, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {"Button", "Cancel", IDCANCEL, 70, 104, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_CONVOLUTION, "Convolution with mask", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
     "MS Sans Serif", 8, 0, 0, 352, 295, kConvolutionControls},
    {IDD_USER_MASK, "User Mask", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 0, "MS Sans Serif", 8, 0,
     0, 310, 273, kUserMaskControls},
    {IDD_NEW_MASK, "New mask parameters", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0,
     "MS Sans Serif", 8, 0, 0, 133, 125, kNewMaskControls},
};

constexpr platform::StringEntry kStrings[] = {
    {IDS_CONV_HELP_PAGE, "Processing_convolution.HTM"},
    {IDS_CONV_SELECT_MASK, "\n\n\nSelect input file and mask."},
    {IDS_CONV_CALCULATING, "Preview calculation..."},
    {IDS_CONV_NO_OUTPUT, "Enter an output file name !"},
    {IDS_CONV_MUST_SELECT, "You must select a mask !"},
    {IDS_CONV_DELETE_LINK, "Do you really want to delete shortcut?"},
    {IDS_CONV_DELETE_MASK, "Do you really want to delete this mask file?\n"},
    {IDS_CONV_DELETE_FAILED, "Can't delete selected file!"},
    {IDS_CONV_REGISTRY_FAILED, "Error on load several parameters from registry!\n"},
    {IDS_CONV_NOT_RDP, " - isn't a valid rdp file!"},
    {IDS_CONV_GRID_FAILED, "Error creating Grid Dialog"},
    {IDS_CONV_EDIT_FAILED, "Error creating Edit Dialog"},
    {IDS_CONV_NEW_TIP, "Create new mask"},
    {IDS_CONV_NEW_TIP + 1, "Add mask"},
    {IDS_CONV_NEW_TIP + 2, "Remove mask"},
    {IDS_CONV_NEW_TIP + 3, "Edit mask"},
    {IDS_CONV_NO_LIBRARY, "No mask library folder is set (KernelsDir)."},
    {IDS_MASK_HELP_PAGE, "Processing_convolution_griddlg.HTM"},
    {IDS_MASK_SAVE_QUESTION, "Would you like to save change?"},
    {IDS_MASK_FILTER, "Tarvenix data files(*.rdp)|*.rdp|All Files (*.*)|*.*||"},
    {IDS_MASK_BAD_SIZE, "Invalid new mask size !"},
    {IDS_MASK_ODD_SIZE, "Mask size must be odd values."},
    {IDS_MASK_TOO_LARGE, "Mask size can't be greater than 1023."},
};

constexpr platform::ModuleResources kResources{.module = "kernova convolution",
                                               .strings = kStrings,
                                               .menus = kMenus,
                                               .bitmaps = kBitmaps,
                                               .icons = kIcons,
                                               .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace
