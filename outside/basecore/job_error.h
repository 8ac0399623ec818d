#pragma once

// The message box through which the runner reports a failure that escaped a worker.

#include "platform/cstring.h"

class CWnd;

namespace basecore {

/// Shows `text` with MB_ICONERROR owned by `owner` (may be null) on the user-interface
/// thread; returns when the user has closed it. Callable from any thread.
void ShowJobError(CWnd* owner, const CString& text, const CString& caption);

}  // namespace basecore
