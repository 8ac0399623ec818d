// The median filter: sorting networks on whole vectors of pixels for 3 × 3 and 5 × 5, a
// sliding histogram for 8- and 16-bit samples, and ranked tiles for larger windows of any
// other type. Every path gives the middle value of the window in the order of SortKey.

#include <array>
#include <utility>

#include "modules/convolution/noise_filter_detail.h"
#include "modules/convolution/window_ranks.h"
#include "platform/kernel/cpu_features.h"

// The vector helpers are only ever called from inside their own function's target.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace noise_detail {
namespace {

/// SortKey of whole vectors of float bits.
template <class V>
[[gnu::always_inline]] inline V KeysOfBits(const V& s)
{
    const V key = s ^ ((s >> 31) & 0x7FFFFFFF);
    return (s & 0x7FFFFFFF) > 0x7F800000 ? V{} + std::numeric_limits<std::int32_t>::max() : key;
}

/// The keys of a row; the row read next is fetched meanwhile, so that it is in the cache
/// when its turn comes (`next` may be null).
template <class T>
[[gnu::always_inline]] inline void KeysOfRow(const T* src, const T* next, int count, std::int32_t* keys)
{
    int x = 0;
    if constexpr (std::is_same_v<T, float>)
        for (; x + kLanes<Keys8> <= count; x += kLanes<Keys8>) {
            if (next && x % 16 == 0) __builtin_prefetch(next + x);
            Store(keys + x, KeysOfBits(Load<Keys8>(src + x)));
        }
    for (; x < count; ++x) keys[x] = SortKey(float(ValueOf(src[x])));
}

template <class T>
__attribute__((target("avx2"))) void KeysOfRowAvx2(const T* src, const T* next, int count, std::int32_t* keys)
{
    KeysOfRow(src, next, count, keys);
}

// ---- comparator networks ------------------------------------------------------------------

/// After it, wire `lo` holds the smaller of the two values and wire `hi` the larger.
struct Comparator {
    int lo = 0, hi = 0;
};

struct Network {
    std::array<Comparator, 128> c{};
    int size = 0;
};

/// Wires whose values ascend in this order.
struct SortedWires {
    std::array<int, 32> wire{};
    int size = 0;
};

// at[i] is the wire at place i of a merge, -1 for the +inf that pads a list to a power of two.
constexpr void CompareAt(std::array<int, 64>& at, int i, int j, Network& net)
{
    const int a = at[std::size_t(i)], b = at[std::size_t(j)];
    if (b < 0) return;  // nothing exceeds the padding: no exchange
    if (a < 0) {        // a value below the padding: the two trade places, no comparison needed
        at[std::size_t(i)] = b;
        at[std::size_t(j)] = -1;
        return;
    }
    net.c[std::size_t(net.size++)] = Comparator{a, b};
}

/// Batcher's odd-even merge of places [lo, lo + n) taken r apart.
constexpr void OddEvenMerge(std::array<int, 64>& at, int lo, int n, int r, Network& net)
{
    const int step = 2 * r;
    if (step < n) {
        OddEvenMerge(at, lo, n, step, net);
        OddEvenMerge(at, lo + r, n, step, net);
        for (int i = lo + r; i + r < lo + n; i += step) CompareAt(at, i, i + r, net);
    } else {
        CompareAt(at, lo, lo + r, net);
    }
}

/// Appends to `net` the comparators that merge two ascending lists; returns the merged list.
constexpr SortedWires Merge(const SortedWires& x, const SortedWires& y, Network& net)
{
    int half = 1;
    while (half < x.size || half < y.size) half *= 2;
    std::array<int, 64> at{};
    for (int& a : at) a = -1;
    for (int i = 0; i < x.size; ++i) at[std::size_t(i)] = x.wire[std::size_t(i)];
    for (int i = 0; i < y.size; ++i) at[std::size_t(half + i)] = y.wire[std::size_t(i)];
    OddEvenMerge(at, 0, 2 * half, 1, net);
    SortedWires out;
    for (int i = 0; i < 2 * half; ++i)
        if (at[std::size_t(i)] >= 0) out.wire[std::size_t(out.size++)] = at[std::size_t(i)];
    return out;
}

/// Wires first .. first + count - 1, already ascending.
constexpr SortedWires Ascending(int first, int count)
{
    SortedWires w;
    for (int i = 0; i < count; ++i) w.wire[std::size_t(w.size++)] = first + i;
    return w;
}

/// The comparators of `net` whose outcome reaches `wire`.
constexpr Network KeepFor(const Network& net, int wire)
{
    std::array<bool, 64> needed{};
    needed[std::size_t(wire)] = true;
    std::array<bool, 128> keep{};
    for (int i = net.size; i-- > 0;) {
        const Comparator c = net.c[std::size_t(i)];
        if (needed[std::size_t(c.lo)] || needed[std::size_t(c.hi)]) {
            keep[std::size_t(i)] = needed[std::size_t(c.lo)] = needed[std::size_t(c.hi)] = true;
        }
    }
    Network kept;
    for (int i = 0; i < net.size; ++i)
        if (keep[std::size_t(i)]) kept.c[std::size_t(kept.size++)] = net.c[std::size_t(i)];
    return kept;
}

// The 5 × 5 median from sorted columns. Each column of 5 is sorted once (wires 0..4), each
// pair of neighbouring sorted columns is merged once (wires 0..4 and 5..9 into 10), and a
// window merges the pairs of its columns 0-1 (wires 0..9) and 2-3 (10..19) with its sorted
// column 4 (20..24), keeping only what its 13th value depends on.
struct Median5Plan {
    Network sort;
    SortedWires sorted;
    Network pair;
    SortedWires paired;
    Network window;
    int middle = 0;
};

constexpr Median5Plan MakeMedian5Plan()
{
    Median5Plan p;
    const SortedWires first = Merge(Ascending(0, 1), Ascending(1, 1), p.sort);
    const SortedWires second = Merge(Ascending(2, 1), Ascending(3, 1), p.sort);
    p.sorted = Merge(Merge(first, second, p.sort), Ascending(4, 1), p.sort);
    p.paired = Merge(Ascending(0, 5), Ascending(5, 5), p.pair);
    Network all;
    const SortedWires merged = Merge(Ascending(0, 10), Merge(Ascending(10, 10), Ascending(20, 5), all), all);
    p.middle = merged.wire[12];
    p.window = KeepFor(all, p.middle);
    return p;
}

constexpr Median5Plan kMedian5 = MakeMedian5Plan();
constexpr Network kSort5 = kMedian5.sort;
constexpr SortedWires kSorted5 = kMedian5.sorted;
constexpr Network kPair5 = kMedian5.pair;
constexpr SortedWires kPaired5 = kMedian5.paired;
constexpr Network kWindow5 = kMedian5.window;

template <class V>
[[gnu::always_inline]] inline void Order(V& a, V& b)
{
    const V lo = Min(a, b);
    b = Max(a, b);
    a = lo;
}

template <const Network& Net, class V, std::size_t... I>
[[gnu::always_inline]] inline void Apply(V* v, std::index_sequence<I...>)
{
    (Order(v[Net.c[I].lo], v[Net.c[I].hi]), ...);
}

template <const Network& Net, class V>
[[gnu::always_inline]] inline void Apply(V* v)
{
    Apply<Net>(v, std::make_index_sequence<std::size_t(Net.size)>());
}

/// rows[i][x] = the i-th smallest of the values on wires `order`, for every i.
template <const SortedWires& Order, class V, std::size_t... I>
[[gnu::always_inline]] inline void StoreAscending(std::int32_t* const* rows, int x, const V* v,
                                                  std::index_sequence<I...>)
{
    (Store(rows[I] + x, v[Order.wire[I]]), ...);
}

template <class V>
[[gnu::always_inline]] inline V Median3(const V& a, const V& b, const V& c)
{
    return Max(Min(a, b), Min(Max(a, b), c));
}

/// The float a key stands for, as its bits.
template <class V>
[[gnu::always_inline]] inline V KeyBits(const V& key)
{
    return key ^ ((key >> 31) & 0x7FFFFFFF);
}

/// fn.operator()<V>(x) over [0, count): whole vectors, then single keys.
template <class Fn>
[[gnu::always_inline]] inline void ByLanes(int count, Fn&& fn)
{
    int x = 0;
    for (; x + kLanes<Keys8> <= count; x += kLanes<Keys8>) fn.template operator()<Keys8>(x);
    for (; x < count; ++x) fn.template operator()<std::int32_t>(x);
}

/// Scratch rows of one output row of the network median.
struct NetworkRows {
    explicit NetworkRows(int width, int count) : data(std::size_t(width + 8) * std::size_t(count))
    {
        for (int i = 0; i < count; ++i)
            row[std::size_t(i)] = data.data() + std::size_t(i) * std::size_t(width + 8);
    }
    std::vector<std::int32_t> data;
    std::array<std::int32_t*, 15> row{};
};

// 3 × 3: with every column sorted, the median is the middle of the largest low, the middle
// middle and the smallest high of the three columns.
[[gnu::always_inline]] inline void Median3Row(const std::int32_t* const* rows, int w, NetworkRows& s,
                                              float* dst)
{
    std::int32_t *lo = s.row[0], *mid = s.row[1], *hi = s.row[2];
    ByLanes(
        w, [&]<class V>(int x) __attribute__((always_inline)) {
            V a = Load<V>(rows[0] + x), b = Load<V>(rows[1] + x), c = Load<V>(rows[2] + x);
            Order(a, b);
            Order(b, c);
            Order(a, b);
            Store(lo + x, a);
            Store(mid + x, b);
            Store(hi + x, c);
        });
    ByLanes(
        w - 2, [&]<class V>(int x) __attribute__((always_inline)) {
            const V low = Max(Max(Load<V>(lo + x), Load<V>(lo + x + 1)), Load<V>(lo + x + 2));
            const V high = Min(Min(Load<V>(hi + x), Load<V>(hi + x + 1)), Load<V>(hi + x + 2));
            const V middle = Median3(Load<V>(mid + x), Load<V>(mid + x + 1), Load<V>(mid + x + 2));
            Store(dst + 1 + x, KeyBits(Median3(low, middle, high)));
        });
}

template <std::size_t... I>
[[gnu::always_inline]] inline void Median5Row(const std::int32_t* const* rows, int w, NetworkRows& s,
                                              float* dst, std::index_sequence<I...>)
{
    std::int32_t* const* sorted = s.row.data();
    std::int32_t* const* paired = s.row.data() + 5;
    ByLanes(
        w, [&]<class V>(int x) __attribute__((always_inline)) {
            V v[5] = {Load<V>(rows[I] + x)...};
            Apply<kSort5>(v);
            StoreAscending<kSorted5>(sorted, x, v, std::make_index_sequence<5>());
        });
    ByLanes(
        w - 1, [&]<class V>(int x) __attribute__((always_inline)) {
            V v[10] = {Load<V>(sorted[I] + x)..., Load<V>(sorted[I] + x + 1)...};
            Apply<kPair5>(v);
            StoreAscending<kPaired5>(paired, x, v, std::make_index_sequence<10>());
        });
    ByLanes(
        w - 4, [&]<class V>(int x) __attribute__((always_inline)) {
            V v[25] = {Load<V>(paired[I] + x)..., Load<V>(paired[I + 5] + x)...,
                       Load<V>(paired[I] + x + 2)..., Load<V>(paired[I + 5] + x + 2)...,
                       Load<V>(sorted[I] + x + 4)...};
            Apply<kWindow5>(v);
            Store(dst + 2 + x, KeyBits(v[kMedian5.middle]));
        });
}

/// Windows per chunk of a row: the chunk's sorted columns stay in the first-level cache.
constexpr int kNetworkChunk = 1024;

[[gnu::always_inline]] inline void MedianRow(int g, const std::int32_t* const* rows, int w, NetworkRows& s,
                                             float* dst)
{
    const std::int32_t* shifted[5];
    for (int c0 = 0; c0 + g <= w; c0 += kNetworkChunk) {
        for (int i = 0; i < g; ++i) shifted[i] = rows[i] + c0;
        const int columns = std::min(kNetworkChunk + g - 1, w - c0);
        if (g == 3)
            Median3Row(shifted, columns, s, dst + c0);
        else
            Median5Row(shifted, columns, s, dst + c0, std::make_index_sequence<5>());
    }
}

// The same code for both: eight lanes with AVX2, SSE2 halves without.
__attribute__((target("avx2"))) void MedianRowAvx2(int g, const std::int32_t* const* rows, int w,
                                                   NetworkRows& s, float* dst)
{
    MedianRow(g, rows, w, s, dst);
}

void MedianRowPlain(int g, const std::int32_t* const* rows, int w, NetworkRows& s, float* dst)
{
    MedianRow(g, rows, w, s, dst);
}

/// 3 × 3 and 5 × 5 windows of any type: the keys of each input row once into a ring, then
/// sorted columns shared by the windows that hold them.
template <class T>
void NetworkMedianBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                       std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    const int g = spec.window, k = g / 2, w = in.width;
    RowRing<std::int32_t> ring(g, w);
    NetworkRows scratch(std::min(w, kNetworkChunk + g - 1), g == 3 ? 3 : 15);
    const bool avx2 = platform::UseAvx2();
    auto convert = [&](std::int64_t y) {
        const T* src = static_cast<const T*>(in.rows[y]);
        const T* next = y + 1 < last + k ? static_cast<const T*>(in.rows[y + 1]) : nullptr;
        if (avx2)
            KeysOfRowAvx2(src, next, w, ring.Slot(y));
        else
            KeysOfRow(src, next, w, ring.Slot(y));
    };
    for (std::int64_t y = first; y < last; ++y) {
        if (stop && stop->load(std::memory_order_relaxed)) return;
        if (y == first)
            for (int i = -k; i <= k; ++i) convert(y + i);
        else
            convert(y + k);
        // The windows start at column 0: output column c is written at dst + k + (c - k).
        if (avx2)
            MedianRowAvx2(g, ring.Window(y), w, scratch, out[y]);
        else
            MedianRowPlain(g, ring.Window(y), w, scratch, out[y]);
    }
}

