#include "tests/plugin3d/model/scene/full_scene_support.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_strings.h"
#include "plugin3d/model/render/k_rdp_file.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/scene/scene_pictures.h"

namespace kelvora::test {

IMPLEMENT_TCLASS(SurfaceDepository, TKDepositoryCustomConstruction3D)

namespace {

// The payload of a record: the settings, each field 4 bytes.
struct StoredSettings {
    std::int32_t enabled, visible, smooth, lighting, mode, step;
};

// A camera at eye looking at target, x to the right and y up in the picture.
void Look(TKEyeSystem3D& camera, const TVector3D& eye, const TVector3D& target, double screenDistance)
{
    TVector3D forward{target.x - eye.x, target.y - eye.y, target.z - eye.z}, up;
    VectorNormalize(forward, forward);
    const TVector3D right{1, 0, 0};
    VectorCross(right, forward, up);
    camera.SetScreenDistance(screenDistance);
    camera.Basis()->SetPlacement(FromColumns(right, up, forward), eye);
}

double Hill(double u, double v)
{
    const double a = (u - 0.6) / 0.2, b = (v - 0.45) / 0.22;
    return 0.5 * v + std::exp(-(a * a + b * b));
}

double Waves(double u, double v)
{
    return 0.5 + 0.25 * std::sin(9 * u) * std::cos(6 * v);
}

double Dome(double u, double v)
{
    const double r = (u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5);
    return std::max(0.0, 1 - 3 * r);
}

// A surface that stores its nodes in the project file: made as a copy of source read from
// a record whose flags ask for the nodes, as a file saved with them gives it.
TKSurface3D* StoringCopy(TKSurface3D& source)
{
    MemoryStream part;
    const int head = source.TKCustomConstruction3D::SaveToStream(&part);
    MemoryStream stream;
    source.SaveToStream(&stream);
    std::int32_t flags = 0;
    std::memcpy(&flags, stream.bytes.data() + head + 20, 4);
    flags |= 2;
    std::memcpy(stream.bytes.data() + head + 20, &flags, 4);
    const auto size = std::int32_t(source.BufferSize());
    stream.SetPosition(std::int64_t(stream.bytes.size()));
    stream.Write(&size, 4);
    stream.Write(source.NodeRow(0), size);
    stream.SetPosition(0);
    TKSurface3D* copy = TKSurface3D::New(nullptr);
    copy->LoadFromStream(&stream);
    copy->LinkObjects(&stream);
    return copy;
}

}  // namespace

// --- the surface depository ------------------------------------------------------------------------

int SurfaceDepository::RecordSize() const
{
    return sizeof(StoredSettings);
}

void SurfaceDepository::ApplyCurrentRecord()
{
    auto* surface = ObjectAs<TKSurface3D>(Construction());
    const auto* stored = static_cast<const StoredSettings*>(GetRecordData(CurrentRecord()));
    if (!surface || !stored) return;
    TSurfaceSettings settings;
    settings.Enabled = std::uint8_t(stored->enabled);
    settings.Visible = std::uint8_t(stored->visible);
    settings.SmoothShading = std::uint8_t(stored->smooth);
    settings.Lighting = stored->lighting;
    settings.Mode = stored->mode;
    settings.Step = stored->step;
    surface->ApplySettings(settings);
}

int SurfaceDepository::AddRecord(const std::string& name, const TSurfaceSettings& settings)
{
    const int index = RecordCount();
    SetRecordCount(index + 1);
    SetRecordName(index, name);
    *static_cast<StoredSettings*>(GetRecordData(index)) = {settings.Enabled,       settings.Visible,
                                                           settings.SmoothShading, settings.Lighting,
                                                           settings.Mode,          settings.Step};
    return index;
}

int SurfaceDepository::SaveToStream(TKObjectsStream* stream)
{
    const int bytes = TKDepositoryCustomConstruction3D::SaveToStream(stream);
    return bytes < 0 ? bytes : bytes + WriteStringTo(stream, layerFile);
}

int SurfaceDepository::LoadFromStream(TKObjectsStream* stream)
{
    const int bytes = TKDepositoryCustomConstruction3D::LoadFromStream(stream);
    if (bytes < 0) return bytes;
    m_loadingProject = stream ? ObjectAs<TKelvora3DProject>(stream->GetProject()) : nullptr;
    return bytes + ReadStringFrom(stream, layerFile);
}

int SurfaceDepository::EndOperation(int kind)
{
    TKelvora3DProject* project = m_loadingProject;
    m_loadingProject = nullptr;
    auto* surface = ObjectAs<TKSurface3D>(Construction());
    if (kind != kokLoad || !project || !surface || layerFile.empty()) return 0;
    std::string name = layerFile;
    layerFound = project->FindFile(name);
    if (layerFound) FillSurfaceFromLayer(*surface, name, 100, 60);
    return 0;
}

// --- layers and surfaces ---------------------------------------------------------------------------

std::string WriteLayer(const std::string& path, int width, int height, double (*shape)(double u, double v))
{
    CRDPLayer layer;
    void** rows = layer.CreateLayer(path.c_str(), width, height, int(DataType::F32));
    EXPECT_NE(rows, nullptr);
    if (!rows) return path;
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<float*>(rows[y]);
        for (int x = 0; x < width; ++x) row[x] = float(shape(x / double(width - 1), y / double(height - 1)));
    }
    EXPECT_TRUE(layer.CloseLayer());
    return path;
}

