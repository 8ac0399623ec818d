#include "outside/basecore/transform_matrix.h"

#include <cmath>

namespace {

bool Finite(const TransformMatrix& m)
{
    return std::isfinite(m.m11) && std::isfinite(m.m12) && std::isfinite(m.m21) && std::isfinite(m.m22) &&
           std::isfinite(m.dx) && std::isfinite(m.dy);
}

// A determinant this small against the size of its terms is rounding noise: the lines
// (or columns) are parallel.
bool Negligible(double det, double scale)
{
    return !(std::fabs(det) > 1e-12 * scale);
}

}  // namespace

BOOL EquateTransform(const TransformMatrix& from, TransformMatrix* to)
{
    if (!to) return FALSE;
    *to = from;
    return TRUE;
}

BOOL CalculationTransform(const CPointT<double> from[3], const CPointT<double> to[3], TransformMatrix* result)
{
    if (!from || !to || !result) return FALSE;
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(from[i].x) || !std::isfinite(from[i].y) || !std::isfinite(to[i].x) ||
            !std::isfinite(to[i].y))
            return FALSE;
    const double ux = from[1].x - from[0].x, uy = from[1].y - from[0].y;
    const double vx = from[2].x - from[0].x, vy = from[2].y - from[0].y;
    const double det = ux * vy - uy * vx;
    if (Negligible(det, std::hypot(ux, uy) * std::hypot(vx, vy))) return FALSE;
    const double qux = to[1].x - to[0].x, quy = to[1].y - to[0].y;
    const double qvx = to[2].x - to[0].x, qvy = to[2].y - to[0].y;
    TransformMatrix m;
    m.m11 = (qux * vy - qvx * uy) / det;
    m.m21 = (qvx * ux - qux * vx) / det;
    m.m12 = (quy * vy - qvy * uy) / det;
    m.m22 = (qvy * ux - quy * vx) / det;
    m.dx = to[0].x - (m.m11 * from[0].x + m.m21 * from[0].y);
    m.dy = to[0].y - (m.m12 * from[0].x + m.m22 * from[0].y);
    if (!Finite(m)) return FALSE;
    *result = m;
    return TRUE;
}

BOOL CalcMultiplicationTransform(const TransformMatrix& f, const TransformMatrix& s, TransformMatrix* result)
{
    if (!result) return FALSE;
    TransformMatrix r;
    r.m11 = f.m11 * s.m11 + f.m12 * s.m21;
    r.m12 = f.m11 * s.m12 + f.m12 * s.m22;
    r.m21 = f.m21 * s.m11 + f.m22 * s.m21;
    r.m22 = f.m21 * s.m12 + f.m22 * s.m22;
    r.dx = f.dx * s.m11 + f.dy * s.m21 + s.dx;
    r.dy = f.dx * s.m12 + f.dy * s.m22 + s.dy;
    if (!Finite(r)) return FALSE;
    *result = r;
    return TRUE;
}

BOOL IsInvertibleTransform(const TransformMatrix& m)
{
    const double det = m.m11 * m.m22 - m.m12 * m.m21;
    return Finite(m) && !Negligible(det, std::fabs(m.m11 * m.m22) + std::fabs(m.m12 * m.m21));
}

BOOL InverseTransformPoint(const TransformMatrix& m, const CPointT<double>& q, CPointT<double>* p)
{
    if (!p || !IsInvertibleTransform(m) || !std::isfinite(q.x) || !std::isfinite(q.y)) return FALSE;
    const double det = m.m11 * m.m22 - m.m12 * m.m21;
    const double X = q.x - m.dx, Y = q.y - m.dy;
    const CPointT<double> r((m.m22 * X - m.m21 * Y) / det, (m.m11 * Y - m.m12 * X) / det);
    if (!std::isfinite(r.x) || !std::isfinite(r.y)) return FALSE;
    *p = r;
    return TRUE;
}

CPointT<double> TransformPoint(const TransformMatrix& m, const CPointT<double>& p)
{
    return {m.m11 * p.x + m.m21 * p.y + m.dx, m.m12 * p.x + m.m22 * p.y + m.dy};
}
