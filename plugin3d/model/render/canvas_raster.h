#pragma once

// The canvas's primitives over planes it is given: clipping, triangle set-up and the walk
// of edges into span records, then the fused fills of span_kernels.h. Each call draws only
// the rows of a window [firstRow, lastRow], yet computes every value exactly as the whole
// primitive would: the canvas draws on several threads by giving each its own band of rows.

#include <cstddef>
#include <cstdint>

#include "plugin3d/model/render/span_fill.h"
#include "plugin3d/model/render/span_kernels.h"

namespace canvas_raster {

/// Where primitives are drawn: the depth plane, the present channel planes (column 0 of
/// row 0; each channel's pair offset says which vertex value it takes: 0 c1, 8 c2, 16 c3),
/// one span record per row, and the clip rectangle and depth limits.
struct Target {
    std::int32_t* depth = nullptr;
    std::ptrdiff_t depthStride = 0;
    canvas_kernels::ChannelRows channels;
    TCanvasSpan* spans = nullptr;
    std::int32_t left = 0, top = 0, right = -1, bottom = -1;
    std::int32_t nearDepth = 1;
    std::int32_t farDepth = 0x10000000;
};

/// The rows a primitive may touch once clipped, or an empty range (first > last) when it is
/// dropped before any row is reached; bands outside the range need not look at it.
struct RowRange {
    std::int32_t first = 0;
    std::int32_t last = -1;
};
RowRange PointRows(const Target& target, const TCanvasVertex& v);
RowRange LineRows(const Target& target, const TCanvasVertex& a, const TCanvasVertex& b);
RowRange TriangleRows(const Target& target, const TCanvasVertex& a, const TCanvasVertex& b,
                      const TCanvasVertex& c);

/// A point: drawn when inside the clip rectangle, within the depth limits and not behind
/// the stored depth; it writes the channels but not the depth.
void DrawPoint(const Target& target, const TCanvasVertex& v, int firstRow, int lastRow);
/// A line, flat (each channel at the mean of its two values) or smooth.
void DrawLine(const Target& target, TCanvasVertex a, TCanvasVertex b, bool smooth, int firstRow, int lastRow);
/// A triangle, flat (each channel at the mean of its three values) or smooth.
void DrawTriangle(const Target& target, TCanvasVertex a, TCanvasVertex b, TCanvasVertex c, bool smooth,
                  int firstRow, int lastRow);

}  // namespace canvas_raster
