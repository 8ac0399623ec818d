#include "platform/window/wnd.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <strings.h>

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "platform/app/win_app.h"
#include "platform/kernel/threads.h"
#include "platform/last_error.h"
#include "platform/window/cursor.h"
#include "platform/window/hooks.h"
#include "platform/window/modal.h"
#include "platform/window/system_menu.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget.h"

constexpr DWORD kErrorCannotFindWindowClass = 1407;
constexpr DWORD kErrorChildWithoutParent = 1406;

namespace platform {

WindowData* DataOf(const CWnd* wnd)
{
    return wnd ? wnd->m_data.get() : nullptr;
}

// --- handle registry -------------------------------------------------------------------------
namespace {

struct Registry {
    std::mutex mutex;
    std::map<HWND, CWnd*> windows;  // handles grow with creation, so this is creation order
    std::uintptr_t next = 0x10000;
};

Registry& Windows()
{
    static Registry* registry = new Registry;  // outlives every thread that may still ask
    return *registry;
}

}  // namespace

HWND RegisterHandle(CWnd* wnd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    HWND hwnd = reinterpret_cast<HWND>(r.next);
    r.next += 0x10;  // handles are never reused
    r.windows[hwnd] = wnd;
    return hwnd;
}

void UnregisterHandle(HWND hwnd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    r.windows.erase(hwnd);
}

void RebindHandle(HWND hwnd, CWnd* wnd)
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    r.windows[hwnd] = wnd;
}

CWnd* LookupWindow(HWND hwnd)
{
    if (!hwnd) return nullptr;
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(hwnd);
    return it == r.windows.end() ? nullptr : it->second;
}

std::vector<HWND> AllWindows()
{
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    std::vector<HWND> all;
    all.reserve(r.windows.size());
    for (const auto& entry : r.windows) all.push_back(entry.first);
    return all;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> result;
    for (HWND h : AllWindows()) {
        const WindowData* data = DataOf(LookupWindow(h));
        if (data && !(data->style & WS_CHILD)) result.push_back(h);
    }
    return result;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> result;
    for (HWND h : AllWindows()) {
        const WindowData* data = DataOf(LookupWindow(h));
        if (data && (data->style & WS_CHILD) && data->parent == parent) result.push_back(h);
    }
    return result;
}

// --- dispatching ---------------------------------------------------------------------------------
namespace {

struct Current {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool defaultReached;
    Current* previous;
};
Current* g_current = nullptr;
int g_eventDepth = 0;
HWND g_capture = nullptr;
HWND g_focus = nullptr;
HWND g_cursorWindow = nullptr;

void ReportHandlerFailure(const char* what)
{
    std::fprintf(stderr, "tarvenix: a message handler failed: %s\n", what);
}

}  // namespace

LRESULT Dispatch(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, bool* defaultReached)
{
    Current current{wnd->m_hWnd, message, wParam, lParam, false, g_current};
    g_current = &current;
    struct Restore {
        Current& c;
        ~Restore() { g_current = c.previous; }
    } restore{current};
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);  // may delete wnd
    if (defaultReached) *defaultReached = current.defaultReached;
    return result;
}

bool DispatchQueued(const MSG& msg, bool* defaultReached)
{
    if (!LookupWindow(msg.hwnd)) return true;
    MSG copy = msg;
    try {
        if (FilterQueuedMouseMessage(copy)) return true;
        CWinThread* app = AfxGetApp();
        const BOOL swallowed =
            app ? app->PreTranslateMessage(&copy) : CWnd::WalkPreTranslateTree(nullptr, &copy);
        if (swallowed) return true;
        CWnd* wnd = LookupWindow(copy.hwnd);
        if (!wnd) return true;
        Dispatch(wnd, copy.message, copy.wParam, copy.lParam, defaultReached);
    } catch (const std::exception& error) {
        ReportHandlerFailure(error.what());
    } catch (...) {
        ReportHandlerFailure("unknown exception");
    }
    return false;
}

void NoteDefaultReached(HWND hwnd, UINT message)
{
    if (g_current && g_current->hwnd == hwnd && g_current->message == message)
        g_current->defaultReached = true;
}

bool CurrentMessage(MSG& msg)
{
    if (!g_current) return false;
    msg = MSG{g_current->hwnd, g_current->message, g_current->wParam, g_current->lParam, 0, {0, 0}};
    return true;
}

int EventDepth()
{
    return g_eventDepth;
}
EventDepthScope::EventDepthScope()
{
    ++g_eventDepth;
}
EventDepthScope::~EventDepthScope()
{
    --g_eventDepth;
}

HWND CursorWindow()
{
    return g_cursorWindow;
}
void SetCursorWindow(HWND hwnd)
{
    g_cursorWindow = hwnd;
}

// --- window classes ----------------------------------------------------------------------------
namespace {

std::optional<COLORREF> BrushColour(HBRUSH brush);

struct ClassRegistry {
    std::mutex mutex;
    std::deque<WindowClass> classes;  // deque: names handed out stay where they are
};

ClassRegistry& Classes()
{
    static ClassRegistry* registry = [] {
        auto* r = new ClassRegistry;
        HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
        r->classes.push_back({"AfxWnd", CS_DBLCLKS, arrow, std::nullopt});
        r->classes.push_back(
            {"AfxFrameOrView", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, arrow, GetSysColor(COLOR_WINDOW)});
        r->classes.push_back({"AfxControlBar", 0, arrow, GetSysColor(COLOR_BTNFACE)});
        return r;
    }();
    return *registry;
}

}  // namespace

const WindowClass* FindWindowClass(const char* name)
{
    ClassRegistry& r = Classes();
    std::lock_guard lock(r.mutex);
    for (const WindowClass& c : r.classes)
        if (::strcasecmp(c.name, name) == 0) return &c;
    return nullptr;
}

namespace {

PaintDcHooks g_paintHooks;
std::optional<COLORREF> (*g_brushResolver)(HBRUSH) = nullptr;

std::optional<COLORREF> BrushColour(HBRUSH brush)
{
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value == 0) return std::nullopt;
    if (value <= 31) return GetSysColor(static_cast<int>(value - 1));  // (HBRUSH)(COLOR_xxx + 1)
    if (g_brushResolver) return g_brushResolver(brush);
    return std::nullopt;
}

