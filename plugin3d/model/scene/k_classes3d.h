#pragma once

// Unit KClasses3D: the concrete scene classes the user creates by name: the camera ("Eye
// System"), the three lights and the reflection law. Its start (RegisterKClasses3D) enters
// them in the class registry with their captions and offers the camera and the lights as
// "Standart Objects" in the "New" menus of the camera and light lists; its end removes them
// in reverse.

#include "platform/forms/units.h"

/// Registers the classes, captions and sub-items of the unit.
void RegisterKClasses3D();
/// Removes what RegisterKClasses3D entered, in reverse.
void UnregisterKClasses3D();

extern const TUnitInfo kKClasses3DUnit;
