// What building and drawing a scene costs: 100,000 constructions added to a construction
// list (each one listened to and its basis hung under the list's), against appending them to
// a vector; placing a basis that carries 10,000 sub-bases, against 10,000 plain 3 x 3
// products with their inverses; the renderer's height field drawn through the drawing
// system's primitives, against the canvas alone; and a million points lit by three lights
// through the reflection law, against the same arithmetic written inline.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/height_field.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/scene_units.h"

namespace {

constexpr int kListItems = 100000;
constexpr int kSubBases = 10000;

// The model's units for the length of a measurement.
class Units {
public:
    Units()
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(RenderUnits().data(), RenderUnits().size());
        InitializeUnits(SceneUnits().data(), SceneUnits().size());
    }
    ~Units()
    {
        FinalizeUnits(SceneUnits().data(), SceneUnits().size());
        FinalizeUnits(RenderUnits().data(), RenderUnits().size());
        FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    }
};

const bool kListsAdd = RegisterBench("lists-add-100k", "vector-append", [](BenchContext&) {
    Units units;
    std::vector<TKCustomConstruction3D*> items;
    for (int i = 0; i < kListItems; ++i) items.push_back(TKCustomConstruction3D::New());
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    BenchTimes t;
    t.seconds = Seconds([&] {
        for (TKCustomConstruction3D* item : items) list->Add(item);
    });
    std::vector<TKCustomConstruction3D*> appended;
    t.referenceSeconds = Seconds([&] {
        for (TKCustomConstruction3D* item : items) appended.push_back(item);
    });
    if (list->Count() != kListItems || appended.size() != items.size()) std::abort();
    list->Clear();
    return t;
});

const bool kBasisPlace = RegisterBench("basis-place-10k", "matrix-multiply-10k", [](BenchContext&) {
    Units units;
    TOwned<TKBasis3D> top(TKBasis3D::New());
    std::vector<TOwned<TKBasis3D>> subs;
    std::vector<TMatrix3D> matrices(kSubBases);
    for (int i = 0; i < kSubBases; ++i) {
        subs.emplace_back(TKBasis3D::New());
        TMatrix3D m;
        RotationMatrix({1.0 + i % 7, 2.0, 3.0 - i % 5}, 0.001 * i, m);
        subs.back()->SetPlacement(m, {double(i), 0, 0});
        matrices[std::size_t(i)] = m;
        top->AddChild(subs.back().get());
    }
    TMatrix3D target;
    RotationMatrix({0, 1, 1}, 0.5, target);
    BenchTimes t;
    t.seconds = Seconds([&] { top->SetPlacement(target, {1, 2, 3}); });
    std::vector<TMatrix3D> products(kSubBases), inverses(kSubBases);
    t.referenceSeconds = Seconds([&] {
        for (std::size_t i = 0; i < matrices.size(); ++i) {
            MatrixMul(target, matrices[i], products[i]);
            MatrixInverse(products[i], inverses[i]);
        }
    });
    // Keeps the reference's results alive, so it is not optimised away.
    if (inverses[std::size_t(kSubBases) - 1].m[0] == 12345.0) std::abort();
    subs.clear();
    return t;
});

const bool kDrawingSystem = RegisterBench("drawsys-hf1024-1080p", "canvas-hf1024-1080p", [](BenchContext&) {
    Units units;
    static const bench::Scene scene = bench::HeightField(1024, bench::kFrameWidth, bench::kFrameHeight);
    // The same triangles as projected vertices around the picture's centre.
    std::vector<TVertex3S> vertices;
    for (const TCanvasVertex& v : scene.vertices) {
        const float level = float(v.c1) / 32768.0f;
        vertices.push_back({float(v.x - bench::kFrameWidth / 2), float(v.y - bench::kFrameHeight / 2),
                            float(v.z), level, level, level});
    }
    TOwned<TKDrawingSystem3D> ds(TKDrawingSystem3D::New());
    ds->SetImageSize(bench::kFrameWidth, bench::kFrameHeight);
    ds->SetColorType(kpfRgb111110);
    ds->SetChannelMode(2, 1);
    ds->SetChannelMode(3, 1);
    ds->SetShadeMode(1);
    const auto& idx = scene.mesh.indices;
    BenchTimes t;
    t.seconds = Seconds([&] {
        ds->BeginDrawing(0);
        for (std::size_t i = 0; i + 2 < idx.size(); i += 3)
            ds->DrawTriangleSingle(vertices[idx[i]], vertices[idx[i + 1]], vertices[idx[i + 2]]);
        ds->EndDrawing(0);
    });
    static bench::Renderer* canvasAlone = new bench::Renderer(1);
    t.referenceSeconds = Seconds([&] { canvasAlone->Frame(scene); });
    return t;
});

