#pragma once

// String tables of the suite's libraries. Each library lists its table in its resource
// record (platform/resources/module_resources.h); a lookup walks the chain newest first,
// as the framework's extension modules do.

#include <span>

#include "platform/cstring.h"

namespace platform {

struct StringEntry {
    UINT id;
    const char* text;
};

/// The text of string `id`; false when no table in the chain has it.
PLATFORM_API bool FindString(UINT id, CString& text);

}  // namespace platform
