#pragma once

// TKFlatMap: a hash table of small keys (pointers, ids) to small values, with open
// addressing and linear probing. A save or a load looks up several entries per object; a
// table that allocates a node per entry would cost more than writing the file itself.
// The key K{} (null, 0) marks an empty slot and is never stored.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
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

/// How many times each key is held: a multiset of small keys (pointers), kept sorted in
/// blocks of up to 64 keys. Made for keys that mostly come in rising order, or rise through
/// one place after another, as the addresses of objects made one after another do: such a
/// key is appended to the last block, or to the block where the previous one went, so that
/// adding many writes one stretch of memory after another, where a hash table would write
/// a slot anywhere in a table that grows. Any order still costs a search by halves and a
/// move within one block, plus, where a block splits or a new one goes in between, a move
/// of the block table (a table of n / 64 entries at most). The key K{} is never held.
template <class K>
class TKKeyCounts {
    static_assert(std::is_trivially_copyable_v<K> && sizeof(K) <= 8);

public:
    TKKeyCounts() = default;
    ~TKKeyCounts() { Clear(); }
    TKKeyCounts(const TKKeyCounts&) = delete;
    TKKeyCounts& operator=(const TKKeyCounts&) = delete;

    /// How many times key is held; 0 when it is not.
    int Count(K key) const
    {
        if (m_blocks.empty() || Less(Last(), key)) return 0;
        std::size_t b = 0;
        const int at = Locate(key, b);
        return at >= 0 ? m_blocks[b]->entries[at].count : 0;
    }

    /// Holds key once more; returns its new count (0 for the empty key).
    int Add(K key)
    {
        if (key == K{}) return 0;
        if (m_blocks.empty() || Less(Last(), key)) {
            if (m_blocks.empty() || m_blocks.back()->size == kBlock) NewBlock(m_blocks.size(), key);
            Block& last = *m_blocks.back();
            last.entries[last.size++] = {key, 1};
            ++m_keys;
            return 1;
        }
        std::size_t b = BlockOf(key);
        Block* block = m_blocks[b];
        Entry* const begin = block->entries;
        int pos = block->size;
        if (!Less(begin[pos - 1].key, key)) {
            Entry* at = std::lower_bound(begin, begin + block->size, key, EntryLess);
            if (at != begin + block->size && at->key == key) return ++at->count;
            pos = static_cast<int>(at - begin);
        }
        if (block->size == kBlock) {
            // A key beyond either end of a full block starts a block of its own there, and a
            // full block splits where the key goes (but leaves each part an eighth at least):
            // keys rising or falling through one place so fill blocks whole and go in at an
            // end, without moving the others.
            if (pos == kBlock) {
                NewBlock(b + 1, key);
                block = m_blocks[++b];
                pos = 0;
            } else if (pos == 0) {
                NewBlock(b, key);
                block = m_blocks[b];
            } else {
                const int split = std::clamp(pos, kBlock / 8, kBlock - kBlock / 8);
                NewBlock(b + 1, key);
                Block& upper = *m_blocks[b + 1];
                upper.size = kBlock - split;
                std::copy(begin + split, begin + kBlock, upper.entries);
                block->size = split;
                m_firsts[b + 1] = upper.entries[0].key;
                if (pos > split) {
                    block = &upper;
                    pos -= split;
                    ++b;
                }
            }
        }
        Entry* const entries = block->entries;
        std::copy_backward(entries + pos, entries + block->size, entries + block->size + 1);
        entries[pos] = {key, 1};
        ++block->size;
        if (pos == 0) m_firsts[b] = key;
        ++m_keys;
        return 1;
    }

    /// Holds key once less; returns its new count (0 also when it was not held).
    int Remove(K key)
    {
        if (m_blocks.empty() || Less(Last(), key)) return 0;
        std::size_t b = 0;
        const int at = Locate(key, b);
        if (at < 0) return 0;
        Block& block = *m_blocks[b];
        if (--block.entries[at].count > 0) return block.entries[at].count;
        std::copy(block.entries + at + 1, block.entries + block.size, block.entries + at);
        --block.size;
        --m_keys;
        if (block.size == 0) {
            delete &block;
            m_blocks.erase(m_blocks.begin() + std::ptrdiff_t(b));
            m_firsts.erase(m_firsts.begin() + std::ptrdiff_t(b));
        } else if (at == 0) {
            m_firsts[b] = block.entries[0].key;
        }
        return 0;
    }

    /// The number of keys held (each once, whatever its count).
    std::size_t Size() const { return m_keys; }

    void Clear()
    {
        for (Block* block : m_blocks) delete block;
        m_blocks.clear();
        m_firsts.clear();
        m_keys = 0;
    }

private:
    static constexpr int kBlock = 64;
    struct Entry {
        K key;
        int count;  // 1 or more
    };
    struct Block {
        int size = 0;
        Entry entries[kBlock];
    };
    static bool Less(K a, K b) { return std::less<K>{}(a, b); }
    static bool EntryLess(const Entry& e, K key) { return Less(e.key, key); }

    K Last() const { return m_blocks.back()->entries[m_blocks.back()->size - 1].key; }
    /// The block key belongs to: the last whose first key is not above it (the first block
    /// for a key below all). The block found last is tried first: keys rising through one
    /// place find it again.
    std::size_t BlockOf(K key) const
    {
        const std::size_t hint = m_hint.load(std::memory_order_relaxed);
        if (hint < m_firsts.size() && !Less(key, m_firsts[hint]) &&
            (hint + 1 == m_firsts.size() || Less(key, m_firsts[hint + 1])))
            return hint;
        const auto after = std::upper_bound(m_firsts.begin(), m_firsts.end(), key, Less);
        const std::size_t b = after == m_firsts.begin() ? 0 : std::size_t(after - m_firsts.begin()) - 1;
        m_hint.store(b, std::memory_order_relaxed);
        return b;
    }
    /// The place of key in block b (set to its block), or -1 when it is not held.
    int Locate(K key, std::size_t& b) const
    {
        b = BlockOf(key);
        const Block* block = m_blocks[b];
        const Entry* const begin = block->entries;
        // Past the block's last key (where rising keys go): not held.
        if (Less(begin[block->size - 1].key, key)) return -1;
        const Entry* at = std::lower_bound(begin, begin + block->size, key, EntryLess);
        return at != begin + block->size && at->key == key ? static_cast<int>(at - begin) : -1;
    }
    /// An empty block at index b whose first key will be first.
    void NewBlock(std::size_t b, K first)
    {
        // Room first, so that once the block is made nothing can fail.
        if (m_blocks.size() == m_blocks.capacity()) m_blocks.reserve(2 * m_blocks.size() + 8);
        if (m_firsts.size() == m_firsts.capacity()) m_firsts.reserve(2 * m_firsts.size() + 8);
        Block* block = new Block;
        m_blocks.insert(m_blocks.begin() + std::ptrdiff_t(b), block);
        m_firsts.insert(m_firsts.begin() + std::ptrdiff_t(b), first);
    }

    std::vector<Block*> m_blocks;  // owned; each block's keys lie below the next block's
    std::vector<K> m_firsts;       // the first key of each block, for searching
    std::size_t m_keys = 0;
    // The block BlockOf found last; readers that hold different locks may both set it.
    mutable std::atomic<std::size_t> m_hint{0};
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
