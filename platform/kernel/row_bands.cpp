#include "platform/kernel/row_bands.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "platform/kernel/cfile.h"
#include "platform/kernel/pause_gate.h"

namespace platform {
namespace {

constexpr std::int64_t kTargetBands = 64;
// A forced count above the cores still gets threads of its own (tests ask for 8 anywhere),
// but no job asks for more than this.
constexpr int kMaxThreads = 64;

std::atomic<int> g_forcedThreads{0};

// Depth of bands running on this thread: a job started inside one runs inline.
thread_local int t_bandDepth = 0;

struct BandScope {
    BandScope() { ++t_bandDepth; }
    ~BandScope() { --t_bandDepth; }
    BandScope(const BandScope&) = delete;
    BandScope& operator=(const BandScope&) = delete;
};

struct Disposers {
    std::mutex lock;
    std::vector<FailureDisposer> list;
};

Disposers& TheDisposers()
{
    // Never destroyed: a job may still fail while the process ends.
    static auto* disposers = new Disposers;
    return *disposers;
}

// An exception that is not passed on is still disposed of: errors thrown as pointers are
// owned by whoever catches them.
void Dispose(std::exception_ptr e)
{
    Disposers& disposers = TheDisposers();
    {
        std::lock_guard lock(disposers.lock);
        for (FailureDisposer dispose : disposers.list)
            if (dispose(e)) return;
    }
    try {
        std::rethrow_exception(std::move(e));
    } catch (CFileException* error) {
        if (error) error->Delete();
    } catch (...) {
    }
}

// One job while it runs, shared by the caller and the helpers it queued. A helper may still
// hold it after the call has returned, but it only reads the caller's bands and work for a
// band it took before the last one was settled, and the caller waits for that.
struct Job {
    const RowBands* bands = nullptr;
    band_engine_detail::BandFn fn = nullptr;
    void* work = nullptr;
    PauseGate* gate = nullptr;  // the caller's pause gate: it holds the helpers too
    std::int64_t count = 0;

    std::atomic<std::int64_t> next{0};
    std::atomic<bool> stop{false};
    std::atomic<int> nextSlot{1};
    std::atomic<std::int64_t> done{0};     // progress weight of the bands run
    std::atomic<std::int64_t> settled{0};  // bands run or given up; the caller waits for all

    std::mutex failureLock;
    std::exception_ptr failure;

    void Fail(std::exception_ptr e)
    {
        stop.store(true);
        std::lock_guard lock(failureLock);
        if (!failure)
            failure = std::move(e);
        else
            Dispose(std::move(e));
    }

    // Takes bands until none is left; afterBand() runs after each. Once the job has
    // stopped, the bands not yet taken are settled without running.
    template <class AfterBand>
    void TakeBands(int slot, AfterBand&& afterBand)
    {
        BandScope scope;
        for (;;) {
            if (stop.load(std::memory_order_relaxed)) {
                const std::int64_t first = next.exchange(count);
                if (first < count) Settle(count - first);
                return;
            }
            const std::int64_t b = next.fetch_add(1);
            if (b >= count) return;
            try {
                if (gate) gate->Checkpoint();
                fn(work, RowBand{b, bands->Begin(b), bands->End(b), slot, &stop});
                done.fetch_add(bands->Weight(b));
            } catch (...) {
                Fail(std::current_exception());
            }
            Settle(1);  // the last touch of the caller's bands and work for this band
            afterBand();
        }
    }

    void Settle(std::int64_t bandsSettled)
    {
        settled.fetch_add(bandsSettled);
        settled.notify_all();
    }
};

class Pool {
public:
    ~Pool()
    {
        {
            std::lock_guard lock(m_lock);
            m_quitting = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads) t.join();
        s_gone.store(true);
    }

    static Pool* Get()
    {
        if (s_gone.load()) return nullptr;  // after exit began: jobs run inline
        static Pool pool;
        return &pool;
    }

