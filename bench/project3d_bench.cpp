// What the 3D project costs: how long a scene edit takes to stop a running 4096 x 4096
// surface pass, against the whole pass; and saving and loading a large scene (20,000 lights
// with depositories, 2,000 cameras, 50 viewers, 200 surfaces of 64 x 64, a ties model of
// 1,000,000 points), against copying a file of the same size.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_registry.h"
#include "bench/model_units.h"
#include "platform/kernel/files.h"
#include "platform/kernel/threads.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_point_constructions.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_surface3d.h"

namespace {

void FillSurface(TKSurface3D& surface, int size)
{
    surface.BeginGridUpdate(0);
    surface.SetSize(size, size);
    for (int j = 0; j < size; ++j) {
        TSurfaceNode* row = surface.NodeRow(j);
        for (int i = 0; i < size; ++i) {
            float* v = row[i].Values;
            v[kssX] = -200 + 400.0f * float(i) / float(size - 1);
            v[kssY] = -200 + 400.0f * float(j) / float(size - 1);
            v[kssZ] = 30 * std::sin(0.01f * float(i)) * std::cos(0.013f * float(j));
            v[kssRed] = v[kssGreen] = v[kssBlue] = 1;
        }
    }
    surface.EndGridUpdate(0);
}

TKEyeSystem3D* LookingDown(TKelvora3DProject& project)
{
    auto* camera = TKEyeSystem3D::New(nullptr);
    camera->SetScreenDistance(300);
    camera->Basis()->SetPlacement(TMatrix3D{{1, 0, 0, 0, 1, 0, 0, 0, -1}}, {0, 0, 500});
    project.AddObject(nullptr, camera);
    return camera;
}

const bool kImageStop = RegisterBench("image-stop-4k", "image-pass-4k", [](BenchContext&) {
    ModelUnits units;
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
    BenchTimes t;
    project->BeginSceneEdit(0);
    auto* surface = TKSurface3D::New(nullptr);
    FillSurface(*surface, 4096);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    surface->SetReflection(law.get());
    project->AddObject(nullptr, surface);
    auto* light = TKAmbientLight3D::New(nullptr);
    light->SetColor({0.8, 0.8, 0.8});
    project->AddObject(nullptr, light);
    auto* ds = TKDrawingSystem3D::New(nullptr);
    ds->SetImageSize(800, 600);
    project->AddObject(nullptr, ds);
    project->SetViewerCamera(ds, LookingDown(*project));
    project->RedrawObject(nullptr);
    // The whole pass, in this thread.
    t.referenceSeconds = Seconds([&] { project->RunImagePasses(nullptr); });
    project->RedrawObject(nullptr);
    project->EndSceneEdit(0);
    // A third into the job's pass, an edit stops it.
    while (project->ImageThread()->State() != ktsRunning) Sleep(1);
    Sleep(DWORD(t.referenceSeconds * 1000 / 3));
    if (project->ImageThread()->State() != ktsRunning) std::abort();
    t.seconds = Seconds([&] { project->BeginSceneEdit(0); });
    project->EndSceneEdit(0);
    project->ImageThread()->Join();
    return t;
});

// A depository of one small record per light, as the light editors keep.
class BenchLightDepository : public TKDepositoryCustomConstruction3D {
    DECLARE_TCLASS(BenchLightDepository)

