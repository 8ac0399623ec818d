#pragma once

// What tests of the band engine share: a count of bands inside their work, a band that
// waits for the job to say stop, and the rows a banded kernel's test compares with its
// plain reference.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/row_bands.h"

namespace tarvenix::test {

/// Counts bands inside their work, so a test can tell that none runs after the call.
struct BandCensus {
    std::atomic<int> running{0};
    std::atomic<int> started{0};
    std::atomic<int> maxRunning{0};
    struct Scope {
        explicit Scope(BandCensus& c) : census(c)
        {
            census.started.fetch_add(1);
            const int now = census.running.fetch_add(1) + 1;
            int seen = census.maxRunning.load();
            while (now > seen && !census.maxRunning.compare_exchange_weak(seen, now)) {
            }
        }
        ~Scope() { census.running.fetch_sub(1); }
        BandCensus& census;
    };
};

/// Helpers that take a band after the failure hold it until the job says stop, so the
/// caller can only return through the stop; the bound ends a broken driver's test instead
/// of hanging it.
inline void HoldUntilStopped(const platform::RowBand& band)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!band.Stopped()) {
        ASSERT_LT(std::chrono::steady_clock::now(), limit) << "band " << band.index << " never told to stop";
        std::this_thread::yield();
    }
}

/// The rows of [0, rows) a test of a banded kernel compares with its plain reference, in
/// increasing order: the `before` rows above and the `after` rows from every band start of
/// `bands` (band rows counted from `offset`, the kernel's first output row), the first and
/// last `after` rows, and every `stride`-th row besides. A large layer is then checked where
/// a band could carry state from the wrong rows, and sampled elsewhere, at a small part of
/// the plain reference's cost.
inline std::vector<std::int64_t> RowsAroundBandStarts(const platform::RowBands& bands, std::int64_t offset,
                                                      std::int64_t rows, int before, int after, int stride)
{
    std::vector<char> take(static_cast<std::size_t>(std::max<std::int64_t>(rows, 0)), 0);
    auto mark = [&](std::int64_t from, std::int64_t to) {
        for (std::int64_t y = std::max<std::int64_t>(from, 0); y < std::min(to, rows); ++y)
            take[static_cast<std::size_t>(y)] = 1;
    };
    for (std::int64_t b = 0; b < bands.Count(); ++b)
        mark(offset + bands.Begin(b) - before, offset + bands.Begin(b) + after);
    mark(0, after);
    mark(rows - after, rows);
    for (std::int64_t y = 0; y < rows; y += std::max(stride, 1)) mark(y, y + 1);
    std::vector<std::int64_t> out;
    for (std::int64_t y = 0; y < rows; ++y)
        if (take[static_cast<std::size_t>(y)]) out.push_back(y);
    return out;
}

/// The name of a case of a boundary test table: type, size, window, threads, scalar code.
inline std::string BoundaryCaseName(const char* type, int width, int height, int window, int threads,
                                    bool avx2 = true)
{
    return std::string(type) + "_" + std::to_string(width) + "x" + std::to_string(height) + "_window" +
           std::to_string(window) + "_threads" + std::to_string(threads) + (avx2 ? "" : "_scalar");
}

}  // namespace tarvenix::test
