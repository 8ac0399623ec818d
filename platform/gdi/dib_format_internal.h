#pragma once

// Reading the header of a device-independent bitmap the caller hands in (blits, DIB
// sections, pattern brushes): everything is checked before a row is touched.

#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {

struct ParsedDib {
    DibLayout layout;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::size_t tableBytes = 0;          // header + masks + colour table: where packed bits start
    std::int64_t imageBytes = 0;         // stride * rows
};

/// Checks and decodes the header; DIB_PAL_COLORS tables are resolved through `palette`
/// (null: the default palette). False for anything malformed or unsupported.
bool ParseDib(const BITMAPINFO* info, UINT usage, const PaletteObj* palette, ParsedDib& out);

}  // namespace platform::gdi
