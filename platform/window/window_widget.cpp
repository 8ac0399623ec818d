#include "platform/window/window_widget_internal.h"

#include <cstdio>
#include <exception>
#include <map>
#include <mutex>

#include <QContextMenuEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QPainter>
#include <QWheelEvent>

#include "platform/qt_types_internal.h"
#include "platform/window/nonclient.h"
#include "platform/window/window_internal.h"

namespace platform {
namespace {

UINT KeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    UINT flags = 0;
    if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
    if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) flags |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) flags |= MK_CONTROL;
    return flags;
}

UINT MouseMessage(QEvent::Type type, Qt::MouseButton button)
{
    int column;
    switch (button) {
        case Qt::LeftButton:
            column = 0;
            break;
        case Qt::RightButton:
            column = 1;
            break;
        case Qt::MiddleButton:
            column = 2;
            break;
        default:
            return 0;
    }
    static const UINT table[3][3] = {{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK},
                                     {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK},
                                     {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}};
    const int row = type == QEvent::MouseButtonPress ? 0 : type == QEvent::MouseButtonRelease ? 1 : 2;
    return table[column][row];
}

UINT VirtualKey(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<UINT>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Pause:
            return VK_PAUSE;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Asterisk:
            return VK_MULTIPLY;
        case Qt::Key_Plus:
            return VK_ADD;
        case Qt::Key_Minus:
            return VK_SUBTRACT;
        case Qt::Key_Slash:
            return VK_DIVIDE;
        default:
            return 0;
    }
}

LPARAM PointParam(QPoint p)
{
    return MAKELPARAM(static_cast<WORD>(p.x()), static_cast<WORD>(p.y()));
}

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    POINT pt{};
    GetCursorPos(&pt);
    return MSG{hwnd, message, wParam, lParam, GetTickCount(), pt};
}

// A move of a window that a press on its caption started (a window whose WM_NCHITTEST
// answered HTCAPTION): it follows the pointer until the left button is let go.
struct CaptionDrag {
    HWND window = nullptr;
    QPoint press;
    QRect start;
};
CaptionDrag g_captionDrag;

// The top-level window a left press at `global` on hwnd moves: the window's WM_NCHITTEST
// says HTCAPTION there (a child answering HTTRANSPARENT lets its parent answer). Null when
// the press is an ordinary one.
HWND CaptionWindowAt(HWND hwnd, QPoint global)
{
    const LPARAM at = MAKELPARAM(static_cast<WORD>(global.x()), static_cast<WORD>(global.y()));
    for (HWND h = hwnd; h;) {
        CWnd* wnd = LookupWindow(h);
        if (!wnd) return nullptr;
        const auto hit = static_cast<UINT>(Dispatch(wnd, WM_NCHITTEST, 0, at));
        if (LookupWindow(h) != wnd) return nullptr;
        if (hit == HTCAPTION) {
            CWnd* top = wnd->GetTopLevelParent();
            return top ? top->m_hWnd : nullptr;
        }
        if (hit != HTTRANSPARENT) return nullptr;
        const WindowData* data = DataOf(wnd);
        h = data && (data->style & WS_CHILD) ? data->parent : nullptr;
    }
    return nullptr;
}

// Carries the caption drag on; true while one runs (the mouse is the drag's meanwhile).
bool ContinueCaptionDrag(QMouseEvent* event)
{
    if (!g_captionDrag.window) return false;
    const HWND window = g_captionDrag.window;
    if (!LookupWindow(window)) {  // gone meanwhile: the mouse is free again
        g_captionDrag = {};
        return false;
    }
    const QPoint global = event->globalPosition().toPoint();
    event->accept();
    if (event->type() == QEvent::MouseMove && !(event->buttons() & Qt::LeftButton)) {
        g_captionDrag = {};  // the release went elsewhere
        EndUserDrag(window);
    } else if (event->type() == QEvent::MouseMove) {
        UserDragTo(window, ToRect(g_captionDrag.start.translated(global - g_captionDrag.press)));
    } else if (event->type() == QEvent::MouseButtonRelease && event->button() == Qt::LeftButton) {
        g_captionDrag = {};
        EndUserDrag(window);
    }
    return true;
}

