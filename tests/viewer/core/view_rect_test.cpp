#include "viewer/core/view_rect.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/gdi/window_dc.h"
#include "tests/support/ui_helpers.h"
#include "viewer/core/viewer_messages.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::ImagesEqual;
using tarvenix::test::PumpEvents;

namespace {

/// The colour a test view shows for picture pixel (x, y).
COLORREF PatternColour(int x, int y)
{
    return RGB(BYTE(x * 3), BYTE(y * 5), BYTE((x * 7 + y * 13) & 0xFF));
}

/// A view that draws a known picture: screen pixel i of a draw whose left picture column
/// is x shows column x + floor(i * zoom). It counts its draws and the widths it was asked
/// for, so a test sees what was rendered.
class PatternView : public CVirtualView {
public:
    PatternView(int width, int height, int layerClass = kLayerClassPicture)
    {
        m_nLayerClass = layerClass;
        m_nViewKind = kViewKindSingleBand;
        m_nGeometry[0] = width;
        m_nGeometry[1] = height;
    }
    ~PatternView() override
    {
        if (deleted) *deleted = true;
    }

    void RenderRGB(int, int, int, int, int, int, double, BOOL, BYTE*, CMeterInfoBase*) override {}
    void DrawBlockAt(CDC*, int, int, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawOverlay(CDC*, int, int, int, int, double, BOOL, BYTE*, BITMAPINFO*) override {}
    void DrawEx(CDC* dc, int x, int y, int width, int height, double zoom, BOOL, BYTE* bits,
                BITMAPINFO*) override
    {
        ++fullDraws;
        EXPECT_NE(bits, nullptr) << "the window hands its back buffer to every draw";
        Draw(dc, 0, 0, x, y, width, height, zoom);
    }
    void DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int srcWidth, int srcHeight,
                    double zoom, BOOL, BYTE*, BITMAPINFO*) override
    {
        ++stripDraws;
        stripWidths.push_back(int(std::ceil(srcWidth / zoom)));
        stripHeights.push_back(int(std::ceil(srcHeight / zoom)));
        Draw(dc, destX, destY, srcX, srcY, int(std::ceil(srcWidth / zoom)), int(std::ceil(srcHeight / zoom)),
             zoom);
    }
    void SetZoom(double zoom, int) override { lastZoom = zoom; }
    CString GetLayerName() override { return "pattern"; }
    CString GetValueText(int x, int y) override
    {
        CString s;
        s.Format("%d", x + y);
        return s;
    }
    double Min(int component) override { return component == 1 ? -2.5 : 0.0; }

