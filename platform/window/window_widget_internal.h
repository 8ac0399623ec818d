#pragma once

// The Qt side of a window: the generic widget (with its paint surface) and the event filter
// that watches Qt controls. Both hand every Qt event to TranslateEvent, the one place
// where Qt events become window messages.

#include <memory>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/types.h"
#include "platform/window/messages.h"
#include "platform/window/paint_target_internal.h"

class QMouseEvent;
class QScrollBar;

class CWnd;

namespace platform {

/// Turns a Qt event of a window's widget into messages. Returns true when the event is
/// used up (Qt's own handling must not run).
bool TranslateEvent(HWND hwnd, QWidget* widget, QEvent* event, bool generic);

class WindowWidget : public QWidget {
public:
    WindowWidget(HWND hwnd, QWidget* parent, Qt::WindowFlags flags);
    ~WindowWidget() override;
    HWND Handle() const { return m_hwnd; }
    /// The window is gone: the widget only shows its last surface from now on.
    void Detach();
    /// What the window shows, the size of its client area. Change it only while holding
    /// SurfaceMutex(): workers may be drawing on it.
    QImage& Surface() { return m_surface->image; }
    std::recursive_mutex& SurfaceMutex() { return m_surface->mutex; }
    /// The widget less the scroll bars that are shown.
    QSize ClientSize() const;
    /// Shows one of the window's own scroll bars (SB_HORZ, SB_VERT) with these values, or hides it.
    void SetScrollBar(int bar, const SCROLLINFO& info, bool shown);
    bool ScrollBarShown(int bar) const;
    /// Where the thumb is while the user drags it.
    int TrackPosition(int bar) const;
    /// Where a shown bar lies in the widget (empty when the bar is hidden).
    QRect ScrollBarRect(int bar) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutScrollBars();
    void OnScrollAction(int bar, int action);
    void OnScrollReleased(int bar);

    HWND m_hwnd;
    std::shared_ptr<SharedSurface> m_surface = std::make_shared<SharedSurface>();
    QScrollBar* m_bars[2] = {nullptr, nullptr};
    int m_barPos[2] = {0, 0};  ///< the position the window set; the bar returns to it after an action
};

/// The outer part of a top-level window: the non-client strips the platform draws (the
/// frame's menu bar) stacked at the top, and the client part (the window's widget, with
/// its own scroll bars) filling the rest. It is what the window manager sees, so the
/// window-level events (close, move, resize, state, activation) arrive here.
class OuterWidget : public QWidget {
public:
    OuterWidget(HWND hwnd, Qt::WindowFlags flags);
    void Detach() { m_hwnd = nullptr; }
    void SetClient(QWidget* client);
    /// Shows strip (null: none) as the menu-bar strip, SM_CYMENU high; the widget takes it over.
    void SetMenuStrip(QWidget* strip);
    QWidget* MenuStrip() const { return m_menu; }
    /// Where the client part lies in the outer part.
    QRect ClientGeometry() const;
    /// Where the menu strip lies (empty when there is none or it is hidden).
    QRect MenuStripGeometry() const;
    void Layout();
    /// Gives the window a sizing border this wide on each side (0: none), which it paints
    /// through WM_NCPAINT on FramePicture().
    void SetBorder(int width);
    int Border() const { return m_border; }
    /// The picture of the whole outer part (window coordinates) the border is painted on;
    /// the client part covers its middle.
    QImage& FramePicture() { return m_frame; }
    /// The border is to be painted again before it is next shown.
    void InvalidateFrame();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool BorderMouse(QMouseEvent* event);

    HWND m_hwnd;
    QPointer<QWidget> m_client;
    QPointer<QWidget> m_menu;
    int m_border = 0;
    QImage m_frame;
    bool m_frameDirty = false;
    UINT m_dragHit = 0;  ///< while the user drags the border: the edge's hit-test code
    QPoint m_dragPress;  ///< where that drag started (screen)
    QRect m_dragStart;   ///< the outer rectangle when it started
};

/// Watches a Qt control that serves as a window's widget.
class ControlEventFilter : public QObject {
public:
    explicit ControlEventFilter(HWND hwnd) : m_hwnd(hwnd) {}
    void Detach() { m_hwnd = nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HWND m_hwnd;
};

}  // namespace platform
