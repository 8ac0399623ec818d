#pragma once

// The calls the stand-in 3D plug-ins and the tests' viewers record, in the order they came.

#include <string>
#include <vector>

#define PLUGIN_LOG_API extern "C" __attribute__((visibility("default")))

PLUGIN_LOG_API void RecordPluginEvent(const char* event);

/// Everything recorded since the last ClearPluginLog.
std::vector<std::string> PluginLog();
void ClearPluginLog();
