#include "modules/interferometry/exports.h"

#include "modules/interferometry/coherence_dlg.h"
#include "modules/interferometry/complex_operation_dlg.h"
#include "modules/interferometry/phase_filter_dlg.h"
#include "modules/interferometry/phase_unwrap_dlg.h"
#include "modules/interferometry/spectrum_dlg.h"

void Coher_Files()
{
    ShowTool<CMainCalcCoherDlg>();
}

void FFT_Files()
{
    ShowTool<CFFTDlg>();
}

void PhaseFiltr_Files()
{
    ShowTool<CPhaseFiltrDlg>();
}

void Operation_Complex_Files()
{
    ShowTool<CComplexOperationDlg>();
}

void Diff_Files()
{
    ShowTool<CDiffDlg>();
}

void PhaseUnwrap_Files()
{
    ShowTool<CMainPhUnwrapDlg>();
}
