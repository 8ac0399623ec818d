// The mapping of projected vertices onto canvas vertices: coordinates held to +-2^30, levels
// to 0..0x8000, every rounding half to even.

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

#include "plugin3d/model/render/vertex_mapping.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(VertexMapping, CoordinatesAreRoundedHalfToEvenAndHeldToTheSafeRange)
{
    struct Case {
        double value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {0.0, 0},
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-0.4, 0},
        {1e12, 0x40000000},
        {1073741824.0, 0x40000000},
        {1073741823.4, 1073741823},
        {kInf, 0x40000000},
        {-1073741823.6, -1073741824},
        {-1073741824.0, -1073741824},
        {-1e12, -1073741824},
        {-kInf, -1073741824},
        {kNaN, -1073741824},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vertex_mapping::Coordinate(c.value), c.expected) << c.value;
        // Single values that hold the case exactly map the same.
        if (double(float(c.value)) == c.value || std::isnan(c.value))
            EXPECT_EQ(vertex_mapping::Coordinate(float(c.value)), c.expected) << c.value;
    }
}

TEST(VertexMapping, LevelsNeverLeaveZeroToFull)
{
    struct Case {
        double value;
        std::int32_t expected;
    };
    // Nothing may land on 0xFFFF (nothing drawn) or between 0x8001 and 0xFFFE: below 0 and
    // NaN give 0, 1.0 and above give full.
    const Case cases[] = {
        {1.0, 0x8000}, {1.5, 0x8000},     {kInf, 0x8000}, {0.5, 0x4000}, {2.5 / 32768, 2}, {3.5 / 32768, 4},
        {0.0, 0},      {-1.0 / 32768, 0}, {-5.0, 0},      {-kInf, 0},    {kNaN, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vertex_mapping::Level(c.value), c.expected) << c.value;
        if (double(float(c.value)) == c.value || std::isnan(c.value))
            EXPECT_EQ(vertex_mapping::Level(float(c.value)), c.expected) << c.value;
    }
}

TEST(VertexMapping, TheCentreIsAddedAfterTheLimitAndBothPrecisionsAgree)
{
    struct Single {
        float x, y, z, c1, c2, c3;
    };
    struct Double {
        double x, y, z, c1, c2, c3;
    };
    const TCanvasVertex fromDouble =
        vertex_mapping::ToCanvas(Double{1e12, -2.5, 7.5, 1.5, 0.25, kNaN}, 64, 10);
    EXPECT_EQ(fromDouble.x, 0x40000000 + 64);
    EXPECT_EQ(fromDouble.y, -2 + 10);
    EXPECT_EQ(fromDouble.z, 8);
    EXPECT_EQ(fromDouble.c1, 0x8000);
    EXPECT_EQ(fromDouble.c2, 0x2000);
    EXPECT_EQ(fromDouble.c3, 0);
    const TCanvasVertex fromSingle =
        vertex_mapping::ToCanvas(Single{1e12f, -2.5f, 7.5f, 1.5f, 0.25f, -1.0f}, 64, 10);
    EXPECT_EQ(fromSingle.x, fromDouble.x);
    EXPECT_EQ(fromSingle.y, fromDouble.y);
    EXPECT_EQ(fromSingle.c2, fromDouble.c2);
    EXPECT_EQ(fromSingle.c3, 0);
}

TEST(VertexMapping, WholeVerticesMapAsTheirValuesDo)
{
    // Every value of the list in every field, in both precisions, against the one-value
    // mappings: the vertex mapping works on several values at once.
    const double values[] = {0.0,         -0.0,     0.5,  2.5,   -2.5,         1.0,           1.5,
                             1.0 / 65536, -1e-9,    1e12, -1e12, 1073741760.0, -1073741760.0, 1073741824.0,
                             -5.0,        123456.5, kNaN, kInf,  -kInf,        0.99999,       3.5 / 32768};
    constexpr int n = int(std::size(values));
    struct Single {
        float x, y, z, c1, c2, c3;
    };
    struct Double {
        double x, y, z, c1, c2, c3;
    };
    for (int i = 0; i < n; ++i)
        for (int shift = 1; shift < n; shift += 4) {
            const double f[6] = {values[i],
                                 values[(i + shift) % n],
                                 values[(i + 2 * shift) % n],
                                 values[(i + 3 * shift) % n],
                                 values[(i + 4 * shift) % n],
                                 values[(i + 5 * shift) % n]};
            const TCanvasVertex d =
                vertex_mapping::ToCanvas(Double{f[0], f[1], f[2], f[3], f[4], f[5]}, 7, -3);
            const std::int32_t expected[6] = {
                vertex_mapping::Coordinate(f[0]) + 7, vertex_mapping::Coordinate(f[1]) - 3,
                vertex_mapping::Coordinate(f[2]),     vertex_mapping::Level(f[3]),
                vertex_mapping::Level(f[4]),          vertex_mapping::Level(f[5])};
            const std::int32_t got[6] = {d.x, d.y, d.z, d.c1, d.c2, d.c3};
            float g[6];
            for (int k = 0; k < 6; ++k) g[k] = float(f[k]);
            const TCanvasVertex s =
                vertex_mapping::ToCanvas(Single{g[0], g[1], g[2], g[3], g[4], g[5]}, 7, -3);
            const std::int32_t expectedSingle[6] = {
                vertex_mapping::Coordinate(g[0]) + 7, vertex_mapping::Coordinate(g[1]) - 3,
                vertex_mapping::Coordinate(g[2]),     vertex_mapping::Level(g[3]),
                vertex_mapping::Level(g[4]),          vertex_mapping::Level(g[5])};
            const std::int32_t gotSingle[6] = {s.x, s.y, s.z, s.c1, s.c2, s.c3};
            for (int k = 0; k < 6; ++k) {
                ASSERT_EQ(got[k], expected[k]) << "field " << k << " of " << f[k];
                ASSERT_EQ(gotSingle[k], expectedSingle[k]) << "field " << k << " of " << g[k];
            }
        }
}

}  // namespace
