#pragma once

// The display range of a layer from its statistics: the values the display stretches over
// its 256 levels.

#include "platform/types.h"

/// Stretch methods, as the trimming dialog offers them.
enum StretchMethod : int {
    kStretchAuto = 0,          ///< the histogram's range with 0.5 % cut at each end (PseudoMinMaxCalculator)
    kStretchNone = 1,          ///< minimum to maximum
    kStretchDoubleStdDev = 2,  ///< mean -/+ 2 standard deviations, kept within minimum..maximum
    kStretchManual = 3,        ///< the given low and high
};

/// Writes the display range for `method` into *outLow and *outHigh. `hist` holds the 256
/// counters of minimum..maximum; `low` and `high` are the given bounds (used by "Manual").
/// Method -1, and any code not listed above, counts as "Auto". `type` and `complexMode`
/// name the data the statistics describe and do not change the rule.
/// A method that cannot give a range (no histogram, no deviation, a non-finite manual bound)
/// gives minimum..maximum; manual bounds given in reverse are swapped. FALSE, with 0..0
/// written, when minimum or maximum is not finite or minimum lies above maximum, or when an
/// out pointer is null.
BOOL StretchCalculator(int type, int complexMode, int method, double min, double max, double mean,
                       double stdDev, const DWORD* hist, double low, double high, double* outLow,
                       double* outHigh);