    int fullDraws = 0;
    int stripDraws = 0;
    std::vector<int> stripWidths;
    std::vector<int> stripHeights;
    double lastZoom = 0.0;
    bool* deleted = nullptr;

private:
    // Overlays draw every tenth column in their own colour only, so that what lies below shows.
    void Draw(CDC* dc, int destX, int destY, int x0, int y0, int w, int h, double zoom)
    {
        if (!m_bShown || w <= 0 || h <= 0) return;
        const bool overlay = m_nLayerClass == kLayerClassOverlay;
        int cols = 0, rows = 0;
        while (cols < w && x0 + int(std::floor(cols * zoom)) < GetWidth()) ++cols;
        while (rows < h && y0 + int(std::floor(rows * zoom)) < GetHeight()) ++rows;
        if (cols == 0 || rows == 0) return;
        if (overlay) {
            for (int i = 0; i < cols; ++i)
                if ((x0 + int(std::floor(i * zoom))) % 10 == 0)
                    for (int j = 0; j < rows; ++j) dc->SetPixel(destX + i, destY + j, RGB(255, 0, 255));
            return;
        }
        std::vector<std::uint32_t> pixels(std::size_t(cols) * rows);
        for (int j = 0; j < rows; ++j) {
            const int py = y0 + int(std::floor(j * zoom));
            for (int i = 0; i < cols; ++i) {
                const COLORREF c = PatternColour(x0 + int(std::floor(i * zoom)), py);
                pixels[std::size_t(j) * cols + i] =
                    (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) | GetBValue(c);
            }
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = cols;
        info.bmiHeader.biHeight = -rows;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc->GetSafeHdc(), destX, destY, cols, rows, 0, 0, 0, rows, pixels.data(), &info,
                          DIB_RGB_COLORS);
    }
};

/// The frame stand-in: hosts the view window and keeps what it is told.
class HostWnd : public CWnd {
public:
    std::vector<std::pair<int, int>> viewer;  ///< (code, layer index) of WM_VIEWER
    std::vector<int> viewRect;                ///< wParam of WM_VIEWRECT

protected:
    LRESULT OnViewer(WPARAM wParam, LPARAM lParam)
    {
        auto* note = reinterpret_cast<CViewNotify*>(wParam);
        viewer.emplace_back(int(lParam), note ? note->m_nIndex : -1);
        delete note;
        return 1;
    }
    LRESULT OnViewRect(WPARAM wParam, LPARAM)
    {
        viewRect.push_back(int(wParam));
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HostWnd, CWnd)
    ON_MESSAGE(WM_VIEWER, OnViewer)
    ON_MESSAGE(WM_USER + 511, OnViewRect)
END_MESSAGE_MAP()

class ViewRectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            host.CreateEx(0, nullptr, "Viewer", WS_POPUP | WS_VISIBLE, CRect(0, 0, 240, 180), nullptr, 0));
        ASSERT_TRUE(view.Create(&host));
        view.MoveWindow(0, 0, 240, 180);
    }
    void TearDown() override
    {
        view.DestroyWindow();
        host.DestroyWindow();
    }

    /// Adds a picture view and tells the window it is ready, as a loaded layer does.
    PatternView* AddPicture(int width, int height)
    {
        auto* v = new PatternView(width, height);
        const int index = view.AddView(v, FALSE);
        EXPECT_GE(index, 0);
        view.SendMessage(WM_VIEWER, reinterpret_cast<WPARAM>(new CViewNotify(v->GetIndex(), 0)),
                         kViewerShown);
        PumpEvents();
        return v;
    }
    CSize Client()
    {
        CRect rc;
        view.GetClientRect(&rc);
        return CSize(rc.Width(), rc.Height());
    }
    void Scroll(UINT message, UINT code) { view.SendMessage(message, MAKEWPARAM(code, 0), 0); }
    /// What the window shows now, and what a fresh paint at the same place shows.
    void ExpectEqualsFreshPaint(const std::string& name)
    {
        const QImage shifted = GrabWindow(view).copy();
        view.Invalidate();
        view.UpdateWindow();
        const QImage fresh = GrabWindow(view).copy();
        EXPECT_TRUE(ImagesEqual(shifted, fresh, name));
    }

    HostWnd host;
    CViewRect view;
};

// --- zoom ----------------------------------------------------------------------------------------

TEST_F(ViewRectTest, ZoomStepsFollowTheLadder)
{
    AddPicture(1000, 1000);
    struct Case {
        double from;
        bool in;
        double to;
        int step;
    };
    const Case cases[] = {
        {1.0, true, 0.5, 2}, {1.0, false, 2.0, 2}, {0.5, false, 1.0, 1},     {0.9, false, 1.0, 1},
        {2.7, true, 2.0, 2}, {2.7, false, 4.0, 4}, {1.0 / 3, true, 0.25, 4}, {3.0, true, 2.0, 2},
        {1.2, true, 1.0, 1},  // Round(1.2) - 1 would be a step of 0
    };
    for (const Case& c : cases) {
        view.SetScale(c.from);
        ASSERT_DOUBLE_EQ(view.GetScale(), c.from);
        c.in ? view.ZoomIn() : view.ZoomOut();
        EXPECT_DOUBLE_EQ(view.GetScale(), c.to) << c.from << (c.in ? " in" : " out");
        EXPECT_EQ(view.GetZoomStep(), c.step) << c.from << (c.in ? " in" : " out");
    }
}

