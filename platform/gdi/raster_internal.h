#pragma once

// Row loops of the drawing layer: filling spans with a colour or a brush pattern under a
// binary raster operation, and blitting converted source rows under a ternary one. All
// work per span or per row; the only switches are outside the pixel loops.

#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {

/// What fills a shape: a colour, or a pattern repeated from an origin (device pixels).
struct Paint {
    enum class Type { Solid, Pattern, Hatch } type = Type::Solid;
    std::uint32_t color = 0;                 // pen or brush colour (0x00RRGGBB)
    std::uint32_t background = 0;            // hatch gaps, when opaque
    bool transparentGaps = false;            // hatch gaps left alone
    const std::uint32_t* pattern = nullptr;  // pixels, or 0/1 hatch bits
    int patWidth = 0;
    int patHeight = 0;
    int originX = 0;
    int originY = 0;
    int rop2 = R2_COPYPEN;
};

/// Fills the shape's pixels (already clipped to the surface) with the paint.
void FillSpans(const Surface& s, const SpanRegion& shape, const Paint& paint);

/// Rows of a source picture: row y (0 = top) starts at base + y * rowStep.
struct SourceImage {
    DibLayout layout;
    const std::uint8_t* base = nullptr;
    std::ptrdiff_t rowStep = 0;
    int width = 0;
    int height = 0;
    bool mono = false;            // black/white source drawn in text and background colours
    std::uint32_t monoBlack = 0;  // colour for black source pixels
    std::uint32_t monoWhite = 0;
};

/// Ternary raster operation (the high byte of a ROP code's low word is its truth table).
struct Blit {
    DWORD rop = SRCCOPY;
    const Paint* pattern = nullptr;  // the destination's brush, for pattern operations
};

/// True when the operation reads the source or the pattern.
bool RopUsesSource(DWORD rop);
bool RopUsesPattern(DWORD rop);

/// Copies `visible` (destination device pixels) from the source, where destination pixel
/// (x, y) takes source pixel (xmap[x - left], ymap[y - top]); maps come from the caller
/// (identity offsets for BitBlt, nearest neighbour for stretching).
void BlitSpans(const Surface& dst, const SpanRegion& visible, const SourceImage* src,
               const std::vector<int>& xmap, const std::vector<int>& ymap, int left, int top, const Blit& op);

/// Smooth (HALFTONE) stretch: the source rectangle scaled to the destination rectangle.
void SmoothStretch(const Surface& dst, const SpanRegion& visible, const SourceImage& src, RECT srcRect,
                   RECT dstRect, bool mirrorX, bool mirrorY, const Blit& op);

}  // namespace platform::gdi
