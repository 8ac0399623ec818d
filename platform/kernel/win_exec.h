#pragma once

// Starting another program from a command line, without a shell.

#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

/// Starts the program of `commandLine` and returns at once. The line is split at blanks
/// outside double quotes (the quotes are dropped); the first part names the program (found
/// on PATH when it holds no "/"), the rest are its arguments, passed as they are: no shell
/// sees them. Returns 33 when the program started, else ERROR_FILE_NOT_FOUND (also for an
/// empty line) or ERROR_BAD_FORMAT when it could not be run. `show` is accepted and unused.
PLATFORM_API UINT WinExec(LPCSTR commandLine, UINT show);

namespace platform {

/// The parts WinExec splits a command line into.
PLATFORM_API std::vector<std::string> SplitCommandLine(const char* commandLine);
/// Replaces starting programs (for tests: nothing is started). The hook gets the split
/// line and `show` and returns what WinExec returns. An empty function restores starting.
PLATFORM_API void SetWinExecHook(std::function<UINT(const std::vector<std::string>& parts, UINT show)> hook);

}  // namespace platform
