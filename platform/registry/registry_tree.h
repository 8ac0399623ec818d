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

/// What the settings file can hold. The reader refuses a file beyond these bounds as
/// damaged, so the store refuses a change beyond them before it is written.
inline constexpr int kMaxDepth = 512;                      ///< keys below a root, the deepest
inline constexpr std::size_t kMaxNameLength = 16383;       ///< bytes of a value name
inline constexpr std::size_t kMaxKeyNameLength = 255;      ///< bytes of a key name
inline constexpr std::uint64_t kMaxFileBytes = 256 << 20;  ///< larger files are not ours (or damaged)

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
