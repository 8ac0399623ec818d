#pragma once

// The resource chain: each library registers its resources (string tables, menus, dialog
// templates, tool bars, bitmaps...) under its module name at start-up; a lookup by id walks
// the chain newest first, as the framework's extension modules do. One chain per resource
// kind, all built on this template.

#include <algorithm>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

/// A chain of per-module tables of `Entry`; `Entry` has a member `id` (UINT). Entries are
/// static data of their library and must outlive its registration.
template <class Entry>
class ResourceChain {
public:
    void Register(const char* module, std::span<const Entry> entries)
    {
        std::lock_guard lock(m_mutex);
        m_tables.push_back({module, entries});
    }

    void Unregister(const char* module)
    {
        std::lock_guard lock(m_mutex);
        m_tables.erase(std::remove_if(m_tables.begin(), m_tables.end(),
                                      [&](const Table& t) { return t.module == module; }),
                       m_tables.end());
    }

    /// The entry with `id` in the newest table that has one; null when none has.
    const Entry* Find(UINT id) const
    {
        std::lock_guard lock(m_mutex);
        for (auto t = m_tables.rbegin(); t != m_tables.rend(); ++t)
            for (const Entry& e : t->entries)
                if (e.id == id) return &e;
        return nullptr;
    }

    /// The module whose table holds `id` (newest first); empty when none.
    std::string ModuleOf(UINT id) const
    {
        std::lock_guard lock(m_mutex);
        for (auto t = m_tables.rbegin(); t != m_tables.rend(); ++t)
            for (const Entry& e : t->entries)
                if (e.id == id) return t->module;
        return {};
    }

private:
    struct Table {
        std::string module;
        std::span<const Entry> entries;
    };
    mutable std::mutex m_mutex;
    std::vector<Table> m_tables;
};

}  // namespace platform