bool TranslateMouse(HWND hwnd, QWidget* widget, QMouseEvent* event, bool generic)
{
    if (ContinueCaptionDrag(event)) return true;
    HWND target = hwnd;
    QPoint pos = event->position().toPoint();
    // A captured mouse goes to the capturing window, in its client coordinates.
    if (HWND capture = ::GetCapture(); capture && capture != hwnd) {
        if (CWnd* captureWnd = LookupWindow(capture); captureWnd && captureWnd->GetWidget()) {
            pos = captureWnd->GetWidget()->mapFromGlobal(widget->mapToGlobal(pos));
            target = capture;
        }
    }
    const UINT message =
        event->type() == QEvent::MouseMove ? WM_MOUSEMOVE : MouseMessage(event->type(), event->button());
    if (message == 0) return generic;
    if (message == WM_LBUTTONDOWN && target == hwnd) {
        // A press where the window answers HTCAPTION moves its top-level window, as a title bar does.
        const QPoint global = widget->mapToGlobal(pos);
        if (const HWND top = CaptionWindowAt(target, global)) {
            event->accept();
            const WindowData* data = DataOf(LookupWindow(top));
            if (data && data->widget && BeginUserDrag(top, HTCAPTION, ToPoint(global)))
                g_captionDrag = CaptionDrag{top, global, OuterOf(*data)->geometry()};
            return true;
        }
        if (!LookupWindow(hwnd)) return true;
    }
    SetCursorWindow(target);
    if (event->type() != QEvent::MouseButtonRelease) {
        if (CWnd* wnd = LookupWindow(target))
            Dispatch(wnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                     MAKELPARAM(HTCLIENT, static_cast<WORD>(message)));
    }
    bool reachedDefault = false;
    const bool swallowed = DispatchQueued(
        MakeMsg(target, message, KeyFlags(event->buttons(), event->modifiers()), PointParam(pos)),
        &reachedDefault);
    event->accept();
    return generic || swallowed || !reachedDefault;
}

