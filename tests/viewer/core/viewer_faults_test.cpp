// Faults a first use of the viewer met: stretches stored in the temporary folder, the load
// fault report, phase of other writers' complex files, and saving a region of a composite.

#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "platform/last_error.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/core/frame_test_support.h"
#include "viewer/core/frame_viewer_internal.h"
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

class TempDirSetting {
public:
    explicit TempDirSetting(const std::string& folder)
    {
        SetStringValue("\\Settings\\General", "TempDir", folder.c_str());
    }
    ~TempDirSetting() { SetStringValue("\\Settings\\General", "TempDir", ""); }
};

}  // namespace

TEST(ViewerStoredStretch, AStretchCachedInTheTemporaryFolderIsFoundAgain)
{
    TempDir dir, temp;
    TempDirSetting setting(temp.Path().string());
    const std::string file = dir.File("scene.rdp");
    frame_test::MakeLayerFile(file);
    NotifyWindow parent;

    // A viewer with a range of the user's own leaves its cache; it goes to the temporary
    // folder, under the name a view gives it there, as for a file in a read-only folder.
    ViewResultParam p;
    p.parent = &parent;
    p.fileName = file.c_str();
    p.stretchLow = 120.0;
    p.stretchHigh = 900.0;
    p.stretchMethod = 3;
    CFrameViewer* first = ViewerCreate(&p);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !parent.received.empty(); }));
    const HWND firstHwnd = first->GetSafeHwnd();
    CloseViewer(first, firstHwnd);
    const auto names = RasterCacheNames(RasterCacheKey{file, 24, 16, 7, 0}, temp.Path().string());
    ASSERT_TRUE(fs::exists(names[0]));
    fs::rename(names[0], names[1]);

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
