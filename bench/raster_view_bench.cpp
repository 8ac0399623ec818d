// Speed of the raster view on a 16384 × 16384 F32 layer file: opening it up to the first
// 1920 × 1080 picture at fit, with and without a cache file, and opening a copy of it that
// carries no statistics. Opening is compared with a plain pass over the samples, a reopen
// with one display frame.

#include <sys/mman.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_registry.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/gdi/gdi.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/raster_view_cache.h"

namespace {

constexpr int kSide = 16384;
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// A window of the screen's size to draw into, and the buffers a view window hands a view.
struct Screen {
    Screen()
    {
        BITMAPINFO info{};
        info.bmiHeader = {40, kScreenWidth, -kScreenHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* pixels = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bitmap);
        bits.resize(std::size_t(kScreenWidth + 3) * kScreenHeight * 4);
        infoBytes.resize(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    }
    ~Screen()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::vector<BYTE> bits;
    std::vector<BYTE> infoBytes;
};

// Made on first use and freed when the measurements end, while the platform is still there
// (a DC deleted at exit would reach a platform already gone).
Screen& TheScreen(BenchContext& ctx)
{
    return KeptUntilEnd(ctx, [] { return new Screen; });
}

// Open to the first painted picture at fit (the whole picture in the screen). With `build`
// the open must build the pyramid; the call then also waits (untimed) until the cache file
// is in place, so that writing it does not overlap the next measurement.
double OpenAndPaint(BenchContext& ctx, const std::string& path, bool build, bool inMemory = false)
{
    Screen& s = TheScreen(ctx);
    auto view = std::make_unique<CRasterView>();
    const double zoom = std::max(double(kSide) / kScreenWidth, double(kSide) / kScreenHeight);
    const double seconds = Seconds([&] {
        if (!view->Open(0, nullptr, path.c_str(), 0, 0.0, 0.0, 0, kOpenReadOnly, nullptr, nullptr)) {
            std::fprintf(stderr, "raster view bench: cannot open %s\n", path.c_str());
            std::exit(1);
        }
        if (view->IsBusy() != build) {
            std::fprintf(stderr, "raster view bench: %s\n",
                         build ? "the cache was reused" : "the cache was rebuilt");
            std::exit(1);
        }
        while (view->IsBusy()) std::this_thread::sleep_for(std::chrono::microseconds(200));
        view->SetShown(TRUE);
        view->SetZoom(zoom, 0);
        view->DrawEx(CDC::FromHandle(s.dc), 0, 0, kScreenWidth, kScreenHeight, zoom, FALSE, s.bits.data(),
                     reinterpret_cast<BITMAPINFO*>(s.infoBytes.data()));
    });
    if (view->GetCacheFileName().IsEmpty() != inMemory) {
        std::fprintf(stderr, "raster view bench: %s for %s\n", inMemory ? "a cache file" : "no picture",
                     path.c_str());
        std::exit(1);
    }
    if (inMemory) return seconds;
    for (int i = 0; build && i < 60000 && !std::filesystem::exists(view->GetCacheFileName().str()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return seconds;
}

void RemoveCaches(const std::string& path)
{
    CRDPLayer layer;
    layer.OpenLayer(path.c_str(), kOpenReadOnly);
    const RasterCacheKey key{path, layer.Width(), layer.Height(), layer.Type(), 0};
    for (const std::string& name : RasterCacheNames(key, RasterCacheTempFolder())) {
        std::error_code ec;
        std::filesystem::remove(name, ec);
    }
}

// Reads every sample once and writes one byte for it into a new file, on all cores: the
// least any first picture of the whole layer costs.
double PlainPass(BenchContext& ctx, const std::string& path)
{
    CRDPLayer layer;
    if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) std::exit(1);
    const std::string outPath = ctx.File("raster-plain-pass.raw");
    const std::int64_t bytes = std::int64_t(kSide) * kSide;
    const int fd = ::open(outPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::ftruncate(fd, bytes) != 0) std::exit(1);
    void* mapped = ::mmap(nullptr, std::size_t(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) std::exit(1);
    BYTE* out = static_cast<BYTE*>(mapped);
    const float* samples = static_cast<const float*>(layer.GetDataPtr());
    const float low = float(layer.Min()), scale = float(255.0 / (layer.Max() - layer.Min()));
    const double seconds = Seconds([&] {
        const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t)
            pool.emplace_back([&, t] {
                const std::int64_t first = bytes * t / threads, last = bytes * (t + 1) / threads;
                for (std::int64_t i = first; i < last; ++i)
                    out[i] = BYTE(std::clamp((samples[i] - low) * scale, 0.0f, 255.0f));
            });
        for (auto& thread : pool) thread.join();
    });
    ::munmap(mapped, std::size_t(bytes));
    ::close(fd);
    ::unlink(outPath.c_str());
    return seconds;
}

// A copy of the layer file whose statistics block says "not computed".
std::string LayerWithoutStatistics(BenchContext& ctx, const std::string& source)
{
    static std::string made;
    if (!made.empty()) return made;
    made = ctx.File("F32-nostats.rdp");
    std::filesystem::copy_file(source, made, std::filesystem::copy_options::overwrite_existing);
    const int fd = ::open(made.c_str(), O_RDWR);
    const off_t size = fd < 0 ? 0 : ::lseek(fd, 0, SEEK_END);
    void* mapped =
        size > 0 ? ::mmap(nullptr, std::size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (mapped == MAP_FAILED) std::exit(1);
    BYTE* file = static_cast<BYTE*>(mapped);
    auto at32 = [&](std::int64_t offset) {
        std::int32_t v;
        std::memcpy(&v, file + offset, 4);
        return v;
    };
    bool marked = false;
    for (std::int64_t block = at32(16); block > 0 && block + 12 <= size; block = at32(block + 8)) {
        if (at32(block) != TAG_STATISTICS) continue;
        const std::int64_t payload = at32(block + 4);
        const std::int32_t notReady = 0;
        const double notComputed = -1.0;
        std::memcpy(file + payload + layerfile::kStatReady, &notReady, 4);
        std::memcpy(file + payload + layerfile::kStatStdDev, &notComputed, 8);
        marked = true;
        break;
    }
    ::munmap(mapped, std::size_t(size));
    ::close(fd);
    CRDPLayer check;
    if (!marked || !check.OpenLayer(made.c_str(), kOpenReadOnly) || check.StatsReady()) {
        std::fprintf(stderr, "raster view bench: cannot make a layer without statistics\n");
        std::exit(1);
    }
    return made;
}

const bool kOpen = RegisterBench("open-f32-16k", "plain-pass", [](BenchContext& ctx) {
    const std::string path = ctx.Layer(kSide, kSide, 7);
    BenchTimes t;
    t.referenceSeconds = PlainPass(ctx, path);
    RemoveCaches(path);
    t.seconds = OpenAndPaint(ctx, path, true);
    return t;
});

// The same layer where no cache can be written: a folder where the cache beside it would go,
// and a cache folder of the user's that cannot be made. Its pyramid is then built in memory.
struct NoCacheAnywhere {
    explicit NoCacheAnywhere(BenchContext& ctx)
    {
        if (const char* home = std::getenv("XDG_CACHE_HOME")) saved = home;
        const std::string blocked = ctx.File("no-cache-home");
        std::filesystem::create_directories(blocked);
        if (FILE* file = std::fopen((blocked + "/tarvenix").c_str(), "w")) std::fclose(file);
        ::setenv("XDG_CACHE_HOME", blocked.c_str(), 1);
    }
    ~NoCacheAnywhere()
    {
        if (saved.empty())
            ::unsetenv("XDG_CACHE_HOME");
        else
            ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    }
    std::string saved;
};

/// The layer under a second name in a folder of its own whose cache name beside it is taken
/// by a folder.
std::string LayerWithoutCache(BenchContext& ctx, const std::string& source)
{
    static std::string made;
    if (!made.empty()) return made;
    const std::string folder = ctx.File("no-cache");
    std::filesystem::create_directories(folder);
    made = folder + "/F32.rdp";
    std::error_code ec;
    std::filesystem::create_hard_link(source, made, ec);
    if (ec) std::filesystem::copy_file(source, made, std::filesystem::copy_options::overwrite_existing);
    CRDPLayer layer;
    layer.OpenLayer(made.c_str(), kOpenReadOnly);
    const RasterCacheKey key{made, layer.Width(), layer.Height(), layer.Type(), 0};
    std::filesystem::create_directories(RasterCacheNames(key, "")[0]);
    return made;
}

const bool kOpenInMemory =
    RegisterBench("open-memory-f32-16k", "open-f32-16k-with-cache-file", [](BenchContext& ctx) {
        const std::string path = ctx.Layer(kSide, kSide, 7);
        const std::string uncached = LayerWithoutCache(ctx, path);
        BenchTimes t;
        RemoveCaches(path);
        t.referenceSeconds = OpenAndPaint(ctx, path, true);
        NoCacheAnywhere noCache(ctx);
        t.seconds = OpenAndPaint(ctx, uncached, true, true);
        return t;
    });

const bool kReopen = RegisterBench("reopen-f32-16k", "display-frame", [](BenchContext& ctx) {
    const std::string path = ctx.Layer(kSide, kSide, 7);
    static bool cached = false;
    if (!cached) {
        RemoveCaches(path);
        OpenAndPaint(ctx, path, true);
        cached = true;
    }
    BenchTimes t;
    t.seconds = OpenAndPaint(ctx, path, false);
    t.referenceSeconds = 1.0 / 60.0;
    return t;
});

const bool kNoStats = RegisterBench("open-nostats-f32-16k", "plain-pass", [](BenchContext& ctx) {
    const std::string source = ctx.Layer(kSide, kSide, 7);
    const std::string path = LayerWithoutStatistics(ctx, source);
    BenchTimes t;
    t.referenceSeconds = PlainPass(ctx, source);
    RemoveCaches(path);
    t.seconds = OpenAndPaint(ctx, path, true);
    return t;
});

}  // namespace
