#include "plugin3d/model/scene/k_classes3d.h"

#include <iterator>

#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_point_constructions.h"

namespace {

struct TRegisteredClass {
    TClass (*cls)();
    const char* caption;    ///< null for a class only files name (no caption, never offered)
    TClass (*offeredBy)();  ///< the list whose "New" menu offers the class, or null
};

const TRegisteredClass kClasses[] = {
    {&TKEyeSystem3D::StaticClass, "Eye System", &TKCustomProjectionSystem3DList::StaticClass},
    {&TKAmbientLight3D::StaticClass, "Ambient Light", &TKCustomLightSystem3DList::StaticClass},
    {&TKFlatSpringLight3D::StaticClass, "Flat Spring Light", &TKCustomLightSystem3DList::StaticClass},
    {&TKPointSpringLight3D::StaticClass, "Point Spring Light", &TKCustomLightSystem3DList::StaticClass},
    {&TKSimpleDiffuseReflection::StaticClass, "Simple Diffuse Reflection", nullptr},
    // Point sets and tie models are made by code (the navigator's models), but a project may
    // hold them: the stream makes them by class when it loads one.
    {&TKCustomPointConstruction3D::StaticClass, nullptr, nullptr},
    {&TKTiesConstruction3D::StaticClass, nullptr, nullptr},
};

}  // namespace

void RegisterKClasses3D()
{
    for (const TRegisteredClass& c : kClasses) {
        RegisterClassBranch(c.cls());
        if (c.caption) RegisterClassCaption(c.cls(), c.caption);
        if (c.offeredBy) RegisterStandardSubItem(c.offeredBy(), c.caption, c.cls());
    }
}

void UnregisterKClasses3D()
{
    for (auto c = std::rbegin(kClasses); c != std::rend(kClasses); ++c) UnregisterClassBranch(c->cls());
}

const TUnitInfo kKClasses3DUnit{"KClasses3D", RegisterKClasses3D, UnregisterKClasses3D};