const bool kLights = RegisterBench("lights-1m", "plain-formula", [](BenchContext&) {
    Units units;
    constexpr int kPoints = 1000000;
    // A wavy sheet of points seen from above.
    std::vector<TVector3S> points(kPoints), normals(kPoints), views(kPoints);
    const TVector3S eye{0, 0, 500};
    for (int i = 0; i < kPoints; ++i) {
        const float x = float(i % 1000) - 500, y = float(i / 1000) - 500;
        points[std::size_t(i)] = {x, y, 20 * std::sin(x / 50) * std::cos(y / 70)};
        TVector3S n{-0.4f * std::cos(x / 50) * std::cos(y / 70), 0.28f * std::sin(x / 50) * std::sin(y / 70),
                    1};
        VectorNormalizeSingle(n, normals[std::size_t(i)]);
        const TVector3S& p = points[std::size_t(i)];
        VectorNormalizeSingle({p.x - eye.x, p.y - eye.y, p.z - eye.z}, views[std::size_t(i)]);
    }
    TOwned<TKCustomLightSystem3DList> lights(TKCustomLightSystem3DList::New());
    auto* ambient = TKAmbientLight3D::New();
    ambient->SetColor({0.1, 0.1, 0.15});
    auto* flat = TKFlatSpringLight3D::New();
    flat->SetColor(0.8, 0.7, 0.6);
    TMatrix3D down;  // the x axis, the light's way, turned towards -z
    RotationMatrix({0, 1, 0}, 2.0, down);
    flat->Basis()->BeginTransform();
    flat->Basis()->RotateInPlace(down);
    flat->Basis()->EndTransform();
    auto* point = TKPointSpringLight3D::New();
    point->SetAttenuation(0.5, 0.002, 0.00001);
    point->Basis()->BeginTransform();
    point->Basis()->ApplyTransform(TMatrix3D{}, {100, -50, 200});
    point->Basis()->EndTransform();
    lights->Add(ambient);
    lights->Add(flat);
    lights->Add(point);
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    law->Lights = lights.get();
    std::vector<float> out(3 * std::size_t(kPoints)), plain(3 * std::size_t(kPoints));

    BenchTimes t;
    t.seconds = Seconds([&] {
        for (int i = 0; i < kPoints; ++i) {
            law->Point = &points[std::size_t(i)];
            law->Normal = &normals[std::size_t(i)];
            law->ViewDir = &views[std::size_t(i)];
            law->Output = &out[3 * std::size_t(i)];
            law->Compute();
        }
    });
    const TVector3D ac = ambient->Color(), fc = flat->Color(), fd = flat->Direction(), pc = point->Color(),
                    pp = point->Position();
    const TVector3D att = point->Attenuation(), la = law->Attenuation(), ra = law->Radiation();
    t.referenceSeconds = Seconds([&] {
        auto quadratic = [](const TVector3D& c, double x) {
            return std::clamp(x * (x * c.z + c.y) + c.x, 0.0, 1.0);
        };
        auto term = [&](double x) { return quadratic(la, x); };
        for (int i = 0; i < kPoints; ++i) {
            const TVector3S &p = points[std::size_t(i)], &n = normals[std::size_t(i)],
                            &v = views[std::size_t(i)];
            float* o = &plain[3 * std::size_t(i)];
            const double k = term(1);
            double r = k * ac.x, g = k * ac.y, b = k * ac.z;
            const double kf = term(-(fd.x * n.x + fd.y * n.y + fd.z * n.z));
            r += kf * fc.x, g += kf * fc.y, b += kf * fc.z;
            TVector3S l{float(p.x - pp.x), float(p.y - pp.y), float(p.z - pp.z)};
            const float d = VectorNormalizeSingle(l, l);
            const float a = float(att.x) + float(att.y) * d + float(att.z) * d * d;
            if (a > 0) {
                const double kp = term(-(l.x * n.x + l.y * n.y + l.z * n.z)) / a;
                r += kp * pc.x, g += kp * pc.y, b += kp * pc.z;
            }
            const double radiation =
                quadratic(ra, -(double(v.x) * n.x + double(v.y) * n.y + double(v.z) * n.z));
            o[0] = float(r * radiation), o[1] = float(g * radiation), o[2] = float(b * radiation);
        }
    });
    // The law and the formula agree; a law that lit nothing would be measured cheaply.
    for (std::size_t i = 0; i < out.size(); i += 997)
        if (std::abs(out[i] - plain[i]) > 1e-4f || plain[i] <= 0) std::abort();
    lights->Clear();
    return t;
});

}  // namespace
