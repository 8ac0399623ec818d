#pragma once

// How the dialog units of a template become pixels. The templates themselves, with their
// styles, are resource data (platform::DialogTemplate in platform/resources/resources.h).
//
// Dialog units follow the font: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its height.

#include "platform/geometry.h"
#include "platform/resources/resources.h"
#include "platform/types.h"

class QFont;

namespace platform {

/// The font a template asks for (the default dialog font when it names none).
PLATFORM_API QFont DialogFont(const char* face, int pointSize);
/// Average character width and height of the font in pixels (the base units).
PLATFORM_API CSize DialogBaseUnits(const QFont& font);
/// Dialog units to pixels with the given base units.
PLATFORM_API CRect DialogUnitsToPixels(const CRect& units, CSize baseUnits);

}  // namespace platform
