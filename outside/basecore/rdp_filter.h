#pragma once

// The filter of the file dialogs that pick layer files.

#include "platform/cstring.h"

/// "Tarvenix data files(*.rdp)|*.rdp|All Files (*.*)|*.*||": layer files first, then all files.
CString GetRDPFilter();
