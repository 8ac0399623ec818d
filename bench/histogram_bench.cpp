// The histogram window on a 16384 x 16384 F32 layer: show to drawn histogram against the
// layer's own counting, one drawing pass of 8192 bins against a display frame, and the
// value search against one plain pass over the samples.

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/plain_pass.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/window/wnd.h"
#include "viewer/analysis/find_value.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/hist_view.h"
#include "viewer/frame/frame_viewer.h"
#include "viewer/frame/viewer_functions.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr int kSide = 16384;
constexpr double kFrame = 1.0 / 60.0;
volatile double g_sink;

class Host : public CWnd {
public:
    int reports = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_VIEWER && (lParam == 2 || lParam == 3)) ++reports;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

template <class F>
bool PumpUntil(F&& done)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    while (!done() && std::chrono::steady_clock::now() < until) QCoreApplication::processEvents();
    return done();
}

/// The layer with its statistics, opened once and closed when the measurements end.
CRDPLayer& OpenLayer(BenchContext& ctx)
{
    CRDPLayer& layer = SharedLayer(ctx, kSide, kSide, 7);
    if (!layer.StatsReady()) layer.StatisticCountRect(nullptr);
    return layer;
}

/// One viewer with its histogram window, opened once; its statistics are ready after the first show.
struct Viewer {
    Host host;
    CFrameViewer* frame = nullptr;
    CHistFrame* hist = nullptr;

    explicit Viewer(BenchContext& ctx)
    {
        host.CreateEx(0, AfxRegisterWndClass(0), "bench", WS_OVERLAPPED, CRect(0, 0, 10, 10), nullptr, 0);
        ViewResultParam p;
        p.parent = &host;
        p.fileName = ctx.Layer(kSide, kSide, 7).c_str();
        frame = ViewerCreate(&p);
        if (!frame || !PumpUntil([&] { return host.reports > 0; })) std::exit(1);
        hist = dynamic_cast<CHistFrame*>(frame->GetHistWnd());
        hist->MoveWindow(CRect(0, 0, 1000, 700));
        Show(256);
    }
    bool Ready() const { return hist->Data().m_nStatus == kHistReady && hist->Data().m_single.Block(0); }
    /// Show to drawn histogram with `bins` bins.
    void Show(int bins)
    {
        hist->ShowWindow(SW_HIDE);
        hist->Data().m_single.bins = bins;
        hist->ShowWindow(SW_SHOW);
        if (!PumpUntil([&] { return Ready(); })) std::exit(1);
        hist->UpdateWindow();
    }
};

Viewer& TheViewer(BenchContext& ctx)
{
    // Kept to the end of the process: windows must not outlive the application object.
    static Viewer* viewer = new Viewer(ctx);
    return *viewer;
}

BenchTimes ShowBench(BenchContext& ctx, int bins)
{
    Viewer& v = TheViewer(ctx);
    CRDPLayer& layer = OpenLayer(ctx);
    std::vector<DWORD> counters(static_cast<std::size_t>(bins), 0);
    BenchTimes t;
    t.referenceSeconds =
        Seconds([&] { layer.CalcHist(nullptr, bins, counters.data(), int(counters.size() * 4)); });
    t.seconds = Seconds([&] { v.Show(bins); });
    return t;
}

BenchTimes FindBench(BenchContext& ctx, int approximate)
{
    CRDPLayer& layer = OpenLayer(ctx);
    const Timing plain = Measure([&] { g_sink = PlainPass(layer); });
    CPoint cell(-1, 0);
    const Timing work =
        Measure([&] { g_sink = FindValueInLayer("-12345.678", 0, approximate, &layer, 2, &cell); });
    return BenchTimes{work.wall, plain.wall, work.cpu, plain.cpu};
}

BenchTimes RedrawBench()
{
    static CWnd& host = *new CWnd;
    static CHistView& view = *new CHistView;
    static CHistData& data = *new CHistData;
    if (!host.GetSafeHwnd()) {
        host.CreateEx(0, AfxRegisterWndClass(0), "bench", WS_POPUP, CRect(0, 0, 1100, 700), nullptr, 0);
        view.Create(&host, 100);
        view.MoveWindow(CRect(0, 0, 1000, 600));
        std::mt19937 random(3);
        HistChannel& c = data.m_single;
        c.bins = 8192;
        c.counts.resize(8192);
        for (auto& n : c.counts) n = random() % 100000;
        c.palette.assign(8192 * 3, 200);
        c.dataMin = c.shownLo = c.displayMin = 0;
        c.dataMax = c.shownHi = c.displayMax = 1;
        c.largest = *std::max_element(c.counts.begin(), c.counts.end());
        c.countScale = c.largest;
        view.SetData(&data);
        view.SetPaletteFilling(1);
        view.InitBuffer();
    }
    BenchTimes t;
    t.referenceSeconds = kFrame;
    t.seconds = Seconds([&] { view.Redraw(1, 0); });
    return t;
}

const bool kRegistered = [] {
    RegisterBench("histwin-f32-16k", "hist-f32-16k", [](BenchContext& c) { return ShowBench(c, 256); });
    RegisterBench("histwin-f32-16k-8192", "hist-f32-16k-8192",
                  [](BenchContext& c) { return ShowBench(c, 8192); });
    RegisterBench("hist-redraw-8192", "display-frame", [](BenchContext&) { return RedrawBench(); });
    RegisterBench("find-f32-16k", "plain-pass", [](BenchContext& c) { return FindBench(c, 0); });
    RegisterBench("find-f32-16k-approximate", "plain-pass", [](BenchContext& c) { return FindBench(c, 1); });
    return true;
}();

}  // namespace
