#pragma once

// Bitmaps as packed device-independent bitmaps and Windows bitmap files.

#include <vector>

#include "platform/cstring.h"
#include "platform/gdi/gdi_types.h"
#include "platform/types.h"

/// The bitmap as a packed 32-bit DIB (a 40-byte header, then bottom-up rows); empty when
/// the bitmap cannot be read. The palette is not used for 32-bit pictures.
std::vector<BYTE> BitmapToDIB(HBITMAP bitmap, HPALETTE palette);
/// Writes a packed DIB as a Windows bitmap file (complete or not at all); nonzero on success.
BOOL SaveDIB(const std::vector<BYTE>& dib, const char* path);
