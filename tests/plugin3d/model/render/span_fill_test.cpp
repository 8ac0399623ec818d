#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/cpu_features.h"
#include "plugin3d/model/render/span_fill.h"
#include "plugin3d/model/render/span_kernels.h"

namespace {

constexpr std::int32_t kFar = 0x10000000;
constexpr std::uint16_t kEmpty = 0xFFFF;

// A depth plane and one channel plane of W x H pixels, rows padded so strides differ.
struct Planes {
    static constexpr int W = 12, H = 6;
    static constexpr std::ptrdiff_t kDepthStride = (W + 3) * 4, kChannelStride = (W + 5) * 2;
    std::vector<std::int32_t> depth = std::vector<std::int32_t>(std::size_t(H) * (W + 3), kFar);
    std::vector<std::uint16_t> channel = std::vector<std::uint16_t>(std::size_t(H) * (W + 5), kEmpty);
    std::int32_t& Z(int x, int y) { return depth[std::size_t(y) * (W + 3) + std::size_t(x)]; }
    std::uint16_t& C(int x, int y) { return channel[std::size_t(y) * (W + 5) + std::size_t(x)]; }
    std::int32_t* DepthRow(int y) { return &Z(0, y); }
    std::uint16_t* ChannelRow(int y) { return &C(0, y); }
    // Depths of row y from x0 to x1 inclusive.
    std::vector<std::int32_t> Depths(int y, int x0, int x1)
    {
        std::vector<std::int32_t> out;
        for (int x = x0; x <= x1; ++x) out.push_back(Z(x, y));
        return out;
    }
    std::vector<int> Values(int y, int x0, int x1)
    {
        std::vector<int> out;
        for (int x = x0; x <= x1; ++x) out.push_back(C(x, y));
        return out;
    }
    int Written() const
    {
        int n = 0;
        for (auto z : depth) n += z != kFar;
        return n;
    }
};

TCanvasSpan Span(int left, int right, int leftZ, int rightZ, int leftValue, int rightValue, int channel = 0)
{
    TCanvasSpan s;
    s.leftX = left;
    s.rightX = right;
    s.leftZ = leftZ;
    s.rightZ = rightZ;
    s.channel[channel][0] = leftValue;
    s.channel[channel][1] = rightValue;
    return s;
}

void Fill(Planes& p, const TCanvasSpan& s, bool smooth, int row = 0, int channelOffset = 0)
{
    (smooth ? FillSpansSmooth : FillSpansFlat)(channelOffset, Planes::kDepthStride, Planes::kChannelStride, 1,
                                               p.DepthRow(row), p.ChannelRow(row), &s);
}

// The pixels a line visits, as (x, y) pairs in drawing order, read back from the depth
// plane by giving every step its own depth.
std::vector<std::pair<int, int>> LinePixels(int x0, int x1, int rows)
{
    Planes p;
    TCanvasSpan line = Span(x0, x1, 0, 100000, 0, 0);
    DrawLineSmooth(Planes::kDepthStride, Planes::kChannelStride, rows, p.DepthRow(0), p.ChannelRow(0), &line);
    std::vector<std::pair<int, int>> pixels;
    for (int y = 0; y < Planes::H; ++y)
        for (int x = 0; x < Planes::W; ++x)
            if (p.Z(x, y) != kFar) pixels.push_back({x, y});
    return pixels;
}

}  // namespace

