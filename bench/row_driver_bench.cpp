// What starting bands costs: an empty per-row kernel over 16384 rows through the row
// driver on all cores against the same kernel in a plain loop. Each run times many jobs
// and reports one job's share, so that microseconds show above the clock's noise.

#include <cstdint>

#include "bench/bench_registry.h"
#include "outside/basecore/row_driver.h"

namespace {

constexpr std::int64_t kRows = 16384;
constexpr int kJobs = 200;

// Keeps the compiler from dropping the kernel; costs nothing itself.
inline void Touch(std::int64_t y)
{
    asm volatile("" : : "r"(y) : "memory");
}

const bool kRegistered = RegisterBench("row-driver-overhead", "plain-loop", [](BenchContext&) {
    BenchTimes t;
    t.seconds = Seconds([] {
                    for (int j = 0; j < kJobs; ++j) ForEachRow(kRows, [](std::int64_t y, int) { Touch(y); });
                }) /
                kJobs;
    t.referenceSeconds = Seconds([] {
                             for (int j = 0; j < kJobs; ++j)
                                 for (std::int64_t y = 0; y < kRows; ++y) Touch(y);
                         }) /
                         kJobs;
    return t;
});

}  // namespace
