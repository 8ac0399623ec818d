// The speckle and phase filter kernels alone on 4096 x 4096 images held in memory.
//
// Large windows (all cores, wall time): the median and the Sigma filter at 7 x 7 and
// 17 x 17 against a plain pass, and Sigma 17 x 17 against Sigma 3 x 3 on the same image.
//
// One core (CPU time of the calling thread, which a loaded machine disturbs far less than
// wall time): the median 3 x 3 and 5 x 5, the mean 3 x 3 and the phase filter 17 x 17
// against OpenCV's medianBlur, blur and a boxFilter phase pipeline on one thread, timed
// the same way inside Debian's Python on the same images. Without python3-opencv those
// lines say so and show a ratio of 0.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "modules/convolution/noise_filter_kernels.h"
#include "modules/interferometry/phase_filter_kernels.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/row_driver.h"

namespace {

constexpr int kSide = 4096;

/// A side x side F32 image in memory with its row table.
struct Image {
    std::vector<float> samples;
    std::vector<const void*> rows;
    std::vector<float*> outRows;
    std::vector<float> out;

    explicit Image(int side) : samples(std::size_t(side) * side), out(samples.size())
    {
        for (int y = 0; y < side; ++y) {
            rows.push_back(samples.data() + std::size_t(y) * side);
            outRows.push_back(out.data() + std::size_t(y) * side);
        }
    }
    RowSource Source() const { return RowSource{rows.data(), kSide, kSide}; }
};

/// Radar intensities: a smooth scene times one-look speckle (exponential noise).
Image& Speckle()
{
    static Image* image = [] {
        auto* img = new Image(kSide);
        ForEachRow(kSide, [&](std::int64_t y, int) {
            std::uint64_t s = 0x9E3779B97F4A7C15ull * std::uint64_t(y + 1);
            float* row = img->samples.data() + std::size_t(y) * kSide;
            for (int x = 0; x < kSide; ++x) {
                s ^= s << 13;
                s ^= s >> 7;
                s ^= s << 17;
                const double u = (double(s >> 11) + 0.5) * 0x1p-53;
                const double scene = 200.0 + 150.0 * std::sin(x * 0.003) * std::cos(y * 0.002);
                row[x] = float(-scene * std::log(u));
            }
        });
        return img;
    }();
    return *image;
}

/// A wrapped phase in -π..π of a smooth surface with some noise.
Image& Phase()
{
    static Image* image = [] {
        auto* img = new Image(kSide);
        ForEachRow(kSide, [&](std::int64_t y, int) {
            float* row = img->samples.data() + std::size_t(y) * kSide;
            for (int x = 0; x < kSide; ++x) {
                const double u = double(x) / kSide, v = double(y) / kSide;
                const double p =
                    120 * u * u + 60 * v + 10 * std::sin(6 * u * v) + 0.7 * std::sin(x * 1.7 + y * 2.3);
                row[x] = float(std::remainder(p, 6.283185307179586));
            }
        });
        return img;
    }();
    return *image;
}

/// Every sample read and written once as F32, on all cores.
double PlainPass(Image& img)
{
    return Seconds([&] {
        ForEachRow(kSide, [&](std::int64_t y, int) {
            const float* src = static_cast<const float*>(img.rows[std::size_t(y)]);
            float* dst = img.outRows[std::size_t(y)];
            for (int x = 0; x < kSide; ++x) dst[x] = src[x] * 0.5f;
        });
    });
}

void Noise(Image& img, int filter, int window, int threads)
{
    // Sigma 0.5: the noise of about four looks.
    FilterNoiseImage(int(DataType::F32), img.Source(), NoiseFilterSpec{filter, window, 0.5f},
                     img.outRows.data(), {}, threads);
}

/// OpenCV's single-thread CPU seconds per operation, measured once; empty without OpenCV.
const std::map<std::string, double>& OpenCvSeconds(BenchContext& ctx)
{
    static std::map<std::string, double>* seconds = nullptr;
    if (seconds) return *seconds;
    seconds = new std::map<std::string, double>;
    const std::string speckle = ctx.File("speckle-f32-4k.raw"), phase = ctx.File("phase-f32-4k.raw");
    for (const auto& [path, img] : {std::pair{speckle, &Speckle()}, std::pair{phase, &Phase()}})
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(img->samples.data(), sizeof(float), img->samples.size(), f);
            std::fclose(f);
        }
    const std::string script = ctx.File("opencv-filters.py");
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fprintf(f,
                     "import sys, time\n"
                     "import numpy as np, cv2\n"
                     "cv2.setNumThreads(1)\n"
                     "n = %d\n"
                     "a = np.fromfile(sys.argv[1], dtype=np.float32).reshape(n, n)\n"
                     "p = np.fromfile(sys.argv[2], dtype=np.float32).reshape(n, n)\n"
                     "one = np.ones_like(p)\n"
                     "def best(f):\n"
                     "    t = []\n"
                     "    for i in range(5):\n"
                     "        s = time.thread_time(); f(); t.append(time.thread_time() - s)\n"
                     "    return min(t)\n"
                     "def phase():\n"
                     "    c, s = cv2.polarToCart(one, p)\n"
                     "    c = cv2.boxFilter(c, -1, (17, 17), normalize=False)\n"
                     "    s = cv2.boxFilter(s, -1, (17, 17), normalize=False)\n"
                     "    return cv2.phase(c, s)\n"
                     "print('median3', best(lambda: cv2.medianBlur(a, 3)))\n"
                     "print('median5', best(lambda: cv2.medianBlur(a, 5)))\n"
                     "print('mean3', best(lambda: cv2.blur(a, (3, 3))))\n"
                     "print('phase17', best(phase))\n",
                     kSide);
        std::fclose(f);
    }
    // Debian's own Python, which the python3-opencv package installs into.
    const std::string command = "/usr/bin/python3 " + script + " " + speckle + " " + phase + " 2>/dev/null";
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char name[32];
        double s = 0;
        while (std::fscanf(p, "%31s %lf", name, &s) == 2) (*seconds)[name] = s;
        ::pclose(p);
    }
    if (seconds->empty()) std::fprintf(stderr, "filter kernels bench: python3-opencv is not installed\n");
    return *seconds;
}

