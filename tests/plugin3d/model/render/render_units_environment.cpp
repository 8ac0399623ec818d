// Every test of the render library runs with the core's and its own units started, as the
// plug-in runs them.

#include <gtest/gtest.h>

#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/render_units.h"

namespace {

class RenderUnitsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(RenderUnits().data(), RenderUnits().size());
    }
    void TearDown() override
    {
        FinalizeUnits(RenderUnits().data(), RenderUnits().size());
        FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new RenderUnitsEnvironment);

}  // namespace
