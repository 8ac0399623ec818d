#include "outside/basecore/recognize_complex.h"

#include <string>

namespace {

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

/// The imaginary text of a part written with i or j ("3i", "i3", "-i", "+2.5j").
std::string ImaginaryText(std::string part)
{
    part = Trim(part);
    std::string sign;
    if (!part.empty() && (part[0] == '+' || part[0] == '-')) {
        if (part[0] == '-') sign = "-";
        part = Trim(part.substr(1));
    }
    if (!part.empty() && (part.front() == 'i' || part.front() == 'j'))
        part = Trim(part.substr(1));
    else if (!part.empty() && (part.back() == 'i' || part.back() == 'j'))
        part = Trim(part.substr(0, part.size() - 1));
    if (!part.empty() && part.back() == '*') part = Trim(part.substr(0, part.size() - 1));
    return sign + (part.empty() ? std::string("1") : part);
}

}  // namespace

bool RecognizeComplex(const CString& text, CString& real, CString& imaginary)
{
    std::string s = Trim(static_cast<const char*>(text));
    real = "0";
    imaginary = "0";
    if (s.empty()) return false;
    if (s.front() == '(' && s.back() == ')') s = Trim(s.substr(1, s.size() - 2));
    const auto pair = s.find_first_of(",;");
    if (pair != std::string::npos) {
        real = Trim(s.substr(0, pair)).c_str();
        imaginary = Trim(s.substr(pair + 1)).c_str();
        return true;
    }
    if (s.find_first_of("ij") == std::string::npos) {
        real = s.c_str();
        return true;
    }
    // The last sign that is not the first character and does not follow an exponent mark.
    std::size_t split = std::string::npos;
    for (std::size_t k = s.size(); k-- > 1;) {
        if ((s[k] == '+' || s[k] == '-') && s[k - 1] != 'e' && s[k - 1] != 'E') {
            split = k;
            break;
        }
    }
    if (split == std::string::npos) {
        imaginary = ImaginaryText(s).c_str();
        return true;
    }
    real = Trim(s.substr(0, split)).c_str();
    imaginary = ImaginaryText(s.substr(split)).c_str();
    return true;
}
