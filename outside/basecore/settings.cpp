#include "outside/basecore/settings.h"

#include <vector>

#include "platform/last_error.h"

namespace {

const char* SkipSeparator(const char* subKey)
{
    if (!subKey) return "";
    while (*subKey == '\\') ++subKey;
    return subKey;
}

}  // namespace

CString GetAppRegKey()
{
    return "SOFTWARE\\Orvane\\Tarvenix2.0";
}

CString GetAppSubKey(const char* subKey)
{
    CString path = GetAppRegKey();
    const char* rest = SkipSeparator(subKey);
    if (*rest) {
        path += "\\";
        path += rest;
    }
    return path;
}

CString GetStringValue(const char* subKey, const char* valueName)
{
    CTLRegKey key;
    CString value;
    if (key.Open(HKEY_CURRENT_USER, GetAppSubKey(subKey), KEY_READ) != ERROR_SUCCESS ||
        key.QueryValue(value, valueName) != ERROR_SUCCESS)
        return CString();
    return value;
}

BOOL SetStringValue(const char* subKey, const char* valueName, const char* value)
{
    CTLRegKey key;
    return key.Create(HKEY_CURRENT_USER, GetAppSubKey(subKey)) == ERROR_SUCCESS &&
           key.SetValue(value ? value : "", valueName) == ERROR_SUCCESS;
}

DWORD GetDWORDValue(const char* subKey, const char* valueName, DWORD fallback)
{
    CTLRegKey key;
    DWORD value = 0;
    if (key.Open(HKEY_CURRENT_USER, GetAppSubKey(subKey), KEY_READ) != ERROR_SUCCESS ||
        key.QueryValue(value, valueName) != ERROR_SUCCESS)
        return fallback;
    return value;
}

BOOL SetDWORDValue(const char* subKey, const char* valueName, DWORD value)
{
    CTLRegKey key;
    return key.Create(HKEY_CURRENT_USER, GetAppSubKey(subKey)) == ERROR_SUCCESS &&
           key.SetValue(value, valueName) == ERROR_SUCCESS;
}

CTLRegKey::~CTLRegKey()
{
    Close();
}

LONG CTLRegKey::Create(HKEY parent, const char* keyName)
{
    Close();
    return RegCreateKeyEx(parent, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                          &m_hKey, nullptr);
}

LONG CTLRegKey::Open(HKEY parent, const char* keyName, REGSAM access)
{
    Close();
    const LONG result = RegOpenKeyEx(parent, keyName, 0, access, &m_hKey);
    if (result != ERROR_SUCCESS) m_hKey = nullptr;
    return result;
}

LONG CTLRegKey::Close()
{
    if (!m_hKey) return ERROR_SUCCESS;
    const LONG result = RegCloseKey(m_hKey);
    m_hKey = nullptr;
    return result;
}

LONG CTLRegKey::SetValue(DWORD value, const char* valueName)
{
    return RegSetValueEx(m_hKey, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                         sizeof value);
}

LONG CTLRegKey::SetValue(const char* value, const char* valueName)
{
    const CString text(value);
    return RegSetValueEx(m_hKey, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.GetLength() + 1));
}

LONG CTLRegKey::QueryValue(DWORD& value, const char* valueName)
{
    DWORD type = REG_NONE, size = 0;
    LONG result = RegQueryValueEx(m_hKey, valueName, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_DWORD || size != sizeof value) return static_cast<LONG>(ERROR_INVALID_DATA);
    DWORD read = 0;
    result = RegQueryValueEx(m_hKey, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_DWORD || size != sizeof value) return static_cast<LONG>(ERROR_INVALID_DATA);
    value = read;
    return ERROR_SUCCESS;
}

LONG CTLRegKey::QueryValue(CString& value, const char* valueName)
{
    DWORD type = REG_NONE, size = 0;
    LONG result = RegQueryValueEx(m_hKey, valueName, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return static_cast<LONG>(ERROR_INVALID_DATA);
    // The size was just asked for; another thread may have grown the value since.
    std::vector<BYTE> buffer(size + 1);
    DWORD got = size;
    result = RegQueryValueEx(m_hKey, valueName, nullptr, &type, buffer.data(), &got);
    if (result != ERROR_SUCCESS) return result;
    buffer[std::min<size_t>(got, size)] = 0;
    value = reinterpret_cast<const char*>(buffer.data());
    return ERROR_SUCCESS;
}

LONG CTLRegKey::DeleteValue(const char* valueName)
{
    return RegDeleteValue(m_hKey, valueName);
}
