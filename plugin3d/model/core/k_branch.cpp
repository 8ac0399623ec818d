#include "plugin3d/model/core/k_branch.h"

#include <algorithm>

#include "plugin3d/model/core/k_general.h"

IMPLEMENT_TCLASS(TKBranch, TKObject)

TKTreeLock::TKTreeLock()
{
    EnterSection(TreeLock());
}

TKTreeLock::~TKTreeLock()
{
    LeaveSection(TreeLock());
}

TKBranch::~TKBranch()
{
    Done();
    EnterSectionWaiting(TreeLock());
    m_freeing = true;
    LeaveParent();
    FreeChildrenFrom(0);
    m_children.clear();
    LeaveSection(TreeLock());
}

void TKBranch::Lock()
{
    EnterSection(TreeLock());
}

void TKBranch::Unlock()
{
    LeaveSection(TreeLock());
}

// Under the tree lock.
void TKBranch::LeaveParent()
{
    TKBranch* parent = m_parent;
    if (!parent) return;
    auto& siblings = parent->m_children;
    // A parent freeing its children frees them in order: the slot it is at is looked at
    // first, so that freeing a branch of N children takes N steps, not N^2.
    if (parent->m_freeing && parent->m_freeCursor < siblings.size() &&
        siblings[parent->m_freeCursor] == this) {
        siblings[parent->m_freeCursor] = nullptr;
        m_parent = nullptr;
        return;
    }
    const auto it = std::find(siblings.rbegin(), siblings.rend(), this);
    if (it != siblings.rend()) {
        // A parent that frees its children keeps its slots until it is done with them.
        if (parent->m_freeing)
            *it = nullptr;
        else
            siblings.erase(std::next(it).base());
    }
    m_parent = nullptr;
}

// Under the tree lock. Frees top's descendants deepest first, then top, so that no node
// frees a subtree of its own: a tree of any depth goes without recursion (a class tree read
// from a file may be a chain of 100,000 nodes).
void TKBranch::FreeSubtree(TKBranch* top)
{
    TKBranch* node = top;
    for (;;) {
        auto& children = node->m_children;
        while (!children.empty() && !children.back()) children.pop_back();
        if (!children.empty()) {
            node = children.back();
            continue;
        }
        // A leaf now: it leaves its parent's list as it goes.
        TKBranch* parent = node->m_parent;
        node->Free();
        if (node == top) return;
        node = parent;
    }
}

// Under the tree lock. The children clear their own slots as they go.
void TKBranch::FreeChildrenFrom(int first)
{
    const bool wasFreeing = m_freeing;
    m_freeing = true;
    const std::size_t wasCursor = m_freeCursor;
    for (std::size_t i = static_cast<std::size_t>(first); i < m_children.size(); ++i)
        if (TKBranch* child = m_children[i]) {
            m_freeCursor = i;
            FreeSubtree(child);
        }
    m_freeCursor = wasCursor;
    m_freeing = wasFreeing;
}

void TKBranch::SetParent(TKBranch* node)
{
    TKTreeLock lock;
    if (node == m_parent || node == this) return;
    LeaveParent();
    if (node && !node->m_freeing && !node->HasAncestor(this)) {
        node->m_children.push_back(this);
        m_parent = node;
    }
}

TKBranch* TKBranch::AddChild(TKBranch* node)
{
    if (node) node->SetParent(this);
    return node;
}

void TKBranch::InsertChildAt(int index, TKBranch* node)
{
    TKTreeLock lock;
    if (node) {
        AddChild(node);
        if (node->m_parent == this) node->MoveTo(index);
        return;
    }
    m_children.push_back(nullptr);
    Move(static_cast<int>(m_children.size()) - 1, index);
}

void TKBranch::MoveTo(int index)
{
    TKTreeLock lock;
    if (m_parent) m_parent->Move(IndexInParent(), index);
}

void TKBranch::SetCount(int n)
{
    TKTreeLock lock;
    n = std::max(n, 0);
    if (n < Count()) FreeChildrenFrom(n);
    m_children.resize(static_cast<std::size_t>(n), nullptr);
}

void TKBranch::SetChild(int index, TKBranch* node)
{
    TKTreeLock lock;
    if (index < 0 || index >= Count() || node == this) return;
    if (node && node->m_parent == this) {
        Move(node->IndexInParent(), index);
        return;
    }
    if (node && HasAncestor(node)) return;
    // node leaves first: it may sit inside the occupant's subtree, which is freed next.
    if (node) node->LeaveParent();
    if (TKBranch* occupant = m_children[static_cast<std::size_t>(index)]) {
        const bool wasFreeing = m_freeing;
        m_freeing = true;
        occupant->Free();
        m_freeing = wasFreeing;
    }
    m_children[static_cast<std::size_t>(index)] = node;
    if (node) node->m_parent = this;
}

