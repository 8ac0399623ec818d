#include "plugin3d/model/core/k_rtd_registry.h"

#include <algorithm>
#include <atomic>

#include "platform/forms/format.h"
#include "plugin3d/model/core/k_change_object.h"

IMPLEMENT_TCLASS(TKRTDRegistry, TObject)

namespace {

std::atomic<TKRTDRegistry*> g_registry{nullptr};

// The roots are made and freed outside the registry's lock: making and freeing nodes
// takes the tree lock, and the class tables below hold the tree lock while they ask the
// registry, so the registry never waits for the tree lock while holding its own.
}  // namespace

TKRTDRegistry::~TKRTDRegistry()
{
    SetCount(0);
}

TKRTDRegistry::Found TKRTDRegistry::Lookup(const void* key, bool create)
{
    {
        std::lock_guard lock(m_mutex);
        if (const int index = IndexOfKey(key); index >= 0) return {index, m_entries[std::size_t(index)].root};
    }
    if (!create) return {-1, nullptr};
    TKDataBranch* root = TKDataBranch::NewNamed(Format("{%p}", key));
    std::unique_lock lock(m_mutex);
    if (const int index = IndexOfKey(key); index >= 0) {
        TKDataBranch* existing = m_entries[std::size_t(index)].root;
        lock.unlock();
        root->Free();  // another thread opened it meanwhile
        return {index, existing};
    }
    m_entries.push_back({key, root});
    return {static_cast<int>(m_entries.size()) - 1, root};
}

int TKRTDRegistry::Open(const void* key)
{
    return Lookup(key, true).index;
}

TKDataBranch* TKRTDRegistry::RootOf(const void* key, bool create)
{
    return Lookup(key, create).root;
}

void TKRTDRegistry::Remove(const void* key)
{
    TKDataBranch* root = nullptr;
    {
        std::lock_guard lock(m_mutex);
        const int index = IndexOfKey(key);
        if (index < 0) return;
        std::rotate(m_entries.begin() + index, m_entries.begin() + index + 1, m_entries.end());
        root = m_entries.back().root;
        m_entries.pop_back();
    }
    root->Free();
}

int TKRTDRegistry::IndexOfKey(const void* key) const
{
    std::lock_guard lock(m_mutex);
    for (int i = static_cast<int>(m_entries.size()) - 1; i >= 0; --i)
        if (m_entries[static_cast<std::size_t>(i)].key == key) return i;
    return -1;
}

TKDataBranch* TKRTDRegistry::GetRoot(int index) const
{
    std::lock_guard lock(m_mutex);
    return index >= 0 && index < static_cast<int>(m_entries.size())
               ? m_entries[static_cast<std::size_t>(index)].root
               : nullptr;
}

int TKRTDRegistry::Count() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_entries.size());
}

void TKRTDRegistry::SetCount(int n)
{
    std::vector<Entry> dropped;
    {
        std::lock_guard lock(m_mutex);
        n = std::max(n, 0);
        if (n >= static_cast<int>(m_entries.size())) return;
        dropped.assign(m_entries.begin() + n, m_entries.end());
        m_entries.resize(static_cast<std::size_t>(n));
    }
    for (const Entry& entry : dropped) entry.root->Free();
}

TKDataBranch* RegistryRoot(const void* key)
{
    TKRTDRegistry* registry = g_registry.load(std::memory_order_acquire);
    return registry ? registry->RootOf(key, true) : nullptr;
}

TKDataBranch* RegistryFind(const void* key)
{
    TKRTDRegistry* registry = g_registry.load(std::memory_order_acquire);
    return registry ? registry->RootOf(key, false) : nullptr;
}

void RegistryRemove(const void* key)
{
    if (TKRTDRegistry* registry = g_registry.load(std::memory_order_acquire)) registry->Remove(key);
}

TKDataBranch* RegistryFindPath(const void* key, const std::string& path)
{
    TKDataBranch* root = RegistryFind(key);
    return root ? root->FindPath(path, true, '\\') : nullptr;
}