QColor ToQColor(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace

void SetBrushColourResolver(std::optional<COLORREF> (*resolver)(HBRUSH))
{
    g_brushResolver = resolver;
}

// --- geometry and painting ---------------------------------------------------------------------
QSize ClientSize(const WindowData& data)
{
    if (data.generic) return data.generic->ClientSize();
    return data.widget ? data.widget->size() : QSize();
}

namespace {

void ResetSurface(WindowData& data, QSize size)
{
    if (!data.generic) return;
    const std::lock_guard lock(data.generic->SurfaceMutex());  // workers may be drawing on it
    QImage& surface = data.generic->Surface();
    if (surface.size() == size) return;
    surface = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    surface.fill(ToQColor(data.windowClass.background.value_or(GetSysColor(COLOR_WINDOW))));
}

}  // namespace

void NoteGeometry(CWnd* wnd)
{
    WindowData* data = DataOf(wnd);
    if (!data || !data->widget || data->destroying) return;
    QWidget* widget = data->widget;
    const HWND hwnd = wnd->m_hWnd;
    const QSize client = ClientSize(*data);
    const CSize size(client.width(), client.height());
    const UINT type = widget->isMinimized()   ? SIZE_MINIMIZED
                      : widget->isMaximized() ? SIZE_MAXIMIZED
                                              : SIZE_RESTORED;
    const CPoint pos(widget->geometry().x(), widget->geometry().y());
    const bool sized = size != data->lastSize || type != data->lastSizeType;
    const bool moved = pos != data->lastPos;
    data->lastSize = size;
    data->lastSizeType = type;
    data->lastPos = pos;
    if (sized) {
        ResetSurface(*data, client);
        data->invalid = QRegion(QRect(QPoint(0, 0), client));
        data->erasePending = true;
        widget->update();
        Dispatch(wnd, WM_SIZE, type, MAKELPARAM(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
    }
    if (moved && LookupWindow(hwnd) == wnd)
        Dispatch(wnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(pos.x), static_cast<WORD>(pos.y)));
}

void PaintPending(CWnd* wnd, bool fromPaintEvent)
{
    WindowData* data = DataOf(wnd);
    if (!data || !data->generic || data->invalid.isEmpty()) return;
    QPointer<WindowWidget> widget = data->generic;
    if (!fromPaintEvent && !widget->isVisible()) return;
    EventDepthScope depth;  // a window destroyed while it paints keeps its widget until later
    const QSize client = ClientSize(*data);
    ResetSurface(*data, client);
    const QRegion region = data->invalid & QRegion(QRect(QPoint(0, 0), client));
    const bool erase = data->erasePending;
    data->invalid = QRegion();
    data->erasePending = false;
    if (region.isEmpty()) return;

    QPainter painter(&widget->Surface());
    painter.setClipRegion(region);
    const QRect bounds = region.boundingRect();
    PaintTarget target{&painter, &widget->Surface(), &region,
                       CRect(bounds.left(), bounds.top(), bounds.right() + 1, bounds.bottom() + 1), erase};
    PaintTarget* previous = data->paintTarget;
    data->paintTarget = &target;
    const HWND hwnd = wnd->m_hWnd;
    try {
        if (erase) {
            HDC dc = g_paintHooks.open ? g_paintHooks.open(hwnd, &painter) : nullptr;
            const LRESULT erased = Dispatch(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            if (dc && g_paintHooks.close) g_paintHooks.close(dc);
            target.erase = erased == 0;
        }
        if (LookupWindow(hwnd) == wnd) Dispatch(wnd, WM_PAINT, 0, 0);
    } catch (const std::exception& error) {
        ReportHandlerFailure(error.what());
    }
    if (LookupWindow(hwnd) == wnd) DataOf(wnd)->paintTarget = previous;
    painter.end();
    if (!fromPaintEvent && widget) widget->update(bounds);
}

PaintTarget* CurrentPaintTarget(HWND hwnd)
{
    WindowData* data = DataOf(LookupWindow(hwnd));
    return data ? data->paintTarget : nullptr;
}

QImage* WindowSurface(HWND hwnd)
{
    WindowData* data = DataOf(LookupWindow(hwnd));
    if (!data || !data->generic) return nullptr;
    ResetSurface(*data, ClientSize(*data));
    return &data->generic->Surface();
}

void FlushWindowSurface(HWND hwnd, const RECT& rect)
{
    WindowData* data = DataOf(LookupWindow(hwnd));
    if (data && data->widget)
        data->widget->update(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top));
}

void SetPaintDcHooks(const PaintDcHooks& hooks)
{
    g_paintHooks = hooks;
}

CDC* DcFromHandle(HDC dc)
{
    return dc && g_paintHooks.fromHandle ? g_paintHooks.fromHandle(dc) : nullptr;
}

void AbortModalLoop(WindowData& data)
{
    data.modalEnded = true;
    if (data.modalLoop) data.modalLoop->exit();
    data.modalLoop = nullptr;
}

}  // namespace platform

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
namespace {

QRect ScreenRect()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// Asks a top-level window for its smallest and largest size (WM_GETMINMAXINFO), keeps
// width and height inside them, and lets the widget hold the user's resizing to them too.
// False when the window went away meanwhile.
bool ApplyTrackSizes(CWnd* wnd, int& width, int& height)
{
    const HWND hwnd = wnd->m_hWnd;
    const QRect screen = ScreenRect();
    MINMAXINFO info{{0, 0}, {screen.width(), screen.height()}, {0, 0}, {1, 1}, {32767, 32767}};
    Dispatch(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if (LookupWindow(hwnd) != wnd) return false;
    const int minX = std::max<int>(info.ptMinTrackSize.x, 0), minY = std::max<int>(info.ptMinTrackSize.y, 0);
    const int maxX = std::max<int>(info.ptMaxTrackSize.x, minX),
              maxY = std::max<int>(info.ptMaxTrackSize.y, minY);
    width = std::clamp(width, minX, maxX);
    height = std::clamp(height, minY, maxY);
    if (QWidget* widget = wnd->GetWidget()) {
        widget->setMinimumSize(minX, minY);
        widget->setMaximumSize(std::min(maxX, QWIDGETSIZE_MAX), std::min(maxY, QWIDGETSIZE_MAX));
    }
    return true;
}

}  // namespace

BOOL CWnd::PreCreateWindow(CREATESTRUCT&)
{
    return TRUE;
}

QWidget* CWnd::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    Qt::WindowFlags flags = Qt::Widget;
    if (!(cs.style & WS_CHILD)) {
        flags = (cs.dwExStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
        if ((cs.style & WS_POPUP) && (cs.style & WS_CAPTION) != WS_CAPTION) flags |= Qt::FramelessWindowHint;
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
    widget->setEnabled(!(style & WS_DISABLED));
    if (!(style & WS_CHILD)) widget->setWindowTitle(QString::fromUtf8(m_data->text.c_str()));

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
    widget->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
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
    if (g_capture == hwnd) {
        g_capture = nullptr;
        if (data->widget) data->widget->releaseMouse();
    }
    if (g_focus == hwnd) g_focus = nullptr;
    if (g_cursorWindow == hwnd) g_cursorWindow = nullptr;
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

    QWidget* widget = data->widget;
    if (data->generic) data->generic->Detach();
    if (data->eventFilter) {
        static_cast<ControlEventFilter*>(data->eventFilter.get())->Detach();
        if (widget) widget->removeEventFilter(data->eventFilter.get());
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
    NoteWindowDestroyed(wnd);
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

// --- messages ----------------------------------------------------------------------------------------------
LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep)
{
    for (HWND child : ChildWindows(m_hWnd)) {
        CWnd* wnd = LookupWindow(child);
        if (!wnd) continue;
        Dispatch(wnd, message, wParam, lParam);
        if (bDeep && LookupWindow(child) == wnd) wnd->SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
}

LRESULT CWnd::Default()
{
    MSG msg;
    if (!CurrentMessage(msg)) return 0;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return FALSE;
        *pResult = 1;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        if (!lParam) return FALSE;
        LRESULT result = 0;
        if (!OnNotify(wParam, lParam, &result)) return FALSE;
        *pResult = result;
        return TRUE;
    }
    const MessageMapEntry* entry = FindMessageEntry(message);
    if (!entry) return FALSE;
    DispatchArgs args{message, wParam, lParam, 0, nullptr, 0};
    entry->thunk(this, args);
    *pResult = args.result;
    return TRUE;
}

namespace {

// Answers only "is it enabled", as a click on a menu item needs to know.
class EnabledProbe : public CCmdUI {
public:
    bool enabled = true;
    void Enable(BOOL on) override
    {
        enabled = on != FALSE;
        m_bEnableChanged = TRUE;
    }
    void SetCheck(int) override {}
    void SetText(LPCTSTR) override {}
};

}  // namespace

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    int code = HIWORD(wParam);
    if (lParam == 0) {
        // A menu command or accelerator: a command its update handler disabled does not run.
        EnabledProbe probe;
        probe.m_nID = id;
        OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &probe, nullptr);
        if (!probe.enabled) return TRUE;
        code = CN_COMMAND;
    }
    return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    NotifyArgs notify{header, pResult};
    return OnCmdMsg(static_cast<UINT>(header->idFrom),
                    static_cast<int>(MAKELONG(static_cast<WORD>(header->code), WM_NOTIFY)), &notify, nullptr);
}

BOOL CWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    // Top-level windows (frames, dialogs) let the application have commands nobody took.
    CWinApp* app = AfxGetApp();
    const bool isCommand = nCode == CN_COMMAND || nCode == CN_UPDATE_COMMAND_UI;
    if (app && isCommand && m_hWnd && !(GetStyle() & WS_CHILD))
        return app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hwnd = pMsg->hwnd; hwnd;) {
        CWnd* wnd = LookupWindow(hwnd);
        if (!wnd) break;
        if (wnd->PreTranslateMessage(pMsg)) return TRUE;
        if (hwnd == hWndStop || !LookupWindow(hwnd)) break;
        const WindowData* data = DataOf(wnd);
        hwnd = data && (data->style & WS_CHILD) ? data->parent : nullptr;
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    NoteDefaultReached(m_hWnd, message);
    WindowData* data = m_data.get();
    if (!data) return 0;
    const bool child = data->style & WS_CHILD;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow();
            return 0;
        case WM_SETTEXT:
            data->text = lParam ? reinterpret_cast<LPCTSTR>(lParam) : "";
            ApplyWindowText(data->text);
            return TRUE;
        case WM_GETTEXT: {
            if (wParam == 0 || !lParam) return 0;
            const CString text = ReadWindowText();
            const auto count = std::min<std::size_t>(static_cast<std::size_t>(text.GetLength()), wParam - 1);
            std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), count);
            reinterpret_cast<char*>(lParam)[count] = '\0';
            return static_cast<LRESULT>(count);
        }
        case WM_GETTEXTLENGTH:
            return ReadWindowText().GetLength();
        case WM_ERASEBKGND: {
            PaintTarget* target = data->paintTarget;
            if (!target || !data->windowClass.background) return 0;
            std::unique_lock<std::recursive_mutex> lock;  // workers may be drawing on the surface
            if (data->generic) lock = std::unique_lock(data->generic->SurfaceMutex());
            target->painter->fillRect(target->surface->rect(), ToQColor(*data->windowClass.background));
            return 1;
        }
        case WM_SETCURSOR: {
            if (child) {
                CWnd* parent = LookupWindow(data->parent);
                if (parent && Dispatch(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
            }
            if (LOWORD(lParam) == HTCLIENT && m_data && m_data->windowClass.cursor)
                ::SetCursor(m_data->windowClass.cursor);
            return FALSE;
        }
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MINIMIZE:
                    ShowWindow(SW_MINIMIZE);
                    break;
                case SC_MAXIMIZE:
                    ShowWindow(SW_MAXIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(SW_RESTORE);
                    break;
                case SC_CLOSE:
                    SendMessage(WM_CLOSE);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(DragIconOf(this));
        case WM_SETICON:
            return reinterpret_cast<LRESULT>(SetIcon(reinterpret_cast<HICON>(lParam), wParam == ICON_BIG));
        case WM_GETICON:
            return reinterpret_cast<LRESULT>(GetIcon(wParam == ICON_BIG));
        case WM_SYSKEYDOWN:
            if (wParam == VK_SPACE) ShowSystemMenu(GetTopLevelParent());
            return 0;
        case WM_MOUSEWHEEL:
        case WM_CONTEXTMENU:
        case WM_HELP:
            // Not handled here: the parent may want it.
            if (child) {
                if (CWnd* parent = LookupWindow(data->parent))
                    return Dispatch(parent, message, wParam, lParam);
            }
            return 0;
        default:
            return 0;
    }
}

// --- relations ---------------------------------------------------------------------------------------
CWnd* CWnd::GetParent() const
{
    if (!m_data) return nullptr;
    return LookupWindow((m_data->style & WS_CHILD) ? m_data->parent : m_data->owner);
}

CWnd* CWnd::SetParent(CWnd* pWndNewParent)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetParent(pWndNewParent); });
    if (!m_data || !m_data->widget) return nullptr;
    CWnd* previous = GetParent();
    if (m_data->style & WS_CHILD) {
        if (!pWndNewParent || !pWndNewParent->GetWidget()) return nullptr;
        const bool visible = !m_data->widget->isHidden();
        const QRect geometry = m_data->widget->geometry();
        m_data->widget->setParent(pWndNewParent->GetWidget());
        m_data->widget->setGeometry(geometry);
        if (visible) m_data->widget->show();
        m_data->parent = pWndNewParent->m_hWnd;
    } else {
        m_data->owner = pWndNewParent ? pWndNewParent->GetTopLevelParent()->m_hWnd : nullptr;
    }
    return previous;
}

