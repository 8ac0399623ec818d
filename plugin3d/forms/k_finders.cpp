#include "plugin3d/forms/k_finders.h"

#include <algorithm>
#include <filesystem>

#include "platform/forms/extctrls.h"
#include "platform/forms/stdctrls.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/render/k_layers.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"

IMPLEMENT_TCLASS(TKFinderForm, TForm)
IMPLEMENT_TCLASS(TKTreeFinderForm, TKFinderForm)
IMPLEMENT_TCLASS(TKListFinderForm, TKFinderForm)
IMPLEMENT_TCLASS(TKObject3DFinder, TKTreeFinderForm)
IMPLEMENT_TCLASS(TKLayerFinderForm, TKTreeFinderForm)
IMPLEMENT_TCLASS(TKFinderReflectionForm, TKListFinderForm)
IMPLEMENT_TCLASS(TKDrawingFinderForm, TKListFinderForm)

namespace {

constexpr char kNoReflection[] = "NO REFLECTION";
// Layer files are opened to be read, shared with every other reader and writer.
constexpr std::uint32_t kShareReadWrite = 3;
constexpr std::uint32_t kNormalFile = 1;
constexpr std::uint32_t kReadOnly = 1;

bool FileExists(const std::string& name)
{
    std::error_code error;
    return !name.empty() && std::filesystem::is_regular_file(name, error);
}

}  // namespace

// --- the shared form ------------------------------------------------------------------------

std::vector<THandler> TKFinderForm::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(FormDestroy), FORM_HANDLER(FormResize),
            FORM_HANDLER(ListMouseDown), FORM_HANDLER(ListDblClick)};
}

void TKFinderForm::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    Panel1 = FindControl<TPanel>("Panel1");
    OkBtn = FindControl<TButton>("OkBtn");
    CancelBtn = FindControl<TButton>("CancelBtn");
}

void TKFinderForm::FormCreate(TObject*)
{
    KFlatCaption1->SetHeight(24);
}

void TKFinderForm::FormDestroy(TObject*) {}

void TKFinderForm::FormResize(TObject*)
{
    CancelBtn->SetLeft(ClientRect().Width() - CancelBtn->Width() - 8);
    OkBtn->SetLeft(CancelBtn->Left() - OkBtn->Width() - 4);
}

void TKFinderForm::ListMouseDown(TObject*, TMouseButton, TShiftState, int x, int y)
{
    m_lastPress = CPoint(x, y);
}

void TKFinderForm::ListDblClick(TObject*) {}

void TKTreeFinderForm::Loaded()
{
    TKFinderForm::Loaded();
    TreeView1 = FindControl<TTreeView>("TreeView1");
}

void TKTreeFinderForm::FormCreate(TObject* sender)
{
    TKFinderForm::FormCreate(sender);
    m_root = TKDataBranch::NewNamed("");
}

void TKTreeFinderForm::FormDestroy(TObject* sender)
{
    TreeView1->Items()->Clear();
    FreeAndNil(m_root);
    TKFinderForm::FormDestroy(sender);
}

void TKTreeFinderForm::ListDblClick(TObject*)
{
    if (TreeView1->GetHitTestInfoAt(m_lastPress.x, m_lastPress.y) & htOnLabel) SetModalResult(mrOk);
}

TObject* TKTreeFinderForm::SelectedObject() const
{
    auto* branch = ObjectAs<TKDataBranch>(NodeBranch(TreeView1->Selected()));
    return branch ? branch->Data().AsObject() : nullptr;
}

void TKTreeFinderForm::ShowTree(TKDataBranch* selected)
{
    FillTreeFromBranch(m_root, TreeView1->Items());
    if (!selected) return;
    if (TTreeNode* node = FindNodeByData(static_cast<TObject*>(selected), TreeView1->Items()))
        TreeView1->SetSelected(node);
}

void TKListFinderForm::Loaded()
{
    TKFinderForm::Loaded();
    ListBox1 = FindControl<TListBox>("ListBox1");
}

void TKListFinderForm::ListDblClick(TObject*)
{
    if (ListBox1->ItemIndex() >= 0) SetModalResult(mrOk);
}

// --- the pickers ----------------------------------------------------------------------------

