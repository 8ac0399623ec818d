// A stand-in 3D plug-in that records its loading, its entries and its unloading. Built
// three times: with all entries, without ShowForms, and without HideForms.

#include "platform/kernel/modules.h"
#include "tests/app/plugin_log.h"

__attribute__((constructor)) static void OnLoad()
{
    RecordPluginEvent("load");
}

__attribute__((destructor)) static void OnUnload()
{
    RecordPluginEvent("unload");
}

PLATFORM_EXPORT void ShowForms()
{
    RecordPluginEvent("ShowForms");
}

PLATFORM_EXPORT BOOL HideForms()
{
    RecordPluginEvent("HideForms");
    return TakeHideAnswer() ? TRUE : FALSE;
}

PLATFORM_EXPORT const PlatformOrdinal* platform_ordinal_table()
{
    static const PlatformOrdinal table[] = {
#ifndef STAND_IN_WITHOUT_SHOW
        {1, "ShowForms"},
#endif
#ifndef STAND_IN_WITHOUT_HIDE
        {2, "HideForms"},
#endif
        {0, nullptr}};
    return table;
}
