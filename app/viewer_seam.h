#pragma once

// The one place where the main program reaches the viewers: how it opens one and how it
// learns that all are gone. The program starts with the placeholder viewer of
// placeholder_viewer.h; start-up code points the seam at the viewer library's functions.

#include "platform/types.h"

class CWnd;

struct ViewerSeam {
    /// Opens a viewer on `fileName` ("" for an empty viewer), with `parent` as the window
    /// it reports to, in `rect` (screen) or at the viewer's default place when null. A file
    /// that cannot be opened is the viewer's to report.
    void (*open)(const char* fileName, CWnd* parent, const RECT* rect) = nullptr;
    /// How many viewers are open now (exit waits until none is left).
    int (*count)() = nullptr;
};

/// Replaces the seam; returns the previous one (tests put it back).
ViewerSeam SetViewerSeam(const ViewerSeam& seam);
const ViewerSeam& GetViewerSeam();

/// The registered message every viewer obeys ("Tarvenix - Viewer Control Message").
UINT ViewerControlMessage();
/// Codes of the viewer control message (wParam).
enum ViewerControlCode : int {
    kViewerClose = 1,
    kViewerMinimize = 2,
    kViewerRestore = 3,
    kViewerMaximize = 4,
    kViewerShow = 5
};
