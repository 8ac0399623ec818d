// Speed of the display pyramid: building the pyramid of a 16384 × 16384 F32 layer against a
// plain pass over the same samples, reads of a screen-sized window at several zooms, and the
// same build done with GDAL's tools when they are installed.

#include <sys/mman.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "viewer/core/tile_pyramid.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A shared mapping of a new file, like the viewer's cache files; removed with the object.
class ScratchFile {
public:
    ScratchFile(const std::filesystem::path& path, std::int64_t bytes) : m_path(path), m_bytes(bytes)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        if (m_fd < 0 || ::ftruncate(m_fd, bytes) != 0) return;
        void* p = ::mmap(nullptr, std::size_t(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (p != MAP_FAILED) m_data = static_cast<BYTE*>(p);
    }
    ~ScratchFile()
    {
        if (m_data) ::munmap(m_data, std::size_t(m_bytes));
        if (m_fd >= 0) ::close(m_fd);
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    BYTE* Data() const { return m_data; }

private:
    std::filesystem::path m_path;
    std::int64_t m_bytes;
    int m_fd = -1;
    BYTE* m_data = nullptr;
};

// Runs fn(first, last) over row bands on all cores.
template <class Fn>
void OnAllCores(int rows, Fn&& fn)
{
    const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] { fn(rows * t / threads, rows * (t + 1) / threads); });
    for (auto& thread : pool) thread.join();
}

bool OnPath(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

/// Prints the pyramid's lines of tarvenix-bench; `folder` holds the scratch files.
void RunPyramidBench(const std::filesystem::path& folder)
{
    constexpr int kSide = 16384;
    constexpr double kLow = -40.0, kHigh = 40.0;
    const std::int64_t samples = std::int64_t(kSide) * kSide;

    // The layer's samples in a file of their own, in the page cache: a smooth field with noise.
    ScratchFile source(folder / "pyramid-bench-f32.raw", samples * 4);
    if (!source.Data()) {
        std::printf("bench: pyramid-f32-16k skipped (no room for the scratch files in %s)\n", folder.c_str());
        return;
    }
    OnAllCores(kSide, [&](int first, int last) {
        std::uint32_t noise = 12345u + std::uint32_t(first);
        for (int y = first; y < last; ++y) {
            float* row = reinterpret_cast<float*>(source.Data()) + std::int64_t(y) * kSide;
            for (int x = 0; x < kSide; ++x) {
                noise = noise * 1664525u + 1013904223u;
                row[x] = float(30.0 * std::sin(x * 0.001) * std::cos(y * 0.0013) +
                               double(noise >> 24) / 25.6 - 5.0);
            }
        }
    });

    // Written back once, so that no writeback of the samples runs during the timings.
    msync(source.Data(), std::size_t(samples * 4), MS_SYNC);

    // The plain pass reads every sample once and writes one byte for it; the build writes
    // the pyramid into a new cache file. Each runs three times, alternating, on new files;
    // the best time of each counts.
    const std::int64_t pyramidBytes = GetViewerTempSize(kSide, kSide);
    double plain = 1e30, build = 1e30;
    CTilePyramid pyramid;
    std::unique_ptr<ScratchFile> cache;
    for (int run = 0; run < 3; ++run) {
        {
            ScratchFile out(folder / "pyramid-bench-plain.raw", samples);
            const auto start = Clock::now();
            const float scale = float(255.0 / (kHigh - kLow)), offset = float(-kLow);
            OnAllCores(kSide, [&](int first, int last) {
                const float* in = reinterpret_cast<const float*>(source.Data()) + std::int64_t(first) * kSide;
                BYTE* o = out.Data() + std::int64_t(first) * kSide;
                const std::int64_t n = std::int64_t(last - first) * kSide;
                for (std::int64_t i = 0; i < n; ++i)
                    o[i] = BYTE(std::clamp((in[i] + offset) * scale, 0.0f, 255.0f));
            });
            plain = std::min(plain, Seconds(start));
        }
        pyramid.Free();
        cache.reset();
        cache = std::make_unique<ScratchFile>(folder / "pyramid-bench.pyr",
                                              pyramidBytes + kDisplayHistogramBytes);
        if (!cache->Data()) return;
        const auto start = Clock::now();
        pyramid.Build(cache->Data() + kDisplayHistogramBytes, pyramidBytes, source.Data(), kSide, kSide,
                      kSide * 4, 7, 0, kLow, kHigh, nullptr);
        build = std::min(build, Seconds(start));
    }
    std::printf("bench: pyramid-f32-16k %.3f s, %.2f x plain-pass (%.3f s)\n", build, build / plain, plain);

    // Reads of a full-HD window, as a paint does.
    std::vector<BYTE> screen(std::size_t(1920) * 1080);
    for (double zoom : {1.0, 0.25, 3.0, 37.0}) {
        pyramid.PrepareZoom(zoom);
        const int x = zoom < 1 ? 5000 : int(1000 / zoom), y = zoom < 1 ? 7000 : int(700 / zoom);
        const int repeats = 20;
        const auto readStart = Clock::now();
        for (int i = 0; i < repeats; ++i)
            pyramid.ReadWindow(screen.data(), 1920, x, y, 1920, 1080, zoom, FALSE, 1, FALSE, nullptr);
        const double read = Seconds(readStart) / repeats;
        char name[32];
        std::snprintf(name, sizeof name, "%g", zoom);
        std::printf("bench: read-window-z%s %.5f s, 1920x1080, %.1f%% of a 60 Hz frame\n", name, read,
                    read * 60.0 * 100.0);
    }

    // The same work with GDAL: the samples to 8 bits with the same linear scaling, then
    // averaged overviews.
    if (OnPath("gdal_translate") && OnPath("gdaladdo")) {
        const auto raw = folder / "pyramid-bench-f32.raw";
        std::ofstream(folder / "pyramid-bench-f32.hdr")
            << "ENVI\nsamples = " << kSide << "\nlines = " << kSide
            << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 4\ninterleave = bsq\n"
               "byte order = 0\n";
        const auto tif = folder / "pyramid-bench-gdal.tif";
        std::string levels;
        for (int k = 1; k < pyramid.LevelCount(); ++k) levels += " " + std::to_string(1 << k);
        char scale[96];
        std::snprintf(scale, sizeof scale, " -scale %g %g 0 255", kLow, kHigh);
        const std::string translate = "gdal_translate -q -of GTiff -ot Byte" + std::string(scale) +
                                      " -co TILED=YES '" + raw.string() + "' '" + tif.string() + "'";
        const std::string overviews = "gdaladdo -q -r average '" + tif.string() + "'" + levels;
        const auto gdalStart = Clock::now();
        const bool ok = std::system(translate.c_str()) == 0 && std::system(overviews.c_str()) == 0;
        const double gdal = Seconds(gdalStart);
        if (ok)
            std::printf("bench: pyramid-f32-16k-gdal %.3f s, %.2f x pyramid-f32-16k\n", gdal, gdal / build);
        else
            std::printf("bench: pyramid-f32-16k-gdal failed\n");
        std::error_code ignored;
        std::filesystem::remove(tif, ignored);
        std::filesystem::remove(folder / "pyramid-bench-f32.hdr", ignored);
        std::filesystem::remove(folder / "pyramid-bench-f32.raw.aux.xml", ignored);
    }
}
