#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gdi/gdi_types.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/hist_data.h"
#include "viewer/analysis/hist_view.h"
#include "viewer/core/viewer_messages.h"

namespace {

constexpr COLORREF kBack = RGB(0, 0, 0);
constexpr COLORREF kGraph = RGB(255, 128, 255);

/// A histogram view alone in a window, fed with counts made by the test.
struct ViewFixture {
    CWnd host;
    CHistView view;
    CHistData data;

    ViewFixture(int plotWidth, int height = 400)
    {
        host.CreateEx(0, AfxRegisterWndClass(0), "Host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 900, 700), nullptr,
                      0);
        view.Create(&host, 100);
        // The plot is the client less 66 pixels on the left and 60 on the right.
        view.MoveWindow(CRect(0, 0, plotWidth + 126, height));
        CRect client;
        view.GetClientRect(&client);
        const int extra = plotWidth + 126 - client.Width();
        view.MoveWindow(CRect(0, 0, plotWidth + 126 + extra, height));
        GraphThemeItem theme;
        theme.background = kBack;
        theme.grid = RGB(255, 255, 255);
        theme.graph = kGraph;
        theme.axes = RGB(55, 255, 255);
        theme.gridText = RGB(255, 255, 0);
        theme.text = RGB(55, 255, 255);
        view.SetColors(theme);
        view.SetData(&data);
    }
    ~ViewFixture() { host.DestroyWindow(); }

    void SetCounts(std::vector<std::uint32_t> counts, double min, double max)
    {
        HistChannel& c = data.m_single;
        c.bins = int(counts.size());
        c.counts = std::move(counts);
        c.dataMin = c.shownLo = c.displayMin = min;
        c.dataMax = c.shownHi = c.displayMax = max;
        c.largest = *std::max_element(c.counts.begin(), c.counts.end());
        c.countScale = c.largest;
        c.palette.assign(std::size_t(c.bins) * 3, 128);
    }
    /// Filled height of the plot column at x, read from its top (the plot's etched frame
    /// takes the two bottom rows, so heights up to 2 read as 0).
    int ColumnHeight(int x) const
    {
        const CRect& p = view.PlotRect();
        for (int y = p.top + 2; y < p.bottom - 2; ++y)
            if (view.BufferPixel(x, y) == kGraph) return p.bottom - y;
        return 0;
    }
    /// What ColumnHeight reads for a column of height h (the frame covers two rows at each end).
    int Seen(int h) const { return h > 2 ? std::min(h, view.PlotRect().Height() - 2) : 0; }
};

}  // namespace

TEST(HistView, ManyBinsDrawOneColumnPerPixelAtTheLargestCountItCovers)
{
    ViewFixture f(500);
    std::mt19937 random(7);
    std::vector<std::uint32_t> counts(8192);
    for (auto& c : counts) c = random() % 1000;
    counts[4000] = 5000;  // a spike inside one column
    f.SetCounts(counts, 0.0, 8192.0);
    f.view.SetFillType(2);
    f.view.SetGridMode(0);
    ASSERT_TRUE(f.view.InitBuffer());
    const CRect& p = f.view.PlotRect();
    ASSERT_EQ(p.Width(), 500);
    const double scale = p.Height() / 5000.0;
    const double binsPerPixel = 8192.0 / 500.0;
    for (int col = 2; col < 498; ++col) {
        const int first = int(std::ceil(col * binsPerPixel)), last = int(std::ceil((col + 1) * binsPerPixel));
        const std::uint32_t top =
            *std::max_element(counts.begin() + first, counts.begin() + std::min(last, 8192));
        const int h = int(std::lround(top * scale));
        ASSERT_EQ(f.ColumnHeight(p.left + col), f.Seen(h)) << "column " << col;
    }
}

TEST(HistView, NarrowBinsAreDrawnTwoPixelsWide)
{
    ViewFixture f(300);
    std::vector<std::uint32_t> counts(300, 0);
    counts[100] = 10;
    f.SetCounts(counts, 0.0, 300.0);
    f.view.SetFillType(2);
    f.view.SetGridMode(0);
    ASSERT_TRUE(f.view.InitBuffer());
    const int x = f.view.PlotRect().left + 100;
    EXPECT_EQ(f.ColumnHeight(x - 1), 0);
    EXPECT_EQ(f.ColumnHeight(x), f.Seen(f.view.PlotRect().Height()));
    EXPECT_EQ(f.ColumnHeight(x + 1), f.Seen(f.view.PlotRect().Height()));
    EXPECT_EQ(f.ColumnHeight(x + 2), 0);
}

