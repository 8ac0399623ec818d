#pragma once

// Sums of every n-wide run of a row, formed from prefix and suffix sums inside blocks of n
// elements that start at element 0. A run starting at s is the suffix of its block from s
// plus the prefix of the next block up to s + n - 1 (or one whole block): nothing is ever
// subtracted, so a run's sum holds only its own elements. A large value or a NaN leaves no
// rounding error in the runs that do not contain it, and each run adds in one fixed order
// whatever part of the image a caller works on. Only two blocks are held at a time, so the
// work stays in the cache however wide the row is.

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

/// Run sums of K quantities along rows of one width.
template <int K, class Acc>
class BlockRunSums {
public:
    BlockRunSums(int width, int n)
        : m_width(width),
          m_n(n),
          m_values(2 * K * std::size_t(n)),
          m_prefix(K * std::size_t(n)),
          m_suffix(2 * K * std::size_t(n))
    {
    }

    /// For every run start s = 0 .. width - n, emit(s, sums) gets sums[i] = the sum of
    /// quantity i over elements s .. s + n - 1. element(x, values) fills values[i] with the
    /// quantities of element x; it is called once per element, in increasing x.
    template <class Element, class Emit>
    void Sum(Element&& element, Emit&& emit)
    {
        const int n = m_n;
        if (m_width < n || n < 1) return;
        int current = 0;
        Load(element, 0, n, current);
        Suffixes(n, current);
        for (int start = 0; start <= m_width - n; start += n) {
            const int next = start + n, nextLength = std::min(n, m_width - next);
            if (nextLength > 0) {
                Load(element, next, nextLength, 1 - current);
                Prefixes(nextLength, 1 - current);
            }
            const Acc* suffix = m_suffix.data() + std::size_t(current) * K * std::size_t(n);
            std::array<Acc, K> sums;
            for (int i = 0; i < K; ++i) sums[std::size_t(i)] = suffix[std::size_t(i) * std::size_t(n)];
            emit(start, static_cast<const std::array<Acc, K>&>(sums));
            const int last = std::min(n, m_width - n - start + 1);
            for (int t = 1; t < last; ++t) {
                for (int i = 0; i < K; ++i)
                    sums[std::size_t(i)] = suffix[std::size_t(i) * std::size_t(n) + std::size_t(t)] +
                                           m_prefix[std::size_t(i) * std::size_t(n) + std::size_t(t - 1)];
                emit(start + t, static_cast<const std::array<Acc, K>&>(sums));
            }
            if (nextLength == n) Suffixes(n, 1 - current);
            current = 1 - current;
        }
    }

    /// The same sums for quantities held in whole rows: out[i][s] = the sum of in[i][s .. s + n - 1]
    /// for s = 0 .. width - n, added exactly as Sum adds them.
    void SumRows(const std::array<const Acc*, K>& in, const std::array<Acc*, K>& out)
    {
        const int n = m_n;
        if (m_width < n || n < 1) return;
        Acc* suffix = m_suffix.data();
        for (int start = 0; start + n <= m_width; start += n) {
            const int next = start + n, last = std::min(n, m_width - n - start + 1);
            for (int i = 0; i < K; ++i) {
                const Acc* v = in[std::size_t(i)];
                Acc* o = out[std::size_t(i)];
                Acc run = Acc(0);
                for (int t = n; t-- > 0;) suffix[t] = run = run + v[start + t];
                o[start] = suffix[0];
                run = Acc(0);
                for (int t = 1; t < last; ++t) {
                    run = run + v[next + t - 1];
                    o[start + t] = suffix[t] + run;
                }
            }
        }
    }

private:
    template <class Element>
    void Load(Element& element, int first, int length, int slot)
    {
        Acc* values = m_values.data() + std::size_t(slot) * K * std::size_t(m_n);
        std::array<Acc, K> v;
        for (int t = 0; t < length; ++t) {
            element(first + t, v);
            for (int i = 0; i < K; ++i)
                values[std::size_t(i) * std::size_t(m_n) + std::size_t(t)] = v[std::size_t(i)];
        }
    }
    void Prefixes(int length, int slot)
    {
        const Acc* values = m_values.data() + std::size_t(slot) * K * std::size_t(m_n);
        for (int i = 0; i < K; ++i) {
            const Acc* v = values + std::size_t(i) * std::size_t(m_n);
            Acc* p = m_prefix.data() + std::size_t(i) * std::size_t(m_n);
            Acc run = Acc(0);
            for (int t = 0; t < length; ++t) p[t] = run = run + v[t];
        }
    }
    void Suffixes(int length, int slot)
    {
        const Acc* values = m_values.data() + std::size_t(slot) * K * std::size_t(m_n);
        Acc* suffix = m_suffix.data() + std::size_t(slot) * K * std::size_t(m_n);
        for (int i = 0; i < K; ++i) {
            const Acc* v = values + std::size_t(i) * std::size_t(m_n);
            Acc* s = suffix + std::size_t(i) * std::size_t(m_n);
            Acc run = Acc(0);
            for (int t = length; t-- > 0;) s[t] = run = run + v[t];
        }
    }

    int m_width;
    int m_n;
    std::vector<Acc> m_values;  // two blocks of K rows of n
    std::vector<Acc> m_prefix;  // the next block's prefix sums
    std::vector<Acc> m_suffix;  // two blocks' suffix sums
};
