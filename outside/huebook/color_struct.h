#pragma once

// One entry of a 256-colour display palette as palettes are passed between the viewer's
// views, its colour scale and the colour maps: red, green and blue, one byte each, no gap.

#include "platform/types.h"

struct ColorStruct {
    BYTE red;
    BYTE green;
    BYTE blue;
};
static_assert(sizeof(ColorStruct) == 3, "a palette is 256 packed RGB triplets");
