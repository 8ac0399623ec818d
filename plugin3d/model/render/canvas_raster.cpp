#include "plugin3d/model/render/canvas_raster.h"

#include <algorithm>
#include <utility>

namespace canvas_raster {

namespace {

using canvas_kernels::ChannelRows;

template <class T>
T* RowOf(T* base, std::ptrdiff_t stride, std::int64_t row)
{
    return reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(base) + row * stride);
}

// The vertex value a channel of pair offset 0, 8 or 16 takes.
std::int32_t& ValueOf(TCanvasVertex& v, int pairOffset)
{
    return pairOffset == 0 ? v.c1 : pairOffset == 8 ? v.c2 : v.c3;
}

std::int32_t* PairOf(TCanvasSpan& span, int pairOffset)
{
    return &span.channel[pairOffset / 8][0];
}

// The channel rows of the target moved to row y.
ChannelRows ChannelsAt(const Target& t, std::int64_t y)
{
    ChannelRows c = t.channels;
    for (int k = 0; k < c.count; ++k) c.row[k] = RowOf(c.row[k], c.stride[k], y);
    return c;
}

bool DepthDropped(const Target& t, std::int32_t minZ)
{
    return minZ < t.nearDepth || minZ > t.farDepth;
}

// Walks the edge p-q into the span records of rows top..bottom (the triangle's clipped
// rows): its x, depth and channel values go into the left (rightEnd false) or right member
// of each record. Only records of rows firstRow..lastRow are written.
void EdgeToSpans(const Target& t, TCanvasVertex p, TCanvasVertex q, bool rightEnd, std::int32_t top,
                 std::int32_t bottom, int firstRow, int lastRow)
{
    if (p.y > q.y) std::swap(p, q);
    if (q.y < top || p.y > bottom) return;
    if (p.y < top) InterpolateVertex(p, q, p, true, top);
    if (q.y > bottom) InterpolateVertex(p, q, q, true, bottom);
    const int n = q.y - p.y + 1;
    const int first = firstRow - p.y, last = lastRow - p.y;
    TCanvasSpan& record = t.spans[p.y];
    const int side = rightEnd ? 1 : 0;
    canvas_kernels::FillEdgeRampPart(rightEnd ? &record.rightX : &record.leftX, n, p.x, q.x, first, last);
    canvas_kernels::FillEdgeRampPart(rightEnd ? &record.rightZ : &record.leftZ, n, p.z, q.z, first, last);
    for (int k = 0; k < t.channels.count; ++k) {
        const int offset = t.channels.pairOffset[k];
        canvas_kernels::FillEdgeRampPart(PairOf(record, offset) + side, n, ValueOf(p, offset),
                                         ValueOf(q, offset), first, last);
    }
}

// Sorts three vertices by x, keeping the given order among equals.
void SortByX(TCanvasVertex& a, TCanvasVertex& b, TCanvasVertex& c)
{
    if (b.x < a.x) std::swap(a, b);
    if (c.x < b.x) {
        std::swap(b, c);
        if (b.x < a.x) std::swap(a, b);
    }
}

}  // namespace

RowRange PointRows(const Target& t, const TCanvasVertex& v)
{
    if (v.x < t.left || v.x > t.right || v.y < t.top || v.y > t.bottom || DepthDropped(t, v.z)) return {};
    return {v.y, v.y};
}

RowRange LineRows(const Target& t, const TCanvasVertex& a, const TCanvasVertex& b)
{
    if (DepthDropped(t, std::min(a.z, b.z))) return {};
    if (std::max(a.x, b.x) < t.left || std::min(a.x, b.x) > t.right) return {};
    const std::int32_t minY = std::min(a.y, b.y), maxY = std::max(a.y, b.y);
    if (maxY < t.top || minY > t.bottom) return {};
    return {std::max(minY, t.top), std::min(maxY, t.bottom)};
}

RowRange TriangleRows(const Target& t, const TCanvasVertex& a, const TCanvasVertex& b, const TCanvasVertex& c)
{
    if (DepthDropped(t, std::min({a.z, b.z, c.z}))) return {};
    const std::int32_t minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    if (maxY < t.top || minY > t.bottom) return {};
    if (std::max({a.x, b.x, c.x}) < t.left || std::min({a.x, b.x, c.x}) > t.right) return {};
    return {std::max(minY, t.top), std::min(maxY, t.bottom)};
}

void DrawPoint(const Target& t, const TCanvasVertex& v, int firstRow, int lastRow)
{
    const RowRange rows = PointRows(t, v);
    if (rows.first > rows.last || v.y < firstRow || v.y > lastRow) return;
    const std::int32_t* depth = RowOf(t.depth, t.depthStride, v.y) + v.x;
    if (*depth < v.z) return;
    TCanvasVertex value = v;
    for (int k = 0; k < t.channels.count; ++k)
        RowOf(t.channels.row[k], t.channels.stride[k], v.y)[v.x] =
            std::uint16_t(ValueOf(value, t.channels.pairOffset[k]));
}

