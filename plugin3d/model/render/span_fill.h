#pragma once

// The inner loops of the software renderer: integer ramps (digital differential analysers),
// z-buffered span and line fills into 16-bit channel planes and the shared 32-bit depth
// plane, the spreading of 16-bit levels into pixel bits, and the pass that packs channel
// planes into pixels through lookup tables. Plain functions over raw memory (base pointer
// and row stride in bytes): they allocate nothing, take no lock and report no error; the
// caller clips, so every coordinate handed in lies inside the planes.
//
// Every ramp steps the same way: over L steps from a0 to a1, D = |a1 - a0|, q = D / L and
// r = D % L (unsigned); each step adds s*q (s the sign of a1 - a0), takes r from an error
// term and, when the term is then <= 0, adds s and puts L back. L + 1 values are written,
// the last one exactly a1. A pixel is written when its new depth z <= the stored depth, so
// of two primitives at equal depth the later one wins.

#include <cstddef>
#include <cstdint>

/// A vertex in canvas pixels: depth z (smaller is nearer) and the value of each channel
/// (only the low 16 bits are stored).
struct TCanvasVertex {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::int32_t c1 = 0;
    std::int32_t c2 = 0;
    std::int32_t c3 = 0;
};

/// One row of a primitive: its ends, their depths and, per channel, the values at both ends.
/// A channel's pair is found at byte offset 0, 8 or 16 from the first pair.
struct TCanvasSpan {
    std::int32_t leftX = 0;
    std::int32_t rightX = 0;
    std::int32_t reserved[2] = {0, 0};
    std::int32_t leftZ = 0;
    std::int32_t rightZ = 0;
    std::int32_t channel[3][2] = {{0, 0}, {0, 0}, {0, 0}};
};
static_assert(sizeof(TCanvasSpan) == 48, "span records are 48 bytes, one per image row");

/// Byte offsets of the channels' pairs within a span record.
inline constexpr int kSpanChannelOffset[3] = {0, 8, 16};

/// For each of `rowCount` rows and its span record: the depth ramps from left to right depth
/// over pixels left x .. right x, each written pixel takes the left value of the channel at
/// `channelOffset`. A row whose right x is below its left x is skipped. The pointers are
/// those of the first row (column 0); each row advances them by the strides and one record.
void FillSpansFlat(int channelOffset, std::ptrdiff_t depthStride, std::ptrdiff_t channelStride, int rowCount,
                   std::int32_t* depthRow, std::uint16_t* channelRow, const TCanvasSpan* span);
/// As FillSpansFlat, with the channel value ramping from its left to its right value.
void FillSpansSmooth(int channelOffset, std::ptrdiff_t depthStride, std::ptrdiff_t channelStride,
                     int rowCount, std::int32_t* depthRow, std::uint16_t* channelRow,
                     const TCanvasSpan* span);

/// A line from (left x, first row) to (right x, last row) down `rowCount` rows, the depth
/// ramping from left to right depth, each written pixel taking the left value of the first
/// channel pair. A row count below 1 draws nothing.
void DrawLineFlat(std::ptrdiff_t depthStride, std::ptrdiff_t channelStride, int rowCount,
                  std::int32_t* depthRow, std::uint16_t* channelRow, const TCanvasSpan* line);
/// As DrawLineFlat, the value ramping along the line from the pair's left to its right value.
void DrawLineSmooth(std::ptrdiff_t depthStride, std::ptrdiff_t channelStride, int rowCount,
                    std::int32_t* depthRow, std::uint16_t* channelRow, const TCanvasSpan* line);

/// Writes a ramp from a0 to a1 into the field `firstField` of `n` consecutive span records
/// (n = 1 writes a0; n <= 0 writes nothing).
void FillEdgeRamp(std::int32_t* firstField, int n, std::int32_t a0, std::int32_t a1);

/// Entries i0..i1 (inclusive) of `entries` get a ramp from a0 to a1; with i0 > i1 the ends
/// and their values are exchanged first, with i0 = i1 the one entry gets (a0 + a1) >> 1.
void FillRamp(std::int32_t* entries, int i0, std::int32_t a0, std::int32_t a1, int i1);

/// out := the point of a-b at y = at (byY) or x = at; every other field is interpolated
/// with a 64-bit product and a division truncating towards zero. When a and b share that
/// coordinate only it is set. out may be a or b.
void InterpolateVertex(const TCanvasVertex& a, const TCanvasVertex& b, TCanvasVertex& out, bool byY,
                       std::int32_t at);

/// (Lx*c1 + Ly*c2 + Lz*c3) >> 20 in wrapping 32-bit arithmetic: a light vector in 12.20
/// fixed point applied to a vertex's three values.
std::int32_t LightDot(const std::int32_t light[3], const TCanvasVertex& vertex);

/// The output of `pairs` (input, output pairs sorted by input) at x: the end outputs beyond
/// the ends, an exact match's output, else the interpolation between the neighbours. Fewer
/// than two pairs give 0.
std::int32_t BreakpointLookup(std::int32_t x, const std::int32_t* pairs, int pairCount);

/// For each of `count` levels: output |= the OR of masks[b] over the set bits b (0..15) of
/// the level.
void SpreadBits(const std::int32_t* levels, std::int32_t* output, const std::int32_t masks[16], int count);

/// For each pixel of `rowCount` rows of `width` pixels: pixel |= table[channel value],
/// truncated to 1, 2, 3 or 4 bytes. The 3-byte form leaves the byte after each pixel alone.
void MapChannelRows8(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                     std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width);
void MapChannelRows16(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                      std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width);
void MapChannelRows24(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                      std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width);
void MapChannelRows32(const std::uint16_t* channels, void* pixels, const std::int32_t* table,
                      std::ptrdiff_t pixelStride, std::ptrdiff_t channelStride, int rowCount, int width);
