#include "platform/window/wnd.h"

#include <algorithm>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "platform/last_error.h"
#include "platform/window/app_hooks.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"

constexpr DWORD kErrorCannotFindWindowClass = 1407;
constexpr DWORD kErrorChildWithoutParent = 1406;

using namespace platform;

// --- CCmdTarget-level glue of CWnd ---------------------------------------------------------------
const platform::MessageMap* CWnd::GetThisMessageMap()
{
    static const platform::MessageMapEntry entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
    static const platform::MessageMap map = {&CCmdTarget::GetThisMessageMap, entries};
    return &map;
}
const platform::MessageMap* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    if (m_hWnd) DestroyWindowNow(this);
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (hWnd && hWnd == GetDesktopWindow()->m_hWnd) return GetDesktopWindow();
    return LookupWindow(hWnd);
}

QWidget* CWnd::GetWidget() const
{
    return m_data ? m_data->widget.data() : nullptr;
}

// --- creation ----------------------------------------------------------------------------------------

BOOL CWnd::PreCreateWindow(CREATESTRUCT&)
{
    return TRUE;
}

QWidget* CWnd::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    Qt::WindowFlags flags = Qt::Widget;
    if (!(cs.style & WS_CHILD)) {
        flags = (cs.dwExStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
        if (!HasWindowManagerFrame(static_cast<DWORD>(cs.style))) flags |= Qt::FramelessWindowHint;
        if (cs.dwExStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    }
    return new WindowWidget(m_hWnd, parentWidget, flags);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x,
                    int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam)
{
    if (!IsUiThread()) {
        // Windows belong to the user-interface thread; a worker's request is carried there.
        return CallOnUiThread([&] {
            return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                            hWndParent, nIDorHMenu, lpParam);
        });
    }
    if (m_hWnd) return FALSE;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        SetLastError(ERROR_INVALID_FUNCTION);  // no windows before the application exists
        return FALSE;
    }
    CREATESTRUCT cs{lpParam,
                    nullptr,
                    nIDorHMenu,
                    hWndParent,
                    nHeight,
                    nWidth,
                    y,
                    x,
                    static_cast<LONG>(dwStyle),
                    lpszWindowName,
                    lpszClassName,
                    dwExStyle};
    if (!PreCreateWindow(cs)) return FALSE;
    const WindowClass* windowClass = FindWindowClass(cs.lpszClass ? cs.lpszClass : "AfxWnd");
    if (!windowClass) {
        SetLastError(kErrorCannotFindWindowClass);
        return FALSE;
    }
    const DWORD style = static_cast<DWORD>(cs.style);
    CWnd* parent = cs.hwndParent ? LookupWindow(cs.hwndParent) : nullptr;
    if (cs.hwndParent && !parent) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if ((style & WS_CHILD) && !parent) {
        SetLastError(kErrorChildWithoutParent);
        return FALSE;
    }

    auto data = std::make_unique<WindowData>();
    data->text = cs.lpszName ? cs.lpszName : "";
    data->windowClass = *windowClass;
    data->style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    data->exStyle = cs.dwExStyle;
    if (style & WS_CHILD) {
        data->parent = parent->m_hWnd;
        data->id = static_cast<int>(reinterpret_cast<std::intptr_t>(cs.hMenu));
    } else if (parent) {
        data->owner = parent->GetTopLevelParent()->m_hWnd;  // owners are always top-level
    }
    m_data = std::move(data);
    m_hWnd = RegisterHandle(this);

    QWidget* widget = CreateWidget(cs, (style & WS_CHILD) ? parent->GetWidget() : nullptr);
    m_data->widget = widget;
    m_data->generic = dynamic_cast<WindowWidget*>(widget);
    if (!m_data->generic) {
        m_data->eventFilter = std::make_unique<ControlEventFilter>(m_hWnd);
        widget->installEventFilter(m_data->eventFilter.get());
    }
    if (!(style & WS_CHILD) && m_data->generic) {
        // The client part goes inside an outer part that holds the non-client strips.
        auto* outer = new OuterWidget(m_hWnd, widget->windowFlags());
        outer->SetClient(widget);
        if (HasPopupFrame(style)) outer->SetBorder(GetSystemMetrics(SM_CXPOPUPFRAME));
        m_data->outer = outer;
    }
    QWidget* frame = OuterOf(*m_data);
    frame->setEnabled(!(style & WS_DISABLED));
    // A child made without WS_VISIBLE stays hidden when its parent is shown later (a Qt
    // child that was never hidden would appear with its parent).
    if ((style & WS_CHILD) && !(style & WS_VISIBLE)) frame->hide();
    if (!(style & WS_CHILD)) {
        frame->setWindowTitle(QString::fromUtf8(m_data->text.c_str()));
        ZOrderAdd(m_hWnd);
    }

    int left = cs.x, top = cs.y, width = cs.cx, height = cs.cy;
    if (!(style & WS_CHILD)) {
        static int cascade = 0;
        const QRect screen = QGuiApplication::primaryScreen()
                                 ? QGuiApplication::primaryScreen()->availableGeometry()
                                 : QRect(0, 0, 1024, 768);
        if (left == CW_USEDEFAULT) {
            left = screen.left() + 24 * (cascade % 8);
            top = screen.top() + 24 * (cascade % 8);
            ++cascade;
        }
        if (width == CW_USEDEFAULT) {
            width = screen.width() * 3 / 4;
            height = screen.height() * 3 / 4;
        }
        if (!ApplyTrackSizes(this, width, height)) return FALSE;
    } else {
        if (left == CW_USEDEFAULT) left = top = 0;
        if (width == CW_USEDEFAULT) width = height = 0;
    }
    frame->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
    if (m_data->outer) m_data->outer->Layout();  // a hidden widget hears of its new size only when shown
    if (m_data->generic) {
        for (int bar : {static_cast<int>(SB_HORZ), static_cast<int>(SB_VERT)})
            if (style & (bar == static_cast<int>(SB_HORZ) ? WS_HSCROLL : WS_VSCROLL))
                m_data->generic->SetScrollBar(bar, m_data->scroll[bar], true);
    }
    m_data->invalid = QRegion(QRect(QPoint(0, 0), ClientSize(*m_data)));
    m_data->erasePending = true;

    const HWND hwnd = m_hWnd;
    if (Dispatch(this, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        if (LookupWindow(hwnd) == this) DestroyWindowNow(this);
        return FALSE;
    }
    if (LookupWindow(hwnd) != this) return FALSE;
    NoteGeometry(this);
    if (LookupWindow(hwnd) != this) return FALSE;
    if (style & WS_VISIBLE)
        ShowWindow((style & WS_MAXIMIZE)   ? SW_SHOWMAXIMIZED
                   : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED
                                           : SW_SHOW);
    return LookupWindow(hwnd) == this;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(nID)), lpParam);
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, void* pContext)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID, pContext);
}

