#include "plugin3d/model/render/canvas_batch.h"

#include <algorithm>

#include "platform/kernel/row_bands.h"

namespace canvas_raster {

// Bands own disjoint rows and each runs its primitives in submission order, so the bytes do
// not depend on how many threads share the bands.
void ForEachBand(std::int64_t rows, const std::function<void(int first, int last)>& work)
{
    if (rows <= 0) return;
    platform::RunRowBands(platform::RowBands::Fixed(rows, kBandRows),
                          [&](const platform::RowBand& band) { work(int(band.begin), int(band.end - 1)); });
}

bool Batch::File(const RowRange& rows, const Command& command)
{
    if (rows.first > rows.last) return false;  // dropped whole: no band would draw it
    const auto index = std::uint32_t(m_commands.size());
    m_commands.push_back(command);
    const std::size_t lastBand = std::size_t(rows.last) / kBandRows;
    if (m_bands.size() <= lastBand) m_bands.resize(lastBand + 1);
    for (std::size_t band = std::size_t(rows.first) / kBandRows; band <= lastBand; ++band)
        m_bands[band].push_back(index);
    return m_commands.size() >= kLimit;
}

bool Batch::AddPoint(const Target& target, const TCanvasVertex& v)
{
    return File(PointRows(target, v), {Kind::Point, false, {v, v, v}});
}

bool Batch::AddLine(const Target& target, const TCanvasVertex& a, const TCanvasVertex& b, bool smooth)
{
    return File(LineRows(target, a, b), {Kind::Line, smooth, {a, b, b}});
}

bool Batch::AddTriangle(const Target& target, const TCanvasVertex& a, const TCanvasVertex& b,
                        const TCanvasVertex& c, bool smooth)
{
    return File(TriangleRows(target, a, b, c), {Kind::Triangle, smooth, {a, b, c}});
}

void Batch::Draw(const Target& target)
{
    if (m_commands.empty()) return;
    ForEachBand(std::int64_t(m_bands.size()) * kBandRows, [&](int first, int last) {
        const std::vector<std::uint32_t>& band = m_bands[std::size_t(first / kBandRows)];
        for (const std::uint32_t index : band) {
            const Command& c = m_commands[index];
            switch (c.kind) {
                case Kind::Point:
                    DrawPoint(target, c.v[0], first, last);
                    break;
                case Kind::Line:
                    DrawLine(target, c.v[0], c.v[1], c.smooth, first, last);
                    break;
                case Kind::Triangle:
                    DrawTriangle(target, c.v[0], c.v[1], c.v[2], c.smooth, first, last);
                    break;
            }
        }
    });
    Drop();
}

namespace {

// Cell rows one filing band takes: a fixed cut, so the lists do not depend on the threads.
constexpr std::int64_t kGridChunkRows = 8;

}  // namespace

void Batch::DrawGrid(const Target& target, const TriangleGrid& grid, bool smooth, const GridProgress& report)
{
    Draw(target);
    if (!target.depth || !grid.nodes || grid.cols < 2 || grid.rows < 2) return;
    // Triangle ids are 32 bits: a grid too large for them is drawn in parts of whole rows.
    const std::int64_t partRows = std::max<std::int64_t>(1, (std::int64_t(1) << 29) / grid.cols);
    for (std::int64_t first = 0; first + 1 < grid.rows; first += partRows) {
        TriangleGrid part = grid;
        part.nodes = grid.nodes + first * grid.cols;
        part.rows = std::min(partRows, grid.rows - 1 - first) + 1;
        part.oddFirstRow = grid.oddFirstRow != ((first & 1) != 0);
        GridProgress partReport{report.checkStop, {}};
        if (report.progress) partReport.progress = [&](std::int64_t rows) { report.progress(first + rows); };
        DrawGridPart(target, part, smooth, partReport);
    }
}

void Batch::DrawGridPart(const Target& target, const TriangleGrid& grid, bool smooth,
                         const GridProgress& report)
{
    const std::int64_t cols = grid.cols, cellRows = grid.rows - 1;
    // The corners of the four triangle shapes, as offsets from the cell's first corner.
    const std::int64_t corner[4] = {0, 1, cols, cols + 1};
    static constexpr int kShape[4][3] = {{0, 1, 3}, {0, 2, 3}, {0, 1, 2}, {3, 1, 2}};
    std::int64_t offset[4][3];
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 3; ++k) offset[s][k] = corner[kShape[s][k]];

    const std::int64_t bandCount = (std::int64_t(target.bottom) + kBandRows) / kBandRows;
    if (bandCount <= 0) return;
    const platform::RowBands chunks = platform::RowBands::Fixed(cellRows, kGridChunkRows);
    const std::size_t lists = std::size_t(chunks.Count() * bandCount);
    if (m_gridLists.size() < lists) m_gridLists.resize(lists);
    struct Clear {
        std::vector<std::vector<std::uint32_t>>& lists;
        std::size_t count;
        ~Clear()
        {
            for (std::size_t i = 0; i < count; ++i) lists[i].clear();
        }
    } clear{m_gridLists, lists};

    const TCanvasVertex* nodes = grid.nodes;
    const int parity = grid.oddFirstRow ? 1 : 0;
    platform::RunRowBands(
        chunks,
        [&](const platform::RowBand& chunk) {
            std::vector<std::uint32_t>* own = &m_gridLists[std::size_t(chunk.index * bandCount)];
            for (std::int64_t r = chunk.begin; r < chunk.end; ++r) {
                for (std::int64_t c = 0; c + 1 < cols; ++c) {
                    const std::int64_t first = r * cols + c;
                    const int odd = int((r + c + parity) & 1);
                    for (int half = 0; half < 2; ++half) {
                        const int shape = (odd ? 0 : 2) + half;
                        const TCanvasVertex* at = nodes + first;
                        const RowRange rows = TriangleRows(target, at[offset[shape][0]], at[offset[shape][1]],
                                                           at[offset[shape][2]]);
                        if (rows.first > rows.last) continue;
                        const auto id = std::uint32_t(first * 4 + shape);
                        const std::int32_t lastBand =
                            std::min<std::int32_t>(rows.last / kBandRows, std::int32_t(bandCount - 1));
                        for (std::int32_t band = rows.first / kBandRows; band <= lastBand; ++band)
                            own[band].push_back(id);
                    }
                }
                if (report.checkStop) report.checkStop();
            }
        },
        report.progress ? platform::BandProgress(report.progress) : platform::BandProgress{});

    ForEachBand(bandCount * kBandRows, [&](int firstRow, int lastRow) {
        const std::size_t band = std::size_t(firstRow / kBandRows);
        for (std::int64_t chunk = 0; chunk < chunks.Count(); ++chunk)
            for (const std::uint32_t id : m_gridLists[std::size_t(chunk * bandCount) + band]) {
                const TCanvasVertex* at = nodes + (id >> 2);
                const std::int64_t* o = offset[id & 3];
                DrawTriangle(target, at[o[0]], at[o[1]], at[o[2]], smooth, firstRow, lastRow);
            }
        if (report.checkStop) report.checkStop();
    });
}

void Batch::Drop()
{
    m_commands.clear();
    for (auto& band : m_bands) band.clear();
}

}  // namespace canvas_raster
