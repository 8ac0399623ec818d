// The navigator's arithmetic on its own: reading a slave in a master's axes and writing it
// back, the orientation angles both ways, the shown vector, the fixed direction, distances,
// the dial's drag, the repeat of the step buttons and the number boxes' keys.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "plugin3d/forms/navigator_math.h"
#include "plugin3d/model/render/k_basis3d.h"

namespace {

TOwned<TKBasis3D> NewBasis()
{
    return TOwned<TKBasis3D>(TKBasis3D::New());
}

// A random rotation, scaled per axis, at a random origin.
BasisPlacement RandomPlacement(std::mt19937& rng, bool mirrored = false)
{
    std::uniform_real_distribution<double> any(-1, 1), scale(0.5, 3), far(-50, 50);
    BasisPlacement p;
    RotationMatrix({any(rng), any(rng), any(rng)}, 3 * any(rng), p.matrix);
    for (int j = 0; j < 3; ++j) {
        const double k = scale(rng) * (mirrored && j == 1 ? -1 : 1);
        for (int i = 0; i < 3; ++i) p.matrix.m[3 * i + j] *= k;
    }
    p.origin = {far(rng), far(rng), far(rng)};
    return p;
}

void ExpectMatrixNear(const TMatrix3D& a, const TMatrix3D& b, double tolerance)
{
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "entry " << i;
}

void ExpectVectorNear(const TVector3D& a, const TVector3D& b, double tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TVector3D Direction(const TVector3D& a)
{
    TVector3D out;
    VectorNormalize(a, out);
    return out;
}

bool AllFinite(const NavigatorAngles& a)
{
    return std::isfinite(a.u) && std::isfinite(a.v) && std::isfinite(a.w);
}

TEST(NavigatorMath, ResetThenApplyLeavesTheSlaveAndItsSubBasesWhereTheyWere)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const bool withMaster = round % 2 == 0;
        auto master = NewBasis(), slave = NewBasis(), sub = NewBasis();
        const BasisPlacement mp = RandomPlacement(rng, round % 4 == 2),
                             sp = RandomPlacement(rng, round % 3 == 0), subp = RandomPlacement(rng);
        master->SetPlacement(mp.matrix, mp.origin);
        slave->SetPlacement(sp.matrix, sp.origin);
        sub->SetPlacement(subp.matrix, subp.origin);
        slave->AddChild(sub.get());

        NavigatorMath nav;
        ASSERT_TRUE(nav.Reset(withMaster ? master.get() : nullptr, slave.get()));
        EXPECT_EQ(nav.mirrored,
                  (MatrixDeterminant(sp.matrix) < 0) != (withMaster && MatrixDeterminant(mp.matrix) < 0));
        ASSERT_TRUE(nav.Apply(withMaster ? master.get() : nullptr, slave.get()));

        const BasisPlacement after = PlacementOf(*slave), subAfter = PlacementOf(*sub);
        ExpectMatrixNear(after.matrix, sp.matrix, 1e-11);
        ExpectVectorNear(after.origin, sp.origin, 1e-10);
        ExpectMatrixNear(subAfter.matrix, subp.matrix, 1e-10);
        ExpectVectorNear(subAfter.origin, subp.origin, 1e-9);
        if (!withMaster) {  // without a master, v and m are the slave's own placement
            ExpectVectorNear(nav.v, sp.origin, 1e-12);
            ExpectMatrixNear(nav.m, sp.matrix, 1e-12);
        }
    }
}

TEST(NavigatorMath, SingularBasesAreRefusedAndNothingReachesTheSlave)
{
    NavigatorMath nav;
    const BasisPlacement good{{1, 2, 3}, {}};
    ASSERT_TRUE(nav.Reset(nullptr, &good));
    const NavigatorMath before = nav;

    BasisPlacement flat = good;
    flat.matrix.m[2] = flat.matrix.m[5] = flat.matrix.m[8] = 0;  // a zero column
    EXPECT_FALSE(nav.Reset(&flat, &good));
    EXPECT_FALSE(nav.Reset(&good, &flat));
    ExpectVectorNear(nav.v, before.v, 0);
    ExpectMatrixNear(nav.m, before.m, 0);

    // Writing through a singular master leaves the slave alone.
    auto master = NewBasis(), slave = NewBasis();
    const BasisPlacement sp{{4, 5, 6}, {}};
    slave->SetPlacement(sp.matrix, sp.origin);
    BasisPlacement out;
    EXPECT_FALSE(nav.SlavePlacement(&flat, out));
    EXPECT_FALSE(nav.Apply(master.get(), nullptr));
    nav.v = {NAN, 0, 0};
    EXPECT_FALSE(nav.Apply(master.get(), slave.get()));
    ExpectVectorNear(PlacementOf(*slave).origin, sp.origin, 0);

    // A typed angle on a matrix with a zero-length column would have no inverse.
    NavigatorMath degenerate;
    degenerate.m.m[0] = degenerate.m.m[3] = degenerate.m.m[6] = 0;
    EXPECT_FALSE(degenerate.SetAngles({10, 20, 30}));
    EXPECT_EQ(degenerate.minv.m[0], 1);
}

