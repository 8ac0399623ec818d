#pragma once

// The calls the stand-in 3D plug-ins and the tests' viewers record, in the order they came.

#include <string>
#include <vector>

#define PLUGIN_LOG_API extern "C" __attribute__((visibility("default")))

PLUGIN_LOG_API void RecordPluginEvent(const char* event);
/// What the stand-ins' HideForms answers next (1: hidden, the default; 0: the user kept the
/// project); each answer is used once, then it is 1 again.
PLUGIN_LOG_API int TakeHideAnswer();
PLUGIN_LOG_API void SetHideAnswer(int answer);

/// Everything recorded since the last ClearPluginLog.
std::vector<std::string> PluginLog();
void ClearPluginLog();
