#pragma once

// The frame every tool of the interferometry module is built on. A dialog is modeless and
// deletes itself when closed; Execute runs the tool's checks in order, each refusal a box
// with the tool's error caption, packs a value record and starts the job with the title
// "text:name"; the output opens in a viewer when the job ends. A job opens its inputs and
// creates its output through the frame (messages 630 and 631), computes inside RunGuarded
// and copies the first input's tags.

#include <initializer_list>
#include <memory>

#include "modules/common/job_support.h"
#include "modules/interferometry/fringe_resources.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/in_file_ctrl.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/spin_button_ctrl.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/dialogs/dialog_template.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_functions.h"

// ---- titles and sizes ---------------------------------------------------------------------

/// The file name part of a path: what follows its last '/' or '\' (all of it without one).
CString FileNamePart(const CString& path);
/// A job's title: `text` + ":" + the file name part of `path`, with no blank.
CString FringeJobTitle(const CString& text, const CString& path);

/// Window sizes of the coherence and phase filter spins: positions 0..7 give 3..17.
inline constexpr int kWindowSpinLast = 7;
/// The window size of spin position `pos` (clamped to 0..7): 2 pos + 3.
int WindowSizeOfSpin(int pos);
/// "3x3" .. "17x17" for a window size.
CString WindowSizeText(int size);

// ---- the dialog ---------------------------------------------------------------------------

class CFringeToolDlg : public CDialog {
public:
    /// `templateId`: the tool's template; `errorCaption`: the string id of its boxes' caption.
    CFringeToolDlg(UINT templateId, UINT errorCaption);
    ~CFringeToolDlg() override;

    /// Creates the modeless window from the tool's template (`parent` may be null).
    virtual BOOL Create(CWnd* parent);
    /// Destroys the window; the dialog then deletes itself. Nothing may touch it afterwards.
    BOOL DestroyWindow() override;

    /// The text of the last refusal ("" when none) and the caption of the tool's boxes.
    const CString& Message() const { return m_strMessage; }
    const CString& ErrorCaption() const { return m_strErrorCaption; }

protected:
    // ---- what a tool supplies ----
    /// The help page name ("" when the tool has no help).
    virtual CString HelpPage() const { return CString(); }
    /// A picker posted its choice (wParam = its id): the tool checks the file at once.
    virtual LRESULT OnMesgInputClick(WPARAM /*id*/, LPARAM) { return 1; }

    // ---- the frame ----
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void PostNcDestroy() override;
    void OnButtonHelp();
    BOOL OnHelpInfo(HELPINFO* info);

    /// Loads text `id` into the message, shows it with the error caption and `icon`;
    /// returns false, so a check can `return Refuse(...)`.
    bool Refuse(UINT id, UINT icon = MB_ICONEXCLAMATION);
    /// A picker's file is refused: text `id` shown as by Refuse, then the picker is cleared.
    void RefusePicker(CInFileCtrl& picker, UINT id);
    /// Refuses (with the frame's text) an output that names one of `inputs`: writing it would
    /// destroy what the job reads. True when the output is apart from every input.
    bool CheckOutputApart(const CString& output, std::initializer_list<CString> inputs);

    /// A result record naming `output` for ViewResultFunction.
    static ViewResultParam* NewResult(const CString& output);
    /// Runs `job` on `record` titled `title`; `result` (owned from here on) opens the output
    /// when the job ends. The record belongs to the job from here on (freed here if no thread
    /// started). True when the job runs.
    template <class Record>
    static bool StartJob(const CString& title, MeterJobProc job, std::unique_ptr<Record> record,
                         ViewResultParam* result)
    {
        Record* raw = record.release();
        if (Run(title, job, raw, ViewResultFunction, result)) return true;
        delete raw;
        return false;
    }

    /// Sets up a window-size spin (range 0..7, position 0).
    static void InitWindowSpin(CSpinButtonCtrl& spin);
    /// Handles WM_VSCROLL of a window-size spin: on SB_THUMBPOSITION from `spin`, sets `size`
    /// and `text` from the position; true when they changed.
    static bool WindowSpinScrolled(UINT code, UINT pos, CScrollBar* bar, CSpinButtonCtrl& spin, int& size,
                                   CString& text);

    CString m_strMessage;
    CString m_strErrorCaption;

    DECLARE_MESSAGE_MAP()

private:
    LRESULT OnPickerChosen(WPARAM id, LPARAM lParam);

    UINT m_templateId;
    UINT m_errorCaptionId;
};

/// Opens a tool's dialog modeless; it deletes itself when its window is destroyed.
template <class Dlg>
void ShowFringeTool(UINT templateId)
{
    // Without its template the dialog would make no window and never free itself.
    if (!platform::FindDialogTemplate(templateId)) return;
    auto* dialog = new Dlg;
    if (dialog->Create(nullptr)) dialog->ShowWindow(SW_SHOW);
}

// ---- the job ------------------------------------------------------------------------------

/// Opens input `path` into `layer` (made with a null meter). On failure tells the user
/// (630 with the path, MB_ICONERROR, `caption`), marks the current task and the job
/// failed; false.
bool OpenFringeInput(CRDPLayer& layer, const CString& path, CMeterInfo& meter, const CString& caption);
/// Creates the output `path` (w x h of `type`) into `layer` (made with the job's meter).
/// On failure tells the user (631 with the path), marks the current task and the job
/// failed; false.
bool CreateFringeOutput(CRDPLayer& layer, const CString& path, int width, int height, int type,
                        CMeterInfo& meter, const CString& caption);
/// Closes the output; a failure to write it becomes an error for RunGuarded.
void CloseFringeOutput(CRDPLayer& out);
