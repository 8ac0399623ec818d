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
    const int q = source.height / destination.height;
    const int r = source.height - q * destination.height;
    const std::ptrdiff_t whole = std::ptrdiff_t(q) * source.rowStep;
    int counter = destination.height;
    BYTE* d = destination.first;
    const BYTE* s = source.first;
    StretchPixelRow(d, s, destination.pixelStep, source.pixelStep, destination.width, source.width);
    for (int j = 1; j < destination.height; ++j) {
        d += destination.rowStep;
        s += whole;
        counter -= r;
        if (counter <= 0) {
            counter += destination.height;
            s += source.rowStep;
        }
        StretchPixelRow(d, s, destination.pixelStep, source.pixelStep, destination.width, source.width);
    }
}
