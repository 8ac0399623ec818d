#pragma once

// TKBranch: the generic tree node. A node owns its children (freeing a node frees its
// subtree), sits in at most one child list and is never its own ancestor. One lock shared
// by all trees (TreeLock) guards every structural change and every read of the structure.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugin3d/model/core/k_object.h"

class TKBranch : public TKObject {
    DECLARE_TCLASS(TKBranch)

    /// AssignTree from another TKBranch.
    void Assign(TPersistent* source) override;
    /// For kinds 3 and 4: 1 + the sum of the children's non-negative answers; -1 otherwise.
    int BeginOperation(int kind) override;
    int EndOperation(int kind) override;
    /// int32 number of non-null children, then each as an object record (null slots are
    /// skipped). -1 for a null stream.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Frees the children, then reads them back; a record of an unknown class is skipped.
    /// A stored count that is negative or cannot fit raises the "Invalid Value" error.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The sum of the children's positive answers; -1 when it is not positive or for a
    /// null stream.
    int LinkObjects(TKObjectsStream* stream) override;

    // Slots 16, 17. The shared tree lock (re-entrant).
    virtual void Lock();
    virtual void Unlock();
    // Slot 18. Puts node at index (in range; node not this one): a node of this list moves
    // there; an ancestor of this node is refused; otherwise the slot's occupant is freed and
    // node leaves its old parent for the slot. A null node frees the occupant.
    virtual void SetChild(int index, TKBranch* node);
    // Slot 19. Leaves the parent and joins node's list at its end; a node that is freeing
    // itself, or a descendant of this one, is refused, and this node stays without parent.
    virtual void SetParent(TKBranch* node);
    // Slot 20. Negative counts as 0; shrinking frees the cut children, growing adds null slots.
    virtual void SetCount(int n);
    // Slot 21. Makes the children deep copies (Clone) of source's children. Source may be an
    // ancestor (this node steps out and back to its place) or a descendant (which is freed
    // afterwards).
    virtual void AssignTree(TKBranch* source);
    // Slot 22. Swaps two children (both in range, different).
    virtual void Exchange(int i, int j);
    // Slot 23. Moves the child at from to to, shifting those between.
    virtual void Move(int from, int to);

    int Count() const;
    TKBranch* Parent() const;
    /// Child index, null out of range.
    TKBranch* GetChild(int index) const;
    /// This node's index in its parent's list, -1 without parent.
    int IndexInParent() const;
    /// True when node is this node's parent or further up.
    bool HasAncestor(const TKBranch* node) const;
    /// All descendants, counted.
    int TotalCount() const;
    /// node->SetParent(this); returns node.
    TKBranch* AddChild(TKBranch* node);
    /// With a node: AddChild, then moves it to index. Without: a null slot at index.
    void InsertChildAt(int index, TKBranch* node);
    /// Moves this node to index within its parent's list.
    void MoveTo(int index);

protected:
    TKBranch() = default;
    ~TKBranch() override;

private:
    int PassOperation(int code, int kind);
    void LeaveParent();
    void FreeChildrenFrom(int first);
    static void FreeSubtree(TKBranch* top);

    std::vector<TKBranch*> m_children;
    TKBranch* m_parent = nullptr;
    bool m_freeing = false;
    /// The slot of the child being freed while m_freeing (FreeChildrenFrom).
    std::size_t m_freeCursor = SIZE_MAX;
};

/// Holds the shared tree lock for a scope.
class TKTreeLock {
public:
    TKTreeLock();
    ~TKTreeLock();
    TKTreeLock(const TKTreeLock&) = delete;
    TKTreeLock& operator=(const TKTreeLock&) = delete;
};
