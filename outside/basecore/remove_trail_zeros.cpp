#include "outside/basecore/remove_trail_zeros.h"

#include <string>

void RemoveTrailZeros(CString& text)
{
    std::string s(static_cast<const char*>(text));
    if (s.find('.') == std::string::npos || s.find_first_of("eE") != std::string::npos) return;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    // "%.6f" of a tiny negative value rounds to "-0.000000"; a sign on zero only misleads.
    if (s == "-0") s = "0";
    if (s.empty() || s == "-") s = "0";
    text = s.c_str();
}
