#pragma once

// The resources of the command window's rows: the band and tool-bar window templates and
// the image strips of the rows ("IDB_BITMAP_TOOL_<page>" in colour and "..._GRAY"), drawn
// by the library itself. The menus the rows show are the program's.

#include "platform/types.h"

/// The instance handle of the rows' resource record; using it keeps the record linked in
/// (the record joins the resource chain when the program starts).
HINSTANCE ToolbarResourcesInstance();
