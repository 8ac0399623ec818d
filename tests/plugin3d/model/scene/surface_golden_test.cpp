// Surfaces as a user sees them: a 256 x 256 surface made from a float layer the way the
// surface editor makes it (X and Y filled linearly, Z read from the layer and stretched onto
// its bounds), lit by each kind of light and by all three, drawn through the drawing system
// in every colour type and compared with pictures a person has looked at.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "plugin3d/model/render/k_rdp_file.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "tests/plugin3d/model/scene/scene_pictures.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using kelvora::test::FrameAlong;
using kelvora::test::FromColumns;
using kelvora::test::MatchesGolden;
using kelvora::test::ViewerPicture;
using tarvenix::test::TempDir;

constexpr int kGrid = 256;
constexpr int kWidth = 400, kHeight = 300;

// The float layer: a smooth hill on a ramp rising along the rows, written by the suite's
// own writer.
std::string WriteHillLayer(const TempDir& dir)
{
    const std::string path = dir.File("hill.rdp");
    CRDPLayer layer;
    void** rows = layer.CreateLayer(path.c_str(), kGrid, kGrid, int(DataType::F32));
    EXPECT_NE(rows, nullptr);
    if (!rows) return path;
    for (int y = 0; y < kGrid; ++y) {
        auto* row = static_cast<float*>(rows[y]);
        for (int x = 0; x < kGrid; ++x) {
            const double u = (x - 150.0) / 45.0, v = (y - 120.0) / 50.0;
            row[x] = float(0.5 * y / (kGrid - 1) + std::exp(-(u * u + v * v)));
        }
    }
    EXPECT_TRUE(layer.CloseLayer());
    return path;
}

// The nodes as the editor fills them: X and Y linear from -200 to 200, Z resampled from the
// layer (one pixel per node here) and stretched onto 0..110, the colour coefficients the
// constant 1.
TOwned<TKSurface3D> SurfaceFromLayer(const std::string& path)
{
    constexpr float kMin = -200, kMax = 200, kZMin = 0, kZMax = 110;
    TOwned<TKSurface3D> surface(TKSurface3D::New());
    TOwned<TKRDPFile> file(TKRDPFile::New(nullptr));
    file->Open(path, 3, 1, 1);
    TKLayer* layer = file->Count() > 0 ? file->GetLayer(0) : nullptr;
    EXPECT_NE(layer, nullptr);
    if (!layer) return surface;
    layer->BeginAccess();
    surface->SetSize(layer->Width(), layer->Height());
    surface->BeginGridUpdate(0);
    float low = std::numeric_limits<float>::max(), high = -low;
    for (int j = 0; j < surface->Height(); ++j) {
        TSurfaceNode* row = surface->NodeRow(j);
        std::vector<float> z(std::size_t(surface->Width()));
        layer->ReadRowAs(j, z.data(), surface->Width());
        for (int i = 0; i < surface->Width(); ++i) {
            float* v = row[i].Values;
            v[kssX] = kMin + float(i) * (kMax - kMin) / float(surface->Width() - 1);
            v[kssY] = kMin + float(j) * (kMax - kMin) / float(surface->Height() - 1);
            v[kssZ] = z[std::size_t(i)];
            v[kssRed] = v[kssGreen] = v[kssBlue] = 1;
            low = std::min(low, v[kssZ]);
            high = std::max(high, v[kssZ]);
        }
    }
    const float s = (kZMax - kZMin) / (high - low), o = kZMin - low * s;
    for (int j = 0; j < surface->Height(); ++j)
        for (int i = 0; i < surface->Width(); ++i) {
            float& z = *surface->NodeSlot(i, j, kssZ);
            z = z * s + o;
        }
    surface->EndGridUpdate(0);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    surface->SetReflection(law.get());
    return surface;
}

// A camera, lights and a drawing system around the surfaces drawn.
struct Stage {
    TOwned<TKEyeSystem3D> camera{TKEyeSystem3D::New()};
    TOwned<TKCustomLightSystem3DList> lights{TKCustomLightSystem3DList::New()};
    TOwned<TKDrawingSystem3D> ds{TKDrawingSystem3D::New()};

    Stage()
    {
        ds->SetImageSize(kWidth, kHeight);
        ds->SetBackground({0.04, 0.05, 0.09});
        // Green and blue come from canvas channels 2 and 3, which a user switches on in the
        // setup form.
        ds->BeginSetup(0);
        ds->Canvas()->SetChannelEnabled(2, true);
        ds->Canvas()->SetChannelEnabled(3, true);
        ds->EndSetup(0);
    }
    ~Stage() { lights->Clear(); }

    // The camera at eye looking at target: x to the right, y up in the picture, z along the
    // view (a camera's frame is mirrored, as a new camera's diag(1, 1, -1) is).
    void Look(const TVector3D& eye, const TVector3D& target, double screenDistance)
    {
        TVector3D forward{target.x - eye.x, target.y - eye.y, target.z - eye.z}, up;
        VectorNormalize(forward, forward);
        const TVector3D right{1, 0, 0};
        VectorCross(right, forward, up);
        camera->SetScreenDistance(screenDistance);
        camera->Basis()->SetPlacement(FromColumns(right, up, forward), eye);
    }