bool TranslateKey(HWND hwnd, QKeyEvent* event, bool generic)
{
    const UINT vk = VirtualKey(event->key());
    const bool alt = event->modifiers() & Qt::AltModifier;
    bool reachedDefault = true;
    bool swallowed = false;
    if (vk != 0) {
        const LPARAM flags = 1 | (event->isAutoRepeat() && event->type() == QEvent::KeyPress ? (1 << 30) : 0);
        UINT message = event->type() == QEvent::KeyPress ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN)
                                                         : (alt ? WM_SYSKEYUP : WM_KEYUP);
        swallowed = DispatchQueued(MakeMsg(hwnd, message, vk, flags), &reachedDefault);
    }
    // F1 asks for help and characters follow the key-down, as the message loop's
    // translation makes them, unless something already took the key.
    if (vk == VK_F1 && event->type() == QEvent::KeyPress && !swallowed) {
        if (CWnd* wnd = LookupWindow(hwnd)) {
            HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, wnd->GetDlgCtrlID(), hwnd, 0, {0, 0}};
            GetCursorPos(&info.MousePos);
            Dispatch(wnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
    if (event->type() == QEvent::KeyPress && !swallowed && !alt) {
        for (QChar ch : event->text()) {
            if (!IsWindow(hwnd)) break;
            bool charDefault = false;
            swallowed |= DispatchQueued(MakeMsg(hwnd, WM_CHAR, ch.unicode(), 1), &charDefault);
            reachedDefault = reachedDefault && charDefault;
        }
    }
    event->accept();
    return generic || swallowed || !reachedDefault;
}

bool TranslateUnguarded(HWND hwnd, QWidget* widget, QEvent* event, bool generic)
{
    CWnd* wnd = LookupWindow(hwnd);
    if (!wnd) return false;
    EventDepthScope depth;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return TranslateMouse(hwnd, widget, static_cast<QMouseEvent*>(event), generic);
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const int delta =
                wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
            bool reachedDefault = false;
            const bool swallowed = DispatchQueued(
                MakeMsg(hwnd, WM_MOUSEWHEEL,
                        MAKEWPARAM(static_cast<WORD>(KeyFlags(wheel->buttons(), wheel->modifiers())),
                                   static_cast<WORD>(delta)),
                        PointParam(wheel->globalPosition().toPoint())),
                &reachedDefault);
            wheel->accept();
            return generic || swallowed || !reachedDefault;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return TranslateKey(hwnd, static_cast<QKeyEvent*>(event), generic);
        case QEvent::ContextMenu: {
            auto* menu = static_cast<QContextMenuEvent*>(event);
            const QPoint at =
                menu->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : menu->globalPos();
            bool reachedDefault = false;
            Dispatch(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), PointParam(at), &reachedDefault);
            menu->accept();
            return generic || !reachedDefault;
        }
        case QEvent::Close:
            // The window decides: WM_CLOSE's default destroys it; Qt never closes it by itself.
            event->ignore();
            Dispatch(wnd, WM_CLOSE, 0, 0);
            return true;
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::WindowStateChange:
            NoteGeometry(wnd);
            return false;
        case QEvent::Leave:
            if (generic) Dispatch(wnd, WM_MOUSELEAVE, 0, 0);
            return false;
        case QEvent::FocusIn:
            Dispatch(wnd, WM_SETFOCUS, 0, 0);
            return false;
        case QEvent::FocusOut:
            Dispatch(wnd, WM_KILLFOCUS, 0, 0);
            return false;
        case QEvent::WindowActivate:
            // Qt hands activation on to the client part too; the window hears it once.
            if (!(wnd->GetStyle() & WS_CHILD) && widget->isWindow()) {
                NoteActivated(hwnd);
                if (LookupWindow(hwnd) == wnd) Dispatch(wnd, WM_ACTIVATE, WA_ACTIVE, 0);
            }
            return false;
        case QEvent::WindowDeactivate:
            if (!(wnd->GetStyle() & WS_CHILD) && widget->isWindow())
                Dispatch(wnd, WM_ACTIVATE, WA_INACTIVE, 0);
            return false;
        default:
            return false;
    }
}

// Surfaces by window, for DCs taken on any thread (the window's own state is the
// user-interface thread's).
struct SurfaceTable {
    std::mutex mutex;
    std::map<HWND, std::shared_ptr<SharedSurface>> surfaces;
};

SurfaceTable& Surfaces()
{
    static auto* table = new SurfaceTable;  // outlives every thread that may still ask
    return *table;
}

void PublishSurface(HWND hwnd, std::shared_ptr<SharedSurface> surface)
{
    if (!hwnd) return;
    SurfaceTable& t = Surfaces();
    std::lock_guard lock(t.mutex);
    if (surface)
        t.surfaces[hwnd] = std::move(surface);
    else
        t.surfaces.erase(hwnd);
}

}  // namespace

std::shared_ptr<SharedSurface> FindSharedSurface(HWND hwnd)
{
    SurfaceTable& t = Surfaces();
    std::lock_guard lock(t.mutex);
    auto it = t.surfaces.find(hwnd);
    return it == t.surfaces.end() ? nullptr : it->second;
}

bool TranslateEvent(HWND hwnd, QWidget* widget, QEvent* event, bool generic)
{
    // Nothing a handler throws may cross into Qt's event delivery.
    try {
        return TranslateUnguarded(hwnd, widget, event, generic);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvenix: a message handler failed: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "tarvenix: a message handler failed\n");
    }
    return true;
}

WindowWidget::WindowWidget(HWND hwnd, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), m_hwnd(hwnd)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    PublishSurface(m_hwnd, m_surface);
}

WindowWidget::~WindowWidget()
{
    PublishSurface(m_hwnd, nullptr);
}

void WindowWidget::Detach()
{
    PublishSurface(m_hwnd, nullptr);
    m_hwnd = nullptr;
}

