#include "plugin3d/forms/navigator_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/forms/format.h"
#include "plugin3d/model/render/k_basis3d.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// Below this sine of the middle angle the first and last turns share one axis: the first
// is taken as 0 so that rounding noise of a near-identity matrix shows no made-up angles.
constexpr double kGimbalSine = 1e-10;

bool IsFinite(const TVector3D& a)
{
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

TVector3D Negated(const TVector3D& a)
{
    return {-a.x, -a.y, -a.z};
}

TVector3D Times(const TMatrix3D& a, const TVector3D& b)
{
    TVector3D out;
    MatrixMulVector(a, b, out);
    return out;
}

double ColumnLength(const TMatrix3D& a, int j)
{
    return std::sqrt(a.m[j] * a.m[j] + a.m[3 + j] * a.m[3 + j] + a.m[6 + j] * a.m[6 + j]);
}

void ScaleColumn(TMatrix3D& a, int j, double k)
{
    for (int i = 0; i < 3; ++i) a.m[3 * i + j] *= k;
}

// Element (i, j) of the result is element (i - shift, j - shift) of a, indexes modulo 3:
// a shift of 1 renames the axes X -> Y -> Z -> X.
TMatrix3D RenameAxes(const TMatrix3D& a, int shift)
{
    TMatrix3D out;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out.m[3 * ((i + shift) % 3) + (j + shift) % 3] = a.m[3 * i + j];
    return out;
}

int AxisShift(NavigatorAxis axis)
{
    return static_cast<int>(axis) - 1;
}

// The turn about the common normal of q and f that brings q's direction onto f's (the
// identity when either is zero). Nearly opposite vectors have a normal made of rounding
// noise: they first turn half round about an axis across f, then the small rest.
TMatrix3D TurnOnto(const TVector3D& q, const TVector3D& f)
{
    TMatrix3D g;
    const double e = VectorLength(q) * VectorLength(f);
    if (!(e > 0)) return g;
    const double cosine = std::clamp(VectorDot(q, f) / e, -1.0, 1.0);
    TVector3D axis;
    VectorCross(q, f, axis);
    if (VectorLength(axis) <= 1e-6 * e && cosine < 0) {
        VectorCross({0, 0, 1}, f, axis);
        if (VectorLength(axis) == 0) VectorCross({0, 1, 0}, f, axis);
        TMatrix3D half, rest;
        RotationMatrix(axis, std::numbers::pi, half);
        rest = TurnOnto(Times(half, q), f);
        MatrixMul(rest, half, g);
        return g;
    }
    RotationMatrix(axis, std::acos(cosine), g);
    return g;
}

}  // namespace

BasisPlacement PlacementOf(const TKBasis3D& basis)
{
    BasisPlacement p;
    basis.GetOrigin(p.origin);
    p.matrix = basis.Matrix();
    return p;
}

bool InvertMatrix(const TMatrix3D& a, TMatrix3D& out)
{
    const double det = MatrixDeterminant(a);
    if (det == 0 || !std::isfinite(det)) return false;
    TMatrix3D r;
    try {
        MatrixInverse(a, r);
    } catch (...) {
        return false;
    }
    out = r;
    return true;
}

TMatrix3D BuildOrientation(const NavigatorAngles& angles, NavigatorAxis axis, bool mirrored)
{
    const auto rx = [](double t, double first) {
        const double c = std::cos(t), s = std::sin(t);
        TMatrix3D r;
        r.m[0] = first, r.m[1] = 0, r.m[2] = 0;
        r.m[3] = 0, r.m[4] = c, r.m[5] = s;
        r.m[6] = 0, r.m[7] = -s, r.m[8] = c;
        return r;
    };
    const double cu = std::cos(angles.u * kDegree), su = std::sin(angles.u * kDegree);
    TMatrix3D ry;
    ry.m[0] = cu, ry.m[1] = 0, ry.m[2] = -su;
    ry.m[3] = 0, ry.m[4] = 1, ry.m[5] = 0;
    ry.m[6] = su, ry.m[7] = 0, ry.m[8] = cu;
    TMatrix3D r;
    MatrixMul(rx(angles.v * kDegree, 1.0), ry, r);
    MatrixMul(r, rx(angles.w * kDegree, mirrored ? -1.0 : 1.0), r);
    return RenameAxes(r, AxisShift(axis));
}

