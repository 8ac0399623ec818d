#include "outside/recast/recast.h"

#include "outside/basecore/outside_tool_dlg.h"

namespace {
constexpr const char* kLibrary = "Recast";
}

void ExternFunction::LaunchImport(CWnd* parent)
{
    ShowOutsideTool(kLibrary, "Import / Export", parent);
}

void ExternFunction::LaunchTypeChange()
{
    ShowOutsideTool(kLibrary, "Type Change");
}

void ExternFunction::LaunchComplex()
{
    ShowOutsideTool(kLibrary, "Complex");
}