CWnd* CWnd::GetOwner() const
{
    if (!m_data) return nullptr;
    if (m_data->owner) return LookupWindow(m_data->owner);
    return GetParent();
}

void CWnd::SetOwner(CWnd* pOwnerWnd)
{
    if (m_data) m_data->owner = pOwnerWnd ? pOwnerWnd->m_hWnd : nullptr;
}

CWnd* CWnd::GetTopLevelParent() const
{
    const CWnd* wnd = this;
    while (wnd->m_data && (wnd->m_data->style & WS_CHILD)) {
        CWnd* parent = LookupWindow(wnd->m_data->parent);
        if (!parent) break;
        wnd = parent;
    }
    return const_cast<CWnd*>(wnd);
}

CWnd* CWnd::GetWindow(UINT nCmd) const
{
    if (!m_data) return nullptr;
    if (nCmd == GW_OWNER) return LookupWindow(m_data->owner);
    if (nCmd == GW_CHILD) {
        const auto children = ChildWindows(m_hWnd);
        return children.empty() ? nullptr : LookupWindow(children.front());
    }
    const auto siblings = (m_data->style & WS_CHILD) ? ChildWindows(m_data->parent) : TopLevelWindows();
    const auto it = std::find(siblings.begin(), siblings.end(), m_hWnd);
    switch (nCmd) {
        case GW_HWNDFIRST:
            return siblings.empty() ? nullptr : LookupWindow(siblings.front());
        case GW_HWNDLAST:
            return siblings.empty() ? nullptr : LookupWindow(siblings.back());
        case GW_HWNDNEXT:
            return it == siblings.end() || it + 1 == siblings.end() ? nullptr : LookupWindow(*(it + 1));
        case GW_HWNDPREV:
            return it == siblings.begin() || it == siblings.end() ? nullptr : LookupWindow(*(it - 1));
        default:
            return nullptr;
    }
}

