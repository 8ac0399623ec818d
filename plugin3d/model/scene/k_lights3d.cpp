#include "plugin3d/model/scene/k_lights3d.h"

#include <cmath>
#include <type_traits>

#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_value_setters.h"

IMPLEMENT_TCLASS(TKAmbientLight3D, TKCustomLightSystem3D)
IMPLEMENT_TCLASS(TKFlatSpringLight3D, TKCustomLightSystem3D)
IMPLEMENT_TCLASS(TKPointSpringLight3D, TKCustomLightSystem3D)

namespace {

// How far up the light a flat light's shadow ray starts.
constexpr double kFlatShadowDistance = 1000000.0;

// The normalised x axis (first column) of a basis.
TVector3D AxisOf(const TKBasis3D& basis)
{
    const TMatrix3D& m = basis.Matrix();
    TVector3D axis;
    VectorNormalize({m.m[0], m.m[3], m.m[6]}, axis);
    return axis;
}

int WriteDoubles(TKObjectsStream* stream, const double* values, int count)
{
    int bytes = 0;
    for (int i = 0; i < count; ++i) bytes += WriteValue(stream, values[i]);
    return bytes;
}

int ReadDoubles(TKObjectsStream* stream, double* values, int count)
{
    int bytes = 0;
    for (int i = 0; i < count; ++i) bytes += ReadValue(stream, values[i]);
    return bytes;
}

// The precision pairs of a point light's pass: vectors, their scalar, and the law's and the
// occluders' forms of that precision.
TVector3S ToVector(const TVector3D& v, const TVector3S*)
{
    return {float(v.x), float(v.y), float(v.z)};
}
TVector3D ToVector(const TVector3D& v, const TVector3D*)
{
    return v;
}

template <class Vector>
auto Dot(const Vector& a, const Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

float Normalize(const TVector3S& v, TVector3S& out)
{
    return VectorNormalizeSingle(v, out);
}
double Normalize(const TVector3D& v, TVector3D& out)
{
    return VectorNormalize(v, out);
}

// The plug-in's own law takes a light's three channels in one call (one cosine, one term);
// any other law gets AddRed, AddGreen and AddBlue.
template <class Vector, class Real>
void AddChannels(TKCustomReflectionLaw& law, const Vector& direction, const Real (&rgb)[3])
{
    static const TClass simpleLaw = TKSimpleDiffuseReflection::StaticClass();
    if (law.ClassType() == simpleLaw) {
        auto& simple = static_cast<TKSimpleDiffuseReflection&>(law);
        if constexpr (std::is_same_v<Real, float>)
            simple.AddLightSingle(direction, rgb);
        else
            simple.AddLight(direction, rgb);
        return;
    }
    if constexpr (std::is_same_v<Real, float>) {
        law.AddRedSingle(direction, rgb[0]);
        law.AddGreenSingle(direction, rgb[1]);
        law.AddBlueSingle(direction, rgb[2]);
    } else {
        law.AddRed(direction, rgb[0]);
        law.AddGreen(direction, rgb[1]);
        law.AddBlue(direction, rgb[2]);
    }
}

// The light left by the occluders on the ray from to to (1 without any).
float LightLeft(TKCustomConstruction3DList* occluders, const TVector3S& from, const TVector3S& to)
{
    float factor = 1.0f;
    TOcclusion3S record{&from, &to, &factor};
    occluders->OccludeSingle(&record);
    return factor;
}
double LightLeft(TKCustomConstruction3DList* occluders, const TVector3D& from, const TVector3D& to)
{
    double factor = 1.0;
    TOcclusion3D record{&from, &to, &factor};
    occluders->Occlude(&record);
    return factor;
}

}  // namespace

// TKAmbientLight3D

void TKAmbientLight3D::Init()
{
    TKCustomLightSystem3D::Init();
    m_color = {};
}

int TKAmbientLight3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomLightSystem3D::SaveToStream(stream);
    const double rgb[3] = {m_color.x, m_color.y, m_color.z};
    return bytes + WriteDoubles(stream, rgb, 3);
}

int TKAmbientLight3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomLightSystem3D::LoadFromStream(stream);
    double rgb[3];
    const int own = ReadDoubles(stream, rgb, 3);
    m_color = {rgb[0], rgb[1], rgb[2]};
    return bytes + own;
}

