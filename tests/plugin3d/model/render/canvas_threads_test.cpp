// The canvas draws in bands of rows on the platform's band engine: whatever the number of
// threads, every pixel sees the same writes in the same order, so the planes and the
// painted picture are the same bytes.

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/row_bands.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"

namespace {

constexpr int kWidth = 301, kHeight = 203;

// Planes and picture of a scene drawn on `threads` threads: a fine mesh, large overlapping
// triangles, lines and points, smooth and flat, with equal depths here and there.
std::vector<std::uint8_t> Draw(int threads)
{
    platform::ScopedRowDriverThreads scoped(threads);
    TOwned<TKCanvas3D> canvas(TKCanvas3D::New());
    canvas->SetSize(kWidth, kHeight);
    canvas->SetChannelEnabled(2, true);
    canvas->SetChannelEnabled(3, true);
    TOwned<TKCnv3DIITransformer> curve(TKCnv3DIITransformer::New());
    curve->AddPoint(0, 0);
    curve->AddPoint(0x8000, 0xFFFF);
    const TColorBitMap map = canvas_tables::ColorBitMapOf(6);
    for (int n = 1; n <= 3; ++n)
        canvas->BuildChannelTable(n, n == 1 ? curve.get() : nullptr, n == 2 ? curve.get() : nullptr,
                                  n == 3 ? curve.get() : nullptr, map);
    canvas->Clear();
    std::mt19937 rng(5);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto vertex = [&](int x, int y) {
        return TCanvasVertex{
            x, y, uniform(1, 20) * 100, uniform(0, 0x8000), uniform(0, 0x8000), uniform(0, 0x8000)};
    };
    // A 60 x 40 grid over the canvas and a little past its edges.
    for (int j = 0; j < 40; ++j)
        for (int i = 0; i < 60; ++i) {
            const int x0 = i * 5 - 3, y0 = j * 5 - 2;
            canvas->SetSmooth((i + j) % 3 != 0);
            canvas->DrawTriangle(vertex(x0, y0), vertex(x0 + 6, y0), vertex(x0, y0 + 6));
            canvas->DrawTriangle(vertex(x0 + 6, y0), vertex(x0 + 6, y0 + 6), vertex(x0, y0 + 6));
        }
    for (int k = 0; k < 200; ++k) {
        canvas->SetSmooth(k % 2 == 0);
        const int reach = k % 10 == 0 ? 500 : 60;
        const int cx = uniform(-20, kWidth + 20), cy = uniform(-20, kHeight + 20);
        const TCanvasVertex a = vertex(cx + uniform(-reach, reach), cy + uniform(-reach, reach));
        const TCanvasVertex b = vertex(cx + uniform(-reach, reach), cy + uniform(-reach, reach));
        if (k % 3 == 0)
            canvas->DrawLine(a, b);
        else
            canvas->DrawTriangle(a, b, vertex(cx + uniform(-reach, reach), cy + uniform(-reach, reach)));
        canvas->DrawPoint(vertex(uniform(0, kWidth - 1), uniform(0, kHeight - 1)));
    }
    std::vector<std::uint32_t> picture(std::size_t(kWidth) * kHeight);
    canvas->PaintTo({picture.data(), kWidth, kHeight, 4, std::int64_t(kWidth) * 4});
    std::vector<std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(picture.data()),
                                    reinterpret_cast<const std::uint8_t*>(picture.data() + picture.size()));
    for (int y = 0; y < kHeight; ++y) {
        const auto* depth = reinterpret_cast<const std::uint8_t*>(canvas->DepthRow(y));
        bytes.insert(bytes.end(), depth, depth + kWidth * 4);
        for (int n = 1; n <= 3; ++n) {
            const auto* values = reinterpret_cast<const std::uint8_t*>(canvas->ChannelRow(n, y));
            bytes.insert(bytes.end(), values, values + kWidth * 2);
        }
    }
    return bytes;
}

}  // namespace

TEST(CanvasThreads, OneThreeAndEightThreadsDrawTheSameBytes)
{
    const std::vector<std::uint8_t> one = Draw(1);
    EXPECT_EQ(Draw(3), one);
    EXPECT_EQ(Draw(8), one);
}
