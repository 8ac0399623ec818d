#pragma once

// The six speckle filters (Mean, Median, Lee, Frost, Kuan, Sigma) over a square moving
// window. Pure row code: no files, no meter, no windows; the job and the preview share it.
// Every element becomes one real value first: integers with their sign, floats as they
// are, complex samples as their power re² + im².

#include <atomic>
#include <cstdint>

#include "outside/basecore/row_driver.h"

/// Filter indexes, in the order of the dialog's list.
enum NoiseFilterKind : int {
    kFilterMean = 0,
    kFilterMedian = 1,
    kFilterLee = 2,
    kFilterFrost = 3,
    kFilterKuan = 4,
    kFilterSigma = 5,
};

/// What one run filters with.
struct NoiseFilterSpec {
    int filter = kFilterMean;  ///< NoiseFilterKind
    int window = 3;            ///< odd side g of the window, 3 to 17
    float sigma = 0.0f;        ///< noise sigma: the square root of the noise variance
};

/// True for a filter index 0 to 5 and an odd window of 3 to 17.
bool IsValidNoiseFilterSpec(const NoiseFilterSpec& spec);

/// Frost's damping constant 4 / (g * sigma), as a float (infinite for sigma 0).
float FrostK0(int window, float sigma);

/// Filters output rows [first, last) of `in` (sample type `type`, 1 to 16) into `out`
/// (out[y] is row y of the output). Only the inner rectangle is written: rows in
/// [k, height - k) and columns k .. width - k - 1, where k = window / 2; callers keep
/// first and last inside it. `stop`, when set, ends the run at the next row.
void FilterNoiseRows(int type, const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                     std::int64_t last, float* const* out, const std::atomic<bool>* stop = nullptr);

/// Filters the whole inner rectangle through the row driver. The result does not depend on
/// the number of threads. `progress` gets the rows done (it may throw the cancel error).
void FilterNoiseImage(int type, const RowSource& in, const NoiseFilterSpec& spec, float* const* out,
                      const BandProgress& progress = {}, int threads = 0);
