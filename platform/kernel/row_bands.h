#pragma once

// The band engine: the one way work over rows runs in parallel. A job is cut into bands of
// rows before it runs; the cut depends on the rows and the job's options only, never on the
// number of threads, and results that are merged band by band in band order are therefore
// the same on every machine. Bands run on the calling thread and on a process-wide pool of
// workers that is created once. Only the calling thread reports progress, after bands have
// completed. The calling thread's pause gate (SetThreadPauseGate) holds the helpers too:
// while it is closed they wait at it before their next band. A throw from a band or from
// progress stops the other bands at their next band (per-row forms: their next row) and
// reaches the caller once every band has ended: no band outlives the call. A job started
// from inside a band runs inline on that thread, so nested jobs never wait on the pool they
// are running on.
//
// The core library's row_driver.h is the face the suite's jobs use: it adds progress to a
// meter, whose progress call is where a job pauses and where a stop becomes its cancel error.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace platform {

/// One band of a job as its work sees it.
struct RowBand {
    std::int64_t index = 0;  ///< place in the job, from 0: the key of per-band results
    std::int64_t begin = 0;  ///< first row (or unit) of the band
    std::int64_t end = 0;    ///< one past its last row
    int slot = 0;            ///< 0 .. RowDriverSlots() - 1: the running thread's alone while the band runs
    const std::atomic<bool>* stop = nullptr;

    /// True once another band failed or progress threw: the band may end early.
    bool Stopped() const { return stop && stop->load(std::memory_order_relaxed); }
};

/// Bands of fewer rows than this are not worth waking a thread for, by default.
inline constexpr std::int64_t kDefaultMinRowsPerBand = 4;

/// The cut of a job into bands: band i covers rows [Begin(i), End(i)) and counts Weight(i)
/// towards progress (its row count unless given).
class PLATFORM_API RowBands {
public:
    /// [0, rows) in bands of `bandRows` rows (the last one may be shorter).
    static RowBands Fixed(std::int64_t rows, std::int64_t bandRows);
    /// [0, rows) in about 64 equal bands of at least `minRowsPerBand` rows: enough bands
    /// for eight threads to share unequal rows, few enough that a band costs nothing.
    static RowBands Even(std::int64_t rows, std::int64_t minRowsPerBand = kDefaultMinRowsPerBand);
    /// Bands between ascending `bounds` (band i is [bounds[i], bounds[i + 1])); `weights`,
    /// when given, holds one progress weight per band.
    static RowBands Bounds(std::vector<std::int64_t> bounds, std::vector<std::int64_t> weights = {});

    std::int64_t Count() const { return m_count; }
    std::int64_t Begin(std::int64_t band) const;
    std::int64_t End(std::int64_t band) const;
    std::int64_t Weight(std::int64_t band) const;

private:
    std::int64_t m_count = 0;
    std::int64_t m_rows = 0;  // uniform cut: rows and band height
    std::int64_t m_bandRows = 1;
    std::vector<std::int64_t> m_bounds;  // explicit cut
    std::vector<std::int64_t> m_weights;
};

/// Called on the calling thread only, with the total weight of the bands completed so far
/// (rows, unless the bands were given weights). It may throw (a meter's cancel): the job
/// stops and the exception reaches the caller.
using BandProgress = std::function<void(std::int64_t done)>;

/// Frees a failure that nobody will catch and says whether it knew it. When several bands
/// fail, only the first failure reaches the caller; the others are handed to the disposers.
/// A library whose errors are thrown as pointers registers one before it throws any, so
/// that those errors are freed, not leaked. The platform's own CFileException* needs none.
using FailureDisposer = bool (*)(const std::exception_ptr& failure);
PLATFORM_API void RegisterFailureDisposer(FailureDisposer disposer);

/// How a job runs beside its cut.
struct RowJobOptions {
    int threads = 0;                                       ///< 0: RowDriverThreads()
    std::int64_t minRowsPerBand = kDefaultMinRowsPerBand;  ///< for the Even cut
    std::int64_t bandRows = 0;                             ///< > 0: a Fixed cut of this height
};

/// Forces the number of threads every job runs on when it does not ask for a number
/// itself (tests use 1, 3, 8); 0 returns to all cores.
PLATFORM_API void SetRowDriverThreads(int threads);
/// Threads a job asking for `threads` (0: the process setting) may run on.
PLATFORM_API int RowDriverThreads(int threads = 0);
/// Slots a job of `bands` bands asking for `threads` uses at most: size per-thread scratch
/// with it. Slot 0 is the calling thread's.
PLATFORM_API int RowDriverSlots(std::int64_t bands, int threads = 0);

