// The canvas draws in bands of rows on the platform's band engine: whatever the number of
// threads, every pixel sees the same writes in the same order, so the planes and the
// painted picture are the same bytes.

#include <algorithm>
#include <atomic>
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

namespace {

// Every plane of a canvas, row after row, for comparing two canvases byte for byte.
std::vector<std::uint8_t> PlaneBytes(const TKCanvas3D& canvas)
{
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < canvas.Height(); ++y) {
        const auto* depth = reinterpret_cast<const std::uint8_t*>(canvas.DepthRow(y));
        bytes.insert(bytes.end(), depth, depth + canvas.Width() * 4);
        for (int n = 1; n <= 3; ++n) {
            const auto* values = reinterpret_cast<const std::uint8_t*>(canvas.ChannelRow(n, y));
            bytes.insert(bytes.end(), values, values + canvas.Width() * 2);
        }
    }
    return bytes;
}

enum class GridWay { OneByOne, AsGrid, AsGridStoppedMidway, Left };

// A canvas with a triangle before and after a folded grid of 45 x 37 vertices reaching past
// the canvas's edges (rows of cells crossing the bands and the filing chunks), the grid
// drawn triangle by triangle, as one grid, as a grid whose draw is stopped after some rows,
// or left out.
std::vector<std::uint8_t> DrawAroundGrid(GridWay way, bool oddFirstRow, int threads)
{
    platform::ScopedRowDriverThreads scoped(threads);
    TOwned<TKCanvas3D> canvas(TKCanvas3D::New());
    canvas->SetSize(kWidth, kHeight);
    canvas->SetChannelEnabled(2, true);
    canvas->SetChannelEnabled(3, true);
    canvas->Clear();
    canvas->SetSmooth(true);
    constexpr int cols = 45, rows = 37;
    std::mt19937 rng(11);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<TCanvasVertex> nodes;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            nodes.push_back({c * 7 - 9 + uniform(-4, 4), r * 6 - 7 + uniform(-9, 9), uniform(1, 30) * 50,
                             uniform(0, 0x8000), uniform(0, 0x8000), uniform(0, 0x8000)});
    const TCanvasVertex big[3] = {{-40, -30, 700, 0, 0x8000, 9},
                                  {kWidth + 50, 20, 800, 0x8000, 0, 99},
                                  {90, kHeight + 40, 600, 5, 5, 0x8000}};
    canvas->DrawTriangle(big[0], big[1], big[2]);
    auto at = [&](int c, int r) { return nodes[std::size_t(r) * cols + std::size_t(c)]; };
    if (way == GridWay::OneByOne) {
        for (int r = 0; r + 1 < rows; ++r)
            for (int c = 0; c + 1 < cols; ++c) {
                if ((r + c + (oddFirstRow ? 1 : 0)) % 2 != 0) {
                    canvas->DrawTriangle(at(c, r), at(c + 1, r), at(c + 1, r + 1));
                    canvas->DrawTriangle(at(c, r), at(c, r + 1), at(c + 1, r + 1));
                } else {
                    canvas->DrawTriangle(at(c, r), at(c + 1, r), at(c, r + 1));
                    canvas->DrawTriangle(at(c + 1, r + 1), at(c + 1, r), at(c, r + 1));
                }
            }
    } else if (way == GridWay::AsGrid) {
        std::int64_t reported = 0;
        canvas->DrawTriangleGrid({nodes.data(), cols, rows, oddFirstRow},
                                 {{}, [&](std::int64_t done) { reported = std::max(reported, done); }});
        EXPECT_EQ(reported, rows - 1) << "progress reaches every row of cells";
    } else if (way == GridWay::AsGridStoppedMidway) {
        std::atomic<int> done{0};
        struct Stop {};
        EXPECT_THROW(canvas->DrawTriangleGrid({nodes.data(), cols, rows, oddFirstRow}, {[&] {
                                                                                            if (++done == 20)
                                                                                                throw Stop{};
                                                                                        },
                                                                                        {}}),
                     Stop);
    }
    canvas->DrawTriangle(big[2], big[0], {kWidth / 2, kHeight / 2, 650, 100, 200, 300});
    canvas->Flush();
    return PlaneBytes(*canvas);
}

}  // namespace

TEST(CanvasThreads, AGridDrawsWhatItsTrianglesDrawOneByOneOnAnyThreads)
{
    for (const bool odd : {false, true}) {
        SCOPED_TRACE(odd ? "odd first row" : "even first row");
        const std::vector<std::uint8_t> expected = DrawAroundGrid(GridWay::OneByOne, odd, 1);
        EXPECT_EQ(DrawAroundGrid(GridWay::AsGrid, odd, 1), expected);
        EXPECT_EQ(DrawAroundGrid(GridWay::AsGrid, odd, 8), expected);
    }
    // A grid draw stopped while it files leaves nothing of the grid; what came before and
    // after is drawn.
    const std::vector<std::uint8_t> without = DrawAroundGrid(GridWay::Left, false, 1);
    EXPECT_NE(DrawAroundGrid(GridWay::OneByOne, false, 1), without);
    EXPECT_EQ(DrawAroundGrid(GridWay::AsGridStoppedMidway, false, 1), without);
    EXPECT_EQ(DrawAroundGrid(GridWay::AsGridStoppedMidway, false, 8), without);
}
