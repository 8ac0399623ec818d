#include <array>
#include <cstring>

#include "platform/registry/registry_tree.h"

namespace platform::registry {
namespace {

constexpr char kMagic[8] = {'T', 'V', 'X', 'R', 'E', 'G', '\0', '\1'};
constexpr std::size_t kHeaderSize = 8 + 8 + 4;

std::uint32_t Crc32(const BYTE* data, std::size_t size)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

class Writer {
public:
    explicit Writer(std::vector<BYTE>& out) : m_out(out) {}
    void U32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) m_out.push_back(static_cast<BYTE>(v >> (8 * i)));
    }
    void U64(std::uint64_t v)
    {
        for (int i = 0; i < 8; ++i) m_out.push_back(static_cast<BYTE>(v >> (8 * i)));
    }
    void Bytes(const void* data, std::size_t size)
    {
        const auto* p = static_cast<const BYTE*>(data);
        m_out.insert(m_out.end(), p, p + size);
    }
    void String(const std::string& s)
    {
        U32(static_cast<std::uint32_t>(s.size()));
        Bytes(s.data(), s.size());
    }

private:
    std::vector<BYTE>& m_out;
};

void WriteKey(Writer& w, const Key& key)
{
    w.String(key.name);
    w.U32(static_cast<std::uint32_t>(key.values.size()));
    for (const Value& value : key.values) {
        w.String(value.name);
        w.U32(value.type);
        w.U32(static_cast<std::uint32_t>(value.data.size()));
        w.Bytes(value.data.data(), value.data.size());
    }
    w.U32(static_cast<std::uint32_t>(key.subkeys.size()));
    for (const auto& [folded, subkey] : key.subkeys) WriteKey(w, *subkey);
}

class Reader {
public:
    Reader(const BYTE* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Remaining() const { return m_size - m_pos; }
    bool U32(std::uint32_t& v)
    {
        if (Remaining() < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(m_data[m_pos + i]) << (8 * i);
        m_pos += 4;
        return true;
    }
    bool Bytes(std::vector<BYTE>& out, std::uint32_t size)
    {
        if (Remaining() < size) return false;
        out.assign(m_data + m_pos, m_data + m_pos + size);
        m_pos += size;
        return true;
    }
    bool String(std::string& out)
    {
        std::uint32_t size = 0;
        if (!U32(size) || size > kMaxNameLength || Remaining() < size) return false;
        out.assign(reinterpret_cast<const char*>(m_data + m_pos), size);
        m_pos += size;
        return true;
    }

private:
    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

bool ValidKeyName(const std::string& name)
{
    return !name.empty() && name.size() <= kMaxKeyNameLength && name.find('\\') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool ReadKey(Reader& r, Key& key, int depth, bool isRoot, std::string& problem)
{
    // Deeper nesting than the system allows is a damaged file, and bounds the reader's recursion.
    if (depth > kMaxDepth) {
        problem = "keys nested too deeply";
        return false;
    }
    std::uint32_t count = 0;
    if (!r.String(key.name) || (!isRoot && !ValidKeyName(key.name)) || !r.U32(count)) {
        problem = "bad key record";
        return false;
    }
    // Every value record takes at least 12 bytes: a count beyond that is damage, and must
    // not make us reserve memory for it.
    if (count > r.Remaining() / 12) {
        problem = "value count larger than the file";
        return false;
    }
    key.values.resize(count);
    for (Value& value : key.values) {
        std::uint32_t size = 0;
        if (!r.String(value.name) || !r.U32(value.type) || !r.U32(size) || !r.Bytes(value.data, size)) {
            problem = "bad value record";
            return false;
        }
    }
    if (!r.U32(count) || count > r.Remaining() / 12) {
        problem = "bad subkey count";
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        auto subkey = std::make_unique<Key>();
        if (!ReadKey(r, *subkey, depth + 1, false, problem)) return false;
        const std::string folded = FoldName(subkey->name);
        if (!key.subkeys.emplace(folded, std::move(subkey)).second) {
            problem = "duplicate key name";
            return false;
        }
    }
    return true;
}

}  // namespace

std::string FoldName(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return folded;
}

std::vector<BYTE> Serialize(const Tree& tree)
{
    std::vector<BYTE> payload;
    Writer p(payload);
    p.U32(static_cast<std::uint32_t>(tree.size()));
    for (const auto& [root, key] : tree) {
        p.U32(root);
        WriteKey(p, key);
    }
    std::vector<BYTE> file;
    file.reserve(kHeaderSize + payload.size());
    Writer w(file);
    w.Bytes(kMagic, sizeof kMagic);
    w.U64(payload.size());
    w.U32(Crc32(payload.data(), payload.size()));
    w.Bytes(payload.data(), payload.size());
    return file;
}

std::optional<Tree> Deserialize(const std::vector<BYTE>& bytes, std::string& problem)
{
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        problem = "not a settings file";
        return std::nullopt;
    }
    std::uint64_t length = 0;
    for (int i = 0; i < 8; ++i) length |= static_cast<std::uint64_t>(bytes[8 + i]) << (8 * i);
    std::uint32_t crc = 0;
    for (int i = 0; i < 4; ++i) crc |= static_cast<std::uint32_t>(bytes[16 + i]) << (8 * i);
    if (length != bytes.size() - kHeaderSize) {
        problem = "file length does not match its header";
        return std::nullopt;
    }
    const BYTE* payload = bytes.data() + kHeaderSize;
    if (Crc32(payload, length) != crc) {
        problem = "checksum mismatch";
        return std::nullopt;
    }
    Reader r(payload, length);
    std::uint32_t roots = 0;
    if (!r.U32(roots) || roots > 16) {
        problem = "bad root count";
        return std::nullopt;
    }
    Tree tree;
    for (std::uint32_t i = 0; i < roots; ++i) {
        std::uint32_t id = 0;
        if (!r.U32(id) || (id & 0x80000000u) == 0) {
            problem = "bad root";
            return std::nullopt;
        }
        Key& key = tree[id];
        if (!ReadKey(r, key, 0, true, problem)) return std::nullopt;
    }
    if (r.Remaining() != 0) {
        problem = "bytes after the last key";
        return std::nullopt;
    }
    return tree;
}

}  // namespace platform::registry