namespace {

constexpr char kClasses[] = "Classes";
constexpr char kDepositoryClasses[] = "Depository Classes";

TKDataBranch* TableNode(const char* name, bool create)
{
    TKDataBranch* root = create ? RegistryRoot(nullptr) : RegistryFind(nullptr);
    if (!root) return nullptr;
    return create ? root->ForceChild(name, false) : root->FindChildByName(name, false);
}

TKDataBranch* ClassNode(TKDataBranch* table, TClass cls)
{
    return table ? table->FindDataInTree(TKData::OfClass(cls)) : nullptr;
}

}  // namespace

TKDataBranch* RegisterClassBranch(TClass cls)
{
    if (!cls) return nullptr;
    TKTreeLock lock;
    TKDataBranch* classes = TableNode(kClasses, true);
    if (!classes) return nullptr;
    if (TKDataBranch* node = ClassNode(classes, cls)) return node;
    TKDataBranch* parent = cls->parent ? RegisterClassBranch(cls->parent) : classes;
    if (!parent) return nullptr;
    return static_cast<TKDataBranch*>(
        parent->AddChild(TKDataBranch::NewNamed(cls->name, 0, TKData::OfClass(cls))));
}

void UnregisterClassBranch(TClass cls)
{
    if (!cls) return;
    TKTreeLock lock;
    FreeObject(ClassNode(TableNode(kClasses, false), cls));
}

TKDataBranch* RegisterDepositoryClass(TClass depositoryClass, TClass objectClass)
{
    if (!depositoryClass || !objectClass) return nullptr;
    TKTreeLock lock;
    TKDataBranch* table = TableNode(kDepositoryClasses, true);
    if (!table) return nullptr;
    TKDataBranch* node = table->FindByData(TKData::OfClass(depositoryClass));
    if (!node)
        node = static_cast<TKDataBranch*>(table->AddChild(
            TKDataBranch::NewNamed(depositoryClass->name, 0, TKData::OfClass(depositoryClass))));
    if (!node->FindByData(TKData::OfClass(objectClass)))
        node->AddChild(TKDataBranch::NewNamed(objectClass->name, 0, TKData::OfClass(objectClass)));
    return node;
}

void UnregisterDepositoryClass(TClass depositoryClass, TClass objectClass)
{
    if (!depositoryClass || !objectClass) return;
    TKTreeLock lock;
    TKDataBranch* table = TableNode(kDepositoryClasses, false);
    TKDataBranch* node = table ? table->FindByData(TKData::OfClass(depositoryClass)) : nullptr;
    if (!node) return;
    FreeObject(node->FindByData(TKData::OfClass(objectClass)));
    if (node->Count() == 0) node->Free();
}

TClass GetDepositoryClass(TClass objectClass)
{
    if (!objectClass) return nullptr;
    TKTreeLock lock;
    TKDataBranch* table = TableNode(kDepositoryClasses, false);
    if (!table) return nullptr;
    for (int i = 0; i < table->Count(); ++i)
        if (TKDataBranch* node = table->DataChild(i); node && node->FindByData(TKData::OfClass(objectClass)))
            return node->Data().AsClass();
    return nullptr;
}

namespace {

void StartRegistry()
{
    g_registry.store(TKRTDRegistry::New(), std::memory_order_release);
    RegistryRoot(nullptr);
    RegisterClassBranch(TKDataBranch::StaticClass());
    RegisterClassBranch(TKObjectsStream::StaticClass());
    RegisterClassBranch(TKCustomChangeObject::StaticClass());
}

void EndRegistry()
{
    {
        TKTreeLock lock;
        FreeObject(TableNode(kDepositoryClasses, false));
        FreeObject(TableNode(kClasses, false));
    }
    FreeObject(g_registry.exchange(nullptr, std::memory_order_acq_rel));
}

}  // namespace

const TUnitInfo kKRTDRegistryUnit{"KRTDRegistry", StartRegistry, EndRegistry};
