// The surface's pass runs by bands of sampled rows on the platform's band engine: whatever
// the number of threads, it emits the same primitives with the same vertices, bit for bit.

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/row_bands.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace {

using namespace kelvora::test;

// The vertices of every primitive of a lit pass over a 203 x 157 surface (sampled with step
// 2 on a wire grid and step 1 as triangles), drawn on `threads` threads.
std::vector<float> Drawn(int threads)
{
    platform::ScopedRowDriverThreads scoped(threads);
    TOwned<TKSurface3D> surface(TKSurface3D::New());
    surface->SetSize(203, 157);
    surface->BeginGridUpdate(0);
    for (int j = 0; j < surface->Height(); ++j)
        for (int i = 0; i < surface->Width(); ++i) {
            float* v = surface->Node(i, j)->Values;
            v[kssX] = float(i - 100);
            v[kssY] = float(j - 80);
            v[kssZ] = float(10 * std::sin(0.07 * i) * std::cos(0.05 * j)) - 300;
            v[kssRed] = 1;
            v[kssGreen] = float(i % 7) / 7;
            v[kssBlue] = float(j % 5) / 5;
        }
    surface->EndGridUpdate(0);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    surface->SetReflection(law.get());
    surface->SetAttenuation(1, 0.001, 0);
    TOwned<TKCustomLightSystem3DList> lights(TKCustomLightSystem3DList::New());
    lights->Add(TKAmbientLight3D::New());
    auto* light = TKPointSpringLight3D::New();
    light->Basis()->SetPlacement(TMatrix3D{{0, 0, 1, 0, 1, 0, -1, 0, 0}}, {20, -10, 0});
    light->UpdatePlacement();
    light->SetSpot(1, 0.5);
    lights->Add(light);
    TOwned<TKEyeSystem3D> camera(TKEyeSystem3D::New());
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    TDrawContext3D context;
    context.Camera = camera.get();
    context.Lights = lights.get();
    context.DrawSystem = ds.get();
    std::vector<float> out;
    for (const auto& [mode, step] : {std::pair{ksmLines, 2}, std::pair{ksmTriangles, 1}}) {
        TSurfaceSettings settings;
        settings.Mode = mode;
        settings.Step = step;
        surface->ApplySettings(settings);
        ds->Clear();
        surface->Draw(&context);
        for (const TestDrawSystem::Primitive& p : ds->primitives)
            for (const TVertex3S& v : p.v) out.insert(out.end(), {v.x, v.y, v.z, v.c1, v.c2, v.c3});
    }
    lights->Clear();
    return out;
}

TEST(SurfaceThreads, OneThreeAndEightThreadsEmitTheSameVertices)
{
    const std::vector<float> one = Drawn(1);
    ASSERT_FALSE(one.empty());
    for (int threads : {3, 8}) {
        const std::vector<float> many = Drawn(threads);
        ASSERT_EQ(many.size(), one.size()) << threads;
        EXPECT_EQ(std::memcmp(many.data(), one.data(), one.size() * sizeof(float)), 0) << threads;
    }
}

}  // namespace
