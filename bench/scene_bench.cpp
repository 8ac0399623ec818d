// What building a scene costs: 100,000 constructions added to a construction list (each one
// listened to and its basis hung under the list's), against appending them to a vector; and
// placing a basis that carries 10,000 sub-bases, against 10,000 plain 3 x 3 products with
// their inverses.

#include <cstdlib>
#include <vector>

#include "bench/bench_registry.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
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

}  // namespace
