#pragma once

// What tests of the band engine share: a count of bands inside their work, and a band that
// waits for the job to say stop.

#include <atomic>
#include <chrono>
#include <thread>

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

}  // namespace tarvenix::test
