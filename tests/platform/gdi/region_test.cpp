#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "platform/geometry.h"
#include "platform/gdi/region.h"

using platform::SpanRegion;

namespace {

// Plain pixel sets over a fixed window: the reference every region result is held to.
constexpr int kLo = -8, kHi = 136, kSize = kHi - kLo;

struct PixelSet {
    std::vector<std::uint8_t> in = std::vector<std::uint8_t>(std::size_t(kSize) * kSize, 0);
    std::uint8_t& at(int x, int y) { return in[std::size_t(y - kLo) * kSize + (x - kLo)]; }
    bool has(int x, int y) const { return in[std::size_t(y - kLo) * kSize + (x - kLo)] != 0; }
};

PixelSet PixelsOf(HRGN r)
{
    PixelSet s;
    const SpanRegion spans = GetRgnSpans(r);
    for (int y = kLo; y < kHi; ++y)
        for (int x = kLo; x < kHi; ++x) s.at(x, y) = spans.Contains(x, y) ? 1 : 0;
    return s;
}

// Winding number of the pixel centre (x + 1/2, y + 1/2), in exact integer arithmetic: an
// edge counts when the centre row lies in its half-open y range and it crosses strictly
// right of the centre (so a centre on a left edge is in, on a right edge out).
int Winding(const std::vector<POINT>& pts, int x, int y)
{
    int w = 0;
    const std::int64_t cx2 = 2 * std::int64_t(x) + 1, cy2 = 2 * std::int64_t(y) + 1;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const POINT a = pts[i], b = pts[(i + 1) % pts.size()];
        const std::int64_t ay = 2 * std::int64_t(a.y), by = 2 * std::int64_t(b.y);
        const bool down = ay <= cy2 && cy2 < by, up = by <= cy2 && cy2 < ay;
        if (!down && !up) continue;
        const std::int64_t dx = b.x - a.x, dy = b.y - a.y;
        // sign of (xcross - cx) * dy
        const std::int64_t side = (2 * std::int64_t(a.x) - cx2) * dy + (cy2 - ay) * dx;
        if ((dy > 0 && side > 0) || (dy < 0 && side < 0)) w += down ? 1 : -1;
    }
    return w;
}

PixelSet PolygonPixels(const std::vector<POINT>& pts, int mode)
{
    PixelSet s;
    for (int y = kLo; y < kHi; ++y)
        for (int x = kLo; x < kHi; ++x) {
            const int w = Winding(pts, x, y);
            s.at(x, y) = mode == WINDING ? w != 0 : (w & 1) != 0;
        }
    return s;
}

void ExpectSame(const PixelSet& expected, HRGN r, const char* what)
{
    std::int64_t count = 0;
    RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    int wrong = 0;
    const SpanRegion spans = GetRgnSpans(r);
    for (int y = kLo; y < kHi; ++y)
        for (int x = kLo; x < kHi; ++x) {
            const bool e = expected.has(x, y);
            if (e != spans.Contains(x, y) && ++wrong <= 5) ADD_FAILURE() << what << ": pixel " << x << "," << y;
            if (e) {
                ++count;
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                       std::max<LONG>(box.bottom, y + 1)};
            }
        }
    EXPECT_EQ(wrong, 0) << what;
    EXPECT_EQ(PtInRegion(r, kLo, kLo) != 0, expected.has(kLo, kLo));
    EXPECT_EQ(GetRgnArea(r), count) << what;
    RECT got{};
    const int kind = GetRgnBox(r, &got);
    if (count == 0) {
        EXPECT_EQ(kind, NULLREGION) << what;
    } else {
        EXPECT_NE(kind, NULLREGION) << what;
        EXPECT_EQ(got.left, box.left) << what;
        EXPECT_EQ(got.top, box.top) << what;
        EXPECT_EQ(got.right, box.right) << what;
        EXPECT_EQ(got.bottom, box.bottom) << what;
    }
    // The span walk visits exactly the region's pixels, rows in order.
    std::int64_t walked = 0;
    int lastY = INT32_MIN;
    for (platform::RegionRow row : spans.Rows()) {
        EXPECT_GT(row.y, lastY);
        lastY = row.y;
        int lastX = INT32_MIN;
        for (const platform::Span& s : row.spans) {
            EXPECT_LT(lastX, s.x0) << "spans sorted and disjoint";
            EXPECT_LT(s.x0, s.x1);
            lastX = s.x1;
            for (int x = s.x0; x < s.x1; ++x) EXPECT_TRUE(expected.has(x, row.y)) << what;
            walked += s.x1 - s.x0;
        }
    }
    EXPECT_EQ(walked, count) << what;
}

std::vector<POINT> RandomPolygon(std::mt19937& rng, int n, int lo, int hi)
{
    std::uniform_int_distribution<int> d(lo, hi);
    std::vector<POINT> pts(static_cast<std::size_t>(n));
    for (auto& p : pts) p = {d(rng), d(rng)};
    return pts;
}