int CWnd::GetDlgCtrlID() const
{
    return m_data ? m_data->id : 0;
}

int CWnd::SetDlgCtrlID(int nID)
{
    if (!m_data) return 0;
    const int previous = m_data->id;
    m_data->id = nID;
    return previous;
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    for (HWND child : ChildWindows(m_hWnd)) {
        CWnd* wnd = LookupWindow(child);
        if (wnd && wnd->GetDlgCtrlID() == nID) return wnd;
    }
    return nullptr;
}

BOOL CWnd::IsChild(const CWnd* pWnd) const
{
    for (const CWnd* wnd = pWnd; wnd && wnd->m_data && (wnd->m_data->style & WS_CHILD);) {
        if (wnd->m_data->parent == m_hWnd) return TRUE;
        wnd = LookupWindow(wnd->m_data->parent);
    }
    return FALSE;
}

namespace {

// The screen as a window: only its rectangle is of use.
class DesktopWnd : public CWnd {
public:
    DesktopWnd() { m_hWnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)); }
};

}  // namespace

CWnd* CWnd::GetDesktopWindow()
{
    static DesktopWnd* desktop = new DesktopWnd;
    return desktop;
}

// --- state
// ---------------------------------------------------------------------------------------------------
DWORD CWnd::GetStyle() const
{
    if (!m_data) return 0;
    DWORD style = m_data->style;
    if (QWidget* w = m_data->widget) {
        if (!w->isHidden()) style |= WS_VISIBLE;
        if (w->isMinimized()) style |= WS_MINIMIZE;
        if (w->isMaximized()) style |= WS_MAXIMIZE;
    }
    return style;
}

