// Faults a first use of the viewer met: stretches stored in the temporary folder, the load
// fault report, phase of other writers' complex files, and saving a region of a composite.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "platform/last_error.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "tests/viewer/core/temp_dir_setting.h"
#include "viewer/analysis/hist_trim_dlg.h"
#include "viewer/frame/frame_viewer_internal.h"
#include "viewer/core/raster_view_cache.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/virtual_view.h"

namespace fs = std::filesystem;
using frame_test::NotifyWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

namespace {

/// Destroys a viewer the test opened, when it is still there.
void CloseViewer(CFrameViewer* frame, HWND hwnd)
{
    if (::IsWindow(hwnd)) frame->CFrameWnd::DestroyWindow();
    PumpEvents();
}

/// An empty viewer that tells `parent`.
CFrameViewer* EmptyViewer(NotifyWindow& parent)
{
    ViewResultParam p;
    p.parent = &parent;
    return ViewerCreate(&p);
}

}  // namespace

TEST(ViewerStoredStretch, AStretchCachedInTheTemporaryFolderIsFoundAgain)
{
    // Where a cache goes when it cannot lie beside its file: the "TempDir" setting, or the
    // user's own cache folder without one.
    for (const bool withSetting : {true, false}) {
        SCOPED_TRACE(withSetting ? "TempDir set" : "the user's cache folder");
        TempDir dir, temp;
        std::optional<TempDirSetting> setting;
        if (withSetting) setting.emplace(temp.Path().string());
        const std::string folder = RasterCacheTempFolder();
        ASSERT_FALSE(folder.empty());
        if (!withSetting) EXPECT_NE(fs::path(folder), temp.Path());
        const std::string file = dir.File("scene.rdp");
        frame_test::MakeLayerFile(file);
        NotifyWindow parent;

        // A viewer with a range of the user's own leaves its cache; it is moved to the
        // temporary folder, under the name a view gives it there, as for a file in a
        // read-only folder.
        ViewResultParam p;
        p.parent = &parent;
        p.fileName = file.c_str();
        p.stretchLow = 120.0;
        p.stretchHigh = 900.0;
        p.stretchMethod = 3;
        CFrameViewer* first = ViewerCreate(&p);
        ASSERT_NE(first, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return !parent.received.empty(); }));
        CloseViewer(first, first->GetSafeHwnd());
        const auto names = RasterCacheNames(RasterCacheKey{file, 24, 16, 7, 0}, folder);
        ASSERT_TRUE(fs::exists(names[0]));
        ASSERT_NE(fs::path(names[1]).parent_path(), fs::path(names[0]).parent_path());
        fs::copy_file(names[0], names[1], fs::copy_options::overwrite_existing);
        fs::remove(names[0]);

        CFrameViewer* again = EmptyViewer(parent);
        ASSERT_NE(again, nullptr);
        const HWND hwnd = again->GetSafeHwnd();
        const std::size_t before = parent.received.size();
        again->LoadNewFileEx(CString(file), 0);
        ASSERT_TRUE(PumpUntil([&] { return parent.received.size() > before; }));
        CVirtualView* view = again->GetViewRect()->GetActiveView();
        ASSERT_NE(view, nullptr);
        EXPECT_DOUBLE_EQ(view->GetDisplayMin(1), 120.0);
        EXPECT_DOUBLE_EQ(view->GetDisplayMax(1), 900.0);
        CloseViewer(again, hwnd);
        fs::remove(names[1]);
    }
}

TEST(ViewerLoadFault, TheReportNamesWhatWasCaught)
{
    struct Case {
        const char* name;
        std::exception_ptr fault;
        std::string text;
    };
    const Case cases[] = {
        {"layer error", std::make_exception_ptr(new CRDPExcept(RDP_ERROR_PROCESS, "Error creating file !")),
         "Error creating file !"},
        {"no memory", std::make_exception_ptr(std::bad_alloc()), ErrorText(ERROR_NOT_ENOUGH_MEMORY).str()},
        {"library error", std::make_exception_ptr(std::runtime_error("The layer is damaged.")),
         "The layer is damaged."},
    };
    NotifyWindow parent;
    CFrameViewer* frame = EmptyViewer(parent);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Responder().Reset();
        Responder().AnswerMessageBox(IDOK);
        try {
            std::rethrow_exception(c.fault);
        } catch (...) {
            frame_files::ReportFault(*frame, &parent, 7);
        }
        ASSERT_EQ(Responder().Asked().size(), 1u);
        EXPECT_EQ(Responder().Asked()[0].caption, "Viewer");
        EXPECT_EQ(Responder().Asked()[0].text, CString(c.text));
        PumpEvents();
        EXPECT_EQ(parent.received.back(), std::make_pair(7, 3)) << "the load is reported failed";
    }
    CloseViewer(frame, hwnd);
}

