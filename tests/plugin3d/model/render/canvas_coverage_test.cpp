// Random points, lines and triangles drawn band by band through the canvas's rasteriser,
// against a plain rasteriser written here from the integer rules: each channel in its own
// pass, every ramp walked step by step from its start, whole primitives at once.

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/row_bands.h"
#include "plugin3d/model/render/canvas_batch.h"

namespace {

constexpr std::int32_t kFar = 0x10000000, kNear = 1;
constexpr std::int32_t kSentinelDepth = 0x5A5A5A5A;
constexpr std::uint16_t kSentinelValue = 0xA5A5;

struct Clip {
    int left, top, right, bottom;
};

// Planes of W x H with a margin of sentinels around the clip rectangle.
struct Planes {
    int w, h;
    std::vector<std::int32_t> depth;
    std::vector<std::uint16_t> channel[3];
    Planes(int width, int height, const Clip& clip) : w(width), h(height)
    {
        depth.assign(std::size_t(w) * h, kSentinelDepth);
        for (auto& c : channel) c.assign(std::size_t(w) * h, kSentinelValue);
        for (int y = clip.top; y <= clip.bottom; ++y)
            for (int x = clip.left; x <= clip.right; ++x) {
                depth[std::size_t(y) * w + x] = kFar;
                for (auto& c : channel) c[std::size_t(y) * w + x] = 0xFFFF;
            }
    }
};

// ---- the plain rasteriser -------------------------------------------------------------

// Walks a ramp from a0 to a1 over `steps` steps with error start e0, calling put(i, value).
template <class Put>
void Walk(std::int32_t a0, std::int32_t a1, std::int64_t steps, std::int64_t e0, Put put)
{
    if (steps == 0) {
        put(0, a0);
        return;
    }
    const std::int64_t diff = std::int64_t(a1) - a0;
    const std::int64_t d = diff < 0 ? -diff : diff, s = diff < 0 ? -1 : 1;
    const std::int64_t q = d / steps, r = d % steps;
    std::int64_t v = a0, e = e0;
    for (std::int64_t i = 0; i <= steps; ++i) {
        put(i, std::int32_t(v));
        v += s * q;
        e -= r;
        if (e <= 0) {
            v += s;
            e += steps;
        }
    }
}

struct Vertex {
    std::int64_t x, y, z, c[3];
};

Vertex From(const TCanvasVertex& v)
{
    return {v.x, v.y, v.z, {v.c1, v.c2, v.c3}};
}

std::int64_t Mix(std::int64_t fa, std::int64_t fb, std::int64_t t, std::int64_t span)
{
    return fa + std::int64_t(__int128(fb - fa) * t / span);
}

Vertex At(const Vertex& a, const Vertex& b, bool byY, std::int64_t at)
{
    Vertex out = a;
    const std::int64_t from = byY ? a.y : a.x, to = byY ? b.y : b.x;
    const std::int64_t t = at - from, span = to - from;
    if (byY) {
        out.x = Mix(a.x, b.x, t, span);
        out.y = at;
    } else {
        out.y = Mix(a.y, b.y, t, span);
        out.x = at;
    }
    out.z = Mix(a.z, b.z, t, span);
    for (int k = 0; k < 3; ++k) out.c[k] = Mix(a.c[k], b.c[k], t, span);
    return out;
}

struct RefSpan {
    std::int64_t x[2], z[2], c[3][2];
};

class Reference {
public:
    Reference(Planes& planes, const Clip& clip, const std::vector<int>& channels)
        : p(planes), clip(clip), channels(channels), spans(std::size_t(planes.h))
    {
    }

    void Point(const TCanvasVertex& tv)
    {
        const Vertex v = From(tv);
        if (v.x < clip.left || v.x > clip.right || v.y < clip.top || v.y > clip.bottom) return;
        if (v.z < kNear || v.z > kFar || Depth(v.x, v.y) < v.z) return;
        for (int n : channels) Value(n, v.x, v.y) = std::uint16_t(v.c[n]);
    }

