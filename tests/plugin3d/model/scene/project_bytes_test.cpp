// The bytes of a project file: a scene of every kind of record a large project holds (lights
// with depositories, cameras, viewers bound to cameras, surfaces sharing a reflection law, a
// ties model) is saved exactly as the committed file, and that file loads and saves again
// as it did. Files written by earlier versions must stay readable byte for byte, and a
// faster writer or reader must not move one of them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_point_constructions.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using tarvenix::test::ReadWholeFile;
using tarvenix::test::TestOutputDir;
using tarvenix::test::WriteWholeFile;

// A depository of small named records per point light, as the light editors keep.
class BytesLightDepository : public TKDepositoryCustomConstruction3D {
    DECLARE_TCLASS(BytesLightDepository)

    int RecordSize() const override { return 32; }

protected:
    BytesLightDepository() = default;
};
IMPLEMENT_TCLASS(BytesLightDepository, TKDepositoryCustomConstruction3D)

class ProjectBytes : public ::testing::Test {
protected:
    ProjectBytes()
    {
        RegisterClassBranch(BytesLightDepository::StaticClass());
        RegisterDepositoryClass(BytesLightDepository::StaticClass(), TKPointSpringLight3D::StaticClass());
    }
    ~ProjectBytes() override
    {
        UnregisterDepositoryClass(BytesLightDepository::StaticClass(), TKPointSpringLight3D::StaticClass());
        UnregisterClassBranch(BytesLightDepository::StaticClass());
    }

    static std::string GoldenFile(const char* name = "scene-bytes")
    {
        return (TestOutputDir().parent_path() / "tests/plugin3d/golden" / (std::string(name) + ".ktp"))
            .string();
    }
};

// A project stores the folder it is saved in (its search path). Saves go to a folder whose
// name has always the same length, and that name reads as one fixed text when compared, so
// that files saved from different folders compare equal byte for byte.
class SaveFolder {
public:
    explicit SaveFolder(char tag)
    {
        char name[64];
        std::snprintf(name, sizeof name, "/tmp/tvx-bytes-%010ld-%c/", static_cast<long>(::getpid()), tag);
        m_path = name;
        std::filesystem::create_directories(m_path);
    }
    ~SaveFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string File(const std::string& name) const { return m_path + name; }
    /// The file's bytes with this folder's name read as the fixed one.
    std::string Canonical(std::string bytes) const
    {
        const std::string fixed = "/tmp/tvx-bytes-0000000000-X/";
        for (std::size_t at = bytes.find(m_path); at != std::string::npos; at = bytes.find(m_path, at))
            bytes.replace(at, m_path.size(), fixed);
        return bytes;
    }

private:
    std::string m_path;
};

void FillSurface(TKSurface3D& surface, int width, int height, float phase)
{
    surface.BeginGridUpdate(0);
    surface.SetSize(width, height);
    for (int j = 0; j < height; ++j) {
        TSurfaceNode* row = surface.NodeRow(j);
        for (int i = 0; i < width; ++i) {
            float* v = row[i].Values;
            v[kssX] = -50 + 100.0f * float(i) / float(width - 1);
            v[kssY] = -50 + 100.0f * float(j) / float(height - 1);
            v[kssZ] = 10 * std::sin(0.3f * float(i) + phase) * std::cos(0.2f * float(j));
            v[kssRed] = 0.25f + 0.01f * float(i);
            v[kssGreen] = 0.5f;
            v[kssBlue] = 1 - 0.01f * float(j);
        }
    }
    surface.EndGridUpdate(0);
}

