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

#if __has_include("bench/bench_registry.h")
#include "bench/bench_registry.h"
#else
// Until tarvenix-bench's registry is in the tree, the measurements of this file run on
// their own from RunPyramidBench(), which prints the same lines.
#include <chrono>
#include <functional>

struct BenchTimes {
    double seconds = 0.0;
    double referenceSeconds = 0.0;
};

class BenchContext {
public:
    virtual ~BenchContext() = default;
    virtual std::string File(const std::string& name) = 0;
    virtual std::string Layer(int width, int height, int type) = 0;
};

using BenchFn = std::function<BenchTimes(BenchContext&)>;

template <class F>
double Seconds(F&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

namespace {
struct PendingBench {
    std::string name, reference;
    BenchFn run;
};
std::vector<PendingBench>& PendingBenches()
{
    static std::vector<PendingBench> benches;
    return benches;
}
bool RegisterBench(const std::string& name, const std::string& reference, BenchFn run)
{
    PendingBenches().push_back({name, reference, std::move(run)});
    return true;
}
}  // namespace
#endif
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

#if !__has_include("bench/bench_registry.h")
/// Runs the pyramid's measurements with scratch files in `folder` and prints their lines
/// ("bench: NAME SECONDS s, RATIO x REFERENCE", medians of five runs after a warm-up).
void RunPyramidBench(const std::string& folder)
{
    class Context : public BenchContext {
    public:
        explicit Context(std::string folder) : m_folder(std::move(folder)) {}
        ~Context() override
        {
            for (const std::string& path : m_made) ::unlink(path.c_str());
        }
        std::string File(const std::string& name) override { return m_folder + "/pyramid-bench-" + name; }
        std::string Layer(int width, int height, int type) override
        {
            const std::string path = File("layer.rdp");
            if (!m_made.empty()) return path;
            CRDPLayer out;
            void** rows = out.CreateLayer(path.c_str(), width, height, type);
            if (!rows) std::exit(1);
            std::uint64_t s = 0x9E3779B97F4A7C15ull;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
                    static_cast<float*>(rows[y])[x] = float(double(s >> 11) * 0x1p-53 * 2000.0 - 1000.0);
                }
            if (!out.CloseLayer()) std::exit(1);
            m_made.push_back(path);
            return path;
        }

    private:
        std::string m_folder;
        std::vector<std::string> m_made;
    } ctx(folder);
    for (const PendingBench& b : PendingBenches()) {
        b.run(ctx);
        std::vector<double> work, reference;
        for (int i = 0; i < 5; ++i) {
            const BenchTimes t = b.run(ctx);
            work.push_back(t.seconds);
            reference.push_back(t.referenceSeconds);
        }
        std::sort(work.begin(), work.end());
        std::sort(reference.begin(), reference.end());
        std::printf("bench: %s %.3f s, %.2f x %s\n", b.name.c_str(), work[2], work[2] / reference[2],
                    b.reference.c_str());
        std::fflush(stdout);
    }
}
#endif
