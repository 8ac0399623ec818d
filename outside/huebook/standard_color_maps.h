#pragma once

// The library's standard colour maps. Each has a fixed identity, so a map read back from
// a file is known as a standard one and is stretched over whatever range is shown.

#include "outside/huebook/color_map.h"
#include "platform/cstring.h"
#include "platform/types.h"

/// Number of standard maps.
int GetStandartColorMapCount();
/// Standard map `index` (0 to count - 1) over 0..1 with its name and identity; FALSE for
/// another index or a null map.
BOOL GetStandartColorMap(int index, CColorMap* map);
/// Index of the standard map with this identity; -1 when none has it.
int FindStandartColorMap(const GUID* id);
/// Nonzero when the map (or the identity) is one of the standard maps.
BOOL IsStandartColorMap(const CColorMap* map);
BOOL IsStandartColorMap(const GUID* id);
/// The name of the standard map with this identity; empty when none has it.
CString StandartColorMapName(const GUID* id);
