#pragma once

// The measurements of tarvenix-bench. Each area registers its own in its own file:
//
//   static const bool kRegistered = RegisterBench("stats-f32-16k", "plain-pass", [](BenchContext& ctx) {
//       ... prepare ...
//       return BenchTimes{Seconds([&] { work(); }), Seconds([&] { reference(); })};
//   });
//
// The program runs each measurement several times and prints the medians as
// "bench: NAME SECONDS s, RATIO x REFERENCE", followed, where the measurement gives them, by
// the ratio of a job to its kernel alone plus the floor of its file I/O, and by the CPU
// times of all the process's threads (what a loaded machine cannot blur). TARVENIX_BENCH_RUNS
// sets the runs (5), TARVENIX_BENCH_BEST=1 prints the fastest run instead of the median, and
// TARVENIX_BENCH_THREADS=n runs the row driver's work on n threads.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

/// Wall and CPU time (all threads of the process) of one piece of work, in seconds.
struct Timing {
    double wall = 0.0;
    double cpu = 0.0;
};

/// One run of a measurement: the time of the work and of its reference. The other times
/// are 0 where a measurement does not give them. A reference that cannot run here (a peer
/// library not installed) says why in referenceMissing.
struct BenchTimes {
    double seconds = 0.0;
    double referenceSeconds = 0.0;
    double cpuSeconds = 0.0;
    double referenceCpuSeconds = 0.0;
    /// A job's kernel alone on samples in memory, and the I/O floor of its files (IoFloor).
    Timing kernel{};
    Timing ioFloor{};
    std::string referenceMissing{};
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
    /// Runs `release` when the measurements end, before the platform and the application
    /// object go (in the reverse order of the calls): what a measurement keeps between its
    /// runs (windows, DCs, open layers) must not outlive them.
    virtual void AtEnd(std::function<void()> release) = 0;
};

using BenchFn = std::function<BenchTimes(BenchContext&)>;

/// The object `make` returns (new), made on the first call from this place and deleted when
/// the measurements end, while the platform is still there. Every call site keeps its own
/// (each lambda is a type of its own).
template <class Make>
auto& KeptUntilEnd(BenchContext& ctx, Make make)
{
    using T = std::remove_pointer_t<decltype(make())>;
    static T* kept = nullptr;
    if (!kept) {
        kept = make();
        ctx.AtEnd([] {
            delete kept;
            kept = nullptr;
        });
    }
    return *kept;
}

class CRDPLayer;
/// ctx.Layer(width, height, type) opened read-only once per process and shared by the
/// measurements that read it; closed when the measurements end.
CRDPLayer& SharedLayer(BenchContext& ctx, int width, int height, int type);

/// Adds a measurement; `reference` names what the ratio compares with. Returns true.
bool RegisterBench(const std::string& name, const std::string& reference, BenchFn run);

/// CPU time of the whole process so far, in seconds.
inline double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

/// CPU time of the calling thread so far, in seconds (what a loaded machine disturbs far
/// less than wall time, for work on one thread).
inline double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

/// CPU time of the calling thread spent in `work`.
template <class F>
double CpuSeconds(F&& work)
{
    const double start = ThreadCpuSeconds();
    work();
    return ThreadCpuSeconds() - start;
}

/// Wall and CPU time of one call of `work`.
template <class F>
Timing Measure(F&& work)
{
    const double cpu = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return Timing{wall, ProcessCpuSeconds() - cpu};
}

/// Wall time of one call of `work`, in seconds.
template <class F>
double Seconds(F&& work)
{
    return Measure(std::forward<F>(work)).wall;
}

/// The least the file I/O of a job can cost: every input file read whole with read(2), and
/// `outputBytes` written with write(2) into a new file beside `output`, synced once and
/// renamed over `output` (the job replaces its previous output the same way).
Timing IoFloor(const std::vector<std::string>& inputs, std::int64_t outputBytes, const std::string& output);

/// A copy of ctx.Layer(width, height, type) with the tags a user's file carries: a palette
/// and a description (job inputs: the jobs copy them to their outputs).
std::string TaggedLayer(BenchContext& ctx, int width, int height, int type);

/// The size of a file in bytes (0 when it cannot be read).
std::int64_t FileBytes(const std::string& path);

/// A kernel copy of `from` into a new file `to` (copy_file_range), synced once.
Timing SyncedPlainCopy(const std::string& from, const std::string& to);

/// A job's measurement: the job, its reference, its kernel alone (on samples in memory)
/// and the I/O floor of its files: the inputs read and as many bytes written as the job
/// wrote to `output`.
template <class Job, class Reference, class Kernel>
BenchTimes MeasureJob(Job&& job, Reference&& reference, Kernel&& kernel,
                      const std::vector<std::string>& inputs, const std::string& output)
{
    const Timing work = Measure(job);
    const std::int64_t outputBytes = FileBytes(output);
    const Timing plain = Measure(reference);
    BenchTimes t{work.wall, plain.wall, work.cpu, plain.cpu};
    t.kernel = Measure(kernel);
    t.ioFloor = IoFloor(inputs, outputBytes, output);
    return t;
}

/// Reads one byte of every page of the rows, so that a kernel measured on them alone
/// does not pay for mapping them in.
void TouchRows(void* const* rows, int height, std::int64_t rowBytes);

/// Row pointers into one block of zeroed memory (touched: a kernel measured on it pays no
/// page faults), `height` rows of `rowBytes`.
class MemoryRows {
public:
    MemoryRows(int height, std::int64_t rowBytes);
    void** Rows() { return m_rows.data(); }
    template <class T>
    T* const* As()
    {
        return reinterpret_cast<T* const*>(m_rows.data());
    }

private:
    std::vector<std::uint64_t> m_block;
    std::vector<void*> m_rows;
};
