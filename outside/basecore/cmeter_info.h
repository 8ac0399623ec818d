#pragma once

// The meter of Basecore's progress window: the base meter's progress and a list of tasks
// (one per phase of a job) with their states. The worker writes it on its own thread;
// the progress window reads it on the user-interface thread, so every member locks.

#include <atomic>
#include <mutex>
#include <vector>

#include "outside/basecore/meter_info.h"

/// States of a task of a CMeterInfo.
enum MeterTaskState : int {
    TASK_WAITING = 0,
    TASK_PROCESSING = 1,
    TASK_COMPLETE = 2,
    TASK_ERROR = 3,
    TASK_SKIPPED = 4,
    TASK_NOPROCESS = 5,
};

/// One task of a meter as the progress window shows it.
struct MeterTask {
    CString text;
    CString description;
    UINT flags = 0;
    int state = TASK_WAITING;
    DWORD_PTR data = 0;
};

/// Everything the progress window draws, taken in one lock.
struct MeterSnapshot {
    CString caption;
    CString text;
    double low = 0.0;
    double high = 100.0;
    double pos = 0.0;
    int currentTask = -1;
    std::vector<MeterTask> tasks;
    bool stopRequested = false;
};

class CMeterInfo : public CMeterInfoBase {
public:
    CMeterInfo();
    ~CMeterInfo() override;
    CMeterInfo(const CMeterInfo&) = delete;
    CMeterInfo& operator=(const CMeterInfo&) = delete;

    void SetMode(int mode) override;
    void SetText(const char* text) override;
    void SetPos(double pos) override;
    void SetRange(double low, double high) override;
    void SetRangeWords(WORD low, WORD high) override;
    void SetPosInt(int pos) override;
    void SetStep(double step) override;
    void StepIt() override;
    CString GetText() override;
    CString GetCaption() override;
    void JobFinished(int result) override;
    void SetThread(CThread* thread) override;
    BOOL IsStopped() override;
    void SetCaption(const char* text) override;
    double DeltaPos(double delta) override;

    // Tasks. An index of -1 means the current task; other indexes out of range are ignored
    // (getters answer an empty text, 0 or -1).
    virtual int GetTaskCount();
    /// The task's text.
    virtual CString GetTask(int index);
    /// Appends a task in the waiting state; returns its index.
    virtual int AddTask(CString text, CString description, unsigned flags);
    /// Inserts a task before `index` (at the end when out of range); returns its index.
    virtual int InsertTask(int index, CString text, CString description, unsigned flags);
    virtual BOOL RemoveTask(int index);
    virtual void SetTaskData(int index, DWORD_PTR data);
    virtual DWORD_PTR GetTaskData(int index);
    virtual void SetTaskState(int index, int state);
    /// The task's state, -1 for an index out of range.
    virtual int GetTaskState(int index);
    virtual void SetProcessingState(int index);
    virtual void SetNoProcessState(int index);
    virtual void SetSkippedState(int index);
    virtual void SetCompleteState(int index);
    virtual void SetErrorState(int index);
    virtual void SetCurrentTask(int index);
    virtual int GetCurrentTask();

    /// The job reached a failure path: its result is not shown.
    void DeleteOnClose();
    /// The progress window, owner of the job's message boxes (null without one).
    CWnd* GetCWND();

    // The runner's and the progress window's side.
    /// The user's stop: the next progress call raises the cancel error.
    void RequestStop();
    /// True once a progress call has raised the cancel error.
    bool CancelRaised() const { return m_cancelRaised.load(); }
    /// True when the job marked a failure (DeleteOnClose or a task in the error state).
    bool FailureMarked();
    MeterSnapshot Snapshot();
    /// Grows with every change the window shows, so that it redraws only when needed.
    unsigned Revision() const { return m_revision.load(); }
    void SetWindow(CWnd* window);

private:
    int ResolveLocked(int index) const;
    void SetStateOf(int index, int state);
    void StopCheck();
    void Touch() { m_revision.fetch_add(1); }

    std::mutex m_lock;
    CString m_caption;
    CString m_text;
    double m_low = 0.0;
    double m_high = 100.0;
    double m_pos = 0.0;
    double m_step = 1.0;
    int m_currentTask = -1;
    std::vector<MeterTask> m_tasks;
    bool m_deleteOnClose = false;
    std::atomic<CWnd*> m_window{nullptr};
    std::atomic<CThread*> m_thread{nullptr};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_cancelRaised{false};
    std::atomic<unsigned> m_revision{0};
};
