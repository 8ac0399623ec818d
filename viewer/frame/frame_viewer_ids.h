#pragma once

// Resource and command ids of the viewer frame, its flag words and its job codes. The
// commands that the context menus of the viewer's windows share with the frame's menus are
// the core's (viewer_resources.h).

#include "platform/types.h"
#include "viewer/core/viewer_resources.h"

// --- resources of the frame -------------------------------------------------------------------
inline constexpr UINT IDR_VIEWER_MENU = 227;  ///< the frame's menus are cut from it
inline constexpr UINT IDR_VIEWER_TOOLBAR = 230;
inline constexpr UINT IDI_VIEWER = 238;
inline constexpr UINT IDS_VIEWER_NO_FILE = 34027;  ///< "Viewer: no file"
inline constexpr UINT IDS_VIEWER_STOP_QUESTION = 34273;
inline constexpr UINT IDS_VIEWER_HELP_PAGE = 34298;  ///< "2d_viewer.htm"

/// The value grid pane's control id at creation.
inline constexpr UINT IDC_VALUE_GRID_PANE = 59904;

// --- command ids of the frame's menus and tool bar ----------------------------------------------
inline constexpr UINT ID_VIEWER_NEW = 34170;
inline constexpr UINT ID_VIEWER_OPEN = 34029;
inline constexpr UINT ID_VIEWER_OPEN_RGB = 34019;
inline constexpr UINT ID_VIEWER_SAVE = 34030;
inline constexpr UINT ID_VIEWER_SAVE_AS = 34166;
inline constexpr UINT ID_VIEWER_EXPORT_BMP = 34165;
inline constexpr UINT ID_VIEWER_CLOSE = 34047;
inline constexpr UINT ID_VIEWER_FILE_PROPERTIES = 34246;
inline constexpr UINT ID_VIEWER_COPY_WITH_GRID = 34286;
inline constexpr UINT ID_VIEWER_FIND = 34274;
inline constexpr UINT ID_VIEWER_REPLACE = 34276;
inline constexpr UINT ID_VIEWER_SHOW_IMAGE = 34041;
inline constexpr UINT ID_VIEWER_SHOW_TABLE = 34040;
inline constexpr UINT ID_VIEWER_COMPLEX_FULL = 34255;
inline constexpr UINT ID_VIEWER_COMPLEX_REAL = 34196;
inline constexpr UINT ID_VIEWER_COMPLEX_IMAGINARY = 34197;
inline constexpr UINT ID_VIEWER_COMPLEX_MODULE = 34198;
inline constexpr UINT ID_VIEWER_COMPLEX_ARGUMENT = 34199;
inline constexpr UINT ID_VIEWER_POINTER_DLG = 34145;
inline constexpr UINT ID_VIEWER_POINTER = 34049;
inline constexpr UINT ID_VIEWER_SCALE = 34173;
inline constexpr UINT ID_VIEWER_PALETTE = 34021;
inline constexpr UINT ID_VIEWER_SHOW_PALETTE = 34144;
inline constexpr UINT ID_VIEWER_COLORING = 34244;
inline constexpr UINT ID_VIEWER_BRIGHT_CONTRAST = 34012;
inline constexpr UINT ID_VIEWER_BRIGHTNESS_BUTTON = 34042;
inline constexpr UINT ID_VIEWER_HISTOGRAM = 34038;
inline constexpr UINT ID_VIEWER_HISTOGRAM_BUTTON = 34025;
inline constexpr UINT ID_VIEWER_DATA_INFO = 34158;
inline constexpr UINT ID_VIEWER_DATA_INFO_BUTTON = 34156;
inline constexpr UINT ID_VIEWER_LOGICAL_COORDS = 34146;
inline constexpr UINT ID_VIEWER_HIST_TRIMMING = 34167;
inline constexpr UINT ID_VIEWER_INCREASE = 34034;
inline constexpr UINT ID_VIEWER_DECREASE = 34033;
inline constexpr UINT ID_VIEWER_REAL_SIZE = 34035;
inline constexpr UINT ID_VIEWER_REAL_SCALE = 34031;
inline constexpr UINT ID_VIEWER_FIT_WINDOW = 34036;
inline constexpr UINT ID_VIEWER_FIT_BUTTON = 34028;
inline constexpr UINT ID_VIEWER_HELP_CONTENTS = 34142;
// The tool group.
inline constexpr UINT ID_VIEWER_CENTER = 34022;
inline constexpr UINT ID_VIEWER_CENTER_MENU = 34037;
inline constexpr UINT ID_VIEWER_ZOOM_OUT = 34024;
inline constexpr UINT ID_VIEWER_ZOOM_IN = 34023;
inline constexpr UINT ID_VIEWER_PROFILE_X = 34032;
inline constexpr UINT ID_VIEWER_PROFILE_X_MENU = 34039;
inline constexpr UINT ID_VIEWER_PROFILE_Y = 34044;
inline constexpr UINT ID_VIEWER_PROFILE_Y_MENU = 34045;
inline constexpr UINT ID_VIEWER_FREEHAND_SELECTION = 34231;
inline constexpr UINT ID_VIEWER_POLYGON_SELECTION = 34152;
inline constexpr UINT ID_VIEWER_RECT_SELECTION = 34227;
inline constexpr UINT ID_VIEWER_MOVE_SELECTION = 34169;
inline constexpr UINT ID_VIEWER_MEASURE = 34252;
/// Items that only carry menu flag bits (no menu holds them).
inline constexpr UINT ID_VIEWER_FLAG_4096 = 34011;
inline constexpr UINT ID_VIEWER_FLAG_8192 = 34046;
/// The recent-file entries.
inline constexpr UINT ID_VIEWER_MRU_FIRST = 34205;
inline constexpr UINT ID_VIEWER_MRU_LAST = 34224;

