#include "plugin3d/model/scene/k_custom3d.h"

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_objects_list.h"

IMPLEMENT_TCLASS(TKCustomReflectionLaw, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKCustomDrawSystem3D, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKCustomObject3D, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKCustomConstruction3D, TKCustomObject3D)
IMPLEMENT_TCLASS(TKCustomProjectionSystem3D, TKCustomConstruction3D)
IMPLEMENT_TCLASS(TKCustomLightSystem3D, TKCustomConstruction3D)

namespace {

std::atomic<TKObjectsList*> g_constructions{nullptr};
std::atomic<TKObjectsList*> g_reflectionLaws{nullptr};
std::atomic<TKObjectsList*> g_drawSystems{nullptr};

void StartCustom3D()
{
    g_constructions = TKObjectsList::NewNamed("Global List of KCustomConstruction3D");
    g_reflectionLaws = TKObjectsList::NewNamed("Global List of KCustomReflectionLaw");
    g_drawSystems = TKObjectsList::NewNamed("Global List of KCustomDrawSystem3D");
}

void EndCustom3D()
{
    FreeObject(g_drawSystems.exchange(nullptr));
    FreeObject(g_reflectionLaws.exchange(nullptr));
    FreeObject(g_constructions.exchange(nullptr));
}

void Join(const std::atomic<TKObjectsList*>& list, TObject* object)
{
    if (TKObjectsList* l = list.load(std::memory_order_acquire)) l->Add(object);
}

void Leave(const std::atomic<TKObjectsList*>& list, TObject* object)
{
    if (TKObjectsList* l = list.load(std::memory_order_acquire)) l->Remove(object);
}

// The setter protocol of the byte switches: under the lock, when the value differs, an
// update around the store and the notification (so listeners see 4, the notification's
// events, 5).
template <class Notify>
void SetSwitch(TKCustomChangeObject& object, std::atomic<std::uint8_t>& field, std::uint8_t value,
               Notify&& notify)
{
    TKObjectLock lock(object);
    if (field.load(std::memory_order_acquire) == value) return;
    object.WithinUpdate([&] {
        field.store(value, std::memory_order_release);
        if (!object.IsDestroying()) notify();
    });
}

int WriteFlags(TKObjectsStream* stream, bool bit0, bool bit1)
{
    return WriteValue(stream, static_cast<std::int32_t>((bit0 ? 1 : 0) | (bit1 ? 2 : 0)));
}

std::int32_t ReadFlags(TKObjectsStream* stream)
{
    std::int32_t flags = 0;
    ReadValue(stream, flags);
    return flags;
}

}  // namespace

const TUnitInfo kKCustom3DUnit{"KCustom3D", StartCustom3D, EndCustom3D};

TKObjectsList* Construction3DGlobalList()
{
    return g_constructions.load(std::memory_order_acquire);
}

TKObjectsList* ReflectionLawGlobalList()
{
    return g_reflectionLaws.load(std::memory_order_acquire);
}

TKObjectsList* DrawSystem3DGlobalList()
{
    return g_drawSystems.load(std::memory_order_acquire);
}

// TKCustomReflectionLaw

void TKCustomReflectionLaw::Create(void* owner)
{
    TKCustomChangeObject::Create(owner);
    Join(g_reflectionLaws, this);
}

TKCustomReflectionLaw::~TKCustomReflectionLaw()
{
    Leave(g_reflectionLaws, this);
}

void TKCustomReflectionLaw::AddAmbientSingle(const TVector3S&) {}
void TKCustomReflectionLaw::AddAmbient(const TVector3D&) {}
void TKCustomReflectionLaw::AddRedSingle(const TVector3S&, float) {}
void TKCustomReflectionLaw::AddRed(const TVector3D&, double) {}
void TKCustomReflectionLaw::AddGreenSingle(const TVector3S&, float) {}
void TKCustomReflectionLaw::AddGreen(const TVector3D&, double) {}
void TKCustomReflectionLaw::AddBlueSingle(const TVector3S&, float) {}
void TKCustomReflectionLaw::AddBlue(const TVector3D&, double) {}

