#include "modules/interferometry/coherence_dlg.h"

#include <memory>

#include "platform/dialogs/data_exchange.h"

#include "modules/interferometry/coherence_job.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/tags.h"

BEGIN_MESSAGE_MAP(CMainCalcCoherDlg, CFringeToolDlg)
    ON_WM_VSCROLL()
    ON_BN_CLICKED(IDC_TWO_INPUT_HELP, OnButtonHelp)
END_MESSAGE_MAP()

CMainCalcCoherDlg::CMainCalcCoherDlg() : CFringeToolDlg(IDD_COHER, IDS_COHERENCE_ERROR) {}

void CMainCalcCoherDlg::DoDataExchange(CDataExchange* pDX)
{
    CFringeToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FIRST_INPUT, m_first);
    DDX_Control(pDX, IDC_SECOND_INPUT, m_second);
    DDX_Control(pDX, IDC_TWO_INPUT_OUTPUT, m_output);
    DDX_Control(pDX, IDC_COHER_SPIN, m_spin);
    DDX_Text(pDX, IDC_COHER_SIZE_TEXT, m_sizeText);
}

BOOL CMainCalcCoherDlg::OnInitDialog()
{
    CFringeToolDlg::OnInitDialog();
    m_first.Create(1, nullptr, nullptr, 0);
    m_second.Create(1, nullptr, nullptr, 0);
    m_output.Create(0, nullptr, nullptr, 0);
    InitWindowSpin(m_spin);
    return TRUE;
}

CString CMainCalcCoherDlg::HelpPage() const
{
    return LoadFringeText(IDS_HELP_COHERENCE);
}

LRESULT CMainCalcCoherDlg::OnMesgInputClick(WPARAM id, LPARAM)
{
    CInFileCtrl* picker =
        int(id) == IDC_FIRST_INPUT ? &m_first : (int(id) == IDC_SECOND_INPUT ? &m_second : nullptr);
    if (picker && picker->Type() < int(DataType::C64)) RefusePicker(*picker, IDS_BAD_INPUT_TYPE);
    return 1;
}

void CMainCalcCoherDlg::OnVScroll(UINT code, UINT pos, CScrollBar* bar)
{
    if (WindowSpinScrolled(code, pos, bar, m_spin, m_window, m_sizeText)) UpdateData(FALSE);
    CFringeToolDlg::OnVScroll(code, pos, bar);
}

void CMainCalcCoherDlg::OnInterfOk()
{
    UpdateData(TRUE);
    const CString first = m_first.GetPathName(), second = m_second.GetPathName(),
                  output = m_output.GetPathName();
    if (first.IsEmpty() || second.IsEmpty()) return void(Refuse(IDS_NEED_INPUTS));
    if (output.IsEmpty()) return void(Refuse(IDS_NEED_OUTPUT));
    const auto a = LayerHeaderOf(first), b = LayerHeaderOf(second);
    if (!a || !b) return void(Refuse(IDS_INPUT_CORRUPT));
    if (a->width != b->width || a->height != b->height) return void(Refuse(IDS_SIZES_DIFFER));
    if (a->type != b->type) return void(Refuse(IDS_TYPES_DIFFER));
    if (!CheckOutputApart(output, {first, second})) return;
    auto job = std::make_unique<SCoherParam>(SCoherParam{first, second, output, m_window, m_strErrorCaption});
    StartJob(FringeJobTitle(LoadFringeText(IDS_COHERENCE), output), CalcCoher, std::move(job),
             NewResult(output));
    UpdateData(FALSE);
}
