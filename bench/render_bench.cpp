// The 3D renderer against Mesa's llvmpipe on the same triangles, colours and resolution:
// a height field of smooth-shaded triangles at two grid sizes, and 50 triangles covering
// most of the picture (the fill rate); and the canvas's packing pass against a plain pass
// that reads three channel planes and writes 32-bit pixels.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/llvmpipe_peer.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "plugin3d/model/render/memory_bitmap.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double kFar = 0x10000000;

struct Scene {
    std::vector<TCanvasVertex> vertices;
    bench::ScreenMesh mesh;
};

void AddVertex(Scene& s, int x, int y, int depth, int level)
{
    s.vertices.push_back({x, y, depth, level, 0, 0});
    s.mesh.positions.insert(s.mesh.positions.end(), {float(x), float(y), float(depth)});
    const auto grey = std::uint8_t(std::min(255, level >> 7));
    s.mesh.colours.insert(s.mesh.colours.end(), {grey, grey, grey, 255});
}

// A G x G grid of heights seen from above and a little from the front: hills hide what
// lies behind them, and each vertex is lit by the slope of the ground.
Scene HeightField(int g)
{
    Scene s;
    auto height = [](double u, double v) {
        return 0.5 + 0.25 * std::sin(6.0 * u) * std::cos(5.0 * v) + 0.15 * std::sin(17.0 * u + 3.0 * v);
    };
    for (int j = 0; j < g; ++j)
        for (int i = 0; i < g; ++i) {
            const double u = double(i) / (g - 1), v = double(j) / (g - 1), h = height(u, v);
            const double slope = (height(u + 1e-3, v) - height(u - 1e-3, v)) / 2e-3;
            const double light = std::clamp(0.6 + 0.25 * slope, 0.0, 1.0);
            AddVertex(s, int(std::lround(u * (kWidth - 1))),
                      int(std::lround((v * 0.85 + h * 0.15) * (kHeight - 1))),
                      int(std::lround(1000 + (1.0 - h) * 0x0F000000)), int(std::lround(light * 0x8000)));
        }
    for (int j = 0; j + 1 < g; ++j)
        for (int i = 0; i + 1 < g; ++i) {
            const std::uint32_t a = std::uint32_t(j * g + i), b = a + 1, c = a + std::uint32_t(g), d = c + 1;
            s.mesh.indices.insert(s.mesh.indices.end(), {a, b, c, b, d, c});
        }
    return s;
}

// Triangles reaching past the picture's corners at random depths and shades.
Scene CoveringTriangles(int count)
{
    Scene s;
    std::mt19937 rng(7);
    auto around = [&](int centre, int reach) {
        return centre + int(rng() % std::uint32_t(2 * reach)) - reach;
    };
    for (int t = 0; t < count; ++t) {
        const int corners[3][2] = {{around(-300, 200), around(-200, 200)},
                                   {around(kWidth + 900, 300), around(kHeight / 2, 300)},
                                   {around(kWidth / 3, 300), around(kHeight + 700, 200)}};
        for (const auto& c : corners)
            AddVertex(s, c[0], c[1], 1000 + int(rng() % 0x0F000000u), int(rng() % 0x8001u));
        const auto base = std::uint32_t(3 * t);
        s.mesh.indices.insert(s.mesh.indices.end(), {base, base + 1, base + 2});
    }
    return s;
}

