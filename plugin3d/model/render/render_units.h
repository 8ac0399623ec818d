#pragma once

// The units of the render library in start order, started after the core library's
// (CoreUnits) by the library that links both, and finished before them.

#include <span>

#include "platform/forms/units.h"

/// KLayers, KBasis3D, KCanvas3D.
std::span<const TUnitInfo> RenderUnits();
