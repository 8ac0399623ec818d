#include "app/plugin_loader.h"

#include <string>

#include "platform/kernel/modules.h"

namespace {

using FormsEntry = void (*)();
// HideForms answers FALSE when the user keeps the plug-in's project open.
using HideEntry = BOOL (*)();

std::string& PluginFileName()
{
    static std::string name = "Kelvora3Dl.dll";
    return name;
}

HMODULE g_plugin = nullptr;
FormsEntry g_showForms = nullptr;
HideEntry g_hideForms = nullptr;
bool g_hidden = false;  ///< HideForms said TRUE since the last ShowForms

}  // namespace

int Load3DPlugin()
{
    g_plugin = LoadLibraryA(PluginFileName().c_str());
    if (!g_plugin) return 0;
    // Bound by number, as the plug-in promises its exports.
    g_showForms = reinterpret_cast<FormsEntry>(GetProcAddress(g_plugin, MAKEINTRESOURCE(1)));
    g_hideForms = reinterpret_cast<HideEntry>(GetProcAddress(g_plugin, MAKEINTRESOURCE(2)));
    return 1;
}

void Show3DViewer()
{
    try {
        if (!g_plugin) Load3DPlugin();
        g_hidden = false;
        if (g_showForms) g_showForms();
    } catch (...) {
    }
}

bool Hide3DPlugin()
{
    if (!g_plugin || !g_hideForms || g_hidden) return true;
    try {
        if (!g_hideForms()) return false;
    } catch (...) {
    }
    g_hidden = true;
    return true;
}

void Unload3DPlugin()
{
    // Never loaded: nothing to hide or free. The plug-in is always hidden before it goes.
    if (!g_plugin) return;
    try {
        if (g_hideForms && !g_hidden) g_hideForms();
    } catch (...) {
    }
    try {
        FreeLibrary(g_plugin);
    } catch (...) {
    }
    // The entries point into the freed library: forget them with it.
    g_plugin = nullptr;
    g_showForms = nullptr;
    g_hideForms = nullptr;
    g_hidden = false;
}

bool Is3DPluginLoaded()
{
    return g_plugin != nullptr;
}

void Set3DPluginFileName(const char* fileName)
{
    PluginFileName() = fileName ? fileName : "";
}
