#include "modules/interferometry/spectrum_dlg.h"

#include <memory>

#include "modules/interferometry/spectrum_job.h"
#include "modules/interferometry/spectrum_kernels.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"

namespace {

// The spectrum and the derivative share their caption and title text.
constexpr ToolPolicy kSpectrumPolicy{.text = LoadFringeText,
                                     .errorCaption = IDS_SPECTRUM_ERROR,
                                     .titleText = IDS_SPECTRUM_ANALYSIS,
                                     .helpTopic = IDS_HELP_SPECTRUM};
constexpr ToolPolicy kDiffPolicy{
    .text = LoadFringeText, .errorCaption = IDS_SPECTRUM_ERROR, .titleText = IDS_SPECTRUM_ANALYSIS};

constexpr ToolFile kInput{.id = IDC_SPECTR_INPUT, .emptyText = IDS_NEED_INPUT, .wholeComplex = true};
constexpr ToolFile kOutput{.id = IDC_SPECTR_OUTPUT, .emptyText = IDS_NEED_OUTPUT};

}  // namespace

// ---- spectrum -----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CFFTDlg, CToolDlg)
    ON_BN_CLICKED(IDC_SPECTR_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CFFTDlg::CFFTDlg() : CToolDlg(IDD, kSpectrumPolicy, {kInput}, kOutput) {}

void CFFTDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Radio(pDX, IDC_SPECTR_MODE_SPECTRUM, m_mode);
    DDX_Check(pDX, IDC_SPECTR_SHIFT, m_shift);
}

bool CFFTDlg::CheckParameters(const ToolPaths& paths)
{
    if (m_mode != 1) return true;
    const auto header = LayerHeaderOf(paths.Input());
    const bool spectrum =
        header && (header->type == int(DataType::C64) || header->type == int(DataType::C128)) &&
        PaddedSide(header->width) == header->width && PaddedSide(header->height) == header->height;
    return spectrum || Refuse(IDS_NOT_A_SPECTRUM, MB_ICONERROR);
}

ToolJob CFFTDlg::MakeJob(const ToolPaths& paths)
{
    auto record = std::make_unique<SSpectrParam>();
    record->input = paths.Input();
    record->output = paths.output;
    record->mode = m_mode;
    record->shift = m_shift;
    record->errorCaption = m_strErrorCaption;
    return MakeToolJob(m_mode == 1 ? Restore_From_Spectr : Calc_Spectr, std::move(record));
}

// ---- derivative ---------------------------------------------------------------------------

CDiffDlg::CDiffDlg() : CToolDlg(IDD, kDiffPolicy, {kInput}, kOutput) {}

ToolJob CDiffDlg::MakeJob(const ToolPaths& paths)
{
    auto record = std::make_unique<SDiffParam>();
    record->input = paths.Input();
    record->output = paths.output;
    record->errorCaption = m_strErrorCaption;
    return MakeToolJob(Calc_Diff, std::move(record));
}
