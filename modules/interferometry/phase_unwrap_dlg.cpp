#include "modules/interferometry/phase_unwrap_dlg.h"

#include <array>
#include <memory>

#include "platform/dialogs/data_exchange.h"

#include "modules/interferometry/phase_filter_dlg.h"
#include "modules/interferometry/phase_unwrap_job.h"
#include "modules/interferometry/phase_unwrap_resources.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/info_file_dialog.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

constexpr ToolPolicy kPolicy{.text = LoadUnwrapText,
                             .errorCaption = IDS_UNWRAP_ERROR_CAPTION,
                             .titleText = IDS_UNWRAP_TITLE,
                             .helpTopic = IDS_UNWRAP_HELP};
constexpr std::size_t kMask = 1;

CString Describe(const LayerHeader& h)
{
    CString text;
    text.Format(LoadUnwrapText(IDS_UNWRAP_DESCRIPTION), static_cast<const char*>(GetTypeName(h.type, 0)),
                h.width, h.height);
    return text;
}

}  // namespace

BEGIN_MESSAGE_MAP(CMainPhUnwrapDlg, CToolDlg)
    ON_BN_CLICKED(IDC_UNWRAP_INPUT_BROWSE, OnButtonInput)
    ON_BN_CLICKED(IDC_UNWRAP_OUTPUT_BROWSE, OnButtonOutput)
    ON_BN_CLICKED(IDC_UNWRAP_MASK_BROWSE, OnButtonMask)
    ON_BN_CLICKED(IDC_UNWRAP_USE_MASK, OnCheckNeedMask)
    ON_BN_CLICKED(IDC_UNWRAP_HELP, OnButtonHelp)
END_MESSAGE_MAP()

// The tool browses with file dialogs of its own: its paths are in edit boxes. The mask is
// an input while it is switched on.
CMainPhUnwrapDlg::CMainPhUnwrapDlg()
    : CToolDlg(IDD, kPolicy,
               {{.id = IDC_UNWRAP_INPUT, .emptyText = IDS_UNWRAP_NEED_INPUT, .editBox = true},
                {.id = IDC_UNWRAP_MASK, .editBox = true}},
               {.id = IDC_UNWRAP_OUTPUT, .emptyText = IDS_UNWRAP_NEED_OUTPUT, .editBox = true})
{
}

void CMainPhUnwrapDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_UNWRAP_INPUT, m_inputPath);
    DDX_Text(pDX, IDC_UNWRAP_OUTPUT, m_outputPath);
    DDX_Text(pDX, IDC_UNWRAP_INPUT_INFO, m_inputInfo);
    DDX_Text(pDX, IDC_UNWRAP_MASK_INFO, m_maskInfo);
    DDX_Text(pDX, IDC_UNWRAP_MASK, m_maskPath);
    DDX_Check(pDX, IDC_UNWRAP_USE_MASK, m_useMask);
    DDX_Text(pDX, IDC_UNWRAP_ITERATIONS, m_iterations);
}

BOOL CMainPhUnwrapDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    EnableMaskControls();
    return TRUE;
}

void CMainPhUnwrapDlg::OnButtonInput()
{
    if (!UpdateData(TRUE)) return;
    CInfoFileDialog dialog(TRUE, nullptr, m_inputPath, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_SHAREAWARE,
                           LoadUnwrapText(IDS_UNWRAP_FILTER), this);
    if (dialog.DoModal() != IDOK) return;
    const CString path = dialog.GetPathName();
    m_inputInfo.Empty();
    m_inputPath.Empty();
    const auto header = LayerHeaderOf(path);
    bool accepted = false;
    std::array<BYTE, 1064> statistics{};
    if (!header || !GetTag(path, TAG_STATISTICS, int(statistics.size()), statistics.data())) {
        Refuse(IDS_UNWRAP_CORRUPT);
    } else if (header->type == int(DataType::F32) || header->type == int(DataType::F64)) {
        // A wrapped phase in radians spans more than half a turn within 0..2π.
        accepted = PhaseRangeWithin(path, 0.0, kPi, kTwoPi);
        if (!accepted) Refuse(IDS_UNWRAP_BAD_RANGE);
    } else if (header->type == int(DataType::C64) || header->type == int(DataType::C128) ||
               header->type == int(DataType::CS8) || header->type == int(DataType::CS16) ||
               header->type == int(DataType::CS32)) {
        accepted = true;
    } else {
        Refuse(IDS_UNWRAP_BAD_TYPE);
    }
    if (accepted) {
        m_inputInfo = Describe(*header);
        m_inputType = header->type;
        m_inputPath = path;
    }
    UpdateData(FALSE);
}

void CMainPhUnwrapDlg::OnButtonOutput()
{
    if (!UpdateData(TRUE)) return;
    CInfoFileDialog dialog(FALSE, "rdp", m_outputPath,
                           OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN | OFN_SHAREAWARE,
                           LoadUnwrapText(IDS_UNWRAP_FILTER), this);
    if (dialog.DoModal() != IDOK) return;
    m_outputPath = dialog.GetPathName();
    UpdateData(FALSE);
}

void CMainPhUnwrapDlg::OnButtonMask()
{
    if (!UpdateData(TRUE)) return;
    CInfoFileDialog dialog(TRUE, nullptr, m_maskPath, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_SHAREAWARE,
                           LoadUnwrapText(IDS_UNWRAP_FILTER), this);
    if (dialog.DoModal() != IDOK) return;
    const CString path = dialog.GetPathName();
    m_maskPath.Empty();
    m_maskInfo.Empty();
    const auto header = LayerHeaderOf(path);
    if (!header) {
        Refuse(IDS_UNWRAP_CORRUPT);
    } else if (header->type != int(DataType::F32)) {
        Refuse(IDS_UNWRAP_BAD_TYPE);
    } else {
        m_maskPath = path;
        m_maskInfo = Describe(*header);
    }
    UpdateData(FALSE);
}

void CMainPhUnwrapDlg::OnCheckNeedMask()
{
    UpdateData(TRUE);
    EnableMaskControls();
}

void CMainPhUnwrapDlg::EnableMaskControls()
{
    for (int id : {IDC_UNWRAP_MASK, IDC_UNWRAP_MASK_BROWSE, IDC_UNWRAP_MASK_INFO, IDC_UNWRAP_ITERATIONS_GROUP,
                   IDC_UNWRAP_ITERATIONS})
        if (CWnd* item = GetDlgItem(id)) item->EnableWindow(m_useMask != 0);
}

bool CMainPhUnwrapDlg::InputInUse(std::size_t index) const
{
    return index != kMask || m_useMask != 0;
}

bool CMainPhUnwrapDlg::CheckParameters(const ToolPaths& paths)
{
    return !paths.Input(kMask).IsEmpty() || !m_useMask || Refuse(IDS_UNWRAP_NEED_MASK);
}

ToolJob CMainPhUnwrapDlg::MakeJob(const ToolPaths& paths)
{
    ToolJob job =
        MakeToolJob(FazeUnwrap_F32C64,
                    std::make_unique<SPhaseUnwrapParam>(SPhaseUnwrapParam{
                        paths.Input(), paths.output, m_maskPath, m_useMask ? m_iterations : 0, CString()}));
    job.stretchMethod = 1;
    return job;
}
