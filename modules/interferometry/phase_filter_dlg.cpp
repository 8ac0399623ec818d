#include "modules/interferometry/phase_filter_dlg.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/dialogs/data_exchange.h"

#include "modules/interferometry/phase_filter_job.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kStatisticsBytes = 1064;

}  // namespace

bool PhaseRangeWithin(const char* path, double minLow, double maxLow, double maxHigh)
{
    std::array<BYTE, kStatisticsBytes> stats{};
    if (!GetTag(path, TAG_STATISTICS, kStatisticsBytes, stats.data())) return false;
    double lo = 0, hi = 0;
    std::memcpy(&lo, stats.data() + 8, 8);
    std::memcpy(&hi, stats.data() + 16, 8);
    // Written so that NaN statistics are refused.
    return lo >= minLow && hi >= maxLow && hi <= maxHigh;
}

BEGIN_MESSAGE_MAP(CPhaseFiltrDlg, CFringeToolDlg)
    ON_WM_VSCROLL()
    ON_BN_CLICKED(IDC_PHFILTR_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CPhaseFiltrDlg::CPhaseFiltrDlg() : CFringeToolDlg(IDD_PHASE_FILTR, IDS_PHASE_FILTR_ERROR) {}

void CPhaseFiltrDlg::DoDataExchange(CDataExchange* pDX)
{
    CFringeToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PHFILTR_INPUT, m_input);
    DDX_Control(pDX, IDC_PHFILTR_OUTPUT, m_output);
    DDX_Control(pDX, IDC_PHFILTR_SPIN, m_spin);
    DDX_Text(pDX, IDC_PHFILTR_SIZE_TEXT, m_sizeText);
}

BOOL CPhaseFiltrDlg::OnInitDialog()
{
    CFringeToolDlg::OnInitDialog();
    m_input.Create(1, nullptr, nullptr, 0);
    m_output.Create(0, nullptr, nullptr, 0);
    InitWindowSpin(m_spin);
    return TRUE;
}

CString CPhaseFiltrDlg::HelpPage() const
{
    return LoadFringeText(IDS_HELP_PHASE_FILTR);
}

LRESULT CPhaseFiltrDlg::OnMesgInputClick(WPARAM id, LPARAM)
{
    if (int(id) != IDC_PHFILTR_INPUT) return 1;
    const int type = m_input.Type();
    if (type == int(DataType::F32) || type == int(DataType::F64)) {
        if (!PhaseRangeWithin(m_input.GetPathName(), 0.0, -HUGE_VAL, kTwoPi))
            RefusePicker(m_input, IDS_BAD_RANGE);
    } else if (type == int(DataType::C64) || type == int(DataType::C128) || type == int(DataType::CS8) ||
               type == int(DataType::CS16) || type == int(DataType::CS32)) {
    } else {
        RefusePicker(m_input, IDS_BAD_INPUT_TYPE);
    }
    return 1;
}

void CPhaseFiltrDlg::OnVScroll(UINT code, UINT pos, CScrollBar* bar)
{
    if (WindowSpinScrolled(code, pos, bar, m_spin, m_window, m_sizeText)) UpdateData(FALSE);
    CFringeToolDlg::OnVScroll(code, pos, bar);
}

void CPhaseFiltrDlg::OnOK()
{
    UpdateData(TRUE);
    const CString input = m_input.GetPathName(), output = m_output.GetPathName();
    if (input.IsEmpty()) return void(Refuse(IDS_NEED_INPUT));
    if (output.IsEmpty()) return void(Refuse(IDS_NEED_OUTPUT));
    if (!CheckOutputApart(output, {input})) return;
    auto job =
        std::make_unique<SPhaseFiltrParam>(SPhaseFiltrParam{input, output, 0, m_window, m_strErrorCaption});
    ViewResultParam* result = NewResult(output);
    // The result opens showing the phase.
    result->component = 1;
    result->stretchMethod = 1;
    StartJob(FringeJobTitle(LoadFringeText(IDS_PHASE_FILTRATION), input), Filtration_Phase, std::move(job),
             result);
    UpdateData(FALSE);
}