    int RecordSize() const override { return 32; }

protected:
    BenchLightDepository() = default;
};
IMPLEMENT_TCLASS(BenchLightDepository, TKDepositoryCustomConstruction3D)

struct LargeScene {
    std::string file;
    std::string copy;
};

// Builds and saves the large scene once; its file stays for the load.
void BuildLargeScene(TKelvora3DProject& project)
{
    project.BeginSceneEdit(0);
    for (int i = 0; i < 20000; ++i) {
        auto* light = TKPointSpringLight3D::New(nullptr);
        light->SetColor(0.001 * (i % 1000), 0.5, 0.25);
        project.AddObject(nullptr, light);
        if (auto* depository = ObjectAs<BenchLightDepository>(project.GetDepository(light))) {
            depository->SetRecordCount(2);
            depository->SetRecordName(0, "Ordinary");
            depository->SetRecordName(1, "Special");
        }
    }
    for (int i = 0; i < 2000; ++i) project.AddObject(nullptr, TKEyeSystem3D::New(nullptr));
    for (int i = 0; i < 50; ++i) {
        auto* ds = TKDrawingSystem3D::New(nullptr);
        ds->SetImageSize(64, 48);
        project.AddObject(nullptr, ds);
    }
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    for (int i = 0; i < 200; ++i) {
        auto* surface = TKSurface3D::New(nullptr);
        FillSurface(*surface, 64);
        surface->SetReflection(law.get());
        project.AddObject(nullptr, surface);
    }
    auto* ties = TKTiesConstruction3D::New(nullptr);
    ties->SetPointCount(1000000);
    ties->BeginPointsUpdate(0);
    for (int i = 0; i < 1000000; ++i)
        if (TPointRecord3D* p = ties->GetPoint(i)) {
            p->Position = {float(i % 1000), float(i / 1000), float(i % 7)};
            p->Normal = {0, 0, 1};
            p->Color = {1, 1, 1};
        }
    ties->EndPointsUpdate(0);
    project.AddObject(nullptr, ties);
    project.EndSceneEdit(0);
}

// The light depository's class, so that a load can make it.
struct DepositoryRegistration {
    DepositoryRegistration()
    {
        RegisterClassBranch(BenchLightDepository::StaticClass());
        RegisterDepositoryClass(BenchLightDepository::StaticClass(), TKPointSpringLight3D::StaticClass());
    }
    ~DepositoryRegistration()
    {
        UnregisterDepositoryClass(BenchLightDepository::StaticClass(), TKPointSpringLight3D::StaticClass());
        UnregisterClassBranch(BenchLightDepository::StaticClass());
    }
};

const bool kProjectSave = RegisterBench("project-save-large", "file-copy", [](BenchContext& ctx) {
    ModelUnits units;
    DepositoryRegistration registration;
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
    BuildLargeScene(*project);
    const std::string file = ctx.File("large.ktp"), copy = ctx.File("large-copy.ktp");
    // Each write starts right after its previous output went, so both take page-cache pages
    // the system has just freed. Otherwise the save, which comes after seconds of building,
    // takes pages a virtual machine has handed back to its host meanwhile (each one a host
    // fault when first written), and the copy right after it takes those the save freed.
    std::filesystem::remove(file);
    const Timing save = Measure([&] { project->SaveToFile(file); });
    std::filesystem::remove(copy);
    const Timing reference = Measure([&] { CopyFile(file.c_str(), copy.c_str(), FALSE); });
    if (std::filesystem::file_size(file) != std::filesystem::file_size(copy)) std::abort();
    return BenchTimes{save.wall, reference.wall, save.cpu, reference.cpu};
});

const bool kProjectLoad = RegisterBench("project-load-large", "file-copy", [](BenchContext& ctx) {
    ModelUnits units;
    DepositoryRegistration registration;
    const std::string file = ctx.File("large-load.ktp"), copy = ctx.File("large-load-copy.ktp");
    {
        TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
        BuildLargeScene(*project);
        project->SaveToFile(file);
    }
    TOwned<TKelvora3DProject> loaded(TKelvora3DProject::New(nullptr));
    const Timing load = Measure([&] { loaded->LoadFromFile(file); });
    const Timing reference = Measure([&] { CopyFile(file.c_str(), copy.c_str(), FALSE); });
    if (loaded->Lights()->Count() != 20000 || loaded->ViewerCount() != 50 ||
        loaded->Objects()->Count() != 201)
        std::abort();
    return BenchTimes{load.wall, reference.wall, load.cpu, reference.cpu};
});

}  // namespace
