#pragma once

// The plug-in's resource record: the 64 x 64 class glyphs (bitmaps named "<class name>_64")
// that the units register for their classes, the pictures of the caption bar's buttons, and
// the layouts of the forms. The record joins the resource chain while
// the unit runs; the model loads its pictures through the instance it was given.

#include "platform/forms/units.h"
#include "platform/types.h"

/// The instance handle of the plug-in's resources while the unit runs, else null.
HINSTANCE KelvoraResourceInstance();

/// Unit KResources: joins the plug-in's resource record to the chain.
extern const TUnitInfo kKResourcesUnit;
