#include "app/preferences_resources.h"

#include "platform/resources/module_resources.h"

namespace {

const platform::ModuleResources kResources{.module = "TarvenixPreferences"};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

HINSTANCE PreferencesResourcesInstance()
{
    return kRegistration.Instance();
}
