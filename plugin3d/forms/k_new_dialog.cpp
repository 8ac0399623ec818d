#include "plugin3d/forms/k_new_dialog.h"

#include "platform/forms/comctrls.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/image_list.h"
#include "platform/forms/stdctrls.h"
#include "plugin3d/forms/class_glyphs.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_tree_mirror.h"

IMPLEMENT_TCLASS(TKNewDialog, TForm)

namespace {

bool HasChildren(TKDataBranch* branch)
{
    return branch && branch->Count() > 0;
}

// The groups below branch (branches with children of their own), each with its groups.
void AddGroups(TKDataBranch* branch, TTreeNodes* nodes, TTreeNode* parent)
{
    for (int i = 0; i < branch->Count(); ++i) {
        TKDataBranch* child = branch->DataChild(i);
        if (!HasChildren(child)) continue;
        TTreeNode* node = nodes->AddChildObject(parent, child->Name(), static_cast<TObject*>(child));
        AddGroups(child, nodes, node);
        node->SetExpanded(child->Flag() != 0);
    }
}

}  // namespace

std::vector<THandler> TKNewDialog::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(TreeView1Change), FORM_HANDLER(ListView1Change),
            FORM_HANDLER(ListView1DblClick), FORM_HANDLER(Panel1Resize)};
}

void TKNewDialog::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    TreeView1 = FindControl<TTreeView>("TreeView1");
    Splitter1 = FindControl<TSplitter>("Splitter1");
    ListView1 = FindControl<TListView>("ListView1");
    Panel1 = FindControl<TPanel>("Panel1");
    OkBtn = FindControl<TButton>("OkBtn");
    CancelBtn = FindControl<TButton>("CancelBtn");
    ImageList1 = FindControl<TImageList>("ImageList1");
}

void TKNewDialog::FormCreate(TObject*)
{
    KFlatCaption1->SetHeight(24);
    CopyClassGlyphs64(ImageList1);
    ListView1->SetLargeImages(ImageList1);
    OkBtn->SetEnabled(false);
}

void TKNewDialog::Prepare(TKDataBranch* root, TKDataBranch* initial)
{
    TTreeNodes* nodes = TreeView1->Items();
    nodes->BeginUpdate();
    nodes->Clear();
    if (root) {
        const TKTreeLock lock;
        root->SetFlagInTree(1);
        AddGroups(root, nodes, nullptr);
    }
    nodes->EndUpdate();
    TTreeNode* start = initial ? FindNodeByData(static_cast<TObject*>(initial), nodes) : nullptr;
    if (!start) start = nodes->GetFirstNode();
    if (start) {
        TreeView1->SetSelected(start);
        if (TreeView1->Selected() != start) TreeView1Change(TreeView1, start);
    }
}

TKDataBranch* TKNewDialog::SelectedEntry() const
{
    TListItem* item = ListView1->Selected();
    return item ? ObjectAs<TKDataBranch>(static_cast<TObject*>(item->Data())) : nullptr;
}

void TKNewDialog::TreeView1Change(TObject*, TTreeNode* node)
{
    ListView1->Clear();
    OkBtn->SetEnabled(false);
    auto* group = ObjectAs<TKDataBranch>(static_cast<TObject*>(node ? node->Data() : nullptr));
    if (!group) return;
    const TKTreeLock lock;
    for (int i = 0; i < group->Count(); ++i) {
        TKDataBranch* entry = group->DataChild(i);
        if (!entry || HasChildren(entry)) continue;
        ListView1->AddItem(entry->Name(), static_cast<TObject*>(entry),
                           ClassGlyphIndex64(entry->Data().AsClass()));
    }
}

void TKNewDialog::ListView1Change(TObject*, TListItem*, TItemChange)
{
    OkBtn->SetEnabled(ListView1->Selected() != nullptr);
}

void TKNewDialog::ListView1DblClick(TObject*)
{
    if (ListView1->ClickedItem()) SetModalResult(mrOk);
}

void TKNewDialog::Panel1Resize(TObject*)
{
    CancelBtn->SetLeft(Panel1->Width() - CancelBtn->Width() - 10);
    OkBtn->SetLeft(CancelBtn->Left() - OkBtn->Width() - 6);
}

bool TKNewDialog::Execute(TKDataBranch* root, TKDataBranch* initial, TKDataBranch*& chosen)
{
    chosen = nullptr;
    TOwned<TKNewDialog> dialog(TKNewDialog::New(nullptr));
    dialog->Prepare(root, initial);
    const bool ok = dialog->ShowModal() == mrOk;
    if (ok) chosen = dialog->SelectedEntry();
    return ok && chosen;
}
