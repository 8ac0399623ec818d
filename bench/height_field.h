#pragma once

// The 3D renderer's test scene and frame, shared by the renderer's and the scene's measurements: a
// G x G height field seen from above and a little from the front, hills hiding what lies
// behind them, each vertex lit by the slope of the ground; in canvas vertices (pixels,
// depth, level 0..0x8000) and as a mesh for the llvmpipe peer.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/llvmpipe_peer.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/render/span_fill.h"

namespace bench {

/// The picture the measurements draw (1080p).
inline constexpr int kFrameWidth = 1920, kFrameHeight = 1080;

struct Scene {
    std::vector<TCanvasVertex> vertices;
    ScreenMesh mesh;
};

inline void AddVertex(Scene& s, int x, int y, int depth, int level)
{
    s.vertices.push_back({x, y, depth, level, 0, 0});
    s.mesh.positions.insert(s.mesh.positions.end(), {float(x), float(y), float(depth)});
    const auto grey = std::uint8_t(std::min(255, level >> 7));
    s.mesh.colours.insert(s.mesh.colours.end(), {grey, grey, grey, 255});
}

/// The height field of g x g vertices over a picture of width x height; two triangles per
/// grid cell.
inline Scene HeightField(int g, int width, int height)
{
    Scene s;
    auto ground = [](double u, double v) {
        return 0.5 + 0.25 * std::sin(6.0 * u) * std::cos(5.0 * v) + 0.15 * std::sin(17.0 * u + 3.0 * v);
    };
    for (int j = 0; j < g; ++j)
        for (int i = 0; i < g; ++i) {
            const double u = double(i) / (g - 1), v = double(j) / (g - 1), h = ground(u, v);
            const double slope = (ground(u + 1e-3, v) - ground(u - 1e-3, v)) / 2e-3;
            const double light = std::clamp(0.6 + 0.25 * slope, 0.0, 1.0);
            AddVertex(s, int(std::lround(u * (width - 1))),
                      int(std::lround((v * 0.85 + h * 0.15) * (height - 1))),
                      int(std::lround(1000 + (1.0 - h) * 0x0F000000)), int(std::lround(light * 0x8000)));
        }
    for (int j = 0; j + 1 < g; ++j)
        for (int i = 0; i + 1 < g; ++i) {
            const std::uint32_t a = std::uint32_t(j * g + i), b = a + 1, c = a + std::uint32_t(g), d = c + 1;
            s.mesh.indices.insert(s.mesh.indices.end(), {a, b, c, b, d, c});
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
        canvas->SetSize(kFrameWidth, kFrameHeight);
        canvas->SetSmooth(true);
        bitmap->SetPixelFormat(kpfRgb111110);
        bitmap->SetSize(kFrameWidth, kFrameHeight);
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
    void Paint() { canvas->PaintTo({bitmap->Pixels(), kFrameWidth, kFrameHeight, 4, bitmap->RowBytes()}); }
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

}  // namespace bench
