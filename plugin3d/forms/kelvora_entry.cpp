// The plug-in's entry: its units started when the library is loaded (the owner form's unit
// last) and ended in reverse order when it is unloaded (the owner form's first), and the
// three exports the program binds by number.

#include <vector>

#include "platform/forms/forms.h"
#include "platform/kernel/modules.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_dll_main.h"
#include "plugin3d/forms/plugin_units.h"

namespace {

class CKelvoraLibrary {
public:
    CKelvoraLibrary()
    {
        // Loaded by a program without windows (a tool), the plug-in stays asleep.
        if (!platform::HasWindows()) return;
        m_units = PluginUnits();
        InitializeUnits(m_units.data(), m_units.size());
    }
    ~CKelvoraLibrary()
    {
        if (m_units.empty()) return;
        FinalizeUnits(m_units.data(), m_units.size());
    }

private:
    std::vector<TUnitInfo> m_units;
};

CKelvoraLibrary g_library;

}  // namespace

PLATFORM_EXPORT void ShowForms()
{
    DllShowForms();
}

PLATFORM_EXPORT void HideForms()
{
    DllHideForms();
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
