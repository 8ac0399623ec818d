#pragma once

// The display pyramid of one raster view: level 0 holds one 8-bit display value per sample,
// each further level halves width and height by averaging 2 × 2 values, every level cut
// into tiles of at most 256 × 256 values. It lives in storage the view provides (a mapped
// cache file): the 1024 bytes just before the storage pointer receive the display
// histogram, then level 0, level 1, ... follow without gaps (GetViewerTempSize bytes).
// Drawing at any zoom reads a window of the level that suits the zoom.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "outside/basecore/meter_info.h"
#include "platform/types.h"
#include "viewer/core/tile_pyramid_storage.h"

/// Bytes of the display histogram kept just before the pyramid's storage.
inline constexpr int kDisplayHistogramBytes = 1024;

class CRDPLayer;

class CTilePyramid {
public:
    CTilePyramid() = default;
    ~CTilePyramid() { Free(); }
    CTilePyramid(const CTilePyramid&) = delete;
    CTilePyramid& operator=(const CTilePyramid&) = delete;

    /// Maps every sample of a W × H layer to a display value (the type code, complex
    /// component and display range of the sample mapping) and builds all levels into
    /// `storage`, which must hold `storageBytes` >= GetViewerTempSize(W, H) bytes and be
    /// preceded by the 1024 bytes of the display histogram, written at the end of the build.
    /// `source` is sample (0, 0); rows are `rowBytes` apart. Runs on all cores; the result
    /// does not depend on the number of threads. The meter (may be null) gets the range
    /// 0 .. tile count and is moved as tiles are made; when it throws (the user's cancel)
    /// the workers stop, the pyramid is left empty and the exception goes on to the caller.
    /// Returns 1, or 0 (pyramid empty, storage untouched) for invalid arguments or when the
    /// scratch memory cannot be had.
    int Build(BYTE* storage, std::int64_t storageBytes, const void* source, int width, int height,
              std::int64_t rowBytes, int typeCode, int component, double displayMin, double displayMax,
              CMeterInfoBase* meter);

    /// The same from an open layer (the shown layer or working copy of a raster view): its
    /// samples, width, height and type. Returns 0 when the layer is not open or its rows
    /// are not evenly spaced.
    int Build(BYTE* storage, std::int64_t storageBytes, const CRDPLayer& layer, int component,
              double displayMin, double displayMax, CMeterInfoBase* meter);

    /// Lays out the levels over storage that already holds a built pyramid of a W × H
    /// layer; maps and writes nothing. Returns 1, or 0 (pyramid empty) for a null storage,
    /// an empty size or `storageBytes` below GetViewerTempSize(W, H).
    int Attach(BYTE* storage, std::int64_t storageBytes, int width, int height);

    /// Tells whether tile `index` (counted over all levels from level 0, each level's tiles
    /// row by row) holds the `bytes` bytes at `data` that were written.
    using TileCheck = std::function<bool(std::int64_t index, const BYTE* data, std::int64_t bytes)>;

    /// Makes reads of an attached pyramid check each tile the first time one touches it (a
    /// cache file is checked where it is read, not whole when it is opened). A read touching
    /// a tile that fails writes nothing and returns 0, and Damaged() is true from then on.
    /// Call after Attach, before the pyramid is read; Free drops the check.
    void CheckTilesOnFirstRead(TileCheck check);
    /// True once a read found a tile that fails its check.
    bool Damaged() const { return m_damaged.load(std::memory_order_acquire); }

    /// Prepares the 32.32 fixed-point step table of a reducing zoom (zoom > 1); the raster
    /// view calls it when its zoom changes. ReadWindow prepares on its own when the zoom it
    /// is given is not the prepared one.
    void PrepareZoom(double zoom);

