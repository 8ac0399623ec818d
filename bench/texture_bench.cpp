// The texture jobs on 4096 x 4096 F32 layers in the page cache, each as the whole job
// (open, create the F32 output, fill the border, compute, close with statistics, copy tags)
// against a plain pass over the same files: read the input and write it as an F32 layer; and
// against the statistic alone on samples in memory plus the floor of the job's file I/O.

#include <cstdint>
#include <string>

#include "bench/bench_registry.h"
#include "modules/texture/texture_job.h"
#include "modules/texture/texture_kernels.h"
#include "modules/texture/texture_statistics.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"

namespace {

constexpr int kSide = 4096;

void PlainPass(const std::string& input, const std::string& output)
{
    CRDPLayer in, out;
    if (!in.OpenLayer(input.c_str(), kOpenReadOnly)) return;
    if (!out.CreateLayer(output.c_str(), in.Width(), in.Height(), int(DataType::F32))) return;
    const int w = in.Width();
    ForEachRow(in.Height(), [&](std::int64_t y, int) {
        const float* src = static_cast<const float*>(in.GetRows()[y]);
        float* dst = static_cast<float*>(out.GetRows()[y]);
        for (int x = 0; x < w; ++x) dst[x] = src[x];
    });
    out.CloseLayer();
}

void Job(const std::string& input, const std::string& output, int dimensionality, int statistic, int window)
{
    auto* record = new STextureParam;
    record->input = input.c_str();
    record->output = output.c_str();
    record->statistic = statistic;
    record->statisticName = "statistic";
    record->window = window;
    record->direction = 0;
    record->distance = 1;
    CMeterInfo meter;
    (dimensionality == 0 ? Texture_Analis_First : Texture_Analis_Second)(record, &meter);
}

void Register(const char* name, int dimensionality, int statistic, int window)
{
    RegisterBench(name, "plain-pass", [=](BenchContext& ctx) {
        const std::string input = TaggedLayer(ctx, kSide, kSide, int(DataType::F32));
        const std::string output = ctx.File(std::string(name) + ".rdp");
        CRDPLayer in;
        if (!in.OpenLayer(input.c_str(), kOpenReadOnly)) return BenchTimes{};
        TouchRows(in.GetRows(), kSide, std::int64_t(kSide) * 4);
        MemoryRows out(kSide, std::int64_t(kSide) * 4);
        const TextureSpec spec{dimensionality, statistic, window, 0, 1};
        const LevelRange range = TextureLevelRange(in, false);
        return MeasureJob(
            [&] { Job(input, output, dimensionality, statistic, window); }, [&] { PlainPass(input, output); },
            [&] {
                TextureImage(in.Type(), RowSource{in.GetRows(), kSide, kSide}, range, spec, out.As<float>());
            },
            {input}, output);
    });
}

const bool kRegistered = [] {
    Register("texture-mean-5-f32-4k", 0, kFirstMean, 5);
    Register("texture-entropy-21-f32-4k", 0, kFirstEntropy, 21);
    Register("texture-kurtosis-21-f32-4k", 0, kFirstKurtosis, 21);
    Register("texture-glcm-contrast-5-f32-4k", 1, kGlcmContrast, 5);
    Register("texture-glcm-entropy-5-f32-4k", 1, kGlcmEntropy, 5);
    Register("texture-glcm-correlation-21-f32-4k", 1, kGlcmCorrelation, 21);
    // The rest of the seven co-occurrence measures at 5 x 5, for the sum of all seven.
    Register("texture-glcm-absolute-5-f32-4k", 1, kGlcmAbsoluteValue, 5);
    Register("texture-glcm-energy-5-f32-4k", 1, kGlcmEnergy, 5);
    Register("texture-glcm-maxprob-5-f32-4k", 1, kGlcmMaxProbability, 5);
    Register("texture-glcm-correlation-5-f32-4k", 1, kGlcmCorrelation, 5);
    Register("texture-glcm-homogeneity-5-f32-4k", 1, kGlcmHomogeneity, 5);
    return true;
}();

}  // namespace