    void Line(const TCanvasVertex& ta, const TCanvasVertex& tb, bool smooth)
    {
        Vertex a = From(ta), b = From(tb);
        if (std::min(a.z, b.z) < kNear || std::min(a.z, b.z) > kFar) return;
        if (std::max(a.x, b.x) < clip.left || std::min(a.x, b.x) > clip.right) return;
        if (std::max(a.y, b.y) < clip.top || std::min(a.y, b.y) > clip.bottom) return;
        if (!smooth)
            for (int n : channels) a.c[n] = b.c[n] = (a.c[n] + b.c[n]) >> 1;
        if (b.x < a.x) std::swap(a, b);
        if (a.x < clip.left) a = At(a, b, false, clip.left);
        if (b.x > clip.right) b = At(a, b, false, clip.right);
        if (b.y < a.y) std::swap(a, b);
        if (b.y < clip.top || a.y > clip.bottom) return;
        if (a.y < clip.top) a = At(a, b, true, clip.top);
        if (b.y > clip.bottom) b = At(a, b, true, clip.bottom);
        const std::int64_t dx = std::abs(b.x - a.x), dy = b.y - a.y, steps = std::max(dx, dy);
        const std::int64_t e0 = (steps + 1) >> 1;
        for (int n : channels) {
            std::vector<std::int64_t> xs, ys, zs, vs;
            Walk(std::int32_t(a.x), std::int32_t(b.x), steps, e0,
                 [&](auto, std::int32_t v) { xs.push_back(v); });
            Walk(0, std::int32_t(dy), steps, e0, [&](auto, std::int32_t v) { ys.push_back(v); });
            Walk(std::int32_t(a.z), std::int32_t(b.z), steps, e0,
                 [&](auto, std::int32_t v) { zs.push_back(v); });
            Walk(std::int32_t(a.c[n]), std::int32_t(smooth ? b.c[n] : a.c[n]), steps, e0,
                 [&](auto, std::int32_t v) { vs.push_back(v); });
            for (std::size_t i = 0; i < xs.size(); ++i) Put(n, xs[i], a.y + ys[i], zs[i], vs[i]);
        }
    }

