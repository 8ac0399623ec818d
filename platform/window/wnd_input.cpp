#include "platform/window/wnd.h"

#include <algorithm>
#include <map>
#include <memory>

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>

#include "platform/kernel/threads.h"
#include "platform/last_error.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/qt_types_internal.h"

namespace platform {

namespace {

HWND g_capture = nullptr;
HWND g_focus = nullptr;
HWND g_cursorWindow = nullptr;

}  // namespace

HWND CursorWindow()
{
    return g_cursorWindow;
}
void SetCursorWindow(HWND hwnd)
{
    g_cursorWindow = hwnd;
}

void ForgetInputWindow(HWND hwnd, QWidget* widget)
{
    if (g_capture == hwnd) {
        g_capture = nullptr;
        if (widget) widget->releaseMouse();
    }
    if (g_focus == hwnd) g_focus = nullptr;
    if (g_cursorWindow == hwnd) g_cursorWindow = nullptr;
}

}  // namespace platform

using namespace platform;

// --- timers, capture, focus -------------------------------------------------------------------------------
UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetTimer(nIDEvent, nElapse, lpfnTimer); });
    if (!m_data) return 0;
    KillTimer(nIDEvent);
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(std::max<UINT>(nElapse, 1)));
    const HWND hwnd = m_hWnd;
    QObject::connect(timer.get(), &QTimer::timeout, [hwnd, nIDEvent, lpfnTimer] {
        if (!IsWindow(hwnd)) return;
        if (lpfnTimer) {
            try {
                lpfnTimer(hwnd, WM_TIMER, nIDEvent, GetTickCount());
            } catch (const std::exception& error) {
                ReportHandlerFailure(error.what());
            }
            return;
        }
        POINT pt{};
        GetCursorPos(&pt);
        DispatchQueued(MSG{hwnd, WM_TIMER, nIDEvent, 0, GetTickCount(), pt});
    });
    timer->start();
    m_data->timers[nIDEvent] = {std::move(timer), lpfnTimer};
    return nIDEvent == 0 ? 1 : nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return KillTimer(nIDEvent); });
    if (!m_data) return FALSE;
    auto it = m_data->timers.find(nIDEvent);
    if (it == m_data->timers.end()) return FALSE;
    it->second.first->stop();
    it->second.first.release()->deleteLater();  // the handler of this very timer may be running
    m_data->timers.erase(it);
    return TRUE;
}

namespace {

// Timers of the user-interface thread that belong to no window (SetTimer with a null window).
std::map<UINT_PTR, std::unique_ptr<QTimer>>& ThreadTimers()
{
    static auto* timers = new std::map<UINT_PTR, std::unique_ptr<QTimer>>;
    return *timers;
}

}  // namespace

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    if (hWnd) {
        CWnd* wnd = LookupWindow(hWnd);
        if (!wnd) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        return wnd->SetTimer(nIDEvent, uElapse, lpTimerFunc);
    }
    if (!lpTimerFunc) return 0;
    if (!IsUiThread())
        return CallOnUiThread([&] { return ::SetTimer(nullptr, nIDEvent, uElapse, lpTimerFunc); });
    static UINT_PTR next = 0x7F00;  // well apart from the small ids windows use
    const UINT_PTR id = ++next;
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(std::max<UINT>(uElapse, 1)));
    QObject::connect(timer.get(), &QTimer::timeout, [id, lpTimerFunc] {
        try {
            lpTimerFunc(nullptr, WM_TIMER, id, GetTickCount());
        } catch (const std::exception& error) {
            ReportHandlerFailure(error.what());
        }
    });
    timer->start();
    ThreadTimers()[id] = std::move(timer);
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    if (hWnd) {
        CWnd* wnd = LookupWindow(hWnd);
        return wnd ? wnd->KillTimer(uIDEvent) : FALSE;
    }
    if (!IsUiThread()) return CallOnUiThread([&] { return ::KillTimer(nullptr, uIDEvent); });
    auto it = ThreadTimers().find(uIDEvent);
    if (it == ThreadTimers().end()) return FALSE;
    it->second->stop();
    it->second.release()->deleteLater();  // its own callback may be the caller
    ThreadTimers().erase(it);
    return TRUE;
}

