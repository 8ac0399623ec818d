// What mirroring a branch tree into a tree view costs: FillTreeFromBranch of a tree of
// 10,000 branches (100 expanded groups of 99 entries) against inserting the same nodes
// straight into the platform's tree control, with their data and expanded states.

#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/forms.h"
#include "platform/resources/module_resources.h"
#include "plugin3d/forms/forms_units.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/core/k_data_branch.h"

namespace {

constexpr int kGroups = 100;
constexpr int kEntries = 99;

constexpr TControlResource kControls[] = {
    {.className = "TTreeView", .name = "Tree", .bounds = {0, 0, 400, 600}, .align = alClient},
};
constexpr TFormResource kForms[] = {
    {.name = "TMIRRORBENCHFORM", .clientWidth = 400, .clientHeight = 600, .controls = kControls},
};
constexpr platform::ModuleResources kResources{.module = "tree mirror bench", .forms = kForms};

class TMirrorBenchForm : public TForm {
    DECLARE_TCLASS(TMirrorBenchForm)

protected:
    TMirrorBenchForm() = default;
};
IMPLEMENT_TCLASS(TMirrorBenchForm, TForm)

TKDataBranch* MakeTree()
{
    TKDataBranch* root = TKDataBranch::NewNamed("root", 1);
    for (int g = 0; g < kGroups; ++g) {
        TKDataBranch* group = TKDataBranch::NewNamed("Group " + std::to_string(g), 1);
        root->AddChild(group);
        for (int e = 0; e < kEntries; ++e)
            group->AddChild(TKDataBranch::NewNamed("Entry " + std::to_string(e)));
    }
    return root;
}

struct Host {
    Host()
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(FormsUnits().data(), FormsUnits().size());
        platform::RegisterModuleResources(kResources);
        form = TMirrorBenchForm::New(nullptr);
        form->Show();
        tree = form->FindControl<TTreeView>("Tree");
        plainHost.CreateEx(0, AfxRegisterWndClass(0), "Tree", WS_OVERLAPPED, CRect(0, 0, 400, 600), nullptr,
                           0);
        plain.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                     CRect(0, 0, 400, 600), &plainHost, 100);
        plainHost.ShowWindow(SW_SHOW);
        branches = MakeTree();
    }
    TMirrorBenchForm* form = nullptr;
    TTreeView* tree = nullptr;
    CWnd plainHost;
    CTreeCtrl plain;
    TKDataBranch* branches = nullptr;
};

// The reference: the same nodes, data and expanded states put in directly.
void InsertStraight(CTreeCtrl& tree, TKDataBranch* root)
{
    tree.DeleteAllItems();
    for (int g = 0; g < root->Count(); ++g) {
        TKDataBranch* group = root->DataChild(g);
        const HTREEITEM groupItem = tree.InsertItem(group->Name().c_str(), TVI_ROOT, TVI_LAST);
        tree.SetItemData(groupItem, reinterpret_cast<DWORD_PTR>(group));
        for (int e = 0; e < group->Count(); ++e) {
            TKDataBranch* entry = group->DataChild(e);
            const HTREEITEM item = tree.InsertItem(entry->Name().c_str(), groupItem, TVI_LAST);
            tree.SetItemData(item, reinterpret_cast<DWORD_PTR>(entry));
        }
        tree.Expand(groupItem, group->Flag() ? TVE_EXPAND : TVE_COLLAPSE);
    }
}

const bool kRegistered = RegisterBench("tree-mirror-10k", "tree-insert-10k", [](BenchContext&) {
    static Host* host = new Host;  // lives for the run
    BenchTimes t;
    t.seconds = Seconds([&] { FillTreeFromBranch(host->branches, host->tree->Items()); });
    t.referenceSeconds = Seconds([&] { InsertStraight(host->plain, host->branches); });
    return t;
});

}  // namespace
