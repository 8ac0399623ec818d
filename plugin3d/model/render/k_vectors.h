#pragma once

// Unit KVectors3D: three-component vectors in double and single precision and 3 x 3 matrices
// of doubles, the small value arithmetic every 3D class uses. A matrix is stored row by row
// (element [i][j] is m[3i + j]) and acts on column vectors: the image of v is M * v.
//
// Results go to an out-parameter unless the operation names a value; an out-parameter may
// be one of the inputs. The small operations are inline: bases and surfaces run them per
// point.

#include <cmath>

struct TVector3D {
    double x = 0, y = 0, z = 0;
};

/// Single precision, for large point arrays (surface nodes).
struct TVector3S {
    float x = 0, y = 0, z = 0;
};

struct TMatrix3D {
    double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

inline void MakeVector(double x, double y, double z, TVector3D& out)
{
    out = {x, y, z};
}
inline void VectorFromSingle(const TVector3S& s, TVector3D& out)
{
    out = {s.x, s.y, s.z};
}
/// True when all three components compare exactly equal.
inline bool VectorEqual(const TVector3D& a, const TVector3D& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline void VectorAdd(const TVector3D& a, const TVector3D& b, TVector3D& out)
{
    out = {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline void VectorSub(const TVector3D& a, const TVector3D& b, TVector3D& out)
{
    out = {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline void VectorScale(const TVector3D& a, double k, TVector3D& out)
{
    out = {k * a.x, k * a.y, k * a.z};
}
inline double VectorDot(const TVector3D& a, const TVector3D& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline void VectorCross(const TVector3D& a, const TVector3D& b, TVector3D& out)
{
    out = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double VectorLength(const TVector3D& a)
{
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
/// out = a / |a|; returns |a|. A zero vector gives the zero vector and 0.
inline double VectorNormalize(const TVector3D& a, TVector3D& out)
{
    const double length = VectorLength(a);
    if (length == 0) {
        out = {};
        return 0;
    }
    out = {a.x / length, a.y / length, a.z / length};
    return length;
}
/// The same on single vectors, the length computed and returned as a single.
inline float VectorNormalizeSingle(const TVector3S& a, TVector3S& out)
{
    const float length = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    if (length == 0) {
        out = {};
        return 0;
    }
    out = {a.x / length, a.y / length, a.z / length};
    return length;
}
inline void VectorZero(TVector3D& out)
{
    out = {};
}
inline void VectorZeroSingle(TVector3S& out)
{
    out = {};
}

inline void MatrixIdentity(TMatrix3D& out)
{
    out = TMatrix3D{};
}
inline void MatrixAdd(const TMatrix3D& a, const TMatrix3D& b, TMatrix3D& out)
{
    for (int i = 0; i < 9; ++i) out.m[i] = a.m[i] + b.m[i];
}
inline void MatrixScale(const TMatrix3D& a, double k, TMatrix3D& out)
{
    for (int i = 0; i < 9; ++i) out.m[i] = k * a.m[i];
}
/// A * B (row i of the result is row i of A times B).
inline void MatrixMul(const TMatrix3D& a, const TMatrix3D& b, TMatrix3D& out)
{
    TMatrix3D r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[3 * i + j] = a.m[3 * i] * b.m[j] + a.m[3 * i + 1] * b.m[3 + j] + a.m[3 * i + 2] * b.m[6 + j];
    out = r;
}
/// M[i][j] = a_i * b_j.
inline void VectorOuter(const TVector3D& a, const TVector3D& b, TMatrix3D& out)
{
    const double u[3] = {a.x, a.y, a.z}, v[3] = {b.x, b.y, b.z};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out.m[3 * i + j] = u[i] * v[j];
}
/// The row vector v times M: out_j = sum over i of v_i * M[i][j].
inline void VectorMulMatrix(const TVector3D& v, const TMatrix3D& a, TVector3D& out)
{
    out = {v.x * a.m[0] + v.y * a.m[3] + v.z * a.m[6], v.x * a.m[1] + v.y * a.m[4] + v.z * a.m[7],
           v.x * a.m[2] + v.y * a.m[5] + v.z * a.m[8]};
}
/// M * v.
inline void MatrixMulVector(const TMatrix3D& a, const TVector3D& v, TVector3D& out)
{
    out = {a.m[0] * v.x + a.m[1] * v.y + a.m[2] * v.z, a.m[3] * v.x + a.m[4] * v.y + a.m[5] * v.z,
           a.m[6] * v.x + a.m[7] * v.y + a.m[8] * v.z};
}
/// The rule of Sarrus.
inline double MatrixDeterminant(const TMatrix3D& a)
{
    const double* m = a.m;
    return m[0] * m[4] * m[8] + m[1] * m[5] * m[6] + m[2] * m[3] * m[7] - m[6] * m[4] * m[2] -
           m[8] * m[1] * m[3] - m[7] * m[0] * m[5];
}
/// The adjugate divided by the determinant. A matrix without a finite inverse (determinant 0
/// or not finite, or an entry of the result that is not finite) raises EZeroDivide and leaves
/// out unchanged: infinities written here would spread into every basis that uses them.
void MatrixInverse(const TMatrix3D& a, TMatrix3D& out);
/// The right-handed rotation by angle (radians) about axis (counter-clockwise seen from the
/// axis's tip), for column vectors; the axis is normalised first. A zero axis, or an angle
/// whose cosine is exactly 1, gives the identity.
void RotationMatrix(const TVector3D& axis, double angle, TMatrix3D& out);
