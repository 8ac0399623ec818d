#include "plugin3d/model/render/k_vectors.h"

#include "platform/forms/exceptions.h"

void MatrixInverse(const TMatrix3D& a, TMatrix3D& out)
{
    const double* m = a.m;
    const double det = MatrixDeterminant(a);
    if (det == 0 || !std::isfinite(det)) throw EZeroDivide();
    const double k = 1.0 / det;
    TMatrix3D r;
    r.m[0] = (m[4] * m[8] - m[5] * m[7]) * k;
    r.m[1] = (m[2] * m[7] - m[1] * m[8]) * k;
    r.m[2] = (m[1] * m[5] - m[2] * m[4]) * k;
    r.m[3] = (m[5] * m[6] - m[3] * m[8]) * k;
    r.m[4] = (m[0] * m[8] - m[2] * m[6]) * k;
    r.m[5] = (m[2] * m[3] - m[0] * m[5]) * k;
    r.m[6] = (m[3] * m[7] - m[4] * m[6]) * k;
    r.m[7] = (m[1] * m[6] - m[0] * m[7]) * k;
    r.m[8] = (m[0] * m[4] - m[1] * m[3]) * k;
    for (double v : r.m)
        if (!std::isfinite(v)) throw EZeroDivide();
    out = r;
}

void RotationMatrix(const TVector3D& axis, double angle, TMatrix3D& out)
{
    out = TMatrix3D{};
    TVector3D u;
    if (VectorNormalize(axis, u) == 0) return;
    const double c = std::cos(angle), s = std::sin(angle);
    if (c == 1.0) return;
    // u u^T + (c I + s [u]x) (I - u u^T)
    TMatrix3D uu, rest, turn, product;
    VectorOuter(u, u, uu);
    for (int i = 0; i < 9; ++i) rest.m[i] = (i % 4 == 0 ? 1.0 : 0.0) - uu.m[i];
    turn.m[0] = c, turn.m[1] = -s * u.z, turn.m[2] = s * u.y;
    turn.m[3] = s * u.z, turn.m[4] = c, turn.m[5] = -s * u.x;
    turn.m[6] = -s * u.y, turn.m[7] = s * u.x, turn.m[8] = c;
    MatrixMul(turn, rest, product);
    MatrixAdd(uu, product, out);
}
