#pragma once

// The measurements of tarvenix-bench. Each area registers its own in its own file:
//
//   static const bool kRegistered = RegisterBench("stats-f32-16k", "plain-pass", [](BenchContext& ctx) {
//       ... prepare ...
//       return BenchTimes{Seconds([&] { work(); }), Seconds([&] { reference(); })};
//   });
//
// The program runs each measurement several times and prints the medians as
// "bench: NAME SECONDS s, RATIO x REFERENCE".

#include <chrono>
#include <functional>
#include <string>

/// One run of a measurement: the time of the work and of its reference. A reference that
/// cannot run here (a peer library not installed) says why in referenceMissing.
struct BenchTimes {
    double seconds = 0.0;
    double referenceSeconds = 0.0;
    std::string referenceMissing;
};

/// What measurements share: a temporary folder, removed when the program ends, and layer
/// files made once on first use.
class BenchContext {
public:
    virtual ~BenchContext() = default;
    /// Full path of `name` in the temporary folder.
    virtual std::string File(const std::string& name) = 0;
    /// A layer file of random samples of `type`, made on first use and kept for the run.
    virtual std::string Layer(int width, int height, int type) = 0;
};

using BenchFn = std::function<BenchTimes(BenchContext&)>;

/// Adds a measurement; `reference` names what the ratio compares with. Returns true.
bool RegisterBench(const std::string& name, const std::string& reference, BenchFn run);

/// Wall time of one call of `work`, in seconds.
template <class F>
double Seconds(F&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
