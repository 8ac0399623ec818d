#include "viewer/analysis/value_grid_pane.h"

#include <gtest/gtest.h>

#include "outside/basecore/thread_runner.h"

#include <algorithm>
#include <string>
#include <vector>

#include "outside/basecore/grid_ctrl.h"
#include "platform/controls/common_controls.h"
#include "platform/controls/edit.h"
#include "platform/gdi/window_dc.h"
#include "platform/shell/clipboard.h"
#include "platform/shell/clipboard_change.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/virtual_view.h"

namespace {

using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;

/// Sends the pane a notification of its grid as the grid does for cell (row, col).
LRESULT NotifyFromGrid(CValueGridPane& pane, int code, int row, int col, void* data = nullptr)
{
    CGridCtrl* grid = pane.GetGrid();
    NM_GRIDVIEW record{};
    record.hdr.hwndFrom = grid->GetSafeHwnd();
    record.hdr.idFrom = UINT_PTR(grid->GetDlgCtrlID());
    record.hdr.code = UINT(code);
    record.iRow = row;
    record.iColumn = col;
    record.data = data;
    return pane.SendMessage(WM_NOTIFY, WPARAM(record.hdr.idFrom), reinterpret_cast<LPARAM>(&record));
}

class ValueGridPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame_test::MakeLayerFile(dir.File("a.rdp"), 24, 16);
        frame = frame_test::OpenViewer(dir.File("a.rdp"), parent);
        ASSERT_NE(frame, nullptr);
        hwnd = frame->GetSafeHwnd();
        pane = frame->GetValueGridPane();
        ASSERT_NE(pane, nullptr);
    }
    void TearDown() override
    {
        // The view's display jobs hold the frame's meter: the frame closes once they are done.
        tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
        if (::IsWindow(hwnd)) ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
        tarvenix::test::PumpUntil([&] { return !::IsWindow(hwnd); });
        PumpEvents();
    }
    CRDPLayer* Layer() { return frame->GetViewRect()->GetActiveView()->GetLayer(1); }

    tarvenix::test::TempDir dir;
    frame_test::NotifyWindow parent;
    CFrameViewer* frame = nullptr;
    HWND hwnd = nullptr;
    CValueGridPane* pane = nullptr;
};

TEST_F(ValueGridPaneTest, PictureViewHasNoLayerModeAndTableViewShowsTheSamples)
{
    EXPECT_FALSE(pane->IsLayerMode());
    pane->GoToCell(5, 6);
    EXPECT_EQ(pane->GetFocusPos(), CPoint(0, 0));

    frame->ShowTable();
    PumpEvents();
    ASSERT_TRUE(pane->IsLayerMode());
    CGridCtrl* grid = pane->GetGrid();
    EXPECT_EQ(grid->GetItemText(1 + 3, 1 + 7), CString("307"));  // x 7, y 3
    pane->GoToCell(20, 12);
    EXPECT_EQ(pane->GetFocusPos(), CPoint(20, 12));
    CString a, b, c;
    pane->OnTextViewRect(a, 256, b, 256, c, 256);
    EXPECT_NE(CString(a + b + c).Find("1220"), -1) << a << " | " << b << " | " << c;
}

TEST_F(ValueGridPaneTest, ProfilesOpenOnlyForDataCellsAndTheMenuGreysSaveRegionOffTheSelection)
{
    static std::vector<double> profile;
    static int profiles = 0;
    profiles = 0;
    GetRasterViewServices().showProfile = [](const RasterProfileRequest& r) -> BOOL {
        profile = r.values;
        ++profiles;
        return TRUE;
    };
    frame->ShowTable();
    pane->SetToolCursor(4);  // profile along X
    NotifyFromGrid(*pane, GVN_SELCHANGED, 1 + 2, 1 + 5);
    EXPECT_EQ(profiles, 1);
    ASSERT_EQ(profile.size(), 24u);
    EXPECT_EQ(profile[5], 205.0);                     // row y = 2
    NotifyFromGrid(*pane, GVN_SELCHANGED, 0, 1 + 5);  // the header row
    NotifyFromGrid(*pane, GVN_SELCHANGED, 1 + 2, 0);  // the header column
    EXPECT_EQ(profiles, 1);
    GetRasterViewServices().showProfile = nullptr;

    pane->GetGrid()->SetSelectedRange(2, 2, 3, 3);
    POINT at{10, 10};
    for (const auto& [row, selected] : {std::pair{9, false}, std::pair{2, true}}) {
        Responder().DismissPopupMenu();
        NotifyFromGrid(*pane, int(NM_RCLICK), row, 2, &at);
        const auto& items = Responder().Asked().back().popup.items;
        ASSERT_EQ(items.size(), 4u);
        EXPECT_EQ(items[0].text, CString("Save region"));
        EXPECT_EQ(items[0].enabled, selected) << row;
        EXPECT_TRUE(items[2].enabled);
    }
}

