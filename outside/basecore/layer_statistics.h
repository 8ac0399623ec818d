#pragma once

// Statistics and histograms of layer samples: pure kernels over row tables, no files and
// no meter. Work is cut into bands of rows whose size does not depend on the number of
// threads, bands run on all cores, and partial results are merged in band order, so the
// results are the same on every machine.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/types.h"

/// One horizontal run of a region: row y, columns x0 to x1 - 1.
struct Span {
    int y;
    int x0;
    int x1;
};
/// A region as spans sorted by row (then column), not overlapping.
using SpanList = std::vector<Span>;

/// The spans of a rectangle (right and bottom exclusive), clipped to width x height.
SpanList SpansOfRect(const RECT& rect, int width, int height);
/// The spans of a union of rectangles, clipped and with overlaps removed.
SpanList SpansOfRects(const std::vector<RECT>& rects, int width, int height);
/// Removes everything outside width x height.
SpanList ClipSpans(const SpanList& spans, int width, int height);

/// The samples the kernels read: row y of `type` starts at rows[y].
struct SampleRows {
    const void* const* rows = nullptr;
    int width = 0;
    int height = 0;
    int type = 0;
};

/// Components of the per-component arrays: 0 the value (amplitude of a complex
/// sample, hypot(re, im)), 1 the phase (atan2(im, re)), 2 the real part, 3 the imaginary
/// part. Real layers fill 0 only.
inline constexpr int kComponents = 4;

/// Means and deviations leave NaN samples out; those of 32-bit integer samples come from
/// exact integer sums. An infinite sample makes the deviation
/// infinite and the mean that infinity (NaN when both signs occur); the minimum and maximum
/// keep it.
struct ComponentStats {
    double min = 0.0;
    double max = 0.0;
    double mean = 0.0;
    double stdDev = 0.0;  ///< population deviation (divided by the count)
    std::array<DWORD, 256> hist{};
};

struct MinMaxResult {
    std::array<double, kComponents> min{};
    std::array<double, kComponents> max{};
    std::uint64_t count = 0;  ///< samples that are numbers (NaN samples are skipped)
};

/// Called on the calling thread with the number of rows finished since the last call;
/// it may throw, which stops the work and passes the exception on.
using RowProgress = std::function<void(int rows)>;

/// Minimum and maximum of every component over `region`.
MinMaxResult ComputeMinMax(const SampleRows& src, const SpanList& region, const RowProgress& progress = {});

/// Mean, deviation and 256-bin histograms of every component over `region`, the bins
/// dividing min..max of `range` (taken as given) equally; the maximum counts in the last bin.
std::array<ComponentStats, kComponents> ComputeMoments(const SampleRows& src, const SpanList& region,
                                                       const MinMaxResult& range,
                                                       const RowProgress& progress = {});

/// Everything of ComputeMinMax and ComputeMoments in as few passes over the samples as the
/// type allows (8- and 16-bit samples: one counting pass; the others: minimum, maximum and
/// moments in one pass, then the histograms); `range` receives the minima
/// and maxima. Progress counts two steps per row whatever the passes.
std::array<ComponentStats, kComponents> ComputeStatistics(const SampleRows& src, const SpanList& region,
                                                          MinMaxResult* range,
                                                          const RowProgress& progress = {});

/// `bins` counters per component between min and max of `range`: one block for a real
/// layer, four (amplitude, phase, real, imaginary) for a complex one. Returns the number
/// of samples counted.
std::uint64_t ComputeHistogram(const SampleRows& src, const SpanList& region, const MinMaxResult& range,
                               int bins, DWORD* counters, const RowProgress& progress = {});

/// The bin of v among `bins` equal bins of lo..hi: floor((v - lo) / w) with w = (hi - lo) / bins,
/// the quotient rounded as a division rounds it (NaN and values below lo: 0; hi and above:
/// bins - 1; an empty or non-finite range: 0). Every histogram of the statistics uses it.
int BinOf(double v, double lo, double hi, int bins);
