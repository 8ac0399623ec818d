// Every test of the core library runs with its units started, as the plug-in runs them.

#include <gtest/gtest.h>

#include "plugin3d/model/core/core_units.h"

namespace {

class CoreUnitsEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InitializeUnits(CoreUnits().data(), CoreUnits().size()); }
    void TearDown() override { FinalizeUnits(CoreUnits().data(), CoreUnits().size()); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CoreUnitsEnvironment);

}  // namespace
