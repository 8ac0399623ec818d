// One draw pass of a 1024 x 1024 surface (2,093,058 triangles) and of a 4096 x 4096 one
// (33,538,050 triangles, a redraw at step 1), lit per node by one point light with smooth
// shading, into a 1920 x 1080 drawing system: transforming, normals, lighting, projecting,
// rasterising and painting the picture; against Mesa's llvmpipe drawing the same triangles
// with one fixed-function point light per vertex.

#include <cmath>
#include <cstdlib>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/llvmpipe_peer.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "plugin3d/model/scene/scene_units.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double kScreenDistance = 1500;

double Height(double u, double v)
{
    return 0.5 + 0.25 * std::sin(6.0 * u) * std::cos(5.0 * v) + 0.15 * std::sin(17.0 * u + 3.0 * v);
}

TMatrix3D FromColumns(const TVector3D& a, const TVector3D& b, const TVector3D& c)
{
    return TMatrix3D{{a.x, b.x, c.x, a.y, b.y, c.y, a.z, b.z, c.z}};
}

// The surface, its camera, its light and a drawing system, for one measurement.
class SurfaceScene {
public:
    explicit SurfaceScene(int grid) : m_grid(grid)
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(RenderUnits().data(), RenderUnits().size());
        InitializeUnits(SceneUnits().data(), SceneUnits().size());
        m_surface = TKSurface3D::New();
        m_surface->SetSize(m_grid, m_grid);
        m_surface->BeginGridUpdate(0);
        for (int j = 0; j < m_grid; ++j) {
            TSurfaceNode* row = m_surface->NodeRow(j);
            for (int i = 0; i < m_grid; ++i) {
                const double u = double(i) / (m_grid - 1), v = double(j) / (m_grid - 1);
                float* values = row[i].Values;
                values[kssX] = float(1000 * u - 500);
                values[kssY] = float(1000 * v - 500);
                values[kssZ] = float(150 * Height(u, v));
                values[kssRed] = values[kssGreen] = values[kssBlue] = 1;
            }
        }
        m_surface->EndGridUpdate(0);
        m_surface->SetSmoothShading(1);
        TKSimpleDiffuseReflection* law = TKSimpleDiffuseReflection::New();
        m_surface->SetReflection(law);
        law->Free();

        m_camera = TKEyeSystem3D::New();
        m_camera->SetScreenDistance(kScreenDistance);
        const TVector3D eye{0, -900, 800}, right{1, 0, 0};
        TVector3D forward{-eye.x, -eye.y, -eye.z}, up;
        VectorNormalize(forward, forward);
        VectorCross(right, forward, up);
        m_camera->Basis()->SetPlacement(FromColumns(right, up, forward), eye);

        m_lights = TKCustomLightSystem3DList::New();
        auto* light = TKPointSpringLight3D::New();
        light->Basis()->SetPlacement(TMatrix3D{}, kLightAt);
        light->UpdatePlacement();
        m_lights->Add(light);

