#pragma once

// MulDiv: number * numerator / denominator computed in 64 bits and rounded to the nearest
// integer, halves away from zero, as the system does.

#include "platform/types.h"

/// The rounded quotient; -1 when denominator is 0 or the result does not fit in an int.
PLATFORM_API int MulDiv(int nNumber, int nNumerator, int nDenominator);