NavigatorAngles DecomposeOrientation(const TMatrix3D& matrix, NavigatorAxis axis)
{
    TMatrix3D r = RenameAxes(matrix, (3 - AxisShift(axis)) % 3);
    for (int j = 0; j < 3; ++j) {
        const double length = ColumnLength(r, j);
        if (length > 0) ScaleColumn(r, j, 1.0 / length);
    }
    // A mirrored orientation carries its mirror in the first column (Rx0); taking it off
    // the whole column, not only m00, is what makes this the inverse of the construction.
    if (MatrixDeterminant(r) < 0) ScaleColumn(r, 0, -1.0);
    const double* e = r.m;
    NavigatorAngles a;
    a.u = std::acos(std::clamp(e[0], -1.0, 1.0));
    double m10 = e[3], m20 = e[6];
    if (std::hypot(m10, m20) <= kGimbalSine) {
        m10 = 0, m20 = 1;
    } else {
        a.v = std::atan2(m10, m20);
    }
    const double y = m20 * e[5] - m10 * e[8], x = m20 * e[4] - m10 * e[7];
    if (y != 0 || x != 0) a.w = std::atan2(y, x);
    a.u /= kDegree, a.v /= kDegree, a.w /= kDegree;
    return a;
}

double StepMultiplier(int tick)
{
    return double(1 << std::min(9, std::max(0, tick - 1) / 9));
}

double StepSize(int exponent, int tag)
{
    const double step = std::pow(10.0, -exponent);
    return tag % 2 == 0 ? -step : step;
}

int StepField(int tag)
{
    return (tag + 1) / 2;
}

std::string StepLabel(int exponent)
{
    return exponent == 0 ? std::string("Step :  1") : Format("Step : 1e-%d", exponent);
}

bool AcceptEditKey(std::string_view text, char key)
{
    constexpr char kBackspace = 8;
    constexpr std::size_t kLongest = 13;
    if (key == kBackspace) return true;
    const bool digit = key >= '0' && key <= '9';
    if (!digit && key != '-' && key != '.') return false;
    if (text.size() >= kLongest) return false;
    return digit || text.find(key) == std::string_view::npos;
}

bool NavigatorMath::Reset(const BasisPlacement* master, const BasisPlacement* slave)
{
    const BasisPlacement none;
    const BasisPlacement& ms = master ? *master : none;
    const BasisPlacement& sl = slave ? *slave : none;
    TMatrix3D masterInverse, nm, ninv;
    if (!InvertMatrix(ms.matrix, masterInverse)) return false;
    TVector3D d;
    VectorSub(sl.origin, ms.origin, d);
    const TVector3D nv = Times(masterInverse, d);
    MatrixMul(masterInverse, sl.matrix, nm);
    if (!IsFinite(nv) || !InvertMatrix(nm, ninv)) return false;
    v = nv, m = nm, minv = ninv;
    mirrored = MatrixDeterminant(m) < 0;
    UpdateFixedDirection();
    return true;
}

bool NavigatorMath::Reset(const TKBasis3D* master, const TKBasis3D* slave)
{
    const BasisPlacement ms = master ? PlacementOf(*master) : BasisPlacement{};
    const BasisPlacement sl = slave ? PlacementOf(*slave) : BasisPlacement{};
    return Reset(master ? &ms : nullptr, slave ? &sl : nullptr);
}

bool NavigatorMath::SlavePlacement(const BasisPlacement* master, BasisPlacement& out) const
{
    const BasisPlacement none;
    const BasisPlacement& ms = master ? *master : none;
    BasisPlacement p;
    VectorAdd(ms.origin, Times(ms.matrix, v), p.origin);
    MatrixMul(ms.matrix, m, p.matrix);
    TMatrix3D check;
    if (!IsFinite(p.origin) || !InvertMatrix(p.matrix, check)) return false;
    out = p;
    return true;
}

bool NavigatorMath::Apply(const TKBasis3D* master, TKBasis3D* slave) const
{
    if (!slave) return false;
    const BasisPlacement ms = master ? PlacementOf(*master) : BasisPlacement{};
    BasisPlacement p;
    if (!SlavePlacement(master ? &ms : nullptr, p)) return false;
    slave->SetPlacement(p.matrix, p.origin);
    return true;
}

TVector3D NavigatorMath::ShownVector() const
{
    return masterFromSlave ? Negated(Times(minv, v)) : v;
}

