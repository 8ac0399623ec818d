#include "modules/interferometry/complex_operation_dlg.h"

#include <memory>

#include "modules/interferometry/complex_operation_job.h"
#include "modules/interferometry/complex_operation_kernels.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"

BEGIN_MESSAGE_MAP(CComplexOperationDlg, CFringeToolDlg)
    ON_BN_CLICKED(IDC_TWO_INPUT_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CComplexOperationDlg::CComplexOperationDlg() : CFringeToolDlg(IDD_COMPLEX_OPERATION, IDS_COHERENCE_ERROR) {}

void CComplexOperationDlg::DoDataExchange(CDataExchange* pDX)
{
    CFringeToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FIRST_INPUT, m_first);
    DDX_Control(pDX, IDC_SECOND_INPUT, m_second);
    DDX_Control(pDX, IDC_TWO_INPUT_OUTPUT, m_output);
    DDX_Control(pDX, IDC_OPERATION_LIST, m_combo);
    DDX_CBIndex(pDX, IDC_OPERATION_LIST, m_operation);
}

BOOL CComplexOperationDlg::OnInitDialog()
{
    CFringeToolDlg::OnInitDialog();
    m_first.Create(1, nullptr, nullptr, 0);
    m_second.Create(1, nullptr, nullptr, 0);
    m_output.Create(0, nullptr, nullptr, 0);
    for (int i = kComplexAdd; i <= kComplexConjugateMultiply; ++i)
        m_combo.AddString(LoadFringeText(IDS_OPERATION_ADD + UINT(i)));
    m_operation = kComplexAdd;
    UpdateData(FALSE);
    return TRUE;
}

CString CComplexOperationDlg::HelpPage() const
{
    return LoadFringeText(IDS_HELP_COMPLEX);
}

bool CComplexOperationDlg::CheckFiles(const CString& first, const CString& second, const CString& output)
{
    if (first.IsEmpty() || second.IsEmpty()) return Refuse(IDS_NEED_INPUTS);
    if (output.IsEmpty()) return Refuse(IDS_NEED_OUTPUT);
    const auto a = LayerHeaderOf(first), b = LayerHeaderOf(second);
    if (!a || !b) return Refuse(IDS_INPUT_CORRUPT);
    if (a->width != b->width || a->height != b->height) return Refuse(IDS_SIZES_DIFFER);
    if (a->type != b->type) return Refuse(IDS_TYPES_DIFFER);
    if (a->type != int(DataType::C64) && a->type != int(DataType::C128)) return Refuse(IDS_BAD_INPUT_TYPE);
    return CheckOutputApart(output, {first, second});
}

void CComplexOperationDlg::OnOK()
{
    if (!UpdateData(TRUE)) return;
    const CString first = m_first.GetPathName(), second = m_second.GetPathName(),
                  output = m_output.GetPathName();
    if (!CheckFiles(first, second, output)) return;
    auto record = std::make_unique<SComplexOperationParam>();
    record->input1 = first;
    record->input2 = second;
    record->output = output;
    record->operation = m_operation;
    record->errorCaption = m_strErrorCaption;
    StartJob(FringeJobTitle(LoadFringeText(IDS_COHERENCE), output), Complex_Operation, std::move(record),
             NewResult(output));
    UpdateData(FALSE);
}
