#pragma once

// The functions through which any module opens a viewer on a file. Each creates a viewer
// frame on the heap; the frame frees itself when its window is destroyed.

#include "viewer/core/view_result_param.h"

class CFrameViewer;

/// Completion routine for jobs: opens a viewer on the ViewResultParam* `param`, then
/// deletes the record whether or not the viewer could be made. User-interface thread.
void ViewResultFunction(void* param);
/// Opens a viewer on `param` and returns it; null when it could not be made. The record
/// stays the caller's.
CFrameViewer* ViewerCreate(ViewResultParam* param);
/// Opens one viewer per record of the ViewMultiResultParam* `param`, in index order, then
/// deletes the list.
void ViewMultiResultFunction(void* param);

/// Shows a file the user has just saved and asked to view: a layer file (".rdp", any case)
/// in a new viewer, whatever the desktop would do with it; any other file with the
/// desktop's handler. `owner` is the window that asked.
void ViewSavedFile(HWND owner, const char* path);

/// Tells the splash window, when one is up, that the viewer library is loading; true when
/// it was told. Runs once when the library is loaded.
bool AnnounceViewerLibrary();

/// WM_VIEWER notifications to a record's `parent` (lParam): the file is shown, or failed.
constexpr int kViewerNotifyShown = 2;
constexpr int kViewerNotifyFailed = 3;