void TKBranch::Exchange(int i, int j)
{
    TKTreeLock lock;
    if (i == j || i < 0 || j < 0 || i >= Count() || j >= Count()) return;
    std::swap(m_children[static_cast<std::size_t>(i)], m_children[static_cast<std::size_t>(j)]);
}

void TKBranch::Move(int from, int to)
{
    TKTreeLock lock;
    if (from == to || from < 0 || to < 0 || from >= Count() || to >= Count()) return;
    const auto first = m_children.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
}

void TKBranch::AssignTree(TKBranch* source)
{
    TKTreeLock lock;
    if (!source || source == this) return;
    TKBranch* homeParent = nullptr;
    int homeIndex = -1;
    bool freeSource = false;
    if (HasAncestor(source)) {
        // Copying an ancestor: step out of it, or the copy would contain itself.
        homeParent = m_parent;
        homeIndex = IndexInParent();
        LeaveParent();
    } else if (source->HasAncestor(this)) {
        // Copying a descendant: take it out first, the old children are freed below.
        source->LeaveParent();
        freeSource = true;
    }
    auto finish = [&] {
        if (homeParent) homeParent->InsertChildAt(homeIndex, this);
        if (freeSource) source->Free();
    };
    try {
        SetCount(0);
        m_children.resize(source->m_children.size(), nullptr);
        for (std::size_t i = 0; i < source->m_children.size(); ++i) {
            TKBranch* child = source->m_children[i];
            if (!child) continue;
            TKObject* copy = child->Clone(Owner());
            auto* branch = ObjectAs<TKBranch>(copy);
            if (!branch) {
                FreeObject(copy);
                continue;
            }
            m_children[i] = branch;
            branch->m_parent = this;
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TKBranch::Assign(TPersistent* source)
{
    if (auto* branch = ObjectAs<TKBranch>(source)) {
        AssignTree(branch);
        return;
    }
    TKObject::Assign(source);
}

int TKBranch::Count() const
{
    TKTreeLock lock;
    return static_cast<int>(m_children.size());
}

TKBranch* TKBranch::Parent() const
{
    TKTreeLock lock;
    return m_parent;
}

TKBranch* TKBranch::GetChild(int index) const
{
    TKTreeLock lock;
    return index >= 0 && index < static_cast<int>(m_children.size())
               ? m_children[static_cast<std::size_t>(index)]
               : nullptr;
}

int TKBranch::IndexInParent() const
{
    TKTreeLock lock;
    if (!m_parent) return -1;
    const auto& siblings = m_parent->m_children;
    for (int i = static_cast<int>(siblings.size()) - 1; i >= 0; --i)
        if (siblings[static_cast<std::size_t>(i)] == this) return i;
    return -1;
}

bool TKBranch::HasAncestor(const TKBranch* node) const
{
    if (!node) return false;
    TKTreeLock lock;
    for (const TKBranch* p = m_parent; p; p = p->m_parent)
        if (p == node) return true;
    return false;
}

int TKBranch::TotalCount() const
{
    TKTreeLock lock;
    int total = 0;
    for (const TKBranch* child : m_children)
        if (child) total += 1 + child->TotalCount();
    return total;
}

// Brackets a save or a load of the children: 1 + their non-negative answers.
int TKBranch::PassOperation(int code, int kind)
{
    if (kind != kokSave && kind != kokLoad) return -1;
    TKTreeLock lock;
    int total = 1;
    for (TKBranch* child : m_children)
        if (child) total += std::max(0, child->Operation(code, kind));
    return total;
}

int TKBranch::BeginOperation(int kind)
{
    return PassOperation(kopBeginOperation, kind);
}

int TKBranch::EndOperation(int kind)
{
    return PassOperation(kopEndOperation, kind);
}

int TKBranch::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKTreeLock lock;
    std::int32_t count = 0;
    for (const TKBranch* child : m_children)
        if (child) ++count;
    int total = WriteValue(stream, count);
    for (TKBranch* child : m_children)
        if (child) total += stream->WriteObject(child);
    return total;
}

int TKBranch::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKTreeLock lock;
    SetCount(0);
    const std::int32_t count = ReadCount(stream, this, TKObjectsStream::kRecordHeadSize);
    int total = 4;
    for (std::int32_t i = 0; i < count; ++i) {
        TKObject* object = nullptr;
        total += stream->ReadObject(object, TKBranch::StaticClass());
        if (auto* child = ObjectAs<TKBranch>(object))
            AddChild(child);
        else
            FreeObject(object);
    }
    return total;
}

int TKBranch::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKTreeLock lock;
    int total = 0;
    for (TKBranch* child : m_children)
        if (child) total += std::max(0, child->LinkObjects(stream));
    return total > 0 ? total : -1;
}