// --- the frame's flags word (which tool windows are open) ------------------------------------
inline constexpr UINT kFrameHistogram = 1;
inline constexpr UINT kFrameColorCorrection = 2;
inline constexpr UINT kFramePointer = 4;
inline constexpr UINT kFrameCreated = 32;  ///< made through Create
inline constexpr UINT kFrameProgressShown = 64;
inline constexpr UINT kFramePalette = 128;
inline constexpr UINT kFrameLogicalCoords = 512;
inline constexpr UINT kFrameDataInfo = 1024;
inline constexpr UINT kFrameScale = 2048;
inline constexpr UINT kFrameMeasure = 8192;
inline constexpr UINT kFramePointerDlg = 16384;

// --- menu flag bits (EnableMenuItems) ------------------------------------------------------------
inline constexpr UINT kMenuNewOpen = 1;
inline constexpr UINT kMenuImage = 2;  ///< Close, Save and Properties
inline constexpr UINT kMenuCenter = 4;
inline constexpr UINT kMenuIncrease = 8;
inline constexpr UINT kMenuDecrease = 16;
inline constexpr UINT kMenuFit = 32;
inline constexpr UINT kMenuRealSize = 64;
inline constexpr UINT kMenuHistogram = 128;
inline constexpr UINT kMenuProfileX = 256;
inline constexpr UINT kMenuProfileY = 512;
inline constexpr UINT kMenuBrightContrast = 1024;
inline constexpr UINT kMenuPointer = 2048;
inline constexpr UINT kMenuFlag4096 = 4096;
inline constexpr UINT kMenuFlag8192 = 8192;
inline constexpr UINT kMenuDataInfo = 16384;
inline constexpr UINT kMenuPalette = 32768;
inline constexpr UINT kMenuOpenRgb = 65536;
inline constexpr UINT kMenuSaveAs = 131072;
inline constexpr UINT kMenuLogicalCoords = 262144;
inline constexpr UINT kMenuColorScale = 524288;
inline constexpr UINT kMenuHistTrimming = 1048576;
inline constexpr UINT kMenuFreehand = 2097152;
inline constexpr UINT kMenuRectSelection = 4194304;
inline constexpr UINT kMenuMoveSelection = 8388608;
inline constexpr UINT kMenuComplex = 16777216;
inline constexpr UINT kMenuMeasure = 33554432;
inline constexpr UINT kMenuRegion = 67108864;
inline constexpr UINT kMenuAll = 0xFFFFFFFFu;

// --- pending saves ---------------------------------------------------------------------------------
inline constexpr UINT kSaveLogicalCoords = 1;
inline constexpr UINT kSavePalette = 2;
inline constexpr UINT kSaveProperties = 4;
inline constexpr UINT kSaveData = 8;

// --- frame jobs (action codes) --------------------------------------------------------------------
inline constexpr int kJobCloseView = 9;
inline constexpr int kJobButtonNew = 10;
inline constexpr int kJobButtonLoad = 11;
inline constexpr int kJobDestroyWindow = 12;
inline constexpr int kJobButtonLoadRgb = 13;
