#include "tests/plugin3d/model/scene/project3d_test_support.h"

#include "platform/forms/exceptions.h"
#include "platform/kernel/threads.h"
#include "tests/plugin3d/model/core/core_test_support.h"

namespace kelvora::test {

IMPLEMENT_TCLASS(SlowConstruction, TKCustomConstruction3D)

void SlowConstruction::Draw(TDrawContext3D* context)
{
    ++started;
    // The length is taken at the start: a test shortens the next pass while this one runs.
    const int length = steps.load();
    try {
        for (int i = 0; i < length; ++i) {
            Sleep(1);
            if (context->Thread) context->Thread->CheckTerminated();
        }
    } catch (const EAbort&) {
        ++stopped;
        throw;
    }
    ++finished;
}

namespace {

const TClass kTestClasses[] = {TestConstruction::StaticClass(), TestCamera::StaticClass(),
                               TestDrawSystem::StaticClass(),   TestLight::StaticClass(),
                               TestDepository::StaticClass(),   SlowConstruction::StaticClass(),
                               CountingList::StaticClass()};

}  // namespace

ProjectTestClasses::ProjectTestClasses()
{
    for (TClass cls : kTestClasses) RegisterClassBranch(cls);
    RegisterDepositoryClass(TestDepository::StaticClass(), TestConstruction::StaticClass());
}

ProjectTestClasses::~ProjectTestClasses()
{
    UnregisterDepositoryClass(TestDepository::StaticClass(), TestConstruction::StaticClass());
    for (TClass cls : kTestClasses) UnregisterClassBranch(cls);
}

bool WaitForImages(TKelvora3DProject& project)
{
    TKThread* thread = project.ImageThread();
    const bool done = WaitUntil([&] {
        return !project.ImagePending() && !thread->HasQueuedJob() && thread->State() != ktsRunning &&
               !project.InSceneEdit();
    });
    if (!done)
        ADD_FAILURE() << "pending " << project.ImagePending() << ", queued " << thread->HasQueuedJob()
                      << ", state " << thread->State() << ", scene edits " << project.SceneEditCount()
                      << ", status " << thread->StatusText();
    return done;
}

}  // namespace kelvora::test
