#pragma once

// Ids of the resources of the view window and the windows around it. The library keeps them
// in its resource record (viewer_resources.cpp), in the library's own id range; the viewer
// frame's own resources are in frame_viewer_ids.h.

#include "platform/types.h"

// The view window's tool cursors.
constexpr UINT IDC_VIEW_CENTER = 254;  // no tool, centre
constexpr UINT IDC_VIEW_ZOOMOUT = 240;
constexpr UINT IDC_VIEW_ZOOMIN = 231;
constexpr UINT IDC_VIEW_PROFILE_X = 250;
constexpr UINT IDC_VIEW_PROFILE_Y = 249;
constexpr UINT IDC_VIEW_TOOL = 255;  // the tool cursor of kind 6
constexpr UINT IDC_VIEW_FREEHAND = 263;
constexpr UINT IDC_VIEW_POLYGON = 264;
constexpr UINT IDC_VIEW_POLYGON_CLOSE = 265;  // the polygon tool over its first point
constexpr UINT IDC_VIEW_RECTANGLE = 266;
constexpr UINT IDC_VIEW_MEASURE = 212;

// The context menus of the viewer's windows: the view window, the profile, histogram and scale
// windows and the table. The frame handles their commands.
inline constexpr UINT IDR_VIEWER_CONTEXT_MENUS = 228;
/// Popups of the context menu resource, by position.
enum ViewerContextPopup {
    kContextView = 0,
    kContextProfile = 1,
    kContextHistogram = 2,
    kContextScale = 3,
    kContextTable = 4
};
/// Their commands that the frame handles (the frame's menus carry some of them too).
inline constexpr UINT ID_VIEWER_COPY = 57634;
inline constexpr UINT ID_VIEWER_PASTE = 57637;
inline constexpr UINT ID_VIEWER_ZOOM_IN_NOW = 34016;
inline constexpr UINT ID_VIEWER_ZOOM_OUT_NOW = 34017;
inline constexpr UINT ID_VIEWER_SCALE_1_1 = 34014;
inline constexpr UINT ID_VIEWER_FIT_CONTEXT = 34013;
inline constexpr UINT ID_VIEWER_SAVE_REGION = 34015;
inline constexpr UINT ID_VIEWER_REGION_STATISTICS = 34228;
inline constexpr UINT ID_VIEWER_REGION_PROPERTIES = 34245;
inline constexpr UINT ID_VIEWER_SCALE_HIDE = 34174;
inline constexpr UINT ID_VIEWER_SCALE_PALETTE = 34175;

/// The viewer library's instance handle (for LoadCursor and the other resource loads).
HINSTANCE ViewerInstance();
