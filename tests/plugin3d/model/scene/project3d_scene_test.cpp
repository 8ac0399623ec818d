// The full scene through the project: saved, loaded and saved again it gives the same file
// and the same pictures, also after the project and its layers moved to another folder; its
// viewers against committed pictures; damaged files of it; and the image job racing edits.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/scene/k_point_constructions.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/scene/full_scene_support.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using namespace kelvora::test;
using tarvenix::test::ReadWholeFile;
using tarvenix::test::TempDir;

constexpr int kGrid = 48, kWidth = 200, kHeight = 150;

std::vector<QImage> Pictures(TKelvora3DProject& project)
{
    std::vector<QImage> pictures;
    for (TKDrawingSystem3D* ds : DrawingSystemsOf(project)) pictures.push_back(ViewerPicture(*ds));
    return pictures;
}

class FullSceneTest : public ::testing::Test {
protected:
    FullSceneClasses classes;
    TempDir dir;
    TOwned<TKelvora3DProject> project = NewProject();
};
using SceneGolden = FullSceneTest;
using ProjectFuzz = FullSceneTest;

TEST_F(FullSceneTest, ARoundTripGivesTheSameFileAndTheSamePictures)
{
    const FullScene scene = BuildFullScene(*project, dir.Path().string(), kGrid, kWidth, kHeight);
    ASSERT_TRUE(WaitForImages(*project));
    const std::vector<QImage> before = Pictures(*project);
    ASSERT_EQ(before.size(), 3u);
    const std::string file = dir.File("scene.ktp");
    project->SaveToFile(file);
    const std::string first = ReadWholeFile(file);
    ASSERT_FALSE(first.empty());

    auto loaded = NewProject();
    loaded->LoadFromFile(file);
    ASSERT_TRUE(WaitForImages(*loaded));
    ASSERT_EQ(loaded->ViewerCount(), 3);
    EXPECT_EQ(loaded->Objects()->Count(), 3);
    EXPECT_EQ(loaded->Lights()->Count(), 3);
    EXPECT_EQ(loaded->Cameras()->Count(), 2);
    EXPECT_EQ(loaded->CustomObjects()->Count(), 1);
    const std::vector<TKDrawingSystem3D*> viewers = DrawingSystemsOf(*loaded);
    EXPECT_EQ(loaded->GetViewerCamera(viewers[0]), loaded->Cameras()->GetItem(0));
    EXPECT_EQ(loaded->GetViewerCamera(viewers[1]), loaded->Cameras()->GetItem(1));
    EXPECT_EQ(loaded->GetViewerCamera(viewers[2]), loaded->Cameras()->GetItem(0));
    for (int k = 0; k < 3; ++k) {
        auto* surface = loaded->Objects()->GetItem(k);
        auto* depository = ObjectAs<SurfaceDepository>(loaded->GetDepository(surface));
        ASSERT_NE(depository, nullptr);
        EXPECT_EQ(depository->Construction(), surface);
        EXPECT_EQ(depository->RecordCount(), 3);
        EXPECT_EQ(depository->layerFound, k < 2);
    }
    const std::vector<QImage> after = Pictures(*loaded);
    ASSERT_EQ(after.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(after[i] == before[i]) << "viewer " << i + 1;

    loaded->SaveToFile(file);
    EXPECT_TRUE(ReadWholeFile(file) == first);
    (void)scene;
}

TEST_F(FullSceneTest, AMovedProjectFindsItsLayersInItsNewFolder)
{
    BuildFullScene(*project, dir.Path().string(), kGrid, kWidth, kHeight);
    ASSERT_TRUE(WaitForImages(*project));
    const std::vector<QImage> before = Pictures(*project);
    project->SaveToFile(dir.File("scene.ktp"));

    TempDir moved;
    for (const char* name : {"scene.ktp", "hill.rdp", "waves.rdp", "dome.rdp"}) {
        std::filesystem::copy_file(dir.File(name), moved.File(name));
        std::filesystem::remove(dir.File(name));
    }
    auto loaded = NewProject();
    loaded->LoadFromFile(moved.File("scene.ktp"));
    ASSERT_TRUE(WaitForImages(*loaded));
    for (int k = 0; k < 2; ++k) {
        auto* depository = ObjectAs<SurfaceDepository>(loaded->GetDepository(loaded->Objects()->GetItem(k)));
        ASSERT_NE(depository, nullptr);
        EXPECT_TRUE(depository->layerFound) << k;
    }
    const std::vector<QImage> after = Pictures(*loaded);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(after[i] == before[i]) << "viewer " << i + 1;
}

TEST_F(SceneGolden, TheThreeViewersShowTheSceneAsAPersonSawIt)
{
    BuildFullScene(*project, dir.Path().string(), kGrid, kWidth, kHeight);
    ASSERT_TRUE(WaitForImages(*project));
    const std::vector<QImage> pictures = Pictures(*project);
    ASSERT_EQ(pictures.size(), 3u);
    for (std::size_t i = 0; i < pictures.size(); ++i)
        EXPECT_TRUE(MatchesGolden(pictures[i], "scene-viewer-" + std::to_string(i + 1)));
}

// Seeded damage to the full scene's file, bounded by count: every load either succeeds or
// fails with one of the model's errors, and the project that tried is freed cleanly.
TEST_F(ProjectFuzz, DamagedFilesLoadOrFailCleanly)
{
    BuildFullScene(*project, dir.Path().string(), 16, 64, 48);
    // Every class a project file holds: the full scene and a point-and-tie model.
    auto* ties = TKTiesConstruction3D::New(nullptr);
    TKTiesConstruction3D::LoadFromText(ties,
                                       "Points Count : 3\r\nPoint 0\r\n p : 0 0 0\r\n n : 0 0 1\r\n"
                                       " i : 1 1 1\r\nPoint 1\r\n p : 9 0 0\r\n n : 0 0 1\r\n i : 1 0 0\r\n"
                                       "Point 2\r\n p : 0 9 0\r\n n : 0 0 1\r\n i : 0 1 0\r\n"
                                       "Ties Count : 2\r\nTie 0\r\nl : 0 1\r\nTie 1\r\nt : 0 1 2\r\n");
    ties->SetVisible(false);
    project->AddObject(nullptr, ties);
    ASSERT_TRUE(WaitForImages(*project));
    // Damaged sizes are held to what a load may have, whatever the machine: a damaged file
    // costs no more than this.
    SetLoadMemoryLimit(std::int64_t(256) << 20);
    struct Unlimit {
        ~Unlimit() { SetLoadMemoryLimit(0); }
    } unlimit;
    const std::string file = dir.File("scene.ktp");
    project->SaveToFile(file);
    const std::string original = ReadWholeFile(file);
    ASSERT_GT(original.size(), 64u);
    std::mt19937 random(20261210);
    const std::int32_t bold[] = {-1, 0, 1, 0x7FFFFFFF, std::int32_t(0x80000000), 0x10000, 4096};
    const std::string damaged = dir.File("damaged.ktp");
    int loaded = 0, refused = 0;
    for (int round = 0; round < 200; ++round) {
        std::string bytes = original;
        const int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = random() % (bytes.size() - 4);
            if (random() % 2) {
                bytes[at] = char(random());
            } else {
                const std::int32_t value = bold[random() % std::size(bold)];
                std::memcpy(bytes.data() + (at & ~std::size_t(3)), &value, 4);
            }
        }
        tarvenix::test::WriteWholeFile(damaged, bytes);
        auto target = NewProject();
        try {
            target->LoadFromFile(damaged);
            ++loaded;
            EXPECT_TRUE(WaitForImages(*target)) << "round " << round;
        } catch (const Exception&) {
            ++refused;
        } catch (const std::exception& error) {
            ADD_FAILURE() << "round " << round << ": " << error.what();
        }
    }
    EXPECT_EQ(loaded + refused, 200);
    EXPECT_GT(refused, 0);
}

}  // namespace
