#pragma once

// Reading and clearing registry keys in the main program's tests.

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/registry/registry.h"

namespace regtest {

/// Removes the key and everything below it; a missing key is fine.
inline void DeleteKeyTree(HKEY parent, const char* path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyEx(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (;;) {
        char name[512] = {};
        DWORD length = sizeof name;
        if (::RegEnumKeyEx(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::string child = std::string(path) + "\\" + name;
        DeleteKeyTree(parent, child.c_str());
    }
    ::RegCloseKey(key);
    ::RegDeleteKey(parent, path);
}

/// A value as a test compares it: its name and its data (text for strings, the decimal
/// number for DWORDs).
struct Value {
    std::string name;
    std::string data;
    bool operator==(const Value&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Value& v)
{
    return out << v.name << "=\"" << v.data << "\"";
}

/// The values of the key below HKEY_CURRENT_USER in the order they were first set.
inline std::vector<Value> Values(const char* path)
{
    std::vector<Value> values;
    HKEY key = nullptr;
    if (::RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[512] = {};
        DWORD nameLength = sizeof name;
        BYTE data[4096] = {};
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (::RegEnumValue(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
            break;
        if (type == REG_DWORD) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof number);
            values.push_back({name, std::to_string(number)});
        } else {
            values.push_back({name, std::string(reinterpret_cast<const char*>(data),
                                                ::strnlen(reinterpret_cast<const char*>(data), dataLength))});
        }
    }
    ::RegCloseKey(key);
    return values;
}

/// Whether the key exists below HKEY_CURRENT_USER.
inline bool KeyExists(const char* path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

/// The names of the subkeys of the key below HKEY_CURRENT_USER, in enumeration order.
inline std::vector<std::string> SubKeys(const char* path)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        char name[512] = {};
        DWORD length = sizeof name;
        if (::RegEnumKeyEx(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    ::RegCloseKey(key);
    return names;
}

}  // namespace regtest