    void Triangle(const TCanvasVertex& ta, const TCanvasVertex& tb, const TCanvasVertex& tc, bool smooth)
    {
        std::vector<Vertex> v = {From(ta), From(tb), From(tc)};
        const std::int64_t minZ = std::min({v[0].z, v[1].z, v[2].z});
        if (minZ < kNear || minZ > kFar) return;
        if (std::max({v[0].y, v[1].y, v[2].y}) < clip.top || std::min({v[0].y, v[1].y, v[2].y}) > clip.bottom)
            return;
        std::stable_sort(v.begin(), v.end(), [](const Vertex& a, const Vertex& b) { return a.x < b.x; });
        const Vertex L = v[0], R = v[2];
        Vertex M = v[1];
        if (R.x < clip.left || L.x > clip.right) return;
        Vertex l = L, r = R;
        if (!smooth)
            for (int n : channels) {
                const std::int64_t mean = (L.c[n] + M.c[n] + R.c[n]) / 3;
                l.c[n] = M.c[n] = r.c[n] = mean;
            }
        const Vertex ul = l, um = M, ur = r;  // unclipped, with the flat values
        Vertex l1 = l, l2 = l, r1 = r, r2 = r, m = M;
        if (l.x < clip.left) {
            l1 = At(ul, ur, false, clip.left);
            if (m.x < clip.left) {
                l2 = At(um, ur, false, clip.left);
                m = l2;
            } else {
                l2 = At(ul, um, false, clip.left);
            }
        }
        if (r.x > clip.right) {
            r1 = At(ul, ur, false, clip.right);
            if (m.x > clip.right) {
                r2 = At(l2, m, false, clip.right);
                m = r2;
            } else {
                r2 = At(m, ur, false, clip.right);
            }
        }
        const std::int64_t top = std::min({l1.y, l2.y, m.y, r2.y, r1.y});
        const std::int64_t bottom = std::max({l1.y, l2.y, m.y, r2.y, r1.y});
        if (bottom < clip.top || top > clip.bottom) return;
        const std::int64_t first = std::max<std::int64_t>(top, clip.top);
        const std::int64_t last = std::min<std::int64_t>(bottom, clip.bottom);
        // The middle vertex's side of the long edge, from the unclipped vertices only.
        const bool o = __int128(M.y - L.y) * (R.x - L.x) >= __int128(R.y - L.y) * (M.x - L.x);
        const bool level = l1.y == r1.y && m.y == l2.y && l2.y == r2.y;
        if (l1.y != l2.y || level) Edge(l1, l2, 0, first, last);
        if (r1.y != r2.y || level) Edge(r1, r2, 1, first, last);
        if (r1.y != l1.y) Edge(r1, l1, (r1.y < l1.y) != o, first, last);
        if (l2.y != m.y) Edge(l2, m, (l2.y < m.y) != o, first, last);
        if (m.y != r2.y) Edge(m, r2, (m.y < r2.y) != o, first, last);
        for (int n : channels)
            for (std::int64_t y = first; y <= last; ++y) {
                const RefSpan& s = spans[std::size_t(y)];
                const std::int64_t steps = s.x[1] - s.x[0];
                if (steps < 0) continue;
                const std::int64_t e0 = (steps + 1) >> 1;
                std::vector<std::int64_t> zs, vs;
                Walk(std::int32_t(s.z[0]), std::int32_t(s.z[1]), steps, e0,
                     [&](auto, std::int32_t v) { zs.push_back(v); });
                Walk(std::int32_t(s.c[n][0]), std::int32_t(smooth ? s.c[n][1] : s.c[n][0]), steps, e0,
                     [&](auto, std::int32_t v) { vs.push_back(v); });
                for (std::int64_t i = 0; i <= steps; ++i) Put(n, s.x[0] + i, y, zs[i], vs[i]);
            }
    }

private:
    std::int32_t& Depth(std::int64_t x, std::int64_t y) { return p.depth[std::size_t(y * p.w + x)]; }
    std::uint16_t& Value(int n, std::int64_t x, std::int64_t y)
    {
        return p.channel[n][std::size_t(y * p.w + x)];
    }
    void Put(int n, std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t value)
    {
        if (z > Depth(x, y)) return;
        Depth(x, y) = std::int32_t(z);
        Value(n, x, y) = std::uint16_t(value);
    }
    void Edge(Vertex p0, Vertex q, int side, std::int64_t first, std::int64_t last)
    {
        if (p0.y > q.y) std::swap(p0, q);
        if (q.y < first || p0.y > last) return;
        if (p0.y < first) p0 = At(p0, q, true, first);
        if (q.y > last) q = At(p0, q, true, last);
        const std::int64_t steps = q.y - p0.y, e0 = (steps + 1) >> 1;
        RefSpan* rows = &spans[std::size_t(p0.y)];
        Walk(std::int32_t(p0.x), std::int32_t(q.x), steps, e0,
             [&](std::int64_t i, std::int32_t v) { rows[i].x[side] = v; });
        Walk(std::int32_t(p0.z), std::int32_t(q.z), steps, e0,
             [&](std::int64_t i, std::int32_t v) { rows[i].z[side] = v; });
        for (int n : channels)
            Walk(std::int32_t(p0.c[n]), std::int32_t(q.c[n]), steps, e0,
                 [&](std::int64_t i, std::int32_t v) { rows[i].c[n][side] = v; });
    }

