#pragma once

// Row pieces of the Fourier tools: the quadrant swap that moves the zero frequency to the
// centre, the X derivative's frequency factor, real parts, and the spectrum record.

#include <array>
#include <cstdint>

#include "platform/types.h"

/// The spectrum record a spectrum file carries (tag 401): what was transformed.
struct SpectrumInfo {
    int real = 1;   ///< 1: the transformed input was real (codes 1..8); 0: complex
    int width = 0;  ///< size of the transformed input
    int height = 0;
};
inline constexpr int kSpectrumTagBytes = 20;

/// The tag's 20 bytes: size 20, marker 1, real flag, width, height (little-endian int32).
std::array<BYTE, kSpectrumTagBytes> EncodeSpectrumTag(const SpectrumInfo& info);
/// Reads a tag of `size` bytes found beside a spectrum of wi x hi. True only for a record
/// that can be trusted: size 20, marker 1, flag 0 or 1, 1 <= width <= wi, 1 <= height <= hi.
bool DecodeSpectrumTag(const BYTE* payload, int size, int wi, int hi, SpectrumInfo& info);

/// The side a transform pads `n` to: the least power of two not below n; 0 when that
/// exceeds the transforms' limit of 2^28.
std::int64_t PaddedSide(std::int64_t n);

/// Swaps row pair (y, y + hp/2) of a spectrum of `type` (9 or 10) `wp` wide, each half
/// with the other row's opposite half: the quadrant swap of every y < hp/2 moves the zero
/// frequency to (hp/2, wp/2) and undoes itself.
void SwapQuadrantRows(int type, void* upper, void* lower, std::int64_t wp);

/// Row y of a swapped spectrum of `type` (9 or 10) made plain again into `out`: `upper` is
/// row (y + hp/2) mod hp of the swapped spectrum and is rotated by wp/2. Equal to copying the
/// spectrum and swapping it back, in one pass.
void UnswapRow(int type, const void* upper, void* out, std::int64_t wp);

/// Multiplies row y of a complex float spectrum `wp` wide by i 2 pi kx / wp, kx = x below
/// wp/2, x - wp above it and 0 at wp/2 (the term without a sign): the X derivative.
void DerivativeXRow(void* row, std::int64_t wp);

/// out[x] = real part of in[x] for `width` samples: complex type `type` (9 or 10) into
/// floats of the same precision.
void RealPartRow(int type, const void* in, void* out, std::int64_t width);
