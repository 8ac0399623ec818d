#include <cstdint>
#include <functional>
#include <random>
#include <utility>
#include <regex>
#include <vector>

#include <gtest/gtest.h>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/render/canvas3d.h"
#include "plugin3d/model/render/intensity_transformer.h"

namespace {

// The canvas painted into 32-bit pixels.
std::vector<std::uint32_t> Paint(TKCanvas3D& canvas)
{
    std::vector<std::uint32_t> pixels(std::size_t(canvas.Width()) * canvas.Height(), 0xEEEEEEEE);
    canvas.PaintTo({pixels.data(), canvas.Width(), canvas.Height(), 4, std::int64_t(canvas.Width()) * 4});
    return pixels;
}

std::int32_t Depth(TKCanvas3D& canvas, int x, int y)
{
    canvas.Flush();
    return canvas.DepthRow(y)[x];
}

int Value(TKCanvas3D& canvas, int n, int x, int y)
{
    canvas.Flush();
    return canvas.ChannelRow(n, y)[x];
}

using Canvas = TOwned<TKCanvas3D>;
using Curve = TOwned<TKCnv3DIITransformer>;

TCanvasVertex V(int x, int y, int z, int c1 = 0, int c2 = 0, int c3 = 0)
{
    return {x, y, z, c1, c2, c3};
}

}  // namespace

TEST(Canvas3D, StartsEmptyAndSizesItsPlanes)
{
    Canvas first(TKCanvas3D::New()), second(TKCanvas3D::New());
    const std::regex name(R"(TKCanvas3D #(\d+)/ PrID #\d+/ ThID #\d+/ Time #\d+)");
    std::smatch a, b;
    ASSERT_TRUE(std::regex_match(first->Name(), a, name)) << first->Name();
    ASSERT_TRUE(std::regex_match(second->Name(), b, name)) << second->Name();
    EXPECT_EQ(std::stoll(b[1]), std::stoll(a[1]) + 1) << "n counts the canvases made before";
    ASSERT_NE(CanvasesList(), nullptr);
    EXPECT_EQ(CanvasesList()->Name(), "Global List of KCanvas3D");
    EXPECT_GE(CanvasesList()->IndexOf(first.get()), 0);
    TKCanvas3D* gone = second.get();
    second.reset();
    EXPECT_EQ(CanvasesList()->IndexOf(gone), -1) << "a freed canvas leaves the list";

    Canvas owned(TKCanvas3D::New());
    TKCanvas3D& canvas = *owned;
    EXPECT_TRUE(canvas.IsEmpty());
    canvas.DrawTriangle(V(0, 0, 5), V(9, 0, 5), V(0, 9, 5));  // ignored while empty
    canvas.Clear();
    canvas.SetSize(-5, 10);
    EXPECT_FALSE(canvas.IsEmpty());
    EXPECT_EQ(canvas.Width(), 0);
    EXPECT_EQ(canvas.Height(), 10);
    EXPECT_TRUE(canvas.GetChannelEnabled(1)) << "a sized canvas has at least channel 1";
    EXPECT_FALSE(canvas.GetChannelEnabled(2));
    EXPECT_FALSE(canvas.GetChannelEnabled(0));
    EXPECT_FALSE(canvas.GetChannelEnabled(4));
    EXPECT_NE(canvas.GetChannelTable(1), nullptr);
    EXPECT_EQ(canvas.GetChannelTable(2), nullptr);

    // Planes keep their pixels across a resize in either stride direction.
    canvas.SetSize(6, 4);
    EXPECT_EQ(Depth(canvas, 5, 3), TKCanvas3D::kFarDepth);
    EXPECT_EQ(Value(canvas, 1, 5, 3), 0xFFFF);
    canvas.DrawPoint(V(5, 3, 0x10000000, 77));
    canvas.SetSize(40, 5);
    EXPECT_EQ(Value(canvas, 1, 5, 3), 77);
    EXPECT_EQ(Value(canvas, 1, 39, 4), 0xFFFF);
    canvas.SetSize(6, 4);
    EXPECT_EQ(Value(canvas, 1, 5, 3), 77);
}

