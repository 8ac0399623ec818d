#pragma once

// Rounding, the amplitude and the phase angle as the whole suite computes them.

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

/// The nearest integer; exact halves go away from zero (2.5 -> 3, -2.5 -> -3). Values
/// beyond the int range saturate; NaN gives 0.
inline int Round(double x)
{
    if (!(x == x)) return 0;
    const double r = std::round(x);
    if (r >= 2147483647.0) return std::numeric_limits<int>::max();
    if (r <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

/// The amplitude |re + i·im|, that is hypot(re, im): no overflow or underflow of the squares
/// ((1.797e308, 0) gives 1.797e308). The plain formula is good to an ulp where the amplitude
/// lies between 2^-484 and 2^510; only outside that does it take the careful library call.
/// A sample with a NaN part has no amplitude: NaN (where hypot would give an infinite part's).
inline double Amplitude(double re, double im)
{
    const double a = std::sqrt(re * re + im * im);
    if (a >= 0x1p-484 && a < 0x1p510) [[likely]]
        return a;
    if (re == 0.0 && im == 0.0) return 0.0;
    if (re != re || im != im) return std::numeric_limits<double>::quiet_NaN();
    return std::hypot(re, im);
}

/// The phase angle of re + i·im in radians, -pi to pi (0 for 0 + 0i), for the parts of a
/// sample of any type.
template <class T>
requires std::is_arithmetic_v<T>
inline double Arg(T re, T im)
{
    return std::atan2(double(im), double(re));
}
