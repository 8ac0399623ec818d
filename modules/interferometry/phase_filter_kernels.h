#pragma once

// The phase filter: at every pixel the angle of the mean phasor of a square window, the
// unit vectors (cos φ, sin φ) of a real phase image or the samples of a complex one. Pure
// row code: no files, no meter, no windows.

#include "outside/basecore/row_driver.h"

/// Writes atan2(ΣV, ΣU) over the window × window square (odd, 3 to 17) around every inner
/// pixel (rows and columns k .. size - k - 1, k = window / 2) of an image of `type`: real
/// types (values are phases in radians) by (U, V) = (cos φ, sin φ), complex types by
/// (U, V) = (re, im). out[y] is row y of F32 (outType 7) or F64 (outType 8) samples; nothing
/// else of it is written. `progress` gets the inner rows done (it may throw the cancel error).
void FilterPhaseImage(int type, const RowSource& in, int window, void* const* out, int outType,
                      const BandProgress& progress = {}, int threads = 0);

/// The output type of the phase filter for inputs of `type`: F64 (8) for F64 and complex
/// double inputs, else F32 (7).
int PhaseFilterOutputType(int type);
