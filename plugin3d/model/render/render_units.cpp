#include "plugin3d/model/render/render_units.h"

#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/k_layers.h"

std::span<const TUnitInfo> RenderUnits()
{
    static const TUnitInfo units[] = {kKCanvas3DUnit, kKLayersUnit};
    return units;
}
