// Every test of the scene library runs with the core's, the renderer's and its own units
// started, as the plug-in runs them.

#include <gtest/gtest.h>

#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/scene_units.h"

namespace {

class SceneUnitsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(RenderUnits().data(), RenderUnits().size());
        InitializeUnits(SceneUnits().data(), SceneUnits().size());
    }
    void TearDown() override
    {
        FinalizeUnits(SceneUnits().data(), SceneUnits().size());
        FinalizeUnits(RenderUnits().data(), RenderUnits().size());
        FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SceneUnitsEnvironment);

}  // namespace
