// The complex multiply and the spectrum's transform with its quadrant swap on 4096 x 4096
// complex-float layers. The multiply runs as the whole job (open both inputs, create the
// output, multiply, close with statistics, copy tags) against a plain pass over the same
// files: read both inputs and write the first as the output. The spectrum's transform and
// swap run over the rows of a layer against one FFTW plan over contiguous data on as many
// threads, planned with FFTW's measurements. The spectrum job (open, create, transform,
// swap, close with statistics) runs against a plain pass that copies its input into a new
// layer, and against the transform and swap alone plus the floor of the job's file I/O.

#include <dlfcn.h>

#include <algorithm>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fftw3.h>

#include "bench/bench_registry.h"
#include "modules/interferometry/complex_operation_job.h"
#include "modules/interferometry/spectrum_job.h"
#include "modules/interferometry/spectrum_kernels.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/fft_class.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"

namespace {

constexpr int kSide = 4096;

void PlainTwoInputPass(const std::string& a, const std::string& b, const std::string& output)
{
    CRDPLayer first, second, out;
    if (!first.OpenLayer(a.c_str(), kOpenReadOnly) || !second.OpenLayer(b.c_str(), kOpenReadOnly)) return;
    if (!out.CreateLayer(output.c_str(), first.Width(), first.Height(), first.Type())) return;
    const int w = first.Width();
    std::vector<float> sums(size_t(RowDriverSlots(64)), 0.0f);
    ForEachRow(first.Height(), [&](std::int64_t y, int slot) {
        const auto* pa = static_cast<const std::complex<float>*>(first.GetRows()[y]);
        const auto* pb = static_cast<const std::complex<float>*>(second.GetRows()[y]);
        auto* po = static_cast<std::complex<float>*>(out.GetRows()[y]);
        float s = 0.0f;
        for (int x = 0; x < w; ++x) {
            po[x] = pa[x];
            s += pb[x].real();
        }
        sums[size_t(slot)] += s;
    });
    out.CloseLayer();
}

const bool kMultiply = RegisterBench("complex-multiply-c64-4k", "plain-pass", [](BenchContext& ctx) {
    const std::string a = ctx.Layer(kSide, kSide, int(DataType::C64));
    // A second input of its own: a copy of the first under another name.
    static const std::string b = [&] {
        const std::string path = ctx.File("second-c64-4k.rdp");
        CRDPLayer in, out;
        if (in.OpenLayer(a.c_str(), kOpenReadOnly) &&
            out.CreateLayer(path.c_str(), in.Width(), in.Height(), in.Type())) {
            out.ReadData(&in, CPoint(0, 0), CPoint(0, 0), CSize(-1, -1));
            out.CloseLayer();
        }
        return path;
    }();
    const std::string output = ctx.File("complex-multiply.rdp");
    BenchTimes t;
    t.seconds = Seconds([&] {
        auto* record = new SComplexOperationParam;
        record->input1 = a.c_str();
        record->input2 = b.c_str();
        record->output = output.c_str();
        record->operation = 2;
        CMeterInfo meter;
        Complex_Operation(record, &meter);
    });
    t.referenceSeconds = Seconds([&] { PlainTwoInputPass(a, b, output); });
    return t;
});

// FFTW's threads are in a library of their own that nothing else of the suite needs; the
// count is set back to one once the reference is planned.
void PlanWithFftwThreads(int threads)
{
    void* lib = dlopen("libfftw3f_threads.so.3", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) {
        std::fprintf(stderr, "spectrum bench: no libfftw3f_threads; the reference runs on one thread\n");
        return;
    }
    auto init = reinterpret_cast<int (*)()>(dlsym(lib, "fftwf_init_threads"));
    auto planWith = reinterpret_cast<void (*)(int)>(dlsym(lib, "fftwf_plan_with_nthreads"));
    if (init && planWith && init()) planWith(threads);
}

struct Spectrum4k {
    Spectrum4k()
    {
        const size_t count = size_t(kSide) * kSide;
        image = static_cast<std::complex<float>*>(fftwf_malloc(count * sizeof(std::complex<float>)));
        spectrum = static_cast<std::complex<float>*>(fftwf_malloc(count * sizeof(std::complex<float>)));
        if (!image || !spectrum) {
            std::fprintf(stderr, "spectrum bench: out of memory\n");
            std::exit(1);
        }
        const int threads = int(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1u, 8u));
        PlanWithFftwThreads(threads);
        plan = fftwf_plan_dft_2d(kSide, kSide, reinterpret_cast<fftwf_complex*>(image),
                                 reinterpret_cast<fftwf_complex*>(spectrum), FFTW_FORWARD, FFTW_MEASURE);
        PlanWithFftwThreads(1);
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        for (size_t i = 0; i < count; ++i) image[i] = {value(rng), value(rng)};
        for (int y = 0; y < kSide; ++y) {
            srcRows.push_back(image + size_t(y) * kSide);
            dstRows.push_back(spectrum + size_t(y) * kSide);
        }
    }
    std::complex<float>* image = nullptr;
    std::complex<float>* spectrum = nullptr;
    fftwf_plan plan = nullptr;
    std::vector<void*> srcRows, dstRows;
};

