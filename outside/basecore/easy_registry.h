#pragma once

// A small settings helper bound to one key below the product key at a time.

#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"

class CEasyRegistry {
public:
    CEasyRegistry() = default;
    ~CEasyRegistry();
    CEasyRegistry(const CEasyRegistry&) = delete;
    CEasyRegistry& operator=(const CEasyRegistry&) = delete;

    /// Binds to `subKey` below the product key: for reading (`forReading` nonzero) the key must
    /// exist; for writing it is created when missing. Nonzero on success.
    BOOL InitSubKey(const char* subKey, int forReading);
    /// The string value of the bound key; empty when unbound or missing. A null or empty name
    /// reads the default value.
    CString GetStringValue(const char* valueName) const;
    /// Writes a string value to the bound key; nonzero on success.
    BOOL SetStringValue(const char* valueName, const char* text);
    /// The names of the subkeys of `subKey` (below the product key), in the registry's order;
    /// 0 when there are none or the key cannot be read.
    int EnumSubKeys(const char* subKey, std::vector<CString>& names) const;

private:
    void Close();
    HKEY m_hKey = nullptr;
};
