// Speed of the profile graph and the pixel stretch against one display frame at 60 Hz: a
// full-HD 32-bit picture stretched from a 1000 x 600 source (its colour bytes), one redraw
// of a 100000-sample curve in an 800 x 400 view at full range and at 1 %, and a line step.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/bench_registry.h"
#include "platform/window/messages.h"
#include "platform/window/wnd.h"
#include "viewer/analysis/pixel_stretch.h"
#include "viewer/analysis/profile_view.h"

namespace {

constexpr double kFrame = 1.0 / 60.0;
constexpr int kSamples = 100000;

const bool kStretch = RegisterBench("stretch-rows-1080p", "display-frame", [](BenchContext&) {
    std::vector<BYTE> source(std::size_t(1000) * 600 * 4);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = BYTE(i * 2654435761u >> 24);
    std::vector<BYTE> target(std::size_t(1920) * 1080 * 4);
    const double seconds = Seconds([&] {
        StretchColourPixels({target.data(), 1920, 1080, 4, 1920 * 4}, {source.data(), 1000, 600, 4, 4000});
    });
    return BenchTimes{seconds, kFrame};
});

// One 800 x 400 view holding the curve, made on first use.
struct Graph {
    CWnd host;
    CProfileView view;
    Graph()
    {
        host.CreateEx(0, nullptr, "bench", WS_POPUP | WS_VISIBLE, CRect(0, 0, 820, 420), nullptr, 0);
        view.Create(&host, 1);
        view.MoveWindow(0, 0, 820, 420);
        view.InitDrawing();
        std::vector<double> values(kSamples);
        for (int i = 0; i < kSamples; ++i) values[std::size_t(i)] = std::sin(i / 50.0) * 100 + (i % 97);
        view.SetProfile(values.data(), kSamples, RGB(255, 128, 255));
    }
    void ZoomToOnePercent()
    {
        const ProfileRange& f = view.FullRange();
        const double mid = (f.xMin + f.xMax) / 2, span = (f.xMax - f.xMin) / 100;
        view.SetRange(mid - span / 2, mid + span / 2, f.yMin, f.yMax);
    }
};

Graph& TheGraph()
{
    // Kept to the end of the process: the window may not outlive the application object.
    static Graph* graph = new Graph;
    return *graph;
}

const bool kRedraw = RegisterBench("profile-redraw-100k", "display-frame", [](BenchContext&) {
    Graph& g = TheGraph();
    g.view.FitToWindow();
    const double full = Seconds([&] { g.view.Redraw(FALSE); });
    g.ZoomToOnePercent();
    const double zoomed = Seconds([&] { g.view.Redraw(FALSE); });
    return BenchTimes{std::max(full, zoomed), kFrame};
});

const bool kScroll = RegisterBench("profile-scroll-100k", "display-frame", [](BenchContext&) {
    Graph& g = TheGraph();
    g.ZoomToOnePercent();
    const double seconds = Seconds([&] { g.view.SendMessage(WM_HSCROLL, SB_LINERIGHT, 0); });
    return BenchTimes{seconds, kFrame};
});

}  // namespace
