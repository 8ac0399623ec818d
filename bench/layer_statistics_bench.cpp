// Statistics and histograms of large layers against one plain pass over the same samples.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/plain_pass.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"

#include <memory>

double PlainPass(const CRDPLayer& layer)
{
    const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<double> sums(size_t(threads), 0.0);
    std::atomic<int> nextRow{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            visitSampleType(layer.Type(), [&]<class T>(Tag<T>) {
                using P = PartType<T>;
                const int parts = layer.Width() * (IsComplex<T> ? 2 : 1);
                double sum = 0;
                for (int y; (y = nextRow.fetch_add(16)) < layer.Height();)
                    for (int r = y; r < std::min(y + 16, layer.Height()); ++r)
                        sum += SumOf(static_cast<const P*>(layer.GetRows()[r]), parts);
                sums[size_t(t)] = sum;
            });
        });
    for (auto& t : pool) t.join();
    double total = 0;
    for (double s : sums) total += s;
    return total;
}

CRDPLayer& SharedLayer(BenchContext& ctx, int width, int height, int type)
{
    auto& open = KeptUntilEnd(ctx, [] { return new std::vector<std::unique_ptr<CRDPLayer>>; });
    const std::string path = ctx.Layer(width, height, type);
    for (auto& l : open)
        if (l->GetFileName() == path.c_str()) return *l;
    auto layer = std::make_unique<CRDPLayer>();
    if (!layer->OpenLayer(path.c_str(), kOpenReadOnly)) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), GetLastLayerError().c_str());
        std::exit(1);
    }
    open.push_back(std::move(layer));
    return *open.back();
}

namespace {

volatile double g_sink;

BenchTimes Stats(BenchContext& ctx, int width, int height, int type)
{
    CRDPLayer& layer = SharedLayer(ctx, width, height, type);
    const Timing plain = Measure([&] { g_sink = PlainPass(layer); });
    const Timing work = Measure([&] { layer.StatisticCountRect(nullptr); });
    return BenchTimes{work.wall, plain.wall, work.cpu, plain.cpu};
}

BenchTimes Hist(BenchContext& ctx, int width, int height, int type)
{
    CRDPLayer& layer = SharedLayer(ctx, width, height, type);
    if (!layer.StatsReady()) layer.StatisticCountRect(nullptr);
    std::vector<DWORD> counters(256 * 4);
    const Timing plain = Measure([&] { g_sink = PlainPass(layer); });
    const Timing work =
        Measure([&] { layer.CalcHist(nullptr, 256, counters.data(), int(counters.size() * 4)); });
    return BenchTimes{work.wall, plain.wall, work.cpu, plain.cpu};
}

const bool kRegistered = [] {
    RegisterBench("stats-f32-16k", "plain-pass", [](BenchContext& c) { return Stats(c, 16384, 16384, 7); });
    RegisterBench("hist-f32-16k", "plain-pass", [](BenchContext& c) { return Hist(c, 16384, 16384, 7); });
    RegisterBench("stats-c64-8k", "plain-pass", [](BenchContext& c) { return Stats(c, 8192, 8192, 9); });
    RegisterBench("hist-c64-8k", "plain-pass", [](BenchContext& c) { return Hist(c, 8192, 8192, 9); });
    RegisterBench("stats-u16-16k", "plain-pass", [](BenchContext& c) { return Stats(c, 16384, 16384, 3); });
    return true;
}();

}  // namespace
