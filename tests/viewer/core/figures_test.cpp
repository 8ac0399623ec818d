// The overlay figures on their own: the screen mapping, the pointer marker's place and
// pixels, the measure line's length and read-out, the figure view's origins and the holder.

#include <gtest/gtest.h>

#include "outside/basecore/coord_law_data.h"
#include "tests/viewer/core/vector_overlay_support.h"
#include "viewer/analysis/property_set.h"
#include "viewer/core/figures.h"

using overlaytest::Canvas;

namespace {

std::vector<std::pair<std::string, std::string>> Items(const CPropertySet& set)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& item : set.m_items)
        out.emplace_back(static_cast<const char*>(item.name), static_cast<const char*>(item.value));
    return out;
}

TEST(Figures, PictureCoordinatesLandOnTheScreenPixelThatShowsThem)
{
    struct Case {
        double scale;
        int origin;
        int x, y, sx, sy;
    };
    for (const Case c :
         {Case{0.5, 0, 10, 20, 21, 41}, Case{2.0, 0, 10, 20, 5, 10}, Case{1.0, 0, 10, 20, 10, 20},
          Case{1.0, 15, 10, 20, -5, 5}, Case{0.25, 3, 10, 20, 30, 70}}) {
        SCOPED_TRACE(c.scale);
        EXPECT_EQ(FigureToScreen(c.x, c.origin, c.scale), c.sx);
        EXPECT_EQ(FigureToScreen(c.y, c.origin, c.scale), c.sy);
    }
}

TEST(Figures, ThePointerIsASeventeenPixelMarkerCentredOnItsPixel)
{
    CPointerFigure pointer;
    EXPECT_EQ(pointer.GetSize(), CSize(17, 17));
    EXPECT_EQ(pointer.SetPosition(CPoint(100, 50)), CPoint(0, 0));
    EXPECT_EQ(pointer.GetPosition(), CPoint(100, 50));
    EXPECT_EQ(pointer.GetScreenRect(0, 0, 1.0), CRect(92, 42, 109, 59));

    const QRgb blue = qRgb(0, 0, 200);
    Canvas c(160, 120, blue);
    pointer.Draw(c.DC(), 0, 0, 1.0);
    QRect drawn;
    const int untouched = c.Count(blue, &drawn);
    EXPECT_LT(untouched, 160 * 120) << "the marker is drawn";
    // Everything drawn lies in the marker's rectangle; its black corners let the canvas show.
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            if (c.At(x, y) != (blue | 0xFF000000u)) {
                EXPECT_TRUE(x >= 92 && x < 109 && y >= 42 && y < 59) << x << "," << y;
            }
    EXPECT_EQ(c.At(92, 42), blue | 0xFF000000u);
    const QRgb marker = qRgb(0xD0, 0x20, 0x20) | 0xFF000000u;
    EXPECT_EQ(c.At(100, 50), marker) << "a dot on the marked pixel";
    EXPECT_EQ(c.At(100, 45), marker);
    EXPECT_EQ(c.At(98, 50), blue | 0xFF000000u) << "the picture shows around the dot";
}

TEST(Figures, TheMeasureLineKnowsItsLengthAndReadsItOut)
{
    CPropertySet set;
    CPolyFigure line;
    line.SetPropertySet(&set);
    const std::vector<CPoint> nodes{{0, 0}, {3, 4}, {3, 10}};
    line.SetNodes(nodes);
    std::vector<double> running;
    EXPECT_DOUBLE_EQ(line.GetLength(&running), 11.0);
    EXPECT_EQ(running, (std::vector<double>{0, 5, 11}));
    EXPECT_EQ(line.GetBoundRect(), CRect(0, 0, 3, 10));
    using Item = std::pair<std::string, std::string>;
    EXPECT_EQ(Items(set), (std::vector<Item>{{"Lenght", "11.000000"},
                                             {"Segments", "2"},
                                             {"Nodes", "3"},
                                             {"  Node  0", "(   0,    0)- 0"},
                                             {"  Node  1", "(   3,    4)- 5"},
                                             {"  Node  2", "(   3,   10)- 11"}}));

    // A law that was never set is pixel units; a set law measures in its units.
    CCoordLawData law;
    line.SetCoordLaw(&law);
    EXPECT_EQ(Items(set)[3].second, "(   0,    0)- 0");
    ASSERT_EQ(law.SetDataManual(11, 11, 100.0, 120.0, 0.0, -20.0), 1);  // 2 units per pixel
    line.SetCoordLaw(&law);
    EXPECT_DOUBLE_EQ(line.GetLength(), 22.0);
    EXPECT_EQ(Items(set)[0], (Item{"Lenght", "22.000000"}));
    EXPECT_EQ(Items(set)[4], (Item{"  Node  1", "(106.000000, -8.000000)- 10"}));

    // The bounding rectangle always holds the picture origin.
    const CPoint far[] = {{5, 7}, {9, 8}};
    line.SetNodes(far, 2);
    EXPECT_EQ(line.GetBoundRect(), CRect(0, 0, 9, 8));
    EXPECT_EQ(line.GetScreenRect(0, 0, 0.5), CRect(1, 1, 19, 17));

    // Without nodes: no length, nothing drawn, and the read-out only clears the set.
    line.SetNodes(nullptr, 0);
    EXPECT_EQ(line.GetLength(), 0.0);
    EXPECT_TRUE(set.m_items.empty());
    Canvas c(20, 20);
    line.Draw(c.DC(), 0, 0, 1.0);
    EXPECT_EQ(c.Count(qRgb(0, 0, 0)), 400);
}

