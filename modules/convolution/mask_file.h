#pragma once

// Mask files as the convolution tool writes them: one layer (a simple mask) or two (the X
// and Y components of a compound one), with the mask's caption and description as the
// description tags of layer 0. The kernel editor saves through this, and so does the build
// step that makes the kernel library the installation brings.

#include "platform/types.h"

class CRDPLayer;

/// Writes `count` (1 or 2) open layers of one size and type as the mask file `target`, each
/// with its statistics, and layer 0 with `caption` (tag 600) and `description` (tag 601).
/// The file is assembled beside `target` by the atomic writer and replaces it in one step:
/// after a failure, or a process killed on the way, the target is as it was and no file is
/// left behind. FALSE with the last-error code set on failure.
BOOL WriteMaskFile(const char* target, CRDPLayer* const* layers, int count, const char* caption,
                   const char* description);
