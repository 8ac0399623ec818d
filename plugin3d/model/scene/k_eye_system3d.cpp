#include "plugin3d/model/scene/k_eye_system3d.h"

#include "plugin3d/model/scene/k_value_setters.h"

IMPLEMENT_TCLASS(TKEyeSystem3D, TKCustomProjectionSystem3D)

void TKEyeSystem3D::Init()
{
    TKCustomProjectionSystem3D::Init();
    m_screenDistance = kDefaultScreenDistance;
    m_depthScale = kDefaultDepthScale;
    TMatrix3D mirror;
    mirror.m[8] = -1;
    Basis()->RotateInPlace(mirror);
}

void TKEyeSystem3D::Assign(TPersistent* source)
{
    auto* other = ObjectAs<TKEyeSystem3D>(source);
    if (!other || other == this) return;
    const double distance = other->ScreenDistance(), scale = other->DepthScale();
    TKObjectLock lock(*this);
    WithinUpdate([&] {
        m_screenDistance = distance;
        m_depthScale = scale;
        if (Enabled() && !IsDestroying()) ObjectChanged(reinterpret_cast<std::intptr_t>(this));
    });
}

void TKEyeSystem3D::SetDouble(double& field, double value)
{
    // Only the viewer bound to this camera has to redraw.
    StoreInUpdate<1>(*this, {&field}, {value}, [this] {
        if (Enabled()) ObjectChanged(reinterpret_cast<std::intptr_t>(this));
    });
}

void TKEyeSystem3D::SetScreenDistance(double distance)
{
    SetDouble(m_screenDistance, distance);
}

void TKEyeSystem3D::SetDepthScale(double scale)
{
    SetDouble(m_depthScale, scale);
}

double TKEyeSystem3D::ScreenDistance() const
{
    return m_screenDistance;
}

double TKEyeSystem3D::DepthScale() const
{
    return m_depthScale;
}

void TKEyeSystem3D::ChangeFinished()
{
    if (Enabled()) ObjectChanged(Visible() ? 0 : reinterpret_cast<std::intptr_t>(this));
    TKCustomProjectionSystem3D::ChangeFinished();
}

void TKEyeSystem3D::GetMinCorner(TVector3D& out)
{
    const double d = m_screenDistance;
    out = {-d, -d, -d};
}

void TKEyeSystem3D::GetMaxCorner(TVector3D& out)
{
    const double d = m_screenDistance;
    out = {d, d, d};
}

void TKEyeSystem3D::ProjectSingle(const TVector3S& in, TVector3S& out)
{
    if (in.z == 0) {
        out = {};
        return;
    }
    const double k = m_screenDistance / in.z;
    const double z = double(in.z) * m_depthScale;
    out = {float(in.x * k), float(in.y * k), float(z)};
}

void TKEyeSystem3D::Project(const TVector3D& in, TVector3D& out)
{
    if (in.z == 0) {
        out = {};
        return;
    }
    const double k = m_screenDistance / in.z;
    out = {in.x * k, in.y * k, in.z * m_depthScale};
}

int TKEyeSystem3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomProjectionSystem3D::SaveToStream(stream);
    return bytes + WriteValue(stream, m_screenDistance) + WriteValue(stream, m_depthScale);
}

int TKEyeSystem3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomProjectionSystem3D::LoadFromStream(stream);
    return bytes + ReadValue(stream, m_screenDistance) + ReadValue(stream, m_depthScale);
}
