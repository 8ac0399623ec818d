#pragma once

// Resources of the statistics dialog, the value grid pane and the data information dialog:
// their templates, texts, tab images and the Histogram button's icon. They join the
// resource chain beside the viewer's own record when the library loads.

#include "platform/types.h"

/// Dialog templates.
inline constexpr UINT IDD_STATISTICS = 242;
inline constexpr UINT IDD_DATA_INFO = 232;
/// Tab images: a spare first image, then red, green and blue marks.
inline constexpr UINT IDB_CHANNEL_TABS = 262;
/// Complex component images: Re, Im, A, phi.
inline constexpr UINT IDB_COMPLEX_TABS = 267;
/// The Histogram button's icon.
inline constexpr UINT IDI_HISTOGRAM_BUTTON = 229;

/// Texts.
inline constexpr UINT IDS_CHANNEL_RED = 34077;
inline constexpr UINT IDS_CHANNEL_GREEN = 34078;
inline constexpr UINT IDS_CHANNEL_BLUE = 34079;
inline constexpr UINT IDS_COMPUTING_STATISTICS = 34181;
inline constexpr UINT IDS_ABOUT_ORIGIN = 34290;
inline constexpr UINT IDS_ABOUT_MEAN = 34291;
inline constexpr UINT IDS_COLUMN_COMPONENT = 34292;
inline constexpr UINT IDS_COLUMN_MIN = 34293;
inline constexpr UINT IDS_COLUMN_MAX = 34294;
inline constexpr UINT IDS_COLUMN_MEAN = 34295;
inline constexpr UINT IDS_COLUMN_STDDEV = 34296;
inline constexpr UINT IDS_COPY_TOO_LARGE = 34297;

/// Controls of the statistics dialog.
inline constexpr int IDC_CHANNEL_TAB = 2121;
inline constexpr int IDC_COMPLEX_TAB = 2065;
inline constexpr int IDC_MIN_LABEL = 2122;
inline constexpr int IDC_MIN = 2052;
inline constexpr int IDC_MAX = 2057;
inline constexpr int IDC_HISTOGRAM = 2090;
inline constexpr int IDC_GRID_PLACE = 2116;
inline constexpr int IDC_SKEWNESS = 2059;
inline constexpr int IDC_KURTOSIS = 2062;
inline constexpr int IDC_GRID = 280;

/// Controls of the data information dialog.
inline constexpr int IDC_INFO_TABS = 2066;
inline constexpr int IDC_INFO_SIZE_LABEL = 2117;
inline constexpr int IDC_INFO_SIZE = 2008;
inline constexpr int IDC_INFO_TYPE = 2009;
inline constexpr int IDC_INFO_RANGE_LABEL = 2118;
inline constexpr int IDC_INFO_X_FROM = 2015;
inline constexpr int IDC_INFO_X_TO = 2014;
inline constexpr int IDC_INFO_Y_FROM = 2016;
inline constexpr int IDC_INFO_Y_TO = 2018;
inline constexpr int IDC_INFO_PROGRESS = 2110;

/// The library's handle for these resources.
HINSTANCE StatsGridInstance();
