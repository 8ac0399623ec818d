#include "plugin3d/model/render/render_units.h"

#include "plugin3d/model/render/k_layers.h"

std::span<const TUnitInfo> RenderUnits()
{
    static const TUnitInfo units[] = {kKLayersUnit};
    return units;
}
