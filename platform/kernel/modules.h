#pragma once

// Loading modules at run time by file name, and finding their exports by name or by
// ordinal number.
//
// Start and end: a module that needs set-up (windows, registrations, threads) does it in
// an entry of its own, never in a constructor of a namespace-scope object, which would run
// inside dlopen before the module is known to the program. It defines, with C linkage,
//
//     extern "C" PLATFORM_EXPORT BOOL platform_module_start();
//     extern "C" PLATFORM_EXPORT void platform_module_end();
//
// LoadLibrary calls the start entry when it has loaded the module for the first time,
// before it returns; a start that returns FALSE (or throws) unloads the module again and
// the load fails with ERROR_DLL_INIT_FAILED. FreeLibrary calls the end entry when the
// module's count comes to zero, before it unloads the module. Loads and frees of other
// modules from inside these entries are allowed.
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
/// The names of a module's start and end entries.
constexpr const char* kPlatformModuleStartSymbol = "platform_module_start";
constexpr const char* kPlatformModuleEndSymbol = "platform_module_end";

/// Loads a module by file name, or finds it when it is already loaded (its count goes up).
/// A bare name is looked for next to the program first, then where the system looks for
/// libraries. A name ending in ".dll", or without an extension, is also tried as
/// "lib<base>.so" and "<base>.so", the names this platform gives libraries. Null with
/// ERROR_MOD_NOT_FOUND when nothing can be loaded, with ERROR_DLL_INIT_FAILED when the
/// module's start entry refused.
PLATFORM_API HMODULE LoadLibrary(LPCSTR fileName);
inline HMODULE LoadLibraryA(LPCSTR fileName)
{
    return LoadLibrary(fileName);
}
/// An export by name, or by ordinal when `name` is MAKEINTRESOURCE(n). Null with
/// ERROR_PROC_NOT_FOUND when the module has no such export.
PLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR name);
/// Lowers the module's count; at zero calls the module's end entry and unloads it. A handle
/// LoadLibrary did not give (null included) is left alone: FALSE with ERROR_INVALID_HANDLE.
PLATFORM_API BOOL FreeLibrary(HMODULE module);
/// The full path of a loaded module, or of the program for a null module. Returns the
/// length copied; a too small buffer gets the truncated, terminated path and
/// ERROR_INSUFFICIENT_BUFFER with the return value equal to `size`.
PLATFORM_API DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size);
inline DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    return GetModuleFileName(module, buffer, size);
}
