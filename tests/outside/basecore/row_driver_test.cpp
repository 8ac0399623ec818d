#include "outside/basecore/row_driver.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <QApplication>
#include <gtest/gtest.h>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/fft_class.h"
#include "outside/basecore/layer_statistics.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/thread_runner.h"

namespace {

constexpr int kThreadCounts[] = {1, 3, 8};

// Counts bands inside their work, so a test can tell that none runs after the call.
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

// Helpers that take a band after the failure hold it until the job says stop, so the
// caller can only return through the stop; the bound ends a broken driver's test instead
// of hanging it.
void HoldUntilStopped(const RowBand& band)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!band.Stopped()) {
        ASSERT_LT(std::chrono::steady_clock::now(), limit) << "band " << band.index << " never told to stop";
        std::this_thread::yield();
    }
}

TEST(RowDriver, BandsAreCutWithoutRegardToThreads)
{
    const RowBands even = RowBands::Even(1000, 4);
    EXPECT_EQ(even.Count(), 63);  // 16 rows a band, the last one 8
    EXPECT_EQ(even.End(62), 1000);
    EXPECT_EQ(RowBands::Even(10, 4).Count(), 3);
    EXPECT_EQ(RowBands::Even(0).Count(), 0);
    const RowBands bounds = RowBands::Bounds({0, 5, 5, 9}, {2, 0, 7});
    EXPECT_EQ(bounds.Count(), 3);
    EXPECT_EQ(bounds.Begin(2), 5);
    EXPECT_EQ(bounds.Weight(2), 7);
    EXPECT_THROW(RowBands::Bounds({0, 5, 3}), std::invalid_argument);
    EXPECT_THROW(RowBands::Bounds({0, 5}, {1, 2}), std::invalid_argument);
    EXPECT_THROW(RowBands::Fixed(10, 0), std::invalid_argument);
}

// Sums whose rounding depends on their order, merged per band: the same bits on any count of
// threads; every row is visited once, slots stay below the announced count, progress ends
// at the total on the calling thread.
TEST(RowDriver, ResultsAreIdenticalForOneThreeAndEightThreads)
{
    constexpr std::int64_t kRows = 5000;
    std::vector<double> reference;
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(threads);
        const RowBands bands = RowBands::Even(kRows, 8);
        const int slotCount = RowDriverSlots(bands.Count(), threads);
        EXPECT_EQ(slotCount, threads);
        std::vector<std::atomic<int>> visits(kRows);
        std::atomic<bool> badSlot{false};
        std::vector<std::int64_t> progress;
        const std::thread::id caller = std::this_thread::get_id();
        bool progressOnCaller = true;
        struct Acc {
            double sum = 0, squares = 0;
        };
        const Acc total = ReduceRowBands(
            bands, Acc{},
            [&](const RowBand& band, Acc& acc) {
                if (band.slot < 0 || band.slot >= slotCount) badSlot = true;
                for (std::int64_t y = band.begin; y < band.end; ++y) {
                    visits[std::size_t(y)].fetch_add(1);
                    acc.sum += 1.0 / double(y + 1);
                    acc.squares += std::sin(double(y)) * 1e-3;
                }
            },
            [](Acc& into, const Acc& part) {
                into.sum += part.sum;
                into.squares += part.squares;
            },
            [&](std::int64_t done) {
                progressOnCaller &= std::this_thread::get_id() == caller;
                progress.push_back(done);
            },
            threads);
        EXPECT_FALSE(badSlot);
        for (std::int64_t y = 0; y < kRows; ++y) ASSERT_EQ(visits[std::size_t(y)].load(), 1) << y;
        EXPECT_TRUE(progressOnCaller);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), kRows);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        const std::vector<double> bits{total.sum, total.squares};
        if (reference.empty()) reference = bits;
        EXPECT_EQ(std::memcmp(bits.data(), reference.data(), sizeof(double) * 2), 0);
    }
}

