#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/render/canvas_planes.h"
#include "plugin3d/model/render/canvas_tables.h"
#include "plugin3d/model/render/span_fill.h"

using canvas_planes::Plane;
using canvas_tables::Curve;

namespace {

std::vector<std::int32_t> Levels(const std::vector<std::int32_t>& pairs)
{
    std::vector<std::int32_t> levels(canvas_tables::kLevels, -7);
    const Curve curve{pairs.data(), int(pairs.size() / 2)};
    canvas_tables::BuildComponentRamp(curve, levels.data());
    return levels;
}

// A plane whose pixel (x, y) holds 1000 y + x.
Plane Numbered(int width, int height, int bytesPerElement)
{
    Plane p;
    p.bytesPerElement = bytesPerElement;
    p.Resize(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (bytesPerElement == 4)
                reinterpret_cast<std::int32_t*>(p.Row(y))[x] = 1000 * y + x;
            else
                reinterpret_cast<std::uint16_t*>(p.Row(y))[x] = std::uint16_t(1000 * y + x);
        }
    return p;
}

std::uint32_t At(const Plane& p, int x, int y)
{
    return p.bytesPerElement == 4 ? reinterpret_cast<const std::uint32_t*>(p.Row(y))[x]
                                  : reinterpret_cast<const std::uint16_t*>(p.Row(y))[x];
}

}  // namespace

TEST(CanvasTables, CurvesBecomeLevelRampsOverTheChannelLevels)
{
    // The default curve: the ramp reaches 0x8000 at half way and 0xFFFF at the top, while
    // the curve's own interpolation gives 0x7FFF at half way.
    const std::vector<std::int32_t> standard = {0, 0, 0x8000, 0xFFFF};
    const auto ramp = Levels(standard);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[0x4000], 0x8000);
    EXPECT_EQ(ramp[0x8000], 0xFFFF);
    EXPECT_EQ(BreakpointLookup(0x4000, standard.data(), 2), 0x7FFF);

    // One point: every level takes its output, while the curve's interpolation gives 0.
    const std::vector<std::int32_t> one = {0x100, 0x1234};
    EXPECT_EQ(Levels(one), std::vector<std::int32_t>(canvas_tables::kLevels, 0x1234));
    EXPECT_EQ(BreakpointLookup(0x100, one.data(), 1), 0);

    struct Case {
        const char* name;
        std::vector<std::int32_t> pairs;
        std::vector<std::pair<int, std::int32_t>> expected;  // (level, value)
    };
    const std::vector<Case> cases = {
        {"no points leave the levels alone", {}, {{0, -7}, {0x8000, -7}}},
        {"first input above 0x7FFF", {0x8000, 5, 0x9000, 9}, {{0, 5}, {0x8000, 5}}},
        {"last input at or below 0", {-5, 1, 0, 3}, {{0, 3}, {0x8000, 3}}},
        {"below the first and above the last input",
         {0x100, 10, 0x200, 20},
         {{0, 10}, {0xFF, 10}, {0x100, 10}, {0x180, 15}, {0x200, 20}, {0x8000, 20}}},
        {"ends outside move in, re-evaluated", {-0x8000, 0, 0x10000, 0xFFFF}, {{0, 21845}, {0x8000, 43690}}},
        {"adjacent inputs end on their outputs",
         {0, 0, 1, 0xFFFF, 0x8000, 0xFFFF},
         {{0, 0}, {1, 0xFFFF}, {2, 0xFFFF}}},
        {"equal inputs: the later pair's start wins",
         {0, 0, 0x100, 50, 0x100, 90, 0x8000, 90},
         {{0xFF, 50}, {0x100, 90}, {0x101, 90}}},
    };
    for (const Case& c : cases) {
        const auto levels = Levels(c.pairs);
        for (const auto& [level, value] : c.expected)
            EXPECT_EQ(levels[std::size_t(level)], value) << c.name << " at " << level;
    }
}

