#include "plugin3d/model/render/canvas_batch.h"

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

void Batch::Drop()
{
    m_commands.clear();
    for (auto& band : m_bands) band.clear();
}

}  // namespace canvas_raster
