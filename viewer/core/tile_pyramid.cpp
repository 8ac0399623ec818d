#include "viewer/core/tile_pyramid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "platform/kernel/cpu_features.h"
#include "platform/kernel/file_mapping.h"
#include "viewer/core/display_mapping.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

using Histogram = std::array<std::uint32_t, 256>;

// One row of 2 × 2 averages from a child row segment of width cw and the row below it
// (null when the child level's last row is alone): (cw + 1) / 2 values. Sums are truncated
// (shifted), a lone last column averages its two rows, a lone corner is copied.
inline void ReduceSpan(const BYTE* up, const BYTE* down, int cw, BYTE* out)
{
    const int pairs = cw / 2;
    if (down) {
        for (int i = 0; i < pairs; ++i)
            out[i] = BYTE((unsigned(up[2 * i]) + up[2 * i + 1] + down[2 * i] + down[2 * i + 1]) >> 2);
        if (cw & 1) out[pairs] = BYTE((unsigned(up[cw - 1]) + down[cw - 1]) >> 1);
    } else {
        for (int i = 0; i < pairs; ++i) out[i] = BYTE((unsigned(up[2 * i]) + up[2 * i + 1]) >> 1);
        if (cw & 1) out[pairs] = up[cw - 1];
    }
}

// Makes row y of a level from rows 2y and 2y + 1 of the level below, tile by tile: the
// left child tile fills columns 0..127 of the new tile, the right child (when there is
// one) columns 128..255.
void ReduceLevelRow(const PyramidLevel& child, const BYTE* childBase, const PyramidLevel& level,
                    BYTE* levelBase, int y)
{
    const int cy = 2 * y;
    const bool hasLower = cy + 1 < child.height;
    for (int c = 0; c < level.tilesAcross; ++c) {
        BYTE* out = levelBase + level.OffsetOf(c * kTileSide, y);
        for (int half = 0; half < 2; ++half) {
            const int cc = 2 * c + half;
            if (cc >= child.tilesAcross) break;
            const int cw = child.TileWidth(cc);
            const BYTE* up = childBase + child.OffsetOf(cc * kTileSide, cy);
            ReduceSpan(up, hasLower ? up + cw : nullptr, cw, out + half * (kTileSide / 2));
        }
    }
}

// Asks the system to write a finished part of the mapped cache file back in the background;
// it never waits for the disk. Storage that is not a file mapping is refused and left alone.
void FlushAsync(const BYTE* from, std::int64_t bytes)
{
    if (bytes > 0) FlushViewOfFile(from, static_cast<SIZE_T>(bytes));
}

// Items [0, count) as bands of the row driver, one item a band, item i counting weight(i)
// tiles towards progress.
template <class Weight>
RowBands TileRowBands(int count, Weight&& weight)
{
    std::vector<std::int64_t> bounds(static_cast<std::size_t>(count) + 1),
        weights(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        bounds[std::size_t(i) + 1] = i + 1;
        weights[std::size_t(i)] = weight(i);
    }
    return RowBands::Bounds(std::move(bounds), std::move(weights));
}

// a + (b − a) × fraction / 2^32, rounded toward a whichever side b lies on, for values of
// 0..255. The product is split into 16-bit halves of the fraction so that it stays in 32
// bits (and vectorises); the result is the same as the 64-bit product's.
// Reads are cut into bands of at least this many rows.
constexpr std::int64_t kReadRowsPerBand = 8;

// Eight lanes of the same arithmetic; vectors of the compiler's own kind, so that a
// function built for AVX2 runs them on one register and one built without on two halves.
// They pass by value only between functions inlined into one of those two.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
using Words8 = std::uint32_t __attribute__((vector_size(32)));
using Signed8 = std::int32_t __attribute__((vector_size(32)));
using Bytes8 = std::uint8_t __attribute__((vector_size(8)));

