#pragma once

// The units of the scene library in start order, started after the render library's
// (RenderUnits) by the library that links them, and finished before them.

#include <span>

#include "platform/forms/units.h"

/// KCustom3D, KCustom3DLists, KClasses3D, KDrawing3D, KScene3D.
std::span<const TUnitInfo> SceneUnits();