// The ported runners: statistics and the transform give the same bytes on 1, 3 and 8 threads.
TEST(RowDriver, StatisticsAndTransformDoNotDependOnTheThreadCount)
{
    constexpr int kW = 300, kH = 1100;
    std::mt19937 random(5);
    std::normal_distribution<double> noise(3.0, 1e4);
    std::vector<double> samples(std::size_t(kW) * kH);
    for (double& v : samples) v = noise(random);
    std::vector<const void*> rows(kH);
    std::vector<void*> mutableRows(kH);
    for (int y = 0; y < kH; ++y)
        rows[std::size_t(y)] = mutableRows[std::size_t(y)] = &samples[std::size_t(y) * kW];
    const SampleRows src{rows.data(), kW, kH, 8};
    const SpanList region = SpansOfRect(RECT{3, 1, kW - 2, kH}, kW, kH);

    constexpr int kPw = 512, kPh = 2048;
    std::vector<std::complex<double>> spectrum(std::size_t(kPw) * kPh);
    std::vector<void*> spectrumRows(kPh);
    for (int y = 0; y < kPh; ++y) spectrumRows[std::size_t(y)] = &spectrum[std::size_t(y) * kPw];

    std::vector<unsigned char> reference;
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(threads);
        ScopedRowDriverThreads force(threads);
        MinMaxResult range;
        const auto stats = ComputeStatistics(src, region, &range);
        const auto moments = ComputeMoments(src, region, range);
        CFFTClass fft;
        ASSERT_EQ(fft.FFT_2D(mutableRows.data(), spectrumRows.data(), kW, kH, 8, nullptr, 10), 1);
        std::vector<unsigned char> bytes(sizeof stats + sizeof moments + sizeof range);
        std::memcpy(bytes.data(), &stats, sizeof stats);
        std::memcpy(bytes.data() + sizeof stats, &moments, sizeof moments);
        std::memcpy(bytes.data() + sizeof stats + sizeof moments, &range, sizeof range);
        const auto* s = reinterpret_cast<const unsigned char*>(spectrum.data());
        bytes.insert(bytes.end(), s, s + spectrum.size() * sizeof spectrum[0]);
        if (reference.empty()) reference = bytes;
        EXPECT_TRUE(bytes == reference);
    }
}

// A stop requested while the job runs reaches the caller as the cancel error from the
// meter's next progress call; every band has ended by then and later bands never start.
TEST(RowDriver, StopFromTheMeterEndsEveryBand)
{
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(threads);
        CMeterInfo meter;
        BandCensus census;
        int code = 0;
        try {
            RunRowBands(
                RowBands::Fixed(64 * 10, 10),
                [&](const RowBand& band) {
                    BandCensus::Scope scope(census);
                    if (band.index == 5) {
                        meter.RequestStop();
                    } else if (band.index > 5) {
                        while (!meter.IsStopped()) std::this_thread::yield();
                        if (band.slot != 0) HoldUntilStopped(band);  // only the caller's progress stops them
                    }
                },
                MeterProgress(&meter), threads);
        } catch (CRDPExcept* e) {
            code = e->GetCode();
            e->Delete();
        }
        EXPECT_EQ(code, RDP_ERROR_CANCEL);
        EXPECT_TRUE(meter.CancelRaised());
        EXPECT_EQ(census.running.load(), 0);
        EXPECT_LE(census.started.load(), 7 + threads);
    }
}

// The first exception of a band reaches the caller after the others have ended; the ones
// that lose the race are disposed of (error objects are owned pointers: LSan would see them).
TEST(RowDriver, ExceptionInOneBandEndsEveryBand)
{
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(threads);
        BandCensus census;
        EXPECT_THROW(RunRowBands(
                         RowBands::Fixed(64 * 10, 10),
                         [&](const RowBand& band) {
                             BandCensus::Scope scope(census);
                             if (band.index == 7) throw std::runtime_error("band 7");
                             if (band.index > 7) HoldUntilStopped(band);
                         },
                         {}, threads),
                     std::runtime_error);
        EXPECT_EQ(census.running.load(), 0);
        EXPECT_LE(census.started.load(), 8 + threads);

        // Per-row forms stop between rows.
        BandCensus rows;
        EXPECT_THROW(ForEachRow(4000,
                                [&](std::int64_t y, int) {
                                    BandCensus::Scope scope(rows);
                                    if (y == 1234) throw std::runtime_error("row 1234");
                                },
                                {}, {threads, 4, 0}),
                     std::runtime_error);
        EXPECT_EQ(rows.running.load(), 0);

        BandCensus all;
        int code = 0;
        try {
            RunRowBands(
                RowBands::Fixed(80, 1),
                [&](const RowBand&) {
                    BandCensus::Scope scope(all);
                    AfxThrowRDPExcept(RDP_ERROR_PROCESS);
                },
                {}, threads);
        } catch (CRDPExcept* e) {
            code = e->GetCode();
            e->Delete();
        }
        EXPECT_EQ(code, RDP_ERROR_PROCESS);
        EXPECT_EQ(all.running.load(), 0);
        EXPECT_LE(all.started.load(), threads);  // each thread fails at its first band
    }
}