namespace {

void Put32(std::vector<unsigned char>& b, std::size_t at, std::int32_t v)
{
    std::memcpy(b.data() + at, &v, 4);
}

/// A 4 x 3 C64 layer file laid out byte by byte as another writer lays it out: a version 2
/// file, a chain of descriptor, samples, the main statistics (key 2) and, when `phaseBlock`,
/// the phase statistics (key 3) with the given range. The unread field at +0 of each
/// statistics block holds 0, as other writers leave it.
std::string WriteForeignComplexFile(const std::string& path, bool phaseBlock, double phaseLow = -3.0,
                                    double phaseHigh = 3.0)
{
    constexpr int kWidth = 4, kHeight = 3, kStats = 1064;
    const std::size_t samples = kWidth * kHeight * 8;
    const std::size_t header0 = 12, header1 = 24, header2 = 36, header3 = 48;
    const std::size_t descriptor = 60, data = descriptor + 24, stats = data + 4 + samples;
    const std::size_t phase = stats + kStats;
    std::vector<unsigned char> b(phase + (phaseBlock ? kStats : 0) + 4, 0);
    std::memcpy(b.data(), "RDPR", 4);
    Put32(b, 4, 2);
    const std::size_t chain[][3] = {{header0, 0, descriptor}, {header1, 1, data}, {header2, 2, stats}};
    for (const auto& link : chain) {
        Put32(b, link[0], std::int32_t(link[1]));
        Put32(b, link[0] + 4, std::int32_t(link[2]));
        Put32(b, link[0] + 8, std::int32_t(link[0] + 12));
    }
    if (phaseBlock) {
        Put32(b, header3, 3);
        Put32(b, header3 + 4, std::int32_t(phase));
    } else {
        Put32(b, header2 + 8, 0);
    }
    Put32(b, descriptor + 4, kWidth);
    Put32(b, descriptor + 8, kHeight);
    Put32(b, descriptor + 12, 9);
    Put32(b, data, std::int32_t(samples));
    double ampMax = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const float re = float(i % kWidth) - 1.5f, im = float(i / kWidth) - 1.0f;
        std::memcpy(b.data() + data + 4 + 8 * i, &re, 4);
        std::memcpy(b.data() + data + 4 + 8 * i + 4, &im, 4);
        ampMax = std::max(ampMax, std::hypot(double(re), double(im)));
    }
    auto putStats = [&](std::size_t at, double low, double high) {
        const double deviation = (high - low) / 4, mean = (low + high) / 2;
        std::memcpy(b.data() + at + 8, &low, 8);
        std::memcpy(b.data() + at + 16, &high, 8);
        std::memcpy(b.data() + at + 24, &deviation, 8);
        std::memcpy(b.data() + at + 32, &mean, 8);
        Put32(b, at + 40, kWidth * kHeight);  // every sample in the first counter
    };
    putStats(stats, 0.5, ampMax);
    if (phaseBlock) putStats(phase, phaseLow, phaseHigh);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return path;
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace

TEST(ViewerPhase, OtherWritersComplexFilesShowTheirPhase)
{
    struct Case {
        const char* name;
        bool phaseBlock;
        double low, high;  // the phase range shown
    };
    // The samples' phases run from atan2(-1, -1.5) to that of (-1.5, 0), pi.
    const double computedLow = std::atan2(-1.0, -1.5), computedHigh = std::atan2(0.0, -1.5);
    const Case cases[] = {
        {"main and phase statistics", true, -2.5, 2.75},
        {"main statistics only", false, computedLow, computedHigh},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file =
            WriteForeignComplexFile(dir.File("foreign.rdp"), c.phaseBlock, c.low, c.high);
        NotifyWindow parent;

        // "Open as: Phase".
        ViewResultParam p;
        p.parent = &parent;
        p.notifyId = 1;
        p.fileName = file.c_str();
        p.component = 1;
        p.stretchMethod = 3;
        p.stretchLow = -10.0;
        p.stretchHigh = 10.0;
        Responder().Reset();
        CFrameViewer* frame = ViewerCreate(&p);
        ASSERT_NE(frame, nullptr);
        const HWND hwnd = frame->GetSafeHwnd();
        ASSERT_TRUE(PumpUntil([&] { return !parent.received.empty(); }));
        EXPECT_EQ(parent.received.back().second, 2) << "shown";
        EXPECT_TRUE(Responder().Asked().empty()) << "no error box";
        EXPECT_EQ(frame->GetComplexMode(1), 1);
        EXPECT_NEAR(frame->Min(1), c.low, 1e-6);
        EXPECT_NEAR(frame->Max(1), c.high, 1e-6);
        CloseViewer(frame, hwnd);

        // View > Complex > Argument on the image opened by amplitude.
        parent.received.clear();
        frame = frame_test::OpenViewer(file, parent);
        ASSERT_NE(frame, nullptr);
        const HWND second = frame->GetSafeHwnd();
        ASSERT_EQ(frame->GetComplexMode(1), 0);
        const std::size_t before = parent.received.size();
        ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_COMPLEX_ARGUMENT));
        PumpUntil([&] { return parent.received.size() > before && frame->GetComplexMode(1) == 1; });
        EXPECT_EQ(frame->GetComplexMode(1), 1);
        EXPECT_NEAR(frame->Min(1), c.low, 1e-6);
        EXPECT_NEAR(frame->Max(1), c.high, 1e-6);
        CloseViewer(frame, second);
    }
}

