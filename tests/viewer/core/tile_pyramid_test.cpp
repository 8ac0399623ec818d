#include <sys/mman.h>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <limits>
#include <random>
#include <string>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "tests/support/recording_meter.h"
#include "tests/support/test_environment.h"
#include "tests/support/vector_paths.h"
#include "tests/viewer/core/pyramid_reference.h"
#include "viewer/core/display_mapping.h"
#include "viewer/core/tile_pyramid.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

namespace ref = pyramid_reference;
using tarvenix::test::RecordingMeter;

// A layer in memory: rows `rowBytes` apart (wider than the samples, so the row distance is used).
struct Layer {
    int typeCode = 1, width = 0, height = 0;
    std::int64_t rowBytes = 0;
    std::vector<std::uint8_t> bytes;
};

template <class T>
Layer MakeLayer(int typeCode, int width, int height, const std::vector<T>& samples)
{
    Layer layer{typeCode, width, height, std::int64_t(width * sizeof(T) + 8), {}};
    layer.bytes.assign(std::size_t(layer.rowBytes) * height, 0xEE);
    for (int y = 0; y < height; ++y)
        std::memcpy(layer.bytes.data() + y * layer.rowBytes, samples.data() + std::size_t(y) * width,
                    width * sizeof(T));
    return layer;
}

// Random samples of any type; floats include some NaN and infinities.
Layer RandomLayer(int typeCode, int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    return visitSampleType(typeCode, [&]<class T>(Tag<T>) {
        using P = PartType<T>;
        auto part = [&]() -> P {
            if constexpr (std::is_floating_point_v<P>) {
                const unsigned pick = rng() % 200;
                if (pick == 0) return std::numeric_limits<P>::quiet_NaN();
                if (pick == 1) return std::numeric_limits<P>::infinity();
                if (pick == 2) return -std::numeric_limits<P>::infinity();
                return P(std::uniform_real_distribution<double>(-300.0, 300.0)(rng));
            } else {
                return P(rng());
            }
        };
        std::vector<T> samples(std::size_t(width) * height);
        for (T& s : samples) {
            if constexpr (IsComplex<T>) {
                const P a = part(), b = part();
                s = T{a, b};
            } else {
                s = part();
            }
        }
        return MakeLayer(typeCode, width, height, samples);
    });
}

// Storage with the histogram in front and guard bytes behind; the pyramid gets the middle.
struct Storage {
    explicit Storage(std::int64_t bytes) : block(std::size_t(bytes) + kDisplayHistogramBytes + 64, 0xA5) {}
    BYTE* Pyramid() { return block.data() + kDisplayHistogramBytes; }
    std::int64_t Bytes() const { return std::int64_t(block.size()) - kDisplayHistogramBytes - 64; }
    std::vector<std::uint32_t> Histogram() const
    {
        std::vector<std::uint32_t> h(256);
        std::memcpy(h.data(), block.data(), 1024);
        return h;
    }
    bool GuardIntact() const
    {
        return std::all_of(block.end() - 64, block.end(), [](BYTE b) { return b == 0xA5; });
    }
    std::vector<BYTE> block;
};

int Build(CTilePyramid& pyramid, Storage& storage, const Layer& layer, int component, double lo, double hi,
          CMeterInfoBase* meter = nullptr)
{
    return pyramid.Build(storage.Pyramid(), storage.Bytes(), layer.bytes.data(), layer.width, layer.height,
                         layer.rowBytes, layer.typeCode, component, lo, hi, meter);
}

std::vector<ref::Raster> ReferenceLevels(const Layer& layer, int component, double lo, double hi)
{
    return ref::Levels(ref::MapLayer(layer.typeCode, layer.bytes.data(), layer.rowBytes, layer.width,
                                     layer.height, component, lo, hi),
                       PyramidLevelCount(layer.width, layer.height));
}

// Every tile of every level against the plain levels, and the tile records' geometry.
void ExpectPyramidEquals(const CTilePyramid& pyramid, const std::vector<ref::Raster>& levels)
{
    ASSERT_EQ(pyramid.LevelCount(), int(levels.size()));
    const BYTE* next = pyramid.Storage();
    for (int k = 0; k < pyramid.LevelCount(); ++k) {
        const PyramidLevel& level = pyramid.Level(k);
        const ref::Raster& expected = levels[std::size_t(k)];
        ASSERT_EQ(level.width, expected.width);
        ASSERT_EQ(level.height, expected.height);
        for (const TileRecord& tile : level.tiles) {
            ASSERT_EQ(tile.data, next) << "tiles follow each other without gaps";
            next += tile.size;
            const int x0 = tile.left / tile.step, y0 = tile.top / tile.step;
            for (int y = 0; y < tile.height; ++y)
                for (int x = 0; x < tile.width; ++x)
                    ASSERT_EQ(tile.data[y * tile.width + x], expected.At(x0 + x, y0 + y))
                        << "level " << k << " value (" << x0 + x << ", " << y0 + y << ")";
        }
    }
    EXPECT_EQ(next - pyramid.Storage(), pyramid.UsedBytes());
}

