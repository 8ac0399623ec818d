#include "modules/common/tool_dlg.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "outside/basecore/file_helpers.h"
#include "outside/basecore/help_system.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"
#include "viewer/core/view_result_param.h"

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

}  // namespace

CString LoadFrameText(UINT id)
{
    return kFrameRegistration.Text(id);
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

CString FileNamePart(const CString& path)
{
    const std::string p = static_cast<const char*>(path);
    const auto cut = p.find_last_of("/\\");
    return cut == std::string::npos ? path : CString(p.substr(cut + 1).c_str());
}

CString ToolJobTitle(const CString& text, const CString& path, bool blank)
{
    return text + (blank ? ": " : ":") + FileNamePart(path);
}

// ---- the dialog ---------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CToolDlg, CDialog)
    ON_MESSAGE(WM_INFILECTRL_CHOSEN, OnInfileCtrlClicked)
    ON_WM_HELPINFO()
END_MESSAGE_MAP()

CToolDlg::CToolDlg(UINT templateId, const ToolPolicy& policy, std::initializer_list<ToolFile> inputs,
                   const ToolFile& output)
    : CDialog(templateId, nullptr),
      m_templateId(templateId),
      m_policy(policy),
      m_inputFiles(inputs),
      m_outputFile(output)
{
    for (const ToolFile& file : m_inputFiles)
        m_inputPickers.push_back(file.editBox ? nullptr : std::make_unique<CInFileCtrl>());
    if (!m_outputFile.editBox) m_outputPicker = std::make_unique<CInFileCtrl>();
    m_strErrorCaption = Text(m_policy.errorCaption);
}

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

void CToolDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    for (std::size_t i = 0; i < m_inputFiles.size(); ++i)
        if (m_inputPickers[i]) DDX_Control(pDX, m_inputFiles[i].id, *m_inputPickers[i]);
    if (m_outputPicker) DDX_Control(pDX, m_outputFile.id, *m_outputPicker);
}

BOOL CToolDlg::OnInitDialog()
{
    // The first exchange writes the members to the controls like every later one.
    m_bWritingControls = true;
    CDialog::OnInitDialog();
    m_bWritingControls = false;
    for (std::size_t i = 0; i < m_inputFiles.size(); ++i)
        if (m_inputPickers[i])
            m_inputPickers[i]->Create(1, nullptr, nullptr,
                                      m_inputFiles[i].wholeComplex ? CInFileCtrl::kWholeComplex : 0);
    if (m_outputPicker) m_outputPicker->Create(0, nullptr, nullptr, 0);
    // Each picker starts where this tool last took a file, or in the work folder.
    const CString folder = ToolFolder();
    for (const auto& picker : m_inputPickers)
        if (picker) picker->SetOnlyPath(folder);
    if (m_outputPicker) m_outputPicker->SetOnlyPath(folder);
    return TRUE;
}

namespace {

/// The folder each tool (by its template) last took a file from, for this run of the program.
std::map<UINT, CString>& LastToolFolders()
{
    static std::map<UINT, CString> folders;
    return folders;
}

}  // namespace

CString CToolDlg::ToolFolder() const
{
    const auto it = LastToolFolders().find(m_templateId);
    std::error_code ec;
    // A folder removed since is no place to start in.
    if (it != LastToolFolders().end() && !it->second.IsEmpty() &&
        std::filesystem::is_directory(it->second.str(), ec))
        return it->second;
    return GetStringValue("\\Settings\\General", "WorkDir");
}

void CToolDlg::RememberFolder(const CInFileCtrl& picker)
{
    if (!picker.GetOnlyPath().IsEmpty()) LastToolFolders()[m_templateId] = picker.GetOnlyPath();
}

CString CToolDlg::Text(UINT id) const
{
    return m_policy.text ? m_policy.text(id) : CString();
}

bool CToolDlg::Refuse(UINT id, UINT icon)
{
    return RefuseText(Text(id), icon);
}

bool CToolDlg::RefuseText(const CString& text, UINT icon)
{
    m_strMessage = text;
    MessageBox(m_strMessage, m_strErrorCaption, MB_OK | icon);
    return false;
}

// ---- the pickers --------------------------------------------------------------------------

LRESULT CToolDlg::OnInfileCtrlClicked(WPARAM id, LPARAM)
{
    if (m_outputPicker && int(id) == m_outputFile.id) {
        RememberFolder(*m_outputPicker);
        OnOutputChosen();
        return 1;
    }
    for (std::size_t i = 0; i < m_inputFiles.size(); ++i) {
        if (!m_inputPickers[i] || int(id) != m_inputFiles[i].id) continue;
        CInFileCtrl& picker = *m_inputPickers[i];
        const CString refusal = InputRefusal(m_inputFiles[i], picker);
        if (refusal.IsEmpty()) {
            RememberFolder(picker);
            OnInputChosen(i);
        } else {
            RefuseText(refusal);
            picker.ClearAll();
            if (m_policy.preview) m_preview.SetText(LoadFrameText(IDS_FRAME_SELECT_INPUT));
        }
        break;
    }
    return 1;
}

