#pragma once

// Ranks of the samples of a small tile of an image, and the set of ranks that a window
// moving over the tile holds. Sorting the tile once turns every value into a rank below
// 65536, so a window step that takes out g samples and brings in g others is 2g bit
// operations, and the window's median is a short walk over counts, however large the
// window's area. Kernel code only.

#include <bit>
#include <cstdint>
#include <vector>

/// Orders the 32-bit keys of up to 65536 elements; equal keys keep their element order.
class TileRanks {
public:
    /// Sorts keys[0 .. count).
    void Sort(const std::int32_t* keys, int count);
    /// rank of element i: its place in ascending order.
    const std::uint16_t* Ranks() const { return m_rank.data(); }
    /// The key at each rank, ascending.
    const std::int32_t* SortedKeys() const { return m_sortedKeys.data(); }
    /// The element at each rank.
    const std::uint16_t* Elements() const { return m_element.data(); }
    int Count() const { return m_count; }

private:
    int m_count = 0;
    std::vector<std::uint64_t> m_items;    // (key as unsigned) << 16 | element
    std::vector<std::uint64_t> m_scratch;  // the other buffer of each pass
    std::vector<std::uint16_t> m_rank;
    std::vector<std::uint16_t> m_element;
    std::vector<std::int32_t> m_sortedKeys;
};

/// A set of ranks in [0, size) with counts per block of 512, for selecting the k-th smallest
/// of them. The selection keeps its place between calls: a window's median moves little
/// from one step to the next.
class RankSet {
public:
    /// Empties the set over ranks [0, size).
    void Reset(int size);
    void Insert(int r)
    {
        m_words[std::size_t(r >> 6)] |= std::uint64_t(1) << (r & 63);
        ++m_blockCount[std::size_t(r >> kBlockShift)];
        m_below += (r >> kBlockShift) < m_block;
    }
    void Erase(int r)
    {
        m_words[std::size_t(r >> 6)] &= ~(std::uint64_t(1) << (r & 63));
        --m_blockCount[std::size_t(r >> kBlockShift)];
        m_below -= (r >> kBlockShift) < m_block;
    }
    /// The k-th smallest rank held (k from 0); the set holds more than k ranks. Inline, so
    /// that it is built for the caller's processor.
    [[gnu::always_inline]] int Select(int k)
    {
        while (m_below > k) m_below -= m_blockCount[std::size_t(--m_block)];
        while (m_below + m_blockCount[std::size_t(m_block)] <= k)
            m_below += m_blockCount[std::size_t(m_block++)];
        int left = k - m_below;
        const std::uint64_t* word = m_words.data() + std::size_t(m_block) * kWordsPerBlock;
        for (;; ++word) {
            const int held = std::popcount(*word);
            if (left < held) break;
            left -= held;
        }
        std::uint64_t bits = *word;
        for (; left > 0; --left) bits &= bits - 1;
        return int(word - m_words.data()) * 64 + std::countr_zero(bits);
    }

    static constexpr int kBlockShift = 9;
    static constexpr int kWordsPerBlock = 8;

protected:
    std::vector<std::uint64_t> m_words;
    std::vector<int> m_blockCount;
    int m_block = 0;  // where the last selection ended
    int m_below = 0;  // ranks held in the blocks before m_block
};

/// Moves a g × g window over the rows × cols outputs of a tile, snaking along its rows so
/// that every step changes one row or one column of the window: g ranks leave the set and
/// g enter it. rank[i * width + j] is the rank of the tile's input (i, j); the window of
/// output (r, c) covers inputs r .. r + g - 1 by c .. c + g - 1. visit(r, c) is called once
/// per output, with the set holding exactly that window (each rank leaves before the next
/// one enters, so it never holds more than g² ranks).
template <class Set, class Visit>
[[gnu::always_inline]] inline void SlideWindow(const std::uint16_t* rank, int width, int g, int rows,
                                               int cols, Set& set, Visit&& visit)
{
    auto at = [&](int i, int j) { return int(rank[std::size_t(i) * std::size_t(width) + std::size_t(j)]); };
    for (int i = 0; i < g; ++i)
        for (int j = 0; j < g; ++j) set.Insert(at(i, j));
    int c = 0;
    for (int r = 0; r < rows; ++r) {
        if (r > 0)
            for (int j = 0; j < g; ++j) {
                set.Erase(at(r - 1, c + j));
                set.Insert(at(r + g - 1, c + j));
            }
        visit(r, c);
        const int step = r % 2 == 0 ? 1 : -1;
        for (int n = 1; n < cols; ++n) {
            const int leaving = step > 0 ? c : c + g - 1, entering = step > 0 ? c + g : c - 1;
            for (int i = 0; i < g; ++i) {
                set.Erase(at(r + i, leaving));
                set.Insert(at(r + i, entering));
            }
            c += step;
            visit(r, c);
        }
    }
}
