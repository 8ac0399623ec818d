// Speed of the vector overlays: reading a DXF drawing of a million LINE entities against one
// pass over its bytes (and against an independent DXF library when it is installed), and a
// full paint of a 1920 x 1080 window over a 100000-segment overlay against a display frame.

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "outside/basecore/memory_map.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/gdi/dc.h"
#include "viewer/core/dxf_exchange.h"
#include "viewer/core/vector_image.h"

namespace {

constexpr double kFrame = 1.0 / 60.0;

/// A 2-vertex line node in a buffer.
struct TwoPointLine {
    Line head{2, 0};
    float v[4] = {};
};

/// The drawing of a million LINE entities (random segments over a 10000-pixel square), made once.
const std::string& MillionLineDrawing(BenchContext& ctx)
{
    static std::string path;
    if (!path.empty()) return path;
    path = ctx.File("million-lines.dxf");
    const std::string holder = ctx.File("dxf-holder.rdp");
    CRDPLayer layer;
    layer.CreateLayer(holder.c_str(), 4, 4, 1);
    layer.CloseLayer();
    CVectorImage image;
    image.Create(holder.c_str(), 0);
    image.AddLayer(0xFF);
    std::mt19937 rng(141);
    std::uniform_real_distribution<float> at(0.0f, 10000.0f);
    TwoPointLine line;
    for (int i = 0; i < 1000000; ++i) {
        for (float& v : line.v) v = at(rng);
        image.Add(0, line.head);
    }
    if (!VectorToDXF(path.c_str(), &image, 10000, 10000, -1)) {
        std::fprintf(stderr, "dxf bench: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

/// Reads the drawing into a new overlay; the time of the read alone.
double ReadDrawing(BenchContext& ctx, const std::string& path)
{
    static const std::string holder = ctx.File("dxf-holder.rdp");
    CVectorImage image;
    image.Create(holder.c_str(), 0);
    image.AddLayer(0xFF);
    int ok = 0;
    const double s = Seconds([&] { ok = DXFToVector(&image, path.c_str(), 0); });
    if (!ok || image.LayerIsEmpty(0)) {
        std::fprintf(stderr, "dxf bench: nothing read from %s\n", path.c_str());
        std::exit(1);
    }
    return s;
}

/// One pass over the drawing's bytes that finds every line end, through the same mapping.
double PlainPass(const std::string& path)
{
    std::size_t lines = 0;
    const double s = Seconds([&] {
        CMemoryMap map;
        map.Open(path.c_str(), CMemoryMap::kReadOnly);
        const char* p = reinterpret_cast<const char*>(map.AdresData());
        const char* end = p + map.Size();
        while (p < end) {
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            if (!lf) break;
            ++lines;
            p = static_cast<const char*>(lf) + 1;
        }
    });
    if (lines == 0) std::exit(1);
    return s;
}

const bool kDxfRead = RegisterBench("dxf-read-1m", "plain-pass", [](BenchContext& ctx) {
    const std::string& path = MillionLineDrawing(ctx);
    return BenchTimes{ReadDrawing(ctx, path), PlainPass(path)};
});

/// Seconds ezdxf takes to read the drawing (measured inside Python, start-up excluded); -1
/// when it is not installed. Measured once: it takes far longer than everything else here.
double EzdxfSeconds(BenchContext& ctx, const std::string& path)
{
    static double seconds = -2;
    if (seconds > -2) return seconds;
    seconds = -1;
    const std::string script = ctx.File("ezdxf-read.py");
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fprintf(
            f,
            "import sys, time\nimport ezdxf\nt = time.perf_counter()\ndoc = ezdxf.readfile(sys.argv[1])\n"
            "n = sum(1 for e in doc.modelspace() if e.dxftype() == 'LINE')\n"
            "print(time.perf_counter() - t, n)\n");
        std::fclose(f);
    }
    // Debian's own Python, which the python3-ezdxf package installs into.
    if (FILE* p = ::popen(("/usr/bin/python3 " + script + " " + path + " 2>/dev/null").c_str(), "r")) {
        double s = 0;
        long n = 0;
        if (std::fscanf(p, "%lf %ld", &s, &n) == 2 && n == 1000000) seconds = s;
        ::pclose(p);
    }
    return seconds;
}

const bool kDxfEzdxf = RegisterBench("dxf-read-1m-ezdxf", "dxf-read-1m", [](BenchContext& ctx) {
    const std::string& path = MillionLineDrawing(ctx);
    const double ours = ReadDrawing(ctx, path);
    const double theirs = EzdxfSeconds(ctx, path);
    if (theirs < 0) {
        std::fprintf(stderr, "dxf-read-1m-ezdxf: python3-ezdxf is not installed\n");
        return BenchTimes{0.0, ours};
    }
    return BenchTimes{theirs, ours};
});

/// An overlay of 100000 segments (10000 polylines of 10 steps of up to 40 pixels) over a
/// 20000-pixel square picture, painted into a 1920 x 1080 window at 1:1 over its middle.
const bool kOverlayPaint = RegisterBench("overlay-paint-1080p", "display-frame", [](BenchContext& ctx) {
    static CVectorImage* image = nullptr;
    if (!image) {
        const std::string holder = ctx.File("overlay-holder.rdp");
        CRDPLayer layer;
        layer.CreateLayer(holder.c_str(), 4, 4, 1);
        layer.CloseLayer();
        image = new CVectorImage;
        image->Create(holder.c_str(), 0);
        std::mt19937 rng(142);
        std::uniform_real_distribution<float> at(0.0f, 20000.0f), step(-40.0f, 40.0f);
        for (int n = 0; n < 4; ++n) image->AddLayer(0x0000FF << (n * 4));
        std::vector<float> buffer(2 + 2 * 11);
        for (int i = 0; i < 10000; ++i) {
            auto* line = reinterpret_cast<Line*>(buffer.data());
            line->count = 11;
            line->next = 0;
            float* v = line->Vertices();
            v[0] = at(rng);
            v[1] = at(rng);
            for (int j = 1; j < 11; ++j) {
                v[2 * j] = v[2 * j - 2] + step(rng);
                v[2 * j + 1] = v[2 * j - 1] + step(rng);
            }
            image->Add(i % 4, *line);
            image->Add(i % 4, Point{v[0], v[1], 0});
        }
        image->SetPaintMode(1, -1);
    }
    QImage window(1920, 1080, QImage::Format_RGB32);
    window.fill(Qt::black);
    const HDC dc = CreateImageDC(&window);
    const double s = Seconds([&] { image->Paint(CDC::FromHandle(dc), 1.0, CPoint(9000, 9400), -1); });
    DeleteDC(dc);
    return BenchTimes{s, kFrame};
});

}  // namespace
