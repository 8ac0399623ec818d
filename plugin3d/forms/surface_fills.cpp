#include "plugin3d/forms/surface_fills.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "platform/kernel/row_bands.h"

namespace surface_fills {

double LinearValue(double min, double max, std::int64_t index, std::int64_t count)
{
    if (count <= 1) return min;
    return min + static_cast<double>(index) * (max - min) / static_cast<double>(count - 1);
}

void FillLinearRow(const TSurfaceGridView& grid, std::int32_t j, int slot, double min, double max)
{
    if (j < 0 || j >= grid.height || slot < 0 || slot >= kSurfaceSlots) return;
    TSurfaceNode* row = &grid.At(0, j);
    if (slot == kssX) {
        for (std::int32_t i = 0; i < grid.width; ++i)
            row[i].Values[slot] = static_cast<float>(LinearValue(min, max, i, grid.width));
        return;
    }
    const float value = static_cast<float>(slot == kssY ? LinearValue(min, max, j, grid.height) : max);
    for (std::int32_t i = 0; i < grid.width; ++i) row[i].Values[slot] = value;
}

std::vector<AreaOverlap> AreaOverlaps(std::int32_t pixels, std::int32_t vertices)
{
    std::vector<AreaOverlap> out;
    if (pixels <= 0 || vertices <= 0) return out;
    out.reserve(static_cast<std::size_t>(pixels) + static_cast<std::size_t>(vertices));
    // In units of 1 / pixels of a cell: cell i is [i * pixels, (i + 1) * pixels), pixel p is
    // [p * vertices, (p + 1) * vertices). Both walks end together at pixels * vertices.
    const std::int64_t cell = pixels;
    const std::int64_t pixel = vertices;
    std::int32_t i = 0;
    std::int32_t p = 0;
    while (i < vertices && p < pixels) {
        const std::int64_t cellEnd = (i + 1) * cell;
        const std::int64_t pixelEnd = (p + 1) * pixel;
        const std::int64_t start = std::max<std::int64_t>(i * cell, p * pixel);
        const std::int64_t end = std::min(cellEnd, pixelEnd);
        if (end > start) out.push_back({p, i, static_cast<double>(end - start) / static_cast<double>(cell)});
        if (cellEnd <= pixelEnd) ++i;
        if (pixelEnd <= cellEnd) ++p;
    }
    return out;
}

std::vector<AreaRun> AreaRuns(const std::vector<AreaOverlap>& overlaps)
{
    std::vector<AreaRun> runs;
    for (const AreaOverlap& o : overlaps) {
        if (!runs.empty()) {
            AreaRun& last = runs.back();
            if (last.vertex == o.vertex && last.weight == o.weight && last.pixel + last.count == o.pixel) {
                ++last.count;
                continue;
            }
        }
        runs.push_back({o.vertex, o.pixel, 1, o.weight});
    }
    return runs;
}

void ResampleLayer(const TSurfaceGridView& grid, int slot, std::int32_t width, std::int32_t height,
                   const PixelRowReader& readRow, const std::function<void(std::int64_t)>& progress)
{
    if (grid.width <= 0 || grid.height <= 0 || width <= 0 || height <= 0 || slot < 0 || slot >= kSurfaceSlots)
        return;
    const std::vector<AreaRun> across = AreaRuns(AreaOverlaps(width, grid.width));
    const std::vector<AreaOverlap> down = AreaOverlaps(height, grid.height);
    // The overlaps of vertex row j are down[first[j] .. first[j + 1]).
    std::vector<std::size_t> first(static_cast<std::size_t>(grid.height) + 1, down.size());
    for (std::size_t k = down.size(); k-- > 0;) first[static_cast<std::size_t>(down[k].vertex)] = k;

    platform::RunRowBands(
        platform::RowBands::Even(grid.height, 1),
        [&](const platform::RowBand& band) {
            std::vector<float> pixels(static_cast<std::size_t>(width));
            std::vector<double> sums(static_cast<std::size_t>(grid.width));
            std::int32_t held = -1;  // the pixel row in `pixels`: neighbouring cells share one
            for (std::int64_t j = band.begin; j < band.end && !band.Stopped(); ++j) {
                bool started = false;
                bool complete = true;
                for (std::size_t k = first[static_cast<std::size_t>(j)];
                     k < first[static_cast<std::size_t>(j) + 1]; ++k) {
                    const AreaOverlap& o = down[k];
                    if (o.pixel != held) {
                        held = -1;
                        if (!readRow(o.pixel, pixels.data())) {
                            complete = false;
                            break;
                        }
                        held = o.pixel;
                    }
                    if (!started) std::fill(sums.begin(), sums.end(), 0.0);
                    started = true;
                    AccumulatePixelRow(pixels.data(), o.weight, across, sums.data());
                }
                if (started) {
                    TSurfaceNode* row = &grid.At(0, static_cast<std::int32_t>(j));
                    for (std::int32_t i = 0; i < grid.width; ++i)
                        row[i].Values[slot] = static_cast<float>(sums[static_cast<std::size_t>(i)]);
                }
                // The layer ends here: the rows below have nothing more to read.
                if (!complete) break;
            }
        },
        progress ? platform::BandProgress(progress) : platform::BandProgress());
}

void SlotRange(const TSurfaceGridView& grid, int slot, float& lowest, float& highest)
{
    struct Range {
        float lowest = std::numeric_limits<float>::infinity();
        float highest = -std::numeric_limits<float>::infinity();
    };
    Range range;
    if (grid.width > 0 && grid.height > 0 && slot >= 0 && slot < kSurfaceSlots) {
        range = platform::ReduceRowBands(
            platform::RowBands::Even(grid.height), Range{},
            [&](const platform::RowBand& band, Range& part) {
                for (std::int64_t j = band.begin; j < band.end; ++j) {
                    const TSurfaceNode* row = &grid.At(0, static_cast<std::int32_t>(j));
                    for (std::int32_t i = 0; i < grid.width; ++i) {
                        const float v = row[i].Values[slot];
                        if (v < part.lowest) part.lowest = v;
                        if (v > part.highest) part.highest = v;
                    }
                }
            },
            [](Range& total, const Range& part) {
                total.lowest = std::min(total.lowest, part.lowest);
                total.highest = std::max(total.highest, part.highest);
            });
    }
    lowest = range.lowest;
    highest = range.highest;
}

void StretchRow(const TSurfaceGridView& grid, std::int32_t j, int slot, float lowest, float highest,
                double min, double max)
{
    if (j < 0 || j >= grid.height || slot < 0 || slot >= kSurfaceSlots) return;
    TSurfaceNode* row = &grid.At(0, j);
    if (!(lowest < highest)) {
        for (std::int32_t i = 0; i < grid.width; ++i) row[i].Values[slot] = static_cast<float>(max);
        return;
    }
    const double scale = (max - min) / (static_cast<double>(highest) - static_cast<double>(lowest));
    const double offset = min - static_cast<double>(lowest) * scale;
    for (std::int32_t i = 0; i < grid.width; ++i)
        row[i].Values[slot] = static_cast<float>(static_cast<double>(row[i].Values[slot]) * scale + offset);
}

}  // namespace surface_fills