TEST(SpanFill, RampsStepExactlyAndEndOnTheirLastValue)
{
    // Span ramps start their error term at (L + 1) >> 1, table ramps at L >> 1.
    Planes p;
    Fill(p, Span(2, 5, 0, 10, 0, 30), true);
    EXPECT_EQ(p.Depths(0, 2, 5), (std::vector<std::int32_t>{0, 3, 7, 10}));
    EXPECT_EQ(p.Values(0, 2, 5), (std::vector<int>{0, 10, 20, 30}));

    struct Case {
        const char* name;
        int i0;
        std::int32_t a0, a1;
        int i1;
        std::vector<std::int32_t> expected;  // entries 0..4, sentinel 99 where untouched
    };
    const std::vector<Case> cases = {
        {"four entries", 0, 0, 10, 3, {0, 4, 7, 10, 99}},
        {"ends given the other way round", 3, 10, 0, 0, {0, 4, 7, 10, 99}},
        {"falling", 1, 10, 0, 4, {99, 10, 6, 3, 0}},
        {"one entry takes the mean", 2, 5, 6, 2, {99, 99, 5, 99, 99}},
        {"one entry, negative mean rounds down", 2, -3, 0, 2, {99, 99, -2, 99, 99}},
        {"one entry, no overflow", 0, INT_MAX, INT_MAX, 0, {INT_MAX, 99, 99, 99, 99}},
        {"two entries end on a1", 0, 0, 10, 1, {0, 10, 99, 99, 99}},
        {"two equal entries", 3, 7, 7, 4, {99, 99, 99, 7, 7}},
        {"whole int32 range", 0, INT_MIN, INT_MAX, 4, {INT_MIN, -1073741824, 0, 1073741823, INT_MAX}},
    };
    for (const Case& c : cases) {
        std::vector<std::int32_t> entries(5, 99);
        FillRamp(entries.data(), c.i0, c.a0, c.a1, c.i1);
        EXPECT_EQ(entries, c.expected) << c.name;
    }
}

