#include "plugin3d/model/render/canvas_tables.h"

#include <algorithm>
#include <vector>

#include "plugin3d/model/render/span_fill.h"

namespace canvas_tables {

TColorBitMap ColorBitMapOf(int format)
{
    // Per format, up to three fields: first pixel bit, component, bits (the level's top bits).
    struct Field {
        int first, component, count;
    };
    static constexpr Field kFields[7][3] = {{},
                                            {{0, 1, 8}},
                                            {{0, 3, 5}, {5, 2, 5}, {10, 1, 5}},
                                            {{0, 3, 5}, {5, 2, 6}, {11, 1, 5}},
                                            {{0, 3, 8}, {8, 2, 8}, {16, 1, 8}},
                                            {{0, 3, 8}, {8, 2, 8}, {16, 1, 8}},
                                            {{0, 3, 10}, {10, 2, 11}, {21, 1, 11}}};
    TColorBitMap map{};
    if (format < 1 || format > 6) return map;
    for (const Field& f : kFields[format])
        for (int k = 0; k < f.count; ++k) map[std::size_t(f.first + k)] = {f.component, 16 - f.count + k};
    return map;
}

void ComponentMasks(const TColorBitMap& map, int component, std::int32_t masks[16])
{
    std::fill(masks, masks + 16, 0);
    for (int j = 0; j < 32; ++j) {
        const TColorBit& b = map[std::size_t(j)];
        if (b.component == component && b.bit >= 0 && b.bit <= 15)
            masks[b.bit] = std::int32_t(std::uint32_t(masks[b.bit]) | (1u << j));
    }
}

std::int32_t PackColor(std::int32_t red, std::int32_t green, std::int32_t blue, const TColorBitMap& map)
{
    const std::int32_t level[4] = {0, red, green, blue};
    std::uint32_t packed = 0;
    for (int j = 0; j < 32; ++j) {
        const TColorBit& b = map[std::size_t(j)];
        if (b.component >= 1 && b.component <= 3 && b.bit >= 0 && b.bit <= 15 &&
            (std::uint32_t(level[b.component]) >> b.bit & 1u))
            packed |= 1u << j;
    }
    return std::int32_t(packed);
}

bool BuildComponentRamp(const Curve& curve, std::int32_t* levels)
{
    const int n = curve.pairs ? curve.count : 0;
    if (n <= 0) return false;
    auto input = [&](int i) { return curve.pairs[2 * i]; };
    auto output = [&](int i) { return curve.pairs[2 * i + 1]; };
    constexpr std::int32_t kTop = kLevels - 1;
    if (input(0) > kTop - 1 || n == 1) {
        std::fill(levels, levels + kLevels, output(0));
        return true;
    }
    if (input(n - 1) <= 0) {
        std::fill(levels, levels + kLevels, output(n - 1));
        return true;
    }
    for (int k = 0; k + 1 < n; ++k) {
        std::int32_t i0 = input(k), o0 = output(k), i1 = input(k + 1), o1 = output(k + 1);
        if (i0 > kTop || i1 < 0 || i1 < i0) continue;
        // Ends outside the levels move onto them, taking the curve's value there.
        if (i0 < 0) {
            i0 = 0;
            o0 = BreakpointLookup(0, curve.pairs, n);
        }
        if (i1 > kTop) {
            i1 = kTop;
            o1 = BreakpointLookup(kTop, curve.pairs, n);
        }
        FillRamp(levels, i0, o0, o1, i1);
    }
    if (input(0) > 0) std::fill(levels, levels + input(0), output(0));
    if (input(n - 1) < kTop) std::fill(levels + input(n - 1) + 1, levels + kLevels, output(n - 1));
    return true;
}

void BuildChannelTable(std::int32_t* table, const Curve* red, const Curve* green, const Curve* blue,
                       const TColorBitMap& map, std::int32_t background)
{
    std::fill(table, table + kTableEntries, 0);
    const Curve* curves[3] = {red, green, blue};
    std::vector<std::int32_t> levels;
    for (int c = 0; c < 3; ++c) {
        if (!curves[c]) continue;
        levels.assign(std::size_t(kLevels), 0);
        if (!BuildComponentRamp(*curves[c], levels.data())) continue;
        std::int32_t masks[16];
        ComponentMasks(map, c + 1, masks);
        SpreadBits(levels.data(), table, masks, kLevels);
    }
    table[kEmptyLevel] = background;
}

}  // namespace canvas_tables
