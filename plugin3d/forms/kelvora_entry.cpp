// The plug-in's entry: its units started when the library starts (the loader calls
// platform_module_start after loading it; the owner form's unit last) and ended in reverse
// order when it ends (the owner form's first), and the three exports the program binds by
// number.

#include <vector>

#include "platform/forms/forms.h"
#include "platform/kernel/modules.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_dll_main.h"
#include "plugin3d/forms/plugin_units.h"

namespace {

// The units the start entry started; empty before and after. Nothing of the plug-in runs
// while the library is being loaded or unloaded.
std::vector<TUnitInfo> g_units;

}  // namespace

PLATFORM_EXPORT BOOL platform_module_start()
{
    // Loaded by a program without windows (a tool), the plug-in stays asleep.
    if (!g_units.empty() || !platform::HasWindows()) return TRUE;
    std::vector<TUnitInfo> units = PluginUnits();
    try {
        // A unit that fails finishes the ones started before it.
        InitializeUnits(units.data(), units.size());
    } catch (...) {
        return FALSE;
    }
    g_units = std::move(units);
    return TRUE;
}

PLATFORM_EXPORT void platform_module_end()
{
    if (g_units.empty()) return;
    FinalizeUnits(g_units.data(), g_units.size());
    g_units.clear();
}

PLATFORM_EXPORT void ShowForms()
{
    DllShowForms();
}

// FALSE tells the program that the user chose to keep the 3D project open (its exit stops).
PLATFORM_EXPORT BOOL HideForms()
{
    return DllHideForms();
}

PLATFORM_EXPORT HWND GetDllMainWnd()
{
    return DllGetMainWnd();
}

PLATFORM_EXPORT const PlatformOrdinal* platform_ordinal_table()
{
    static const PlatformOrdinal table[] = {
        {1, "ShowForms"}, {2, "HideForms"}, {3, "GetDllMainWnd"}, {0, nullptr}};
    return table;
}