TEST_F(ViewRectTest, ZoomOutStopsBelowTheLargerPictureSide)
{
    AddPicture(100, 50);
    view.SetScale(98);
    view.ZoomOut();
    EXPECT_DOUBLE_EQ(view.GetScale(), 99);
    view.ZoomOut();
    EXPECT_DOUBLE_EQ(view.GetScale(), 99) << "a scale of 100 would shrink the picture below one pixel";
    EXPECT_EQ(view.GetZoomStep(), 99);
    view.SetScale(0.0);
    EXPECT_DOUBLE_EQ(view.GetScale(), 1.0) << "a scale of 0 means 1:1";
}

TEST_F(ViewRectTest, ZoomKeepsThePixelUnderTheMouseInTheMiddle)
{
    AddPicture(1000, 1000);
    view.CenterOn(500, 500);
    view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
    const CPoint before = view.ScreenToImage(40, 30);
    view.ZoomIn();
    const CSize c = Client();
    const CPoint mid = view.ScreenToImage(c.cx / 2, c.cy / 2);
    EXPECT_LE(std::abs(mid.x - before.x), 1);
    EXPECT_LE(std::abs(mid.y - before.y), 1);
}

TEST_F(ViewRectTest, FitShowsTheWholePictureAndRestoresWithoutAZeroStep)
{
    AddPicture(1000, 600);
    view.FitToWindow();
    EXPECT_TRUE(view.IsFit());
    EXPECT_DOUBLE_EQ(view.GetScale(), std::max(1000.0 / 240, 600.0 / 180));
    EXPECT_GE(view.GetZoomStep(), 1);
    std::unique_ptr<CViewState> fitted(view.SaveViewState());
    view.RealScale();
    EXPECT_DOUBLE_EQ(view.GetScale(), 1.0);
    EXPECT_FALSE(view.IsFit());
    view.SetScale(0.5);
    fitted->fit = FALSE;
    fitted->zoomStep = 0;  // a record from an older window
    view.RestoreViewState(fitted.get());
    EXPECT_TRUE(std::isfinite(view.GetScale()));
    EXPECT_DOUBLE_EQ(view.GetScale(), 1.0);
}

// --- scrolling -----------------------------------------------------------------------------------

TEST_F(ViewRectTest, ScrollMaximaAndLineSteps)
{
    AddPicture(1000, 5000);
    view.MoveWindow(0, 0, 400 + GetSystemMetrics(SM_CXVSCROLL), 300 + GetSystemMetrics(SM_CYHSCROLL));
    ASSERT_EQ(Client().cx, 400);
    Scroll(WM_HSCROLL, SB_RIGHT);
    EXPECT_DOUBLE_EQ(view.GetScrollX(), 600.0);
    view.SetScale(3.0);
    Scroll(WM_HSCROLL, SB_RIGHT);
    EXPECT_DOUBLE_EQ(view.GetScrollX(), 0.0) << "the page covers the width";
    Scroll(WM_VSCROLL, SB_BOTTOM);
    EXPECT_DOUBLE_EQ(view.GetScrollY(), 5000.0 - 3 * Client().cy);

    struct Step {
        double scale;
        double pixels;
    };
    for (const Step s : {Step{0.25, 1.0}, Step{1.0, 1.0}, Step{3.0, 3.0}}) {
        view.SetScale(s.scale);
        Scroll(WM_VSCROLL, SB_TOP);
        Scroll(WM_VSCROLL, SB_LINEDOWN);
        EXPECT_DOUBLE_EQ(view.GetScrollY(), s.pixels) << s.scale;
        Scroll(WM_VSCROLL, SB_LINEUP);
        EXPECT_DOUBLE_EQ(view.GetScrollY(), 0.0) << s.scale;
    }
}

TEST_F(ViewRectTest, LineStepsMoveOnAPictureWiderThanTheBar)
{
    AddPicture(100000, 100);
    for (int i = 1; i <= 3; ++i) {
        Scroll(WM_HSCROLL, SB_LINERIGHT);
        EXPECT_DOUBLE_EQ(view.GetScrollX(), double(i));
    }
}

