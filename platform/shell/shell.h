#pragma once

// Opening documents and links with the desktop's handler, as the shell's "open" verb does.

#include <functional>

#include "platform/types.h"

class QUrl;

constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_OOM = 8;
constexpr int SE_ERR_NOASSOC = 31;

/// Opens `file` (a path, or a link such as "http://..." or "mailto:...") with the desktop's
/// handler. Verbs "open" and null are supported ("explore" opens a folder too); others give
/// SE_ERR_NOASSOC. Parameters and folder are not passed on. Returns a value above 32 on
/// success, else SE_ERR_FNF / SE_ERR_PNF for a missing file or folder, SE_ERR_NOASSOC when
/// no handler took it. Call it on the user-interface thread.
PLATFORM_API HINSTANCE ShellExecute(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                                    int show);
inline HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                               int show)
{
    return ShellExecute(window, verb, file, parameters, folder, show);
}

/// Appends `extension` (with its dot) to the path in `path` (a buffer of MAX_PATH) unless
/// the file name already has an extension. FALSE when it has one or the result would not fit.
PLATFORM_API BOOL PathAddExtension(LPSTR path, LPCSTR extension);

namespace platform {
/// Replaces the desktop's handler (for tests: nothing is launched). The hook gets the URL
/// ShellExecute would open and answers whether it was opened. An empty function restores
/// the desktop's handler.
PLATFORM_API void SetShellOpenHook(std::function<bool(const QUrl&)> hook);
}  // namespace platform
