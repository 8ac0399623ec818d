// What one tick of a held navigator step button costs: an angle box read and written, the
// slave turned with its 1,000 sub-bases, the boxes shown again and the dial's preview drawn
// again for the new orientation, against drawing that preview alone. The repeat timer ticks
// every 100 ms.

#include <vector>

#include "bench/bench_registry.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/forms_units.h"
#include "plugin3d/forms/k_navigator3d.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/k_scene3d.h"
#include "plugin3d/model/scene/scene_units.h"
#include "platform/forms/extctrls.h"

namespace {

constexpr int kSubBases = 1000;
constexpr int kTicks = 50;

class NavigatorHost {
public:
    NavigatorHost()
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(RenderUnits().data(), RenderUnits().size());
        InitializeUnits(SceneUnits().data(), SceneUnits().size());
        InitializeUnits(FormsUnits().data(), FormsUnits().size());
        container = TKNavigator3DContainerObject::New(nullptr);
        slave = TKBasis3D::New(nullptr);
        for (int i = 0; i < kSubBases; ++i) {
            TKBasis3D* sub = TKBasis3D::New(nullptr);
            sub->SetPlacement(TMatrix3D{}, {double(i), 0, 1});
            slave->AddChild(sub);
            subs.push_back(sub);
        }
        container->Navigator()->SetSlave(slave);
    }
    ~NavigatorHost()
    {
        FreeAndNil(container);
        for (TKBasis3D* sub : subs) sub->Free();
        slave->Free();
        FinalizeUnits(FormsUnits().data(), FormsUnits().size());
        FinalizeUnits(SceneUnits().data(), SceneUnits().size());
        FinalizeUnits(RenderUnits().data(), RenderUnits().size());
        FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    }
    NavigatorHost(const NavigatorHost&) = delete;
    NavigatorHost& operator=(const NavigatorHost&) = delete;

    TKNavigator3DContainerObject* container = nullptr;
    TKBasis3D* slave = nullptr;
    std::vector<TKBasis3D*> subs;
};

const bool kRegistered = RegisterBench("navigator-step", "navigator-preview", [](BenchContext&) {
    NavigatorHost host;
    TKNavigator3D* nav = host.container->Navigator();
    TSpeedButtonEx* up = nav->StepButtons[6];  // X^X' up: the orientation, so the dial turns
    up->OnMouseDown(up, mbLeft, 0, 0, 0);      // the first tick; the timer now runs
    BenchTimes times;
    times.seconds = Seconds([&] {
                        for (int i = 0; i < kTicks; ++i) nav->Timer1->OnTimer(nav->Timer1);
                    }) /
                    kTicks;
    up->OnMouseUp(up, mbLeft, 0, 0, 0);
    TKSimpleScene3D* preview = nav->Preview();
    times.referenceSeconds = Seconds([&] {
                                 for (int i = 0; i < kTicks; ++i) preview->Invalidate(0);
                             }) /
                             kTicks;
    return times;
});

}  // namespace