TEST_F(ViewRectTest, ScrollsShiftTheScreenAndRenderOnlyTheStrip)
{
    PatternView* v = AddPicture(1000, 800);
    for (double scale : {1.0, 2.0, 3.0, 0.5, 1.0 / 3}) {
        view.SetScale(scale);
        view.Invalidate();
        view.UpdateWindow();
        const CSize c = Client();
        struct Move {
            UINT message;
            UINT code;
        };
        for (const Move m :
             {Move{WM_HSCROLL, SB_LINERIGHT}, Move{WM_VSCROLL, SB_LINEDOWN}, Move{WM_HSCROLL, SB_PAGERIGHT},
              Move{WM_VSCROLL, SB_PAGEDOWN}, Move{WM_HSCROLL, SB_LINELEFT}, Move{WM_VSCROLL, SB_LINEUP}}) {
            v->fullDraws = v->stripDraws = 0;
            v->stripWidths.clear();
            v->stripHeights.clear();
            Scroll(m.message, m.code);
            const bool line = m.code == SB_LINERIGHT || m.code == SB_LINEDOWN || m.code == SB_LINELEFT ||
                              m.code == SB_LINEUP;
            if (line) {
                EXPECT_EQ(v->fullDraws, 0) << scale;
                ASSERT_EQ(v->stripDraws, 1) << scale;
                const int across = m.message == WM_HSCROLL ? v->stripWidths[0] : v->stripHeights[0];
                EXPECT_LT(across, (m.message == WM_HSCROLL ? c.cx : c.cy) / 2)
                    << "a line scroll renders a strip, not the window, at scale " << scale;
            }
            ExpectEqualsFreshPaint("view_rect_scroll_mismatch");
        }
        Scroll(WM_HSCROLL, SB_LEFT);
        Scroll(WM_VSCROLL, SB_TOP);
    }
}

TEST_F(ViewRectTest, AFractionalShiftRendersTheWindowAnew)
{
    PatternView* v = AddPicture(1000, 800);
    view.SetScale(2.7);
    view.Invalidate();
    view.UpdateWindow();
    v->fullDraws = v->stripDraws = 0;
    v->stripWidths.clear();
    Scroll(WM_HSCROLL, SB_LINERIGHT);  // 3 picture pixels are not a whole number of screen pixels
    EXPECT_DOUBLE_EQ(view.GetScrollX(), 3.0);
    EXPECT_EQ(v->stripDraws, 0);
    EXPECT_EQ(v->fullDraws, 1);
    ExpectEqualsFreshPaint("view_rect_fractional_scroll_mismatch");
}

// --- painting ------------------------------------------------------------------------------------

TEST_F(ViewRectTest, TheHatchFillsRightOfAndBelowThePictureAndMovesWithIt)
{
    AddPicture(100, 1000);
    view.SetScale(2.0);  // 50 x 500 screen pixels
    view.Invalidate();
    const QImage img = GrabWindow(view).copy();
    const CSize c = Client();
    ASSERT_GT(c.cx, 60);
    EXPECT_EQ(QColor(img.pixel(10, 10)).rgb() & 0xFFFFFF,
              QColor(GetRValue(PatternColour(20, 20)), GetGValue(PatternColour(20, 20)),
                     GetBValue(PatternColour(20, 20)))
                      .rgb() &
                  0xFFFFFF);
    int black = 0, white = 0;
    for (int y = 0; y < c.cy; ++y)
        for (int x = 50; x < c.cx; ++x) {
            const QRgb p = img.pixel(x, y) & 0xFFFFFF;
            black += p == 0;
            white += p == 0xFFFFFF;
            ASSERT_TRUE(p == 0 || p == 0xFFFFFF) << "hatch only right of the picture, at " << x << "," << y;
        }
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    // One line down moves the picture up by one screen pixel (2 picture pixels at 1:2), and
    // the hatch with it.
    Scroll(WM_VSCROLL, SB_LINEDOWN);
    ASSERT_DOUBLE_EQ(view.GetScrollY(), 2.0);
    const QImage moved = GrabWindow(view).copy();
    for (int y = 0; y + 1 < c.cy; ++y)
        for (int x = 50; x < c.cx; ++x) ASSERT_EQ(moved.pixel(x, y), img.pixel(x, y + 1)) << x << "," << y;
    ExpectEqualsFreshPaint("view_rect_hatch_mismatch");
}

