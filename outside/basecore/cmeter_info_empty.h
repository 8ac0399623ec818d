#pragma once

// A progress sink that does nothing: previews run the job's kernels with it, so the
// kernels report progress the same way whether a user watches or not.

#include "outside/basecore/meter_info.h"

class CMeterInfoEmpty : public CMeterInfoBase {
public:
    void SetText(const char* /*text*/) override {}
    /// Never throws: a preview cannot be stopped through its meter.
    void SetPos(double /*pos*/) override {}
    void SetRange(double /*low*/, double /*high*/) override {}
    void SetStep(double /*step*/) override {}
    void StepIt() override {}
};
