#include "plugin3d/forms/forms_units.h"

#include "platform/forms/forms.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/forms_resources.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/string_resource.h"

std::span<const TUnitInfo> FormsUnits()
{
    static const TUnitInfo units[] = {kFormsResourcesUnit, kFormsUnit, kKFlatCaptionUnit, kButtonExUnit,
                                      kStringResourceUnit};
    return units;
}
