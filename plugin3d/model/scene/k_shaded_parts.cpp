#include "plugin3d/model/scene/k_shaded_parts.h"

#include "platform/forms/exceptions.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"

namespace {

// The law's side of a pass: it uses normals and asks the context's lights, with the
// context's constructions as shadow casters. Laws of other classes take no set-up.
void PrepareLawForPass(TKCustomReflectionLaw* law, const TDrawContext3D& context)
{
    auto* diffuse = ObjectAs<TKSimpleDiffuseReflection>(law);
    if (!diffuse) return;
    diffuse->UseNormal = 1;
    diffuse->Lights = context.Lights;
    diffuse->Occluders = context.Objects;
}

void CopyPassSetup(const TKCustomReflectionLaw& from, TKCustomReflectionLaw& to)
{
    const auto* source = ObjectAs<TKSimpleDiffuseReflection>(const_cast<TKCustomReflectionLaw*>(&from));
    auto* target = ObjectAs<TKSimpleDiffuseReflection>(&to);
    if (!source || !target) return;
    target->UseNormal = source->UseNormal;
    target->Lights = source->Lights;
    target->Occluders = source->Occluders;
}

}  // namespace

void TKShadedParts::Init()
{
    m_editDepth = 0;
    m_lighting = 1;
    m_c[0] = 1;
    m_c[1] = m_c[2] = 0;
    m_law = nullptr;
    m_min = {-1, -1, -1};
    m_max = {1, 1, 1};
    m_camera = nullptr;
    m_center = TKBasis3D::New(&m_owner);
    m_center->SetName("Center Point");
    m_owner.Basis()->AddChild(m_center);
}

void TKShadedParts::Release()
{
    DropLawQuietly();
    FreeAndNil(m_center);
}

void TKShadedParts::SetLighting(std::int32_t lighting)
{
    if (lighting < 0) lighting = 0;
    if (lighting > 1) return;
    TKObjectLock lock(m_owner);
    if (lighting == m_lighting) return;
    m_owner.WithinUpdate([&] {
        m_lighting = lighting;
        if (m_owner.Enabled() && !m_owner.IsDestroying()) m_owner.ObjectChanged(0);
    });
}

void TKShadedParts::GetAttenuation(double& c0, double& c1, double& c2) const
{
    c0 = m_c[0];
    c1 = m_c[1];
    c2 = m_c[2];
}

void TKShadedParts::SetAttenuation(double c0, double c1, double c2)
{
    TKObjectLock lock(m_owner);
    if (c0 == m_c[0] && c1 == m_c[1] && c2 == m_c[2]) return;
    m_owner.WithinUpdate([&] {
        m_c[0] = c0;
        m_c[1] = c1;
        m_c[2] = c2;
        if (m_owner.Enabled() && !m_owner.IsDestroying()) m_owner.ObjectChanged(0);
    });
}

void TKShadedParts::TakeLaw(TKCustomReflectionLaw* law)
{
    m_law = law;
    if (law) law->Events().Add(TKEventHandler::Of<&TKShadedParts::OnLawEvent>(this));
}

void TKShadedParts::DropLawQuietly()
{
    TKCustomReflectionLaw* law = m_law;
    m_law = nullptr;
    if (!law) return;
    law->Events().Remove(TKEventHandler::Of<&TKShadedParts::OnLawEvent>(this));
    law->Free();
}

void TKShadedParts::SetReflection(TKCustomReflectionLaw* law)
{
    TKObjectLock lock(m_owner);
    if (law == m_law) return;
    m_owner.WithinUpdate([&] {
        if (law && m_law && law->ClassType() == m_law->ClassType()) {
            m_law->Assign(law);
            return;
        }
        // The copy is made before the old law goes, so a law that cannot be copied leaves
        // the construction as it was.
        auto* copy = law ? static_cast<TKCustomReflectionLaw*>(law->Clone(&m_owner)) : nullptr;
        DropLawQuietly();
        TakeLaw(copy);
        if (m_owner.Enabled() && m_owner.Visible() && m_lighting && !m_owner.IsDestroying())
            m_owner.ObjectChanged(0);
    });
}

void TKShadedParts::OnLawEvent(TObject* sender, int code, std::intptr_t)
{
    if (m_owner.IsDestroying() || sender != m_law) return;
    switch (code) {
        case kevDestroyed:
            m_law->Events().Remove(TKEventHandler::Of<&TKShadedParts::OnLawEvent>(this));
            m_law = nullptr;
            if (m_lighting) m_owner.ObjectChanged(0);
            break;
        case kevChangeBegins:
            m_owner.BeginUpdate();
            break;
        case kevChangeEnds:
            m_owner.EndUpdate();
            break;
        case kevPictureChanged:
            if (m_owner.Enabled() && m_owner.Visible() && m_lighting) m_owner.ObjectChanged(0);
            break;
        default:
            break;
    }
}

