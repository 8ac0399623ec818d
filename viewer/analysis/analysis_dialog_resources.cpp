// Templates and texts of the properties, selection, new file, logical coordinates and
// trimming dialogs, joined to the resource chain with the viewer library.

#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/messages.h"
#include "platform/window/modal.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/core/text_art_bitmap.h"

namespace {

constexpr DWORD kReadOnlyEdit = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

constexpr platform::DialogControl kPropertiesControls[] = {
    {"Static", "Object:", IDC_STATIC, 7, 5, 60, 8, SS_LEFT},
    {"Edit", "", IDC_PROP_OBJECT, 7, 15, 172, 12, kReadOnlyEdit | WS_TABSTOP},
    {"Static", "Object properties", IDC_STATIC, 7, 32, 80, 8, SS_LEFT},
    {"SysListView32", "", IDC_PROP_LIST, 5, 43, 175, 45, LVS_REPORT | WS_BORDER | WS_TABSTOP},
};

constexpr platform::DialogControl kRectSelControls[] = {
    {"Edit", "", IDC_SEL_LEFT_TOP, 7, 7, 72, 12, kReadOnlyEdit},
    {"Edit", "", IDC_SEL_RIGHT_TOP, 128, 7, 72, 12, kReadOnlyEdit},
    {"Static", "", IDC_STATIC, 40, 24, 127, 46, SS_BLACKFRAME},
    {"Static", "Square", IDC_STATIC, 50, 33, 40, 8, SS_LEFT},
    {"Edit", "", IDC_SEL_SQUARE, 95, 31, 64, 12, kReadOnlyEdit},
    {"Static", "Perimeter", IDC_STATIC, 50, 51, 40, 8, SS_LEFT},
    {"Edit", "", IDC_SEL_PERIMETER, 95, 49, 64, 12, kReadOnlyEdit},
    {"Static", "Width", IDC_STATIC, 7, 79, 26, 8, SS_LEFT},
    {"Edit", "", IDC_SEL_WIDTH, 35, 77, 64, 12, kReadOnlyEdit},
    {"Static", "Height", IDC_STATIC, 106, 79, 26, 8, SS_LEFT},
    {"Edit", "", IDC_SEL_HEIGHT, 136, 77, 64, 12, kReadOnlyEdit},
    {"Edit", "", IDC_SEL_LEFT_BOTTOM, 7, 98, 72, 12, kReadOnlyEdit},
    {"Edit", "", IDC_SEL_RIGHT_BOTTOM, 128, 98, 72, 12, kReadOnlyEdit},
    {"Button", "Logical", IDC_SEL_LOGICAL, 45, 122, 50, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "File", IDC_SEL_FILE, 115, 122, 50, 10, BS_AUTORADIOBUTTON},
};

constexpr platform::DialogControl kNewFileControls[] = {
    {"Static", "File size in pixels", IDC_STATIC, 7, 7, 100, 8, SS_LEFT},
    {"Static", "Width:", IDC_STATIC, 12, 22, 30, 8, SS_LEFT},
    {"Edit", "", IDC_NEW_WIDTH, 45, 20, 50, 12, kEdit},
    {"Static", "Height:", IDC_STATIC, 12, 39, 30, 8, SS_LEFT},
    {"Edit", "", IDC_NEW_HEIGHT, 45, 37, 50, 12, kEdit},
    {"Static", "Data type", IDC_STATIC, 7, 56, 60, 8, SS_LEFT},
    {"ComboBox", "", IDC_NEW_TYPE, 7, 66, 110, 14, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {"Button", "OK", IDOK, 129, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 129, 24, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogControl kLogicalCoordsControls[] = {
    {"Button", "Range", IDC_STATIC, 7, 5, 186, 52, BS_GROUPBOX},
    {"Static", "X:", IDC_STATIC, 14, 20, 10, 8, SS_LEFT},
    {"Edit", "", IDC_LC_X_FROM, 28, 18, 70, 12, kEdit},
    {"Static", "...", IDC_STATIC, 102, 20, 10, 8, SS_LEFT},
    {"Edit", "", IDC_LC_X_TO, 116, 18, 70, 12, kEdit},
    {"Static", "Y:", IDC_STATIC, 14, 38, 10, 8, SS_LEFT},
    {"Edit", "", IDC_LC_Y_FROM, 28, 36, 70, 12, kEdit},
    {"Static", "...", IDC_STATIC, 102, 38, 10, 8, SS_LEFT},
    {"Edit", "", IDC_LC_Y_TO, 116, 36, 70, 12, kEdit},
    {"Button", "Default", IDC_LC_DEFAULT, 40, 65, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Apply", IDC_LC_APPLY, 110, 65, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogControl kHistTrimControls[] = {
    {"Static", "Histogram Trim method", IDC_STATIC, 7, 4, 90, 8, SS_LEFT},
    {"ComboBox", "", IDC_TRIM_METHOD, 7, 14, 68, 14, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {"Edit", "", IDC_TRIM_LOW, 7, 34, 54, 12, kEdit},
    {"Static", "...", IDC_STATIC, 63, 36, 9, 8, SS_CENTER},
    {"Edit", "", IDC_TRIM_HIGH, 74, 34, 54, 12, kEdit},
    {"Static", "", IDC_TRIM_CTRL, 7, 51, 121, 50, SS_NOTIFY},
    {"Button", "OK", IDOK, 14, 106, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 71, 106, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogControl kReplaceControls[] = {
    {"Static", "Find:", IDC_STATIC, 7, 7, 42, 8, SS_LEFT},
    {"Edit", "", IDC_REPLACE_FIND, 52, 5, 76, 12, kEdit},
    {"Static", "Replace with:", IDC_STATIC, 7, 24, 44, 8, SS_LEFT},
    {"Edit", "", IDC_REPLACE_WITH, 52, 22, 76, 12, kEdit},
    {"Button", "Approximate", IDC_REPLACE_APPROXIMATE, 7, 41, 80, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {"Button", "Search direction", IDC_STATIC, 7, 56, 121, 30, BS_GROUPBOX},
    {"Button", "Forward", IDC_REPLACE_FORWARD, 14, 69, 50, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "Backward", IDC_REPLACE_BACKWARD, 68, 69, 56, 10, BS_AUTORADIOBUTTON},
    {"Button", "Find next", IDC_REPLACE_FIND_NEXT, 134, 5, 46, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Replace", IDC_REPLACE_ONE, 134, 22, 46, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Replace all", IDC_REPLACE_ALL, 134, 39, 46, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 134, 95, 46, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

// The channel buttons: a red, a green and a blue square.
constexpr const char* kChannelArt[3][15] = {
    {"                ", "                ", "  ############  ", "  #rrrrrrrrrr#  ", "  #rrrrrrrrrr#  ",
     "  #rrrrrrrrrr#  ", "  #rrrrrrrrrr#  ", "  #rrrrrrrrrr#  ", "  #rrrrrrrrrr#  ", "  #rrrrrrrrrr#  ",
     "  #rrrrrrrrrr#  ", "  #rrrrrrrrrr#  ", "  ############  ", "                ", "                "},
    {"                ", "                ", "  ############  ", "  #gggggggggg#  ", "  #gggggggggg#  ",
     "  #gggggggggg#  ", "  #gggggggggg#  ", "  #gggggggggg#  ", "  #gggggggggg#  ", "  #gggggggggg#  ",
     "  #gggggggggg#  ", "  #gggggggggg#  ", "  ############  ", "                ", "                "},
    {"                ", "                ", "  ############  ", "  #bbbbbbbbbb#  ", "  #bbbbbbbbbb#  ",
     "  #bbbbbbbbbb#  ", "  #bbbbbbbbbb#  ", "  #bbbbbbbbbb#  ", "  #bbbbbbbbbb#  ", "  #bbbbbbbbbb#  ",
     "  #bbbbbbbbbb#  ", "  #bbbbbbbbbb#  ", "  ############  ", "                ", "                "},
};
constexpr auto kChannelStrip = viewer_art::MakeStripBmp<3, 16, 15>(kChannelArt);
constexpr UINT kChannelButtons[] = {ID_TRIM_RED, ID_TRIM_GREEN, ID_TRIM_BLUE};
constexpr platform::ToolBarResource kToolBars[] = {
    {IDR_HIST_TRIM_BAR, 16, 15, kChannelButtons, IDR_HIST_TRIM_BAR}};
constexpr platform::ImageResource kBitmaps[] = {
    {IDR_HIST_TRIM_BAR, nullptr, nullptr, nullptr, kChannelStrip}};

constexpr DWORD kToolDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kModalDialog = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_PROPERTIES, "Properties", kToolDialog | WS_THICKFRAME, WS_EX_TOOLWINDOW, "MS Sans Serif", 8, 0, 0,
     186, 97, kPropertiesControls},
    {IDD_RECT_SELECTION, "Rectangular selection", kToolDialog, WS_EX_TOOLWINDOW, "MS Sans Serif", 8, 0, 0,
     207, 140, kRectSelControls},
    {IDD_NEW_FILE, "Create new file", kModalDialog, 0, "MS Sans Serif", 8, 0, 0, 186, 98, kNewFileControls},
    {IDD_LOGICAL_COORDS, "Logical coords", kToolDialog, WS_EX_TOOLWINDOW, "MS Sans Serif", 8, 0, 0, 200, 87,
     kLogicalCoordsControls},
    {IDD_REPLACE_VALUE, "Replace", kToolDialog, 0, "MS Sans Serif", 8, 0, 0, 186, 116, kReplaceControls},
    {IDD_HIST_TRIM, "Histogram Triming", kModalDialog, 0, "MS Sans Serif", 8, 0, 0, 135, 126,
     kHistTrimControls},
};

constexpr platform::StringEntry kStrings[] = {
    {IDS_SETTINGS_VIEWER, "\\Settings\\Viewer"},
    {IDS_PROP_COLUMN_NAME, "Property"},
    {IDS_PROP_COLUMN_VALUE, "Value"},
    {IDS_COORDS_INVALID, "Input coordinates are invalid."},
    {IDS_SELECTIONS_KEY, "\\Selections"},
    {IDS_ZERO_FILE_SIZE, "File size can't be zero values."},
    {IDS_MEASURE, "Measure"},
    {IDS_VALUE_NOT_FOUND, "Value not found."},
    {IDS_ITEMS_REPLACED, "%d items have replaced."},
    {ID_TRIM_RED, "Show the red channel\nRed channel"},
    {ID_TRIM_GREEN, "Show the green channel\nGreen channel"},
    {ID_TRIM_BLUE, "Show the blue channel\nBlue channel"},
};

constexpr platform::ModuleResources kResources{.module = "PaneKit analysis dialogs",
                                               .strings = kStrings,
                                               .toolBars = kToolBars,
                                               .bitmaps = kBitmaps,
                                               .dialogs = kDialogs};

const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace
