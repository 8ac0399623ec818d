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

/// A grid of vertices drawn as two triangles per cell, the cells row by row: cell (c, r) with
/// corners n00 = (c, r), n10 = (c + 1, r), n01 = (c, r + 1), n11 = (c + 1, r + 1) gives
/// (n00, n10, n11), (n00, n01, n11) where c + r is odd and (n00, n10, n01), (n11, n10, n01)
/// where it is even (a checkerboard of diagonals).
struct TriangleGrid {
    const TCanvasVertex* nodes = nullptr;  ///< row-major, `cols` vertices per row
    std::int64_t cols = 0;
    std::int64_t rows = 0;
    bool oddFirstRow = false;  ///< row 0 counts as an odd row for the checkerboard
};

/// What a grid draw reports: checkStop() after every row of cells it files and every band
/// it draws, on the thread that did it (it may throw to stop the draw: nothing more of the
/// grid is drawn, and what is drawn of it stays), and progress(rows) on the calling thread with
/// the rows of cells filed so far. Either may be empty.
struct GridProgress {
    std::function<void()> checkStop;
    std::function<void(std::int64_t rows)> progress;
};

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

    /// Draws the triangles of `grid` exactly as AddTriangle of each in turn followed by Draw
    /// would, filing them on all cores: every band still sees its triangles in grid order.
    /// Draws what was filed before first.
    void DrawGrid(const Target& target, const TriangleGrid& grid, bool smooth, const GridProgress& report);

private:
    enum class Kind : std::uint8_t { Point, Line, Triangle };
    struct Command {
        Kind kind;
        bool smooth;
        TCanvasVertex v[3];
    };
    bool File(const RowRange& rows, const Command& command);
    void DrawGridPart(const Target& target, const TriangleGrid& grid, bool smooth,
                      const GridProgress& report);

    std::vector<Command> m_commands;
    std::vector<std::vector<std::uint32_t>> m_bands;  // per band, the commands reaching it
    // A grid's triangles, per chunk of cell rows and band (chunk * band count + band): the
    // index of the cell's first corner times 4 plus which of the four triangle shapes it is.
    std::vector<std::vector<std::uint32_t>> m_gridLists;
};

}  // namespace canvas_raster
