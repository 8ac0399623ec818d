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

int Version(const FileView& f)
{
    if (!f.data || f.size < kHeaderBytes || std::memcmp(f.data, kMagic, 4) != 0) return 0;
    const int v = ReadI32(f.data + 4);
    return (v == 2 || v == 3) ? v : 0;
}

namespace {

/// Offsets of the layer entries of a version 3 file in list order. A "next" that is invalid
/// or returns to an entry already seen ends the list, so a damaged list never loops.
std::vector<std::int64_t> LayerEntries(const FileView& f)
{
    std::vector<std::int64_t> entries;
    std::int64_t entry = kHeaderBytes;
    if (!ValidRange(f, entry, kLayerEntryBytes)) return entries;
    std::unordered_set<std::int64_t> seen;
    while (entries.size() < size_t(kMaxLinks) && seen.insert(entry).second) {
        entries.push_back(entry);
        const std::int64_t next = ReadI32(f.data + entry + 8);
        if (!ValidRange(f, next, kLayerEntryBytes)) break;
        entry = next;
    }
    return entries;
}

}  // namespace

int CountLayers(const FileView& f)
{
    const int v = Version(f);
    if (v == 0) return 0;
    if (v == 2) return 1;
    return static_cast<int>(LayerEntries(f).size());
}

std::int64_t FirstBlock(const FileView& f, int n)
{
    const int v = Version(f);
    if (v == 0 || n < 0) return -1;
    if (v == 2) return n == 0 && ValidRange(f, kHeaderBytes, kBlockHeaderBytes) ? kHeaderBytes : -1;
    const std::vector<std::int64_t> entries = LayerEntries(f);
    if (n >= static_cast<int>(entries.size())) return -1;
    const std::int64_t first = ReadI32(f.data + entries[static_cast<size_t>(n)] + 4);
    return ValidRange(f, first, kBlockHeaderBytes) ? first : -1;
}

bool ListBlocks(const FileView& f, int n, std::vector<BlockRef>* blocks)
{
    blocks->clear();
    std::int64_t header = FirstBlock(f, n);
    if (header < 0) return false;
    // A chain that returns to a block already listed ends there.
    std::unordered_set<std::int64_t> seen;
    for (int links = 0; links < kMaxLinks && seen.insert(header).second; ++links) {
        const BYTE* h = f.data + header;
        blocks->push_back({ReadI32(h), header, ReadI32(h + 4)});
        const std::int64_t next = ReadI32(h + 8);
        if (!ValidRange(f, next, kBlockHeaderBytes)) break;
        header = next;
    }
    return true;
}

std::int64_t FindPayload(const FileView& f, int n, std::int32_t key, std::int64_t bytes)
{
    std::int64_t header = FirstBlock(f, n);
    for (int links = 0; header >= 0 && links < kMaxLinks; ++links) {
        const BYTE* h = f.data + header;
        if (ReadI32(h) == key) {
            const std::int64_t payload = ReadI32(h + 4);
            return ValidRange(f, payload, bytes) ? payload : -1;
        }
        const std::int64_t next = ReadI32(h + 8);
        if (!ValidRange(f, next, kBlockHeaderBytes)) return -1;
        header = next;
    }
    return -1;
}

static std::int64_t FixedSize(std::int32_t key)
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

std::int64_t PayloadSize(const FileView& f, int n, const BlockRef& block)
{
    if (!ValidRange(f, block.payload, 0) || block.payload >= f.size) return -1;
    if (block.key == 1) {
        if (!ValidRange(f, block.payload, 4)) return -1;
        const std::int64_t count = static_cast<std::uint32_t>(ReadI32(f.data + block.payload));
        return ValidRange(f, block.payload, 4 + count) ? 4 + count : -1;
    }
    const std::int64_t fixed = FixedSize(block.key);
    if (fixed >= 0) return ValidRange(f, block.payload, fixed) ? fixed : -1;
    if (block.payload >= 4) {
        const std::int64_t length = ReadI32(f.data + block.payload - 4);
        if (length >= 0 && ValidRange(f, block.payload, length)) return length;
    }
    // Written by someone else without a length word: up to the next structure we know of.
    std::int64_t end = f.size;
    std::vector<BlockRef> blocks;
    ListBlocks(f, n, &blocks);
    for (const BlockRef& b : blocks) {
        if (b.header > block.payload) end = std::min(end, b.header);
        if (b.payload > block.payload) end = std::min(end, b.payload - (b.key == 1 ? 0 : 4));
    }
    return std::max<std::int64_t>(0, end - block.payload);
}

