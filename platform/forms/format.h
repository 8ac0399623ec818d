#pragma once

// Texts with numbers for the plug-in: Format and the number conversions. They always
// write and read '.' as the decimal mark and touch no process-wide setting (no C or C++
// locale), so a job thread can format while another thread does anything else.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

/// One argument of Format: an integer, a real number, a text or an address.
class PLATFORM_API TVarRec {
public:
    enum class Kind { None, Integer, Unsigned, Real, Text, Pointer };

    TVarRec() = default;
    TVarRec(int v) : m_kind(Kind::Integer), m_int(v) {}
    TVarRec(long v) : m_kind(Kind::Integer), m_int(v) {}
    TVarRec(long long v) : m_kind(Kind::Integer), m_int(v) {}
    TVarRec(unsigned v) : m_kind(Kind::Unsigned), m_uint(v) {}
    TVarRec(unsigned long v) : m_kind(Kind::Unsigned), m_uint(v) {}
    TVarRec(unsigned long long v) : m_kind(Kind::Unsigned), m_uint(v) {}
    TVarRec(double v) : m_kind(Kind::Real), m_real(v) {}
    TVarRec(const char* v) : m_kind(Kind::Text), m_text(v ? v : "") {}
    TVarRec(const std::string& v) : m_kind(Kind::Text), m_text(v) {}
    TVarRec(std::string_view v) : m_kind(Kind::Text), m_text(v) {}
    TVarRec(const void* v) : m_kind(Kind::Pointer), m_uint(reinterpret_cast<std::uintptr_t>(v)) {}
    TVarRec(std::nullptr_t) : m_kind(Kind::Pointer) {}

    Kind kind() const { return m_kind; }
    long long AsInteger() const { return m_int; }
    unsigned long long AsUnsigned() const { return m_uint; }
    double AsReal() const { return m_real; }
    std::string_view AsText() const { return m_text; }

private:
    Kind m_kind = Kind::None;
    long long m_int = 0;
    unsigned long long m_uint = 0;
    double m_real = 0.0;
    std::string_view m_text;
};

/// Formats args into format. Specifiers: "%" [ "-" ] [ width ] [ "." precision ] type,
/// where width and precision may be "*" (taken from the next integer argument) and type is
/// d (integer; precision = least digits), u, x (upper-case hexadecimal), f (fixed;
/// precision 2 when none is given), s (text; precision = most characters), p (address: at
/// least eight upper-case hexadecimal digits) or "%%". Width pads with blanks on the left,
/// or on the right after "-". A specifier that does not fit its argument, or a missing
/// argument, raises EConvertError.
PLATFORM_API std::string FormatArgs(std::string_view format, const TVarRec* args, std::size_t count);

template <class... A>
std::string Format(std::string_view format, const A&... args)
{
    const TVarRec records[] = {TVarRec(args)..., TVarRec()};
    return FormatArgs(format, records, sizeof...(A));
}

/// Whether two texts are equal when ASCII letters are compared without case.
PLATFORM_API bool SameText(std::string_view a, std::string_view b);

/// The integer in decimal.
PLATFORM_API std::string IntToStr(long long value);
/// The number with up to 15 significant digits, in plain or exponent form, whichever is shorter.
PLATFORM_API std::string FloatToStr(double value);
/// Reads a decimal number (blanks around it allowed); false for anything else.
PLATFORM_API bool TryStrToFloat(std::string_view text, double& value);
/// Reads an integer within the range of int (blanks around it allowed); false for anything else.
PLATFORM_API bool TryStrToInt(std::string_view text, int& value);
/// As TryStrToFloat; raises EConvertError "'<text>' is not a valid floating point value".
PLATFORM_API double StrToFloat(std::string_view text);
/// As TryStrToInt; raises EConvertError "'<text>' is not a valid integer value".
PLATFORM_API int StrToInt(std::string_view text);
