#pragma once

// The forms' resources: the layouts of the small forms and the caption bar's pictures.

#include "platform/forms/units.h"

/// Unit KFormsResources: joins the forms' resource record to the resource chain.
extern const TUnitInfo kFormsResourcesUnit;
