#include "outside/basecore/tags.h"

#include <algorithm>
#include <cstring>

#include <memory>
#include <string>

#include "outside/basecore/file_helpers.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/memory_map.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/kernel/atomic_file.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"

using namespace layerfile;

// The layer functions keep their detail text in rdp_layer.cpp; tag functions report
// through the same channel.
namespace {

BOOL Fail(DWORD code)
{
    SetLastLayerError(code, nullptr, "");
    return FALSE;
}

/// Fails with a detail text that GetLastLayerError and GetErrorMessage give.
BOOL FailWith(DWORD code, const char* path, const std::string& what)
{
    SetLastLayerError(code, path, what);
    return FALSE;
}

/// Maps an existing file read-only; never creates one.
bool MapExisting(const char* path, CMemoryMap* map)
{
    if (!path || !*path) return Fail(ERROR_INVALID_PARAMETER);
    if (!FileFind(path)) return Fail(ERROR_FILE_NOT_FOUND);
    return map->Open(path, CMemoryMap::kReadOnly);
}

FileView ViewOf(const CMemoryMap& map)
{
    return {map.AdresData(), static_cast<std::int64_t>(map.Size())};
}

/// A closed file looked at for its tags: small files are read whole, larger ones mapped.
/// Unmapping stalls every thread of the process, which for a small file costs far more
/// than the read; a folder of masks read for their captions is thousands of such files.
struct TagSource {
    static constexpr std::int64_t kReadWholeBytes = 1 << 20;
    CMemoryMap map;
    std::vector<BYTE> bytes;
    bool mapped = false;
    FileView View() const
    {
        return mapped ? ViewOf(map) : FileView{bytes.data(), static_cast<std::int64_t>(bytes.size())};
    }
};

/// Reads `path` (never creating it) into `source`; false with the last-error code set.
bool OpenTagSource(const char* path, TagSource* source)
{
    if (!path || !*path) return Fail(ERROR_INVALID_PARAMETER);
    if (!FileFind(path)) return Fail(ERROR_FILE_NOT_FOUND);
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool read = GetFileSizeEx(file, &size) != FALSE;
    if (read && size.QuadPart <= TagSource::kReadWholeBytes) {
        source->bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(size.QuadPart, 0)));
        DWORD got = 0;
        const bool whole = source->bytes.empty() || (ReadFile(file, source->bytes.data(),
                                                              DWORD(source->bytes.size()), &got, nullptr) &&
                                                     got == source->bytes.size());
        // A short read is a file that shrank under it.
        const DWORD error = whole ? 0 : got < source->bytes.size() ? ERROR_READ_FAULT : GetLastError();
        CloseHandle(file);
        if (!whole) return Fail(error);
        return true;
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!read) return Fail(error);
    source->mapped = true;
    return source->map.Open(path, CMemoryMap::kReadOnly);
}

/// Reads `path` (never creating it) and finds block `id` of its first layer; false with
/// the last-error code set when the file, its layer or the block is missing.
bool FindFileTag(const char* path, int id, TagSource* source, std::unique_ptr<FileIndex>* index,
                 BlockRef* block)
{
    if (!OpenTagSource(path, source)) return false;
    *index = std::make_unique<FileIndex>(source->View());
    if (!(*index)->Blocks(0)) return Fail(ERROR_BAD_FORMAT);
    const BlockRef* b = (*index)->Find(0, id);
    if (!b) return Fail(ERROR_NOT_FOUND);
    *block = *b;
    return true;
}

/// Bytes a sound palette tag uses: its 48-byte head and 20 bytes per entry.
std::int64_t PaletteTagBytes(const BYTE* payload)
{
    return 48 + 20 * std::int64_t(ReadI32(payload + 12));
}

bool StatisticsSizeOk(int id, std::int64_t size)
{
    if (id == 2 || id == 3) return size == kStatisticsBytes;
    if (id == 4) return size == kPartStatisticsBytes;
    return true;
}

}  // namespace

std::optional<LayerHeader> LayerHeaderOf(const char* path)
{
    TagSource source;
    if (!OpenTagSource(path, &source)) return std::nullopt;
    FileIndex index(source.View());
    LayerInfo info;
    std::string detail;
    if (const DWORD e = ReadLayer(index, 0, &info, &detail)) {
        FailWith(e, path, detail);
        return std::nullopt;
    }
    return LayerHeader{info.width, info.height, info.type};
}

