// One set of primitives drawn through the drawing system in each colour type, with the
// default curves on green and blue, a bent red curve, a ramp between two colours and a
// coloured background, compared with pictures a person has looked at.

#include <gtest/gtest.h>

#include <QImage>
#include <limits>
#include <string>
#include <vector>

#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "tests/plugin3d/model/scene/scene_pictures.h"
#include "tests/support/ui_helpers.h"

namespace {

constexpr int kWidth = 160, kHeight = 120;

TVertex3D V(double x, double y, double z, double r, double g, double b)
{
    return {x, y, z, r, g, b};
}

TVertex3S S(float x, float y, float z, float r, float g, float b)
{
    return {x, y, z, r, g, b};
}

// The primitives, in image coordinates around the centre (y up).
void DrawScene(TKDrawingSystem3D& ds)
{
    ds.BeginDrawing(0);
    ds.SetShadeMode(1);
    // A large smooth triangle, red, green and blue at its corners.
    ds.DrawTriangle(V(-75, -55, 2000, 1, 0, 0), V(70, -50, 2000, 0, 1, 0), V(-10, 55, 2000, 0, 0, 1));
    // A smooth single-precision triangle, white to dark, partly cut by the top edge.
    ds.DrawTriangleSingle(S(-78, 10, 500, 1, 1, 1), S(-25, 70, 500, 0.3f, 0.3f, 0.3f),
                          S(-70, 70, 500, 0, 0, 0));
    // Colours beyond full and below nothing, and a corner far off the right edge.
    ds.DrawTriangle(V(40, 20, 1500, 1.5, -0.5, 0.25), V(1e12, 30, 1500, 1.5, -0.5, 0.25),
                    V(40, 50, 1500, std::numeric_limits<double>::quiet_NaN(), 2, 0.25));
    ds.SetShadeMode(0);
    // A flat yellow quadrilateral in front: only its first triangle is drawn.
    ds.DrawQuad(V(5, -15, 1000, 1, 1, 0), V(55, -10, 1000, 1, 1, 0), V(50, 30, 1000, 1, 1, 0),
                V(0, 25, 1000, 1, 1, 0));
    // Lines in front of everything.
    ds.SetShadeMode(1);
    ds.DrawLineSingle(S(-80, -30, 100, 0.5f, 0.5f, 0.5f), S(79, 45, 100, 0, 1, 1));
    ds.DrawLine(V(-60, 50, 100, 1, 0, 1), V(60, -58, 100, 1, 1, 1));
    // A row of points near the bottom.
    for (int x = -76; x < 80; x += 6) ds.DrawPoint(V(x, -57, 50, 1, 0.5 + x / 160.0, 0.5 - x / 160.0));
    ds.EndDrawing(0);
}

QImage Painted(std::int32_t type)
{
    TOwned<TKDrawingSystem3D> ds(TKDrawingSystem3D::New());
    ds->BeginSetup(0);
    ds->SetImageSize(kWidth, kHeight);
    ds->SetColorType(type);
    ds->Canvas()->SetChannelEnabled(2, true);
    ds->Canvas()->SetChannelEnabled(3, true);
    // Red rises fast and then slowly; green and blue keep the default straight curves.
    TKCnv3DIITransformer& red = *ds->Curve(1);
    red.Clear();
    red.AddPoint(0, 0);
    red.AddPoint(0x2000, 0x9000);
    red.AddPoint(0x8000, 0xFFFF);
    ds->SetBackground({0.12, 0.16, 0.28});
    ds->SetRampStartColor({0.05, 0, 0.25});
    ds->SetRampEndColor({1, 0.85, 0.3});
    ds->EndSetup(0);
    DrawScene(*ds);
    return kelvora::test::ViewerPicture(*ds);
}

TEST(DrawSystemGolden, TheSamePrimitivesInEveryColourType)
{
    for (std::int32_t type = kpfIndexed8; type <= kpfRgb111110; ++type) {
        const std::string name = "drawsys-" + std::to_string(type);
        const QImage painted = Painted(type);
        EXPECT_TRUE(tarvenix::test::MatchesGolden(painted, "tests/plugin3d/golden", name));
    }
}

}  // namespace