    // Queues `helpers` helpers of `job`; returns how many the pool can run.
    int Submit(const std::shared_ptr<Job>& job, int helpers)
    {
        {
            std::lock_guard lock(m_lock);
            if (m_quitting) return 0;
            while (int(m_threads.size()) < helpers && int(m_threads.size()) < kMaxThreads - 1) {
                try {
                    m_threads.emplace_back([this] { Serve(); });
                } catch (const std::system_error&) {
                    break;  // fewer threads, same result
                }
            }
            helpers = std::min(helpers, int(m_threads.size()));
            // Nothing may leave between here and the caller's wait: a queued helper relies on it.
            int queued = 0;
            try {
                for (; queued < helpers; ++queued) m_queue.push_back(job);
            } catch (const std::bad_alloc&) {
            }
            helpers = queued;
        }
        // One worker wakes; each that starts wakes the next while helpers wait in the queue.
        // The caller pays for one wake-up, and a job that ends before its helpers start
        // wakes no more of them.
        if (helpers > 0) m_wake.notify_one();
        return helpers;
    }

    // Helpers that have not started when the caller has run out of bands are not needed.
    void Withdraw(const Job& job)
    {
        std::lock_guard lock(m_lock);
        m_queue.erase(
            std::remove_if(m_queue.begin(), m_queue.end(),
                           [&](const std::shared_ptr<Job>& queued) { return queued.get() == &job; }),
            m_queue.end());
    }

private:
    Pool()
    {
        const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
        m_threads.reserve(std::size_t(kMaxThreads));
        for (int i = 0; i < cores - 1; ++i) {
            try {
                m_threads.emplace_back([this] { Serve(); });
            } catch (const std::system_error&) {
                break;
            }
        }
    }

    void Serve()
    {
        std::unique_lock lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] { return m_quitting || !m_queue.empty(); });
            if (m_queue.empty()) return;
            std::shared_ptr<Job> job = std::move(m_queue.front());
            m_queue.pop_front();
            const bool more = !m_queue.empty();
            lock.unlock();
            if (more) m_wake.notify_one();
            job->TakeBands(job->nextSlot.fetch_add(1), [] {});
            job.reset();
            lock.lock();
        }
    }

    static inline std::atomic<bool> s_gone{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Job>> m_queue;
    std::vector<std::thread> m_threads;
    bool m_quitting = false;
};

}  // namespace

void RegisterFailureDisposer(FailureDisposer disposer)
{
    if (!disposer) return;
    Disposers& disposers = TheDisposers();
    std::lock_guard lock(disposers.lock);
    if (std::find(disposers.list.begin(), disposers.list.end(), disposer) == disposers.list.end())
        disposers.list.push_back(disposer);
}

RowBands RowBands::Fixed(std::int64_t rows, std::int64_t bandRows)
{
    if (rows < 0 || bandRows <= 0) throw std::invalid_argument("RowBands::Fixed: bad rows or band height");
    RowBands cut;
    cut.m_rows = rows;
    cut.m_bandRows = bandRows;
    cut.m_count = rows / bandRows + (rows % bandRows != 0);
    return cut;
}

RowBands RowBands::Even(std::int64_t rows, std::int64_t minRowsPerBand)
{
    const std::int64_t even = rows / kTargetBands + (rows % kTargetBands != 0);
    return Fixed(std::max<std::int64_t>(rows, 0), std::max({even, minRowsPerBand, std::int64_t(1)}));
}

RowBands RowBands::Bounds(std::vector<std::int64_t> bounds, std::vector<std::int64_t> weights)
{
    const std::int64_t count = bounds.empty() ? 0 : std::int64_t(bounds.size()) - 1;
    if (!std::is_sorted(bounds.begin(), bounds.end()) ||
        (!weights.empty() && std::int64_t(weights.size()) != count))
        throw std::invalid_argument("RowBands::Bounds: bounds not ascending or weights not one per band");
    RowBands cut;
    cut.m_count = count;
    cut.m_bounds = std::move(bounds);
    cut.m_weights = std::move(weights);
    return cut;
}

std::int64_t RowBands::Begin(std::int64_t band) const
{
    return m_bounds.empty() ? band * m_bandRows : m_bounds[std::size_t(band)];
}