CWnd* CWnd::SetCapture()
{
    const HWND previous = g_capture;
    g_capture = m_hWnd;
    // The capture itself is ours (window_widget.cpp redirects the mouse); Qt's grab only
    // helps where the platform offers one.
    if (QWidget* w = GetWidget(); w && w->isVisible() && QGuiApplication::platformName() != "offscreen")
        w->grabMouse();
    if (previous && previous != m_hWnd) {
        if (CWnd* old = LookupWindow(previous)) {
            if (old->GetWidget() && old->GetWidget() != GetWidget()) old->GetWidget()->releaseMouse();
            Dispatch(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(m_hWnd));
        }
    }
    return LookupWindow(previous);
}

CWnd* CWnd::GetCapture()
{
    return LookupWindow(g_capture);
}

CWnd* CWnd::SetFocus()
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetFocus(); });
    const HWND previous = g_focus;
    if (!m_data) return nullptr;
    if (m_data->widget) m_data->widget->setFocus(Qt::OtherFocusReason);
    if (previous != m_hWnd) {
        g_focus = m_hWnd;
        if (CWnd* old = LookupWindow(previous))
            Dispatch(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(m_hWnd), 0);
        if (LookupWindow(g_focus) == this) Dispatch(this, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return LookupWindow(previous);
}

CWnd* CWnd::GetFocus()
{
    return LookupWindow(g_focus);
}

CWnd* CWnd::GetActiveWindow()
{
    QWidget* active = QApplication::activeWindow();
    for (HWND h : TopLevelWindows()) {
        CWnd* wnd = LookupWindow(h);
        if (wnd && DataOf(wnd) && OuterOf(*DataOf(wnd)) == active) return wnd;
    }
    return nullptr;
}

CWnd* CWnd::SetActiveWindow()
{
    CWnd* previous = GetActiveWindow();
    if (!m_data || !m_data->widget) return previous;
    if (!(m_data->style & WS_CHILD)) ZOrderPlace(m_hWnd, HWND_TOP);
    OuterOf(*m_data)->activateWindow();
    return previous;
}

BOOL CWnd::SetForegroundWindow()
{
    if (!m_data || !m_data->widget) return FALSE;
    CWnd* top = GetTopLevelParent();
    if (WindowData* data = DataOf(top); data && data->widget) {
        ZOrderPlace(top->m_hWnd, HWND_TOP);
        OuterOf(*data)->activateWindow();
    }
    return TRUE;
}

void CWnd::BringWindowToTop()
{
    if (!m_data || !m_data->widget) return;
    if (m_data->style & WS_CHILD)
        m_data->widget->raise();
    else
        ZOrderPlace(m_hWnd, HWND_TOP);
}

BOOL ReleaseCapture()
{
    const HWND previous = g_capture;
    g_capture = nullptr;
    if (CWnd* old = LookupWindow(previous)) {
        if (old->GetWidget()) old->GetWidget()->releaseMouse();
        Dispatch(old, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

HWND GetCapture()
{
    return g_capture;
}

BOOL GetCursorPos(LPPOINT lpPoint)
{
    *lpPoint = platform::ToPoint(QCursor::pos());
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    QCursor::setPos(x, y);
    return TRUE;
}

short GetKeyState(int nVirtKey)
{
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    bool down = false;
    switch (nVirtKey) {
        case VK_SHIFT:
            down = modifiers & Qt::ShiftModifier;
            break;
        case VK_CONTROL:
            down = modifiers & Qt::ControlModifier;
            break;
        case VK_MENU:
            down = modifiers & Qt::AltModifier;
            break;
        case VK_LBUTTON:
            down = buttons & Qt::LeftButton;
            break;
        case VK_RBUTTON:
            down = buttons & Qt::RightButton;
            break;
        case VK_MBUTTON:
            down = buttons & Qt::MiddleButton;
            break;
        default:
            break;
    }
    return down ? static_cast<short>(0x8000) : 0;
}

short GetAsyncKeyState(int nVirtKey)
{
    return GetKeyState(nVirtKey);
}
