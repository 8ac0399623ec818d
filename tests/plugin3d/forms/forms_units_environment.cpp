// Every test of the forms runs with the model's and the forms' units started, as the
// plug-in runs them.

#include <gtest/gtest.h>

#include "plugin3d/forms/forms_units.h"
#include "plugin3d/model/core/core_units.h"

namespace {

class FormsUnitsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(FormsUnits().data(), FormsUnits().size());
    }
    void TearDown() override
    {
        FinalizeUnits(FormsUnits().data(), FormsUnits().size());
        FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new FormsUnitsEnvironment);

}  // namespace
