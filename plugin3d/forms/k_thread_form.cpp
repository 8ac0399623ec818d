#include "plugin3d/forms/k_thread_form.h"

#include <algorithm>

#include "platform/forms/exceptions.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/stdctrls.h"
#include "platform/gdi/dc.h"
#include "platform/kernel/mul_div.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/button_ex.h"

IMPLEMENT_TCLASS(TKThreadForm, TForm)

std::vector<THandler> TKThreadForm::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(FormDestroy), FORM_HANDLER(FormClose),
            FORM_HANDLER(FormPaint), FORM_HANDLER(BreakBtnClick)};
}

void TKThreadForm::Loaded()
{
    NameText = FindControl<TStaticText>("NameText");
    TaskText = FindControl<TStaticText>("TaskText");
    Bevel1 = FindControl<TBevel>("Bevel1");
    BreakBtn = FindControl<TSpeedButtonEx>("BreakBtn");
}

void TKThreadForm::FormCreate(TObject*)
{
    m_handle = GetSafeHwnd();
    m_progressRect = Bevel1->BoundsRect();
    m_progressRect.DeflateRect(4, 3);
    m_thread = TKThread::New(nullptr);
    m_thread->Events().Add(TKEventHandler::Of<&TKThreadForm::ThreadEvent>(this));
}

void TKThreadForm::FormDestroy(TObject*)
{
    if (!m_thread) return;
    m_thread->Events().Remove(TKEventHandler::Of<&TKThreadForm::ThreadEvent>(this));
    // The worker still finishes its job after it posted the end: freeing the thread waits
    // for it, so nothing of the thread is freed under the worker.
    FreeAndNil(m_thread);
}

void TKThreadForm::FormClose(TObject*, TCloseAction& action)
{
    action = caFree;
}

void TKThreadForm::ThreadEvent(TObject*, int code, std::intptr_t param)
{
    if (code != ktevProgress && code != ktevStatus && code != ktevState) return;
    // Sent only while the job runs here, on the form's own thread; posted from a worker.
    if (platform::IsUiThread() && m_synchronous)
        ::SendMessage(m_handle, WM_USER, static_cast<WPARAM>(code), static_cast<LPARAM>(param));
    else
        ::PostMessage(m_handle, WM_USER, static_cast<WPARAM>(code), static_cast<LPARAM>(param));
}

std::string TKThreadForm::PercentText() const
{
    const int progress = m_thread ? std::clamp(m_thread->Progress(), 0, 1000000) : 0;
    return std::to_string(progress / 10000) + "%";
}

void TKThreadForm::WndProc(TMessage& message)
{
    switch (message.Msg) {
        case WM_USER:
            if (!m_thread) return;
            if (message.WParam == ktevProgress) {
                if (m_synchronous) {
                    Invalidate();
                    Update();
                } else {
                    InvalidateRect(&m_progressRect, FALSE);
                }
            } else if (message.WParam == ktevStatus) {
                TaskText->SetCaption(m_thread->StatusText());
            } else if (message.WParam == ktevState && m_thread->State() != ktsRunning && !m_closing) {
                if (m_synchronous) {
                    m_closePending = true;  // ExecuteSync is still under way on this thread
                } else {
                    Ended();
                }
            }
            return;
        case WM_NCHITTEST: {
            // The borderless form drags from anywhere but its Break button.
            CPoint at(static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam)));
            at = ScreenToClient(at);
            if (ClientRect().PtInRect(at) && !BreakBtn->BoundsRect().PtInRect(at)) {
                message.Result = HTCAPTION;
                return;
            }
            break;
        }
        default:
            break;
    }
    TForm::WndProc(message);
}

