#pragma once

// String tables of the suite's libraries. Each library registers its table at start-up;
// a lookup walks the chain newest first, as the framework's extension modules do.

#include <span>

#include "platform/cstring.h"

namespace platform {

struct StringEntry {
    UINT id;
    const char* text;
};

/// Joins a library's string table to the resource chain. The entries must live as long
/// as the process (they are static data of the library).
PLATFORM_API void RegisterStringTable(const char* module, std::span<const StringEntry> entries);
/// Removes a library's table from the chain (its module is being unloaded).
PLATFORM_API void UnregisterStringTable(const char* module);
/// The text of string `id`; false when no table in the chain has it.
PLATFORM_API bool FindString(UINT id, CString& text);

}  // namespace platform
