#include "plugin3d/forms/k_tree_mirror.h"

#include "plugin3d/model/core/k_data_branch.h"

namespace {

// Adds node's children from branch's and expands the new ones whose branches are flagged
// (the tree lock is held). A node just added starts collapsed, so only expanding costs a
// call: asking ten thousand fresh leaves to collapse would double the mirror's time.
void MirrorChildren(TKDataBranch* branch, TTreeNodes* nodes, TTreeNode* node)
{
    const int count = branch->Count();
    for (int i = 0; i < count; ++i) {
        TKDataBranch* child = branch->DataChild(i);
        if (!child) continue;
        TTreeNode* childNode = nodes->AddChildObject(node, child->Name(), static_cast<TObject*>(child));
        MirrorChildren(child, nodes, childNode);
        if (child->Flag() != 0) childNode->Expand(false);
    }
}

// Makes node's children mirror branch's children (the tree lock is held). The nodes already
// there are kept, in order, and take the new texts, data and expanded states: deleting and
// making again the control's items of a list of thousands cost more than all the rest of
// rebuilding it.
void MirrorOnto(TKDataBranch* branch, TTreeNodes* nodes, TTreeNode* node)
{
    int place = 0;
    const int count = branch->Count();
    for (int i = 0; i < count; ++i) {
        TKDataBranch* child = branch->DataChild(i);
        if (!child) continue;
        const bool expand = child->Flag() != 0;
        if (place < node->Count()) {
            TTreeNode* kept = node->Item(place);
            if (kept->Text() != child->Name()) kept->SetText(child->Name());
            kept->SetData(static_cast<TObject*>(child));
            MirrorOnto(child, nodes, kept);
            if (expand != kept->Expanded()) kept->SetExpanded(expand);
        } else {
            TTreeNode* childNode = nodes->AddChildObject(node, child->Name(), static_cast<TObject*>(child));
            MirrorChildren(child, nodes, childNode);
            if (expand) childNode->Expand(false);
        }
        ++place;
    }
    while (node->Count() > place) nodes->Delete(node->Item(node->Count() - 1));
}

bool IsBelow(const TTreeNode* node, const TTreeNode* top)
{
    for (const TTreeNode* up = node ? node->Parent() : nullptr; up; up = up->Parent())
        if (up == top) return true;
    return false;
}

struct UpdateScope {
    explicit UpdateScope(TTreeNodes* nodes) : m_nodes(nodes) { m_nodes->BeginUpdate(); }
    ~UpdateScope() { m_nodes->EndUpdate(); }
    TTreeNodes* m_nodes;
};

}  // namespace

TKBranch* NodeBranch(TTreeNode* node)
{
    return node ? ObjectAs<TKBranch>(static_cast<TObject*>(node->Data())) : nullptr;
}

TTreeNode* FindNodeByData(const void* data, TTreeNodes* nodes)
{
    if (!nodes) return nullptr;
    // Depth first, as the tree view numbers its nodes.
    const auto find = [&](auto& self, TTreeNode* node) -> TTreeNode* {
        if (node->Data() == data) return node;
        for (int i = 0; i < node->Count(); ++i)
            if (TTreeNode* found = self(self, node->Item(i))) return found;
        return nullptr;
    };
    for (int i = 0; i < nodes->TopCount(); ++i)
        if (TTreeNode* found = find(find, nodes->TopItem(i))) return found;
    return nullptr;
}

void FillTreeFromBranch(TKDataBranch* branch, TTreeNodes* nodes)
{
    if (!nodes) return;
    const UpdateScope update(nodes);
    nodes->Clear();
    if (!branch) return;
    const TKTreeLock lock;
    const int count = branch->Count();
    for (int i = 0; i < count; ++i) {
        TKDataBranch* child = branch->DataChild(i);
        if (!child) continue;
        TTreeNode* node = nodes->AddObject(nullptr, child->Name(), static_cast<TObject*>(child));
        MirrorChildren(child, nodes, node);
        if (child->Flag() != 0) node->Expand(false);
    }
}

void FillNodeFromBranch(TKDataBranch* branch, TTreeNodes* nodes, TTreeNode* node)
{
    if (!node) return FillTreeFromBranch(branch, nodes);
    if (!branch || !nodes) return;
    const UpdateScope update(nodes);
    const TKTreeLock lock;
    // A selection inside goes up to the node, as it would if its children were deleted: a kept
    // node may now stand for another object.
    TTreeView* view = node->TreeView();
    if (view && IsBelow(view->Selected(), node)) view->SetSelected(node);
    // A label being edited goes with its node, as an edit must not end on another object.
    if (view && view->IsEditing()) node->DeleteChildren();
    node->SetText(branch->Name());
    node->SetData(static_cast<TObject*>(branch));
    MirrorOnto(branch, nodes, node);
    node->SetExpanded(branch->Flag() != 0);
}