// ---- 8- and 16-bit samples: a sliding histogram ------------------------------------------

template <class T>
inline constexpr bool kHistogramMedian = std::is_integral_v<T> && sizeof(T) <= 2;

/// A sliding histogram of the window, with counts per 16 bins and per 256 bins. The
/// median's 256-bin block moves by the few values that change per step; inside it the
/// 16-bin group and then the bin are each one of 16.
template <class T>
void HistogramMedianBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                         std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    constexpr int kBins = 1 << (8 * sizeof(T));
    constexpr int kOffset = std::is_signed_v<T> ? kBins / 2 : 0;
    const int g = spec.window, k = g / 2, n = g * g, w = in.width;
    const int target = n / 2;
    std::vector<int> bins(static_cast<std::size_t>(kBins)), groups(static_cast<std::size_t>(kBins >> 4)),
        blocks(static_cast<std::size_t>(std::max(1, kBins >> 8)));
    auto bin = [](const T* row, int x) { return int(row[x]) + kOffset; };
    auto add = [&](int b, int d) {
        bins[std::size_t(b)] += d;
        groups[std::size_t(b >> 4)] += d;
        blocks[std::size_t(b >> 8)] += d;
    };
    std::vector<const T*> rows(static_cast<std::size_t>(g));
    for (std::int64_t y = first; y < last; ++y) {
        if (stop && stop->load(std::memory_order_relaxed)) return;
        for (int i = 0; i < g; ++i) rows[std::size_t(i)] = static_cast<const T*>(in.rows[y - k + i]);
        float* dst = out[y];
        for (int i = 0; i < g; ++i)
            for (int x = 0; x < g; ++x) add(bin(rows[std::size_t(i)], x), 1);
        int block = 0, below = 0;  // below: values in the blocks before `block`
        for (int c = k; c < w - k; ++c) {
            if (c > k) {
                for (int i = 0; i < g; ++i) {
                    const int leaving = bin(rows[std::size_t(i)], c - k - 1);
                    const int entering = bin(rows[std::size_t(i)], c + k);
                    add(leaving, -1);
                    below -= (leaving >> 8) < block;
                    add(entering, 1);
                    below += (entering >> 8) < block;
                }
            }
            while (below > target) below -= blocks[std::size_t(--block)];
            while (below + blocks[std::size_t(block)] <= target) below += blocks[std::size_t(block++)];
            int rank = target - below, group = block << 4;
            while (rank >= groups[std::size_t(group)]) rank -= groups[std::size_t(group++)];
            int b = group << 4;
            while (rank >= bins[std::size_t(b)]) rank -= bins[std::size_t(b++)];
            dst[c] = float(b - kOffset);
        }
        // Take the last window out again, which leaves the histogram empty for the next row.
        for (int i = 0; i < g; ++i)
            for (int x = w - g; x < w; ++x) add(bin(rows[std::size_t(i)], x), -1);
    }
}

