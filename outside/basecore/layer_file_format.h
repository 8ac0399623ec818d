#pragma once

// The byte layout of layer files, read and written explicitly (little-endian, no struct
// dumps). Readers trust nothing in a file: every offset is checked against the file size
// for the bytes read there, every chain and list is walked a bounded number of links.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
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
/// int32 written 1 with computed statistics; other writers leave anything there, so readers
/// judge a block by its values instead.
inline constexpr int kStatReady = 0;
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
/// The 32-bit field at `at`, or 0 (an invalid offset) when it does not lie inside the file.
std::int32_t FieldAt(const FileView& f, std::int64_t at);

/// width x height x element bytes of a layer; -1 when a factor is not valid or the product
/// overflows 64 bits.
std::int64_t SampleBytes(std::int64_t width, std::int64_t height, int type);

/// 2 or 3 for a layer file, 0 when the file is not one (too short, other magic or version).
int Version(const FileView& f);

struct BlockRef {
    std::int32_t key = 0;
    std::int64_t header = 0;   ///< offset of the block header
    std::int64_t payload = 0;  ///< payload offset as stored (may be invalid)
};

/// The blocks of one layer in chain order, each header once.
struct Chain {
    std::vector<BlockRef> blocks;
    /// The chain goes on past kMaxLinks blocks: what lies beyond is out of every reader's reach.
    bool cut = false;
};

/// The layer list and block chains of a file, each walked once and then looked up, so
/// that asking about many layers, blocks or payloads costs no walk of its own. The view
/// must stay mapped while the index is used.
class FileIndex {
public:
    explicit FileIndex(const FileView& f);

    const FileView& View() const { return m_f; }
    /// 2 or 3, or 0 when the file is not a layer file.
    int Version() const { return m_version; }
    /// Entries of the layer list (at most kMaxLinks; the entry at 12 always counts), 0 when
    /// the file is not a layer file.
    int CountLayers() const { return static_cast<int>(m_entries.size()); }
    /// The layer list goes on past kMaxLinks entries.
    bool ListCut() const { return m_listCut; }
    /// Offset of the first block header of layer n, or -1.
    std::int64_t FirstBlock(int n) const;
    /// The chain of layer n (walked on first use); null when the layer or its first block
    /// header does not exist.
    const Chain* Blocks(int n);
    /// The first block `key` of layer n, or null.
    const BlockRef* Find(int n, std::int32_t key);
    /// Payload offset of the first block `key` of layer n when `bytes` bytes fit there, else -1.
    std::int64_t FindPayload(int n, std::int32_t key, std::int64_t bytes);
    /// Byte size of a block's payload, -1 when its offset is invalid. Keys 0 to 4 have their
    /// fixed sizes and key 1 its count. Other payloads end at the next structure of the file
    /// (block header, layer entry, payload) or at its end, and within that room a palette
    /// (keys 501 to 504) has 48 + 20 x its entry count bytes and a fixed-size record its
    /// size. The length word this library writes before a payload is used only where it
    /// agrees with that room: the payload then ends exactly where the writer left it, with
    /// nothing but its zero padding (and the next payload's length word) before the next
    /// structure. Other writers' files need no length words.
    std::int64_t PayloadSize(const BlockRef& block);

private:
    void IndexStructures();
    std::int64_t NextStructure(std::int64_t payload) const;
    std::int64_t OwnLengthWord(std::int64_t payload, std::int64_t next) const;

    FileView m_f;
    int m_version = 0;
    std::vector<std::int64_t> m_entries;  // layer entries (version 3) in list order
    bool m_listCut = false;
    std::unordered_map<int, Chain> m_chains;
    std::unordered_map<int, std::unordered_map<std::int32_t, size_t>> m_firstOfKey;
    bool m_indexed = false;
    std::vector<std::int64_t> m_starts;    // every structure's offset, sorted
    std::vector<std::int64_t> m_headers;   // block headers and layer entries, sorted
    std::vector<std::int64_t> m_payloads;  // valid payload offsets, sorted
};

/// The number of layers (at least 1), or 0 when the file is not a layer file.
int CountLayers(const FileView& f);

struct LayerInfo {
    int width = 0;
    int height = 0;
    int type = 0;
    std::int64_t samples = 0;  ///< offset of the first sample
    std::int64_t sampleBytes = 0;
};
/// Reads and checks the descriptor and the data block of layer n. 0 on success, else a
/// last-error code with `detail` saying what is wrong.
DWORD ReadLayer(FileIndex& index, int n, LayerInfo* info, std::string* detail);
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
    /// The version already holds the samples where WriteFile puts them (PlannedSampleOffsets,
    /// put there by PutSamples): WriteFile writes the rest around them.
    bool samplesWritten = false;
};
/// Where a written layer's pieces landed.
struct LayerPlaced {
    std::int64_t samples = 0;
    std::vector<std::int64_t> payloads;  ///< one per LayerOut::blocks entry
};

/// Layer n of a checked file as WriteFile takes it: its samples and every readable block
/// but keys 0 and 1 (later duplicates included), pointing into the view. 0 or an error code.
DWORD DescribeLayer(FileIndex& index, int n, LayerOut* out, std::string* detail);
/// Every layer of a file that is to be written anew. Refused, rather than rewritten without
/// what no walk reaches, when the layer list or a block chain runs past kMaxLinks, when a
/// layer is damaged, or when the chains together hold more blocks than the file has room
/// for (layers sharing long chains). 0 or an error code with `detail`.
DWORD DescribeFile(FileIndex& index, std::vector<LayerOut>* layers, std::string* detail);

/// The size of the file that WriteFile would write, or -1 when a layer is invalid.
std::int64_t PlannedSize(const std::vector<LayerOut>& layers);
/// Writes a version 3 file of `layers` into the new version `out` (emptied and sized
/// first, so zero blocks cost nothing; the caller commits it). Samples start on 64-byte boundaries, other
/// payloads on 8-byte ones, each preceded by its length; bytes follow the last samples.
/// 0 on success, else a last-error code.
/// With `sources` (mapped files the samples and payloads point into), large ones are copied
/// from their file by the file system instead of through memory.
struct SourceFile {
    const BYTE* base = nullptr;
    std::int64_t size = 0;
    HANDLE file = nullptr;
};
DWORD WriteFile(platform::AtomicFile& out, const std::vector<LayerOut>& layers,
                std::vector<LayerPlaced>* placed, const std::vector<SourceFile>& sources = {});
/// Puts `bytes` of samples at `offset` of the version as WriteFile does: copied from their
/// file where they lie in one of `sources`, else written from memory. In pieces, and once
/// `stop` (may be null) is set no further piece goes: ERROR_OPERATION_ABORTED. 0 or an error code.
DWORD PutSamples(platform::AtomicFile& out, const BYTE* samples, std::int64_t bytes, std::int64_t offset,
                 const std::vector<SourceFile>& sources, const std::atomic<bool>* stop = nullptr);

/// Where WriteFile would put the samples of each layer; empty when a layer is invalid.
std::vector<std::int64_t> PlannedSampleOffsets(const std::vector<LayerOut>& layers);
/// Makes the version `out` the file WriteFile would write of `layers`, when `out` already holds
/// every layer's samples where WriteFile would put them (PlannedSampleOffsets): only the bytes
/// around the samples are written, and the version is cut or grown to the file's size.
/// Payloads may point into the version's own bytes (a mapping of it). 0 or an error code.
DWORD RewriteAroundSamples(platform::AtomicFile& out, const std::vector<LayerOut>& layers);

}  // namespace layerfile
