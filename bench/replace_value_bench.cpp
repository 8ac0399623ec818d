// Replace all of a value held by 1 % of the cells against one pass that reads and writes
// every sample.

#include <cstdio>
#include <cstdlib>
#include <random>

#include "bench/bench_registry.h"
#include "outside/basecore/rdp_layer.h"
#include "viewer/analysis/find_replace_value_dlg.h"

namespace {

constexpr int kSide = 16384;
constexpr float kFind = 7.25f;

/// A scratch layer made once and removed when the measurements end.
CRDPLayer& Layer(BenchContext& ctx)
{
    return KeptUntilEnd(ctx, [] {
        auto* layer = new CRDPLayer;
        if (!layer->CreateTempLayer(kSide, kSide, 7)) {
            std::fprintf(stderr, "cannot create the replace layer\n");
            std::exit(1);
        }
        return layer;
    });
}

/// Random values in 0..1 with 1 % of the cells (the first among them) holding kFind.
void Fill(CRDPLayer& layer)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::uniform_int_distribution<int> hit(0, 99);
    for (int y = 0; y < kSide; ++y) {
        float* row = static_cast<float*>(layer.GetRows()[y]);
        for (int x = 0; x < kSide; ++x) row[x] = hit(rng) == 0 ? kFind : value(rng);
    }
    static_cast<float*>(layer.GetRows()[0])[0] = kFind;
}

void Negate(CRDPLayer& layer)
{
    for (int y = 0; y < kSide; ++y) {
        float* row = static_cast<float*>(layer.GetRows()[y]);
        for (int x = 0; x < kSide; ++x) row[x] = -row[x];
    }
}

const bool kRegistered = RegisterBench("replace-all-f32-16k", "plain-pass", [](BenchContext& ctx) {
    CRDPLayer& layer = Layer(ctx);
    Fill(layer);
    const Timing plain = Measure([&] { Negate(layer); });
    Negate(layer);
    ReplaceJobParams job;
    job.re = -1.0;
    job.layer = &layer;
    job.component = 2;
    job.findText = "7.25";
    job.position = CPoint(0, 0);
    int count = 0;
    const Timing work = Measure([&] { CFindReplaceValueDlg::ReplaceAll(job, count); });
    if (count < kSide / 100 * kSide / 2) std::fprintf(stderr, "replace-all: only %d cells written\n", count);
    return BenchTimes{work.wall, plain.wall, work.cpu, plain.cpu};
});

}  // namespace
