#pragma once

// Ids of the texture module's resources: the dialog template "Texture Analysis", its
// controls and the module's texts.

#include "platform/cstring.h"
#include "platform/types.h"
#include "platform/window/messages.h"

constexpr UINT IDD_TEXTURE = 710;

constexpr int IDC_TEXTURE_COMBO_TYPE = 7019;  ///< statistic list
constexpr int IDC_TEXTURE_LABEL_TYPE = 7023;
constexpr int IDC_TEXTURE_SIZE_GROUP = 7024;
constexpr int IDC_TEXTURE_COMBO_ORDER = 7028;  ///< "1-D" / "2-D"
constexpr int IDC_TEXTURE_EDIT_DIST = 7030;
constexpr int IDC_TEXTURE_LABEL_DIST = 7032;
constexpr int IDC_TEXTURE_LABEL_ANGLE = 7033;
constexpr int IDC_TEXTURE_SPIN = 7040;
constexpr int IDC_TEXTURE_SIZE_TEXT = 7041;
constexpr int IDC_TEXTURE_COMBO_ANGLE = 7050;  ///< direction list
constexpr int IDC_TEXTURE_HELP = 7077;
constexpr int IDC_TEXTURE_CHECK_TRIM = 7078;
constexpr int IDC_TEXTURE_OUTPUT = 7079;
constexpr int IDC_TEXTURE_INPUT = 7080;
constexpr int IDC_TEXTURE_PREVIEW = 7083;

/// The preview thread's answer: wParam 1, lParam the record.
constexpr UINT WM_TEXTUREPREVIEW = WM_USER + 701;

enum : UINT {
    IDS_TEXTURE_ENTROPY = 701,
    IDS_TEXTURE_MEAN = 702,
    IDS_TEXTURE_STDDEV = 703,
    IDS_TEXTURE_ENERGY = 704,
    IDS_TEXTURE_SKEWNESS = 705,
    IDS_TEXTURE_KURTOSIS = 706,
    IDS_TEXTURE_ABSOLUTE = 707,
    IDS_TEXTURE_CONTRAST = 708,
    IDS_TEXTURE_MAXPROB = 709,
    IDS_TEXTURE_TITLE = 710,  ///< "Texture Analisis": the job title's text
    IDS_TEXTURE_NO_INPUT = 711,
    IDS_TEXTURE_NO_OUTPUT = 712,
    IDS_TEXTURE_BAD_DISTANCE = 713,
    IDS_TEXTURE_BAD_TYPE = 714,
    IDS_TEXTURE_FIRST_TEXT = 715,   ///< progress text of the first-order job
    IDS_TEXTURE_SECOND_TEXT = 716,  ///< progress text of the co-occurrence job
    IDS_TEXTURE_HELP_PAGE = 718,
    IDS_TEXTURE_ERROR_CAPTION = 719,
    IDS_TEXTURE_OPEN_FAILED = 720,    ///< followed by the input path
    IDS_TEXTURE_CREATE_FAILED = 721,  ///< followed by the output path
    IDS_TEXTURE_CORRELATION = 722,
    IDS_TEXTURE_HOMOGENEITY = 723,
    IDS_TEXTURE_SELECT_INPUT = 724,
    IDS_TEXTURE_TASK_CREATE = 7083,
    IDS_TEXTURE_TASK_PREPARE = 7084,
    IDS_TEXTURE_TASK_STATS = 7085,
};

/// A text of the module.
CString LoadTextureText(UINT id);

/// The list text of statistic `index` of a dimensionality (0 "1-D", 1 "2-D"); "" outside the lists.
CString TextureStatisticName(int dimensionality, int index);
/// Statistics in the list of a dimensionality.
int TextureStatisticCount(int dimensionality);
