#pragma once

// The units of the core library in start order. A library that links it starts them
// (InitializeUnits) from its explicit start entry and finishes them from its end entry,
// before and after its own units.

#include <span>

#include "platform/forms/units.h"

/// KResources, KGeneral, KRTDRegistry, KThreads, KInterfaces, KProject, KTemplates.
std::span<const TUnitInfo> CoreUnits();