bool PickBasis(const std::string& title, TKelvora3DProject* project, TKBasis3D*& basis)
{
    if (!project) return false;
    TOwned<TKObject3DFinder> form(TKObject3DFinder::New(nullptr));
    form->KFlatCaption1->SetCaption(title);
    TKDataBranch* root = form->Root();
    TKDataBranch* found = nullptr;
    {
        TKDataBranch* top = TKDataBranch::NewNamed(project->Name(), 1);
        const TKTreeLock lock;
        root->SetCount(0);
        root->AddChild(top);
        auto addList = [top](auto* list) {
            TKDataBranch* branch = TKDataBranch::NewNamed("");
            top->AddChild(branch);
            if (TKBasis3D* listBasis = list ? list->Basis() : nullptr) listBasis->FillBranch(branch);
        };
        addList(project->Cameras());
        addList(project->Lights());
        addList(project->Objects());
        found = basis ? root->FindDataInTree(TKData::OfObject(basis)) : nullptr;
        if (found) found->SetFlagToRoot(1);
    }
    form->ShowTree(found);
    const bool ok = form->ShowModal() == mrOk;
    basis = ok ? ObjectAs<TKBasis3D>(form->SelectedObject()) : nullptr;
    return ok;
}

bool PickReflectionLaw(TClass baseClass, TClass& lawClass)
{
    std::vector<TClass> classes;
    {
        const TKTreeLock lock;
        TKDataBranch* registry = RegistryFind(nullptr);
        if (TKDataBranch* interfaces = registry ? registry->FindChildByName("KInterfaces", false) : nullptr)
            for (int i = 0; i < interfaces->Count(); ++i) {
                TKDataBranch* entry = interfaces->DataChild(i);
                const TClass cls = entry ? entry->Data().AsClass() : nullptr;
                // A damaged registry: no choice can be offered.
                if (!cls) return false;
                if (baseClass && cls->InheritsFrom(baseClass)) classes.push_back(cls);
            }
    }
    TOwned<TKFinderReflectionForm> form(TKFinderReflectionForm::New(nullptr));
    TListBox* list = form->ListBox1;
    list->Clear();
    list->AddItem(kNoReflection, nullptr);
    int selected = 0;
    for (TClass cls : classes) {
        const int row = list->AddItem(GetClassCaption(cls));
        if (cls == lawClass) selected = row;
    }
    list->SetItemIndex(selected);
    if (form->ShowModal() != mrOk) return false;
    const int row = list->ItemIndex();
    const TClass chosen = row > 0 ? classes[static_cast<std::size_t>(row - 1)] : nullptr;
    if (chosen == lawClass) return false;
    lawClass = chosen;
    return true;
}

bool PickLayer(const std::string& fileName, int& layerIndex)
{
    if (!FileExists(fileName)) return false;
    TOwned<TKFileLayerKeeper> keeper(CreateFileLayerKeeper(fileName));
    if (!keeper) return false;
    keeper->Open(fileName, kShareReadWrite, kNormalFile, kReadOnly);
    const int count = keeper->Count();
    // A file without layers still leaves a valid index behind.
    layerIndex = std::clamp(layerIndex, 0, std::max(count - 1, 0));

    TOwned<TKLayerFinderForm> form(TKLayerFinderForm::New(nullptr));
    TKDataBranch* root = form->Root();
    TKDataBranch* selected = nullptr;
    {
        TKDataBranch* tree = keeper->MakeBranch();
        const TKTreeLock lock;
        root->SetCount(0);
        if (tree) {
            root->AddChild(tree);
            if (TKLayer* layer = keeper->GetLayer(layerIndex))
                selected = tree->FindByData(TKData::OfObject(layer));
        }
        root->SetFlagInTree(1);
    }
    form->ShowTree(selected);
    if (form->ShowModal() != mrOk) return false;
    TObject* picked = form->SelectedObject();
    if (!picked) return false;
    for (int i = 0; i < count; ++i)
        if (keeper->GetLayer(i) == picked) {
            layerIndex = i;
            return true;
        }
    return false;
}

TKDrawingSystem3D* PickDrawing(TKelvora3DProject* project)
{
    if (!project || project->ViewerCount() == 0) return nullptr;
    std::vector<TKDrawingSystem3D*> systems;
    for (int i = 0; i < project->ViewerCount(); ++i)
        if (auto* system = ObjectAs<TKDrawingSystem3D>(project->GetDrawingSystem(i)))
            systems.push_back(system);
    if (systems.empty()) return nullptr;
    TOwned<TKDrawingFinderForm> form(TKDrawingFinderForm::New(nullptr));
    for (TKDrawingSystem3D* system : systems) form->ListBox1->AddItem(system->Name(), system);
    form->ListBox1->SetItemIndex(0);
    if (form->ShowModal() != mrOk) return nullptr;
    const int row = form->ListBox1->ItemIndex();
    return row >= 0 && row < static_cast<int>(systems.size()) ? systems[static_cast<std::size_t>(row)]
                                                              : nullptr;
}