BOOL GetTag(const char* path, int id, int size, void* buffer)
{
    if (!buffer || size < 0) return Fail(ERROR_INVALID_PARAMETER);
    TagSource source;
    std::unique_ptr<FileIndex> index;
    BlockRef b;
    if (!FindFileTag(path, id, &source, &index, &b)) return FALSE;
    // Only what the tag itself holds is copied, never the bytes behind it.
    if (index->PayloadSize(b) < size) return Fail(ERROR_INVALID_DATA);
    std::memcpy(buffer, index->View().data + b.payload, static_cast<size_t>(size));
    return TRUE;
}

int GetSizeTag(const char* path, int id)
{
    TagSource source;
    std::unique_ptr<FileIndex> index;
    BlockRef b;
    if (!FindFileTag(path, id, &source, &index, &b)) return -1;
    const std::int64_t size = index->PayloadSize(b);
    if (size < 0) SetLastError(ERROR_FILE_CORRUPT);
    return static_cast<int>(size);
}

BOOL ReadTag(const char* path, int id, std::int64_t maxBytes, std::vector<BYTE>* payload)
{
    if (!payload || maxBytes < 0) return Fail(ERROR_INVALID_PARAMETER);
    payload->clear();
    TagSource source;
    std::unique_ptr<FileIndex> index;
    BlockRef b;
    if (!FindFileTag(path, id, &source, &index, &b)) return FALSE;
    const std::int64_t size = index->PayloadSize(b);
    if (size < 0) return Fail(ERROR_FILE_CORRUPT);
    if (size > maxBytes) return Fail(ERROR_FILE_TOO_LARGE);
    const BYTE* p = index->View().data + b.payload;
    payload->assign(p, p + size);
    return TRUE;
}

namespace {

bool EditsAllowed(const TagEdits& edits)
{
    for (const auto& [id, bytes] : edits.set)
        if (id == 0 || id == 1 || !StatisticsSizeOk(id, std::int64_t(bytes.size()))) return false;
    for (int id : edits.remove)
        if (id == 0 || id == 1) return false;
    return true;
}

/// The layers of the file `view` with `groups` applied to layer `layer` one after the other,
/// pointing into the view and the groups. `path` names the file in the detail text of a failure.
bool EditedLayers(const FileView& view, const char* path, int layer, const std::vector<TagEdits>& groups,
                  std::vector<LayerOut>* layers)
{
    FileIndex index(view);
    if (index.Version() == 0) return Fail(ERROR_BAD_FORMAT);
    if (layer < 0 || layer >= index.CountLayers()) return Fail(ERROR_INVALID_PARAMETER);
    std::string detail;
    // A damaged file is left as it is rather than rewritten without what cannot be read.
    if (const DWORD e = DescribeFile(index, layers, &detail)) return FailWith(e, path, detail);
    LayerOut& target = (*layers)[static_cast<size_t>(layer)];
    for (const TagEdits& edits : groups) {
        std::vector<BlockOut> kept;
        for (const BlockOut& b : target.blocks)
            if (!edits.remove.count(b.key) && !edits.set.count(b.key)) kept.push_back(b);
        for (const auto& [id, bytes] : edits.set)
            kept.push_back({id, bytes.data(), std::int64_t(bytes.size())});
        target.blocks = std::move(kept);
    }
    // A block past the bound would be written where no reader's walk reaches it.
    if (2 + target.blocks.size() > size_t(kMaxLinks))
        return FailWith(ERROR_NOT_SUPPORTED, path,
                        "layer " + std::to_string(layer) + " would hold more than " +
                            std::to_string(kMaxLinks) + " blocks, more than a reader follows");
    return true;
}

/// Writes the file `view` with `groups` applied to layer `layer` into `out`, uncommitted.
/// `path` names the file in the detail text of a failure.
bool WriteEdited(const FileView& view, const char* path, int layer, const std::vector<TagEdits>& groups,
                 platform::AtomicFile& out, HANDLE viewFile)
{
    std::vector<LayerOut> layers;
    if (!EditedLayers(view, path, layer, groups, &layers)) return false;
    std::vector<SourceFile> sources;
    if (viewFile) sources.push_back({view.data, view.size, viewFile});
    if (const DWORD e = WriteFile(out, layers, nullptr, sources)) return Fail(e);
    return true;
}

bool GroupsAllowed(const std::vector<TagEdits>& groups)
{
    for (const TagEdits& g : groups)
        if (!EditsAllowed(g)) return false;
    return true;
}

}  // namespace