bool WindowWidget::event(QEvent* event)
{
    if (m_hwnd) {
        if (TranslateEvent(m_hwnd, this, event, true)) return true;
    } else {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                return true;  // a destroyed window takes no input
            default:
                break;
        }
    }
    return QWidget::event(event);
}

void WindowWidget::paintEvent(QPaintEvent* event)
{
    if (m_hwnd) {
        if (CWnd* wnd = LookupWindow(m_hwnd)) PaintPending(wnd, true);
    }
    QPainter painter(this);
    const QSize client = ClientSize();
    if (ScrollBarShown(SB_VERT) && ScrollBarShown(SB_HORZ)) {  // the corner between the bars
        painter.fillRect(
            QRect(client.width(), client.height(), width() - client.width(), height() - client.height()),
            ToQColor(GetSysColor(COLOR_BTNFACE)));
    }
    painter.setClipRegion(event->region() & QRegion(QRect(QPoint(0, 0), client)));
    const std::lock_guard lock(m_surface->mutex);
    if (m_surface->image.isNull())
        painter.fillRect(rect(), Qt::white);
    else
        painter.drawImage(0, 0, m_surface->image);
}

void WindowWidget::resizeEvent(QResizeEvent* event)
{
    LayoutScrollBars();
    QWidget::resizeEvent(event);
}

QSize WindowWidget::ClientSize() const
{
    QSize size = this->size();
    if (ScrollBarShown(SB_VERT)) size.rwidth() -= m_bars[SB_VERT]->width();
    if (ScrollBarShown(SB_HORZ)) size.rheight() -= m_bars[SB_HORZ]->height();
    return size.expandedTo(QSize(0, 0));
}

QRect WindowWidget::ScrollBarRect(int bar) const
{
    return ScrollBarShown(bar) ? m_bars[bar]->geometry() : QRect();
}

bool WindowWidget::ScrollBarShown(int bar) const
{
    return m_bars[bar] && !m_bars[bar]->isHidden();
}

int WindowWidget::TrackPosition(int bar) const
{
    return m_bars[bar] ? m_bars[bar]->sliderPosition() : 0;
}

void WindowWidget::SetScrollBar(int bar, const SCROLLINFO& info, bool shown)
{
    if (!m_bars[bar]) {
        if (!shown) return;
        m_bars[bar] = new QScrollBar(bar == static_cast<int>(SB_HORZ) ? Qt::Horizontal : Qt::Vertical, this);
        m_bars[bar]->setFocusPolicy(Qt::NoFocus);
        m_bars[bar]->hide();
        connect(m_bars[bar], &QAbstractSlider::actionTriggered, this,
                [this, bar](int action) { OnScrollAction(bar, action); });
        connect(m_bars[bar], &QAbstractSlider::sliderReleased, this, [this, bar] { OnScrollReleased(bar); });
    }
    QScrollBar* scrollBar = m_bars[bar];
    const QSignalBlocker quiet(scrollBar);
    const int page = static_cast<int>(info.nPage);
    scrollBar->setRange(info.nMin, std::max(info.nMin, info.nMax - std::max(page - 1, 0)));
    scrollBar->setPageStep(std::max(page, 1));
    scrollBar->setSingleStep(1);
    scrollBar->setValue(info.nPos);
    m_barPos[bar] = info.nPos;
    if (shown != !scrollBar->isHidden()) {
        scrollBar->setVisible(shown);
        LayoutScrollBars();
    }
}

void WindowWidget::LayoutScrollBars()
{
    const int barWidth = GetSystemMetrics(SM_CXVSCROLL), barHeight = GetSystemMetrics(SM_CYHSCROLL);
    const bool vertical = ScrollBarShown(SB_VERT), horizontal = ScrollBarShown(SB_HORZ);
    if (vertical) {
        m_bars[SB_VERT]->setGeometry(width() - barWidth, 0, barWidth,
                                     height() - (horizontal ? barHeight : 0));
        m_bars[SB_VERT]->raise();
    }
    if (horizontal) {
        m_bars[SB_HORZ]->setGeometry(0, height() - barHeight, width() - (vertical ? barWidth : 0), barHeight);
        m_bars[SB_HORZ]->raise();
    }
}

