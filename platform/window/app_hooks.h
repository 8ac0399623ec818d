#pragma once

// What the window layer asks of the application layer above it. The window layer never
// calls up into the application itself: the application object sets this record when it is
// made and clears it when it goes, so windows work the same with or without one.

#include "platform/window/cmd_target.h"
#include "platform/window/messages.h"

class CWnd;

namespace platform {

struct AppHooks {
    /// The application's pass over a queued message before its window gets it (TRUE: swallowed).
    BOOL (*preTranslateMessage)(MSG* msg) = nullptr;
    /// Offers the application a command that no top-level window took.
    BOOL (*onCmdMsg)(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) = nullptr;
    /// The application's name (message-box captions); null or empty when it has none.
    const char* (*appName)() = nullptr;
    /// The main window, which owns message boxes that name no owner.
    CWnd* (*mainWindow)() = nullptr;
    /// A window has gone (the main window's going ends the message loop).
    void (*windowDestroyed)(CWnd* wnd) = nullptr;
};

/// Sets the record (an empty one when the application goes). User-interface thread.
PLATFORM_API void SetAppHooks(const AppHooks& hooks);
PLATFORM_API const AppHooks& GetAppHooks();

}  // namespace platform
