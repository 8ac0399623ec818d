#pragma once

// What every processing dialog of the tool modules shares: the input and output pickers,
// the preview scheduling (one run at a time, at most one rerun), Execute's checks and its
// job start, the help call, and a modeless dialog that deletes itself when closed. A tool
// adds its parameters, its preview and its job.

#include <memory>

#include "outside/basecore/in_file_ctrl.h"
#include "outside/basecore/preview_static.h"
#include "outside/basecore/thread_runner.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_functions.h"

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

class CToolDlg : public CDialog {
public:
    explicit CToolDlg(UINT templateId);
    ~CToolDlg() override;

    /// Creates the modeless window from the tool's template with `parent`.
    virtual BOOL Create(CWnd* parent);
    /// Destroys the window; the dialog then deletes itself. Nothing may touch it afterwards.
    BOOL DestroyWindow() override;

    /// Asks for a preview run: returns the preview thread, or 0 when none was started
    /// (no input with statistics, an image not larger than the window, a run already
    /// going: then one rerun follows it).
    long Dispatcher();

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
    /// The tool's checks before Execute; false after the tool told the user.
    virtual bool CheckParameters() { return true; }
    /// Starts the job on (input, output) with `title`; `result` goes to Run, which owns it
    /// from then on. True when the job runs.
    virtual bool StartJob(const CString& title, const CString& input, const CString& output,
                          ViewResultParam* result) = 0;
    /// Caption of Execute's boxes and the job title's text.
    virtual CString ToolCaption() const = 0;
    /// The help page name.
    virtual CString HelpPage() const = 0;
    /// The ids of the input and output pickers.
    virtual int InputPickerId() const = 0;
    virtual int OutputPickerId() const = 0;

    /// Runs `job` on `record` with the progress window; on success the result opens in a
    /// viewer. The record belongs to the job from here on (freed here if no thread ran).
    template <class Record>
    static bool RunJob(const CString& title, MeterJobProc job, std::unique_ptr<Record> record,
                       ViewResultParam* result)
    {
        Record* raw = record.release();
        if (Run(title, job, raw, ViewResultFunction, result)) return true;
        delete raw;
        return false;
    }

    // ---- the frame ----
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;
    LRESULT OnInfileCtrlClicked(WPARAM id, LPARAM);
    void OnInctrlInputChange();
    void OnInctrlOutputChange();
    LRESULT OnDlgMessage(WPARAM code, LPARAM record);
    void OnButtonHelp();
    BOOL OnHelpInfo(HELPINFO* info);

    /// Asks the user whether an existing `output` may be replaced; true when it does not
    /// exist or the answer is yes.
    bool ConfirmReplace(const CString& output, const CString& caption);

    /// Writes the members to the controls. Edits that change under it notify as a user's
    /// typing would; tools ignore those while WritingControls() holds.
    void WriteControls();
    bool WritingControls() const { return m_bWritingControls; }

    CInFileCtrl m_input;
    CInFileCtrl m_output;
    CPreviewStatic m_preview;
    bool m_bPreviewBusy = false;
    bool m_bPreviewAgain = false;

    DECLARE_MESSAGE_MAP()

private:
    UINT m_templateId;
    bool m_bWritingControls = false;
};