TEST_F(ValueGridPaneTest, EditsAndPastesGoToTheWorkingCopyAndReadBack)
{
    frame->ShowTable();
    PumpEvents();
    CVirtualView* view = frame->GetViewRect()->GetActiveView();
    EXPECT_FALSE(view->IsWorkingCopy());
    CGridCtrl* grid = pane->GetGrid();

    // The first edit makes the working copy; the text is written into it.
    ASSERT_TRUE(grid->EditCell(1 + 1, 1 + 2));
    EXPECT_TRUE(view->IsWorkingCopy());
    grid->GetInPlaceEdit()->SetWindowText("-12.5");
    grid->GetInPlaceEdit()->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Layer()->GetValue(2, 1), -12.5);

    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ASSERT_TRUE(platform::SetClipboardText("1.5\t2.5\r\nabc\t4\r\n"));
    ::CloseClipboard();
    pane->GoToCell(22, 14);
    frame->SendMessage(WM_COMMAND, ID_VIEWER_PASTE, 0);
    EXPECT_EQ(Layer()->GetValue(22, 14), 1.5);
    EXPECT_EQ(Layer()->GetValue(23, 14), 2.5);
    EXPECT_EQ(Layer()->GetValue(22, 15), 0.0);  // no number: 0
    EXPECT_EQ(Layer()->GetValue(23, 15), 4.0);
    EXPECT_EQ(grid->GetItemText(1 + 14, 1 + 23), CString("2.5"));
    // The file itself is untouched.
    CRDPLayer file;
    ASSERT_TRUE(file.OpenLayer(dir.File("a.rdp").c_str(), kOpenReadOnly));
    EXPECT_EQ(file.GetValue(22, 14), 1422.0);
    EXPECT_EQ(file.GetValue(2, 1), 102.0);
    file.CloseLayer();
    // Closing, the frame asks to save the changes.
    Responder().AnswerDialogCommand(IDNO);
    ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    tarvenix::test::PumpUntil([&] { return !::IsWindow(hwnd); });
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(ValueGridPaneTest, ColouredTableScreenshot)
{
    frame->SetWindowPos(nullptr, 0, 0, 640, 420, SWP_NOMOVE | SWP_NOZORDER);
    frame->ShowTable();
    pane->SetColorMode(1);
    pane->GoToCell(6, 4);
    pane->GetGrid()->SetSelectedRange(3, 3, 4, 5);
    PumpEvents();
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*pane), "value_grid_pane_coloured");
}

TEST_F(ValueGridPaneTest, FloatColumnsAreWideEnoughForTheirValuesAndTextContrastsWithItsCell)
{
    // A layer of floats with all their digits, from dark to light.
    const std::string floats = dir.File("floats.rdp");
    {
        CRDPLayer layer;
        ASSERT_NE(layer.CreateLayer(floats.c_str(), 12, 10, 7), nullptr);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) layer.SetValue(x, y, 0.28345678 + y * 1234.5678 + x * 0.001);
        ASSERT_TRUE(layer.CloseLayer());
    }
    frame_test::NotifyWindow other;
    CFrameViewer* viewer = frame_test::OpenViewer(floats, other);
    ASSERT_NE(viewer, nullptr);
    const HWND viewerHwnd = viewer->GetSafeHwnd();
    viewer->SetWindowPos(nullptr, 0, 0, 720, 380, SWP_NOMOVE | SWP_NOZORDER);
    viewer->ShowTable();
    CValueGridPane* floatsPane = viewer->GetValueGridPane();
    floatsPane->SetColorMode(1);
    PumpEvents();
    CGridCtrl* grid = floatsPane->GetGrid();
    const QImage image = tarvenix::test::GrabWindow(*floatsPane);
    tarvenix::test::SaveTestOutput(image, "value_grid_floats");

    CClientDC dc(grid);
    int widest = 0;
    for (int y = 0; y < 10; ++y)
        widest = std::max(widest, int(dc.GetTextExtent(grid->GetItemText(y + 1, 1)).cx));
    EXPECT_GT(grid->GetColumnWidth(1), widest) << "no value is cut short";
    EXPECT_LE(grid->GetColumnWidth(1), 200);

    // The darkest row is written in white, the lightest in black.
    CRect first, last;
    grid->GetCellRect(1, 1, &first);
    grid->GetCellRect(10, 1, &last);
    const auto textPixels = [&](const CRect& cell, QRgb colour) {
        int n = 0;
        for (int y = cell.top + 1; y < cell.bottom - 1; ++y)
            for (int x = cell.left + 1; x < cell.right - 1; ++x)
                n += (image.pixel(x, y) & 0xFFFFFF) == colour;
        return n;
    };
    EXPECT_GT(textPixels(first, 0xFFFFFF), 10);
    EXPECT_GT(textPixels(last, 0x000000), 10);
    if (::IsWindow(viewerHwnd)) ::SendMessage(viewerHwnd, frame_test::ControlMessage(), 1, 0);
    tarvenix::test::PumpUntil([&] { return !::IsWindow(viewerHwnd); });
}

}  // namespace
