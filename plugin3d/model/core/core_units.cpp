#include "plugin3d/model/core/core_units.h"

#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_threads.h"

std::span<const TUnitInfo> CoreUnits()
{
    static const TUnitInfo units[] = {kKGeneralUnit, kKRTDRegistryUnit, kKThreadsUnit};
    return units;
}