TEST(CanvasTables, ChannelTablesSpreadComponentLevelsIntoPixelBits)
{
    const TColorBitMap map = canvas_tables::ColorBitMapOf(5);
    EXPECT_EQ(canvas_tables::PackColor(0xFF00, 0x1200, 0x00FF, map), 0xFF1200);
    struct Format {
        int format;
        std::int32_t red, green, blue, packed;
    };
    for (const Format& f : std::vector<Format>{{1, 0xABFF, 0xFFFF, 0xFFFF, 0xAB},
                                               {2, 0xFFFF, 0, 0x0800, 0x7C01},
                                               {3, 0, 0xFFFF, 0, 0x07E0},
                                               {4, 0x0100, 0x0200, 0x0300, 0x010203},
                                               {6, 0xFFFF, 0x0020, 0xFFC0, std::int32_t(0xFFE007FFu)},
                                               {0, 0xFFFF, 0xFFFF, 0xFFFF, 0}})
        EXPECT_EQ(canvas_tables::PackColor(f.red, f.green, f.blue, canvas_tables::ColorBitMapOf(f.format)),
                  f.packed)
            << "format " << f.format;
    std::int32_t masks[16];
    canvas_tables::ComponentMasks(map, 2, masks);
    EXPECT_EQ(masks[7], 0);
    EXPECT_EQ(masks[8], 0x100);
    EXPECT_EQ(masks[15], 0x8000);

    const std::vector<std::int32_t> standard = {0, 0, 0x8000, 0xFFFF}, half = {0, 0x8000};
    const Curve full{standard.data(), 2}, flat{half.data(), 1};
    std::vector<std::int32_t> table(canvas_tables::kTableEntries, -1);
    canvas_tables::BuildChannelTable(table.data(), &full, nullptr, &flat, map, 0x123456);
    EXPECT_EQ(table[0], 0x000080);
    EXPECT_EQ(table[0x4000], 0x800080);
    EXPECT_EQ(table[0x8000], 0xFF0080);
    EXPECT_EQ(table[0x8001], 0) << "levels above 0x8000 stay 0";
    EXPECT_EQ(table[0xFFFE], 0);
    EXPECT_EQ(table[0xFFFF], 0x123456) << "nothing drawn shows the background";

    EXPECT_EQ(canvas_tables::DefaultLevel(0xFFFF, 77), 77);
    EXPECT_EQ(canvas_tables::DefaultLevel(1, 77), 0);
    EXPECT_EQ(canvas_tables::DefaultLevel(0x8000, 77), 127);
    EXPECT_EQ(canvas_tables::DefaultLevel(0, 77), 0);
    EXPECT_EQ(canvas_tables::DefaultLevel(0x8001, 77), 0);
}

TEST(CanvasPlanes, LayoutFollowsTheAllocationSteps)
{
    EXPECT_EQ(canvas_planes::PlaneStride(1, 4), 16);
    EXPECT_EQ(canvas_planes::PlaneStride(8, 2), 16);
    EXPECT_EQ(canvas_planes::PlaneStride(9, 2), 32);
    EXPECT_EQ(canvas_planes::PlaneAllocation(1, 16), 0x10000);
    EXPECT_EQ(canvas_planes::PlaneAllocation(4096, 16), 0x10000);
    EXPECT_EQ(canvas_planes::PlaneAllocation(4097, 16), 0x20000);
    EXPECT_EQ(canvas_planes::SpanBufferBytes(0), 0x4000);
    EXPECT_EQ(canvas_planes::SpanBufferBytes(340), 0x4000);
    EXPECT_EQ(canvas_planes::SpanBufferBytes(341), 0x8000);
    EXPECT_THROW(canvas_planes::PlaneAllocation(0x7FFFFFFF, canvas_planes::PlaneStride(0x7FFFFFFF, 4)),
                 EOutOfMemory);
    EXPECT_THROW(canvas_planes::HeapBlock::Allocate(std::int64_t(1) << 62), EOutOfMemory);
}

TEST(CanvasPlanes, ResizingKeepsThePixelsAndFillsWhatIsNew)
{
    struct Case {
        const char* name;
        int bytesPerElement, w0, h0, w1, h1;
    };
    const std::vector<Case> cases = {
        {"wider rows, same block", 2, 20, 10, 60, 12},    {"narrower rows, same block", 4, 60, 10, 7, 9},
        {"wider rows, new block", 4, 100, 100, 300, 120}, {"narrower rows, new block", 2, 3000, 30, 5, 2},
        {"same stride, more rows", 2, 5, 3, 8, 5},
    };
    for (const Case& c : cases) {
        Plane p = Numbered(c.w0, c.h0, c.bytesPerElement);
        p.Resize(c.w1, c.h1, 0xABCD);
        ASSERT_GE(p.Allocated(), p.stride * c.h1) << c.name;
        EXPECT_EQ(p.Allocated() % 0x10000, 0) << c.name;
        for (int y = 0; y < c.h1; ++y)
            for (int x = 0; x < c.w1; ++x) {
                const bool kept = x < c.w0 && y < c.h0;
                const std::uint32_t want =
                    kept ? std::uint32_t(1000 * y + x) & (c.bytesPerElement == 4 ? ~0u : 0xFFFFu) : 0xABCDu;
                ASSERT_EQ(At(p, x, y), want) << c.name << " at " << x << "," << y;
            }
    }
    Plane p = Numbered(4, 4, 2);
    p.Resize(0, 4, 0);
    EXPECT_EQ(p.Allocated(), 0) << "a zero size frees the plane";
    EXPECT_EQ(p.width, 0);
    EXPECT_EQ(p.height, 4);
    // A resize that cannot be had leaves the plane as it was.
    Plane q = Numbered(4, 4, 4);
    EXPECT_THROW(q.Resize(0x40000000, 0x40000000, 0), EOutOfMemory);
    EXPECT_EQ(q.width, 4);
    EXPECT_EQ(At(q, 3, 3), 3003u);
}