    /// Writes a w × h block of display values of the picture scaled by `zoom` (full-resolution
    /// pixels per output pixel), starting at output pixel (x, y), one byte per pixel and
    /// `pixelStep` bytes apart in a destination row (1 for 8-bit bitmaps, 3 for one channel
    /// of a 24-bit one); rows are `destRowBytes` apart, and with `bottomUp` the first output
    /// row is the last destination row. With `wholeImage` and zoom < 1 the whole of level 0
    /// is read at 1:1 instead. The window is cut to the picture: columns and rows past the
    /// level's zoomed size are not written, and with `bottomUp` the rows written end at the
    /// last destination row of the cut height. The meter (may be null) is moved by the rows
    /// done from the position it had. Returns 1, or 0 when the pyramid is empty or the
    /// arguments are invalid (nothing is written then).
    int ReadWindow(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h, double zoom,
                   BOOL wholeImage, int pixelStep, BOOL bottomUp, CMeterInfoBase* meter);

    /// Rows [firstRow, endRow) of the window ReadWindow reads at `pixelStep` 1, top down,
    /// read on the calling thread: the first of them into the first row of `dest`. For a
    /// caller that shares one pass over rows between several pyramids. A zoom reduced
    /// between two levels prepares its tables on the first read: call WindowSize at this
    /// zoom on one thread before reading rows of it on several. Returns as ReadWindow.
    int ReadWindowRows(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h, double zoom,
                       BOOL wholeImage, std::int64_t firstRow, std::int64_t endRow);

    /// The size ReadWindow writes for this window (cut to the picture, the whole picture for
    /// `wholeImage` below 1:1); false, with 0 × 0, when it would write nothing.
    bool WindowSize(int x, int y, int w, int h, double zoom, BOOL wholeImage, int& cutWidth, int& cutHeight);

    /// Frees the levels and scratch areas; the pyramid is empty afterwards.
    void Free();

    /// Threads a build uses: 0 (the default) for all cores.
    void SetThreadCount(int threads) { m_threadCount = threads < 0 ? 0 : threads; }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int LevelCount() const { return int(m_levels.size()); }
    const PyramidLevel& Level(int k) const { return m_levels[std::size_t(k)]; }
    /// The storage's first byte (level 0), or null when empty.
    BYTE* Storage() const { return m_storage; }
    /// Bytes of the storage filled: GetViewerTempSize(W, H) after a build or attach.
    std::int64_t UsedBytes() const { return m_used; }

private:
    struct Axis;  // per-read index tables of one axis
    bool LayOut(BYTE* storage, std::int64_t storageBytes, int width, int height);
    void ChooseLevel(double zoom, int& level, double& ratio) const;
    bool CutWindow(int& x, int& y, int& w, int& h, double& zoom, BOOL wholeImage, int& level, double& ratio);
    /// ReadWindow (endRow < 0) and ReadWindowRows in one.
    int ReadRows(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h, double zoom,
                 BOOL wholeImage, int pixelStep, BOOL bottomUp, CMeterInfoBase* meter, std::int64_t firstRow,
                 std::int64_t endRow);
    void GatherRow(int level, int y, int x0, int x1, BYTE* out) const;  // columns x0..x1 of a row
    /// Checks the tiles of level k under value columns x0..x1 and rows y0..y1 (inclusive)
    /// that no read has checked yet; false when one fails (or failed before).
    bool TilesIntact(int k, int x0, int x1, int y0, int y1);

    int m_maxDimension = 0;
    int m_width = 0;
    int m_height = 0;
    BYTE* m_storage = nullptr;
    std::int64_t m_used = 0;
    std::vector<PyramidLevel> m_levels;
    std::vector<std::int64_t> m_levelOffsets;
    int m_threadCount = 0;

    // First-read checks: the first tile index of each level, and per tile 0 (unchecked),
    // 1 (intact) or 2 (damaged). Several reads may check at once; a tile checked twice
    // gives the same answer both times.
    TileCheck m_tileCheck;
    std::vector<std::int64_t> m_firstTile;
    std::unique_ptr<std::atomic<std::uint8_t>[]> m_tileState;
    std::atomic<bool> m_damaged{false};

    // Step table of the prepared zoom: for entry i the source index pair (first, second)
    // and the 32-bit fraction between them.
    double m_preparedZoom = 0.0;
    int m_preparedLevel = -1;
    std::int64_t m_stepEntries = 0;
    std::vector<std::uint32_t> m_stepFirst;
    std::vector<std::uint32_t> m_stepSecond;
    std::vector<std::uint32_t> m_fractions;
};
