#pragma once

// The registry: keys and values under predefined roots, kept by this layer in one file in
// the user's configuration folder ($TARVENIX_CONFIG_DIR, else $XDG_CONFIG_HOME/tarvenix,
// else ~/.config/tarvenix). Key names are compared without regard to ASCII letter case and
// keep the case they were created with; key paths have "\" between names.
//
// Enumeration follows the system's registry: subkeys in the order of their upper-cased
// names, values in the order they were first set. String values (REG_SZ) are stored with
// exactly one terminating zero, whatever byte count the writer gave, so a reader's buffer
// of the reported size always holds a terminated string.
//
// Every change is written through at once: the whole store goes to a temporary file in
// the same folder, which then replaces the settings file in one step. A settings file
// that cannot be read is set aside (renamed with ".damaged-<time>"), reported once, and
// the store starts empty. All calls are thread-safe. When another process has replaced
// the file, the next call reloads it.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/cstring.h"
#include "platform/kernel/files.h"
#include "platform/types.h"

using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

/// Opens `subKey` below `key`, creating it and any missing keys on the way. The access
/// `sam` decides what the new handle may do (KEY_SET_VALUE to write values, ...);
/// `disposition` tells whether the key was created. Empty names inside the path
/// (a leading or doubled "\") give ERROR_BAD_PATHNAME.
PLATFORM_API LSTATUS RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                                    REGSAM sam, void* security, PHKEY result, DWORD* disposition);
/// Opens an existing key; ERROR_FILE_NOT_FOUND when it is not there.
PLATFORM_API LSTATUS RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result);
PLATFORM_API LSTATUS RegCloseKey(HKEY key);
/// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some).
PLATFORM_API LSTATUS RegDeleteKey(HKEY key, LPCSTR subKey);
PLATFORM_API LSTATUS RegDeleteValue(HKEY key, LPCSTR valueName);
/// Sets a value (null or empty name: the key's unnamed default value). REG_DWORD takes
/// exactly 4 bytes; REG_SZ takes the text up to its first zero byte or `size` bytes.
PLATFORM_API LSTATUS RegSetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                   DWORD size);
/// Reads a value. With a null `data` only the size (and type) is returned; a buffer smaller
/// than the value gives ERROR_MORE_DATA with the size needed in *size.
PLATFORM_API LSTATUS RegQueryValueEx(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                     DWORD* size);
/// One value of a RegQueryMultipleValues call: the name asked for; the data's length, place
/// in the caller's buffer and type come back.
struct VALENT {
    LPSTR ve_valuename;
    DWORD ve_valuelen;
    DWORD_PTR ve_valueptr;
    DWORD ve_type;
};
using PVALENT = VALENT*;

/// Reads the `count` values named in `values` at once into `buffer` (*totalSize bytes),
/// one after another; each entry gets its length, place and type. With a null `buffer` or
/// one too small, ERROR_MORE_DATA and the size needed in *totalSize; ERROR_CANT_READ (and
/// nothing read) when one of the values is missing.
PLATFORM_API LSTATUS RegQueryMultipleValues(HKEY key, PVALENT values, DWORD count, LPSTR buffer,
                                            DWORD* totalSize);

/// Reads the default (unnamed) value of `subKey` below `key` (null or empty: of `key`
/// itself) as text. *size holds the buffer's size in bytes and comes back as the text's
/// size with its zero; a null `data` asks for the size only. ERROR_MORE_DATA when the
/// buffer is too small, ERROR_FILE_NOT_FOUND when the key or its default value is missing,
/// ERROR_INVALID_DATA when the default value is not text.
PLATFORM_API LSTATUS RegQueryValue(HKEY key, LPCSTR subKey, LPSTR data, LONG* size);
inline LSTATUS RegQueryValueA(HKEY key, LPCSTR subKey, LPSTR data, LONG* size)
{
    return RegQueryValue(key, subKey, data, size);
}
/// Counts and longest lengths of a key: subkeys, longest subkey name, values, longest value
/// name (characters, no terminating zero), longest value data (bytes). Keys carry no class
/// and no write time here: the class comes back empty and the time zero.
PLATFORM_API LSTATUS RegQueryInfoKey(HKEY key, LPSTR keyClass, DWORD* classLength, DWORD* reserved,
                                     DWORD* subKeys, DWORD* maxSubKeyLength, DWORD* maxClassLength,
                                     DWORD* values, DWORD* maxValueNameLength, DWORD* maxValueLength,
                                     DWORD* securityDescriptor, FILETIME* lastWriteTime);
/// The name of subkey `index`. *nameLength holds the buffer's size in characters with
/// the zero and comes back as the name's length without it. ERROR_MORE_DATA when the
/// buffer is too small, ERROR_NO_MORE_ITEMS past the last subkey.
PLATFORM_API LSTATUS RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD* reserved,
                                  LPSTR keyClass, DWORD* classLength, FILETIME* lastWriteTime);
/// Name, type and data of value `index`, with the same length protocols.
PLATFORM_API LSTATUS RegEnumValue(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD* reserved,
                                  DWORD* type, BYTE* data, DWORD* dataLength);
/// Every change is already on disk; kept for callers that ask for it.
PLATFORM_API LSTATUS RegFlushKey(HKEY key);

namespace platform {

/// The user's configuration folder (see above); not created by this call.
PLATFORM_API CString ConfigFolder();
/// The settings file the registry lives in.
PLATFORM_API CString RegistryFilePath();
/// Forgets the registry's contents in memory; the next call reads the file again, as a
/// new process would (also after TARVENIX_CONFIG_DIR changed). Open key handles stay valid.
PLATFORM_API void ReloadRegistryFromFile();
/// Who is told when the settings file is damaged and set aside (by default a line on
/// stderr). Called once per damaged file, on the thread that found it, outside the lock.
PLATFORM_API void SetRegistryDamageHandler(std::function<void(const CString& message)> handler);
/// Puts the text (REG_SZ) values given, in their order, in place of all values of an open
/// key (KEY_SET_VALUE), written to the settings file once; on a failure the key keeps its
/// values. A list of settings replaced whole (a history) costs one write, not one a value.
PLATFORM_API LSTATUS RegReplaceTextValues(HKEY key,
                                          const std::vector<std::pair<std::string, std::string>>& values);
/// The names of an open key's subkeys (KEY_ENUMERATE_SUB_KEYS), in the order RegEnumKeyEx
/// gives them, in one call: a reader of thousands of subkeys looks at the settings file once
/// for their names, not once a name.
PLATFORM_API LSTATUS RegEnumKeyNames(HKEY key, std::vector<std::string>& names);

}  // namespace platform
