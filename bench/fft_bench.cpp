// FFT_2D of an 8192 x 8192 complex-float image against one FFTW plan over the same
// contiguous data, measured side by side in the same run. The plan uses as many threads
// as FFT_2D does, so the ratio compares the row-table transform with FFTW at its best.

#include <algorithm>
#include <chrono>
#include <complex>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <fftw3.h>

#include "outside/basecore/fft_class.h"

namespace tarvenix::bench {

namespace {

template <class F>
double BestSeconds(int runs, F&& f)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

}  // namespace

/// Prints "bench: fft2d-c64-8k SECONDS s, RATIO x fftw-plan"; returns the ratio.
double RunFft2D8k()
{
    constexpr int n = 8192;
    constexpr size_t count = size_t(n) * n;
    const int threads = static_cast<int>(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1u, 8u));

    auto* image = static_cast<std::complex<float>*>(fftwf_malloc(count * sizeof(std::complex<float>)));
    auto* spectrum = static_cast<std::complex<float>*>(fftwf_malloc(count * sizeof(std::complex<float>)));
    // One FFTW plan, out of place over the same contiguous data, measured by FFTW (which
    // overwrites the arrays, so it plans before the image is filled).
    fftwf_init_threads();
    fftwf_plan_with_nthreads(threads);
    fftwf_plan plan = fftwf_plan_dft_2d(n, n, reinterpret_cast<fftwf_complex*>(image),
                                        reinterpret_cast<fftwf_complex*>(spectrum), FFTW_FORWARD, FFTW_MEASURE);
    fftwf_plan_with_nthreads(1);

    std::mt19937 rng(1);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (size_t i = 0; i < count; ++i)
        image[i] = {value(rng), value(rng)};
    std::vector<void*> src(n), dst(n);
    for (int y = 0; y < n; ++y) {
        src[y] = image + size_t(y) * n;
        dst[y] = spectrum + size_t(y) * n;
    }

    // FFT_2D: the first call plans, as a job's first transform would; the best of the
    // following ones is the figure.
    CFFTClass::FFT_2D(src.data(), dst.data(), n, n, 9, nullptr, 9);
    const double ours = BestSeconds(3, [&] { CFFTClass::FFT_2D(src.data(), dst.data(), n, n, 9, nullptr, 9); });

    fftwf_execute(plan);  // warm
    const double reference = BestSeconds(3, [&] { fftwf_execute(plan); });
    fftwf_destroy_plan(plan);

    fftwf_free(image);
    fftwf_free(spectrum);
    const double ratio = ours / reference;
    std::printf("bench: fft2d-c64-8k %.3f s, %.2f x fftw-plan\n", ours, ratio);
    return ratio;
}

}  // namespace tarvenix::bench
