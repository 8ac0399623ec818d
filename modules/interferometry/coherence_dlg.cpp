#include "modules/interferometry/coherence_dlg.h"

#include <memory>

#include "modules/common/window_spin.h"
#include "modules/interferometry/coherence_job.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"

namespace {

constexpr ToolPolicy kPolicy{.text = LoadFringeText,
                             .errorCaption = IDS_COHERENCE_ERROR,
                             .titleText = IDS_COHERENCE,
                             .titleNames = TitleNames::Output,
                             .helpTopic = IDS_HELP_COHERENCE};
constexpr TypeSet kComplexTypes = TypeSet::Range(DataType::C64, DataType::CS32);

}  // namespace

UINT TwoInputRefusal(const CString& first, const CString& second, int* type)
{
    const auto a = LayerHeaderOf(first), b = LayerHeaderOf(second);
    if (!a || !b) return IDS_INPUT_CORRUPT;
    if (type) *type = a->type;
    if (a->width != b->width || a->height != b->height) return IDS_SIZES_DIFFER;
    if (a->type != b->type) return IDS_TYPES_DIFFER;
    return 0;
}

BEGIN_MESSAGE_MAP(CMainCalcCoherDlg, CToolDlg)
    ON_WM_VSCROLL()
    ON_BN_CLICKED(IDC_TWO_INPUT_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CMainCalcCoherDlg::CMainCalcCoherDlg()
    : CToolDlg(IDD, kPolicy,
               {{.id = IDC_FIRST_INPUT,
                 .emptyText = IDS_NEED_INPUTS,
                 .admitted = kComplexTypes,
                 .badTypeText = IDS_BAD_INPUT_TYPE,
                 .wholeComplex = true},
                {.id = IDC_SECOND_INPUT,
                 .emptyText = IDS_NEED_INPUTS,
                 .admitted = kComplexTypes,
                 .badTypeText = IDS_BAD_INPUT_TYPE,
                 .wholeComplex = true}},
               {.id = IDC_TWO_INPUT_OUTPUT, .emptyText = IDS_NEED_OUTPUT})
{
}

void CMainCalcCoherDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_COHER_SPIN, m_spin);
    DDX_Text(pDX, IDC_COHER_SIZE_TEXT, m_sizeText);
}

BOOL CMainCalcCoherDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    InitWindowSpin(m_spin, kFringeSpinLast);
    return TRUE;
}

void CMainCalcCoherDlg::OnVScroll(UINT code, UINT pos, CScrollBar* bar)
{
    if (WindowSpinScrolled(code, pos, bar, m_spin, kFringeSpinLast, m_window, m_sizeText)) WriteControls();
    CToolDlg::OnVScroll(code, pos, bar);
}

bool CMainCalcCoherDlg::CheckParameters(const ToolPaths& paths)
{
    if (const UINT refusal = TwoInputRefusal(paths.Input(0), paths.Input(1))) return Refuse(refusal);
    return true;
}

ToolJob CMainCalcCoherDlg::MakeJob(const ToolPaths& paths)
{
    return MakeToolJob(CalcCoher,
                       std::make_unique<SCoherParam>(SCoherParam{paths.Input(0), paths.Input(1), paths.output,
                                                                 m_window, m_strErrorCaption}));
}
