#pragma once

// Top-level windows as a window manager frames them: a frame thickness set for a test, the
// check that a window's whole frame (caption included) lies on the screen's work area, and
// a picture of the screen with the windows in their frames, for a person to look at.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/window/wnd.h"
#include "platform/window/work_area.h"
#include "tests/support/ui_helpers.h"

namespace tarvenix::test {

/// A window manager frame of the given thickness (left, caption, right, bottom) for the
/// life of the object.
class ScopedWindowManagerFrame {
public:
    explicit ScopedWindowManagerFrame(const CRect& thickness = CRect(4, 24, 4, 4))
    {
        platform::SetWindowManagerFrame(thickness);
    }
    ~ScopedWindowManagerFrame() { platform::SetWindowManagerFrame(CRect(0, 0, 0, 0)); }
    ScopedWindowManagerFrame(const ScopedWindowManagerFrame&) = delete;
    ScopedWindowManagerFrame& operator=(const ScopedWindowManagerFrame&) = delete;
};

/// True for a window the window manager frames: top-level, and not a popup without a
/// caption of its own.
inline bool HasOwnFrame(CWnd& wnd)
{
    const DWORD style = wnd.GetStyle();
    return !(style & WS_CHILD) && !((style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION);
}

/// The window's rectangle with the window manager's frame around it.
inline CRect FrameOf(CWnd& wnd)
{
    CRect rect;
    wnd.GetWindowRect(&rect);
    const CRect m = platform::WindowManagerFrame();
    return CRect(rect.left - m.left, rect.top - m.top, rect.right + m.right, rect.bottom + m.bottom);
}

/// Whether the window's whole frame lies on the work area of its screen.
inline ::testing::AssertionResult FrameOnWorkArea(CWnd& wnd)
{
    const CRect frame = FrameOf(wnd);
    CRect rect;
    wnd.GetWindowRect(&rect);
    const CRect area = platform::WorkAreaFor(rect);
    CString title;
    wnd.GetWindowText(title);
    if (frame.left >= area.left && frame.top >= area.top && frame.right <= area.right &&
        frame.bottom <= area.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\"" << title.str() << "\": frame (" << frame.left << ", " << frame.top << ") - ("
           << frame.right << ", " << frame.bottom << ") beyond the work area (" << area.left << ", "
           << area.top << ") - (" << area.right << ", " << area.bottom << ")";
}

/// The visible top-level windows the window manager frames, in creation order.
inline std::vector<CWnd*> FramedWindows()
{
    std::vector<CWnd*> found;
    EnumWindows(
        [](HWND hwnd, LPARAM list) {
            CWnd* wnd = CWnd::FromHandle(hwnd);
            if (wnd && wnd->IsWindowVisible() && HasOwnFrame(*wnd))
                reinterpret_cast<std::vector<CWnd*>*>(list)->push_back(wnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

/// Checks every visible framed window; returns how many there were.
inline int ExpectEveryFrameOnWorkArea(const std::string& when)
{
    const std::vector<CWnd*> windows = FramedWindows();
    for (CWnd* wnd : windows) EXPECT_TRUE(FrameOnWorkArea(*wnd)) << when;
    return int(windows.size());
}

/// The screen as a person would see it: the work area's background, and each window (from
/// the bottom of the stack up) in a drawn frame of the window manager's thickness with its
/// title in the caption.
inline QImage ScreenPicture(const std::vector<CWnd*>& bottomToTop)
{
    CRect any(0, 0, 1, 1);
    if (!bottomToTop.empty()) bottomToTop.front()->GetWindowRect(&any);
    const CRect area = platform::WorkAreaFor(any);
    QImage screen(area.Width(), area.Height(), QImage::Format_RGB32);
    screen.fill(QColor(58, 78, 104));
    QPainter painter(&screen);
    painter.translate(-area.left, -area.top);
    const CRect m = platform::WindowManagerFrame();
    for (CWnd* wnd : bottomToTop) {
        CRect rect;
        wnd->GetWindowRect(&rect);
        const CRect frame = FrameOf(*wnd);
        painter.fillRect(frame.left, frame.top, frame.Width(), frame.Height(), QColor(92, 120, 160));
        painter.setPen(QColor(30, 30, 30));
        painter.drawRect(frame.left, frame.top, frame.Width() - 1, frame.Height() - 1);
        CString title;
        wnd->GetWindowText(title);
        painter.setPen(Qt::white);
        QFont font = painter.font();
        font.setPixelSize(std::max(9, int(m.top) * 5 / 8));
        painter.setFont(font);
        painter.drawText(QRect(frame.left + 8, frame.top, frame.Width() - 16, m.top),
                         Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(title.c_str()));
        painter.drawImage(rect.left, rect.top, GrabWholeWindow(*wnd));
    }
    return screen;
}

}  // namespace tarvenix::test