TEST(HistView, AllRgbChannelsMixByXor)
{
    ViewFixture f(256);
    f.data.m_nMode = 2;
    f.data.m_nChannel = 0;
    for (int ch = 3; ch <= 5; ++ch) {
        HistChannel& c = f.data.Channel(ch);
        c.bins = 4;
        c.counts = {10, 10, 10, 10};
        if (ch == 4) c.counts = {0, 10, 10, 0};
        if (ch == 5) c.counts = {0, 0, 10, 0};
        c.dataMin = c.shownLo = 0;
        c.dataMax = c.shownHi = 4;
        c.largest = 10;
        c.countScale = 10;
    }
    f.view.SetFillType(2);
    f.view.SetGridMode(0);
    ASSERT_TRUE(f.view.InitBuffer());
    const CRect& p = f.view.PlotRect();
    const int y = p.bottom - 5;
    EXPECT_EQ(f.view.BufferPixel(p.left + 32, y), RGB(255, 0, 0));
    EXPECT_EQ(f.view.BufferPixel(p.left + 96, y), RGB(255, 255, 0));
    EXPECT_EQ(f.view.BufferPixel(p.left + 160, y), RGB(255, 255, 255));
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(f.view), "hist_rgb_all_channels");
}

TEST(HistView, StatusTextsReplaceThePlot)
{
    ViewFixture f(300);
    f.SetCounts({1, 2, 3}, 0.0, 3.0);
    ASSERT_TRUE(f.view.InitBuffer());
    const struct {
        int status;
        int drawn;
    } kCases[] = {{kHistReady, 1}, {kHistFlat, 0}, {kHistComputing, 0}, {kHistBadMaximum, 0}};
    for (const auto& c : kCases) {
        f.data.m_nStatus = c.status;
        EXPECT_EQ(f.view.Redraw(1, 0), c.drawn) << c.status;
    }
    // A count scale of 0 draws an empty plot, and nothing divides by it.
    f.data.m_nStatus = kHistReady;
    f.data.m_single.countScale = 0;
    EXPECT_EQ(f.view.Redraw(1, 0), 1);
}

TEST(HistView, SelectionDragsReadOutLeftRightAndPercentage)
{
    ViewFixture f(400);
    f.SetCounts(std::vector<std::uint32_t>(100, 5), 0.0, 100.0);
    f.data.m_nDragMode = 0;
    ASSERT_TRUE(f.view.InitBuffer());
    const CRect& p = f.view.PlotRect();
    const auto at = [&](int x) { return MAKELPARAM(p.left + x, p.top + 50); };

    // One-point press: no range, "0 %".
    f.view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(200));
    f.view.SendMessage(WM_LBUTTONUP, 0, at(200));
    EXPECT_EQ(f.view.LeftText(), "");
    EXPECT_EQ(f.view.RightText(), "");
    EXPECT_EQ(f.view.PercentText(), "0 %");

    // Right to left: Left is the smaller end.
    f.view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(300));
    f.view.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(100));
    f.view.SendMessage(WM_LBUTTONUP, 0, at(100));
    EXPECT_EQ(f.view.LeftText(), "25");
    EXPECT_EQ(f.view.RightText(), "75");
    EXPECT_EQ(f.view.PercentText(), "50 %");
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(f.view), "hist_selection_band");

    // Dragging past the ends stops at the data range.
    f.view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(200));
    f.view.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.left - 40, p.top + 50));
    f.view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.right + 80, p.top + 50));
    EXPECT_EQ(f.view.LeftText(), "50");
    EXPECT_EQ(f.view.RightText(), "100");

    // The cursor read-out.
    f.view.SendMessage(WM_MOUSEMOVE, 0, at(41));
    EXPECT_EQ(f.view.LevelText(), "10.25");
    EXPECT_EQ(f.view.CountText(), "5");
    EXPECT_EQ(f.view.ColorText(), "RGB = ( 128, 128, 128 )");

    // A press outside the plot starts nothing.
    f.view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    f.view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(f.view.LeftText(), "50");
}

