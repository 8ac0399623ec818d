#include "plugin3d/model/core/core_units.h"

#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_templates.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/resources/kelvora_resources.h"

std::span<const TUnitInfo> CoreUnits()
{
    static const TUnitInfo units[] = {kKResourcesUnit,  kKGeneralUnit, kKRTDRegistryUnit, kKThreadsUnit,
                                      kKInterfacesUnit, kKProjectUnit, kKTemplatesUnit};
    return units;
}