template <class U, class S>
[[gnu::always_inline]] inline U LerpOf(U a, U b, U fraction)
{
    // The sign of b − a is as good as random, so it is applied without a branch.
    const S difference = S(b) - S(a);
    const S sign = difference >> 31;  // 0 or −1
    const U d = U((difference ^ sign) - sign);
    const U q = (d * (fraction >> 16) + ((d * (fraction & 0xFFFF)) >> 16)) >> 16;
    return U(S(a) + ((S(q) ^ sign) - sign));
}

inline std::uint32_t Lerp(std::uint32_t a, std::uint32_t b, std::uint32_t fraction)
{
    return LerpOf<std::uint32_t, std::int32_t>(a, b, fraction);
}

template <class V, class E>
[[gnu::always_inline]] inline V LoadVector(const E* p)
{
    V v;
    std::memcpy(&v, p, sizeof(V));
    return v;
}

/// out[i] = Lerp(line[left[i]], line[left[i] + 1], fraction[i]) for i < count.
[[gnu::always_inline]] inline void LerpAcross(const BYTE* line, const std::uint32_t* left,
                                              const std::uint32_t* fraction, std::uint32_t* out, int count)
{
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        Words8 pairs;
        for (int p = 0; p < 8; ++p) {
            std::uint16_t pair;
            std::memcpy(&pair, line + left[i + p], 2);
            pairs[p] = pair;
        }
        const Words8 r = LerpOf<Words8, Signed8>(pairs & 0xFF, pairs >> 8, LoadVector<Words8>(fraction + i));
        std::memcpy(out + i, &r, sizeof r);
    }
    for (; i < count; ++i) out[i] = Lerp(line[left[i]], line[left[i] + 1], fraction[i]);
}

/// out[i] = Lerp(a[i], b[i], fraction) as bytes, for i < count.
[[gnu::always_inline]] inline void LerpDown(const std::uint32_t* a, const std::uint32_t* b,
                                            std::uint32_t fraction, BYTE* out, int count)
{
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const Words8 r = LerpOf<Words8, Signed8>(LoadVector<Words8>(a + i), LoadVector<Words8>(b + i),
                                                 Words8{} + fraction);
        const Bytes8 bytes = __builtin_convertvector(r, Bytes8);
        std::memcpy(out + i, &bytes, sizeof bytes);
    }
    for (; i < count; ++i) out[i] = BYTE(Lerp(a[i], b[i], fraction));
}

__attribute__((target("avx2"))) void LerpAcrossAvx2(const BYTE* line, const std::uint32_t* left,
                                                    const std::uint32_t* fraction, std::uint32_t* out,
                                                    int count)
{
    LerpAcross(line, left, fraction, out, count);
}
__attribute__((target("avx2"))) void LerpDownAvx2(const std::uint32_t* a, const std::uint32_t* b,
                                                  std::uint32_t fraction, BYTE* out, int count)
{
    LerpDown(a, b, fraction, out, count);
}
#pragma GCC diagnostic pop
void LerpAcrossPlain(const BYTE* line, const std::uint32_t* left, const std::uint32_t* fraction,
                     std::uint32_t* out, int count)
{
    LerpAcross(line, left, fraction, out, count);
}
void LerpDownPlain(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t fraction, BYTE* out,
                   int count)
{
    LerpDown(a, b, fraction, out, count);
}

}  // namespace

void CTilePyramid::Free()
{
    std::vector<PyramidLevel>().swap(m_levels);
    std::vector<std::int64_t>().swap(m_levelOffsets);
    std::vector<std::uint32_t>().swap(m_stepFirst);
    std::vector<std::uint32_t>().swap(m_stepSecond);
    std::vector<std::uint32_t>().swap(m_fractions);
    m_maxDimension = m_width = m_height = 0;
    m_storage = nullptr;
    m_used = 0;
    m_preparedZoom = 0.0;
    m_preparedLevel = -1;
    m_stepEntries = 0;
    m_tileCheck = nullptr;
    std::vector<std::int64_t>().swap(m_firstTile);
    m_tileState.reset();
    m_damaged = false;
}