TEST_F(ViewRectTest, OverlaysPaintOverEveryPicture)
{
    AddPicture(300, 300);
    auto* overlay = new PatternView(300, 300, kLayerClassOverlay);
    view.AddView(overlay, FALSE);
    // A picture above the overlay in the stack still lies below it on screen.
    auto* second = new PatternView(300, 300);
    view.AddView(second, FALSE);
    second->SetShown(TRUE);
    const QImage img = GrabWindow(view).copy();
    EXPECT_EQ(img.pixel(10, 5) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(view.GetActiveIndex(), 0) << "adding never takes the active place from a shown picture";
}

TEST_F(ViewRectTest, TheBackBufferGrowsInHalfMegabyteStepsAndNeverShrinks)
{
    AddPicture(4000, 4000);
    view.MoveWindow(0, 0, 900, 700);
    GrabWindow(view);
    const std::size_t big = view.GetBackBufferCapacity();
    const CSize c = Client();
    EXPECT_EQ(big % (512 * 1024), 0u);
    EXPECT_GE(big, std::size_t(c.cx + 3) * c.cy);
    EXPECT_LT(big, std::size_t(c.cx + 3) * c.cy + 512 * 1024);
    view.MoveWindow(0, 0, 100, 100);
    GrabWindow(view);
    EXPECT_EQ(view.GetBackBufferCapacity(), big);
}

TEST_F(ViewRectTest, AResizeRendersAtOnceAndThePaintAfterItDoesNotRenderAgain)
{
    PatternView* v = AddPicture(1000, 1000);
    GrabWindow(view);
    v->fullDraws = v->stripDraws = 0;
    view.MoveWindow(0, 0, 200, 160);
    const int afterResize = v->fullDraws + v->stripDraws;
    EXPECT_EQ(afterResize, 1);
    GrabWindow(view);
    EXPECT_EQ(v->fullDraws + v->stripDraws, afterResize);
}

// --- the layer stack -----------------------------------------------------------------------------

TEST_F(ViewRectTest, ClosingTheActiveViewNeverActivatesAnOverlay)
{
    AddPicture(200, 100);
    view.AddView(new PatternView(200, 100, kLayerClassOverlay), FALSE);
    auto* third = new PatternView(200, 100);
    view.AddView(third, TRUE);
    ASSERT_EQ(view.GetActiveIndex(), 2);
    view.CloseActiveView();
    EXPECT_EQ(view.GetActiveIndex(), 0);
    EXPECT_EQ(view.GetViewCount(), 2);
    view.CloseActiveView();
    EXPECT_EQ(view.GetActiveIndex(), -1) << "only an overlay is left";
    EXPECT_EQ(view.GetViewCount(), 1);
    EXPECT_EQ(view.GetActiveView(), nullptr);
}

TEST_F(ViewRectTest, SetActiveViewChecksItsIndex)
{
    AddPicture(200, 100);
    view.AddView(new PatternView(200, 100, kLayerClassOverlay), FALSE);
    view.AddView(new PatternView(200, 100), FALSE);
    EXPECT_EQ(view.SetActiveView(-1, TRUE), 0);
    EXPECT_EQ(view.SetActiveView(3, TRUE), 0);
    EXPECT_EQ(view.SetActiveView(1, TRUE), 0) << "an overlay is never active";
    EXPECT_EQ(view.GetActiveIndex(), 0);
    EXPECT_EQ(view.SetActiveView(2, TRUE), 1);
    EXPECT_EQ(view.GetActiveIndex(), 2);
    EXPECT_TRUE(view.GetView(2)->IsShown());
    EXPECT_FALSE(view.GetView(0)->IsShown());
    view.CloseView(0);
    EXPECT_EQ(view.GetActiveIndex(), 1) << "the active view moves down with the stack";
}

TEST_F(ViewRectTest, ALateNotificationOfARemovedViewReachesNoOtherView)
{
    PatternView* first = AddPicture(200, 100);
    auto* second = new PatternView(200, 100);
    bool secondDeleted = false;
    second->deleted = &secondDeleted;
    view.AddView(second, FALSE);
    const int firstIndex = first->GetIndex();
    view.CloseView(0);
    ASSERT_EQ(view.GetView(0), second);
    host.viewer.clear();
    // The removed view's build failed meanwhile; its report comes after the removal.
    view.PostMessage(WM_VIEWER, reinterpret_cast<WPARAM>(new CViewNotify(firstIndex, 0)), kViewerFailed);
    view.PostMessage(WM_VIEWER, reinterpret_cast<WPARAM>(new CViewNotify(firstIndex, 0)), kViewerShown);
    PumpEvents();
    EXPECT_FALSE(secondDeleted);
    EXPECT_EQ(view.GetViewCount(), 1);
    EXPECT_TRUE(host.viewer.empty()) << "nothing to tell the frame about a view that is gone";
    // The remaining view's own failure removes it and reaches the frame.
    view.SendMessage(WM_VIEWER, reinterpret_cast<WPARAM>(new CViewNotify(second->GetIndex(), 0)),
                     kViewerFailed);
    EXPECT_TRUE(secondDeleted);
    EXPECT_EQ(view.GetViewCount(), 0);
    EXPECT_EQ(view.GetImageWidthPx(), 0);
    PumpEvents();
    ASSERT_EQ(host.viewer.size(), 1u);
    EXPECT_EQ(host.viewer[0].first, kViewerFailed);
}

TEST_F(ViewRectTest, AReadyActiveViewSetsThePictureAndTheFrameHearsOfIt)
{
    host.viewer.clear();
    PatternView* v = AddPicture(640, 480);
    EXPECT_EQ(view.GetImageWidthPx(), 640);
    EXPECT_EQ(view.GetImageHeightPx(), 480);
    EXPECT_DOUBLE_EQ(view.GetScale(), 1.0);
    EXPECT_DOUBLE_EQ(v->lastZoom, 1.0);
    ASSERT_EQ(host.viewer.size(), 1u);
    EXPECT_EQ(host.viewer[0].first, kViewerShown);
    EXPECT_EQ(host.viewer[0].second, v->GetIndex());
}

TEST_F(ViewRectTest, CloseAllLeavesAnEmptyHatchedWindow)
{
    AddPicture(300, 300);
    view.CloseAll();
    EXPECT_EQ(view.GetViewCount(), 0);
    EXPECT_EQ(view.GetImageWidthPx(), 0);
    const QImage img = GrabWindow(view).copy();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y) & 0xFFFFFF;
            ASSERT_TRUE(p == 0 || p == 0xFFFFFF);
        }
}

