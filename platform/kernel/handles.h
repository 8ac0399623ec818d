#pragma once

// Closing kernel handles (files, mappings, threads, events, change notifications).

#include "platform/types.h"

/// Closes a handle; FALSE with ERROR_INVALID_HANDLE when the handle is not open.
PLATFORM_API BOOL CloseHandle(HANDLE handle);
