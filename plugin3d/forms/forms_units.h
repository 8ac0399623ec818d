#pragma once

// The units of the plug-in's forms in start order, after the model's: the class library's
// Forms, the forms' links for the model (component windows, the owner of the forms), the
// caption bar, the buttons and the string holder.

#include <span>

#include "platform/forms/units.h"

std::span<const TUnitInfo> FormsUnits();
