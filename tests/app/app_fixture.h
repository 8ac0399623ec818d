#pragma once

// What the main program's tests share: stand-in viewers opened through the viewer seam,
// and a fixture that starts the program's application object in the test process and
// takes everything down again afterwards.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/golova_dlg.h"
#include "app/tarvenix_app.h"
#include "app/viewer_seam.h"

namespace apptest {

/// A viewer as the tests see it: a top-level window that records the viewer control codes
/// it receives and closes on code 1, or first runs `onClose` when one is set (it must
/// destroy the window itself later).
class StandInViewer : public CWnd {
public:
    std::string fileName;
    bool placed = false;  ///< opened with a rectangle
    CRect rect;           ///< the rectangle it was opened with
    std::vector<int> codes;
    std::function<void(StandInViewer&)> onClose;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void PostNcDestroy() override;
};

/// Every viewer opened through the seam since the fixture started, in order.
std::vector<StandInViewer*>& OpenedViewers();
/// The file names of the viewers opened so far, in order.
std::vector<std::string> OpenedFiles();
/// The stand-in viewers still open.
int LiveViewers();

/// A top-level window that is no viewer but hears every broadcast (the codes it got).
class CountingWnd : public CWnd {
public:
    std::vector<int> codes;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

/// The folder of the test program, where the built program and plug-ins lie too.
std::string BinDir();

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Starts the application object with the command line; the command window exists after.
    void Start(const char* commandLine);
    CGolovaDlg& Command() { return *g_pGolovaDlg; }
    CWnd* Owner() { return m_app ? m_app->GetOwnerWindow() : nullptr; }
    /// Answers "Exit Tarvenix ?" with `answer` and chooses File / Exit.
    void ChooseExit(int answer);

    std::unique_ptr<CTarvenixApp> m_app;

private:
    ViewerSeam m_previousSeam;
};

}  // namespace apptest