BOOL ApplyTagEdits(const char* path, int layer, const TagEdits& edits)
{
    if (!EditsAllowed(edits)) return Fail(ERROR_INVALID_PARAMETER);
    CMemoryMap map;
    if (!MapExisting(path, &map)) return FALSE;
    platform::AtomicFile out;
    if (!out.Create(path) || !WriteEdited(ViewOf(map), path, layer, {edits}, out, map.File())) return FALSE;
    map.Close();
    return out.Commit();
}

BOOL RewriteWithTagEdits(const BYTE* image, std::int64_t bytes, int layer, const TagEdits& edits,
                         const char* target, HANDLE imageFile)
{
    if (!image || bytes <= 0 || !target || !*target || !EditsAllowed(edits))
        return Fail(ERROR_INVALID_PARAMETER);
    platform::AtomicFile out;
    if (!out.Create(target) || !WriteEdited({image, bytes}, target, layer, {edits}, out, imageFile))
        return FALSE;
    return out.Commit();
}

void ApplyTagEditsToKeys(const TagEdits& group, std::vector<int>* keys)
{
    std::erase_if(*keys, [&](int key) { return group.set.count(key) || group.remove.count(key); });
    for (const auto& [id, bytes] : group.set) keys->push_back(id);
}

BOOL CommitWithTagEdits(platform::AtomicFile& version, const BYTE* image, std::int64_t bytes, int layer,
                        const std::vector<TagEdits>& groups)
{
    const std::string target = version.Target();
    if (!image || bytes <= 0 || !version.IsOpen() || !GroupsAllowed(groups))
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<LayerOut> layers;
    if (!EditedLayers({image, bytes}, target.c_str(), layer, groups, &layers)) return FALSE;
    // The samples are most of the file: where the changed tags leave them in their place
    // (the usual case: a few blocks fit the room before the samples' 64-byte boundary), the
    // version is only rewritten around them.
    bool inPlace = true;
    FileIndex index({image, bytes});
    const std::vector<std::int64_t> planned = PlannedSampleOffsets(layers);
    for (size_t i = 0; inPlace && i < layers.size(); ++i) {
        LayerInfo info;
        std::string detail;
        inPlace =
            i < planned.size() && ReadLayer(index, int(i), &info, &detail) == 0 && info.samples == planned[i];
    }
    if (inPlace) {
        if (const DWORD e = RewriteAroundSamples(version, layers)) return Fail(e);
        return version.Commit();
    }
    platform::AtomicFile out;
    if (!out.Create(target.c_str())) return FALSE;
    if (const DWORD e = WriteFile(out, layers, nullptr, {SourceFile{image, bytes, version.Handle()}}))
        return Fail(e);
    version.Discard();
    return out.Commit();
}

BOOL SetTag(const char* path, int id, int size, const void* data)
{
    if (size < 0 || (size > 0 && !data)) return Fail(ERROR_INVALID_PARAMETER);
    TagEdits edits;
    const BYTE* p = static_cast<const BYTE*>(data);
    edits.set[id] = std::vector<BYTE>(p, p + size);
    return ApplyTagEdits(path, 0, edits);
}

BOOL DeleteTag(const char* path, int id)
{
    TagEdits edits;
    edits.remove.insert(id);
    return ApplyTagEdits(path, 0, edits);
}

namespace {

/// The tags of a layer of a file that `accept` takes, keys 0 to 4 never.
template <class Accept>
bool CollectTags(const char* path, int layer, Accept accept, TagEdits* edits)
{
    CMemoryMap map;
    if (!MapExisting(path, &map)) return false;
    FileIndex index(ViewOf(map));
    const Chain* chain = index.Blocks(layer);
    if (!chain) return Fail(ERROR_BAD_FORMAT);
    for (const BlockRef& b : chain->blocks) {
        if (IsLayerOwnKey(b.key) || !accept(b.key) || edits->set.count(b.key)) continue;
        const std::int64_t size = index.PayloadSize(b);
        if (size < 0) continue;
        const BYTE* p = index.View().data + b.payload;
        edits->set[b.key] = std::vector<BYTE>(p, p + size);
    }
    return true;
}

}  // namespace

BOOL CopyTag(const char* target, int targetLayer, const char* source, int sourceLayer, TagFilter filter)
{
    TagEdits edits;
    if (!CollectTags(
            source, sourceLayer, [filter](int id) { return !filter || filter(id); }, &edits))
        return FALSE;
    if (!FileFind(target)) return Fail(ERROR_FILE_NOT_FOUND);
    if (edits.Empty()) return TRUE;
    return ApplyTagEdits(target, targetLayer, edits);
}

