// Writes the 3D project the installation offers as a template, through the plug-in's own
// objects and project writer: a surface of the bundled sample layer (heights from its
// samples) with a diffuse reflection law, an ambient and a point light, a camera that sees
// the whole surface and a viewer of a useful size bound to it, shown, so that New > Templates
// opens on a lit picture.
//   tarvenix-make-template SAMPLE.rdp OUTPUT.ktp
// Runs headless; the settings it may touch are those of TARVENIX_CONFIG_DIR.

#include <QApplication>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/forms/exceptions.h"
#include "platform/forms/units.h"
#include "platform/gdi/window_dc.h"
#include "platform/numbers/numbers.h"
#include "plugin3d/forms/forms_units.h"
#include "plugin3d/forms/k_surface3d_depository.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "plugin3d/model/scene/scene_units.h"

namespace {

// The surface spans -kHalf..kHalf across and 0..kRelief up.
constexpr double kHalf = 100, kRelief = 24;
constexpr int kGrid = 128;
constexpr int kPictureWidth = 560, kPictureHeight = 420;

TMatrix3D Columns(const TVector3D& a, const TVector3D& b, const TVector3D& c)
{
    return TMatrix3D{{a.x, b.x, c.x, a.y, b.y, c.y, a.z, b.z, c.z}};
}

TObject* MakeObject(TKelvora3DProject& project, TClass cls)
{
    TKCreateObjectRequest request{nullptr, cls, nullptr};
    project.Operation(kopCreateObject, reinterpret_cast<std::intptr_t>(&request));
    if (!request.Object) throw Exception(std::string("cannot make a ") + cls->name);
    return request.Object;
}

template <class T>
T* Make(TKelvora3DProject& project)
{
    return static_cast<T*>(MakeObject(project, T::StaticClass()));
}

void BuildScene(TKelvora3DProject& project, const std::string& sample)
{
    project.SetName("Sample relief");
    project.SetDescription("The bundled sample layer as a lit relief");

    // The surface, filled by its editor's own apply from the slots: X and Y spread over the
    // square, Z the sample's values stretched onto the relief, white colour.
    auto* surface = Make<TKSurface3D>(project);
    surface->SetName("Sample relief");
    surface->SetSmoothShading(1);
    auto* depository = ObjectAs<TKSurface3D_Depository>(project.GetDepository(surface));
    if (!depository) throw Exception("the surface has no editor's store");
    TOwned<TKSurface3D_Depository> edited(TKSurface3D_Depository::New());
    edited->Assign(depository);
    edited->SetCounts(kGrid, kGrid);
    edited->EditSlot(kssX) = {0, kHalf, -kHalf, 0, "", ""};
    edited->EditSlot(kssY) = {0, kHalf, -kHalf, 0, "", ""};
    edited->EditSlot(kssZ) = {-1, kRelief, 0, 0, sample, ""};
    for (int slot : {kssRed, kssGreen, kssBlue}) edited->EditSlot(slot) = {0, 1, 1, 0, "", ""};
    if (!TKSurface3D_Depository::RefreshLayerName(edited->EditSlot(kssZ)))
        throw Exception("no layer in \"" + sample + "\"");
    edited->SetLaw(TKSimpleDiffuseReflection::New());
    depository->ApplyEdited(nullptr, edited.get());
    if (surface->Width() != kGrid || !surface->Reflection()) throw Exception("the surface was not filled");

    // Lights: a dim ambient one and a warm point light above the front left corner.
    auto* ambient = Make<TKAmbientLight3D>(project);
    ambient->SetName("Ambient light");
    ambient->SetColor({0.14, 0.14, 0.17});
    auto* point = Make<TKPointSpringLight3D>(project);
    point->SetName("Point light");
    point->Basis()->SetPlacement(Columns({0, 0, -1}, {0, 1, 0}, {1, 0, 0}), {-90, -160, 260});
    point->UpdatePlacement();
    point->SetColor(0.62, 0.58, 0.5);

    // A camera in front of the surface looking down at 40 degrees onto its centre, far
    // enough for the whole square to lie inside the picture.
    auto* camera = Make<TKEyeSystem3D>(project);
    camera->SetName("Front camera");
    const double down = 40 * std::acos(-1.0) / 180, c = std::cos(down), s = std::sin(down);
    const double distance = 330;
    camera->SetScreenDistance(kPictureWidth * 1.05);
    camera->Basis()->SetPlacement(Columns({1, 0, 0}, {0, s, c}, {0, c, -s}),
                                  {0, -distance * c, kRelief / 2 + distance * s});

    // The viewer: true colour from three channels, bound to the camera, shown.
    auto* viewer = Make<TKDrawingSystem3D>(project);
    viewer->SetName("Sample relief");
    viewer->SetImageSize(kPictureWidth, kPictureHeight);
    viewer->SetColorType(5);
    viewer->BeginSetup(0);
    viewer->Canvas()->SetChannelEnabled(2, true);
    viewer->Canvas()->SetChannelEnabled(3, true);
    viewer->EndSetup(0);
    viewer->SetBackground({0.10, 0.12, 0.16});
    project.SetViewerCamera(viewer, camera);
    TKViewer3D* window = ViewerOf(viewer);
    if (!window) throw Exception("the viewer has no window");
    // Fitted to its picture first, then shown: the window saved is the picture's size.
    QApplication::processEvents();
    window->Show();
    QApplication::processEvents();
    viewer->SetImageSize(kPictureWidth, kPictureHeight);
    QApplication::processEvents();
    if (viewer->ImageWidth() != kPictureWidth) throw Exception("the viewer did not keep its picture's size");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SAMPLE.rdp OUTPUT.ktp\n", argv[0]);
        return 2;
    }
    const std::string sample = std::filesystem::absolute(argv[1]).string();
    const std::string output = std::filesystem::absolute(argv[2]).string();
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C");
    platform::UseCNumericLocale();
    platform::InitDrawing();
    int result = 0;
    InitializeUnits(CoreUnits().data(), CoreUnits().size());
    InitializeUnits(RenderUnits().data(), RenderUnits().size());
    InitializeUnits(SceneUnits().data(), SceneUnits().size());
    InitializeUnits(FormsUnits().data(), FormsUnits().size());
    try {
        TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
        BuildScene(*project, sample);
        CaptureViewerPlacements(project.get());
        project->SaveToFile(output);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cannot make the template %s: %s\n", output.c_str(), error.what());
        std::filesystem::remove(output);
        result = 1;
    }
    QApplication::processEvents();
    FinalizeUnits(FormsUnits().data(), FormsUnits().size());
    FinalizeUnits(SceneUnits().data(), SceneUnits().size());
    FinalizeUnits(RenderUnits().data(), RenderUnits().size());
    FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    return result;
}
