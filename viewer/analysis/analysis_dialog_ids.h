#pragma once

// Ids of the properties, selection, new file, logical coordinates and trimming dialogs:
// their templates, controls and texts (kept in analysis_dialog_resources.cpp).

#include "platform/types.h"

inline constexpr UINT IDD_PROPERTIES = 210;
inline constexpr UINT IDD_NEW_FILE = 213;
inline constexpr UINT IDD_REPLACE_VALUE = 221;
inline constexpr UINT IDD_RECT_SELECTION = 222;
inline constexpr UINT IDD_LOGICAL_COORDS = 236;
inline constexpr UINT IDD_HIST_TRIM = 260;
inline constexpr UINT IDR_HIST_TRIM_BAR = 273;

// Properties
inline constexpr int IDC_PROP_OBJECT = 2103;
inline constexpr int IDC_PROP_LIST = 2104;

// Rectangular selection
inline constexpr int IDC_SEL_HEIGHT = 4517;
inline constexpr int IDC_SEL_LEFT_BOTTOM = 2136;
inline constexpr int IDC_SEL_LEFT_TOP = 2134;
inline constexpr int IDC_SEL_PERIMETER = 2142;
inline constexpr int IDC_SEL_RIGHT_BOTTOM = 2132;
inline constexpr int IDC_SEL_RIGHT_TOP = 2131;
inline constexpr int IDC_SEL_SQUARE = 2144;
inline constexpr int IDC_SEL_WIDTH = 4503;
inline constexpr int IDC_SEL_LOGICAL = 2135;
inline constexpr int IDC_SEL_FILE = 2133;

// New file
inline constexpr int IDC_NEW_TYPE = 3043;
inline constexpr int IDC_NEW_HEIGHT = 4517;
inline constexpr int IDC_NEW_WIDTH = 4503;

// Logical coordinates
inline constexpr int IDC_LC_X_TO = 2014;
inline constexpr int IDC_LC_Y_TO = 2018;
inline constexpr int IDC_LC_X_FROM = 2015;
inline constexpr int IDC_LC_Y_FROM = 2016;
inline constexpr int IDC_LC_DEFAULT = 2033;
inline constexpr int IDC_LC_APPLY = 2031;

// Histogram trimming
inline constexpr int IDC_TRIM_METHOD = 2085;
inline constexpr int IDC_TRIM_CTRL = 2087;
inline constexpr int IDC_TRIM_LOW = 2088;
inline constexpr int IDC_TRIM_HIGH = 2089;
inline constexpr UINT ID_TRIM_RED = 34153;
inline constexpr UINT ID_TRIM_GREEN = 34154;
inline constexpr UINT ID_TRIM_BLUE = 34155;

// Replace
inline constexpr int IDC_REPLACE_FIND = 2127;
inline constexpr int IDC_REPLACE_WITH = 2128;
inline constexpr int IDC_REPLACE_APPROXIMATE = 2136;
inline constexpr int IDC_REPLACE_FORWARD = 2125;
inline constexpr int IDC_REPLACE_BACKWARD = 2126;
inline constexpr int IDC_REPLACE_FIND_NEXT = 2091;
inline constexpr int IDC_REPLACE_ONE = 2090;
inline constexpr int IDC_REPLACE_ALL = 2129;

// Texts
inline constexpr UINT IDS_SETTINGS_VIEWER = 34194;    ///< "\Settings\Viewer"
inline constexpr UINT IDS_PROP_COLUMN_NAME = 34240;   ///< "Property"
inline constexpr UINT IDS_PROP_COLUMN_VALUE = 34241;  ///< "Value"
inline constexpr UINT IDS_COORDS_INVALID = 34249;     ///< "Input coordinates are invalid."
inline constexpr UINT IDS_SELECTIONS_KEY = 34280;     ///< "\Selections"
inline constexpr UINT IDS_VALUE_NOT_FOUND = 34281;    ///< "Value not found."
inline constexpr UINT IDS_ITEMS_REPLACED = 34282;     ///< "%d items have replaced."
inline constexpr UINT IDS_ZERO_FILE_SIZE = 34284;     ///< "File size can't be zero values."
inline constexpr UINT IDS_MEASURE = 34285;            ///< "Measure"
