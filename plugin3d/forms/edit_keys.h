#pragma once

// The key rules of the plug-in's number boxes: a refused key is set to 0.

#include <string>

/// Real numbers: digits, '-', '.' and backspace; no key but backspace once the text has 13
/// characters; no second '-' or '.'.
void FilterRealKey(const std::string& text, char& key);
/// Counts: digits and backspace; no digit once the text has maxDigits characters.
void FilterCountKey(const std::string& text, char& key, std::size_t maxDigits);
