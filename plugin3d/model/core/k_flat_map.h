#pragma once

// TKFlatMap: a hash table of small keys (pointers, ids) to small values, with open
// addressing and linear probing. A save or a load looks up several entries per object; a
// table that allocates a node per entry would cost more than writing the file itself.
// The key K{} (null, 0) marks an empty slot and is never stored.

#include <cstdint>
#include <algorithm>
#include <type_traits>
#include <utility>
#include <vector>

template <class K, class V>
class TKFlatMap {
    static_assert(std::is_trivially_copyable_v<K> && sizeof(K) <= 8);

public:
    /// The value of key, or null.
    V* Find(K key)
    {
        if (key == K{} || m_slots.empty()) return nullptr;
        for (std::size_t i = SlotOf(key);; i = (i + 1) & Mask()) {
            if (m_slots[i].first == key) return &m_slots[i].second;
            if (m_slots[i].first == K{}) return nullptr;
        }
    }
    const V* Find(K key) const { return const_cast<TKFlatMap*>(this)->Find(key); }

    /// The value of key, inserted as value when it was missing; second tells whether it was.
    /// The empty key is not stored: null, false.
    std::pair<V*, bool> TryEmplace(K key, V value)
    {
        if (key == K{}) return {nullptr, false};
        if ((m_size + 1) * 2 > m_slots.size()) Grow();
        for (std::size_t i = SlotOf(key);; i = (i + 1) & Mask()) {
            if (m_slots[i].first == key) return {&m_slots[i].second, false};
            if (m_slots[i].first == K{}) {
                m_slots[i] = {key, value};
                ++m_size;
                return {&m_slots[i].second, true};
            }
        }
    }

    /// Removes key's entry; false when there was none. The entries behind it in its probe run
    /// move back, so lookups stay correct without tombstones.
    bool Erase(K key)
    {
        if (key == K{} || m_slots.empty()) return false;
        std::size_t hole = SlotOf(key);
        for (;; hole = (hole + 1) & Mask()) {
            if (m_slots[hole].first == key) break;
            if (m_slots[hole].first == K{}) return false;
        }
        for (std::size_t j = (hole + 1) & Mask(); m_slots[j].first != K{}; j = (j + 1) & Mask()) {
            const std::size_t home = SlotOf(m_slots[j].first);
            // The entry may move back only when its home slot does not lie in (hole, j].
            const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (!stays) {
                m_slots[hole] = m_slots[j];
                hole = j;
            }
        }
        m_slots[hole] = {};
        --m_size;
        return true;
    }

    /// Removes the entries for which drop(key, value) holds.
    template <class Drop>
    void EraseIf(Drop&& drop)
    {
        std::vector<std::pair<K, V>> old;
        old.swap(m_slots);
        m_size = 0;
        m_slots.assign(old.size(), {});
        for (const auto& [key, value] : old)
            if (key != K{} && !drop(key, value)) TryEmplace(key, value);
    }

    void Clear()
    {
        m_slots.clear();
        m_size = 0;
    }
    std::size_t Size() const { return m_size; }

private:
    std::size_t Mask() const { return m_slots.size() - 1; }
    std::size_t SlotOf(K key) const
    {
        std::uint64_t bits = 0;
        if constexpr (std::is_pointer_v<K>)
            bits = reinterpret_cast<std::uintptr_t>(key);
        else
            bits = static_cast<std::uint64_t>(key);
        return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & Mask();
    }
    void Grow()
    {
        std::vector<std::pair<K, V>> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 64 : old.size() * 2, {});
        m_size = 0;
        for (const auto& [key, value] : old)
            if (key != K{}) TryEmplace(key, value);
    }

    std::vector<std::pair<K, V>> m_slots;
    std::size_t m_size = 0;
};

/// Values by int32 id, where V{} (null) means "none". Ids counted up from 1, as this
/// program writes them, are kept in an array indexed by the id, in the order of the file;
/// others (a writer that stored addresses) go to a TKFlatMap. The array grows only to about
/// twice the number of entries, so that no file can make it large.
template <class V>
class TKIdMap {
public:
    V* Find(std::int32_t id)
    {
        if (id > 0 && std::size_t(id) <= m_dense.size() && m_dense[std::size_t(id) - 1] != V{})
            return &m_dense[std::size_t(id) - 1];
        return m_sparse.Find(id);
    }
    const V* Find(std::int32_t id) const { return const_cast<TKIdMap*>(this)->Find(id); }

    /// Lets ids up to count go to the array however few entries there are yet: a file stores
    /// ids in the order its writer first met the objects, not in the order of their records,
    /// so that ids run ahead of the entries read. The caller bounds count (by what a file of
    /// its size can hold); Clear forgets it. The array is made room for at once, up to a
    /// million ids, so that it does not grow (and copy, and touch new memory) step by step.
    void ExpectIds(std::size_t count)
    {
        m_expected = count;
        m_dense.reserve(std::min<std::size_t>(count, std::size_t(1) << 20));
    }

    /// The value of id, inserted as value when it was missing (a null value is not stored).
    std::pair<V*, bool> TryEmplace(std::int32_t id, V value)
    {
        if (value == V{} || id == 0) return {nullptr, false};
        if (V* existing = Find(id)) return {existing, false};
        ++m_size;
        const std::size_t limit = std::max(2 * (m_size + 1024), m_expected);
        if (id > 0 && std::size_t(id) <= limit) {
            if (std::size_t(id) > m_dense.size())
                m_dense.resize(std::min(limit, std::max(std::size_t(id), 2 * m_dense.size())));
            m_dense[std::size_t(id) - 1] = value;
            return {&m_dense[std::size_t(id) - 1], true};
        }
        return m_sparse.TryEmplace(id, value);
    }

    /// Removes the entries for which drop(id, value) holds.
    template <class Drop>
    void EraseIf(Drop&& drop)
    {
        for (std::size_t i = 0; i < m_dense.size(); ++i)
            if (m_dense[i] != V{} && drop(std::int32_t(i + 1), m_dense[i])) {
                m_dense[i] = V{};
                --m_size;
            }
        const std::size_t before = m_sparse.Size();
        m_sparse.EraseIf(drop);
        m_size -= before - m_sparse.Size();
    }

    void Clear()
    {
        m_dense.clear();
        m_sparse.Clear();
        m_size = 0;
        m_expected = 0;
    }

private:
    std::vector<V> m_dense;
    TKFlatMap<std::int32_t, V> m_sparse;
    std::size_t m_size = 0;
    std::size_t m_expected = 0;
};
