#pragma once

// The memory-pass references of the statistics, histogram, find and region measurements:
// every value read once and summed as a double. The sums run in eight independent chains,
// so that no add waits on the one before it and the pass runs at the memory's speed.

#include <cstdint>

class CRDPLayer;

/// The reference pass over a whole open layer: every part of every sample summed as a
/// double (SumOf), rows shared among all cores.
double PlainPass(const CRDPLayer& layer);

/// The sum of `n` values as doubles.
template <class P>
double SumOf(const P* p, std::int64_t n)
{
    double a[8] = {};
    std::int64_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (int k = 0; k < 8; ++k) a[k] += double(p[i + k]);
    for (; i < n; ++i) a[0] += double(p[i]);
    return ((a[0] + a[1]) + (a[2] + a[3])) + ((a[4] + a[5]) + (a[6] + a[7]));
}