void TKShadedParts::ResetBounds()
{
    m_min = {-1, -1, -1};
    m_max = {1, 1, 1};
}

void TKShadedParts::SetBounds(const TVector3D& min, const TVector3D& max)
{
    m_min = min;
    m_max = max;
    if (!m_center) return;
    TVector3D centre, world;
    VectorAdd(min, max, centre);
    VectorScale(centre, 0.5, centre);
    TKBasis3D* basis = m_owner.Basis();
    basis->DirectTransform(centre, world);
    m_center->SetPlacement(basis->Matrix(), world);
}

int TKShadedParts::SaveTail(TKObjectsStream* stream)
{
    int bytes = WriteValue(stream, m_c);
    bytes += stream->WriteObject(m_law);
    bytes += stream->WriteObject(m_center);
    return bytes;
}

int TKShadedParts::LoadTail(TKObjectsStream* stream, TClass lawClass)
{
    int bytes = ReadValue(stream, m_c);
    TKObject* law = nullptr;
    bytes += stream->ReadObject(law, lawClass);
    DropLawQuietly();
    TakeLaw(ObjectAs<TKCustomReflectionLaw>(law));
    if (law && !m_law) FreeObject(law);
    TKObject* center = nullptr;
    bytes += stream->ReadObject(center, TKBasis3D::StaticClass());
    auto* basis = ObjectAs<TKBasis3D>(center);
    if (!basis) {
        FreeObject(center);
        throw EStreamError(ObjectErrorText(&m_owner, ktext::kCantLoad, ktext::kInvalidObject));
    }
    FreeObject(m_center);
    m_center = basis;
    return bytes;
}

int TKShadedParts::LinkObjects(TKObjectsStream* stream, int basisAnswer)
{
    const int law = m_law ? m_law->Operation(kopLink, reinterpret_cast<std::intptr_t>(stream)) : -1;
    const int total = (basisAnswer > 0 ? basisAnswer : 0) + (law > 0 ? law : 0);
    return total == 0 ? -1 : total;
}

void TKShadedParts::BeginPass(const TDrawContext3D& context)
{
    m_camera = context.Camera;
    PrepareLawForPass(m_law, context);
}

TPointShader::TPointShader(TKCustomProjectionSystem3D* camera, const double attenuation[3],
                           TKCustomReflectionLaw* law)
    : m_camera(camera),
      m_c{attenuation[0], attenuation[1], attenuation[2]},
      m_law(law),
      m_diffuse(ObjectAs<TKSimpleDiffuseReflection>(law))
{
}

void TPointShader::Shade(const TVector3S& w, const TVector3S& n, const TVector3S& colour,
                         TVertex3S& vertex) const
{
    TVector3S v;
    m_camera->ToLocalSingle(w, v);
    const float d = VectorNormalizeSingle(v, v);
    const double f = AttenuationFactor(m_c, d);
    if (m_law) {
        float* out = &vertex.c1;
        if (m_diffuse) {
            // The law's pointer fields belong to this call only.
            m_diffuse->Point = &w;
            m_diffuse->Normal = &n;
            m_diffuse->ViewDir = &v;
            m_diffuse->Output = out;
            m_diffuse->Compute();
            m_diffuse->Output = nullptr;
        } else {
            out[0] = out[1] = out[2] = 0;  // a law that cannot compute lights nothing
        }
        vertex.c1 = float(vertex.c1 * f * colour.x);
        vertex.c2 = float(vertex.c2 * f * colour.y);
        vertex.c3 = float(vertex.c3 * f * colour.z);
    } else {
        vertex.c1 = float(f * colour.x);
        vertex.c2 = float(f * colour.y);
        vertex.c3 = float(f * colour.z);
    }
}

std::vector<TPointShader> MakeShaders(int slots, TKCustomProjectionSystem3D* camera,
                                      const double attenuation[3], TKCustomReflectionLaw* law, bool lit,
                                      std::vector<TOwned<TKCustomReflectionLaw>>& copies)
{
    std::vector<TPointShader> shaders;
    shaders.reserve(std::size_t(slots));
    TKCustomReflectionLaw* used = lit ? law : nullptr;
    for (int slot = 0; slot < slots; ++slot) {
        TKCustomReflectionLaw* own = used;
        if (used && slot > 0) {
            copies.emplace_back(static_cast<TKCustomReflectionLaw*>(used->Clone(nullptr)));
            own = copies.back().get();
            CopyPassSetup(*used, *own);
        }
        shaders.emplace_back(camera, attenuation, own);
    }
    return shaders;
}