    Planes& p;
    Clip clip;
    std::vector<int> channels;
    std::vector<RefSpan> spans;
};

// ---- the canvas's rasteriser over the same planes -------------------------------------

canvas_raster::Target TargetOver(Planes& p, const Clip& clip, const std::vector<int>& channels,
                                 std::vector<TCanvasSpan>& spans)
{
    canvas_raster::Target t;
    t.depth = p.depth.data();
    t.depthStride = std::ptrdiff_t(p.w) * 4;
    t.channels.count = int(channels.size());
    for (std::size_t k = 0; k < channels.size(); ++k) {
        t.channels.row[k] = p.channel[channels[k]].data();
        t.channels.stride[k] = std::ptrdiff_t(p.w) * 2;
        t.channels.pairOffset[k] = kSpanChannelOffset[channels[k]];
    }
    spans.assign(std::size_t(p.h), TCanvasSpan{});
    t.spans = spans.data();
    t.left = clip.left;
    t.top = clip.top;
    t.right = clip.right;
    t.bottom = clip.bottom;
    return t;
}

struct Primitive {
    int kind;  // 0 point, 1 line, 2 triangle
    bool smooth;
    TCanvasVertex v[3];
};

// `kinds` limits the scene to points (0), lines (1) or triangles (2); -1 mixes them.
std::vector<Primitive> RandomScene(unsigned seed, int w, int h, int count, int kinds)
{
    std::mt19937 rng(seed);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<Primitive> scene;
    for (int i = 0; i < count; ++i) {
        Primitive p{};
        const int roll = uniform(0, 9);
        p.kind = kinds >= 0 ? kinds : roll < 2 ? 0 : roll < 4 ? 1 : 2;
        p.smooth = uniform(0, 1) == 1;
        // Mostly small primitives around the canvas, some huge, some with equal coordinates.
        const int reach = uniform(0, 5) == 0 ? 4 * w : uniform(3, 25);
        const int cx = uniform(-10, w + 10), cy = uniform(-10, h + 10);
        for (auto& v : p.v) {
            v.x = uniform(0, 7) == 0 ? cx : cx + uniform(-reach, reach);
            v.y = uniform(0, 7) == 0 ? cy : cy + uniform(-reach, reach);
            v.z = uniform(0, 30) == 0 ? 0 : uniform(1, 5000);
            v.c1 = uniform(0, 0x8000);
            v.c2 = uniform(-5, 0x12000);
            v.c3 = uniform(0, 9) == 0 ? 0xFFFF : uniform(0, 0x8000);
        }
        if (uniform(0, 9) == 0) p.v[1].z = p.v[2].z = p.v[0].z;  // equal depths: later wins
        scene.push_back(p);
    }
    return scene;
}

}  // namespace