TEST(Figures, TheMeasureLineIsDrawnThroughItsNodesWithAOnePixelRedPen)
{
    CPolyFigure line;
    const CPoint nodes[] = {{2, 3}, {12, 3}, {12, 9}};
    line.SetNodes(nodes, 3);
    Canvas c(40, 40);
    line.Draw(c.DC(), 0, 0, 0.5);  // zoom 2: (2, 3) lands on (5, 7)
    const QRgb red = qRgb(255, 0, 0);
    QRect box;
    c.Count(red, &box);
    EXPECT_EQ(box.topLeft(), QPoint(5, 7));
    EXPECT_EQ(box.right(), 25);
    EXPECT_GE(box.bottom(), 18);
    EXPECT_EQ(c.At(15, 7), red | 0xFF000000u);
    EXPECT_EQ(c.At(15, 8), qRgb(0, 0, 0) | 0xFF000000u) << "one pixel wide";
}

TEST(Figures, TheFigureViewDrawsFromTheOriginEachRenderingGivesIt)
{
    CFigureView view;
    view.Init(7, 300, 200);
    EXPECT_EQ(view.GetLayerClass(), kLayerClassOverlay);
    EXPECT_EQ(view.GetWidth(), 300);
    EXPECT_EQ(view.GetIndex(), 0) << "the index argument is not kept";
    CPolyFigure line;
    const CPoint nodes[] = {{20, 10}, {30, 10}};
    line.SetNodes(nodes, 2);
    view.AddFigure(&line);
    view.SetShown(TRUE);
    const QRgb red = qRgb(255, 0, 0);
    QRect box;
    {
        Canvas c(64, 64);
        view.DrawEx(c.DC(), 10, 5, 64, 64, 1.0, TRUE, nullptr, nullptr);
        c.Count(red, &box);
        EXPECT_EQ(box.topLeft(), QPoint(10, 5));
    }
    {
        // A strip whose device x 4 shows picture x 24 at zoom 2: origin 24 - 4 * 2 = 16.
        Canvas c(64, 64);
        view.DrawRectEx(c.DC(), 4, 0, 24, 0, 8, 64, 2.0, TRUE, nullptr, nullptr);
        c.Count(red, &box);
        EXPECT_EQ(box.topLeft(), QPoint(2, 5));
    }
    EXPECT_EQ(view.RemoveFigure(&line), 1);
    EXPECT_EQ(view.RemoveFigure(&line), 0);
    Canvas c(64, 64);
    view.DrawEx(c.DC(), 0, 0, 64, 64, 1.0, TRUE, nullptr, nullptr);
    EXPECT_EQ(c.Count(red), 0);
}

TEST(Figures, TheHolderMakesAndFreesFiguresOnlyWithAView)
{
    CFigureLayer holder;
    EXPECT_EQ(holder.AddPointerFigure(), nullptr);
    EXPECT_EQ(holder.AddPolyFigure(), nullptr);
    std::unique_ptr<CFigureView> view(holder.CreateView(3, 10, 10));
    ASSERT_EQ(holder.GetView(), view.get());
    CPointerFigure* pointer = holder.AddPointerFigure();
    CPolyFigure* line = holder.AddPolyFigure();
    ASSERT_TRUE(pointer && line);
    EXPECT_EQ(view->GetFigures(), (std::vector<CViewFigure*>{pointer, line}));
    CPolyFigure stranger;
    EXPECT_EQ(holder.RemoveFigure(&stranger), 0);
    EXPECT_EQ(holder.RemoveFigure(pointer), 1);
    EXPECT_EQ(view->GetFigures(), (std::vector<CViewFigure*>{line}));
    // The line left in the view is freed with the holder (the sanitizer checks).
}

}  // namespace
