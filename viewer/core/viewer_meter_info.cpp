#include "viewer/core/viewer_meter_info.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"

namespace {

constexpr const char* kStopQuestion = "Do you really want to stop the process?";
// A range that does not fit the bar's ints is shown as a fraction of this many steps.
constexpr int kScaledTop = 1 << 20;

bool FitsInt(double v)
{
    return v >= double(std::numeric_limits<int>::min()) && v <= double(std::numeric_limits<int>::max());
}

}  // namespace

void CViewerMeterInfo::Attach(CWnd* owner, CProgressCtrl* progress)
{
    m_pOwner = owner;
    m_hProgress = progress ? progress->GetSafeHwnd() : nullptr;
    m_hOwner = owner ? owner->GetSafeHwnd() : nullptr;
}

void CViewerMeterInfo::AskStop()
{
    CThread* thread = m_pThread.load();
    if (!thread) return;
    // The job waits at its next progress call while the user decides.
    thread->SuspendThread();
    const int answer =
        ::IsWindow(m_hOwner) ? ::MessageBox(m_hOwner, kStopQuestion, m_caption, MB_YESNO) : IDYES;
    // The job may have ended while the question was open; its thread object is gone then.
    if (m_pThread.load() == thread) thread->ResumeThread();
    if (answer == IDYES) m_bStop = 1;
}

bool CViewerMeterInfo::StopForClose()
{
    if (!m_pThread.load()) return false;
    m_bCloseAfterJob = true;
    m_bStop = 1;
    return true;
}

void CViewerMeterInfo::StopCheck()
{
    CThread::PauseGate();
    if (m_bStop.load()) AfxThrowRDPExcept(RDP_ERROR_CANCEL);
}

void CViewerMeterInfo::ShowPos()
{
    // By handle: the bar's object goes with its viewer, which may close while the job runs.
    if (!m_hProgress || !::IsWindow(m_hProgress)) return;
    int position = 0;
    if (FitsInt(m_low) && FitsInt(m_high)) {
        position = static_cast<int>(std::clamp(m_pos, m_low, std::max(m_low, m_high)));
    } else {
        const double span = m_high - m_low;
        const double fraction = span > 0 ? std::clamp((m_pos - m_low) / span, 0.0, 1.0) : 0.0;
        position = static_cast<int>(fraction * kScaledTop);
    }
    ::SendMessage(m_hProgress, PBM_SETPOS, static_cast<WPARAM>(static_cast<unsigned>(position)), 0);
}

void CViewerMeterInfo::SetPos(double pos)
{
    StopCheck();
    m_pos = std::trunc(pos);
    ShowPos();
}

void CViewerMeterInfo::SetRange(double low, double high)
{
    // The bar takes the whole range, so that one beyond 16 bits still shows its true fraction.
    m_low = std::isfinite(low) ? std::trunc(low) : 0.0;
    m_high = std::isfinite(high) ? std::trunc(high) : 0.0;
    if (!m_hProgress || !::IsWindow(m_hProgress)) return;
    const bool fits = FitsInt(m_low) && FitsInt(m_high);
    const int low32 = fits ? static_cast<int>(m_low) : 0;
    const int high32 = fits ? static_cast<int>(m_high) : kScaledTop;
    ::SendMessage(m_hProgress, PBM_SETRANGE32, static_cast<WPARAM>(static_cast<unsigned>(low32)),
                  static_cast<LPARAM>(high32));
    ::SendMessage(m_hProgress, PBM_SETSTEP, 1, 0);
}

void CViewerMeterInfo::StepIt()
{
    StopCheck();
    m_pos += 1.0;
    ShowPos();
}

double CViewerMeterInfo::DeltaPos(double delta)
{
    StopCheck();
    const double previous = m_pos;
    if (std::isfinite(delta)) m_pos += std::trunc(delta);
    ShowPos();
    return previous;
}

void CViewerMeterInfo::JobFinished(int)
{
    OnMeterMessage(WM_VIEWERMETERDONE);
    if (m_nRefs.fetch_sub(1) == 1) delete this;  // the owner let go while the job ran
}

void CViewerMeterInfo::SetThread(CThread* thread)
{
    if (thread) m_nRefs.fetch_add(1);
    m_pThread = thread;
}

void CViewerMeterInfo::Release()
{
    // Handles are never reused, so the owner's closed windows need no clearing here.
    if (m_nRefs.fetch_sub(1) == 1) delete this;
}

void CViewerMeterInfo::OnMeterMessage(UINT message)
{
    if (message != WM_VIEWERMETERDONE) return;
    // The thread ends now: the meter must not keep it, whether or not the owner still exists.
    m_bStop = 0;
    m_pThread = nullptr;
    if (!::IsWindow(m_hOwner)) return;
    ::SendMessage(m_hOwner, WM_VIEWERMETERINFO, 2, 0);
    if (m_bCloseAfterJob.exchange(false)) ::PostMessage(m_hOwner, WM_CLOSEVIEWER, 0, 0);
}

void CViewerMeterInfo::SetCaption(const char* text)
{
    m_caption = text ? text : "";
}

void CViewerMeterInfo::ShowMeter(BOOL show)
{
    if (::IsWindow(m_hOwner)) ::SendMessage(m_hOwner, WM_VIEWERMETERINFO, show ? 1 : 2, 0);
}
