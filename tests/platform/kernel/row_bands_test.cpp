#include "platform/kernel/row_bands.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/cfile.h"
#include "platform/kernel/pause_gate.h"
#include "tests/support/band_census.h"

using namespace platform;
using tarvenix::test::BandCensus;
using tarvenix::test::HoldUntilStopped;

namespace {

constexpr int kThreadCounts[] = {1, 3, 8};

TEST(BandEngine, BandsAreCutWithoutRegardToThreads)
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
TEST(BandEngine, ResultsAreIdenticalForOneThreeAndEightThreads)
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

// The first exception of a band reaches the caller after the others have ended; the ones
// that lose the race are disposed of.
TEST(BandEngine, ExceptionInOneBandEndsEveryBand)
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

        // Errors thrown as pointers: the first reaches the caller, the ones that lose the race
        // are freed (LSan would see them).
        BandCensus all;
        int cause = 0;
        try {
            RunRowBands(
                RowBands::Fixed(80, 1),
                [&](const RowBand&) {
                    BandCensus::Scope scope(all);
                    throw new CFileException(CFileException::hardIO);
                },
                {}, threads);
        } catch (CFileException* e) {
            cause = e->m_cause;
            e->Delete();
        }
        EXPECT_EQ(cause, CFileException::hardIO);
        EXPECT_EQ(all.running.load(), 0);
        EXPECT_LE(all.started.load(), threads);  // each thread fails at its first band
    }
}

// A job started inside a band runs inline instead of waiting on the pool it runs on; jobs
// started from several threads at once share the pool.
TEST(BandEngine, NestedAndConcurrentJobsComplete)
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

// A closed pause gate of the job's thread holds the pool's helpers as well as the thread
// itself: no band starts until the gate opens.
TEST(BandEngine, TheCallersPauseGateHoldsEveryBand)
{
    PauseGate gate;
    gate.Pause();
    std::atomic<int> started{0};
    std::thread job([&] {
        SetThreadPauseGate(&gate);
        RunRowBands(
            RowBands::Fixed(50, 1), [&](const RowBand&) { started.fetch_add(1); }, {}, 3);
        SetThreadPauseGate(nullptr);
    });
    EXPECT_TRUE(gate.WaitUntilBlocked(3, 60000));  // the job's thread and both helpers
    EXPECT_EQ(started.load(), 0);
    gate.Resume();
    job.join();
    EXPECT_EQ(started.load(), 50);
    EXPECT_EQ(ThreadPauseGate(), nullptr);
}

// Rows of the window around each centre, as indexes of the input; edges mirrored about the
// edge row, also where the radius reaches past the whole input.
TEST(BandEngine, RowWindowMirrorsTheEdges)
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