        m_ds = TKDrawingSystem3D::New();
        m_ds->SetColorType(5);
        m_ds->SetImageSize(kWidth, kHeight);
        m_ds->BeginSetup(0);
        m_ds->Canvas()->SetChannelEnabled(2, true);
        m_ds->Canvas()->SetChannelEnabled(3, true);
        m_ds->EndSetup(0);
    }
    ~SurfaceScene()
    {
        m_lights->Clear();
        m_lights->Free();
        m_ds->Free();
        m_camera->Free();
        m_surface->Free();
        FinalizeUnits(SceneUnits().data(), SceneUnits().size());
        FinalizeUnits(RenderUnits().data(), RenderUnits().size());
        FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    }
    SurfaceScene(const SurfaceScene&) = delete;
    SurfaceScene& operator=(const SurfaceScene&) = delete;

    void Pass()
    {
        TDrawContext3D context;
        context.Camera = m_camera;
        context.Lights = m_lights;
        context.DrawSystem = m_ds;
        m_ds->BeginDrawing(0);
        m_surface->Draw(&context);
        m_ds->EndDrawing(0);
    }

    // The same triangles (the surface's checkerboard of diagonals) in the eye's space (GL's
    // eye looks along -z, ours along +z), with the normals the surface's pass computes.
    bench::LitMesh Mesh() const
    {
        bench::LitMesh mesh;
        const TKBasis3D* eye = m_camera->Basis();
        const auto toEye = [&](const TVector3D& world, float* out) {
            TVector3D local;
            eye->InverseTransform(world, local);
            out[0] = float(local.x);
            out[1] = float(local.y);
            out[2] = float(-local.z);
        };
        const auto source = [&](int i, int j) {
            const TSurfaceNode& n = m_surface->NodeRow(j)[i];
            return TVector3D{n.Values[kssX], n.Values[kssY], n.Values[kssZ]};
        };
        mesh.positions.resize(std::size_t(m_grid) * m_grid * 3);
        mesh.normals.resize(mesh.positions.size());
        mesh.colours.assign(std::size_t(m_grid) * m_grid * 4, 255);
        for (int j = 0; j < m_grid; ++j)
            for (int i = 0; i < m_grid; ++i) {
                const std::size_t at = (std::size_t(j) * m_grid + i) * 3;
                toEye(source(i, j), &mesh.positions[at]);
                TVector3D dx, dy, n, turned;
                VectorSub(source(std::min(i + 1, m_grid - 1), j), source(std::max(i - 1, 0), j), dx);
                VectorSub(source(i, std::min(j + 1, m_grid - 1)), source(i, std::max(j - 1, 0)), dy);
                VectorCross(dx, dy, n);
                VectorNormalize(n, n);
                MatrixMulVector(eye->Inverse(), n, turned);
                mesh.normals[at] = float(turned.x);
                mesh.normals[at + 1] = float(turned.y);
                mesh.normals[at + 2] = float(-turned.z);
            }
        for (int j = 0; j + 1 < m_grid; ++j)
            for (int i = 0; i + 1 < m_grid; ++i) {
                const auto n00 = std::uint32_t(j * m_grid + i), n10 = n00 + 1, n01 = n00 + m_grid,
                           n11 = n01 + 1;
                if ((i + j) % 2 != 0)
                    mesh.indices.insert(mesh.indices.end(), {n00, n10, n11, n00, n01, n11});
                else
                    mesh.indices.insert(mesh.indices.end(), {n00, n10, n01, n11, n10, n01});
            }
        return mesh;
    }

    bench::PointLight Light() const
    {
        bench::PointLight light;
        TVector3D local;
        m_camera->Basis()->InverseTransform(kLightAt, local);
        light.position[0] = float(local.x);
        light.position[1] = float(local.y);
        light.position[2] = float(-local.z);
        return light;
    }

private:
    static constexpr TVector3D kLightAt{-300, -400, 600};
    const int m_grid;
    TKSurface3D* m_surface = nullptr;
    TKEyeSystem3D* m_camera = nullptr;
    TKCustomLightSystem3DList* m_lights = nullptr;
    TKDrawingSystem3D* m_ds = nullptr;
};

BenchTimes SurfacePass(int grid)
{
    BenchTimes t;
    SurfaceScene scene(grid);
    scene.Pass();  // the first pass also touches the canvas's and the bitmap's memory
    t.seconds = Seconds([&] { scene.Pass(); });
    static bench::LlvmpipePeer* peer = new bench::LlvmpipePeer(kWidth, kHeight, 1);
    if (!peer->Ready()) {
        t.referenceMissing = peer->Missing();
        return t;
    }
    static int loaded = 0;
    if (loaded != grid) {
        peer->LoadLit(scene.Mesh(), {kScreenDistance, 10, 5000}, scene.Light());
        loaded = grid;
    }
    t.referenceSeconds = Seconds([&] { peer->DrawFrame(); });
    return t;
}

const bool kSurfacePass =
    RegisterBench("surface-pass-1k-1080p", "llvmpipe-lit", [](BenchContext&) { return SurfacePass(1024); });
const bool kSurfacePass4k =
    RegisterBench("surface-pass-4k-1080p", "llvmpipe-lit", [](BenchContext&) { return SurfacePass(4096); });

}  // namespace
