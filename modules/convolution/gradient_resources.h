#pragma once

// Ids of the derivation tool's resources: its dialog template, controls, pictures and texts.

#include "platform/types.h"
#include "platform/window/messages.h"

constexpr UINT IDD_CALC_GRADIENT = 830;
/// Seven 68 x 17 pictures of the kinds' formulas, for the list.
constexpr UINT IDB_GRADIENT_KINDS = 839;
/// Seven 68 x 17 pictures on grey RGB(192,192,192): |grad F|, arg grad F, dF/dx, dF/dy,
/// -dF/dx, -dF/dy, dF/dn, for the component buttons and the direction picture.
constexpr UINT IDB_GRADIENT_PARTS = 840;
constexpr int kGradientPictureWidth = 68;
constexpr int kGradientPictureHeight = 17;

constexpr int IDC_GRAD_ANGLE = 8061;
constexpr int IDC_GRAD_SLIDER = 8128;
constexpr int IDC_GRAD_LABEL_270 = 8129;
constexpr int IDC_GRAD_LABEL_180 = 8131;
constexpr int IDC_GRAD_LABEL_90 = 8133;
constexpr int IDC_GRAD_LABEL_0 = 8135;
constexpr int IDC_GRAD_INPUT = 8147;
constexpr int IDC_GRAD_OUTPUT = 8149;
constexpr int IDC_GRAD_PREVIEW = 8151;
constexpr int IDC_GRAD_HELP = 8153;
constexpr int IDC_GRAD_MODULUS = 8159;
constexpr int IDC_GRAD_ARGUMENT = 8161;
constexpr int IDC_GRAD_DX = 8164;
constexpr int IDC_GRAD_DY = 8166;
constexpr int IDC_GRAD_DIRECTION = 8168;
constexpr int IDC_GRAD_KINDS = 8183;

/// The derivation preview's answer.
constexpr UINT WM_GRADIENT_PREVIEW = WM_USER + 802;

enum : UINT {
    IDS_GRAD_HELP_PAGE = 8300,            ///< "Processing_Differential.htm"
    IDS_GRAD_NO_OUTPUT = 8301,            ///< "Enter an output file name !"
    IDS_GRAD_PREVIEW_LOAD_FAILED = 8302,  ///< "Error loading preview information !"
    IDS_GRAD_PREVIEW_TEMP_FAILED = 8303,
    IDS_GRAD_PREVIEW_STATS_FAILED = 8304,
    IDS_GRAD_PREVIEW_FAILED = 8305,  ///< "Error calculation preview !"
    IDS_GRAD_KIND_FIRST = 8310,      ///< the list texts of kinds 0 to 6
};