// A job started inside a band runs inline instead of waiting on the pool it runs on; jobs
// started from several threads at once share the pool.
TEST(RowDriver, NestedAndConcurrentJobsComplete)
{
    ScopedRowDriverThreads force(8);
    std::atomic<std::int64_t> inner{0};
    ForEachRow(64,
               [&](std::int64_t, int) {
                   ForEachRow(100, [&](std::int64_t y, int slot) {
                       EXPECT_EQ(slot, 0);
                       inner += y;
                   });
               },
               {}, {0, 1, 0});
    EXPECT_EQ(inner.load(), 64 * 4950);

    std::vector<std::thread> callers;
    std::atomic<std::int64_t> total{0};
    for (int c = 0; c < 4; ++c)
        callers.emplace_back([&] {
            for (int round = 0; round < 20; ++round)
                ForEachRow(1000, [&](std::int64_t y, int) { total += y; });
        });
    for (auto& t : callers) t.join();
    EXPECT_EQ(total.load(), 4 * 20 * std::int64_t(999 * 1000 / 2));
}

// A suspended job holds the pool's helpers as well as its own thread: no band starts until
// it is resumed.
TEST(RowDriver, SuspendedJobHoldsEveryBand)
{
    struct Shared {
        std::atomic<bool> go{false}, done{false};
        std::atomic<int> started{0};
    } shared;
    auto proc = +[](LPVOID arg) -> UINT {
        auto* s = static_cast<Shared*>(arg);
        while (!s->go) std::this_thread::yield();
        RunRowBands(
            RowBands::Fixed(50, 1), [&](const RowBand&) { s->started.fetch_add(1); }, {}, 3);
        s->done = true;
        return 1;
    };
    CThread* thread = RunEx(proc, &shared, 0);
    ASSERT_NE(thread, nullptr);
    thread->SuspendThread();
    shared.go = true;
    const bool held = thread->WaitUntilHeld(3, 60000);  // the job's thread and both helpers
    EXPECT_TRUE(held);
    EXPECT_EQ(shared.started.load(), 0);
    thread->ResumeThread();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!(shared.done.load() && GetRunningThreadCount() == 0) && std::chrono::steady_clock::now() < limit)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(shared.started.load(), 50);
    EXPECT_EQ(GetRunningThreadCount(), 0);
}

// Rows of the window around each centre, as indexes of the input; edges mirrored about the
// edge row, also where the radius reaches past the whole input.
TEST(RowDriver, RowWindowMirrorsTheEdges)
{
    struct Case {
        int height, radius;
        std::int64_t centre;
        std::vector<int> rows;  // for dy = -radius .. radius
    };
    const Case cases[] = {
        {5, 2, 0, {2, 1, 0, 1, 2}},
        {5, 2, 1, {1, 0, 1, 2, 3}},
        {5, 2, 2, {0, 1, 2, 3, 4}},
        {5, 2, 4, {2, 3, 4, 3, 2}},
        {1, 2, 0, {0, 0, 0, 0, 0}},
        {2, 3, 0, {1, 0, 1, 0, 1, 0, 1}},
        {3, 4, 2, {2, 1, 0, 1, 2, 1, 0, 1, 2}},
        {4, 0, 3, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "height " << c.height << " radius " << c.radius << " centre " << c.centre);
        std::vector<int> values(std::size_t(c.height));
        std::vector<const void*> table(std::size_t(c.height));
        for (int y = 0; y < c.height; ++y) {
            values[std::size_t(y)] = y;
            table[std::size_t(y)] = &values[std::size_t(y)];
        }
        RowWindow window(RowSource{table.data(), c.height, 1}, c.radius);
        window.CentreOn(c.centre);
        std::vector<int> seen;
        for (int dy = -c.radius; dy <= c.radius; ++dy) seen.push_back(*window.Row<int>(dy));
        EXPECT_EQ(seen, c.rows);
    }

    // Driven over a whole input on 3 threads: each centre once, each window the mirrored rows.
    constexpr int kH = 50, kR = 3;
    std::vector<int> values(kH);
    std::vector<const void*> table(kH);
    for (int y = 0; y < kH; ++y) {
        values[std::size_t(y)] = y;
        table[std::size_t(y)] = &values[std::size_t(y)];
    }
    std::vector<std::atomic<int>> centres(kH);
    std::atomic<int> wrong{0};
    ForEachRowWindow(RowSource{table.data(), kH, 1}, kR,
                     [&](const RowWindow& w, std::int64_t y, int) {
                         centres[std::size_t(y)] += 1;
                         for (int dy = -kR; dy <= kR; ++dy)
                             if (*w.Row<int>(dy) != RowWindow::MirroredRow(y + dy, kH)) ++wrong;
                     },
                     {}, {3, 1, 0});
    EXPECT_EQ(wrong.load(), 0);
    for (int y = 0; y < kH; ++y) EXPECT_EQ(centres[std::size_t(y)].load(), 1);
}

}  // namespace
