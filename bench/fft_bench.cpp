// FFT_2D of an 8192 x 8192 complex-float image against one FFTW plan over the same
// contiguous data, side by side in the same run. The plan runs on as many threads as
// FFT_2D uses and is measured by FFTW itself, so the ratio compares the row-table
// transform with FFTW at its best.

#include <dlfcn.h>

#include <algorithm>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include <fftw3.h>

#include "bench/bench_registry.h"
#include "outside/basecore/fft_class.h"

namespace {

constexpr int kSide = 8192;

// FFTW's threads are in a library of their own that nothing else of the suite needs; it
// joins the FFTW the core library already loaded. The thread count holds for every plan
// made after it, so it is set back to one once the reference is planned (FFT_2D runs
// single-threaded plans on threads of its own).
void UseFftwThreads(int threads)
{
    void* lib = dlopen("libfftw3f_threads.so.3", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) {
        std::fprintf(stderr, "fft bench: no libfftw3f_threads (%s); the reference runs on one thread\n",
                     dlerror());
        return;
    }
    auto init = reinterpret_cast<int (*)()>(dlsym(lib, "fftwf_init_threads"));
    auto plan_with = reinterpret_cast<void (*)(int)>(dlsym(lib, "fftwf_plan_with_nthreads"));
    if (init && plan_with && init()) plan_with(threads);
}

void UseOneFftwThread()
{
    if (void* lib = dlopen("libfftw3f_threads.so.3", RTLD_NOW | RTLD_GLOBAL | RTLD_NOLOAD))
        if (auto plan_with = reinterpret_cast<void (*)(int)>(dlsym(lib, "fftwf_plan_with_nthreads")))
            plan_with(1);
}

struct Fft8k {
    Fft8k()
    {
        const size_t count = size_t(kSide) * kSide;
        image = static_cast<std::complex<float>*>(fftwf_malloc(count * sizeof(std::complex<float>)));
        spectrum = static_cast<std::complex<float>*>(fftwf_malloc(count * sizeof(std::complex<float>)));
        if (!image || !spectrum) {
            std::fprintf(stderr, "fft bench: out of memory\n");
            std::exit(1);
        }
        // FFTW measures on the arrays it is given, so the plan comes before the image.
        UseFftwThreads(static_cast<int>(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1u, 8u)));
        plan = fftwf_plan_dft_2d(kSide, kSide, reinterpret_cast<fftwf_complex*>(image),
                                 reinterpret_cast<fftwf_complex*>(spectrum), FFTW_FORWARD, FFTW_MEASURE);
        UseOneFftwThread();
        std::mt19937 rng(1);
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

const bool kRegistered = RegisterBench("fft2d-c64-8k", "fftw-plan", [](BenchContext&) {
    static Fft8k data;  // planned and filled once, on the warm-up run
    BenchTimes t;
    t.seconds = Seconds([&] {
        if (!CFFTClass::FFT_2D(data.srcRows.data(), data.dstRows.data(), kSide, kSide, 9, nullptr, 9))
            std::fprintf(stderr, "fft bench: FFT_2D failed\n");
    });
    t.referenceSeconds = Seconds([&] { fftwf_execute(data.plan); });
    return t;
});

}  // namespace
