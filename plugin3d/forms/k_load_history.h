#pragma once

// The administrator's load history: the project files loaded or saved last, most recent
// first, kept in the user's registry below "Settings\3DRaster\LoadHistory" as the values
// "0", "1" ... in list order.

#include <string>
#include <vector>

/// The key of the history below HKEY_CURRENT_USER.
inline constexpr char kLoadHistoryKey[] = "Software\\Orvane\\Tarvenix2.0\\Settings\\3DRaster\\LoadHistory";
/// The most entries the history keeps.
inline constexpr std::size_t kLoadHistoryLimit = 10;

/// The first kLoadHistoryLimit text values of the key in the registry's order; values of
/// other types are skipped, a missing key gives an empty list.
std::vector<std::string> ReadLoadHistory();
/// Puts history (at most kLoadHistoryLimit entries) in place of every value of the key, in one
/// write of the settings, so stale values go.
void WriteLoadHistory(const std::vector<std::string>& history);
/// Puts path at the top: moved there when listed already (letter case ignored), else
/// inserted, the oldest entries dropped beyond the limit.
void AddToLoadHistory(std::vector<std::string>& history, const std::string& path);
