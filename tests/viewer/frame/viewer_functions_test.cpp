#include "viewer/frame/viewer_functions.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/splash/splash.h"
#include "tests/support/modal_responder.h"
#include "tests/support/recording_splash.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/frame/frame_test_support.h"

using frame_test::NotifyWindow;
using tarvenix::test::PumpUntil;
using tarvenix::test::RecordingSplash;
using tarvenix::test::Responder;

namespace {

HWND FindViewer(const char* title)
{
    return ::FindWindow(nullptr, title);
}

void CloseViewer(HWND hwnd)
{
    if (::IsWindow(hwnd)) ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    tarvenix::test::PumpEvents();
}

}  // namespace

TEST(ViewerFunctions, SplashHearsTheLibraryLoadingAsKindOneWithoutATerminatingZero)
{
    EXPECT_FALSE(AnnounceViewerLibrary()) << "no splash window: nothing is sent";
    RecordingSplash splash;
    ASSERT_TRUE(splash.Make());
    EXPECT_TRUE(AnnounceViewerLibrary());
    ASSERT_EQ(splash.received.size(), 1u);
    EXPECT_EQ(splash.received[0].kind, 1u);
    EXPECT_EQ(splash.received[0].bytes, "PaneKit Module Initializing...");
    EXPECT_EQ(splash.received[0].bytes.size(), 30u);
    splash.DestroyWindow();
}

TEST(ViewerFunctions, AResultRecordOpensAnEmptyViewerAndIsFreed)
{
    // The record is freed by the function (the leak check at exit proves it); its long name
    // would show up there otherwise.
    auto* record = new ViewResultParam;
    ViewResultFunction(record);
    const HWND viewer = FindViewer("Viewer: no file");
    ASSERT_TRUE(::IsWindow(viewer));
    CloseViewer(viewer);
    EXPECT_FALSE(::IsWindow(viewer));

    ViewResultFunction(nullptr);  // nothing to open, nothing to free
}

TEST(ViewerFunctions, AListOpensOneViewerPerRecordInOrderAndTellsEachParent)
{
    tarvenix::test::TempDir dir;
    const std::string good = dir.File("result.rdp");
    frame_test::MakeLayerFile(good);
    NotifyWindow parent;

    auto* list = new ViewMultiResultParam;
    ASSERT_EQ(list->MakeParam(2), 1);
    (*list)[0]->parent = &parent;
    (*list)[0]->notifyId = 10;
    (*list)[0]->fileName = dir.File("missing.rdp").c_str();
    (*list)[1]->parent = &parent;
    (*list)[1]->notifyId = 11;
    (*list)[1]->fileName = good.c_str();
    Responder().AnswerMessageBox(IDOK);  // "Error opening file !" for the missing one
    ViewMultiResultFunction(list);

    ASSERT_TRUE(PumpUntil([&] { return parent.received.size() >= 2; }));
    EXPECT_EQ(parent.received, (std::vector<std::pair<int, int>>{{10, 3}, {11, 2}}));
    ASSERT_FALSE(Responder().Asked().empty());
    EXPECT_EQ(Responder().Asked()[0].text, "Error opening file !");

    CloseViewer(FindViewer(good.c_str()));
    CloseViewer(FindViewer("Viewer: no file"));
    EXPECT_FALSE(::IsWindow(FindViewer(good.c_str())));

    ViewMultiResultFunction(new ViewMultiResultParam);  // an empty list opens nothing and is freed
    EXPECT_FALSE(::IsWindow(FindViewer("Viewer: no file")));
}
