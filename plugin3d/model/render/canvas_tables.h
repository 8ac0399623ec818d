#pragma once

// The lookup tables that turn a channel level (0..0x8000 drawn, 0xFFFF nothing drawn) into
// packed pixel bits: which bit of which colour component each pixel bit carries (the bit
// map), the component levels a breakpoint curve gives each channel level, and the bits
// those levels spread into.

#include <array>
#include <cstdint>
#include <optional>

/// One pixel bit: the colour component it carries (1 red, 2 green, 3 blue, 0 none) and the
/// bit (0..15) of that component's 16-bit level.
struct TColorBit {
    std::int32_t component = 0;
    std::int32_t bit = 0;
};
/// The meaning of bits 0..31 of a packed pixel.
using TColorBitMap = std::array<TColorBit, 32>;
static_assert(sizeof(TColorBitMap) == 256, "a bit map is stored as 32 pairs of int32");

namespace canvas_tables {

/// Entries of a channel table, and the channel levels a curve is drawn over (0..0x8000).
inline constexpr int kTableEntries = 0x10000;
inline constexpr int kLevels = 0x8001;
/// The channel value of a pixel nothing was drawn on: mapped to the background.
inline constexpr int kEmptyLevel = 0xFFFF;

/// A breakpoint curve as the tables read it: `count` (input, output) pairs sorted by input.
struct Curve {
    const std::int32_t* pairs = nullptr;
    int count = 0;
};

/// The packing of pixel format 1..6 (the memory bitmap's formats): 1 red 8-15 in 8 bits (to
/// be made palette indices), 2 5-5-5, 3 5-6-5, 4 and 5 8-8-8, 6 11-11-10, blue in the low
/// bits, each component from its level's top bits. Other codes give an empty map.
TColorBitMap ColorBitMapOf(int format);

/// The default entry for channel value v: the background for 0xFFFF, (v - 1) >> 8 for
/// 1..0x8000, 0 otherwise. Inline: whole tables are filled with it.
inline std::int32_t DefaultLevel(std::int32_t v, std::int32_t background)
{
    if (v == kEmptyLevel) return background;
    if (v >= 1 && v <= 0x8000) return (v - 1) >> 8;
    return 0;
}

/// masks[k] := the pixel bits whose map entry is (component, k), k = 0..15.
void ComponentMasks(const TColorBitMap& map, int component, std::int32_t masks[16]);

/// The packed pixel of colour levels red, green and blue (0..65535) under the map.
std::int32_t PackColor(std::int32_t red, std::int32_t green, std::int32_t blue, const TColorBitMap& map);

/// Draws the curve over channel levels 0..0x8000 into `levels` (kLevels entries). Returns
/// false, leaving `levels` alone, for a curve without points.
bool BuildComponentRamp(const Curve& curve, std::int32_t* levels);

/// Fills a channel table (kTableEntries entries): each component with a curve (null: none)
/// ORs the bits of its levels into entries 0..0x8000, entry 0xFFFF is the background, the
/// rest 0.
void BuildChannelTable(std::int32_t* table, const Curve* red, const Curve* green, const Curve* blue,
                       const TColorBitMap& map, std::int32_t background);

/// The most pieces of levels a field of a table form has.
inline constexpr int kFormPieces = 8;

/// One bit field of a channel table's entries as arithmetic: over the levels of piece p
/// (first[p]..first[p + 1] - 1, the last piece up to 0x8000) the field's value is
/// ((a[p] * v + b[p]) mod 2^32) >> s[p], put at bit `shift` of the entry.
struct TableField {
    int shift = 0;
    int pieces = 0;
    std::int32_t first[kFormPieces] = {};
    std::uint32_t a[kFormPieces] = {};
    std::uint32_t b[kFormPieces] = {};
    std::uint32_t s[kFormPieces] = {};
};

/// A channel table over the drawn levels 0..0x8000 as the OR of up to three fields: what
/// the packing pass computes instead of looking entries up. The other entries are read
/// from the table itself.
struct TableForm {
    int fieldCount = 0;
    TableField fields[3];
};

/// The entry a form gives level v (0..0x8000).
std::uint32_t FormEntry(const TableForm& form, std::int32_t v);

/// A form whose entries equal the table's for every level 0..0x8000, or none. The entries'
/// bits are split into the fields of `fieldMasks` (each one run of bits; none given: one
/// field over all the bits the entries use). Found once per table, not per picture: it
/// costs some milliseconds for curves of many pieces.
std::optional<TableForm> FindTableForm(const std::int32_t* table, const std::uint32_t* fieldMasks,
                                       int maskCount);

}  // namespace canvas_tables