const bool kSpectrum = RegisterBench("spectrum-c64-4k", "fftw-plan", [](BenchContext&) {
    static Spectrum4k data;
    BenchTimes t;
    t.seconds = Seconds([&] {
        if (!CFFTClass::FFT_2D(data.srcRows.data(), data.dstRows.data(), kSide, kSide, 9, nullptr, 9))
            std::fprintf(stderr, "spectrum bench: FFT_2D failed\n");
        const std::int64_t half = kSide / 2;
        ForEachRow(half, [&](std::int64_t y, int) {
            SwapQuadrantRows(9, data.dstRows[size_t(y)], data.dstRows[size_t(y + half)], kSide);
        });
    });
    t.referenceSeconds = Seconds([&] { fftwf_execute(data.plan); });
    return t;
});

/// Reads a layer and writes its samples into a new layer of the same type.
void PlainCopyPass(const std::string& input, const std::string& output)
{
    CRDPLayer in, out;
    if (!in.OpenLayer(input.c_str(), kOpenReadOnly)) return;
    if (!out.CreateLayer(output.c_str(), in.Width(), in.Height(), in.Type())) return;
    const std::int64_t rowBytes = std::int64_t(in.Width()) * elementBytes(in.Type());
    ForEachRow(in.Height(), [&](std::int64_t y, int) {
        std::memcpy(out.GetRows()[y], in.GetRows()[y], size_t(rowBytes));
    });
    out.CloseLayer();
}

const bool kSpectrumJob = RegisterBench("spectrum-job-c64-4k", "plain-pass", [](BenchContext& ctx) {
    const std::string input = TaggedLayer(ctx, kSide, kSide, int(DataType::C64));
    const std::string output = ctx.File("spectrum-job.rdp");
    CRDPLayer in;
    if (!in.OpenLayer(input.c_str(), kOpenReadOnly)) return BenchTimes{};
    const std::int64_t rowBytes = std::int64_t(kSide) * elementBytes(in.Type());
    TouchRows(in.GetRows(), kSide, rowBytes);
    MemoryRows spectrum(kSide, rowBytes);
    return MeasureJob(
        [&] {
            auto* record = new SSpectrParam;
            record->input = input.c_str();
            record->output = output.c_str();
            CMeterInfo meter;
            Calc_Spectr(record, &meter);
        },
        [&] { PlainCopyPass(input, output); },
        [&] {
            void** rows = spectrum.Rows();
            CFFTClass::FFT_2D(in.GetRows(), rows, kSide, kSide, in.Type(), nullptr, in.Type());
            const std::int64_t half = kSide / 2;
            ForEachRow(half, [&](std::int64_t y, int) {
                SwapQuadrantRows(in.Type(), rows[y], rows[y + half], kSide);
            });
        },
        {input}, output);
});

}  // namespace
