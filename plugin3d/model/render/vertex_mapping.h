#pragma once

// How a projected vertex (floating point, image centre at 0, colours 1.0 = full) becomes a
// canvas vertex: coordinates and depth rounded into the range the canvas draws safely, colour
// channels into levels 0..0x8000. Every rounding is to the nearest integer, halves to even
// (the default rounding mode, which nothing in the plug-in changes).

#include <cmath>
#include <cstdint>

#include "plugin3d/model/render/span_fill.h"

namespace vertex_mapping {

inline constexpr double kCoordinateLimit = 1073741824.0;  // 2^30
inline constexpr std::int32_t kLargestCoordinate = 0x40000000;
inline constexpr std::int32_t kSmallestCoordinate = -0x40000000;
inline constexpr std::int32_t kFullLevel = 0x8000;

/// At least 2^30 gives 2^30, above -2^30 the rounded value, anything else (NaN too) -2^30.
inline std::int32_t Coordinate(double v)
{
    if (v >= kCoordinateLimit) return kLargestCoordinate;
    if (v > -kCoordinateLimit) return std::int32_t(std::lrint(v));
    return kSmallestCoordinate;
}

/// At least 1.0 gives 0x8000, above 0 the rounded v * 32768, anything else (NaN too) 0. A
/// level is so never 0xFFFF (nothing drawn) nor above 0x8000.
inline std::int32_t Level(double v)
{
    if (v >= 1.0) return kFullLevel;
    if (v > 0) return std::int32_t(std::lrint(v * 32768.0));
    return 0;
}

/// The canvas vertex of v (any vertex with x, y, z, c1, c2, c3), moved by the image centre.
template <class Vertex>
inline TCanvasVertex ToCanvas(const Vertex& v, std::int32_t centreX, std::int32_t centreY)
{
    return {Coordinate(v.x) + centreX,
            Coordinate(v.y) + centreY,
            Coordinate(v.z),
            Level(v.c1),
            Level(v.c2),
            Level(v.c3)};
}

}  // namespace vertex_mapping
