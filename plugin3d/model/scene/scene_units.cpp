#include "plugin3d/model/scene/scene_units.h"

#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"

std::span<const TUnitInfo> SceneUnits()
{
    static const TUnitInfo units[] = {kKCustom3DUnit, kKCustom3DListsUnit};
    return units;
}
