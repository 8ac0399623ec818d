#include "outside/basecore/stretch_calculator.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "outside/basecore/file_helpers.h"

BOOL StretchCalculator(int, int, int method, double min, double max, double mean, double stdDev,
                       const DWORD* hist, double low, double high, double* outLow, double* outHigh)
{
    if (!outLow || !outHigh) return FALSE;
    if (!std::isfinite(min) || !std::isfinite(max) || min > max) {
        *outLow = *outHigh = 0.0;
        return FALSE;
    }
    double lo = min, hi = max;
    switch (method) {
        case kStretchNone:
            break;
        case kStretchDoubleStdDev:
            if (std::isfinite(mean) && std::isfinite(stdDev) && stdDev > 0) {
                lo = std::max(min, mean - 2 * stdDev);
                hi = std::min(max, mean + 2 * stdDev);
                if (!(lo < hi)) lo = min, hi = max;  // a mean outside the extremes
            }
            break;
        case kStretchManual:
            if (std::isfinite(low) && std::isfinite(high)) {
                lo = low;
                hi = high;
                if (lo > hi) std::swap(lo, hi);
            }
            break;
        default:  // "Auto", -1 among them
            if (!hist || !PseudoMinMaxCalculator(min, max, hist, &lo, &hi)) lo = min, hi = max;
            break;
    }
    *outLow = lo;
    *outHigh = hi;
    return TRUE;
}
