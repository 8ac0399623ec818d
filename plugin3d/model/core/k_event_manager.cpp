#include "plugin3d/model/core/k_event_manager.h"

#include <cstddef>
#include <new>
#include <type_traits>

#include "plugin3d/model/core/k_general.h"

IMPLEMENT_TCLASS(TKEventManager, TObject)

TKThreadMute::TKThreadMute(TKEventManager* events) : m_events(events)
{
    if (events) Join();
}

TKThreadMute::TKThreadMute(Reusable) : m_events(nullptr)
{
    Join();
}

void TKThreadMute::Join()
{
    m_outer = static_cast<TKThreadMute*>(GetThreadValue(TKThreadValue::Mutes));
    SetThreadValue(TKThreadValue::Mutes, this);
    m_joined = true;
}

TKThreadMute::~TKThreadMute()
{
    if (!m_joined) return;
    // Scopes end innermost first; the walk only keeps the chain whole should one not.
    auto* innermost = static_cast<TKThreadMute*>(GetThreadValue(TKThreadValue::Mutes));
    if (innermost == this) {
        SetThreadValue(TKThreadValue::Mutes, m_outer);
        return;
    }
    for (TKThreadMute* mute = innermost; mute; mute = mute->m_outer)
        if (mute->m_outer == this) {
            mute->m_outer = m_outer;
            return;
        }
}

bool TKThreadMute::Holds(const TKEventManager* events)
{
    for (auto* mute = static_cast<const TKThreadMute*>(GetThreadValue(TKThreadValue::Mutes)); mute;
         mute = mute->m_outer)
        if (mute->m_events == events) return true;
    return false;
}

// A table is never changed once published, except that a removed entry's code is cleared
// in the tables notifications may still walk. Its entries follow it in the same block: a
// table is made for every handler added, and one allocation each is what adding costs, but
// for a manager's first table, which sits in the manager.
struct TKEventManager::Table {
    struct Entry {
        std::atomic<TKEventHandler::Code> code{nullptr};
        void* data = nullptr;
    };
    static_assert(std::is_trivially_destructible_v<Entry> && alignof(Entry) <= alignof(Table*));

    static Table* Make(int n, void* block = nullptr)
    {
        if (!block) block = ::operator new(sizeof(Table) + sizeof(Entry) * static_cast<std::size_t>(n));
        auto* table = new (block) Table(n);
        for (int i = 0; i < n; ++i) new (&table->entries()[i]) Entry;
        return table;
    }
    /// Frees a table unless it lives in inlineBlock (its manager's own first table).
    static void Free(Table* table, const void* inlineBlock)
    {
        if (!table) return;
        table->~Table();
        if (table != inlineBlock) ::operator delete(table);
    }

    Entry* entries() { return reinterpret_cast<Entry*>(this + 1); }
    const Entry* entries() const { return reinterpret_cast<const Entry*>(this + 1); }

    int count;
    Table* nextRetired = nullptr;

    int FirstLive(const TKEventHandler& h) const
    {
        const Entry* e = entries();
        for (int i = 0; i < count; ++i)
            if (e[i].data == h.data() && e[i].code.load(std::memory_order_relaxed) == h.code()) return i;
        return -1;
    }

private:
    explicit Table(int n) : count(n) {}
};

TKEventManager::~TKEventManager()
{
    Table::Free(m_table.load(), m_inlineTable);
    while (m_retired) {
        Table* next = m_retired->nextRetired;
        Table::Free(m_retired, m_inlineTable);
        m_retired = next;
    }
}

void TKEventManager::Add(TKEventHandler handler)
{
    if (!handler) return;
    std::lock_guard lock(m_mutex);
    const Table* old = m_table.load(std::memory_order_relaxed);
    const int n = old ? old->count : 0;
    // Most managers only ever hold one handler: the first table lives in the manager itself.
    // It is used once, since a notification may still walk it after it is replaced.
    static_assert(sizeof(Table) + sizeof(Table::Entry) <= kInlineTableBytes);
    void* block = nullptr;
    if (n == 0 && !m_inlineTableUsed) {
        m_inlineTableUsed = true;
        block = m_inlineTable;
    }
    Table* fresh = Table::Make(n + 1, block);
    for (int i = 0; i < n; ++i) {
        fresh->entries()[i].code.store(old->entries()[i].code.load(std::memory_order_relaxed),
                                       std::memory_order_relaxed);
        fresh->entries()[i].data = old->entries()[i].data;
    }
    fresh->entries()[n].code.store(handler.code(), std::memory_order_relaxed);
    fresh->entries()[n].data = handler.data();
    Publish(fresh, nullptr);
}

