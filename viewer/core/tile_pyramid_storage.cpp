#include "viewer/core/tile_pyramid_storage.h"

#include <algorithm>

#include "viewer/core/viewer_temp_size.h"

void LayOutLevel(PyramidLevel& level, int fullWidth, int fullHeight, int k, BYTE* levelStorage)
{
    const std::int64_t step = std::int64_t(1) << k;
    level.fullWidth = fullWidth;
    level.fullHeight = fullHeight;
    level.step = std::int32_t(step);
    level.width = std::int32_t((fullWidth + step - 1) / step);
    level.height = std::int32_t((fullHeight + step - 1) / step);
    level.tilesAcross = (level.width + kTileSide - 1) / kTileSide;
    level.tilesDown = (level.height + kTileSide - 1) / kTileSide;
    level.tiles.assign(std::size_t(level.tilesAcross) * level.tilesDown, TileRecord{});

    std::int64_t offset = 0;
    const std::int64_t span = kTileSide * step;  // full-resolution pixels per tile side
    for (int r = 0; r < level.tilesDown; ++r) {
        for (int c = 0; c < level.tilesAcross; ++c) {
            TileRecord& t = level.tiles[std::size_t(r) * level.tilesAcross + c];
            t.left = std::int32_t(c * span);
            t.top = std::int32_t(r * span);
            t.right = std::int32_t(std::min<std::int64_t>(t.left + span - 1, fullWidth - 1));
            t.bottom = std::int32_t(std::min<std::int64_t>(t.top + span - 1, fullHeight - 1));
            t.step = std::int32_t(step);
            t.width = std::int32_t((t.right - t.left + step) / step);
            t.height = std::int32_t((t.bottom - t.top + step) / step);
            t.size = t.width * t.height;
            t.data = levelStorage ? levelStorage + offset : nullptr;
            offset += t.size;
        }
    }
}

std::int64_t PyramidTileCount(int fullWidth, int fullHeight)
{
    std::int64_t count = 0;
    for (int k = 0; k < PyramidLevelCount(fullWidth, fullHeight); ++k) {
        const std::int64_t step = std::int64_t(1) << k;
        const std::int64_t width = (fullWidth + step - 1) / step, height = (fullHeight + step - 1) / step;
        count += ((width + kTileSide - 1) / kTileSide) * ((height + kTileSide - 1) / kTileSide);
    }
    return count;
}
