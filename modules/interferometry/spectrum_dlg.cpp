#include "modules/interferometry/spectrum_dlg.h"

#include <memory>

#include "modules/interferometry/spectrum_job.h"
#include "modules/interferometry/spectrum_kernels.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"

// ---- spectrum -----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CFFTDlg, CFringeToolDlg)
    ON_BN_CLICKED(IDC_SPECTR_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CFFTDlg::CFFTDlg() : CFringeToolDlg(IDD_FFT, IDS_SPECTRUM_ERROR) {}

void CFFTDlg::DoDataExchange(CDataExchange* pDX)
{
    CFringeToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SPECTR_INPUT, m_input);
    DDX_Control(pDX, IDC_SPECTR_OUTPUT, m_output);
    DDX_Radio(pDX, IDC_SPECTR_MODE_SPECTRUM, m_mode);
    DDX_Check(pDX, IDC_SPECTR_SHIFT, m_shift);
}

BOOL CFFTDlg::OnInitDialog()
{
    CFringeToolDlg::OnInitDialog();
    m_input.Create(1, nullptr, nullptr, 0);
    m_output.Create(0, nullptr, nullptr, 0);
    return TRUE;
}

CString CFFTDlg::HelpPage() const
{
    return LoadFringeText(IDS_HELP_SPECTRUM);
}

bool CFFTDlg::CheckFiles(const CString& input, const CString& output)
{
    if (input.IsEmpty()) return Refuse(IDS_NEED_INPUT);
    if (output.IsEmpty()) return Refuse(IDS_NEED_OUTPUT);
    if (m_mode == 1) {
        const auto header = LayerHeaderOf(input);
        const bool spectrum =
            header && (header->type == int(DataType::C64) || header->type == int(DataType::C128)) &&
            PaddedSide(header->width) == header->width && PaddedSide(header->height) == header->height;
        if (!spectrum) return Refuse(IDS_NOT_A_SPECTRUM, MB_ICONERROR);
    }
    return CheckOutputApart(output, {input});
}

void CFFTDlg::OnOK()
{
    if (!UpdateData(TRUE)) return;
    const CString input = m_input.GetPathName(), output = m_output.GetPathName();
    if (!CheckFiles(input, output)) return;
    auto record = std::make_unique<SSpectrParam>();
    record->input = input;
    record->output = output;
    record->mode = m_mode;
    record->shift = m_shift;
    record->errorCaption = m_strErrorCaption;
    StartJob(FringeJobTitle(LoadFringeText(IDS_SPECTRUM_ANALYSIS), input),
             m_mode == 1 ? Restore_From_Spectr : Calc_Spectr, std::move(record), NewResult(output));
    UpdateData(FALSE);
}

// ---- derivative ---------------------------------------------------------------------------

CDiffDlg::CDiffDlg() : CFringeToolDlg(IDD_DIFF, IDS_SPECTRUM_ERROR) {}

void CDiffDlg::DoDataExchange(CDataExchange* pDX)
{
    CFringeToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SPECTR_INPUT, m_input);
    DDX_Control(pDX, IDC_SPECTR_OUTPUT, m_output);
}

BOOL CDiffDlg::OnInitDialog()
{
    CFringeToolDlg::OnInitDialog();
    m_input.Create(1, nullptr, nullptr, 0);
    m_output.Create(0, nullptr, nullptr, 0);
    return TRUE;
}

void CDiffDlg::OnOK()
{
    if (!UpdateData(TRUE)) return;
    const CString input = m_input.GetPathName(), output = m_output.GetPathName();
    if (input.IsEmpty()) {
        Refuse(IDS_NEED_INPUT);
        return;
    }
    if (output.IsEmpty()) {
        Refuse(IDS_NEED_OUTPUT);
        return;
    }
    if (!CheckOutputApart(output, {input})) return;
    auto record = std::make_unique<SDiffParam>();
    record->input = input;
    record->output = output;
    record->errorCaption = m_strErrorCaption;
    StartJob(FringeJobTitle(LoadFringeText(IDS_SPECTRUM_ANALYSIS), input), Calc_Diff, std::move(record),
             NewResult(output));
    UpdateData(FALSE);
}
