#include "viewer/frame/frame_save.h"

#include <set>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/memory_map.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"

namespace {

/// Lends the layer a meter for as long as the guard lives.
class MeterLoan {
public:
    MeterLoan(CRDPLayer& layer, CMeterInfoBase* meter) : m_layer(layer), m_old(layer.GetMeterInfo())
    {
        layer.SetMeterInfo(meter);
    }
    ~MeterLoan() { m_layer.SetMeterInfo(m_old); }
    MeterLoan(const MeterLoan&) = delete;
    MeterLoan& operator=(const MeterLoan&) = delete;

private:
    CRDPLayer& m_layer;
    CMeterInfoBase* m_old;
};

SaveOutcome Failed(DWORD error)
{
    ::SetLastError(error);
    return SaveOutcome::kFailed;
}

/// The samples of the layer as one block, or null when its rows are not laid out as one.
const BYTE* ContiguousSamples(const CRDPLayer& layer)
{
    void** rows = layer.GetRows();
    if (!rows) return nullptr;
    const std::int64_t rowBytes = std::int64_t(layer.Width()) * typeInfo(DataType(layer.Type())).elementBytes;
    const BYTE* first = static_cast<const BYTE*>(rows[0]);
    for (int y = 1; y < layer.Height(); ++y)
        if (static_cast<const BYTE*>(rows[y]) != first + std::int64_t(y) * rowBytes) return nullptr;
    return first;
}

}  // namespace

SaveOutcome SaveLayerOver(CRDPLayer& work, const char* target, const char* tagSource, CMeterInfoBase* meter,
                          const TagEdits* edits, std::string* why)
{
    if (why) why->clear();
    if (!work.IsOpen() || !target || !*target || !isValidType(work.Type()))
        return Failed(ERROR_INVALID_HANDLE);
    const BYTE* samples = ContiguousSamples(work);
    if (!samples) return Failed(ERROR_NOT_SUPPORTED);

    // Statistics of the samples saved: the working copy's own may predate the last edit.
    try {
        MeterLoan loan(work, meter);
        if (!work.StatisticCountRect(nullptr)) return SaveOutcome::kFailed;
    } catch (CRDPExcept* e) {
        const bool cancelled = e->GetCode() == RDP_ERROR_CANCEL;
        e->Delete();
        if (cancelled) return SaveOutcome::kCancelled;
        return Failed(ERROR_OPERATION_ABORTED);
    }

    // The user's file gives the other layers and the tags of this one; its version on disk
    // stays the old one until the new one replaces it at the very end.
    CMemoryMap original;
    std::vector<layerfile::LayerOut> layers;
    std::vector<layerfile::SourceFile> sources;
    // The working copy's samples are copied from its file by the file system where it keeps
    // them there: one sequential copy instead of a write from its pages.
    {
        layerfile::SourceFile file;
        if (work.GetMappedFile(&file.base, &file.size, &file.file)) sources.push_back(file);
    }
    if (tagSource && *tagSource && FileFind(tagSource)) {
        // The other layers are written back as they are, so every one of them must be read
        // whole: a file that cannot be is refused rather than saved without what it holds.
        if (!original.Open(tagSource, CMemoryMap::kReadOnly)) {
            const DWORD e = ::GetLastError();
            if (why) *why = "the file cannot be read";
            return Failed(e ? e : ERROR_READ_FAULT);
        }
        const layerfile::FileView view{original.AdresData(), std::int64_t(original.Size())};
        layerfile::FileIndex index(view);
        std::string detail;
        if (index.Version() != 0) {
            if (const DWORD e = layerfile::DescribeFile(index, &layers, &detail)) {
                if (why) *why = detail;
                return Failed(e);
            }
        }
        sources.push_back({view.data, view.size, original.File()});
    }
    if (layers.empty()) layers.emplace_back();

    layerfile::LayerOut& layer = layers[0];
    std::vector<layerfile::BlockOut> blocks;
    std::set<int> keys;
    for (int key : {TAG_STATISTICS, TAG_PHASE_STATISTICS, TAG_PART_STATISTICS}) {
        const void* block = work.GetTag(key);
        const int size = work.GetSizeTag(key);
        if (block && size > 0) blocks.push_back({key, static_cast<const BYTE*>(block), size});
    }
    for (const layerfile::BlockOut& b : layer.blocks) {
        if (IsLayerOwnKey(b.key)) continue;
        blocks.push_back(b);
        keys.insert(b.key);
    }
    for (int key : work.GetTagIds()) {
        if (IsLayerOwnKey(key) || keys.count(key)) continue;
        const void* tag = work.GetTag(key);
        const int size = work.GetSizeTag(key);
        if (tag && size >= 0) blocks.push_back({key, static_cast<const BYTE*>(tag), size});
    }
    if (edits) {
        std::erase_if(blocks, [&](const layerfile::BlockOut& b) {
            return !IsLayerOwnKey(b.key) && (edits->set.count(b.key) || edits->remove.count(b.key));
        });
        for (const auto& [key, bytes] : edits->set)
            if (!IsLayerOwnKey(key)) blocks.push_back({key, bytes.data(), std::int64_t(bytes.size())});
    }
    layer.width = work.Width();
    layer.height = work.Height();
    layer.type = work.Type();
    layer.samples = samples;
    layer.blocks = std::move(blocks);

    platform::AtomicFile out;
    if (!out.Create(target)) return SaveOutcome::kFailed;
    if (const DWORD e = layerfile::WriteFile(out, layers, nullptr, sources)) {
        out.Discard();
        return Failed(e);
    }
    original.Close();
    return out.Commit() ? SaveOutcome::kDone : SaveOutcome::kFailed;
}
