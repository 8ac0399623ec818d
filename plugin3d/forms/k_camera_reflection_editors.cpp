#include "plugin3d/forms/k_camera_reflection_editors.h"

#include "platform/forms/stdctrls.h"
#include "plugin3d/forms/edit_keys.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKEyeSystem3D_Depository, TKObject)
IMPLEMENT_TCLASS(TKEyeSystem3DForm, TForm)
IMPLEMENT_TCLASS(TKSimpleDiffuseReflectionForm, TForm)

namespace {

constexpr std::intptr_t kCameraKey = 4096;

std::string NumberText(double value)
{
    std::string text;
    FloatToStrDot(12, 6, text, value);
    return text;
}

std::int32_t ReflectionRequest(TKObjectRequest& request)
{
    auto* law = ObjectAs<TKSimpleDiffuseReflection>(request.Object);
    if (request.Kind != korOpen || !law) return -1;
    EditReflectionLaw(law);
    return 0;
}

void StartEyeSystemForm()
{
    RegisterClassBranch(TKEyeSystem3D_Depository::StaticClass());
    RegisterDepositoryClass(TKEyeSystem3D_Depository::StaticClass(), TKEyeSystem3D::StaticClass());
    RegisterClassGlyph("TKEyeSystem3D_64", 64, TKEyeSystem3D::StaticClass(), true);
}

void EndEyeSystemForm()
{
    UnregisterDepositoryClass(TKEyeSystem3D_Depository::StaticClass(), TKEyeSystem3D::StaticClass());
    UnregisterClassBranch(TKEyeSystem3D_Depository::StaticClass());
}

void StartReflectionForm()
{
    RegisterRequestHandler(TKSimpleDiffuseReflection::StaticClass(), ReflectionRequest);
    RegisterClassGlyph("TKSimpleDiffuseReflection_64", 64, TKSimpleDiffuseReflection::StaticClass(), true);
}

void EndReflectionForm()
{
    UnregisterRequestHandler(TKSimpleDiffuseReflection::StaticClass(), ReflectionRequest);
}

}  // namespace

const TUnitInfo kKEyeSystem3DFormUnit{"KEyeSystem3DForm", StartEyeSystemForm, EndEyeSystemForm};
const TUnitInfo kKSimpleDiffuseReflectionFormUnit{"KSimpleDiffuseReflectionForm", StartReflectionForm,
                                                  EndReflectionForm};

// --- the camera's depository ----------------------------------------------------------------

TKEyeSystem3D_Depository::~TKEyeSystem3D_Depository()
{
    SetCamera(nullptr);
}

void TKEyeSystem3D_Depository::Init()
{
    TKObject::Init();
    SetCamera(nullptr);
    m_storedCamera = 0;
}

void TKEyeSystem3D_Depository::SetCamera(TKEyeSystem3D* camera)
{
    if (camera == m_camera) return;
    const auto handler = TKEventHandler::Of<&TKEyeSystem3D_Depository::OnCameraEvent>(this);
    if (m_camera) m_camera->Events().Remove(handler);
    m_camera = camera;
    if (m_camera) m_camera->Events().Add(handler);
}

void TKEyeSystem3D_Depository::OnCameraEvent(TObject* sender, int code, std::intptr_t)
{
    // A camera being freed takes its event manager with it: nothing to leave.
    if (code == kevDestroyed && sender == m_camera && !IsDestroying()) m_camera = nullptr;
}

int TKEyeSystem3D_Depository::SetProperty(std::intptr_t key, std::intptr_t* value)
{
    if (key != kCameraKey || !value) return -1;
    SetCamera(ObjectAs<TKEyeSystem3D>(reinterpret_cast<TObject*>(*value)));
    return 0;
}

int TKEyeSystem3D_Depository::GetProperty(std::intptr_t key, std::intptr_t* value)
{
    if (key != kCameraKey || !value) return -1;
    *value = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(m_camera));
    return 0;
}