void CTilePyramid::CheckTilesOnFirstRead(TileCheck check)
{
    m_firstTile.assign(m_levels.size(), 0);
    std::int64_t tiles = 0;
    for (std::size_t k = 0; k < m_levels.size(); ++k) {
        m_firstTile[k] = tiles;
        tiles += std::int64_t(m_levels[k].tiles.size());
    }
    m_tileState = std::make_unique<std::atomic<std::uint8_t>[]>(std::size_t(tiles));
    for (std::int64_t i = 0; i < tiles; ++i) m_tileState[std::size_t(i)].store(0, std::memory_order_relaxed);
    m_damaged = false;
    m_tileCheck = std::move(check);
}

bool CTilePyramid::TilesIntact(int k, int x0, int x1, int y0, int y1)
{
    if (!m_tileCheck) return true;
    if (Damaged()) return false;
    const PyramidLevel& level = m_levels[std::size_t(k)];
    const int c0 = std::max(0, x0) / kTileSide, c1 = std::min(x1, level.width - 1) / kTileSide;
    const int r0 = std::max(0, y0) / kTileSide, r1 = std::min(y1, level.height - 1) / kTileSide;
    std::vector<std::int64_t> unchecked;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const std::int64_t at = std::int64_t(r) * level.tilesAcross + c;
            if (m_tileState[std::size_t(m_firstTile[std::size_t(k)] + at)].load(std::memory_order_acquire) !=
                1)
                unchecked.push_back(at);
        }
    if (unchecked.empty()) return true;
    // A first look at a whole level checks many tiles: they are shared among the cores.
    ForEachRow(std::int64_t(unchecked.size()), [&](std::int64_t i, int) {
        const std::int64_t at = unchecked[std::size_t(i)];
        auto& state = m_tileState[std::size_t(m_firstTile[std::size_t(k)] + at)];
        if (state.load(std::memory_order_acquire) != 0) return;
        const TileRecord& tile = level.tiles[std::size_t(at)];
        const bool intact = m_tileCheck(m_firstTile[std::size_t(k)] + at, tile.data, tile.size);
        state.store(intact ? 1 : 2, std::memory_order_release);
        if (!intact) m_damaged.store(true, std::memory_order_release);
    });
    return !Damaged();
}

bool CTilePyramid::LayOut(BYTE* storage, std::int64_t storageBytes, int width, int height)
{
    Free();
    if (!storage || width <= 0 || height <= 0 || storageBytes < GetViewerTempSize(width, height))
        return false;
    m_width = width;
    m_height = height;
    m_maxDimension = std::max(width, height);
    m_storage = storage;
    const int levels = PyramidLevelCount(width, height);
    m_levels.resize(std::size_t(levels));
    m_levelOffsets.resize(std::size_t(levels));
    std::int64_t offset = 0;
    for (int k = 0; k < levels; ++k) {
        m_levelOffsets[std::size_t(k)] = offset;
        LayOutLevel(m_levels[std::size_t(k)], width, height, k, storage + offset);
        offset += PyramidLevelBytes(width, height, k);
    }
    m_used = offset;
    const std::size_t scratch = std::size_t(m_maxDimension) + 2;
    m_stepFirst.resize(scratch);
    m_stepSecond.resize(scratch);
    m_fractions.resize(scratch);
    return true;
}

int CTilePyramid::Attach(BYTE* storage, std::int64_t storageBytes, int width, int height)
{
    try {
        return LayOut(storage, storageBytes, width, height) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        Free();
        return 0;
    }
}