struct Window {
    int x, y, w, h;
};

// A read through the pyramid, as bytes of a destination with a sentinel where nothing was written.
std::vector<BYTE> ReadThrough(CTilePyramid& pyramid, Window win, double zoom, bool whole, int pixelStep,
                              bool bottomUp, int& result)
{
    const int w = whole && zoom < 1 ? pyramid.Width() : win.w,
              h = whole && zoom < 1 ? pyramid.Height() : win.h;
    const std::int64_t rowBytes = std::int64_t(w) * pixelStep + 5;
    std::vector<BYTE> dest(std::size_t(rowBytes * h + 1), 0x5A);
    result = pyramid.ReadWindow(dest.data(), rowBytes, win.x, win.y, win.w, win.h, zoom, whole, pixelStep,
                                bottomUp, nullptr);
    return dest;
}

// The same destination filled from the reference read.
std::vector<BYTE> ReadExpected(const std::vector<ref::Raster>& levels, Window win, double zoom, bool whole,
                               int pixelStep, bool bottomUp)
{
    const int w = whole && zoom < 1 ? levels[0].width : win.w,
              h = whole && zoom < 1 ? levels[0].height : win.h;
    const std::int64_t rowBytes = std::int64_t(w) * pixelStep + 5;
    std::vector<BYTE> dest(std::size_t(rowBytes * h + 1), 0x5A);
    const ref::Read read = ref::ReadWindow(levels, win.x, win.y, win.w, win.h, zoom, whole);
    for (int j = 0; j < read.h; ++j) {
        const std::int64_t row = bottomUp ? read.h - 1 - j : j;
        for (int i = 0; i < read.w; ++i)
            dest[std::size_t(row * rowBytes + std::int64_t(i) * pixelStep)] =
                read.values[std::size_t(j) * read.w + i];
    }
    return dest;
}

const double kZooms[] = {1.0, 2.0, 4.0, 0.5, 0.25, 1.0 / 3.0, 0.37, 1.5, 3.0, 5.5, 8.0, 37.0, 1000.0};

void ExpectReadsEqual(CTilePyramid& pyramid, const std::vector<ref::Raster>& levels)
{
    const int W = pyramid.Width(), H = pyramid.Height();
    const Window windows[] = {{0, 0, W, H}, {13, 7, 50, 41}, {W / 3, H / 2, W, H}, {1, 1, 3 * W, 2}};
    for (double zoom : kZooms)
        for (const Window& win : windows)
            for (int variant = 0; variant < 3; ++variant) {
                const bool bottomUp = variant == 1, whole = variant == 2;
                const int pixelStep = variant == 1 ? 3 : 1;
                SCOPED_TRACE(::testing::Message() << "zoom " << zoom << " window " << win.x << "," << win.y
                                                  << " " << win.w << "x" << win.h << " variant " << variant);
                int result = 0;
                const auto got = ReadThrough(pyramid, win, zoom, whole, pixelStep, bottomUp, result);
                EXPECT_EQ(result, 1);
                const auto expected = ReadExpected(levels, win, zoom, whole, pixelStep, bottomUp);
                ASSERT_EQ(got, expected);
            }
}

// ---------------------------------------------------------------------------------------------
// Geometry

struct GeometryCase {
    int width, height;
    int levels;
    int tiles;
    std::vector<std::pair<int, int>> levelSizes;
};

TEST(TilePyramid, LevelsTilesAndStorageOfTheListedSizes)
{
    const GeometryCase cases[] = {
        {256, 256, 1, 1, {{256, 256}}},
        {257, 10, 2, 3, {{257, 10}, {129, 5}}},
        {1100, 1100, 3, 25 + 9 + 4, {{1100, 1100}, {550, 550}, {275, 275}}},
        {1200, 1200, 4, 25 + 9 + 4 + 1, {{1200, 1200}, {600, 600}, {300, 300}, {150, 150}}},
        {1, 1, 1, 1, {{1, 1}}},
    };
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
        Storage storage(GetViewerTempSize(c.width, c.height));
        CTilePyramid pyramid;
        ASSERT_EQ(pyramid.Attach(storage.Pyramid(), storage.Bytes(), c.width, c.height), 1);
        ASSERT_EQ(pyramid.LevelCount(), c.levels);
        int tiles = 0;
        for (int k = 0; k < c.levels; ++k) {
            const PyramidLevel& level = pyramid.Level(k);
            EXPECT_EQ(level.width, c.levelSizes[std::size_t(k)].first);
            EXPECT_EQ(level.height, c.levelSizes[std::size_t(k)].second);
            EXPECT_EQ(level.step, 1 << k);
            tiles += int(level.tiles.size());
        }
        EXPECT_EQ(tiles, c.tiles);
        EXPECT_EQ(pyramid.UsedBytes(), GetViewerTempSize(c.width, c.height));
    }
}

