#pragma once

// Loading modules at run time by file name, and finding their exports by name or by
// ordinal number.
//
// Ordinals: a module that offers exports by number defines, with C linkage,
//
//     extern "C" PLATFORM_EXPORT const PlatformOrdinal* platform_ordinal_table();
//
// returning an array of {ordinal, export name} entries that ends with {0, nullptr}.
// GetProcAddress(module, MAKEINTRESOURCE(n)) looks n up there and returns that export.

#include "platform/types.h"

using FARPROC = INT_PTR (*)();

#define PLATFORM_EXPORT extern "C" __attribute__((visibility("default")))

/// One entry of a module's ordinal table.
struct PlatformOrdinal {
    WORD ordinal;
    const char* name;
};

/// The name of the function a module exports its ordinal table under.
constexpr const char* kPlatformOrdinalTableSymbol = "platform_ordinal_table";

/// Loads a module by file name, or finds it when it is already loaded (its count goes up).
/// A bare name is looked for next to the program first, then where the system looks for
/// libraries. A name ending in ".dll", or without an extension, is also tried as
/// "lib<base>.so" and "<base>.so", the names this platform gives libraries. Null with
/// ERROR_MOD_NOT_FOUND when nothing can be loaded.
PLATFORM_API HMODULE LoadLibrary(LPCSTR fileName);
inline HMODULE LoadLibraryA(LPCSTR fileName)
{
    return LoadLibrary(fileName);
}
/// An export by name, or by ordinal when `name` is MAKEINTRESOURCE(n). Null with
/// ERROR_PROC_NOT_FOUND when the module has no such export.
PLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR name);
/// Lowers the module's count and unloads it at zero. A handle LoadLibrary did not give
/// (null included) is left alone: FALSE with ERROR_INVALID_HANDLE.
PLATFORM_API BOOL FreeLibrary(HMODULE module);
/// The full path of a loaded module, or of the program for a null module. Returns the
/// length copied; a too small buffer gets the truncated, terminated path and
/// ERROR_INSUFFICIENT_BUFFER with the return value equal to `size`.
PLATFORM_API DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size);
inline DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    return GetModuleFileName(module, buffer, size);
}
