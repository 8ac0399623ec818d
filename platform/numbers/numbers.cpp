#include "platform/numbers/numbers.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include <QLocale>

namespace platform {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Splits off the sign; true when it was "-".
bool TakeSign(std::string_view& text)
{
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        const bool negative = text.front() == '-';
        text.remove_prefix(1);
        return negative;
    }
    return false;
}

bool AllDigits(std::string_view text)
{
    if (text.empty()) return false;
    for (char c : text)
        if (!IsDigit(c)) return false;
    return true;
}

}  // namespace

void UseCNumericLocale()
{
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
}

bool ParseDouble(std::string_view text, double& value)
{
    text = Trim(text);
    std::string_view body = text;
    const bool negative = TakeSign(body);
    // Check the grammar ourselves: from_chars alone would take "inf", "nan" and hex forms.
    std::size_t i = 0;
    std::size_t mantissaDigits = 0;
    bool nonZeroMantissa = false;
    while (i < body.size() && IsDigit(body[i])) {
        nonZeroMantissa |= body[i] != '0';
        ++i;
        ++mantissaDigits;
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && IsDigit(body[i])) {
            nonZeroMantissa |= body[i] != '0';
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return false;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
        if (!AllDigits(body.substr(i))) return false;
        i = body.size();
    }
    if (i != body.size()) return false;
    double parsed = 0.0;
    const auto result =
        std::from_chars(body.data(), body.data() + body.size(), parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != body.data() + body.size()) return false;
    if (!std::isfinite(parsed) || (nonZeroMantissa && parsed == 0.0)) return false;
    value = negative ? -parsed : parsed;
    return true;
}

bool ParseInt(std::string_view text, int& value)
{
    text = Trim(text);
    std::string_view body = text;
    const bool negative = TakeSign(body);
    if (!AllDigits(body)) return false;
    unsigned long long magnitude = 0;
    const auto result = std::from_chars(body.data(), body.data() + body.size(), magnitude);
    if (result.ec != std::errc() || result.ptr != body.data() + body.size()) return false;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(std::numeric_limits<int>::max()) + 1
                 : static_cast<unsigned long long>(std::numeric_limits<int>::max());
    if (magnitude > limit) return false;
    value = negative ? static_cast<int>(-static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
    return true;
}

bool ParseUnsigned(std::string_view text, unsigned& value)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (!AllDigits(text)) return false;
    unsigned long long parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        parsed > std::numeric_limits<unsigned>::max())
        return false;
    value = static_cast<unsigned>(parsed);
    return true;
}

}  // namespace platform
