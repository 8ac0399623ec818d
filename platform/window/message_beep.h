#pragma once

// The system's warning sound.

#include "platform/types.h"

/// Plays the desktop's bell for every kind of sound (MB_OK, MB_ICONEXCLAMATION, ...).
/// Returns TRUE.
PLATFORM_API BOOL MessageBeep(UINT type);