void DrawLine(const Target& t, TCanvasVertex a, TCanvasVertex b, bool smooth, int firstRow, int lastRow)
{
    // A line is drawn once per present channel, depth included: with none it writes nothing.
    if (t.channels.count == 0) return;
    const RowRange rows = LineRows(t, a, b);
    if (rows.first > rows.last || rows.last < firstRow || rows.first > lastRow) return;
    if (!smooth)
        for (int k = 0; k < t.channels.count; ++k) {
            const int offset = t.channels.pairOffset[k];
            const auto mean = std::int32_t((std::int64_t(ValueOf(a, offset)) + ValueOf(b, offset)) >> 1);
            ValueOf(a, offset) = ValueOf(b, offset) = mean;
        }
    if (b.x < a.x) std::swap(a, b);
    if (a.x < t.left) InterpolateVertex(a, b, a, false, t.left);
    if (b.x > t.right) InterpolateVertex(a, b, b, false, t.right);
    if (b.y < a.y) std::swap(a, b);
    if (b.y < t.top || a.y > t.bottom) return;
    if (a.y < t.top) InterpolateVertex(a, b, a, true, t.top);
    if (b.y > t.bottom) InterpolateVertex(a, b, b, true, t.bottom);

    TCanvasSpan line;
    line.leftX = a.x;
    line.leftZ = a.z;
    line.rightX = b.x;
    line.rightZ = b.z;
    for (int k = 0; k < t.channels.count; ++k) {
        const int offset = t.channels.pairOffset[k];
        PairOf(line, offset)[0] = ValueOf(a, offset);
        PairOf(line, offset)[1] = ValueOf(b, offset);
    }
    canvas_kernels::DrawLineRows(smooth, RowOf(t.depth, t.depthStride, a.y), t.depthStride,
                                 ChannelsAt(t, a.y), b.y - a.y + 1, line, firstRow - a.y, lastRow - a.y);
}

void DrawTriangle(const Target& t, TCanvasVertex a, TCanvasVertex b, TCanvasVertex c, bool smooth,
                  int firstRow, int lastRow)
{
    const RowRange rows = TriangleRows(t, a, b, c);
    if (rows.first > rows.last || rows.last < firstRow || rows.first > lastRow) return;
    SortByX(a, b, c);
    if (!smooth)
        for (int k = 0; k < t.channels.count; ++k) {
            const int offset = t.channels.pairOffset[k];
            const auto mean = std::int32_t(
                (std::int64_t(ValueOf(a, offset)) + ValueOf(b, offset) + ValueOf(c, offset)) / 3);
            ValueOf(a, offset) = ValueOf(b, offset) = ValueOf(c, offset) = mean;
        }
    // a, b, c stay the unclipped left, middle and right vertices; the clip works on copies.
    TCanvasVertex l = a, m = b, r = c;
    TCanvasVertex l1 = l, l2 = l, r1 = r, r2 = r;
    if (l.x < t.left) {
        InterpolateVertex(l, r, l1, false, t.left);
        if (m.x < t.left) {
            InterpolateVertex(m, r, l2, false, t.left);
            m = l2;
        } else {
            InterpolateVertex(l, m, l2, false, t.left);
        }
    }
    if (r.x > t.right) {
        InterpolateVertex(l, r, r1, false, t.right);
        if (m.x > t.right) {
            InterpolateVertex(l2, m, r2, false, t.right);
            m = r2;
        } else {
            InterpolateVertex(m, r, r2, false, t.right);
        }
    }
    const std::int32_t topRow = std::min({l1.y, l2.y, m.y, r2.y, r1.y});
    const std::int32_t bottomRow = std::max({l1.y, l2.y, m.y, r2.y, r1.y});
    if (bottomRow < t.top || topRow > t.bottom) return;
    const std::int32_t top = std::max(topRow, t.top), bottom = std::min(bottomRow, t.bottom);

    // Which side of the long edge the middle vertex lies on (o: on or below it), from the
    // unclipped vertices alone. Judged from the clipped rows, a triangle clipped at both
    // sides could leave rows whose right end no edge writes, and its pixels would depend on
    // what an earlier primitive left in the span records.
    const bool o = __int128(std::int64_t(b.y) - a.y) * (std::int64_t(c.x) - a.x) >=
                   __int128(std::int64_t(c.y) - a.y) * (std::int64_t(b.x) - a.x);

    const int bandFirst = std::max<int>(top, firstRow), bandLast = std::min<int>(bottom, lastRow);
    if (bandFirst > bandLast) return;
    const bool level = l1.y == r1.y && m.y == l2.y && l2.y == r2.y;
    if (l1.y != l2.y || level) EdgeToSpans(t, l1, l2, false, top, bottom, bandFirst, bandLast);
    if (r1.y != r2.y || level) EdgeToSpans(t, r1, r2, true, top, bottom, bandFirst, bandLast);
    if (r1.y != l1.y) EdgeToSpans(t, r1, l1, (r1.y < l1.y) != o, top, bottom, bandFirst, bandLast);
    if (l2.y != m.y) EdgeToSpans(t, l2, m, (l2.y < m.y) != o, top, bottom, bandFirst, bandLast);
    if (m.y != r2.y) EdgeToSpans(t, m, r2, (m.y < r2.y) != o, top, bottom, bandFirst, bandLast);

    canvas_kernels::FillSpanRows(smooth, RowOf(t.depth, t.depthStride, bandFirst), t.depthStride,
                                 ChannelsAt(t, bandFirst), bandLast - bandFirst + 1, t.spans + bandFirst);
}

}  // namespace canvas_raster
