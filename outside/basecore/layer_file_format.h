#pragma once

// The byte layout of layer files, read and written explicitly (little-endian, no struct
// dumps). Readers trust nothing in a file: every offset is checked against the file size
// for the bytes read there, every chain and list is walked a bounded number of links.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {
class AtomicFile;
}

namespace layerfile {

inline constexpr char kMagic[4] = {'R', 'D', 'P', 'R'};
inline constexpr int kMaxLinks = 10000;  ///< links followed in a block chain or layer list
inline constexpr std::int64_t kHeaderBytes = 12;
inline constexpr std::int64_t kBlockHeaderBytes = 12;
inline constexpr std::int64_t kLayerEntryBytes = 12;
inline constexpr std::int64_t kDescriptorBytes = 24;
inline constexpr std::int64_t kStatisticsBytes = 1064;
inline constexpr std::int64_t kPartStatisticsBytes = 2 * kStatisticsBytes;
/// Offsets are signed 32-bit: a file must stay below this size.
inline constexpr std::int64_t kMaxFileBytes = std::int64_t(1) << 31;

// Field offsets inside a statistics block.
inline constexpr int kStatReady = 0;  ///< int32, 1 when the block holds computed statistics
inline constexpr int kStatMin = 8;
inline constexpr int kStatMax = 16;
inline constexpr int kStatStdDev = 24;
inline constexpr int kStatMean = 32;
inline constexpr int kStatHist = 40;  ///< 256 uint32 counters

/// A read-only view of a whole file.
struct FileView {
    const BYTE* data = nullptr;
    std::int64_t size = 0;
};

/// True when a structure of `bytes` bytes at `offset` lies inside the file.
constexpr bool ValidRange(const FileView& f, std::int64_t offset, std::int64_t bytes)
{
    return offset > 0 && bytes >= 0 && offset <= f.size - bytes;
}

std::int32_t ReadI32(const BYTE* p);
void WriteI32(BYTE* p, std::int32_t v);

/// 2 or 3 for a layer file, 0 when the file is not one (too short, other magic or version).
int Version(const FileView& f);
/// The number of layers (at least 1), or 0 when the file is not a layer file.
int CountLayers(const FileView& f);
/// Offset of the first block header of layer n, or -1.
std::int64_t FirstBlock(const FileView& f, int n);

struct BlockRef {
    std::int32_t key = 0;
    std::int64_t header = 0;   ///< offset of the block header
    std::int64_t payload = 0;  ///< payload offset as stored (may be invalid)
};
/// The blocks of layer n in chain order, at most kMaxLinks of them; false when the layer
/// does not exist.
bool ListBlocks(const FileView& f, int n, std::vector<BlockRef>* blocks);
/// Payload offset of the first block `key` of layer n when `bytes` bytes fit there, else -1.
std::int64_t FindPayload(const FileView& f, int n, std::int32_t key, std::int64_t bytes);
/// Byte size of a block's payload: fixed for the layer's own keys; for other keys the
/// length word that this library writes before every payload, or when that does not fit,
/// the bytes up to the next structure of the layer or the end of the file. -1 when the
/// payload offset is invalid.
std::int64_t PayloadSize(const FileView& f, int n, const BlockRef& block);

struct LayerInfo {
    int width = 0;
    int height = 0;
    int type = 0;
    std::int64_t samples = 0;  ///< offset of the first sample
    std::int64_t sampleBytes = 0;
};
/// Reads and checks the descriptor and the data block of layer n. 0 on success, else a
/// last-error code with `detail` saying what is wrong.
DWORD ReadLayer(const FileView& f, int n, LayerInfo* info, std::string* detail);

/// One block to write: an in-memory payload, or `bytes` zero bytes when `data` is null.
struct BlockOut {
    std::int32_t key = 0;
    const BYTE* data = nullptr;
    std::int64_t bytes = 0;
};
/// One layer to write: width, height, type code and samples (null: zeros) and further blocks.
struct LayerOut {
    int width = 0;
    int height = 0;
    int type = 0;
    const BYTE* samples = nullptr;
    std::vector<BlockOut> blocks;  ///< after the descriptor and the data block, in this order
};
/// Where a written layer's pieces landed.
struct LayerPlaced {
    std::int64_t samples = 0;
    std::vector<std::int64_t> payloads;  ///< one per LayerOut::blocks entry
};

/// Layer n of a checked file as WriteFile takes it: its samples and every readable block
/// but keys 0 and 1 (later duplicates included), pointing into the view. 0 or an error code.
DWORD DescribeLayer(const FileView& f, int n, LayerOut* out, std::string* detail);

/// The size of the file that WriteFile would write, or -1 when a layer is invalid.
std::int64_t PlannedSize(const std::vector<LayerOut>& layers);
/// Writes a version 3 file of `layers` into the new version `out` (emptied and sized
/// first, so zero blocks cost nothing; the caller commits it). Samples start on 64-byte boundaries, other
/// payloads on 8-byte ones, each preceded by its length; bytes follow the last samples.
/// 0 on success, else a last-error code.
/// With `source` (the mapped file the payloads point into), large payloads are copied from
/// that file by the file system instead of through memory.
struct SourceFile {
    const BYTE* base = nullptr;
    std::int64_t size = 0;
    HANDLE file = nullptr;
};
DWORD WriteFile(platform::AtomicFile& out, const std::vector<LayerOut>& layers,
                std::vector<LayerPlaced>* placed, const SourceFile* source = nullptr);

}  // namespace layerfile
