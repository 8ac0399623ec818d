#include "plugin3d/forms/k_light_depositories.h"

#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_light_forms.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKLightEditorDepository, TKDepositoryCustomConstruction3D)
IMPLEMENT_TCLASS(TKPointSpringLight3D_Depository, TKLightEditorDepository)
IMPLEMENT_TCLASS(TKAmbientLight3D_Depository, TKLightEditorDepository)

namespace {

std::uint8_t Switch(std::int32_t enabled)
{
    return enabled ? 1 : 0;
}

void StartLightForms()
{
    RegisterClassBranch(TKPointSpringLight3D_Depository::StaticClass());
    RegisterClassBranch(TKAmbientLight3D_Depository::StaticClass());
    RegisterDepositoryClass(TKPointSpringLight3D_Depository::StaticClass(),
                            TKPointSpringLight3D::StaticClass());
    RegisterDepositoryClass(TKAmbientLight3D_Depository::StaticClass(), TKAmbientLight3D::StaticClass());
    RegisterDepositoryClass(TKAmbientLight3D_Depository::StaticClass(), TKFlatSpringLight3D::StaticClass());
    RegisterClassGlyph("TKPointSpringLight3D_64", 64, TKPointSpringLight3D::StaticClass(), true);
    RegisterClassGlyph("TKAmbientLight3D_64", 64, TKAmbientLight3D::StaticClass(), true);
    RegisterClassGlyph("TKFlatSpringLight3D_64", 64, TKFlatSpringLight3D::StaticClass(), true);
}

void EndLightForms()
{
    UnregisterDepositoryClass(TKAmbientLight3D_Depository::StaticClass(), TKFlatSpringLight3D::StaticClass());
    UnregisterDepositoryClass(TKAmbientLight3D_Depository::StaticClass(), TKAmbientLight3D::StaticClass());
    UnregisterDepositoryClass(TKPointSpringLight3D_Depository::StaticClass(),
                              TKPointSpringLight3D::StaticClass());
    UnregisterClassBranch(TKAmbientLight3D_Depository::StaticClass());
    UnregisterClassBranch(TKPointSpringLight3D_Depository::StaticClass());
}

}  // namespace

const TUnitInfo kKLightFormsUnit{"KLightForms", StartLightForms, EndLightForms};

// --- the shared part --------------------------------------------------------------------------

void TKLightEditorDepository::Init()
{
    TKDepositoryCustomConstruction3D::Init();
    m_place = {};
}

void TKLightEditorDepository::Assign(TPersistent* source)
{
    TKDepositoryCustomConstruction3D::Assign(source);
    auto* other = dynamic_cast<TKLightEditorDepository*>(source);
    if (other && other != this && other->ClassType() == ClassType()) m_place = other->m_place;
}

TKLightEditorDepository::~TKLightEditorDepository()
{
    m_editor.Free();
}

void TKLightEditorDepository::SetEditorForm(TKLightEditorForm* form, bool workingCopy)
{
    m_editor.Set(form, workingCopy);
}

int TKLightEditorDepository::OpenEditor(std::intptr_t param)
{
    return m_editor.Open(this, param, [this] { return NewEditorForm(); });
}

void TKLightEditorDepository::ConstructionNotify(TObject*, int code, std::intptr_t)
{
    m_editor.ConstructionEvent(Construction(), code);
}

void TKLightEditorDepository::DrawingNotify(TObject*, int code, std::intptr_t)
{
    m_editor.DrawingEvent(code);
}

int TKLightEditorDepository::LinkObjects(TKObjectsStream* stream)
{
    const int result = TKDepositoryCustomConstruction3D::LinkObjects(stream);
    if (result >= 0) m_editor.Reopen(this, stream, m_place.Depth, [this] { return NewEditorForm(); });
    return result;
}

int TKLightEditorDepository::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    // A save's job writes what the editor took of itself before the job started.
    if (platform::IsUiThread()) {
        if (TKLightEditorForm* form = m_editor.IsWorkingCopy() ? nullptr : m_editor.Get()) form->KeepPlace();
        if (const std::int32_t depth = m_editor.SavedDepth(); depth >= 0) m_place.Depth = depth;
    }
    int bytes = TKDepositoryCustomConstruction3D::SaveToStream(stream);
    bytes += WriteValue(stream, m_place.Left);
    bytes += WriteValue(stream, m_place.Top);
    bytes += WriteValue(stream, std::int32_t(m_place.KeepOnTop));
    bytes += WriteValue(stream, m_place.Drawing);
    bytes += WriteValue(stream, m_place.Record);
    bytes += WriteValue(stream, m_place.Depth);
    return bytes;
}

