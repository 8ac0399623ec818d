#include "plugin3d/model/scene/k_diffuse_reflection.h"

#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_value_setters.h"

IMPLEMENT_TCLASS(TKSimpleDiffuseReflection, TKCustomReflectionLaw)

namespace {

// c0 + c1 x + c2 x^2, held to [0, 1] (NaN gives 0).
inline double Clamped(const double (&c)[3], double x)
{
    const double v = x * (x * c[2] + c[1]) + c[0];
    if (!(v >= 0)) return 0;
    return v > 1 ? 1 : v;
}

}  // namespace

void TKSimpleDiffuseReflection::Init()
{
    TKCustomReflectionLaw::Init();
    Lights = nullptr;
    Occluders = nullptr;
    Point = Normal = ViewDir = nullptr;
    Output = nullptr;
    UseNormal = 1;
    m_attenuation[0] = m_attenuation[1] = 0.5;
    m_attenuation[2] = 0;
    m_radiation[0] = 1;
    m_radiation[1] = m_radiation[2] = 0;
}

void TKSimpleDiffuseReflection::Assign(TPersistent* source)
{
    if (!source) return;
    auto* other = ObjectAs<TKSimpleDiffuseReflection>(source);
    if (!other) {
        TKCustomReflectionLaw::Assign(source);
        return;
    }
    if (other == this) return;
    const std::string name = other->Name();
    const TVector3D a = other->Attenuation(), r = other->Radiation();
    TKObjectLock lock(*this);
    WithinUpdate([&] {
        SetName(name);
        const double values[6] = {a.x, a.y, a.z, r.x, r.y, r.z};
        double* fields[6] = {&m_attenuation[0], &m_attenuation[1], &m_attenuation[2],
                             &m_radiation[0],   &m_radiation[1],   &m_radiation[2]};
        bool same = true;
        for (int i = 0; i < 6; ++i) same = same && *fields[i] == values[i];
        if (same) return;
        for (int i = 0; i < 6; ++i) *fields[i] = values[i];
        FireEvent(kevPictureChanged, 0);
    });
}

double TKSimpleDiffuseReflection::LightTerm(double x)
{
    return Clamped(m_attenuation, x);
}

double TKSimpleDiffuseReflection::RadiationTerm(double x)
{
    return Clamped(m_radiation, x);
}

template <class Vector>
void TKSimpleDiffuseReflection::AddAmbientColour(const Vector& colour)
{
    if (!Output) return;
    const double k = LightTerm(1.0);
    Output[0] += float(k * colour.x);
    Output[1] += float(k * colour.y);
    Output[2] += float(k * colour.z);
}

void TKSimpleDiffuseReflection::AddAmbientSingle(const TVector3S& colour)
{
    AddAmbientColour(colour);
}

void TKSimpleDiffuseReflection::AddAmbient(const TVector3D& colour)
{
    AddAmbientColour(colour);
}

template <class Vector>
double TKSimpleDiffuseReflection::TermOf(const Vector& direction)
{
    using Real = decltype(direction.x);
    if (!UseNormal || !Normal) return LightTerm(1.0);
    // The light travels along direction, so the way back to it is -direction.
    return LightTerm(
        -(direction.x * Real(Normal->x) + direction.y * Real(Normal->y) + direction.z * Real(Normal->z)));
}

template <class Vector, class Real>
void TKSimpleDiffuseReflection::AddChannel(int channel, const Vector& direction, Real intensity)
{
    if (Output) Output[channel] += float(TermOf(direction) * intensity);
}

void TKSimpleDiffuseReflection::AddLightSingle(const TVector3S& direction, const float (&rgb)[3])
{
    if (!Output) return;
    const double k = TermOf(direction);
    for (int c = 0; c < 3; ++c) Output[c] += float(k * rgb[c]);
}

void TKSimpleDiffuseReflection::AddLight(const TVector3D& direction, const double (&rgb)[3])
{
    if (!Output) return;
    const double k = TermOf(direction);
    for (int c = 0; c < 3; ++c) Output[c] += float(k * rgb[c]);
}

void TKSimpleDiffuseReflection::AddRedSingle(const TVector3S& direction, float intensity)
{
    AddChannel(0, direction, intensity);
}

void TKSimpleDiffuseReflection::AddRed(const TVector3D& direction, double intensity)
{
    AddChannel(0, direction, intensity);
}

void TKSimpleDiffuseReflection::AddGreenSingle(const TVector3S& direction, float intensity)
{
    AddChannel(1, direction, intensity);
}

void TKSimpleDiffuseReflection::AddGreen(const TVector3D& direction, double intensity)
{
    AddChannel(1, direction, intensity);
}

void TKSimpleDiffuseReflection::AddBlueSingle(const TVector3S& direction, float intensity)
{
    AddChannel(2, direction, intensity);
}

void TKSimpleDiffuseReflection::AddBlue(const TVector3D& direction, double intensity)
{
    AddChannel(2, direction, intensity);
}

void TKSimpleDiffuseReflection::Compute()
{
    if (!Output) return;
    Output[0] = Output[1] = Output[2] = 0;
    if (Lights) {
        TIllumination3S record{Point, this, Occluders};
        Lights->IlluminateSingle(&record);
    }
    double r = 1.0;
    if (UseNormal && ViewDir && Normal)
        r = -(double(ViewDir->x) * Normal->x + double(ViewDir->y) * Normal->y +
              double(ViewDir->z) * Normal->z);
    const double k = RadiationTerm(r);
    for (int c = 0; c < 3; ++c) Output[c] = float(Output[c] * k);
}

void TKSimpleDiffuseReflection::SetAttenuation(double a0, double a1, double a2)
{
    StoreInUpdate<3>(*this, {&m_attenuation[0], &m_attenuation[1], &m_attenuation[2]}, {a0, a1, a2},
                     [this] { FireEvent(kevPictureChanged, 0); });
}

void TKSimpleDiffuseReflection::SetRadiation(double r0, double r1, double r2)
{
    StoreInUpdate<3>(*this, {&m_radiation[0], &m_radiation[1], &m_radiation[2]}, {r0, r1, r2},
                     [this] { FireEvent(kevPictureChanged, 0); });
}

TVector3D TKSimpleDiffuseReflection::Attenuation() const
{
    TKSectionGuard guard(LockSection());
    return {m_attenuation[0], m_attenuation[1], m_attenuation[2]};
}

TVector3D TKSimpleDiffuseReflection::Radiation() const
{
    TKSectionGuard guard(LockSection());
    return {m_radiation[0], m_radiation[1], m_radiation[2]};
}

int TKSimpleDiffuseReflection::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    int bytes = TKCustomReflectionLaw::SaveToStream(stream);
    for (double a : m_attenuation) bytes += WriteValue(stream, a);
    for (double r : m_radiation) bytes += WriteValue(stream, r);
    return bytes;
}

int TKSimpleDiffuseReflection::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    int bytes = TKCustomReflectionLaw::LoadFromStream(stream);
    double values[6];
    for (double& v : values) bytes += ReadValue(stream, v);
    for (int i = 0; i < 3; ++i) {
        m_attenuation[i] = values[i];
        m_radiation[i] = values[3 + i];
    }
    return bytes;
}
