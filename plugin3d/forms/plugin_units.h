#pragma once

// The plug-in's units in link order: the model's (core, render, scene), the forms', and the
// owner form's unit DllMainUn last, so that its form is made when everything it uses runs
// and freed before any of it ends.

#include <vector>

#include "platform/forms/units.h"

std::vector<TUnitInfo> PluginUnits();
