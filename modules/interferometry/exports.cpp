#include "modules/interferometry/exports.h"

#include "modules/common/tool_placeholder.h"
#include "modules/interferometry/fringe_tool.h"

void Coher_Files()
{
    ShowToolNotBuilt("Coherence calculation");
}

void FFT_Files()
{
    ShowToolNotBuilt("Spectrum Analysis");
}

void PhaseFiltr_Files()
{
    ShowToolNotBuilt("Phase filtration");
}

void Operation_Complex_Files()
{
    ShowToolNotBuilt("Complex operations");
}

void Diff_Files()
{
    ShowToolNotBuilt("Derivation");
}

void PhaseUnwrap_Files()
{
    ShowToolNotBuilt("Phase unwrapping");
}
