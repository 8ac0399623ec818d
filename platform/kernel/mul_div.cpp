#include "platform/kernel/mul_div.h"

#include <climits>
#include <cstdlib>

int MulDiv(int nNumber, int nNumerator, int nDenominator)
{
    if (nDenominator == 0) return -1;
    const long long product = static_cast<long long>(nNumber) * nNumerator;
    const bool negative = (product < 0) != (nDenominator < 0);
    const unsigned long long magnitude = static_cast<unsigned long long>(std::llabs(product));
    const unsigned long long divisor =
        static_cast<unsigned long long>(std::llabs(static_cast<long long>(nDenominator)));
    const unsigned long long quotient = (magnitude + divisor / 2) / divisor;
    if (quotient > static_cast<unsigned long long>(INT_MAX)) return -1;
    const long long result = static_cast<long long>(quotient);
    return static_cast<int>(negative ? -result : result);
}