void TKEventManager::Remove(TKEventHandler handler)
{
    if (!handler) return;
    std::lock_guard lock(m_mutex);
    const Table* old = m_table.load(std::memory_order_relaxed);
    const int at = old ? old->FirstLive(handler) : -1;
    if (at < 0) return;
    Table* fresh = nullptr;
    if (old->count > 1) {
        fresh = Table::Make(old->count - 1);
        for (int i = 0, j = 0; i < old->count; ++i) {
            if (i == at) continue;
            fresh->entries()[j].code.store(old->entries()[i].code.load(std::memory_order_relaxed),
                                           std::memory_order_relaxed);
            fresh->entries()[j++].data = old->entries()[i].data;
        }
    }
    Publish(fresh, &handler);
}

// Called under m_mutex: makes fresh the table, retires the old one and frees the retired
// tables once no notification runs.
void TKEventManager::Publish(Table* fresh, const TKEventHandler* removed)
{
    // The first table, nothing retired: there is no table a notification could still walk,
    // so publishing it needs no exchange.
    if (!m_retired && !m_table.load(std::memory_order_relaxed)) {
        m_table.store(fresh, std::memory_order_release);
        return;
    }
    Table* old = m_table.exchange(fresh, std::memory_order_seq_cst);
    if (old) {
        old->nextRetired = m_retired;
        m_retired = old;
        m_hasRetired.store(true, std::memory_order_seq_cst);
    }
    // A notification still walking an older table must not call the removed handler.
    if (removed)
        for (Table* t = m_retired; t; t = t->nextRetired)
            if (const int i = t->FirstLive(*removed); i >= 0)
                t->entries()[i].code.store(nullptr, std::memory_order_release);
    // A notification that started before the exchange counted itself first, so a count of
    // zero here means none can walk a retired table.
    if (m_notifying.load(std::memory_order_seq_cst) == 0) {
        while (m_retired) {
            Table* next = m_retired->nextRetired;
            Table::Free(m_retired, m_inlineTable);
            m_retired = next;
        }
        m_hasRetired.store(false, std::memory_order_relaxed);
    }
}

void TKEventManager::ReleaseRetired()
{
    std::lock_guard lock(m_mutex);
    if (m_notifying.load(std::memory_order_seq_cst) != 0) return;
    while (m_retired) {
        Table* next = m_retired->nextRetired;
        Table::Free(m_retired, m_inlineTable);
        m_retired = next;
    }
    m_hasRetired.store(false, std::memory_order_relaxed);
}

int TKEventManager::IndexOf(TKEventHandler handler) const
{
    std::lock_guard lock(m_mutex);
    const Table* table = m_table.load(std::memory_order_relaxed);
    return table ? table->FirstLive(handler) : -1;
}

int TKEventManager::Count() const
{
    std::lock_guard lock(m_mutex);
    const Table* table = m_table.load(std::memory_order_relaxed);
    return table ? table->count : 0;
}

void TKEventManager::NotifyHandlers(TObject* sender, int code, std::intptr_t param)
{
    if (m_muted.load(std::memory_order_relaxed)) return;
    if (TKThreadMute::Holds(this)) return;
    m_notifying.fetch_add(1, std::memory_order_seq_cst);
    if (const Table* table = m_table.load(std::memory_order_seq_cst)) {
        for (int i = 0; i < table->count; ++i) {
            const TKEventHandler::Code call = table->entries()[i].code.load(std::memory_order_acquire);
            if (!call) continue;
            try {
                call(table->entries()[i].data, sender, code, param);
            } catch (...) {
                // A handler's failure is its own; the others still hear the event.
            }
        }
    }
    if (m_notifying.fetch_sub(1, std::memory_order_seq_cst) == 1 &&
        m_hasRetired.load(std::memory_order_seq_cst))
        ReleaseRetired();
}
