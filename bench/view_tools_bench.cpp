// Speed of the view window's export and of the RGB composite: a 16384 x 16384 picture
// written as a 24-bit bitmap file against one plain pass writing 3 bytes a pixel to a file
// of that size, and a whole repaint of a full-HD window of a composite of three 8192 x 8192
// channels against one display frame at 60 Hz, and one step of a free-hand selection's
// moving outline against the same frame.

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "platform/gdi/region.h"
#include "platform/kernel/atomic_file.h"
#include "platform/window/wnd.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr double kFrame = 1.0 / 60.0;

class ToolsHost : public CWnd {
public:
    int shown = 0, failed = 0;

protected:
    LRESULT OnViewer(WPARAM wParam, LPARAM lParam)
    {
        delete reinterpret_cast<CViewNotify*>(wParam);
        if (lParam == kViewerShown) ++shown;
        if (lParam == kViewerFailed) ++failed;
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ToolsHost, CWnd)
    ON_MESSAGE(WM_VIEWER, OnViewer)
END_MESSAGE_MAP()

struct ToolsWindow {
    ToolsWindow()
    {
        host.CreateEx(0, nullptr, "bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1920, 1080), nullptr, 0);
        view.Create(&host);
        view.MoveWindow(0, 0, 1920, 1080);
    }
    void Wait(const std::string& what)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!host.shown && !host.failed && std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents();
        if (!host.shown) {
            std::fprintf(stderr, "view tools bench: cannot show %s\n", what.c_str());
            std::exit(1);
        }
        QCoreApplication::processEvents();
    }
    ToolsHost host;
    CViewRect view;
};

constexpr int kSide = 16384;

// The window showing the 16384 x 16384 picture, opened once for the benches that use it.
ToolsWindow& LargePicture(BenchContext& ctx)
{
    static ToolsWindow* w = nullptr;
    if (!w) {
        w = new ToolsWindow;
        const std::string path = ctx.Layer(kSide, kSide, 7);
        w->view.AddTransformedLayer(path.c_str(), 0, 0.0, 0.0, 0, 0, nullptr, nullptr);
        w->Wait(path);
    }
    return *w;
}

const bool kExport = RegisterBench("export-bmp-16k", "plain-pass", [](BenchContext& ctx) {
    ToolsWindow* w = &LargePicture(ctx);
    const std::string out = ctx.File("export.bmp"), plain = ctx.File("plain.bin");
    const double seconds =
        Seconds([&] { WriteBmpFile(w->view.GetActiveView(), kSide, kSide, out.c_str(), nullptr); });
    // The reference: the same bytes written row by row through the same writer.
    const std::uint64_t stride = BmpStride(kSide);
    std::vector<BYTE> row(stride, 0x5A);
    const double reference = Seconds([&] {
        platform::AtomicFile file;
        file.Create(plain.c_str());
        file.Write(row.data(), 54);
        for (int y = 0; y < kSide; ++y) file.Write(row.data(), stride);
        file.Commit();
    });
    return BenchTimes{seconds, reference};
});

// One step of the moving outline of a free-hand selection of 5000 points, drawn in the
// window at 1:1: a wavy loop around the centre of the picture that the window shows.
const bool kOutline = RegisterBench("outline-freehand", "display-frame", [](BenchContext& ctx) {
    ToolsWindow& w = LargePicture(ctx);
    static bool selected = false;
    if (!selected) {
        w.view.CenterOn(kSide / 2, kSide / 2);
        constexpr int kPoints = 5000;
        std::vector<POINT> points(kPoints);
        for (int i = 0; i < kPoints; ++i) {
            const double t = 2.0 * 3.14159265358979 * i / kPoints;
            const double r = 420.0 + 60.0 * std::sin(37.0 * t) + 15.0 * std::sin(211.0 * t);
            points[std::size_t(i)] =
                POINT{LONG(kSide / 2 + r * std::cos(t)), LONG(kSide / 2 + r * std::sin(t))};
        }
        HRGN region = CreatePolygonRgn(points.data(), kPoints, ALTERNATE);
        w.view.SetSelection(region);
        DeleteObject(region);
        selected = true;
        if (!w.view.IsOutlineRunning()) {
            std::fprintf(stderr, "view tools bench: the free-hand selection has no outline\n");
            std::exit(1);
        }
    }
    // The outline's own thread (idle priority) draws beside the bench and may hold the
    // outline's lock when the machine is busy: the fastest of ten steps is the step's cost.
    double best = 1e9;
    for (int i = 0; i < 10; ++i) best = std::min(best, Seconds([&] { w.view.StepOutline(); }));
    return BenchTimes{best, kFrame};
});

const bool kRgbRepaint = RegisterBench("rgb-repaint-1080p", "display-frame", [](BenchContext& ctx) {
    static ToolsWindow* w = nullptr;
    if (!w) {
        w = new ToolsWindow;
        const std::string path = ctx.Layer(8192, 8192, 7);
        ViewResultParam p[3];
        for (auto& c : p) c.fileName = path.c_str();
        w->view.AddRgbLayer(&p[0], &p[1], &p[2], nullptr, nullptr);
        w->Wait(path);
        w->view.CenterOn(4096, 4096);
    }
    return BenchTimes{Seconds([&] {
                          w->view.DropRendering();
                          w->view.Invalidate(FALSE);
                          w->view.UpdateWindow();
                      }),
                      kFrame};
});

}  // namespace
