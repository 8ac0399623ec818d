#include "modules/convolution/kernova_resources.h"

#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"

namespace {

constexpr platform::StringEntry kStrings[] = {
    {IDS_FILTR_CAPTION, "Filtering..."},
    {IDS_FILTR_TASK_CREATE, "Creating output file"},
    {IDS_FILTR_TASK_STATS, "Count statisticses."},
    {IDS_FILTR_PREPARING, "Data preparing..."},
    {IDS_FILTR_WINDOW_TOO_LARGE, "Pivoting window size can't be greater input file size minus 1 pixel!"},
    {IDS_FILTR_CREATE_FAILED, "Error creating output file  !"},
    {IDS_FILTR_OPEN_FAILED, "Can't open the input file:\n%s"},
    {IDS_FILTR_HELP_PAGE, "Processing_Filtration.htm"},
    {IDS_FILTR_BAD_VARIANCE, "The noise variance must be a number not less than 0."},
    {IDS_FILTR_BAD_PARAMETERS, "Unknown filter or window size."},
    {IDS_FILTR_MEAN, "Mean"},
    {IDS_FILTR_MEAN + 1, "Median"},
    {IDS_FILTR_MEAN + 2, "Lee"},
    {IDS_FILTR_MEAN + 3, "Frost"},
    {IDS_FILTR_MEAN + 4, "Kuan"},
    {IDS_FILTR_MEAN + 5, "Sigma"},
    {IDS_CONV_CAPTION, "Convolution with mask"},
    {IDS_CONV_OPEN_FAILED, "Can't open input file !"},
    {IDS_CONV_MASK_TOO_LARGE, "Mask size can't be greater input file size minus 1 pixel!"},
    {IDS_CONV_MASK_EVEN, "Mask size must be odd values."},
    {IDS_CONV_MASK_LOAD_FAILED, "Error loading mask file !"},
    {IDS_DERIV_CAPTION, "Differentiation"},
    {IDS_DERIV_NOT_DERIVABLE, "Derivatives need a real input layer of at least 3 x 3 pixels."},
    {IDS_DERIV_TASK_GRADIENT, "Gradient calculation."},
    {IDS_DERIV_TASK_GRADIENT + 1, "X partial derivative calculation."},
    {IDS_DERIV_TASK_GRADIENT + 2, "Y partial derivative calculation."},
    {IDS_DERIV_TASK_GRADIENT + 3, "Directional derivative calculation."},
    {IDS_DERIV_TASK_GRADIENT + 4, "X second partial derivative calculation."},
    {IDS_DERIV_TASK_GRADIENT + 5, "Y second partial derivative calculation."},
    {IDS_DERIV_TASK_GRADIENT + 6, "XY second partial derivative calculation."},
    {IDS_DERIV_UNKNOWN_KIND, "Unknown kind of derivative."},
};

constexpr platform::DialogControl kNoiseFilterControls[] = {
    {"Button", "Input File", IDC_FILTR_INPUT_GROUP, 6, 3, 169, 50, BS_GROUPBOX},
    {"Static", "", IDC_FILTR_INPUT, 10, 13, 160, 35, SS_LEFT},
    {"Button", "Output File", IDC_FILTR_OUTPUT_GROUP, 6, 56, 169, 67, BS_GROUPBOX},
    {"Static", "", IDC_FILTR_OUTPUT, 10, 67, 160, 47, SS_LEFT},
    {"Static", "", IDC_FILTR_PREVIEW, 183, 7, 117, 116, SS_LEFT | SS_SUNKEN},
    {"Button", "Filters", -1, 6, 125, 91, 35, BS_GROUPBOX},
    {"ComboBox", "", IDC_FILTR_COMBO, 11, 138, 79, 59, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {"Button", "Size", -1, 104, 125, 71, 35, BS_GROUPBOX},
    {"Static", "", IDC_FILTR_SIZE_TEXT, 117, 138, 30, 14, SS_CENTER | SS_SUNKEN},
    {"msctls_updown32", "", IDC_FILTR_SPIN, 149, 138, 9, 14, UDS_ARROWKEYS},
    {"Button", "Noise Variance", IDC_FILTR_VARIANCE_GROUP, 183, 125, 118, 35, BS_GROUPBOX | WS_DISABLED},
    {"Edit", "", IDC_FILTR_VARIANCE, 192, 138, 100, 14,
     ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED},
    {"Button", "Help", IDC_FILTR_HELP, 126, 164, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Execute", IDOK, 196, 164, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 251, 164, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_NOISE_FILTER, "Noise Filtering", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
     "MS Sans Serif", 8, 0, 0, 307, 186, kNoiseFilterControls},
};

constexpr platform::ModuleResources kResources{.module = "kernova", .strings = kStrings, .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

CString LoadKernovaText(UINT id)
{
    return kRegistration.Text(id);
}