BOOL CopyTag(const char* target, const char* source)
{
    return CopyTag(target, 0, source, 0, nullptr);
}

BOOL CopyTag(const char* target, const char* source, int id)
{
    if (IsLayerOwnKey(id)) return Fail(ERROR_INVALID_PARAMETER);
    TagEdits edits;
    if (!CollectTags(
            source, 0, [id](int key) { return key == id; }, &edits))
        return FALSE;
    if (edits.Empty()) return Fail(ERROR_NOT_FOUND);
    if (!FileFind(target)) return Fail(ERROR_FILE_NOT_FOUND);
    return ApplyTagEdits(target, 0, edits);
}

namespace {

template <class Accept>
BOOL CopyOpenTags(CRDPLayer* target, const CRDPLayer* source, Accept accept, bool needOne)
{
    if (!target || !source || !target->IsOpen() || !source->IsOpen()) return Fail(ERROR_INVALID_PARAMETER);
    bool copied = false;
    for (int id : source->GetTagIds()) {
        if (IsLayerOwnKey(id) || !accept(id)) continue;
        const int size = source->GetSizeTag(id);
        const void* p = source->GetTag(id);
        if (size < 0 || !p) continue;
        if (!target->SetTag(id, size, p)) return FALSE;
        copied = true;
    }
    if (needOne && !copied) return Fail(ERROR_NOT_FOUND);
    return TRUE;
}

}  // namespace

BOOL CopyTag(CRDPLayer* target, const char* source)
{
    if (!target || !target->IsOpen()) return Fail(ERROR_INVALID_PARAMETER);
    TagEdits edits;
    if (!CollectTags(
            source, 0, [](int) { return true; }, &edits))
        return FALSE;
    return target->AppendTagEdits(edits);
}

BOOL CopyTag(CRDPLayer* target, const char* source, int id)
{
    if (!target || !target->IsOpen() || IsLayerOwnKey(id)) return Fail(ERROR_INVALID_PARAMETER);
    TagEdits edits;
    if (!CollectTags(
            source, 0, [id](int key) { return key == id; }, &edits))
        return FALSE;
    if (edits.Empty()) return Fail(ERROR_NOT_FOUND);
    return target->AppendTagEdits(edits);
}

BOOL CopyTag(CRDPLayer* target, const CRDPLayer* source)
{
    return CopyOpenTags(
        target, source, [](int) { return true; }, false);
}

BOOL CopyTag(CRDPLayer* target, const CRDPLayer* source, int id)
{
    if (IsLayerOwnKey(id)) return Fail(ERROR_INVALID_PARAMETER);
    return CopyOpenTags(
        target, source, [id](int key) { return key == id; }, true);
}

BOOL CopyTag(CRDPLayer* target, const CRDPLayer* source, TagFilter filter)
{
    return CopyOpenTags(
        target, source, [filter](int id) { return !filter || filter(id); }, false);
}

BOOL IsSoundPaletteTag(const BYTE* payload, std::int64_t size)
{
    if (!payload || size < 48) return FALSE;
    return ReadI32(payload + 8) == 1 && ReadI32(payload + 12) >= 2 && PaletteTagBytes(payload) <= size;
}

BOOL GetPaletteTag(const char* path, int id, std::vector<BYTE>* payload)
{
    if (!payload) return Fail(ERROR_INVALID_PARAMETER);
    TagSource source;
    std::unique_ptr<FileIndex> index;
    BlockRef b;
    if (!FindFileTag(path, id, &source, &index, &b)) return FALSE;
    const std::int64_t size = index->PayloadSize(b);
    const BYTE* p = index->View().data + b.payload;
    if (size < 0 || !IsSoundPaletteTag(p, size)) return Fail(ERROR_FILE_CORRUPT);
    payload->assign(p, p + PaletteTagBytes(p));
    return TRUE;
}

BOOL GetPaletteTag(const CRDPLayer& layer, int id, std::vector<BYTE>* payload)
{
    if (!payload) return Fail(ERROR_INVALID_PARAMETER);
    const BYTE* p = static_cast<const BYTE*>(layer.GetTag(id));
    const int size = layer.GetSizeTag(id);
    if (!p) return Fail(ERROR_NOT_FOUND);
    if (!IsSoundPaletteTag(p, size)) return Fail(ERROR_FILE_CORRUPT);
    payload->assign(p, p + PaletteTagBytes(p));
    return TRUE;
}
