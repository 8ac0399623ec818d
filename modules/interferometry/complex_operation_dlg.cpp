#include "modules/interferometry/complex_operation_dlg.h"

#include <memory>

#include "modules/interferometry/coherence_dlg.h"
#include "modules/interferometry/complex_operation_job.h"
#include "modules/interferometry/complex_operation_kernels.h"
#include "outside/basecore/data_type.h"
#include "platform/dialogs/data_exchange.h"

namespace {

// The tool shares the coherence tool's caption and title text.
constexpr ToolPolicy kPolicy{.text = LoadFringeText,
                             .errorCaption = IDS_COHERENCE_ERROR,
                             .titleText = IDS_COHERENCE,
                             .titleNames = TitleNames::Output,
                             .helpTopic = IDS_HELP_COMPLEX};

}  // namespace

BEGIN_MESSAGE_MAP(CComplexOperationDlg, CToolDlg)
    ON_BN_CLICKED(IDC_TWO_INPUT_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CComplexOperationDlg::CComplexOperationDlg()
    : CToolDlg(IDD, kPolicy,
               {{.id = IDC_FIRST_INPUT, .emptyText = IDS_NEED_INPUTS, .wholeComplex = true},
                {.id = IDC_SECOND_INPUT, .emptyText = IDS_NEED_INPUTS, .wholeComplex = true}},
               {.id = IDC_TWO_INPUT_OUTPUT, .emptyText = IDS_NEED_OUTPUT})
{
}

void CComplexOperationDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_OPERATION_LIST, m_combo);
    DDX_CBIndex(pDX, IDC_OPERATION_LIST, m_operation);
}

BOOL CComplexOperationDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    for (int i = kComplexAdd; i <= kComplexConjugateMultiply; ++i)
        m_combo.AddString(LoadFringeText(IDS_OPERATION_ADD + UINT(i)));
    m_operation = kComplexAdd;
    WriteControls();
    return TRUE;
}

bool CComplexOperationDlg::CheckParameters(const ToolPaths& paths)
{
    int type = 0;
    if (const UINT refusal = TwoInputRefusal(paths.Input(0), paths.Input(1), &type)) return Refuse(refusal);
    if (type != int(DataType::C64) && type != int(DataType::C128)) return Refuse(IDS_BAD_INPUT_TYPE);
    return true;
}

ToolJob CComplexOperationDlg::MakeJob(const ToolPaths& paths)
{
    auto record = std::make_unique<SComplexOperationParam>();
    record->input1 = paths.Input(0);
    record->input2 = paths.Input(1);
    record->output = paths.output;
    record->operation = m_operation;
    record->errorCaption = m_strErrorCaption;
    return MakeToolJob(Complex_Operation, std::move(record));
}