int CTilePyramid::Build(BYTE* storage, std::int64_t storageBytes, const void* source, int width, int height,
                        std::int64_t rowBytes, int typeCode, int component, double displayMin,
                        double displayMax, CMeterInfoBase* meter)
{
    Free();
    if (!source || !IsValidDisplayMapping(typeCode, component)) return 0;
    const int elementBytes = typeInfo(typeCode).elementBytes;
    if (width <= 0 || rowBytes < std::int64_t(width) * elementBytes) return 0;
    if (!Attach(storage, storageBytes, width, height)) return 0;

    try {
        const DisplayMapping mapping(typeCode, component, displayMin, displayMax);
        const BYTE* samples = static_cast<const BYTE*>(source);
        const int levels = LevelCount();
        std::int64_t totalTiles = 0;
        for (const PyramidLevel& level : m_levels) totalTiles += std::int64_t(level.tiles.size());
        if (meter) {
            meter->SetRange(0.0, double(totalTiles));
            meter->SetStep(1.0);
        }
        std::int64_t tilesBefore = 0;  // tiles of the levels already built: the meter's base
        const int threads = RowDriverThreads(m_threadCount);

        // Each thread counts into its own histogram; the sums do not depend on the split.
        std::vector<Histogram> histograms(std::size_t(std::max(threads, 1)), Histogram{});

        const PyramidLevel& level0 = m_levels[0];
        BYTE* base0 = m_storage;
        const bool count = mapping.CountsHistogram();
        auto mapRow = [&](int y, DisplayValueCounter& counter) {
            const BYTE* row = samples + std::int64_t(y) * rowBytes;
            for (int c = 0; c < level0.tilesAcross; ++c) {
                BYTE* out = base0 + level0.OffsetOf(c * kTileSide, y);
                mapping.MapRow(row + std::int64_t(c) * kTileSide * elementBytes, level0.TileWidth(c), out,
                               nullptr);
                if (count) counter.Add(out, level0.TileWidth(c));
            }
        };

        // Level 0 and level 1 together, one tile row of level 1 (two of level 0) per item,
        // so that each pair of mapped rows is averaged while it is still in the cache.
        const bool fuse = levels > 1;
        const PyramidLevel& band = fuse ? m_levels[1] : level0;
        // Tiles an item completes: its row of `band`, and when fused the one or two rows of
        // level 0 below it.
        auto itemTiles = [&](int b) {
            std::int64_t tiles = band.tilesAcross;
            if (fuse)
                tiles +=
                    std::int64_t(std::min(2 * b + 1, level0.tilesDown - 1) - 2 * b + 1) * level0.tilesAcross;
            return tiles;
        };
        RunRowBands(
            TileRowBands(band.tilesDown, itemTiles),
            [&](const RowBand& item) {
                const int b = int(item.begin);
                DisplayValueCounter counter;
                const int rows = band.TileHeight(b);
                for (int i = 0; i < rows; ++i) {
                    const int y = b * kTileSide + i;
                    if (!fuse) {
                        mapRow(y, counter);
                        continue;
                    }
                    mapRow(2 * y, counter);
                    if (2 * y + 1 < height) mapRow(2 * y + 1, counter);
                    ReduceLevelRow(level0, base0, m_levels[1], m_storage + m_levelOffsets[1], y);
                }
                counter.AddTo(histograms[std::size_t(item.slot)].data());
                if (fuse) {
                    const int r0 = 2 * b;
                    FlushAsync(base0 + std::int64_t(r0) * kTileSide * level0.width,
                               std::int64_t(std::min(height - r0 * kTileSide, 2 * kTileSide)) * level0.width);
                    FlushAsync(m_storage + m_levelOffsets[1] + std::int64_t(b) * kTileSide * band.width,
                               std::int64_t(rows) * band.width);
                } else {
                    FlushAsync(base0 + std::int64_t(b) * kTileSide * level0.width,
                               std::int64_t(rows) * level0.width);
                }
            },
            MeterProgress(meter, double(tilesBefore)), threads);
        for (int b = 0; b < band.tilesDown; ++b) tilesBefore += itemTiles(b);

        // The upper levels, each from the one below, a tile row per item.
        for (int k = 2; k < levels; ++k) {
            const PyramidLevel& child = m_levels[std::size_t(k - 1)];
            const PyramidLevel& level = m_levels[std::size_t(k)];
            const BYTE* childBase = m_storage + m_levelOffsets[std::size_t(k - 1)];
            BYTE* levelBase = m_storage + m_levelOffsets[std::size_t(k)];
            RunRowBands(
                TileRowBands(level.tilesDown, [&](int) { return std::int64_t(level.tilesAcross); }),
                [&](const RowBand& item) {
                    const int r = int(item.begin);
                    const int rows = level.TileHeight(r);
                    for (int i = 0; i < rows; ++i)
                        ReduceLevelRow(child, childBase, level, levelBase, r * kTileSide + i);
                    FlushAsync(levelBase + std::int64_t(r) * kTileSide * level.width,
                               std::int64_t(rows) * level.width);
                },
                MeterProgress(meter, double(tilesBefore)), threads);
            tilesBefore += std::int64_t(level.tilesDown) * level.tilesAcross;
        }

        // The histogram goes in last, so an interrupted build leaves none behind.
        Histogram total{};
        for (const Histogram& h : histograms)
            for (int i = 0; i < 256; ++i) total[std::size_t(i)] += h[std::size_t(i)];
        BYTE* out = m_storage - kDisplayHistogramBytes;
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t v = total[std::size_t(i)];
            out[4 * i] = BYTE(v);
            out[4 * i + 1] = BYTE(v >> 8);
            out[4 * i + 2] = BYTE(v >> 16);
            out[4 * i + 3] = BYTE(v >> 24);
        }
        FlushAsync(out, kDisplayHistogramBytes);
    } catch (const std::bad_alloc&) {
        Free();  // the tables or row scratch of a huge layer: a failed build, not a crash
        return 0;
    } catch (...) {
        Free();  // the user's cancel, thrown by the meter, goes on to the job
        throw;
    }
    return 1;
}

