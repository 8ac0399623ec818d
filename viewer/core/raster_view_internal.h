#pragma once

// What the raster view's member groups (opening, colours, layers and drawing) share.

#include <memory>

class CRDPLayer;

namespace raster_view_detail {

/// Colour-map tag of a display mode.
int TagOfMode(int mode);

/// A layer the view owns; on release a scratch or heap working copy goes with its file, a
/// user's file is only closed.
std::shared_ptr<CRDPLayer> NewLayer(bool destroyOnRelease);

}  // namespace raster_view_detail
