#pragma once

// Size of a layer's display pyramid. The raster view sizes its cache file with it, and the
// pyramid lays out its levels with the same level count.

#include <cstdint>

/// Levels of the display pyramid of a width × height layer: 1 when neither side exceeds
/// 256, else the nearest integer to log2((max + 255) / 256) plus 1 (the top level is not
/// always a single tile). 0 for an empty or negative size.
int PyramidLevelCount(int width, int height);

/// Bytes of level `level` (one per value): ceil(width / 2^level) × ceil(height / 2^level).
std::int64_t PyramidLevelBytes(int width, int height, int level);

/// Bytes of the whole display pyramid of a width × height layer (the sum of its levels),
/// in 64 bits: an 8-bit layer above about 1.6 gigapixels exceeds 32 bits. 0 for an empty
/// or negative size.
std::int64_t GetViewerTempSize(int width, int height);
