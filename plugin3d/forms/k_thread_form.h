#pragma once

// TKThreadForm (unit KThreadFormUn): the progress form of a job. It runs the job on a
// TKThread of its own, shows the job's title, the thread's status text and a progress bar
// with the percentage, offers Break, and closes (and frees itself) when the job has ended,
// whether it succeeded, failed or was stopped. The borderless form drags from anywhere but
// its Break button.
//
// The thread's events reach the form only as WM_USER messages (wParam the event code, lParam
// the parameter): posted from a worker, sent only while the job runs on the form's own
// thread. No form code runs on a worker.

#include <functional>
#include <mutex>
#include <string>

#include "platform/forms/forms.h"
#include "plugin3d/model/core/k_event_manager.h"
#include "plugin3d/model/core/k_threads.h"

class TStaticText;
class TBevel;
class TSpeedButtonEx;

class TKThreadForm : public TForm {
    DECLARE_TCLASS(TKThreadForm)

    /// Told once, on the form's thread, when the form has handled the end of its job: the
    /// state the job ended in (done, failed or cancelled) and, for a failure, its message.
    using TJobEnded = std::function<void(int state, const std::string& error)>;

    TStaticText* NameText = nullptr;
    TStaticText* TaskText = nullptr;
    TBevel* Bevel1 = nullptr;
    TSpeedButtonEx* BreakBtn = nullptr;

    /// The form's thread (owned; it lives as long as the form).
    TKThread* Thread() const { return m_thread; }
    /// The part of the form the progress bar fills.
    const CRect& ProgressRect() const { return m_progressRect; }
    /// The text drawn over the bar: the progress in whole percent, clamped to 0..100, and "%".
    std::string PercentText() const;
    /// Who hears the end of the job (set right after the job was started; the form is alive
    /// until it has told it). DropOnEnded: nobody is told any more.
    void SetOnEnded(TJobEnded ended) { m_onEnded = std::move(ended); }
    void DropOnEnded() { m_onEnded = nullptr; }
    /// The state the job ended in (0 while it runs) and the message of its failure.
    int EndState() const;
    std::string ErrorText() const;
    void WndProc(TMessage& message) override;

protected:
    TKThreadForm() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void FormPaint(TObject* sender);
    void BreakBtnClick(TObject* sender);

private:
    friend TKThreadForm* RunJobSync(const std::string&, TKThreadParams*, TKEventHandler, TKJob);
    friend TKThreadForm* RunJobInForm(const std::string&, TKThreadParams*, TKEventHandler, TKJob, bool);
    /// The thread's events, on whichever thread raises them.
    void ThreadEvent(TObject* sender, int code, std::intptr_t param);
    void ShowWithTitle(const std::string& title);
    /// The job as the thread runs it: the caller's job, its end state and failure kept.
    void RunWrapped(TKThread* thread, TKThreadParams* params);
    void Ended();

    TKThread* m_thread = nullptr;
    HWND m_handle = nullptr;  ///< the window the thread's events go to
    CRect m_progressRect{0, 0, 0, 0};
    bool m_synchronous = false;   ///< the job runs in ExecuteSync on this thread now
    bool m_closePending = false;  ///< the job ended during ExecuteSync: close once it returned
    bool m_closing = false;       ///< closed once; later state events change nothing
    TKJob m_job;                  ///< the caller's job, run by RunWrapped
    TJobEnded m_onEnded;
    mutable std::mutex m_endMutex;  ///< guards what the job's thread leaves here
    int m_endState = 0;
    std::string m_error;
};

/// Runs job on a new progress form's thread (asynchronously) with title; handler, when set,
/// hears the thread's events (on the thread that raises them). With suspended the thread
/// waits at its start gate until it is resumed. Returns the form, which frees itself when
/// the job has ended.
TKThreadForm* RunJobInForm(const std::string& title, TKThreadParams* params, TKEventHandler handler,
                           TKJob job, bool suspended);
/// The same, but the form is painted at once and the job runs in the calling thread; the form
/// closes once the job and ExecuteSync have returned. The form returned must not be used
/// after the call.
TKThreadForm* RunJobSync(const std::string& title, TKThreadParams* params, TKEventHandler handler, TKJob job);
