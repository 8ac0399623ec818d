// The convolution and derivative engines over 4096 x 4096 layers in the page cache, each
// against a plain pass in the same run: every sample of the same input read and written
// to an output of the engine's type through the row driver.
//
// One core (CPU time of the calling thread): the full 15 x 15 mask over an F32 image in
// memory against OpenCV's filter2D on one thread, timed the same way inside Debian's
// Python on the same samples and mask, with the same output type (F64) and the same
// outputs computed (the inner region, each from the samples under the mask). Without
// python3-opencv the line says so and shows a ratio of 0.

#include <cmath>
#include <cstdint>
#include <cstdio>
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

/// OpenCV's single-thread CPU seconds for filter2D of `samples` (side x side) with `mask`;
/// 0 when it could not run.
double OpenCvFilter2DSeconds(BenchContext& ctx, const std::vector<float>& samples, const WorkingMask& mask)
{
    const std::string image = ctx.File("conv-f32-4k.raw"), weights = ctx.File("conv-mask-15.raw");
    const std::string script = ctx.File("opencv-filter2d.py");
    FILE* f = std::fopen(image.c_str(), "wb");
    if (!f) return 0.0;
    std::fwrite(samples.data(), sizeof(float), samples.size(), f);
    std::fclose(f);
    if (!(f = std::fopen(weights.c_str(), "wb"))) return 0.0;
    std::fwrite(mask.values.data(), sizeof(double), mask.values.size(), f);
    std::fclose(f);
    if (!(f = std::fopen(script.c_str(), "w"))) return 0.0;
    // The inner region as a view: OpenCV computes its outputs only, as the engine does.
    std::fprintf(
        f,
        "import sys, time\n"
        "import numpy as np, cv2\n"
        "cv2.setNumThreads(1)\n"
        "n, mw, mh, msum = %d, %d, %d, %.17g\n"
        "a = np.fromfile(sys.argv[1], dtype=np.float32).reshape(n, n)\n"
        "k = np.fromfile(sys.argv[2], dtype=np.float64).reshape(mh, mw) / msum\n"
        "inner = a[mh // 2:n - mh // 2, mw // 2:n - mw // 2]\n"
        "t = []\n"
        "for i in range(5):\n"
        "    s = time.thread_time(); cv2.filter2D(inner, cv2.CV_64F, k); t.append(time.thread_time() - s)\n"
        "print(min(t))\n",
        kSide, mask.width, mask.height, mask.sum);
    std::fclose(f);
    double seconds = 0.0;
    // Debian's own Python, which the python3-opencv package installs into.
    const std::string command = "/usr/bin/python3 " + script + " " + image + " " + weights + " 2>/dev/null";
    if (FILE* p = ::popen(command.c_str(), "r")) {
        if (std::fscanf(p, "%lf", &seconds) != 1) seconds = 0.0;
        ::pclose(p);
    }
    return seconds;
}

void RegisterOneCoreConvolution(const char* name, int side)
{
    RegisterBench(name, "opencv-filter2d-1t", [=](BenchContext& ctx) {
        static std::vector<float>* samples = [] {
            auto* s = new std::vector<float>(std::size_t(kSide) * kSide);
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x)
                    (*s)[std::size_t(y) * kSide + x] =
                        float(100.0 + 50.0 * std::sin(x * 0.01) * std::cos(y * 0.013) +
                              double((x * 7919 + y * 104729) % 97));
            return s;
        }();
        static std::vector<double>* out = new std::vector<double>(samples->size());
        std::vector<const void*> inRows;
        std::vector<void*> outRows;
        for (int y = 0; y < kSide; ++y) {
            inRows.push_back(samples->data() + std::size_t(y) * kSide);
            outRows.push_back(out->data() + std::size_t(y) * kSide);
        }
        const WorkingMask mask = Mask(side, false);
        // OpenCV runs once per process: its best of five stands for every run.
        static double peer = -1.0;
        if (peer < 0.0) peer = OpenCvFilter2DSeconds(ctx, *samples, mask);
        const RowSource source{inRows.data(), kSide, kSide};
        BenchTimes t;
        t.seconds =
            CpuSeconds([&] { ConvolveImage(int(DataType::F32), source, mask, outRows.data(), {}, 1); });
        t.referenceSeconds = peer;
        if (peer <= 0.0) t.referenceMissing = "python3-opencv (OpenCV for Debian's Python) is not installed";
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
    RegisterOneCoreConvolution("conv-15-f32-4k-1t", 15);
    RegisterDerivative("deriv-gradient-f32-4k", kDerivGradient);
    RegisterDerivative("deriv-xx-f32-4k", kDerivXX);
    return true;
}();

}  // namespace
