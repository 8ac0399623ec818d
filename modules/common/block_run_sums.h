#pragma once

// Sums of every n-wide run of a row, formed from prefix and suffix sums inside blocks of n
// elements that start at element 0. A run starting at s is the suffix of its block from s
// plus the prefix of the next block up to s + n - 1 (or one whole block): nothing is ever
// subtracted, so a run's sum holds only its own elements. A large value or a NaN leaves no
// rounding error in the runs that do not contain it, and each run adds in one fixed order
// whatever part of the image a caller works on.

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

/// Run sums of K quantities along rows of one width, with the scratch rows they need.
template <int K, class Acc>
class BlockRunSums {
public:
    BlockRunSums(int width, int n)
        : m_width(std::size_t(width)), m_n(std::size_t(n)), m_prefix(K * m_width), m_suffix(K * m_width)
    {
    }

    /// out[i][s] = row[i][s] + ... + row[i][s + n - 1] for s = 0 .. width - n.
    void Sum(const std::array<const Acc*, K>& row, const std::array<Acc*, K>& out)
    {
        if (m_width < m_n) return;
        for (std::size_t b = 0; b < m_width; b += m_n) {
            const std::size_t len = std::min(m_n, m_width - b), last = b + len - 1;
            // Forward prefix and backward suffix in one loop over all quantities, so that
            // their 2K dependent chains overlap.
            std::array<Acc, K> up{}, down{};
            for (std::size_t j = 0; j < len; ++j)
                for (int i = 0; i < K; ++i) {
                    const std::size_t q = std::size_t(i) * m_width;
                    m_prefix[q + b + j] = up[std::size_t(i)] += row[std::size_t(i)][b + j];
                    m_suffix[q + last - j] = down[std::size_t(i)] += row[std::size_t(i)][last - j];
                }
        }
        const std::size_t runs = m_width - m_n + 1;
        for (int i = 0; i < K; ++i) {
            const Acc* prefix = m_prefix.data() + std::size_t(i) * m_width;
            const Acc* suffix = m_suffix.data() + std::size_t(i) * m_width;
            Acc* dst = out[std::size_t(i)];
            for (std::size_t b = 0; b < runs; b += m_n) {
                dst[b] = suffix[b];
                const std::size_t e = std::min(runs, b + m_n);
                for (std::size_t s = b + 1; s < e; ++s) dst[s] = suffix[s] + prefix[s + m_n - 1];
            }
        }
    }

private:
    std::size_t m_width;
    std::size_t m_n;
    std::vector<Acc> m_prefix;
    std::vector<Acc> m_suffix;
};
