#include "plugin3d/model/render/render_units.h"

#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/render/k_layers.h"

std::span<const TUnitInfo> RenderUnits()
{
    static const TUnitInfo units[] = {kKLayersUnit, kKBasis3DUnit, kKCanvas3DUnit};
    return units;
}
