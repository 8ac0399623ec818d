#pragma once

// Nearest-neighbour resizing of one byte channel of a pixel block, in whole numbers only:
// destination sample i takes source sample floor(i * sw / dw), row j source row
// floor(j * sh / dh). Callers with several bytes per pixel call it once per byte, or
// StretchColourPixels for whole 32-bit colour pixels in one pass.

#include "platform/types.h"

/// One byte channel of a pixel block.
struct PixelBlock {
    BYTE* first = nullptr;  ///< the first sample of the first row to be walked
    int width = 0;
    int height = 0;
    int pixelStep = 0;  ///< bytes from one sample to the next
    int rowStep = 0;    ///< bytes from one row to the next (negative walks upwards)
};

/// Fills every sample of `destination` from `source`; a destination of no width or
/// height writes nothing. Allocates nothing.
void StretchPixelRows(const PixelBlock& destination, const PixelBlock& source);

/// One row of that: `destinationWidth` samples from a row of `sourceWidth`.
void StretchPixelRow(BYTE* destination, const BYTE* source, int destinationStep, int sourceStep,
                     int destinationWidth, int sourceWidth);

/// The three colour bytes of 32-bit pixels at once, in one pass: each destination pixel gets
/// bytes 0 to 2 of its source pixel (chosen as StretchPixelRows chooses) and a zero fourth
/// byte. Both blocks start at a pixel's first byte; a destination of no width or height
/// writes nothing. The same result as StretchPixelRows on the three colour planes of a
/// cleared picture. Allocates nothing.
void StretchColourPixels(const PixelBlock& destination, const PixelBlock& source);