// --- read-out and forwarders ---------------------------------------------------------------------

struct Texts {
    char zoom[32], pixel[32], value[32], coord[64];
};

Texts ReadOut(const CViewRect& view, int x, int y)
{
    Texts t{};
    view.FormatPointInfo(x, y, t.zoom, sizeof t.zoom, t.pixel, sizeof t.pixel, t.value, sizeof t.value,
                         t.coord, sizeof t.coord);
    return t;
}

TEST_F(ViewRectTest, ReadOutTexts)
{
    Texts empty = ReadOut(view, 1, 1);
    EXPECT_STREQ(empty.zoom, "");
    AddPicture(100, 50);
    struct Zoom {
        double scale;
        const char* text;
    };
    for (const Zoom z : {Zoom{0.25, "400 %"}, Zoom{3.0, "33 %"}, Zoom{0.5, "200 %"}, Zoom{1.0, "100 %"}}) {
        view.SetScale(z.scale);
        EXPECT_STREQ(ReadOut(view, 3, 4).zoom, z.text);
    }
    const Texts in = ReadOut(view, 3, 4);
    EXPECT_STREQ(in.pixel, "( 3, 4 )");
    EXPECT_STREQ(in.value, "7");
    EXPECT_STREQ(in.coord, " X:  3  Y:  4");
    for (const CPoint outside : {CPoint(100, 4), CPoint(3, 50), CPoint(-1, 4)}) {
        const Texts t = ReadOut(view, outside.x, outside.y);
        EXPECT_STREQ(t.zoom, "100 %");
        EXPECT_STREQ(t.pixel, "");
        EXPECT_STREQ(t.value, "");
        EXPECT_STREQ(t.coord, "");
    }
    ASSERT_EQ(view.SetLogicalCoords(100, 50, 3e-11, 99.0, -3e-11, 49.0), 1);
    EXPECT_STREQ(ReadOut(view, 0, 0).coord, " X:  0  Y:  0");
    EXPECT_STREQ(ReadOut(view, 99, 49).coord, " X:  99  Y:  49");
    PumpEvents();
    EXPECT_NE(std::find(host.viewRect.begin(), host.viewRect.end(), 3), host.viewRect.end());

    char small[5];
    view.FormatPointInfo(3, 4, nullptr, 0, small, sizeof small, nullptr, 0, nullptr, 0);
    EXPECT_STREQ(small, "( 3,");
}

