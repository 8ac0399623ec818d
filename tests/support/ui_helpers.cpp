#include "tests/support/ui_helpers.h"

#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <filesystem>
#include <thread>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "platform/gdi/window_dc.h"
#include "platform/window/cmd_target.h"
#include "platform/window/nonclient.h"

namespace tarvenix::test {

void PumpEvents()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool ClickCommand(CWnd& target, UINT id, bool autoDisable)
{
    if (!platform::QueryCommandState(&target, id, autoDisable).enabled) return false;
    target.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
    return true;
}

namespace {
QAction* FindMenuAction(QMenu* menu, UINT id)
{
    emit menu->aboutToShow();  // the frame runs the update pass and builds the items now
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            if (QAction* inner = FindMenuAction(action->menu(), id)) return inner;
        } else if (!action->isSeparator() && action->data().toUInt() == id) {
            return action;
        }
    }
    return nullptr;
}
}  // namespace

bool ClickMenuItem(CWnd& frame, UINT id)
{
    // The menu bar is a strip of the frame's outer part, beside the client part.
    QWidget* widget = frame.GetWidget() ? frame.GetWidget()->window() : nullptr;
    QMenuBar* bar = widget ? widget->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!bar) return false;
    for (QAction* top : bar->actions()) {
        QAction* action =
            top->menu() ? FindMenuAction(top->menu(), id) : (top->data().toUInt() == id ? top : nullptr);
        if (!action) continue;
        if (!action->isEnabled() || (top->menu() && !top->menu()->isEnabled())) return false;
        action->trigger();
        return true;
    }
    return false;
}

bool ClickToolBarButton(CToolBar& bar, UINT id)
{
    const int index = bar.CommandToIndex(id);
    if (index < 0 || bar.GetToolBarCtrl().IsButtonHidden(static_cast<int>(id))) return false;
    CRect r;
    bar.GetItemRect(index, r);
    const LPARAM at = MAKELPARAM(static_cast<WORD>(r.CenterPoint().x), static_cast<WORD>(r.CenterPoint().y));
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    if (IsWindow(bar.GetSafeHwnd())) bar.SendMessage(WM_LBUTTONUP, 0, at);
    return true;
}

std::string SaveTestOutput(const QImage& image, const std::string& name)
{
    const std::filesystem::path folder = TestOutputDir();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::filesystem::path file = folder / (name + ".png");
    return image.save(QString::fromStdString(file.string())) ? file.string() : std::string();
}

void DragWindow(CWnd& wnd, UINT hitCode, CSize delta, int steps)
{
    CRect start;
    wnd.GetWindowRect(start);
    const bool left = hitCode == HTLEFT || hitCode == HTTOPLEFT || hitCode == HTBOTTOMLEFT;
    const bool right = hitCode == HTRIGHT || hitCode == HTTOPRIGHT || hitCode == HTBOTTOMRIGHT;
    const bool top = hitCode == HTTOP || hitCode == HTTOPLEFT || hitCode == HTTOPRIGHT;
    const bool bottom = hitCode == HTBOTTOM || hitCode == HTBOTTOMLEFT || hitCode == HTBOTTOMRIGHT;
    const bool move = hitCode == HTCAPTION;
    const CPoint press(left    ? start.left
                       : right ? start.right - 1
                               : start.CenterPoint().x,
                       top || move ? start.top
                       : bottom    ? start.bottom - 1
                                   : start.CenterPoint().y);
    const HWND hwnd = wnd.GetSafeHwnd();
    ASSERT_TRUE(platform::BeginUserDrag(hwnd, hitCode, press));
    steps = std::max(steps, 1);
    for (int i = 1; i <= steps && IsWindow(hwnd); ++i) {
        const int dx = delta.cx * i / steps, dy = delta.cy * i / steps;
        CRect proposed = start;
        if (move) {
            proposed.OffsetRect(dx, dy);
        } else {
            if (left) proposed.left += dx;
            if (right) proposed.right += dx;
            if (top) proposed.top += dy;
            if (bottom) proposed.bottom += dy;
        }
        platform::UserDragTo(hwnd, proposed);
        PumpEvents();
    }
    if (IsWindow(hwnd)) platform::EndUserDrag(hwnd);
}

