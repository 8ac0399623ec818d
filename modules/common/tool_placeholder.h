#pragma once

// The entry of a tool whose module is not built yet: the user is told so, and nothing opens.

/// Shows "<toolName> is not built yet." in a message box owned by no window.
void ShowToolNotBuilt(const char* toolName);
