#include "plugin3d/model/render/k_basis3d.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/core/k_rtd_registry.h"

IMPLEMENT_TCLASS(TKBasis3D, TKCustomChangeObject)

namespace {

// Zero-initialised: usable before the unit starts (the platform makes the lock on first use).
CRITICAL_SECTION g_basisTreeLock;
std::atomic<TKObjectsList*> g_bases{nullptr};

void StartBasis3D()
{
    g_bases = TKObjectsList::NewNamed("Global List of KBasis3D");
    RegisterClassBranch(TKBasis3D::StaticClass());
}

void EndBasis3D()
{
    UnregisterClassBranch(TKBasis3D::StaticClass());
    FreeObject(g_bases.exchange(nullptr));
    // The platform makes the lock again should a basis outlive the unit.
    DeleteCriticalSection(&g_basisTreeLock);
}

int WriteDoubles(TKObjectsStream* stream, const double* values, int n)
{
    int bytes = 0;
    for (int i = 0; i < n; ++i) bytes += WriteValue(stream, values[i]);
    return bytes;
}

int ReadDoubles(TKObjectsStream* stream, double* values, int n)
{
    int bytes = 0;
    for (int i = 0; i < n; ++i) bytes += ReadValue(stream, values[i]);
    return bytes;
}

}  // namespace

const TUnitInfo kKBasis3DUnit{"KBasis3D", StartBasis3D, EndBasis3D};

CRITICAL_SECTION& Basis3DTreeLock()
{
    return g_basisTreeLock;
}

TKObjectsList* Basis3DGlobalList()
{
    return g_bases.load(std::memory_order_acquire);
}

void TKBasis3D::Init()
{
    TKCustomChangeObject::Init();
    m_parent = nullptr;
    m_children.clear();
    m_transformDepth = 0;
    m_origin = {};
    m_matrix = {};
    m_inverse = {};
    if (TKObjectsList* list = Basis3DGlobalList()) list->Add(this);
}

TKBasis3D::~TKBasis3D()
{
    if (TKObjectsList* list = Basis3DGlobalList()) list->Remove(this);
    Done();
    // A transform of the parent may be walking its children: wait for it rather than give up.
    TKWaitingSectionGuard tree(g_basisTreeLock);
    if (m_parent) m_parent->RemoveAtLocked<TKEnter::Waiting>(m_parent->IndexOfChildLocked(this));
    while (!m_children.empty()) RemoveAtLocked<TKEnter::Waiting>(static_cast<int>(m_children.size()) - 1);
}

template <TKEnter How>
void TKBasis3D::AppendLocked(TKBasis3D* basis)
{
    TKBasicSectionGuard<How> own(LockSection());
    m_children.push_back(basis);
}

template <TKEnter How>
TKBasis3D* TKBasis3D::RemoveAtLocked(int index)
{
    if (index < 0 || index >= static_cast<int>(m_children.size())) return nullptr;
    TKBasis3D* child = nullptr;
    {
        TKBasicSectionGuard<How> own(LockSection());
        RotateLocked(index, static_cast<int>(m_children.size()) - 1);
        child = m_children.back();
        m_children.pop_back();
    }
    if (child) child->m_parent = nullptr;
    return child;
}

void TKBasis3D::RotateLocked(int from, int to)
{
    auto at = [this](int i) { return m_children.begin() + i; };
    if (from < to)
        std::rotate(at(from), at(from + 1), at(to + 1));
    else if (from > to)
        std::rotate(at(to), at(from), at(from + 1));
}

int TKBasis3D::IndexOfChildLocked(const TKBasis3D* basis) const
{
    // From the end: a basis just attached, or the last of many let go in reverse, is found
    // at once.
    for (int i = static_cast<int>(m_children.size()) - 1; i >= 0; --i)
        if (m_children[static_cast<std::size_t>(i)] == basis) return i;
    return -1;
}

bool TKBasis3D::HasAncestorLocked(const TKBasis3D* basis) const
{
    if (!basis) return false;
    for (const TKBasis3D* p = m_parent; p; p = p->m_parent)
        if (p == basis) return true;
    return false;
}

void TKBasis3D::SetParent(TKBasis3D* parent)
{
    TKSectionGuard tree(g_basisTreeLock);
    if (parent == m_parent || parent == this || (parent && parent->HasAncestorLocked(this))) return;
    if (m_parent) m_parent->RemoveAtLocked<TKEnter::GivingUp>(m_parent->IndexOfChildLocked(this));
    if (!parent) return;
    // What AddChild would check is known here: this basis is not parent's ancestor, and it
    // has no parent now. Under the tree lock already: entering it again would only cost.
    parent->AppendLocked<TKEnter::GivingUp>(this);
    m_parent = parent;
}

TKBasis3D* TKBasis3D::Parent() const
{
    TKSectionGuard tree(g_basisTreeLock);
    return m_parent;
}

int TKBasis3D::AddChild(TKBasis3D* basis)
{
    TKSectionGuard tree(g_basisTreeLock);
    return AddChildLocked(basis);
}