// TKCustomDrawSystem3D

void TKCustomDrawSystem3D::Create(void* owner)
{
    TKCustomChangeObject::Create(owner);
    Join(g_drawSystems, this);
}

TKCustomDrawSystem3D::~TKCustomDrawSystem3D()
{
    Leave(g_drawSystems, this);
}

void TKCustomDrawSystem3D::Init()
{
    TKCustomChangeObject::Init();
    m_enabled = 1;
    m_drawingDepth = 0;
    m_smoothShading = 0;
}

int TKCustomDrawSystem3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomChangeObject::SaveToStream(stream);
    return bytes + WriteFlags(stream, Enabled() != 0, SmoothShading() != 0);
}

int TKCustomDrawSystem3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomChangeObject::LoadFromStream(stream);
    const std::int32_t flags = ReadFlags(stream);
    m_enabled = (flags & 1) ? 1 : 0;
    m_smoothShading = (flags & 2) ? 1 : 0;
    return bytes + 4;
}

void TKCustomDrawSystem3D::DrawingStarted(std::intptr_t param)
{
    FireEvent(kevDrawingStarted, param);
}

void TKCustomDrawSystem3D::DrawingFinished(std::intptr_t param)
{
    FireEvent(kevDrawingFinished, param);
}

void TKCustomDrawSystem3D::EnabledChanged() {}

void TKCustomDrawSystem3D::SetShadeMode(std::uint8_t mode)
{
    m_smoothShading = mode;
}

void TKCustomDrawSystem3D::Clear() {}
void TKCustomDrawSystem3D::DrawPointSingle(const TVertex3S&) {}
void TKCustomDrawSystem3D::DrawPoint(const TVertex3D&) {}
void TKCustomDrawSystem3D::DrawLineSingle(const TVertex3S&, const TVertex3S&) {}
void TKCustomDrawSystem3D::DrawLine(const TVertex3D&, const TVertex3D&) {}
void TKCustomDrawSystem3D::DrawTriangleSingle(const TVertex3S&, const TVertex3S&, const TVertex3S&) {}
void TKCustomDrawSystem3D::DrawTriangle(const TVertex3D&, const TVertex3D&, const TVertex3D&) {}
void TKCustomDrawSystem3D::DrawQuadSingle(const TVertex3S&, const TVertex3S&, const TVertex3S&,
                                          const TVertex3S&)
{
}
void TKCustomDrawSystem3D::DrawQuad(const TVertex3D&, const TVertex3D&, const TVertex3D&, const TVertex3D&) {}

void TKCustomDrawSystem3D::DrawTriangleGridSingle(const TVertexGrid3S& grid, const TGridDrawReport& report)
{
    for (std::int64_t r = 0; r + 1 < grid.rows; ++r) {
        for (std::int64_t c = 0; c + 1 < grid.cols; ++c) {
            const TVertex3S& n00 = grid.At(c, r);
            const TVertex3S& n10 = grid.At(c + 1, r);
            const TVertex3S& n01 = grid.At(c, r + 1);
            const TVertex3S& n11 = grid.At(c + 1, r + 1);
            if ((r + c) % 2 != 0) {
                DrawTriangleSingle(n00, n10, n11);
                DrawTriangleSingle(n00, n01, n11);
            } else {
                DrawTriangleSingle(n00, n10, n01);
                DrawTriangleSingle(n11, n10, n01);
            }
        }
        if (report.checkStop) report.checkStop();
        if (report.rowsDone) report.rowsDone(r + 1);
    }
}

void TKCustomDrawSystem3D::SetEnabled(std::uint8_t enabled)
{
    SetSwitch(*this, m_enabled, enabled, [this] { EnabledChanged(); });
}

void TKCustomDrawSystem3D::BeginDrawing(std::intptr_t param)
{
    if (m_drawingDepth.fetch_add(1, std::memory_order_acq_rel) == 0 && !IsDestroying()) DrawingStarted(param);
}