int TKEyeSystem3D_Depository::Operation(int code, std::intptr_t param)
{
    int result = TKObject::Operation(code, param);
    if (result < 0 && code == kopOpenEditor) {
        result = 0;
        if (m_camera) EditCamera(m_camera);
    }
    return result;
}

int TKEyeSystem3D_Depository::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    return WriteValue(stream, stream->ObjectReference(m_camera));
}

int TKEyeSystem3D_Depository::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    SetCamera(nullptr);
    return ReadValue(stream, m_storedCamera);
}

int TKEyeSystem3D_Depository::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    SetCamera(ObjectAs<TKEyeSystem3D>(stream->Link(m_storedCamera, TKEyeSystem3D::StaticClass())));
    m_storedCamera = 0;
    return 4;
}

// --- the forms --------------------------------------------------------------------------------

std::vector<THandler> TKEyeSystem3DForm::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(Edit1KeyPress)};
}

void TKEyeSystem3DForm::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    Edit1 = FindControl<TEdit>("Edit1");
    Edit2 = FindControl<TEdit>("Edit2");
    Button1 = FindControl<TButton>("Button1");
    Button2 = FindControl<TButton>("Button2");
}

void TKEyeSystem3DForm::FormCreate(TObject*)
{
    KFlatCaption1->SetHeight(24);
}

void TKEyeSystem3DForm::Edit1KeyPress(TObject* sender, char& key)
{
    if (auto* edit = ObjectAs<TEdit>(sender)) FilterRealKey(edit->Text(), key);
}

std::vector<THandler> TKSimpleDiffuseReflectionForm::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(Edit1KeyPress)};
}

void TKSimpleDiffuseReflectionForm::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    for (int k = 0; k < 6; ++k) Edits[k] = FindControl<TEdit>("Edit" + std::to_string(k + 1));
    Button1 = FindControl<TButton>("Button1");
    Button2 = FindControl<TButton>("Button2");
}

void TKSimpleDiffuseReflectionForm::FormCreate(TObject*)
{
    KFlatCaption1->SetHeight(24);
}

void TKSimpleDiffuseReflectionForm::Edit1KeyPress(TObject* sender, char& key)
{
    if (auto* edit = ObjectAs<TEdit>(sender)) FilterRealKey(edit->Text(), key);
}

bool EditCamera(TKEyeSystem3D* camera)
{
    if (!camera) return false;
    TOwned<TKEyeSystem3DForm> form(TKEyeSystem3DForm::New(nullptr));
    form->KFlatCaption1->SetCaption(camera->Name() + " : Properties");
    form->Edit1->SetText(NumberText(camera->ScreenDistance()));
    form->Edit2->SetText(NumberText(camera->DepthScale()));
    if (form->ShowModal() != mrOk) return false;
    // A box that does not parse leaves its value alone.
    camera->WithinUpdate([&] {
        double value = 0;
        if (StrToFloatDot(form->Edit1->Text(), value)) camera->SetScreenDistance(value);
        if (StrToFloatDot(form->Edit2->Text(), value)) camera->SetDepthScale(value);
    });
    return true;
}

bool EditReflectionLaw(TKSimpleDiffuseReflection* law)
{
    if (!law) return false;
    const TVector3D a = law->Attenuation();
    const TVector3D r = law->Radiation();
    double values[6] = {a.x, a.y, a.z, r.x, r.y, r.z};
    TOwned<TKSimpleDiffuseReflectionForm> form(TKSimpleDiffuseReflectionForm::New(nullptr));
    for (int k = 0; k < 6; ++k) form->Edits[k]->SetText(NumberText(values[k]));
    if (form->ShowModal() != mrOk) return false;
    for (int k = 0; k < 6; ++k) {
        double value = 0;
        if (StrToFloatDot(form->Edits[k]->Text(), value)) values[k] = value;
    }
    law->SetAttenuation(values[0], values[1], values[2]);
    law->SetRadiation(values[3], values[4], values[5]);
    return true;
}