namespace {

// The widget under a client point of the window (a child widget of a Qt control, such as a
// list's viewport, gets the event as it would from a real mouse).
QWidget* TargetAt(CWnd& window, CPoint client, QPoint& local)
{
    QWidget* widget = window.GetWidget();
    if (!widget) return nullptr;
    const QPoint at(client.x, client.y);
    QWidget* target = widget->childAt(at);
    if (!target || !target->isVisible()) target = widget;
    local = target->mapFrom(widget, at);
    return target;
}

void SendMouse(CWnd& window, CPoint client, QEvent::Type type, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QPoint local;
    QWidget* target = TargetAt(window, client, local);
    if (!target) return;
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

}  // namespace

void MousePress(CWnd& window, CPoint client, Qt::MouseButton button)
{
    SendMouse(window, client, QEvent::MouseButtonPress, button, button);
}

void MouseMove(CWnd& window, CPoint client, Qt::MouseButtons buttons)
{
    SendMouse(window, client, QEvent::MouseMove, Qt::NoButton, buttons);
}

void MouseRelease(CWnd& window, CPoint client, Qt::MouseButton button)
{
    SendMouse(window, client, QEvent::MouseButtonRelease, button, Qt::NoButton);
}

void MouseClick(CWnd& window, CPoint client, Qt::MouseButton button)
{
    const HWND hwnd = window.GetSafeHwnd();
    MousePress(window, client, button);
    if (IsWindow(hwnd)) MouseRelease(window, client, button);
}

void MouseDoubleClick(CWnd& window, CPoint client)
{
    const HWND hwnd = window.GetSafeHwnd();
    MouseClick(window, client);
    if (IsWindow(hwnd))
        SendMouse(window, client, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton);
    if (IsWindow(hwnd)) MouseRelease(window, client);
}

void TypeKeys(CWnd& window, const std::string& text)
{
    QWidget* widget = window.GetWidget();
    if (!widget) return;
    const HWND hwnd = window.GetSafeHwnd();
    for (const QChar c : QString::fromUtf8(text.c_str())) {
        if (!IsWindow(hwnd)) return;
        const int key = c == QChar('\b') ? Qt::Key_Backspace : c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &release);
    }
}

void PressKey(CWnd& window, int key, Qt::KeyboardModifiers modifiers)
{
    QWidget* widget = window.GetWidget();
    if (!widget) return;
    QString text;
    if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        text = QString(QChar(key - Qt::Key_A + 1));  // the control character the key types
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &release);
}

QImage GrabWindow(CWnd& window)
{
    QWidget* widget = window.GetWidget();
    if (!widget) return {};
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage GrabWholeWindow(CWnd& window)
{
    QWidget* widget = platform::OuterWidgetOf(window.GetSafeHwnd());
    if (!widget) widget = window.GetWidget();
    if (!widget) return {};
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::filesystem::path TestOutputDir()
{
    return std::filesystem::path(TARVENIX_SOURCE_DIR) / "test-output";
}

::testing::AssertionResult ImagesEqual(const QImage& actual, const QImage& expected, const std::string& name)
{
    auto saveActual = [&] {
        const std::filesystem::path folder = TestOutputDir();
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        const std::filesystem::path file = folder / (name + ".png");
        actual.save(QString::fromStdString(file.string()));
        return file.string();
    };
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << name << ": size " << actual.width() << "x" << actual.height() << ", expected "
               << expected.width() << "x" << expected.height() << "; actual image saved as " << saveActual();
    }
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage e = expected.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowE = reinterpret_cast<const QRgb*>(e.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((rowA[x] & 0xFFFFFF) != (rowE[x] & 0xFFFFFF)) {
                char text[128];
                std::snprintf(text, sizeof text, "first difference at (%d, %d): #%06X, expected #%06X", x, y,
                              rowA[x] & 0xFFFFFF, rowE[x] & 0xFFFFFF);
                return ::testing::AssertionFailure()
                       << name << ": " << text << "; actual image saved as " << saveActual();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult MatchesGolden(const QImage& painted, const std::string& goldenFolder,
                                         const std::string& name)
{
    SaveTestOutput(painted, name);
    // test-output/ lies at the repository's root, beside the golden folders.
    const std::filesystem::path file = TestOutputDir().parent_path() / goldenFolder / (name + ".png");
    const QImage golden(QString::fromStdString(file.string()));
    if (golden.isNull()) return ::testing::AssertionFailure() << file << " is missing";
    return ImagesEqual(painted, golden, name + "-actual");
}

void SolidWnd::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, m_colour);
    if (m_framed) {
        dc.SelectStockObject(NULL_BRUSH);
        dc.Rectangle(0, 0, client.Width(), client.Height());
    }
    ++paints;
}

BEGIN_MESSAGE_MAP(SolidWnd, CWnd)
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

}  // namespace tarvenix::test
