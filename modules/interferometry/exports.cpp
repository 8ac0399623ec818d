#include "modules/interferometry/exports.h"

#include "modules/interferometry/coherence_dlg.h"
#include "modules/interferometry/complex_operation_dlg.h"
#include "modules/interferometry/fringe_tool.h"
#include "modules/interferometry/phase_filter_dlg.h"
#include "modules/interferometry/phase_unwrap_dlg.h"
#include "modules/interferometry/spectrum_dlg.h"

void Coher_Files()
{
    ShowFringeTool<CMainCalcCoherDlg>(IDD_COHER);
}

void FFT_Files()
{
    ShowFringeTool<CFFTDlg>(IDD_FFT);
}

void PhaseFiltr_Files()
{
    ShowFringeTool<CPhaseFiltrDlg>(IDD_PHASE_FILTR);
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
    ShowFringeTool<CMainPhUnwrapDlg>(IDD_PHASE_UNWRAP);
}
