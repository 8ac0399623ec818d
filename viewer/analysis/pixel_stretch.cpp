#include "viewer/analysis/pixel_stretch.h"

#include <cstddef>

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

void StretchPixelRows(const PixelBlock& destination, const PixelBlock& source)
{
    if (destination.height < 1 || destination.width < 1 || !destination.first || !source.first ||
        source.width < 1 || source.height < 1)
        return;
    // For rows of ordinary width the column selection is worked out once per block, by
    // the same remainder stepping, and each row then only looks its samples up.
    constexpr int kTableWidth = 4096;
    std::ptrdiff_t table[kTableWidth];
    const bool tabled = destination.width <= kTableWidth;
    if (tabled) {
        const int qx = source.width / destination.width;
        const int rx = source.width - qx * destination.width;
        int counter = destination.width;
        std::ptrdiff_t at = 0;
        table[0] = 0;
        for (int i = 1; i < destination.width; ++i) {
            at += std::ptrdiff_t(qx) * source.pixelStep;
            counter -= rx;
            if (counter <= 0) {
                counter += destination.width;
                at += source.pixelStep;
            }
            table[i] = at;
        }
    }
    const auto row = [&](BYTE* d, const BYTE* s) {
        if (!tabled) {
            StretchPixelRow(d, s, destination.pixelStep, source.pixelStep, destination.width, source.width);
            return;
        }
        const std::ptrdiff_t step = destination.pixelStep;
        for (int i = 0; i < destination.width; ++i) d[i * step] = s[table[i]];
    };
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