void TKAmbientLight3D::IlluminateSingle(TIllumination3S* record)
{
    if (Enabled() && record && record->Reflection) record->Reflection->AddAmbient(m_color);
}

void TKAmbientLight3D::Illuminate(TIllumination3D* record)
{
    if (Enabled() && record && record->Reflection) record->Reflection->AddAmbient(m_color);
}

void TKAmbientLight3D::SetColor(const TVector3D& colour)
{
    StoreInUpdate<3>(*this, {&m_color.x, &m_color.y, &m_color.z}, {colour.x, colour.y, colour.z}, [this] {
        if (Enabled()) ObjectChanged(0);
    });
}

TVector3D TKAmbientLight3D::Color() const
{
    TKSectionGuard guard(LockSection());
    return m_color;
}

// TKFlatSpringLight3D

void TKFlatSpringLight3D::Init()
{
    TKCustomLightSystem3D::Init();
    m_color = {1, 1, 1};
    UpdateDirection();
}

void TKFlatSpringLight3D::UpdateDirection()
{
    if (TKBasis3D* basis = Basis()) m_direction = AxisOf(*basis);
}

void TKFlatSpringLight3D::ChangeFinished()
{
    UpdateDirection();
    if (Enabled()) ObjectChanged(0);
    TKCustomLightSystem3D::ChangeFinished();
}

int TKFlatSpringLight3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomLightSystem3D::SaveToStream(stream);
    const double rgb[3] = {m_color.x, m_color.y, m_color.z};
    return bytes + WriteDoubles(stream, rgb, 3);
}

int TKFlatSpringLight3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomLightSystem3D::LoadFromStream(stream);
    double rgb[3];
    const int own = ReadDoubles(stream, rgb, 3);
    m_color = {rgb[0], rgb[1], rgb[2]};
    UpdateDirection();
    return bytes + own;
}

void TKFlatSpringLight3D::IlluminateSingle(TIllumination3S* record)
{
    if (!Enabled() || !record || !record->Reflection) return;
    double factor = 1.0;
    if (record->Occluders && Shadows() && record->Point) {
        const TVector3S& point = *record->Point;
        const TVector3S from{float(point.x - m_direction.x * kFlatShadowDistance),
                             float(point.y - m_direction.y * kFlatShadowDistance),
                             float(point.z - m_direction.z * kFlatShadowDistance)};
        factor = LightLeft(record->Occluders, from, point);
    }
    const double rgb[3] = {m_color.x * factor, m_color.y * factor, m_color.z * factor};
    AddChannels(*record->Reflection, m_direction, rgb);
}

void TKFlatSpringLight3D::Illuminate(TIllumination3D* record)
{
    if (!Enabled() || !record || !record->Reflection) return;
    double factor = 1.0;
    if (record->Occluders && Shadows() && record->Point) {
        TVector3D from;
        VectorScale(m_direction, -kFlatShadowDistance, from);
        VectorAdd(*record->Point, from, from);
        factor = LightLeft(record->Occluders, from, *record->Point);
    }
    const double rgb[3] = {m_color.x * factor, m_color.y * factor, m_color.z * factor};
    AddChannels(*record->Reflection, m_direction, rgb);
}

void TKFlatSpringLight3D::SetColor(double red, double green, double blue)
{
    StoreInUpdate<3>(*this, {&m_color.x, &m_color.y, &m_color.z}, {red, green, blue}, [this] {
        if (Enabled()) ObjectChanged(0);
    });
}

TVector3D TKFlatSpringLight3D::Color() const
{
    TKSectionGuard guard(LockSection());
    return m_color;
}

// TKPointSpringLight3D

void TKPointSpringLight3D::Init()
{
    TKCustomLightSystem3D::Init();
    m_color[0] = m_color[1] = m_color[2] = 1;
    m_attenuation[0] = 1;
    m_attenuation[1] = m_attenuation[2] = 0;
    m_spotExponent = 0;
    m_spotCutOff = -1;
    UpdatePlacement();
}

void TKPointSpringLight3D::UpdatePlacement()
{
    TKBasis3D* basis = Basis();
    if (!basis) return;
    basis->GetOrigin(m_position);
    m_direction = AxisOf(*basis);
}

