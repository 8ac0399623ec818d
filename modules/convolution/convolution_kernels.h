#pragma once

// The arithmetic of convolution with a mask: the working mask from a mask's layers, and
// the masked sums over the inner part of a raster. Pure row code: no files, no meter.

#include <cstdint>
#include <vector>

#include "outside/basecore/row_driver.h"

/// The real mask actually applied, row after row, and what it is normalised by.
struct WorkingMask {
    int width = 0;
    int height = 0;
    std::vector<double> values;  ///< width x height, row 0 first
    double sum = 1.0;            ///< msum: the sum of the values in row order; 1 when near 0

    int HalfWidth() const { return width / 2; }
    int HalfHeight() const { return height / 2; }
    const double* Row(int i) const { return values.data() + std::size_t(i) * std::size_t(width); }
};

/// The mask sum as the engines divide by it: sums of magnitude up to single-precision
/// epsilon (2^-23) count as 1, so masks that sum to 0 (edge detectors) apply unnormalised.
double MaskDivisor(const double* values, std::size_t count);

/// The working mask of a mask whose X layer holds `x` (width x height values, row 0 first).
/// With a Y layer `y` of the same size the two are mixed element by element as
/// sin(a) Y + cos(a) X, a = angleDegrees in radians held as a float.
WorkingMask MixMask(int width, int height, std::vector<double> x, const std::vector<double>* y,
                    float angleDegrees);

/// How far a mask may stray from a product of a column and a row, relative to its largest
/// element, and still run as two 1-D passes.
inline constexpr double kSeparableMaskTolerance = 1e-14;

/// Splits a rank-1 mask into column weights (mask height) and row weights (mask width)
/// whose products give every element to kSeparableMaskTolerance of the largest. False when
/// the mask is not one.
bool SeparateMask(const WorkingMask& mask, std::vector<double>& column, std::vector<double>& row);

/// Output type code of the convolution of an input type: 1-6 -> F32, 7 and 8 -> F64, 9 and
/// 10 -> C128, complex integers -> C64; 0 for a code without an engine.
int ConvolutionOutputType(int inputType);

/// Convolves rows [mask half height, height - mask half height) of `in` (samples of type
/// `inputType`) into `out` (samples of ConvolutionOutputType(inputType)), columns
/// [half width, width - half width). The mask is not flipped: its row 0 meets the input row
/// above the centre. Samples outside the convolved region are not touched. Every sum is
/// taken in the order of the plain direct sum, except that a rank-1 mask (SeparateMask) of
/// more than 3 x 3 over real and complex float inputs runs as two 1-D passes, which agree
/// with the direct sum to within 1e-12 x the largest mask magnitude x the sum of the input
/// magnitudes under the mask (before the division by the mask sum). Bands run on
/// the row driver; `progress` gets the rows done (it may throw the cancel error).
void ConvolveImage(int inputType, const RowSource& in, const WorkingMask& mask, void* const* out,
                   const BandProgress& progress = {}, int threads = 0);