TEST(HistView, ZoomAndScrollMoveTheShownRange)
{
    ViewFixture f(400);
    f.SetCounts(std::vector<std::uint32_t>(100, 5), 0.0, 100.0);
    ASSERT_TRUE(f.view.InitBuffer());
    const CRect& p = f.view.PlotRect();
    HistChannel& c = f.data.m_single;
    // The value under the press point follows the pointer: twice the distance halves the width.
    f.view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.left + 100, p.top + 100));
    f.view.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.left + 200, p.top + 100));
    f.view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.left + 200, p.top + 100));
    EXPECT_DOUBLE_EQ(c.shownLo, 0.0);
    EXPECT_DOUBLE_EQ(c.shownHi, 50.0);
    // A step to the low end would give an empty range: nothing changes.
    f.view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.left + 100, p.top + 100));
    f.view.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.left - 50, p.top + 100));
    f.view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.left - 50, p.top + 100));
    EXPECT_TRUE(std::isfinite(c.shownHi));
    EXPECT_GT(c.shownHi, c.shownLo);

    // One scroll step moves by one bin width.
    c.shownLo = 0;
    c.shownHi = 50;
    c.offset = 0;
    const double lo = c.shownLo, hi = c.shownHi;
    EXPECT_EQ(f.view.SendMessage(WM_HISTSCROLL, 22, 1), 1);
    EXPECT_DOUBLE_EQ(c.shownLo, lo + 1.0);
    EXPECT_DOUBLE_EQ(c.shownHi, hi + 1.0);
}

TEST(HistView, OverlappingMarkersShareOneTip)
{
    ViewFixture f(400);
    f.SetCounts(std::vector<std::uint32_t>(100, 5), 0.0, 100.0);
    f.data.m_single.displayMin = 0.5;  // PseudoMin next to the minimum
    f.data.m_single.displayMax = 60;
    ASSERT_TRUE(f.view.InitBuffer());
    const CRect& p = f.view.PlotRect();
    EXPECT_EQ(f.view.TipTextAt(CPoint(p.left - 3, p.top - 4)), "Min = 0; PseudoMin = 0.5");
    const int xMax = p.left + 240;
    EXPECT_EQ(f.view.TipTextAt(CPoint(xMax + 4, p.top - 4)), "PseudoMax = 60");
    EXPECT_EQ(f.view.TipTextAt(CPoint(p.right + 3, p.top - 4)), "Max = 100");
    EXPECT_EQ(f.view.TipTextAt(CPoint(p.left + 100, p.top + 50)), "");
}

TEST(HistView, HoveringAMarkerShowsItsTipAndLeavingItHidesIt)
{
    ViewFixture f(400);
    f.SetCounts(std::vector<std::uint32_t>(100, 5), 0.0, 100.0);
    f.data.m_single.displayMin = 0.5;
    f.data.m_single.displayMax = 60;
    ASSERT_TRUE(f.view.InitBuffer());
    const CRect& p = f.view.PlotRect();
    CTitleTip& tip = f.view.TitleTip();
    f.view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(p.left - 3, p.top - 4));
    EXPECT_EQ(tip.GetShownText(), "Min = 0; PseudoMin = 0.5");
    EXPECT_TRUE(tip.IsWindowVisible());
    // Beside the triangle, as high as one line of the view's font.
    CRect shown;
    tip.GetWindowRect(&shown);
    CPoint marker(p.left - 1, p.top - 7);
    f.view.ClientToScreen(&marker);
    EXPECT_GT(shown.left, marker.x);
    EXPECT_LT(shown.Height(), 30);
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(tip), "hist_marker_tip");

    f.view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(p.right + 3, p.top - 4));
    EXPECT_EQ(tip.GetShownText(), "Max = 100");
    f.view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(p.left + 100, p.top + 50));
    EXPECT_FALSE(tip.IsShown());
    EXPECT_FALSE(tip.IsWindowVisible());
}

TEST(HistView, CountLabelsLeftOfThePlotHaveRoomForTheirWholeText)
{
    struct Case {
        const char* name;
        std::uint32_t largest;
    };
    for (const Case c : {Case{"small counts", 900u}, Case{"millions", 1234567u}}) {
        SCOPED_TRACE(c.name);
        ViewFixture f(400);
        std::vector<std::uint32_t> counts(256, c.largest / 3);
        counts[100] = c.largest;
        f.SetCounts(counts, 0.0, 255.0);
        f.data.m_nStatus = kHistReady;
        ASSERT_TRUE(f.view.InitBuffer());
        const CRect& plot = f.view.PlotRect();
        EXPECT_GE(plot.left, 66);
        // No label reaches the left edge, where a clipped text would start.
        for (int y = 0; y < plot.bottom; ++y)
            for (int x = 0; x < 5; ++x) ASSERT_EQ(f.view.BufferPixel(x, y), kBack) << x << "," << y;
        tarvenix::test::SaveTestOutput(
            tarvenix::test::GrabWindow(f.view),
            std::string("hist_count_labels_") + (c.largest > 1000 ? "millions" : "small"));
    }
}
