#include "modules/convolution/exports.h"

#include "modules/convolution/convolution_dlg.h"
#include "modules/convolution/gradient_dlg.h"
#include "modules/convolution/noise_filter_dlg.h"

void Filtr_Files()
{
    ShowTool<CMainFiltrDlg>();
}

void Convolution_Files()
{
    ShowTool<CConvolutionDlg>();
}

void CalcGradient_Files()
{
    ShowTool<CCalcGradientDlg>();
}