void TKCustomDrawSystem3D::EndDrawing(std::intptr_t param)
{
    if (m_drawingDepth.load(std::memory_order_acquire) < 1) return;
    if (m_drawingDepth.fetch_sub(1, std::memory_order_acq_rel) == 1 && !IsDestroying())
        DrawingFinished(param);
}

// TKCustomObject3D

void TKCustomObject3D::Init()
{
    TKCustomChangeObject::Init();
    m_basis = nullptr;
    TakeBasis(TKBasis3D::New(this));
}

TKCustomObject3D::~TKCustomObject3D()
{
    Done();
    ReleaseBasis();
}

void TKCustomObject3D::TakeBasis(TKBasis3D* basis)
{
    m_basis = basis;
    basis->SetName(Name());
    basis->Events().Add(TKEventHandler::Of<&TKCustomObject3D::OnBasisEvent>(this));
}

void TKCustomObject3D::ReleaseBasis()
{
    TKBasis3D* basis = m_basis;
    m_basis = nullptr;
    if (!basis) return;
    basis->Events().Remove(TKEventHandler::Of<&TKCustomObject3D::OnBasisEvent>(this));
    basis->Free();
}

void TKCustomObject3D::OnBasisEvent(TObject* sender, int code, std::intptr_t)
{
    if (IsDestroying() || sender != m_basis) return;
    switch (code) {
        case kevTransformStarted:
            ChangeStarted();
            break;
        case kevTransformFinished:
            ChangeFinished();
            break;
        case kevPictureChanged:
            ObjectChanged(reinterpret_cast<std::intptr_t>(this));
            break;
        default:
            break;
    }
}

void TKCustomObject3D::NameChanged()
{
    if (m_basis) m_basis->SetName(Name());
    TKCustomChangeObject::NameChanged();
}

int TKCustomObject3D::BeginOperation(int kind)
{
    if (kind != kokSave && kind != kokLoad) return -1;
    const int answer = m_basis ? m_basis->Operation(kopBeginOperation, kind) : -1;
    return 1 + (answer > 0 ? answer : 0);
}

int TKCustomObject3D::EndOperation(int kind)
{
    if (kind != kokSave && kind != kokLoad) return -1;
    const int answer = m_basis ? m_basis->Operation(kopEndOperation, kind) : -1;
    return 1 + (answer > 0 ? answer : 0);
}

int TKCustomObject3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomChangeObject::SaveToStream(stream);
    return bytes + stream->WriteObject(m_basis);
}

int TKCustomObject3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    int bytes = TKCustomChangeObject::LoadFromStream(stream);
    TKObject* loaded = nullptr;
    bytes += stream->ReadObject(loaded, TKBasis3D::StaticClass());
    auto* basis = ObjectAs<TKBasis3D>(loaded);
    if (!basis) {
        FreeObject(loaded);
        throw EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kInvalidObject));
    }
    ReleaseBasis();
    TakeBasis(basis);
    return bytes;
}

int TKCustomObject3D::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    return m_basis ? m_basis->Operation(kopLink, reinterpret_cast<std::intptr_t>(stream)) : -1;
}

void TKCustomObject3D::ChangeStarted()
{
    FireEvent(kevObjectChangeStarted, 0);
}

void TKCustomObject3D::ChangeFinished()
{
    FireEvent(kevObjectChangeFinished, 0);
}

void TKCustomObject3D::ObjectChanged(std::intptr_t param)
{
    FireEvent(kevPictureChanged, param);
}

void TKCustomObject3D::GetMinCorner(TVector3D& out)
{
    out = {-1, -1, -1};
}

void TKCustomObject3D::GetMaxCorner(TVector3D& out)
{
    out = {1, 1, 1};
}

// TKCustomConstruction3D

void TKCustomConstruction3D::Create(void* owner)
{
    TKCustomObject3D::Create(owner);
    Join(g_constructions, this);
}

TKCustomConstruction3D::~TKCustomConstruction3D()
{
    Leave(g_constructions, this);
}

void TKCustomConstruction3D::Init()
{
    TKCustomObject3D::Init();
    m_enabled = 1;
    m_visible = 1;
}

