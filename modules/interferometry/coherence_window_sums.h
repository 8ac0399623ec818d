#pragma once

// Square-window sums of a few per-sample quantities, shared by the coherence and the phase
// filter kernels (their .cpp files only). Each input row's quantities are formed once per
// band and strip of columns into a ring of n rows; a window's sum is the sum of its n column sums, and along
// a row the n-wide sums come from prefix and suffix sums inside blocks of n columns. Nothing is ever
// subtracted, so a window's sum holds only its own samples: no drift next to a bright target, and a NaN
// spoils only the windows that contain it. The result of a pixel does not depend on the band cut or the
// number of threads.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "modules/common/block_run_sums.h"
#include "outside/basecore/row_driver.h"
#include "platform/kernel/cpu_features.h"

namespace interf_detail {

/// dst[x] = slot 0 + slot 1 + ... + slot n - 1 at x, added in that order; slot s starts at
/// first + s * stride. Each column is summed in registers rather than through dst.
template <class Acc>
inline void SumSlots(const Acc* first, std::size_t stride, int n, std::size_t width, Acc* dst)
{
    for (std::size_t x = 0; x < width; ++x) {
        Acc sum = first[x];
        for (int s = 1; s < n; ++s) sum += first[std::size_t(s) * stride + x];
        dst[x] = sum;
    }
}

/// The same for doubles, four columns per vector where the processor has AVX2.
void SumSlotsAvx2(const double* first, std::size_t stride, int n, std::size_t width, double* dst);

/// Rows per band at least: the ring is refilled at every band's start.
inline std::int64_t MinRowsPerBand(int window)
{
    return std::max<std::int64_t>(kDefaultMinRowsPerBand, 8 * std::int64_t(window));
}

/// Columns of a strip, about: a strip's ring of rows then stays in the cache.
inline constexpr int kWindowStrip = 512;

/// Runs the window sums over the inner rows k .. height - k - 1 (k = window / 2), in strips
/// of whole blocks of n columns (each with the n - 1 columns its last windows reach).
/// form(y, x0, count, q) fills q[i][j] (i < K, j < count) with the quantities of input row y,
/// column x0 + j; emit(y, x0, count, sums) gets the window sums sums[i][j] of the windows
/// starting at columns x0 + j (j < count), that is of the inner columns x0 + k + j. Acc is
/// the accumulator (double, or a wide integer for exact sums).
template <int K, class Acc, class Form, class Emit>
void WindowSums(std::int64_t height, int width, int window, Form&& form, Emit&& emit,
                const BandProgress& progress, int threads)
{
    const int n = window, k = window / 2;
    const std::int64_t inner = height - 2 * std::int64_t(k);
    if (inner <= 0 || width < n) return;
    const int strip = n * std::max(1, kWindowStrip / n);
    const std::size_t most = std::size_t(std::min(width, strip + n - 1));
    RunRowBands(
        RowBands::Even(inner, MinRowsPerBand(n)),
        [&](const RowBand& band) {
            std::vector<Acc> ring(std::size_t(n) * K * most);
            std::vector<Acc> columns(static_cast<std::size_t>(K) * most);
            std::vector<Acc> sums(static_cast<std::size_t>(K) * most);
            const bool avx2 = platform::UseAvx2();
            const std::int64_t first = band.begin + k, last = band.end + k;  // centre rows
            for (int x0 = 0; x0 + n <= width && !band.Stopped(); x0 += strip) {
                const int columnsHere = std::min(width - x0, strip + n - 1);
                const int starts = std::min(strip, columnsHere - n + 1);
                const std::size_t w = std::size_t(columnsHere);
                BlockRunSums<K, Acc> runs(columnsHere, n);
                // Ring slot of input row r is r % n, so the column sums add in one fixed order.
                std::array<Acc*, K> slotRows{};
                auto fill = [&](std::int64_t r) {
                    Acc* base = ring.data() + std::size_t(r % n) * K * w;
                    for (int i = 0; i < K; ++i) slotRows[std::size_t(i)] = base + std::size_t(i) * w;
                    form(r, x0, columnsHere, static_cast<const std::array<Acc*, K>&>(slotRows));
                };
                for (std::int64_t r = first - k; r < first + k; ++r) fill(r);
                std::array<const Acc*, K> column{};
                std::array<Acc*, K> out{};
                for (int i = 0; i < K; ++i) {
                    column[std::size_t(i)] = columns.data() + std::size_t(i) * w;
                    out[std::size_t(i)] = sums.data() + std::size_t(i) * w;
                }
                for (std::int64_t y = first; y < last && !band.Stopped(); ++y) {
                    fill(y + k);
                    for (int i = 0; i < K; ++i) {
                        Acc* dst = columns.data() + std::size_t(i) * w;
                        const Acc* slot0 = ring.data() + std::size_t(i) * w;
                        if constexpr (std::is_same_v<Acc, double>)
                            if (avx2) {
                                SumSlotsAvx2(slot0, K * w, n, w, dst);
                                continue;
                            }
                        SumSlots(slot0, K * w, n, w, dst);
                    }
                    runs.SumRows(column, out);
                    emit(y, x0, starts, static_cast<const std::array<Acc*, K>&>(out));
                }
            }
        },
        progress, threads);
}

}  // namespace interf_detail