TEST(TilePyramid, TileRecordsOfATwoLevelLayer)
{
    // 257 × 10: level 0 in two tiles (256 × 10 and 1 × 10), level 1 in one 129 × 5 tile.
    Storage storage(GetViewerTempSize(257, 10));
    CTilePyramid pyramid;
    ASSERT_EQ(pyramid.Attach(storage.Pyramid(), storage.Bytes(), 257, 10), 1);
    EXPECT_EQ(pyramid.UsedBytes(), 3215);
    const auto& t0 = pyramid.Level(0).tiles;
    ASSERT_EQ(t0.size(), 2u);
    EXPECT_EQ((std::vector<int>{t0[0].left, t0[0].top, t0[0].right, t0[0].bottom, t0[0].width, t0[0].height,
                                t0[0].size, t0[0].step}),
              (std::vector<int>{0, 0, 255, 9, 256, 10, 2560, 1}));
    EXPECT_EQ((std::vector<int>{t0[1].left, t0[1].right, t0[1].width, t0[1].size}),
              (std::vector<int>{256, 256, 1, 10}));
    EXPECT_EQ(t0[1].data, storage.Pyramid() + 2560);
    const auto& t1 = pyramid.Level(1).tiles;
    ASSERT_EQ(t1.size(), 1u);
    EXPECT_EQ((std::vector<int>{t1[0].left, t1[0].top, t1[0].right, t1[0].bottom, t1[0].width, t1[0].height,
                                t1[0].size, t1[0].step}),
              (std::vector<int>{0, 0, 256, 9, 129, 5, 645, 2}));
    EXPECT_EQ(t1[0].data, storage.Pyramid() + 2570);
}

// ---------------------------------------------------------------------------------------------
// Averaging

TEST(TilePyramid, TwoByTwoAveragesTruncateAndLoneColumnsRowsAndCornersFollowTheirRules)
{
    // Layer 3 × 3 of U8 is a single level; 257 × 257 brings the lone last column, row and
    // corner of level 0 into level 1 (129 × 129).
    std::vector<std::uint8_t> samples(257 * 257, 0);
    auto at = [&](int x, int y) -> std::uint8_t& { return samples[std::size_t(y) * 257 + x]; };
    at(0, 0) = 255, at(1, 0) = 255, at(0, 1) = 255, at(1, 1) = 254;  // -> 254
    at(256, 0) = 1, at(256, 1) = 2;                                  // lone column -> 1
    at(0, 256) = 7, at(1, 256) = 8;                                  // lone row -> 7
    at(256, 256) = 99;                                               // lone corner -> 99
    const Layer layer = MakeLayer(1, 257, 257, samples);
    Storage storage(GetViewerTempSize(257, 257));
    CTilePyramid pyramid;
    ASSERT_EQ(Build(pyramid, storage, layer, 0, 0.0, 255.0), 1);
    const PyramidLevel& level1 = pyramid.Level(1);
    const BYTE* base = level1.tiles[0].data;
    EXPECT_EQ(base[level1.OffsetOf(0, 0)], 254);
    EXPECT_EQ(base[level1.OffsetOf(128, 0)], 1);
    EXPECT_EQ(base[level1.OffsetOf(0, 128)], 7);
    EXPECT_EQ(base[level1.OffsetOf(128, 128)], 99);
    ExpectPyramidEquals(pyramid, ReferenceLevels(layer, 0, 0.0, 255.0));
}

TEST(TilePyramid, OddTileCountsGiveLastColumnsAndRowsFromLeftAndTopChildrenOnly)
{
    // 600 × 560: level 0 has 3 × 3 tiles, so level 1 (300 × 280, 2 × 2 tiles) gets its last
    // tile column from left children only and its last tile row from top children only.
    const Layer layer = RandomLayer(1, 600, 560, 5);
    Storage storage(GetViewerTempSize(600, 560));
    CTilePyramid pyramid;
    ASSERT_EQ(Build(pyramid, storage, layer, 0, 0.0, 255.0), 1);
    EXPECT_EQ(pyramid.Level(0).tilesAcross, 3);
    EXPECT_EQ(pyramid.Level(1).tilesAcross, 2);
    EXPECT_EQ(pyramid.Level(1).tiles[3].width, 44);
    EXPECT_EQ(pyramid.Level(1).tiles[3].height, 24);
    ExpectPyramidEquals(pyramid, ReferenceLevels(layer, 0, 0.0, 255.0));
}

// ---------------------------------------------------------------------------------------------
// Every type against the plain reference: levels, histogram and reads.

struct TypeCase {
    int typeCode;
    int component;
    double lo, hi;
};

