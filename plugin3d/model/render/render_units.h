#pragma once

// The units of the render library in start order, started after the core library's
// (CoreUnits) by the library that links both, and finished before them.

#include <span>

#include "platform/forms/units.h"

/// KCanvas3D, KLayers.
std::span<const TUnitInfo> RenderUnits();