DWORD CWnd::GetExStyle() const
{
    return m_data ? m_data->exStyle : 0;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return ModifyStyle(dwRemove, dwAdd, nFlags); });
    if (!m_data) return FALSE;
    const DWORD before = GetStyle();
    const DWORD after = (before & ~dwRemove) | dwAdd;
    if (before == after) return FALSE;
    m_data->style = after & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    if ((before ^ after) & WS_DISABLED) m_data->widget->setEnabled(!(after & WS_DISABLED));
    if ((before ^ after) & WS_VISIBLE) ShowWindow((after & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    if (nFlags)
        SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    if (!m_data) return FALSE;
    const DWORD before = m_data->exStyle;
    const DWORD after = (before & ~dwRemove) | dwAdd;
    if (before == after) return FALSE;
    m_data->exStyle = after;
    if (nFlags)
        SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return ShowWindow(nCmdShow); });
    if (!m_data || !m_data->widget) return FALSE;
    QWidget* widget = m_data->widget;
    const HWND hwnd = m_hWnd;
    const bool wasVisible = !widget->isHidden();
    const bool topLevel = !(m_data->style & WS_CHILD);
    if (nCmdShow == SW_HIDE) {
        if (wasVisible) {
            Dispatch(this, WM_SHOWWINDOW, FALSE, 0);
            if (LookupWindow(hwnd) == this) widget->hide();
        }
        return wasVisible;
    }
    if (!wasVisible) {
        Dispatch(this, WM_SHOWWINDOW, TRUE, 0);
        if (LookupWindow(hwnd) != this) return FALSE;
    }
    widget->setAttribute(Qt::WA_ShowWithoutActivating, nCmdShow == SW_SHOWNA ||
                                                           nCmdShow == SW_SHOWNOACTIVATE ||
                                                           nCmdShow == SW_SHOWMINNOACTIVE);
    switch (topLevel ? nCmdShow : SW_SHOW) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            widget->showMinimized();
            break;
        case SW_SHOWMAXIMIZED:
            widget->showMaximized();
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT:
            widget->showNormal();
            break;
        default:
            widget->show();
            break;
    }
    if (LookupWindow(hwnd) == this) NoteGeometry(this);
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const
{
    return m_data && m_data->widget && m_data->widget->isVisible();
}

BOOL CWnd::IsWindowEnabled() const
{
    return m_data && !(m_data->style & WS_DISABLED);
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return EnableWindow(bEnable); });
    if (!m_data || !m_data->widget) return FALSE;
    const BOOL wasDisabled = (m_data->style & WS_DISABLED) != 0;
    if (bEnable)
        m_data->style &= ~WS_DISABLED;
    else
        m_data->style |= WS_DISABLED;
    m_data->widget->setEnabled(bEnable != FALSE);
    if (wasDisabled == (bEnable != FALSE)) Dispatch(this, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL CWnd::IsIconic() const
{
    return m_data && m_data->widget && m_data->widget->isMinimized();
}
BOOL CWnd::IsZoomed() const
{
    return m_data && m_data->widget && m_data->widget->isMaximized();
}

void CWnd::SetWindowText(LPCTSTR lpszString)
{
    SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpszString));
}

int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const
{
    if (nMaxCount <= 0) return 0;
    return static_cast<int>(::SendMessage(m_hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                          reinterpret_cast<LPARAM>(lpszStringBuf)));
}

void CWnd::GetWindowText(CString& rString) const
{
    const int length = GetWindowTextLength();
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowText(buffer.data(), length + 1);
    buffer.resize(static_cast<std::size_t>(std::max(copied, 0)));
    rString = CString(std::move(buffer));
}

int CWnd::GetWindowTextLength() const
{
    return static_cast<int>(::SendMessage(m_hWnd, WM_GETTEXTLENGTH, 0, 0));
}

CString CWnd::GetClassName() const
{
    return m_data ? m_data->windowClass.name : CString();
}

void CWnd::ApplyWindowText(const CString& text)
{
    if (m_data && m_data->widget && !(m_data->style & WS_CHILD))
        m_data->widget->setWindowTitle(QString::fromUtf8(text.c_str()));
}

CString CWnd::ReadWindowText() const
{
    return m_data ? m_data->text : CString();
}

