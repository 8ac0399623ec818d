#include "outside/basecore/layer_file_format.h"

#include <cstring>

#include <algorithm>
#include <unordered_set>

#include "outside/basecore/data_type.h"
#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"

namespace layerfile {

std::int32_t ReadI32(const BYTE* p)
{
    std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
                      (std::uint32_t(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

void WriteI32(BYTE* p, std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
}

std::int32_t FieldAt(const FileView& f, std::int64_t at)
{
    return at >= 0 && at <= f.size - 4 ? ReadI32(f.data + at) : 0;
}

std::int64_t SampleBytes(std::int64_t width, std::int64_t height, int type)
{
    if (width <= 0 || height <= 0 || !isValidType(type)) return -1;
    std::int64_t cells = 0, bytes = 0;
    if (__builtin_mul_overflow(width, height, &cells)) return -1;
    if (__builtin_mul_overflow(cells, std::int64_t(elementBytes(type)), &bytes)) return -1;
    return bytes;
}

int Version(const FileView& f)
{
    if (!f.data || f.size < kHeaderBytes || std::memcmp(f.data, kMagic, 4) != 0) return 0;
    const int v = ReadI32(f.data + 4);
    return (v == 2 || v == 3) ? v : 0;
}

namespace {

/// An offset at which a structure may start: inside the file, past its first byte.
bool ValidOffset(const FileView& f, std::int64_t offset)
{
    return offset > 0 && offset < f.size;
}

std::int64_t FixedSize(std::int32_t key)
{
    switch (key) {
        case 0:
            return kDescriptorBytes;
        case 2:
        case 3:
            return kStatisticsBytes;
        case 4:
            return kPartStatisticsBytes;
        default:
            return -1;
    }
}

/// Records of a fixed size that other parts of the suite read: the transform records and
/// the spectrum record.
std::int64_t RecordSize(std::int32_t key)
{
    switch (key) {
        case 302:
            return 72;
        case 303:
            return 24;
        case 308:
            return 56;
        case 671:
            return 12;
        case 401:
            return 20;
        default:
            return -1;
    }
}

bool IsPaletteKey(std::int32_t key)
{
    return key >= 501 && key <= 504;
}

}  // namespace

FileIndex::FileIndex(const FileView& f) : m_f(f), m_version(layerfile::Version(f))
{
    if (m_version == 0) return;
    if (m_version == 2) {
        m_entries.push_back(kHeaderBytes);  // stands for the only layer; no entry is read there
        return;
    }
    // The entry at 12 always counts, even when the file ends inside it; fields that lie
    // outside the file read as invalid offsets. A "next" that returns to an entry already
    // seen ends the list, so a damaged list never loops.
    std::unordered_set<std::int64_t> seen;
    std::int64_t entry = kHeaderBytes;
    for (;;) {
        m_entries.push_back(entry);
        seen.insert(entry);
        const std::int64_t next = FieldAt(m_f, entry + 8);
        if (!ValidOffset(m_f, next) || seen.count(next)) break;
        if (m_entries.size() == size_t(kMaxLinks)) {
            m_listCut = true;
            break;
        }
        entry = next;
    }
}

std::int64_t FileIndex::FirstBlock(int n) const
{
    if (n < 0 || n >= CountLayers()) return -1;
    const std::int64_t first = m_version == 2 ? kHeaderBytes : FieldAt(m_f, m_entries[size_t(n)] + 4);
    return ValidRange(m_f, first, kBlockHeaderBytes) ? first : -1;
}

const Chain* FileIndex::Blocks(int n)
{
    if (auto it = m_chains.find(n); it != m_chains.end()) return &it->second;
    std::int64_t header = FirstBlock(n);
    if (header < 0) return nullptr;
    Chain& chain = m_chains[n];
    auto& firstOfKey = m_firstOfKey[n];
    // A chain that returns to a block already listed ends there (the blocks of a cycle are
    // all listed); one that goes on past the bound is marked cut.
    std::unordered_set<std::int64_t> seen;
    for (;;) {
        const BYTE* h = m_f.data + header;
        const BlockRef block{ReadI32(h), header, ReadI32(h + 4)};
        firstOfKey.emplace(block.key, chain.blocks.size());
        chain.blocks.push_back(block);
        seen.insert(header);
        const std::int64_t next = ReadI32(h + 8);
        if (!ValidRange(m_f, next, kBlockHeaderBytes) || seen.count(next)) break;
        if (chain.blocks.size() == size_t(kMaxLinks)) {
            chain.cut = true;
            break;
        }
        header = next;
    }
    return &chain;
}

const BlockRef* FileIndex::Find(int n, std::int32_t key)
{
    const Chain* chain = Blocks(n);
    if (!chain) return nullptr;
    const auto& firstOfKey = m_firstOfKey[n];
    const auto it = firstOfKey.find(key);
    return it == firstOfKey.end() ? nullptr : &chain->blocks[it->second];
}

std::int64_t FileIndex::FindPayload(int n, std::int32_t key, std::int64_t bytes)
{
    const BlockRef* b = Find(n, key);
    return b && ValidRange(m_f, b->payload, bytes) ? b->payload : -1;
}

void FileIndex::IndexStructures()
{
    m_indexed = true;
    for (std::int64_t entry : m_entries)
        if (m_version == 3) m_headers.push_back(entry);
    // Every block header once for the whole file: a chain that runs into a header another
    // layer's chain has listed shares the rest of it, so the total work stays linear in the
    // file's size. Blocks past a chain's bound are nobody's to read, but still end the
    // payloads before them.
    std::unordered_set<std::int64_t> seen;
    for (int n = 0; n < CountLayers(); ++n) {
        std::int64_t header = FirstBlock(n);
        while (header >= 0 && seen.insert(header).second) {
            const BYTE* h = m_f.data + header;
            m_headers.push_back(header);
            const std::int64_t payload = ReadI32(h + 4);
            if (ValidOffset(m_f, payload)) {
                m_starts.push_back(payload);
                m_payloads.push_back(payload);
            }
            const std::int64_t next = ReadI32(h + 8);
            header = ValidRange(m_f, next, kBlockHeaderBytes) ? next : -1;
        }
    }
    std::sort(m_headers.begin(), m_headers.end());
    m_headers.erase(std::unique(m_headers.begin(), m_headers.end()), m_headers.end());
    std::sort(m_payloads.begin(), m_payloads.end());
    m_payloads.erase(std::unique(m_payloads.begin(), m_payloads.end()), m_payloads.end());
    m_starts.insert(m_starts.end(), m_headers.begin(), m_headers.end());
    std::sort(m_starts.begin(), m_starts.end());
    m_starts.erase(std::unique(m_starts.begin(), m_starts.end()), m_starts.end());
}

std::int64_t FileIndex::NextStructure(std::int64_t payload) const
{
    // A header or entry that starts at the payload itself leaves it no bytes; another
    // payload starting there is the same payload shared.
    std::int64_t next = m_f.size;
    if (auto it = std::upper_bound(m_starts.begin(), m_starts.end(), payload); it != m_starts.end())
        next = *it;
    if (auto it = std::lower_bound(m_headers.begin(), m_headers.end(), payload); it != m_headers.end())
        next = std::min(next, *it);
    return next;
}

std::int64_t FileIndex::OwnLengthWord(std::int64_t payload, std::int64_t next) const
{
    // This library writes a payload's length just before it, puts the next payload on an
    // 8-byte boundary after 4 bytes for that payload's length word, starts the next layer's
    // headers right after the last payload and ends the file with 8 to 15 zero bytes. A
    // word is taken as such a length only when the bytes after the payload it describes are
    // exactly that; the four bytes before another writer's payload rarely are. An empty
    // last payload of a layer lies where the next layer's headers begin: the payload before
    // it is then followed by padding and the empty one's length word, as before any other.
    if (payload < 4) return -1;
    const std::int64_t length = ReadI32(m_f.data + payload - 4);
    if (length < 0 || length > next - payload) return -1;
    const std::int64_t end = payload + length, gap = next - end;
    if (gap == 0) return length;
    const bool atEof = next == m_f.size;
    if (atEof ? gap > 15 : (gap < 4 || gap > 11)) return -1;
    if (!atEof) {
        // The four bytes before the next payload must be its own length word.
        if (std::binary_search(m_headers.begin(), m_headers.end(), next) &&
            !std::binary_search(m_payloads.begin(), m_payloads.end(), next))
            return -1;
        const std::int64_t nextLength = ReadI32(m_f.data + next - 4);
        if (nextLength < 0 || nextLength > NextStructure(next) - next) return -1;
    }
    const std::int64_t zeros = atEof ? next : next - 4;
    for (std::int64_t i = end; i < zeros; ++i)
        if (m_f.data[i] != 0) return -1;
    return length;
}

std::int64_t FileIndex::PayloadSize(const BlockRef& block)
{
    const std::int64_t p = block.payload;
    if (!ValidOffset(m_f, p)) return -1;
    if (block.key == 1) {
        if (!ValidRange(m_f, p, 4)) return -1;
        const std::int64_t count = static_cast<std::uint32_t>(ReadI32(m_f.data + p));
        return ValidRange(m_f, p, 4 + count) ? 4 + count : -1;
    }
    const std::int64_t fixed = FixedSize(block.key);
    if (fixed >= 0 && ValidRange(m_f, p, fixed)) return fixed;
    // Key 4 is this library's own; another writer's key 4 is an ordinary tag.
    if (fixed >= 0 && block.key != 4) return -1;
    if (!m_indexed) IndexStructures();
    const std::int64_t next = NextStructure(p);
    const std::int64_t room = next - p;
    if (const std::int64_t own = OwnLengthWord(p, next); own >= 0) return own;
    if (IsPaletteKey(block.key) && room >= 48) {
        const BYTE* head = m_f.data + p;
        const std::int64_t count = ReadI32(head + 12);
        const std::int64_t bytes = 48 + 20 * count;
        if (ReadI32(head + 8) == 1 && count >= 2 && bytes <= room) return bytes;
    }
    if (const std::int64_t record = RecordSize(block.key); record >= 0 && record <= room) return record;
    return room;
}

int CountLayers(const FileView& f)
{
    return FileIndex(f).CountLayers();
}

DWORD ReadLayer(FileIndex& index, int n, LayerInfo* info, std::string* detail)
{
    *info = {};
    const FileView& f = index.View();
    if (index.Version() == 0) {
        *detail = "not a layer file";
        return ERROR_BAD_FORMAT;
    }
    if (n < 0 || n >= index.CountLayers()) {
        *detail = "the file has no layer " + std::to_string(n);
        return ERROR_INVALID_PARAMETER;
    }
    const std::int64_t desc = index.FindPayload(n, 0, kDescriptorBytes);
    if (desc < 0) {
        *detail = "the layer descriptor is missing or lies outside the file";
        return ERROR_FILE_CORRUPT;
    }
    const int width = ReadI32(f.data + desc + 4);
    const int height = ReadI32(f.data + desc + 8);
    const int type = ReadI32(f.data + desc + 12);
    if (width <= 0 || height <= 0) {
        *detail = "the layer's width or height is not positive";
        return ERROR_FILE_CORRUPT;
    }
    if (!isValidType(type)) {
        *detail = "unknown data type code " + std::to_string(type);
        return ERROR_FILE_CORRUPT;
    }
    const std::int64_t need = SampleBytes(width, height, type);
    const std::int64_t data = index.FindPayload(n, 1, 4);
    if (data < 0) {
        *detail = "the data block is missing or lies outside the file";
        return ERROR_FILE_CORRUPT;
    }
    const std::int64_t count = static_cast<std::uint32_t>(ReadI32(f.data + data));
    if (need < 0 || count < need) {
        *detail = "the data block is shorter than height x width x element size";
        return ERROR_FILE_CORRUPT;
    }
    // Samples must be followed by at least one byte of the file, as every reader expects.
    if (data + 4 + count >= f.size) {
        *detail = "the samples run to or past the end of the file";
        return ERROR_FILE_CORRUPT;
    }
    info->width = width;
    info->height = height;
    info->type = type;
    info->samples = data + 4;
    info->sampleBytes = need;
    return 0;
}

DWORD ReadLayer(const FileView& f, int n, LayerInfo* info, std::string* detail)
{
    FileIndex index(f);
    return ReadLayer(index, n, info, detail);
}

DWORD DescribeLayer(FileIndex& index, int n, LayerOut* out, std::string* detail)
{
    *out = {};
    LayerInfo info;
    if (DWORD e = ReadLayer(index, n, &info, detail)) return e;
    out->width = info.width;
    out->height = info.height;
    out->type = info.type;
    out->samples = index.View().data + info.samples;
    for (const BlockRef& b : index.Blocks(n)->blocks) {
        if (b.key == 0 || b.key == 1) continue;
        const std::int64_t bytes = index.PayloadSize(b);
        if (bytes < 0) continue;  // points outside the file: nobody can read it
        out->blocks.push_back({b.key, index.View().data + b.payload, bytes});
    }
    return 0;
}

DWORD DescribeFile(FileIndex& index, std::vector<LayerOut>* layers, std::string* detail)
{
    layers->clear();
    if (index.Version() == 0) {
        *detail = "not a layer file";
        return ERROR_BAD_FORMAT;
    }
    if (index.ListCut()) {
        *detail = "the layer list runs past " + std::to_string(kMaxLinks) +
                  " entries; the file cannot be rewritten without the layers beyond";
        return ERROR_NOT_SUPPORTED;
    }
    // Without shared blocks the chains cannot hold more headers than fit in the file.
    const std::int64_t budget = kMaxLinks + index.View().size / kBlockHeaderBytes;
    std::int64_t blocks = 0;
    layers->resize(static_cast<size_t>(index.CountLayers()));
    for (int n = 0; n < index.CountLayers(); ++n) {
        const std::string which = "layer " + std::to_string(n) + ": ";
        if (DWORD e = DescribeLayer(index, n, &(*layers)[size_t(n)], detail)) {
            *detail = which + *detail;
            return e;
        }
        const Chain* chain = index.Blocks(n);
        if (chain->cut) {
            *detail = which + "the block chain runs past " + std::to_string(kMaxLinks) +
                      " blocks; the file cannot be rewritten without the blocks beyond";
            return ERROR_NOT_SUPPORTED;
        }
        blocks += std::int64_t(chain->blocks.size());
        if (blocks > budget) {
            *detail = "the layers' block chains hold more blocks than the file has room for";
            return ERROR_FILE_CORRUPT;
        }
    }
    return 0;
}

namespace {

constexpr std::int64_t Align(std::int64_t v, std::int64_t a)
{
    return (v + a - 1) / a * a;
}

struct Plan {
    std::int64_t size = 0;
    std::vector<std::int64_t> firstHeader;  // per layer
    std::vector<std::int64_t> descriptor;   // payload offsets
    std::vector<std::int64_t> data;         // payload offset of the data block (its count)
    std::vector<std::vector<std::int64_t>> payloads;
};

bool MakePlan(const std::vector<LayerOut>& layers, Plan* plan)
{
    // Every layer and block must be reachable by a reader's bounded walk.
    if (layers.empty() || layers.size() > size_t(kMaxLinks)) return false;
    std::int64_t pos = kHeaderBytes + kLayerEntryBytes * std::int64_t(layers.size());
    for (const LayerOut& l : layers) {
        const std::int64_t sampleBytes = SampleBytes(l.width, l.height, l.type);
        if (sampleBytes < 0 || sampleBytes >= kMaxFileBytes || l.blocks.size() > size_t(kMaxLinks - 2))
            return false;
        plan->firstHeader.push_back(pos);
        pos += kBlockHeaderBytes * std::int64_t(2 + l.blocks.size());
        pos = Align(pos + 4, 8);
        plan->descriptor.push_back(pos);
        pos += kDescriptorBytes;
        const std::int64_t samples = Align(pos + 4, 64);
        plan->data.push_back(samples - 4);
        pos = samples + sampleBytes;
        if (pos >= kMaxFileBytes) return false;
        std::vector<std::int64_t> offsets;
        for (const BlockOut& b : l.blocks) {
            if (b.bytes < 0 || b.bytes >= kMaxFileBytes - pos) return false;
            pos = Align(pos + 4, 8);
            offsets.push_back(pos);
            pos += b.bytes;
        }
        plan->payloads.push_back(std::move(offsets));
        if (pos >= kMaxFileBytes) return false;
    }
    // Bytes after the last samples: readers refuse samples that end the file.
    plan->size = Align(pos + 8, 8);
    return plan->size < kMaxFileBytes;
}

DWORD WriteAt(platform::AtomicFile& out, const void* data, std::int64_t bytes, std::int64_t offset)
{
    return out.WriteAt(static_cast<std::uint64_t>(offset), data, static_cast<std::uint64_t>(bytes))
               ? 0
               : GetLastError();
}

/// Puts a payload of files being rewritten file to file, the rest from memory.
DWORD Put(platform::AtomicFile& out, const BYTE* data, std::int64_t bytes, std::int64_t offset,
          const std::vector<SourceFile>& sources)
{
    constexpr std::int64_t kKernelCopyFrom = 1 << 16;
    for (const SourceFile& source : sources)
        if (source.file && bytes >= kKernelCopyFrom && data >= source.base &&
            data - source.base <= source.size - bytes)
            return out.CopyFrom(source.file, static_cast<std::uint64_t>(data - source.base),
                                static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(bytes))
                       ? DWORD(0)
                       : GetLastError();
    return WriteAt(out, data, bytes, offset);
}

/// Puts the file of `layers` laid out by `plan` through put(data, bytes, offset, isSamples):
/// every structure and payload in file order; what is not put stays zero.
template <class Put>
DWORD PutLayers(const std::vector<LayerOut>& layers, const Plan& plan, Put&& put)
{
    // The small structures are gathered in one buffer per layer region and put at once.
    std::vector<BYTE> head(static_cast<size_t>(kHeaderBytes + kLayerEntryBytes * std::int64_t(layers.size())),
                           0);
    std::memcpy(head.data(), kMagic, 4);
    WriteI32(head.data() + 4, 3);
    for (size_t i = 0; i < layers.size(); ++i) {
        BYTE* e = head.data() + kHeaderBytes + kLayerEntryBytes * std::int64_t(i);
        WriteI32(e + 4, static_cast<std::int32_t>(plan.firstHeader[i]));
        const bool last = i + 1 == layers.size();
        WriteI32(e + 8,
                 last ? 0 : static_cast<std::int32_t>(kHeaderBytes + kLayerEntryBytes * std::int64_t(i + 1)));
    }
    if (DWORD e = put(head.data(), std::int64_t(head.size()), 0, false)) return e;

    for (size_t i = 0; i < layers.size(); ++i) {
        const LayerOut& l = layers[i];
        const std::int64_t first = plan.firstHeader[i];
        const std::int64_t blocks = 2 + std::int64_t(l.blocks.size());
        // Headers, the descriptor's length word and the descriptor are contiguous.
        std::vector<BYTE> meta(static_cast<size_t>(plan.descriptor[i] + kDescriptorBytes - first), 0);
        auto header = [&](std::int64_t k, std::int32_t key, std::int64_t payload) {
            BYTE* h = meta.data() + kBlockHeaderBytes * k;
            WriteI32(h, key);
            WriteI32(h + 4, static_cast<std::int32_t>(payload));
            WriteI32(h + 8,
                     k + 1 < blocks ? static_cast<std::int32_t>(first + kBlockHeaderBytes * (k + 1)) : 0);
        };
        header(0, 0, plan.descriptor[i]);
        header(1, 1, plan.data[i]);
        for (size_t b = 0; b < l.blocks.size(); ++b)
            header(std::int64_t(b) + 2, l.blocks[b].key, plan.payloads[i][b]);
        BYTE* d = meta.data() + (plan.descriptor[i] - first);
        WriteI32(d - 4, static_cast<std::int32_t>(kDescriptorBytes));
        WriteI32(d, static_cast<std::int32_t>(kDescriptorBytes));
        WriteI32(d + 4, l.width);
        WriteI32(d + 8, l.height);
        WriteI32(d + 12, l.type);
        if (DWORD e = put(meta.data(), std::int64_t(meta.size()), first, false)) return e;

        const std::int64_t sampleBytes = SampleBytes(l.width, l.height, l.type);
        BYTE count[4];
        WriteI32(count, static_cast<std::int32_t>(static_cast<std::uint32_t>(sampleBytes)));
        if (DWORD e = put(count, 4, plan.data[i], false)) return e;
        if (l.samples && !l.samplesWritten)
            if (DWORD e = put(l.samples, sampleBytes, plan.data[i] + 4, true)) return e;
        for (size_t b = 0; b < l.blocks.size(); ++b) {
            const BlockOut& blk = l.blocks[b];
            BYTE length[4];
            WriteI32(length, static_cast<std::int32_t>(blk.bytes));
            if (DWORD e = put(length, 4, plan.payloads[i][b] - 4, false)) return e;
            if (blk.data && blk.bytes > 0)
                if (DWORD e = put(blk.data, blk.bytes, plan.payloads[i][b], false)) return e;
        }
    }
    return 0;
}

}  // namespace

std::int64_t PlannedSize(const std::vector<LayerOut>& layers)
{
    Plan plan;
    return MakePlan(layers, &plan) ? plan.size : -1;
}

std::vector<std::int64_t> PlannedSampleOffsets(const std::vector<LayerOut>& layers)
{
    Plan plan;
    std::vector<std::int64_t> offsets;
    if (!MakePlan(layers, &plan)) return offsets;
    for (std::int64_t data : plan.data) offsets.push_back(data + 4);
    return offsets;
}

DWORD WriteFile(platform::AtomicFile& out, const std::vector<LayerOut>& layers,
                std::vector<LayerPlaced>* placed, const std::vector<SourceFile>& sources)
{
    Plan plan;
    if (!MakePlan(layers, &plan)) return ERROR_FILE_TOO_LARGE;
    // Samples of a new layer are written later through a mapping, where a full disk would
    // be a crash (SIGBUS) instead of an error: the writer reserves the space now. A
    // rewrite copies from its source and needs no reservation. Samples already written stay:
    // the version holds nothing else yet, so all around them is zeros.
    const bool keep =
        std::any_of(layers.begin(), layers.end(), [](const LayerOut& l) { return l.samplesWritten; });
    const auto size = static_cast<std::uint64_t>(plan.size);
    if (keep ? out.Size() != size && !out.SetSize(size, sources.empty())
             : !out.SetSize(0) || !out.SetSize(size, sources.empty()))
        return GetLastError();
    const DWORD e =
        PutLayers(layers, plan, [&](const BYTE* data, std::int64_t bytes, std::int64_t offset, bool) {
            return Put(out, data, bytes, offset, sources);
        });
    if (e) return e;
    if (placed) {
        placed->clear();
        for (size_t i = 0; i < layers.size(); ++i) placed->push_back({plan.data[i] + 4, plan.payloads[i]});
    }
    return 0;
}

DWORD PutSamples(platform::AtomicFile& out, const BYTE* samples, std::int64_t bytes, std::int64_t offset,
                 const std::vector<SourceFile>& sources, const std::atomic<bool>* stop)
{
    // Pieces of the size the writer starts writing back at, so a stop waits for one at most.
    constexpr std::int64_t kPiece = std::int64_t(64) << 20;
    for (std::int64_t done = 0; done < bytes;) {
        if (stop && stop->load(std::memory_order_relaxed)) return ERROR_OPERATION_ABORTED;
        const std::int64_t n = std::min(kPiece, bytes - done);
        if (const DWORD e = Put(out, samples + done, n, offset + done, sources)) return e;
        done += n;
    }
    return 0;
}

DWORD RewriteAroundSamples(platform::AtomicFile& out, const std::vector<LayerOut>& layers)
{
    Plan plan;
    if (!MakePlan(layers, &plan)) return ERROR_FILE_TOO_LARGE;
    // The bytes between the samples of the layers (and before the first and after the last)
    // are composed in memory first, zeros where nothing goes, so that no payload is
    // overwritten before it has been read: payloads may point into the version itself.
    struct Gap {
        std::int64_t begin;
        std::vector<BYTE> bytes;
    };
    std::vector<Gap> gaps;
    std::int64_t at = 0;
    for (size_t i = 0; i < layers.size(); ++i) {
        const std::int64_t samples = plan.data[i] + 4;
        gaps.push_back({at, std::vector<BYTE>(static_cast<size_t>(samples - at), 0)});
        at = samples + SampleBytes(layers[i].width, layers[i].height, layers[i].type);
    }
    gaps.push_back({at, std::vector<BYTE>(static_cast<size_t>(plan.size - at), 0)});
    const DWORD e = PutLayers(
        layers, plan,
        [&](const BYTE* data, std::int64_t bytes, std::int64_t offset, bool isSamples) -> DWORD {
            if (isSamples) return 0;  // they are in place
            for (Gap& g : gaps)
                if (offset >= g.begin && offset - g.begin <= std::int64_t(g.bytes.size()) - bytes) {
                    std::memcpy(g.bytes.data() + (offset - g.begin), data, static_cast<size_t>(bytes));
                    return 0;
                }
            return ERROR_INVALID_DATA;  // a structure across samples: not a layout of this plan
        });
    if (e) return e;
    if (!out.SetSize(static_cast<std::uint64_t>(plan.size), FALSE)) return GetLastError();
    for (const Gap& g : gaps)
        if (DWORD w = WriteAt(out, g.bytes.data(), std::int64_t(g.bytes.size()), g.begin)) return w;
    return 0;
}

}  // namespace layerfile
