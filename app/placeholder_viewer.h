#pragma once

// A stand-in viewer window: a top-level frame that names its file and obeys the viewer
// control message, so the program can be used whole before the viewer library's frame
// is wired to the viewer seam.

#include "app/viewer_seam.h"

/// The seam that opens placeholder viewers.
ViewerSeam PlaceholderViewerSeam();
