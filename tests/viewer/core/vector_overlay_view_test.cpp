// Overlays in the view window: a vector overlay and the figures over a raster, where the user
// sees them at 100 % and 400 %, after a scroll, and as screenshots for a person to look at.

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>

#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/core/view_host.h"
#include "tests/viewer/core/vector_overlay_support.h"
#include "viewer/core/figures.h"
#include "viewer/core/vector_image.h"
#include "viewer/core/vector_view.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"

using namespace overlaytest;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::TempDir;

namespace {

using Host = ViewHost;

constexpr int kW = 200, kH = 150;
constexpr QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 96, 255);

class OverlayView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            host.CreateEx(0, nullptr, "Viewer", WS_POPUP | WS_VISIBLE, CRect(0, 0, 260, 200), nullptr, 0));
        ASSERT_TRUE(view.Create(&host));
        view.MoveWindow(0, 0, 260, 200);
    }
    void TearDown() override
    {
        view.CloseAll();
        view.DestroyWindow();
        host.DestroyWindow();
    }
    void OpenPicture()
    {
        // A dim radar-like picture: soft rings on a dark ground.
        CRDPLayer out;
        ASSERT_NE(out.CreateLayer(picture.c_str(), kW, kH, 1), nullptr);
        std::vector<double> row(kW);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const double r = std::hypot(x - 90.0, y - 70.0);
                row[std::size_t(x)] = 40 + 30 * std::cos(r / 6.0) + (x * 7 + y * 13) % 11;
            }
            ASSERT_TRUE(out.SetLineFromDouble(y, row.data(), kW));
        }
        ASSERT_TRUE(out.CloseLayer());
        ASSERT_EQ(view.AddTransformedLayer(picture.c_str(), 0, 0.0, 255.0, 3, 0, nullptr, nullptr), 0);
        ASSERT_TRUE(PumpUntil([&] {
            return std::find(host.codes.begin(), host.codes.end(), kViewerShown) != host.codes.end();
        }));
        PumpEvents();
    }
    void MakeOverlay()
    {
        ASSERT_EQ(overlay.Create(picture.c_str(), 0), 1);
        overlay.AddLayer(0x0000FF);  // red points
        overlay.AddLayer(0x00FF00);  // a green track
        overlay.AddLayer(0xFF6000);  // blue lines
        for (int i = 0; i < 8; ++i) overlay.Add(0, Point{float(10 + 20 * i), float(10 + 15 * (i % 3)), 0});
        overlay.Add(1, *LineOf({{20, 120}, {60, 80}, {100, 110}, {150, 60}, {190, 90}}));
        overlay.Add(2, *LineOf({{5, 140}, {195, 140}}));
        overlay.Add(2, *LineOf({{180, 5}, {180, 140}}));
        overlay.SetPaintMode(1, -1);
    }
    QImage Shown()
    {
        view.Invalidate();
        return GrabWindow(view);
    }
    CFigureView* Figures()
    {
        for (int i = 0; i < view.GetViewCount(); ++i)
            if (auto* f = dynamic_cast<CFigureView*>(view.GetView(i))) return f;
        return nullptr;
    }

    TempDir dir;
    std::string picture = dir.File("picture.rdp");
    Host host;
    CViewRect view;
    CVectorImage overlay;
};

bool Is(const QImage& image, int x, int y, QRgb c)
{
    return (image.pixel(x, y) | 0xFF000000u) == (c | 0xFF000000u);
}

TEST_F(OverlayView, OverlaysNeedAPictureUnderThem)
{
    MakeOverlay();
    EXPECT_EQ(view.AddVectorLayer(&overlay), -1);
    EXPECT_EQ(view.AddFigureLayer(3, TRUE), -1);
    EXPECT_EQ(view.GetViewCount(), 0);
}

