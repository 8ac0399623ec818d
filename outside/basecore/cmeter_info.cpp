#include "outside/basecore/cmeter_info.h"

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/thread_runner.h"

CMeterInfo::CMeterInfo() = default;
CMeterInfo::~CMeterInfo() = default;

void CMeterInfo::SetMode(int) {}

void CMeterInfo::SetText(const char* text)
{
    {
        std::lock_guard lock(m_lock);
        m_text = text;
    }
    Touch();
}

// Every progress call first passes the pause gate (where the user's question holds the
// job) and then the stop check, so a stopped job never draws again.
void CMeterInfo::StopCheck()
{
    CThread::PauseGate();
    if (m_stopRequested.load()) {
        m_cancelRaised.store(true);
        AfxThrowRDPExcept(RDP_ERROR_CANCEL);
    }
}

void CMeterInfo::SetPos(double pos)
{
    StopCheck();
    {
        std::lock_guard lock(m_lock);
        m_pos = pos;
    }
    Touch();
}

void CMeterInfo::SetRange(double low, double high)
{
    {
        std::lock_guard lock(m_lock);
        m_low = low;
        m_high = high;
        m_pos = low;
    }
    Touch();
}

void CMeterInfo::SetRangeWords(WORD low, WORD high)
{
    SetRange(low, high);
}

void CMeterInfo::SetPosInt(int pos)
{
    SetPos(pos);
}

void CMeterInfo::SetStep(double step)
{
    std::lock_guard lock(m_lock);
    m_step = step;
}

void CMeterInfo::StepIt()
{
    StopCheck();
    {
        std::lock_guard lock(m_lock);
        m_pos += m_step;
    }
    Touch();
}

double CMeterInfo::DeltaPos(double delta)
{
    StopCheck();
    double previous;
    {
        std::lock_guard lock(m_lock);
        previous = m_pos;
        m_pos += delta;
    }
    Touch();
    return previous;
}

CString CMeterInfo::GetText()
{
    std::lock_guard lock(m_lock);
    return m_text;
}

CString CMeterInfo::GetCaption()
{
    std::lock_guard lock(m_lock);
    return m_caption;
}

void CMeterInfo::SetCaption(const char* text)
{
    {
        std::lock_guard lock(m_lock);
        m_caption = text;
    }
    Touch();
}

void CMeterInfo::JobFinished(int)
{
    m_thread.store(nullptr);
}

void CMeterInfo::SetThread(CThread* thread)
{
    m_thread.store(thread);
}

BOOL CMeterInfo::IsStopped()
{
    return m_stopRequested.load() ? TRUE : FALSE;
}

int CMeterInfo::ResolveLocked(int index) const
{
    if (index == -1) index = m_currentTask;
    return (index >= 0 && index < static_cast<int>(m_tasks.size())) ? index : -1;
}

int CMeterInfo::GetTaskCount()
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_tasks.size());
}

CString CMeterInfo::GetTask(int index)
{
    std::lock_guard lock(m_lock);
    const int i = ResolveLocked(index);
    return i < 0 ? CString() : m_tasks[static_cast<size_t>(i)].text;
}

int CMeterInfo::AddTask(CString text, CString description, unsigned flags)
{
    return InsertTask(-1, std::move(text), std::move(description), flags);
}

int CMeterInfo::InsertTask(int index, CString text, CString description, unsigned flags)
{
    int at;
    {
        std::lock_guard lock(m_lock);
        const int count = static_cast<int>(m_tasks.size());
        at = (index >= 0 && index <= count) ? index : count;
        m_tasks.insert(m_tasks.begin() + at, MeterTask{std::move(text), std::move(description), flags});
        // The current task stays the same task.
        if (m_currentTask >= at) ++m_currentTask;
    }
    Touch();
    return at;
}

BOOL CMeterInfo::RemoveTask(int index)
{
    {
        std::lock_guard lock(m_lock);
        const int i = ResolveLocked(index);
        if (i < 0) return FALSE;
        m_tasks.erase(m_tasks.begin() + i);
        if (m_currentTask == i)
            m_currentTask = -1;
        else if (m_currentTask > i)
            --m_currentTask;
    }
    Touch();
    return TRUE;
}

void CMeterInfo::SetTaskData(int index, DWORD_PTR data)
{
    std::lock_guard lock(m_lock);
    const int i = ResolveLocked(index);
    if (i >= 0) m_tasks[static_cast<size_t>(i)].data = data;
}

DWORD_PTR CMeterInfo::GetTaskData(int index)
{
    std::lock_guard lock(m_lock);
    const int i = ResolveLocked(index);
    return i < 0 ? 0 : m_tasks[static_cast<size_t>(i)].data;
}

void CMeterInfo::SetStateOf(int index, int state)
{
    {
        std::lock_guard lock(m_lock);
        const int i = ResolveLocked(index);
        if (i < 0) return;
        m_tasks[static_cast<size_t>(i)].state = state;
    }
    Touch();
}

void CMeterInfo::SetTaskState(int index, int state)
{
    if (state >= TASK_WAITING && state <= TASK_NOPROCESS) SetStateOf(index, state);
}

int CMeterInfo::GetTaskState(int index)
{
    std::lock_guard lock(m_lock);
    const int i = ResolveLocked(index);
    return i < 0 ? -1 : m_tasks[static_cast<size_t>(i)].state;
}

void CMeterInfo::SetProcessingState(int index)
{
    SetStateOf(index, TASK_PROCESSING);
}
void CMeterInfo::SetNoProcessState(int index)
{
    SetStateOf(index, TASK_NOPROCESS);
}
void CMeterInfo::SetSkippedState(int index)
{
    SetStateOf(index, TASK_SKIPPED);
}
void CMeterInfo::SetCompleteState(int index)
{
    SetStateOf(index, TASK_COMPLETE);
}
void CMeterInfo::SetErrorState(int index)
{
    SetStateOf(index, TASK_ERROR);
}

void CMeterInfo::SetCurrentTask(int index)
{
    {
        std::lock_guard lock(m_lock);
        m_currentTask = (index >= 0 && index < static_cast<int>(m_tasks.size())) ? index : -1;
    }
    Touch();
}

int CMeterInfo::GetCurrentTask()
{
    std::lock_guard lock(m_lock);
    return m_currentTask;
}

void CMeterInfo::DeleteOnClose()
{
    std::lock_guard lock(m_lock);
    m_deleteOnClose = true;
}

CWnd* CMeterInfo::GetCWND()
{
    return m_window.load();
}

void CMeterInfo::SetWindow(CWnd* window)
{
    m_window.store(window);
}

void CMeterInfo::RequestStop()
{
    m_stopRequested.store(true);
    Touch();
}

bool CMeterInfo::FailureMarked()
{
    std::lock_guard lock(m_lock);
    if (m_deleteOnClose) return true;
    for (const auto& task : m_tasks)
        if (task.state == TASK_ERROR) return true;
    return false;
}

MeterSnapshot CMeterInfo::Snapshot()
{
    std::lock_guard lock(m_lock);
    return MeterSnapshot{m_caption, m_text,        m_low,   m_high,
                         m_pos,     m_currentTask, m_tasks, m_stopRequested.load()};
}