// The largest array block given back is kept and handed to the next request it can hold,
// at that request's length; smaller requests and blocks below the reuse size go their own
// way. Every block handed out can be written and read whole.
TEST(CanvasPlanes, AnArrayBlockGivenBackServesTheNextRequestItCanHold)
{
    using canvas_planes::GiveArrayBlock;
    using canvas_planes::TakeArrayBlock;
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    static_assert(canvas_planes::kArrayBlockReuse <= 5 * kMiB);
    auto usable = [](void* block, std::size_t bytes, int seed) {
        auto* bytesAt = static_cast<unsigned char*>(block);
        std::memset(bytesAt, seed, bytes);
        return bytesAt[0] == seed && bytesAt[bytes / 2] == seed && bytesAt[bytes - 1] == seed;
    };
    canvas_planes::ReleaseKeptBlocks();  // whatever was kept before

    void* a = TakeArrayBlock(8 * kMiB);
    void* b = TakeArrayBlock(6 * kMiB);
    ASSERT_TRUE(usable(a, 8 * kMiB, 1));
    ASSERT_TRUE(usable(b, 6 * kMiB, 2));
    GiveArrayBlock(a, 8 * kMiB);
    void* c = TakeArrayBlock(6 * kMiB + 100);
    EXPECT_EQ(c, a) << "a smaller request takes the kept block";
    EXPECT_TRUE(usable(c, 6 * kMiB + 100, 3));
    void* d = TakeArrayBlock(6 * kMiB);
    EXPECT_NE(d, a) << "the kept block went to one request only";
    GiveArrayBlock(b, 6 * kMiB);
    GiveArrayBlock(d, 6 * kMiB);  // no larger than the kept one: given back to the system
    void* e = TakeArrayBlock(7 * kMiB);
    EXPECT_NE(e, b) << "a request larger than the kept block gets a block of its own";
    void* f = TakeArrayBlock(5 * kMiB);
    EXPECT_EQ(f, b);
    EXPECT_TRUE(usable(e, 7 * kMiB, 4));
    EXPECT_TRUE(usable(f, 5 * kMiB, 5));
    void* small = TakeArrayBlock(1000);
    EXPECT_TRUE(usable(small, 1000, 6));
    GiveArrayBlock(small, 1000);
    for (auto [block, bytes] : {std::pair{c, 6 * kMiB + 100}, {e, 7 * kMiB}, {f, 5 * kMiB}})
        GiveArrayBlock(block, bytes);
    void* kept = TakeArrayBlock(7 * kMiB);
    EXPECT_EQ(kept, e) << "the largest block given back is the one kept";
    GiveArrayBlock(kept, 7 * kMiB);
    canvas_planes::ReleaseKeptBlocks();
    void* fresh = TakeArrayBlock(7 * kMiB);
    EXPECT_TRUE(usable(fresh, 7 * kMiB, 7));
    GiveArrayBlock(fresh, 7 * kMiB);
    canvas_planes::ReleaseKeptBlocks();
}

// A small block given back is cleared when it serves the next request of its size: whatever
// its owner wrote, the block reads zero, as fresh memory does; the planes start from it.
TEST(CanvasPlanes, AHeapBlockGivenBackComesBackCleared)
{
    canvas_planes::ReleaseKeptBlocks();
    for (const std::int64_t bytes :
         {canvas_planes::kTableBytes, canvas_planes::kPlaneStep, std::int64_t(3) << 20}) {
        SCOPED_TRACE(bytes);
        auto first = canvas_planes::HeapBlock::Allocate(bytes);
        std::memset(first.Data(), 0xAB, std::size_t(bytes));
        first.Free();
        auto second = canvas_planes::HeapBlock::Allocate(bytes);
        ASSERT_EQ(second.Bytes(), bytes);
        const std::vector<std::uint8_t> zeros(std::size_t(bytes), 0);
        EXPECT_EQ(std::memcmp(second.Data(), zeros.data(), zeros.size()), 0);
    }
    canvas_planes::ReleaseKeptBlocks();
}
