#include "modules/interferometry/fringe_resources.h"

#include "outside/splash/splash.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/spin_button_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"

namespace {

constexpr platform::StringEntry kStrings[] = {
    {IDS_SPECTRUM_ANALYSIS, "Spectrum Analysis"},
    {IDS_COHERENCE, "Coherence calculation"},
    {IDS_PHASE_FILTRATION, "Phase filtration"},
    {IDS_SPECTRUM_ERROR, "Spectrum Analysis:Error"},
    {IDS_COHERENCE_ERROR, "Coherence calculation: Error"},
    {IDS_PHASE_FILTR_ERROR, "Phase filtration: Error"},
    {IDS_HELP_SPECTRUM, "Analysis_spectrum.htm"},
    {IDS_HELP_COHERENCE, "Processing_coherence.HTM"},
    {IDS_HELP_PHASE_FILTR, "Processing_phase_filtr.HTM"},
    {IDS_NEED_INPUT, "It is necessary to select an input file name"},
    {IDS_NEED_INPUTS, "It is necessary to select input file names"},
    {IDS_NEED_OUTPUT, "It is necessary to select an output file name"},
    {IDS_BAD_INPUT_TYPE, "Invalid  input file type\n"},
    {IDS_NOT_A_SPECTRUM, "The input file does not contain the spectrum"},
    {IDS_SIZES_DIFFER, "Input files differ in size"},
    {IDS_TYPES_DIFFER, "Input files have different data types"},
    {IDS_BAD_RANGE, "Range of values is invalid for this processing method"},
    {IDS_INPUT_CORRUPT, "One of the input files is corrupt"},
    {IDS_PREPARING_DATA, "Preparing data ..."},
    {IDS_CANT_OPEN, "Can't open file: \r\n %s"},
    {IDS_CANT_CREATE, "Can't create file: \r\n %s"},
    {IDS_CALCULATING_COHERENCE, "Calculating coherence..."},
    {IDS_FILTERING_PHASE, "Filtering phase ..."},
    {IDS_SPECTRUM_SHIFT, "Spectr shift..."},
    {IDS_HELP_COMPLEX, "Utils_Processing_complex_Data.HTM"},
    {IDS_TASK_CREATE, "Creating output file."},
    {IDS_TASK_STATISTICS, "Count statisticses."},
    {IDS_IMAGE_RESTORE, "Image restore"},
    {IDS_DERIVATION_X, "Derivation in X direction"},
    {IDS_OPERATION_ADD, "Add"},
    {IDS_OPERATION_ADD + 1, "Substract"},
    {IDS_OPERATION_ADD + 2, "Multiply"},
    {IDS_OPERATION_ADD + 3, "Divide"},
    {IDS_OPERATION_ADD + 4, "Conjugate multiply"},
};

constexpr DWORD kToolStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kPicker = SS_LEFT;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kDefault = BS_DEFPUSHBUTTON | WS_TABSTOP;

constexpr platform::DialogControl kComplexOperationControls[] = {
    {"Button", "First input", -1, 6, 3, 180, 48, BS_GROUPBOX},
    {"Static", "", IDC_FIRST_INPUT, 10, 13, 171, 35, kPicker},
    {"Button", "Second input", -1, 6, 53, 180, 48, BS_GROUPBOX},
    {"Static", "", IDC_SECOND_INPUT, 10, 63, 171, 35, kPicker},
    {"Button", "Output file", -1, 6, 103, 180, 38, BS_GROUPBOX},
    {"Static", "", IDC_TWO_INPUT_OUTPUT, 10, 113, 171, 25, kPicker},
    {"Button", "Operation", -1, 6, 143, 180, 32, BS_GROUPBOX},
    {"ComboBox", "", IDC_OPERATION_LIST, 12, 155, 168, 70, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {"Button", "Help", IDC_TWO_INPUT_HELP, 6, 181, 54, 14, kPush},
    {"Button", "Execute", IDOK, 72, 181, 54, 14, kDefault},
    {"Button", "Close", IDCANCEL, 132, 181, 54, 14, kPush},
};

constexpr platform::DialogControl kCoherControls[] = {
    {"Button", "First File", -1, 6, 3, 180, 48, BS_GROUPBOX},
    {"Static", "", IDC_FIRST_INPUT, 10, 13, 171, 35, kPicker},
    {"Button", "Second File", -1, 6, 53, 180, 48, BS_GROUPBOX},
    {"Static", "", IDC_SECOND_INPUT, 10, 63, 171, 35, kPicker},
    {"Button", "Output File", -1, 6, 103, 180, 38, BS_GROUPBOX},
    {"Static", "", IDC_TWO_INPUT_OUTPUT, 10, 113, 171, 25, kPicker},
    {"Button", "Window size", -1, 6, 143, 180, 32, BS_GROUPBOX},
    {"Static", "3x3", IDC_COHER_SIZE_TEXT, 70, 156, 36, 14, SS_CENTER | SS_SUNKEN},
    {"msctls_updown32", "", IDC_COHER_SPIN, 108, 156, 10, 14, UDS_ARROWKEYS},
    {"Button", "Help", IDC_TWO_INPUT_HELP, 6, 181, 54, 14, kPush},
    {"Button", "Execute", IDOK, 72, 181, 54, 14, kDefault},
    {"Button", "Close", IDCANCEL, 132, 181, 54, 14, kPush},
};

constexpr platform::DialogControl kPhaseFiltrControls[] = {
    {"Button", "input", -1, 6, 3, 180, 48, BS_GROUPBOX},
    {"Static", "", IDC_PHFILTR_INPUT, 10, 13, 171, 35, kPicker},
    {"Button", "output", -1, 6, 53, 180, 38, BS_GROUPBOX},
    {"Static", "", IDC_PHFILTR_OUTPUT, 10, 63, 171, 25, kPicker},
    {"Button", "Window size", -1, 6, 93, 180, 32, BS_GROUPBOX},
    {"Static", "3x3", IDC_PHFILTR_SIZE_TEXT, 70, 106, 36, 14, SS_CENTER | SS_SUNKEN},
    {"msctls_updown32", "", IDC_PHFILTR_SPIN, 108, 106, 10, 14, UDS_ARROWKEYS},
    {"Button", "Help", IDC_PHFILTR_HELP, 6, 131, 54, 14, kPush},
    {"Button", "Execute", IDOK, 72, 131, 54, 14, kDefault},
    {"Button", "Close", IDCANCEL, 132, 131, 54, 14, kPush},
};

constexpr platform::DialogControl kPhaseUnwrapControls[] = {
    {"Edit", "", IDC_UNWRAP_INPUT, 6, 8, 150, 13, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Button", "Input", IDC_UNWRAP_INPUT_BROWSE, 160, 7, 40, 14, kPush},
    {"Static", "", IDC_UNWRAP_INPUT_INFO, 6, 24, 194, 10, SS_LEFT},
    {"Button", "Маска", IDC_UNWRAP_USE_MASK, 6, 38, 80, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {"Edit", "", IDC_UNWRAP_MASK, 6, 51, 150, 13, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED},
    {"Button", "...", IDC_UNWRAP_MASK_BROWSE, 160, 50, 40, 14, kPush | WS_DISABLED},
    {"Static", "", IDC_UNWRAP_MASK_INFO, 6, 67, 194, 10, SS_LEFT | WS_DISABLED},
    {"Button", "Maximum iteration quantity", IDC_UNWRAP_ITERATIONS_GROUP, 6, 80, 194, 30,
     BS_GROUPBOX | WS_DISABLED},
    {"Edit", "", IDC_UNWRAP_ITERATIONS, 12, 92, 60, 13,
     ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER | WS_TABSTOP | WS_DISABLED},
    {"Edit", "", IDC_UNWRAP_OUTPUT, 6, 117, 150, 13, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Button", "Output", IDC_UNWRAP_OUTPUT_BROWSE, 160, 116, 40, 14, kPush},
    {"Button", "Help", IDC_UNWRAP_HELP, 6, 138, 60, 14, kPush},
    {"Button", "Execute", IDOK, 73, 138, 60, 14, kDefault},
    {"Button", "Close", IDCANCEL, 140, 138, 60, 14, kPush},
};

constexpr platform::DialogControl kFftControls[] = {
    {"Button", "Input", -1, 6, 3, 180, 48, BS_GROUPBOX},
    {"Static", "", IDC_SPECTR_INPUT, 10, 13, 171, 35, kPicker},
    {"Button", "Output", -1, 6, 53, 180, 38, BS_GROUPBOX},
    {"Static", "", IDC_SPECTR_OUTPUT, 10, 63, 171, 25, kPicker},
    {"Button", "Mode", -1, 6, 93, 180, 58, BS_GROUPBOX},
    {"Button", "Calculate the spectrum", IDC_SPECTR_MODE_SPECTRUM, 12, 104, 160, 10,
     BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "Restore the image from spectrum", IDC_SPECTR_MODE_RESTORE, 12, 118, 160, 10,
     BS_AUTORADIOBUTTON},
    {"Button", "Spectrum shift", IDC_SPECTR_SHIFT, 12, 135, 160, 10, BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP},
    {"Button", "Help", IDC_SPECTR_HELP, 6, 157, 54, 14, kPush},
    {"Button", "Execute", IDOK, 72, 157, 54, 14, kDefault},
    {"Button", "Close", IDCANCEL, 132, 157, 54, 14, kPush},
};

constexpr platform::DialogControl kDiffControls[] = {
    {"Button", "Input", -1, 6, 3, 180, 48, BS_GROUPBOX},
    {"Static", "", IDC_SPECTR_INPUT, 10, 13, 171, 35, kPicker},
    {"Button", "output", -1, 6, 53, 180, 38, BS_GROUPBOX},
    {"Static", "", IDC_SPECTR_OUTPUT, 10, 63, 171, 25, kPicker},
    {"Button", "Execute", IDOK, 72, 97, 54, 14, kDefault},
    {"Button", "Close", IDCANCEL, 132, 97, 54, 14, kPush},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_DIFF, "Derivation", kToolStyle, 0, "MS Sans Serif", 8, 0, 0, 192, 117, kDiffControls},
    {IDD_PHASE_FILTR, "Phase filtration", kToolStyle, 0, "MS Sans Serif", 8, 0, 0, 192, 151,
     kPhaseFiltrControls},
    {IDD_COHER, "Coherence calculation", kToolStyle, 0, "MS Sans Serif", 8, 0, 0, 192, 201, kCoherControls},
    {IDD_PHASE_UNWRAP, "Phase unwrapping", kToolStyle, 0, "MS Sans Serif", 8, 0, 0, 206, 158,
     kPhaseUnwrapControls},
    {IDD_FFT, "Spectrum Analysis", kToolStyle, 0, "MS Sans Serif", 8, 0, 0, 192, 177, kFftControls},
    {IDD_COMPLEX_OPERATION, "Complex operations", kToolStyle, 0, "MS Sans Serif", 8, 0, 0, 192, 201,
     kComplexOperationControls},
};

// The splash hears of the module before its resources join the chain, as the library
// loads; both happen once, in this order, because they are initialised in this file.
[[maybe_unused]] const bool kSplashTold = AnnounceFringeModule();

constexpr platform::ModuleResources kResources{.module = "fringe2", .strings = kStrings, .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

bool AnnounceFringeModule()
{
    return SendSplashText("Second Interferometric Module Initializing...", 1);
}

CString LoadFringeText(UINT id)
{
    return kRegistration.Text(id);
}
