#include "tests/plugin3d/forms/admin_test_project.h"

#include <chrono>
#include <thread>

#include "platform/window/ui_thread.h"

#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"

IMPLEMENT_TCLASS(TAdminTestProject, TKProject)

namespace {

std::int32_t ProjectRequest(TKObjectRequest& request)
{
    auto* project = ObjectAs<TAdminTestProject>(request.Object);
    auto* branch = ObjectAs<TKDataBranch>(reinterpret_cast<TObject*>(request.Argument));
    if (request.Kind != korFillBranch || !project || !branch) return -1;
    branch->SetCount(0);
    branch->SetName(project->Name());
    branch->SetData(TKData::OfObject(project));
    branch->SetFlag(1);
    TKDataBranch* list = TKDataBranch::NewNamed("");
    branch->AddChild(list);
    RequestFillBranch(project, project->Objects(), list);
    return 0;
}

}  // namespace

void TAdminTestProject::Register()
{
    RegisterClassBranch(StaticClass());
    RegisterRequestHandler(StaticClass(), ProjectRequest);
    RegisterClassCaption(StaticClass(), "Test Project");
    TKDataBranch* subItems = GetClassInfoBranch(StaticClass(), kciSubItems, true);
    subItems->AddChild(
        TKDataBranch::NewNamed("Change Object", 0, TKData::OfClass(TKCustomChangeObject::StaticClass())));
}

void TAdminTestProject::Unregister()
{
    UnregisterRequestHandler(StaticClass(), ProjectRequest);
    FreeObject(GetClassInfoBranch(StaticClass(), kciSubItems, false));
    UnregisterClassBranch(StaticClass());
}

void TAdminTestProject::Init()
{
    TKProject::Init();
    m_objects = TKCustomChangeObjectList::New();
    m_objects->SetName("Objects");
    m_objects->Events().Add(TKEventHandler::Of<&TAdminTestProject::ListEvent>(this));
}

TAdminTestProject::~TAdminTestProject()
{
    if (!m_objects) return;
    m_objects->Events().Remove(TKEventHandler::Of<&TAdminTestProject::ListEvent>(this));
    m_objects->Clear();
    FreeAndNil(m_objects);
}

void TAdminTestProject::ListEvent(TObject* sender, int code, std::intptr_t param)
{
    if (code == kevItemEvent) {
        FireEvent(kevItemEvent, param);
        return;
    }
    TItemEvent record{sender, code, param};
    FireEvent(kevItemEvent, reinterpret_cast<std::intptr_t>(&record));
}

int TAdminTestProject::SaveToStream(TKObjectsStream* stream)
{
    if (!platform::IsUiThread()) {
        saveReached = true;
        while (holdSave) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return TKProject::SaveToStream(stream);
}

int TAdminTestProject::Operation(int code, std::intptr_t param)
{
    if (const int answer = TKProject::Operation(code, param); answer >= 0) return answer;
    switch (code) {
        case kopCreateObject: {
            auto* record = reinterpret_cast<TKCreateObjectRequest*>(param);
            auto* object = ObjectAs<TKCustomChangeObject>(record->Class->Construct(nullptr));
            m_objects->Add(object);
            record->Object = object;
            SetModified(true);
            return 0;
        }
        case kopCanDelete:
            return reinterpret_cast<TObject*>(param) == m_objects ? 0 : -1;
        case kopOpenObjectEditor:
            opened.push_back(reinterpret_cast<TObject*>(param));
            return 0;
        case kopDepositoryOf:
            *reinterpret_cast<TObject**>(param) = nullptr;
            return 0;
        default:
            return -1;
    }
}
