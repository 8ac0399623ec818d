#pragma once

// Primitives waiting to be drawn. The canvas collects what it is asked to draw and draws
// it in horizontal bands of rows on all cores: each band runs every primitive that reaches
// its rows, in the order they were given, clipped to its rows, so every pixel sees the same
// writes in the same order as on one thread. Each primitive is filed under the bands it
// reaches as it arrives, so a band looks only at its own.

#include <cstdint>
#include <functional>
#include <vector>

#include "plugin3d/model/render/canvas_raster.h"

namespace canvas_raster {

/// Rows of one band: thin enough to share a frame among eight threads, thick enough that a
/// small triangle seldom reaches two.
inline constexpr int kBandRows = 16;

/// Calls work(first, last) for the row bands [first, last] of `rows` rows, kBandRows each,
/// on all cores; returns when every band has ended.
void ForEachBand(std::int64_t rows, const std::function<void(int first, int last)>& work);

class Batch {
public:
    /// Primitives kept before they are drawn without being asked (about 20 MB).
    static constexpr std::size_t kLimit = 1u << 18;

    bool Empty() const { return m_commands.empty(); }
    std::size_t Count() const { return m_commands.size(); }

    /// Files a primitive for drawing into `target` (whose planes must not change until the
    /// batch is drawn or dropped). Returns true when the batch is full and should be drawn.
    bool AddPoint(const Target& target, const TCanvasVertex& v);
    bool AddLine(const Target& target, const TCanvasVertex& a, const TCanvasVertex& b, bool smooth);
    bool AddTriangle(const Target& target, const TCanvasVertex& a, const TCanvasVertex& b,
                     const TCanvasVertex& c, bool smooth);

    /// Draws everything filed, band by band, and empties the batch.
    void Draw(const Target& target);
    /// Forgets everything filed (the planes are about to be overwritten or freed).
    void Drop();

private:
    enum class Kind : std::uint8_t { Point, Line, Triangle };
    struct Command {
        Kind kind;
        bool smooth;
        TCanvasVertex v[3];
    };
    bool File(const RowRange& rows, const Command& command);

    std::vector<Command> m_commands;
    std::vector<std::vector<std::uint32_t>> m_bands;  // per band, the commands reaching it
};

}  // namespace canvas_raster
