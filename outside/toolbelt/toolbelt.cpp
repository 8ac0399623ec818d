#include "outside/toolbelt/toolbelt.h"

#include "outside/basecore/outside_tool_dlg.h"

namespace {
constexpr const char* kLibrary = "Toolbelt";
}

void Subset_Files()
{
    ShowOutsideTool(kLibrary, "Subset");
}

void Rotate_Files()
{
    ShowOutsideTool(kLibrary, "Rotate");
}

void Mirror_Files()
{
    ShowOutsideTool(kLibrary, "Mirror");
}

void Insert_Files()
{
    ShowOutsideTool(kLibrary, "Insert");
}

void Degrade()
{
    ShowOutsideTool(kLibrary, "Resampling");
}
