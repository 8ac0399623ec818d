#pragma once

// Square-window sums of a few per-sample quantities, shared by the coherence and the phase
// filter kernels (their .cpp files only). Each input row's quantities are formed once per
// band into a ring of n rows; a window's sum is the sum of its n column sums, and along a
// row the n-wide sums come from prefix and suffix sums inside blocks of n columns. Nothing
// is ever subtracted, so a window's sum holds only its own samples: no drift next to a
// bright target, and a NaN spoils only the windows that contain it. The result of a pixel
// does not depend on the band cut or the number of threads.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "modules/common/block_run_sums.h"
#include "outside/basecore/row_driver.h"

namespace interf_detail {

/// Rows per band at least: the ring is refilled at every band's start.
inline std::int64_t MinRowsPerBand(int window)
{
    return std::max<std::int64_t>(kDefaultMinRowsPerBand, 4 * std::int64_t(window));
}

/// Runs the window sums over the inner rows k .. height - k - 1 (k = window / 2).
/// form(y, q) fills q[i][x] (i < K, x < width) with the quantities of input row y;
/// emit(y, sums) gets, for the inner columns x = k .. width - k - 1, the window sums
/// sums[i][x - k]. Acc is the accumulator (double, or a wide integer for exact sums).
template <int K, class Acc, class Form, class Emit>
void WindowSums(std::int64_t height, int width, int window, Form&& form, Emit&& emit,
                const BandProgress& progress, int threads)
{
    const int n = window, k = window / 2;
    const std::int64_t inner = height - 2 * std::int64_t(k);
    if (inner <= 0 || width < n) return;
    const int innerWidth = width - 2 * k;
    const std::size_t w = std::size_t(width);
    RunRowBands(
        RowBands::Even(inner, MinRowsPerBand(n)),
        [&](const RowBand& band) {
            // Ring slot of input row r is r % n, so the column sums add in one fixed order.
            std::vector<Acc> ring(std::size_t(n) * K * w);
            std::vector<Acc> columns(static_cast<std::size_t>(K) * w);
            std::vector<Acc> sums(static_cast<std::size_t>(K) * std::size_t(innerWidth));
            BlockRunSums<K, Acc> runs(width, n);
            std::array<Acc*, K> slotRows{};
            auto fill = [&](std::int64_t r) {
                Acc* base = ring.data() + std::size_t(r % n) * K * w;
                for (int i = 0; i < K; ++i) slotRows[std::size_t(i)] = base + std::size_t(i) * w;
                form(r, slotRows);
            };
            const std::int64_t first = band.begin + k, last = band.end + k;  // centre rows
            for (std::int64_t r = first - k; r < first + k; ++r) fill(r);
            std::array<const Acc*, K> column{};
            std::array<Acc*, K> out{};
            for (int i = 0; i < K; ++i) {
                column[std::size_t(i)] = columns.data() + std::size_t(i) * w;
                out[std::size_t(i)] = sums.data() + std::size_t(i) * innerWidth;
            }
            for (std::int64_t y = first; y < last && !band.Stopped(); ++y) {
                fill(y + k);
                for (int i = 0; i < K; ++i) {
                    Acc* dst = columns.data() + std::size_t(i) * w;
                    const Acc* slot0 = ring.data() + std::size_t(i) * w;
                    std::copy(slot0, slot0 + w, dst);
                    for (int s = 1; s < n; ++s) {
                        const Acc* src = ring.data() + (std::size_t(s) * K + std::size_t(i)) * w;
                        for (std::size_t x = 0; x < w; ++x) dst[x] += src[x];
                    }
                }
                runs.Sum(
                    [&](int x, std::array<Acc, K>& v) {
                        for (int i = 0; i < K; ++i) v[std::size_t(i)] = column[std::size_t(i)][x];
                    },
                    [&](int s, const std::array<Acc, K>& sums) {
                        for (int i = 0; i < K; ++i) out[std::size_t(i)][s] = sums[std::size_t(i)];
                    });
                emit(y, static_cast<const std::array<Acc*, K>&>(out));
            }
        },
        progress, threads);
}

}  // namespace interf_detail
