#include "outside/basecore/transform_matrix.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "outside/basecore/nearest_step.h"

namespace {

void ExpectNear(const CPointT<double>& a, const CPointT<double>& b, double tol = 1e-9)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
}

}  // namespace

TEST(Transform, ThreePointPairsGiveTheTransformAndItsInverse)
{
    // Geographic points (longitude, latitude) to the corners of a 400 x 300 raster.
    const CPointT<double> geo[3] = {{30.25, 60.5}, {30.75, 60.5}, {30.25, 60.0}};
    const CPointT<double> corners[3] = {{0, 0}, {400, 0}, {0, 300}};
    TransformMatrix m;
    ASSERT_TRUE(CalculationTransform(geo, corners, &m));
    for (int i = 0; i < 3; ++i) ExpectNear(TransformPoint(m, geo[i]), corners[i]);
    ExpectNear(TransformPoint(m, {30.5, 60.25}), {200, 150});
    CPointT<double> back;
    ASSERT_TRUE(InverseTransformPoint(m, {100, 30}, &back));
    ExpectNear(back, {30.25 + 0.5 * 100 / 400, 60.5 - 0.5 * 30 / 300});

    // A rotated and sheared mapping survives the round trip as well.
    const CPointT<double> from[3] = {{1, 2}, {4, -1}, {-3, 5}};
    const CPointT<double> to[3] = {{10, 0}, {-2, 7}, {3, 3}};
    ASSERT_TRUE(CalculationTransform(from, to, &m));
    for (int i = 0; i < 3; ++i) {
        ExpectNear(TransformPoint(m, from[i]), to[i]);
        ASSERT_TRUE(InverseTransformPoint(m, to[i], &back));
        ExpectNear(back, from[i]);
    }
}

TEST(Transform, SingularTransformsGiveNone)
{
    const CPointT<double> line[3] = {{0, 0}, {1, 1}, {2, 2.0000000000000004}};
    const CPointT<double> corners[3] = {{0, 0}, {10, 0}, {0, 10}};
    TransformMatrix m;
    m.dx = 42;
    EXPECT_FALSE(CalculationTransform(line, corners, &m)) << "points on one line";
    EXPECT_EQ(m.dx, 42) << "the result is untouched";
    const CPointT<double> same[3] = {{5, 5}, {5, 5}, {7, 1}};
    EXPECT_FALSE(CalculationTransform(same, corners, &m));

    TransformMatrix zero{};
    zero.m11 = zero.m22 = 0;
    CPointT<double> p(-1, -1);
    EXPECT_FALSE(InverseTransformPoint(zero, {1, 1}, &p));
    EXPECT_EQ(p, CPointT<double>(-1, -1));
    TransformMatrix flat;
    flat.m11 = 2, flat.m21 = 4, flat.m12 = 1, flat.m22 = 2;  // rank 1
    EXPECT_FALSE(InverseTransformPoint(flat, {1, 1}, &p));
    TransformMatrix nan;
    nan.dx = std::nan("");
    EXPECT_FALSE(InverseTransformPoint(nan, {1, 1}, &p));
    EXPECT_FALSE(InverseTransformPoint(TransformMatrix(), {std::nan(""), 0}, &p));
}

TEST(Transform, ProductAppliesTheFirstThenTheSecond)
{
    TransformMatrix scale;
    scale.m11 = 2, scale.m22 = 3;
    TransformMatrix shift;
    shift.dx = 10, shift.dy = -1;
    TransformMatrix rot;  // a quarter turn
    rot.m11 = 0, rot.m12 = 1, rot.m21 = -1, rot.m22 = 0;
    TransformMatrix r;
    ASSERT_TRUE(CalcMultiplicationTransform(scale, shift, &r));
    ExpectNear(TransformPoint(r, {1, 1}), {12, 2});
    ASSERT_TRUE(CalcMultiplicationTransform(shift, rot, &r));
    ExpectNear(TransformPoint(r, {1, 1}), TransformPoint(rot, TransformPoint(shift, {1, 1})));
    // In place: the result may be an input.
    TransformMatrix a = scale;
    ASSERT_TRUE(CalcMultiplicationTransform(a, rot, &a));
    ExpectNear(TransformPoint(a, {1, 1}), TransformPoint(rot, TransformPoint(scale, {1, 1})));

    TransformMatrix huge;
    huge.m11 = 1e300;
    EXPECT_FALSE(CalcMultiplicationTransform(huge, huge, &r));

    TransformMatrix copy;
    ASSERT_TRUE(EquateTransform(rot, &copy));
    EXPECT_EQ(copy, rot);
    EXPECT_FALSE(EquateTransform(rot, nullptr));
}

TEST(NearestStep, RoundsToOneTwoTwoAndAHalfOrFive)
{
    const struct {
        double in, out;
    } cases[] = {
        {1, 1},           {1.4, 1},       {1.5, 1},    {1.6, 2},          {2.2, 2},     {2.3, 2.5},
        {3.7, 2.5},       {3.8, 5},       {7.4, 5},    {7.5, 5},          {7.6, 10},    {9.99, 10},
        {10, 10},         {1000, 1000},   {0.3, 0.25}, {1.0 / 3.6, 0.25}, {0.07, 0.05}, {0.001, 0.001},
        {123456, 1e5},    {180000, 2e5},  {-3.8, -5},  {-0.3, -0.25},     {0, 0},       {1e-300, 1e-300},
        {1.7e308, 1e308}, {9e307, 1e308},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_DOUBLE_EQ(GetNearestStep(c.in), c.out);
    }
    EXPECT_EQ(GetNearestStep(std::nan("")), 0);
    EXPECT_EQ(GetNearestStep(std::numeric_limits<double>::infinity()), 0);
    EXPECT_NEAR(GetNearestStep(4e-310) / 5e-310, 1.0, 1e-6) << "subnormal steps";
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_GT(GetNearestStep(tiny), 0);
    EXPECT_TRUE(std::isfinite(GetNearestStep(std::numeric_limits<double>::max())));
}
