#include "plugin3d/model/scene/scene_units.h"

#include "plugin3d/model/scene/k_classes3d.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_scene3d.h"

std::span<const TUnitInfo> SceneUnits()
{
    static const TUnitInfo units[] = {kKCustom3DUnit, kKCustom3DListsUnit, kKClasses3DUnit, kKDrawing3DUnit,
                                      kKScene3DUnit};
    return units;
}