int TKCustomConstruction3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomObject3D::SaveToStream(stream);
    return bytes + WriteFlags(stream, Enabled() != 0, Visible() != 0);
}

int TKCustomConstruction3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomObject3D::LoadFromStream(stream);
    const std::int32_t flags = ReadFlags(stream);
    m_enabled = (flags & 1) ? 1 : 0;
    m_visible = (flags & 2) ? 1 : 0;
    return bytes + 4;
}

void TKCustomConstruction3D::EnabledChanged()
{
    ObjectChanged(0);
}

void TKCustomConstruction3D::VisibleChanged()
{
    if (Enabled()) ObjectChanged(0);
}

void TKCustomConstruction3D::OccludeSingle(TOcclusion3S*) {}
void TKCustomConstruction3D::Occlude(TOcclusion3D*) {}

void TKCustomConstruction3D::Draw(TDrawContext3D* context)
{
    if (!context || !Enabled() || !Visible() || !context->Camera) return;
    TVector3S origin;
    Basis()->GetOriginSingle(origin);
    TVector3S at;
    ProjectWorldPoint(context->Camera, origin, at);
    if (context->DrawSystem) context->DrawSystem->DrawPointSingle({at.x, at.y, at.z, 1, 1, 1});
}

TKCustomConstruction3D* TKCustomConstruction3D::CreateSnapshot(TPersistent*)
{
    return nullptr;
}

void TKCustomConstruction3D::SetEnabled(std::uint8_t enabled)
{
    SetSwitch(*this, m_enabled, enabled, [this] { EnabledChanged(); });
}

void TKCustomConstruction3D::SetVisible(std::uint8_t visible)
{
    SetSwitch(*this, m_visible, visible, [this] { VisibleChanged(); });
}

// TKCustomProjectionSystem3D

void TKCustomProjectionSystem3D::Init()
{
    TKCustomConstruction3D::Init();
    StoreVisible(0);
}

void TKCustomProjectionSystem3D::ProjectSingle(const TVector3S& in, TVector3S& out)
{
    out = in;
}

void TKCustomProjectionSystem3D::Project(const TVector3D& in, TVector3D& out)
{
    out = in;
}

void TKCustomProjectionSystem3D::ToLocalSingle(const TVector3S& in, TVector3S& out)
{
    TVector3S origin;
    Basis()->GetOriginSingle(origin);
    out = {in.x - origin.x, in.y - origin.y, in.z - origin.z};
}

void TKCustomProjectionSystem3D::ToLocal(const TVector3D& in, TVector3D& out)
{
    TVector3D origin;
    Basis()->GetOrigin(origin);
    VectorSub(in, origin, out);
}

// TKCustomLightSystem3D

void TKCustomLightSystem3D::Init()
{
    TKCustomConstruction3D::Init();
    StoreVisible(0);
    m_shadows = 0;
}

int TKCustomLightSystem3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomConstruction3D::SaveToStream(stream);
    return bytes + WriteValue(stream, static_cast<std::int32_t>(Shadows() ? 1 : 0));
}

int TKCustomLightSystem3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int bytes = TKCustomConstruction3D::LoadFromStream(stream);
    std::int32_t shadows = 0;
    ReadValue(stream, shadows);
    m_shadows = shadows ? 1 : 0;
    return bytes + 4;
}

void TKCustomLightSystem3D::LightChanged()
{
    if (Enabled()) ObjectChanged(0);
}

void TKCustomLightSystem3D::IlluminateSingle(TIllumination3S*) {}
void TKCustomLightSystem3D::Illuminate(TIllumination3D*) {}

void TKCustomLightSystem3D::SetShadows(std::uint8_t shadows)
{
    SetSwitch(*this, m_shadows, shadows, [this] { LightChanged(); });
}

void ProjectWorldPoint(TKCustomProjectionSystem3D* camera, const TVector3S& point, TVector3S& out)
{
    TVector3S local;
    camera->Basis()->InverseTransformSingle(point, local);
    camera->ProjectSingle(local, out);
}