std::int64_t RowBands::End(std::int64_t band) const
{
    return m_bounds.empty() ? std::min(m_rows, (band + 1) * m_bandRows) : m_bounds[std::size_t(band) + 1];
}

std::int64_t RowBands::Weight(std::int64_t band) const
{
    return m_weights.empty() ? End(band) - Begin(band) : m_weights[std::size_t(band)];
}

void SetRowDriverThreads(int threads)
{
    g_forcedThreads.store(std::clamp(threads, 0, kMaxThreads));
}

int RowDriverThreads(int threads)
{
    if (threads <= 0) threads = g_forcedThreads.load();
    // Asked once: the library reads the system's files for it on every call.
    static const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    if (threads <= 0) threads = cores;
    return std::min(threads, kMaxThreads);
}

int RowDriverSlots(std::int64_t bands, int threads)
{
    return int(std::clamp<std::int64_t>(bands, 1, RowDriverThreads(threads)));
}

ScopedRowDriverThreads::ScopedRowDriverThreads(int threads) : m_previous(g_forcedThreads.load())
{
    SetRowDriverThreads(threads);
}

ScopedRowDriverThreads::~ScopedRowDriverThreads()
{
    SetRowDriverThreads(m_previous);
}

RowWindow::RowWindow(const RowSource& source, int radius)
    : m_source(source), m_radius(std::max(radius, 0)), m_window(std::size_t(2 * m_radius + 1), nullptr)
{
}

std::int64_t RowWindow::MirroredRow(std::int64_t y, std::int64_t height)
{
    if (height <= 1) return 0;
    // Reflection about both edges repeats with period 2 (h - 1), so any distance folds back.
    const std::int64_t period = 2 * (height - 1);
    y %= period;
    if (y < 0) y += period;
    return y < height ? y : period - y;
}

void RowWindow::CentreOn(std::int64_t y)
{
    m_centre = y;
    const std::int64_t h = m_source.height;
    if (y - m_radius >= 0 && y + m_radius < h) {
        for (int d = -m_radius; d <= m_radius; ++d)
            m_window[std::size_t(d + m_radius)] = m_source.rows[y + d];
        return;
    }
    for (int d = -m_radius; d <= m_radius; ++d)
        m_window[std::size_t(d + m_radius)] = m_source.rows[MirroredRow(y + d, h)];
}

namespace band_engine_detail {

RowBands CutFor(std::int64_t rows, const RowJobOptions& options)
{
    return options.bandRows > 0 ? RowBands::Fixed(std::max<std::int64_t>(rows, 0), options.bandRows)
                                : RowBands::Even(rows, options.minRowsPerBand);
}

void Run(const RowBands& bands, BandFn fn, void* work, const BandProgress& progress, int threads)
{
    const std::int64_t count = bands.Count();
    if (count <= 0) return;
    auto job = std::make_shared<Job>();
    job->bands = &bands;
    job->fn = fn;
    job->work = work;
    job->gate = ThreadPauseGate();
    job->count = count;
    std::int64_t reported = 0;
    auto report = [&] {
        const std::int64_t done = job->done.load();
        if (!progress || done == reported || job->stop.load()) return;
        reported = done;
        try {
            progress(done);
        } catch (...) {
            job->Fail(std::current_exception());
        }
    };

    const int helpers = t_bandDepth > 0 ? 0 : RowDriverSlots(count, threads) - 1;
    Pool* pool = helpers > 0 ? Pool::Get() : nullptr;
    const bool pooled = pool && pool->Submit(job, helpers) > 0;
    job->TakeBands(0, report);
    if (pooled) {
        pool->Withdraw(*job);
        // The bands the helpers took: progress as they complete, the call's end when all have.
        for (;;) {
            const std::int64_t settled = job->settled.load();
            report();
            if (settled >= count) break;
            job->settled.wait(settled);
        }
    }
    if (job->failure) std::rethrow_exception(job->failure);
    // However the bands fell between the threads, the job reports its end once.
    if (progress && reported != job->done.load()) progress(job->done.load());
}

}  // namespace band_engine_detail

}  // namespace platform