TEST(CanvasCoverage, BandedFusedDrawingMatchesThePlainRasteriser)
{
    const int w = 61, h = 53;
    const Clip clip{3, 2, 55, 47};
    const std::vector<std::vector<int>> channelSets = {{0}, {0, 2}, {0, 1, 2}, {1}};
    unsigned seed = 1;
    // Mixed scenes, and sparse scenes of one kind where few pixels are drawn over.
    const struct {
        int kinds, count;
    } rounds[] = {{-1, 300}, {-1, 300}, {-1, 300}, {1, 40}, {1, 40}, {2, 25}, {2, 25}};
    for (const auto& channels : channelSets)
        for (const auto& round : rounds) {
            ++seed;
            const auto scene = RandomScene(seed, w, h, round.count, round.kinds);
            Planes expected(w, h, clip), actual(w, h, clip);
            Reference reference(expected, clip, channels);
            std::vector<TCanvasSpan> spans;
            const canvas_raster::Target target = TargetOver(actual, clip, channels, spans);
            canvas_raster::Batch batch;
            for (const Primitive& p : scene) {
                if (p.kind == 0) {
                    reference.Point(p.v[0]);
                    batch.AddPoint(target, p.v[0]);
                } else if (p.kind == 1) {
                    reference.Line(p.v[0], p.v[1], p.smooth);
                    batch.AddLine(target, p.v[0], p.v[1], p.smooth);
                } else {
                    reference.Triangle(p.v[0], p.v[1], p.v[2], p.smooth);
                    batch.AddTriangle(target, p.v[0], p.v[1], p.v[2], p.smooth);
                }
            }
            batch.Draw(target);
            ASSERT_EQ(actual.depth, expected.depth) << "seed " << seed;
            for (int n = 0; n < 3; ++n) ASSERT_EQ(actual.channel[n], expected.channel[n]) << "seed " << seed;
            // Outside the clip rectangle the sentinels are still there.
            int touched = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const bool inside =
                        x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom;
                    const std::size_t i = std::size_t(y) * w + x;
                    if (!inside) {
                        ASSERT_EQ(actual.depth[i], kSentinelDepth) << x << "," << y;
                        for (int n = 0; n < 3; ++n)
                            ASSERT_EQ(actual.channel[n][i], kSentinelValue) << x << "," << y;
                    } else {
                        touched += actual.depth[i] != kFar;
                    }
                }
            if (round.kinds < 0)
                EXPECT_GT(touched, (clip.right - clip.left) * (clip.bottom - clip.top) / 2)
                    << "the scene covers the canvas";
        }
}

struct LargeCanvas {
    int w, h, threads, count;
    Clip clip;
};

class CanvasBands : public ::testing::TestWithParam<LargeCanvas> {};

TEST_P(CanvasBands, LargeCanvasesOfManyBandsMatchThePlainRasteriser)
{
    const LargeCanvas& c = GetParam();
    platform::ScopedRowDriverThreads threads(c.threads);
    const std::vector<int> channels = {0, 1, 2};
    unsigned seed = unsigned(900 + c.w);
    for (int kinds : {-1, 1, 2}) {
        const auto scene = RandomScene(++seed, c.w, c.h, c.count, kinds);
        Planes expected(c.w, c.h, c.clip), actual(c.w, c.h, c.clip);
        Reference reference(expected, c.clip, channels);
        std::vector<TCanvasSpan> spans;
        const canvas_raster::Target target = TargetOver(actual, c.clip, channels, spans);
        canvas_raster::Batch batch;
        for (const Primitive& p : scene) {
            if (p.kind == 0) {
                reference.Point(p.v[0]);
                batch.AddPoint(target, p.v[0]);
            } else if (p.kind == 1) {
                reference.Line(p.v[0], p.v[1], p.smooth);
                batch.AddLine(target, p.v[0], p.v[1], p.smooth);
            } else {
                reference.Triangle(p.v[0], p.v[1], p.v[2], p.smooth);
                batch.AddTriangle(target, p.v[0], p.v[1], p.v[2], p.smooth);
            }
        }
        batch.Draw(target);
        ASSERT_EQ(actual.depth, expected.depth) << "seed " << seed;
        for (int n = 0; n < 3; ++n) ASSERT_EQ(actual.channel[n], expected.channel[n]) << "seed " << seed;
    }
}

// Bands of 16 rows: long edges and lines enter most bands part-way through their ramps, and
// the canvas's last band ends anywhere.
INSTANTIATE_TEST_SUITE_P(Sizes, CanvasBands,
                         ::testing::Values(LargeCanvas{517, 389, 8, 150, {1, 2, 510, 385}},
                                           LargeCanvas{131, 1031, 1, 150, {0, 0, 130, 1030}},
                                           LargeCanvas{1029, 67, 8, 150, {4, 3, 1020, 66}}),
                         [](const ::testing::TestParamInfo<LargeCanvas>& info) {
                             return std::to_string(info.param.w) + "x" + std::to_string(info.param.h) +
                                    "_threads" + std::to_string(info.param.threads);
                         });
