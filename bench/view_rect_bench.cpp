// Speed of the view window on a 16384 x 16384 F32 layer in a full-HD window: a whole
// repaint from the pyramid at several zooms, a line scroll (shift plus the uncovered strip)
// and a zoom step at the mouse, each against one display frame at 60 Hz.

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_registry.h"
#include "platform/window/wnd.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr int kSide = 16384;
constexpr double kFrame = 1.0 / 60.0;

class Host : public CWnd {
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

BEGIN_MESSAGE_MAP(Host, CWnd)
    ON_MESSAGE(WM_VIEWER, OnViewer)
END_MESSAGE_MAP()

// One window on the layer for every measurement, opened on first use.
struct Window {
    explicit Window(BenchContext& ctx)
    {
        const std::string path = ctx.Layer(kSide, kSide, 7);
        host.CreateEx(0, nullptr, "bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1920, 1080), nullptr, 0);
        view.Create(&host);
        view.MoveWindow(0, 0, 1920, 1080);
        if (view.AddTransformedLayer(path.c_str(), 0, 0.0, 0.0, 0, 0, nullptr, nullptr) < 0) Fail(path);
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!host.shown && !host.failed && std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents();
        if (!host.shown) Fail(path);
        QCoreApplication::processEvents();
    }
    [[noreturn]] static void Fail(const std::string& path)
    {
        std::fprintf(stderr, "view window bench: cannot show %s\n", path.c_str());
        std::exit(1);
    }
    /// Places the picture's middle in the window at `scale` (0: fitted) and paints.
    void Show(double scale)
    {
        if (scale == 0.0) {
            view.FitToWindow();
        } else {
            view.RealScale();
            view.SetScale(scale);
            view.CenterOn(kSide / 2, kSide / 2);
        }
        Repaint();
    }
    /// A whole repaint read from the pyramid (the view's cached rendering dropped first).
    void Repaint()
    {
        view.DropRendering();
        view.Invalidate(FALSE);
        view.UpdateWindow();
    }

    Host host;
    CViewRect view;
};

Window& Shared(BenchContext& ctx)
{
    // Kept to the end of the process: its widgets must not outlive the application object.
    static Window* window = new Window(ctx);
    return *window;
}

bool RegisterRepaint(const char* name, double scale)
{
    return RegisterBench(name, "display-frame", [scale](BenchContext& ctx) {
        Window& w = Shared(ctx);
        w.Show(scale);
        return BenchTimes{Seconds([&] { w.Repaint(); }), kFrame};
    });
}

const bool kRepaints =
    RegisterRepaint("repaint-1080p-zfit", 0.0) && RegisterRepaint("repaint-1080p-z1", 1.0) &&
    RegisterRepaint("repaint-1080p-z0.25", 0.25) && RegisterRepaint("repaint-1080p-z3", 3.0);

// One line to the right and back: two scrolls, each a shift and the strip it uncovers.
const bool kScroll = RegisterBench("scroll-1080p", "display-frame", [](BenchContext& ctx) {
    Window& w = Shared(ctx);
    w.Show(1.0);
    const double seconds = Seconds([&] {
        w.view.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
        w.view.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINELEFT, 0), 0);
    });
    return BenchTimes{seconds / 2, kFrame};
});

// One step in and one out at the mouse, each with its repaint.
const bool kZoomStep = RegisterBench("zoom-step-1080p", "display-frame", [](BenchContext& ctx) {
    Window& w = Shared(ctx);
    w.Show(1.0);
    // At the middle of the window, so that repeated steps stay on the same place.
    w.view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(960, 540));
    const double seconds = Seconds([&] {
        w.view.ZoomIn();
        w.view.ZoomOut();
    });
    return BenchTimes{seconds / 2, kFrame};
});

}  // namespace