int TKLightEditorDepository::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    m_editor.Free();
    int bytes = TKDepositoryCustomConstruction3D::LoadFromStream(stream);
    std::int32_t keepOnTop = 0;
    bytes += ReadValue(stream, m_place.Left);
    bytes += ReadValue(stream, m_place.Top);
    bytes += ReadValue(stream, keepOnTop);
    m_place.KeepOnTop = keepOnTop ? 1 : 0;
    bytes += ReadValue(stream, m_place.Drawing);
    bytes += ReadValue(stream, m_place.Record);
    bytes += ReadValue(stream, m_place.Depth);
    return bytes;
}

void TKLightEditorDepository::ApplyEdited(TKLightEditorDepository* copy)
{
    TKCustomConstruction3D* light = Construction();
    if (!light || !copy || copy == this) return;
    light->WithinUpdate([&] {
        CopyFrom(copy);
        light->ObjectChanged(0);
        m_place = copy->m_place;
    });
}

// --- the point light ------------------------------------------------------------------------

void TKPointSpringLight3D_Depository::SetConstruction(TKCustomConstruction3D* construction)
{
    TKLightEditorDepository::SetConstruction(dynamic_cast<TKPointSpringLight3D*>(construction));
}

int TKPointSpringLight3D_Depository::RecordSize() const
{
    return static_cast<int>(sizeof(TPointLightRecord));
}

void TKPointSpringLight3D_Depository::ClearRecordData(void* payload)
{
    if (payload) *static_cast<TPointLightRecord*>(payload) = TPointLightRecord{};
}

bool TKPointSpringLight3D_Depository::CopyRecordData(void* dest, const void* source)
{
    if (!dest || !source) return false;
    auto& to = *static_cast<TPointLightRecord*>(dest);
    const auto& from = *static_cast<const TPointLightRecord*>(source);
    const bool changed = to.Red != from.Red || to.Green != from.Green || to.Blue != from.Blue ||
                         to.Constant != from.Constant || to.Linear != from.Linear ||
                         to.Quadratic != from.Quadratic || to.SpotExponent != from.SpotExponent ||
                         to.SpotCutOff != from.SpotCutOff || Switch(to.Enabled) != Switch(from.Enabled);
    if (changed) to = from;
    return changed;
}

void TKPointSpringLight3D_Depository::ApplyCurrentRecord()
{
    auto* light = dynamic_cast<TKPointSpringLight3D*>(Construction());
    const auto* record = static_cast<const TPointLightRecord*>(GetRecordData(CurrentRecord()));
    if (!light || !record) return;
    light->SetColor(record->Red, record->Green, record->Blue);
    light->SetAttenuation(record->Constant, record->Linear, record->Quadratic);
    light->SetSpot(record->SpotExponent, record->SpotCutOff);
    light->SetEnabled(Switch(record->Enabled));
}

TKLightEditorForm* TKPointSpringLight3D_Depository::NewEditorForm() const
{
    return TKPointSpringLight3DForm::New(nullptr);
}

// --- the ambient and flat lights ------------------------------------------------------------

void TKAmbientLight3D_Depository::SetConstruction(TKCustomConstruction3D* construction)
{
    const bool served =
        dynamic_cast<TKAmbientLight3D*>(construction) || dynamic_cast<TKFlatSpringLight3D*>(construction);
    TKLightEditorDepository::SetConstruction(served ? construction : nullptr);
}

int TKAmbientLight3D_Depository::RecordSize() const
{
    return static_cast<int>(sizeof(TAmbientLightRecord));
}

void TKAmbientLight3D_Depository::ClearRecordData(void* payload)
{
    if (payload) *static_cast<TAmbientLightRecord*>(payload) = TAmbientLightRecord{};
}

bool TKAmbientLight3D_Depository::CopyRecordData(void* dest, const void* source)
{
    if (!dest || !source) return false;
    auto& to = *static_cast<TAmbientLightRecord*>(dest);
    const auto& from = *static_cast<const TAmbientLightRecord*>(source);
    const bool changed = to.Red != from.Red || to.Green != from.Green || to.Blue != from.Blue ||
                         Switch(to.Enabled) != Switch(from.Enabled);
    if (changed) to = from;
    return changed;
}

void TKAmbientLight3D_Depository::ApplyCurrentRecord()
{
    TKCustomConstruction3D* light = Construction();
    const auto* record = static_cast<const TAmbientLightRecord*>(GetRecordData(CurrentRecord()));
    if (!light || !record) return;
    if (auto* flat = dynamic_cast<TKFlatSpringLight3D*>(light))
        flat->SetColor(record->Red, record->Green, record->Blue);
    else if (auto* ambient = dynamic_cast<TKAmbientLight3D*>(light))
        ambient->SetColor(TVector3D{record->Red, record->Green, record->Blue});
    light->SetEnabled(Switch(record->Enabled));
}

TKLightEditorForm* TKAmbientLight3D_Depository::NewEditorForm() const
{
    return TKAmbientLight3DForm::New(nullptr);
}
