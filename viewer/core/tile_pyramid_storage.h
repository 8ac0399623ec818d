#pragma once

// Layout of the display pyramid in its storage: levels one after another from level 0,
// each cut into tiles of at most 256 × 256 values kept row by row from the top, a tile's
// values row after row with no padding. Build and Attach lay out the same records from
// these functions, so a pyramid attached to a cache file finds every tile where the build
// put it.

#include <cstdint>
#include <vector>

#include "platform/types.h"

/// Side of a full tile in values.
inline constexpr int kTileSide = 256;

/// One tile of one level. A new record is all zeros.
struct TileRecord {
    std::int32_t left = 0;    ///< first full-resolution column covered
    std::int32_t top = 0;     ///< first full-resolution row covered
    std::int32_t right = 0;   ///< last full-resolution column covered (inclusive)
    std::int32_t bottom = 0;  ///< last full-resolution row covered (inclusive)
    std::int32_t width = 0;   ///< values per tile row: (right − left + step) / step
    std::int32_t height = 0;  ///< value rows: (bottom − top + step) / step
    std::int32_t size = 0;    ///< width × height bytes
    std::int32_t step = 0;    ///< 2^k for level k
    BYTE* data = nullptr;     ///< the tile's first value in the storage
};

/// One level of the pyramid; owns its tile records.
struct PyramidLevel {
    std::int32_t fullWidth = 0;     ///< W of the layer
    std::int32_t fullHeight = 0;    ///< H of the layer
    std::int32_t width = 0;         ///< ceil(W / step)
    std::int32_t height = 0;        ///< ceil(H / step)
    std::vector<TileRecord> tiles;  ///< row by row from the top, left to right
    std::int32_t tilesAcross = 0;
    std::int32_t tilesDown = 0;
    std::int32_t step = 0;

    /// Width of the tiles of tile column c (256 but for the last column).
    int TileWidth(int c) const
    {
        return c + 1 < tilesAcross ? kTileSide : width - kTileSide * (tilesAcross - 1);
    }
    /// Height of the tiles of tile row r (256 but for the last row).
    int TileHeight(int r) const
    {
        return r + 1 < tilesDown ? kTileSide : height - kTileSide * (tilesDown - 1);
    }
    /// Offset of value (x, y) of the level from the level's first byte.
    std::int64_t OffsetOf(int x, int y) const
    {
        const int c = x / kTileSide, r = y / kTileSide;
        return std::int64_t(r) * kTileSide * width + std::int64_t(c) * kTileSide * TileHeight(r) +
               std::int64_t(y % kTileSide) * TileWidth(c) + x % kTileSide;
    }
};

/// Tiles of all levels of the pyramid of a W × H layer; 0 for an empty or negative size.
std::int64_t PyramidTileCount(int fullWidth, int fullHeight);

/// Fills `level` with the geometry of level k of a W × H layer and its tile records, the
/// tiles' data placed one after another from `levelStorage` (may be null for geometry only).
void LayOutLevel(PyramidLevel& level, int fullWidth, int fullHeight, int k, BYTE* levelStorage);
