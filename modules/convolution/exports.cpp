#include "modules/convolution/exports.h"

#include "modules/convolution/convolution_dlg.h"
#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/gradient_dlg.h"
#include "modules/convolution/gradient_resources.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/convolution/noise_filter_dlg.h"
#include "platform/dialogs/dialog_template.h"

namespace {

/// Opens a tool's dialog modeless; the dialog deletes itself when its window is destroyed.
template <class Dlg>
void ShowTool(UINT templateId)
{
    // Without its template the dialog would make no window and never free itself.
    if (!platform::FindDialogTemplate(templateId)) return;
    auto* dialog = new Dlg;
    if (dialog->Create(nullptr)) dialog->ShowWindow(SW_SHOW);
}

}  // namespace

void Filtr_Files()
{
    ShowTool<CMainFiltrDlg>(IDD_NOISE_FILTER);
}

void Convolution_Files()
{
    ShowTool<CConvolutionDlg>(IDD_CONVOLUTION);
}

void CalcGradient_Files()
{
    ShowTool<CCalcGradientDlg>(IDD_CALC_GRADIENT);
}