TEST_F(ViewRectTest, ForwardersAnswerDefaultsWithoutAnActiveView)
{
    EXPECT_EQ(view.GetViewKind(), 0);
    EXPECT_EQ(view.ImageWidth(), 0);
    EXPECT_EQ(view.GetComplexMode(1), -1);
    EXPECT_EQ(view.GetHistAddr(1), nullptr);
    EXPECT_DOUBLE_EQ(view.Min(1), 0.0);
    EXPECT_TRUE(view.GetFileName(1).IsEmpty());
    EXPECT_TRUE(view.GetStringTypeData(1).IsEmpty());
    EXPECT_EQ(view.GetHistDataRgn(1, nullptr, 0, 0, nullptr), -1);
    EXPECT_EQ(view.CalcStatistics(0, nullptr, nullptr, 1), 1);
    BYTE palette[768];
    std::memset(palette, 7, sizeof palette);
    view.GetPalette(palette);
    EXPECT_EQ(palette[100], 7);
    AddPicture(30, 20);
    EXPECT_EQ(view.GetViewKind(), 1);
    EXPECT_EQ(view.ImageWidth(), 30);
    EXPECT_DOUBLE_EQ(view.Min(1), -2.5);
    EXPECT_EQ(view.GetLayerName(), CString("pattern"));
    EXPECT_EQ(view.GetStringTypeData(2), CString("CVirtualView")) << "the view answers its own components";
}

TEST_F(ViewRectTest, MouseMovesAndClicksReachTheFrameAndTheZoomTools)
{
    AddPicture(1000, 1000);
    host.viewRect.clear();
    view.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 40));
    view.SetToolMode(3);
    view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 40));
    EXPECT_DOUBLE_EQ(view.GetScale(), 0.5);
    view.SetToolMode(2);
    view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 40));
    EXPECT_DOUBLE_EQ(view.GetScale(), 1.0);
    PumpEvents();
    EXPECT_GE(std::count(host.viewRect.begin(), host.viewRect.end(), 1), 3);
    char zoom[16], pixel[32], value[16], coord[64];
    view.GetStatusTexts(zoom, sizeof zoom, pixel, sizeof pixel, value, sizeof value, coord, sizeof coord);
    EXPECT_STREQ(zoom, "100 %");
    const CPoint p = view.ScreenToImage(50, 40);
    CString expected;
    expected.Format("( %d, %d )", p.x, p.y);
    EXPECT_STREQ(pixel, static_cast<const char*>(expected));
}

}  // namespace