// --- geometry --------------------------------------------------------------------------------------------
void CWnd::GetWindowRect(LPRECT lpRect) const
{
    if (!IsUiThread()) return RunOnUiThread([&] { GetWindowRect(lpRect); });
    if (this == GetDesktopWindow()) {
        const QRect s = ScreenRect();
        *lpRect = RECT{s.left(), s.top(), s.left() + s.width(), s.top() + s.height()};
        return;
    }
    if (!m_data || !m_data->widget) {
        *lpRect = RECT{0, 0, 0, 0};
        return;
    }
    QWidget* w = m_data->widget;
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    *lpRect = RECT{origin.x(), origin.y(), origin.x() + w->width(), origin.y() + w->height()};
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    if (!IsUiThread()) return RunOnUiThread([&] { GetClientRect(lpRect); });
    if (this == GetDesktopWindow()) {
        const QRect s = ScreenRect();
        *lpRect = RECT{0, 0, s.width(), s.height()};
        return;
    }
    const QSize client = m_data ? ClientSize(*m_data) : QSize(0, 0);
    *lpRect = RECT{0, 0, client.width(), client.height()};
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    SetWindowPos(nullptr, x, y, nWidth, nHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
               bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    if (!IsUiThread())
        return CallOnUiThread([&] { return SetWindowPos(pWndInsertAfter, x, y, cx, cy, nFlags); });
    if (!m_data || !m_data->widget) return FALSE;
    QWidget* widget = m_data->widget;
    const HWND hwnd = m_hWnd;
    QRect geometry = widget->geometry();
    if (!(nFlags & SWP_NOMOVE)) geometry.moveTo(x, y);
    if (!(nFlags & SWP_NOSIZE)) {
        if (!(m_data->style & WS_CHILD)) {
            if (!ApplyTrackSizes(this, cx, cy)) return FALSE;
        }
        geometry.setSize(QSize(std::max(cx, 0), std::max(cy, 0)));
    }
    if (geometry != widget->geometry()) widget->setGeometry(geometry);
    NoteGeometry(this);
    if (LookupWindow(hwnd) != this) return FALSE;
    if (!(nFlags & SWP_NOZORDER)) {
        const HWND after = pWndInsertAfter ? pWndInsertAfter->m_hWnd : HWND_TOP;
        if (after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
            const bool topmost = after == HWND_TOPMOST;
            if (topmost)
                m_data->exStyle |= WS_EX_TOPMOST;
            else
                m_data->exStyle &= ~WS_EX_TOPMOST;
            const bool visible = !widget->isHidden();
            widget->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);  // hides the window
            if (visible) widget->show();
        } else if (after == HWND_TOP) {
            widget->raise();
        } else if (after == HWND_BOTTOM) {
            widget->lower();
        } else if (CWnd* other = LookupWindow(after); other && other->GetWidget()) {
            widget->stackUnder(other->GetWidget());
        }
    }
    if (nFlags & SWP_SHOWWINDOW) ShowWindow((nFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (nFlags & SWP_HIDEWINDOW) ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const
{
    if (QWidget* w = GetWidget()) {
        const QPoint p = w->mapFromGlobal(QPoint(lpPoint->x, lpPoint->y));
        *lpPoint = POINT{p.x(), p.y()};
    }
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ScreenToClient(reinterpret_cast<LPPOINT>(&lpRect->left));
    ScreenToClient(reinterpret_cast<LPPOINT>(&lpRect->right));
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const
{
    if (QWidget* w = GetWidget()) {
        const QPoint p = w->mapToGlobal(QPoint(lpPoint->x, lpPoint->y));
        *lpPoint = POINT{p.x(), p.y()};
    }
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ClientToScreen(reinterpret_cast<LPPOINT>(&lpRect->left));
    ClientToScreen(reinterpret_cast<LPPOINT>(&lpRect->right));
}

void CWnd::MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const
{
    for (UINT i = 0; i < nCount; ++i) {
        ClientToScreen(&lpPoint[i]);
        if (pwndTo) pwndTo->ScreenToClient(&lpPoint[i]);
    }
}

void CWnd::MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const
{
    MapWindowPoints(pwndTo, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    if (!m_data) return;
    CRect own;
    GetWindowRect(own);
    CRect area;
    CWnd* around = pAlternateOwner ? pAlternateOwner : GetOwner();
    if (m_data->style & WS_CHILD) {
        GetParent()->GetClientRect(area);
    } else if (around && around->IsWindowVisible() && !around->IsIconic()) {
        around->GetWindowRect(area);
    } else {
        GetDesktopWindow()->GetWindowRect(area);
    }
    SetWindowPos(nullptr, area.left + (area.Width() - own.Width()) / 2,
                 area.top + (area.Height() - own.Height()) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- painting
// ------------------------------------------------------------------------------------------------
void CWnd::Invalidate(BOOL bErase)
{
    InvalidateRect(nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase)
{
    if (!IsUiThread()) return RunOnUiThread([&] { InvalidateRect(lpRect, bErase); });
    if (!m_data || !m_data->widget) return;
    QWidget* w = m_data->widget;
    const QRect client(QPoint(0, 0), ClientSize(*m_data));
    const QRect area =
        lpRect ? QRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top)
               : client;
    m_data->invalid += area & client;
    if (bErase) m_data->erasePending = true;
    w->update(area);
}

void CWnd::ValidateRect(LPCRECT lpRect)
{
    if (!IsUiThread()) return RunOnUiThread([&] { ValidateRect(lpRect); });
    if (!m_data) return;
    if (!lpRect)
        m_data->invalid = QRegion();
    else
        m_data->invalid -=
            QRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top);
}

void CWnd::UpdateWindow()
{
    if (!IsUiThread()) return RunOnUiThread([&] { UpdateWindow(); });
    PaintPending(this, false);
}

BOOL CWnd::RedrawWindow(LPCRECT lpRectUpdate, CRgn* prgnUpdate, UINT flags)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return RedrawWindow(lpRectUpdate, prgnUpdate, flags); });
    if (!m_data) return FALSE;
    const LPCRECT area = prgnUpdate ? nullptr : lpRectUpdate;
    if (flags & RDW_INVALIDATE) InvalidateRect(area, (flags & RDW_ERASE) ? TRUE : FALSE);
    if (flags & RDW_VALIDATE) ValidateRect(area);
    if (flags & RDW_ALLCHILDREN) {
        for (HWND child : ChildWindows(m_hWnd))
            if (CWnd* wnd = LookupWindow(child)) wnd->RedrawWindow(nullptr, nullptr, flags);
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow();
    return TRUE;
}

BOOL CWnd::GetUpdateRect(LPRECT lpRect, BOOL)
{
    if (!m_data || m_data->invalid.isEmpty()) {
        if (lpRect) *lpRect = RECT{0, 0, 0, 0};
        return FALSE;
    }
    const QRect r = m_data->invalid.boundingRect();
    if (lpRect) *lpRect = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    return TRUE;
}

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
        if (wnd && wnd->GetWidget() == active) return wnd;
    }
    return nullptr;
}

CWnd* CWnd::SetActiveWindow()
{
    CWnd* previous = GetActiveWindow();
    if (QWidget* w = GetWidget()) w->activateWindow();
    return previous;
}

BOOL CWnd::SetForegroundWindow()
{
    QWidget* w = GetWidget();
    if (!w) return FALSE;
    w->raise();
    w->activateWindow();
    return TRUE;
}

void CWnd::BringWindowToTop()
{
    if (QWidget* w = GetWidget()) w->raise();
}

// --- scroll values
// ------------------------------------------------------------------------------------------
BOOL CWnd::SetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, BOOL)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return SetScrollInfo(nBar, lpScrollInfo); });
    if (!m_data || (nBar != static_cast<int>(SB_HORZ) && nBar != static_cast<int>(SB_VERT)) || !lpScrollInfo)
        return FALSE;
    SCROLLINFO& s = m_data->scroll[nBar];
    if (lpScrollInfo->fMask & SIF_RANGE) {
        s.nMin = lpScrollInfo->nMin;
        s.nMax = lpScrollInfo->nMax;
    }
    if (lpScrollInfo->fMask & SIF_PAGE) s.nPage = lpScrollInfo->nPage;
    if (lpScrollInfo->fMask & SIF_POS) s.nPos = lpScrollInfo->nPos;
    const int highest = std::max(s.nMin, s.nMax - std::max(static_cast<int>(s.nPage) - 1, 0));
    s.nPos = std::clamp(s.nPos, s.nMin, highest);
    // As on the system: a bar shows while its range is larger than its page.
    const bool shown = s.nMax > s.nMin && (s.nPage == 0 || s.nPage <= static_cast<UINT>(s.nMax - s.nMin));
    SyncScrollBar(nBar, shown);
    return s.nPos;
}

