// The surface editor's three fills on small grids of their own: the linear ramp, the
// area-weighted resampling of a layer (by hand and against a reference in real numbers) and
// the stretch onto two bounds; the nodes do not depend on the number of threads.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/row_bands.h"
#include "plugin3d/forms/surface_fills.h"

namespace {

using namespace surface_fills;

/// A node grid in a vector of its own.
struct Grid {
    std::vector<TSurfaceNode> nodes;
    TSurfaceGridView view;

    Grid(int width, int height) : nodes(static_cast<std::size_t>(width) * height)
    {
        view.nodes = reinterpret_cast<std::uint8_t*>(nodes.data());
        view.rowStride = std::int64_t(width) * sizeof(TSurfaceNode);
        view.width = width;
        view.height = height;
    }
    float At(int i, int j, int slot) const { return nodes[std::size_t(j) * view.width + i].Values[slot]; }
};

/// A layer of width x height floats held in memory; rows at or past `held` cannot be read.
struct Layer {
    int width;
    int height;
    std::vector<float> pixels;
    int held;

    Layer(int w, int h, std::vector<float> p) : width(w), height(h), pixels(std::move(p)), held(h) {}
    PixelRowReader Reader() const
    {
        return [this](std::int32_t row, float* dest) {
            if (row < 0 || row >= held) return false;
            std::copy_n(pixels.begin() + std::ptrdiff_t(row) * width, width, dest);
            return true;
        };
    }
};

void Resample(Grid& grid, const Layer& layer, int slot = kssZ)
{
    ResampleLayer(grid.view, slot, layer.width, layer.height, layer.Reader());
}

TEST(SurfaceFills, LinearRampsXAndYAndKeepsTheOtherSlotsAtMax)
{
    struct Case {
        int width, height, slot;
        double min, max;
        float expect00, expectLast;  // node (0, 0) and node (width - 1, height - 1)
    };
    const Case cases[] = {
        {1, 1, kssX, 2.5, 9.0, 2.5f, 2.5f},      // a single vertex stays at Min
        {5, 3, kssX, 0.0, 4.0, 0.0f, 4.0f},      // X ramps along the row
        {1, 4, kssX, -1.0, 1.0, -1.0f, -1.0f},   // one column: all Min
        {5, 3, kssY, 10.0, 30.0, 10.0f, 30.0f},  // Y ramps down the rows
        {3, 1, kssY, 10.0, 30.0, 10.0f, 10.0f},
        {4, 4, kssZ, 1.0, 7.0, 7.0f, 7.0f},  // Z and the colours: the constant Max
        {4, 4, kssBlue, 1.0, 0.25, 0.25f, 0.25f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " slot " << c.slot);
        Grid grid(c.width, c.height);
        for (int j = 0; j < c.height; ++j) FillLinearRow(grid.view, j, c.slot, c.min, c.max);
        EXPECT_FLOAT_EQ(grid.At(0, 0, c.slot), c.expect00);
        EXPECT_FLOAT_EQ(grid.At(c.width - 1, c.height - 1, c.slot), c.expectLast);
        // Nothing else of the node is touched.
        for (int k = 0; k < kSurfaceSlots; ++k) {
            if (k != c.slot) EXPECT_EQ(grid.At(0, 0, k), 0.0f);
        }
    }
    Grid grid(5, 1);
    FillLinearRow(grid.view, 0, kssX, 0.0, 4.0);
    for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(grid.At(i, 0, kssX), float(i));
}

TEST(SurfaceFills, ResamplingByHand)
{
    // 2 x 2 onto 4 x 4: every vertex is the pixel above it.
    Layer two(2, 2, {1, 2, 3, 4});
    Grid fine(4, 4);
    Resample(fine, two);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(fine.At(i, j, kssZ), two.pixels[(j / 2) * 2 + i / 2]);

    // 2 x 2 onto 1 x 1: the mean.
    Grid one(1, 1);
    Resample(one, two);
    EXPECT_FLOAT_EQ(one.At(0, 0, kssZ), 2.5f);

    // 3 x 3 onto 2 x 2: a cell takes 2/3 of its own corner pixel and 1/3 of the middle one
    // along each axis (weights 4/9, 2/9, 2/9, 1/9).
    Layer three(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    Grid two2(2, 2);
    Resample(two2, three, kssRed);
    EXPECT_FLOAT_EQ(two2.At(0, 0, kssRed), 7.0f / 3);
    EXPECT_FLOAT_EQ(two2.At(1, 0, kssRed), 11.0f / 3);
    EXPECT_FLOAT_EQ(two2.At(0, 1, kssRed), 19.0f / 3);
    EXPECT_FLOAT_EQ(two2.At(1, 1, kssRed), 23.0f / 3);
}

/// The area weight of pixel p (of n pixels) in cell i (of m cells), in real numbers.
double Weight(int p, int n, int i, int m)
{
    const double k = double(m) / n;
    const double lo = std::max(p * k, double(i));
    const double hi = std::min((p + 1) * k, double(i + 1));
    return hi > lo ? hi - lo : 0.0;
}

TEST(SurfaceFills, ResamplingMatchesAreaWeightsInDouble)
{
    // Cells of a few pixels, and cells of many (whose inner pixels are summed as runs).
    const struct {
        int w, h, nx, ny;
    } cases[] = {{17, 13, 5, 4}, {61, 23, 4, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        std::vector<float> pixels(c.w * c.h);
        for (int k = 0; k < c.w * c.h; ++k) pixels[k] = float((k * 37) % 101) - 20.5f;
        Layer layer(c.w, c.h, pixels);
        Grid grid(c.nx, c.ny);
        Resample(grid, layer);
        for (int j = 0; j < c.ny; ++j)
            for (int i = 0; i < c.nx; ++i) {
                double expect = 0;
                for (int y = 0; y < c.h; ++y)
                    for (int x = 0; x < c.w; ++x)
                        expect += Weight(y, c.h, j, c.ny) * Weight(x, c.w, i, c.nx) * pixels[y * c.w + x];
                EXPECT_NEAR(grid.At(i, j, kssZ), expect, 1e-4 * std::max(1.0, std::abs(expect)))
                    << i << "," << j;
            }
    }
}

TEST(SurfaceFills, ResamplingStopsWhereTheLayersRowsRunOut)
{
    // 2 x 4 onto 2 x 2, of which only the first three pixel rows can be read.
    Layer layer(2, 4, {1, 1, 2, 2, 3, 3, 4, 4});
    layer.held = 3;
    Grid grid(2, 2);
    for (auto& node : grid.nodes) node.Values[kssZ] = -7;
    Resample(grid, layer);
    EXPECT_FLOAT_EQ(grid.At(0, 0, kssZ), 1.5f);  // rows 0 and 1, half each
    EXPECT_FLOAT_EQ(grid.At(1, 0, kssZ), 1.5f);
    EXPECT_FLOAT_EQ(grid.At(0, 1, kssZ), 1.5f);  // only row 2 came: its half weight
    // A layer that holds no row leaves the grid as it was.
    layer.held = 0;
    Grid untouched(2, 2);
    for (auto& node : untouched.nodes) node.Values[kssZ] = -7;
    Resample(untouched, layer);
    for (const auto& node : untouched.nodes) EXPECT_EQ(node.Values[kssZ], -7.0f);
}

TEST(SurfaceFills, StretchMapsTheRangeOntoTheBounds)
{
    Grid grid(3, 2);
    const float values[] = {4, 6, 8, 5, 7, 9};
    for (int k = 0; k < 6; ++k) grid.nodes[k].Values[kssZ] = values[k];
    float lo = 0, hi = 0;
    SlotRange(grid.view, kssZ, lo, hi);
    EXPECT_EQ(lo, 4.0f);
    EXPECT_EQ(hi, 9.0f);
    for (int j = 0; j < 2; ++j) StretchRow(grid.view, j, kssZ, lo, hi, -1.0, 1.0);
    EXPECT_FLOAT_EQ(grid.At(0, 0, kssZ), -1.0f);
    EXPECT_FLOAT_EQ(grid.At(2, 1, kssZ), 1.0f);
    EXPECT_FLOAT_EQ(grid.At(1, 1, kssZ), 0.2f);

    // A constant slot becomes Max everywhere.
    Grid flat(4, 3);
    for (auto& node : flat.nodes) node.Values[kssGreen] = 3;
    SlotRange(flat.view, kssGreen, lo, hi);
    for (int j = 0; j < 3; ++j) StretchRow(flat.view, j, kssGreen, lo, hi, 0.0, 0.75);
    for (const auto& node : flat.nodes) EXPECT_EQ(node.Values[kssGreen], 0.75f);
}

TEST(SurfaceFills, NodesDoNotDependOnTheNumberOfThreads)
{
    const int w = 301, h = 257, nx = 67, ny = 93;
    std::vector<float> pixels(std::size_t(w) * h);
    for (std::size_t k = 0; k < pixels.size(); ++k) pixels[k] = std::sin(float(k) * 0.37f) * 1000.0f;
    Layer layer(w, h, pixels);
    std::vector<std::vector<TSurfaceNode>> results;
    for (int threads : {1, 3, 8}) {
        platform::ScopedRowDriverThreads scoped(threads);
        Grid grid(nx, ny);
        Resample(grid, layer);
        float lo, hi;
        SlotRange(grid.view, kssZ, lo, hi);
        for (int j = 0; j < ny; ++j) StretchRow(grid.view, j, kssZ, lo, hi, 0.0, 1.0);
        results.push_back(grid.nodes);
    }
    for (std::size_t r = 1; r < results.size(); ++r)
        EXPECT_EQ(std::memcmp(results[0].data(), results[r].data(), results[0].size() * sizeof(TSurfaceNode)),
                  0);
}

}  // namespace
