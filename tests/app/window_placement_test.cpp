// Every kind of window the program opens, under a window manager that frames captioned
// windows: each appears with its whole frame, the caption included, on the work area, so
// that it can be moved and confirmed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_resources.h"
#include "app/frame_viewer_seam.h"
#include "outside/splash/splash.h"
#include "tests/app/app_fixture.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"
#include "tests/support/window_frames.h"
#include "viewer/frame/frame_viewer.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/raster_view.h"

using namespace apptest;
using tarvenix::test::ExpectEveryFrameOnWorkArea;
using tarvenix::test::FrameOnWorkArea;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;

namespace {

using WindowPlacement = AppTest;

/// The splash window the start-up texts go to; once the command window has told it that it
/// is initialised, viewers open below the command window.
class Splash : public CWnd {
public:
    bool Make()
    {
        AfxRegisterClass(kSplashWindowClass, 0);
        return CreateEx(0, kSplashWindowClass, kSplashWindowTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
    }
};

CFrameViewer* OpenSampleViewer(CGolovaDlg& command)
{
    const ViewerSeam fixtureSeam = SetViewerSeam(FrameViewerSeam());
    command.OpenViewer(TARVENIX_SAMPLE_PATH);
    SetViewerSeam(fixtureSeam);
    CFrameViewer* viewer = nullptr;
    PumpUntil([&] {
        viewer = static_cast<CFrameViewer*>(CWnd::FromHandle(FindWindow(nullptr, TARVENIX_SAMPLE_PATH)));
        if (!viewer) return false;
        auto* shown = dynamic_cast<CRasterView*>(viewer->GetViewRect()->GetActiveView());
        return shown && !shown->IsBusy() && viewer->GetViewRect()->ImageWidth() > 0;
    });
    PumpEvents();
    return viewer;
}

TEST_F(WindowPlacement, EveryKindOfWindowOpensWithItsWholeFrameOnTheWorkArea)
{
    tarvenix::test::ScopedWindowManagerFrame frame(CRect(4, 24, 4, 4));
    Splash splash;
    ASSERT_TRUE(splash.Make());
    Start(R"(Tarvenix {DisableView})");
    CRect command;
    Command().GetWindowRect(&command);
    EXPECT_EQ(command.top, 24) << "the command window's caption is on the screen";
    EXPECT_TRUE(FrameOnWorkArea(Command()));

    // A viewer below the command window (placed there once the window has been painted):
    // its caption below the command window's frame.
    Command().RedrawWindow();
    PumpEvents();
    splash.DestroyWindow();
    CFrameViewer* viewer = OpenSampleViewer(Command());
    ASSERT_NE(viewer, nullptr);
    CRect shown;
    viewer->GetWindowRect(&shown);
    EXPECT_EQ(shown.top, command.bottom + 4 + 24);
    EXPECT_TRUE(FrameOnWorkArea(*viewer));

    // The modal dialogs of the command window, each checked while it is open; Preferences,
    // centred on the 131-pixel command window, is also shown on the screen for a person.
    struct Modal {
        UINT id;
        const char* name;
    };
    for (const Modal m : {Modal{ID_PREF_COMMON, "preferences"}, Modal{ID_PREF_INTERFACE, "action list"},
                          Modal{ID_HELP_ABOUT, "about"}}) {
        SCOPED_TRACE(m.name);
        bool seen = false;
        Responder().AnswerDialogCommand(IDCANCEL).Doing([&](CWnd& dialog) {
            seen = true;
            EXPECT_TRUE(FrameOnWorkArea(dialog));
            if (m.id == ID_PREF_COMMON) {
                EXPECT_FALSE(
                    tarvenix::test::SaveTestOutput(
                        tarvenix::test::ScreenPicture({viewer, &Command(), &dialog}), "preferences-on-screen")
                        .empty());
            }
        });
        Command().SendMessage(WM_COMMAND, m.id, 0);
        EXPECT_TRUE(seen);
    }

    // The viewer's tool windows, and its modal trimming dialog.
    for (UINT id : {ID_VIEWER_POINTER_DLG, ID_VIEWER_SCALE, ID_VIEWER_PALETTE, ID_VIEWER_BRIGHT_CONTRAST,
                    ID_VIEWER_HISTOGRAM, ID_VIEWER_DATA_INFO, ID_VIEWER_LOGICAL_COORDS, ID_VIEWER_FIND,
                    ID_VIEWER_REPLACE}) {
        viewer->SendMessage(WM_COMMAND, id, 0);
        PumpEvents();
        ExpectEveryFrameOnWorkArea("viewer command " + std::to_string(id));
    }
    bool trimming = false;
    Responder().AnswerDialogCommand(IDCANCEL).Doing([&](CWnd& dialog) {
        trimming = true;
        EXPECT_TRUE(FrameOnWorkArea(dialog));
    });
    viewer->SendMessage(WM_COMMAND, ID_VIEWER_HIST_TRIMMING, 0);
    PumpUntil([&] { return trimming; });

    // The tools of the modules and of the outside libraries.
    for (UINT id : {ID_PROC_FILTRATION, ID_PROC_CONVOLUTION, ID_PROC_DERIVATION, ID_PROC_COHERENCE,
                    ID_ANALYSIS_SPECTRUM, ID_PROC_PHASE_FILTRATION, ID_UTIL_COMPLEX_OPERATIONS,
                    ID_ANALYSIS_TEXTURE, ID_UTIL_CALCULATOR, ID_PROC_THRESHOLD}) {
        Command().SendMessage(WM_COMMAND, id, 0);
        PumpEvents();
        ExpectEveryFrameOnWorkArea("tool command " + std::to_string(id));
    }
    EXPECT_GT(int(tarvenix::test::FramedWindows().size()), 15) << "the windows were open at once";

    // Everything but the command window and its owner goes.
    for (CWnd* wnd : tarvenix::test::FramedWindows())
        if (wnd != &Command() && wnd != viewer) wnd->SendMessage(WM_CLOSE);
    PumpEvents();
    viewer->SendMessage(ViewerControlMessage(), kViewerClose, 0);
    PumpUntil([&] { return !::IsWindow(FindWindow(nullptr, TARVENIX_SAMPLE_PATH)); });
}

}  // namespace
