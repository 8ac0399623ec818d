// The image job racing the user: while it renders a 1024 x 1024 surface into three viewers,
// the user-interface thread changes everything a pass reads. Run under ThreadSanitizer too:
// no race, never two passes at once, and at the end every viewer shows a fresh render.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "platform/kernel/threads.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/scene/full_scene_support.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"

namespace kelvora::test {

/// A construction that counts the draw passes running through it at once.
class PassProbe : public TKCustomConstruction3D {
    DECLARE_TCLASS(PassProbe)

    void Draw(TDrawContext3D*) override
    {
        const int now = ++inFlight;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        --inFlight;
    }
    std::atomic<int> inFlight{0};
    std::atomic<int> most{0};

protected:
    PassProbe() = default;
};
IMPLEMENT_TCLASS(PassProbe, TKCustomConstruction3D)

}  // namespace kelvora::test

namespace {

using namespace kelvora::test;

constexpr int kGrid = 1024;

void FillWaves(TKSurface3D& surface, int width, int height, float phase)
{
    surface.BeginGridUpdate(0);
    surface.SetSize(width, height);
    for (int j = 0; j < height; ++j) {
        TSurfaceNode* row = surface.NodeRow(j);
        for (int i = 0; i < width; ++i) {
            float* v = row[i].Values;
            v[kssX] = -150 + 300.0f * float(i) / float(width - 1);
            v[kssY] = -150 + 300.0f * float(j) / float(height - 1);
            v[kssZ] = 20 * std::sin(0.02f * float(i) + phase) * std::cos(0.015f * float(j));
            v[kssRed] = v[kssGreen] = v[kssBlue] = 1;
        }
    }
    surface.EndGridUpdate(0);
}

TEST(ImageJobRace, EditsDuringThePassesLeaveEveryViewerAsAFreshRender)
{
    auto project = NewProject();
    auto* surface = TKSurface3D::New(nullptr);
    FillWaves(*surface, kGrid, kGrid, 0);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    surface->SetReflection(law.get());
    // Every fourth node of each row and column: the passes stay short enough for the many
    // restarts under ThreadSanitizer, over all of the grid's data.
    TSurfaceSettings settings;
    settings.Step = 4;
    surface->ApplySettings(settings);
    project->AddObject(nullptr, surface);
    auto* probe = PassProbe::New(nullptr);
    project->AddObject(nullptr, probe);
    auto* ambient = TKAmbientLight3D::New(nullptr);
    ambient->SetColor({0.3, 0.3, 0.35});
    project->AddObject(nullptr, ambient);
    auto* flat = TKFlatSpringLight3D::New(nullptr);
    flat->SetColor(0.5, 0.45, 0.4);
    project->AddObject(nullptr, flat);
    auto* camera = TKEyeSystem3D::New(nullptr);
    camera->SetScreenDistance(200);
    camera->Basis()->SetPlacement(TMatrix3D{{1, 0, 0, 0, 1, 0, 0, 0, -1}}, {0, 0, 400});
    project->AddObject(nullptr, camera);
    TKDrawingSystem3D* viewers[3];
    const int types[3] = {1, 4, 5};
    for (int k = 0; k < 3; ++k) {
        viewers[k] = TKDrawingSystem3D::New(nullptr);
        viewers[k]->SetImageSize(160, 120);
        viewers[k]->SetColorType(types[k]);
        project->AddObject(nullptr, viewers[k]);
        project->SetViewerCamera(viewers[k], camera);
    }

    for (int round = 0; round < 12; ++round) {
        // Let a pass get going before the next edit.
        WaitUntil([&] { return project->ImageThread()->State() == ktsRunning || !project->ImagePending(); });
        Sleep(2);
        switch (round % 6) {
            case 0:
                FillWaves(*surface, kGrid - 8 * (round % 4), kGrid, float(round));
                break;
            case 1:
                flat->SetColor(0.3 + 0.05 * round, 0.4, 0.5);
                ambient->SetColor({0.1, 0.2 + 0.01 * round, 0.3});
                break;
            case 2: {
                TKDrawingSystem3D* ds = viewers[round % 3];
                ds->SetImageSize(160 + 8 * (round % 3), 120);
                ds->SetColorType(types[(round + 1) % 3]);
                break;
            }
            case 3: {
                auto* extra = TKAmbientLight3D::New(nullptr);
                project->AddObject(nullptr, extra);
                extra->Free();
                break;
            }
            case 4: {
                auto* extra = TKDrawingSystem3D::New(nullptr);
                project->AddObject(nullptr, extra);
                project->SetViewerCamera(extra, camera);
                project->DeleteViewer(project->IndexOfViewer(extra));
                break;
            }
            default:
                surface->SetName("Waves " + std::to_string(round));
                viewers[round % 3]->SetName("Viewer " + std::to_string(round));
                break;
        }
    }
    ASSERT_TRUE(WaitForImages(*project));
    std::vector<QImage> shown;
    for (TKDrawingSystem3D* ds : viewers) shown.push_back(ViewerPicture(*ds));
    project->Invalidate(nullptr);
    ASSERT_TRUE(WaitForImages(*project));
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(ViewerPicture(*viewers[k]) == shown[std::size_t(k)]) << "viewer " << k;
    EXPECT_EQ(probe->most.load(), 1);
    EXPECT_EQ(project->ViewerCount(), 3);
}

}  // namespace
