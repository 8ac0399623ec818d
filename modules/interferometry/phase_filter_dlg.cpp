#include "modules/interferometry/phase_filter_dlg.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "modules/common/window_spin.h"
#include "modules/interferometry/phase_filter_job.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kStatisticsBytes = 1064;

constexpr ToolPolicy kPolicy{.text = LoadFringeText,
                             .errorCaption = IDS_PHASE_FILTR_ERROR,
                             .titleText = IDS_PHASE_FILTRATION,
                             .helpTopic = IDS_HELP_PHASE_FILTR};

/// A real input is a phase: its stored values must lie within 0..2π.
CString PhaseRangeRefusal(const CInFileCtrl& picker)
{
    const int type = picker.Type();
    if (type != int(DataType::F32) && type != int(DataType::F64)) return CString();
    return PhaseRangeWithin(picker.GetPathName(), 0.0, -HUGE_VAL, kTwoPi) ? CString()
                                                                          : LoadFringeText(IDS_BAD_RANGE);
}

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

BEGIN_MESSAGE_MAP(CPhaseFiltrDlg, CToolDlg)
    ON_WM_VSCROLL()
    ON_BN_CLICKED(IDC_PHFILTR_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CPhaseFiltrDlg::CPhaseFiltrDlg()
    : CToolDlg(IDD, kPolicy,
               {{.id = IDC_PHFILTR_INPUT,
                 .emptyText = IDS_NEED_INPUT,
                 .admitted = {DataType::F32, DataType::F64, DataType::C64, DataType::C128, DataType::CS8,
                              DataType::CS16, DataType::CS32},
                 .badTypeText = IDS_BAD_INPUT_TYPE,
                 .check = PhaseRangeRefusal}},
               {.id = IDC_PHFILTR_OUTPUT, .emptyText = IDS_NEED_OUTPUT})
{
}

void CPhaseFiltrDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PHFILTR_SPIN, m_spin);
    DDX_Text(pDX, IDC_PHFILTR_SIZE_TEXT, m_sizeText);
}

BOOL CPhaseFiltrDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    InitWindowSpin(m_spin, kFringeSpinLast);
    return TRUE;
}

void CPhaseFiltrDlg::OnVScroll(UINT code, UINT pos, CScrollBar* bar)
{
    if (WindowSpinScrolled(code, pos, bar, m_spin, kFringeSpinLast, m_window, m_sizeText)) WriteControls();
    CToolDlg::OnVScroll(code, pos, bar);
}

ToolJob CPhaseFiltrDlg::MakeJob(const ToolPaths& paths)
{
    ToolJob job =
        MakeToolJob(Filtration_Phase, std::make_unique<SPhaseFiltrParam>(SPhaseFiltrParam{
                                          paths.Input(), paths.output, 0, m_window, m_strErrorCaption}));
    // The result opens showing the phase.
    job.component = 1;
    job.stretchMethod = 1;
    return job;
}
