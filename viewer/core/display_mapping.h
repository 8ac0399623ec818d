#pragma once

// Sample to display value mapping: every sample of a layer becomes one 8-bit display value
// between a display minimum and maximum. Real samples round to the nearest value with ties
// to even; complex samples show their amplitude, phase, real or imaginary part and round
// with the suite's Round. The display histogram is counted on the way.

#include <cstdint>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"  // ComplexComponent: 0 amplitude, 1 phase, 2 real, 3 imaginary

/// True when `typeCode` is a valid data type code and, for a complex code, `component`
/// is one of the four display components (real codes ignore the component).
bool IsValidDisplayMapping(int typeCode, int component);

/// Counts display values in four sets of counters, so that runs of equal values do not
/// wait on one another; AddTo adds the counts to a 256-entry histogram.
class DisplayValueCounter {
public:
    void Add(const std::uint8_t* values, int count);
    void AddTo(std::uint32_t* histogram) const;

private:
    std::uint32_t m_counts[4][256] = {};
};

/// Maps samples of one type to display values 0..255 between `minimum` and `maximum`.
/// 8- and 16-bit samples go through a table built once per mapping; the mapping is
/// immutable after construction, so one object serves any number of threads.
class DisplayMapping {
public:
    /// `typeCode` and `component` must pass IsValidDisplayMapping (else std::invalid_argument).
    /// A maximum equal to the minimum maps everything to 0; a maximum below it inverts.
    DisplayMapping(int typeCode, int component, double minimum, double maximum);

    /// Maps `count` consecutive samples (elements of the type) to `out`; unless the mapping
    /// shows phases, adds one to histogram[value] for each value written (histogram may be null).
    void MapRow(const void* samples, int count, std::uint8_t* out, std::uint32_t* histogram) const;

    /// The display value of one real sample (type codes 1 to 8).
    std::uint8_t RealLevel(double sample) const;
    /// The display value of one complex sample's parts, by the mapping's component.
    std::uint8_t ComplexLevel(double re, double im) const;

    /// False in phase mode: phases are not counted in the display histogram.
    bool CountsHistogram() const { return m_countHistogram; }
    int TypeCode() const { return m_typeCode; }
    int Component() const { return m_component; }

private:
    template <class T>
    void MapTyped(const T* samples, int count, std::uint8_t* out) const;
    std::uint8_t LevelOfValue(double v) const;  // amplitude, real or imaginary part
    std::uint8_t LevelOfPhase(double phase) const;

    int m_typeCode;
    int m_component;
    double m_minimum;
    double m_scale;
    bool m_countHistogram;
    int m_tableKind = 0;  // 0 none, 1 per sample or part, 2 per (re, im) byte pair
    std::vector<std::uint8_t> m_table;
};