// Every object is named: the automatic names count the objects the process made before.
void BuildScene(TKelvora3DProject& project)
{
    project.SetName("Bytes");
    project.BeginSceneEdit(0);
    for (int i = 0; i < 12; ++i) {
        auto* light = TKPointSpringLight3D::New(nullptr);
        light->SetColor(0.05 * i, 0.5, 0.25);
        light->SetAttenuation(1, 0.01 * i, 0.0001);
        light->SetName("Lamp " + std::to_string(i));
        project.AddObject(nullptr, light);
        if (auto* depository = ObjectAs<BytesLightDepository>(project.GetDepository(light))) {
            depository->SetRecordCount(2);
            depository->SetRecordName(0, "Ordinary");
            depository->SetRecordName(1, "Special " + std::to_string(i));
        }
    }
    auto* ambient = TKAmbientLight3D::New(nullptr);
    ambient->SetColor({0.1, 0.2, 0.3});
    ambient->SetName("Ambient");
    project.AddObject(nullptr, ambient);
    auto* flat = TKFlatSpringLight3D::New(nullptr);
    flat->SetColor(0.7, 0.6, 0.5);
    flat->SetName("Sun");
    project.AddObject(nullptr, flat);

    TKEyeSystem3D* cameras[3] = {};
    for (int i = 0; i < 3; ++i) {
        cameras[i] = TKEyeSystem3D::New(nullptr);
        cameras[i]->SetScreenDistance(200 + 50 * i);
        cameras[i]->SetName("Camera " + std::to_string(i));
        cameras[i]->Basis()->SetPlacement(TMatrix3D{{1, 0, 0, 0, 1, 0, 0, 0, -1}}, {1.5 * i, -2, 300});
        project.AddObject(nullptr, cameras[i]);
    }
    for (int i = 0; i < 3; ++i) {
        auto* ds = TKDrawingSystem3D::New(nullptr);
        ds->SetImageSize(40 + 8 * i, 30 + 6 * i);
        ds->SetName("Viewer " + std::to_string(i));
        project.AddObject(nullptr, ds);
        project.SetViewerCamera(ds, cameras[i]);
    }
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    law->SetName("Matte");
    for (int i = 0; i < 4; ++i) {
        auto* surface = TKSurface3D::New(nullptr);
        FillSurface(*surface, 9 + 7 * i, 13 + 3 * i, 0.5f * float(i));
        surface->SetReflection(law.get());
        surface->SetAttenuation(0.5, 0.25 * i, 0.125);
        surface->SetName("Hill " + std::to_string(i));
        project.AddObject(nullptr, surface);
    }
    auto* ties = TKTiesConstruction3D::New(nullptr);
    constexpr int kPoints = 500;
    ties->SetPointCount(kPoints);
    ties->SetName("Ties");
    ties->BeginPointsUpdate(0);
    for (int i = 0; i < kPoints; ++i)
        if (TPointRecord3D* p = ties->GetPoint(i)) {
            p->Position = {float(i % 25), float(i / 25), float(i % 7) * 0.5f};
            p->Normal = {0, 0.6f, 0.8f};
            p->Color = {1, 0.5f, float(i % 3) / 2};
        }
    ties->EndPointsUpdate(0);
    project.AddObject(nullptr, ties);
    project.EndSceneEdit(0);
}

TEST_F(ProjectBytes, ASceneIsSavedAsTheCommittedFile)
{
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
    BuildScene(*project);
    // The points' projected vertices are saved with them and written by the image passes the
    // scene's viewers start: the save comes after those passes, never beside them.
    ASSERT_TRUE(kelvora::test::WaitForImages(*project));
    const SaveFolder folder('a');
    const std::string file = folder.File("scene.ktp");
    project->SaveToFile(file);
    const std::string saved = folder.Canonical(ReadWholeFile(file));
    ASSERT_FALSE(saved.empty());
    if (saved != ReadWholeFile(GoldenFile())) {
        std::filesystem::create_directories(TestOutputDir());
        const std::filesystem::path actual = TestOutputDir() / "scene-bytes-actual.ktp";
        WriteWholeFile(actual.string(), saved);
        FAIL() << "the saved project differs from " << GoldenFile() << "; it is kept as " << actual;
    }
}

// The surfaces of the scene do not store their nodes: loaded, they are empty (their layer
// files would fill them), so a reloaded project is saved as its own committed file.
TEST_F(ProjectBytes, TheCommittedFileLoadsAndSavesAgainAsBefore)
{
    const std::string golden = ReadWholeFile(GoldenFile());
    ASSERT_FALSE(golden.empty()) << GoldenFile() << " is missing";
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New(nullptr));
    project->LoadFromFile(GoldenFile());
    EXPECT_TRUE(project->TakeLoadRefusals().empty());
    EXPECT_EQ(project->Lights()->Count(), 14);
    EXPECT_EQ(project->ViewerCount(), 3);
    EXPECT_EQ(project->Objects()->Count(), 5);
    ASSERT_TRUE(kelvora::test::WaitForImages(*project));
    const SaveFolder folder('b');
    const std::string file = folder.File("scene.ktp");
    project->SaveToFile(file);
    const std::string again = folder.Canonical(ReadWholeFile(file));
    if (again != ReadWholeFile(GoldenFile("scene-bytes-reloaded"))) {
        std::filesystem::create_directories(TestOutputDir());
        WriteWholeFile((TestOutputDir() / "scene-bytes-reloaded-actual.ktp").string(), again);
        ADD_FAILURE() << "the reloaded project was saved differently; it is kept in " << TestOutputDir();
    }
}

}  // namespace
