#include "modules/texture/texture_resources.h"

#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"

namespace {

constexpr platform::StringEntry kStrings[] = {
    {IDS_TEXTURE_ENTROPY, "Entropy"},
    {IDS_TEXTURE_MEAN, "Mean"},
    {IDS_TEXTURE_STDDEV, "Std. Dev."},
    {IDS_TEXTURE_ENERGY, "Energy"},
    {IDS_TEXTURE_SKEWNESS, "Skewness"},
    {IDS_TEXTURE_KURTOSIS, "Kurtosis"},
    {IDS_TEXTURE_ABSOLUTE, "Absolute Value"},
    {IDS_TEXTURE_CONTRAST, "Contrast"},
    {IDS_TEXTURE_MAXPROB, "Max. Probability"},
    {IDS_TEXTURE_TITLE, "Texture Analisis"},
    {IDS_TEXTURE_NO_INPUT, "It is necessary to select input file name"},
    {IDS_TEXTURE_NO_OUTPUT, "It is necessary to select output file name"},
    {IDS_TEXTURE_BAD_DISTANCE, "The distance exceeds the maximum for this window size."},
    {IDS_TEXTURE_BAD_TYPE, "Incorrect type of input file"},
    {IDS_TEXTURE_FIRST_TEXT, "Analisis texture by one-dimensional histogram...."},
    {IDS_TEXTURE_SECOND_TEXT, "Analisis texture by co-occurrence matrix...."},
    {IDS_TEXTURE_HELP_PAGE, "Analysis_texture.HTM"},
    {IDS_TEXTURE_ERROR_CAPTION, "Texture Analisis: Error"},
    {IDS_TEXTURE_OPEN_FAILED, "Can't open file: \r\n "},
    {IDS_TEXTURE_CREATE_FAILED, "Can't create file: \r\n "},
    {IDS_TEXTURE_CORRELATION, "Correlation"},
    {IDS_TEXTURE_HOMOGENEITY, "Homogeneity"},
    {IDS_TEXTURE_SELECT_INPUT, "\n\n\nSelect input\nfile"},
    {IDS_TEXTURE_TASK_CREATE, "Creating output file"},
    {IDS_TEXTURE_TASK_PREPARE, "Data preparing..."},
    {IDS_TEXTURE_TASK_STATS, "Count statisticses."},
};

constexpr platform::DialogControl kTextureControls[] = {
    {"Button", "Input File", -1, 6, 3, 169, 50, BS_GROUPBOX},
    {"Static", "", IDC_TEXTURE_INPUT, 10, 13, 160, 35, SS_LEFT},
    {"Button", "Output File", -1, 6, 56, 169, 50, BS_GROUPBOX},
    {"Static", "", IDC_TEXTURE_OUTPUT, 10, 67, 160, 35, SS_LEFT},
    {"Static", "", IDC_TEXTURE_PREVIEW, 183, 7, 117, 116, SS_LEFT | SS_SUNKEN},
    {"Button", "Pre-trimming of histogram", IDC_TEXTURE_CHECK_TRIM, 10, 111, 160, 10,
     BS_AUTOCHECKBOX | WS_TABSTOP},
    {"Static", "Historam dimensionality", -1, 10, 128, 86, 8, SS_LEFT},
    {"ComboBox", "", IDC_TEXTURE_COMBO_ORDER, 100, 126, 75, 40, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {"Static", "Type of Statistics", IDC_TEXTURE_LABEL_TYPE, 10, 144, 86, 8, SS_LEFT},
    {"ComboBox", "", IDC_TEXTURE_COMBO_TYPE, 100, 142, 75, 90, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {"Static", "Direction", IDC_TEXTURE_LABEL_ANGLE, 10, 160, 86, 8, SS_LEFT | WS_DISABLED},
    {"ComboBox", "", IDC_TEXTURE_COMBO_ANGLE, 100, 158, 75, 60,
     CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_DISABLED},
    {"Static", "Distance", IDC_TEXTURE_LABEL_DIST, 10, 176, 86, 8, SS_LEFT | WS_DISABLED},
    {"Edit", "1", IDC_TEXTURE_EDIT_DIST, 100, 174, 75, 12,
     ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED},
    {"Button", "Window Size", IDC_TEXTURE_SIZE_GROUP, 183, 128, 117, 32, BS_GROUPBOX},
    {"Static", "3x3", IDC_TEXTURE_SIZE_TEXT, 214, 142, 40, 12, SS_CENTER | SS_SUNKEN},
    {"msctls_updown32", "", IDC_TEXTURE_SPIN, 256, 142, 9, 12, UDS_ARROWKEYS},
    {"Button", "Help", IDC_TEXTURE_HELP, 140, 194, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Execute", IDOK, 195, 194, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 250, 194, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_TEXTURE, "Texture Analysis", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, "MS Sans Serif",
     8, 0, 0, 307, 214, kTextureControls},
};

// The texts and the template join the resource chain in one call when the module loads.
constexpr platform::ModuleResources kResources{.module = "texture", .strings = kStrings, .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

constexpr UINT kFirstOrderNames[] = {IDS_TEXTURE_MEAN,   IDS_TEXTURE_ENTROPY,  IDS_TEXTURE_STDDEV,
                                     IDS_TEXTURE_ENERGY, IDS_TEXTURE_SKEWNESS, IDS_TEXTURE_KURTOSIS};
constexpr UINT kCooccurrenceNames[] = {IDS_TEXTURE_ABSOLUTE,   IDS_TEXTURE_ENTROPY, IDS_TEXTURE_CONTRAST,
                                       IDS_TEXTURE_ENERGY,     IDS_TEXTURE_MAXPROB, IDS_TEXTURE_CORRELATION,
                                       IDS_TEXTURE_HOMOGENEITY};

}  // namespace

CString LoadTextureText(UINT id)
{
    return kRegistration.Text(id);
}

int TextureStatisticCount(int dimensionality)
{
    return dimensionality == 0 ? int(std::size(kFirstOrderNames)) : int(std::size(kCooccurrenceNames));
}

CString TextureStatisticName(int dimensionality, int index)
{
    if (index < 0 || index >= TextureStatisticCount(dimensionality)) return CString();
    return LoadTextureText(dimensionality == 0 ? kFirstOrderNames[index] : kCooccurrenceNames[index]);
}
