#include "tests/plugin3d/model/scene/scene_test_support.h"

#include "plugin3d/model/core/k_threads.h"

namespace kelvora::test {

IMPLEMENT_TCLASS(TestConstruction, TKCustomConstruction3D)
IMPLEMENT_TCLASS(TestCamera, TKCustomProjectionSystem3D)
IMPLEMENT_TCLASS(TestDrawSystem, TKCustomDrawSystem3D)
IMPLEMENT_TCLASS(TestLight, TKCustomLightSystem3D)
IMPLEMENT_TCLASS(CountingList, TKCustomChangeObjectList)
IMPLEMENT_TCLASS(TestDepository, TKDepositoryCustomConstruction3D)
IMPLEMENT_TCLASS(WideDepository, TestDepository)

void TestConstruction::Draw(TDrawContext3D* context)
{
    const std::string status = context->Thread ? context->Thread->StatusText() : std::string();
    draws.push_back(status + (context->DrawSystem ? "+" : "-"));
}

void TestConstruction::OccludeSingle(TOcclusion3S* record)
{
    ++occluded;
    *record->Factor -= shade;
}

TKCustomConstruction3D* TestConstruction::CreateSnapshot(TPersistent* owner)
{
    if (!snapshots) return nullptr;
    auto* copy = TestConstruction::New(owner);
    copy->minCorner = minCorner;
    copy->maxCorner = maxCorner;
    return copy;
}

void TestCamera::ProjectSingle(const TVector3S& in, TVector3S& out)
{
    projected.push_back(in);
    out = {2 * in.x, in.y, in.z};
}

void TestDepository::ApplyCurrentRecord()
{
    applied.push_back(CurrentRecord());
    if (onApply) onApply();
}

int TestDepository::OpenEditor(std::intptr_t param)
{
    editorsOpened.push_back(param);
    return 0;
}

}  // namespace kelvora::test
