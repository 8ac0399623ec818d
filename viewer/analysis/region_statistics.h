#pragma once

// Minimum, maximum and the sample moments of orders 1 to 5 of a region of a layer, for
// each complex component of complex samples. Pure: rows in, numbers out; bands of rows run
// on the row driver and are merged in band order, so results do not depend on the thread
// count. Blanks (an empty region, a region of one value for skewness and kurtosis) are NaN.

#include <cstdint>

#include "platform/gdi/span_region.h"

class CMeterInfoBase;

/// Channel slots (red, green, blue) and complex components (real, imaginary, amplitude,
/// phase) of the result arrays; moments are indexed by their order 1..5 (entry 0 unused).
struct RegionStatistics {
    static constexpr int kSlots = 3;
    static constexpr int kComponents = 4;
    double originMoments[kSlots][kComponents][6];  ///< mean of v^k
    double meanMoments[kSlots][kComponents][6];    ///< mean of (v - mean)^k; order 1 is 0
    double min[kSlots][kComponents];
    double max[kSlots][kComponents];
    double kurtosis[kSlots][kComponents];  ///< mu4 / mu2^2 - 3
    double skewness[kSlots][kComponents];  ///< mu3 / mu2^1.5
    std::uint64_t count[kSlots];           ///< samples counted (NaN samples are left out)

    RegionStatistics();
    /// Every result of the slot blank.
    void Clear(int slot);
};

/// The samples of one channel: row y of `height` rows starts at rows[y].
struct RegionSource {
    const void* const* rows = nullptr;
    int type = 0;  ///< data type code 1..16
    int width = 0;
    int height = 0;
};

/// Fills slot `slot` of `out` from the pixels of `region` inside the layer. Progress: the
/// meter's range is the rows of the region's box, its position the rows done; its cancel
/// passes through. A type code outside 1..16 computes nothing and returns false.
bool ComputeRegionStatistics(const RegionSource& source, const platform::SpanRegion& region,
                             RegionStatistics& out, int slot, CMeterInfoBase* meter = nullptr,
                             int threads = 0);
