#pragma once

// Numbers in text: the process's numeric locale, and the strict parsers the suite's text
// fields use (they accept exactly what a user means as a number and nothing else).

#include <cstdint>
#include <string_view>

#include "platform/types.h"

namespace platform {

/// Makes the numeric locale "C" for the C library and for Qt's default locale, so that
/// numbers read and written by either use "." and no digit grouping. Call it once after
/// QApplication exists (which sets the locale from the environment).
PLATFORM_API void UseCNumericLocale();

/// Parses a decimal number: optional blanks, an optional sign, digits with at most one
/// ".", an optional exponent ("e" or "E", optional sign, digits), optional blanks. At
/// least one digit before the exponent. No "nan", "inf", hexadecimal or trailing text;
/// a value beyond the range of double (or one that underflows to zero from a non-zero
/// mantissa) is rejected. False leaves `value` unchanged.
PLATFORM_API bool ParseDouble(std::string_view text, double& value);
/// Parses an optionally signed decimal integer within the range of int.
PLATFORM_API bool ParseInt(std::string_view text, int& value);
/// Parses a decimal integer within the range of unsigned int; an optional "+" is allowed,
/// a "-" is not.
PLATFORM_API bool ParseUnsigned(std::string_view text, unsigned& value);

inline bool ParseDouble(const char* text, double& value)
{
    return text && ParseDouble(std::string_view(text), value);
}
inline bool ParseInt(const char* text, int& value)
{
    return text && ParseInt(std::string_view(text), value);
}
inline bool ParseUnsigned(const char* text, unsigned& value)
{
    return text && ParseUnsigned(std::string_view(text), value);
}

}  // namespace platform