DWORD ReadLayer(const FileView& f, int n, LayerInfo* info, std::string* detail)
{
    *info = {};
    if (Version(f) == 0) {
        *detail = "not a layer file";
        return ERROR_BAD_FORMAT;
    }
    if (n < 0 || n >= CountLayers(f)) {
        *detail = "the file has no layer " + std::to_string(n);
        return ERROR_INVALID_PARAMETER;
    }
    const std::int64_t desc = FindPayload(f, n, 0, kDescriptorBytes);
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
    const std::int64_t need = std::int64_t(width) * height * elementBytes(type);
    const std::int64_t data = FindPayload(f, n, 1, 4);
    if (data < 0) {
        *detail = "the data block is missing or lies outside the file";
        return ERROR_FILE_CORRUPT;
    }
    const std::int64_t count = static_cast<std::uint32_t>(ReadI32(f.data + data));
    if (count < need) {
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

DWORD DescribeLayer(const FileView& f, int n, LayerOut* out, std::string* detail)
{
    *out = {};
    LayerInfo info;
    if (DWORD e = ReadLayer(f, n, &info, detail)) return e;
    out->width = info.width;
    out->height = info.height;
    out->type = info.type;
    out->samples = f.data + info.samples;
    std::vector<BlockRef> blocks;
    ListBlocks(f, n, &blocks);
    for (const BlockRef& b : blocks) {
        if (b.key == 0 || b.key == 1) continue;
        const std::int64_t bytes = PayloadSize(f, n, b);
        if (bytes < 0) continue;  // points outside the file: nobody can read it
        out->blocks.push_back({b.key, f.data + b.payload, bytes});
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
    if (layers.empty()) return false;
    std::int64_t pos = kHeaderBytes + kLayerEntryBytes * std::int64_t(layers.size());
    for (const LayerOut& l : layers) {
        if (l.width <= 0 || l.height <= 0 || !isValidType(l.type)) return false;
        plan->firstHeader.push_back(pos);
        pos += kBlockHeaderBytes * std::int64_t(2 + l.blocks.size());
        pos = Align(pos + 4, 8);
        plan->descriptor.push_back(pos);
        pos += kDescriptorBytes;
        const std::int64_t samples = Align(pos + 4, 64);
        plan->data.push_back(samples - 4);
        pos = samples + std::int64_t(l.width) * l.height * elementBytes(l.type);
        std::vector<std::int64_t> offsets;
        for (const BlockOut& b : l.blocks) {
            if (b.bytes < 0) return false;
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

}  // namespace

std::int64_t PlannedSize(const std::vector<LayerOut>& layers)
{
    Plan plan;
    return MakePlan(layers, &plan) ? plan.size : -1;
}

DWORD WriteFile(platform::AtomicFile& out, const std::vector<LayerOut>& layers,
                std::vector<LayerPlaced>* placed, const SourceFile* source)
{
    // Payloads of a file being rewritten go file to file; the rest is written from memory.
    auto put = [&](const BYTE* data, std::int64_t bytes, std::int64_t offset) -> DWORD {
        constexpr std::int64_t kKernelCopyFrom = 1 << 16;
        if (source && source->file && bytes >= kKernelCopyFrom && data >= source->base &&
            data - source->base <= source->size - bytes)
            return out.CopyFrom(source->file, static_cast<std::uint64_t>(data - source->base),
                                static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(bytes))
                       ? 0
                       : GetLastError();
        return WriteAt(out, data, bytes, offset);
    };
    Plan plan;
    if (!MakePlan(layers, &plan)) return ERROR_FILE_TOO_LARGE;
    // Samples of a new layer are written later through a mapping, where a full disk would
    // be a crash (SIGBUS) instead of an error: the writer reserves the space now. A
    // rewrite copies from its source and needs no reservation.
    if (!out.SetSize(0) || !out.SetSize(static_cast<std::uint64_t>(plan.size), !source))
        return GetLastError();

    // The small structures are gathered in one buffer per layer region and written at once.
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
    if (DWORD e = WriteAt(out, head.data(), std::int64_t(head.size()), 0)) return e;

    if (placed) placed->clear();
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
        if (DWORD e = WriteAt(out, meta.data(), std::int64_t(meta.size()), first)) return e;

        const std::int64_t sampleBytes = std::int64_t(l.width) * l.height * elementBytes(l.type);
        BYTE count[4];
        WriteI32(count, static_cast<std::int32_t>(static_cast<std::uint32_t>(sampleBytes)));
        if (DWORD e = WriteAt(out, count, 4, plan.data[i])) return e;
        if (l.samples)
            if (DWORD e = put(l.samples, sampleBytes, plan.data[i] + 4)) return e;
        for (size_t b = 0; b < l.blocks.size(); ++b) {
            const BlockOut& blk = l.blocks[b];
            BYTE length[4];
            WriteI32(length, static_cast<std::int32_t>(blk.bytes));
            if (DWORD e = WriteAt(out, length, 4, plan.payloads[i][b] - 4)) return e;
            if (blk.data && blk.bytes > 0)
                if (DWORD e = put(blk.data, blk.bytes, plan.payloads[i][b])) return e;
        }
        if (placed) placed->push_back({plan.data[i] + 4, plan.payloads[i]});
    }
    return 0;
}

}  // namespace layerfile
