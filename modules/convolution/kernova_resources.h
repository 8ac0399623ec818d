#pragma once

// Ids of the convolution module's resources: the noise filter's dialog template, its
// controls and texts.

#include "platform/cstring.h"
#include "platform/types.h"
#include "platform/window/messages.h"
#include "platform/window/modal.h"

constexpr UINT IDD_NOISE_FILTER = 825;

constexpr int IDC_FILTR_INPUT_GROUP = 8046;
constexpr int IDC_FILTR_OUTPUT_GROUP = 8047;
constexpr int IDC_FILTR_OUTPUT = 8048;
constexpr int IDC_FILTR_COMBO = 8068;
constexpr int IDC_FILTR_VARIANCE = 8069;
constexpr int IDC_FILTR_INPUT = 8070;
constexpr int IDC_FILTR_VARIANCE_GROUP = 8071;
constexpr int IDC_FILTR_SPIN = 8072;
constexpr int IDC_FILTR_SIZE_TEXT = 8073;
constexpr int IDC_FILTR_HELP = 8074;
constexpr int IDC_FILTR_PREVIEW = 8121;

/// The noise filter's preview answer.
constexpr UINT WM_FILTR_PREVIEW = WM_USER + 800;

enum : UINT {
    IDS_FILTR_CAPTION = 8250,      ///< "Filtering...": box caption, job title, filtering phase
    IDS_FILTR_TASK_CREATE = 8251,  ///< "Creating output file"
    IDS_FILTR_TASK_STATS = 8252,   ///< "Count statisticses."
    IDS_FILTR_PREPARING = 8253,    ///< "Data preparing..."
    IDS_FILTR_WINDOW_TOO_LARGE = 8254,
    IDS_FILTR_CREATE_FAILED = 8255,  ///< "Error creating output file  !"
    IDS_FILTR_OPEN_FAILED = 8256,    ///< "%s" is the input path
    IDS_FILTR_HELP_PAGE = 8257,
    IDS_FILTR_BAD_VARIANCE = 8258,
    IDS_FILTR_BAD_PARAMETERS = 8259,
    IDS_FILTR_MEAN = 8260,  ///< then Median, Lee, Frost, Kuan, Sigma

    IDS_CONV_CAPTION = 8270,      ///< "Convolution with mask": box caption
    IDS_CONV_OPEN_FAILED = 8271,  ///< "Can't open input file !"
    IDS_CONV_MASK_TOO_LARGE = 8272,
    IDS_CONV_MASK_EVEN = 8273,
    IDS_CONV_MASK_LOAD_FAILED = 8274,  ///< "Error loading mask file !"

    IDS_DERIV_CAPTION = 8280,        ///< "Differentiation": box caption, progress text
    IDS_DERIV_NOT_DERIVABLE = 8281,  ///< a complex input or one smaller than 3 x 3
    IDS_DERIV_TASK_GRADIENT = 8282,  ///< then the task texts of kinds 1 to 6
    IDS_DERIV_UNKNOWN_KIND = 8289,
};

/// A text of the module.
CString LoadKernovaText(UINT id);
