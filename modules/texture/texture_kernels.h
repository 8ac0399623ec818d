#pragma once

// The texture statistics over every window of an image, fast: each sample is quantised
// once into a ring of level rows; first-order statistics slide a histogram and integer
// power sums along the row, co-occurrence measures keep their pair counts and integer pair
// sums as the window slides. All running sums are integers, so a result does not depend on
// where a band starts or on the number of threads. Pure row code: no files, no meter.

#include <atomic>
#include <cstdint>

#include "modules/texture/texture_statistics.h"
#include "outside/basecore/row_driver.h"

/// What one run computes.
struct TextureSpec {
    int dimensionality = 0;  ///< 0 first order ("1-D"), 1 co-occurrence ("2-D")
    int statistic = 0;       ///< FirstOrderStatistic or CooccurrenceMeasure
    int window = 3;          ///< odd side W, 3 to 21
    int direction = 0;       ///< co-occurrence: 0 "0°", 1 "45°", 2 "90°", 3 "135°"
    int distance = 1;        ///< co-occurrence: 0 .. W - 1 gives pairs; anything else none
};

/// True for a known dimensionality and statistic, an odd window of 3 to 21 and a direction 0..3.
bool IsValidTextureSpec(const TextureSpec& spec);

/// Computes output rows [first, last) of `in` (a real sample type, 1 to 8) into `out`
/// (out[y] is row y). Only the computed area is written: rows k .. height - k - 1 and
/// columns k .. width - k - 1, k = window / 2; rows outside it are skipped. `stop`, when
/// set, ends the run at the next row. A window without co-occurrence pairs gives 0.
void TextureRows(int type, const RowSource& in, const LevelRange& range, const TextureSpec& spec,
                 std::int64_t first, std::int64_t last, float* const* out,
                 const std::atomic<bool>* stop = nullptr);

/// The whole computed area through the row driver; `progress` gets the rows done (it may
/// throw the cancel error).
void TextureImage(int type, const RowSource& in, const LevelRange& range, const TextureSpec& spec,
                  float* const* out, const BandProgress& progress = {}, int threads = 0);
