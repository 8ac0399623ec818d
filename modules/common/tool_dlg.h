#pragma once

// The one frame of every processing dialog of the tool modules. A tool declares its file
// fields (its inputs, each with the types it admits and its own check of a chosen file,
// and its output) and a policy (its texts, how its job is titled, whether it asks before
// replacing an output, whether it shows a preview, its help page). The frame owns the
// pickers and their checks when a file is chosen, the preview scheduling (one run at a
// time, at most one rerun), the one Execute path and the help call; every dialog is
// modeless and deletes itself when closed. A tool adds its parameters, its own checks,
// its preview and its job record.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/in_file_ctrl.h"
#include "outside/basecore/preview_static.h"
#include "outside/basecore/thread_runner.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/dialogs/dialog_template.h"

/// Texts of the frame, shared by every tool on it.
enum : UINT {
    IDS_FRAME_INPUT_MISSING = 59000,  ///< "Can't find the input file"
    IDS_FRAME_FILE_WITH_NAME = 59001,
    IDS_FRAME_ALREADY_EXISTS = 59002,
    IDS_FRAME_REPLACE = 59003,
    IDS_FRAME_PREVIEW_NOT_ACCESSIBLE = 59004,
    IDS_FRAME_PREVIEW = 59005,
    IDS_FRAME_SELECT_INPUT = 59006,
    IDS_FRAME_OUTPUT_IS_INPUT = 59007,
};
/// A text of the frame.
CString LoadFrameText(UINT id);

/// True when the two paths name the same file, however they are written (links, "..",
/// doubled slashes); a path of a file that does not exist yet compares by its folder.
bool NamesSameFile(const char* a, const char* b);

/// The file name part of a path: what follows its last '/' or '\' (all of it without one).
CString FileNamePart(const CString& path);
/// A job's title: `text`, a colon (and a blank when `blank`), then the file name part of `path`.
CString ToolJobTitle(const CString& text, const CString& path, bool blank);

/// The sample types a picker admits. An empty set admits any file, also one whose type
/// the picker could not read.
class TypeSet {
public:
    constexpr TypeSet() = default;
    constexpr TypeSet(std::initializer_list<DataType> types)
    {
        for (DataType t : types) m_bits |= Bit(int(t));
    }
    /// The types first..last of the type table.
    static constexpr TypeSet Range(DataType first, DataType last)
    {
        TypeSet set;
        for (int code = int(first); code <= int(last); ++code) set.m_bits |= Bit(code);
        return set;
    }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr bool Admits(int code) const { return isValidType(code) && (m_bits & Bit(code)) != 0; }

private:
    static constexpr std::uint32_t Bit(int code) { return std::uint32_t(1) << code; }
    std::uint32_t m_bits = 0;
};

/// One file field of a tool dialog: a picker, or an edit box for a tool that browses with
/// file dialogs of its own.
struct ToolFile {
    int id = 0;             ///< the control
    UINT emptyText = 0;     ///< Execute refuses an empty name with this text; 0: it does not
    TypeSet admitted = {};  ///< the types a chosen input may have
    UINT badTypeText = 0;   ///< the refusal of a type not admitted
    /// A further check of a chosen input, after its type: the refusal text, or "".
    CString (*check)(const CInFileCtrl& picker) = nullptr;
    bool editBox = false;  ///< the control is an edit box holding the path
    /// The tool reads a complex input whole (both parts): its picker asks for no component.
    bool wholeComplex = false;
};

/// Which file's name follows the colon of a job's title.
enum class TitleNames { Input, Output };

/// How a tool differs from the others on the frame.
struct ToolPolicy {
    CString (*text)(UINT id) = nullptr;  ///< loads the tool's texts (the ids below, its refusals)
    UINT errorCaption = 0;               ///< caption of every box the dialog shows
    UINT titleText = 0;                  ///< the job title's text
    TitleNames titleNames = TitleNames::Input;
    bool blankAfterColon = false;     ///< "text: name" instead of "text:name"
    bool askBeforeOverwrite = false;  ///< Execute asks before an existing output is replaced
    bool inputMustExist = false;      ///< Execute refuses an input that is not there, naming it
    bool presetFolders = false;       ///< a chosen file gives its folder to the unnamed others
    bool preview = false;             ///< a chosen input asks for a preview
    UINT helpTopic = 0;               ///< the help page's text; 0: the tool has no help
};

/// The names Execute works with: the inputs in declared order ("" for one not in use) and
/// the output.
struct ToolPaths {
    std::vector<CString> inputs;
    CString output;
    const CString& Input(std::size_t i = 0) const { return inputs.at(i); }
};

/// What Execute hands to the runner: the job routine, its record (the job frees it) and
/// how the result opens in its viewer.
struct ToolJob {
    MeterJobProc routine = nullptr;
    std::unique_ptr<void, void (*)(void*)> record{nullptr, [](void*) {}};
    int component = 0;      ///< the part of a complex result shown first
    int stretchMethod = 0;  ///< the result's contrast stretch
};
/// A job of `routine` on `record`.
template <class Record>
ToolJob MakeToolJob(MeterJobProc routine, std::unique_ptr<Record> record)
{
    ToolJob job;
    job.routine = routine;
    job.record = {record.release(), [](void* p) { delete static_cast<Record*>(p); }};
    return job;
}

