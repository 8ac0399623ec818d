#pragma once

// Ids of the viewer library's resources. The library keeps them in its resource record
// (viewer_resources.cpp), in the library's own id range.

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

/// The viewer library's instance handle (for LoadCursor and the other resource loads).
HINSTANCE ViewerInstance();