struct AngleCase {
    const char* name;
    NavigatorAngles angles;
};

class NavigatorAnglesTest : public ::testing::TestWithParam<AngleCase> {};

TEST_P(NavigatorAnglesTest, BuiltAndTakenApartAgainGiveTheSameOrientation)
{
    for (NavigatorAxis axis : {NavigatorAxis::X, NavigatorAxis::Y, NavigatorAxis::Z}) {
        for (bool mirrored : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "axis " << int(axis) << (mirrored ? " mirrored" : ""));
            const TMatrix3D r = BuildOrientation(GetParam().angles, axis, mirrored);
            EXPECT_EQ(MatrixDeterminant(r) < 0, mirrored);
            TMatrix3D scaled = r;  // column lengths do not change the angles
            for (int i = 0; i < 3; ++i) scaled.m[3 * i + 1] *= 2.5;
            const NavigatorAngles a = DecomposeOrientation(scaled, axis);
            ASSERT_TRUE(AllFinite(a));
            EXPECT_GE(a.u, 0);
            EXPECT_LE(a.u, 180);
            ExpectMatrixNear(BuildOrientation(a, axis, mirrored), r, 1e-9);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Navigator, NavigatorAnglesTest,
    ::testing::Values(AngleCase{"general", {35, 70, -120}}, AngleCase{"negative_middle", {-35, 10, 20}},
                      AngleCase{"m10_m20_zero", {0, 40, 25}}, AngleCase{"half_turn_middle", {180, -30, 60}},
                      AngleCase{"identity", {0, 0, 0}}, AngleCase{"tiny", {1e-4, 30, -30}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NavigatorMath, AnglesMeanTurnsAboutTheChosenAxes)
{
    // The middle angle alone turns about the second axis of the sequence.
    const TMatrix3D x = BuildOrientation({30, 0, 0}, NavigatorAxis::X, false);
    const TMatrix3D y = BuildOrientation({30, 0, 0}, NavigatorAxis::Y, false);
    const TMatrix3D z = BuildOrientation({30, 0, 0}, NavigatorAxis::Z, false);
    EXPECT_DOUBLE_EQ(x.m[4], 1);  // Y kept in X-Y-X
    EXPECT_DOUBLE_EQ(y.m[8], 1);  // Z kept in Y-Z-Y
    EXPECT_DOUBLE_EQ(z.m[0], 1);  // X kept in Z-X-Z
    const NavigatorAngles a = DecomposeOrientation(x, NavigatorAxis::X);
    EXPECT_NEAR(a.u, 30, 1e-12);
    EXPECT_NEAR(a.v, 0, 1e-12);
    EXPECT_NEAR(a.w, 0, 1e-12);

    // Rounding puts m00 of a near-identity matrix above 1: no NaN, and no made-up angles.
    TMatrix3D near;
    near.m[0] = 1 + 4e-16;
    near.m[3] = 1e-17, near.m[6] = -2e-17, near.m[1] = 3e-17;
    const NavigatorAngles n = DecomposeOrientation(near, NavigatorAxis::X);
    ASSERT_TRUE(AllFinite(n));
    EXPECT_NEAR(n.u, 0, 1e-6);
    EXPECT_NEAR(n.v, 0, 1e-6);
    EXPECT_NEAR(n.w, 0, 1e-6);
}

TEST(NavigatorMath, TypedAnglesKeepTheColumnLengthsAndTheMirrorTurnsAround)
{
    std::mt19937 rng(5);
    for (bool ms : {false, true}) {
        SCOPED_TRACE(ms ? "MS down" : "MS up");
        NavigatorMath nav;
        const BasisPlacement sp = RandomPlacement(rng);
        ASSERT_TRUE(nav.Reset(nullptr, &sp));
        nav.masterFromSlave = ms;
        nav.axis = NavigatorAxis::Y;
        const TMatrix3D& shown = ms ? nav.minv : nav.m;
        const double length1 = std::hypot(shown.m[1], shown.m[4], shown.m[7]);

        ASSERT_TRUE(nav.SetAngles({20, -45, 100}));
        const NavigatorAngles a = nav.ShownAngles();
        EXPECT_NEAR(a.u, 20, 1e-9);
        EXPECT_NEAR(a.v, -45, 1e-9);
        EXPECT_NEAR(a.w, 100, 1e-9);
        EXPECT_NEAR(std::hypot(shown.m[1], shown.m[4], shown.m[7]), length1, 1e-12);
        TMatrix3D product;
        MatrixMul(nav.m, nav.minv, product);
        ExpectMatrixNear(product, TMatrix3D{}, 1e-12);

        // Inverse mirrors the orientation and keeps the angles shown.
        ASSERT_TRUE(nav.SetMirrored(true));
        EXPECT_LT(MatrixDeterminant(nav.m), 0);
        const NavigatorAngles b = nav.ShownAngles();
        EXPECT_NEAR(b.u, 20, 1e-9);
        EXPECT_NEAR(b.v, -45, 1e-9);
        EXPECT_NEAR(b.w, 100, 1e-9);
        ASSERT_TRUE(nav.SetMirrored(false));
        EXPECT_GT(MatrixDeterminant(nav.m), 0);
    }
}

TEST(NavigatorMath, MasterSeenFromTheSlaveShowsTheInverseAndTakesTypedPositionsBack)
{
    std::mt19937 rng(3);
    NavigatorMath nav;
    const BasisPlacement mp = RandomPlacement(rng), sp = RandomPlacement(rng);
    ASSERT_TRUE(nav.Reset(&mp, &sp));
    nav.masterFromSlave = true;
    TVector3D expected;
    MatrixMulVector(nav.minv, nav.v, expected);
    ExpectVectorNear(nav.ShownVector(), {-expected.x, -expected.y, -expected.z}, 1e-12);
    const NavigatorAngles fromInverse = DecomposeOrientation(nav.minv, nav.axis);
    EXPECT_DOUBLE_EQ(nav.ShownAngles().u, fromInverse.u);
    EXPECT_DOUBLE_EQ(nav.ShownAngles().w, fromInverse.w);

    ASSERT_TRUE(nav.SetPosition({1.5, -2, 0.25}));
    ExpectVectorNear(nav.ShownVector(), {1.5, -2, 0.25}, 1e-12);
    nav.masterFromSlave = false;
    ASSERT_TRUE(nav.SetPosition({3, 4, 5}));
    ExpectVectorNear(nav.v, {3, 4, 5}, 0);
}

// The vector the fixer keeps: the slave seen from the master with MS down, else the master
// seen from the slave.
TVector3D Kept(const NavigatorMath& nav)
{
    if (nav.masterFromSlave) return nav.v;
    TVector3D u;
    MatrixMulVector(nav.minv, nav.v, u);
    return {-u.x, -u.y, -u.z};
}

TEST(NavigatorMath, TheFixerKeepsItsDirectionThroughPositionsAnglesAndDrags)
{
    std::mt19937 rng(17);
    for (bool ms : {false, true}) {
        SCOPED_TRACE(ms ? "MS down" : "MS up");
        NavigatorMath nav;
        const BasisPlacement mp = RandomPlacement(rng), sp = RandomPlacement(rng);
        ASSERT_TRUE(nav.Reset(&mp, &sp));
        nav.masterFromSlave = ms;
        nav.fixer = true;
        nav.UpdateFixedDirection();
        const TVector3D f = Direction(nav.f);

        ASSERT_TRUE(nav.SetPosition({2, -7, 1}));
        ExpectVectorNear(Direction(Kept(nav)), f, 1e-10);
        ExpectVectorNear(nav.ShownVector(), {2, -7, 1}, 1e-10);  // the typed vector stays
        ASSERT_TRUE(nav.SetPosition({-2, 7, -1}));               // straight opposite: a half turn
        ExpectVectorNear(Direction(Kept(nav)), f, 1e-10);

        ASSERT_TRUE(nav.SetAngles({60, 10, -80}));
        ExpectVectorNear(Direction(Kept(nav)), f, 1e-10);

        const DialDrag drag = DialDrag::Start(80, 80, 160, 160);
        const TMatrix3D start = nav.m;
        ASSERT_TRUE(nav.Turn(drag.Rotation(95, 60), start));
        ExpectVectorNear(Direction(Kept(nav)), f, 1e-10);
    }
}

TEST(NavigatorMath, DistancesBelowAHundredthChangeNothing)
{
    struct Case {
        TVector3D v;
        double d;
        bool changes;
    };
    const Case cases[] = {
        {{3, 4, 0}, 10, true},         {{3, 4, 0}, 0.01, false}, {{3, 4, 0}, 0.0101, true},
        {{0.006, 0.008, 0}, 5, false},  // |V| = 0.01
        {{3, 4, 0}, -2, false},        {{3, 4, 0}, NAN, false},  {{3, 4, 0}, INFINITY, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.d);
        NavigatorMath nav;
        nav.v = c.v;
        EXPECT_EQ(nav.SetDistance(c.d), c.changes);
        if (c.changes) {
            EXPECT_NEAR(nav.Distance(), c.d, 1e-12);
            ExpectVectorNear(Direction(nav.v), Direction(c.v), 1e-12);
        } else {
            ExpectVectorNear(nav.v, c.v, 0);
        }
    }
}

TEST(NavigatorMath, StepsRepeatWithAMultiplierThatDoublesEveryNineTicks)
{
    double sum = 0;
    for (int tick = 0; tick < 30; ++tick) sum += StepMultiplier(tick);
    EXPECT_EQ(sum, 80);
    EXPECT_EQ(StepMultiplier(9), 1);
    EXPECT_EQ(StepMultiplier(10), 2);
    EXPECT_EQ(StepMultiplier(81), 256);
    EXPECT_EQ(StepMultiplier(82), 512);
    EXPECT_EQ(StepMultiplier(100000), 512);

    EXPECT_EQ(StepSize(0, 1), 1);
    EXPECT_EQ(StepSize(0, 14), -1);
    EXPECT_DOUBLE_EQ(StepSize(6, 3), 1e-6);
    EXPECT_EQ(StepField(1), 1);
    EXPECT_EQ(StepField(2), 1);
    EXPECT_EQ(StepField(13), 7);
    EXPECT_EQ(StepLabel(0), "Step :  1");
    EXPECT_EQ(StepLabel(6), "Step : 1e-6");
}

TEST(NavigatorMath, NumberBoxesTakeDigitsOneMinusOnePointAndThirteenCharacters)
{
    struct Case {
        const char* text;
        char key;
        bool taken;
    };
    const Case cases[] = {
        {"", '7', true},
        {"", '-', true},
        {"-1", '-', false},
        {"1.5", '.', false},
        {"12", '.', true},
        {"12", 'e', false},
        {"12", ' ', false},
        {"1234567890123", '4', false},
        {"1234567890123", 8, true},
        {"123456789012", '9', true},
        {"", ',', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " + " + c.key);
        EXPECT_EQ(AcceptEditKey(c.text, c.key), c.taken);
    }
}

TEST(NavigatorMath, ADragOutsideTheDialCircleSpinsAndOneInsideTilts)
{
    // Outside the inscribed circle: a turn about the view axis by the angle swept around
    // the centre (80, 80).
    const DialDrag spin = DialDrag::Start(158, 80, 160, 160);
    ASSERT_TRUE(spin.spin);
    const TMatrix3D quarter = spin.Rotation(80, 2);  // from east to north: +90 degrees
    TMatrix3D expected;
    RotationMatrix({0, 0, 1}, std::numbers::pi / 2, expected);
    ExpectMatrixNear(quarter, expected, 1e-12);
    ExpectMatrixNear(spin.Rotation(80, 80), TMatrix3D{}, 0);

    // Inside: a tilt about (dy, dx, 0), one degree per pixel.
    const DialDrag tilt = DialDrag::Start(70, 90, 160, 160);
    ASSERT_FALSE(tilt.spin);
    RotationMatrix({4, 3, 0}, 5 * std::numbers::pi / 180, expected);
    ExpectMatrixNear(tilt.Rotation(73, 94), expected, 1e-12);
    ExpectMatrixNear(tilt.Rotation(70, 90), TMatrix3D{}, 0);
}

}  // namespace
