#include "platform/last_error.h"
#include "platform/registry/registry.h"

LSTATUS RegQueryValue(HKEY key, LPCSTR subKey, LPSTR data, LONG* size)
{
    if (!size || *size < 0) return ERROR_INVALID_PARAMETER;
    HKEY opened = key;
    if (subKey && *subKey) {
        const LSTATUS found = RegOpenKeyEx(key, subKey, 0, KEY_QUERY_VALUE, &opened);
        if (found != ERROR_SUCCESS) return found;
    }
    DWORD type = REG_NONE;
    DWORD bytes = data ? static_cast<DWORD>(*size) : 0;
    LSTATUS result = RegQueryValueEx(opened, nullptr, nullptr, &type, nullptr, &bytes);
    if (result == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) result = ERROR_INVALID_DATA;
    if (result == ERROR_SUCCESS) {
        // The store keeps text with its terminating zero, so the size includes it.
        if (data && bytes > static_cast<DWORD>(*size)) {
            result = ERROR_MORE_DATA;
        } else if (data) {
            DWORD room = static_cast<DWORD>(*size);
            result = RegQueryValueEx(opened, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &room);
            if (result == ERROR_SUCCESS && room > 0) data[room - 1] = '\0';
        }
        *size = static_cast<LONG>(bytes);
    }
    if (opened != key) RegCloseKey(opened);
    return result;
}