void TKThreadForm::FormPaint(TObject*)
{
    TCanvas* canvas = Canvas();
    CDC* dc = canvas->Dc();
    if (!dc) return;
    CRect frame = ClientRect();
    dc->Draw3dRect(&frame, ColorToRGB(clBtnHighlight), ColorToRGB(clBtnShadow));
    // The thread does not clamp its progress; the bar and the percentage are drawn clamped.
    const int progress = m_thread ? std::clamp(m_thread->Progress(), 0, 1000000) : 0;
    const CRect bar = m_progressRect;
    const int filled = MulDiv(bar.Width(), progress, 1000000);
    canvas->Brush()->SetColor(clGray);
    canvas->FillRect(CRect(bar.left, bar.top, bar.left + filled, bar.bottom));
    canvas->Brush()->SetColor(clSilver);
    canvas->FillRect(CRect(bar.left + filled, bar.top, bar.right, bar.bottom));
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsClear);
    CRect text = bar;
    canvas->DrawText(PercentText(), text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

void TKThreadForm::RunWrapped(TKThread* thread, TKThreadParams* params)
{
    // Runs on the job's thread: it touches nothing of the window, only the end it keeps.
    int state = ktsDone;
    std::string error;
    try {
        m_job(thread, params);
    } catch (const EAbort&) {
        state = ktsCancelled;
        std::lock_guard lock(m_endMutex);
        m_endState = state;
        throw;
    } catch (const Exception& e) {
        state = thread && thread->IsStopRequested() ? ktsCancelled : ktsFailed;
        error = e.Message();
        std::lock_guard lock(m_endMutex);
        m_endState = state;
        m_error = error;
        throw;
    } catch (const std::bad_alloc&) {
        std::lock_guard lock(m_endMutex);
        m_endState = ktsFailed;
        m_error = "Out of memory";
        throw;
    } catch (const std::exception& e) {
        std::lock_guard lock(m_endMutex);
        m_endState = thread && thread->IsStopRequested() ? ktsCancelled : ktsFailed;
        m_error = e.what();
        throw;
    } catch (...) {
        std::lock_guard lock(m_endMutex);
        m_endState = thread && thread->IsStopRequested() ? ktsCancelled : ktsFailed;
        throw;
    }
    std::lock_guard lock(m_endMutex);
    m_endState = state;
}

int TKThreadForm::EndState() const
{
    std::lock_guard lock(m_endMutex);
    return m_endState;
}

std::string TKThreadForm::ErrorText() const
{
    std::lock_guard lock(m_endMutex);
    return m_error;
}

void TKThreadForm::Ended()
{
    if (m_closing) return;
    m_closing = true;
    // The job's end is told after the form is out of sight (a message the listener shows
    // stands alone); the form itself goes after the current message.
    Hide();
    Close();
    TJobEnded ended = std::move(m_onEnded);
    m_onEnded = nullptr;
    if (!ended) return;
    int state = EndState();
    if (state == 0) state = m_thread ? m_thread->State() : ktsFailed;
    ended(state, ErrorText());
}

void TKThreadForm::BreakBtnClick(TObject*)
{
    if (m_thread) m_thread->Stop();
}

void TKThreadForm::ShowWithTitle(const std::string& title)
{
    NameText->SetCaption(title);
    TaskText->SetCaption(std::string());
    Show();
}

TKThreadForm* RunJobInForm(const std::string& title, TKThreadParams* params, TKEventHandler handler,
                           TKJob job, bool suspended)
{
    TKThreadForm* form = TKThreadForm::New(nullptr);
    if (handler) form->m_thread->Events().Add(handler);
    form->m_thread->SetStatusText(std::string());
    if (suspended) form->m_thread->Suspend();
    form->ShowWithTitle(title);
    form->m_job = job;
    form->m_thread->Execute(false, params, TKJob::Of<&TKThreadForm::RunWrapped>(form));
    return form;
}

TKThreadForm* RunJobSync(const std::string& title, TKThreadParams* params, TKEventHandler handler, TKJob job)
{
    TKThreadForm* form = TKThreadForm::New(nullptr);
    if (handler) form->m_thread->Events().Add(handler);
    form->m_thread->SetStatusText(std::string());
    form->ShowWithTitle(title);
    form->UpdateWindow();
    form->m_synchronous = true;
    form->m_job = job;
    form->m_thread->ExecuteSync(params, TKJob::Of<&TKThreadForm::RunWrapped>(form));
    form->m_synchronous = false;
    form->Ended();
    return form;
}
