#pragma once

// The desktop's cache folder of the program: where files go that can be made again and
// cannot lie beside what they are made from.

#include "platform/cstring.h"
#include "platform/types.h"

namespace platform {

/// "$XDG_CACHE_HOME/tarvenix", or "~/.cache/tarvenix" when that is unset. The folder is
/// made on first use with mode 0700; an existing one must be a folder (not a link) of this
/// user, and is given mode 0700 if others could reach it. Empty when no such folder can be
/// had: nothing is then written outside the folders the user chose.
PLATFORM_API CString UserCacheFolder();

}  // namespace platform
