#include "viewer/analysis/data_info_dlg.h"

#include <gtest/gtest.h>

#include "outside/basecore/thread_runner.h"

#include <complex>

#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/rdp_layer.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/stats_grid_resources.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/view_rect.h"

namespace {

using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;

void MakeComplexFile(const std::string& path, int width, int height)
{
    CRDPLayer layer;
    ASSERT_NE(layer.CreateLayer(path.c_str(), width, height, 9), nullptr);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            layer.SetValue(x, y, x - 3.0, kReal);
            layer.SetValue(x, y, y + 1.0, kImaginary);
        }
    ASSERT_TRUE(layer.CloseLayer());
}

CString Text(CWnd& dlg, int id)
{
    CString s;
    dlg.GetDlgItem(id)->GetWindowText(s);
    return s;
}

int TopOf(CWnd& dlg, int id)
{
    CRect r;
    dlg.GetDlgItem(id)->GetWindowRect(&r);
    dlg.ScreenToClient(&r);
    return r.top;
}

class DataInfoTest : public ::testing::Test {
protected:
    CDataInfoDlg* Open(const std::string& file)
    {
        frame = frame_test::OpenViewer(file, parent);
        EXPECT_NE(frame, nullptr);
        hwnd = frame->GetSafeHwnd();
        frame->SendMessage(WM_COMMAND, ID_VIEWER_DATA_INFO, 0);
        auto* dlg = dynamic_cast<CDataInfoDlg*>(CWnd::FromHandle(::FindWindow(nullptr, "Data Information")));
        EXPECT_NE(dlg, nullptr);
        if (dlg) PumpUntil([&] { return dlg->GetGrid() != nullptr; });
        return dlg;
    }
    /// What the frame sends the dialog when the shown layer's statistics are ready.
    void StatisticsReady(CDataInfoDlg* dlg) { dlg->SendMessage(WM_VIEWER, 0, 9); }
    void TearDown() override
    {
        // The view's display jobs hold the frame's meter: the frame closes once they are done.
        tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
        if (::IsWindow(hwnd)) ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
        tarvenix::test::PumpUntil([&] { return !::IsWindow(hwnd); });
        PumpEvents();
    }
    tarvenix::test::TempDir dir;
    frame_test::NotifyWindow parent;
    CFrameViewer* frame = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(DataInfoTest, RealLayerShowsOneRowAndNoTabsAndClosingOnlyHides)
{
    frame_test::MakeLayerFile(dir.File("r.rdp"), 512, 256);
    CDataInfoDlg* dlg = Open(dir.File("r.rdp"));
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->IsWindowVisible());
    EXPECT_EQ(Text(*dlg, IDC_INFO_SIZE), CString(" 512 x 256"));
    EXPECT_FALSE(dlg->GetDlgItem(IDC_INFO_TABS)->IsWindowVisible());
    CGridCtrl* grid = dlg->GetGrid();
    EXPECT_EQ(grid->GetRowCount(), 2);
    EXPECT_EQ(grid->GetColumnCount(), 4);
    EXPECT_EQ(grid->GetItemText(0, 0), CString("Min"));
    EXPECT_EQ(grid->GetItemText(1, 0), CString("0"));
    EXPECT_EQ(grid->GetItemText(1, 1), CString("26011"));  // 511 + 100 x 255
    EXPECT_EQ(Text(*dlg, IDC_INFO_X_TO), CString(" 511.000000"));
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*dlg), "data_info_real");

    dlg->SendMessage(WM_CLOSE, 0, 0);
    PumpEvents();
    EXPECT_TRUE(::IsWindow(dlg->GetSafeHwnd()));
    EXPECT_FALSE(dlg->IsWindowVisible());
    // The frame heard code 10: the next command shows the dialog again.
    frame->SendMessage(WM_COMMAND, ID_VIEWER_DATA_INFO, 0);
    EXPECT_TRUE(dlg->IsWindowVisible());
}

TEST_F(DataInfoTest, ComplexLayerShowsFourRowsAndARealOneReplacesTheGrid)
{
    MakeComplexFile(dir.File("c.rdp"), 8, 4);
    frame_test::MakeLayerFile(dir.File("r.rdp"), 8, 4);
    CDataInfoDlg* dlg = Open(dir.File("r.rdp"));
    ASSERT_NE(dlg, nullptr);
    const int realRangeTop = TopOf(*dlg, IDC_INFO_RANGE_LABEL);

    frame->LoadNewFile(dir.File("c.rdp").c_str(), 2, 0.0, 0.0, 0);
    PumpUntil([&] { return frame->GetViewRect()->IsComplex(1) != FALSE; });
    ASSERT_TRUE(frame->GetViewRect()->IsComplex(1));
    StatisticsReady(dlg);
    PumpUntil([&] { return dlg->GetGridKind() == 1; });
    CGridCtrl* grid = dlg->GetGrid();
    ASSERT_EQ(dlg->GetGridKind(), 1);
    EXPECT_EQ(grid->GetRowCount(), 5);
    EXPECT_EQ(grid->GetItemText(0, 0), CString("Component"));
    EXPECT_EQ(grid->GetItemImage(1, 0), 2);
    EXPECT_EQ(grid->GetItemText(3, 1), CString("-3"));  // real part minimum
    EXPECT_EQ(grid->GetItemText(4, 2), CString("4"));   // imaginary part maximum
    EXPECT_GT(TopOf(*dlg, IDC_INFO_RANGE_LABEL), realRangeTop);
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*dlg), "data_info_complex");

    frame->LoadNewFile(dir.File("r.rdp").c_str(), 0, 0.0, 0.0, 0);
    PumpUntil([&] { return frame->GetViewRect()->IsComplex(1) == FALSE; });
    StatisticsReady(dlg);
    PumpUntil([&] { return dlg->GetGridKind() == 0; });
    EXPECT_EQ(dlg->GetGrid()->GetRowCount(), 2);
    EXPECT_EQ(TopOf(*dlg, IDC_INFO_RANGE_LABEL), realRangeTop);
}

}  // namespace
