#pragma once

// Unit KBasis3D: TKBasis3D, a coordinate frame (origin and matrix, its inverse kept ready)
// that every 3D object carries. A basis can hold sub-bases, which follow every movement of
// their parent rigidly: all bases are placed in the same (world) space, and a transform
// applied to a basis is applied to its whole subtree.
//
// Locks: one lock shared by all bases guards the structure of the trees (parent fields and
// child arrays); a basis's own lock guards its placement, and a child array is changed only
// under both, so a transform walking a basis's children under its own lock never sees the
// array change under it. Locks are taken tree lock first, then basis locks parent before
// child. Readers of the placement (the transforms of points) take no lock.

#include <cstdint>
#include <vector>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/render/k_vectors.h"

class TKDataBranch;
class TKObjectsList;

/// Events of a basis.
enum TKBasisEvent : int {
    kevTransformStarted = 4096,
    kevTransformFinished = 4097,
};

class TKBasis3D : public TKCustomChangeObject {
    DECLARE_TCLASS(TKBasis3D)

    /// No parent, no children, the identity at the origin; joins "Global List of KBasis3D".
    void Init() override;
    /// Takes the matrix and origin of a source basis, or the identity at the origin from any
    /// other source, through SetPlacement.
    void Assign(TPersistent* source) override;
    /// The name, origin, matrix, inverse, child count and one stream reference per child (0
    /// for a placeholder): the inherited bytes + 172 + 4 x count. Raises "Busy" inside a
    /// transform. -1 for a null stream.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Leaves its parent and drops its children, then reads what SaveToStream wrote. The
    /// children come back as placeholders holding the stored references until LinkObjects.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// Resolves the stored children by the rules of AddChild: a reference that resolves to
    /// no basis, to this basis or an ancestor, to a basis that already has a parent, or to one
    /// listed before, stays a placeholder. Returns the child count; -1 for a null stream.
    int LinkObjects(TKObjectsStream* stream) override;

    // Slots 20-26.
    /// Fires 4096.
    virtual void TransformStarted();
    /// Fires 4097.
    virtual void TransformFinished();
    /// Swaps two children (both in range and different).
    virtual void Exchange(int i, int j);
    /// Moves the child at from to to, shifting those between (both in range and different).
    virtual void Move(int from, int to);
    /// Appends basis as a child and returns its index: null appends a placeholder; this basis
    /// or an ancestor gives -1 and changes nothing; a child of this basis gives its index;
    /// any other basis leaves its parent first.
    virtual int AddChild(TKBasis3D* basis);
    /// Takes the child at index out (not freed) and returns it; null out of range.
    virtual TKBasis3D* RemoveChild(int index);
    /// matrix := r * matrix, origin := r * origin + t, then the same for every child in index
    /// order (a child's failure is its own). When the new matrix has no inverse the basis is
    /// reset to the identity at the origin and EZeroDivide passes on.
    virtual void ApplyTransform(const TMatrix3D& r, const TVector3D& t);

    /// Leaves the parent and becomes a child of parent (null: a root). Nothing happens for the
    /// current parent, this basis, or a descendant of it.
    void SetParent(TKBasis3D* parent);
    /// Asks the processor to fetch the tree fields SetParent reads and writes.
    void PrefetchTree() const { __builtin_prefetch(&m_parent, 1); }
    TKBasis3D* Parent() const;
    /// The child at index (null for a placeholder or out of range).
    TKBasis3D* GetChild(int index) const;
    /// The index of basis among the children, -1 when it is none of them.
    int IndexOfChild(const TKBasis3D* basis) const;
    int ChildCount() const;
    /// Removes the last children, or appends placeholders, until there are n; negative n
    /// does nothing.
    void SetChildCount(int n);
    /// True when basis is this basis's parent or further up.
    bool IsDescendantOf(const TKBasis3D* basis) const;
    /// The branch takes the basis's name and the basis as data, and one node per child,
    /// filled the same way, in place of its children. Null does nothing.
    void FillBranch(TKDataBranch* branch);

    void GetOrigin(TVector3D& out) const { out = m_origin; }
    void GetOriginSingle(TVector3S& out) const;
    /// The matrix (its columns are the basis's axes) and its inverse.
    const TMatrix3D& Matrix() const { return m_matrix; }
    const TMatrix3D& Inverse() const { return m_inverse; }
    /// matrix * v + origin: from the basis's own coordinates into world space.
    void DirectTransform(const TVector3D& v, TVector3D& out) const;
    /// inverse * (v - origin): from world space into the basis's own coordinates.
    void InverseTransform(const TVector3D& v, TVector3D& out) const;
    void DirectTransformSingle(const TVector3S& v, TVector3S& out) const;
    void InverseTransformSingle(const TVector3S& v, TVector3S& out) const;
    /// matrix * v: a direction, no translation.
    void DirectRotateSingle(const TVector3S& v, TVector3S& out) const;

    /// Places the basis at matrix m and origin o; its sub-bases keep their placement
    /// relative to it.
    void SetPlacement(const TMatrix3D& m, const TVector3D& o);
    /// Turns the matrix by r; the origin stays.
    void RotateInPlace(const TMatrix3D& r);

    /// A transform bracket: the first level fires 4096, the closing of the last one 4097;
    /// a surplus EndTransform does nothing.
    void BeginTransform();
    void EndTransform();
    int TransformDepth() const;

protected:
    TKBasis3D() = default;
    /// Leaves the global list, then the parent, and lets the children go.
    ~TKBasis3D() override;

private:
    // Called under the tree lock; they take the basis's own lock as How says.
    template <TKEnter How>
    void AppendLocked(TKBasis3D* basis);
    template <TKEnter How>
    TKBasis3D* RemoveAtLocked(int index);
    void RotateLocked(int from, int to);
    int AddChildLocked(TKBasis3D* basis);
    int IndexOfChildLocked(const TKBasis3D* basis) const;
    bool HasAncestorLocked(const TKBasis3D* basis) const;
    void FillBranchLocked(TKDataBranch* branch);
    // Under the basis's own lock.
    void OpenTransform();
    void CloseTransform();

    TKBasis3D* m_parent = nullptr;
    std::vector<TKBasis3D*> m_children;
    /// The children's stream references between a load and LinkObjects.
    std::vector<std::int32_t> m_storedChildren;
    int m_transformDepth = 0;
    TVector3D m_origin;
    TMatrix3D m_matrix;
    TMatrix3D m_inverse;
};

/// The one lock of the structure of all basis trees.
CRITICAL_SECTION& Basis3DTreeLock();
/// "Global List of KBasis3D" while the unit runs, else null.
TKObjectsList* Basis3DGlobalList();

/// Unit KBasis3D: the tree lock, the global list; registers TKBasis3D in "Classes".
extern const TUnitInfo kKBasis3DUnit;
