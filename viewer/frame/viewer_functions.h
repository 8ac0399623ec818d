#pragma once

// How a viewer frame is opened on a file: the frame is created on the heap and frees itself
// when its window is destroyed. The functions any module calls (ViewResultFunction and the
// others in view_result_param.h) reach ViewerCreate through the view services, which this
// library's frame fills when the library is loaded.

#include "viewer/core/view_result_param.h"

class CFrameViewer;

/// Opens a viewer on `param` and returns it; null when it could not be made. The record
/// stays the caller's.
CFrameViewer* ViewerCreate(const ViewResultParam* param);

/// Tells the splash window, when one is up, that the viewer library is loading; true when
/// it was told. Runs once when the library is loaded.
bool AnnounceViewerLibrary();

/// WM_VIEWER notifications to a record's `parent` (lParam): the file is shown, or failed.
constexpr int kViewerNotifyShown = 2;
constexpr int kViewerNotifyFailed = 3;
