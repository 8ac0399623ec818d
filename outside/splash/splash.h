#pragma once

// Start-up texts for the splash window. The viewer library, the tool modules and the main
// program report their progress to it while they load; the suite runs the same without it.

#include <cstdint>

#include "platform/types.h"

/// Class name and title of the splash window the texts go to.
inline constexpr const char* kSplashWindowClass = "Terralume Splash Window";
inline constexpr const char* kSplashWindowTitle = "Splash Screen";

/// Sends `text` (without its terminating zero) to the top-level splash window as
/// WM_COPYDATA with `dwData` = `kind` and `sender` in wParam. Does nothing when no splash
/// window exists or `text` is null. True when a splash window was sent the text.
bool SendSplashText(const char* text, std::uintptr_t kind = 1, HWND sender = nullptr);
