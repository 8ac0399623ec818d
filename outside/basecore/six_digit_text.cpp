#include "outside/basecore/six_digit_text.h"

#include <cmath>
#include <cstdint>

namespace {

using Wide = unsigned __int128;

constexpr std::uint64_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                          100000, 1000000, 10000000, 100000000, 1000000000};

// True when mantissa * 2^-shift >= 10^exponent, exactly (|exponent| <= 9, shift <= 80).
bool AtLeastPowerOfTen(std::uint64_t mantissa, int shift, int exponent)
{
    if (exponent >= 0) return Wide(mantissa) >= (Wide(kPowersOfTen[exponent]) << shift);
    return Wide(mantissa) * kPowersOfTen[-exponent] >= (Wide(1) << shift);
}

}  // namespace

int FixedSixDigitText(double value, char* out)
{
    if (!std::isfinite(value) || value == 0) return 0;
    const double magnitude = std::fabs(value);
    if (magnitude < 1e-5 || magnitude >= 1e6) return 0;
    // magnitude = mantissa * 2^-shift exactly: 53 bits of mantissa, and below 2^20 the shift is
    // at least 33 (so the value is never a whole number of more than 20 bits without one).
    int binaryExponent = 0;
    const double fraction = std::frexp(magnitude, &binaryExponent);
    const auto mantissa = std::uint64_t(std::ldexp(fraction, 53));
    const int shift = 53 - binaryExponent;
    // The decimal exponent of the first digit, from an estimate (log10 2 is 0.30103) made exact.
    int exponent = ((binaryExponent - 1) * 30103) / 100000 - (binaryExponent < 1 ? 1 : 0);
    while (exponent > -6 && !AtLeastPowerOfTen(mantissa, shift, exponent)) --exponent;
    while (exponent < 6 && AtLeastPowerOfTen(mantissa, shift, exponent + 1)) ++exponent;
    if (exponent < -5 || exponent > 5) return 0;
    // Six digits: magnitude * 10^(5 - exponent), rounded half to even on the exact value.
    const int scale = 5 - exponent;  // 0 to 10
    Wide scaled = Wide(mantissa) * (scale <= 9 ? kPowersOfTen[scale] : Wide(kPowersOfTen[9]) * 10);
    Wide digits = scaled >> shift;
    const Wide rest = scaled - (digits << shift), half = Wide(1) << (shift - 1);
    if (rest > half || (rest == half && (digits & 1))) ++digits;
    if (digits == 1000000) {
        digits = 100000;
        ++exponent;
    }
    // Fixed notation holds for exponents -4 to 5 once rounded; the rest is for the general way.
    if (exponent < -4 || exponent > 5) return 0;
    char six[6];
    auto n = std::uint32_t(digits);
    for (int i = 5; i >= 0; --i, n /= 10) six[i] = char('0' + n % 10);
    int last = 5;  // the last digit kept: trailing zeros of the fraction go
    while (last > exponent && last > 0 && six[last] == '0') --last;
    int length = 0;
    if (value < 0) out[length++] = '-';
    if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i) out[length++] = six[i];
        if (last > exponent) {
            out[length++] = '.';
            for (int i = exponent + 1; i <= last; ++i) out[length++] = six[i];
        }
    } else {
        out[length++] = '0';
        out[length++] = '.';
        for (int i = exponent; i < -1; ++i) out[length++] = '0';
        for (int i = 0; i <= last; ++i) out[length++] = six[i];
    }
    return length;
}
