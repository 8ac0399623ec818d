#include "outside/basecore/easy_registry.h"

#include <cstring>

#include "outside/basecore/settings.h"
#include "platform/last_error.h"
#include "platform/registry/registry.h"

CEasyRegistry::~CEasyRegistry()
{
    Close();
}

void CEasyRegistry::Close()
{
    if (m_hKey) RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

BOOL CEasyRegistry::InitSubKey(const char* subKey, int forReading)
{
    Close();
    if (!subKey) return FALSE;
    const CString path = GetAppSubKey(subKey);
    LSTATUS status;
    if (forReading)
        status = RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_READ, &m_hKey);
    else
        status = RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_READ | KEY_WRITE, nullptr, &m_hKey, nullptr);
    if (status != ERROR_SUCCESS) m_hKey = nullptr;
    return m_hKey != nullptr;
}

CString CEasyRegistry::GetStringValue(const char* valueName) const
{
    if (!m_hKey) return CString();
    DWORD type = 0, size = 0;
    const char* name = valueName && *valueName ? valueName : nullptr;
    if (RegQueryValueEx(m_hKey, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return CString();
    std::vector<BYTE> bytes(std::size_t(size) + 1, 0);
    if (RegQueryValueEx(m_hKey, name, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS) return CString();
    return CString(reinterpret_cast<const char*>(bytes.data()));
}

BOOL CEasyRegistry::SetStringValue(const char* valueName, const char* text)
{
    if (!m_hKey) return FALSE;
    const char* value = text ? text : "";
    const char* name = valueName && *valueName ? valueName : nullptr;
    return RegSetValueEx(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                         DWORD(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

int CEasyRegistry::EnumSubKeys(const char* subKey, std::vector<CString>& names) const
{
    HKEY key = nullptr;
    if (!subKey || RegOpenKeyEx(HKEY_CURRENT_USER, GetAppSubKey(subKey), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    int found = 0;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name);
        ++found;
    }
    RegCloseKey(key);
    return found;
}
