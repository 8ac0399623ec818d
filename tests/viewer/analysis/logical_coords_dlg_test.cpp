#include "viewer/analysis/logical_coords_dlg.h"

#include <gtest/gtest.h>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/remove_trail_zeros.h"
#include "platform/window/modal.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/view_rect.h"

using analysis_test::Click;
using analysis_test::Text;
using analysis_test::Type;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;

namespace {

/// A viewer showing a 24 x 16 layer, with a logical coordinates dialog of the test's own.
class LogicalCoords : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir.File("law.rdp");
        frame_test::MakeLayerFile(file, 24, 16);
        frame = frame_test::OpenViewer(file, parent);
        ASSERT_NE(frame, nullptr);
        hwnd = frame->GetSafeHwnd();
        dlg = new CLogicalCoordsDlg(nullptr);
        ASSERT_TRUE(dlg->Create(frame));
        dlgHwnd = dlg->GetSafeHwnd();
        dlg->ShowWindow(SW_SHOW);
        PumpEvents();
    }
    void TearDown() override
    {
        if (::IsWindow(hwnd)) frame->CFrameWnd::DestroyWindow();
        PumpEvents();
        EXPECT_FALSE(::IsWindow(dlgHwnd)) << "the dialog ends with its frame";
    }
    void TypeRanges(const char* xFrom, const char* xTo, const char* yFrom, const char* yTo)
    {
        Type(*dlg, IDC_LC_X_FROM, xFrom);
        Type(*dlg, IDC_LC_X_TO, xTo);
        Type(*dlg, IDC_LC_Y_FROM, yFrom);
        Type(*dlg, IDC_LC_Y_TO, yTo);
    }
    const CCoordLawData& Law() { return *frame->GetViewRect()->GetCoordLaw(); }

    tarvenix::test::TempDir dir;
    std::string file;
    frame_test::NotifyWindow parent;
    CFrameViewer* frame = nullptr;
    HWND hwnd = nullptr;
    CLogicalCoordsDlg* dlg = nullptr;
    HWND dlgHwnd = nullptr;
};

}  // namespace

TEST(RemoveTrailZeros, StripsTheFractionsZeros)
{
    const std::pair<const char*, const char*> cases[] = {
        {"0.123457", "0.123457"}, {"2.500000", "2.5"},    {"3.000000", "3"},        {"-0.000000", "0"},
        {"100", "100"},           {"1.5e+10", "1.5e+10"}, {"-12.340000", "-12.34"}, {"0.000000", "0"},
    };
    for (auto [in, out] : cases) {
        CString text(in);
        RemoveTrailZeros(text);
        EXPECT_EQ(text, out) << in;
    }
}

TEST_F(LogicalCoords, ShowsTheFirstAndLastPixelsWithSixDecimalsAtMost)
{
    EXPECT_EQ(Text(*dlg, IDC_LC_X_FROM), "0");
    EXPECT_EQ(Text(*dlg, IDC_LC_X_TO), "23");
    EXPECT_EQ(Text(*dlg, IDC_LC_Y_TO), "15");

    TypeRanges("0.1234567", "2.5", "10", "-5");
    Click(*dlg, IDC_LC_APPLY);
    EXPECT_TRUE(Responder().Asked().empty());
    dlg->ShowWindow(SW_HIDE);
    dlg->ShowWindow(SW_SHOW);
    EXPECT_EQ(Text(*dlg, IDC_LC_X_FROM), "0.123457");
    EXPECT_EQ(Text(*dlg, IDC_LC_X_TO), "2.5");
    EXPECT_EQ(Text(*dlg, IDC_LC_Y_FROM), "10");
    EXPECT_EQ(Text(*dlg, IDC_LC_Y_TO), "-5");
    analysis_test::Screenshot(*dlg, "logical_coords");
}

TEST_F(LogicalCoords, ARangeThatCannotBeALawIsRefused)
{
    const char* cases[][4] = {
        {"5", "5", "0", "10"},      // equal X bounds
        {"0", "10", "7.5", "7.5"},  // equal Y bounds
        {"abc", "def", "0", "10"},  // two texts that are no numbers read as 0
        {"inf", "10", "0", "10"},   // not a finite number
        {"0", "1e999", "0", "10"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c[0] + std::string(" ") + c[1] + " " + c[2] + " " + c[3]);
        TypeRanges(c[0], c[1], c[2], c[3]);
        Responder().AnswerMessageBox(IDOK);
        Click(*dlg, IDC_LC_APPLY);
        ASSERT_FALSE(Responder().Asked().empty());
        EXPECT_EQ(Responder().Asked().back().text, "Input coordinates are invalid.");
        EXPECT_EQ(Responder().Asked().back().Buttons(), UINT(MB_OK));
        EXPECT_FALSE(Law().IsLawSet());
        EXPECT_EQ(frame->GetPendingSaves() & kSaveLogicalCoords, 0u);
    }
}

TEST_F(LogicalCoords, AReversedRangeIsTakenAsTypedAndDefaultTakesTheFilesLawAgain)
{
    TypeRanges("100", "-100", "0", "30");
    Click(*dlg, IDC_LC_APPLY);
    EXPECT_TRUE(Responder().Asked().empty());
    ASSERT_TRUE(Law().IsLawSet());
    EXPECT_DOUBLE_EQ(Law().GetLogicalCoord(0, 0).x, 100.0);
    EXPECT_DOUBLE_EQ(Law().GetLogicalCoord(23, 15).x, -100.0);
    EXPECT_DOUBLE_EQ(Law().GetLogicalCoord(23, 15).y, 30.0);
    EXPECT_NE(frame->GetPendingSaves() & kSaveLogicalCoords, 0u);

    // The file holds no law: Default goes back to pixels and drops the pending law.
    Click(*dlg, IDC_LC_DEFAULT);
    EXPECT_FALSE(Law().IsLawSet());
    EXPECT_EQ(Text(*dlg, IDC_LC_X_FROM), "0");
    EXPECT_EQ(Text(*dlg, IDC_LC_X_TO), "23");
    EXPECT_EQ(frame->GetPendingSaves() & kSaveLogicalCoords, 0u);
}

TEST(LogicalCoordsNoPicture, ApplyWithoutAPictureDoesNothing)
{
    frame_test::NotifyWindow parent;
    ViewResultParam empty;
    CFrameViewer* frame = ViewerCreate(&empty);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    auto* dlg = new CLogicalCoordsDlg(nullptr);
    ASSERT_TRUE(dlg->Create(frame));
    dlg->ShowWindow(SW_SHOW);
    Type(*dlg, IDC_LC_X_FROM, "1");
    Type(*dlg, IDC_LC_X_TO, "2");
    Type(*dlg, IDC_LC_Y_FROM, "1");
    Type(*dlg, IDC_LC_Y_TO, "2");
    Click(*dlg, IDC_LC_APPLY);
    Click(*dlg, IDC_LC_DEFAULT);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_FALSE(frame->GetViewRect()->GetCoordLaw()->IsLawSet());
    frame->CFrameWnd::DestroyWindow();
    PumpEvents();
    EXPECT_FALSE(::IsWindow(hwnd));
}