void PrintTo(const TypeCase& c, std::ostream* os)
{
    *os << typeInfo(c.typeCode).name << " component " << c.component << " range " << c.lo << " .. " << c.hi;
}

class PyramidAgainstReference : public ::testing::TestWithParam<TypeCase> {};

TEST_P(PyramidAgainstReference, EveryLevelTheHistogramAndReadsAtManyZooms)
{
    const TypeCase c = GetParam();
    for (auto [width, height] : {std::pair{517, 263}, std::pair{37, 301}}) {
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        const Layer layer = RandomLayer(c.typeCode, width, height, unsigned(c.typeCode * 31 + c.component));
        Storage storage(GetViewerTempSize(width, height));
        CTilePyramid pyramid;
        pyramid.SetThreadCount(3);
        ASSERT_EQ(Build(pyramid, storage, layer, c.component, c.lo, c.hi), 1);
        const auto levels = ReferenceLevels(layer, c.component, c.lo, c.hi);
        ExpectPyramidEquals(pyramid, levels);
        EXPECT_TRUE(storage.GuardIntact());

        std::vector<std::uint32_t> histogram(256, 0);
        if (!(isComplexType(c.typeCode) && c.component == 1))
            for (BYTE v : levels[0].values) ++histogram[v];
        EXPECT_EQ(storage.Histogram(), histogram);

        ExpectReadsEqual(pyramid, levels);
    }
}