class CToolDlg : public CDialog {
public:
    /// `templateId`: the tool's template; `inputs` and `output`: its file fields, the
    /// inputs in the order Execute checks them.
    CToolDlg(UINT templateId, const ToolPolicy& policy, std::initializer_list<ToolFile> inputs,
             const ToolFile& output);
    ~CToolDlg() override;

    /// Creates the modeless window from the tool's template with `parent`.
    virtual BOOL Create(CWnd* parent);
    /// Destroys the window; the dialog then deletes itself. Nothing may touch it afterwards.
    BOOL DestroyWindow() override;

    /// The text of the last refusal ("" when none) and the caption of the tool's boxes.
    const CString& Message() const { return m_strMessage; }
    const CString& ErrorCaption() const { return m_strErrorCaption; }

    /// Asks for a preview run: returns the preview thread, or 0 when none was started
    /// (no input with statistics, an image not larger than the window, a run already
    /// going: then one rerun follows it). A tool with a preview of its own kind replaces it.
    virtual long Dispatcher();

    bool PreviewBusy() const { return m_bPreviewBusy; }
    bool PreviewAgain() const { return m_bPreviewAgain; }

protected:
    // ---- what a tool supplies ----
    /// The side the image must exceed to be previewed (0: any).
    virtual int PreviewWindowSize() const { return 0; }
    /// False when the parameters cannot give a preview (it then shows "Preview").
    virtual bool PreviewParametersValid() const { return true; }
    /// Starts the tool's preview thread on `input`; the thread, or null.
    virtual CThread* StartPreview(const CString& /*input*/) { return nullptr; }
    /// Shows a preview answer and frees its record.
    virtual void TakePreview(WPARAM /*code*/, LPARAM /*record*/) {}
    /// False while input `index` takes no part in the job (an optional file switched off).
    virtual bool InputInUse(std::size_t /*index*/) const { return true; }
    /// The tool's own checks of Execute, after the names were found given; false after the
    /// tool told the user.
    virtual bool CheckParameters(const ToolPaths& /*paths*/) { return true; }
    /// The job for `paths`; a job without a routine starts nothing.
    virtual ToolJob MakeJob(const ToolPaths& paths) = 0;

    // ---- the frame ----
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;
    LRESULT OnInfileCtrlClicked(WPARAM id, LPARAM);
    LRESULT OnDlgMessage(WPARAM code, LPARAM record);
    void OnButtonHelp();
    BOOL OnHelpInfo(HELPINFO* info);

    /// The picker of input `index` and of the output (declared as pickers).
    CInFileCtrl& InputPicker(std::size_t index = 0) { return *m_inputPickers.at(index); }
    CInFileCtrl& OutputPicker() { return *m_outputPicker; }
    const CInFileCtrl& InputPicker(std::size_t index = 0) const { return *m_inputPickers.at(index); }
    const CInFileCtrl& OutputPicker() const { return *m_outputPicker; }

    /// A text of the tool.
    CString Text(UINT id) const;
    /// Shows text `id` with the error caption and `icon` and keeps it as the message;
    /// returns false, so a check can `return Refuse(...)`.
    bool Refuse(UINT id, UINT icon = MB_ICONEXCLAMATION);
    bool RefuseText(const CString& text, UINT icon = MB_ICONEXCLAMATION);

    /// Writes the members to the controls. Edits that change under it notify as a user's
    /// typing would; tools ignore those while WritingControls() holds.
    void WriteControls();
    bool WritingControls() const { return m_bWritingControls; }

    CPreviewStatic m_preview;
    bool m_bPreviewBusy = false;
    bool m_bPreviewAgain = false;
    CString m_strMessage;
    CString m_strErrorCaption;

    DECLARE_MESSAGE_MAP()

private:
    /// The path a field holds now.
    CString PathOf(const ToolFile& file, const CInFileCtrl* picker) const;
    ToolPaths CurrentPaths() const;
    /// Why a chosen input is refused ("" when it is not).
    CString InputRefusal(const ToolFile& file, const CInFileCtrl& picker) const;
    /// The folder this tool's pickers start in: the one it last took a file from, else "WorkDir".
    CString ToolFolder() const;
    void RememberFolder(const CInFileCtrl& picker);
    void OnInputChosen(std::size_t index);
    void OnOutputChosen();
    /// True when `output` does not exist or the user lets it be replaced.
    bool ConfirmReplace(const CString& output);
    void StartJob(const ToolPaths& paths);

    UINT m_templateId;
    ToolPolicy m_policy;
    std::vector<ToolFile> m_inputFiles;
    ToolFile m_outputFile;
    std::vector<std::unique_ptr<CInFileCtrl>> m_inputPickers;  // null for an edit box
    std::unique_ptr<CInFileCtrl> m_outputPicker;
    bool m_bWritingControls = false;
};

/// Opens a tool's dialog modeless (`Dlg::IDD` is its template); the dialog deletes itself
/// when its window is destroyed. Every call opens another one.
template <class Dlg>
void ShowTool()
{
    // Without its template the dialog would make no window and never free itself.
    if (!platform::FindDialogTemplate(Dlg::IDD)) return;
    auto* dialog = new Dlg;
    if (dialog->Create(nullptr)) dialog->ShowWindow(SW_SHOW);
}
