#pragma once

// The test of a sample's value against a typed value, exactly or to the decimals typed, and
// the search of a run of real samples for a match: four samples at a time where the machine
// has AVX2, so that a search runs at the speed of a read.

#include <cstdint>
#include <vector>

/// What a value v matches: v == value, or, to m's decimals, Round(m x v) == Round(m x value)
/// with halves rounded away from zero (as std::round). The rounding is done as a test of
/// m x v against the interval that rounds to the same integer.
class SampleTest {
public:
    static SampleTest Exact(double value);
    static SampleTest ToDecimals(double value, double m);

    bool operator()(double v) const
    {
        if (m_kind == kEqual) return v == m_value;
        const double x = m_m * v;
        if (m_kind == kRounded) return RoundedEqual(x);
        return (m_loClosed ? x >= m_lo : x > m_lo) && (m_hiClosed ? x <= m_hi : x < m_hi);
    }

    /// Index of the first (forward) or last (backward) of the `n` samples at `p` that match;
    /// -1 when none does. T is one of the eight real sample types.
    template <class T>
    int FindIn(const T* p, int n, bool forward) const;
    /// Appends the indices of all the `n` samples at `p` that match to `hits`, in increasing
    /// order: one pass over the run, where a FindIn per match would start again at each one.
    template <class T>
    void AllIn(const T* p, int n, std::vector<int>& hits) const;

private:
    enum Kind { kEqual, kInterval, kRounded };
    bool RoundedEqual(double x) const;

    Kind m_kind = kEqual;
    double m_value = 0.0;  ///< kEqual: the value; kRounded: Round(m x value)
    double m_m = 1.0;
    double m_lo = 0.0, m_hi = 0.0;
    bool m_loClosed = true, m_hiClosed = false;
};