int CTilePyramid::Build(BYTE* storage, std::int64_t storageBytes, const CRDPLayer& layer, int component,
                        double displayMin, double displayMax, CMeterInfoBase* meter)
{
    Free();
    void** rows = layer.GetRows();
    if (!layer.IsOpen() || !rows || !isValidType(layer.Type())) return 0;
    const int height = layer.Height();
    const BYTE* first = static_cast<const BYTE*>(rows[0]);
    std::int64_t rowBytes = std::int64_t(layer.Width()) * typeInfo(layer.Type()).elementBytes;
    if (height > 1) {
        // The build walks the samples by a fixed row distance; a row table that is not one
        // block of equally spaced rows is refused rather than read past.
        rowBytes = static_cast<const BYTE*>(rows[1]) - first;
        if (static_cast<const BYTE*>(rows[height - 1]) != first + rowBytes * (height - 1)) return 0;
    }
    return Build(storage, storageBytes, first, layer.Width(), height, rowBytes, layer.Type(), component,
                 displayMin, displayMax, meter);
}

void CTilePyramid::ChooseLevel(double zoom, int& level, double& ratio) const
{
    level = 0;
    while (level + 1 < LevelCount() && std::ldexp(1.0, level + 1) <= zoom) ++level;
    ratio = zoom / std::ldexp(1.0, level);
}

void CTilePyramid::PrepareZoom(double zoom)
{
    if (m_levels.empty() || !(zoom > 1.0) || !std::isfinite(zoom)) return;
    int k;
    double r;
    ChooseLevel(zoom, k, r);
    const PyramidLevel& level = m_levels[std::size_t(k)];
    const std::int64_t n = std::max(level.width, level.height);
    const std::int64_t m = std::int64_t(double(n) / r);
    const std::size_t entries = std::size_t(std::max<std::int64_t>(m, 0)) + 1;
    if (m_stepFirst.size() < entries) {
        m_stepFirst.resize(entries);
        m_stepSecond.resize(entries);
        m_fractions.resize(entries);
    }
    // Entry i is the source position i × (n − 1) / (m − 1) in 32.32 fixed point.
    std::uint64_t step = 0;
    if (n > 1 && m > 1) {
        const std::uint64_t q = std::uint64_t((n - 1) / (m - 1));
        const std::uint64_t f = (std::uint64_t((n - 1) % (m - 1)) << 32) / std::uint64_t(m - 1);
        step = (q << 32) + f;
    }
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint64_t position = step * i;
        m_stepFirst[i] = std::uint32_t(position >> 32);
        m_stepSecond[i] = std::uint32_t(position >> 32) + 1;
        m_fractions[i] = std::uint32_t(position);
    }
    m_stepSecond[entries - 1] = std::uint32_t(n - 1);
    m_preparedZoom = zoom;
    m_preparedLevel = k;
    m_stepEntries = std::int64_t(entries);
}