std::vector<POINT> Star(int spikes, double outer, double inner, double cx, double cy)
{
    std::vector<POINT> pts;
    for (int i = 0; i < 2 * spikes; ++i) {
        const double a = M_PI * i / spikes, r = (i & 1) ? inner : outer;
        pts.push_back({LONG(std::lround(cx + r * std::cos(a))), LONG(std::lround(cy + r * std::sin(a)))});
    }
    return pts;
}

HRGN RandomRegion(std::mt19937& rng)
{
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    std::uniform_int_distribution<int> c(-4, 120), kind(0, 3);
    for (int k = 0; k < 6; ++k) {
        HRGN part = nullptr;
        if (kind(rng) == 0) {
            const auto pts = RandomPolygon(rng, 7, -4, 120);
            part = CreatePolygonRgn(pts.data(), int(pts.size()), WINDING);
        } else {
            part = CreateRectRgn(c(rng), c(rng), c(rng), c(rng));
        }
        CombineRgn(r, r, part, kind(rng) == 1 ? RGN_XOR : RGN_OR);
        DeleteObject(part);
    }
    return r;
}

}  // namespace

TEST(Region, RectanglesKeepTheirRightAndBottomEdgesOut)
{
    HRGN r = CreateRectRgn(10, 20, 0, 5);  // corners in any order
    RECT box{};
    EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 5);
    EXPECT_EQ(box.right, 10);
    EXPECT_EQ(box.bottom, 20);
    EXPECT_EQ(GetRgnArea(r), 150);
    EXPECT_TRUE(PtInRegion(r, 0, 5));
    EXPECT_FALSE(PtInRegion(r, 10, 5));
    EXPECT_FALSE(PtInRegion(r, 0, 20));

    HRGN empty = CreateRectRgn(3, 3, 3, 9);
    EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);
    EXPECT_EQ(box.left | box.top | box.right | box.bottom, 0);
    // Combining with the empty region, and a region with itself (the one-rectangle test).
    EXPECT_EQ(CombineRgn(empty, r, empty, RGN_OR), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(r, r, r, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(r, r, r, RGN_DIFF), NULLREGION);
    EXPECT_EQ(CombineRgn(r, r, nullptr, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(r, r, r, 9), ERROR);
    EXPECT_TRUE(DeleteObject(r));
    EXPECT_FALSE(DeleteObject(r)) << "a deleted handle is refused, not reused";
    EXPECT_EQ(GetRgnBox(r, &box), ERROR);
    DeleteObject(empty);
}

TEST(Region, CombineMatchesPixelSetsForEveryMode)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 16; ++round) {
        HRGN a = RandomRegion(rng), b = RandomRegion(rng);
        const PixelSet pa = PixelsOf(a), pb = PixelsOf(b);
        for (int mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY}) {
            HRGN d = CreateRectRgn(0, 0, 1, 1);
            const int kind = CombineRgn(d, a, b, mode);
            PixelSet expected;
            for (int y = kLo; y < kHi; ++y)
                for (int x = kLo; x < kHi; ++x) {
                    const bool ia = pa.has(x, y), ib = pb.has(x, y);
                    expected.at(x, y) = mode == RGN_AND   ? ia && ib
                                        : mode == RGN_OR  ? ia || ib
                                        : mode == RGN_XOR ? ia != ib
                                        : mode == RGN_DIFF ? ia && !ib
                                                           : ia;
                }
            const std::string what = "round " + std::to_string(round) + " mode " + std::to_string(mode);
            ExpectSame(expected, d, what.c_str());
            RECT box{};
            EXPECT_EQ(kind, GetRgnBox(d, &box));
            // The same pixels reached another way are an equal region.
            HRGN again = CreateRectRgn(0, 0, 0, 0);
            CombineRgn(again, d, again, RGN_OR);
            OffsetRgn(again, 7, -3);
            OffsetRgn(again, -7, 3);
            EXPECT_TRUE(EqualRgn(d, again)) << what;
            DeleteObject(again);
            DeleteObject(d);
        }
        // The destination may be one of the sources.
        HRGN copy = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(copy, a, nullptr, RGN_COPY);
        CombineRgn(a, a, b, RGN_XOR);
        CombineRgn(a, a, b, RGN_XOR);
        EXPECT_TRUE(EqualRgn(a, copy));
        DeleteObject(copy);
        DeleteObject(a);
        DeleteObject(b);
    }
}

struct PolygonCase {
    const char* name;
    std::vector<POINT> points;
};

