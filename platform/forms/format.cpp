#include "platform/forms/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/forms/exceptions.h"
#include "platform/numbers/numbers.h"

namespace {

[[noreturn]] void FormatError(std::string_view format)
{
    throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

void Pad(std::string& out, std::string_view body, int width, bool left)
{
    const int fill = width > static_cast<int>(body.size()) ? width - static_cast<int>(body.size()) : 0;
    if (!left) out.append(static_cast<std::size_t>(fill), ' ');
    out.append(body);
    if (left) out.append(static_cast<std::size_t>(fill), ' ');
}

std::string Digits(unsigned long long value, int base)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, base).ptr;
    std::string text(buffer, end);
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    return text;
}

// Fixed notation through to_chars, which knows no locale.
std::string Fixed(double value, int precision)
{
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    std::string text(32 + 320 + static_cast<std::size_t>(precision), '\0');
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, precision);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    return text;
}

}  // namespace

std::string FormatArgs(std::string_view format, const TVarRec* args, std::size_t count)
{
    std::string out;
    out.reserve(format.size() + 16);
    std::size_t next = 0;
    auto take = [&]() -> const TVarRec& {
        if (next >= count) FormatError(format);
        return args[next++];
    };
    auto takeInt = [&]() -> int {
        const TVarRec& a = take();
        if (a.kind() == TVarRec::Kind::Integer) return static_cast<int>(a.AsInteger());
        if (a.kind() == TVarRec::Kind::Unsigned) return static_cast<int>(a.AsUnsigned());
        FormatError(format);
    };

    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (++i >= format.size()) FormatError(format);
        if (format[i] == '%') {
            out.push_back('%');
            continue;
        }
        bool left = false;
        if (format[i] == '-') {
            left = true;
            if (++i >= format.size()) FormatError(format);
        }
        auto number = [&](int& value) {
            if (format[i] == '*') {
                value = takeInt();
                ++i;
                return;
            }
            value = 0;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9')
                value = value * 10 + (format[i++] - '0');
        };
        int width = 0, precision = -1;
        number(width);
        if (width < 0) left = true, width = -width;
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (i >= format.size()) FormatError(format);
            number(precision);
        }
        if (i >= format.size()) FormatError(format);
        const char type = static_cast<char>(format[i] | 0x20);
        const TVarRec& a = take();
        std::string body;
        switch (type) {
            case 'd':
            case 'u': {
                bool negative = false;
                unsigned long long magnitude;
                if (a.kind() == TVarRec::Kind::Integer) {
                    negative = a.AsInteger() < 0;
                    magnitude = negative ? 0ull - static_cast<unsigned long long>(a.AsInteger())
                                         : static_cast<unsigned long long>(a.AsInteger());
                } else if (a.kind() == TVarRec::Kind::Unsigned) {
                    magnitude = a.AsUnsigned();
                } else {
                    FormatError(format);
                }
                std::string digits = Digits(magnitude, 10);
                if (precision > static_cast<int>(digits.size()))
                    digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
                body = negative ? "-" + digits : digits;
                break;
            }
            case 'x': {
                if (a.kind() != TVarRec::Kind::Integer && a.kind() != TVarRec::Kind::Unsigned)
                    FormatError(format);
                const unsigned long long v = a.kind() == TVarRec::Kind::Integer
                                                 ? static_cast<unsigned long long>(a.AsInteger())
                                                 : a.AsUnsigned();
                body = Digits(v, 16);
                if (precision > static_cast<int>(body.size()))
                    body.insert(0, static_cast<std::size_t>(precision) - body.size(), '0');
                break;
            }
            case 'f': {
                double v;
                if (a.kind() == TVarRec::Kind::Real)
                    v = a.AsReal();
                else if (a.kind() == TVarRec::Kind::Integer)
                    v = static_cast<double>(a.AsInteger());
                else
                    FormatError(format);
                body = Fixed(v, precision < 0 ? 2 : std::min(precision, 64));
                break;
            }
            case 's': {
                if (a.kind() != TVarRec::Kind::Text) FormatError(format);
                std::string_view text = a.AsText();
                if (precision >= 0 && static_cast<std::size_t>(precision) < text.size())
                    text = text.substr(0, precision);
                body = std::string(text);
                break;
            }
            case 'p': {
                if (a.kind() != TVarRec::Kind::Pointer) FormatError(format);
                body = Digits(a.AsUnsigned(), 16);
                if (body.size() < 8) body.insert(0, 8 - body.size(), '0');
                break;
            }
            default:
                FormatError(format);
        }
        Pad(out, body, width, left);
    }
    return out;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string IntToStr(long long value)
{
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string FloatToStr(double value)
{
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    return std::string(buffer, end);
}

bool TryStrToFloat(std::string_view text, double& value)
{
    return platform::ParseDouble(text, value);
}

bool TryStrToInt(std::string_view text, int& value)
{
    return platform::ParseInt(text, value);
}

double StrToFloat(std::string_view text)
{
    double value = 0.0;
    if (!TryStrToFloat(text, value))
        throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
    return value;
}

int StrToInt(std::string_view text)
{
    int value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return value;
}
