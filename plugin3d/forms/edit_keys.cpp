#include "plugin3d/forms/edit_keys.h"

namespace {

constexpr char kBackspace = '\b';
constexpr std::size_t kRealTextLimit = 13;

bool IsDigit(char key)
{
    return key >= '0' && key <= '9';
}

}  // namespace

void FilterRealKey(const std::string& text, char& key)
{
    if (key == kBackspace) return;
    const bool allowed = IsDigit(key) || key == '-' || key == '.';
    if (!allowed || text.size() >= kRealTextLimit ||
        ((key == '-' || key == '.') && text.find(key) != std::string::npos))
        key = 0;
}

void FilterCountKey(const std::string& text, char& key, std::size_t maxDigits)
{
    if (key == kBackspace) return;
    if (!IsDigit(key) || text.size() >= maxDigits) key = 0;
}
