#pragma once

// The suite's settings services over the platform's registry: everything lives under the
// product key of the current user. Sub-key paths passed here are below that key and keep
// "\" between names ("\Settings\General"); a leading "\" is optional.

#include "platform/cstring.h"
#include "platform/registry/registry.h"
#include "platform/types.h"

/// The product key below HKEY_CURRENT_USER: "SOFTWARE\Orvane\Tarvenix2.0".
CString GetAppRegKey();
/// The full key path of `subKey` below the product key.
CString GetAppSubKey(const char* subKey);
/// The string `valueName` of `subKey`; empty when the key or value is missing or is not text.
CString GetStringValue(const char* subKey, const char* valueName);
/// Writes the string, creating the key as needed; nonzero on success.
BOOL SetStringValue(const char* subKey, const char* valueName, const char* value);
/// The DWORD `valueName` of `subKey`; `fallback` when the key or value is missing or is
/// not a DWORD.
DWORD GetDWORDValue(const char* subKey, const char* valueName, DWORD fallback = 0);
/// Writes the DWORD, creating the key as needed; nonzero on success.
BOOL SetDWORDValue(const char* subKey, const char* valueName, DWORD value);

/// One open registry key: string and DWORD values by name. Closes its key when destroyed.
class CTLRegKey {
public:
    CTLRegKey() = default;
    ~CTLRegKey();
    CTLRegKey(const CTLRegKey&) = delete;
    CTLRegKey& operator=(const CTLRegKey&) = delete;

    /// Opens `keyName` below `parent`, creating what is missing (read and write access).
    LONG Create(HKEY parent, const char* keyName);
    /// Opens an existing key (read access unless `access` says more).
    LONG Open(HKEY parent, const char* keyName, REGSAM access = KEY_READ | KEY_WRITE);
    LONG Close();
    bool IsOpen() const { return m_hKey != nullptr; }
    operator HKEY() const { return m_hKey; }

    LONG SetValue(DWORD value, const char* valueName);
    LONG SetValue(const char* value, const char* valueName);
    /// ERROR_FILE_NOT_FOUND when missing; ERROR_INVALID_DATA when the value is of another type.
    LONG QueryValue(DWORD& value, const char* valueName);
    LONG QueryValue(CString& value, const char* valueName);
    LONG DeleteValue(const char* valueName);

private:
    HKEY m_hKey = nullptr;
};
