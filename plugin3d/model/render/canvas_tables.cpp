#include "plugin3d/model/render/canvas_tables.h"

#include <algorithm>
#include <bit>
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

namespace {

constexpr std::int32_t kTopLevel = kLevels - 1;

// Floor and ceiling of p / q for q > 0.
std::int64_t FloorDiv(std::int64_t p, std::int64_t q)
{
    return p >= 0 ? p / q : -((-p + q - 1) / q);
}
std::int64_t CeilDiv(std::int64_t p, std::int64_t q)
{
    return -FloorDiv(-p, q);
}

struct PieceFit {
    std::int64_t a = 0, b = 0;
    int s = 0;
};

// a, b and s with f(v) 2^s <= a v + b < (f(v) + 1) 2^s for every v in u0..u1, so that
// (a v + b) >> s is f(v) and a v + b stays within 32 bits. A larger s only refines the
// slope, so s is the largest that keeps (max f + 1) 2^s within 2^32.
std::optional<PieceFit> FitPiece(const std::uint32_t* f, std::int32_t u0, std::int32_t u1)
{
    std::uint32_t top = 0;
    for (std::int32_t v = u0; v <= u1; ++v) top = std::max(top, f[v]);
    const int s = std::min(31, 32 - int(std::bit_width(top)));
    const std::int64_t unit = std::int64_t(1) << s;
    if (u0 == u1) return PieceFit{0, std::int64_t(f[u0]) * unit, s};
    // For a given slope the offsets that fit form the interval [low, high]; its width is a
    // concave function of the slope, so a bisection on the sign of its slope finds a slope
    // where it is not negative, if there is one. Beside the width, one pass gives the
    // levels that bound the interval, and with them that sign.
    struct Offsets {
        std::int64_t low, width, rise;
    };
    auto offsets = [&](std::int64_t a) {
        std::int64_t low = INT64_MIN, high = INT64_MAX;
        std::int32_t lowAt = u0, highAt = u0;
        for (std::int32_t v = u0; v <= u1; ++v) {
            const std::int64_t base = std::int64_t(f[v]) * unit - a * v;
            if (base > low) {
                low = base;
                lowAt = v;
            }
            if (base + unit - 1 <= high) {
                high = base + unit - 1;
                highAt = v;
            }
        }
        // The width grows with the slope while the level that bounds it from below comes
        // after the one that bounds it from above.
        return Offsets{low, high - low, std::int64_t(lowAt) - highAt};
    };
    // The slope is bounded by the piece's two ends alone.
    const std::int64_t n = u1 - u0, rise = std::int64_t(f[u1]) - f[u0];
    std::int64_t lo = CeilDiv((rise - 1) * unit + 1, n), hi = FloorDiv((rise + 1) * unit - 1, n);
    while (lo <= hi) {
        const std::int64_t m = lo + (hi - lo) / 2;
        const Offsets o = offsets(m);
        if (o.width >= 0) return PieceFit{m, o.low, s};
        if (o.rise > 0)
            lo = m + 1;
        else
            hi = m - 1;
    }
    return std::nullopt;
}

// Whether a fit also gives f(v) for the levels from..to, within 32 bits.
bool Holds(const PieceFit& fit, const std::uint32_t* f, std::int32_t from, std::int32_t to)
{
    const std::int64_t unit = std::int64_t(1) << fit.s;
    for (std::int32_t v = from; v <= to; ++v) {
        const std::int64_t value = fit.a * v + fit.b, at = value - std::int64_t(f[v]) * unit;
        if (at < 0 || at >= unit || value > std::int64_t(UINT32_MAX)) return false;
    }
    return true;
}

// The field over all levels in as few pieces as fit, each as long as it can be.
std::optional<TableField> FitField(const std::uint32_t* f, int shift)
{
    TableField field;
    field.shift = shift;
    for (std::int32_t u0 = 0; u0 <= kTopLevel;) {
        if (field.pieces == kFormPieces) return std::nullopt;
        // Fits are monotone in the piece's end: gallop out from u0, then bisect.
        // A longer piece is first tried with the fit of the shorter one, which mostly holds.
        std::int32_t good = u0, bad = kTopLevel + 1;
        std::optional<PieceFit> fit = FitPiece(f, u0, u0);
        auto extend = [&](std::int32_t end) {
            return Holds(*fit, f, good + 1, end) ? fit : FitPiece(f, u0, end);
        };
        for (std::int32_t reach = 1; good < kTopLevel; reach *= 2) {
            const std::int32_t end = std::min(u0 + reach, kTopLevel);
            auto longer = extend(end);
            if (!longer) {
                bad = end;
                break;
            }
            good = end;
            fit = longer;
        }
        while (bad - good > 1) {
            const std::int32_t mid = good + (bad - good) / 2;
            if (auto longer = extend(mid)) {
                good = mid;
                fit = longer;
            } else {
                bad = mid;
            }
        }
        const int p = field.pieces++;
        field.first[p] = u0;
        field.a[p] = std::uint32_t(fit->a);
        field.b[p] = std::uint32_t(fit->b);
        field.s[p] = std::uint32_t(fit->s);
        u0 = good + 1;
    }
    return field;
}

// A run of set bits.
bool IsRun(std::uint32_t m)
{
    return m != 0 && std::has_single_bit((m >> std::countr_zero(m)) + 1ull);
}

}  // namespace

std::uint32_t FormEntry(const TableForm& form, std::int32_t v)
{
    std::uint32_t entry = 0;
    for (int i = 0; i < form.fieldCount; ++i) {
        const TableField& f = form.fields[i];
        int p = 0;
        while (p + 1 < f.pieces && v >= f.first[p + 1]) ++p;
        entry |= ((f.a[p] * std::uint32_t(v) + f.b[p]) >> f.s[p]) << f.shift;
    }
    return entry;
}

std::optional<TableForm> FindTableForm(const std::int32_t* table, const std::uint32_t* fieldMasks,
                                       int maskCount)
{
    std::uint32_t used = 0;
    for (std::int32_t v = 0; v <= kTopLevel; ++v) used |= std::uint32_t(table[v]);
    std::uint32_t masks[3] = {};
    int count = 0;
    if (maskCount <= 0) {
        if (used) masks[count++] = (~0u >> std::countl_zero(used)) & (~0u << std::countr_zero(used));
    } else {
        std::uint32_t covered = 0;
        for (int i = 0; i < maskCount; ++i) {
            covered |= fieldMasks[i];
            if (!(used & fieldMasks[i])) continue;
            if (count == 3 || !IsRun(fieldMasks[i])) return std::nullopt;
            masks[count++] = fieldMasks[i];
        }
        if (used & ~covered) return std::nullopt;
    }
    TableForm form;
    std::vector<std::uint32_t> values(static_cast<std::size_t>(kLevels));
    for (int i = 0; i < count; ++i) {
        const int shift = std::countr_zero(masks[i]);
        for (std::int32_t v = 0; v <= kTopLevel; ++v)
            values[std::size_t(v)] = (std::uint32_t(table[v]) & masks[i]) >> shift;
        std::optional<TableField> field = FitField(values.data(), shift);
        if (!field) return std::nullopt;
        form.fields[form.fieldCount++] = *field;
    }
    // Each field is exact by its fit; this also holds the fields to the entries' bits.
    for (std::int32_t v = 0; v <= kTopLevel; ++v)
        if (FormEntry(form, v) != std::uint32_t(table[v])) return std::nullopt;
    return form;
}

}  // namespace canvas_tables
