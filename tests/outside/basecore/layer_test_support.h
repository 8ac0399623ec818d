#pragma once

// Shared pieces of the layer tests: byte-level file builders for hand-made fixtures and
// small file helpers.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace layertest {

using Bytes = std::vector<std::uint8_t>;

inline void Put32(Bytes& b, size_t at, std::int32_t v)
{
    if (b.size() < at + 4) b.resize(at + 4, 0);
    std::memcpy(b.data() + at, &v, 4);
}
inline std::int32_t Get32(const Bytes& b, size_t at)
{
    std::int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}
inline void WriteFile(const std::string& path, const Bytes& b)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

/// A hand-built one-layer file: header, then at 12 a layer entry (version 3) or the first
/// block (version 2), a descriptor block, a data block of `samples`, and trailing bytes.
/// Offsets of the pieces are kept so tests can damage them.
struct Fixture {
    Bytes bytes;
    size_t firstBlock = 0;   // header of the descriptor block
    size_t dataBlock = 0;    // header of the data block
    size_t descriptor = 0;   // descriptor payload
    size_t dataPayload = 0;  // data payload (the count)

    Fixture(int version, int width, int height, int type, const Bytes& samples)
    {
        bytes.assign(12, 0);
        std::memcpy(bytes.data(), "RDPR", 4);
        Put32(bytes, 4, version);
        size_t at = 12;
        if (version == 3) {
            Put32(bytes, 12, 0);
            Put32(bytes, 16, 24);
            Put32(bytes, 20, 0);
            at = 24;
        }
        firstBlock = at;
        dataBlock = at + 12;
        descriptor = at + 24;
        dataPayload = descriptor + 24;
        Put32(bytes, firstBlock, 0);
        Put32(bytes, firstBlock + 4, std::int32_t(descriptor));
        Put32(bytes, firstBlock + 8, std::int32_t(dataBlock));
        Put32(bytes, dataBlock, 1);
        Put32(bytes, dataBlock + 4, std::int32_t(dataPayload));
        Put32(bytes, dataBlock + 8, 0);
        Put32(bytes, descriptor + 4, width);
        Put32(bytes, descriptor + 8, height);
        Put32(bytes, descriptor + 12, type);
        Put32(bytes, descriptor + 20, 0);
        Put32(bytes, dataPayload, std::int32_t(samples.size()));
        bytes.insert(bytes.end(), samples.begin(), samples.end());
        bytes.resize(bytes.size() + 8, 0);  // readers need bytes after the samples
    }
};

/// Thrown by a test to leave a scope as an error would.
struct TestCancel {};

}  // namespace layertest
