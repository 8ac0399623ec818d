#include "modules/convolution/window_ranks.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Three passes of 11, 11 and 10 bits over the key, which sits in bits 16 .. 47 of an item.
constexpr int kPassShift[3] = {16, 27, 38};
constexpr int kPassBits[3] = {11, 11, 10};

}  // namespace

void TileRanks::Sort(const std::int32_t* keys, int count)
{
    m_count = count;
    const auto n = std::size_t(count);
    if (m_items.size() < n) {
        m_items.resize(n);
        m_scratch.resize(n);
        m_rank.resize(n);
        m_element.resize(n);
        m_sortedKeys.resize(n);
    }
    std::array<std::array<std::uint32_t, 2048>, 3> histogram{};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t key = std::uint32_t(keys[i]) ^ 0x80000000u;
        const std::uint64_t item = key << 16 | i;
        m_items[i] = item;
        for (int p = 0; p < 3; ++p)
            ++histogram[std::size_t(p)][(item >> kPassShift[p]) & ((1u << kPassBits[p]) - 1)];
    }
    std::uint64_t* from = m_items.data();
    std::uint64_t* to = m_scratch.data();
    for (int p = 0; p < 3; ++p) {
        auto& h = histogram[std::size_t(p)];
        const std::uint32_t mask = (1u << kPassBits[p]) - 1;
        // A pass whose digit is the same for every key moves nothing.
        if (h[(from[0] >> kPassShift[p]) & mask] == n) continue;
        std::uint32_t start = 0;
        for (std::uint32_t& c : h) {
            const std::uint32_t bucket = c;
            c = start;
            start += bucket;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t item = from[i];
            to[h[(item >> kPassShift[p]) & mask]++] = item;
        }
        std::swap(from, to);
    }
    for (std::size_t r = 0; r < n; ++r) {
        const std::uint64_t item = from[r];
        const auto element = std::uint16_t(item & 0xFFFF);
        m_element[r] = element;
        m_rank[element] = std::uint16_t(r);
        m_sortedKeys[r] = std::int32_t(std::uint32_t(item >> 16) ^ 0x80000000u);
    }
}

void RankSet::Reset(int size)
{
    m_words.assign(std::size_t((size + 63) >> 6) + kWordsPerBlock, 0);
    m_blockCount.assign(std::size_t((size >> kBlockShift) + 1), 0);
    m_block = 0;
    m_below = 0;
}
