#include "modules/common/tool_dlg.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "outside/basecore/file_helpers.h"
#include "outside/basecore/help_system.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"

namespace {

constexpr platform::StringEntry kFrameStrings[] = {
    {IDS_FRAME_INPUT_MISSING, "Can't find the input file"},
    {IDS_FRAME_FILE_WITH_NAME, "File with name"},
    {IDS_FRAME_ALREADY_EXISTS, " already exists "},
    {IDS_FRAME_REPLACE, "Replace it?"},
    {IDS_FRAME_PREVIEW_NOT_ACCESSIBLE, "\n\n\nPreview\nis not accessible"},
    {IDS_FRAME_PREVIEW, "\n\n\nPreview"},
    {IDS_FRAME_SELECT_INPUT, "\n\n\nSelect input\nfile"},
    {IDS_FRAME_OUTPUT_IS_INPUT,
     "The output file is the input file. Choose another name for the output file."},
};
constexpr platform::ModuleResources kFrameResources{.module = "tool frame", .strings = kFrameStrings};
// Each tool module carries its own copy of the frame; their texts are the same.
const platform::ModuleResourceRegistration kFrameRegistration(kFrameResources);

constexpr int kStatisticsBytes = 1064;

CString NamePart(const CString& path)
{
    const std::string p = static_cast<const char*>(path);
    const auto cut = p.find_last_of("/\\");
    return cut == std::string::npos ? path : CString(p.substr(cut + 1).c_str());
}

}  // namespace

CString LoadFrameText(UINT id)
{
    CString text;
    if (platform::FindString(id, text)) return text;
    for (const auto& entry : kFrameStrings)
        if (entry.id == id) return entry.text;
    return CString();
}

bool NamesSameFile(const char* a, const char* b)
{
    namespace fs = std::filesystem;
    if (!a || !b || !*a || !*b) return false;
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    const fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !pa.empty() && pa == pb;
}

BEGIN_MESSAGE_MAP(CToolDlg, CDialog)
    ON_MESSAGE(WM_INFILECTRL_CHOSEN, OnInfileCtrlClicked)
    ON_WM_HELPINFO()
END_MESSAGE_MAP()

CToolDlg::CToolDlg(UINT templateId) : CDialog(templateId, nullptr), m_templateId(templateId) {}

CToolDlg::~CToolDlg() = default;

BOOL CToolDlg::Create(CWnd* parent)
{
    return CDialog::Create(m_templateId, parent);
}

BOOL CToolDlg::DestroyWindow()
{
    // PostNcDestroy deletes the dialog once the window is gone.
    return CDialog::DestroyWindow();
}

void CToolDlg::PostNcDestroy()
{
    delete this;
}

BOOL CToolDlg::OnInitDialog()
{
    // The first exchange writes the members to the controls like every later one.
    m_bWritingControls = true;
    CDialog::OnInitDialog();
    m_bWritingControls = false;
    m_input.Create(1, nullptr, nullptr, 0);
    m_output.Create(0, nullptr, nullptr, 0);
    return TRUE;
}

LRESULT CToolDlg::OnInfileCtrlClicked(WPARAM id, LPARAM)
{
    if (int(id) == OutputPickerId())
        OnInctrlOutputChange();
    else if (int(id) == InputPickerId())
        OnInctrlInputChange();
    return 0;
}

void CToolDlg::OnInctrlInputChange()
{
    UpdateData(TRUE);
    if (m_output.GetFileName().IsEmpty()) m_output.SetOnlyPath(m_input.GetOnlyPath());
    Dispatcher();
    WriteControls();
}

void CToolDlg::OnInctrlOutputChange()
{
    UpdateData(TRUE);
    if (m_input.GetFileName().IsEmpty()) m_input.SetOnlyPath(m_output.GetOnlyPath());
    WriteControls();
}

long CToolDlg::Dispatcher()
{
    UpdateData(TRUE);
    const CString input = m_input.GetPathName();
    // Only files with stored statistics are previewed: the reduced image needs them.
    std::array<BYTE, kStatisticsBytes> statistics{};
    if (input.IsEmpty() || !GetTag(input, TAG_STATISTICS, kStatisticsBytes, statistics.data())) {
        m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW_NOT_ACCESSIBLE));
        return 0;
    }
    if (const auto header = LayerHeaderOf(input)) {
        const int size = PreviewWindowSize();
        if (header->width < size + 1 || header->height < size + 1) {
            m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW_NOT_ACCESSIBLE));
            return 0;
        }
    }
    if (m_bPreviewBusy) {
        m_bPreviewAgain = true;
        return 0;
    }
    if (!PreviewParametersValid()) {
        m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW));
        return 0;
    }
    m_bPreviewBusy = true;
    CThread* thread = StartPreview(input);
    // No thread: nothing will answer, so the dialog is not busy.
    if (!thread) m_bPreviewBusy = false;
    return static_cast<long>(reinterpret_cast<std::intptr_t>(thread));
}

LRESULT CToolDlg::OnDlgMessage(WPARAM code, LPARAM record)
{
    try {
        TakePreview(code, record);
    } catch (...) {
    }
    m_bPreviewBusy = false;
    try {
        if (m_bPreviewAgain) {
            Dispatcher();
            m_bPreviewAgain = false;
        }
        WriteControls();
    } catch (...) {
    }
    // Nonzero: the record was taken (a thread whose send fails frees it itself).
    return 1;
}

void CToolDlg::OnOK()
{
    if (!UpdateData(TRUE)) return;
    const CString input = m_input.GetPathName();
    const CString output = m_output.GetPathName();
    const CString caption = ToolCaption();
    if (!CheckParameters()) return;
    if (!FileFind(input)) {
        MessageBox(LoadFrameText(IDS_FRAME_INPUT_MISSING) + "\n" + input, caption,
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Writing the output over the input would destroy what the job reads.
    if (NamesSameFile(input, output)) {
        MessageBox(LoadFrameText(IDS_FRAME_OUTPUT_IS_INPUT), caption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!ConfirmReplace(output, caption)) return;
    const CString title = caption + ": " + NamePart(input);
    auto* result = new ViewResultParam;
    result->fileName = output;
    StartJob(title, input, output, result);
    WriteControls();
}

bool CToolDlg::ConfirmReplace(const CString& output, const CString& caption)
{
    if (!FileFind(output)) return true;
    const CString question = LoadFrameText(IDS_FRAME_FILE_WITH_NAME) + output +
                             LoadFrameText(IDS_FRAME_ALREADY_EXISTS) + "." + "\n" +
                             LoadFrameText(IDS_FRAME_REPLACE);
    return MessageBox(question, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CToolDlg::WriteControls()
{
    const bool outer = !m_bWritingControls;
    m_bWritingControls = true;
    UpdateData(FALSE);
    if (outer) m_bWritingControls = false;
}

void CToolDlg::OnCancel()
{
    DestroyWindow();
}

void CToolDlg::OnButtonHelp()
{
    CallHelpSystem(this, HelpPage());
}

BOOL CToolDlg::OnHelpInfo(HELPINFO*)
{
    return CallHelpSystem(this, HelpPage());
}
