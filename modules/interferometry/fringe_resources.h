#pragma once

// Ids of the interferometry module's resources: the six tool dialogs, their controls and
// the module's texts. The module's range is 600..699 for templates and texts and
// 6000..6099 for controls.

#include "platform/cstring.h"
#include "platform/types.h"

// ---- dialog templates ----
constexpr UINT IDD_DIFF = 600;               ///< "Derivation"
constexpr UINT IDD_PHASE_FILTR = 601;        ///< "Phase filtration"
constexpr UINT IDD_COHER = 602;              ///< "Coherence calculation"
constexpr UINT IDD_PHASE_UNWRAP = 603;       ///< "Phase unwrapping"
constexpr UINT IDD_FFT = 604;                ///< "Spectrum Analysis"
constexpr UINT IDD_COMPLEX_OPERATION = 608;  ///< "Complex operations"

// ---- controls ----
// Complex operations and coherence.
constexpr int IDC_FIRST_INPUT = 6000;
constexpr int IDC_SECOND_INPUT = 6001;
constexpr int IDC_TWO_INPUT_OUTPUT = 6002;
constexpr int IDC_OPERATION_LIST = 6007;  ///< complex operations: Add .. Conjugate multiply
constexpr int IDC_COHER_SPIN = 6014;
constexpr int IDC_COHER_SIZE_TEXT = 6038;
/// The last position of the coherence and phase filter spins: windows 3x3 .. 17x17.
constexpr int kFringeSpinLast = 7;
constexpr int IDC_TWO_INPUT_HELP = 6052;  ///< Help of complex operations and coherence
// Phase filter.
constexpr int IDC_PHFILTR_OUTPUT = 6003;
constexpr int IDC_PHFILTR_INPUT = 6004;
constexpr int IDC_PHFILTR_SIZE_TEXT = 6065;
constexpr int IDC_PHFILTR_SPIN = 6066;
constexpr int IDC_PHFILTR_HELP = 6075;
// Phase unwrapping.
constexpr int IDC_UNWRAP_INPUT = 6009;
constexpr int IDC_UNWRAP_OUTPUT = 6010;
constexpr int IDC_UNWRAP_INPUT_BROWSE = 6011;
constexpr int IDC_UNWRAP_OUTPUT_BROWSE = 6012;
constexpr int IDC_UNWRAP_INPUT_INFO = 6013;
constexpr int IDC_UNWRAP_MASK = 6040;
constexpr int IDC_UNWRAP_MASK_BROWSE = 6041;
constexpr int IDC_UNWRAP_MASK_INFO = 6042;
constexpr int IDC_UNWRAP_USE_MASK = 6046;
constexpr int IDC_UNWRAP_ITERATIONS = 6047;
constexpr int IDC_UNWRAP_ITERATIONS_GROUP = 6048;
constexpr int IDC_UNWRAP_HELP = 6053;
// Spectrum and derivative.
constexpr int IDC_SPECTR_OUTPUT = 6056;
constexpr int IDC_SPECTR_MODE_SPECTRUM = 6057;  ///< radio: mode 0
constexpr int IDC_SPECTR_MODE_RESTORE = 6058;   ///< radio: mode 1
constexpr int IDC_SPECTR_INPUT = 6059;
constexpr int IDC_SPECTR_HELP = 6079;
constexpr int IDC_SPECTR_SHIFT = 6081;

// ---- texts ----
enum : UINT {
    IDS_SPECTRUM_ANALYSIS = 611,      ///< "Spectrum Analysis": title text of spectrum and derivative
    IDS_COHERENCE = 612,              ///< "Coherence calculation"
    IDS_PHASE_FILTRATION = 613,       ///< "Phase filtration"
    IDS_SPECTRUM_ERROR = 614,         ///< "Spectrum Analysis:Error"
    IDS_COHERENCE_ERROR = 615,        ///< "Coherence calculation: Error"
    IDS_PHASE_FILTR_ERROR = 616,      ///< "Phase filtration: Error"
    IDS_HELP_SPECTRUM = 617,          ///< "Analysis_spectrum.htm"
    IDS_HELP_COHERENCE = 618,         ///< "Processing_coherence.HTM"
    IDS_HELP_PHASE_FILTR = 619,       ///< "Processing_phase_filtr.HTM"
    IDS_NEED_INPUT = 620,             ///< "It is necessary to select an input file name"
    IDS_NEED_INPUTS = 621,            ///< "It is necessary to select input file names"
    IDS_NEED_OUTPUT = 622,            ///< "It is necessary to select an output file name"
    IDS_BAD_INPUT_TYPE = 623,         ///< "Invalid  input file type\n"
    IDS_NOT_A_SPECTRUM = 624,         ///< "The input file does not contain the spectrum"
    IDS_SIZES_DIFFER = 625,           ///< "Input files differ in size"
    IDS_TYPES_DIFFER = 626,           ///< "Input files have different data types"
    IDS_BAD_RANGE = 627,              ///< "Range of values is invalid for this processing method"
    IDS_INPUT_CORRUPT = 628,          ///< "One of the input files is corrupt"
    IDS_PREPARING_DATA = 629,         ///< "Preparing data ..."
    IDS_CANT_OPEN = 630,              ///< "Can't open file: \r\n %s"
    IDS_CANT_CREATE = 631,            ///< "Can't create file: \r\n %s"
    IDS_CALCULATING_COHERENCE = 632,  ///< "Calculating coherence..."
    IDS_FILTERING_PHASE = 634,        ///< "Filtering phase ..."
    IDS_SPECTRUM_SHIFT = 637,         ///< "Spectr shift..."
    IDS_HELP_COMPLEX = 638,           ///< "Utils_Processing_complex_Data.HTM"
    IDS_TASK_CREATE = 639,            ///< "Creating output file."
    IDS_TASK_STATISTICS = 640,        ///< "Count statisticses."
    IDS_IMAGE_RESTORE = 641,          ///< "Image restore"
    IDS_DERIVATION_X = 642,           ///< "Derivation in X direction"
    IDS_OPERATION_ADD = 650,          ///< then Substract, Multiply, Divide, Conjugate multiply
};

/// A text of the module ("" for an unknown id).
CString LoadFringeText(UINT id);

/// Sends the module's start-up text to the splash window (when one exists); true when sent.
/// Loading the library does this once, before its resources join the chain.
bool AnnounceFringeModule();
