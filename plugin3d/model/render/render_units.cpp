#include "plugin3d/model/render/render_units.h"

#include "plugin3d/model/render/canvas3d.h"

std::span<const TUnitInfo> RenderUnits()
{
    static const TUnitInfo units[] = {kKCanvas3DUnit};
    return units;
}