    void AddAmbient(const TVector3D& colour)
    {
        auto* light = TKAmbientLight3D::New();
        light->SetColor(colour);
        lights->Add(light);
    }
    // A flat light travelling along direction.
    void AddFlat(const TVector3D& direction, const TVector3D& colour)
    {
        auto* light = TKFlatSpringLight3D::New();
        light->Basis()->SetPlacement(FrameAlong(direction), {0, 0, 0});
        light->UpdateDirection();
        light->SetColor(colour.x, colour.y, colour.z);
        lights->Add(light);
    }
    // A point light at position with its spot's axis towards target.
    void AddPoint(const TVector3D& position, const TVector3D& target, const TVector3D& colour)
    {
        auto* light = TKPointSpringLight3D::New();
        light->Basis()->SetPlacement(
            FrameAlong({target.x - position.x, target.y - position.y, target.z - position.z}), position);
        light->UpdatePlacement();
        light->SetColor(colour.x, colour.y, colour.z);
        light->SetAttenuation(0.8, 0.002, 0);
        light->SetSpot(6, 0.9);
        lights->Add(light);
    }

    QImage Draw(TKSurface3D& surface, int colourType)
    {
        ds->SetColorType(colourType);
        TDrawContext3D context;
        context.Camera = camera.get();
        context.Lights = lights.get();
        context.DrawSystem = ds.get();
        ds->BeginDrawing(0);
        surface.Draw(&context);
        ds->EndDrawing(0);
        return ViewerPicture(*ds);
    }
    // The picture drawn last, shown in another colour type as the setup form repaints it.
    QImage Repainted(int colourType)
    {
        ds->SetColorType(colourType);
        return ViewerPicture(*ds);
    }
};

// The lights of the golden scenes, by name.
void AddLights(Stage& stage, const std::string& which)
{
    if (which == "ambient" || which == "all") stage.AddAmbient({0.22, 0.25, 0.32});
    if (which == "flat" || which == "all") stage.AddFlat({0.6, 0.5, -1}, {0.35, 0.33, 0.3});
    if (which == "point" || which == "all")
        stage.AddPoint({-150, -300, 320}, {-30, 20, 40}, {0.75, 0.58, 0.36});
}

class SurfaceGolden : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        s_layer = new std::string(WriteHillLayer(*s_dir));
    }
    static void TearDownTestSuite()
    {
        delete s_layer;
        delete s_dir;
    }
    // The stage of the golden scenes: the camera above the surface's front edge.
    static void Place(Stage& stage) { stage.Look({0, -520, 380}, {0, 0, 30}, 430); }

    static TempDir* s_dir;
    static std::string* s_layer;
};
TempDir* SurfaceGolden::s_dir = nullptr;
std::string* SurfaceGolden::s_layer = nullptr;

TEST_F(SurfaceGolden, TrianglesUnderEachLightInEveryColourType)
{
    TOwned<TKSurface3D> surface = SurfaceFromLayer(*s_layer);
    ASSERT_EQ(surface->Width(), kGrid);
    surface->SetSmoothShading(1);
    for (const std::string light : {"ambient", "flat", "point", "all"}) {
        Stage stage;
        Place(stage);
        AddLights(stage, light);
        stage.Draw(*surface, 1);
        for (int type = 1; type <= 6; ++type) {
            const std::string name = "surface-" + light + "-" + std::to_string(type);
            EXPECT_TRUE(MatchesGolden(stage.Repainted(type), name));
        }
    }
}

TEST_F(SurfaceGolden, LinesAndPointsUnderAllLights)
{
    TOwned<TKSurface3D> surface = SurfaceFromLayer(*s_layer);
    Stage stage;
    Place(stage);
    AddLights(stage, "all");
    struct Case {
        int mode, step;
        const char* name;
    };
    for (const Case& k : {Case{ksmLines, 8, "surface-lines"}, Case{ksmPoints, 4, "surface-points"}}) {
        TSurfaceSettings settings;
        settings.Mode = k.mode;
        settings.Step = k.step;
        settings.SmoothShading = 1;
        surface->ApplySettings(settings);
        EXPECT_TRUE(MatchesGolden(stage.Draw(*surface, 5), k.name));
    }
}

// A flat plate straight in front of the camera, facing it, lit head-on by a white flat
// light of intensity 1: the law gives every channel 1, the full level.
TEST(SurfaceLighting, APlateFacingAWhiteLightShowsFullLevel)
{
    TOwned<TKSurface3D> plate(TKSurface3D::New());
    plate->SetSize(16, 16);
    plate->BeginGridUpdate(0);
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i) {
            float* v = plate->Node(i, j)->Values;
            v[kssX] = float(i - 8) * 20;
            v[kssY] = float(j - 8) * 20;
            v[kssZ] = -500;
            v[kssRed] = v[kssGreen] = v[kssBlue] = 1;
        }
    plate->EndGridUpdate(0);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    plate->SetReflection(law.get());
    Stage stage;  // a new camera at the origin looks along -z
    stage.AddFlat({0, 0, -1}, {1, 1, 1});
    for (int type : {4, 5}) {
        const QImage picture = stage.Draw(*plate, type);
        EXPECT_EQ(picture.pixel(kWidth / 2, kHeight / 2) & 0xFFFFFF, 0xFFFFFFu) << "colour type " << type;
    }
    // Turned away from the light the plate is dark.
    stage.lights->Clear();
    stage.AddFlat({0, 0, 1}, {1, 1, 1});
    EXPECT_EQ(stage.Draw(*plate, 5).pixel(kWidth / 2, kHeight / 2) & 0xFFFFFF, 0u);
}

}  // namespace
