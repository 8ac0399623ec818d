#pragma once

// Driving the user-interface thread from a test: bounded event pumps, commands sent as a
// click sends them, and pixel-exact image comparison.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/frame/tool_bar.h"
#include "platform/window/wnd.h"

namespace tarvenix::test {

/// Runs the event loop until condition holds or the bound has passed; returns condition().
/// Deferred deletions are carried out on the way.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::seconds(20));

/// Handles what is queued now (posted messages, timers that are due, deferred deletions).
void PumpEvents();

/// Sends command id to target as a click on a menu item or tool-bar button does: only
/// when the update pass shows it enabled (a command without any handler counts as disabled
/// when autoDisable is set, as frames have it). Returns whether the command was sent.
bool ClickCommand(CWnd& target, UINT id, bool autoDisable = true);

/// Chooses command id from the frame's menu bar as a user does: opens the popups (each
/// gets its update pass first) until one shows the item, and clicks it when it is enabled.
/// The command arrives posted, as menus send it. Returns whether the item was clicked.
bool ClickMenuItem(CWnd& frame, UINT id);

/// Presses and releases the mouse on the tool-bar button of command id. Returns whether a
/// visible button has the id (a disabled one takes the click and does nothing).
bool ClickToolBarButton(CToolBar& bar, UINT id);

/// Drags a top-level window as a user does: presses at hitCode (HTCAPTION moves the window,
/// HTLEFT..HTBOTTOMRIGHT size it by that edge or corner), moves the pointer by delta in
/// steps, and lets go. The window hears the whole sequence of nonclient.h.
void DragWindow(CWnd& wnd, UINT hitCode, CSize delta, int steps = 4);

/// The mouse as a user works it, on the window's widget at a point of its client area:
/// Qt's events go to the widget (Qt's own controls see them as they see a real mouse).
void MousePress(CWnd& window, CPoint client, Qt::MouseButton button = Qt::LeftButton);
void MouseMove(CWnd& window, CPoint client, Qt::MouseButtons buttons = Qt::NoButton);
void MouseRelease(CWnd& window, CPoint client, Qt::MouseButton button = Qt::LeftButton);
/// Press and release at one point.
void MouseClick(CWnd& window, CPoint client, Qt::MouseButton button = Qt::LeftButton);
void MouseDoubleClick(CWnd& window, CPoint client);
/// Types text into the window's widget, a key press and release per character.
void TypeKeys(CWnd& window, const std::string& text);
/// A key with modifiers (Qt::Key_V with Qt::ControlModifier pastes).
void PressKey(CWnd& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

/// What the window shows, painted now (invalid parts get their WM_PAINT first).
QImage GrabWindow(CWnd& window);
/// The whole top-level window as a user sees it: its menu bar and other outer strips too.
QImage GrabWholeWindow(CWnd& window);

/// Saves the image as test-output/<name>.png at the repository root (for a person to look
/// at); returns the file's path, empty when it could not be written.
std::string SaveTestOutput(const QImage& image, const std::string& name);
/// test-output/ at the repository root (git-ignored), where failing tests leave their images.
std::filesystem::path TestOutputDir();

/// Compares two images pixel by pixel (RGB, alpha ignored). On a difference, reports the
/// first differing pixel and saves the actual image as test-output/<name>.png at the
/// repository root.
::testing::AssertionResult ImagesEqual(const QImage& actual, const QImage& expected, const std::string& name);
/// Saves the painted image as test-output/<name>.png and compares it with the golden
/// <goldenFolder>/<name>.png (relative to the repository root), which a person has looked at;
/// a missing golden fails.
::testing::AssertionResult MatchesGolden(const QImage& painted, const std::string& goldenFolder,
                                         const std::string& name);

/// A window that paints its client area in one colour (with `framed`, inside a black
/// one-pixel frame) and counts its paints (from any thread) and left-button presses.
class SolidWnd : public CWnd {
public:
    explicit SolidWnd(COLORREF colour, bool framed = false) : m_colour(colour), m_framed(framed) {}
    std::atomic<int> paints{0};
    int presses = 0;

protected:
    void OnPaint();
    void OnLButtonDown(UINT, CPoint) { ++presses; }
    DECLARE_MESSAGE_MAP()

private:
    COLORREF m_colour;
    bool m_framed;
};

}  // namespace tarvenix::test