void CTilePyramid::GatherRow(int k, int y, int x0, int x1, BYTE* out) const
{
    const PyramidLevel& level = m_levels[std::size_t(k)];
    const BYTE* base = m_storage + m_levelOffsets[std::size_t(k)];
    for (int x = x0; x <= x1;) {
        const int c = x / kTileSide;
        const int end = std::min(x1, c * kTileSide + level.TileWidth(c) - 1);
        std::memcpy(out + (x - x0), base + level.OffsetOf(x, y), std::size_t(end - x + 1));
        x = end + 1;
    }
}

bool CTilePyramid::CutWindow(int& x, int& y, int& w, int& h, double& zoom, BOOL wholeImage, int& k, double& r)
{
    if (m_levels.empty() || x < 0 || y < 0 || w < 0 || h < 0 || !(zoom > 0.0) || !std::isfinite(zoom))
        return false;
    if (zoom < 1.0 && wholeImage) {
        x = y = 0;
        w = m_width;
        h = m_height;
        zoom = 1.0;
    }
    ChooseLevel(zoom, k, r);
    const PyramidLevel& level = m_levels[std::size_t(k)];
    // The zoomed size of the level; the window is cut to it.
    auto extent = [&](int length) -> std::int64_t {
        return r == 1.0 ? length : std::int64_t(std::floor(double(length) / r + 1e-9));
    };
    const bool interpolate = r > 1.0;
    if (interpolate && (m_preparedZoom != zoom || m_preparedLevel != k)) PrepareZoom(zoom);
    std::int64_t limitX = extent(level.width), limitY = extent(level.height);
    if (interpolate) {
        limitX = std::min<std::int64_t>(limitX, m_stepEntries);
        limitY = std::min<std::int64_t>(limitY, m_stepEntries);
    }
    w = int(std::max<std::int64_t>(0, std::min<std::int64_t>(w, limitX - x)));
    h = int(std::max<std::int64_t>(0, std::min<std::int64_t>(h, limitY - y)));
    return true;
}

bool CTilePyramid::WindowSize(int x, int y, int w, int h, double zoom, BOOL wholeImage, int& cutWidth,
                              int& cutHeight)
{
    int k;
    double r;
    cutWidth = cutHeight = 0;
    if (!CutWindow(x, y, w, h, zoom, wholeImage, k, r)) return false;
    cutWidth = w;
    cutHeight = h;
    return true;
}

int CTilePyramid::ReadWindow(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h, double zoom,
                             BOOL wholeImage, int pixelStep, BOOL bottomUp, CMeterInfoBase* meter)
{
    return ReadRows(dest, destRowBytes, x, y, w, h, zoom, wholeImage, pixelStep, bottomUp, meter, 0, -1);
}

int CTilePyramid::ReadWindowRows(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h,
                                 double zoom, BOOL wholeImage, std::int64_t firstRow, std::int64_t endRow)
{
    if (firstRow < 0 || endRow < firstRow) return 0;
    return ReadRows(dest, destRowBytes, x, y, w, h, zoom, wholeImage, 1, FALSE, nullptr, firstRow, endRow);
}