void CWnd::SyncScrollBar(int nBar, bool shown)
{
    const DWORD bit = nBar == static_cast<int>(SB_HORZ) ? WS_HSCROLL : WS_VSCROLL;
    if (shown)
        m_data->style |= bit;
    else
        m_data->style &= ~bit;
    if (!m_data->generic) return;
    const bool wasShown = m_data->generic->ScrollBarShown(nBar);
    m_data->generic->SetScrollBar(nBar, m_data->scroll[nBar], shown);
    if (wasShown != shown) NoteGeometry(this);  // the client area changes with the bar
}

void CWnd::ShowScrollBar(UINT nBar, BOOL bShow)
{
    if (!IsUiThread()) return RunOnUiThread([&] { ShowScrollBar(nBar, bShow); });
    if (!m_data) return;
    if (nBar == SB_HORZ || nBar == SB_BOTH) SyncScrollBar(SB_HORZ, bShow != FALSE);
    if (m_data && (nBar == SB_VERT || nBar == SB_BOTH)) SyncScrollBar(SB_VERT, bShow != FALSE);
}

BOOL CWnd::GetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, UINT nMask) const
{
    if (!m_data || (nBar != static_cast<int>(SB_HORZ) && nBar != static_cast<int>(SB_VERT)) || !lpScrollInfo)
        return FALSE;
    const SCROLLINFO& s = m_data->scroll[nBar];
    lpScrollInfo->fMask = nMask;
    if (nMask & SIF_RANGE) {
        lpScrollInfo->nMin = s.nMin;
        lpScrollInfo->nMax = s.nMax;
    }
    if (nMask & SIF_PAGE) lpScrollInfo->nPage = s.nPage;
    if (nMask & SIF_POS) lpScrollInfo->nPos = s.nPos;
    if (nMask & SIF_TRACKPOS)
        lpScrollInfo->nTrackPos = m_data->generic ? m_data->generic->TrackPosition(nBar) : s.nPos;
    return TRUE;
}

int CWnd::SetScrollPos(int nBar, int nPos, BOOL bRedraw)
{
    const int previous = GetScrollPos(nBar);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, nPos, 0};
    SetScrollInfo(nBar, &info, bRedraw);
    return previous;
}

int CWnd::GetScrollPos(int nBar) const
{
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(nBar, &info, SIF_POS) ? info.nPos : 0;
}

void CWnd::SetScrollRange(int nBar, int nMinPos, int nMaxPos, BOOL bRedraw)
{
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, nMinPos, nMaxPos, 0, 0, 0};
    SetScrollInfo(nBar, &info, bRedraw);
}

void CWnd::GetScrollRange(int nBar, int* lpMinPos, int* lpMaxPos) const
{
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, 0, 0, 0, 0, 0};
    GetScrollInfo(nBar, &info, SIF_RANGE);
    if (lpMinPos) *lpMinPos = info.nMin;
    if (lpMaxPos) *lpMaxPos = info.nMax;
}

// --- modal use ---------------------------------------------------------------------------------------------
int CWnd::RunModalLoop(DWORD dwFlags)
{
    if (!IsUiThread()) return CallOnUiThread([&] { return RunModalLoop(dwFlags); });
    if (!m_data) return -1;
    if (m_data->modalEnded) {  // ended before the loop started (e.g. while initialising)
        m_data->modalEnded = false;
        return m_nModalResult;
    }
    if (ModalResponder* responder = GetModalResponder()) {
        DialogQuestion question{this, CString(), GetClassName()};
        GetWindowText(question.caption);
        const HWND hwnd = m_hWnd;
        responder->RunModal(*this, question);
        if (LookupWindow(hwnd) != this) return m_nModalResult;
        if (!m_data->modalEnded) m_nModalResult = -1;  // the responder left it open
        m_data->modalEnded = false;
        return m_nModalResult;
    }
    const HWND hwnd = m_hWnd;
    CWnd* owner = GetOwner() ? GetOwner()->GetTopLevelParent() : nullptr;
    const HWND ownerHandle = owner && owner != this && owner->IsWindowEnabled() ? owner->m_hWnd : nullptr;
    if (ownerHandle) owner->EnableWindow(FALSE);
    if (!IsWindowVisible()) ShowWindow(SW_SHOWNORMAL);
    QEventLoop loop;
    if (LookupWindow(hwnd) == this && !m_data->modalEnded) {
        m_data->modalLoop = &loop;
        loop.exec(QEventLoop::DialogExec);
    }
    if (LookupWindow(hwnd) == this) {
        m_data->modalLoop = nullptr;
        m_data->modalEnded = false;
    }
    if (CWnd* ownerAgain = LookupWindow(ownerHandle)) ownerAgain->EnableWindow(TRUE);
    return m_nModalResult;
}

void CWnd::EndModalLoop(int nResult)
{
    if (!IsUiThread()) return RunOnUiThread([&] { EndModalLoop(nResult); });
    m_nModalResult = nResult;
    if (!m_data) return;
    m_data->modalEnded = true;
    if (m_data->modalLoop) m_data->modalLoop->exit();
}

BOOL CWnd::ContinueModal()
{
    return m_data && !m_data->modalEnded;
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType)
{
    CWinApp* app = AfxGetApp();
    const char* caption = lpszCaption ? lpszCaption : (app && app->m_pszAppName ? app->m_pszAppName : "");
    return ::MessageBox(m_hWnd, lpszText, caption, nType);
}