int TKBasis3D::AddChildLocked(TKBasis3D* basis)
{
    const int count = static_cast<int>(m_children.size());
    if (!basis) {
        AppendLocked<TKEnter::GivingUp>(nullptr);
        return count;
    }
    if (basis == this || HasAncestorLocked(basis)) return -1;
    if (basis->m_parent == this) return IndexOfChildLocked(basis);
    if (TKBasis3D* old = basis->m_parent)
        old->RemoveAtLocked<TKEnter::GivingUp>(old->IndexOfChildLocked(basis));
    AppendLocked<TKEnter::GivingUp>(basis);
    basis->m_parent = this;
    return count;
}

TKBasis3D* TKBasis3D::RemoveChild(int index)
{
    TKSectionGuard tree(g_basisTreeLock);
    return RemoveAtLocked<TKEnter::GivingUp>(index);
}

TKBasis3D* TKBasis3D::GetChild(int index) const
{
    TKSectionGuard tree(g_basisTreeLock);
    return index >= 0 && index < static_cast<int>(m_children.size()) ? m_children[std::size_t(index)]
                                                                     : nullptr;
}

int TKBasis3D::IndexOfChild(const TKBasis3D* basis) const
{
    TKSectionGuard tree(g_basisTreeLock);
    return IndexOfChildLocked(basis);
}

int TKBasis3D::ChildCount() const
{
    TKSectionGuard tree(g_basisTreeLock);
    return static_cast<int>(m_children.size());
}

void TKBasis3D::SetChildCount(int n)
{
    if (n < 0) return;
    TKSectionGuard tree(g_basisTreeLock);
    while (static_cast<int>(m_children.size()) > n)
        RemoveAtLocked<TKEnter::GivingUp>(static_cast<int>(m_children.size()) - 1);
    while (static_cast<int>(m_children.size()) < n) AppendLocked<TKEnter::GivingUp>(nullptr);
}

void TKBasis3D::Exchange(int i, int j)
{
    TKSectionGuard tree(g_basisTreeLock);
    const int count = static_cast<int>(m_children.size());
    if (i == j || i < 0 || j < 0 || i >= count || j >= count) return;
    TKSectionGuard own(LockSection());
    std::swap(m_children[std::size_t(i)], m_children[std::size_t(j)]);
}

void TKBasis3D::Move(int from, int to)
{
    TKSectionGuard tree(g_basisTreeLock);
    const int count = static_cast<int>(m_children.size());
    if (from == to || from < 0 || to < 0 || from >= count || to >= count) return;
    TKSectionGuard own(LockSection());
    RotateLocked(from, to);
}

bool TKBasis3D::IsDescendantOf(const TKBasis3D* basis) const
{
    TKSectionGuard tree(g_basisTreeLock);
    return HasAncestorLocked(basis);
}

void TKBasis3D::FillBranch(TKDataBranch* branch)
{
    if (!branch) return;
    TKSectionGuard tree(g_basisTreeLock);
    FillBranchLocked(branch);
}

void TKBasis3D::FillBranchLocked(TKDataBranch* branch)
{
    branch->SetName(Name());
    branch->SetData(TKData::OfObject(this));
    branch->SetCount(0);
    for (TKBasis3D* child : m_children)
        if (child)
            child->FillBranchLocked(static_cast<TKDataBranch*>(branch->AddChild(TKDataBranch::NewNamed(""))));
}

void TKBasis3D::GetOriginSingle(TVector3S& out) const
{
    out = {float(m_origin.x), float(m_origin.y), float(m_origin.z)};
}

void TKBasis3D::DirectTransform(const TVector3D& v, TVector3D& out) const
{
    TVector3D r;
    MatrixMulVector(m_matrix, v, r);
    VectorAdd(r, m_origin, out);
}

void TKBasis3D::InverseTransform(const TVector3D& v, TVector3D& out) const
{
    TVector3D d;
    VectorSub(v, m_origin, d);
    MatrixMulVector(m_inverse, d, out);
}

void TKBasis3D::DirectTransformSingle(const TVector3S& v, TVector3S& out) const
{
    TVector3D r;
    DirectTransform({v.x, v.y, v.z}, r);
    out = {float(r.x), float(r.y), float(r.z)};
}

void TKBasis3D::InverseTransformSingle(const TVector3S& v, TVector3S& out) const
{
    TVector3D r;
    InverseTransform({v.x, v.y, v.z}, r);
    out = {float(r.x), float(r.y), float(r.z)};
}

void TKBasis3D::DirectRotateSingle(const TVector3S& v, TVector3S& out) const
{
    TVector3D r;
    MatrixMulVector(m_matrix, {v.x, v.y, v.z}, r);
    out = {float(r.x), float(r.y), float(r.z)};
}

void TKBasis3D::TransformStarted()
{
    FireEvent(kevTransformStarted, 0);
}

void TKBasis3D::TransformFinished()
{
    FireEvent(kevTransformFinished, 0);
}

void TKBasis3D::OpenTransform()
{
    if (++m_transformDepth == 1 && !IsDestroying()) TransformStarted();
}

