#pragma once

// The registry's contents in memory and their file format (internal to the registry).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform::registry {

struct Value {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct Key {
    std::string name;                                     // as created
    std::vector<Value> values;                            // in the order first set
    std::map<std::string, std::unique_ptr<Key>> subkeys;  // by upper-cased name: the system's order
};

/// The roots by their predefined handle values.
using Tree = std::map<std::uint32_t, Key>;

/// The form names are compared and ordered in: ASCII letters upper-cased, other bytes kept.
std::string FoldName(const std::string& name);

/// The settings file for a tree: header (magic, format, payload length, CRC-32 of the
/// payload) and the payload, little-endian throughout.
std::vector<BYTE> Serialize(const Tree& tree);
/// The tree in a settings file's bytes, or nothing when the bytes are not a complete,
/// intact settings file; `problem` then says what is wrong.
std::optional<Tree> Deserialize(const std::vector<BYTE>& bytes, std::string& problem);

}  // namespace platform::registry
