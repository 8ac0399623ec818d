#include "modules/convolution/mask_file.h"

#include <cstring>
#include <string>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/layer_description.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"

namespace {

BOOL Failed(DWORD error)
{
    ::SetLastError(error);
    return FALSE;
}

/// A description tag's payload: the text and its terminating zero.
std::vector<BYTE> DescriptionPayload(const char* text)
{
    const char* t = text ? text : "";
    std::vector<BYTE> bytes(t, t + std::strlen(t));
    bytes.push_back(0);
    return bytes;
}

}  // namespace

BOOL WriteMaskFile(const char* target, CRDPLayer* const* layers, int count, const char* caption,
                   const char* description)
{
    if (!target || !*target || !layers || count < 1 || count > 2) return Failed(ERROR_INVALID_PARAMETER);
    for (int j = 0; j < count; ++j) {
        const CRDPLayer* layer = layers[j];
        if (!layer || !layer->IsOpen() || !isValidType(layer->Type()) ||
            layer->Width() != layers[0]->Width() || layer->Height() != layers[0]->Height() ||
            layer->Type() != layers[0]->Type())
            return Failed(ERROR_INVALID_PARAMETER);
    }
    const std::vector<BYTE> captionTag = DescriptionPayload(caption);
    const std::vector<BYTE> descriptionTag = DescriptionPayload(description);
    if (captionTag.size() > std::size_t(CLayerDescription::kMaxTextBytes) + 1 ||
        descriptionTag.size() > std::size_t(CLayerDescription::kMaxTextBytes) + 1)
        return Failed(ERROR_INVALID_PARAMETER);

    std::vector<std::vector<BYTE>> samples(static_cast<std::size_t>(count));
    std::vector<layerfile::LayerOut> out(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j) {
        CRDPLayer& layer = *layers[j];
        // The statistics of the samples as saved: edits since the last count change them.
        try {
            if (!layer.StatisticCountRect(nullptr)) return FALSE;
        } catch (CRDPExcept* e) {
            e->Delete();
            return Failed(ERROR_OPERATION_ABORTED);
        }
        const std::size_t rowBytes = std::size_t(layer.Width()) * std::size_t(elementBytes(layer.Type()));
        std::vector<BYTE>& bytes = samples[std::size_t(j)];
        bytes.resize(rowBytes * std::size_t(layer.Height()));
        for (int y = 0; y < layer.Height(); ++y)
            std::memcpy(bytes.data() + rowBytes * std::size_t(y), layer.GetRows()[y], rowBytes);
        layerfile::LayerOut& described = out[std::size_t(j)];
        described.width = layer.Width();
        described.height = layer.Height();
        described.type = layer.Type();
        described.samples = bytes.data();
        for (int key : {TAG_STATISTICS, TAG_PHASE_STATISTICS, TAG_PART_STATISTICS}) {
            const void* block = layer.GetTag(key);
            const int size = layer.GetSizeTag(key);
            if (block && size > 0) described.blocks.push_back({key, static_cast<const BYTE*>(block), size});
        }
        if (j == 0) {
            described.blocks.push_back(
                {CLayerDescription::kCaptionTag, captionTag.data(), std::int64_t(captionTag.size())});
            described.blocks.push_back({CLayerDescription::kDescriptionTag, descriptionTag.data(),
                                        std::int64_t(descriptionTag.size())});
        }
    }

    platform::AtomicFile file;
    if (!file.Create(target)) return FALSE;
    if (const DWORD e = layerfile::WriteFile(file, out, nullptr)) {
        file.Discard();
        return Failed(e);
    }
    return file.Commit();
}
