#pragma once

// The units of the render library in start order, started after the core library's.

#include <span>

#include "platform/forms/units.h"

/// KLayers, KBasis3D.
std::span<const TUnitInfo> RenderUnits();