// The bar does not move by itself: the window answers WM_HSCROLL / WM_VSCROLL and sets the
// position it wants, as on the system; only a dragged thumb follows the mouse meanwhile.
void WindowWidget::OnScrollAction(int bar, int action)
{
    UINT code;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            code = SB_LINEDOWN;
            break;
        case QAbstractSlider::SliderSingleStepSub:
            code = SB_LINEUP;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = SB_PAGEDOWN;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = SB_PAGEUP;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = SB_TOP;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = SB_BOTTOM;
            break;
        case QAbstractSlider::SliderMove:
            code = SB_THUMBTRACK;
            break;
        default:
            return;
    }
    const HWND hwnd = m_hwnd;
    EventDepthScope depth;  // the handler may destroy the window under this bar
    QPointer<QScrollBar> scrollBar = m_bars[bar];
    const int track = scrollBar->sliderPosition();
    if (code != SB_THUMBTRACK) scrollBar->setSliderPosition(m_barPos[bar]);
    if (!hwnd) return;
    const UINT message = bar == static_cast<int>(SB_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    // The position travels only with the thumb codes.
    const WORD pos = code == SB_THUMBTRACK ? static_cast<WORD>(track) : 0;
    DispatchQueued(MSG{hwnd, message, MAKEWPARAM(static_cast<WORD>(code), pos), 0, GetTickCount(), {0, 0}});
    if (code != SB_THUMBTRACK && scrollBar && LookupWindow(hwnd)) scrollBar->setSliderPosition(m_barPos[bar]);
}

void WindowWidget::OnScrollReleased(int bar)
{
    const HWND hwnd = m_hwnd;
    if (!hwnd) return;
    EventDepthScope depth;
    const UINT message = bar == static_cast<int>(SB_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    const int track = m_bars[bar]->sliderPosition();
    DispatchQueued(MSG{
        hwnd, message, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(track)), 0, GetTickCount(), {0, 0}});
    if (LookupWindow(hwnd))
        DispatchQueued(MSG{hwnd, message, MAKEWPARAM(SB_ENDSCROLL, 0), 0, GetTickCount(), {0, 0}});
    if (LookupWindow(hwnd) && m_bars[bar]) m_bars[bar]->setSliderPosition(m_barPos[bar]);
}

OuterWidget::OuterWidget(HWND hwnd, Qt::WindowFlags flags) : QWidget(nullptr, flags), m_hwnd(hwnd)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void OuterWidget::SetClient(QWidget* client)
{
    m_client = client;
    client->setParent(this, Qt::Widget);
    client->show();
    Layout();
}

void OuterWidget::SetMenuStrip(QWidget* strip)
{
    if (m_menu == strip) return;
    if (m_menu) {
        m_menu->removeEventFilter(this);
        m_menu->deleteLater();
    }
    m_menu = strip;
    if (strip) {
        strip->setParent(this);
        strip->installEventFilter(this);
    }
    Layout();
}

QRect OuterWidget::MenuStripGeometry() const
{
    if (!m_menu || m_menu->isHidden()) return QRect();
    return QRect(0, 0, width(), GetSystemMetrics(SM_CYMENU));
}

QRect OuterWidget::ClientGeometry() const
{
    const int top = MenuStripGeometry().height() + m_border;
    return QRect(m_border, top, std::max(width() - 2 * m_border, 0), std::max(height() - top - m_border, 0));
}

void OuterWidget::SetBorder(int width)
{
    m_border = std::max(width, 0);
    InvalidateFrame();
    Layout();
}

void OuterWidget::InvalidateFrame()
{
    if (m_border <= 0) return;
    m_frameDirty = true;
    update();
}

void OuterWidget::Layout()
{
    if (m_menu && !m_menu->isHidden()) m_menu->setGeometry(MenuStripGeometry());
    if (m_client && m_client->geometry() != ClientGeometry()) m_client->setGeometry(ClientGeometry());
}

