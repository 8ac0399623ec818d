#pragma once

// The viewer seam of the program: viewers are the viewer library's frames.

#include "app/viewer_seam.h"

/// Opens a CFrameViewer on a file (or an empty one) and counts the frames still open.
ViewerSeam FrameViewerSeam();
