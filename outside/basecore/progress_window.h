#pragma once

// The progress window of a job with a meter: the job's title, its task list with each
// task's state, the current text, a progress bar and a Stop button. It lives on the
// user-interface thread and reads the meter on a short timer, so the worker never waits
// for drawing. Stop (the button, WM_COMMAND IDCANCEL, or closing the window) makes the
// job's next progress call raise the cancel error; the runner destroys the window when
// the job has ended.

#include "platform/cstring.h"
#include "platform/window/wnd.h"

class CMeterInfo;
class QTimer;

namespace basecore {

/// The object name of every progress window's widget.
inline constexpr const char* kProgressWindowName = "TarvenixProgressWindow";

class CProgressWnd : public CWnd {
public:
    explicit CProgressWnd(CMeterInfo* meter);
    ~CProgressWnd() override;

    /// Creates and shows the window titled `title` (user-interface thread).
    BOOL Create(const CString& title);
    /// Draws the meter's present state at once.
    void Refresh();

protected:
    QWidget* CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget) override;
    void OnStop();
    void OnClose();
    DECLARE_MESSAGE_MAP()

private:
    struct Parts;
    CMeterInfo* m_meter;
    Parts* m_parts = nullptr;  // widgets, owned by the window's widget
    unsigned m_shownRevision = ~0u;
};

}  // namespace basecore