// --- destruction ---------------------------------------------------------------------------------------
BOOL DestroyWindowNow(CWnd* wnd)
{
    WindowData* data = DataOf(wnd);
    if (!wnd->m_hWnd || !data || data->destroying) return FALSE;
    data->destroying = true;
    const HWND hwnd = wnd->m_hWnd;
    const ActiveNote active = (data->style & WS_CHILD) ? ActiveNote{} : NoteActiveWindow();
    if (!(data->style & WS_CHILD)) ActivateNextBeforeHiding(hwnd);
    ForgetInputWindow(hwnd, data->widget);
    AbortModalLoop(*data);

    Dispatch(wnd, WM_DESTROY, 0, 0);
    // Children and owned windows go before the window itself, newest first.
    std::vector<HWND> all = AllWindows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        CWnd* other = LookupWindow(*it);
        const WindowData* otherData = DataOf(other);
        if (other && otherData && (otherData->parent == hwnd || otherData->owner == hwnd))
            DestroyWindowNow(other);
    }
    for (auto& [id, timer] : data->timers) {
        timer.first->stop();
        timer.first.release()->deleteLater();  // it may be the timer whose handler runs now
    }
    data->timers.clear();
    Dispatch(wnd, WM_NCDESTROY, 0, 0);

    QWidget* widget = OuterOf(*data);
    if (data->generic) data->generic->Detach();
    if (data->outer) data->outer->Detach();
    if (!(data->style & WS_CHILD)) ZOrderRemove(hwnd);
    if (data->dragEnd) {
        data->dragEnd->stop();
        data->dragEnd.release()->deleteLater();  // its timeout may be what runs now
    }
    if (data->eventFilter) {
        static_cast<ControlEventFilter*>(data->eventFilter.get())->Detach();
        if (data->widget) data->widget->removeEventFilter(data->eventFilter.get());
    }
    UnregisterHandle(hwnd);
    wnd->m_hWnd = nullptr;
    std::unique_ptr<WindowData> gone = std::move(wnd->m_data);
    if (widget) {
        widget->hide();
        // Inside a Qt event the widget may still be on the stack; delete it once that is over.
        if (EventDepth() > 0)
            widget->deleteLater();
        else
            delete widget;
    }
    gone.reset();
    ActivateNextIfGone(active);
    if (GetAppHooks().windowDestroyed) GetAppHooks().windowDestroyed(wnd);
    wnd->PostNcDestroy();  // may delete wnd
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (!IsUiThread()) return CallOnUiThread([this] { return DestroyWindow(); });
    return DestroyWindowNow(this);
}

void CWnd::OnNcDestroy()
{
    Default();
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    CWnd* previous = LookupWindow(hWnd);
    if (!previous || previous == this || m_hWnd) return FALSE;
    m_data = std::move(previous->m_data);
    previous->m_hWnd = nullptr;
    m_hWnd = hWnd;
    RebindHandle(hWnd, this);
    PreSubclassWindow();
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    // The window cannot live without an object here, so it stays with this one.
    return nullptr;
}
