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
#include "bench/height_field.h"
#include "bench/llvmpipe_peer.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "plugin3d/model/render/memory_bitmap.h"

namespace {

constexpr int kWidth = bench::kFrameWidth, kHeight = bench::kFrameHeight;
constexpr double kFar = 0x10000000;

using bench::AddVertex;
using bench::Scene;

Scene HeightField(int g)
{
    return bench::HeightField(g, kWidth, kHeight);
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

using bench::Renderer;

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