void TKBasis3D::CloseTransform()
{
    if (m_transformDepth > 0 && --m_transformDepth == 0 && !IsDestroying()) TransformFinished();
}

void TKBasis3D::BeginTransform()
{
    TKSectionGuard own(LockSection());
    OpenTransform();
}

void TKBasis3D::EndTransform()
{
    // The closing half waits: a bracket left open would keep the basis busy for good.
    TKWaitingSectionGuard own(LockSection());
    CloseTransform();
}

int TKBasis3D::TransformDepth() const
{
    TKSectionGuard own(LockSection());
    return m_transformDepth;
}

void TKBasis3D::ApplyTransform(const TMatrix3D& r, const TVector3D& t)
{
    TKSectionGuard own(LockSection());
    OpenTransform();
    try {
        TMatrix3D matrix, inverse;
        TVector3D origin;
        MatrixMul(r, m_matrix, matrix);
        MatrixMulVector(r, m_origin, origin);
        VectorAdd(origin, t, origin);
        MatrixInverse(matrix, inverse);
        m_matrix = matrix;
        m_origin = origin;
        m_inverse = inverse;
    } catch (...) {
        m_origin = {};
        m_matrix = {};
        m_inverse = {};
        CloseTransform();
        throw;
    }
    // By index: a handler of this thread may change the array (under this same lock).
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        if (TKBasis3D* child = m_children[i]) try {
                child->ApplyTransform(r, t);
            } catch (...) {
                // A sub-basis that fails is reset by its own transform; the others still follow.
            }
    }
    CloseTransform();
}

void TKBasis3D::SetPlacement(const TMatrix3D& m, const TVector3D& o)
{
    TKSectionGuard own(LockSection());
    TMatrix3D r;
    TVector3D moved, t;
    MatrixMul(m, m_inverse, r);
    MatrixMulVector(r, m_origin, moved);
    VectorSub(o, moved, t);
    ApplyTransform(r, t);
}

void TKBasis3D::RotateInPlace(const TMatrix3D& r)
{
    TKSectionGuard own(LockSection());
    TVector3D moved, t;
    MatrixMulVector(r, m_origin, moved);
    VectorSub(m_origin, moved, t);
    ApplyTransform(r, t);
}

void TKBasis3D::Assign(TPersistent* source)
{
    if (auto* basis = ObjectAs<TKBasis3D>(source)) {
        const TMatrix3D m = basis->m_matrix;
        const TVector3D o = basis->m_origin;
        SetPlacement(m, o);
    } else {
        SetPlacement(TMatrix3D{}, TVector3D{});
    }
}

int TKBasis3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKSectionGuard tree(g_basisTreeLock);
    TKSectionGuard own(LockSection());
    if (m_transformDepth > 0) throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kBusy));
    int bytes = TKCustomChangeObject::SaveToStream(stream);
    const double origin[3] = {m_origin.x, m_origin.y, m_origin.z};
    bytes += WriteDoubles(stream, origin, 3);
    bytes += WriteDoubles(stream, m_matrix.m, 9);
    bytes += WriteDoubles(stream, m_inverse.m, 9);
    bytes += WriteValue(stream, static_cast<std::int32_t>(m_children.size()));
    for (TKBasis3D* child : m_children) bytes += WriteValue(stream, stream->ObjectReference(child));
    return bytes;
}

int TKBasis3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    SetParent(nullptr);
    SetChildCount(0);
    int bytes = TKCustomChangeObject::LoadFromStream(stream);
    double origin[3];
    TMatrix3D matrix, inverse;
    bytes += ReadDoubles(stream, origin, 3);
    bytes += ReadDoubles(stream, matrix.m, 9);
    bytes += ReadDoubles(stream, inverse.m, 9);
    const std::int32_t count = ReadCount(stream, this, 4);
    bytes += 4;
    std::vector<std::int32_t> stored(static_cast<std::size_t>(count));
    for (std::int32_t& id : stored) bytes += ReadValue(stream, id);
    {
        TKSectionGuard own(LockSection());
        m_origin = {origin[0], origin[1], origin[2]};
        m_matrix = matrix;
        m_inverse = inverse;
    }
    TKSectionGuard tree(g_basisTreeLock);
    SetChildCount(count);
    m_storedChildren = std::move(stored);
    return bytes;
}

int TKBasis3D::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKSectionGuard tree(g_basisTreeLock);
    const std::vector<std::int32_t> stored = std::move(m_storedChildren);
    m_storedChildren.clear();
    for (std::size_t i = 0; i < stored.size() && i < m_children.size(); ++i) {
        if (m_children[i]) continue;
        TKBasis3D* child = ObjectAs<TKBasis3D>(stream->Link(stored[i], TKBasis3D::StaticClass()));
        // A damaged file must not make a cycle, take a basis from another parent or list one
        // twice: each would make the tree's walks run forever or free a basis twice.
        if (!child || child == this || child->m_parent || HasAncestorLocked(child)) continue;
        TKSectionGuard own(LockSection());
        m_children[i] = child;
        child->m_parent = this;
    }
    return static_cast<int>(m_children.size());
}
