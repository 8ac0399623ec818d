#include "viewer/core/viewer_temp_size.h"

#include <algorithm>
#include <cmath>

#include "outside/basecore/math_helpers.h"

int PyramidLevelCount(int width, int height)
{
    if (width <= 0 || height <= 0) return 0;
    const std::int64_t m = std::max(width, height);
    if (m <= 256) return 1;
    const double levels = std::log((double(m) + 255.0) / 256.0) / std::log(2.0);
    return Round(levels) + 1;
}

std::int64_t PyramidLevelBytes(int width, int height, int level)
{
    if (width <= 0 || height <= 0 || level < 0 || level > 31) return 0;
    const std::int64_t step = std::int64_t(1) << level;
    return ((width + step - 1) / step) * ((height + step - 1) / step);
}

std::int64_t GetViewerTempSize(int width, int height)
{
    const int levels = PyramidLevelCount(width, height);
    std::int64_t total = 0;
    for (int k = 0; k < levels; ++k) total += PyramidLevelBytes(width, height, k);
    return total;
}
