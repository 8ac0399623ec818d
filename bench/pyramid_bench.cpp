// Speed of the display pyramid: building the pyramid of a 16384 × 16384 F32 layer against a
// plain pass over the same samples, reads of a full-HD window at several zooms against one
// display frame, and the same build done with GDAL's tools when they are installed.

#include <sys/mman.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_registry.h"
#include "outside/basecore/rdp_layer.h"
#include "viewer/core/tile_pyramid.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

constexpr int kSide = 16384;

// A shared mapping of a new file, as the viewer's cache files are; removed with the object.
class ScratchFile {
public:
    ScratchFile(const std::string& path, std::int64_t bytes) : m_path(path), m_bytes(bytes)
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
        ::unlink(m_path.c_str());
    }
    BYTE* Data() const { return m_data; }

private:
    std::string m_path;
    std::int64_t m_bytes;
    int m_fd = -1;
    BYTE* m_data = nullptr;
};

// The layer, open on its mapped samples, and the pyramid last built from it.
struct PyramidBench {
    explicit PyramidBench(BenchContext& ctx) : ctx(ctx)
    {
        path = ctx.Layer(kSide, kSide, 7);
        if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) {
            std::fprintf(stderr, "pyramid bench: cannot open %s\n", path.c_str());
            std::exit(1);
        }
        low = layer.Min();
        high = layer.Max();
    }

    // Reads every sample once and writes one byte for it into a new file, on all cores.
    double PlainPass()
    {
        ScratchFile out(ctx.File("plain-pass.raw"), std::int64_t(kSide) * kSide);
        const float* samples = static_cast<const float*>(layer.GetDataPtr());
        const float scale = float(255.0 / (high - low)), offset = float(-low);
        return Seconds([&] {
            const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
            std::vector<std::thread> pool;
            for (int t = 0; t < threads; ++t)
                pool.emplace_back([&, t] {
                    const std::int64_t first = std::int64_t(kSide) * kSide * t / threads;
                    const std::int64_t last = std::int64_t(kSide) * kSide * (t + 1) / threads;
                    for (std::int64_t i = first; i < last; ++i)
                        out.Data()[i] = BYTE(std::clamp((samples[i] + offset) * scale, 0.0f, 255.0f));
                });
            for (auto& thread : pool) thread.join();
        });
    }

    // Builds the pyramid into a new cache file, as a raster view does on opening.
    double Build()
    {
        pyramid.Free();
        cache.reset();
        const std::int64_t bytes = GetViewerTempSize(kSide, kSide);
        cache = std::make_unique<ScratchFile>(ctx.File("layer.pyr"), bytes + kDisplayHistogramBytes);
        return Seconds([&] {
            if (!pyramid.Build(cache->Data() + kDisplayHistogramBytes, bytes, layer, 0, low, high, nullptr))
                std::fprintf(stderr, "pyramid bench: the build failed\n");
        });
    }

    BenchContext& ctx;
    std::string path;
    CRDPLayer layer;
    double low = 0.0, high = 1.0;
    std::unique_ptr<ScratchFile> cache;
    CTilePyramid pyramid;
};

PyramidBench& Shared(BenchContext& ctx)
{
    static PyramidBench bench(ctx);
    if (bench.pyramid.LevelCount() == 0) bench.Build();
    return bench;
}

const bool kBuild = RegisterBench("pyramid-f32-16k", "plain-pass", [](BenchContext& ctx) {
    PyramidBench& b = Shared(ctx);
    BenchTimes t;
    t.referenceSeconds = b.PlainPass();
    t.seconds = b.Build();
    return t;
});

// A paint reads one screen of the picture; the reference is one frame at 60 Hz.
bool RegisterRead(const char* name, double zoom)
{
    return RegisterBench(name, "display-frame", [zoom](BenchContext& ctx) {
        PyramidBench& b = Shared(ctx);
        static std::vector<BYTE> screen(std::size_t(1920) * 1080);
        const int x = zoom < 1 ? 11000 : int(1200 / zoom), y = zoom < 1 ? 9000 : int(900 / zoom);
        BenchTimes t;
        t.seconds = Seconds([&] {
            b.pyramid.PrepareZoom(zoom);
            b.pyramid.ReadWindow(screen.data(), 1920, x, y, 1920, 1080, zoom, FALSE, 1, FALSE, nullptr);
        });
        t.referenceSeconds = 1.0 / 60.0;
        return t;
    });
}

const bool kReads = RegisterRead("read-window-z1", 1.0) && RegisterRead("read-window-z0.25", 0.25) &&
                    RegisterRead("read-window-z3", 3.0) && RegisterRead("read-window-z37", 37.0);

bool OnPath(const char* tool)
{
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string folders = path;
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + tool;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// The same work with GDAL: the samples to 8 bits with the same linear scaling into a tiled
// GeoTIFF, then averaged overviews for the same levels; the reference is our build.
const bool kGdal =
    OnPath("gdal_translate") && OnPath("gdaladdo") &&
    RegisterBench("pyramid-f32-16k-gdal", "pyramid-f32-16k", [](BenchContext& ctx) {
        PyramidBench& b = Shared(ctx);
        // GDAL reads the samples as raw floats beside an ENVI header.
        static const std::string raw = [&] {
            const std::string file = ctx.File("layer-f32.raw");
            std::ofstream(file, std::ios::binary)
                .write(static_cast<const char*>(b.layer.GetDataPtr()),
                       std::streamsize(std::int64_t(kSide) * kSide * 4));
            std::ofstream(ctx.File("layer-f32.hdr"))
                << "ENVI\nsamples = " << kSide << "\nlines = " << kSide
                << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 4\n"
                   "interleave = bsq\nbyte order = 0\n";
            return file;
        }();
        const std::string tif = ctx.File("layer-gdal.tif");
        std::ostringstream translate, overviews;
        translate.precision(17);
        translate << "gdal_translate -q -of GTiff -ot Byte -co TILED=YES -scale " << b.low << ' ' << b.high
                  << " 0 255 '" << raw << "' '" << tif << "'";
        overviews << "gdaladdo -q -r average '" << tif << "'";
        for (int k = 1; k < PyramidLevelCount(kSide, kSide); ++k) overviews << ' ' << (1 << k);
        BenchTimes t;
        t.seconds = Seconds([&] {
            if (std::system(translate.str().c_str()) != 0 || std::system(overviews.str().c_str()) != 0)
                std::fprintf(stderr, "pyramid bench: GDAL failed\n");
        });
        std::filesystem::remove(tif);
        t.referenceSeconds = b.Build();
        return t;
    });

}  // namespace
