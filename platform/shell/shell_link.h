#pragma once

// Our stand-in for shell shortcuts: a small link file of our own that names a target file
// and carries a description. The file is text: the line "TarvenixLink 1", then the line
// "target=<path>", then "description=<text>" (the description may span further lines up to
// the end of the file). Windows link files are not read; anything else is refused.

#include <string>

#include "platform/cstring.h"
#include "platform/types.h"

namespace platform {

/// Longest link file read; larger files are not links of ours.
inline constexpr std::size_t kMaxShellLinkBytes = 64 * 1024;

/// What a link file holds.
struct ShellLink {
    CString target;
    CString description;
};

/// Writes the link file `linkPath` through the atomic writer (an existing file of that name
/// is replaced). FALSE with the last error set on failure, the old file then unchanged.
PLATFORM_API BOOL WriteShellLink(const char* linkPath, const ShellLink& link);
/// Reads a link file. FALSE with the last error set when it is missing, too large or not a
/// link of ours; `link` is then emptied.
PLATFORM_API BOOL ReadShellLink(const char* linkPath, ShellLink& link);

}  // namespace platform