// ---- larger windows of any other type: ranked tiles --------------------------------------

/// The medians of one ranked tile: the window moves over it one row or column at a time,
/// and its median is the middle rank it holds.
[[gnu::always_inline]] inline void MedianOfTile(const TileRanks& ranks, const TileBlock& t, int g,
                                                RankSet& set, float* const* out)
{
    const int middle = g * g / 2;
    const std::int32_t* sorted = ranks.SortedKeys();
    set.Reset(ranks.Count());
    SlideWindow(
        ranks.Ranks(), t.width, g, t.rows, t.cols, set, [&](int r, int c) __attribute__((always_inline)) {
            out[t.top + r][t.left + c] = FromSortKey(sorted[set.Select(middle)]);
        });
}

// Bit counts as single instructions where the processor has them.
__attribute__((target("avx2,popcnt,bmi"))) void MedianOfTileAvx2(const TileRanks& ranks, const TileBlock& t,
                                                                 int g, RankSet& set, float* const* out)
{
    MedianOfTile(ranks, t, g, set, out);
}

void MedianOfTilePlain(const TileRanks& ranks, const TileBlock& t, int g, RankSet& set, float* const* out)
{
    MedianOfTile(ranks, t, g, set, out);
}

/// Larger windows of any type but 8 and 16 bits: each tile's inputs are ranked once.
template <class T>
void RankMedianBand(const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first, std::int64_t last,
                    float* const* out, const std::atomic<bool>* stop)
{
    const int g = spec.window;
    const bool avx2 = platform::UseAvx2();
    TileRanks ranks;
    RankSet set;
    std::vector<std::int32_t> keys;
    ForEachTile<T>(in, g, first, last, stop, [&](const TileBlock& t, const double* values) {
        const int count = t.width * t.height;
        keys.resize(std::size_t(count));
        for (int i = 0; i < count; ++i) keys[std::size_t(i)] = SortKey(float(values[i]));
        ranks.Sort(keys.data(), count);
        if (avx2)
            MedianOfTileAvx2(ranks, t, g, set, out);
        else
            MedianOfTilePlain(ranks, t, g, set, out);
    });
}

}  // namespace

void FilterMedianBand(int type, const RowSource& in, const NoiseFilterSpec& spec, std::int64_t first,
                      std::int64_t last, float* const* out, const std::atomic<bool>* stop)
{
    visitSampleType(type, [&]<class T>(Tag<T>) {
        // Small windows are fastest through the networks, whatever the type.
        if (spec.window <= 5)
            NetworkMedianBand<T>(in, spec, first, last, out, stop);
        else if constexpr (kHistogramMedian<T>)
            HistogramMedianBand<T>(in, spec, first, last, out, stop);
        else
            RankMedianBand<T>(in, spec, first, last, out, stop);
    });
}

}  // namespace noise_detail