bool OuterWidget::event(QEvent* event)
{
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            if (BorderMouse(static_cast<QMouseEvent*>(event))) return true;
            break;
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            break;
        case QEvent::Close:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            if (!m_hwnd) break;
            if (event->spontaneous() && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
                NoteWindowManagerDrag(m_hwnd, event->type() == QEvent::Resize);
            if (m_hwnd && TranslateEvent(m_hwnd, this, event, true)) return true;
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void OuterWidget::resizeEvent(QResizeEvent* event)
{
    Layout();
    InvalidateFrame();
    QWidget::resizeEvent(event);
}

void OuterWidget::paintEvent(QPaintEvent*)
{
    if (m_border <= 0) return;  // the client part and the strips cover everything
    if (m_frame.size() != size()) {
        m_frame = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        m_frame.fill(Qt::white);
        m_frameDirty = true;
    }
    if (m_frameDirty && m_hwnd) {
        m_frameDirty = false;
        if (CWnd* wnd = LookupWindow(m_hwnd)) {
            EventDepthScope depth;
            Dispatch(wnd, WM_NCPAINT, 1, 0);
        }
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_frame);
}

bool OuterWidget::BorderMouse(QMouseEvent* event)
{
    // A press on the sizing border starts the user's drag of that edge, as the window
    // manager's own border would for a decorated window.
    const HWND hwnd = m_hwnd;
    CWnd* wnd = hwnd ? LookupWindow(hwnd) : nullptr;
    if (!wnd || m_border <= 0) return false;
    const QPoint global = event->globalPosition().toPoint();
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            if (event->button() != Qt::LeftButton || m_dragHit) return false;
            const auto hit = static_cast<UINT>(
                Dispatch(wnd, WM_NCHITTEST, 0,
                         MAKELPARAM(static_cast<WORD>(global.x()), static_cast<WORD>(global.y()))));
            if (hit < HTLEFT || hit > HTBOTTOMRIGHT || LookupWindow(hwnd) != wnd) return false;
            m_dragStart = geometry();
            m_dragPress = global;
            if (!BeginUserDrag(hwnd, hit, POINT{global.x(), global.y()})) return true;
            m_dragHit = hit;
            return true;
        }
        case QEvent::MouseMove: {
            if (!m_dragHit) {
                const auto hit = static_cast<UINT>(
                    Dispatch(wnd, WM_NCHITTEST, 0,
                             MAKELPARAM(static_cast<WORD>(global.x()), static_cast<WORD>(global.y()))));
                if (LookupWindow(hwnd) != wnd) return true;
                static const Qt::CursorShape shapes[] = {
                    Qt::SizeHorCursor,   Qt::SizeHorCursor, Qt::SizeVerCursor,   Qt::SizeFDiagCursor,
                    Qt::SizeBDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor};
                if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT)
                    setCursor(shapes[hit - HTLEFT]);
                else
                    unsetCursor();
                return false;
            }
            const QPoint d = global - m_dragPress;
            const UINT hit = m_dragHit;
            RECT r = ToRect(m_dragStart);
            if (hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT) r.left += d.x();
            if (hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT) r.right += d.x();
            if (hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT) r.top += d.y();
            if (hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT) r.bottom += d.y();
            UserDragTo(hwnd, r);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (!m_dragHit || event->button() != Qt::LeftButton) return false;
            m_dragHit = 0;
            EndUserDrag(hwnd);
            return true;
        default:
            return false;
    }
}

bool OuterWidget::eventFilter(QObject* watched, QEvent* event)
{
    // The menu strip shown or hidden: the client part takes or gives back its room.
    if (watched == m_menu && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        Layout();
    return QWidget::eventFilter(watched, event);
}

bool ControlEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_hwnd || !watched->isWidgetType()) return false;
    return TranslateEvent(m_hwnd, static_cast<QWidget*>(watched), event, false);
}

}  // namespace platform
