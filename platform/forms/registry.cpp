#include "platform/forms/registry.h"

#include <algorithm>

#include "platform/last_error.h"
#include "platform/registry/registry.h"

IMPLEMENT_TCLASS(TRegistry, TObject)

TRegistry::~TRegistry()
{
    CloseKey();
}

void TRegistry::SetRootKey(HKEY root)
{
    CloseKey();
    m_root = root;
}

bool TRegistry::OpenKeyReadOnly(const std::string& path)
{
    CloseKey();
    HKEY key = nullptr;
    if (RegOpenKeyEx(m_root ? m_root : HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    m_key = key;
    return true;
}

void TRegistry::CloseKey()
{
    if (m_key) RegCloseKey(m_key);
    m_key = nullptr;
}

std::vector<std::string> TRegistry::GetValueNames() const
{
    std::vector<std::string> names;
    if (!m_key) return names;
    DWORD count = 0, longest = 0;
    if (RegQueryInfoKey(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                        nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::string name(longest + 1, '\0');
    for (DWORD i = 0; i < count; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValue(m_key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        names.emplace_back(name.data(), length);
    }
    return names;
}

std::string TRegistry::ReadString(const std::string& name) const
{
    if (!m_key) return {};
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueEx(m_key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException("Invalid data type for '" + name + "'");
    std::string text(size, '\0');
    if (size > 0 && RegQueryValueEx(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                    &size) != ERROR_SUCCESS)
        throw ERegistryException("Invalid data type for '" + name + "'");
    text.resize(std::min<std::size_t>(size, text.size()));
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}
