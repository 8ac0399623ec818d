#pragma once

// What the 3D project's tests share: the test classes registered for loading (and a
// depository class for the test construction), a wait for the image job, and a construction
// whose draw pass takes a while and records how it ended.

#include <atomic>
#include <string>

#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace kelvora::test {

/// A construction whose draw pass runs `steps` short steps, checking for a stop after each,
/// and records whether it was stopped.
class SlowConstruction : public TKCustomConstruction3D {
    DECLARE_TCLASS(SlowConstruction)

    void Draw(TDrawContext3D* context) override;

    std::atomic<int> steps{20};
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::atomic<int> stopped{0};

protected:
    SlowConstruction() = default;
};

/// Registers the test classes in "Classes" and TestDepository for TestConstruction, for a
/// scope.
class ProjectTestClasses {
public:
    ProjectTestClasses();
    ~ProjectTestClasses();
};

/// Waits until the project has no image job queued or running and nothing out of date.
bool WaitForImages(TKelvora3DProject& project);

/// A new project, freed with the pointer.
inline TOwned<TKelvora3DProject> NewProject()
{
    return TOwned<TKelvora3DProject>(TKelvora3DProject::New(nullptr));
}

}  // namespace kelvora::test