CString CToolDlg::InputRefusal(const ToolFile& file, const CInFileCtrl& picker) const
{
    if (!file.admitted.Empty() && !file.admitted.Admits(picker.Type())) return Text(file.badTypeText);
    return file.check ? file.check(picker) : CString();
}

void CToolDlg::OnInputChosen(std::size_t index)
{
    if (!m_policy.presetFolders && !m_policy.preview) return;
    UpdateData(TRUE);
    if (m_policy.presetFolders && m_outputPicker && m_outputPicker->GetFileName().IsEmpty())
        m_outputPicker->SetOnlyPath(m_inputPickers[index]->GetOnlyPath());
    if (m_policy.preview) Dispatcher();
    WriteControls();
}

void CToolDlg::OnOutputChosen()
{
    // Choosing an output starts no preview.
    if (!m_policy.presetFolders) return;
    UpdateData(TRUE);
    for (const auto& picker : m_inputPickers)
        if (picker && picker->GetFileName().IsEmpty()) picker->SetOnlyPath(m_outputPicker->GetOnlyPath());
    WriteControls();
}

// ---- the preview --------------------------------------------------------------------------

long CToolDlg::Dispatcher()
{
    UpdateData(TRUE);
    const CString input =
        m_inputPickers.empty() || !m_inputPickers[0] ? CString() : m_inputPickers[0]->GetPathName();
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

// ---- Execute ------------------------------------------------------------------------------

CString CToolDlg::PathOf(const ToolFile& file, const CInFileCtrl* picker) const
{
    if (picker) return picker->GetPathName();
    CString text;
    GetDlgItemText(file.id, text);
    return text;
}

ToolPaths CToolDlg::CurrentPaths() const
{
    ToolPaths paths;
    for (std::size_t i = 0; i < m_inputFiles.size(); ++i)
        paths.inputs.push_back(InputInUse(i) ? PathOf(m_inputFiles[i], m_inputPickers[i].get()) : CString());
    paths.output = PathOf(m_outputFile, m_outputPicker.get());
    return paths;
}

void CToolDlg::OnOK()
{
    if (!UpdateData(TRUE)) return;
    const ToolPaths paths = CurrentPaths();
    // The names the user must give, inputs first; the field goes to the keyboard.
    auto refuseEmpty = [&](const ToolFile& file) {
        Refuse(file.emptyText);
        if (CWnd* field = GetDlgItem(file.id)) field->SetFocus();
    };
    for (std::size_t i = 0; i < m_inputFiles.size(); ++i)
        if (m_inputFiles[i].emptyText && InputInUse(i) && paths.inputs[i].IsEmpty())
            return refuseEmpty(m_inputFiles[i]);
    if (m_outputFile.emptyText && paths.output.IsEmpty()) return refuseEmpty(m_outputFile);
    if (!CheckParameters(paths)) return;
    if (m_policy.inputMustExist)
        for (std::size_t i = 0; i < paths.inputs.size(); ++i)
            if (InputInUse(i) && !FileFind(paths.inputs[i]))
                return void(RefuseText(LoadFrameText(IDS_FRAME_INPUT_MISSING) + "\n" + paths.inputs[i]));
    // Writing the output over an input would destroy what the job reads.
    for (const CString& input : paths.inputs)
        if (NamesSameFile(input, paths.output))
            return void(RefuseText(LoadFrameText(IDS_FRAME_OUTPUT_IS_INPUT)));
    if (m_policy.askBeforeOverwrite && !ConfirmReplace(paths.output)) return;
    StartJob(paths);
    WriteControls();
}

bool CToolDlg::ConfirmReplace(const CString& output)
{
    if (!FileFind(output)) return true;
    const CString question = LoadFrameText(IDS_FRAME_FILE_WITH_NAME) + output +
                             LoadFrameText(IDS_FRAME_ALREADY_EXISTS) + "." + "\n" +
                             LoadFrameText(IDS_FRAME_REPLACE);
    return MessageBox(question, m_strErrorCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CToolDlg::StartJob(const ToolPaths& paths)
{
    ToolJob job = MakeJob(paths);
    if (!job.routine || !job.record) return;
    const CString& named = m_policy.titleNames == TitleNames::Output ? paths.output : paths.Input();
    const CString title = ToolJobTitle(Text(m_policy.titleText), named, m_policy.blankAfterColon);
    auto* result = new ViewResultParam;
    result->fileName = paths.output;
    result->component = job.component;
    result->stretchMethod = job.stretchMethod;
    // From Run on the record is the job's; when no thread started it is still ours.
    void* record = job.record.get();
    if (Run(title, job.routine, record, ViewResultFunction, result)) job.record.release();
}

// ---- help and close -----------------------------------------------------------------------

void CToolDlg::OnCancel()
{
    DestroyWindow();
}

void CToolDlg::OnButtonHelp()
{
    if (m_policy.helpTopic) CallHelpSystem(this, Text(m_policy.helpTopic));
}

BOOL CToolDlg::OnHelpInfo(HELPINFO*)
{
    return m_policy.helpTopic ? CallHelpSystem(this, Text(m_policy.helpTopic)) : FALSE;
}

void CToolDlg::WriteControls()
{
    const bool outer = !m_bWritingControls;
    m_bWritingControls = true;
    UpdateData(FALSE);
    if (outer) m_bWritingControls = false;
}
