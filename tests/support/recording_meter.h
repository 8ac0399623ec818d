#pragma once

// The tests' progress meter: what a job reports is recorded, and the job is stopped as
// the user's Stop does, or failed with another error, where the test says.

#include <mutex>
#include <string>
#include <vector>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/rdp_except.h"
#include "tests/support/dialog_helpers.h"

namespace tarvenix::test {

/// A meter without a window that keeps the job's tasks and their states as the progress
/// window's meter does. Once stopped, every later progress report raises the cancel error
/// (code 11) and IsStopped answers TRUE, as with the real meter. Reports may come from any
/// thread.
class RecordingMeter : public CMeterInfo {
public:
    /// The first SetPos at or beyond `position` stops the job.
    void StopAt(double position)
    {
        std::lock_guard lock(m_recordLock);
        m_stopAt = position;
    }
    /// The n-th progress report (1 = the first) stops the job. Reports are SetPos,
    /// SetPosInt, StepIt, DeltaPos and each look at IsStopped.
    void StopAtReport(int n)
    {
        std::lock_guard lock(m_recordLock);
        m_stopAtReport = n;
    }
    /// The first SetPos at or beyond `position` raises error `code` instead of the cancel.
    void FailAt(double position, int code)
    {
        std::lock_guard lock(m_recordLock);
        m_failAt = position;
        m_failCode = code;
    }

    void SetText(const char* text) override
    {
        {
            std::lock_guard lock(m_recordLock);
            m_texts.emplace_back(text ? text : "");
        }
        CMeterInfo::SetText(text);
    }
    void SetRange(double low, double high) override
    {
        {
            std::lock_guard lock(m_recordLock);
            m_ranges.push_back({low, high});
        }
        CMeterInfo::SetRange(low, high);
    }
    void SetPos(double pos) override
    {
        int failCode = 0;
        {
            std::lock_guard lock(m_recordLock);
            m_positions.push_back(pos);
            if (m_failAt >= 0 && pos >= m_failAt) failCode = m_failCode;
            if (m_stopAt >= 0 && pos >= m_stopAt) RequestStop();
            CountReport();
        }
        if (failCode) AfxThrowRDPExcept(failCode);
        CMeterInfo::SetPos(pos);
    }
    void StepIt() override
    {
        {
            std::lock_guard lock(m_recordLock);
            ++m_steps;
            CountReport();
        }
        CMeterInfo::StepIt();
    }
    double DeltaPos(double delta) override
    {
        {
            std::lock_guard lock(m_recordLock);
            CountReport();
        }
        return CMeterInfo::DeltaPos(delta);
    }
    BOOL IsStopped() override
    {
        {
            std::lock_guard lock(m_recordLock);
            CountReport();
        }
        return CMeterInfo::IsStopped();
    }

    /// Every SetPos (and SetPosInt) position, in order.
    std::vector<double> Positions()
    {
        std::lock_guard lock(m_recordLock);
        return m_positions;
    }
    /// Every text the job set, in order.
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(m_recordLock);
        return m_texts;
    }
    /// Every range the job set, in order.
    struct Range {
        double low, high;
        bool operator==(const Range&) const = default;
    };
    std::vector<Range> Ranges()
    {
        std::lock_guard lock(m_recordLock);
        return m_ranges;
    }
    int Steps()
    {
        std::lock_guard lock(m_recordLock);
        return m_steps;
    }
    int Reports()
    {
        std::lock_guard lock(m_recordLock);
        return m_reports;
    }
    /// The bar as it stands: its range and position.
    double Low() { return Snapshot().low; }
    double High() { return Snapshot().high; }
    double Pos() { return Snapshot().pos; }

    /// The state of each task, in order.
    std::vector<int> States()
    {
        std::vector<int> s;
        for (int i = 0; i < GetTaskCount(); ++i) s.push_back(GetTaskState(i));
        return s;
    }
    /// The text of each task, in order.
    std::vector<std::string> Tasks()
    {
        std::vector<std::string> t;
        for (int i = 0; i < GetTaskCount(); ++i) t.emplace_back(GetTask(i));
        return t;
    }

private:
    void CountReport()
    {
        if (++m_reports == m_stopAtReport) RequestStop();
    }

    std::mutex m_recordLock;
    std::vector<double> m_positions;
    std::vector<std::string> m_texts;
    std::vector<Range> m_ranges;
    int m_steps = 0;
    int m_reports = 0;
    int m_stopAtReport = -1;
    double m_stopAt = -1;
    double m_failAt = -1;
    int m_failCode = 0;
};

/// The progress windows of jobs open now.
inline std::vector<basecore::CProgressWnd*> ProgressWindowsOpen()
{
    return TopLevelOf<basecore::CProgressWnd>();
}

}  // namespace tarvenix::test
