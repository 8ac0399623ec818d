#pragma once

// Length-counted strings, the plug-in's stored text: int32 n (little-endian), then n bytes,
// no terminator. At most 0xFFFC bytes are stored; longer texts are cut.

#include <cstddef>
#include <string>
#include <string_view>

class TKObjectsStream;

/// The most bytes a length-counted string stores.
constexpr int kMaxStoredString = 0xFFFC;

/// Writes s (cut to kMaxStoredString bytes); returns n + 4. A null stream only counts.
int WriteStringTo(TKObjectsStream* stream, std::string_view s);
/// Reads a string written by WriteStringTo into s; returns n + 4. A stored length outside
/// 0..kMaxStoredString, or longer than what is left to read, raises EStreamError "Invalid
/// String Size". A null stream empties s and returns 0.
int ReadStringFrom(TKObjectsStream* stream, std::string& s);
/// Reads a string as ReadStringFrom does, without a copy where the stream holds its bytes in
/// memory: text then points into the stream's memory (valid while the stream keeps it), else
/// into storage, which receives the string.
int ReadStringView(TKObjectsStream* stream, std::string_view& text, std::string& storage);

/// The same layout in a memory block; a null buffer only counts (n + 4).
int WriteStringToBuffer(void* buffer, const std::string& s);
/// Reads from a memory block of size bytes. A stored length outside 0..kMaxStoredString or
/// beyond the block raises EStreamError "Invalid String Size". A null buffer empties s and
/// returns 0.
int ReadStringFromBuffer(const void* buffer, std::size_t size, std::string& s);

/// Gives the string that target points at its own copy of source (a text handed back
/// through an untyped pointer).
void AssignStringCopy(void* target, const std::string& source);