// A channel's default table holds canvas_tables::DefaultLevel of every channel value, with the
// background the canvas has when the table is made.
TEST(Canvas3D, DefaultTablesHoldTheDefaultLevelOfEveryValue)
{
    for (const std::int32_t background : {0, 0x123456, -1}) {
        SCOPED_TRACE(background);
        Canvas owned(TKCanvas3D::New());
        owned->SetBackgroundValue(background);
        owned->SetSize(3, 2);
        owned->SetChannelEnabled(3, true);
        for (const int n : {1, 3}) {
            const std::int32_t* table = owned->GetChannelTable(n);
            ASSERT_NE(table, nullptr);
            int wrong = 0;
            for (std::int32_t v = 0; v < canvas_tables::kTableEntries; ++v)
                if (table[v] != canvas_tables::DefaultLevel(v, background) && ++wrong <= 3)
                    ADD_FAILURE() << "channel " << n << ", value " << v << ": " << table[v];
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(Canvas3D, SizesThatCannotBeHadLeaveTheCanvasEmpty)
{
    Canvas owned(TKCanvas3D::New());
    TKCanvas3D& canvas = *owned;
    canvas.SetSize(8, 8);
    EXPECT_THROW(canvas.SetSize(0x7FFFFFFF, 0x7FFFFFFF), EOutOfMemory);
    EXPECT_TRUE(canvas.IsEmpty());
    EXPECT_EQ(canvas.Width(), 0);
    canvas.DrawTriangle(V(0, 0, 5), V(9, 0, 5), V(0, 9, 5));
    EXPECT_THROW(canvas.SetSize(0x40000000, 0x40000000), EOutOfMemory);
    canvas.SetSize(8, 8);
    EXPECT_FALSE(canvas.IsEmpty());
    EXPECT_EQ(Depth(canvas, 7, 7), TKCanvas3D::kFarDepth);
}

TEST(Canvas3D, DepthDecidesWhatIsDrawn)
{
    Canvas owned(TKCanvas3D::New());
    TKCanvas3D& canvas = *owned;
    canvas.SetSize(16, 16);
    // One vertex nearer than the near depth drops the whole triangle.
    canvas.DrawTriangle(V(0, 0, 0, 100), V(15, 0, 50, 100), V(0, 15, 50, 100));
    EXPECT_EQ(Depth(canvas, 1, 1), TKCanvas3D::kFarDepth);
    // Equal depth: the later triangle covers the earlier; a point at that depth is drawn
    // but leaves the depth alone, a point behind it is not drawn.
    canvas.DrawTriangle(V(0, 0, 50, 100), V(15, 0, 50, 100), V(0, 15, 50, 100));
    canvas.DrawTriangle(V(0, 0, 50, 200), V(15, 0, 50, 200), V(0, 15, 50, 200));
    EXPECT_EQ(Value(canvas, 1, 2, 2), 200);
    canvas.DrawPoint(V(2, 2, 50, 300));
    canvas.DrawPoint(V(3, 3, 51, 400));
    EXPECT_EQ(Value(canvas, 1, 2, 2), 300);
    EXPECT_EQ(Depth(canvas, 2, 2), 50);
    EXPECT_EQ(Value(canvas, 1, 3, 3), 200);
    // A line at equal depth covers too; flat lines take the mean of their ends.
    canvas.DrawLine(V(0, 5, 50, 1000), V(5, 5, 50, 2001));
    EXPECT_EQ(Value(canvas, 1, 0, 5), 1500);
    EXPECT_EQ(Value(canvas, 1, 5, 5), 1500);
    canvas.SetSmooth(true);
    canvas.DrawLine(V(0, 6, 50, 1000), V(5, 6, 50, 2000));
    EXPECT_EQ(Value(canvas, 1, 0, 6), 1000);
    EXPECT_EQ(Value(canvas, 1, 5, 6), 2000);
    canvas.Clear();
    EXPECT_EQ(Depth(canvas, 2, 2), TKCanvas3D::kFarDepth);
    EXPECT_EQ(Value(canvas, 1, 2, 2), 0xFFFF);
}

TEST(Canvas3D, ChannelsAndTablesMakeThePixels)
{
    const TColorBitMap map = canvas_tables::ColorBitMapOf(5);
    Canvas owned(TKCanvas3D::New());
    TKCanvas3D& canvas = *owned;
    canvas.SetSize(4, 2);
    canvas.SetBackgroundColor(0x1200, 0x3400, 0x5600, map);
    EXPECT_EQ(canvas.BackgroundValue(), 0x123456);
    EXPECT_EQ(canvas.GetChannelTable(1)[0xFFFF], 0x123456) << "the background goes into the tables";
    EXPECT_EQ(canvas.GetChannelTable(1)[0x8000], 0x7F) << "default levels";
    EXPECT_EQ(Paint(canvas), std::vector<std::uint32_t>(8, 0x123456));

    // Red from channel 1 through the default curve, blue from channel 2 through one point.
    Curve standard(TKCnv3DIITransformer::New()), single(TKCnv3DIITransformer::New());
    standard->AddPoint(0, 0);
    standard->AddPoint(0x8000, 0xFFFF);
    single->AddPoint(0x300, 0x4000);
    canvas.BuildChannelTable(1, standard.get(), nullptr, nullptr, map);
    EXPECT_EQ(canvas.GetChannelTable(1)[0x4000], 0x800000);
    EXPECT_EQ(canvas.GetChannelTable(1)[0x8000], 0xFF0000);
    EXPECT_EQ(canvas.GetChannelTable(1)[0x9000], 0);
    canvas.DrawPoint(V(1, 0, 10, 0x4000, 0x8000));
    EXPECT_EQ(Paint(canvas)[1], 0x800000u);

    // A fresh channel is 0 everywhere: it shows its entry 0 until the next clear.
    canvas.SetChannelEnabled(2, true);
    EXPECT_TRUE(canvas.GetChannelEnabled(2));
    canvas.BuildChannelTable(2, nullptr, nullptr, single.get(), map);
    EXPECT_EQ(canvas.GetChannelTable(2)[0], 0x40);
    EXPECT_EQ(canvas.GetChannelTable(2)[0x8000], 0x40);
    auto pixels = Paint(canvas);
    EXPECT_EQ(pixels[0], 0x123456u | 0x40u);
    EXPECT_EQ(pixels[1], 0x800000u | 0x40u);
    canvas.Clear();
    canvas.DrawPoint(V(1, 0, 10, 0x4000, 0x8000));
    pixels = Paint(canvas);
    EXPECT_EQ(pixels[0], 0x123456u);
    EXPECT_EQ(pixels[1], 0x800040u);

    // Tables from a function; switching a channel off drops plane and table.
    int offset = 5;
    canvas.FillChannelTable(
        2, [](void* context, std::int32_t i) { return *static_cast<int*>(context) + i; }, &offset);
    EXPECT_EQ(canvas.GetChannelTable(2)[7], 12);
    canvas.FillChannelTable(2, nullptr, nullptr);
    EXPECT_EQ(canvas.GetChannelTable(2)[0x8000], 0x7F);
    canvas.SetChannelEnabled(2, false);
    EXPECT_FALSE(canvas.GetChannelEnabled(2));
    EXPECT_EQ(canvas.GetChannelTable(2), nullptr);
    EXPECT_EQ(Paint(canvas)[1], 0x800000u);
}

TEST(Canvas3D, PaintingWritesOnlyInsideTheTarget)
{
    Canvas owned(TKCanvas3D::New());
    TKCanvas3D& canvas = *owned;
    canvas.SetSize(3, 2);
    canvas.SetBackgroundValue(0x0A0B0C0D);
    struct Case {
        const char* name;
        int width, height, bytesPerPixel;
        std::int64_t stride;
        std::vector<std::uint8_t> expected;  // the 24-byte block after painting
    };
    const std::uint8_t E = 0xEE;
    const std::vector<Case> cases = {
        {"three bytes a pixel, a spare byte after each row", 3, 2, 3, 12, {0x0D, 0x0C, 0x0B, 0x0D, 0x0C, 0x0B,
                                                                           0x0D, 0x0C, 0x0B, E,    E,    E,
                                                                           0x0D, 0x0C, 0x0B, 0x0D, 0x0C, 0x0B,
                                                                           0x0D, 0x0C, 0x0B, E,    E,    E}},
        {"a smaller target", 2, 1, 2, 8, {0x0D, 0x0C, 0x0D, 0x0C, E, E, E, E, E, E, E, E,
                                          E,    E,    E,    E,    E, E, E, E, E, E, E, E}},
        {"one byte a pixel", 4, 3, 1, 4, {0x0D, 0x0D, 0x0D, E, 0x0D, 0x0D, 0x0D, E, E, E, E, E,
                                          E,    E,    E,    E, E,    E,    E,    E, E, E, E, E}},
        {"rows closer than the pixels", 3, 2, 4, 8, std::vector<std::uint8_t>(24, E)},
        {"five bytes a pixel", 3, 2, 5, 12, std::vector<std::uint8_t>(24, E)},
        {"no bytes a pixel", 3, 2, 0, 12, std::vector<std::uint8_t>(24, E)},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> block(24, E);
        canvas.PaintTo({block.data(), c.width, c.height, c.bytesPerPixel, c.stride});
        EXPECT_EQ(block, c.expected) << c.name;
    }
    canvas.PaintTo({nullptr, 3, 2, 4, 12});  // a null target: nothing happens
}

TEST(Canvas3D, ALineWithNoChannelWritesNothingNotEvenDepth)
{
    Canvas owned(TKCanvas3D::New());
    TKCanvas3D& canvas = *owned;
    canvas.SetSize(4, 1);
    canvas.SetChannelEnabled(1, false);
    ASSERT_FALSE(canvas.GetChannelEnabled(1));
    canvas.DrawLine(V(0, 0, 7), V(3, 0, 7));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Depth(canvas, x, 0), TKCanvas3D::kFarDepth) << x;
    // With a channel the same line draws, depth and all.
    canvas.SetChannelEnabled(1, true);
    canvas.DrawLine(V(0, 0, 7, 100), V(3, 0, 7, 100));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Depth(canvas, x, 0), 7) << x;
}

// A sliver clipped at the left and at the right edge: its pixels are its own, whatever was
// drawn before it (behind it, so that what it covers shows its own value).
TEST(Canvas3D, ATriangleClippedAtBothSidesDrawsTheSamePixelsAfterAnyPrimitive)
{
    const auto sliver = [](TKCanvas3D& canvas) {
        canvas.DrawTriangle(V(1, 2, 5, 100), V(-2, 1, 5, 100), V(2, 3, 5, 100));
    };
    const auto covered = [](TKCanvas3D& canvas) {
        std::vector<std::pair<int, int>> pixels;
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x)
                if (Value(canvas, 1, x, y) == 100) pixels.emplace_back(x, y);
        return pixels;
    };
    const std::function<void(TKCanvas3D&)> before[] = {
        [](TKCanvas3D&) {},
        [](TKCanvas3D& c) { c.DrawTriangle(V(-50, -50, 9, 7), V(60, -40, 9, 7), V(0, 80, 9, 7)); },
        [](TKCanvas3D& c) { c.DrawTriangle(V(0, 0, 9000, 7), V(1, 0, 9000, 7), V(1, 2, 9000, 7)); },
        [](TKCanvas3D& c) { c.DrawLine(V(-5, 0, 9, 7), V(6, 2, 9, 7)); },
    };
    std::vector<std::vector<std::pair<int, int>>> results;
    for (const auto& first : before) {
        Canvas owned(TKCanvas3D::New());
        TKCanvas3D& canvas = *owned;
        canvas.SetSize(2, 3);
        first(canvas);
        sliver(canvas);
        results.push_back(covered(canvas));
    }
    EXPECT_FALSE(results[0].empty());
    EXPECT_EQ(results[1], results[0]) << "after a large triangle";
    EXPECT_EQ(results[2], results[0]) << "after a line";
    EXPECT_EQ(results[3], results[0]) << "after a small triangle";

    // Random triangles past both side edges of a small canvas: each draws the same pixels
    // alone as after a large triangle.
    std::mt19937 random(20261211);
    const auto coordinate = [&](int from, int to) { return from + int(random() % unsigned(to - from + 1)); };
    for (int round = 0; round < 2000; ++round) {
        const TCanvasVertex a = V(coordinate(-12, 0), coordinate(-3, 10), 5, 100),
                            b = V(coordinate(-4, 10), coordinate(-3, 10), 5, 100),
                            c = V(coordinate(5, 17), coordinate(-3, 10), 5, 100);
        std::vector<std::pair<int, int>> alone, after;
        for (bool poisoned : {false, true}) {
            Canvas owned(TKCanvas3D::New());
            TKCanvas3D& canvas = *owned;
            canvas.SetSize(6, 7);
            if (poisoned) canvas.DrawTriangle(V(-50, -50, 9, 7), V(60, -40, 9, 7), V(0, 80, 9, 7));
            canvas.DrawTriangle(a, b, c);
            (poisoned ? after : alone) = covered(canvas);
        }
        ASSERT_EQ(after, alone) << "round " << round << ": (" << a.x << "," << a.y << ") (" << b.x << ","
                                << b.y << ") (" << c.x << "," << c.y << ")";
    }
}
