#include "viewer/analysis/pixel_stretch.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

void StretchPixelRow(BYTE* destination, const BYTE* source, int destinationStep, int sourceStep,
                     int destinationWidth, int sourceWidth)
{
    if (destinationWidth < 1 || sourceWidth < 1) return;
    // Remainder stepping: one addition per sample, no multiplication or division.
    const int q = sourceWidth / destinationWidth;
    const int r = sourceWidth - q * destinationWidth;
    const std::ptrdiff_t whole = std::ptrdiff_t(q) * sourceStep;
    int counter = destinationWidth;
    *destination = *source;
    for (int i = 1; i < destinationWidth; ++i) {
        destination += destinationStep;
        source += whole;
        counter -= r;
        if (counter <= 0) {
            counter += destinationWidth;
            source += sourceStep;
        }
        *destination = *source;
    }
}

namespace {

// For rows of ordinary width the column selection is worked out once per block, by the same
// remainder stepping as StretchPixelRow, and each row then only looks its samples up.
constexpr int kTableWidth = 4096;

void ColumnOffsets(std::ptrdiff_t* table, int destinationWidth, int sourceWidth, int sourceStep)
{
    const int q = sourceWidth / destinationWidth;
    const int r = sourceWidth - q * destinationWidth;
    int counter = destinationWidth;
    std::ptrdiff_t at = 0;
    table[0] = 0;
    for (int i = 1; i < destinationWidth; ++i) {
        at += std::ptrdiff_t(q) * sourceStep;
        counter -= r;
        if (counter <= 0) {
            counter += destinationWidth;
            at += sourceStep;
        }
        table[i] = at;
    }
}

bool NothingToDo(const PixelBlock& destination, const PixelBlock& source)
{
    return destination.height < 1 || destination.width < 1 || !destination.first || !source.first ||
           source.width < 1 || source.height < 1;
}

// Calls row(d, s) for every destination row with the source row it takes.
template <class Row>
void ForEachRow(const PixelBlock& destination, const PixelBlock& source, Row&& row)
{
    const int q = source.height / destination.height;
    const int r = source.height - q * destination.height;
    const std::ptrdiff_t whole = std::ptrdiff_t(q) * source.rowStep;
    int counter = destination.height;
    BYTE* d = destination.first;
    const BYTE* s = source.first;
    row(d, s);
    for (int j = 1; j < destination.height; ++j) {
        d += destination.rowStep;
        s += whole;
        counter -= r;
        if (counter <= 0) {
            counter += destination.height;
            s += source.rowStep;
        }
        row(d, s);
    }
}

}  // namespace

void StretchPixelRows(const PixelBlock& destination, const PixelBlock& source)
{
    if (NothingToDo(destination, source)) return;
    std::ptrdiff_t table[kTableWidth];
    const bool tabled = destination.width <= kTableWidth;
    if (tabled) ColumnOffsets(table, destination.width, source.width, source.pixelStep);
    ForEachRow(destination, source, [&](BYTE* d, const BYTE* s) {
        if (!tabled) {
            StretchPixelRow(d, s, destination.pixelStep, source.pixelStep, destination.width, source.width);
            return;
        }
        const std::ptrdiff_t step = destination.pixelStep;
        for (int i = 0; i < destination.width; ++i) d[i * step] = s[table[i]];
    });
}

void StretchColourPixels(const PixelBlock& destination, const PixelBlock& source)
{
    if (NothingToDo(destination, source)) return;
    const int width = destination.width;
    if (destination.pixelStep != 4 || source.pixelStep != 4 || width > kTableWidth) {
        // Other layouts and very wide rows: plane by plane, then the fourth byte.
        for (int b = 0; b < 3; ++b) {
            PixelBlock d = destination, s = source;
            d.first += b;
            s.first += b;
            StretchPixelRows(d, s);
        }
        ForEachRow(destination, source, [&](BYTE* d, const BYTE*) {
            for (int i = 0; i < width; ++i) d[std::ptrdiff_t(i) * destination.pixelStep + 3] = 0;
        });
        return;
    }
    static_assert(std::endian::native == std::endian::little, "colour bytes are the low three of a word");
    std::ptrdiff_t table[kTableWidth];
    ColumnOffsets(table, width, source.width, 4);
    // A source row taken by several destination rows in a row (enlarging) is looked up once
    // and then copied whole, where rows don't overlap.
    const bool copyRows = std::abs(std::ptrdiff_t(destination.rowStep)) >= std::ptrdiff_t(width) * 4;
    const BYTE* lastSource = nullptr;
    const BYTE* lastRow = nullptr;
    ForEachRow(destination, source, [&](BYTE* d, const BYTE* s) {
        if (copyRows && s == lastSource) {
            std::memcpy(d, lastRow, std::size_t(width) * 4);
        } else {
            for (int i = 0; i < width; ++i) {
                std::uint32_t v;
                std::memcpy(&v, s + table[i], 4);
                v &= 0x00FFFFFFu;
                std::memcpy(d + std::ptrdiff_t(i) * 4, &v, 4);
            }
        }
        lastSource = s;
        lastRow = d;
    });
}
