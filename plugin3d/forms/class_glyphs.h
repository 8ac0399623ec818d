#pragma once

// The 64-pixel glyphs of the classes, as the forms show them (the class information
// registry keeps them).

#include "platform/forms/object.h"

class TImageList;

/// Gives images a copy of the 64-pixel class glyphs (64 x 64 pictures).
void CopyClassGlyphs64(TImageList* images);
/// The index of cls's 64-pixel glyph in that list; -1 when the class has none.
int ClassGlyphIndex64(TClass cls);