/// Sets the process's thread count for the life of a scope (tests).
class PLATFORM_API ScopedRowDriverThreads {
public:
    explicit ScopedRowDriverThreads(int threads);
    ~ScopedRowDriverThreads();
    ScopedRowDriverThreads(const ScopedRowDriverThreads&) = delete;
    ScopedRowDriverThreads& operator=(const ScopedRowDriverThreads&) = delete;

private:
    int m_previous;
};

namespace band_engine_detail {
using BandFn = void (*)(void* work, const RowBand& band);
PLATFORM_API void Run(const RowBands& bands, BandFn fn, void* work, const BandProgress& progress,
                      int threads);
PLATFORM_API RowBands CutFor(std::int64_t rows, const RowJobOptions& options);
}  // namespace band_engine_detail

/// Calls work(band) for every band of `bands`, on up to `threads` threads (0: the process
/// setting). Returns when every band has ended; rethrows the first exception of a band or
/// of progress after all of them have.
template <class Work>
void RunRowBands(const RowBands& bands, Work&& work, const BandProgress& progress = {}, int threads = 0)
{
    using W = std::remove_reference_t<Work>;
    band_engine_detail::Run(
        bands, [](void* w, const RowBand& band) { (*static_cast<W*>(w))(band); },
        const_cast<void*>(static_cast<const void*>(std::addressof(work))), progress, threads);
}

/// Calls bandFn(band, part) with one accumulator per band (each a copy of `init`), then
/// merges the parts into `init` in band order with merge(total, part): the result does not
/// depend on the thread count.
template <class Acc, class BandFn, class Merge>
Acc ReduceRowBands(const RowBands& bands, Acc init, BandFn&& bandFn, Merge&& merge,
                   const BandProgress& progress = {}, int threads = 0)
{
    std::vector<Acc> parts(static_cast<std::size_t>(bands.Count()), init);
    RunRowBands(
        bands, [&](const RowBand& band) { bandFn(band, parts[static_cast<std::size_t>(band.index)]); },
        progress, threads);
    for (const Acc& part : parts) merge(init, part);
    return init;
}

/// Calls rowFn(y, slot) for every row y of [0, rows). Progress counts rows.
template <class RowFn>
void ForEachRow(std::int64_t rows, RowFn&& rowFn, const BandProgress& progress = {},
                const RowJobOptions& options = {})
{
    RunRowBands(
        band_engine_detail::CutFor(rows, options),
        [&](const RowBand& band) {
            for (std::int64_t y = band.begin; y < band.end && !band.Stopped(); ++y) rowFn(y, band.slot);
        },
        progress, options.threads);
}

/// The input of a neighbourhood pass: row y of `height` rows starts at rows[y].
struct RowSource {
    const void* const* rows = nullptr;
    std::int64_t height = 0;
    int width = 0;
};

/// Rows y - r .. y + r of a RowSource around a centre row. Rows past the top and bottom are
/// mirrored about the edge row (row -1 is row 1, row h is row h - 2; a one-row input repeats
/// its row), so kernels never test for edges. The pointers are set up once per row in room
/// taken once per band.
class PLATFORM_API RowWindow {
public:
    RowWindow(const RowSource& source, int radius);
    /// Points the window at centre row y.
    void CentreOn(std::int64_t y);
    /// Row y + dy of the input, for dy in [-Radius(), Radius()].
    template <class T>
    const T* Row(int dy) const
    {
        return static_cast<const T*>(m_window[static_cast<std::size_t>(dy + m_radius)]);
    }
    int Radius() const { return m_radius; }
    int Width() const { return m_source.width; }
    std::int64_t Centre() const { return m_centre; }
    /// Row index an input row y (possibly outside the input) is read from.
    static std::int64_t MirroredRow(std::int64_t y, std::int64_t height);

private:
    RowSource m_source;
    int m_radius;
    std::int64_t m_centre = -1;
    std::vector<const void*> m_window;
};

/// Calls windowFn(window, y, slot) for every row y of `in`, the window centred on y with
/// `radius` rows on each side. Progress counts rows.
template <class WindowFn>
void ForEachRowWindow(const RowSource& in, int radius, WindowFn&& windowFn, const BandProgress& progress = {},
                      const RowJobOptions& options = {})
{
    RunRowBands(
        band_engine_detail::CutFor(in.height, options),
        [&](const RowBand& band) {
            RowWindow window(in, radius);
            for (std::int64_t y = band.begin; y < band.end && !band.Stopped(); ++y) {
                window.CentreOn(y);
                windowFn(static_cast<const RowWindow&>(window), y, band.slot);
            }
        },
        progress, options.threads);
}

}  // namespace platform
