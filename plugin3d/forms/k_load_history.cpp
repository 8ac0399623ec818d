#include "plugin3d/forms/k_load_history.h"

#include <algorithm>

#include "platform/registry/registry.h"
#include "platform/forms/format.h"
#include "platform/last_error.h"

std::vector<std::string> ReadLoadHistory()
{
    std::vector<std::string> history;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kLoadHistoryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return history;
    DWORD count = 0, longest = 0;
    if (RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS) {
        std::string name(longest + 1, '\0');
        // Only the newest entries count: the list never holds more than its limit, whatever
        // the settings hold.
        for (DWORD i = 0; i < count && history.size() < kLoadHistoryLimit; ++i) {
            DWORD length = static_cast<DWORD>(name.size());
            DWORD type = REG_NONE, size = 0;
            if (RegEnumValue(key, i, name.data(), &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
                continue;
            if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
            std::string text(size, '\0');
            const std::string valueName(name.data(), length);
            if (size > 0 && RegQueryValueEx(key, valueName.c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
                continue;
            text.resize(std::min<std::size_t>(size, text.size()));
            while (!text.empty() && text.back() == '\0') text.pop_back();
            history.push_back(std::move(text));
        }
    }
    RegCloseKey(key);
    return history;
}

void WriteLoadHistory(const std::vector<std::string>& history)
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, kLoadHistoryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                       nullptr) != ERROR_SUCCESS)
        return;
    // The key's values are replaced whole, in one write of the settings: stale values go,
    // "0" is the newest.
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t i = 0; i < history.size() && i < kLoadHistoryLimit; ++i)
        values.emplace_back(std::to_string(i), history[i]);
    platform::RegReplaceTextValues(key, values);
    RegCloseKey(key);
}

void AddToLoadHistory(std::vector<std::string>& history, const std::string& path)
{
    const auto listed = std::find_if(history.begin(), history.end(),
                                     [&](const std::string& entry) { return SameText(entry, path); });
    if (listed != history.end()) {
        std::rotate(history.begin(), listed, listed + 1);
        return;
    }
    history.insert(history.begin(), path);
    if (history.size() > kLoadHistoryLimit) history.resize(kLoadHistoryLimit);
}
