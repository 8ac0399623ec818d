// The convolution and derivative engines over 4096 x 4096 layers in the page cache, each
// against a plain pass in the same run: every sample of the same input read and written
// to an output of the engine's type through the row driver.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "modules/convolution/convolution_kernels.h"
#include "modules/convolution/derivative_job.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"

namespace {

constexpr int kSide = 4096;

/// Output rows of `type` for the whole layer, held in memory.
struct OutputRows {
    OutputRows(int width, int height, int type)
        : data(std::size_t(width) * height * std::size_t(elementBytes(type)))
    {
        const std::size_t rowBytes = std::size_t(width) * std::size_t(elementBytes(type));
        for (int y = 0; y < height; ++y) rows.push_back(data.data() + std::size_t(y) * rowBytes);
    }
    std::vector<std::uint8_t> data;
    std::vector<void*> rows;
};

/// Reads every sample of `in` and writes it widened to double (F64 outputs) or float.
void PlainPass(const CRDPLayer& in, OutputRows& out, bool wide)
{
    const int w = in.Width(), type = in.Type();
    ForEachRow(in.Height(), [&](std::int64_t y, int) {
        visitSampleType(type, [&]<class T>(Tag<T>) {
            if constexpr (!IsComplex<T>) {
                const T* src = static_cast<const T*>(in.GetRows()[y]);
                if (wide) {
                    double* dst = static_cast<double*>(out.rows[std::size_t(y)]);
                    for (int x = 0; x < w; ++x) dst[x] = double(src[x]);
                } else {
                    float* dst = static_cast<float*>(out.rows[std::size_t(y)]);
                    for (int x = 0; x < w; ++x) dst[x] = float(src[x]);
                }
            }
        });
    });
}

WorkingMask Mask(int side, bool separable)
{
    WorkingMask m{side, side, std::vector<double>(std::size_t(side) * side), 1.0};
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            m.values[std::size_t(i) * side + j] =
                separable ? (1.0 + i % 3) * (2.0 - j % 2) : std::cos(0.37 * i + 0.11 * j * j);
    m.sum = MaskDivisor(m.values.data(), m.values.size());
    return m;
}

void RegisterConvolution(const char* name, int type, int side, bool separable)
{
    RegisterBench(name, "plain-pass", [=](BenchContext& ctx) {
        CRDPLayer in;
        in.OpenLayer(ctx.Layer(kSide, kSide, type).c_str(), kOpenReadOnly);
        const int outType = ConvolutionOutputType(type);
        OutputRows out(kSide, kSide, outType);
        const WorkingMask mask = Mask(side, separable);
        const RowSource source{in.GetRows(), kSide, kSide};
        PlainPass(in, out, outType == int(DataType::F64));  // maps the input's pages for both
        BenchTimes t;
        t.seconds = Seconds([&] { ConvolveImage(type, source, mask, out.rows.data()); });
        t.referenceSeconds = Seconds([&] { PlainPass(in, out, outType == int(DataType::F64)); });
        return t;
    });
}

void RegisterDerivative(const char* name, int kind)
{
    RegisterBench(name, "plain-pass", [=](BenchContext& ctx) {
        const int type = int(DataType::F32);
        CRDPLayer in;
        in.OpenLayer(ctx.Layer(kSide, kSide, type).c_str(), kOpenReadOnly);
        OutputRows out(kSide, kSide, DerivativeOutputType(type, kind));
        SGradientParams params;
        params.kind = kind;
        BenchTimes t;
        t.seconds = Seconds(
            [&] { CalcDerivative(params, nullptr, type, in.GetRows(), out.rows.data(), kSide, kSide); });
        t.referenceSeconds = Seconds([&] { PlainPass(in, out, false); });
        return t;
    });
}

const bool kRegistered = [] {
    RegisterConvolution("conv-3-f64-4k", int(DataType::F64), 3, false);
    RegisterConvolution("conv-7-f64-4k", int(DataType::F64), 7, false);
    RegisterConvolution("conv-15-f64-4k", int(DataType::F64), 15, false);
    RegisterConvolution("conv-15-separable-f64-4k", int(DataType::F64), 15, true);
    RegisterConvolution("conv-3-u8-4k", int(DataType::U8), 3, false);
    RegisterConvolution("conv-15-f32-4k", int(DataType::F32), 15, false);
    RegisterDerivative("deriv-gradient-f32-4k", kDerivGradient);
    RegisterDerivative("deriv-xx-f32-4k", kDerivXX);
    return true;
}();

}  // namespace
