#pragma once

// The .ktp layout, little-endian; strings are length-counted (int32 n, n bytes):
//
//   "KELVORA" and a zero byte; int32 VersionMajor, VersionMinor; the project class's path
//   (ClassPathOf); the project name;
//   int32 D, the description block;
//   int32 M, the modules block: int32 count (0..4095), then per module: int32 E (bytes that
//     follow), the name, int32 V, V bytes of version information;
//   int32 T, the class-tree block: per node, depth first: int32 child count, int32 class
//     id, int32 use count, the class name; the root is "TKObject";
//   int32 H, the objects header (the project subclass's);
//   int32 B, the objects block: object records (int32 class id, int32 object id, int32
//     payload size P, P bytes).
//
// The header part (signature through class-tree block) takes 36 + the two strings' bytes
// + D + M + T.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin3d/model/core/k_data_branch.h"

/// The first 8 bytes of every project file.
inline constexpr char kProjectSignature[8] = {'K', 'E', 'L', 'V', 'O', 'R', 'A', '\0'};
/// Bytes of the header part besides the two strings and the D, M and T blocks.
inline constexpr int kFixedHeaderBytes = 36;
/// The most module entries a file may hold.
inline constexpr std::int32_t kMaxModules = 4095;
/// Bytes of a class-tree node besides its name.
inline constexpr int kClassNodeBytes = 16;

/// Reads a block of memory front to back; every read is checked against the block and
/// raises the format error when it would pass its end.
class TKBlockReader {
public:
    TKBlockReader(const std::uint8_t* data, std::int64_t size) : m_data(data), m_size(size) {}

    std::int32_t Int32();
    /// A length-counted string (the cap of stored strings applies).
    std::string String();
    /// Count bytes at the position, which then moves past them.
    const std::uint8_t* Bytes(std::int64_t count);
    std::int64_t Position() const { return m_position; }
    std::int64_t Left() const { return m_size - m_position; }
    void Seek(std::int64_t position);

private:
    const std::uint8_t* m_data;
    std::int64_t m_size;
    std::int64_t m_position = 0;
};

/// Appends little-endian values to a byte block.
class TKBlockWriter {
public:
    explicit TKBlockWriter(std::int64_t reserve) { m_bytes.reserve(static_cast<std::size_t>(reserve)); }
    void Int32(std::int32_t v) { Append(&v, 4); }
    void String(const std::string& s);
    void Append(const void* data, std::size_t count)
    {
        const std::size_t at = m_bytes.size();
        m_bytes.resize(at + count);
        if (count) std::memcpy(m_bytes.data() + at, data, count);
    }
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

/// The bytes the class-tree block of root takes.
std::int64_t ClassTreeBytes(TKDataBranch* root);
/// Writes the class-tree block of root, each node's class given its id by idOf.
template <class IdOf>
void WriteClassTree(TKBlockWriter& out, TKDataBranch* root, IdOf&& idOf);
/// Calls visit(node) for root and every TKDataBranch below it, depth first, without
/// recursion.
template <class Visit>
void ForEachNodeDepthFirst(TKDataBranch* root, Visit&& visit);

// --- templates ---------------------------------------------------------------------------------

template <class Visit>
void ForEachNodeDepthFirst(TKDataBranch* root, Visit&& visit)
{
    if (!root) return;
    TKTreeLock lock;
    struct Frame {
        TKDataBranch* node;
        int next;
    };
    std::vector<Frame> stack{{root, 0}};
    visit(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.node->Count()) {
            stack.pop_back();
            continue;
        }
        TKDataBranch* child = top.node->DataChild(top.next++);
        if (!child) continue;
        visit(child);
        stack.push_back({child, 0});
    }
}

template <class IdOf>
void WriteClassTree(TKBlockWriter& out, TKDataBranch* root, IdOf&& idOf)
{
    ForEachNodeDepthFirst(root, [&](TKDataBranch* node) {
        std::int32_t children = 0;
        for (int i = 0; i < node->Count(); ++i)
            if (node->DataChild(i)) ++children;
        out.Int32(children);
        out.Int32(idOf(node->Data().AsClass()));
        out.Int32(node->Tag());
        out.String(node->Name());
    });
}
