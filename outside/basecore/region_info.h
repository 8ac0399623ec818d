#pragma once

// Figures of a selection region (picture pixels) and the clipboard copy of a bitmap.

#include <cstdint>

#include "outside/basecore/rect_t.h"
#include "platform/gdi/gdi_types.h"
#include "platform/geometry.h"
#include "platform/types.h"

class CCoordLawData;

/// The number of pixels of the region (0 for a bad or empty one).
double GetRgnSquare(HRGN region);

/// What a free selection's dialog shows of a region.
struct RgnInfo {
    std::int64_t pixelArea = 0;
    double logicalArea = 0.0;            ///< pixels times the logical size of one pixel
    CRect bounds;                        ///< bounding box, exclusive right and bottom
    CPointT<double> logicalTopLeft;      ///< logical coordinates of the box's first pixel
    CPointT<double> logicalBottomRight;  ///< and of its last one
};

/// Fills `info` for `region` under `law` (null: pixel coordinates). FALSE for a bad handle.
BOOL GetRgnInfo(HRGN region, const CCoordLawData* law, RgnInfo* info);

/// Puts `bitmap` on the clipboard as an image (emptied first); `palette` is not needed for
/// the true-colour bitmaps the suite copies. FALSE when the clipboard could not take it.
BOOL CopyBitmapToClipboard(HWND owner, HBITMAP bitmap, HPALETTE palette);
