#include "modules/interferometry/exports.h"

#include "modules/common/tool_placeholder.h"
#include "modules/interferometry/complex_operation_dlg.h"
#include "modules/interferometry/fringe_tool.h"
#include "modules/interferometry/spectrum_dlg.h"

void Coher_Files()
{
    ShowToolNotBuilt("Coherence calculation");
}

void FFT_Files()
{
    ShowFringeTool<CFFTDlg>(IDD_FFT);
}

void PhaseFiltr_Files()
{
    ShowToolNotBuilt("Phase filtration");
}

void Operation_Complex_Files()
{
    ShowFringeTool<CComplexOperationDlg>(IDD_COMPLEX_OPERATION);
}

void Diff_Files()
{
    ShowFringeTool<CDiffDlg>(IDD_DIFF);
}

void PhaseUnwrap_Files()
{
    ShowToolNotBuilt("Phase unwrapping");
}
