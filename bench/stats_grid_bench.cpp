// Region statistics against plain passes over the same samples, and the value grid's
// scrolling and binding against one display frame.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/plain_pass.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/gdi/span_region.h"
#include "platform/window/messages.h"
#include "platform/window/wnd.h"
#include "viewer/analysis/region_statistics.h"

namespace {

volatile double g_sink;

/// Sums every part of every sample of the region's rows as doubles, rows shared among all cores.
double PlainPass(const CRDPLayer& layer, const platform::SpanRegion& region)
{
    const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
    const RECT box = region.Bounds();
    std::vector<double> sums(size_t(threads), 0.0);
    std::atomic<int> next{box.top};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            visitSampleType(layer.Type(), [&]<class T>(Tag<T>) {
                using P = PartType<T>;
                constexpr int k = IsComplex<T> ? 2 : 1;
                double sum = 0;
                for (int y; (y = next.fetch_add(16)) < box.bottom;)
                    for (int r = y; r < std::min(y + 16, int(box.bottom)); ++r) {
                        const P* p = static_cast<const P*>(layer.GetRows()[r]);
                        for (const platform::Span& s : region.RowSpans(r))
                            sum += SumOf(p + std::int64_t(s.x0) * k, std::int64_t(s.x1 - s.x0) * k);
                    }
                sums[size_t(t)] = sum;
            });
        });
    for (auto& t : pool) t.join();
    double total = 0;
    for (double s : sums) total += s;
    return total;
}

double RegionStats(const CRDPLayer& layer, const platform::SpanRegion& region)
{
    RegionStatistics out;
    const RegionSource source{const_cast<const void* const*>(layer.GetRows()), layer.Type(), layer.Width(),
                              layer.Height()};
    ComputeRegionStatistics(source, region, out, 0);
    return out.meanMoments[0][0][2];
}

/// A star of 4000 points over about half of a side x side layer.
platform::SpanRegion Star(int side)
{
    std::vector<POINT> points;
    const double c = side / 2.0;
    for (int i = 0; i < 4000; ++i) {
        const double a = 2 * M_PI * i / 4000.0, r = (i % 2 ? 0.48 : 0.36) * side;
        points.push_back({int(c + r * std::cos(a)), int(c + r * std::sin(a))});
    }
    return platform::SpanRegion::FromPolygon(points, platform::FillRule::Alternate);
}

const bool kWhole = RegisterBench("region-stats-f32-16k", "plain-pass", [](BenchContext& ctx) {
    CRDPLayer& layer = SharedLayer(ctx, 16384, 16384, 7);
    const auto region = platform::SpanRegion::FromRect(0, 0, 16384, 16384);
    const Timing plain = Measure([&] { g_sink = PlainPass(layer, region); });
    const Timing work = Measure([&] { g_sink = RegionStats(layer, region); });
    return BenchTimes{work.wall, plain.wall, work.cpu, plain.cpu};
});

const bool kPolygon = RegisterBench("region-stats-polygon-f32-16k", "plain-pass", [](BenchContext& ctx) {
    CRDPLayer& layer = SharedLayer(ctx, 16384, 16384, 7);
    static const platform::SpanRegion region = Star(16384);
    const Timing plain = Measure([&] { g_sink = PlainPass(layer, region); });
    const Timing work = Measure([&] { g_sink = RegionStats(layer, region); });
    return BenchTimes{work.wall, plain.wall, work.cpu, plain.cpu};
});

const bool kComplex = RegisterBench("region-stats-c64-8k", "stats-c64-8k", [](BenchContext& ctx) {
    CRDPLayer& layer = SharedLayer(ctx, 8192, 8192, 9);
    const auto region = platform::SpanRegion::FromRect(0, 0, 8192, 8192);
    BenchTimes t;
    t.referenceSeconds = Seconds([&] { layer.StatisticCountRect(nullptr); });
    t.seconds = Seconds([&] { g_sink = RegionStats(layer, region); });
    return t;
});

/// A 1920 x 1080 window whose client is the grid.
struct GridWindow {
    CWnd host;
    CGridCtrl grid;
    GridWindow()
    {
        host.CreateEx(0, AfxRegisterWndClass(0), "Grid", WS_OVERLAPPED, CRect(0, 0, 1920, 1080), nullptr, 0);
        CRect client;
        host.GetClientRect(&client);
        grid.Create(client, &host, 100, WS_CHILD | WS_VISIBLE);
        host.ShowWindow(SW_SHOW);
    }
    void Repaint() { grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
};

GridWindow& SharedGrid(CRDPLayer& layer)
{
    static GridWindow* window = nullptr;
    if (!window) {
        window = new GridWindow;  // lives for the run
        window->grid.InitLayerMode(layer.GetRows(), layer.Type(), kReal, layer.Width(), layer.Height());
    }
    return *window;
}

const bool kScroll = RegisterBench("grid-scroll-16k", "display-frame", [](BenchContext& ctx) {
    CRDPLayer& layer = SharedLayer(ctx, 16384, 16384, 7);
    GridWindow& w = SharedGrid(layer);
    const Timing t = Measure([&] {
        w.grid.SendMessage(WM_KEYDOWN, VK_NEXT, 0);
        w.Repaint();
        w.grid.EnsureVisibleInCenter(8193, 8193);
        w.Repaint();
        w.grid.EnsureVisibleInCenter(12001, 3001);
        w.grid.SetFocusCell(12001, 3001);
        w.Repaint();
    });
    return BenchTimes{t.wall, 1.0 / 60.0, t.cpu, 1.0 / 60.0};
});

const bool kBind = RegisterBench("grid-bind-16k", "display-frame", [](BenchContext& ctx) {
    CRDPLayer& layer = SharedLayer(ctx, 16384, 16384, 7);
    GridWindow& w = SharedGrid(layer);
    const Timing t = Measure([&] {
        w.grid.SetLayerMode(0);
        w.grid.InitLayerMode(layer.GetRows(), layer.Type(), kReal, layer.Width(), layer.Height());
        w.grid.AutoSizeColumn(0);
        w.Repaint();
    });
    return BenchTimes{t.wall, 1.0 / 60.0, t.cpu, 1.0 / 60.0};
});

// A line down and a line right from the same place, each shown at once (per scroll): the
// picture shifts and only the uncovered cells are drawn.
const bool kLineScroll = RegisterBench("grid-line-scroll-16k", "display-frame", [](BenchContext& ctx) {
    CRDPLayer& layer = SharedLayer(ctx, 16384, 16384, 7);
    GridWindow& w = SharedGrid(layer);
    w.grid.EnsureVisibleInCenter(4001, 4001);
    w.Repaint();
    const Timing scrolls = Measure([&] {
        w.grid.SendMessage(WM_VSCROLL, SB_LINEDOWN, 0);
        w.grid.UpdateWindow();
        w.grid.SendMessage(WM_HSCROLL, SB_LINERIGHT, 0);
        w.grid.UpdateWindow();
    });
    // CPU time against a frame as well: what a scroll costs the machine, however busy it is.
    return BenchTimes{scrolls.wall / 2, 1.0 / 60.0, scrolls.cpu / 2, 1.0 / 60.0};
});

}  // namespace
