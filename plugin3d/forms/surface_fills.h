#pragma once

// The three ways the surface editor fills one value slot of a surface's nodes: a linear ramp
// between two bounds, the area-weighted resampling of a raster layer onto the grid, and the
// stretch of a slot's values onto two bounds. Each is a pure function of rows: the editor's
// apply job runs them on the surface's nodes, the tests on small grids of their own.
//
// Resampling maps the layer onto the whole grid: pixel p covers the vertex cells
// [p * n / w, (p + 1) * n / w) along each axis, and a vertex gets the sum of the pixels
// overlapping its unit cell, each weighted by the overlapped area in cell units. The overlaps
// are worked out in integers (a cell is w units, a pixel n units), so the weights are exact
// and every vertex row depends only on the pixel rows it overlaps: bands of vertex rows give
// the same nodes on any number of threads.

#include <cstdint>
#include <functional>
#include <vector>

#include "plugin3d/model/scene/k_surface3d.h"

namespace surface_fills {

/// Vertex index of count vertices on a ramp from min to max; one vertex stays at min.
double LinearValue(double min, double max, std::int64_t index, std::int64_t count);

/// Value slot `slot` of the nodes of grid row j (grid.width nodes): X ramps along the row, Y
/// along the rows, Z and the colours take the constant max.
void FillLinearRow(const TSurfaceGridView& grid, std::int32_t j, int slot, double min, double max);

/// One overlap of a pixel with a vertex cell along one axis: weight in cell units.
struct AreaOverlap {
    std::int32_t pixel = 0;
    std::int32_t vertex = 0;
    double weight = 0;
};

/// The overlaps of `pixels` pixels with `vertices` cells along one axis, by vertex then pixel.
std::vector<AreaOverlap> AreaOverlaps(std::int32_t pixels, std::int32_t vertices);

/// Neighbouring pixels that overlap one vertex cell by the same weight (the pixels inside a
/// cell all do): a pixel row is summed run by run, in independent chains.
struct AreaRun {
    std::int32_t vertex = 0;
    std::int32_t pixel = 0;
    std::int32_t count = 0;
    double weight = 0;
};

/// The overlaps (by vertex then pixel) joined into runs.
std::vector<AreaRun> AreaRuns(const std::vector<AreaOverlap>& overlaps);

/// Adds g * f * pixel of every horizontal overlap (pixel, vertex, f) of one pixel row into
/// the vertex row's sums, a run's pixels summed first. Per element type, so that a reader may
/// hand rows as they are stored.
template <class T>
void AccumulatePixelRow(const T* pixels, double g, const std::vector<AreaRun>& across, double* sums)
{
    for (const AreaRun& r : across) {
        const T* p = pixels + r.pixel;
        double a0 = 0, a1 = 0, a2 = 0, a3 = 0;
        std::int32_t n = 0;
        for (; n + 4 <= r.count; n += 4) {
            a0 += static_cast<double>(p[n]);
            a1 += static_cast<double>(p[n + 1]);
            a2 += static_cast<double>(p[n + 2]);
            a3 += static_cast<double>(p[n + 3]);
        }
        for (; n < r.count; ++n) a0 += static_cast<double>(p[n]);
        sums[r.vertex] += g * (r.weight * ((a0 + a1) + (a2 + a3)));
    }
}

/// Reads pixel row `row` into `dest` (width floats); false when the layer does not hold it.
/// Called from several threads at once, for different rows.
using PixelRowReader = std::function<bool(std::int32_t row, float* dest)>;

/// Resamples a width x height layer into value slot `slot` of the grid, on all cores by bands
/// of vertex rows. A vertex row is written once its first pixel row is read; the walk stops at
/// the first pixel row the reader cannot give, leaving the vertex rows it has not reached.
/// `progress` gets the finished vertex rows on the calling thread (it may throw to stop).
void ResampleLayer(const TSurfaceGridView& grid, int slot, std::int32_t width, std::int32_t height,
                   const PixelRowReader& readRow, const std::function<void(std::int64_t)>& progress = {});

/// The smallest and the largest value of slot `slot` over the grid (NaN is passed over); an
/// empty grid gives min > max.
void SlotRange(const TSurfaceGridView& grid, int slot, float& lowest, float& highest);

/// Maps slot `slot` of row j linearly so that lowest goes to min and highest to max; a
/// range with lowest >= highest (constant or empty) sets every value to max.
void StretchRow(const TSurfaceGridView& grid, std::int32_t j, int slot, float lowest, float highest,
                double min, double max);

}  // namespace surface_fills
