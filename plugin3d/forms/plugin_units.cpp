#include "plugin3d/forms/plugin_units.h"

#include "plugin3d/forms/forms_units.h"
#include "plugin3d/forms/k_dll_main.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/scene_units.h"

std::vector<TUnitInfo> PluginUnits()
{
    std::vector<TUnitInfo> units;
    for (const auto& table : {CoreUnits(), RenderUnits(), SceneUnits(), FormsUnits()})
        units.insert(units.end(), table.begin(), table.end());
    units.push_back(kDllMainUnit);
    return units;
}
