#include "outside/huebook/color_map.h"

// The class is polymorphic; its key function keeps one copy of its vtable in the library.
CColorMap::~CColorMap() = default;