TEST(Region, PolygonsFillPixelCentresInBothModes)
{
    std::mt19937 rng(5);
    const std::vector<PolygonCase> cases = {
        {"square", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}},
        {"thin diagonal", {{0, 0}, {100, 1}, {100, 2}, {0, 1}}},
        {"pentagram", {{60, 2}, {95, 110}, {3, 42}, {117, 42}, {25, 110}}},
        {"bow tie", {{0, 0}, {100, 100}, {100, 0}, {0, 100}}},
        {"double loop", {{10, 10}, {110, 10}, {110, 110}, {10, 110}, {10, 20}, {100, 20}, {100, 100}, {20, 100}, {20, 10}}},
        {"random 3000", RandomPolygon(rng, 3000, 0, 127)},
        {"random 40", RandomPolygon(rng, 40, -5, 130)},
        {"star 2000 spikes", Star(2000, 60, 25, 64, 64)},
        {"star 7 spikes", Star(7, 60, 10, 64.3, 63.7)},
        {"two points", {{5, 5}, {50, 50}}},
    };
    for (const auto& c : cases) {
        for (int mode : {ALTERNATE, WINDING}) {
            const std::string what = std::string(c.name) + (mode == WINDING ? " winding" : " alternate");
            HRGN r = CreatePolygonRgn(c.points.data(), int(c.points.size()), mode);
            ASSERT_NE(r, nullptr);
            ExpectSame(PolygonPixels(c.points, mode), r, what.c_str());
            DeleteObject(r);
        }
    }
    // A square polygon is the same region as the rectangle.
    const POINT sq[] = {{2, 3}, {12, 3}, {12, 9}, {2, 9}};
    HRGN p = CreatePolygonRgn(sq, 4, ALTERNATE), rc = CreateRectRgn(2, 3, 12, 9);
    EXPECT_TRUE(EqualRgn(p, rc));
    DeleteObject(p);
    DeleteObject(rc);
}

TEST(Region, ScaleAndOffsetMapEveryRectangle)
{
    // Two rectangles side by side and one below.
    HRGN r = CreateRectRgn(0, 0, 4, 2);
    HRGN b = CreateRectRgn(6, 0, 8, 2);
    HRGN c = CreateRectRgn(1, 5, 3, 9);
    CombineRgn(r, r, b, RGN_OR);
    CombineRgn(r, r, c, RGN_OR);
    const DWORD size = GetRegionData(r, 0, nullptr);
    std::vector<char> data(size);
    ASSERT_EQ(GetRegionData(r, size, reinterpret_cast<RGNDATA*>(data.data())), size);
    const auto* rd = reinterpret_cast<const RGNDATA*>(data.data());
    EXPECT_EQ(rd->rdh.nCount, 3u);

    HRGN same = ExtCreateRegion(nullptr, size, rd);
    EXPECT_TRUE(EqualRgn(same, r));

    const XFORM twice{2, 0, 0, 2, 10, -1};
    HRGN big = ExtCreateRegion(&twice, size, rd);
    PixelSet expected;
    for (int y = kLo; y < kHi; ++y)
        for (int x = kLo; x < kHi; ++x) {
            // (x, y) comes from source pixel ((x - 10) / 2, (y + 1) / 2) when that division is exact-floored
            const int sx = (x - 10) >= 0 ? (x - 10) / 2 : -1, sy = (y + 1) >= 0 ? (y + 1) / 2 : -1;
            expected.at(x, y) = sx >= 0 && sy >= 0 && PtInRegion(r, sx, sy);
        }
    ExpectSame(expected, big, "scaled by 2");

    // Halving merges the two close rectangles' rows and rounds corners to pixel edges.
    const XFORM half{0.5f, 0, 0, 0.5f, 0, 0};
    HRGN small = ExtCreateRegion(&half, size, rd);
    HRGN want = CreateRectRgn(0, 0, 2, 1);
    HRGN w2 = CreateRectRgn(3, 0, 4, 1);
    HRGN w3 = CreateRectRgn(1, 3, 2, 5);  // 2.5 rounds to 3, 4.5 to 5
    CombineRgn(want, want, w2, RGN_OR);
    CombineRgn(want, want, w3, RGN_OR);
    EXPECT_TRUE(EqualRgn(small, want));

    const XFORM shear{1, 0.5f, 0, 1, 0, 0};
    EXPECT_EQ(ExtCreateRegion(&shear, size, rd), nullptr);
    EXPECT_EQ(ExtCreateRegion(nullptr, size - 1, rd), nullptr) << "a short buffer is refused";
    for (HRGN h : {r, b, c, same, big, small, want, w2, w3}) DeleteObject(h);
}

TEST(Region, CRgnWrapsTheHandleAndFreesIt)
{
    CRgn a, b;
    ASSERT_TRUE(a.CreateRectRgn(0, 0, 10, 10));
    ASSERT_TRUE(b.CreateEllipticRgn(5, 5, 15, 15));
    EXPECT_EQ(a.CombineRgn(&a, &b, RGN_OR), COMPLEXREGION);
    CRect box;
    a.GetRgnBox(&box);
    EXPECT_EQ(box, CRect(0, 0, 15, 15));
    EXPECT_TRUE(a.PtInRegion(14, 10));
    EXPECT_FALSE(a.PtInRegion(14, 14)) << "the ellipse's corner stays out";
    EXPECT_EQ(a.GetArea(), GetRgnArea(a));
    HRGN handle = a;
    CRgn* temp = CRgn::FromHandle(handle);
    EXPECT_EQ(HRGN(*temp), handle);
    EXPECT_EQ(CRgn::FromHandle(handle), temp) << "one wrapper per handle";
}
