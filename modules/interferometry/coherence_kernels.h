#pragma once

// Interferometric coherence of two co-registered complex images over a square window:
// |Σ a·b̄| / sqrt(Σ|a|² · Σ|b|²), the magnitude of the normalised cross-correlation, for
// every complex sample type. Pure row code: no files, no meter, no windows.

#include "outside/basecore/row_driver.h"

/// The coherence of one pair of samples of complex type `type` (9 to 16):
/// |a·b̄| / (|a|·|b|); 1 when both are non-zero, NaN (0/0) when either is zero.
double CoherenceOfPair(int type, const void* a, const void* b);

/// Writes the coherence over the window × window square (odd, 3 to 17) around every inner
/// pixel of two images of complex type `type` (9 to 16) and equal size: rows and columns
/// k .. size - k - 1 with k = window / 2. out[y] is row y of the output, of F32 (outType 7)
/// or F64 (outType 8) samples; nothing else of it is written. A window in which either
/// image is zero throughout gives NaN. Integer samples are summed exactly. `progress`
/// gets the inner rows done (it may throw the cancel error).
void CoherenceImage(int type, const RowSource& a, const RowSource& b, int window, void* const* out,
                    int outType, const BandProgress& progress = {}, int threads = 0);

/// The output type of coherence for inputs of `type`: F64 (8) for complex double, else F32 (7).
int CoherenceOutputType(int type);