void TKPointSpringLight3D::ChangeFinished()
{
    UpdatePlacement();
    if (Enabled()) ObjectChanged(0);
    TKCustomLightSystem3D::ChangeFinished();
}

int TKPointSpringLight3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomLightSystem3D::SaveToStream(stream);
    const double values[8] = {m_color[0],       m_color[1],       m_color[2],     m_attenuation[0],
                              m_attenuation[1], m_attenuation[2], m_spotExponent, m_spotCutOff};
    return bytes + WriteDoubles(stream, values, 8);
}

int TKPointSpringLight3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomLightSystem3D::LoadFromStream(stream);
    double values[8];
    const int own = ReadDoubles(stream, values, 8);
    for (int i = 0; i < 3; ++i) {
        m_color[i] = values[i];
        m_attenuation[i] = values[3 + i];
    }
    m_spotExponent = values[6];
    m_spotCutOff = values[7];
    UpdatePlacement();
    return bytes + own;
}

double TKPointSpringLight3D::SpotFactor(double cosine)
{
    if (!(cosine >= m_spotCutOff)) return 0;
    if (!(m_spotExponent > 0)) return 1;
    const double e = m_spotExponent * (1 - cosine);
    return std::exp(-e * e);
}

template <class Vector, class Record>
void TKPointSpringLight3D::IlluminateIn(Record* record)
{
    using Real = decltype(Vector{}.x);
    if (!Enabled() || !record || !record->Reflection || !record->Point) return;
    const Vector position = ToVector(m_position, static_cast<const Vector*>(nullptr));
    const Vector direction = ToVector(m_direction, static_cast<const Vector*>(nullptr));
    const Vector& point = *record->Point;
    Vector l{point.x - position.x, point.y - position.y, point.z - position.z};
    const Real d = Normalize(l, l);
    Real s = Real(SpotFactor(d > 0 ? double(Dot(l, direction)) : 1.0));
    const Real a = Real(m_attenuation[0]) + Real(m_attenuation[1]) * d + Real(m_attenuation[2]) * d * d;
    // No light where the attenuation does not weaken it: a sum of 0 or less would give an
    // infinite or negative light.
    if (!(a > 0)) return;
    s /= a;
    if (record->Occluders && Shadows()) s *= Real(LightLeft(record->Occluders, position, point));
    const Real rgb[3] = {s * Real(m_color[0]), s * Real(m_color[1]), s * Real(m_color[2])};
    AddChannels(*record->Reflection, l, rgb);
}

void TKPointSpringLight3D::IlluminateSingle(TIllumination3S* record)
{
    IlluminateIn<TVector3S>(record);
}

void TKPointSpringLight3D::Illuminate(TIllumination3D* record)
{
    IlluminateIn<TVector3D>(record);
}

void TKPointSpringLight3D::SetColor(double red, double green, double blue)
{
    StoreInUpdate<3>(*this, {&m_color[0], &m_color[1], &m_color[2]}, {red, green, blue}, [this] {
        if (Enabled()) ObjectChanged(0);
    });
}

void TKPointSpringLight3D::SetAttenuation(double c0, double c1, double c2)
{
    StoreInUpdate<3>(*this, {&m_attenuation[0], &m_attenuation[1], &m_attenuation[2]}, {c0, c1, c2}, [this] {
        if (Enabled()) ObjectChanged(0);
    });
}

void TKPointSpringLight3D::SetSpot(double exponent, double cutOff)
{
    StoreInUpdate<2>(*this, {&m_spotExponent, &m_spotCutOff}, {exponent, cutOff}, [this] {
        if (Enabled()) ObjectChanged(0);
    });
}

TVector3D TKPointSpringLight3D::Color() const
{
    TKSectionGuard guard(LockSection());
    return {m_color[0], m_color[1], m_color[2]};
}

TVector3D TKPointSpringLight3D::Attenuation() const
{
    TKSectionGuard guard(LockSection());
    return {m_attenuation[0], m_attenuation[1], m_attenuation[2]};
}

double TKPointSpringLight3D::SpotExponent() const
{
    TKSectionGuard guard(LockSection());
    return m_spotExponent;
}

double TKPointSpringLight3D::SpotCutOff() const
{
    TKSectionGuard guard(LockSection());
    return m_spotCutOff;
}
