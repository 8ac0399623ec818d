#pragma once

// What the noise filter's kernel files share: the value of a sample, the integer keys that
// order floats, a ring of converted rows, vectors of the compiler's own kind, and the
// median and Sigma band entries. Kernel code only: no files, no meter, no windows.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "modules/convolution/noise_filter_kernels.h"
#include "outside/basecore/data_type.h"

namespace noise_detail {

/// Integers with their sign, floats as they are, complex samples as their power re² + im².
template <class T>
inline double ValueOf(const T& s)
{
    if constexpr (IsComplex<T>) {
        const double r = double(re(s)), i = double(im(s));
        return r * r + i * i;
    } else {
        return double(s);
    }
}

/// Floats as integers of the same order (NaN last, as one key), so that the median runs on
/// integer comparisons. -0 orders below +0; both give back the zero they were.
inline std::int32_t SortKey(float f)
{
    std::int32_t s;
    std::memcpy(&s, &f, 4);
    const std::int32_t key = s ^ ((s >> 31) & 0x7FFFFFFF);
    return (s & 0x7FFFFFFF) > 0x7F800000 ? std::numeric_limits<std::int32_t>::max() : key;
}
inline float FromSortKey(std::int32_t key)
{
    const std::int32_t s = key ^ ((key >> 31) & 0x7FFFFFFF);
    float f;
    std::memcpy(&f, &s, 4);
    return f;
}

/// The g input rows around the current output row, converted once each into a ring.
template <class V>
class RowRing {
public:
    RowRing(int g, int width) : m_g(g), m_width(width), m_data(std::size_t(g) * width), m_rows(std::size_t(g))
    {
    }
    V* Slot(std::int64_t y) { return m_data.data() + std::size_t(y % m_g) * m_width; }
    /// Row pointers of the window centred on y, top to bottom.
    const V* const* Window(std::int64_t y)
    {
        const int k = m_g / 2;
        for (int i = 0; i < m_g; ++i) m_rows[std::size_t(i)] = Slot(y - k + i);
        return m_rows.data();
    }

private:
    int m_g;
    int m_width;
    std::vector<V> m_data;
    std::vector<const V*> m_rows;
};

// Vectors of the compiler's own kind: the same code runs on eight lanes in a function built
// for AVX2, and split into SSE2 halves elsewhere, with identical results.
using Keys8 = std::int32_t __attribute__((vector_size(32)));
using Doubles4 = double __attribute__((vector_size(32)));
using Masks4 = std::int64_t __attribute__((vector_size(32)));
using Floats4 = float __attribute__((vector_size(16)));

template <class V>
inline constexpr int kLanes = int(sizeof(V) / 4);
template <>
inline constexpr int kLanes<Doubles4> = 4;
template <>
inline constexpr int kLanes<double> = 1;

// Vectors pass by value only between functions inlined into one of their own target.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
template <class V, class E>
[[gnu::always_inline]] inline V Load(const E* p)
{
    V v;
    std::memcpy(&v, p, sizeof(V));
    return v;
}
template <class V, class E>
[[gnu::always_inline]] inline void Store(E* p, const V& v)
{
    std::memcpy(p, &v, sizeof(V));
}
template <class V>
[[gnu::always_inline]] inline V Min(const V& a, const V& b)
{
    return a < b ? a : b;
}
template <class V>
[[gnu::always_inline]] inline V Max(const V& a, const V& b)
{
    return a < b ? b : a;
}
#pragma GCC diagnostic pop

/// Large windows are filtered in tiles of at most this many outputs on a side: a tile's
/// input block then has fewer than 65536 samples, which rank in 16 bits.
inline constexpr int kTileSide = 64;

/// One tile of outputs and the block of inputs its windows cover.
struct TileBlock {
    std::int64_t top = 0;  ///< first output row
    int left = 0;          ///< first output column
    int rows = 0;          ///< outputs down
    int cols = 0;          ///< outputs across
    int width = 0;         ///< input block: cols + g - 1 wide ...
    int height = 0;        ///< ... and rows + g - 1 high
};

/// Calls fn(tile, values) for the tiles of output rows [first, last) and the inner columns
/// of `in`, values[i * tile.width + j] being the value of input (top - k + i, left - k + j).
/// Ends early once `stop` is set.
template <class T, class Fn>
void ForEachTile(const RowSource& in, int g, std::int64_t first, std::int64_t last,
                 const std::atomic<bool>* stop, Fn&& fn)
{
    const int k = g / 2;
    std::vector<double> values;
    for (std::int64_t top = first; top < last; top += kTileSide) {
        const int rows = int(std::min<std::int64_t>(kTileSide, last - top));
        for (int left = k; left < in.width - k; left += kTileSide) {
            if (stop && stop->load(std::memory_order_relaxed)) return;
            TileBlock t;
            t.top = top;
            t.left = left;
            t.rows = rows;
            t.cols = std::min(kTileSide, in.width - k - left);
            t.width = t.cols + g - 1;
            t.height = rows + g - 1;
            values.resize(std::size_t(t.width) * std::size_t(t.height));
            for (int i = 0; i < t.height; ++i) {
                const T* src = static_cast<const T*>(in.rows[top - k + i]) + (left - k);
                double* dst = values.data() + std::size_t(i) * std::size_t(t.width);
                for (int j = 0; j < t.width; ++j) dst[j] = ValueOf(src[j]);
            }
            fn(static_cast<const TileBlock&>(t), static_cast<const double*>(values.data()));
        }
    }
}

/// Median and Sigma filters of output rows [first, last) of a band (inside the inner
/// rectangle); as FilterNoiseRows.
void FilterMedianBand(int type, const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                      std::int64_t last, float* const* out, const std::atomic<bool>* stop);
void FilterSigmaBand(int type, const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                     std::int64_t last, float* const* out, const std::atomic<bool>* stop);

}  // namespace noise_detail
