#include "viewer/frame/frame_save.h"

#include <atomic>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
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

/// Puts the samples into the new version on a thread of its own while the caller computes
/// the statistics; stopped and waited for at the latest when it goes.
class SamplesAhead {
public:
    SamplesAhead(platform::AtomicFile& out, const BYTE* samples, std::int64_t bytes, std::int64_t offset,
                 const std::vector<layerfile::SourceFile>& sources)
    {
        try {
            m_thread = std::thread([this, &out, samples, bytes, offset, &sources] {
                m_error = layerfile::PutSamples(out, samples, bytes, offset, sources, &m_stop);
            });
        } catch (const std::system_error&) {
            // No thread to spare: the samples are written with the rest.
        }
    }
    ~SamplesAhead() { Finish(true); }
    SamplesAhead(const SamplesAhead&) = delete;
    SamplesAhead& operator=(const SamplesAhead&) = delete;

    /// Waits for the samples, stopping them first with `stop`. True when they were written;
    /// else `error` (may be null) is why, 0 when they were not tried.
    bool Finish(bool stop, DWORD* error = nullptr)
    {
        if (m_thread.joinable()) {
            if (stop) m_stop = true;
            m_thread.join();
            m_tried = true;
        }
        if (error) *error = m_error;
        return m_tried && m_error == 0;
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    DWORD m_error = 0;
    bool m_tried = false;
};

/// The statistics of the samples saved, computed into the working copy (its own may predate
/// the last edit). Empty when they were computed, else how the save ends.
std::optional<SaveOutcome> SavedStatistics(CRDPLayer& work, CMeterInfoBase* meter)
{
    try {
        MeterLoan loan(work, meter);
        if (!work.StatisticCountRect(nullptr)) return SaveOutcome::kFailed;
    } catch (CRDPExcept* e) {
        const bool cancelled = e->GetCode() == RDP_ERROR_CANCEL;
        e->Delete();
        if (cancelled) return SaveOutcome::kCancelled;
        return Failed(ERROR_OPERATION_ABORTED);
    }
    return std::nullopt;
}

/// The blocks of the saved layer after its descriptor and samples: its statistics, the
/// blocks the file has for it, its other tags, then the edits.
std::vector<layerfile::BlockOut> BlocksOf(const CRDPLayer& work,
                                          const std::vector<layerfile::BlockOut>& inFile,
                                          const TagEdits* edits)
{
    std::vector<layerfile::BlockOut> blocks;
    std::set<int> keys;
    for (int key : {TAG_STATISTICS, TAG_PHASE_STATISTICS, TAG_PART_STATISTICS}) {
        const void* block = work.GetTag(key);
        const int size = work.GetSizeTag(key);
        if (block && size > 0) blocks.push_back({key, static_cast<const BYTE*>(block), size});
    }
    for (const layerfile::BlockOut& b : inFile) {
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
    return blocks;
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

    // The user's file gives the other layers and the tags of this one; its version on disk
    // stays the old one until the new one replaces it at the very end. What stands in the
    // way is told only after the statistics below, which come first in any case.
    CMemoryMap original;
    std::vector<layerfile::LayerOut> layers;
    std::vector<layerfile::SourceFile> sources;
    DWORD refused = 0;
    std::string refusal;
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
            refusal = "the file cannot be read";
            refused = e ? e : ERROR_READ_FAULT;
        } else {
            const layerfile::FileView view{original.AdresData(), std::int64_t(original.Size())};
            layerfile::FileIndex index(view);
            if (index.Version() != 0) refused = layerfile::DescribeFile(index, &layers, &refusal);
            if (!refused) sources.push_back({view.data, view.size, original.File()});
        }
    }
    if (layers.empty()) layers.emplace_back();

    layerfile::LayerOut& layer = layers[0];
    const std::vector<layerfile::BlockOut> inFile = std::move(layer.blocks);
    layer.width = work.Width();
    layer.height = work.Height();
    layer.type = work.Type();
    layer.samples = samples;
    const std::int64_t sampleBytes = layerfile::SampleBytes(layer.width, layer.height, layer.type);

    // The samples go into the new version while the statistics are computed. Where they go
    // depends only on how many blocks the layer has, and computing the statistics adds but
    // the part statistics of a complex layer that had none: the blocks are counted as they
    // will be, and checked once the statistics are done (on a miss, the samples are written
    // again with the rest).
    platform::AtomicFile out;
    DWORD failed = 0;
    std::int64_t ahead = -1;
    if (!refused) {
        layer.blocks = BlocksOf(work, inFile, edits);
        if (work.IsComplex() && !work.GetTag(TAG_PART_STATISTICS))
            layer.blocks.push_back({TAG_PART_STATISTICS, nullptr, 0});
        const std::vector<std::int64_t> offsets = layerfile::PlannedSampleOffsets(layers);
        if (!offsets.empty()) {
            if (!out.Create(target) ||
                !out.SetSize(std::uint64_t(layerfile::PlannedSize(layers)), sources.empty()))
                failed = ::GetLastError();
            else
                ahead = offsets[0];
        }
    }
    std::optional<SamplesAhead> written;
    if (ahead >= 0) written.emplace(out, samples, sampleBytes, ahead, sources);
    const std::optional<SaveOutcome> stopped = SavedStatistics(work, meter);
    DWORD writeError = 0;
    const bool inPlace = written && written->Finish(stopped.has_value(), &writeError);
    if (stopped) return *stopped;  // `out` goes with what it holds
    if (refused) {
        if (why) *why = refusal;
        return Failed(refused);
    }
    if (failed) return Failed(failed);
    if (writeError) return Failed(writeError);

    layer.blocks = BlocksOf(work, inFile, edits);
    const std::vector<std::int64_t> offsets = layerfile::PlannedSampleOffsets(layers);
    layer.samplesWritten = inPlace && !offsets.empty() && offsets[0] == ahead;
    if (!out.IsOpen() && !out.Create(target)) return SaveOutcome::kFailed;
    if (const DWORD e = layerfile::WriteFile(out, layers, nullptr, sources)) {
        out.Discard();
        return Failed(e);
    }
    original.Close();
    return out.Commit() ? SaveOutcome::kDone : SaveOutcome::kFailed;
}
