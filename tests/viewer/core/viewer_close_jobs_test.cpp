// Closing a viewer while a job it started still runs: the export into a bitmap, region
// statistics, histograms of the layer and of a region, and saves of parts, of a single
// layer and of a composite. Nothing may touch the freed viewer (the suite runs under the
// address sanitizer, with leak checks), and every file a job writes is whole or absent.

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/thread_runner.h"
#include "platform/gdi/region.h"
#include "tests/support/dialog_helpers.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/rgb_channels_dlg.h"
#include "viewer/analysis/stats_grid_resources.h"
#include "viewer/analysis/statistics_dlg.h"
#include "viewer/core/view_rect.h"

namespace fs = std::filesystem;
using frame_test::NotifyWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;
using tarvenix::test::TopLevelOf;

namespace {

/// A width x height F32 layer of a ramp, written row by row (fast enough for large files).
void MakeLargeLayer(const std::string& path, int width, int height)
{
    CRDPLayer layer;
    ASSERT_NE(layer.CreateLayer(path.c_str(), width, height, 7), nullptr);
    void** rows = layer.GetRows();
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<float*>(rows[y]);
        for (int x = 0; x < width; ++x) row[x] = float((x + 3 * y) % 997);
    }
    ASSERT_TRUE(layer.CloseLayer());
}

/// Closes every viewer the jobs opened afterwards (a saved region opens in a new one).
void CloseLeftViewers()
{
    std::vector<HWND> left;
    for (CFrameViewer* viewer : TopLevelOf<CFrameViewer>()) left.push_back(viewer->GetSafeHwnd());
    for (HWND hwnd : left)
        if (::IsWindow(hwnd)) CWnd::FromHandlePermanent(hwnd)->DestroyWindow();
    PumpEvents();
}

class CloseDuringJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        Responder().Reset();
        file = dir.File("large.rdp");
        MakeLargeLayer(file, kSide, kSide);
    }
    void TearDown() override
    {
        ASSERT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; })) << "every job ends";
        PumpEvents();
        CloseLeftViewers();
    }

    CFrameViewer* Open(const std::string& path)
    {
        CFrameViewer* frame = frame_test::OpenViewer(path, parent);
        if (frame) hwnd = frame->GetSafeHwnd();
        return frame;
    }
    void Select(CFrameViewer& frame)
    {
        HRGN region = ::CreateRectRgn(10, 20, kSide - 10, kSide - 20);
        frame.GetViewRect()->SetSelection(region);
        ::DeleteObject(region);
    }
    /// The user closes the viewer: nothing is pending, so it goes at once.
    void Close()
    {
        ASSERT_TRUE(::IsWindow(hwnd));
        ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
        EXPECT_FALSE(::IsWindow(hwnd)) << "the viewer closes without waiting for its jobs";
    }

    static constexpr int kSide = 1400;
    TempDir dir;
    NotifyWindow parent;
    std::string file;
    HWND hwnd = nullptr;
};

/// A file a job wrote: absent, or a whole file of `bytes` bytes.
void ExpectWholeOrAbsent(const std::string& path, std::uintmax_t bytes)
{
    std::error_code ec;
    if (!fs::exists(path, ec)) return;
    EXPECT_EQ(fs::file_size(path, ec), bytes) << path;
}

}  // namespace

TEST_F(CloseDuringJob, ExportIntoABitmap)
{
    CFrameViewer* frame = Open(file);
    ASSERT_NE(frame, nullptr);
    const std::string bmp = dir.File("picture.bmp");
    Responder().AnswerFile({CString(bmp.c_str())});
    ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_EXPORT_BMP));
    Close();
    ASSERT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
    ExpectWholeOrAbsent(bmp, 54 + std::uintmax_t(kSide) * 3 * kSide);
}

TEST_F(CloseDuringJob, RegionStatisticsAndTheRegionsHistogram)
{
    for (bool histogram : {false, true}) {
        SCOPED_TRACE(histogram ? "the region's histogram" : "region statistics");
        CFrameViewer* frame = Open(file);
        ASSERT_NE(frame, nullptr);
        Select(*frame);
        ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_REGION_STATISTICS));
        if (histogram) {
            // The statistics are shown; its Histogram button counts the region in a job.
            ASSERT_TRUE(PumpUntil([] {
                const auto dialogs = TopLevelOf<CStatisticsDlg>();
                return !dialogs.empty() && dialogs.front()->IsWindowVisible();
            }));
            CStatisticsDlg* dlg = TopLevelOf<CStatisticsDlg>().front();
            dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_HISTOGRAM, BN_CLICKED), 0);
        }
        Close();
        ASSERT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
        PumpEvents();
        EXPECT_TRUE(TopLevelOf<CStatisticsDlg>().empty()) << "the viewer's dialogs go with it";
    }
}

TEST_F(CloseDuringJob, TheLayersHistogram)
{
    CFrameViewer* frame = Open(file);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_HISTOGRAM));
    Close();
}

TEST_F(CloseDuringJob, SaveRegion)
{
    CFrameViewer* frame = Open(file);
    ASSERT_NE(frame, nullptr);
    Select(*frame);
    const std::string part = dir.File("part.rdp");
    Responder().AnswerFile({CString(part.c_str())});
    ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_SAVE_REGION));
    Close();
    ASSERT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
    CRDPLayer saved;
    if (fs::exists(part)) {
        ASSERT_NE(saved.OpenLayer(part.c_str(), kOpenReadOnly), nullptr);
        EXPECT_EQ(saved.Width(), kSide - 20);
        EXPECT_EQ(saved.Height(), kSide - 40);
    }
}

TEST_F(CloseDuringJob, ExportAndSaveRegionOfAComposite)
{
    const std::string channels[3] = {file, dir.File("green.rdp"), dir.File("blue.rdp")};
    fs::copy_file(file, channels[1]);
    fs::copy_file(file, channels[2]);
    for (bool save : {false, true}) {
        SCOPED_TRACE(save ? "save region" : "export");
        CFrameViewer* frame = Open(file);
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(frame_test::ShowComposite(*frame, parent, channels));
        const std::string outputs[3] = {dir.File("r_part.rdp"), dir.File("g_part.rdp"),
                                        dir.File("b_part.rdp")};
        const std::string bmp = dir.File("composite.bmp");
        if (save) {
            Select(*frame);
            Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
                auto& dlg = dynamic_cast<CRGBChannelsDlg&>(window);
                for (int slot = 0; slot < 3; ++slot) {
                    Responder().AnswerFile({CString(outputs[slot].c_str())});
                    CInFileCtrl& picker = dlg.m_pickers[slot];
                    CWnd* browse = picker.GetDlgItem(CInFileCtrl::kBrowseId);
                    picker.SendMessage(WM_COMMAND, MAKEWPARAM(CInFileCtrl::kBrowseId, BN_CLICKED),
                                       reinterpret_cast<LPARAM>(browse->GetSafeHwnd()));
                }
            });
            ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_SAVE_REGION));
        } else {
            Responder().AnswerFile({CString(bmp.c_str())});
            ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_EXPORT_BMP));
        }
        Close();
        ASSERT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
        if (!save) ExpectWholeOrAbsent(bmp, 54 + std::uintmax_t(kSide) * 3 * kSide);
    }
}
