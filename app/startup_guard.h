#pragma once

// The start-up error handler: what goes wrong while the program builds its windows ends
// the program with a message instead of a crash report.

#include <functional>

#include "platform/cstring.h"
#include "platform/types.h"

/// The message that reports a start-up fault: string 113, the fault's name (empty for a
/// code without one), string 109, with nothing between them.
CString StartupErrorText(const CString& prefix, unsigned faultCode);

/// Runs `steps`. An exception that leaves them is shown as the start-up error (string 113
/// in `prefix`, the texts of StartupErrorText) in a message box captioned "Tarvenix",
/// owned by the application's main window when there is one; the result is then FALSE.
/// A processor fault (a signal) while they run writes the same text, with the fault's
/// name, to the standard error and ends the process with code 1: no window is opened from
/// a signal handler.
BOOL RunStartupGuarded(const CString& prefix, const std::function<BOOL()>& steps);
