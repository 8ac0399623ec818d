#pragma once

// The viewer's progress meter: shows a viewer job's progress in its owner's progress bar,
// lets the user stop the job, and turns the stop into the cancel error at the job's next
// progress call. While the stop question is open the job waits at its pause gate.

#include <atomic>

#include "outside/basecore/meter_info.h"
#include "platform/cstring.h"
#include "platform/types.h"
#include "platform/window/messages.h"
#include "viewer/core/viewer_messages.h"

class CProgressCtrl;
class CThread;
class CWnd;

/// The meter's own end-of-job message (OnMeterMessage).
constexpr UINT WM_VIEWERMETERDONE = WM_USER + 504;

class CViewerMeterInfo : public CMeterInfoBase {
public:
    CViewerMeterInfo() = default;
    CViewerMeterInfo(const CViewerMeterInfo&) = delete;
    CViewerMeterInfo& operator=(const CViewerMeterInfo&) = delete;

    /// Keeps the owner window, its progress bar and the owner's handle.
    void Attach(CWnd* owner, CProgressCtrl* progress);
    /// The stop question (Esc in the owner). Nothing without a running job; Yes makes the
    /// job's next progress call throw the cancel error.
    void AskStop();
    /// Stops the running job without asking and has the owner sent WM_CLOSEVIEWER once the
    /// job has reported its end; false when no job runs (the owner may close at once).
    bool StopForClose();
    /// The owner lets go of a meter made with new: it is freed now, or, while a job still
    /// runs with it, once that job has reported its end (so a closed viewer never leaves
    /// its job a freed meter).
    void Release();
    /// Whether a job runs with this meter.
    bool IsRunning() const { return m_pThread.load() != nullptr; }

    void SetMode(int) override {}
    void SetText(const char*) override {}
    void SetPos(double pos) override;
    void SetRange(double low, double high) override;
    void SetRangeWords(WORD low, WORD high) override { SetRange(low, high); }
    void SetPosInt(int pos) override { SetPos(pos); }
    void SetStep(double) override {}
    void StepIt() override;
    CString GetText() override { return CString(); }
    CString GetCaption() override { return CString(); }
    void JobFinished(int result) override;
    void SetThread(CThread* thread) override;
    int GetFlags() override { return 0; }
    BOOL IsStopped() override { return m_bStop.load() ? TRUE : FALSE; }
    void OnMeterMessage(UINT message) override;
    void SetCaption(const char* text) override;
    void ShowMeter(BOOL show) override;
    double DeltaPos(double delta) override;

private:
    /// Waits at the pause gate, then throws the cancel error once the stop is set.
    void StopCheck();
    void ShowPos();

    HWND m_hProgress = nullptr;   ///< the bar, reached by handle from the job's thread
    std::atomic<int> m_nRefs{1};  ///< the owner's reference and one per running job
    std::atomic<CThread*> m_pThread{nullptr};
    std::atomic<int> m_bStop{0};
    std::atomic<bool> m_bCloseAfterJob{false};
    CWnd* m_pOwner = nullptr;
    HWND m_hOwner = nullptr;
    CString m_caption;
    // The bar shows pos within [low, high]; ranges that do not fit its ints are scaled.
    double m_low = 0.0;
    double m_high = 100.0;
    double m_pos = 0.0;
};
