#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin3d/model/core/k_data_branch.h"

namespace {

// A data branch that counts how many of its kind were freed.
class TCountedBranch : public TKDataBranch {
    DECLARE_TCLASS(TCountedBranch)

    static inline int freed = 0;

protected:
    TCountedBranch() = default;
    ~TCountedBranch() override { ++freed; }
};
IMPLEMENT_TCLASS(TCountedBranch, TKDataBranch)

TCountedBranch* Node(const std::string& name, TKBranch* parent = nullptr)
{
    auto* node = TCountedBranch::New();
    node->SetName(name);
    if (parent) parent->AddChild(node);
    return node;
}

// The names of the children, "-" for an empty slot.
std::string Children(const TKBranch* node)
{
    std::string names;
    for (int i = 0; i < node->Count(); ++i) {
        const auto* child = ObjectAs<TKDataBranch>(node->GetChild(i));
        names += (i ? " " : "") + (child ? child->Name() : std::string("-"));
    }
    return names;
}

TEST(Branch, SetParentIntoADescendantLeavesTheNodeDetached)
{
    TOwned<TKBranch> root(Node("root"));
    auto* a = Node("a", root.get());
    auto* b = Node("b", a);
    a->SetParent(b);
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(root->Count(), 0);
    EXPECT_EQ(b->Parent(), a);  // a keeps its subtree and no cycle forms
    a->Free();
}

TEST(Branch, SetChildMovesAChildAndRefusesAnAncestor)
{
    TOwned<TKBranch> root(Node("root"));
    auto* a = Node("a", root.get());
    Node("b", root.get());
    Node("c", root.get());
    auto* d = Node("d", root.get());
    root->SetChild(1, d);
    EXPECT_EQ(Children(root.get()), "a d b c");

    auto* deep = Node("deep", a);
    deep->SetChild(0, root.get());  // deep has no child 0, and root is its ancestor anyway
    a->SetChild(0, root.get());
    EXPECT_EQ(Children(a), "deep");
    EXPECT_EQ(root->Parent(), nullptr);
}

TEST(Branch, SetChildFreesTheOccupantButNotANodeTakenFromInsideIt)
{
    TOwned<TKBranch> root(Node("root"));
    auto* a = Node("a", root.get());
    auto* inner = Node("inner", a);
    Node("innermost", inner);
    TCountedBranch::freed = 0;
    root->SetChild(0, inner);
    EXPECT_EQ(TCountedBranch::freed, 1);  // a alone
    EXPECT_EQ(Children(root.get()), "inner");
    EXPECT_EQ(Children(inner), "innermost");
    root->SetChild(0, nullptr);
    EXPECT_EQ(TCountedBranch::freed, 3);
    EXPECT_EQ(Children(root.get()), "-");
}

TEST(Branch, SetCountFreesExactlyTheCutChildren)
{
    TOwned<TKBranch> root(Node("root"));
    for (const char* name : {"a", "b", "c", "d"}) Node(name, root.get());
    Node("grandchild", root->GetChild(3));
    TCountedBranch::freed = 0;
    root->SetCount(2);
    EXPECT_EQ(TCountedBranch::freed, 3);
    EXPECT_EQ(Children(root.get()), "a b");
    root->SetCount(4);
    EXPECT_EQ(Children(root.get()), "a b - -");
    root->InsertChildAt(1, Node("x"));
    root->InsertChildAt(0, nullptr);
    EXPECT_EQ(Children(root.get()), "- a x b - -");
    root->SetCount(-5);
    EXPECT_EQ(root->Count(), 0);
}

TEST(Branch, ExchangeMoveAndCounts)
{
    TOwned<TKBranch> root(Node("root"));
    for (const char* name : {"a", "b", "c"}) Node(name, root.get());
    Node("a1", root->GetChild(0));
    root->Exchange(0, 2);
    root->Exchange(0, 3);  // out of range: nothing
    EXPECT_EQ(Children(root.get()), "c b a");
    root->Move(2, 0);
    root->Move(1, 1);
    EXPECT_EQ(Children(root.get()), "a c b");
    root->GetChild(2)->MoveTo(1);
    EXPECT_EQ(Children(root.get()), "a b c");
    EXPECT_EQ(root->TotalCount(), 4);
    EXPECT_EQ(root->GetChild(2)->IndexInParent(), 2);
    EXPECT_TRUE(root->GetChild(0)->GetChild(0)->HasAncestor(root.get()));
    EXPECT_FALSE(root->HasAncestor(root->GetChild(0)));
}

TEST(Branch, AssignTreeFromAnAncestorCopiesItsOtherChildrenAndKeepsThePlace)
{
    TOwned<TKBranch> root(Node("root"));
    Node("a", root.get());
    auto* me = Node("me", root.get());
    Node("c", root.get());
    Node("old", me);
    me->AssignTree(root.get());
    EXPECT_EQ(Children(root.get()), "a me c");
    EXPECT_EQ(Children(me), "a c");
    EXPECT_NE(me->GetChild(0), root->GetChild(0));  // copies, of the same class
    EXPECT_NE(ObjectAs<TCountedBranch>(me->GetChild(0)), nullptr);
}

TEST(Branch, AssignTreeFromADescendantCopiesItAndFreesIt)
{
    TOwned<TKBranch> root(Node("root"));
    auto* a = Node("a", root.get());
    Node("a1", a);
    Node("a2", a);
    Node("b", root.get());
    TCountedBranch::freed = 0;
    root->AssignTree(a);
    EXPECT_EQ(Children(root.get()), "a1 a2");
    EXPECT_EQ(TCountedBranch::freed, 4);  // b, then a with a1 and a2; not the copies
    EXPECT_EQ(root->TotalCount(), 2);
}

TEST(DataBranch, FindersPathsAndFlags)
{
    TOwned<TKDataBranch> root(TKDataBranch::NewNamed("Root"));
    TKDataBranch* leaf = root->ForcePath("Windows\\MainWnd\\Leaf", false, '\\');
    EXPECT_EQ(root->ForcePath("windows\\mainwnd\\leaf", false, '\\'), leaf);
    EXPECT_EQ(root->FindPath("Windows\\mainwnd", true, '\\'), nullptr);
    EXPECT_EQ(root->FindPath("Windows\\MainWnd\\Leaf", true, '\\'), leaf);
    EXPECT_EQ(root->TotalCount(), 3);
    EXPECT_EQ(leaf->GetPath(nullptr, '\\'), "Root\\Windows\\MainWnd\\Leaf");
    EXPECT_EQ(leaf->GetPath(root.get(), '/'), "Windows/MainWnd/Leaf");

    TObject object;
    TKDataBranch* windows = root->FindChildByName("WINDOWS", false);
    ASSERT_NE(windows, nullptr);
    leaf->SetData(TKData::OfObject(&object));
    leaf->SetTag(-7);
    EXPECT_EQ(root->FindDataInTree(TKData::OfObject(&object)), leaf);
    EXPECT_EQ(root->FindDataInTree(TKData()), nullptr);
    EXPECT_EQ(windows->FindByData(TKData::OfObject(&object)), nullptr);  // children only
    EXPECT_EQ(leaf->Parent()->Parent(), windows);
    EXPECT_EQ(static_cast<TKDataBranch*>(leaf->Parent())->FindByTag(-7), leaf);
    EXPECT_EQ(leaf->Data().AsClass(), nullptr);  // an object is not a class
    EXPECT_EQ(leaf->Data().AsObject(), &object);

    leaf->SetFlagToRoot(1);
    EXPECT_EQ(root->Flag(), 1);
    root->SetFlagInTree(0);
    EXPECT_EQ(leaf->Flag(), 0);
    EXPECT_EQ(root->ForceChild("Windows", true), windows);
    EXPECT_NE(root->ForceChild("windows", true), windows);
}

}  // namespace