int CTilePyramid::ReadRows(BYTE* dest, std::int64_t destRowBytes, int x, int y, int w, int h, double zoom,
                           BOOL wholeImage, int pixelStep, BOOL bottomUp, CMeterInfoBase* meter,
                           std::int64_t firstRow, std::int64_t endRow)
{
    int k;
    double r;
    if (!dest || pixelStep < 1 || !CutWindow(x, y, w, h, zoom, wholeImage, k, r)) return 0;
    if (w == 0 || h == 0) return 1;
    const PyramidLevel& level = m_levels[std::size_t(k)];

    // endRow < 0: the whole window in bands on all cores; else rows [firstRow, endRow) of
    // it on this thread, the first of them into dest's first row.
    const bool serial = endRow >= 0;
    if (serial) endRow = std::min<std::int64_t>(endRow, h);
    if (serial && firstRow >= endRow) return 1;
    const std::int64_t origin = serial ? firstRow : 0;
    auto destRow = [&](int j) {
        return dest + (bottomUp ? std::int64_t(h - 1 - j) : std::int64_t(j) - origin) * destRowBytes;
    };
    auto store = [&](BYTE* row, const auto* values) {
        if (pixelStep == 1 && sizeof(*values) == 1) {
            std::memcpy(row, values, std::size_t(w));
        } else {
            for (int i = 0; i < w; ++i) row[std::int64_t(i) * pixelStep] = BYTE(values[i]);
        }
    };
    // Rows are read in bands on all cores; every output row depends on its own index only,
    // so the picture is the same however the rows are shared. Scratch is per band: reads
    // of the same pyramid may run at once (the export job beside a repaint).
    const double startPos = meter ? meter->DeltaPos(0.0) : 0.0;
    BandProgress progress;
    if (meter) {
        // The meter moves at every tile row boundary passed and at the end, as bands complete.
        progress = [meter, startPos, h, reported = std::int64_t(0)](std::int64_t done) mutable {
            for (std::int64_t next = (reported / kTileSide + 1) * kTileSide; next <= done && next < h;
                 next += kTileSide)
                meter->SetPos(startPos + double(reported = next));
            if (done == h && reported != h) meter->SetPos(startPos + double(reported = h));
        };
    }
    const RowBands bands = RowBands::Even(serial ? 0 : h, kReadRowsPerBand);
    auto run = [&](auto&& work, const BandProgress& bandProgress) {
        if (!serial) return RunRowBands(bands, work, bandProgress);
        RowBand band;
        band.begin = firstRow;
        band.end = endRow;
        work(band);
    };
    const std::size_t lineBytes = std::size_t(level.width) + 2;

    if (r == 1.0) {
        if (!TilesIntact(k, x, x + w - 1, y + int(origin), y + int(serial ? endRow : h) - 1)) return 0;
        run(
            [&](const RowBand& band) {
                std::vector<BYTE> line(pixelStep == 1 ? 0 : lineBytes);
                for (std::int64_t j = band.begin; j < band.end && !band.Stopped(); ++j) {
                    if (pixelStep == 1) {
                        GatherRow(k, y + int(j), x, x + w - 1, destRow(int(j)));
                    } else {
                        GatherRow(k, y + int(j), x, x + w - 1, line.data());
                        store(destRow(int(j)), line.data());
                    }
                }
            },
            progress);
        return 1;
    }

    if (r < 1.0) {
        // Magnified: output pixel X shows the value under its centre, so 1/N zooms give
        // N × N blocks and other zooms place every value without dropping any.
        auto sourceOf = [&](std::int64_t out, int length) {
            return int(std::min<std::int64_t>(length - 1, std::int64_t(std::floor((double(out) + 0.5) * r))));
        };
        std::vector<int> columns(static_cast<std::size_t>(w));
        for (int i = 0; i < w; ++i) columns[std::size_t(i)] = sourceOf(std::int64_t(x) + i, level.width);
        const int c0 = columns.front(), c1 = columns.back();
        if (!TilesIntact(k, c0, c1, sourceOf(std::int64_t(y) + origin, level.height),
                         sourceOf(std::int64_t(y) + (serial ? endRow : h) - 1, level.height)))
            return 0;
        run(
            [&](const RowBand& band) {
                std::vector<BYTE> line(lineBytes), expanded(static_cast<std::size_t>(w));
                int shownRow = -1;
                for (std::int64_t j = band.begin; j < band.end && !band.Stopped(); ++j) {
                    const int sy = sourceOf(std::int64_t(y) + j, level.height);
                    if (sy != shownRow) {
                        GatherRow(k, sy, c0, c1, line.data());
                        for (int i = 0; i < w; ++i)
                            expanded[std::size_t(i)] = line[columns[std::size_t(i)] - c0];
                        shownRow = sy;
                    }
                    store(destRow(int(j)), expanded.data());
                }
            },
            progress);
        return 1;
    }

    // Reduced between two levels: bilinear from the step table, source indices held to the
    // level so that no entry reads past its last column or row.
    const std::uint32_t lastColumn = std::uint32_t(level.width - 1),
                        lastRow = std::uint32_t(level.height - 1);
    const std::uint32_t c0 = std::min(m_stepFirst[std::size_t(x)], lastColumn);
    const std::uint32_t c1 = std::min(m_stepSecond[std::size_t(x + w - 1)], lastColumn);
    // Per output column: the left source column (from c0) and the fraction. The right value
    // is always the next one: the gathered row repeats its last value, which is what a
    // second index held to the last column reads. The pairs are gathered first, so that
    // the interpolation itself runs on whole vectors.
    const std::size_t columnsOut = static_cast<std::size_t>(w);
    std::vector<std::uint32_t> lefts(columnsOut), fractions(columnsOut);
    for (int i = 0; i < w; ++i) {
        const std::size_t e = std::size_t(x + i);
        lefts[std::size_t(i)] = std::min(m_stepFirst[e], lastColumn) - c0;
        fractions[std::size_t(i)] = m_fractions[e];
    }
    const int gathered = int(c1 - c0) + 1;
    {
        const std::size_t firstE = std::size_t(y + origin),
                          lastE = std::size_t(y + (serial ? endRow : h) - 1);
        if (!TilesIntact(k, int(c0), int(c1), int(std::min(m_stepFirst[firstE], lastRow)),
                         int(std::min(m_stepSecond[lastE], lastRow))))
            return 0;
    }
    const bool avx2 = platform::UseAvx2();
    const auto lerpAcross = avx2 ? LerpAcrossAvx2 : LerpAcrossPlain;
    const auto lerpDown = avx2 ? LerpDownAvx2 : LerpDownPlain;
    run(
        [&](const RowBand& band) {
            std::vector<BYTE> lineBuffer(lineBytes);
            std::vector<std::uint32_t> a(columnsOut), b(columnsOut);
            std::vector<BYTE> result(pixelStep == 1 ? 0 : columnsOut);
            BYTE* line = lineBuffer.data();
            auto interpolateRow = [&](std::uint32_t sy, std::uint32_t* out) {
                GatherRow(k, int(sy), int(c0), int(c1), line);
                line[gathered] = line[gathered - 1];
                lerpAcross(line, lefts.data(), fractions.data(), out, w);
            };
            std::uint32_t* rowA = a.data();
            std::uint32_t* rowB = b.data();
            std::int64_t previousSecond = -1;
            for (std::int64_t j = band.begin; j < band.end && !band.Stopped(); ++j) {
                const std::size_t e = std::size_t(y + j);
                const std::uint32_t first = std::min(m_stepFirst[e], lastRow),
                                    second = std::min(m_stepSecond[e], lastRow);
                if (std::int64_t(first) == previousSecond)
                    std::swap(rowA, rowB);
                else
                    interpolateRow(first, rowA);
                if (second == first)
                    std::copy(rowA, rowA + w, rowB);
                else
                    interpolateRow(second, rowB);
                previousSecond = second;
                const std::uint32_t fy = m_fractions[e];
                if (pixelStep == 1) {
                    lerpDown(rowA, rowB, fy, destRow(int(j)), w);
                } else {
                    lerpDown(rowA, rowB, fy, result.data(), w);
                    store(destRow(int(j)), result.data());
                }
            }
        },
        progress);
    return 1;
}
