#pragma once

// What the form-kit tests share: the unit Forms started for each test, as the plug-in starts
// it, and a test owner window that forms without owner take.

#include <gtest/gtest.h>

#include "platform/forms/forms.h"
#include "platform/forms/units.h"

namespace tarvenix::test {

/// Starts the unit Forms for a test (Application, Screen, the classes layouts name).
class FormsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const TUnitInfo units[] = {kFormsUnit};
        InitializeUnits(units);
    }
    void TearDown() override
    {
        static const TUnitInfo units[] = {kFormsUnit};
        FinalizeUnits(units);
    }
};

}  // namespace tarvenix::test