TEST_F(OverlayView, AVectorOverlayShowsOverThePictureAtEveryZoomAndAfterAScroll)
{
    OpenPicture();
    MakeOverlay();
    ASSERT_EQ(view.AddVectorLayer(&overlay), 1);
    CVirtualView* layer = view.GetView(1);
    ASSERT_NE(dynamic_cast<CVectorView*>(layer), nullptr);
    EXPECT_EQ(layer->GetLayerClass(), kLayerClassOverlay);
    EXPECT_EQ(layer->GetWidth(), kW);
    EXPECT_EQ(view.GetActiveIndex(), 0) << "an overlay never becomes active";

    QImage shot = Shown();
    EXPECT_TRUE(Is(shot, 10, 10, kRed));
    EXPECT_TRUE(Is(shot, 30, 25, kRed));
    EXPECT_FALSE(Is(shot, 11, 10, kRed)) << "a single pixel at 100 %";
    EXPECT_TRUE(Is(shot, 100, 140, kBlue));
    EXPECT_TRUE(Is(shot, 180, 70, kBlue));
    SaveTestOutput(shot, "vector_overlay_100");

    view.SetScale(0.25);
    shot = Shown();
    for (int d = 0; d < 4; ++d) {
        EXPECT_TRUE(Is(shot, 40 + d, 40 + d, kRed));
        EXPECT_TRUE(Is(shot, 120 + d, 100 + d, kRed));  // the point at (30, 25)
    }
    EXPECT_FALSE(Is(shot, 44, 40, kRed)) << "4 x 4 squares";
    EXPECT_FALSE(Is(shot, 39, 40, kRed));

    // A line scroll at 400 % moves one picture pixel: the shifted part and the new strip
    // show the overlay where it belongs.
    view.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
    view.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    const QImage scrolled = GrabWindow(view);
    EXPECT_TRUE(Is(scrolled, 36, 36, kRed));
    EXPECT_TRUE(Is(scrolled, 39, 39, kRed));
    EXPECT_FALSE(Is(scrolled, 40, 40, kRed));
    EXPECT_EQ(scrolled, Shown()) << "a scroll shows what a full paint shows";

    // Hidden layers are not drawn.
    overlay.SetPaintMode(0, 0);
    EXPECT_FALSE(Is(Shown(), 36, 36, kRed));
}

TEST_F(OverlayView, ThePointerAndTheMeasureLineLieOverEverything)
{
    OpenPicture();
    MakeOverlay();
    ASSERT_EQ(view.AddVectorLayer(&overlay), 1);
    ASSERT_EQ(view.AddFigureLayer(1, FALSE), 2);
    ASSERT_EQ(view.AddFigureLayer(2, TRUE), 2) << "one figure view";
    EXPECT_EQ(view.AddFigureLayer(3, TRUE), 2);
    CFigureView* figures = Figures();
    ASSERT_NE(figures, nullptr);
    ASSERT_EQ(figures->GetFigures().size(), 2u) << "one pointer and one measure line";
    auto* pointer = dynamic_cast<CPointerFigure*>(figures->GetFigures()[0]);
    auto* measure = dynamic_cast<CPolyFigure*>(figures->GetFigures()[1]);
    ASSERT_TRUE(pointer && measure);
    EXPECT_EQ(pointer->GetPosition(), CPoint(-1, -1));

    pointer->SetPosition(CPoint(70, 45));
    const CPoint nodes[] = {{40, 75}, {80, 75}, {120, 40}};
    measure->SetNodes(nodes, 3);
    QImage shot = Shown();
    EXPECT_TRUE(Is(shot, 70, 45, qRgb(0xD0, 0x20, 0x20)));
    EXPECT_TRUE(Is(shot, 40, 75, kRed));
    EXPECT_TRUE(Is(shot, 79, 75, kRed));
    SaveTestOutput(shot, "vector_overlay_figures_100");

    view.SetScale(0.25);
    view.RecenterOn(65, 60);
    shot = Shown();
    const CPoint at = view.ImageToScreen(70, 45);
    EXPECT_TRUE(Is(shot, at.x + 2, at.y + 2, qRgb(0xD0, 0x20, 0x20))) << "the marker's dot";
    SaveTestOutput(shot, "vector_overlay_figures_400");

    // Closing the figure view frees its figures; asking again makes new ones.
    view.CloseView(2);
    EXPECT_EQ(Figures(), nullptr);
    ASSERT_EQ(view.AddFigureLayer(1, TRUE), 2);
    ASSERT_NE(Figures(), nullptr);
    EXPECT_EQ(Figures()->GetFigures().size(), 1u);
}

}  // namespace
