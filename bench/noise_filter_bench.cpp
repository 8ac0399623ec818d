// The speckle filters on 4096 x 4096 layers in the page cache, each as the whole job
// (open, create the F32 output, fill, filter, close with statistics, copy tags) against a
// plain pass over the same files: read the input and write it as an F32 layer; and against
// the filter alone on samples in memory plus the floor of the job's file I/O.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "modules/convolution/noise_filter_job.h"
#include "modules/convolution/noise_filter_kernels.h"
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
    const int w = in.Width(), type = in.Type();
    ForEachRow(in.Height(), [&](std::int64_t y, int) {
        visitSampleType(type, [&]<class T>(Tag<T>) {
            if constexpr (!IsComplex<T>) {
                const T* src = static_cast<const T*>(in.GetRows()[y]);
                float* dst = static_cast<float*>(out.GetRows()[y]);
                for (int x = 0; x < w; ++x) dst[x] = float(src[x]);
            }
        });
    });
    out.CloseLayer();
}

void Job(const std::string& input, const std::string& output, int filter, int window)
{
    auto* record = new SFiltrParams;
    record->input = input.c_str();
    record->output = output.c_str();
    record->filter = filter;
    record->window = window;
    record->sigma = 1.2826f;
    CMeterInfo meter;
    CalcFiltration(record, &meter);
}

/// The filter alone, from the mapped input (its pages in) into rows in memory.
std::function<void()> Kernel(const std::string& input, int filter, int window)
{
    auto in = std::make_shared<CRDPLayer>();
    if (!in->OpenLayer(input.c_str(), kOpenReadOnly)) return [] {};
    TouchRows(in->GetRows(), in->Height(), std::int64_t(in->Width()) * elementBytes(in->Type()));
    auto out = std::make_shared<MemoryRows>(in->Height(), std::int64_t(in->Width()) * 4);
    return [=] {
        const NoiseFilterSpec spec{filter, window, 1.2826f};
        FilterNoiseImage(in->Type(), RowSource{in->GetRows(), in->Height(), in->Width()}, spec,
                         out->As<float>());
    };
}

void Register(const char* name, int type, int filter, int window)
{
    RegisterBench(name, "plain-pass", [=](BenchContext& ctx) {
        const std::string input = TaggedLayer(ctx, kSide, kSide, type);
        const std::string output = ctx.File(std::string(name) + ".rdp");
        const auto kernel = Kernel(input, filter, window);
        return MeasureJob([&] { Job(input, output, filter, window); }, [&] { PlainPass(input, output); },
                          kernel, {input}, output);
    });
}

const bool kRegistered = [] {
    Register("lee-7-f32-4k", int(DataType::F32), kFilterLee, 7);
    Register("frost-17-f32-4k", int(DataType::F32), kFilterFrost, 17);
    Register("median-5-f32-4k", int(DataType::F32), kFilterMedian, 5);
    Register("mean-17-u16-4k", int(DataType::U16), kFilterMean, 17);
    Register("median-17-u16-4k", int(DataType::U16), kFilterMedian, 17);
    return true;
}();

}  // namespace