TEST(SpanFill, EdgeRampsWriteOneFieldOfSuccessiveRecords)
{
    struct Case {
        const char* name;
        int n;
        std::int32_t a0, a1;
        std::vector<std::int32_t> expected;  // right depth of records 0..3 (sentinel 99)
    };
    const std::vector<Case> cases = {
        {"three steps", 4, 0, 10, {0, 3, 7, 10}},       {"one record takes a0", 1, 5, 9, {5, 99, 99, 99}},
        {"equal ends", 3, -4, -4, {-4, -4, -4, 99}},    {"no record", 0, 1, 2, {99, 99, 99, 99}},
        {"negative count", -3, 1, 2, {99, 99, 99, 99}},
    };
    for (const Case& c : cases) {
        TCanvasSpan records[4];
        for (auto& r : records) r = Span(99, 99, 99, 99, 99, 99);
        FillEdgeRamp(&records[0].rightZ, c.n, c.a0, c.a1);
        std::vector<std::int32_t> got;
        for (auto& r : records) {
            got.push_back(r.rightZ);
            EXPECT_EQ(r.leftZ, 99) << c.name << ": only the one field is written";
        }
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST(SpanFill, SpansWriteWhereTheyAreNearerOrEqual)
{
    {
        Planes p;
        Fill(p, Span(6, 5, 0, 0, 1, 1), false);
        EXPECT_EQ(p.Written(), 0) << "right x below left x draws nothing";
        Fill(p, Span(4, 4, 77, 900, 5, 6), true);
        EXPECT_EQ(p.Written(), 1);
        EXPECT_EQ(p.Z(4, 0), 77) << "one pixel at left z";
        EXPECT_EQ(p.C(4, 0), 5);
    }
    {
        // Equal depth: the later span wins; a farther one writes nothing.
        Planes p;
        Fill(p, Span(0, 5, 50, 50, 1, 1), false);
        Fill(p, Span(0, 5, 50, 50, 2, 2), false);
        EXPECT_EQ(p.Values(0, 0, 5), std::vector<int>(6, 2));
        Fill(p, Span(0, 5, 51, 51, 3, 3), false);
        EXPECT_EQ(p.Values(0, 0, 5), std::vector<int>(6, 2));
        // A sloping span is written only where it is in front.
        Fill(p, Span(0, 5, 45, 55, 4, 4), false);
        EXPECT_EQ(p.Values(0, 0, 5), (std::vector<int>{4, 4, 4, 2, 2, 2}));
    }
    {
        // Flat spans take the left value; only the low 16 bits are stored; the channel
        // offset picks the pair; rows advance by their own strides.
        Planes p;
        TCanvasSpan rows[2] = {Span(0, 2, 0, 0, 0x12345, 9, 1), Span(1, 3, 0, 0, 7, 9, 1)};
        FillSpansFlat(8, Planes::kDepthStride, Planes::kChannelStride, 2, p.DepthRow(1), p.ChannelRow(1),
                      rows);
        EXPECT_EQ(p.Values(1, 0, 3), (std::vector<int>{0x2345, 0x2345, 0x2345, kEmpty}));
        EXPECT_EQ(p.Values(2, 0, 3), (std::vector<int>{kEmpty, 7, 7, 7}));
    }
}

TEST(SpanFill, LinesVisitOnePixelPerStepAndEndOnTheirEndPoints)
{
    EXPECT_EQ(LinePixels(3, 3, 1), (std::vector<std::pair<int, int>>{{3, 0}})) << "one row, dx = 0";
    EXPECT_TRUE(LinePixels(3, 3, 0).empty()) << "no row";
    const auto shallow = LinePixels(1, 10, 3);
    EXPECT_EQ(shallow.size(), 10u);
    EXPECT_EQ(shallow.front(), std::make_pair(1, 0));
    EXPECT_EQ(shallow.back(), std::make_pair(10, 2));
    const auto steep = LinePixels(7, 5, 6);
    EXPECT_EQ(steep.size(), 6u);
    EXPECT_EQ(steep.front(), std::make_pair(7, 0));
    EXPECT_EQ(steep.back(), std::make_pair(5, 5));

    // Depth and value ramp along the line; flat lines keep the left value.
    Planes p;
    TCanvasSpan line = Span(0, 3, 0, 30, 100, 130);
    DrawLineSmooth(Planes::kDepthStride, Planes::kChannelStride, 4, p.DepthRow(0), p.ChannelRow(0), &line);
    EXPECT_EQ((std::vector<int>{p.C(0, 0), p.C(1, 1), p.C(2, 2), p.C(3, 3)}),
              (std::vector<int>{100, 110, 120, 130}));
    EXPECT_EQ(p.Z(3, 3), 30);
    line = Span(0, 3, 0, 30, 7, 130);
    DrawLineFlat(Planes::kDepthStride, Planes::kChannelStride, 4, p.DepthRow(0), p.ChannelRow(0), &line);
    EXPECT_EQ((std::vector<int>{p.C(0, 0), p.C(1, 1), p.C(2, 2), p.C(3, 3)}), (std::vector<int>{7, 7, 7, 7}));
}

TEST(SpanFill, InterpolationAndLookupsKeepTheirPrecision)
{
    // Vertices reach +-2^30 beside the centre offset: differences need 64 bits and more.
    const TCanvasVertex a{-(1 << 30), 5, -(1 << 30), 0, 9, 4};
    const TCanvasVertex b{(1 << 30) + 960, 5, 1 << 30, 65535, 9, 8};
    TCanvasVertex out{1, 2, 3, 4, 5, 6};
    InterpolateVertex(a, b, out, false, 0);
    EXPECT_EQ(out.x, 0);
    EXPECT_EQ(out.y, 5) << "equal ends are copied";
    EXPECT_EQ(out.z, -480);
    EXPECT_EQ(out.c1, 32767);
    EXPECT_EQ(out.c2, 9);
    EXPECT_EQ(out.c3, 5) << "truncated towards zero";
    const TCanvasVertex p{1 << 30, -(1 << 30) - 540, 0, 0, 0, 0}, q{-(1 << 30), (1 << 30) + 540, 0, 0, 0, 0};
    TCanvasVertex byY = p;
    InterpolateVertex(p, q, byY, true, 1000);
    EXPECT_EQ(byY.x, -999);
    EXPECT_EQ(byY.y, 1000);
    TCanvasVertex level{1, 2, 3, 4, 5, 6};
    InterpolateVertex(a, a, level, false, 77);
    EXPECT_EQ(level.x, 77) << "a and b at the same x: only x is set";
    EXPECT_EQ(level.z, 3);

    const std::int32_t one[] = {100, 200};
    EXPECT_EQ(BreakpointLookup(100, one, 1), 0) << "a single pair gives 0";
    const std::int32_t ramp[] = {0, 0, 32768, 65535};
    EXPECT_EQ(BreakpointLookup(16384, ramp, 2), 32767);
    const std::int32_t table[] = {-10, 5, 0, 7, 0, 9, 10, -100, INT_MAX, INT_MAX};
    struct Lookup {
        std::int32_t x, expected;
    };
    for (const Lookup& l : std::vector<Lookup>{{INT_MIN, 5},
                                               {-10, 5},
                                               {-5, 6},
                                               {10, -100},
                                               {5, -45},
                                               {INT_MAX, INT_MAX},
                                               {1000000000, 999999941}})
        EXPECT_EQ(BreakpointLookup(l.x, table, 5), l.expected) << "x = " << l.x;
    const std::int32_t wide[] = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_EQ(BreakpointLookup(0, wide, 2), 0);

    const std::int32_t light[3] = {0x100000, 0x200000, 0};
    EXPECT_EQ(LightDot(light, TCanvasVertex{0, 0, 0, 5, 3, 99}), 11);
    const std::int32_t wrapping[3] = {INT_MAX, 0, 0};
    EXPECT_EQ(LightDot(wrapping, TCanvasVertex{0, 0, 0, 2, 0, 0}), -1) << "products wrap in 32 bits";
}

TEST(SpanFill, LevelsSpreadIntoPixelBitsAndChannelsPackIntoPixels)
{
    std::int32_t masks[16] = {};
    masks[0] = 0x1;
    masks[8] = 0x100 | 0x10000;
    masks[15] = INT_MIN;
    const std::int32_t levels[] = {0, 1, 0x100, 0x8101, 0x10000};
    std::int32_t out[] = {0x40, 0, 0, 0, 0};
    SpreadBits(levels, out, masks, 5);
    EXPECT_EQ(out[0], 0x40) << "ORed into what is there";
    EXPECT_EQ(out[1], 0x1);
    EXPECT_EQ(out[2], 0x10100);
    EXPECT_EQ(std::uint32_t(out[3]), 0x80010101u);
    EXPECT_EQ(out[4], 0) << "bits above 15 carry nothing";

    std::vector<std::int32_t> table(65536, 0);
    table[1] = 0x04030201;
    table[2] = 0x08070605;
    const std::uint16_t channels[] = {1, 2, 0, 0};  // two rows of two, stride 4 bytes
    using Map =
        void (*)(const std::uint16_t*, void*, const std::int32_t*, std::ptrdiff_t, std::ptrdiff_t, int, int);
    struct Case {
        const char* name;
        Map map;
        int bytes;
        std::vector<std::uint8_t> firstRow;  // 8 bytes: two pixels and what follows
    };
    const std::vector<Case> cases = {
        {"8", MapChannelRows8, 1, {0x81, 0x85, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"16", MapChannelRows16, 2, {0x81, 0x82, 0x85, 0x86, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"24 leaves the fourth byte alone",
         MapChannelRows24,
         3,
         {0x81, 0x82, 0x83, 0x85, 0x86, 0x87, 0xEE, 0xEE}},
        {"32", MapChannelRows32, 4, {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88}},
    };
    for (const Case& c : cases) {
        // The pixels hold 0x80 already: the map ORs into them.
        std::vector<std::uint8_t> pixels(16, 0xEE);
        for (int i = 0; i < 2 * c.bytes; ++i) pixels[std::size_t(i)] = 0x80;
        c.map(channels, pixels.data(), table.data(), 8, 4, 1, 2);
        EXPECT_EQ(std::vector<std::uint8_t>(pixels.begin(), pixels.begin() + 8), c.firstRow) << c.name;
        EXPECT_EQ(std::vector<std::uint8_t>(pixels.begin() + 8, pixels.end()),
                  std::vector<std::uint8_t>(8, 0xEE))
            << c.name << ": one row only";
    }
}

namespace {

// The ramp rule of span_fill.h written out plainly: value at each of the L + 1 pixels.
std::vector<std::uint32_t> PlainRamp(std::int32_t a0, std::int32_t a1, std::int64_t steps)
{
    const std::int64_t diff = std::int64_t(a1) - a0, d = diff < 0 ? -diff : diff;
    const std::int64_t q = d / steps, r = d % steps, s = diff < 0 ? -1 : 1;
    std::int64_t error = (steps + 1) / 2;
    std::uint32_t value = std::uint32_t(a0);
    std::vector<std::uint32_t> out;
    for (std::int64_t i = 0; i <= steps; ++i) {
        out.push_back(value);
        value += std::uint32_t(s * q);
        error -= r;
        if (error <= 0) {
            value += std::uint32_t(s);
            error += steps;
        }
    }
    return out;
}

}  // namespace

// Long spans take the vector fill where the processor has one: every length around its
// groups of eight, ramps over the whole int32 range in both directions, values past 16 bits
// and a stored depth that alternates in front and behind, against the plain rule, with the
// vector paths on and off.
TEST(SpanFill, LongSpansOfEveryChannelCountMatchThePlainRule)
{
    struct Case {
        int length;
        std::int32_t leftZ, rightZ;
        std::int32_t value[3][2];
    };
    const Case cases[] = {
        {23, 10, 40, {{0, 0x8000}, {5, 5}, {0x8000, 0}}},
        {24, 40, 10, {{7, 100}, {0x12345, 0x54321}, {3, 2}}},
        {25, 0, 1000000, {{0x8000, 1}, {0, 0x8000}, {9, 9}}},
        {32, -2147483647, 2147483646, {{-70000, 70000}, {1, 0x7FFF}, {0x8000, 0x7FFF}}},
        {33, 2147483640, -2147483640, {{0, 1}, {1, 0}, {100, 200}}},
        {57, 5, 5, {{0, 0x8000}, {0x8000, 0}, {1234, 4321}}},
        {1031, 100, 900000, {{0, 0x8000}, {0x8000, 0}, {0, 33}}},
    };
    constexpr int kWidth = 1100;
    for (const bool vector : {true, false}) {
        platform::SetAvx2Paths(vector);
        for (const Case& c : cases)
            for (int channels = 1; channels <= 3; ++channels)
                for (const bool smooth : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << "length " << c.length << ", " << channels << " channels"
                                 << (smooth ? ", smooth" : ", flat") << (vector ? "" : ", scalar"));
                    const int left = 3, right = left + c.length - 1;
                    TCanvasSpan span = Span(left, right, c.leftZ, c.rightZ, 0, 0);
                    for (int k = 0; k < 3; ++k) {
                        span.channel[k][0] = c.value[k][0];
                        span.channel[k][1] = c.value[k][1];
                    }
                    const std::vector<std::uint32_t> z = PlainRamp(c.leftZ, c.rightZ, c.length - 1);
                    std::vector<std::int32_t> depth(kWidth), expectedDepth(kWidth);
                    std::vector<std::uint16_t> planes[3], expected[3];
                    for (int x = 0; x < kWidth; ++x) {
                        // In front of the span at some pixels, behind it at others.
                        const std::int64_t at = x - left;
                        depth[std::size_t(x)] = at >= 0 && at < c.length && x % 3 == 0
                                                    ? std::int32_t(z[std::size_t(at)]) - (x % 2)
                                                    : kFar;
                    }
                    expectedDepth = depth;
                    for (int k = 0; k < 3; ++k)
                        planes[k] = expected[k] = std::vector<std::uint16_t>(kWidth, 77);
                    for (int k = 0; k < channels; ++k) {
                        const std::vector<std::uint32_t> v =
                            PlainRamp(c.value[k][0], smooth ? c.value[k][1] : c.value[k][0], c.length - 1);
                        for (int i = 0; i < c.length; ++i) {
                            const auto x = std::size_t(left + i);
                            if (std::int32_t(z[std::size_t(i)]) > depth[x]) continue;
                            expected[k][x] = std::uint16_t(v[std::size_t(i)]);
                        }
                    }
                    for (int i = 0; i < c.length; ++i) {
                        const auto x = std::size_t(left + i);
                        if (std::int32_t(z[std::size_t(i)]) <= depth[x])
                            expectedDepth[x] = std::int32_t(z[std::size_t(i)]);
                    }
                    canvas_kernels::ChannelRows rows;
                    rows.count = channels;
                    for (int k = 0; k < channels; ++k) {
                        rows.row[k] = planes[k].data();
                        rows.stride[k] = kWidth * 2;
                    }
                    canvas_kernels::FillSpanRows(smooth, depth.data(), kWidth * 4, rows, 1, &span);
                    EXPECT_EQ(depth, expectedDepth);
                    for (int k = 0; k < 3; ++k) EXPECT_EQ(planes[k], expected[k]) << "channel " << k;
                }
    }
    platform::SetAvx2Paths(true);
}