std::vector<TypeCase> AllTypeCases()
{
    std::vector<TypeCase> cases;
    const double intRanges[][2] = {{0, 0},
                                   {0, 255},
                                   {-128, 127},
                                   {0, 65535},
                                   {-32768, 32767},
                                   {0, 4294967295.0},
                                   {-2147483648.0, 2147483647.0}};
    for (int code = 1; code <= 8; ++code) {
        const double lo = code <= 6 ? intRanges[code][0] * 0.8 : -200.0;
        const double hi = code <= 6 ? intRanges[code][1] * 0.7 : 150.0;
        cases.push_back({code, 0, lo, hi});
    }
    for (int code = 9; code <= 16; ++code) {
        const int part = typeInfo(code).partCode;
        const double lo = part <= 6 ? intRanges[part][0] * 0.8 : -200.0;
        const double hi = part <= 6 ? intRanges[part][1] * 0.7 : 150.0;
        cases.push_back({code, 0, 0.0, hi});
        cases.push_back({code, 1, -3.14159265358979, 3.14159265358979});
        cases.push_back({code, 2, lo, hi});
        cases.push_back({code, 3, lo, hi});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllTypes, PyramidAgainstReference, ::testing::ValuesIn(AllTypeCases()),
                         [](const ::testing::TestParamInfo<TypeCase>& info) {
                             return std::string(typeInfo(info.param.typeCode).name) + "_component" +
                                    std::to_string(info.param.component);
                         });

TEST(TilePyramid, ResultDoesNotDependOnTheNumberOfThreads)
{
    const Layer layer = RandomLayer(7, 1301, 1111, 77);
    std::vector<BYTE> first;
    for (int threads : {1, 3, 8}) {
        SCOPED_TRACE(threads);
        Storage storage(GetViewerTempSize(layer.width, layer.height));
        CTilePyramid pyramid;
        pyramid.SetThreadCount(threads);
        ASSERT_EQ(Build(pyramid, storage, layer, 0, -100.0, 100.0), 1);
        if (first.empty()) {
            first = storage.block;
            ExpectPyramidEquals(pyramid, ReferenceLevels(layer, 0, -100.0, 100.0));
        } else {
            EXPECT_TRUE(storage.block == first);
        }
    }
}

struct LargeLayerCase {
    int typeCode, component, width, height, threads;
    bool avx2;
    double lo, hi;
};

class PyramidBands : public ::testing::TestWithParam<LargeLayerCase> {};

TEST_P(PyramidBands, LargeLayersCrossingEveryTileAndBandMatchThePlainLevelsAndReads)
{
    const LargeLayerCase& c = GetParam();
    tarvenix::test::ScopedAvx2Paths paths(c.avx2);
    ScopedRowDriverThreads readThreads(c.threads);
    const Layer layer = RandomLayer(c.typeCode, c.width, c.height, unsigned(c.width + c.typeCode));
    Storage storage(GetViewerTempSize(c.width, c.height));
    CTilePyramid pyramid;
    pyramid.SetThreadCount(c.threads);
    ASSERT_EQ(Build(pyramid, storage, layer, c.component, c.lo, c.hi), 1);
    const auto levels = ReferenceLevels(layer, c.component, c.lo, c.hi);
    ExpectPyramidEquals(pyramid, levels);
    EXPECT_TRUE(storage.GuardIntact());
    const int W = c.width, H = c.height;
    const Window windows[] = {{0, 0, W, H}, {W / 3 + 1, H / 2 + 3, W, H}};
    for (double zoom : {1.0, 0.37, 1.5, 3.0, 5.5})
        for (const Window& win : windows) {
            SCOPED_TRACE(::testing::Message() << "zoom " << zoom << " window " << win.x << "," << win.y);
            int result = 0;
            const auto got = ReadThrough(pyramid, win, zoom, false, 1, false, result);
            EXPECT_EQ(result, 1);
            ASSERT_EQ(got, ReadExpected(levels, win, zoom, false, 1, false));
        }
}

// Tile rows of 256 (two of level 0 per item), lone last columns and rows on every level, and
// read bands that start anywhere; 1 and 8 threads, vector code on and off.
INSTANTIATE_TEST_SUITE_P(Layers, PyramidBands,
                         ::testing::Values(LargeLayerCase{7, 0, 2049, 1537, 8, true, -200.0, 150.0},
                                           LargeLayerCase{9, 2, 4100, 257, 1, false, -200.0, 150.0},
                                           LargeLayerCase{3, 0, 131, 8870, 8, false, 0.0, 60000.0},
                                           LargeLayerCase{14, 0, 1024, 1024, 1, true, 0.0, 30000.0},
                                           LargeLayerCase{8, 0, 4100, 257, 8, true, -300.0, 300.0}),
                         [](const ::testing::TestParamInfo<LargeLayerCase>& info) {
                             const LargeLayerCase& c = info.param;
                             return std::string(typeInfo(c.typeCode).name) + "_component" +
                                    std::to_string(c.component) + "_" + std::to_string(c.width) + "x" +
                                    std::to_string(c.height) + "_threads" + std::to_string(c.threads) +
                                    (c.avx2 ? "" : "_scalar");
                         });

// ---------------------------------------------------------------------------------------------
// Reads

TEST(TilePyramid, PowersOfTwoCopyLevelsZoomThreeInterpolatesLevelOneAndHalfShowsBlocks)
{
    const Layer layer = RandomLayer(1, 700, 500, 3);
    Storage storage(GetViewerTempSize(700, 500));
    CTilePyramid pyramid;
    ASSERT_EQ(Build(pyramid, storage, layer, 0, 0.0, 255.0), 1);
    const auto levels = ReferenceLevels(layer, 0, 0.0, 255.0);
    std::vector<BYTE> out(700 * 500);

    for (int k = 0; k < pyramid.LevelCount(); ++k) {
        const ref::Raster& level = levels[std::size_t(k)];
        ASSERT_EQ(pyramid.ReadWindow(out.data(), level.width, 0, 0, level.width, level.height, double(1 << k),
                                     FALSE, 1, FALSE, nullptr),
                  1);
        EXPECT_TRUE(std::equal(level.values.begin(), level.values.end(), out.begin())) << "level " << k;
    }

    // Zoom 3 reads level 1 at ratio 1.5: the first output value is level 1's first value.
    pyramid.PrepareZoom(3.0);
    ASSERT_EQ(pyramid.ReadWindow(out.data(), 233, 0, 0, 233, 166, 3.0, FALSE, 1, FALSE, nullptr), 1);
    EXPECT_EQ(out[0], levels[1].At(0, 0));

    // Zoom 0.5: every value of level 0 as a 2 × 2 block.
    std::vector<BYTE> big(40 * 30);
    ASSERT_EQ(pyramid.ReadWindow(big.data(), 40, 0, 0, 40, 30, 0.5, FALSE, 1, FALSE, nullptr), 1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(big[std::size_t(y) * 40 + x], levels[0].At(x / 2, y / 2));
}

TEST(TilePyramid, RowsReadInBandsOnOneThreadMatchTheWholeWindow)
{
    const Layer layer = RandomLayer(1, 700, 500, 11);
    Storage storage(GetViewerTempSize(700, 500));
    CTilePyramid pyramid;
    ASSERT_EQ(Build(pyramid, storage, layer, 0, 0.0, 255.0), 1);
    // Magnified, 1:1, reduced between levels, and a window cut at the picture's edge.
    const struct {
        Window win;
        double zoom;
    } cases[] = {{{5, 7, 300, 200}, 0.4},
                 {{3, 2, 400, 300}, 1.0},
                 {{1, 1, 150, 100}, 3.0},
                 {{600, 400, 300, 300}, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zoom);
        int cw = 0, ch = 0;
        ASSERT_TRUE(pyramid.WindowSize(c.win.x, c.win.y, c.win.w, c.win.h, c.zoom, FALSE, cw, ch));
        std::vector<BYTE> whole(std::size_t(cw) * ch, 0xAB), banded(whole.size() + cw, 0xCD);
        ASSERT_EQ(pyramid.ReadWindow(whole.data(), cw, c.win.x, c.win.y, c.win.w, c.win.h, c.zoom, FALSE, 1,
                                     FALSE, nullptr),
                  1);
        // Uneven bands, the last one asked past the cut height: rows past it are not written.
        for (std::int64_t first = 0; first < ch; first += 7)
            ASSERT_EQ(pyramid.ReadWindowRows(banded.data() + first * cw, cw, c.win.x, c.win.y, c.win.w,
                                             c.win.h, c.zoom, FALSE, first, first + 7),
                      1);
        EXPECT_TRUE(std::equal(whole.begin(), whole.end(), banded.begin()));
        EXPECT_TRUE(
            std::all_of(banded.begin() + whole.size(), banded.end(), [](BYTE b) { return b == 0xCD; }));
    }
    std::vector<BYTE> out(16);
    EXPECT_EQ(pyramid.ReadWindowRows(out.data(), 4, 0, 0, 4, 4, 1.0, FALSE, 3, 2), 0) << "rows backwards";
}

TEST(TilePyramid, WindowsPastTheLevelAreCutAndNothingOutsideIsRead)
{
    // 1083 × 1647 at zoom 57: the step table runs past the level's last column.
    const Layer layer = RandomLayer(1, 1083, 1647, 9);
    Storage storage(GetViewerTempSize(1083, 1647));
    CTilePyramid pyramid;
    ASSERT_EQ(Build(pyramid, storage, layer, 0, 0.0, 255.0), 1);
    const auto levels = ReferenceLevels(layer, 0, 0.0, 255.0);
    const Window windows[] = {{0, 0, 5000, 5000}, {10, 20, 4000, 10}, {1, 1, 1920, 1080}, {3000, 0, 10, 10}};
    for (double zoom : {57.0, 1.0, 2.0, 3.0, 0.5})
        for (const Window& win : windows) {
            SCOPED_TRACE(::testing::Message() << "zoom " << zoom << " x " << win.x);
            int result = 0;
            EXPECT_EQ(ReadThrough(pyramid, win, zoom, false, 1, false, result),
                      ReadExpected(levels, win, zoom, false, 1, false));
            EXPECT_EQ(result, 1);
        }
    // A 1200-wide read of level 0 gives 1083 columns.
    std::vector<BYTE> row(1200, 0x11);
    ASSERT_EQ(pyramid.ReadWindow(row.data(), 1200, 0, 0, 1200, 1, 1.0, FALSE, 1, FALSE, nullptr), 1);
    EXPECT_EQ(row[1082], levels[0].At(1082, 0));
    EXPECT_EQ(row[1083], 0x11);
}

TEST(TilePyramid, InvalidReadsWriteNothingAndReturnZero)
{
    const Layer layer = RandomLayer(1, 40, 30, 1);
    Storage storage(GetViewerTempSize(40, 30));
    CTilePyramid pyramid;
    std::vector<BYTE> out(100, 0x33);
    EXPECT_EQ(pyramid.ReadWindow(out.data(), 10, 0, 0, 10, 10, 1.0, FALSE, 1, FALSE, nullptr), 0) << "empty";
    ASSERT_EQ(Build(pyramid, storage, layer, 0, 0.0, 255.0), 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(pyramid.ReadWindow(nullptr, 10, 0, 0, 10, 10, 1.0, FALSE, 1, FALSE, nullptr), 0);
    EXPECT_EQ(pyramid.ReadWindow(out.data(), 10, -1, 0, 10, 10, 1.0, FALSE, 1, FALSE, nullptr), 0);
    EXPECT_EQ(pyramid.ReadWindow(out.data(), 10, 0, 0, 10, 10, 0.0, FALSE, 1, FALSE, nullptr), 0);
    EXPECT_EQ(pyramid.ReadWindow(out.data(), 10, 0, 0, 10, 10, nan, FALSE, 1, FALSE, nullptr), 0);
    EXPECT_EQ(pyramid.ReadWindow(out.data(), 10, 0, 0, 10, 10, 1.0, FALSE, 0, FALSE, nullptr), 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](BYTE b) { return b == 0x33; }));
}

// ---------------------------------------------------------------------------------------------
// Attach, rebuild, cancel

// A file of histogram + pyramid, mapped shared like the raster view's cache file.
class MappedFile {
public:
    MappedFile(const std::string& path, std::int64_t bytes, bool create) : m_bytes(bytes)
    {
        m_fd = ::open(path.c_str(), create ? O_RDWR | O_CREAT | O_TRUNC : O_RDWR, 0600);
        if (m_fd < 0) return;
        if (create && ::ftruncate(m_fd, bytes) != 0) return;
        void* p = ::mmap(nullptr, std::size_t(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (p != MAP_FAILED) m_data = static_cast<BYTE*>(p);
    }
    ~MappedFile()
    {
        if (m_data) ::munmap(m_data, std::size_t(m_bytes));
        if (m_fd >= 0) ::close(m_fd);
    }
    BYTE* Data() const { return m_data; }

private:
    int m_fd = -1;
    std::int64_t m_bytes;
    BYTE* m_data = nullptr;
};

TEST(TilePyramid, AttachToTheCacheFileReadsWhatTheBuildMade)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("layer.pyr");
    const Layer layer = RandomLayer(4, 1200, 1200, 12);
    const std::int64_t pyramidBytes = GetViewerTempSize(1200, 1200);
    ASSERT_EQ(pyramidBytes, 1912500);
    const std::int64_t fileBytes = pyramidBytes + kDisplayHistogramBytes;

    std::vector<std::vector<BYTE>> builtReads;
    std::vector<std::vector<int>> builtTiles;
    auto snapshot = [&](CTilePyramid& pyramid, std::vector<std::vector<BYTE>>& reads,
                        std::vector<std::vector<int>>& tiles) {
        for (int k = 0; k < pyramid.LevelCount(); ++k)
            for (const TileRecord& t : pyramid.Level(k).tiles)
                tiles.push_back({t.left, t.top, t.right, t.bottom, t.width, t.height, t.size, t.step,
                                 int(t.data - pyramid.Storage())});
        for (double zoom : kZooms) {
            int result = 0;
            reads.push_back(ReadThrough(pyramid, {5, 3, 700, 650}, zoom, false, 1, true, result));
        }
    };
    {
        MappedFile file(path, fileBytes, true);
        ASSERT_NE(file.Data(), nullptr);
        CTilePyramid pyramid;
        ASSERT_EQ(pyramid.Build(file.Data() + kDisplayHistogramBytes, pyramidBytes, layer.bytes.data(), 1200,
                                1200, layer.rowBytes, 4, 0, -20000.0, 20000.0, nullptr),
                  1);
        snapshot(pyramid, builtReads, builtTiles);
    }
    MappedFile again(path, fileBytes, false);
    ASSERT_NE(again.Data(), nullptr);
    CTilePyramid attached;
    ASSERT_EQ(attached.Attach(again.Data() + kDisplayHistogramBytes, pyramidBytes, 1200, 1200), 1);
    EXPECT_EQ(attached.LevelCount(), 4);
    std::vector<std::vector<BYTE>> attachedReads;
    std::vector<std::vector<int>> attachedTiles;
    snapshot(attached, attachedReads, attachedTiles);
    EXPECT_EQ(attachedTiles, builtTiles);
    EXPECT_EQ(attachedReads, builtReads);
    ExpectPyramidEquals(attached, ReferenceLevels(layer, 0, -20000.0, 20000.0));
}

TEST(TilePyramid, RefusesStorageOrSourcesThatCannotHoldThePyramid)
{
    const Layer layer = RandomLayer(7, 300, 20, 2);
    const std::int64_t bytes = GetViewerTempSize(300, 20);
    ASSERT_EQ(bytes, 7500);
    Storage storage(bytes);
    CTilePyramid pyramid;
    EXPECT_EQ(pyramid.Attach(storage.Pyramid(), bytes - 1, 300, 20), 0);
    EXPECT_EQ(pyramid.Attach(nullptr, bytes, 300, 20), 0);
    EXPECT_EQ(pyramid.Attach(storage.Pyramid(), bytes, 0, 20), 0);
    EXPECT_EQ(pyramid.Build(storage.Pyramid(), bytes - 1, layer.bytes.data(), 300, 20, layer.rowBytes, 7, 0,
                            0, 1, nullptr),
              0);
    EXPECT_EQ(pyramid.Build(storage.Pyramid(), bytes, layer.bytes.data(), 300, 20, 300 * 4 - 1, 7, 0, 0, 1,
                            nullptr),
              0);
    EXPECT_EQ(pyramid.Build(storage.Pyramid(), bytes, layer.bytes.data(), 300, 20, layer.rowBytes, 17, 0, 0,
                            1, nullptr),
              0);
    EXPECT_EQ(pyramid.Build(storage.Pyramid(), bytes, layer.bytes.data(), 300, 20, layer.rowBytes, 9, 4, 0, 1,
                            nullptr),
              0)
        << "component 4 cannot be shown";
    EXPECT_EQ(pyramid.LevelCount(), 0);
    EXPECT_TRUE(std::all_of(storage.block.begin(), storage.block.end(), [](BYTE b) { return b == 0xA5; }));
}

TEST(TilePyramid, FreeEmptiesAndASecondBuildReplacesTheFirst)
{
    CTilePyramid pyramid;
    pyramid.Free();
    EXPECT_EQ(pyramid.LevelCount(), 0);
    EXPECT_EQ(pyramid.Storage(), nullptr);

    const Layer big = RandomLayer(1, 700, 300, 4), small = RandomLayer(1, 100, 90, 5);
    Storage first(GetViewerTempSize(700, 300)), second(GetViewerTempSize(100, 90));
    ASSERT_EQ(Build(pyramid, first, big, 0, 0.0, 255.0), 1);
    EXPECT_EQ(pyramid.LevelCount(), 3);
    ASSERT_EQ(Build(pyramid, second, small, 0, 0.0, 255.0), 1);
    EXPECT_EQ(pyramid.LevelCount(), 1);
    EXPECT_EQ(pyramid.Width(), 100);
    ExpectPyramidEquals(pyramid, ReferenceLevels(small, 0, 0.0, 255.0));
    pyramid.Free();
    EXPECT_EQ(pyramid.LevelCount(), 0);
    EXPECT_EQ(pyramid.Width(), 0);
    EXPECT_EQ(pyramid.UsedBytes(), 0);
}

TEST(TilePyramid, ReadsMoveTheMeterOnByTheRowsDone)
{
    const Layer layer = RandomLayer(1, 300, 600, 3);
    Storage storage(GetViewerTempSize(300, 600));
    CTilePyramid pyramid;
    ASSERT_EQ(Build(pyramid, storage, layer, 0, 0.0, 255.0), 1);
    std::vector<BYTE> out(300 * 600);
    for (double zoom : {1.0, 0.5, 1.5}) {
        SCOPED_TRACE(zoom);
        RecordingMeter meter;
        meter.SetPos(600);  // the position a caller's earlier work left
        ASSERT_EQ(pyramid.ReadWindow(out.data(), 300, 0, 0, 300, 300, zoom, FALSE, 1, TRUE, &meter), 1);
        EXPECT_EQ(meter.Positions(), (std::vector<double>{600, 856, 900}));
    }
}

TEST(TilePyramid, MeterRunsOverAllTilesAndACancelLeavesNoPyramidAndNoHistogram)
{
    const Layer layer = RandomLayer(7, 1200, 1200, 8);
    {
        Storage storage(GetViewerTempSize(1200, 1200));
        CTilePyramid pyramid;
        RecordingMeter meter;
        ASSERT_EQ(Build(pyramid, storage, layer, 0, -50.0, 50.0, &meter), 1);
        EXPECT_EQ(meter.Low(), 0.0);
        EXPECT_EQ(meter.High(), 39.0);
        ASSERT_FALSE(meter.Positions().empty());
        EXPECT_EQ(meter.Positions().back(), 39.0);
    }
    for (int threads : {1, 8}) {
        Storage storage(GetViewerTempSize(1200, 1200));
        CTilePyramid pyramid;
        pyramid.SetThreadCount(threads);
        RecordingMeter meter;
        meter.StopAtReport(2);
        bool cancelled = false;
        try {
            Build(pyramid, storage, layer, 0, -50.0, 50.0, &meter);
        } catch (CRDPExcept* e) {
            cancelled = e->GetCode() == RDP_ERROR_CANCEL;
            e->Delete();
        }
        EXPECT_TRUE(cancelled);
        EXPECT_EQ(pyramid.LevelCount(), 0);
        EXPECT_EQ(pyramid.Storage(), nullptr);
        EXPECT_TRUE(std::all_of(storage.block.begin(), storage.block.begin() + 1024, [](BYTE b) {
            return b == 0xA5;
        })) << "no histogram claims a finished build";
    }
}

}  // namespace

namespace {

TEST(TilePyramid, BuildsFromAnOpenLayerFileAsFromItsSamples)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("layer.rdp");
    const int width = 300, height = 270;
    const Layer layer = RandomLayer(4, width, height, 21);
    {
        CRDPLayer out;
        ASSERT_NE(out.CreateLayer(path.c_str(), width, height, 4), nullptr);
        std::vector<double> row(width);
        for (int y = 0; y < height; ++y) {
            const auto* samples =
                reinterpret_cast<const std::int16_t*>(layer.bytes.data() + y * layer.rowBytes);
            for (int x = 0; x < width; ++x) row[std::size_t(x)] = samples[x];
            ASSERT_TRUE(out.SetLineFromDouble(y, row.data(), width));
        }
        ASSERT_TRUE(out.CloseLayer());
    }
    CRDPLayer in;
    ASSERT_NE(in.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    Storage storage(GetViewerTempSize(width, height));
    CTilePyramid pyramid;
    ASSERT_EQ(pyramid.Build(storage.Pyramid(), storage.Bytes(), in, 0, -30000.0, 30000.0, nullptr), 1);
    ExpectPyramidEquals(pyramid, ReferenceLevels(layer, 0, -30000.0, 30000.0));

    CRDPLayer closed;
    EXPECT_EQ(pyramid.Build(storage.Pyramid(), storage.Bytes(), closed, 0, 0.0, 1.0, nullptr), 0);
    EXPECT_EQ(pyramid.LevelCount(), 0);
}

}  // namespace
