// The vector and matrix arithmetic of the 3D classes: rotations and inverses.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/render/k_vectors.h"

namespace {

bool IsIdentity(const TMatrix3D& m, double tolerance = 0)
{
    for (int i = 0; i < 9; ++i)
        if (std::abs(m.m[i] - (i % 4 == 0 ? 1.0 : 0.0)) > tolerance) return false;
    return true;
}

TMatrix3D Transposed(const TMatrix3D& a)
{
    TMatrix3D t;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) t.m[3 * i + j] = a.m[3 * j + i];
    return t;
}

TEST(Vectors, RotationMatrixIsTheIdentityForAZeroAxisOrAWholeTurn)
{
    struct Case {
        const char* name;
        TVector3D axis;
        double angle;
    };
    const Case cases[] = {
        {"zero axis", {0, 0, 0}, 1.0},
        {"zero angle", {1, 2, 3}, 0.0},
        {"cosine exactly 1 at 2 pi", {0, 1, 0}, 2 * std::numbers::pi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMatrix3D r;
        r.m[4] = 7;  // what the output held before is ignored
        RotationMatrix(c.axis, c.angle, r);
        EXPECT_TRUE(IsIdentity(r));
    }
}

TEST(Vectors, RotationMatrixTurnsRightHandedAboutAnAxisOfAnyLength)
{
    TMatrix3D r;
    RotationMatrix({0, 0, 5}, std::numbers::pi / 2, r);
    TVector3D x;
    MatrixMulVector(r, {1, 0, 0}, x);
    EXPECT_NEAR(x.x, 0, 1e-15);
    EXPECT_NEAR(x.y, 1, 1e-15);
    EXPECT_NEAR(x.z, 0, 1e-15);
    // The axis itself stays put.
    TVector3D axis;
    RotationMatrix({1, -2, 0.5}, 0.7, r);
    MatrixMulVector(r, {1, -2, 0.5}, axis);
    EXPECT_NEAR(axis.x, 1, 1e-14);
    EXPECT_NEAR(axis.y, -2, 1e-14);
    EXPECT_NEAR(axis.z, 0.5, 1e-14);
}

TEST(Vectors, RotationMatricesAreOrthonormal)
{
    const TVector3D axes[] = {{1, 0, 0}, {0, 3, 4}, {-1, 2, 0.25}, {1e-9, 0, 1e-9}};
    for (const TVector3D& axis : axes)
        for (double angle : {0.1, 1.0, std::numbers::pi, -2.5, 100.0}) {
            SCOPED_TRACE(angle);
            TMatrix3D r, product;
            RotationMatrix(axis, angle, r);
            MatrixMul(r, Transposed(r), product);
            EXPECT_TRUE(IsIdentity(product, 1e-14));
            EXPECT_NEAR(MatrixDeterminant(r), 1, 1e-14);
        }
}

TEST(Vectors, MatrixInverseGivesTheInverseAndMayOverwriteItsInput)
{
    TMatrix3D m{{2, 1, 0, -1, 3, 2, 0.5, 0, 4}};
    const TMatrix3D original = m;
    TMatrix3D inverse, product;
    MatrixInverse(m, inverse);
    MatrixMul(original, inverse, product);
    EXPECT_TRUE(IsIdentity(product, 1e-15));
    MatrixInverse(m, m);
    for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(m.m[i], inverse.m[i]);
    MatrixMul(m, original, m);  // the product may overwrite an input too
    EXPECT_TRUE(IsIdentity(m, 1e-15));
}

TEST(Vectors, MatrixInverseRefusesMatricesWithoutAFiniteInverse)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        TMatrix3D m;
    };
    const Case cases[] = {
        {"zero", {{0, 0, 0, 0, 0, 0, 0, 0, 0}}},
        {"dependent rows", {{1, 2, 3, 2, 4, 6, 0, 1, 1}}},
        {"infinite entry", {{inf, 0, 0, 0, 1, 0, 0, 0, 1}}},
        {"not a number", {{nan, 0, 0, 0, 1, 0, 0, 0, 1}}},
        {"determinant too large", {{1e200, 0, 0, 0, 1e200, 0, 0, 0, 1e200}}},
        {"inverse too large", {{1e-310, 0, 0, 0, 1, 0, 0, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMatrix3D out{{9, 9, 9, 9, 9, 9, 9, 9, 9}};
        EXPECT_THROW(MatrixInverse(c.m, out), EZeroDivide);
        EXPECT_EQ(out.m[0], 9);  // nothing written
    }
}

TEST(Vectors, NormalizingAZeroVectorGivesZero)
{
    TVector3D out{1, 1, 1};
    EXPECT_EQ(VectorNormalize({0, 0, 0}, out), 0);
    EXPECT_TRUE(VectorEqual(out, {0, 0, 0}));
    TVector3S single;
    EXPECT_FLOAT_EQ(VectorNormalizeSingle({3, 0, 4}, single), 5);
    EXPECT_FLOAT_EQ(single.z, 0.8f);
}

}  // namespace