NavigatorAngles NavigatorMath::ShownAngles() const
{
    return DecomposeOrientation(masterFromSlave ? minv : m, axis);
}

double NavigatorMath::Distance() const
{
    return VectorLength(v);
}

bool NavigatorMath::SetMatrix(const TMatrix3D& matrix)
{
    TMatrix3D inverse;
    if (!InvertMatrix(matrix, inverse)) return false;
    m = matrix, minv = inverse;
    return true;
}

bool NavigatorMath::SetInverse(const TMatrix3D& inverse)
{
    TMatrix3D matrix;
    if (!InvertMatrix(inverse, matrix)) return false;
    m = matrix, minv = inverse;
    return true;
}

bool NavigatorMath::SetAngles(const NavigatorAngles& angles)
{
    TMatrix3D r = BuildOrientation(angles, axis, mirrored);
    const TMatrix3D& old = masterFromSlave ? minv : m;
    for (int j = 0; j < 3; ++j) ScaleColumn(r, j, ColumnLength(old, j));
    if (!(masterFromSlave ? SetInverse(r) : SetMatrix(r))) return false;
    KeepDirection();
    return true;
}

bool NavigatorMath::SetMirrored(bool on)
{
    const NavigatorAngles angles = ShownAngles();
    const bool before = mirrored;
    mirrored = on;
    if (SetAngles(angles)) return true;
    mirrored = before;
    return false;
}

bool NavigatorMath::SetPosition(const TVector3D& t)
{
    TVector3D nv = masterFromSlave ? Negated(Times(m, t)) : t;
    if (!IsFinite(nv)) return false;
    if (fixer) {
        const TVector3D q = masterFromSlave ? nv : Negated(Times(minv, t));
        const TMatrix3D g = TurnOnto(q, f);
        TMatrix3D turned;
        if (masterFromSlave) {
            MatrixMul(g, m, turned);
            if (!SetMatrix(turned)) return false;
            nv = Negated(Times(m, t));
        } else {
            MatrixMul(g, minv, turned);
            if (!SetInverse(turned)) return false;
        }
    }
    v = nv;
    return true;
}

bool NavigatorMath::SetDistance(double d)
{
    const double length = Distance();
    if (!(length > kNavigatorMinDistance && d > kNavigatorMinDistance && std::isfinite(d))) return false;
    VectorScale(v, d / length, v);
    return true;
}

bool NavigatorMath::Turn(const TMatrix3D& turn, const TMatrix3D& start)
{
    TMatrix3D turned;
    MatrixMul(turn, start, turned);
    if (!SetMatrix(turned)) return false;
    KeepDirection();
    return true;
}

void NavigatorMath::UpdateFixedDirection()
{
    f = masterFromSlave ? v : Negated(Times(minv, v));
}

void NavigatorMath::KeepDirection()
{
    const double lf = VectorLength(f);
    if (!fixer || !(lf > 0)) return;
    if (masterFromSlave) {
        VectorScale(f, VectorLength(v) / lf, v);
        return;
    }
    TVector3D u = Times(minv, v);
    VectorScale(f, VectorLength(u) / lf, u);
    v = Negated(Times(m, u));
}

TMatrix3D NavigatorMath::ReperMatrix() const
{
    TMatrix3D r = m;
    for (int j = 0; j < 3; ++j) {
        const double length = ColumnLength(r, j);
        if (length > 0) ScaleColumn(r, j, 1.0 / length);
    }
    return r;
}

DialDrag DialDrag::Start(int x, int y, int width, int height)
{
    DialDrag d;
    d.width = width, d.height = height, d.x0 = x, d.y0 = y;
    const double px = x * 2.4 / std::max(1, width - 1) - 1.2;
    const double py = y * 2.4 / std::max(1, height - 1) - 1.2;
    d.spin = px * px + py * py > 1;
    return d;
}

TMatrix3D DialDrag::Rotation(int x, int y) const
{
    TMatrix3D r;
    if (spin) {
        const int cx = width / 2, cy = height / 2;
        if (x == cx && y == cy) return r;
        const double angle =
            std::atan2(double(cy - y), double(x - cx)) - std::atan2(double(cy - y0), double(x0 - cx));
        RotationMatrix({0, 0, 1}, angle, r);
    } else {
        const double dx = x - x0, dy = y - y0;
        RotationMatrix({dy, dx, 0}, std::hypot(dx, dy) * kDegree, r);
    }
    return r;
}