void RegisterOneCore(const char* name, const char* peer, double (*run)())
{
    RegisterBench(name, std::string("opencv-") + peer + "-1t", [=](BenchContext& ctx) {
        const auto& peers = OpenCvSeconds(ctx);
        const auto found = peers.find(peer);
        BenchTimes times{run(), found == peers.end() ? 0.0 : found->second};
        // No ratio against a peer that did not run.
        if (found == peers.end())
            times.referenceMissing = "python3-opencv (OpenCV for Debian's Python) is not installed";
        return times;
    });
}

void RegisterLargeWindow(const char* name, int filter, int window)
{
    RegisterBench(name, "plain-pass", [=](BenchContext&) {
        Image& img = Speckle();
        const double seconds = Seconds([&] { Noise(img, filter, window, 0); });
        return BenchTimes{seconds, PlainPass(img)};
    });
}

const bool kRegistered = [] {
    RegisterOneCore("median-3-f32-4k-1t", "median3", [] {
        Image& img = Speckle();
        return CpuSeconds([&] { Noise(img, kFilterMedian, 3, 1); });
    });
    RegisterOneCore("median-5-f32-4k-1t", "median5", [] {
        Image& img = Speckle();
        return CpuSeconds([&] { Noise(img, kFilterMedian, 5, 1); });
    });
    RegisterOneCore("mean-3-f32-4k-1t", "mean3", [] {
        Image& img = Speckle();
        return CpuSeconds([&] { Noise(img, kFilterMean, 3, 1); });
    });
    RegisterOneCore("phase-filter-17-f32-4k-1t", "phase17", [] {
        Image& img = Phase();
        void* const* out = reinterpret_cast<void* const*>(img.outRows.data());
        return CpuSeconds(
            [&] { FilterPhaseImage(int(DataType::F32), img.Source(), 17, out, int(DataType::F32), {}, 1); });
    });
    RegisterLargeWindow("median-7-f32-4k", kFilterMedian, 7);
    RegisterLargeWindow("median-17-f32-4k", kFilterMedian, 17);
    RegisterLargeWindow("sigma-3-f32-4k", kFilterSigma, 3);
    RegisterLargeWindow("sigma-7-f32-4k", kFilterSigma, 7);
    RegisterBench("sigma-17-f32-4k", "sigma-3-f32-4k", [](BenchContext&) {
        Image& img = Speckle();
        const double seconds = Seconds([&] { Noise(img, kFilterSigma, 17, 0); });
        return BenchTimes{seconds, Seconds([&] { Noise(img, kFilterSigma, 3, 0); })};
    });
    return true;
}();

}  // namespace
