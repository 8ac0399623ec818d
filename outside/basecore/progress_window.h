#pragma once

// The progress window of a job with a meter: a dialog made of the platform's controls,
// showing the job's title, its task list with each task's state (the current task
// selected), the current text, a progress bar and a Stop button. It lives on the
// user-interface thread and reads the meter on a short timer, so the worker never waits
// for drawing. Stop (the button, WM_COMMAND IDCANCEL, Esc, or closing the window) makes the
// job's next progress call raise the cancel error; the runner destroys the window when
// the job has ended. Windows of jobs that run at once open a step apart, cascaded.

#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"

class CMeterInfo;

namespace basecore {

class CProgressWnd : public CDialog {
public:
    explicit CProgressWnd(CMeterInfo* meter);
    ~CProgressWnd() override;

    /// Creates and shows the window titled `title` (user-interface thread).
    BOOL Create(const CString& title);
    using CDialog::Create;
    /// Draws the meter's present state at once.
    void Refresh();

protected:
    BOOL OnInitDialog() override;
    /// Enter does not end the window: only the job's end does.
    void OnOK() override {}
    /// Stop: the button, IDCANCEL, Esc and closing the window all arrive here.
    void OnCancel() override;
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    CMeterInfo* m_meter;
    unsigned m_shownRevision = ~0u;
    int m_cascadeStep = -1;  ///< how far it stands from the centre, in steps; -1 once gone
};

}  // namespace basecore
