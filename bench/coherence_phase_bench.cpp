// The coherence, phase filter and phase unwrapping jobs on 4096 x 4096 layers in the page
// cache, each as the whole job (open, create, compute, close with statistics, copy tags)
// against a plain pass over the same files: read the input(s) and write an F32 layer.
// Coherence is also set against its kernel alone on samples in memory plus the floor of
// the job's file I/O.
// Unwrapping is also set against its transforms alone: four DCT-I passes of the grid.

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "modules/interferometry/coherence_job.h"
#include "modules/interferometry/coherence_kernels.h"
#include "modules/interferometry/phase_filter_job.h"
#include "modules/interferometry/phase_unwrap_job.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"

namespace {

constexpr int kSide = 4096;

/// Reads one or two inputs and writes the first one's real part (or value) as F32.
void PlainPass(const std::string& input, const std::string& second, const std::string& output)
{
    CRDPLayer in, other, out;
    if (!in.OpenLayer(input.c_str(), kOpenReadOnly)) return;
    if (!second.empty() && !other.OpenLayer(second.c_str(), kOpenReadOnly)) return;
    if (!out.CreateLayer(output.c_str(), in.Width(), in.Height(), int(DataType::F32))) return;
    const int w = in.Width(), type = in.Type();
    ForEachRow(in.Height(), [&](std::int64_t y, int) {
        visitSampleType(type, [&]<class T>(Tag<T>) {
            const T* a = static_cast<const T*>(in.GetRows()[y]);
            const T* b = second.empty() ? a : static_cast<const T*>(other.GetRows()[y]);
            float* dst = static_cast<float*>(out.GetRows()[y]);
            for (int x = 0; x < w; ++x) dst[x] = float(re(a[x])) + float(re(b[x]));
        });
    });
    out.CloseLayer();
}

/// A second image partly coherent with the first: 0.8 of it plus a varying offset.
void MakeSecondImage(const std::string& first, const std::string& second)
{
    CRDPLayer in, out;
    if (!in.OpenLayer(first.c_str(), kOpenReadOnly)) return;
    if (!out.CreateLayer(second.c_str(), in.Width(), in.Height(), int(DataType::C64))) return;
    const int w = in.Width();
    ForEachRow(in.Height(), [&](std::int64_t y, int) {
        const auto* a = static_cast<const std::complex<float>*>(in.GetRows()[y]);
        auto* b = static_cast<std::complex<float>*>(out.GetRows()[y]);
        for (int x = 0; x < w; ++x)
            b[x] =
                0.8f * a[x] + std::complex<float>(float((x * 7 + y * 13) % 97), float((x * 11 + y * 3) % 89));
    });
    out.CloseLayer();
}

/// A wrapped phase in 0..2π of a smooth surface spanning about 190 rad.
std::string WrappedPhaseLayer(BenchContext& ctx)
{
    const std::string path = ctx.File("wrapped-phase-4k.rdp");
    CRDPLayer layer;
    if (layer.OpenLayer(path.c_str(), kOpenReadOnly)) return path;
    if (!layer.CreateLayer(path.c_str(), kSide, kSide, int(DataType::F32))) return path;
    ForEachRow(kSide, [&](std::int64_t y, int) {
        float* row = static_cast<float*>(layer.GetRows()[y]);
        for (int x = 0; x < kSide; ++x) {
            const double u = double(x) / kSide, v = double(y) / kSide;
            const double p = 120 * u * u + 60 * v + 10 * std::sin(6 * u * v);
            row[x] = float(std::fmod(p, 6.283185307179586));
        }
    });
    layer.CloseLayer();
    return path;
}

void RegisterCoherence(const char* name, int window)
{
    RegisterBench(name, "plain-pass", [=](BenchContext& ctx) {
        const std::string a = TaggedLayer(ctx, kSide, kSide, int(DataType::C64));
        const std::string b = ctx.File("coherence-second-c64-4k.rdp");
        if (CRDPLayer probe; !probe.OpenLayer(b.c_str(), kOpenReadOnly)) MakeSecondImage(a, b);
        const std::string output = ctx.File(std::string(name) + ".rdp");
        CRDPLayer first, second;
        if (!first.OpenLayer(a.c_str(), kOpenReadOnly) || !second.OpenLayer(b.c_str(), kOpenReadOnly))
            return BenchTimes{};
        const std::int64_t rowBytes = std::int64_t(kSide) * elementBytes(first.Type());
        TouchRows(first.GetRows(), kSide, rowBytes);
        TouchRows(second.GetRows(), kSide, rowBytes);
        const int outType = CoherenceOutputType(first.Type());
        MemoryRows out(kSide, std::int64_t(kSide) * elementBytes(outType));
        return MeasureJob(
            [&] {
                CMeterInfo meter;
                CalcCoher(new SCoherParam{a.c_str(), b.c_str(), output.c_str(), window, "bench"}, &meter);
            },
            [&] { PlainPass(a, b, output); },
            [&] {
                CoherenceImage(first.Type(), RowSource{first.GetRows(), kSide, kSide},
                               RowSource{second.GetRows(), kSide, kSide}, window, out.Rows(), outType);
            },
            {a, b}, output);
    });
}

const bool kRegistered = [] {
    RegisterCoherence("coherence-5-c64-4k", 5);
    RegisterCoherence("coherence-17-c64-4k", 17);
    RegisterBench("phase-filter-17-f32-4k", "plain-pass", [](BenchContext& ctx) {
        const std::string input = WrappedPhaseLayer(ctx), output = ctx.File("phase-filter-17.rdp");
        BenchTimes t;
        t.seconds = Seconds([&] {
            CMeterInfo meter;
            Filtration_Phase(new SPhaseFiltrParam{input.c_str(), output.c_str(), 0, 17, "bench"}, &meter);
        });
        t.referenceSeconds = Seconds([&] { PlainPass(input, "", output); });
        return t;
    });
    RegisterBench("unwrap-f32-4k", "plain-pass", [](BenchContext& ctx) {
        const std::string input = WrappedPhaseLayer(ctx), output = ctx.File("unwrapped-4k.rdp");
        BenchTimes t;
        t.seconds = Seconds([&] {
            CMeterInfo meter;
            FazeUnwrap_F32C64(new SPhaseUnwrapParam{input.c_str(), output.c_str(), "", 0, ""}, &meter);
        });
        t.referenceSeconds = Seconds([&] { PlainPass(input, "", output); });
        return t;
    });
    return true;
}();

}  // namespace