void FillSurfaceFromLayer(TKSurface3D& surface, const std::string& layerFile, float half, float height)
{
    TOwned<TKRDPFile> file(TKRDPFile::New(nullptr));
    file->Open(layerFile, 3, 1, 1);
    TKLayer* layer = file->Count() > 0 ? file->GetLayer(0) : nullptr;
    ASSERT_NE(layer, nullptr);
    layer->BeginAccess();
    surface.BeginGridUpdate(0);
    surface.SetSize(layer->Width(), layer->Height());
    float low = std::numeric_limits<float>::max(), high = -low;
    std::vector<float> z(std::size_t(surface.Width()));
    for (int j = 0; j < surface.Height(); ++j) {
        TSurfaceNode* row = surface.NodeRow(j);
        layer->ReadRowAs(j, z.data(), surface.Width());
        for (int i = 0; i < surface.Width(); ++i) {
            float* v = row[i].Values;
            v[kssX] = -half + float(i) * 2 * half / float(surface.Width() - 1);
            v[kssY] = -half + float(j) * 2 * half / float(surface.Height() - 1);
            v[kssZ] = z[std::size_t(i)];
            v[kssRed] = v[kssGreen] = v[kssBlue] = 1;
            low = std::min(low, v[kssZ]);
            high = std::max(high, v[kssZ]);
        }
    }
    const float s = high > low ? height / (high - low) : 0;
    for (int j = 0; j < surface.Height(); ++j)
        for (int i = 0; i < surface.Width(); ++i) {
            float& v = *surface.NodeSlot(i, j, kssZ);
            v = (v - low) * s;
        }
    surface.EndGridUpdate(0);
}

// --- the full scene --------------------------------------------------------------------------------