// Per frame: clear, the triangles, and the canvas painted into a 32-bit memory bitmap of the
// screen's format, each channel through the default curve.
struct Renderer {
    TOwned<TKCanvas3D> canvas{TKCanvas3D::New()};
    TOwned<TKCnv3DIITransformer> curve{TKCnv3DIITransformer::New()};
    TOwned<TKMemoryBitmap> bitmap{TKMemoryBitmap::New()};
    explicit Renderer(int channels)
    {
        canvas->SetSize(kWidth, kHeight);
        canvas->SetSmooth(true);
        bitmap->SetPixelFormat(kpfRgb111110);
        bitmap->SetSize(kWidth, kHeight);
        curve->AddPoint(0, 0);
        curve->AddPoint(0x8000, 0xFFFF);
        const TColorBitMap map = canvas_tables::ColorBitMapOf(kpfRgb111110);
        TKCnv3DIITransformer* c = curve.get();
        for (int n = 2; n <= channels; ++n) canvas->SetChannelEnabled(n, true);
        if (channels == 1)
            canvas->BuildChannelTable(1, c, c, c, map);
        else
            for (int n = 1; n <= channels; ++n)
                canvas->BuildChannelTable(n, n == 1 ? c : nullptr, n == 2 ? c : nullptr, n == 3 ? c : nullptr,
                                          map);
    }
    void Paint() { canvas->PaintTo({bitmap->Pixels(), kWidth, kHeight, 4, bitmap->RowBytes()}); }
    void Frame(const Scene& s)
    {
        canvas->Clear();
        const auto& v = s.vertices;
        const auto& idx = s.mesh.indices;
        for (std::size_t i = 0; i + 2 < idx.size(); i += 3)
            canvas->DrawTriangle(v[idx[i]], v[idx[i + 1]], v[idx[i + 2]]);
        Paint();
    }
};

// One frame of ours and one of llvmpipe on the same scene (made once per measurement).
BenchTimes AgainstLlvmpipe(const Scene& scene)
{
    static Renderer* renderer = new Renderer(1);
    BenchTimes t;
    t.seconds = Seconds([&] { renderer->Frame(scene); });
    static bench::LlvmpipePeer* peer = new bench::LlvmpipePeer(kWidth, kHeight, kFar);
    if (!peer->Ready()) {
        t.referenceMissing = peer->Missing();
        return t;
    }
    static const Scene* loaded = nullptr;
    if (loaded != &scene) {
        peer->Load(scene.mesh);
        loaded = &scene;
    }
    t.referenceSeconds = Seconds([&] { peer->DrawFrame(); });
    return t;
}

const Scene& Hf256()
{
    static const Scene s = HeightField(256);
    return s;
}
const Scene& Hf1024()
{
    static const Scene s = HeightField(1024);
    return s;
}
const Scene& Covering()
{
    static const Scene s = CoveringTriangles(50);
    return s;
}

const bool kHf256 =
    RegisterBench("render-hf256-1080p", "llvmpipe", [](BenchContext&) { return AgainstLlvmpipe(Hf256()); });
const bool kHf1024 =
    RegisterBench("render-hf1024-1080p", "llvmpipe", [](BenchContext&) { return AgainstLlvmpipe(Hf1024()); });
const bool kFill =
    RegisterBench("render-fill-1080p", "llvmpipe", [](BenchContext&) { return AgainstLlvmpipe(Covering()); });

const bool kPaint = RegisterBench("canvas-paint-1080p-3ch", "plain-pass", [](BenchContext&) {
    static Renderer* renderer = [] {
        auto* r = new Renderer(3);
        Scene s = CoveringTriangles(20);
        for (auto& v : s.vertices) {
            v.c2 = 0x8000 - v.c1;
            v.c3 = v.c1 / 2;
        }
        r->Frame(s);
        return r;
    }();
    TKCanvas3D& canvas = *renderer->canvas;
    auto* out = static_cast<std::uint32_t*>(renderer->bitmap->Pixels());
    BenchTimes t;
    t.seconds = Seconds([&] { renderer->Paint(); });
    t.referenceSeconds = Seconds([&] {
        canvas_raster::ForEachBand(kHeight, [&](int first, int last) {
            for (int y = first; y <= last; ++y) {
                const std::uint16_t *r = canvas.ChannelRow(1, y), *g = canvas.ChannelRow(2, y),
                                    *b = canvas.ChannelRow(3, y);
                std::uint32_t* p = out + std::size_t(y) * kWidth;
                for (int x = 0; x < kWidth; ++x)
                    p[x] = (std::uint32_t(r[x] >> 5) << 21) | (std::uint32_t(g[x] >> 5) << 10) | (b[x] >> 6);
            }
        });
    });
    return t;
});

}  // namespace
