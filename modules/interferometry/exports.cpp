#include "modules/interferometry/exports.h"

#include "modules/common/tool_placeholder.h"
#include "modules/interferometry/coherence_dlg.h"
#include "modules/interferometry/fringe_tool.h"
#include "modules/interferometry/phase_filter_dlg.h"
#include "modules/interferometry/phase_unwrap_dlg.h"

void Coher_Files()
{
    ShowFringeTool<CMainCalcCoherDlg>(IDD_COHER);
}

void FFT_Files()
{
    ShowToolNotBuilt("Spectrum Analysis");
}

void PhaseFiltr_Files()
{
    ShowFringeTool<CPhaseFiltrDlg>(IDD_PHASE_FILTR);
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
    ShowFringeTool<CMainPhUnwrapDlg>(IDD_PHASE_UNWRAP);
}