FullScene BuildFullScene(TKelvora3DProject& project, const std::string& folder, int grid, int width,
                         int height)
{
    FullScene scene;
    scene.layers = {WriteLayer(folder + "/hill.rdp", grid, grid, Hill),
                    WriteLayer(folder + "/waves.rdp", grid, grid * 3 / 4, Waves),
                    WriteLayer(folder + "/dome.rdp", std::max(grid / 4, 2), std::max(grid / 4, 2), Dome)};
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    const TMatrix3D identity{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    const TVector3D places[3] = {{0, 0, 0}, {-230, 60, 0}, {220, 80, 10}};
    for (int k = 0; k < 3; ++k) {
        TOwned<TKSurface3D> made(TKSurface3D::New(nullptr));
        FillSurfaceFromLayer(*made, scene.layers[std::size_t(k)], k == 2 ? 60.0f : 100.0f, 60);
        made->SetReflection(law.get());
        made->SetSmoothShading(1);
        made->SetName(std::string("Surface ") + char('A' + k));
        TKSurface3D* surface = k == 2 ? StoringCopy(*made) : made.release();
        surface->Basis()->SetPlacement(identity, places[k]);
        project.AddObject(nullptr, surface);
        scene.surfaces[k] = surface;
    }

    auto* ambient = TKAmbientLight3D::New(nullptr);
    ambient->SetColor({0.2, 0.22, 0.3});
    project.AddObject(nullptr, ambient);
    auto* flat = TKFlatSpringLight3D::New(nullptr);
    flat->Basis()->SetPlacement(FrameAlong({0.6, 0.5, -1}), {0, 0, 0});
    flat->UpdateDirection();
    flat->SetColor(0.4, 0.36, 0.3);
    project.AddObject(nullptr, flat);
    auto* point = TKPointSpringLight3D::New(nullptr);
    point->Basis()->SetPlacement(FrameAlong({120, 320, -280}), {-150, -300, 320});
    point->UpdatePlacement();
    point->SetColor(0.7, 0.55, 0.35);
    point->SetAttenuation(0.8, 0.002, 0);
    point->SetSpot(4, 0.8);
    project.AddObject(nullptr, point);

    for (int k = 0; k < 2; ++k) {
        auto* camera = TKEyeSystem3D::New(nullptr);
        camera->SetName(k == 0 ? "Front" : "High");
        if (k == 0)
            Look(*camera, {0, -620, 420}, {0, 20, 20}, 260);
        else
            Look(*camera, {-60, -260, 760}, {0, 30, 0}, 240);
        project.AddObject(nullptr, camera);
        scene.cameras[k] = camera;
    }

    const int colourTypes[3] = {1, 4, 5};
    const int viewerCameras[3] = {0, 1, 0};
    for (int k = 0; k < 3; ++k) {
        auto* ds = TKDrawingSystem3D::New(nullptr);
        ds->SetName("Viewer " + std::to_string(k + 1));
        ds->SetImageSize(width, height);
        ds->SetColorType(colourTypes[k]);
        ds->SetBackground({0.05, 0.06, 0.1});
        ds->BeginSetup(0);
        ds->Canvas()->SetChannelEnabled(2, true);
        ds->Canvas()->SetChannelEnabled(3, true);
        ds->EndSetup(0);
        if (k == 0) {
            ds->SetRampStartColor({0.05, 0.02, 0.15});
            ds->SetRampEndColor({1, 0.9, 0.5});
        }
        project.AddObject(nullptr, ds);
        project.SetViewerCamera(ds, scene.cameras[viewerCameras[k]]);
        scene.viewers[k] = ds;
    }

    // How each viewer shows the surfaces: by default smooth triangles; viewer 3 draws the
    // hill as a wire grid, viewer 2 the waves as points. Set as an editor's Apply sets them:
    // inside a scene edit, then every viewer is redrawn.
    project.BeginSceneEdit(0);
    for (int k = 0; k < 3; ++k) {
        auto* depository = ObjectAs<SurfaceDepository>(project.GetDepository(scene.surfaces[k]));
        EXPECT_NE(depository, nullptr);
        if (!depository) continue;
        if (k < 2) depository->layerFile = scene.layers[std::size_t(k)];
        TSurfaceSettings triangles;
        triangles.SmoothShading = 1;
        depository->AddRecord("Triangles", triangles);
        TSurfaceSettings lines = triangles;
        lines.Mode = ksmLines;
        lines.Step = 3;
        depository->AddRecord("Lines", lines);
        TSurfaceSettings points = triangles;
        points.Mode = ksmPoints;
        points.Step = 2;
        depository->AddRecord("Points", points);
        if (k == 0) depository->SetDrawingRecord(depository->AddDrawing(scene.viewers[2]), 0, 1);
        if (k == 1) depository->SetDrawingRecord(depository->AddDrawing(scene.viewers[1]), 0, 2);
    }
    project.RedrawObject(nullptr);
    project.EndSceneEdit(0);

    auto* notes = TKCustomChangeObjectList::New(nullptr);
    notes->SetName("Notes");
    project.AddObject(nullptr, notes);
    return scene;
}

FullSceneClasses::FullSceneClasses()
{
    RegisterClassBranch(SurfaceDepository::StaticClass());
    RegisterDepositoryClass(SurfaceDepository::StaticClass(), TKSurface3D::StaticClass());
}

FullSceneClasses::~FullSceneClasses()
{
    UnregisterDepositoryClass(SurfaceDepository::StaticClass(), TKSurface3D::StaticClass());
    UnregisterClassBranch(SurfaceDepository::StaticClass());
}

// --- pictures ---------------------------------------------------------------------------------------

std::vector<TKDrawingSystem3D*> DrawingSystemsOf(TKelvora3DProject& project)
{
    std::vector<TKDrawingSystem3D*> systems;
    for (int i = 0; i < project.ViewerCount(); ++i)
        if (auto* ds = ObjectAs<TKDrawingSystem3D>(project.GetDrawingSystem(i))) systems.push_back(ds);
    return systems;
}

}  // namespace kelvora::test