// --- free functions ----------------------------------------------------------------------------------------
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == HWND_BROADCAST) {
        platform::RunOnUiThread([&] {
            for (HWND h : TopLevelWindows())
                if (CWnd* wnd = LookupWindow(h)) Dispatch(wnd, message, wParam, lParam);
        });
        return TRUE;
    }
    if (!IsUiThread()) {
        if (!IsWindow(hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LRESULT result = 0;
        bool delivered = false;
        platform::RunOnUiThread([&] {
            if (CWnd* wnd = LookupWindow(hWnd)) {
                delivered = true;
                result = Dispatch(wnd, message, wParam, lParam);
            }
        });
        if (!delivered) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return result;
    }
    CWnd* wnd = LookupWindow(hWnd);
    if (!wnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return Dispatch(wnd, message, wParam, lParam);
}

BOOL PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT pt{};
    if (IsUiThread()) GetCursorPos(&pt);
    const MSG msg{hWnd, message, wParam, lParam, GetTickCount(), pt};
    if (hWnd == HWND_BROADCAST) {
        platform::PostToUiThread([msg] {
            for (HWND h : TopLevelWindows()) {
                MSG one = msg;
                one.hwnd = h;
                DispatchQueued(one);
            }
        });
        return TRUE;
    }
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Checked again on arrival: a window destroyed meanwhile drops the message.
    platform::PostToUiThread([msg] { DispatchQueued(msg); });
    return TRUE;
}

BOOL IsWindow(HWND hWnd)
{
    return LookupWindow(hWnd) != nullptr;
}

UINT RegisterWindowMessage(LPCTSTR lpString)
{
    if (!lpString || !*lpString) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    static std::mutex mutex;
    static auto* ids = new std::map<std::string, UINT>;
    static UINT next = kFirstRegisteredMessage;
    std::string key(lpString);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));  // names ignore case
    std::lock_guard lock(mutex);
    if (auto it = ids->find(key); it != ids->end()) return it->second;
    if (next > kLastRegisteredMessage) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return (*ids)[key] = next++;
}

HWND FindWindow(LPCTSTR lpClassName, LPCTSTR lpWindowName)
{
    if (!IsUiThread()) return platform::CallOnUiThread([&] { return FindWindow(lpClassName, lpWindowName); });
    for (HWND h : TopLevelWindows()) {
        const WindowData* data = DataOf(LookupWindow(h));
        if (!data || data->destroying) continue;
        if (lpClassName && ::strcasecmp(data->windowClass.name, lpClassName) != 0) continue;
        if (lpWindowName && data->text != lpWindowName) continue;
        return h;
    }
    return nullptr;
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
    const QPoint p = QCursor::pos();
    *lpPoint = POINT{p.x(), p.y()};
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

int GetSystemMetrics(int nIndex)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect full = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QRect available = screen ? screen->availableGeometry() : full;
    switch (nIndex) {
        case SM_CXSCREEN:
            return full.width();
        case SM_CYSCREEN:
            return full.height();
        case SM_CXFULLSCREEN:
            return available.width();
        case SM_CYFULLSCREEN:
            return available.height();
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        case SM_CYCAPTION:
            return 23;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CYMENU:
            return 20;
        default:
            return 0;
    }
}

DWORD GetSysColor(int nIndex)
{
    // Fixed colours of the classic scheme, so that drawings come out the same everywhere.
    switch (nIndex) {
        case COLOR_SCROLLBAR:
            return RGB(200, 200, 200);
        case COLOR_BACKGROUND:
            return RGB(0, 0, 0);
        case 2:
            return RGB(153, 180, 209);  // active caption
        case 4:
            return RGB(240, 240, 240);  // menu
        case COLOR_WINDOW:
            return RGB(255, 255, 255);
        case 6:
            return RGB(100, 100, 100);  // window frame
        case 7:
            return RGB(0, 0, 0);  // menu text
        case COLOR_WINDOWTEXT:
            return RGB(0, 0, 0);
        case 9:
            return RGB(0, 0, 0);  // caption text
        case 12:
            return RGB(171, 171, 171);  // application workspace
        case COLOR_HIGHLIGHT:
            return RGB(0, 120, 215);
        case COLOR_HIGHLIGHTTEXT:
            return RGB(255, 255, 255);
        case COLOR_BTNFACE:
            return RGB(240, 240, 240);
        case COLOR_BTNSHADOW:
            return RGB(160, 160, 160);
        case COLOR_GRAYTEXT:
            return RGB(109, 109, 109);
        case COLOR_BTNTEXT:
            return RGB(0, 0, 0);
        case COLOR_BTNHIGHLIGHT:
            return RGB(255, 255, 255);
        case 21:
            return RGB(105, 105, 105);  // dark shadow
        case 22:
            return RGB(227, 227, 227);  // light
        case 23:
            return RGB(0, 0, 0);  // tool-tip text
        case 24:
            return RGB(255, 255, 225);  // tool-tip background
        default:
            return RGB(255, 255, 255);
    }
}

DWORD GetMessageTime()
{
    return GetTickCount();
}

int GetWindowTextA(HWND hWnd, LPTSTR lpString, int nMaxCount)
{
    if (nMaxCount <= 0) return 0;
    return static_cast<int>(
        SendMessage(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

BOOL SetWindowTextA(HWND hWnd, LPCTSTR lpString)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessage(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0;
}

LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    char name[96];
    std::snprintf(name, sizeof name, "Afx:%x:%p:%p:%p", nClassStyle, static_cast<void*>(hCursor),
                  static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
    ClassRegistry& r = Classes();
    std::lock_guard lock(r.mutex);
    for (const WindowClass& c : r.classes)
        if (c.name == name) return c.name.c_str();
    r.classes.push_back({name, nClassStyle, hCursor, BrushColour(hbrBackground)});
    return r.classes.back().name.c_str();
}

BOOL AfxRegisterClass(LPCTSTR lpszClassName, UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground)
{
    if (!lpszClassName || !*lpszClassName || FindWindowClass(lpszClassName)) return FALSE;
    ClassRegistry& r = Classes();
    std::lock_guard lock(r.mutex);
    r.classes.push_back({lpszClassName, nClassStyle, hCursor, BrushColour(hbrBackground)});
    return TRUE;
}
