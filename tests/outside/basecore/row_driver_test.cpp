#include "outside/basecore/row_driver.h"

#include <atomic>
#include <chrono>
#include <complex>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <QApplication>
#include <gtest/gtest.h>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/fft_class.h"
#include "outside/basecore/layer_statistics.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/thread_runner.h"
#include "tests/support/band_census.h"

using tarvenix::test::BandCensus;
using tarvenix::test::HoldUntilStopped;

namespace {

// The band engine itself is tested with the platform; these are the row driver's own parts:
// progress to a meter, its stop and the runner's suspension, and the core's ported runners.

constexpr int kThreadCounts[] = {1, 3, 8};

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

// An error of the core library thrown from every band: the first reaches the caller, the
// ones that lose the race are freed (error objects are owned pointers: LSan would see them).
TEST(RowDriver, ErrorsThrownByEveryBandAreFreed)
{
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(threads);
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

}  // namespace
