#pragma once

// The progress window of a job with a meter: the job's title, its task list with each
// task's state, the current text, a progress bar and a Stop button. It lives on the
// user-interface thread and reads the meter on a short timer, so the worker never
// waits for drawing.

#include <memory>

#include "platform/cstring.h"

class CMeterInfo;
class CWnd;
class QWidget;

namespace basecore {

class CProgressWnd {
public:
    /// Creates and shows the window for `meter` (user-interface thread only).
    CProgressWnd(const CString& title, CMeterInfo* meter);
    ~CProgressWnd();
    CProgressWnd(const CProgressWnd&) = delete;
    CProgressWnd& operator=(const CProgressWnd&) = delete;

    /// Draws the meter's present state at once.
    void Refresh();
    QWidget* Widget() const;
    /// The window as owner of the job's message boxes.
    CWnd* Wnd() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/// The object name of every progress window's top-level widget.
inline constexpr const char* kProgressWindowName = "TarvenixProgressWindow";

}  // namespace basecore
