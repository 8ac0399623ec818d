#include "plugin3d/model/core/k_objects_list.h"

#include "plugin3d/model/core/k_general.h"

IMPLEMENT_TCLASS(TKObjectsList, TObject)

namespace {
class ListGuard {
public:
    explicit ListGuard(const TKObjectsList& list) : m_list(list) { list.Lock(); }
    ~ListGuard() { m_list.Unlock(); }

private:
    const TKObjectsList& m_list;
};
}  // namespace

TKObjectsList* TKObjectsList::NewNamed(const std::string& name)
{
    // Named before it joins the list of lists, so that listeners see its name.
    auto* list = new TKObjectsList;
    list->m_name = name;
    list->Create(nullptr);
    return list;
}

void TKObjectsList::Create(void*)
{
    if (TKObjectsList* lists = ObjectsListsList()) lists->Add(this);
}

TKObjectsList::~TKObjectsList()
{
    TKObjectsList::BeforeDestruction();
    DeleteCriticalSection(&m_lock);
}

void TKObjectsList::BeforeDestruction()
{
    if (m_done) return;
    m_done = true;
    m_events.Notify(this, kevDestroyed, 0);
    {
        ListGuard guard(*this);
        m_items.clear();
        m_listed.Clear();
    }
    if (TKObjectsList* lists = ObjectsListsList(); lists && lists != this) lists->Remove(this);
}

void TKObjectsList::SetCount(int n)
{
    if (n < 0 || n > kMaxCount) return;
    ListGuard guard(*this);
    for (std::size_t i = static_cast<std::size_t>(n); i < m_items.size(); ++i) Unlist(m_items[i]);
    m_items.resize(static_cast<std::size_t>(n), nullptr);
}

void TKObjectsList::SetItem(int index, TObject* object)
{
    ListGuard guard(*this);
    if (index < 0 || index >= static_cast<int>(m_items.size())) return;
    TObject*& item = m_items[static_cast<std::size_t>(index)];
    Unlist(item);
    item = object;
    if (object) ++*m_listed.TryEmplace(object, 0).first;
}

void TKObjectsList::Unlist(TObject* object)
{
    if (int* n = m_listed.Find(object); n && --*n == 0) m_listed.Erase(object);
}

TObject* TKObjectsList::GetItem(int index) const
{
    ListGuard guard(*this);
    return index >= 0 && index < static_cast<int>(m_items.size()) ? m_items[static_cast<std::size_t>(index)]
                                                                  : nullptr;
}

int TKObjectsList::Count() const
{
    ListGuard guard(*this);
    return static_cast<int>(m_items.size());
}

int TKObjectsList::IndexOf(const TObject* object) const
{
    if (!object) return -1;
    ListGuard guard(*this);
    if (!m_listed.Find(const_cast<TObject*>(object))) return -1;
    for (int i = static_cast<int>(m_items.size()) - 1; i >= 0; --i)
        if (m_items[static_cast<std::size_t>(i)] == object) return i;
    return -1;
}

void TKObjectsList::Add(TObject* object)
{
    if (!object) return;
    {
        ListGuard guard(*this);
        // One look into the table: global lists (every basis, every canvas) take an object
        // for each one made.
        const auto [count, added] = m_listed.TryEmplace(object, 0);
        if (added) {
            if (static_cast<int>(m_items.size()) >= kMaxCount) {
                m_listed.Erase(object);
                return;
            }
            m_items.push_back(object);
            *count = 1;
            ++m_additions;
        }
    }
    m_events.Notify(this, kevAdded, reinterpret_cast<std::intptr_t>(object));
}

void TKObjectsList::Remove(TObject* object)
{
    if (!object) return;
    {
        ListGuard guard(*this);
        if (const int index = IndexOf(object); index >= 0) {
            m_items.erase(m_items.begin() + index);
            Unlist(object);
        }
    }
    m_events.Notify(this, kevRemoved, reinterpret_cast<std::intptr_t>(object));
}

std::vector<TObject*> TKObjectsList::Snapshot() const
{
    ListGuard guard(*this);
    return m_items;
}

std::uint64_t TKObjectsList::AddCount() const
{
    ListGuard guard(*this);
    return m_additions;
}
