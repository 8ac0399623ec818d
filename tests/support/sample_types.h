#pragma once

// The sixteen sample types as type lists for typed test tables, in the order of their
// codes, and the code of each.

#include <complex>
#include <cstdint>
#include <type_traits>

#include <gtest/gtest.h>

#include "outside/basecore/data_type.h"

namespace tarvenix::test {

/// Codes 1 to 8.
using RealSampleTypes = ::testing::Types<std::uint8_t, std::int8_t, std::uint16_t, std::int16_t,
                                         std::uint32_t, std::int32_t, float, double>;
/// Codes 9 to 16.
using ComplexSampleTypes =
    ::testing::Types<std::complex<float>, std::complex<double>, CplxInt<std::uint8_t>, CplxInt<std::int8_t>,
                     CplxInt<std::uint16_t>, CplxInt<std::int16_t>, CplxInt<std::uint32_t>,
                     CplxInt<std::int32_t>>;
/// Codes 1 to 16.
using AllSampleTypes =
    ::testing::Types<std::uint8_t, std::int8_t, std::uint16_t, std::int16_t, std::uint32_t, std::int32_t,
                     float, double, std::complex<float>, std::complex<double>, CplxInt<std::uint8_t>,
                     CplxInt<std::int8_t>, CplxInt<std::uint16_t>, CplxInt<std::int16_t>,
                     CplxInt<std::uint32_t>, CplxInt<std::int32_t>>;

/// The type code of sample type T, taken from the one type visitor.
template <class T>
constexpr int CodeOf()
{
    int code = 0;
    for (int c = 1; c <= 16; ++c)
        visitSampleType(c, [&]<class U>(Tag<U>) {
            if constexpr (std::is_same_v<U, T>) code = c;
        });
    return code;
}

}  // namespace tarvenix::test