TEST(ViewerHistogramTrimming, AfterAnEditTheDialogWaitsForTheNewStatistics)
{
    TempDir dir;
    const std::string file = dir.File("scene.rdp");
    frame_test::MakeLayerFile(file);  // values 0 .. 1523
    NotifyWindow parent;
    CFrameViewer* frame = frame_test::OpenViewer(file, parent);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    CVirtualView* view = frame->GetViewRect()->GetActiveView();
    ASSERT_TRUE(view->MakeWorkingCopy());
    ASSERT_TRUE(view->GetLayer(1)->SetValue(3, 2, 5000.0));
    ::SendMessage(hwnd, WM_DLGMESSAGE, 8, 0);  // the grid's edit report

    double shownMaximum = 0;
    Responder().Reset();
    Responder().AnswerDialogCommand(IDCANCEL).Doing(
        [&](CWnd& window) { shownMaximum = dynamic_cast<CHistTrimDlg&>(window).GetChannelSlot(1)->maximum; });
    ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, ID_VIEWER_HIST_TRIMMING));
    ASSERT_TRUE(PumpUntil([&] { return Responder().Unused() == 0; }));
    EXPECT_EQ(shownMaximum, 5000.0);
    PumpUntil([] { return GetRunningThreadCount() == 0; });
    CloseViewer(frame, hwnd);
}

TEST(ViewerZoomPane, FitAndTheZoomCommandsShowTheNewZoomAtOnce)
{
    TempDir dir;
    const std::string file = dir.File("wide.rdp");
    frame_test::MakeLayerFile(file, 3000, 40);
    NotifyWindow parent;
    CFrameViewer* frame = frame_test::OpenViewer(file, parent);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    CViewRect* view = frame->GetViewRect();
    view->RealScale();
    PumpEvents();
    for (UINT command : {ID_VIEWER_FIT_WINDOW, ID_VIEWER_ZOOM_IN_NOW, ID_VIEWER_REAL_SIZE}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(tarvenix::test::ClickCommand(*frame, command));
        PumpEvents();
        CString expected;
        expected.Format("%d %%", int(std::lround(100.0 / view->GetScale())));
        EXPECT_EQ(frame->GetStatusBar()->GetPaneText(0), expected);
    }
    CloseViewer(frame, hwnd);
}
